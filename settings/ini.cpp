#include "settings/ini.h"

#include "settings/logging.h"
#include "settings/profile.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

Q_LOGGING_CATEGORY(lcSettings, "kelvane.settings", QtWarningMsg)

namespace settings {
namespace {

// The profile reader's buffer: a value longer than 749 characters comes back cut to 749.
constexpr qsizetype kReadBufferSize = 750;

// Ordinary values are written in plain decimal; only numbers no setting ever holds (beyond a
// thousand billion, or below a hundred-thousandth) are written with an exponent.
constexpr double kPlainMaximum = 1e15;
constexpr double kPlainMinimum = 1e-5;

// An exponent is counted up to this cap, which lies beyond the digit count of any text, so a
// capped exponent still tells an overflow from an underflow.
constexpr qint64 kExponentCap = qint64(1) << 50;

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The shortest decimal text that reads back as exactly `value`: "500", "300.5", "0.1". A value
// that 15 significant digits can write gets at most 15; one that needs more (a long fraction
// typed into the file by hand) gets up to 17, so that saving it back does not change it.
QString decimalText(double value)
{
    if (value == 0)
        value = 0; // -0 is written as 0
    const double magnitude = std::fabs(value);
    const auto format
        = (magnitude == 0 || (magnitude >= kPlainMinimum && magnitude < kPlainMaximum))
        ? std::chars_format::fixed
        : std::chars_format::scientific;
    // The longest plain text is well under 64 characters for the plain range, and scientific
    // text is at most 24.
    std::array<char, 64> text {};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value, format);
    if (result.ec != std::errc())
        return QString::number(value, 'g', 17);
    return QString::fromLatin1(text.data(), result.ptr - text.data());
}

} // namespace

const char *sectionOf(Key key)
{
    return key == Key::ScreenH || key == Key::ScreenV ? kSectionScreen : kSectionFilter;
}

const char *nameOf(Key key)
{
    switch (key) {
    case Key::Filter:
        return "Filter";
    case Key::Target:
        return "Target";
    case Key::FixEye:
        return "FixEye";
    case Key::ScreenH:
        return "ScreenH";
    case Key::ScreenV:
        return "ScreenV";
    case Key::Distance:
        return "Distance";
    }
    return "";
}

profile::Entry profileEntry(const QString &section, const QString &key, const QString &value)
{
    // Text goes to the profile functions in the ANSI code page; Latin-1 stands for it here.
    // Keys are written in upper case.
    return {section.toLatin1(), key.toUpper().toLatin1(), value.toLatin1()};
}

QByteArray settingsPath(const QByteArray &folder)
{
    // Without a folder there is no file: "" + "/Kelvane.ini" would be a file at the root.
    if (folder.isEmpty())
        return {};
    return folder + '/' + kFileName;
}

QString numberText(double value)
{
    const QString text = decimalText(value);
    return text.startsWith(QLatin1Char('-')) ? text : QLatin1Char(' ') + text;
}

QString captionText(double value)
{
    return decimalText(value);
}

std::optional<double> textToDouble(const QString &text)
{
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < size && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    const qsizetype digitsStart = i; // from_chars takes no '+', so the sign stays out
    // The number's order of magnitude, to tell an overflow from an underflow below.
    qsizetype integerDigits = 0;
    qsizetype firstSignificant = -1; // position among all mantissa digits
    qsizetype mantissaDigits = 0;
    while (i < size && isDigit(text[i])) {
        if (firstSignificant < 0 && text[i] != QLatin1Char('0'))
            firstSignificant = mantissaDigits;
        ++integerDigits;
        ++mantissaDigits;
        ++i;
    }
    if (i < size && text[i] == QLatin1Char('.')) {
        ++i;
        while (i < size && isDigit(text[i])) {
            if (firstSignificant < 0 && text[i] != QLatin1Char('0'))
                firstSignificant = mantissaDigits;
            ++mantissaDigits;
            ++i;
        }
    }
    if (mantissaDigits == 0)
        return 0.0; // no number at the start of the text
    qint64 exponent = 0;
    if (i < size && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        bool negativeExponent = false;
        if (j < size && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-'))) {
            negativeExponent = text[j] == QLatin1Char('-');
            ++j;
        }
        if (j < size && isDigit(text[j])) { // an incomplete exponent is not part of the number
            while (j < size && isDigit(text[j])) {
                exponent = qMin(exponent * 10 + (text[j].unicode() - '0'), kExponentCap);
                ++j;
            }
            if (negativeExponent)
                exponent = -exponent;
            i = j;
        }
    }
    if (firstSignificant < 0)
        return negative ? -0.0 : 0.0;

    // The span holds only ASCII digits, '.', 'e', 'E' and signs; from_chars reads it in the
    // C locale whatever the user's locale says.
    const QByteArray span = text.mid(digitsStart, i - digitsStart).toLatin1();
    double value = 0;
    const auto result = std::from_chars(span.constData(), span.constData() + span.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        const qint64 magnitude = qint64(integerDigits - firstSignificant) + exponent;
        if (magnitude > 0)
            return std::nullopt; // beyond the double-precision range: the read fails
        return negative ? -0.0 : 0.0; // too small to tell from 0
    }
    if (result.ec != std::errc() || result.ptr != span.constData() + span.size())
        return std::nullopt;
    return negative ? -value : value;
}

std::optional<qint16> toInteger16(double value)
{
    // The default rounding mode sends a half to the even neighbour: 300.5 -> 300, 301.5 -> 302.
    const double whole = std::nearbyint(value);
    if (!(whole >= std::numeric_limits<qint16>::min()
            && whole <= std::numeric_limits<qint16>::max()))
        return std::nullopt;
    return qint16(whole);
}

std::optional<qint16> textToInteger16(const QString &text)
{
    const std::optional<double> number = textToDouble(text);
    return number ? toInteger16(*number) : std::nullopt;
}

namespace {
// Whether a number stands at the start of the text, after its blanks: a sign, then a digit or
// a point and a digit.
bool startsWithNumber(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    if (i < text.size() && text[i] == QLatin1Char('.'))
        ++i;
    return i < text.size() && isDigit(text[i]);
}

template<typename Number>
Stored readNumber(
    const Snapshot &file, Key key, Number &value, std::optional<Number> (*convert)(const QString &))
{
    const QString text = file.value(QLatin1String(sectionOf(key)), QLatin1String(nameOf(key)));
    const std::optional<Number> number = convert(text);
    if (number)
        value = *number;
    if (text.isEmpty())
        return Stored::Nothing;
    return number && startsWithNumber(text) ? Stored::Number : Stored::Unreadable;
}
} // namespace

Stored read(const Snapshot &file, Key key, double &value)
{
    return readNumber(file, key, value, textToDouble);
}

Stored read(const Snapshot &file, Key key, qint16 &value)
{
    return readNumber(file, key, value, textToInteger16);
}

Stored read(const QByteArray &folder, Key key, double &value)
{
    return read(Snapshot(folder), key, value);
}

Stored read(const QByteArray &folder, Key key, qint16 &value)
{
    return read(Snapshot(folder), key, value);
}

std::array<Stored, 5> readAll(const Snapshot &file, Values &values)
{
    return {read(file, Key::Filter, values.Filter), read(file, Key::Target, values.Target),
        read(file, Key::FixEye, values.FixEye), read(file, Key::ScreenH, values.ScreenH),
        read(file, Key::ScreenV, values.ScreenV)};
}

std::array<Stored, 5> readAll(const QByteArray &folder, Values &values)
{
    return readAll(Snapshot(folder), values);
}

QString refusalText(int error, const QByteArray &path)
{
    const QString file = QFile::decodeName(path);
    switch (error) {
    case profile::kRefusedLink:
        return QCoreApplication::translate(
            "settings", "%1 is a symbolic link, which the program never follows")
            .arg(file);
    case profile::kRefusedHardLink:
        return QCoreApplication::translate(
            "settings", "%1 is a second name (a hard link) of a file stored elsewhere")
            .arg(file);
    case profile::kRefusedNotPlain:
        return QCoreApplication::translate(
            "settings", "%1 is not a plain file but a pipe, a device or a socket")
            .arg(file);
    case EISDIR:
        return QCoreApplication::translate("settings", "%1 is a folder").arg(file);
    case profile::kRefusedTooLarge:
        return QCoreApplication::translate(
            "settings", "%1 is larger than any settings file (over %2 bytes)")
            .arg(file, QString::number(profile::kMaximumSize));
    case profile::kRefusedWouldBeTooLarge:
        return QCoreApplication::translate("settings",
            "%1 would grow larger than any settings file (over %2 bytes), and the next start "
            "would refuse it")
            .arg(file, QString::number(profile::kMaximumSize));
    default:
        return {};
    }
}

profile::Entry entryOf(Setting setting)
{
    return profileEntry(QLatin1String(sectionOf(setting.key)), QLatin1String(nameOf(setting.key)),
        numberText(setting.value));
}

base::Expected<void> save(const QByteArray &folder, std::initializer_list<Setting> settings,
    const QList<profile::Entry> &more)
{
    const QByteArray path = settingsPath(folder);
    if (path.isEmpty())
        return base::unexpected(
            QCoreApplication::translate("settings", "the program's folder cannot be found"));
    // One replacement of the file for the whole save, with the bytes that the writes one after
    // another would leave: a save cut short leaves every value old or every value new, never a
    // calibration whose two halves come from two saves, nor values without their record.
    QList<profile::Entry> entries;
    for (const Setting &setting : settings)
        entries << entryOf(setting);
    entries << more;
    const profile::Result<void> written = profile::writePrivateProfileStrings(entries, path);
    if (written)
        return {};
    const QString refused = refusalText(written.error(), path);
    return base::unexpected(refused.isEmpty() ? qt_error_string(written.error()) : refused);
}

Snapshot::Snapshot(const QByteArray &folder)
{
    const QByteArray path = settingsPath(folder);
    if (path.isEmpty())
        return;
    profile::Result<QByteArray> content = profile::getPrivateProfileContent(path);
    if (content)
        m_index = profile::Index(std::move(content).value());
    else
        m_refusal = refusalText(content.error(), path);
}

QString Snapshot::value(const QString &section, const QString &key) const
{
    // As ReadINI: the key looked up in lower case, the value cut to what its buffer holds. The
    // letter case of ASCII never counts in a look-up, so only other names pay for the change.
    const bool ascii
        = std::all_of(key.cbegin(), key.cend(), [](QChar c) { return c.unicode() < 0x80; });
    const QByteArray value
        = m_index.value(section.toLatin1(), (ascii ? key : key.toLower()).toLatin1())
              .value_or(QByteArray());
    return QString::fromLatin1(value.first(qMin(value.size(), kReadBufferSize - 1)));
}

bool Snapshot::contains(Key key) const
{
    return m_index.value(sectionOf(key), QByteArray(nameOf(key)).toLower()).has_value();
}

QStringList Snapshot::sections() const
{
    QStringList names;
    names.reserve(m_index.sectionNames().size());
    for (const QByteArray &name : m_index.sectionNames())
        names << QString::fromLatin1(name);
    return names;
}

void removeLeftovers(const QByteArray &folder)
{
    if (const QByteArray path = settingsPath(folder); !path.isEmpty())
        profile::removeStaleTemporaries(path);
}

base::Expected<void> saveAll(
    const QByteArray &folder, const Values &values, const QList<profile::Entry> &more)
{
    return save(folder,
        {{Key::Filter, values.Filter}, {Key::Target, values.Target}, {Key::FixEye, values.FixEye},
            {Key::ScreenH, values.ScreenH}, {Key::ScreenV, double(values.ScreenV)}},
        more);
}

} // namespace settings

QString ReadINI(const QString &strsection, const QString &strkey, const QByteArray &strfullpath)
{
    // Text goes to the profile functions in the ANSI code page; Latin-1 stands for it here.
    QByteArray buffer(settings::kReadBufferSize, '\0');
    const qsizetype n
        = profile::getPrivateProfileString(strsection.toLatin1(), strkey.toLower().toLatin1(),
            QByteArray(), buffer.data(), settings::kReadBufferSize, strfullpath);
    return QString::fromLatin1(buffer.constData(), n);
}

void WriteINI(const QString &strsection, const QString &strkey, const QString &strkeyvalue,
    const QByteArray &strfullpath)
{
    // A write that cannot be done leaves the file as it was; the caller goes on regardless, and
    // the log keeps why. A value needs a key: the profile layer takes an entry without either
    // for a section's removal.
    if (strkey.isEmpty())
        return;
    const profile::Result<void> written = profile::writePrivateProfileStrings(
        {settings::profileEntry(strsection, strkey, strkeyvalue)}, strfullpath);
    if (!written)
        qCWarning(lcSettings) << "WriteINI could not write" << strkey << "to"
                              << QFile::decodeName(strfullpath) << ":"
                              << qt_error_string(written.error());
}
