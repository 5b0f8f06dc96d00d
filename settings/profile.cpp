#include "settings/profile.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool readAll(int fd, qsizetype sizeHint, QByteArray &content)
{
    content.reserve(sizeHint + 1);
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        content.append(chunk, n);
    }
}

Existing readExisting(const QByteArray &path)
{
    Existing existing;
    // O_NONBLOCK: a FIFO put where the file should be must not hang the program.
    const Descriptor fd(::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.isOpen()) {
        existing.error = errno;
        if (errno == ENOENT)
            existing.state = Existing::Missing;
        return existing;
    }
    if (::fstat(fd.get(), &existing.status) != 0) {
        existing.error = errno;
        return existing;
    }
    if (!S_ISREG(existing.status.st_mode)) {
        existing.error = S_ISDIR(existing.status.st_mode) ? EISDIR : EINVAL;
        return existing;
    }
    if (readAll(fd.get(), qsizetype(existing.status.st_size), existing.content))
        existing.state = Existing::Regular;
    else
        existing.error = errno;
    return existing;
}

// The file a save replaces: the settings file, or the file its link points to, so that the
// link stays a link. Empty for a link that points nowhere.
std::optional<QByteArray> fileToReplace(const QByteArray &path)
{
    struct stat status
    {
    };
    if (::lstat(path.constData(), &status) != 0 || !S_ISLNK(status.st_mode))
        return path;
    char *resolved = ::realpath(path.constData(), nullptr);
    if (!resolved)
        return std::nullopt;
    const QByteArray target(resolved);
    std::free(resolved);
    return target;
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
// puts the old content back. Returns 0, or the error number of what failed.
int writeInPlace(const QByteArray &path, const QByteArray &oldContent, const QByteArray &newContent)
{
    const Descriptor fd(::open(path.constData(), O_WRONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.isOpen())
        return lastError();
    struct stat status
    {
    };
    if (::fstat(fd.get(), &status) != 0)
        return lastError();
    if (!S_ISREG(status.st_mode))
        return EINVAL;
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

// A new file of the save's own naming pattern beside `target`, created so that no other file
// can be taken for it. Its name goes to `name`.
Descriptor createTemporary(const QByteArray &target, mode_t mode, QByteArray &name)
{
    QRandomGenerator *random = QRandomGenerator::global();
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target;
        name.append(kTemporaryInfix);
        for (qsizetype i = 0; i < kTemporarySuffixLength; ++i)
            name += kSuffixCharacters[random->bounded(int(kSuffixCharacters.size()))];
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return Descriptor(fd);
    }
    return Descriptor();
}

// The rename is an entry in the folder: syncing the folder makes the new file, not the old
// one, what a power cut brings back. Best effort: some file systems cannot sync a folder.
void syncFolderOf(const QByteArray &path)
{
    const Descriptor fd(::open(folderOf(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.isOpen())
        (void)::fsync(fd.get());
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

// A temporary file in the same folder, flushed to disk and renamed over the old file. Returns
// 0, or the error number of what failed.
int replaceFile(const QByteArray &target, const Existing &existing, const QByteArray &content)
{
    struct stat folder
    {
    };
    if (::stat(folderOf(target).constData(), &folder) != 0)
        return lastError(); // the folder is gone: no other folder is ever used
    const bool exists = existing.state == Existing::Regular;
    QByteArray temporary;
    Descriptor fd
        = createTemporary(target, exists ? existing.status.st_mode & 07777 : 0666, temporary);
    if (!fd.isOpen()) {
        const int refused = lastError();
        return exists ? writeInPlace(target, existing.content, content) : refused;
    }
    if (!setPermissions(fd.get(), existing, folder)) {
        // Rewriting the file where it stands keeps its permissions as they are.
        fd.close();
        ::unlink(temporary.constData());
        return exists ? writeInPlace(target, existing.content, content) : EPERM;
    }
    // An error from the flush means the disk may not hold the new content: the old file stays.
    int error = writeAllAt(fd.get(), content);
    if (error == 0 && ::fsync(fd.get()) != 0)
        error = lastError();
    if (!fd.close() && error == 0)
        error = lastError();
    if (error == 0 && ::rename(temporary.constData(), target.constData()) != 0)
        error = lastError();
    if (error != 0) {
        ::unlink(temporary.constData());
        return error;
    }
    syncFolderOf(target);
    return 0;
}

} // namespace

qsizetype getPrivateProfileString(QByteArrayView section, QByteArrayView key,
    QByteArrayView defaultValue, char *buffer, qsizetype size, const QByteArray &path)
{
    const Existing existing = readExisting(path);
    const QByteArrayView content
        = existing.state == Existing::Regular ? QByteArrayView(existing.content) : QByteArrayView();
    return getProfileString(content, section, key, defaultValue, buffer, size);
}

QByteArray getPrivateProfileContent(const QByteArray &path)
{
    Existing existing = readExisting(path);
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
    const std::optional<QByteArray> target = fileToReplace(path);
    if (!target)
        return lastError();
    const Existing existing = readExisting(*target);
    if (existing.state == Existing::Unusable)
        return existing.error != 0 ? existing.error : EIO;
    if (existing.state == Existing::Regular) {
        // A file without any write permission is read-only, like a file with the Windows
        // read-only attribute, even for an administrator whom the system would let write it;
        // and a file this user may not write is not replaced behind its owner's back.
        if ((existing.status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            return EACCES;
        if (::faccessat(AT_FDCWD, target->constData(), W_OK, AT_EACCESS) != 0)
            return lastError();
    }
    const std::optional<QByteArray> content = withValues(existing.content, entries);
    if (!content)
        return EINVAL;
    return replaceFile(*target, existing, *content);
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
    const QByteArray target = fileToReplace(path).value_or(path);
    QByteArray prefix = target.mid(target.lastIndexOf('/') + 1);
    prefix.append(kTemporaryInfix);
    DIR *folder = ::opendir(folderOf(target).constData());
    if (!folder)
        return 0;
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
