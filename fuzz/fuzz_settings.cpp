// libFuzzer entry: any bytes as the settings file, then the properties every settings file must
// keep (fuzz/settings_properties.h). Built by `./dev fuzz` with clang; a property that fails
// aborts, so the fuzzer keeps the input that broke it.
#include "fuzz/settings_properties.h"

#include <QByteArray>
#include <QDir>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {
QString s_folder;

// A folder of the fuzzer's own, in memory where the system has it: every input is written and
// rewritten several times, and a disk would make that the whole cost of a run.
QString makeFolder()
{
    const char *base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    QByteArray pattern = QByteArray(base) + "/kelvane-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror("kelvane fuzz: mkdtemp");
        std::abort();
    }
    return QString::fromLocal8Bit(pattern);
}

void removeFolder()
{
    QDir(s_folder).removeRecursively();
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    s_folder = makeFolder();
    std::atexit(removeFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString failure = fuzzing::checkSettingsFile(content, s_folder);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "kelvane fuzz: %s\n", qPrintable(failure));
        std::abort();
    }
    return 0;
}
