// How the start screen's loading grows with the size of the settings file. People save other
// things under the file's name (a log, say); the screen must still come up, in a time that grows
// with the file's size and no faster. The screen reads the file once for each of its five
// values, so a load costs about five plain reads of the file on top of the screen's own set-up.
//
// Files of 5 MB and 20 MB of log lines without the program's sections (every read scans the whole
// file and falls back), against two baselines in the same run: the screen loaded from the file
// the program itself writes, and five plain reads of each big file. All take turns round by round,
// each round in another order, and the figures are the processor time spent, so that a spell of
// load on the machine weighs on all alike and little on any.
//
// Runs on Qt's offscreen platform unless a platform is chosen. Usage: bench_settings_load [rounds]
#include "app/application.h"
#include "app/program.h"
#include "platform/platform.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <memory>
#include <time.h>
#include <vector>

namespace {
constexpr int kDefaultRounds = 5;
constexpr qsizetype kMegabyte = 1024 * 1024;
constexpr int kSizes[] = {5, 20}; // megabytes
constexpr int kValuesRead = 5; // the start screen reads the file once for each
constexpr int kFreshBlockBytes = 128 * 1024;

constexpr char kProgramsOwnFile[]
    = "[Filter]\nFILTER= 1\nTARGET= 1\nFIXEYE= 2\n[Screen]\nSCREENH= 500\nSCREENV= 500\n";

// Text lines that hold none of the program's sections.
QByteArray logLines(qsizetype size)
{
    QByteArray text;
    text.reserve(size + 64);
    for (int line = 0; text.size() < size; ++line)
        text.append("log ").append(QByteArray::number(line)).append(": pointer at 512, 384\n");
    return text;
}

// A program folder holding a settings file, and a place for the instance guard.
struct Folder
{
    QTemporaryDir dir;
    QString file() const { return dir.filePath(QStringLiteral("Kelvane.ini")); }
};

bool write(const Folder &folder, const QByteArray &content)
{
    QFile file(folder.file());
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// The processor time this thread has used, the system's work for it (reading, fresh memory)
// included. Unlike the time on the clock it does not grow while other programs have the
// processor, which on a busy machine is most of the clock's spread.
double processorMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Processor milliseconds from a fresh program's start to its start screen, loaded; negative if
// no screen came up.
double loadMilliseconds(const Folder &folder)
{
    const QByteArray path = QFile::encodeName(folder.dir.path());
    Program program(path, path);
    const double start = processorMilliseconds();
    program.showFrmstart();
    const double milliseconds = processorMilliseconds() - start;
    return program.current() ? milliseconds : -1;
}

// Milliseconds for the least the screen's loading could do with the file: read it whole as
// often as the screen does, once for each of its values.
double readMilliseconds(const Folder &folder)
{
    const double start = processorMilliseconds();
    bool read = true;
    for (int value = 0; value < kValuesRead; ++value) {
        QFile file(folder.file());
        read = read && file.open(QIODevice::ReadOnly) && !file.readAll().isEmpty();
    }
    const double milliseconds = processorMilliseconds() - start;
    return read ? milliseconds : -1;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::prepareApplication();
    Application app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : kDefaultRounds;
    // A started program reads each copy of the file into memory fresh from the system. The C
    // library would otherwise keep the memory of a big file's copy and hand it to the next
    // smaller one, which then skips the cost a start pays: fix the size above which a block
    // comes fresh from the system at the library's starting value.
    mallopt(M_MMAP_THRESHOLD, kFreshBlockBytes);

    Folder small;
    std::array<std::unique_ptr<Folder>, std::size(kSizes)> big;
    std::array<double, std::size(kSizes)> megabytes {};
    bool written = write(small, kProgramsOwnFile);
    for (std::size_t k = 0; k < big.size(); ++k) {
        big[k] = std::make_unique<Folder>();
        const QByteArray content = logLines(kSizes[k] * kMegabyte);
        megabytes[k] = double(content.size()) / kMegabyte;
        written = written && write(*big[k], content);
    }
    if (!written) {
        std::fputs("bench_settings_load: cannot write the settings files\n", stderr);
        return 1;
    }

    // What is timed, in the order of the columns printed: the program's own file, then a load
    // and five plain reads of each big file.
    std::vector<std::function<double()>> steps {[&] { return loadMilliseconds(small); }};
    for (const auto &folder : big) {
        steps.push_back([&] { return loadMilliseconds(*folder); });
        steps.push_back([&] { return readMilliseconds(*folder); });
    }
    std::vector<std::vector<double>> times(steps.size());
    // The first round fills the disk cache and the program's first-use costs; it is not counted.
    for (int round = -1; round < rounds; ++round) {
        for (std::size_t turn = 0; turn < steps.size(); ++turn) {
            const std::size_t kind = (std::size_t(std::max(round, 0)) + turn) % steps.size();
            const double milliseconds = steps[kind]();
            if (milliseconds < 0) {
                std::fputs("bench_settings_load: the start screen did not open\n", stderr);
                return 1;
            }
            if (round >= 0)
                times[kind].push_back(milliseconds);
        }
    }

    const double base = median(times[0]);
    std::printf("Start screen loaded, %d rounds in turn (medians of the processor time)\n", rounds);
    std::printf("  from the program's own file (baseline)  %8.2f ms\n", base);
    std::array<double, std::size(kSizes)> perMegabyte {};
    for (std::size_t k = 0; k < big.size(); ++k) {
        const double load = median(times[1 + 2 * k]);
        const double read = median(times[2 + 2 * k]);
        perMegabyte[k] = (load - base) / megabytes[k];
        std::printf(
            "  from %4.1f MB of log lines               %8.2f ms   %6.2f ms per MB over the "
            "baseline, %5.2f x five plain reads of the file\n",
            megabytes[k], load, perMegabyte[k], (load - base) / read);
    }
    std::printf(
        "  per MB, %d MB over %d MB                  %8.2f   (1.00: the time grows with the "
        "size and no faster)\n",
        kSizes[1], kSizes[0], perMegabyte[1] / perMegabyte[0]);
    return 0;
}
