// What a pointer movement and a click cost on the measurement screen, against the cheapest
// thing a screen can do to a label: QLabel::setText. A movement must stay far below a click,
// which must stay within a few label updates, so that the cross never lags behind the hand.
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
#include <cstdio>
#include <functional>
#include <limits>

namespace {
constexpr int kEvents = 20000; // per round
constexpr int kDefaultRounds = 7;

// Nanoseconds per repetition of `step`, the best of `rounds` rounds: the least disturbed by
// whatever else the machine does.
double nanosecondsPer(int rounds, const std::function<void(int)> &step)
{
    double best = std::numeric_limits<double>::max();
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < kEvents; ++i)
            step(i);
        best = std::min(best, double(timer.nsecsElapsed()) / kEvents);
        // Let the label updates the round scheduled be drawn outside the timing.
        QCoreApplication::processEvents();
    }
    return best;
}

void send(QWidget *receiver, QEvent::Type type, QPoint at, Qt::MouseButton button)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? button : Qt::NoButton;
    QMouseEvent event(type, at, receiver->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(receiver, &event);
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
    while (!form->windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    QCoreApplication::processEvents();
    auto *target = form->findChild<QLabel *>(QStringLiteral("target"));
    auto *hpd = form->findChild<QLabel *>(QStringLiteral("HPD"));
    const QPoint reference = target->pos() + QPoint(6, 6);

    // Movements alternate between the background and the ring, as a hand sweeps over both.
    const double move = nanosecondsPer(rounds, [&](int i) {
        if (i % 2)
            send(form, QEvent::MouseMove, reference + QPoint(80 + i % 7, 70), Qt::NoButton);
        else
            send(target, QEvent::MouseMove, QPoint(6 + i % 5, 6), Qt::NoButton);
    });

    // Each click follows a movement to another place, so both labels change at every click.
    const double moveAndClick = nanosecondsPer(rounds, [&](int i) {
        send(form, QEvent::MouseMove, reference + QPoint(i % 2 ? 68 : -77, i % 2 ? 68 : -69),
            Qt::NoButton);
        send(form, QEvent::MouseButtonPress, QPoint(1, 1), Qt::LeftButton);
        send(form, QEvent::MouseButtonRelease, QPoint(1, 1), Qt::LeftButton);
    });
    const double click = moveAndClick - move;
    const QString shown = hpd->text();

    // The baseline: a visible label like the results, its text changed as often.
    QWidget holder;
    QLabel bare(&holder);
    holder.show();
    const QString texts[] = {QStringLiteral("BL: 3.0"), QStringLiteral("BR: 3.4")};
    const double setText = nanosecondsPer(rounds, [&](int i) { bare.setText(texts[i % 2]); });

    std::printf("%d rounds of %d events, best round\n", rounds, kEvents);
    std::printf("QLabel::setText (baseline)   %9.0f ns\n", setText);
    std::printf("pointer movement             %9.0f ns  %6.2f x setText\n", move, move / setText);
    std::printf("click (measure, two labels)  %9.0f ns  %6.2f x setText\n", click, click / setText);
    std::printf("click / movement             %9.1f\n", click / move);
    std::printf("last result shown: %s\n", qPrintable(shown));
    form->close();
    return 0;
}
