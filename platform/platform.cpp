#include "platform/platform.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {
namespace {
constexpr char kGuardName[] = "kelvane.instance";
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

QByteArray programFolder()
{
    // The kernel's link has every other link resolved and is taken as bytes: decoding it as
    // text would lose a folder name that is not valid UTF-8, and with it the settings file.
    QByteArray path(PATH_MAX, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), size_t(path.size()));
    if (n <= 0 || n >= path.size())
        return {};
    path.truncate(n);
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return {};
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray runtimeFolder()
{
    // Qt refuses a runtime folder with the wrong owner or mode, so nobody else can plant or
    // replace files there.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return QFile::encodeName(runtime.isEmpty() ? QDir::homePath() : runtime);
}

InstanceGuard::InstanceGuard(QByteArray folder)
    : m_folder(std::move(folder))
{
}

InstanceGuard::~InstanceGuard()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool InstanceGuard::anotherInstanceRunning()
{
    if (m_fd >= 0)
        return false;
    const QByteArray path = m_folder + '/' + kGuardName;
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false; // no guard can be had: better to run than to refuse a clinician the program
    // Two instances racing for the lock cannot both win.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        m_fd = fd;
        return false;
    }
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held;
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

} // namespace platform
