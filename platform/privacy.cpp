#include "platform/privacy.h"

#include "platform/logging.h"

#include <QCoreApplication>
#include <QFile>
#include <QList>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
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
    if (::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0)
        qCWarning(lcPlatform, "cannot make the process non-dumpable: %s", std::strerror(errno));
    const rlimit none {0, 0};
    if (::setrlimit(RLIMIT_CORE, &none) != 0)
        qCWarning(lcPlatform, "cannot limit core files to nothing: %s", std::strerror(errno));
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

} // namespace

PrivateFile::PrivateFile(const QString &path)
    : m_path(QFile::encodeName(path))
{
}

PrivateFile::~PrivateFile()
{
    removeTemporary();
}

QString PrivateFile::handleName() const
{
    return QStringLiteral("/proc/self/fd/%1").arg(m_fd.get());
}

base::Unexpected<QString> PrivateFile::fail(const QString &error)
{
    removeTemporary();
    return base::unexpected(error);
}

base::Unexpected<QString> PrivateFile::failSystem(const QByteArray &shown, int error)
{
    return fail(tr("%1: %2.").arg(shownName(shown), qt_error_string(error)));
}

void PrivateFile::removeTemporary()
{
    m_fd.reset();
    if (!m_temporary.isEmpty())
        ::unlinkat(m_folder.get(), m_temporary.constData(), 0);
    m_temporary.clear();
}

PrivateFile::Result PrivateFile::open()
{
    // The owner the system gives the files this process makes; setfsuid() with no valid user
    // only tells it.
    m_user = uid_t(::setfsuid(uid_t(-1)));
    if (Result found = findPlace(); !found)
        return found;
    if (Result judged = judgeExisting(); !judged)
        return judged;
    QRandomGenerator *random = QRandomGenerator::global();
    for (int attempt = 0; attempt < 100 && !m_fd.isOpen(); ++attempt) {
        QByteArray name = kTemporaryPrefix.toByteArray();
        for (int i = 0; i < 8; ++i)
            name += kSuffixCharacters[random->bounded(int(kSuffixCharacters.size()))];
        name += kTemporarySuffix;
        m_fd.reset(::openat(m_folder.get(), name.constData(),
            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, kPrivateMode));
        if (m_fd.isOpen())
            m_temporary = name;
        else if (errno != EEXIST)
            break;
    }
    if (!m_fd.isOpen())
        return fail(tr("Cannot make a file in %1: %2.")
                        .arg(shownName(m_folderShown), qt_error_string(errno)));
    // The umask may have taken the owner's own permission: set, never widened later.
    if (::fchmod(m_fd.get(), kPrivateMode) != 0)
        return failSystem(m_folderShown + '/' + m_temporary, errno);
    return {};
}

// Walks the path one name at a time from a descriptor of the folder before it, each name opened
// as itself (O_PATH | O_NOFOLLOW): a link is read through the very descriptor whose owner was
// judged, so nothing can be swapped in between the look and the use (no TOCTOU). Leaves the
// folder the file goes into, and the name in it.
PrivateFile::Result PrivateFile::findPlace()
{
    const bool absolute = m_path.startsWith('/');
    QList<QByteArray> pending = components(m_path);
    m_folder.reset(::open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    m_folderShown = absolute ? QByteArray() : QByteArray(".");
    if (!m_folder.isOpen())
        return failSystem(m_folderShown, errno);
    int links = 0;
    while (!pending.isEmpty()) {
        const QByteArray name = pending.takeFirst();
        const bool last = pending.isEmpty();
        const QByteArray shown = m_folderShown + '/' + name;
        base::Descriptor entry(
            ::openat(m_folder.get(), name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (!entry.isOpen() && errno == ENOENT && last) {
            m_name = name;
            m_exists = false;
            return {};
        }
        if (!entry.isOpen())
            return failSystem(shown, errno);
        struct stat status
        {
        };
        if (::fstat(entry.get(), &status) != 0)
            return failSystem(shown, errno);
        if (S_ISLNK(status.st_mode)) {
            // The user's own link goes where the user put it; root's links are the system's
            // (/var/run). Any other link may have been put there to send the file elsewhere.
            if (status.st_uid != m_user && (last || status.st_uid != 0)) {
                const QString owner = userName(status.st_uid);
                QString error = tr("%1 is a link of another user's (%2): Kelvane neither writes "
                                   "through it nor replaces it.")
                                    .arg(shownName(shown), owner);
                if (sharedFolder(m_folder.get()))
                    error += QLatin1Char(' ')
                        + tr("Anyone may put a link in %1: choose another name, or a folder "
                             "of your own.")
                              .arg(shownName(m_folderShown));
                return fail(error);
            }
            QByteArray target(PATH_MAX, '\0');
            const ssize_t n = ++links > kMostLinks
                ? -1
                : ::readlinkat(entry.get(), "", target.data(), size_t(target.size()));
            const int error = links > kMostLinks ? ELOOP : errno;
            if (n <= 0 || n >= target.size())
                return failSystem(shown, n < 0 ? error : ENAMETOOLONG);
            target.truncate(n);
            pending = components(target) + pending;
            if (target.startsWith('/')) {
                m_folder.reset(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
                m_folderShown.clear();
                if (!m_folder.isOpen())
                    return failSystem("/", errno);
            }
            if (pending.isEmpty()) // a link to "/"
                return failSystem(shown, EISDIR);
            continue;
        }
        if (last) {
            m_name = name;
            m_exists = true;
            m_existing = status;
            return {};
        }
        if (!S_ISDIR(status.st_mode))
            return failSystem(shown, ENOTDIR);
        m_folder = std::move(entry);
        m_folderShown = shown;
    }
    return failSystem(m_path, EISDIR); // "/" or "." alone
}

// Only a plain file of the user's own with one name, not made read-only, is replaced: the file
// dialog has asked about it. Replacing another's file would take it from them; a file with a second
// name would keep its old content under that name.
PrivateFile::Result PrivateFile::judgeExisting()
{
    if (!m_exists)
        return {};
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
    return {};
}

PrivateFile::Result PrivateFile::write(QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd.get(), bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return failSystem(m_folderShown + '/' + m_name, n < 0 ? errno : ENOSPC);
        done += n;
    }
    return {};
}

PrivateFile::Result PrivateFile::commit()
{
    // Committed already, or never opened: nothing to put in place.
    if (!m_fd.isOpen())
        return failSystem(m_folderShown + '/' + m_name, EBADF);
    // An error from the flush means the disk may not hold the content: nothing is put in place.
    if (::fsync(m_fd.get()) != 0)
        return failSystem(m_folderShown + '/' + m_name, errno);
    if (!m_fd.close())
        return failSystem(m_folderShown + '/' + m_name, errno);
    if (Result placed = putInPlace(); !placed)
        return placed;
    m_temporary.clear();
    // The rename is an entry in the folder: syncing the folder makes the new file what a power
    // cut brings back. Best effort: a folder may not be readable, or not syncable.
    const base::Descriptor folder(
        ::openat(m_folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.isOpen() || ::fsync(folder.get()) != 0)
        qCInfo(lcPlatform, "cannot sync the folder %s: %s", m_folderShown.constData(),
            std::strerror(errno));
    return {};
}

// Renames the temporary file over the name where it still holds what was judged: the same
// file, or nothing.
PrivateFile::Result PrivateFile::putInPlace()
{
    const int folder = m_folder.get();
    const QByteArray shown = m_folderShown + '/' + m_name;
    const QString changed
        = tr("%1 was changed by someone else while the file was being saved: nothing was "
             "replaced.")
              .arg(shownName(shown));
    if (m_exists) {
        struct stat now
        {
        };
        if (::fstatat(folder, m_name.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0
            || now.st_dev != m_existing.st_dev || now.st_ino != m_existing.st_ino)
            return fail(changed);
        if (::renameat(folder, m_temporary.constData(), folder, m_name.constData()) != 0)
            return failSystem(shown, errno);
        return {};
    }
    if (::renameat2(folder, m_temporary.constData(), folder, m_name.constData(), RENAME_NOREPLACE)
        == 0)
        return {};
    if (errno == EEXIST)
        return fail(changed);
    if (errno != EINVAL && errno != ENOSYS)
        return failSystem(shown, errno);
    // A file system without that rename (NFS): a second name made only where none is, then the
    // temporary one removed; without second names either (a Windows share), the name is looked
    // at once more just before the rename.
    if (::linkat(folder, m_temporary.constData(), folder, m_name.constData(), 0) == 0) {
        ::unlinkat(folder, m_temporary.constData(), 0);
        return {};
    }
    if (errno == EEXIST)
        return fail(changed);
    struct stat now
    {
    };
    if (::fstatat(folder, m_name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT)
        return fail(changed);
    if (::renameat(folder, m_temporary.constData(), folder, m_name.constData()) != 0)
        return failSystem(shown, errno);
    return {};
}

} // namespace platform
