#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <sys/stat.h>

// What keeps the data a user works on to that user on a shared computer: a file that only its
// owner may read, put where the user asked and nowhere another user redirected it; no copy of
// the program's memory on disk.
namespace platform {

// Switches core dumps off for this process, and with them the reading of its memory by other
// processes of the same user (a debugger attaching): what the program holds in memory stays
// out of any file. For the very start of main().
void stopCoreDumps();

// A new file at a path the user chose, written whole or not at all, with mode 0600 whatever the
// umask. The content goes to a temporary file beside the name, which commit() flushes to disk
// and renames over the name in one step; the destructor removes it where commit() did not run.
//
// What stands at the name, and every folder of the path, is judged without following anything
// first, through one descriptor per step, so that nothing can be swapped in between the look
// and the use:
// - A link is followed only where it is the user's own, or, on the way to the folder, root's:
//   another user's link (one planted in /tmp, say) is refused and named, never replaced.
// - An existing file is replaced only where it is a plain file of the user's own with one name
//   that the user may write: another user's file, a file with a second name (a hard link), a
//   read-only file, a folder, a pipe or a device is refused. The new file is 0600 too, whatever
//   mode the old one had.
// - A name that was free when looked at is taken only while it still is: nothing put there
//   meanwhile is replaced.
class PrivateFile
{
public:
    explicit PrivateFile(const QString &path);
    ~PrivateFile();
    PrivateFile(const PrivateFile &) = delete;
    PrivateFile &operator=(const PrivateFile &) = delete;

    // Finds the folder, judges what stands at the name and makes the temporary file. False,
    // with errorString() set, where the file may not be written there.
    bool open();
    // The temporary file's descriptor; -1 before open() and after commit().
    int handle() const { return m_fd; }
    // A name that opens this very temporary file, for a writer that opens its file by name.
    QString handleName() const;
    bool write(QByteArrayView bytes);
    // Flushes the content to disk and puts it at the name. False, with errorString() set and
    // nothing left behind, where it cannot.
    bool commit();

    // One or two sentences for the user, naming the file, link or folder at fault.
    QString errorString() const { return m_error; }

private:
    bool fail(const QString &error);
    bool failSystem(const QByteArray &shown, int error);
    bool findPlace();
    bool judgeExisting();
    bool putInPlace();
    void removeTemporary();

    QByteArray m_path;
    uid_t m_user = 0;
    int m_folder = -1; // the folder the file goes into, as an O_PATH descriptor
    QByteArray m_folderShown; // that folder as the user would type it
    QByteArray m_name;
    bool m_exists = false;
    struct stat m_existing
    {
    };
    QByteArray m_temporary;
    int m_fd = -1;
    QString m_error;
};

} // namespace platform
