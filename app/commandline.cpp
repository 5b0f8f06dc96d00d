#include "app/commandline.h"

#include "app/program.h"
#include "app/version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {
// The usual exit code of a program called with arguments it does not accept.
constexpr int kUsageError = 2;

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}
} // namespace

std::optional<int> handleCommandLine(int argc, char *argv[])
{
    // The ordinary start has no arguments and pays nothing for this.
    if (argc <= 1)
        return std::nullopt;

    // A core application object only, so that the parser can name the program in its help: it
    // needs no display, and it is gone before the program's own application object exists.
    QCoreApplication::setApplicationName(QStringLiteral("kelvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELVANE_VERSION));
    QCoreApplication app(argc, argv);

    // Qt's addHelpOption() would also offer --help-all, which lists Qt's generic options;
    // this program accepts none of them.
    QCommandLineParser parser;
    // "-platform" is then one unknown option, not eight unknown letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    // The settings file's place as this install has it: beside the program, or in the shared
    // folder the build was given.
    const QByteArray folder = Program::installedSettingsFolder();
    const QString file = folder.isEmpty()
        ? QCoreApplication::translate("commandline", "Kelvane.ini in the program's folder")
        : QFile::decodeName(folder == "/" ? folder + "Kelvane.ini" : folder + "/Kelvane.ini");
    parser.setApplicationDescription(QCoreApplication::translate("commandline",
        "Measures the angle of a squint in prism dioptres.\n"
        "All settings, the screen calibration among them, are kept in the file\n"
        "%1; the program takes no other options.")
                                         .arg(file));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
        QCoreApplication::translate("commandline", "Displays this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
        QCoreApplication::translate("commandline", "Displays the version."));
    parser.addOption(help);
    parser.addOption(version);

    if (!parser.parse(QCoreApplication::arguments())) {
        print(stderr,
            QCoreApplication::translate("commandline", "kelvane: %1 Try 'kelvane --help'.\n")
                .arg(parser.errorText().simplified()));
        return kUsageError;
    }
    if (!parser.positionalArguments().isEmpty()) {
        print(stderr,
            QCoreApplication::translate(
                "commandline", "kelvane: unexpected argument '%1'. Try 'kelvane --help'.\n")
                .arg(parser.positionalArguments().constFirst()));
        return kUsageError;
    }
    if (parser.isSet(help)) {
        print(stdout, parser.helpText());
        return 0;
    }
    if (parser.isSet(version)) {
        print(stdout, QStringLiteral("kelvane %1\n").arg(QCoreApplication::applicationVersion()));
        return 0;
    }
    // Only "--" was given: nothing asked of the terminal, so the program starts.
    return std::nullopt;
}
