#include "settings/profiletext.h"

#include <QSet>
#include <QVarLengthArray>

#include <algorithm>
#include <cstring>

// The file is small and written by the program, but people also edit it by hand, in any editor,
// on any system: so the reader takes every line ending and stray blank that the Windows profile
// functions take, and the writer changes only the one line it must, keeping everything else.
namespace profile {
namespace {

constexpr QByteArrayView kByteOrderMark = "\xEF\xBB\xBF";

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

QByteArrayView trimmed(QByteArrayView text)
{
    const char *begin = text.data();
    const char *end = begin + text.size();
    while (begin < end && isBlank(*begin))
        ++begin;
    while (end > begin && isBlank(end[-1]))
        --end;
    return {begin, end};
}

// Names match in any letter case, ASCII only: the file's other bytes are in no known code page.
bool sameName(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return asciiLower(x) == asciiLower(y);
    });
}

QByteArray lowerName(QByteArrayView name)
{
    QByteArray lower(name.size(), Qt::Uninitialized);
    std::transform(name.begin(), name.end(), lower.begin(), asciiLower);
    return lower;
}

// One line of the file: its text [start, end) and its line ending [end, next).
struct Line
{
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype next = 0;

    bool hasEnding() const { return next > end; }
};

QByteArrayView lineText(QByteArrayView content, const Line &line)
{
    return content.sliced(line.start, line.end - line.start);
}

// What a line means to the profile layout.
struct Meaning
{
    enum Kind { Other, Header, Key };
    Kind kind = Other;
    QByteArrayView name; // the section of a header, the key of a key line
    bool hasValue = false; // a key line without '=' names a key that holds no value
    QByteArrayView rest; // what follows the '=' of a key line, as it stands
};

// `withKeys` false: only headers are looked at, as while the section is still to be found.
Meaning meaningOf(QByteArrayView text, bool withKeys)
{
    const char *begin = text.data();
    const char *end = begin + text.size();
    while (begin < end && isBlank(*begin))
        ++begin;
    if (begin == end || *begin == ';')
        return {};
    if (*begin == '[') {
        // The name runs to the first ']' (or to the end of a line that lacks one); what
        // follows the ']' is ignored.
        const QByteArrayView rest(begin + 1, end);
        const qsizetype close = rest.indexOf(']');
        return {Meaning::Header, trimmed(close < 0 ? rest : rest.first(close)), false, {}};
    }
    if (!withKeys)
        return {};
    const QByteArrayView line(begin, end);
    const qsizetype equals = line.indexOf('=');
    if (equals < 0)
        return {Meaning::Key, trimmed(line), false, {}};
    return {Meaning::Key, trimmed(line.first(equals)), true, line.sliced(equals + 1)};
}

// A key's value: blanks around it and one pair of matching quotes removed.
QByteArrayView valueOf(QByteArrayView rest)
{
    const QByteArrayView value = trimmed(rest);
    const qsizetype size = value.size();
    if (size >= 2 && value.data()[0] == value.data()[size - 1]
        && (value.data()[0] == '"' || value.data()[0] == '\''))
        return value.sliced(1, size - 2);
    return value;
}

// Walks the lines of a file's content. Any of CR, LF and CRLF ends a line. The next CR and
// the next LF are each looked for once and kept, so that a file with only one kind of line
// ending is still read in one pass.
class LineReader
{
public:
    LineReader(QByteArrayView content, qsizetype from)
        : m_content(content)
        , m_at(from)
    {
    }

    bool next(Line &line)
    {
        const qsizetype size = m_content.size();
        if (m_at >= size)
            return false;
        const qsizetype end = qMin(nextOf('\n', m_nextLf), nextOf('\r', m_nextCr));
        qsizetype next = end;
        if (end < size)
            next
                += (m_content[end] == '\r' && end + 1 < size && m_content[end + 1] == '\n') ? 2 : 1;
        line = {m_at, end, next};
        m_at = next;
        return true;
    }

private:
    // The position of the next `c` from here on, or the content's size when there is none.
    qsizetype nextOf(char c, qsizetype &kept) const
    {
        if (kept < m_at) {
            const qsizetype size = m_content.size();
            const void *found = memchr(m_content.data() + m_at, c, size_t(size - m_at));
            kept = found ? static_cast<const char *>(found) - m_content.data() : size;
        }
        return kept;
    }

    QByteArrayView m_content;
    qsizetype m_at;
    qsizetype m_nextLf = -1;
    qsizetype m_nextCr = -1;
};

qsizetype bodyStart(QByteArrayView content)
{
    return content.startsWith(kByteOrderMark) ? kByteOrderMark.size() : 0;
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
    QByteArrayView value; // the key's value
};

Place find(QByteArrayView content, QByteArrayView section, QByteArrayView key)
{
    Place place;
    LineReader reader(content, bodyStart(content));
    for (Line line; reader.next(line);) {
        const Meaning meaning
            = meaningOf(content.sliced(line.start, line.end - line.start), place.sectionFound);
        if (meaning.kind == Meaning::Header) {
            if (place.sectionFound)
                break; // the section has ended
            if (sameName(meaning.name, section)) {
                place.sectionFound = true;
                place.header = line;
            }
        } else if (meaning.kind == Meaning::Key && place.sectionFound) {
            place.hasKeys = true;
            place.lastKey = line;
            if (sameName(meaning.name, key)) {
                place.keyFound = true;
                place.key = line;
                place.hasValue = meaning.hasValue;
                place.value = valueOf(meaning.rest);
                break;
            }
        }
    }
    return place;
}

// The file's own line ending: the first one it holds; LF for a file that has none.
QByteArrayView lineEndingOf(QByteArrayView content)
{
    Line first;
    if (LineReader(content, 0).next(first) && first.hasEnding())
        return content.sliced(first.end, first.next - first.end);
    return "\n";
}

// The content with `key=value` stored in `section`; every other byte stays as it was.
QByteArray withValue(
    QByteArrayView content, QByteArrayView section, QByteArrayView key, QByteArrayView value)
{
    const QByteArrayView eol = lineEndingOf(content);
    const Place place = find(content, section, key);

    QByteArray result;
    result.reserve(
        content.size() + key.size() + value.size() + section.size() + 3 * eol.size() + 3);
    if (place.keyFound) {
        result.append(content.first(place.key.start));
        result.append(key).append('=').append(value);
        result.append(content.sliced(place.key.end));
    } else if (place.sectionFound) {
        const Line &before = place.hasKeys ? place.lastKey : place.header;
        result.append(content.first(before.next));
        if (!before.hasEnding())
            result.append(eol);
        // A lone CR right before a blank LF line would join it into one CRLF, and the blank
        // line would be gone: there the new line ends as the line before it does.
        const bool joinsNextLine
            = eol == "\r" && before.next < content.size() && content[before.next] == '\n';
        const QByteArrayView ending
            = joinsNextLine ? content.sliced(before.end, before.next - before.end) : eol;
        result.append(key).append('=').append(value).append(ending);
        result.append(content.sliced(before.next));
    } else {
        result.append(content);
        const bool lastLineOpen
            = result.size() > bodyStart(result) && !result.endsWith('\n') && !result.endsWith('\r');
        if (lastLineOpen)
            result.append(eol);
        result.append('[').append(section).append(']').append(eol);
        result.append(key).append('=').append(value).append(eol);
    }
    return result;
}

// The content without the sections whose names, in lower case, are in `names`: each one's
// header and every line up to the next header go; every other byte stays as it was.
QByteArray withoutSections(QByteArrayView content, const QSet<QByteArray> &names)
{
    QByteArray result;
    result.reserve(content.size());
    const qsizetype start = bodyStart(content);
    result.append(content.first(start));
    bool removing = false;
    LineReader reader(content, start);
    for (Line line; reader.next(line);) {
        const Meaning meaning = meaningOf(lineText(content, line), false);
        if (meaning.kind == Meaning::Header)
            removing = names.contains(lowerName(meaning.name));
        if (!removing)
            result.append(content.sliced(line.start, line.next - line.start));
    }
    return result;
}

bool holdsLineBreakOrNul(QByteArrayView text)
{
    return text.contains('\r') || text.contains('\n') || text.contains('\0');
}

// ---- Files saved as UTF-16LE with a byte-order mark ----
//
// Such a file is read and edited as 8-bit text, as the Windows profile functions do: its text
// becomes UTF-8 (a lone surrogate kept as its own three bytes, so that the text goes back to
// exactly the UTF-16 it came from), names and values come and go in the program's code page,
// Latin-1, and the edited text is written back as UTF-16LE with its mark. The file never holds
// two encodings.

constexpr QByteArrayView kUtf16Mark = "\xFF\xFE";

bool isUtf16(QByteArrayView content)
{
    return content.startsWith(kUtf16Mark);
}

void appendUtf8(QByteArray &text, char32_t c)
{
    if (c < 0x80) {
        text.append(char(c));
    } else if (c < 0x800) {
        text.append(char(0xC0 | (c >> 6))).append(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        text.append(char(0xE0 | (c >> 12)))
            .append(char(0x80 | ((c >> 6) & 0x3F)))
            .append(char(0x80 | (c & 0x3F)));
    } else {
        text.append(char(0xF0 | (c >> 18)))
            .append(char(0x80 | ((c >> 12) & 0x3F)))
            .append(char(0x80 | ((c >> 6) & 0x3F)))
            .append(char(0x80 | (c & 0x3F)));
    }
}

// The text of a UTF-16LE file after its mark; an odd last byte, which is no character, goes to
// `tail` to be put back as it was.
QByteArray utf8FromUtf16(QByteArrayView units, QByteArray &tail)
{
    const auto unitAt
        = [&](qsizetype i) { return char16_t(uchar(units[i]) | (uchar(units[i + 1]) << 8)); };
    const qsizetype even = units.size() & ~qsizetype(1);
    tail = units.sliced(even).toByteArray();
    QByteArray text;
    text.reserve(even * 3 / 2);
    for (qsizetype i = 0; i < even; i += 2) {
        const char16_t unit = unitAt(i);
        if (QChar::isHighSurrogate(unit) && i + 3 < even && QChar::isLowSurrogate(unitAt(i + 2))) {
            appendUtf8(text, QChar::surrogateToUcs4(unit, unitAt(i + 2)));
            i += 2;
        } else {
            appendUtf8(text, unit);
        }
    }
    return text;
}

// The code point that starts at `i`, and the bytes it takes; a byte that starts no sequence
// stands for itself.
char32_t codePointAt(QByteArrayView text, qsizetype i, qsizetype &length)
{
    const uchar lead = uchar(text[i]);
    const qsizetype needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    length = 1;
    if (needed == 1 || i + needed > text.size())
        return lead;
    char32_t c = lead & (0x7F >> needed);
    for (qsizetype k = 1; k < needed; ++k) {
        const uchar next = uchar(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return lead;
        c = (c << 6) | (next & 0x3F);
    }
    length = needed;
    return c;
}

QByteArray utf16FromUtf8(QByteArrayView text)
{
    QByteArray units;
    units.reserve(text.size() * 2);
    const auto appendUnit
        = [&](char16_t unit) { units.append(char(unit & 0xFF)).append(char(unit >> 8)); };
    for (qsizetype i = 0, length = 0; i < text.size(); i += length) {
        const char32_t c = codePointAt(text, i, length);
        if (QChar::requiresSurrogates(c)) {
            appendUnit(QChar::highSurrogate(c));
            appendUnit(QChar::lowSurrogate(c));
        } else {
            appendUnit(char16_t(c));
        }
    }
    return units;
}

QByteArray utf8FromLatin1(QByteArrayView text)
{
    QByteArray result;
    result.reserve(text.size() * 2);
    for (const char c : text)
        appendUtf8(result, uchar(c));
    return result;
}

// A character beyond Latin-1 reads as '?', as a character beyond the code page does on Windows.
QByteArray latin1FromUtf8(QByteArrayView text)
{
    QByteArray result;
    result.reserve(text.size());
    for (qsizetype i = 0, length = 0; i < text.size(); i += length) {
        const char32_t c = codePointAt(text, i, length);
        result.append(c <= 0xFF ? char(c) : '?');
    }
    return result;
}

std::optional<QByteArrayView> findValue(
    QByteArrayView content, QByteArrayView section, QByteArrayView key)
{
    section = trimmed(section);
    key = trimmed(key);
    if (section.isEmpty() || key.isEmpty())
        return std::nullopt;
    const Place place = find(content, section, key);
    if (!place.keyFound || !place.hasValue)
        return std::nullopt;
    return place.value;
}

} // namespace

std::optional<QByteArray> valueIn(
    QByteArrayView content, QByteArrayView section, QByteArrayView key)
{
    if (isUtf16(content)) {
        QByteArray tail;
        const QByteArray text = utf8FromUtf16(content.sliced(kUtf16Mark.size()), tail);
        if (const std::optional<QByteArrayView> value
            = findValue(text, utf8FromLatin1(section), utf8FromLatin1(key)))
            return latin1FromUtf8(*value);
        return std::nullopt;
    }
    if (const std::optional<QByteArrayView> value = findValue(content, section, key))
        return value->toByteArray();
    return std::nullopt;
}

qsizetype getProfileString(QByteArrayView content, QByteArrayView section, QByteArrayView key,
    QByteArrayView defaultValue, char *buffer, qsizetype size)
{
    if (!buffer || size <= 0)
        return 0;
    // A file in UTF-16 is decoded first; any other is read as it stands, without a copy.
    std::optional<QByteArray> decoded;
    std::optional<QByteArrayView> value;
    if (isUtf16(content)) {
        decoded = valueIn(content, section, key);
        value = decoded;
    } else {
        value = findValue(content, section, key);
    }
    const QByteArrayView found = value.value_or(defaultValue);
    const qsizetype n = qMin(found.size(), size - 1);
    if (n > 0)
        memcpy(buffer, found.data(), size_t(n));
    buffer[n] = '\0';
    return n;
}

// Names and values that would break the file's layout, or plant lines of their own in it.
bool isStorable(QByteArrayView section, QByteArrayView key, QByteArrayView value)
{
    const bool removal = key.isEmpty() && value.isEmpty();
    section = trimmed(section);
    key = trimmed(key);
    if (section.isEmpty() || holdsLineBreakOrNul(section) || section.contains(']'))
        return false;
    if (removal)
        return true;
    if (key.isEmpty() || holdsLineBreakOrNul(key) || holdsLineBreakOrNul(value))
        return false;
    if (key.contains('='))
        return false;
    return key.front() != '[' && key.front() != ';';
}

QList<QByteArray> sectionNames(QByteArrayView content)
{
    return Index(content.toByteArray()).sectionNames();
}

std::optional<QByteArray> withValues(QByteArrayView content, const QList<Entry> &entries)
{
    for (const Entry &entry : entries) {
        if (!isStorable(entry.section, entry.key, entry.value))
            return std::nullopt;
    }
    const bool utf16 = isUtf16(content);
    QByteArray tail;
    QByteArray text
        = utf16 ? utf8FromUtf16(content.sliced(kUtf16Mark.size()), tail) : content.toByteArray();
    const auto asText
        = [&](QByteArrayView bytes) { return utf16 ? utf8FromLatin1(bytes) : bytes.toByteArray(); };
    for (qsizetype i = 0; i < entries.size();) {
        if (entries[i].removes()) {
            QSet<QByteArray> names;
            for (; i < entries.size() && entries[i].removes(); ++i)
                names.insert(lowerName(asText(trimmed(entries[i].section))));
            text = withoutSections(text, names);
            continue;
        }
        const Entry &entry = entries[i++];
        text = withValue(
            text, asText(trimmed(entry.section)), asText(trimmed(entry.key)), asText(entry.value));
    }
    return utf16 ? kUtf16Mark.toByteArray() + utf16FromUtf8(text) + tail : text;
}

Index::Index(const QByteArray &content)
    : m_text(content)
    , m_utf16(isUtf16(content))
{
    if (m_utf16) {
        QByteArray tail;
        m_text = utf8FromUtf16(QByteArrayView(content).sliced(kUtf16Mark.size()), tail);
    }
    // The names are looked up in a lower-case copy of the whole text: one copy, not one for each
    // of tens of thousands of names.
    m_lower = lowerName(m_text);
    std::pair<qsizetype, qsizetype> *open = nullptr; // the body being read, if it counts
    LineReader reader(m_text, bodyStart(m_text));
    for (Line line; reader.next(line);) {
        const Meaning meaning = meaningOf(lineText(m_text, line), false);
        if (meaning.kind != Meaning::Header)
            continue;
        if (open)
            open->second = line.start;
        open = nullptr;
        if (meaning.name.isEmpty())
            continue;
        const QByteArrayView lower(
            m_lower.constData() + (meaning.name.data() - m_text.constData()), meaning.name.size());
        if (m_bodies.contains(lower))
            continue;
        open = &m_bodies.insert(lower, {line.next, m_text.size()}).value();
        m_names.append(m_utf16 ? latin1FromUtf8(meaning.name) : meaning.name.toByteArray());
    }
}

std::optional<QByteArray> Index::value(QByteArrayView section, QByteArrayView key) const
{
    section = trimmed(section);
    key = trimmed(key);
    if (section.isEmpty() || key.isEmpty())
        return std::nullopt;
    if (m_utf16) {
        if (const std::optional<QByteArrayView> found
            = find(utf8FromLatin1(section), utf8FromLatin1(key)))
            return latin1FromUtf8(*found);
        return std::nullopt;
    }
    if (const std::optional<QByteArrayView> found = find(section, key))
        return found->toByteArray();
    return std::nullopt;
}

std::optional<QByteArrayView> Index::find(QByteArrayView section, QByteArrayView key) const
{
    // The name in lower case, looked up without a copy on the heap: a reader of every record
    // looks up several values in each of tens of thousands of sections.
    QVarLengthArray<char, 128> lower(section.size());
    std::transform(section.begin(), section.end(), lower.begin(), asciiLower);
    const auto body = m_bodies.constFind(QByteArrayView(lower.data(), lower.size()));
    if (body == m_bodies.cend())
        return std::nullopt;
    // The reader is given the section alone: it looks ahead for line endings, and a look to the
    // end of the file for each value would cost the file's length each time.
    const QByteArrayView text = QByteArrayView(m_text).first(body->second);
    LineReader reader(text, body->first);
    for (Line line; reader.next(line);) {
        const Meaning meaning = meaningOf(lineText(text, line), true);
        if (meaning.kind != Meaning::Key || !sameName(meaning.name, key))
            continue;
        if (!meaning.hasValue)
            return std::nullopt;
        return valueOf(meaning.rest);
    }
    return std::nullopt;
}

} // namespace profile
