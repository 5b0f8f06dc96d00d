#include "platform/platform.h"

#include "platform/logging.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
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
#include <functional>
#endif

#include <cerrno>
#include <climits>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcPlatform, "kelvane.platform", QtWarningMsg)

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
    // The desktop's own file dialogs (GTK's, a portal's) keep every file name they are given in
    // a history of the whole desktop (recently-used.xbel), and a report's name may name the
    // patient. Qt's own dialogs keep no file name; this reaches the print dialog's too.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

base::Expected<void> displayAvailable()
{
    const QByteArray platformName = qgetenv("QT_QPA_PLATFORM");
    const QByteArray display = qgetenv("DISPLAY");
    if (!platformName.isEmpty() || !qgetenv("WAYLAND_DISPLAY").isEmpty())
        return {}; // Qt is told where to go, or finds its way to the Wayland compositor
    if (display.isEmpty())
        return base::unexpected(QCoreApplication::translate(
            "platform", "no display to show the program on (DISPLAY is not set)"));
    // Ask the X server the way Qt's X11 platform will, through the library that Qt loads
    // anyway, without making it a build dependency of the program.
    void *xcb = ::dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!xcb)
        return {}; // let Qt find out for itself
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
        return base::unexpected(QCoreApplication::translate("platform",
            "cannot reach the display %1 (is the X server running, and may "
            "this user use it?)")
                                    .arg(QString::fromLocal8Bit(display)));
    return {};
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
// The user's name as the password database gives it for `uid`; the number where it has none.
QString userName(uid_t uid)
{
    if (const passwd *entry = ::getpwuid(uid))
        return QString::fromLocal8Bit(entry->pw_name);
    return QString::number(uid);
}

// Whether this process acts with group `gid`, as its own or as a supplementary group.
bool inGroup(gid_t gid)
{
    if (::getegid() == gid)
        return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0)
        return false;
    QList<gid_t> groups(count);
    const int got = ::getgroups(count, groups.data());
    return got > 0 && groups.first(got).contains(gid);
}

// Why the lock `status` at `path` may not be opened by this user. A user of the folder's group
// is kept out by the file itself (its owner narrowed its permissions, or gave it another
// group): that is named, with the owner, since adding the user to the group would change
// nothing. Anyone else is not among the users who may save the settings.
QString lockNotOpened(const QByteArray &path, const struct stat &status, const QString &name)
{
    struct stat folder
    {
    };
    const QByteArray folderPath = path.left(qMax(1, path.lastIndexOf('/')));
    if (::stat(folderPath.constData(), &folder) == 0 && inGroup(folder.st_gid)
        && status.st_uid != ::geteuid())
        return QCoreApplication::translate("platform",
            "Kelvane cannot start: its lock file %1 belongs to %2, and its permissions (%3) keep "
            "the other users of the folder's group out. Ask whoever looks after this computer "
            "to remove it (Kelvane makes it anew), or %2 to start Kelvane once, which opens it "
            "to the group again.")
            .arg(name, userName(status.st_uid),
                QStringLiteral("%1").arg(status.st_mode & 07777, 4, 8, QLatin1Char('0')));
    return QCoreApplication::translate("platform",
        "Kelvane in this folder is not for this user: its lock file %1 may be used only by the "
        "users who may save its settings. Ask whoever looks after this computer to add this "
        "user to the folder's group.")
        .arg(name);
}

// The lock's mode, which the umask must not narrow: every member of a shared install's group
// must be able to open the folder's lock. Where it cannot be set, the next start of another
// member may be kept out and is told so; the log says why.
void setLockMode(int fd, mode_t mode, const QByteArray &path)
{
    if (::fchmod(fd, mode) != 0)
        qCWarning(lcPlatform, "cannot set mode %o of the lock %s: %s", unsigned(mode),
            path.constData(), std::strerror(errno));
}

// Opens the lock at `path` for writing, making it with `mode` when it is missing. A lock is
// opened for writing, never for reading alone, so that only a user who may write it, and with
// it the settings, can hold it. Returns no descriptor with `refusal` empty when no lock can be
// had at all (no such folder, or one this user may not write and that holds no lock yet):
// nobody else can lock there either, and the program runs. Returns none with `refusal` set
// when something is at the name that this user may not open, or that is not a plain file of
// one name: a link, a pipe, a folder, a device or a second name of someone's file is never
// opened, let alone locked or written.
base::Descriptor openLockFile(const QByteArray &path, mode_t mode, QString &refusal)
{
    const QString name = QFile::decodeName(path);
    for (int attempt = 0; attempt < 3; ++attempt) {
        base::Descriptor fd(::open(
            path.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, mode));
        if (fd.isOpen()) {
            setLockMode(fd.get(), mode, path);
            return fd;
        }
        if (errno != EEXIST)
            return {};
        // Looked at through a descriptor that opens nothing (a pipe or a device acts when
        // opened), then opened again through that descriptor: the file opened is the one
        // looked at, whatever is put at the name meanwhile (no TOCTOU).
        const base::Descriptor pathFd(::open(path.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (!pathFd.isOpen()) {
            if (errno == ENOENT)
                continue; // removed meanwhile: make it anew
            return {};
        }
        struct stat status
        {
        };
        if (::fstat(pathFd.get(), &status) != 0)
            return {};
        if (!S_ISREG(status.st_mode) || status.st_nlink != 1) {
            const char *what = S_ISLNK(status.st_mode) ? QT_TRANSLATE_NOOP("platform", "a link")
                : S_ISDIR(status.st_mode)              ? QT_TRANSLATE_NOOP("platform", "a folder")
                : S_ISREG(status.st_mode)
                ? QT_TRANSLATE_NOOP("platform", "a file with more than one name (a hard link)")
                : QT_TRANSLATE_NOOP("platform", "a pipe, a socket or a device");
            refusal = QCoreApplication::translate("platform",
                "Kelvane cannot start: %1 is not its lock file but %2. Ask "
                "whoever looks after this computer to remove it.")
                          .arg(name, QCoreApplication::translate("platform", what));
            return {};
        }
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(pathFd.get());
        fd.reset(::open(self.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
        if (!fd.isOpen()) {
            if (errno == EACCES || errno == EPERM)
                refusal = lockNotOpened(path, status, name);
            return {};
        }
        // A lock left by an older version may be open to everybody, who could then hold it
        // for reading: its owner narrows it.
        if ((status.st_mode & 07777) != mode && status.st_uid == ::geteuid())
            setLockMode(fd.get(), mode, path);
        return fd;
    }
    return {};
}

// A write lock on one byte of the file, counted from its start.
struct flock byteRange(off_t byte)
{
    struct flock range
    {
    };
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = byte;
    range.l_len = 1;
    return range;
}

// The lock is an open-file-description lock on the file's first byte: it belongs to this
// descriptor, so two guards in one process exclude each other as two processes do, and a file
// lock taken on the same file by anything else (flock) does not count. Beside it, the holder
// takes a process lock on the second byte, which the kernel reports with the holder's process
// id: that is how the next user learns who holds the program, whatever the file says.
// 1 taken, 0 held by another, -1 no lock can be had.
int lock(int fd)
{
    struct flock range = byteRange(0);
    if (::fcntl(fd, F_OFD_SETLK, &range) != 0)
        return errno == EAGAIN || errno == EACCES ? 0 : -1;
    // Without it the instance runs as well; only the next user is not told who holds it.
    range.l_start = 1;
    if (::fcntl(fd, F_SETLK, &range) != 0)
        qCInfo(lcPlatform, "cannot name this process in the lock: %s", std::strerror(errno));
    return 1;
}

// The process that holds the lock on `fd`'s file, as the kernel tells it; 0 when it does not.
// The program's own holder is named by its lock on the second byte; a lock taken by other means
// (a process lock on the whole file) is named by its first. An open-file-description lock alone
// names no process.
pid_t lockHolder(int fd)
{
    for (const off_t byte : {1, 0}) {
        struct flock range = byteRange(byte);
        if (::fcntl(fd, F_GETLK, &range) == 0 && range.l_type != F_UNLCK && range.l_pid > 0)
            return range.l_pid;
    }
    return 0;
}

// When process `pid` started, from the kernel's count of clock ticks since the system booted.
QDateTime processStart(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    QFile system(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly) || !system.open(QIODevice::ReadOnly))
        return {};
    // The command name in parentheses may hold anything, blanks and parentheses too.
    const QByteArray line = stat.read(4096);
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20)
        return {};
    const qint64 ticks = fields.at(19).toLongLong(); // the 22nd field of the line
    for (QByteArray entry = system.readLine(); !entry.isEmpty(); entry = system.readLine()) {
        if (entry.startsWith("btime "))
            return QDateTime::fromSecsSinceEpoch(
                entry.mid(6).trimmed().toLongLong() + ticks / ::sysconf(_SC_CLK_TCK));
    }
    return {};
}

// "name since 2026-12-08 10:31": the user who holds the lock on `fd`'s file, and since when,
// from the kernel alone. Empty when it cannot tell.
QString holderOf(int fd)
{
    const pid_t pid = lockHolder(fd);
    if (pid == 0)
        return {};
    struct stat status
    {
    };
    if (::stat(QByteArray("/proc/" + QByteArray::number(pid)).constData(), &status) != 0)
        return {};
    const QDateTime since = processStart(pid);
    // The holder may have ended meanwhile and its number gone to another process.
    if (lockHolder(fd) != pid)
        return {};
    QString name = userName(status.st_uid);
    if (!since.isValid())
        return name;
    return QCoreApplication::translate("platform", "%1 since %2")
        .arg(name, since.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
}

// Whether the file locked through `fd` is still the lock at `path`: a lock file removed or
// replaced by another is no lock for the next user, who finds a new file there.
bool lockedAtName(const QByteArray &path, int fd)
{
    struct stat locked
    {
    }, named {};
    return ::fstat(fd, &locked) == 0 && ::lstat(path.constData(), &named) == 0
        && locked.st_dev == named.st_dev && locked.st_ino == named.st_ino && S_ISREG(named.st_mode)
        && named.st_nlink == 1;
}

constexpr mode_t kFolderLockMode = 0660;
} // namespace

InstanceGuard::InstanceGuard(QByteArray userFolder, QByteArray programFolder)
    : m_userFolder(std::move(userFolder))
    , m_programFolder(std::move(programFolder))
{
}

InstanceGuard::Holder InstanceGuard::take()
{
    // Locking again would open the file again and find it locked, by this very process.
    if (!m_taken) {
        m_taken = true;
        m_holder = takeOnce();
    }
    return m_holder;
}

InstanceGuard::Holder InstanceGuard::takeOnce()
{
    // No guard can be had (no such folder, no permission): better to run than to refuse a
    // clinician the program.
    QString refusal;
    const QByteArray userLock = m_userFolder + '/' + kGuardName;
    base::Descriptor userFd = openLockFile(userLock, 0600, refusal);
    if (userFd.isOpen()) {
        const int locked = lock(userFd.get());
        if (locked == 0)
            return Holder::SameUser;
        if (locked > 0)
            m_userFd = std::move(userFd);
    }
    if (!refusal.isEmpty()) {
        m_refusal = refusal;
        return Holder::Refused;
    }
    if (m_programFolder.isEmpty())
        return Holder::Nobody;
    base::Descriptor folderFd;
    const Holder holder = takeFolderLock(folderFd);
    if (holder != Holder::Nobody)
        m_userFd.reset();
    m_folderFd = std::move(folderFd);
    return holder;
}

// Locks the folder's lock at its name into `fd`. A file replaced between opening and locking
// is tried again: a lock is only a lock while it is the file at the name.
InstanceGuard::Holder InstanceGuard::takeFolderLock(base::Descriptor &fd)
{
    const QByteArray path = m_programFolder + '/' + kFolderLockName;
    for (int attempt = 0; attempt < 5; ++attempt) {
        QString refusal;
        base::Descriptor opened = openLockFile(path, kFolderLockMode, refusal);
        if (!opened.isOpen()) {
            m_refusal = refusal;
            return refusal.isEmpty() ? Holder::Nobody : Holder::Refused;
        }
        const int locked = lock(opened.get());
        if (locked == 0) {
            m_folderHolder = holderOf(opened.get());
            return Holder::OtherUser;
        }
        if (locked < 0)
            return Holder::Nobody;
        if (lockedAtName(path, opened.get())) {
            fd = std::move(opened);
            return Holder::Nobody;
        }
    }
    m_folderHolder.clear();
    return Holder::OtherUser; // someone keeps replacing the lock: not a start to go on with
}

// A user of the group may remove the lock, or put another file in its place, while the program
// runs; the next start would find the name free. The holder looks at the name every little
// while and puts a lock of its own back; a start that came in between holds that new lock,
// which this finds held, and this instance is then the one to end. The kernel drops a lock
// with its process, so the name is the only thing to watch.
InstanceGuard::Holder InstanceGuard::keep()
{
    const QByteArray path = m_programFolder + '/' + kFolderLockName;
    if (!m_folderFd.isOpen() || lockedAtName(path, m_folderFd.get()))
        return Holder::Nobody;
    // Something that is no lock at the name refuses every start, as nobody can lock it: the
    // lock held is kept.
    base::Descriptor fd;
    const QString refusal = m_refusal;
    const Holder holder = takeFolderLock(fd);
    m_refusal = refusal;
    if (holder == Holder::OtherUser)
        return holder;
    if (fd.isOpen())
        m_folderFd = std::move(fd);
    return Holder::Nobody;
}

QString loginName()
{
    return userName(::geteuid());
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

// The X events after which Qt's X11 platform reads the monitors anew: a root window
// reconfigured (how RandR 1.5 monitors are told) and RandR's own notifications.
class MonitorEvents final : public QAbstractNativeEventFilter
{
public:
    MonitorEvents(xcb_connection_t *connection, std::function<void()> seen)
        : m_seen(std::move(seen))
    {
        for (xcb_screen_iterator_t root = xcb_setup_roots_iterator(xcb_get_setup(connection));
             root.rem; xcb_screen_next(&root))
            m_roots << root.data->root;
        static constexpr char kRandr[] = "RANDR";
        const xcb_query_extension_cookie_t cookie
            = xcb_query_extension(connection, sizeof(kRandr) - 1, kRandr);
        if (xcb_query_extension_reply_t *reply
            = xcb_query_extension_reply(connection, cookie, nullptr)) {
            if (reply->present)
                m_randrFirstEvent = reply->first_event;
            std::free(reply);
        }
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        const int type = event->response_type & 0x7f;
        // RandR's ScreenChangeNotify and RRNotify follow one another from its first event.
        const bool randr
            = m_randrFirstEvent && (type == m_randrFirstEvent || type == m_randrFirstEvent + 1);
        const bool rootConfigured = type == XCB_CONFIGURE_NOTIFY
            && m_roots.contains(
                reinterpret_cast<const xcb_configure_notify_event_t *>(event)->window);
        if (randr || rootConfigured)
            m_seen();
        return false;
    }

private:
    std::function<void()> m_seen;
    QList<xcb_window_t> m_roots;
    int m_randrFirstEvent = 0;
};
} // namespace
#endif

MonitorWatch::MonitorWatch()
    : m_seen(seenNow())
{
#ifdef KELVANE_HAVE_XCB
    if (xcb_connection_t *connection = x11Connection()) {
        m_events = std::make_unique<MonitorEvents>(connection, [this] { lookSoon(); });
        QCoreApplication::instance()->installNativeEventFilter(m_events.get());
    }
#endif
}

// The filter takes itself out of the application as it goes.
MonitorWatch::~MonitorWatch() = default;

QList<MonitorWatch::Seen> MonitorWatch::seenNow()
{
    QList<Seen> seen;
    if (!qGuiApp)
        return seen;
    for (const QScreen *screen : QGuiApplication::screens())
        seen << Seen {screen->name(), screen->manufacturer(), screen->model(),
            screen->serialNumber(), screen->physicalSize()};
    return seen;
}

// The event arrives before Qt handles it, and one change of the display comes as several
// events: the monitors are looked at once Qt has taken them all in.
void MonitorWatch::lookSoon()
{
    if (m_lookPending)
        return;
    m_lookPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_lookPending = false;
            QList<Seen> now = seenNow();
            if (now == m_seen)
                return;
            m_seen = std::move(now);
            Q_EMIT changed();
        },
        Qt::QueuedConnection);
}

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

double desktopDpi()
{
#ifdef KELVANE_HAVE_XCB
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (xcb_connection_t *connection = x11Connection()) {
            const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
            if (screen && screen->width_in_millimeters > 0)
                return screen->width_in_pixels * 25.4 / screen->width_in_millimeters;
        }
    }
#endif
    return 0;
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
