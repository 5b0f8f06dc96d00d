#include "clinic/calibrationrecord.h"

#include "clinic/calibration.h"
#include "settings/ini.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <utility>

namespace clinic {
namespace {

// The keys of a record. The two values keep the names they have in [Screen], so that a record
// reads like the section it describes.
constexpr char kKeyScreenH[] = "SCREENH";
constexpr char kKeyScreenV[] = "SCREENV";
constexpr char kKeyManufacturer[] = "MANUFACTURER";
constexpr char kKeyModel[] = "MODEL";
constexpr char kKeySerial[] = "SERIAL";
constexpr char kKeyOutput[] = "OUTPUT";
constexpr char kKeyResolution[] = "RESOLUTION";
constexpr char kKeyDate[] = "DATE";
constexpr char kKeyUser[] = "USER";

// Where the start screen keeps stored values it cannot use and finds in no record.
constexpr char kUnrecordedSection[] = "Calibration unrecorded";

QString archivePrefix()
{
    return QLatin1String(kRecordSection) + QLatin1Char(' ');
}

QString resolutionText(QSize size)
{
    return QStringLiteral("%1 x %2").arg(size.width()).arg(size.height());
}

std::optional<double> numberIn(const QString &text)
{
    // An empty text or one of letters is no number, though it reads as 0 in [Screen].
    static const QRegularExpression number(QStringLiteral("^[ \\t]*[+-]?\\.?[0-9]"));
    if (!number.match(text).hasMatch())
        return std::nullopt;
    return settings::textToDouble(text);
}

std::optional<CalibrationRecord> recordIn(const settings::Snapshot &file, const QString &section)
{
    const auto value = [&](const char *key) { return file.value(section, QLatin1String(key)); };
    const std::optional<double> h = numberIn(value(kKeyScreenH));
    const std::optional<double> v = numberIn(value(kKeyScreenV));
    static const QRegularExpression size(
        QStringLiteral("^\\s*(\\d{1,6})\\s*[xX]\\s*(\\d{1,6})\\s*$"));
    const QRegularExpressionMatch resolution = size.match(value(kKeyResolution));
    if (!h || !v || !resolution.hasMatch())
        return std::nullopt;
    CalibrationRecord record;
    record.screenH = *h;
    record.screenV = *v;
    record.monitor.manufacturer = recordedText(value(kKeyManufacturer));
    record.monitor.model = recordedText(value(kKeyModel));
    record.monitor.serialNumber = recordedText(value(kKeySerial));
    record.monitor.output = recordedText(value(kKeyOutput));
    record.monitor.resolution
        = QSize(resolution.captured(1).toInt(), resolution.captured(2).toInt());
    record.date = QDate::fromString(value(kKeyDate).trimmed(), Qt::ISODate);
    record.user = recordedText(value(kKeyUser));
    return record;
}

// A section name the file does not use yet: `name`, or `name` followed by a number. The names
// in use are gathered once: a file may hold the name with every number up to tens of thousands.
QString freeSection(const CalibrationRecords &records, const QString &name)
{
    QSet<QString> used;
    used.reserve(records.sections.size());
    for (const QString &section : records.sections)
        used.insert(section.toCaseFolded());
    QString candidate = name;
    for (int n = 2; used.contains(candidate.toCaseFolded()); ++n)
        candidate = name + QLatin1Char(' ') + QString::number(n);
    return candidate;
}

// A stored value that the start screen is about to replace in [Screen], worth keeping: a
// number that some screen could use (one below the minimum is no calibration anywhere).
std::optional<double> replacedValue(const settings::Snapshot &file, settings::Key key, double inUse)
{
    double stored = 0;
    if (settings::read(file, key, stored) != settings::Stored::Number
        || stored < kCalibrationMinimum)
        return std::nullopt;
    const bool replaced = key == settings::Key::ScreenV
        ? settings::toInteger16(stored) != settings::toInteger16(inUse)
        : stored != inUse;
    return replaced ? std::optional<double>(stored) : std::nullopt;
}

} // namespace

QString recordedText(const QString &text)
{
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control || c == QLatin1Char('[') || c == QLatin1Char(']'))
            kept += QLatin1Char(' ');
        else if (c.unicode() > 0xFF)
            kept += QLatin1Char('?'); // as a character beyond the code page reads on Windows
        else
            kept += c;
    }
    kept = kept.simplified();
    const auto isQuote = [](QChar c) { return c == QLatin1Char('"') || c == QLatin1Char('\''); };
    while (!kept.isEmpty() && isQuote(kept.front()))
        kept.remove(0, 1);
    while (!kept.isEmpty() && isQuote(kept.back()))
        kept.chop(1);
    return kept.trimmed();
}

// The output counts too: without the monitor's own data it is all there is to tell two
// monitors apart.
bool sameMonitor(const Monitor &recorded, const Monitor &monitor)
{
    return recordedText(recorded.manufacturer) == recordedText(monitor.manufacturer)
        && recordedText(recorded.model) == recordedText(monitor.model)
        && recordedText(recorded.serialNumber) == recordedText(monitor.serialNumber)
        && recordedText(recorded.output) == recordedText(monitor.output);
}

bool madeOn(const CalibrationRecord &record, const Monitor &monitor)
{
    return sameMonitor(record.monitor, monitor) && record.monitor.resolution == monitor.resolution;
}

bool sameValues(double h1, double v1, double h2, double v2)
{
    return h1 == h2 && settings::toInteger16(v1) == settings::toInteger16(v2);
}

CalibrationRecords readRecords(const settings::Snapshot &file)
{
    CalibrationRecords records;
    records.sections = file.sections();
    for (const QString &section : std::as_const(records.sections)) {
        if (section.compare(QLatin1String(kRecordSection), Qt::CaseInsensitive) == 0) {
            records.current = recordIn(file, section);
            continue;
        }
        if (!section.startsWith(archivePrefix(), Qt::CaseInsensitive))
            continue;
        const std::optional<double> h = numberIn(file.value(section, QLatin1String(kKeyScreenH)));
        const std::optional<double> v = numberIn(file.value(section, QLatin1String(kKeyScreenV)));
        if (h || v) {
            records.kept.append({section, h, v,
                QDate::fromString(
                    file.value(section, QLatin1String(kKeyDate)).trimmed(), Qt::ISODate)});
        }
        if (const std::optional<CalibrationRecord> record = recordIn(file, section))
            records.archives.append({section, *record});
    }
    return records;
}

std::optional<CalibrationRecord> CalibrationRecords::recordMadeOn(const Monitor &monitor) const
{
    if (const std::optional<ArchivedRecord> archived = archiveOf(monitor))
        return archived->record;
    if (current && madeOn(*current, monitor))
        return current;
    return std::nullopt;
}

std::optional<ArchivedRecord> CalibrationRecords::archiveOf(const Monitor &monitor) const
{
    for (const ArchivedRecord &archived : archives) {
        if (madeOn(archived.record, monitor))
            return archived;
    }
    return std::nullopt;
}

QList<profile::Entry> recordEntries(const QString &section, const CalibrationRecord &record)
{
    const auto entry = [&](const char *key, const QString &value) {
        return settings::profileEntry(section, QLatin1String(key), value);
    };
    QList<profile::Entry> entries {entry(kKeyScreenH, settings::numberText(record.screenH)),
        entry(kKeyScreenV, settings::numberText(record.screenV)),
        entry(kKeyManufacturer, recordedText(record.monitor.manufacturer)),
        entry(kKeyModel, recordedText(record.monitor.model)),
        entry(kKeySerial, recordedText(record.monitor.serialNumber)),
        entry(kKeyOutput, recordedText(record.monitor.output)),
        entry(kKeyResolution, resolutionText(record.monitor.resolution)),
        entry(kKeyDate, record.date.toString(Qt::ISODate))};
    // An older record put back into use stays as it was: it says nobody.
    if (const QString user = recordedText(record.user); !user.isEmpty())
        entries << entry(kKeyUser, user);
    return entries;
}

QList<profile::Entry> doneEntries(
    const CalibrationRecords &records, const CalibrationRecord &record)
{
    const std::optional<ArchivedRecord> archived = records.archiveOf(record.monitor);
    QString section;
    if (archived) {
        section = archived->section;
    } else {
        const Monitor &monitor = record.monitor;
        QStringList parts {QLatin1String(kRecordSection)};
        for (const QString &name :
            {monitor.manufacturer, monitor.model, monitor.serialNumber, monitor.output}) {
            if (const QString kept = recordedText(name); !kept.isEmpty())
                parts << kept;
        }
        parts << QStringLiteral("%1x%2")
                     .arg(monitor.resolution.width())
                     .arg(monitor.resolution.height());
        section = freeSection(records, parts.join(QLatin1Char(' ')));
    }
    return beyondLimit(records, {section}, archived ? 0 : 1)
        + recordEntries(QLatin1String(kRecordSection), record) + recordEntries(section, record);
}

QList<profile::Entry> beyondLimit(
    const CalibrationRecords &records, const QStringList &keep, int adding)
{
    const qsizetype excess = records.kept.size() + adding - kArchiveLimit;
    if (excess <= 0)
        return {};
    QList<const KeptValues *> oldestFirst;
    for (const KeptValues &kept : records.kept) {
        // A name the layout cannot be told to remove (one holding a NUL) stays where it is.
        if (!keep.contains(kept.section, Qt::CaseInsensitive)
            && profile::isStorable(kept.section.toLatin1(), {}, {}))
            oldestFirst.append(&kept);
    }
    // Stable: of one date, the first in the file goes first. An invalid date sorts first.
    std::stable_sort(oldestFirst.begin(), oldestFirst.end(),
        [](const KeptValues *a, const KeptValues *b) { return a->date < b->date; });
    QList<profile::Entry> entries;
    for (qsizetype i = 0; i < qMin(excess, oldestFirst.size()); ++i)
        entries << profile::Entry::removal(oldestFirst[i]->section.toLatin1());
    return entries;
}

QList<profile::Entry> setAside(const settings::Snapshot &file, const CalibrationRecords &records,
    double screenH, double screenV, const QDate &today)
{
    const std::optional<double> h = replacedValue(file, settings::Key::ScreenH, screenH);
    const std::optional<double> v = replacedValue(file, settings::Key::ScreenV, screenV);
    if (!h && !v)
        return {};
    // The pair as stored, both axes: a value that stays in [Screen] is kept with its partner.
    double storedH = 0;
    double storedV = 0;
    const bool numberH
        = settings::read(file, settings::Key::ScreenH, storedH) == settings::Stored::Number;
    const bool numberV
        = settings::read(file, settings::Key::ScreenV, storedV) == settings::Stored::Number;
    const auto holds = [](const std::optional<double> &kept, bool number, double stored) {
        return number ? kept && *kept == stored : !kept;
    };
    for (const KeptValues &kept : records.kept) {
        if (holds(kept.screenH, numberH, storedH) && holds(kept.screenV, numberV, storedV))
            return {};
    }
    const QString section = freeSection(records, QLatin1String(kUnrecordedSection));
    QList<profile::Entry> entries;
    if (numberH)
        entries << settings::profileEntry(
            section, QLatin1String(kKeyScreenH), settings::numberText(storedH));
    if (numberV)
        entries << settings::profileEntry(
            section, QLatin1String(kKeyScreenV), settings::numberText(storedV));
    entries << settings::profileEntry(
        section, QLatin1String(kKeyDate), today.toString(Qt::ISODate));
    return entries;
}

bool calibrationChanged(const settings::Snapshot &then, const settings::Snapshot &now)
{
    if (then.readsAs(now))
        return false; // the file as it was: nothing to compare value by value
    const auto calibration = [](const settings::Snapshot &file) {
        QStringList values;
        for (const char *key : {kKeyScreenH, kKeyScreenV})
            values << file.value(QLatin1String(settings::kSectionScreen), QLatin1String(key));
        for (const QString &section : file.sections()) {
            if (section.compare(QLatin1String(kRecordSection), Qt::CaseInsensitive) != 0
                && !section.startsWith(archivePrefix(), Qt::CaseInsensitive))
                continue;
            values << section.toLower();
            for (const char *key : {kKeyScreenH, kKeyScreenV, kKeyManufacturer, kKeyModel,
                     kKeySerial, kKeyOutput, kKeyResolution, kKeyDate, kKeyUser})
                values << file.value(section, QLatin1String(key));
        }
        return values;
    };
    return calibration(then) != calibration(now);
}

} // namespace clinic
