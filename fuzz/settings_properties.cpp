#include "fuzz/settings_properties.h"

#include "settings/ini.h"

#include <QDir>
#include <QFile>
#include <QList>

#include <array>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <optional>

namespace fuzzing {
namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr qsizetype kByteOrderMarkSize = 3;
// The reader hands back at most this many characters of a value (its buffer holds 750).
constexpr qsizetype kLongestValue = 749;
// How many of the file's own bytes a raw write takes as its value: room for blanks, quotes and
// stray bytes on both sides of a value, while every execution stays quick.
constexpr qsizetype kRawValueLength = 80;
// How much of a file a failure message shows.
constexpr qsizetype kShownBytes = 120;

// The five settings in the order the start screen reads and writes them, each with the value
// the start screen falls back on when the file gives none.
struct Setting
{
    const char *section;
    const char *key;
    double fallback;
};
constexpr std::array<Setting, 5> kSettings {{
    {settings::kSectionFilter, "Filter", 1},
    {settings::kSectionFilter, "Target", 1},
    {settings::kSectionFilter, "FixEye", 2},
    {settings::kSectionScreen, "ScreenH", 500},
    {settings::kSectionScreen, "ScreenV", 500},
}};
// "ScreenV" is held as a 16-bit whole number, the other four as doubles.
constexpr std::size_t kScreenV = 4;

QString shown(const QByteArray &bytes)
{
    QByteArray text = bytes.left(kShownBytes).toPercentEncoding(" =[];.'\"+-");
    if (bytes.size() > kShownBytes)
        text += "...";
    return QString::fromLatin1(text);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(content) == content.size();
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArray withoutBlanks(QByteArray text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text.remove(0, 1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

// A value as the reader gives it back: blanks around it dropped, then one pair of matching
// quotes, then cut to what the reader's buffer holds.
QByteArray asReadBack(const QByteArray &written)
{
    QByteArray value = withoutBlanks(written);
    if (value.size() >= 2 && value.front() == value.back()
        && (value.front() == '"' || value.front() == '\'')) {
        value = value.mid(1, value.size() - 2);
    }
    return value.left(kLongestValue);
}

// ---- Numbers: the documented grammar, read by the C library in the C locale ----

struct ExpectedNumber
{
    bool fails = false; // beyond the double-precision range
    double value = 0;
    bool tiny = false; // below the normal range, where 0 and the exact value both do
};

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
    while (i < size && std::isdigit(static_cast<unsigned char>(text[i]))) {
        ++i;
        ++digits;
    }
    if (i < size && text[i] == '.') {
        ++i;
        while (i < size && std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return {};
    if (i < size && (text[i] == 'e' || text[i] == 'E')) {
        qsizetype j = i + 1;
        if (j < size && (text[j] == '+' || text[j] == '-'))
            ++j;
        if (j < size && std::isdigit(static_cast<unsigned char>(text[j]))) {
            while (j < size && std::isdigit(static_cast<unsigned char>(text[j])))
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

QString checkConversion(const QString &text)
{
    const QByteArray bytes = text.toLatin1();
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

// ---- Lines: what a write may change in a file ----

struct Line
{
    QByteArray text;
    QByteArray ending;
    bool operator==(const Line &) const = default;
};

// The file's lines as written, each with its own ending (CR, LF or CRLF, or none at the end).
// A leading byte-order mark stands as a line of its own: it belongs to no line's text.
QList<Line> linesOf(const QByteArray &content)
{
    QList<Line> lines;
    qsizetype i = 0;
    if (content.startsWith(kByteOrderMark)) {
        lines.append(Line {kByteOrderMark, {}});
        i = kByteOrderMarkSize;
    }
    const qsizetype size = content.size();
    while (i < size) {
        qsizetype end = i;
        while (end < size && content[end] != '\n' && content[end] != '\r')
            ++end;
        qsizetype next = end;
        if (next < size)
            next += (content[next] == '\r' && next + 1 < size && content[next + 1] == '\n') ? 2 : 1;
        lines.append(Line {content.mid(i, end - i), content.mid(end, next - end)});
        i = next;
    }
    return lines;
}

// True when the line is a key line of that name, in any letter case, with or without a value.
bool namesKey(const QByteArray &text, const QByteArray &key)
{
    const QByteArray line = withoutBlanks(text);
    if (line.size() < key.size() || line.left(key.size()).compare(key, Qt::CaseInsensitive) != 0)
        return false;
    const QByteArray rest = withoutBlanks(line.mid(key.size()));
    return rest.isEmpty() || rest.front() == '=';
}

bool isLineEnding(const QByteArray &ending)
{
    return ending == "\n" || ending == "\r\n" || ending == "\r";
}

// A write of `keyLine` into `section` may replace the key's own line, insert the key line, or
// append the section with the key line, giving a last line that lacked one an ending first.
// Every other line stays as it was, byte for byte and in order.
QString checkOnlyItsLineChanged(const QByteArray &before, const QByteArray &after,
    const QByteArray &section, const QByteArray &key, const QByteArray &keyLine)
{
    const QList<Line> old = linesOf(before);
    const QList<Line> now = linesOf(after);
    qsizetype head = 0;
    while (head < old.size() && head < now.size() && old[head] == now[head])
        ++head;
    qsizetype tail = 0;
    while (tail < old.size() - head && tail < now.size() - head
        && old[old.size() - 1 - tail] == now[now.size() - 1 - tail])
        ++tail;
    QList<Line> gone = old.mid(head, old.size() - head - tail);
    QList<Line> added = now.mid(head, now.size() - head - tail);
    if (gone.size() == 1 && gone[0].ending.isEmpty() && !added.isEmpty()
        && added[0].text == gone[0].text && isLineEnding(added[0].ending)) {
        gone.clear();
        added.removeFirst();
    }

    const QString where
        = QStringLiteral(" (writing '%1' into [%2] of '%3', giving '%4')")
              .arg(shown(keyLine), QString::fromLatin1(section), shown(before), shown(after));
    if (gone.size() > 1)
        return QStringLiteral("%1 lines lost").arg(gone.size()) + where;
    if (gone.size() == 1) {
        if (!namesKey(gone[0].text, key))
            return QStringLiteral("the line '%1' was replaced").arg(shown(gone[0].text)) + where;
        if (added.size() != 1 || added[0].text != keyLine || added[0].ending != gone[0].ending)
            return QStringLiteral("the key's line was not replaced by the key line alone") + where;
        return {};
    }
    if (added.isEmpty())
        return {}; // the value was already there
    const bool inserted = added.size() == 1 && added[0].text == keyLine;
    const bool appended = added.size() == 2 && added[0].text == '[' + section + ']'
        && added[1].text == keyLine && isLineEnding(added[0].ending);
    if (!(inserted || appended) || !isLineEnding(added.back().ending))
        return QStringLiteral("%1 unexpected lines").arg(added.size()) + where;
    return {};
}

// ---- The properties ----

class Checker
{
public:
    explicit Checker(const QString &folder)
        : m_folder(folder)
        , m_path(settings::settingsPath(QFile::encodeName(folder)))
    {
    }

    QString run(const QByteArray &content)
    {
        if (!writeFile(m_path, content))
            return QStringLiteral("cannot put the file in place: ") + m_path;

        // Reading: all five keys, the file untouched, each text read as its documented number.
        std::array<std::optional<double>, kSettings.size()> numbers;
        std::optional<qint16> screenV;
        for (std::size_t i = 0; i < kSettings.size(); ++i) {
            const QString text = read(kSettings[i]);
            if (text.size() > kLongestValue)
                return QStringLiteral("a value of %1 characters was read").arg(text.size());
            if (QString failure = checkConversion(text); !failure.isEmpty())
                return failure;
            numbers[i] = settings::textToDouble(text);
            if (i == kScreenV)
                screenV = settings::textToInteger16(text);
        }
        if (readFile(m_path) != content)
            return QStringLiteral("reading changed the file");

        // Any text the file holds, written as a value: the start and the end of the file
        // itself, blanks, quotes, stray bytes and line breaks included.
        if (QString failure = writeRaw(kSettings[0], content.left(kRawValueLength));
            !failure.isEmpty())
            return failure;
        if (QString failure = writeRaw(kSettings[kScreenV], content.right(kRawValueLength));
            !failure.isEmpty())
            return failure;

        // The start screen's save: the five numbers as read (the fall-back where a read
        // failed), each written as number text; then the five read back are the five written.
        std::array<double, kSettings.size()> saved {};
        for (std::size_t i = 0; i < kSettings.size(); ++i) {
            saved[i] = numbers[i].value_or(kSettings[i].fallback);
            if (i == kScreenV)
                saved[i] = screenV.value_or(qint16(kSettings[i].fallback));
            const QString text = settings::numberText(saved[i]);
            if (QString failure = write(kSettings[i], text.toLatin1()); !failure.isEmpty())
                return failure;
        }
        for (std::size_t i = 0; i < kSettings.size(); ++i) {
            const QString text = read(kSettings[i]);
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

        const QStringList entries = QDir(m_folder).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        if (entries != QStringList {QLatin1String(settings::kFileName)})
            return QStringLiteral("the folder holds ") + entries.join(QLatin1Char(' '));
        return {};
    }

private:
    QString read(const Setting &setting) const
    {
        return ReadINI(QLatin1String(setting.section), QLatin1String(setting.key), m_path);
    }

    // One write through WriteINI; the value must read back as the reader trims it, and only
    // the key's own line may change.
    QString write(const Setting &setting, const QByteArray &value)
    {
        const QByteArray before = readFile(m_path);
        WriteINI(QLatin1String(setting.section), QLatin1String(setting.key),
            QString::fromLatin1(value), m_path);
        const QByteArray after = readFile(m_path);
        const QByteArray key = QByteArray(setting.key).toUpper();
        if (QString failure
            = checkOnlyItsLineChanged(before, after, setting.section, key, key + '=' + value);
            !failure.isEmpty())
            return failure;
        const QString back = read(setting);
        if (back != QString::fromLatin1(asReadBack(value)))
            return QStringLiteral("'%1' written reads back as '%2'")
                .arg(shown(value), shown(back.toLatin1()));
        return {};
    }

    // A value holding a line break or a NUL would plant lines of its own: it is refused, and
    // the file stays as it was.
    QString writeRaw(const Setting &setting, const QByteArray &value)
    {
        if (!value.contains('\n') && !value.contains('\r') && !value.contains('\0'))
            return write(setting, value);
        const QByteArray before = readFile(m_path);
        WriteINI(QLatin1String(setting.section), QLatin1String(setting.key),
            QString::fromLatin1(value), m_path);
        if (readFile(m_path) != before)
            return QStringLiteral("refused value '%1' changed the file").arg(shown(value));
        return {};
    }

    QString m_folder;
    QByteArray m_path;
};

} // namespace

QString checkSettingsFile(const QByteArray &content, const QString &folder)
{
    const QString failure = Checker(folder).run(content);
    // The next file starts from an empty folder, whatever this one left behind.
    const QStringList entries = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries)
        QFile::remove(folder + QLatin1Char('/') + entry);
    return failure;
}

} // namespace fuzzing
