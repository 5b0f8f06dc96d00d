#include "settings/profile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The file is small and written by the program, but people also edit it by hand, in any editor,
// on any system: so the reader takes every line ending and stray blank that the Windows profile
// functions take, and the writer changes only the one line it must, keeping everything else.
namespace profile {
namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr qsizetype kByteOrderMarkSize = 3;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// A stretch of the file's bytes; views into the content, never copies.
struct Span
{
    const char *data = nullptr;
    qsizetype size = 0;

    bool isEmpty() const { return size == 0; }
    char front() const { return data[0]; }
    char back() const { return data[size - 1]; }
};

Span trimmed(Span text)
{
    while (text.size > 0 && isBlank(text.front())) {
        ++text.data;
        --text.size;
    }
    while (text.size > 0 && isBlank(text.back()))
        --text.size;
    return text;
}

Span spanOf(const QByteArray &bytes)
{
    return {bytes.constData(), bytes.size()};
}

// Names match in any letter case, ASCII only: the file's other bytes are in no known code page.
bool sameName(Span a, Span b)
{
    if (a.size != b.size)
        return false;
    for (qsizetype i = 0; i < a.size; ++i) {
        if (asciiLower(a.data[i]) != asciiLower(b.data[i]))
            return false;
    }
    return true;
}

// One line of the file: its text [start, end) and its line ending [end, next).
struct Line
{
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype next = 0;

    bool hasEnding() const { return next > end; }
};

// What a line means to the profile layout.
struct Entry
{
    enum Kind { Other, Header, Key };
    Kind kind = Other;
    Span name; // the section of a header, the key of a key line
    bool hasValue = false; // a key line without '=' names a key that holds no value
    Span value; // the value, blanks and one pair of matching quotes removed
};

Entry entryOf(Span text)
{
    text = trimmed(text);
    if (text.isEmpty() || text.front() == ';')
        return {};
    if (text.front() == '[') {
        // The name runs to the first ']' (or to the end of a line that lacks one); what
        // follows the ']' is ignored.
        const char *close
            = static_cast<const char *>(memchr(text.data + 1, ']', size_t(text.size - 1)));
        const qsizetype length = close ? close - (text.data + 1) : text.size - 1;
        return {Entry::Header, trimmed({text.data + 1, length}), false, {}};
    }
    const char *equals = static_cast<const char *>(memchr(text.data, '=', size_t(text.size)));
    if (!equals)
        return {Entry::Key, text, false, {}};
    const qsizetype keyLength = equals - text.data;
    Span value = trimmed({equals + 1, text.size - keyLength - 1});
    if (value.size >= 2 && value.front() == value.back()
        && (value.front() == '"' || value.front() == '\'')) {
        value = {value.data + 1, value.size - 2};
    }
    return {Entry::Key, trimmed({text.data, keyLength}), true, value};
}

// Walks the lines of a file's content. Any of CR, LF and CRLF ends a line.
class LineReader
{
public:
    LineReader(const QByteArray &content, qsizetype from)
        : m_content(content)
        , m_position(from)
    {
    }

    bool next(Line &line)
    {
        const qsizetype size = m_content.size();
        if (m_position >= size)
            return false;
        const char *data = m_content.constData();
        line.start = m_position;
        qsizetype end = m_position;
        while (end < size && data[end] != '\n' && data[end] != '\r')
            ++end;
        line.end = end;
        if (end < size)
            end += (data[end] == '\r' && end + 1 < size && data[end + 1] == '\n') ? 2 : 1;
        line.next = end;
        m_position = end;
        return true;
    }

    Span text(const Line &line) const
    {
        return {m_content.constData() + line.start, line.end - line.start};
    }

private:
    const QByteArray &m_content;
    qsizetype m_position;
};

qsizetype bodyStart(const QByteArray &content)
{
    return content.startsWith(kByteOrderMark) ? kByteOrderMarkSize : 0;
}

// Where a key stands in a file, or where it would go. Only the first section of the name
// counts, and only the first key of the name in it.
struct Place
{
    bool sectionFound = false;
    bool keyFound = false;
    Line header; // the section's header line
    Line lastKey; // the section's last key line, when it has one
    bool hasKeys = false;
    Line key; // the key's line
    bool hasValue = false;
    Span value; // the key's value
};

Place find(const QByteArray &content, Span section, Span key)
{
    Place place;
    LineReader reader(content, bodyStart(content));
    Line line;
    while (reader.next(line)) {
        const Entry entry = entryOf(reader.text(line));
        if (entry.kind == Entry::Header) {
            if (place.sectionFound)
                break; // the section has ended
            if (sameName(entry.name, section)) {
                place.sectionFound = true;
                place.header = line;
            }
        } else if (entry.kind == Entry::Key && place.sectionFound) {
            place.hasKeys = true;
            place.lastKey = line;
            if (sameName(entry.name, key)) {
                place.keyFound = true;
                place.key = line;
                place.hasValue = entry.hasValue;
                place.value = entry.value;
                break;
            }
        }
    }
    return place;
}

// The file's own line ending: the first one it holds; LF for a file that has none.
QByteArray lineEndingOf(const QByteArray &content)
{
    const char *data = content.constData();
    const qsizetype size = content.size();
    for (qsizetype i = 0; i < size; ++i) {
        if (data[i] == '\n')
            return QByteArrayLiteral("\n");
        if (data[i] == '\r')
            return (i + 1 < size && data[i + 1] == '\n') ? QByteArrayLiteral("\r\n")
                                                         : QByteArrayLiteral("\r");
    }
    return QByteArrayLiteral("\n");
}

// The content with `key=value` stored in `section`; every other byte stays as it was.
QByteArray withValue(const QByteArray &content, Span section, Span key, const QByteArray &value)
{
    const QByteArray eol = lineEndingOf(content);
    const QByteArray keyLine = QByteArray(key.data, key.size) + '=' + value;
    const Place place = find(content, section, key);

    QByteArray result;
    result.reserve(content.size() + keyLine.size() + section.size + 3 * eol.size() + 2);
    if (place.keyFound) {
        result.append(content.constData(), place.key.start);
        result.append(keyLine);
        result.append(content.constData() + place.key.end, content.size() - place.key.end);
    } else if (place.sectionFound) {
        const Line &before = place.hasKeys ? place.lastKey : place.header;
        result.append(content.constData(), before.next);
        if (!before.hasEnding())
            result.append(eol);
        // A lone CR right before a blank LF line would join it into one CRLF, and the blank
        // line would be gone: there the new line ends as the line before it does.
        const bool joinsNextLine
            = eol == "\r" && before.next < content.size() && content.at(before.next) == '\n';
        const QByteArray ending
            = joinsNextLine ? content.mid(before.end, before.next - before.end) : eol;
        result.append(keyLine).append(ending);
        result.append(content.constData() + before.next, content.size() - before.next);
    } else {
        result.append(content);
        const bool lastLineOpen
            = result.size() > bodyStart(result) && !result.endsWith('\n') && !result.endsWith('\r');
        if (lastLineOpen)
            result.append(eol);
        result.append('[').append(section.data, section.size).append(']').append(eol);
        result.append(keyLine).append(eol);
    }
    return result;
}

bool holdsLineBreakOrNul(const QByteArray &text)
{
    return text.contains('\r') || text.contains('\n') || text.contains('\0');
}

// Names and values that would break the file's layout, or plant lines of their own in it.
bool isStorable(Span section, Span key, const QByteArray &value)
{
    const QByteArray sectionName(section.data, section.size);
    const QByteArray keyName(key.data, key.size);
    if (section.isEmpty() || key.isEmpty())
        return false;
    if (holdsLineBreakOrNul(sectionName) || holdsLineBreakOrNul(keyName)
        || holdsLineBreakOrNul(value))
        return false;
    if (sectionName.contains(']') || keyName.contains('='))
        return false;
    return key.front() != '[' && key.front() != ';';
}

// What stands at the file's place on disk.
struct Existing
{
    enum State { Missing, Regular, Unusable };
    State state = Unusable;
    QByteArray content;
    mode_t mode = 0;
};

Existing readExisting(const QString &fileName)
{
    Existing existing;
    const QByteArray path = QFile::encodeName(fileName);
    // O_NONBLOCK: a FIFO put where the file should be must not hang the program.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT)
            existing.state = Existing::Missing;
        return existing;
    }
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return existing;
    }
    existing.mode = status.st_mode;
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return existing;
    }
    existing.content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return existing;
    existing.state = Existing::Regular;
    return existing;
}

bool writeAllAt(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n
            = ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// The fall-back for a folder that refuses new files (no write permission, or an immutable or
// append-only folder) while the file itself may be written: the file is rewritten where it
// stands, as Windows would. This is not atomic, so it guards what it can: the room for the new
// content is claimed before the first old byte is overwritten, and a write that fails halfway
// puts the old content back. (Qt's own direct-write fall-back empties the file first, and only
// steps in on EACCES, not on the EPERM of an immutable folder.)
bool writeInPlace(
    const QString &fileName, const QByteArray &oldContent, const QByteArray &newContent)
{
    const int fd
        = ::open(QFile::encodeName(fileName).constData(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat status
    {
    };
    bool done = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    if (done && newContent.size() > oldContent.size()) {
        const int reserved = ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, off_t(newContent.size()));
        done = reserved == 0 || errno == EOPNOTSUPP || errno == ENOSYS;
    }
    if (done) {
        done = writeAllAt(fd, newContent) && ::ftruncate(fd, off_t(newContent.size())) == 0
            && ::fsync(fd) == 0;
        if (!done && writeAllAt(fd, oldContent))
            (void)::ftruncate(fd, off_t(oldContent.size()));
    }
    ::close(fd);
    return done;
}

// The rename is an entry in the folder: syncing the folder makes the new file, not the old
// one, what a power cut brings back. Best effort: some file systems cannot sync a folder.
void syncFolderOf(const QString &fileName)
{
    const QString folder = QFileInfo(QFileInfo(fileName).canonicalFilePath()).absolutePath();
    const int fd
        = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    (void)::fsync(fd);
    ::close(fd);
}

bool replaceFile(const QString &fileName, const Existing &existing, const QByteArray &content)
{
    // A temporary file in the same folder, flushed to disk and renamed over the old file: a
    // crash, a kill or a full disk during the save leaves the old file whole, calibration and
    // all. QSaveFile gives the new file the old file's permissions.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        if (existing.state == Existing::Regular)
            return writeInPlace(fileName, existing.content, content);
        return false;
    }
    if (file.write(content) != content.size() || !file.flush()) {
        file.cancelWriting(); // the temporary file goes, the old file stays
        return false;
    }
    if (!file.commit())
        return false;
    syncFolderOf(fileName);
    return true;
}

} // namespace

qsizetype getPrivateProfileString(const QByteArray &section, const QByteArray &key,
    const QByteArray &defaultValue, char *buffer, qsizetype size, const QByteArray &path)
{
    if (!buffer || size <= 0)
        return 0;
    const Existing existing = readExisting(QFile::decodeName(path));
    Span found = spanOf(defaultValue);
    if (existing.state == Existing::Regular) {
        const Span sectionName = trimmed(spanOf(section));
        const Span keyName = trimmed(spanOf(key));
        const Place place = find(existing.content, sectionName, keyName);
        if (place.keyFound && place.hasValue && !sectionName.isEmpty() && !keyName.isEmpty())
            found = place.value;
    }
    const qsizetype n = qMin(found.size, size - 1);
    if (n > 0)
        memcpy(buffer, found.data, size_t(n));
    buffer[n] = '\0';
    return n;
}

bool writePrivateProfileString(const QByteArray &section, const QByteArray &key,
    const QByteArray &value, const QByteArray &path)
{
    const Span sectionName = trimmed(spanOf(section));
    const Span keyName = trimmed(spanOf(key));
    if (!isStorable(sectionName, keyName, value))
        return false;
    const QString fileName = QFile::decodeName(path);
    const Existing existing = readExisting(fileName);
    if (existing.state == Existing::Unusable)
        return false;
    // A file without any write permission is read-only, like a file with the Windows read-only
    // attribute, even for an administrator whom the system would let write it.
    if (existing.state == Existing::Regular && (existing.mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return false;
    return replaceFile(
        fileName, existing, withValue(existing.content, sectionName, keyName, value));
}

} // namespace profile
