#include "platform/platform.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>

#ifdef KELVANE_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <cstdlib>
#endif

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

#ifdef KELVANE_HAVE_XCB
namespace {
// The window a property of `window` names, or none (0) when it names none.
xcb_window_t windowProperty(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t property)
{
    xcb_window_t named = 0;
    const xcb_get_property_cookie_t cookie
        = xcb_get_property(connection, 0, window, property, XCB_ATOM_WINDOW, 0, 1);
    if (xcb_get_property_reply_t *reply = xcb_get_property_reply(connection, cookie, nullptr)) {
        if (reply->type == XCB_ATOM_WINDOW && reply->format == 32
            && xcb_get_property_value_length(reply) >= int(sizeof(xcb_window_t)))
            named = *static_cast<const xcb_window_t *>(xcb_get_property_value(reply));
        std::free(reply);
    }
    return named;
}

// An EWMH window manager names its check window on the root window, and the check window
// names itself; a manager that has gone leaves a stale name behind, which fails the second test.
bool x11WindowManagerRunning()
{
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen)
        return false;
    static constexpr char kName[] = "_NET_SUPPORTING_WM_CHECK";
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, sizeof(kName) - 1, kName), nullptr);
    if (!atom)
        return false;
    const xcb_atom_t check = atom->atom;
    std::free(atom);
    if (check == XCB_ATOM_NONE)
        return false;
    const xcb_window_t manager = windowProperty(connection, screen->root, check);
    return manager != 0 && windowProperty(connection, manager, check) == manager;
}
} // namespace
#endif

bool windowManagerRunning()
{
    const QString name = QGuiApplication::platformName();
    if (name == QLatin1String("wayland"))
        return true; // the compositor places every surface
#ifdef KELVANE_HAVE_XCB
    if (name == QLatin1String("xcb"))
        return x11WindowManagerRunning();
#endif
    return false;
}

} // namespace platform
