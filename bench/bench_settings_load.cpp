// How the start screen and its buttons grow with the settings file. Anyone who may edit the file
// can fill it up to the size the program takes (1 MiB) with whatever they like: log lines, or
// tens of thousands of sections, each a name the calibration's records are looked up under. The
// screen must still come up, and Start, Calibrate, Done and Exit answer, in a time that grows with
// the file's size and no faster.
//
// Files, each against the same step on the file the program itself writes (the baseline):
//   - 1 MiB of log lines without the program's sections;
//   - bare "[Calibration N]" sections, a quarter of the count and the full count (50,000 fill
//     about 1 MiB), so that the ratio of the two tells linear growth (4) from square (16);
//   - records as "Done" writes them, a quarter of 1 MiB and 1 MiB of them (scaled with the count
//     of sections where another is given).
// Steps: the start screen loaded; then, from the loaded screen, Start (the save and the
// measurement screen), Calibrate (the save and the calibration screen), Done on the calibration
// screen (the records, the save, the start screen again) and Exit (the save). Every step starts
// from a fresh copy of its file in a fresh program; only the step itself is timed. All take turns
// round by round, each round in another order, and the figures are the processor time the thread
// spends, so that a spell of load on the machine weighs on all alike and little on any.
//
// Runs on Qt's offscreen platform unless a platform is chosen.
// Usage: bench_settings_load [rounds] [sections]   (sections: the larger count, 50,000 unless
// given; a smaller one keeps a run short where the cost grows with the square)
#include "app/application.h"
#include "app/program.h"
#include "platform/platform.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <time.h>
#include <vector>

namespace {
constexpr int kDefaultRounds = 3;
constexpr int kDefaultSections = 50000;
constexpr qsizetype kMebibyte = 1024 * 1024;
constexpr int kFreshBlockBytes = 128 * 1024;

constexpr char kProgramsOwnFile[]
    = "[Filter]\nFILTER= 1\nTARGET= 1\nFIXEYE= 2\n[Screen]\nSCREENH= 500\nSCREENV= 500\n";

QByteArray logLines(qsizetype size)
{
    QByteArray text = kProgramsOwnFile;
    // Room left for a record, so that "Done" still fits.
    for (int line = 0; text.size() < size - 4096; ++line)
        text.append("log ").append(QByteArray::number(line)).append(": pointer at 512, 384\n");
    return text;
}

QByteArray bareSections(int count)
{
    QByteArray text = kProgramsOwnFile;
    for (int n = 1; n <= count; ++n)
        text.append("[Calibration ").append(QByteArray::number(n)).append("]\n");
    return text;
}

// Records of monitors that are not this one, as "Done" writes them, up to `size` bytes.
QByteArray records(qsizetype size)
{
    QByteArray text = kProgramsOwnFile;
    for (int n = 1;; ++n) {
        const QByteArray number = QByteArray::number(n);
        const QByteArray record = "[Calibration Maker Model " + number
            + " DP-1 1920x1080]\nSCREENH= 567\nSCREENV= 567\nMANUFACTURER=Maker\nMODEL=Model\n"
              "SERIAL="
            + number + "\nOUTPUT=DP-1\nRESOLUTION=1920 x 1080\nDATE=2026-01-"
            + QByteArray::number(1 + n % 28).rightJustified(2, '0') + '\n';
        if (text.size() + record.size() > size)
            return text;
        text.append(record);
    }
}

struct File
{
    QByteArray name;
    QByteArray content;
};

double processorMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

void click(QWidget *window, const char *button)
{
    if (auto *pushButton
        = window ? window->findChild<QPushButton *>(QLatin1String(button)) : nullptr)
        pushButton->click();
}

enum Step { Load, Start, Calibrate, Done, Exit, kSteps };
constexpr const char *kStepNames[kSteps] = {"load", "Start", "Calibrate", "Done", "Exit"};

// Processor milliseconds of one step on a fresh copy of `content`; negative where the step did
// not lead where it should (no start screen, no next screen, the program not ended).
double stepMilliseconds(const QByteArray &content, Step step)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("Kelvane.ini")));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return -1;
    file.close();
    const QByteArray path = QFile::encodeName(dir.path());
    Program program(path, path);
    double start = processorMilliseconds();
    program.showFrmstart();
    QWidget *startScreen = program.current();
    if (step == Done) {
        click(startScreen, "Command3");
        start = processorMilliseconds();
        click(program.current(), "Done");
    } else if (step != Load) {
        start = processorMilliseconds();
        click(startScreen,
            step == Start           ? "Command1"
                : step == Calibrate ? "Command3"
                                    : "Command2");
    }
    const double milliseconds = processorMilliseconds() - start;
    const bool arrived = step == Exit ? program.ended()
        : step == Load                ? startScreen != nullptr
                                      : program.current() && program.current() != startScreen;
    return arrived ? milliseconds : -1;
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
    const int sections = argc > 2 ? std::max(4, QByteArray(argv[2]).toInt()) : kDefaultSections;
    // A started program reads its file into memory fresh from the system; the C library would
    // otherwise hand a big file's freed memory to the next copy, which then skips that cost.
    mallopt(M_MMAP_THRESHOLD, kFreshBlockBytes);

    const qsizetype recordBytes
        = kMebibyte * std::min(sections, kDefaultSections) / kDefaultSections;
    const std::vector<File> files {
        {"the program's own file (baseline)", kProgramsOwnFile},
        {"1 MiB of log lines", logLines(kMebibyte)},
        {QByteArray::number(sections / 4) + " bare sections", bareSections(sections / 4)},
        {QByteArray::number(sections) + " bare sections", bareSections(sections)},
        {"records, 1/4 of the size", records(recordBytes / 4)},
        {"records, " + QByteArray::number(recordBytes) + " bytes", records(recordBytes)},
    };
    for (const File &file : files) {
        if (file.content.size() > kMebibyte) {
            std::fprintf(stderr, "bench_settings_load: %s is over 1 MiB\n", file.name.constData());
            return 1;
        }
    }

    std::vector<std::function<double()>> runs;
    for (const File &file : files) {
        for (int step = 0; step < kSteps; ++step)
            runs.push_back([&file, step] { return stepMilliseconds(file.content, Step(step)); });
    }
    std::vector<std::vector<double>> times(runs.size());
    // The first round pays the program's first-use costs; it is not counted.
    for (int round = -1; round < rounds; ++round) {
        for (std::size_t turn = 0; turn < runs.size(); ++turn) {
            const std::size_t kind = (std::size_t(std::max(round, 0)) * 7 + turn) % runs.size();
            const double milliseconds = runs[kind]();
            if (milliseconds < 0) {
                std::fprintf(stderr, "bench_settings_load: %s, %s did not arrive\n",
                    files[kind / kSteps].name.constData(), kStepNames[kind % kSteps]);
                return 1;
            }
            if (round >= 0)
                times[kind].push_back(milliseconds);
        }
    }

    std::printf("Processor time per step, median of %d rounds in turn (ms)\n", rounds);
    std::printf("%-36s %8s", "file", "bytes");
    for (const char *name : kStepNames)
        std::printf(" %10s", name);
    std::printf("\n");
    std::vector<std::vector<double>> medians(files.size(), std::vector<double>(kSteps));
    for (std::size_t f = 0; f < files.size(); ++f) {
        std::printf("%-36s %8lld", files[f].name.constData(), qlonglong(files[f].content.size()));
        for (int step = 0; step < kSteps; ++step) {
            medians[f][step] = median(times[f * kSteps + step]);
            std::printf(" %10.2f", medians[f][step]);
        }
        std::printf("\n");
    }
    // Over the baseline, the larger file of each kind against its quarter: 4 where the cost grows
    // with the size, 16 where it grows with the square.
    const auto growth = [&](std::size_t small, std::size_t big) {
        std::printf("%-36s %8s", files[big].name.constData(), "/ 1/4");
        for (int step = 0; step < kSteps; ++step)
            std::printf(" %10.2f",
                (medians[big][step] - medians[0][step])
                    / (medians[small][step] - medians[0][step]));
        std::printf("\n");
    };
    std::printf("Growth over the baseline, 4 x the file (4: linear, 16: square)\n");
    growth(2, 3);
    growth(4, 5);
    return 0;
}
