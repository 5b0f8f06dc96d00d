#include "platform/platform.h"

#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QWindow>

#ifdef KELVANE_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <cstdlib>
#endif

#include <cerrno>
#include <climits>
#include <dlfcn.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
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

bool displayAvailable(QString &reason)
{
    const QByteArray platformName = qgetenv("QT_QPA_PLATFORM");
    const QByteArray display = qgetenv("DISPLAY");
    if (!platformName.isEmpty() || !qgetenv("WAYLAND_DISPLAY").isEmpty())
        return true; // Qt is told where to go, or finds its way to the Wayland compositor
    if (display.isEmpty()) {
        reason = QStringLiteral("no display to show the program on (DISPLAY is not set)");
        return false;
    }
    // Ask the X server the way Qt's X11 platform will, through the library that Qt loads
    // anyway, without making it a build dependency of the program.
    void *xcb = ::dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!xcb)
        return true; // let Qt find out for itself
    using Connect = void *(*)(const char *, int *);
    using HasError = int (*)(void *);
    using Disconnect = void (*)(void *);
    const auto connect = reinterpret_cast<Connect>(::dlsym(xcb, "xcb_connect"));
    const auto hasError = reinterpret_cast<HasError>(::dlsym(xcb, "xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<Disconnect>(::dlsym(xcb, "xcb_disconnect"));
    bool reached = true;
    if (connect && hasError && disconnect) {
        void *connection = connect(display.constData(), nullptr);
        reached = hasError(connection) == 0;
        disconnect(connection);
    }
    ::dlclose(xcb);
    if (!reached)
        reason = QStringLiteral("cannot reach the display %1 (is the X server running, and may "
                                "this user use it?)")
                     .arg(QString::fromLocal8Bit(display));
    return reached;
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

namespace {
// Opens a lock file without following a link or hanging on a pipe put in its place. `mode` is
// the mode of a new file; the umask is not allowed to narrow it, since members of a shared
// install's group must be able to open the lock of the folder too.
int openLockFile(const QByteArray &path, mode_t mode)
{
    const int flags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | flags, mode);
    if (fd >= 0) {
        (void)::fchmod(fd, mode);
        return fd;
    }
    fd = ::open(path.constData(), O_RDWR | flags);
    if (fd < 0 && errno == EACCES)
        fd = ::open(path.constData(), O_RDONLY | flags); // a lock needs no write permission
    if (fd < 0)
        return -1;
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Takes the lock on `fd`: 1 taken, 0 held by another process, -1 no lock can be had.
int lock(int fd)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return 1;
    return errno == EWOULDBLOCK ? 0 : -1;
}

// "name since 2026-12-08 10:31", written into the folder lock for the next user to read.
QByteArray holderText()
{
    QByteArray name = qgetenv("USER");
    if (const passwd *entry = ::getpwuid(::getuid()))
        name = entry->pw_name;
    if (name.isEmpty())
        name = QByteArray::number(::getuid());
    return name + " since "
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")).toLatin1()
        + '\n';
}

// What an instance wrote into the lock, cut short and stripped of anything but plain
// printable characters: the file may hold anything.
QString readHolder(int fd)
{
    char buffer[128] = {};
    const ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
    QString text;
    for (ssize_t i = 0; i < n && buffer[i] != '\n'; ++i) {
        const auto c = static_cast<unsigned char>(buffer[i]);
        text += (c >= 0x20 && c < 0x7f) ? QLatin1Char(char(c)) : QLatin1Char('?');
    }
    return text;
}
} // namespace

InstanceGuard::InstanceGuard(QByteArray userFolder, QByteArray programFolder)
    : m_userFolder(std::move(userFolder))
    , m_programFolder(std::move(programFolder))
{
}

InstanceGuard::~InstanceGuard()
{
    for (int fd : {m_userFd, m_folderFd}) {
        if (fd >= 0)
            ::close(fd);
    }
}

InstanceGuard::Holder InstanceGuard::take()
{
    if (m_userFd >= 0)
        return Holder::Nobody;
    // No guard can be had (no such folder, no permission): better to run than to refuse a
    // clinician the program.
    const int userFd = openLockFile(m_userFolder + '/' + kGuardName, 0600);
    if (userFd >= 0) {
        const int locked = lock(userFd);
        if (locked == 0) {
            ::close(userFd);
            return Holder::SameUser;
        }
        if (locked < 0)
            ::close(userFd);
        else
            m_userFd = userFd;
    }
    if (m_programFolder.isEmpty())
        return Holder::Nobody;
    // The folder's lock is group-writable, so that every member of a shared install's group
    // can take it in turn; in a folder that gives new files its group, the lock has it too.
    const int folderFd = openLockFile(m_programFolder + '/' + kFolderLockName, 0664);
    if (folderFd < 0)
        return Holder::Nobody;
    const int locked = lock(folderFd);
    if (locked == 0) {
        m_folderHolder = readHolder(folderFd);
        ::close(folderFd);
        if (m_userFd >= 0) {
            ::close(m_userFd);
            m_userFd = -1;
        }
        return Holder::OtherUser;
    }
    if (locked < 0) {
        ::close(folderFd);
        return Holder::Nobody;
    }
    m_folderFd = folderFd;
    const QByteArray text = holderText();
    if (::ftruncate(folderFd, 0) == 0)
        (void)::pwrite(folderFd, text.constData(), size_t(text.size()), 0);
    return Holder::Nobody;
}

ScreenSize screenSize(const QScreen *screen)
{
    const QRect r = screenGeometry(screen);
    return {float(r.width()), float(r.height())};
}

QRect screenGeometry(const QScreen *screen)
{
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const qreal ratio = screen->devicePixelRatio();
    const QRect g = screen->geometry();
    return QRect(g.topLeft() * ratio, g.size() * ratio);
}

QPointF pointerPosition(const QScreen *screen)
{
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    // One pointer moves over every monitor: the position is the desktop's, whichever screen is
    // asked (some platforms keep a pointer object per screen, and only the primary's moves).
    const QPoint fromCorner = QCursor::pos() - screen->geometry().topLeft();
    return QPointF(fromCorner) * screen->devicePixelRatio();
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

xcb_connection_t *x11Connection()
{
    const auto *x11
        = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// An active pointer grab confined to the window: the X server keeps the pointer inside it and
// brings a pointer that stands outside to the nearest edge. The program's own windows still
// get their pointer events as usual (owner events). A grab needs a viewable window, so it is
// taken when the window is exposed, and again when it gets the keyboard back; the server
// itself ends it when the window is unmapped.
class PointerConfinement final : public QObject
{
public:
    explicit PointerConfinement(QWindow *window)
        : QObject(window)
        , m_window(window)
    {
        window->installEventFilter(this);
        if (window->isExposed())
            grab();
    }
    ~PointerConfinement() override { release(); }
    PointerConfinement(const PointerConfinement &) = delete;
    PointerConfinement &operator=(const PointerConfinement &) = delete;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Expose:
        case QEvent::FocusIn:
            if (m_window->isExposed())
                grab();
            break;
        case QEvent::FocusOut:
        case QEvent::Hide:
            release();
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void grab()
    {
        xcb_connection_t *connection = x11Connection();
        if (m_grabbed || !connection)
            return;
        const auto window = xcb_window_t(m_window->winId());
        const uint16_t events = XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE
            | XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_BUTTON_MOTION
            | XCB_EVENT_MASK_ENTER_WINDOW | XCB_EVENT_MASK_LEAVE_WINDOW;
        const xcb_grab_pointer_cookie_t cookie = xcb_grab_pointer(connection, 1, window, events,
            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, window, XCB_NONE, XCB_CURRENT_TIME);
        // Refused while another program holds the pointer (a window manager's menu): the next
        // exposure or return of the keyboard tries again.
        if (xcb_grab_pointer_reply_t *reply = xcb_grab_pointer_reply(connection, cookie, nullptr)) {
            m_grabbed = reply->status == XCB_GRAB_STATUS_SUCCESS;
            std::free(reply);
        }
    }

    void release()
    {
        xcb_connection_t *connection = x11Connection();
        if (!m_grabbed || !connection)
            return;
        m_grabbed = false;
        xcb_ungrab_pointer(connection, XCB_CURRENT_TIME);
        xcb_flush(connection);
    }

    QWindow *m_window;
    bool m_grabbed = false;
};
} // namespace
#endif

void confinePointer(QWindow *window)
{
    if (!window)
        return;
#ifdef KELVANE_HAVE_XCB
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        new PointerConfinement(window);
        return;
    }
#endif
    // Under Wayland a client may neither grab nor confine the pointer through Qt's public API:
    // the compositor's pointer-constraints protocol is reached only through Qt's private
    // Wayland client classes. The full-screen surface covers the monitor, and the compositor
    // decides where the pointer may go.
}

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
