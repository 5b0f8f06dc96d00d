#include "fuzz/profile_properties.h"

#include "settings/ini.h"
#include "settings/profiletext.h"

#include <array>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <locale.h>
#include <optional>

namespace fuzzing {
namespace {

// ReadINI's buffer: a value comes back cut to 749 bytes.
constexpr qsizetype kBufferSize = 750;
// How many of the file's own bytes a raw write takes as its value: room for blanks, quotes and
// stray bytes on both sides of a value, while every execution stays quick.
constexpr qsizetype kRawValueLength = 80;
// How much of a file a failure message shows.
constexpr qsizetype kShownBytes = 120;

// The program's five settings, in the order the start screen saves them, with the value it
// falls back on when the file gives none. Keys as WriteINI writes them, and as ReadINI looks
// them up.
struct Setting
{
    const char *section;
    const char *key;
    const char *lookup;
    double fallback;
};
constexpr std::array<Setting, 5> kSettings {{
    {"Filter", "FILTER", "filter", 1},
    {"Filter", "TARGET", "target", 1},
    {"Filter", "FIXEYE", "fixeye", 2},
    {"Screen", "SCREENH", "screenh", 500},
    {"Screen", "SCREENV", "screenv", 500},
}};
// "ScreenV" is held as a 16-bit whole number, the other four as doubles.
constexpr std::size_t kScreenV = 4;

using Value = std::optional<QByteArray>;

QString shown(QByteArrayView bytes)
{
    QByteArray text = bytes.first(qMin(bytes.size(), kShownBytes))
                          .toByteArray()
                          .toPercentEncoding(" =[];.'\"+-");
    if (bytes.size() > kShownBytes)
        text += "...";
    return QString::fromLatin1(text);
}

QString shownValue(const Value &value)
{
    return value ? QLatin1Char('\'') + shown(*value) + QLatin1Char('\'')
                 : QStringLiteral("(missing)");
}

// ReadINI looks keys up in lower case.
Value read(QByteArrayView content, const Setting &setting)
{
    return profile::valueIn(content, setting.section, setting.lookup);
}

std::optional<QByteArray> write(
    QByteArrayView content, const Setting &setting, QByteArrayView value)
{
    return profile::withValues(content, {{setting.section, setting.key, value.toByteArray()}});
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool holdsLineBreak(QByteArrayView text)
{
    return text.contains('\r') || text.contains('\n');
}

// CR, LF and CRLF each end one line.
qsizetype lineEndings(QByteArrayView text)
{
    return text.count('\n') + text.count('\r') - text.count("\r\n");
}

bool isInsideCrLf(QByteArrayView text, qsizetype at)
{
    return at > 0 && at < text.size() && text[at - 1] == '\r' && text[at] == '\n';
}

bool holdsLineBreakOrNul(QByteArrayView text)
{
    return holdsLineBreak(text) || text.contains('\0');
}

// ---- Numbers: the documented grammar, read by the C library in the C locale ----

struct ExpectedNumber
{
    bool fails = false; // beyond the double-precision range
    double value = 0;
    bool tiny = false; // below the normal range, where 0 and the exact value both do
};

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

ExpectedNumber expectedNumber(const QByteArray &text)
{
    // Blanks, an optional sign, digits with an optional point and fraction, an optional
    // exponent that counts only when it has digits; no number at all reads as 0.
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size && isBlank(text[i]))
        ++i;
    const qsizetype start = i;
    if (i < size && (text[i] == '+' || text[i] == '-'))
        ++i;
    qsizetype digits = 0;
    for (; i < size && isDigit(text[i]); ++i)
        ++digits;
    if (i < size && text[i] == '.') {
        for (++i; i < size && isDigit(text[i]); ++i)
            ++digits;
    }
    if (digits == 0)
        return {};
    if (i < size && (text[i] == 'e' || text[i] == 'E')) {
        qsizetype j = i + 1;
        if (j < size && (text[j] == '+' || text[j] == '-'))
            ++j;
        if (j < size && isDigit(text[j])) {
            while (j < size && isDigit(text[j]))
                ++j;
            i = j;
        }
    }
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const QByteArray number = text.mid(start, i - start);
    const double value = ::strtod_l(number.constData(), nullptr, c);
    if (std::isinf(value))
        return {true, 0, false};
    return {false, value, std::fabs(value) < DBL_MIN};
}

// Rounding to a whole number with a half going to the even neighbour, written out by steps.
double roundHalfEven(double value)
{
    const double below = std::floor(value);
    const double rest = value - below;
    if (rest < 0.5)
        return below;
    if (rest > 0.5)
        return below + 1;
    return std::fmod(below, 2) == 0 ? below : below + 1;
}

QString checkConversion(const QByteArray &bytes)
{
    const QString text = QString::fromLatin1(bytes);
    const ExpectedNumber expected = expectedNumber(bytes);
    const std::optional<double> number = settings::textToDouble(text);
    if (expected.fails != !number)
        return QStringLiteral("'%1' %2 as a double").arg(shown(bytes), number ? "read" : "failed");
    if (number && *number != expected.value && !(expected.tiny && *number == 0))
        return QStringLiteral("'%1' read as %2, not %3")
            .arg(shown(bytes))
            .arg(*number, 0, 'g', 17)
            .arg(expected.value, 0, 'g', 17);

    const std::optional<qint16> whole = settings::textToInteger16(text);
    const double rounded = expected.fails ? 0 : roundHalfEven(expected.value);
    const bool fits = !expected.fails && rounded >= -32768 && rounded <= 32767;
    if (fits != bool(whole) || (whole && double(*whole) != rounded))
        return QStringLiteral("'%1' read as the whole number %2")
            .arg(shown(bytes), whole ? QString::number(*whole) : QStringLiteral("(none)"));
    return {};
}

// ---- Any bytes as the file ----

// Reading copies the value, or the default when the key has none, cut to size - 1 bytes and
// followed by a NUL; nothing is written past the buffer. The value read goes to `value`.
QString checkRead(QByteArrayView content, const Setting &setting, qsizetype size, Value &value)
{
    // No value holds a line break, so this default tells a missing key from any value.
    constexpr QByteArrayView kDefault = "(\n)";
    QByteArray whole(content.size() + kDefault.size() + 1, Qt::Uninitialized);
    const qsizetype n = profile::getProfileString(
        content, setting.section, setting.lookup, kDefault, whole.data(), whole.size());
    if (n < 0 || n >= whole.size() || whole[n] != '\0')
        return QStringLiteral("reading %1 gave %2 bytes").arg(QLatin1String(setting.key)).arg(n);
    whole.truncate(n);
    value = whole == kDefault ? Value() : Value(whole);

    std::array<char, 9> buffer;
    buffer.fill('x');
    const qsizetype cut = profile::getProfileString(
        content, setting.section, setting.lookup, kDefault, buffer.data(), size);
    if (cut != qMin(whole.size(), size - 1) || buffer[std::size_t(cut)] != '\0'
        || buffer[std::size_t(size)] != 'x'
        || QByteArrayView(buffer.data(), cut) != whole.first(cut))
        return QStringLiteral("reading %1 into %2 bytes gave %3 bytes of %4")
            .arg(QLatin1String(setting.key))
            .arg(size)
            .arg(cut)
            .arg(shown(whole));
    return {};
}

bool isUtf16(QByteArrayView content)
{
    return content.startsWith("\xFF\xFE");
}

// A write under `which` leaves setting `other` as it read before.
template<typename Where>
QString checkOtherSetting(QByteArrayView before, QByteArrayView after, std::size_t which,
    std::size_t other, const Where &where)
{
    if (other != which && read(after, kSettings[other]) != read(before, kSettings[other]))
        return QStringLiteral("%1 changed").arg(QLatin1String(kSettings[other].key)) + where();
    return {};
}

// How many bytes two texts share at their start.
qsizetype sharedStart(QByteArrayView a, QByteArrayView b)
{
    constexpr qsizetype kBlock = 64;
    const qsizetype size = qMin(a.size(), b.size());
    qsizetype at = 0;
    while (at + kBlock <= size && memcmp(a.data() + at, b.data() + at, kBlock) == 0)
        at += kBlock;
    while (at < size && a[at] == b[at])
        ++at;
    return at;
}

// How many bytes two texts share at their end, at most `limit`.
qsizetype sharedEnd(QByteArrayView a, QByteArrayView b, qsizetype limit)
{
    qsizetype n = 0;
    while (n < limit && a[a.size() - 1 - n] == b[b.size() - 1 - n])
        ++n;
    return n;
}

// One write of `value` under setting `which`, by the layout's rules:
// - a value with a line break or a NUL is refused, anything else is stored;
// - a value without blanks at its ends and not in quotes reads back as written;
// - no line break of the file is lost, and the bytes that go all lie within one line;
// And, when `everyRule` is set:
// - another setting, `other`, keeps its value;
// - blanks around a value do not count, and one pair of quotes around it is dropped, so that
//   a value put in quotes reads back exactly, whatever it holds;
// - writing the same value again changes nothing.
QString checkWrite(QByteArrayView content, std::size_t which, QByteArrayView value, bool everyRule,
    std::size_t other)
{
    const Setting &setting = kSettings[which];
    const auto where = [&] {
        return QStringLiteral(" (writing '%1' under %2 into '%3')")
            .arg(shown(value), QLatin1String(setting.key), shown(content));
    };
    const std::optional<QByteArray> after = write(content, setting, value);
    if (holdsLineBreakOrNul(value))
        return after ? QStringLiteral("a value with a line break was stored") + where() : QString();
    if (!after)
        return QStringLiteral("the value was refused") + where();

    const Value back = read(*after, setting);
    const bool plain = value.isEmpty()
        || (!isBlank(value.front()) && !isBlank(value.back())
            && !(value.size() >= 2 && value.front() == value.back()
                && (value.front() == '"' || value.front() == '\'')));
    if (plain && back != value)
        return QStringLiteral("it reads back as %1").arg(shownValue(back)) + where();
    if (everyRule) {
        const QByteArray quoted = '"' + value.toByteArray() + '"';
        if (const Value inQuotes = read(*write(content, setting, quoted), setting);
            inQuotes != value)
            return QStringLiteral("in quotes, it reads back as %1").arg(shownValue(inQuotes))
                + where();
        const Value padded
            = read(*write(content, setting, " \t" + value.toByteArray() + "\t "), setting);
        if (padded != back)
            return QStringLiteral("with blanks around it, it reads %1, not %2")
                       .arg(shownValue(padded), shownValue(back))
                + where();
        if (write(*after, setting, value) != after)
            return QStringLiteral("writing it again changed the file") + where();
    }

    // A file in UTF-16 stays in UTF-16, whole code units added; any other file never becomes
    // one. Its lines are those of its characters, not of its bytes.
    if (isUtf16(*after) != isUtf16(content)
        || (isUtf16(content) && (after->size() - content.size()) % 2 != 0))
        return QStringLiteral("the file's encoding changed, giving '%1'").arg(shown(*after))
            + where();
    if (isUtf16(content))
        return checkOtherSetting(content, *after, which, everyRule ? other : which, where);

    // The bytes removed hold no line break; the line endings that the file gains are those of
    // the bytes inserted, and no CRLF stands across the edges of the change, so no ending of
    // another line joined another (a CR and an LF into one CRLF) or came apart.
    const qsizetype head = sharedStart(content, *after);
    const qsizetype tail = sharedEnd(content, *after, qMin(content.size(), after->size()) - head);
    const QByteArrayView removed = content.sliced(head, content.size() - head - tail);
    const QByteArrayView inserted
        = QByteArrayView(*after).sliced(head, after->size() - head - tail);
    if (holdsLineBreak(removed)
        || lineEndings(*after) - lineEndings(content) != lineEndings(inserted)
        || isInsideCrLf(content, head) || isInsideCrLf(content, content.size() - tail)
        || isInsideCrLf(*after, head) || isInsideCrLf(*after, after->size() - tail))
        return QStringLiteral("lines other than the key's changed, giving '%1'").arg(shown(*after))
            + where();

    return checkOtherSetting(content, *after, which, everyRule ? other : which, where);
}

// Each key read whole and cut to a small buffer; each text read as its documented number.
QString checkReading(QByteArrayView content)
{
    const qsizetype smallSize = content.isEmpty() ? 1 : 1 + uchar(content.front()) % 8;
    // A reader of many values (the calibration's records) finds what a reader of one finds.
    const profile::Index index(content.toByteArray());
    for (std::size_t i = 0; i < kSettings.size(); ++i) {
        Value value;
        if (QString failure = checkRead(content, kSettings[i], smallSize, value);
            !failure.isEmpty())
            return failure;
        if (index.value(kSettings[i].section, kSettings[i].lookup) != value)
            return QStringLiteral("%1 reads %2 through the index, %3 alone, in '%4'")
                .arg(QLatin1String(kSettings[i].key),
                    shownValue(index.value(kSettings[i].section, kSettings[i].lookup)),
                    shownValue(value), shown(content));
        const QByteArray text = value.value_or(QByteArray()).left(kBufferSize - 1);
        if (QString failure = checkConversion(text); !failure.isEmpty())
            return failure;
    }
    return {};
}

// Any text the file holds, written as a value: the start or the end of the file itself,
// blanks, quotes, stray bytes and line breaks included; then the same without what the file
// refuses.
QString checkWritingItself(QByteArrayView content, bool start)
{
    const qsizetype size = qMin(content.size(), kRawValueLength);
    const QByteArrayView value = start ? content.first(size) : content.last(size);
    const std::size_t which = start ? 0 : kScreenV;
    const std::size_t other = std::size_t(content.size()) % kSettings.size();
    if (QString failure = checkWrite(content, which, value, true, other); !failure.isEmpty())
        return failure;
    QByteArray storable = value.toByteArray();
    storable.removeIf([](char c) { return c == '\r' || c == '\n' || c == '\0'; });
    if (storable.size() == value.size())
        return {};
    return checkWrite(content, which, storable, true, other);
}

// The start screen's save of five numbers, here numbers read from the file's own bytes, eight
// at a time: in one go, they leave the bytes of five writes one after another, and the five
// read back are the five saved.
QString checkSaving(QByteArrayView content)
{
    constexpr qsizetype kPiece = 8;
    QList<profile::Entry> entries;
    QByteArray oneByOne = content.toByteArray();
    std::array<double, 5> saved {};
    for (std::size_t i = 0; i < kSettings.size(); ++i) {
        const qsizetype from = qMin(content.size(), qsizetype(i) * kPiece);
        const QString piece
            = QString::fromLatin1(content.sliced(from).first(qMin(content.size() - from, kPiece)));
        if (i == kScreenV) {
            const auto whole = settings::textToInteger16(piece);
            saved[i] = whole ? *whole : kSettings[i].fallback;
        } else {
            saved[i] = settings::textToDouble(piece).value_or(kSettings[i].fallback);
        }
        const QByteArray text = settings::numberText(saved[i]).toLatin1();
        entries.append({kSettings[i].section, kSettings[i].key, text});
        const std::optional<QByteArray> written = write(oneByOne, kSettings[i], text);
        if (!written)
            return QStringLiteral("%1 was refused").arg(QString::fromLatin1(text));
        oneByOne = *written;
    }
    const std::optional<QByteArray> together = profile::withValues(content, entries);
    if (together != oneByOne)
        return QStringLiteral("a save of five values gave '%1', five writes '%2'")
            .arg(shown(together.value_or("(refused)")), shown(oneByOne));
    for (std::size_t i = 0; i < kSettings.size(); ++i) {
        const QString text = QString::fromLatin1(read(*together, kSettings[i]).value_or(""));
        std::optional<double> number = settings::textToDouble(text);
        if (i == kScreenV) {
            const std::optional<qint16> whole = settings::textToInteger16(text);
            number = whole ? std::optional<double>(*whole) : std::nullopt;
        }
        if (!number || *number != saved[i])
            return QStringLiteral("%1 saved as %2 reads back as '%3'")
                .arg(QLatin1String(kSettings[i].key))
                .arg(saved[i], 0, 'g', 17)
                .arg(text);
    }
    return {};
}

// ---- A file built from choices, every value known from how it was built ----

// The input's bytes taken one at a time as choices; 0 once they run out.
class Choices
{
public:
    explicit Choices(QByteArrayView bytes)
        : m_bytes(bytes)
    {
    }
    int next(int count) { return m_at < m_bytes.size() ? uchar(m_bytes[m_at++]) % count : 0; }
    bool isEmpty() const { return m_at >= m_bytes.size(); }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
};

constexpr std::array<const char *, 3> kSections {"Filter", "Screen", "Notes"};
constexpr std::array<const char *, 6> kLookups {
    "filter", "target", "fixeye", "screenh", "screenv", "note"};
constexpr std::array<const char *, 6> kKeys {
    "FILTER", "TARGET", "FIXEYE", "SCREENH", "SCREENV", "NOTE"};

// What each key of each section reads as.
using Expected = std::array<std::array<Value, kKeys.size()>, kSections.size()>;

// The name in any letter case, added to `file`.
QByteArray &appendAnyCase(QByteArray &file, Choices &choices, const char *name)
{
    for (const char *c = name; *c; ++c)
        file.append(choices.next(2) ? char(*c >= 'a' ? *c - 'a' + 'A' : *c - 'A' + 'a') : *c);
    return file;
}

QByteArrayView blanks(Choices &choices)
{
    constexpr std::array<QByteArrayView, 4> kBlanks {"", " ", "\t", " \t "};
    return kBlanks[std::size_t(choices.next(int(kBlanks.size())))];
}

// A value as a person types one: no blank at either end, no quotes.
QByteArray token(Choices &choices)
{
    constexpr QByteArrayView kCharacters = "0123456789.+-eE=;[]xyzXYZ \xE9";
    QByteArray text;
    for (int length = choices.next(7); length > 0; --length)
        text += kCharacters[choices.next(int(kCharacters.size()))];
    while (!text.isEmpty() && text.front() == ' ')
        text.remove(0, 1);
    while (!text.isEmpty() && text.back() == ' ')
        text.chop(1);
    return text;
}

QByteArrayView lineEnding(Choices &choices)
{
    constexpr std::array<QByteArrayView, 3> kEndings {"\n", "\r\n", "\r"};
    return kEndings[std::size_t(choices.next(int(kEndings.size())))];
}

// A file of headers, keys with and without values, comments and blank lines, in the spellings
// people use: any letter case, blanks around names and values, quotes, any line ending.
QByteArray buildFile(Choices &choices, Expected &expected)
{
    QByteArray file;
    file.reserve(512);
    if (choices.next(4) == 0)
        file.append("\xEF\xBB\xBF");
    std::array<bool, kSections.size()> seen {};
    std::array<std::array<bool, kKeys.size()>, kSections.size()> known {};
    int section = -1; // before the first header, lines belong to no section
    bool first = false; // whether this is the first section of its name
    for (int lines = 1 + choices.next(12); lines > 0; --lines) {
        switch (choices.next(6)) {
        case 0:
            file.append(blanks(choices));
            break;
        case 1:
            file.append(blanks(choices))
                .append(';')
                .append(choices.next(2) ? QByteArrayView("[Filter]") : QByteArrayView("FILTER=9"));
            break;
        case 2:
        case 3: {
            section = choices.next(int(kSections.size()));
            first = !seen[std::size_t(section)];
            seen[std::size_t(section)] = true;
            file.append(blanks(choices)).append('[').append(blanks(choices));
            appendAnyCase(file, choices, kSections[std::size_t(section)]).append(blanks(choices));
            // A header without its ']' runs to the end of the line.
            if (choices.next(3)) {
                file.append(']')
                    .append(choices.next(2) ? QByteArrayView(" old") : QByteArrayView())
                    .append(blanks(choices));
            }
            break;
        }
        case 4: {
            const int key = choices.next(int(kKeys.size()));
            file.append(blanks(choices));
            appendAnyCase(file, choices, kKeys[std::size_t(key)]).append(blanks(choices));
            file.append('=').append(blanks(choices));
            QByteArray value = token(choices);
            if (const int quote = choices.next(3); quote > 0) {
                const char mark = quote == 1 ? '"' : '\'';
                value.prepend(blanks(choices)).append(blanks(choices));
                file.append(mark).append(value).append(mark);
            } else {
                file.append(value);
            }
            file.append(blanks(choices));
            if (section >= 0 && first && !known[std::size_t(section)][std::size_t(key)]) {
                known[std::size_t(section)][std::size_t(key)] = true;
                expected[std::size_t(section)][std::size_t(key)] = value;
            }
            break;
        }
        default: {
            // A key without '=' holds no value, and hides any later key of its name.
            const int key = choices.next(int(kKeys.size()));
            file.append(blanks(choices));
            appendAnyCase(file, choices, kKeys[std::size_t(key)]).append(blanks(choices));
            if (section >= 0 && first)
                known[std::size_t(section)][std::size_t(key)] = true;
            break;
        }
        }
        if (lines > 1 || choices.next(2))
            file.append(lineEnding(choices));
    }
    return file;
}

QString checkExpected(const QByteArray &file, const Expected &expected)
{
    const profile::Index index(file);
    for (std::size_t s = 0; s < kSections.size(); ++s) {
        for (std::size_t k = 0; k < kKeys.size(); ++k) {
            const Value value = profile::valueIn(file, kSections[s], kLookups[k]);
            const Value indexed = index.value(kSections[s], kLookups[k]);
            if (value != expected[s][k] || indexed != value)
                return QStringLiteral("[%1] %2 reads %3 (%4 through the index), not %5, in '%6'")
                    .arg(QLatin1String(kSections[s]), QLatin1String(kKeys[k]), shownValue(value),
                        shownValue(indexed), shownValue(expected[s][k]), shown(file));
        }
    }
    return {};
}

QString checkBuiltFile(QByteArrayView input)
{
    Choices choices(input);
    Expected expected;
    QByteArray file = buildFile(choices, expected);
    // Saved as UTF-16LE with its mark (Notepad's "Unicode"): every byte, Latin-1, a code unit.
    const bool utf16 = choices.next(4) == 0;
    if (utf16) {
        QByteArray units("\xFF\xFE");
        for (const char c : file.startsWith("\xEF\xBB\xBF") ? file.sliced(3) : file)
            units.append(c).append('\0');
        file = units;
    }

    // A section removed, every one of its name, and a few values written in one go, each with or
    // without the leading blank of a number; then every key reads as built, removed or written.
    QList<profile::Entry> entries;
    if (choices.next(3) == 0) {
        const int section = choices.next(int(kSections.size()));
        entries.append(profile::Entry::removal(kSections[std::size_t(section)]));
        expected[std::size_t(section)].fill(std::nullopt);
    }
    for (int count = choices.next(4); count > 0; --count) {
        const int section = choices.next(int(kSections.size()));
        const int key = choices.next(int(kKeys.size()));
        const QByteArray value = token(choices);
        entries.append({kSections[std::size_t(section)], kKeys[std::size_t(key)],
            (choices.next(2) ? " " : "") + value});
        expected[std::size_t(section)][std::size_t(key)] = value;
    }
    const std::optional<QByteArray> written = profile::withValues(file, entries);
    if (!written)
        return QStringLiteral("a write was refused");
    if (utf16) {
        bool whole = written->startsWith("\xFF\xFE") && written->size() % 2 == 0;
        for (qsizetype i = 3; whole && i < written->size(); i += 2)
            whole = written->at(i) == '\0';
        if (!whole)
            return QStringLiteral("a UTF-16 file was written as '%1'").arg(shown(*written));
    }
    return checkExpected(*written, expected);
}

} // namespace

QString checkProfile(QByteArrayView input, int family)
{
    switch (family) {
    case 0:
        return checkReading(input);
    case 1:
        return checkWritingItself(input, true);
    case 2:
        return checkWritingItself(input, false);
    case 3:
        return checkSaving(input);
    default:
        return checkBuiltFile(input);
    }
}

QString checkProfile(QByteArrayView input)
{
    for (int family = 0; family < kRuleFamilies; ++family) {
        if (QString failure = checkProfile(input, family); !failure.isEmpty())
            return failure;
    }
    return {};
}

} // namespace fuzzing
