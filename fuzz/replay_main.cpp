// Runs every file of the given corpus folders (or the given files) through the settings-file
// rules, with the ordinary compiler: the fuzzer's findings and the hand-edited seeds stay a
// regression test that needs no fuzzer. Usage: fuzz_replay <folder or file>...
#include "fuzz/profile_properties.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char *argv[])
{
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const QFileInfo given(QString::fromLocal8Bit(argv[i]));
        if (!given.isDir()) {
            files << given.filePath();
            continue;
        }
        const QDir folder(given.filePath());
        for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden, QDir::Name))
            files << folder.filePath(name);
    }
    if (files.isEmpty()) {
        std::fputs("fuzz_replay: no corpus files given\n", stderr);
        return 2;
    }

    int failed = 0;
    for (const QString &name : std::as_const(files)) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "FAIL %s: cannot be read\n", qPrintable(name));
            ++failed;
            continue;
        }
        const QString failure = fuzzing::checkProfile(file.readAll());
        if (!failure.isEmpty()) {
            std::fprintf(stderr, "FAIL %s: %s\n", qPrintable(name), qPrintable(failure));
            ++failed;
        }
    }
    std::printf("%lld corpus files, %d failed\n", static_cast<long long>(files.size()), failed);
    return failed == 0 ? 0 : 1;
}
