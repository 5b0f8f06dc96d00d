#include "app/application.h"
#include "app/commandline.h"
#include "app/program.h"
#include "app/raise.h"
#include "platform/platform.h"
#include "platform/privacy.h"
#include "settings/ini.h"

#include <QMessageBox>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    // A visit's identifier and note live in this process's memory: no core file may keep them.
    platform::stopCoreDumps();
    if (const std::optional<int> exitCode = handleCommandLine(argc, argv))
        return *exitCode;
    if (QString reason; !platform::displayAvailable(reason)) {
        std::fprintf(stderr, "kelvane: %s\n", qPrintable(reason));
        return 1;
    }
    platform::prepareApplication();
    Application app(argc, argv);
    // The user's runtime folder holds the instance guard and the raise socket; finding it
    // checks its owner and mode on disk, so it is found once.
    const QByteArray runtimeFolder = platform::runtimeFolder();
    Program program({}, runtimeFolder);
    // A second instance ends here, before it reads anything. The same user's second start shows
    // the running program and ends; another user of a shared install is told who uses the
    // program, or they would take it for broken.
    if (program.anotherInstanceRunning()) {
        if (program.instanceHolder() == platform::InstanceGuard::Holder::SameUser) {
            askToRaise(runtimeFolder);
            return 0;
        }
        const QString message = program.turnedAway();
        std::fprintf(stderr, "kelvane: %s\n", qPrintable(message));
        noticeBox(message)->exec();
        return 1;
    }
    settings::removeLeftovers(program.programFolder());
    const RaiseListener raiseListener(program, runtimeFolder);
    program.showFrmstart();
    if (program.ended() || !program.current())
        return 0;
    // The program folder's lock is looked at every second (see InstanceGuard::keep()); one taken
    // by another user stops this instance's saves, never the instance.
    QTimer guardCheck;
    QObject::connect(&guardCheck, &QTimer::timeout, &guardCheck, [&program, &guardCheck] {
        if (!program.keepInstanceGuard())
            guardCheck.stop();
    });
    guardCheck.start(1000);
    return app.exec();
}
