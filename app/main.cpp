#include "app/application.h"
#include "app/commandline.h"
#include "app/program.h"
#include "app/raise.h"
#include "platform/platform.h"
#include "settings/ini.h"

#include <QMessageBox>

#include <cstdio>

int main(int argc, char *argv[])
{
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
        if (program.instanceHolder() != platform::InstanceGuard::Holder::OtherUser) {
            askToRaise(runtimeFolder);
            return 0;
        }
        const QString holder = program.inUseBy();
        const QString message
            = QStringLiteral(
                "Kelvane is in use on this computer by %1. One person at a time can use it: try "
                "again when it has been closed.")
                  .arg(holder.isEmpty() ? QStringLiteral("another user") : holder);
        std::fprintf(stderr, "kelvane: %s\n", qPrintable(message));
        QMessageBox::information(nullptr, QStringLiteral("Kelvane"), message);
        return 1;
    }
    settings::removeLeftovers(program.programFolder());
    const RaiseListener raiseListener(program, runtimeFolder);
    program.showFrmstart();
    if (program.ended() || !program.current())
        return 0;
    return app.exec();
}
