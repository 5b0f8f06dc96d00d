// The start-up path to the start screen's first paint, and no further, for profiling without a
// probe: `valgrind --tool=callgrind kelvane_startup_firstpaint [text]` under an X server. It
// starts as the program's main does (or, given "text", as the window-with-text floor does) and
// quits once the first top-level window has been painted, so that the profile ends where the
// benchmark's first frame does. With KELVANE_STARTUP_MAPS set to a file name, it first writes
// there the process's mappings with their resident sizes (/proc/self/smaps) and its status (the
// peak resident size, VmHWM), for `bench/startup/memory` to set side by side.
#include "app/application.h"
#include "app/program.h"
#include "app/raise.h"
#include "platform/platform.h"
#include "settings/ini.h"

#include <QFile>
#include <QFont>
#include <QLabel>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {
void writeMaps()
{
    const QString name = qEnvironmentVariable("KELVANE_STARTUP_MAPS");
    if (name.isEmpty())
        return;
    QFile out(name);
    if (!out.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "kelvane_startup_firstpaint: %s\n", qPrintable(out.errorString()));
        return;
    }
    for (const char *source : {"/proc/self/smaps", "/proc/self/status"}) {
        QFile in(QString::fromLatin1(source));
        if (in.open(QIODevice::ReadOnly))
            out.write(in.readAll());
    }
}

class QuitAfterFirstPaint final : public QObject
{
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()
            && static_cast<QWidget *>(watched)->isWindow())
            QTimer::singleShot(0, qApp, [] {
                writeMaps();
                QCoreApplication::quit();
            });
        return false;
    }
};

int floorWithText(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QuitAfterFirstPaint quit;
    app.installEventFilter(&quit);
    QWidget window;
    auto *label = new QLabel(QStringLiteral("Screen Resolution 1024 x 768"), &window);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(9.6);
    font.setBold(true);
    label->setFont(font);
    label->move(64, 64);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        window.setGeometry(screen->availableGeometry());
    window.showMaximized();
    return app.exec();
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "text") == 0)
        return floorWithText(argc, argv);
    if (const base::Expected<void> display = platform::displayAvailable(); !display) {
        std::fprintf(stderr, "kelvane_startup_firstpaint: %s\n", qPrintable(display.error()));
        return 1;
    }
    platform::prepareApplication();
    Application app(argc, argv);
    QuitAfterFirstPaint quit;
    app.installEventFilter(&quit);
    const QByteArray runtimeFolder = platform::runtimeFolder();
    Program program({}, runtimeFolder);
    if (program.anotherInstanceRunning())
        return 0;
    settings::removeLeftovers(program.programFolder());
    const RaiseListener raiseListener(program, runtimeFolder);
    program.showFrmstart();
    if (program.ended() || !program.current())
        return 0;
    return app.exec();
}
