// What a pointer movement and a click cost on the measurement screen, against two baselines:
// the two bare QLabel::setText calls a click ends in, and a floor window whose mouse-press
// handler sets two labels' texts, the least any window can do to show a result on a click. A
// movement must stay far below a click, and a click close to the floor, so that the cross never
// lags behind the hand.
//
// The baselines and the measured events take turns within each round, slice by slice and each
// slice in another order, and each round's figures are divided by the same round's baselines: a
// spell of load on the machine then weighs on a figure and its baseline alike instead of on
// whichever ran last. Printed are the medians over the rounds of the times and of the per-round
// ratios, with their least and greatest.
//
// Runs on Qt's offscreen platform unless a platform is chosen; the events go through the
// application's full delivery (key preview, propagation, the ring's event filter) but not
// through a window system. Usage: bench_measure [rounds]
#include "app/application.h"
#include "app/program.h"
#include "measure/form1.h"
#include "platform/platform.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWindow>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <vector>

namespace {
constexpr int kEvents = 20000; // per kind and round
// A round is cut into slices, and in each slice every kind takes its turn. A slice lasts well
// under a millisecond, so a spell of load falls on all kinds alike, and a slice in which the
// process lost the processor to another (a few milliseconds) is the odd one out.
constexpr int kSlices = 200;
constexpr int kEventsPerSlice = kEvents / kSlices;
constexpr int kDefaultRounds = 9;

const QString kTexts[2][2] = {{QStringLiteral("BL: 3.0"), QStringLiteral("BR: 3.4")},
    {QStringLiteral("BL: 2.9"), QStringLiteral("BR: 3.5")}};

// The floor: a window with two result labels that a press fills in, and nothing else.
class FloorWindow final : public QWidget
{
public:
    FloorWindow()
    {
        m_first.move(20, 20);
        m_second.move(20, 50);
    }

protected:
    void mousePressEvent(QMouseEvent *) override
    {
        m_presses ^= 1;
        m_first.setText(kTexts[m_presses][0]);
        m_second.setText(kTexts[m_presses][1]);
    }

private:
    QLabel m_first {this};
    QLabel m_second {this};
    int m_presses = 0;
};

void send(QWidget *receiver, QEvent::Type type, QPoint at, Qt::MouseButton button)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? button : Qt::NoButton;
    QMouseEvent event(type, at, receiver->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(receiver, &event);
}

// Nanoseconds spent on `count` repetitions of `step`.
double nanosecondsFor(int count, const std::function<void(int)> &step)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i)
        step(i);
    const double nanoseconds = double(timer.nsecsElapsed());
    // Let the label updates the steps scheduled be drawn outside the timing.
    QCoreApplication::processEvents();
    return nanoseconds;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct Spread
{
    double median;
    double low;
    double high;
};

Spread spread(const std::vector<double> &values)
{
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    return {median(values), *low, *high};
}

void waitUntilExposed(QWidget *window)
{
    while (!window->windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    QCoreApplication::processEvents();
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::prepareApplication();
    Application app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : kDefaultRounds;

    // A program folder of its own with a calibrated screen, so that every click is measured.
    QTemporaryDir folder;
    Program program(QFile::encodeName(folder.path()), QFile::encodeName(folder.path()));
    QFile settings(folder.filePath(QStringLiteral("Kelvane.ini")));
    if (!settings.open(QIODevice::WriteOnly)
        || settings.write("[Filter]\nFILTER= 1\nTARGET= 1\nFIXEYE= 2\n[Screen]\nSCREENH= "
                          "567\nSCREENV= 500\n")
            < 0) {
        std::fputs("bench_measure: cannot write the settings file\n", stderr);
        return 1;
    }
    settings.close();

    program.showForm1();
    auto *form = qobject_cast<Form1 *>(program.current());
    if (!form) {
        std::fputs("bench_measure: the measurement screen did not open\n", stderr);
        return 1;
    }
    waitUntilExposed(form);
    auto *target = form->findChild<QLabel *>(QStringLiteral("target"));
    auto *hpd = form->findChild<QLabel *>(QStringLiteral("HPD"));
    const QPoint reference = target->pos() + QPoint(6, 6);

    // The baselines' windows, visible like the measurement screen's result labels.
    QWidget holder;
    QLabel bareFirst(&holder);
    QLabel bareSecond(&holder);
    bareSecond.move(0, 30);
    holder.show();
    FloorWindow floor;
    floor.show();
    waitUntilExposed(&holder);
    waitUntilExposed(&floor);

    enum Kind { SetText, Floor, Move, MoveAndClick, kKinds };
    const std::array<std::function<void(int)>, kKinds> steps {
        // Two bare label updates, with texts that change at every event as a click's do.
        [&](int i) {
            bareFirst.setText(kTexts[i % 2][0]);
            bareSecond.setText(kTexts[i % 2][1]);
        },
        // A click on the floor window, delivered like one on the measurement screen.
        [&](int) {
            send(&floor, QEvent::MouseButtonPress, QPoint(1, 1), Qt::LeftButton);
            send(&floor, QEvent::MouseButtonRelease, QPoint(1, 1), Qt::LeftButton);
        },
        // Movements alternate between the background and the ring, as a hand sweeps over both.
        [&](int i) {
            if (i % 2)
                send(form, QEvent::MouseMove, reference + QPoint(80 + i % 7, 70), Qt::NoButton);
            else
                send(target, QEvent::MouseMove, QPoint(6 + i % 5, 6), Qt::NoButton);
        },
        // Each click follows a movement to another place, so both labels change at every click.
        [&](int i) {
            send(form, QEvent::MouseMove, reference + QPoint(i % 2 ? 68 : -77, i % 2 ? 68 : -69),
                Qt::NoButton);
            send(form, QEvent::MouseButtonPress, QPoint(1, 1), Qt::LeftButton);
            send(form, QEvent::MouseButtonRelease, QPoint(1, 1), Qt::LeftButton);
        },
    };

    std::array<std::vector<double>, kKinds> times;
    std::vector<double> clicks, moveRatios, clickRatios, clickFloorRatios, clickMoveRatios;
    // The first round fills the caches (the glyphs of the texts, the event paths); it is not
    // counted.
    for (int round = -1; round < rounds; ++round) {
        std::array<std::vector<double>, kKinds> slices;
        for (int slice = 0; slice < kSlices; ++slice) {
            // Each kind goes first in turn, so that none always meets the machine fresh.
            for (int turn = 0; turn < kKinds; ++turn) {
                const int kind = (slice + turn) % kKinds;
                slices[kind].push_back(nanosecondsFor(kEventsPerSlice, steps[kind]));
            }
        }
        // The median slice: a slice in which the process lost the processor to another counts
        // no more than any other.
        if (round < 0)
            continue;
        std::array<double, kKinds> time {};
        for (int kind = 0; kind < kKinds; ++kind) {
            time[kind] = median(slices[kind]) / kEventsPerSlice;
            times[kind].push_back(time[kind]);
        }
        const double click = time[MoveAndClick] - time[Move];
        clicks.push_back(click);
        moveRatios.push_back(time[Move] / time[SetText]);
        clickRatios.push_back(click / time[SetText]);
        clickFloorRatios.push_back(click / time[Floor]);
        clickMoveRatios.push_back(click / time[Move]);
    }
    const QString shown = hpd->text();

    std::printf("%d rounds of %d events of each kind in %d slices, in turn; medians of the rounds "
                "(least-greatest)\n",
        rounds, kEvents, kSlices);
    std::printf(
        "  %-32s %-22s %-20s %-20s\n", "", "time per event", "/ two setText", "/ floor's click");
    const auto cell = [](const Spread *figure, int decimals, const char *unit) {
        if (!figure)
            return QString();
        return QStringLiteral("%1%2 (%3-%4)")
            .arg(figure->median, 0, 'f', decimals)
            .arg(QLatin1String(unit))
            .arg(figure->low, 0, 'f', decimals)
            .arg(figure->high, 0, 'f', decimals);
    };
    const auto row = [&](const char *label, const Spread &time, const Spread *toSetText,
                         const Spread *toFloor) {
        std::printf("  %-32s %-22s %-20s %-20s\n", label, qPrintable(cell(&time, 0, " ns")),
            qPrintable(cell(toSetText, 2, "")), qPrintable(cell(toFloor, 2, "")));
    };
    const Spread moveToSetText = spread(moveRatios);
    const Spread clickToSetText = spread(clickRatios);
    const Spread clickToFloor = spread(clickFloorRatios);
    row("two QLabel::setText (baseline)", spread(times[SetText]), nullptr, nullptr);
    row("floor's click (baseline)", spread(times[Floor]), nullptr, nullptr);
    row("pointer movement", spread(times[Move]), &moveToSetText, nullptr);
    row("click (measure, two labels)", spread(clicks), &clickToSetText, &clickToFloor);
    const Spread clickToMove = spread(clickMoveRatios);
    std::printf("  click / movement: %s\n", qPrintable(cell(&clickToMove, 1, "")));
    std::printf("  last result shown: %s\n", qPrintable(shown));
    form->close();
    return 0;
}
