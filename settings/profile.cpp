#include "settings/profile.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
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

// Closes a descriptor when it goes out of scope.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1)
        : m_fd(fd)
    {
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    // Closes now, reporting the error a network file system may only give here.
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

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

// Returns 0, or the error number of the write that failed.
int writeAllAt(int fd, QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n
            = ::pwrite(fd, bytes.data() + done, size_t(bytes.size() - done), off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return ENOSPC; // a write that takes nothing: the disk has no room left
        done += n;
    }
    return 0;
}

// The error number of the call that just failed; never 0, so that a failure is never read as
// success.
int lastError()
{
    return errno != 0 ? errno : EIO;
}

// The fall-back for a folder that refuses new files (no write permission, or an immutable or
// append-only folder) while the file itself may be written: the file is rewritten where it
// stands, as Windows would. This is not atomic, so it guards what it can: the room for the new
// content is claimed before the first old byte is overwritten, and a write that fails halfway
// puts the old content back. Only the very file that was read is rewritten. Returns 0, or the
// error number of what failed.
int writeInPlace(
    int folder, const QByteArray &name, const Existing &existing, const QByteArray &newContent)
{
    const QByteArray &oldContent = existing.content;
    const Descriptor fd(
        ::openat(folder, name.constData(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.isOpen())
        return errno == ELOOP ? kRefusedLink : lastError();
    struct stat status
    {
    };
    if (::fstat(fd.get(), &status) != 0)
        return lastError();
    if (const int refused = refusalOf(status); refused != 0)
        return refused;
    if (status.st_dev != existing.status.st_dev || status.st_ino != existing.status.st_ino)
        return EAGAIN; // replaced since it was read: its content is not what the save changed
    if (newContent.size() > oldContent.size()
        && ::fallocate(fd.get(), FALLOC_FL_KEEP_SIZE, 0, off_t(newContent.size())) != 0
        && errno != EOPNOTSUPP && errno != ENOSYS)
        return lastError();
    int error = writeAllAt(fd.get(), newContent);
    if (error == 0 && ::ftruncate(fd.get(), off_t(newContent.size())) != 0)
        error = lastError();
    if (error == 0 && ::fsync(fd.get()) != 0)
        error = lastError();
    if (error != 0 && writeAllAt(fd.get(), oldContent) == 0)
        (void)::ftruncate(fd.get(), off_t(oldContent.size()));
    return error;
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
bool setPermissions(int fd, const Existing &existing, const struct stat &folder)
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
    // of a group to that group.
    if (exists && existing.status.st_uid != created.st_uid)
        (void)::fchown(fd, existing.status.st_uid, group);
    if (group != created.st_gid)
        (void)::fchown(fd, uid_t(-1), group);
    (void)::fchmod(fd, wanted);
    struct stat now
    {
    };
    return ::fstat(fd, &now) == 0 && (now.st_mode & wanted) == wanted;
}

// A temporary file in the same folder, flushed to disk and renamed over the old file's name.
// Returns 0, or the error number of what failed.
int replaceFile(
    int folder, const QByteArray &name, const Existing &existing, const QByteArray &content)
{
    struct stat folderStatus
    {
    };
    if (::fstat(folder, &folderStatus) != 0)
        return lastError();
    const bool exists = existing.state == Existing::Regular;
    QByteArray temporary;
    Descriptor fd
        = createTemporary(folder, name, exists ? existing.status.st_mode & 07777 : 0666, temporary);
    if (!fd.isOpen()) {
        const int refused = lastError();
        return exists ? writeInPlace(folder, name, existing, content) : refused;
    }
    if (!setPermissions(fd.get(), existing, folderStatus)) {
        // Rewriting the file where it stands keeps its permissions as they are.
        fd.close();
        ::unlinkat(folder, temporary.constData(), 0);
        return exists ? writeInPlace(folder, name, existing, content) : EPERM;
    }
    // An error from the flush means the disk may not hold the new content: the old file stays.
    int error = writeAllAt(fd.get(), content);
    if (error == 0 && ::fsync(fd.get()) != 0)
        error = lastError();
    if (!fd.close() && error == 0)
        error = lastError();
    // The rename replaces the name, never what a link there points to.
    if (error == 0 && ::renameat(folder, temporary.constData(), folder, name.constData()) != 0)
        error = lastError();
    if (error != 0) {
        ::unlinkat(folder, temporary.constData(), 0);
        return error;
    }
    // The rename is an entry in the folder: syncing the folder makes the new file, not the old
    // one, what a power cut brings back. Best effort: some file systems cannot sync a folder.
    (void)::fsync(folder);
    return 0;
}

} // namespace

qsizetype getPrivateProfileString(QByteArrayView section, QByteArrayView key,
    QByteArrayView defaultValue, char *buffer, qsizetype size, const QByteArray &path)
{
    const QByteArray content = getPrivateProfileContent(path);
    return getProfileString(content, section, key, defaultValue, buffer, size);
}

QByteArray getPrivateProfileContent(const QByteArray &path, int *error)
{
    const Descriptor folder = openFolder(path);
    Existing existing;
    if (folder.isOpen())
        existing = readExisting(folder.get(), nameOf(path));
    else
        existing.error = errno;
    if (error)
        *error = existing.state == Existing::Regular ? 0 : existing.error;
    return existing.state == Existing::Regular ? std::move(existing.content) : QByteArray();
}

namespace {
// Returns 0, or the error number of what failed.
int writeEntries(const QList<Entry> &entries, const QByteArray &path)
{
    for (const Entry &entry : entries) {
        if (!isStorable(entry.section, entry.key, entry.value))
            return EINVAL;
    }
    const Descriptor folder = openFolder(path);
    if (!folder.isOpen())
        return lastError(); // the folder is gone: no other folder is ever used
    const QByteArray name = nameOf(path);
    const Existing existing = readExisting(folder.get(), name);
    if (existing.state == Existing::Unusable)
        return existing.error != 0 ? existing.error : EIO;
    if (existing.state == Existing::Regular) {
        // A file without any write permission is read-only, like a file with the Windows
        // read-only attribute, even for an administrator whom the system would let write it;
        // and a file this user may not write is not replaced behind its owner's back.
        if ((existing.status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            return EACCES;
        if (::faccessat(folder.get(), name.constData(), W_OK, AT_EACCESS) != 0)
            return lastError();
    }
    const std::optional<QByteArray> content = withValues(existing.content, entries);
    if (!content)
        return EINVAL;
    if (content->size() > kMaximumSize)
        return kRefusedWouldBeTooLarge;
    return replaceFile(folder.get(), name, existing, *content);
}
} // namespace

bool writePrivateProfileStrings(const QList<Entry> &entries, const QByteArray &path, int *error)
{
    const int failed = writeEntries(entries, path);
    if (error)
        *error = failed;
    return failed == 0;
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
    (void)opened.release(); // the folder's stream closes it
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
        {{section.toByteArray(), key.toByteArray(), value.toByteArray()}}, path);
}

} // namespace profile
