#include "app/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {
namespace {
QString s_programFolder;
QString s_guardFolder;
int s_guardFd = -1;
bool s_ended = false;

constexpr char kGuardName[] = "kelvane.instance";

QString guardFolder()
{
    if (!s_guardFolder.isEmpty())
        return s_guardFolder;
    // The runtime folder belongs to the user alone (mode 0700), so nobody else can plant or
    // replace the guard there; Qt refuses one with the wrong owner or mode.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::homePath() : runtime;
}
} // namespace

void prepareApplication()
{
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    qunsetenv("QT_SCALE_FACTOR");
    qunsetenv("QT_SCREEN_SCALE_FACTORS");
    qunsetenv("QT_AUTO_SCREEN_SCALE_FACTOR");
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}

QString programFolder()
{
    if (!s_programFolder.isEmpty())
        return s_programFolder;
    // applicationDirPath() comes from /proc/self/exe, which already has every link resolved.
    return QFileInfo(QCoreApplication::applicationDirPath()).canonicalFilePath();
}

void setProgramFolder(const QString &folder)
{
    s_programFolder = folder;
}

bool anotherInstanceRunning()
{
    if (s_guardFd >= 0)
        return false;
    const QByteArray path
        = QFile::encodeName(guardFolder() + QLatin1Char('/') + QLatin1String(kGuardName));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false; // no guard can be had: better to run than to refuse a clinician the program
    // The kernel drops an flock() with the last descriptor, so a killed instance leaves no
    // stale guard behind, and two instances racing for it cannot both win.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        s_guardFd = fd;
        return false;
    }
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

void setInstanceGuardFolder(const QString &folder)
{
    s_guardFolder = folder;
}

ScreenSize screenSize()
{
    const QRect r = screenGeometry();
    return {float(r.width()), float(r.height())};
}

QRect screenGeometry()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const qreal ratio = screen->devicePixelRatio();
    const QRect g = screen->geometry();
    return QRect(g.topLeft() * ratio, g.size() * ratio);
}

void endProgram()
{
    s_ended = true;
    QCoreApplication::exit(0);
}

bool programEnded()
{
    return s_ended;
}

void resetProgramEnded()
{
    s_ended = false;
}

} // namespace platform
