// By hand rather than through QSettings: the file is read and written byte for byte as the
// designs' private-profile routines do (hand edits, key case, layout kept), which QSettings does
// not, and it is replaced whole in one rename, never through another user's link.
#include "settings/profile.h"

#include "base/descriptor.h"
#include "settings/logging.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

// The calibration in this file is what every result depends on: a save replaces the file in one
// step, so that a crash, a kill or a full disk during it leaves the old file whole.
namespace profile {
namespace {

// The temporary file of a save is named after the file it replaces: "Kelvane.ini.saving.XXXXXX".
constexpr QByteArrayView kTemporaryInfix = ".saving.";
constexpr qsizetype kTemporarySuffixLength = 6;
constexpr QByteArrayView kSuffixCharacters
    = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

using base::Descriptor;
using Outcome = Result<void>;

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

QByteArray nameOf(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

// The folder of the settings file, opened once for a whole read or save: every name is then
// looked up in this one folder, whatever is renamed or linked around it meanwhile.
Descriptor openFolder(const QByteArray &path)
{
    return Descriptor(::open(folderOf(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// What stands at the file's place on disk.
struct Existing
{
    enum State { Missing, Regular, Unusable };
    State state = Unusable;
    int error = 0; // why it is unusable
    QByteArray content;
    struct stat status
    {
    };
};

// Why what stands at the file's name is not taken for the settings file: 0 for a plain file
// that has no other name and is no larger than a settings file can be. A link is never followed
// and a second name never written through: in a shared program folder either may have been put
// there by another user, to have this user's save overwrite a file of theirs.
int refusalOf(const struct stat &status)
{
    if (S_ISLNK(status.st_mode))
        return kRefusedLink;
    if (S_ISDIR(status.st_mode))
        return EISDIR;
    if (!S_ISREG(status.st_mode))
        return kRefusedNotPlain;
    if (status.st_nlink != 1)
        return kRefusedHardLink;
    if (status.st_size > kMaximumSize)
        return kRefusedTooLarge;
    return 0;
}

// Reads at most `limit` + 1 bytes, so that a file grown past the limit since it was looked at
// is told from one that is not, without reading it whole.
bool readAll(int fd, qsizetype limit, QByteArray &content)
{
    char chunk[65536];
    while (content.size() <= limit) {
        const ssize_t n = ::read(
            fd, chunk, size_t(std::min<qsizetype>(sizeof chunk, limit + 1 - content.size())));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        content.append(chunk, n);
    }
    return true;
}

Existing readExisting(int folder, const QByteArray &name)
{
    Existing existing;
    // Looked at before it is opened: opening a device can do things of its own.
    if (::fstatat(folder, name.constData(), &existing.status, AT_SYMLINK_NOFOLLOW) != 0) {
        existing.error = errno;
        if (errno == ENOENT)
            existing.state = Existing::Missing;
        return existing;
    }
    if ((existing.error = refusalOf(existing.status)) != 0)
        return existing;
    // O_NONBLOCK: a FIFO put in its place since the look must not hang the program.
    const Descriptor fd(::openat(
        folder, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.isOpen()) {
        existing.error = errno == ELOOP ? kRefusedLink : errno;
        return existing;
    }
    // What was opened is judged again: the name may have been replaced since the look.
    if (::fstat(fd.get(), &existing.status) != 0) {
        existing.error = errno;
        return existing;
    }
    if ((existing.error = refusalOf(existing.status)) != 0)
        return existing;
    existing.content.reserve(qsizetype(existing.status.st_size) + 1);
    if (!readAll(fd.get(), kMaximumSize, existing.content))
        existing.error = errno;
    else if (existing.content.size() > kMaximumSize)
        existing.error = kRefusedTooLarge;
    else
        existing.state = Existing::Regular;
    if (existing.state != Existing::Regular)
        existing.content.clear();
    return existing;
}

Outcome writeAllAt(int fd, QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n
            = ::pwrite(fd, bytes.data() + done, size_t(bytes.size() - done), off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return base::unexpected(errno);
        if (n == 0)
            return base::unexpected(ENOSPC); // a write that takes nothing: the disk is full
        done += n;
    }
    return {};
}

// The error number of the call that just failed; never 0, so that a failure is never read as
// success.
int lastError()
{
    return errno != 0 ? errno : EIO;
}

base::Unexpected<int> failed()
{
    return base::unexpected(lastError());
}

// A best-effort step that did not happen, for the log: `what` failed on `name` with errno.
void logMissed(QtMsgType type, const char *what, const QByteArray &name)
{
    const int error = errno;
    if (type == QtWarningMsg)
        qCWarning(lcSettings, "%s %s: %s", what, name.constData(), std::strerror(error));
    else
        qCInfo(lcSettings, "%s %s: %s", what, name.constData(), std::strerror(error));
}

// The fall-back for a folder that refuses new files (no write permission, or an immutable or
// append-only folder) while the file itself may be written: the file is rewritten where it
// stands, as Windows would. This is not atomic, so it guards what it can: the room for the new
// content is claimed before the first old byte is overwritten, and a write that fails halfway
// puts the old content back. Only the very file that was read is rewritten.
Outcome writeInPlace(
    int folder, const QByteArray &name, const Existing &existing, const QByteArray &newContent)
{
    const QByteArray &oldContent = existing.content;
    const Descriptor fd(
        ::openat(folder, name.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.isOpen())
        return base::unexpected(errno == ELOOP ? kRefusedLink : lastError());
    struct stat status
    {
    };
    if (::fstat(fd.get(), &status) != 0)
        return failed();
    if (const int refused = refusalOf(status); refused != 0)
        return base::unexpected(refused);
    // Replaced since it was read: its content is not what the save changed.
    if (status.st_dev != existing.status.st_dev || status.st_ino != existing.status.st_ino)
        return base::unexpected(EAGAIN);
    if (newContent.size() > oldContent.size()
        && ::fallocate(fd.get(), FALLOC_FL_KEEP_SIZE, 0, off_t(newContent.size())) != 0
        && errno != EOPNOTSUPP && errno != ENOSYS)
        return failed();
    Outcome written = writeAllAt(fd.get(), newContent);
    if (written && ::ftruncate(fd.get(), off_t(newContent.size())) != 0)
        written = failed();
    if (written && ::fsync(fd.get()) != 0)
        written = failed();
    if (!written) {
        // The save has failed and says so; what is left to tell is whether the old content
        // came back whole.
        const Outcome restored = writeAllAt(fd.get(), oldContent);
        if (!restored || ::ftruncate(fd.get(), off_t(oldContent.size())) != 0)
            logMissed(QtWarningMsg, "cannot restore the old content of", name);
    }
    return written;
}

// A new file of the save's own naming pattern beside the file `name`, created so that no other
// file can be taken for it. Its name goes to `temporary`.
Descriptor createTemporary(int folder, const QByteArray &name, mode_t mode, QByteArray &temporary)
{
    QRandomGenerator *random = QRandomGenerator::global();
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = name;
        temporary.append(kTemporaryInfix);
        for (qsizetype i = 0; i < kTemporarySuffixLength; ++i)
            temporary += kSuffixCharacters[random->bounded(int(kSuffixCharacters.size()))];
        const int fd = ::openat(folder, temporary.constData(),
            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return Descriptor(fd);
    }
    return Descriptor();
}

// A shared install: a program folder that its group may write, with the setgid bit that gives
// every new file in it the folder's group.
bool isShared(const struct stat &folder)
{
    return (folder.st_mode & (S_ISGID | S_IWGRP)) == (S_ISGID | S_IWGRP);
}

// Gives the new file the permissions the file it replaces had (a new settings file takes the
// user's umask), and in a shared install the folder's group and group read and write whatever
// the user's umask, so that every member of the group can go on reading and saving. Returns
// false when the new file would allow less than the old one did.
bool setPermissions(
    int fd, const Existing &existing, const struct stat &folder, const QByteArray &name)
{
    struct stat created
    {
    };
    if (::fstat(fd, &created) != 0)
        return false;
    const bool exists = existing.state == Existing::Regular;
    mode_t wanted = (exists ? existing.status.st_mode : created.st_mode) & 07777;
    gid_t group = exists ? existing.status.st_gid : created.st_gid;
    if (isShared(folder)) {
        wanted |= S_IRGRP | S_IWGRP;
        group = folder.st_gid;
    }
    // Best effort: only an administrator may give the file to another user, and only a member
    // of a group to that group. The permissions checked below decide.
    if (exists && existing.status.st_uid != created.st_uid
        && ::fchown(fd, existing.status.st_uid, group) != 0)
        logMissed(QtInfoMsg, "cannot give the former owner the new", name);
    if (group != created.st_gid && ::fchown(fd, uid_t(-1), group) != 0)
        logMissed(QtInfoMsg, "cannot give the former group the new", name);
    if (::fchmod(fd, wanted) != 0)
        logMissed(QtInfoMsg, "cannot give the former permissions the new", name);
    struct stat now
    {
    };
    return ::fstat(fd, &now) == 0 && (now.st_mode & wanted) == wanted;
}

// A temporary file in the same folder, flushed to disk and renamed over the old file's name.
Outcome replaceFile(
    int folder, const QByteArray &name, const Existing &existing, const QByteArray &content)
{
    struct stat folderStatus
    {
    };
    if (::fstat(folder, &folderStatus) != 0)
        return failed();
    const bool exists = existing.state == Existing::Regular;
    QByteArray temporary;
    Descriptor fd
        = createTemporary(folder, name, exists ? existing.status.st_mode & 07777 : 0666, temporary);
    if (!fd.isOpen()) {
        const base::Unexpected<int> refused = failed();
        return exists ? writeInPlace(folder, name, existing, content) : Outcome(refused);
    }
    if (!setPermissions(fd.get(), existing, folderStatus, name)) {
        // Rewriting the file where it stands keeps its permissions as they are.
        fd.reset();
        ::unlinkat(folder, temporary.constData(), 0);
        return exists ? writeInPlace(folder, name, existing, content)
                      : Outcome(base::unexpected(EPERM));
    }
    // An error from the flush means the disk may not hold the new content: the old file stays.
    Outcome written = writeAllAt(fd.get(), content);
    if (written && ::fsync(fd.get()) != 0)
        written = failed();
    if (!fd.close() && written)
        written = failed();
    // The rename replaces the name, never what a link there points to.
    if (written && ::renameat(folder, temporary.constData(), folder, name.constData()) != 0)
        written = failed();
    if (!written) {
        ::unlinkat(folder, temporary.constData(), 0);
        return written;
    }
    // The rename is an entry in the folder: syncing the folder makes the new file, not the old
    // one, what a power cut brings back. Best effort: some file systems cannot sync a folder.
    if (::fsync(folder) != 0)
        logMissed(QtInfoMsg, "cannot sync the folder of", name);
    return {};
}

} // namespace

qsizetype getPrivateProfileString(QByteArrayView section, QByteArrayView key,
    QByteArrayView defaultValue, char *buffer, qsizetype size, const QByteArray &path)
{
    const QByteArray content = getPrivateProfileContent(path).value_or(QByteArray());
    return getProfileString(content, section, key, defaultValue, buffer, size);
}

Result<QByteArray> getPrivateProfileContent(const QByteArray &path)
{
    const Descriptor folder = openFolder(path);
    if (!folder.isOpen())
        return failed();
    Existing existing = readExisting(folder.get(), nameOf(path));
    if (existing.state != Existing::Regular)
        return base::unexpected(existing.error != 0 ? existing.error : EIO);
    return std::move(existing.content);
}

Result<void> writePrivateProfileStrings(const QList<Entry> &entries, const QByteArray &path)
{
    for (const Entry &entry : entries) {
        if (!isStorable(entry.section, entry.key, entry.value))
            return base::unexpected(EINVAL);
    }
    const Descriptor folder = openFolder(path);
    if (!folder.isOpen())
        return failed(); // the folder is gone: no other folder is ever used
    const QByteArray name = nameOf(path);
    const Existing existing = readExisting(folder.get(), name);
    if (existing.state == Existing::Unusable)
        return base::unexpected(existing.error != 0 ? existing.error : EIO);
    if (existing.state == Existing::Regular) {
        // A file without any write permission is read-only, like a file with the Windows
        // read-only attribute, even for an administrator whom the system would let write it;
        // and a file this user may not write is not replaced behind its owner's back.
        if ((existing.status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            return base::unexpected(EACCES);
        if (::faccessat(folder.get(), name.constData(), W_OK, AT_EACCESS) != 0)
            return failed();
    }
    const std::optional<QByteArray> content = withValues(existing.content, entries);
    if (!content)
        return base::unexpected(EINVAL);
    if (content->size() > kMaximumSize)
        return base::unexpected(kRefusedWouldBeTooLarge);
    return replaceFile(folder.get(), name, existing, *content);
}

int removeStaleTemporaries(const QByteArray &path)
{
    QByteArray prefix = nameOf(path);
    prefix.append(kTemporaryInfix);
    Descriptor opened = openFolder(path);
    if (!opened.isOpen())
        return 0;
    DIR *folder = ::fdopendir(opened.get());
    if (!folder)
        return 0;
    // The folder's stream owns the descriptor from here, and closedir() closes it.
    [[maybe_unused]] const int owned = opened.release();
    int removed = 0;
    while (const dirent *entry = ::readdir(folder)) {
        const QByteArrayView name(entry->d_name);
        if (!name.startsWith(prefix) || name.size() != prefix.size() + kTemporarySuffixLength)
            continue;
        const QByteArrayView suffix = name.sliced(prefix.size());
        if (!std::all_of(
                suffix.begin(), suffix.end(), [](char c) { return kSuffixCharacters.contains(c); }))
            continue;
        struct stat status
        {
        };
        if (::fstatat(::dirfd(folder), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0
            && S_ISREG(status.st_mode) && ::unlinkat(::dirfd(folder), entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(folder);
    return removed;
}

bool writePrivateProfileString(
    QByteArrayView section, QByteArrayView key, QByteArrayView value, const QByteArray &path)
{
    return writePrivateProfileStrings(
        {{section.toByteArray(), key.toByteArray(), value.toByteArray()}}, path)
        .has_value();
}

} // namespace profile
