#include "platform/privacy.h"

#include <QCoreApplication>
#include <QFile>
#include <QList>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <pwd.h>
#include <sys/fsuid.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>

namespace platform {

void stopCoreDumps()
{
    // Not dumpable: no core file, whatever the system's settings, and no debugger of the same
    // user. The limit covers a core pattern that would still be asked to write one.
    (void)::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    const rlimit none {0, 0};
    (void)::setrlimit(RLIMIT_CORE, &none);
}

namespace {

constexpr mode_t kPrivateMode = 0600;
// As many links as the kernel follows in one path before it gives up.
constexpr int kMostLinks = 40;
// The temporary file's name says nothing of what it holds: ".kelvane-XXXXXXXX.part".
constexpr QByteArrayView kTemporaryPrefix = ".kelvane-";
constexpr QByteArrayView kTemporarySuffix = ".part";
constexpr QByteArrayView kSuffixCharacters
    = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

QString tr(const char *text)
{
    return QCoreApplication::translate("platform", text);
}

QString shownName(const QByteArray &path)
{
    return QFile::decodeName(path.isEmpty() ? QByteArray("/") : path);
}

QString userName(uid_t uid)
{
    if (const passwd *entry = ::getpwuid(uid))
        return QString::fromLocal8Bit(entry->pw_name);
    return QString::number(uid);
}

// Where anyone may put a name, as in /tmp: world-writable with the sticky bit.
bool sharedFolder(int folder)
{
    struct stat status
    {
    };
    return ::fstat(folder, &status) == 0 && (status.st_mode & S_ISVTX)
        && (status.st_mode & S_IWOTH);
}

QList<QByteArray> components(const QByteArray &path)
{
    QList<QByteArray> parts = path.split('/');
    parts.removeAll(QByteArray());
    return parts;
}

void replace(int &fd, int with)
{
    if (fd >= 0)
        ::close(fd);
    fd = with;
}

} // namespace

PrivateFile::PrivateFile(const QString &path)
    : m_path(QFile::encodeName(path))
{
}

PrivateFile::~PrivateFile()
{
    removeTemporary();
    replace(m_folder, -1);
}

QString PrivateFile::handleName() const
{
    return QStringLiteral("/proc/self/fd/%1").arg(m_fd);
}

bool PrivateFile::fail(const QString &error)
{
    m_error = error;
    removeTemporary();
    return false;
}

bool PrivateFile::failSystem(const QByteArray &shown, int error)
{
    return fail(tr("%1: %2.").arg(shownName(shown), qt_error_string(error)));
}

void PrivateFile::removeTemporary()
{
    replace(m_fd, -1);
    if (!m_temporary.isEmpty())
        ::unlinkat(m_folder, m_temporary.constData(), 0);
    m_temporary.clear();
}

bool PrivateFile::open()
{
    // The owner the system gives the files this process makes; setfsuid() with no valid user
    // only tells it.
    m_user = uid_t(::setfsuid(uid_t(-1)));
    if (!findPlace() || !judgeExisting())
        return false;
    QRandomGenerator *random = QRandomGenerator::global();
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        QByteArray name = kTemporaryPrefix.toByteArray();
        for (int i = 0; i < 8; ++i)
            name += kSuffixCharacters[random->bounded(int(kSuffixCharacters.size()))];
        name += kTemporarySuffix;
        m_fd = ::openat(m_folder, name.constData(),
            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, kPrivateMode);
        if (m_fd >= 0)
            m_temporary = name;
        else if (errno != EEXIST)
            break;
    }
    if (m_fd < 0)
        return fail(tr("Cannot make a file in %1: %2.")
                        .arg(shownName(m_folderShown), qt_error_string(errno)));
    // The umask may have taken the owner's own permission: set, never widened later.
    if (::fchmod(m_fd, kPrivateMode) != 0)
        return failSystem(m_folderShown + '/' + m_temporary, errno);
    return true;
}

// Walks the path one name at a time from a descriptor of the folder before it, each name opened
// as itself (O_PATH | O_NOFOLLOW): a link is read through the very descriptor whose owner was
// judged. Leaves the folder the file goes into, and the name in it.
bool PrivateFile::findPlace()
{
    const bool absolute = m_path.startsWith('/');
    QList<QByteArray> pending = components(m_path);
    int current = ::open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    replace(m_folder, current);
    m_folderShown = absolute ? QByteArray() : QByteArray(".");
    if (current < 0)
        return failSystem(m_folderShown, errno);
    int links = 0;
    while (!pending.isEmpty()) {
        const QByteArray name = pending.takeFirst();
        const bool last = pending.isEmpty();
        const QByteArray shown = m_folderShown + '/' + name;
        const int entry = ::openat(m_folder, name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        if (entry < 0 && errno == ENOENT && last) {
            m_name = name;
            m_exists = false;
            return true;
        }
        if (entry < 0)
            return failSystem(shown, errno);
        struct stat status
        {
        };
        if (::fstat(entry, &status) != 0) {
            const int error = errno;
            ::close(entry);
            return failSystem(shown, error);
        }
        if (S_ISLNK(status.st_mode)) {
            // The user's own link goes where the user put it; root's links are the system's
            // (/var/run). Any other link may have been put there to send the file elsewhere.
            if (status.st_uid != m_user && (last || status.st_uid != 0)) {
                ::close(entry);
                const QString owner = userName(status.st_uid);
                QString error = tr("%1 is a link of another user's (%2): Kelvane neither writes "
                                   "through it nor replaces it.")
                                    .arg(shownName(shown), owner);
                if (sharedFolder(m_folder))
                    error += QLatin1Char(' ')
                        + tr("Anyone may put a link in %1: choose another name, or a folder "
                             "of your own.")
                              .arg(shownName(m_folderShown));
                return fail(error);
            }
            QByteArray target(PATH_MAX, '\0');
            const ssize_t n = ++links > kMostLinks
                ? -1
                : ::readlinkat(entry, "", target.data(), size_t(target.size()));
            const int error = links > kMostLinks ? ELOOP : errno;
            ::close(entry);
            if (n <= 0 || n >= target.size())
                return failSystem(shown, n < 0 ? error : ENAMETOOLONG);
            target.truncate(n);
            pending = components(target) + pending;
            if (target.startsWith('/')) {
                current = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
                replace(m_folder, current);
                m_folderShown.clear();
                if (current < 0)
                    return failSystem("/", errno);
            }
            if (pending.isEmpty()) // a link to "/"
                return failSystem(shown, EISDIR);
            continue;
        }
        if (last) {
            ::close(entry);
            m_name = name;
            m_exists = true;
            m_existing = status;
            return true;
        }
        if (!S_ISDIR(status.st_mode)) {
            ::close(entry);
            return failSystem(shown, ENOTDIR);
        }
        replace(m_folder, entry);
        m_folderShown = shown;
    }
    return failSystem(m_path, EISDIR); // "/" or "." alone
}

// Only a plain file of the user's own with one name, not made read-only, is replaced: the file
// dialog has asked about it. Replacing another's file would take it from them; a file with a second
// name would keep its old content under that name.
bool PrivateFile::judgeExisting()
{
    if (!m_exists)
        return true;
    const QString shown = shownName(m_folderShown + '/' + m_name);
    if (S_ISDIR(m_existing.st_mode))
        return failSystem(m_folderShown + '/' + m_name, EISDIR);
    if (!S_ISREG(m_existing.st_mode))
        return fail(tr("%1 is not a plain file but a pipe, a socket or a device: Kelvane does "
                       "not replace it.")
                        .arg(shown));
    if (m_existing.st_uid != m_user)
        return fail(tr("%1 belongs to another user (%2): Kelvane does not replace it.")
                        .arg(shown, userName(m_existing.st_uid)));
    if (m_existing.st_nlink != 1)
        return fail(tr("%1 is one of %2 names of one file (hard links): Kelvane does not "
                       "replace it.")
                        .arg(shown, QString::number(m_existing.st_nlink)));
    // A report its owner made read-only is kept, as a file with the read-only attribute is.
    if ((m_existing.st_mode & S_IWUSR) == 0)
        return fail(tr("%1 is read-only: Kelvane does not replace it.").arg(shown));
    return true;
}

bool PrivateFile::write(QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return failSystem(m_folderShown + '/' + m_name, n < 0 ? errno : ENOSPC);
        done += n;
    }
    return true;
}

bool PrivateFile::commit()
{
    if (m_fd < 0)
        return false; // open() failed and said why
    // An error from the flush means the disk may not hold the content: nothing is put in place.
    if (::fsync(m_fd) != 0)
        return failSystem(m_folderShown + '/' + m_name, errno);
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0)
        return failSystem(m_folderShown + '/' + m_name, errno);
    if (!putInPlace())
        return false;
    m_temporary.clear();
    // The rename is an entry in the folder: syncing the folder makes the new file what a power
    // cut brings back. Best effort: a folder may not be readable, or not syncable.
    const int folder = ::openat(m_folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        (void)::fsync(folder);
        ::close(folder);
    }
    return true;
}

// Renames the temporary file over the name where it still holds what was judged: the same
// file, or nothing.
bool PrivateFile::putInPlace()
{
    const QByteArray shown = m_folderShown + '/' + m_name;
    const QString changed
        = tr("%1 was changed by someone else while the file was being saved: nothing was "
             "replaced.")
              .arg(shownName(shown));
    if (m_exists) {
        struct stat now
        {
        };
        if (::fstatat(m_folder, m_name.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0
            || now.st_dev != m_existing.st_dev || now.st_ino != m_existing.st_ino)
            return fail(changed);
        if (::renameat(m_folder, m_temporary.constData(), m_folder, m_name.constData()) != 0)
            return failSystem(shown, errno);
        return true;
    }
    if (::renameat2(
            m_folder, m_temporary.constData(), m_folder, m_name.constData(), RENAME_NOREPLACE)
        == 0)
        return true;
    if (errno == EEXIST)
        return fail(changed);
    if (errno != EINVAL && errno != ENOSYS)
        return failSystem(shown, errno);
    // A file system without that rename (NFS): a second name made only where none is, then the
    // temporary one removed; without second names either (a Windows share), the name is looked
    // at once more just before the rename.
    if (::linkat(m_folder, m_temporary.constData(), m_folder, m_name.constData(), 0) == 0) {
        ::unlinkat(m_folder, m_temporary.constData(), 0);
        return true;
    }
    if (errno == EEXIST)
        return fail(changed);
    struct stat now
    {
    };
    if (::fstatat(m_folder, m_name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT)
        return fail(changed);
    if (::renameat(m_folder, m_temporary.constData(), m_folder, m_name.constData()) != 0)
        return failSystem(shown, errno);
    return true;
}

} // namespace platform
