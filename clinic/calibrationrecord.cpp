#include "clinic/calibrationrecord.h"

#include "clinic/calibration.h"
#include "settings/ini.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cmath>
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

// A monitor's own size is a rough guide (a rounded EDID, a projector's guess): only a
// calibration further off than this is worth a word.
constexpr double kReportedTolerance = 0.10;

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

// The calibration values as the windows hold them: ScreenV is a whole number.
bool sameValues(double h1, double v1, double h2, double v2)
{
    return h1 == h2 && settings::toInteger16(v1) == settings::toInteger16(v2);
}

// An archive section that holds a value: a monitor's record, or values set aside.
struct Kept
{
    QString section;
    // An axis that holds no number is empty.
    std::optional<double> screenH;
    std::optional<double> screenV;
    QDate date;
};

// Every record and every kept pair of values in the file.
struct Records
{
    std::optional<CalibrationRecord> current; // of the values in [Screen], as "Done" left them
    QList<ArchivedRecord> archives; // one per monitor and resolution
    QList<Kept> kept; // every archive section that holds a value, records or set aside
    QStringList sections;
};

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

Records readRecords(const settings::Snapshot &file)
{
    Records records;
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

// The same monitor: every name the system gives it, as the file keeps them. The output counts
// too: without the monitor's own data it is all there is to tell two monitors apart.
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

// The record made on this monitor at this resolution: its archive, or the record of the values
// in use when the archive is missing.
std::optional<CalibrationRecord> recordHere(const Records &records, const Monitor &monitor)
{
    for (const ArchivedRecord &archived : records.archives) {
        if (madeOn(archived.record, monitor))
            return archived.record;
    }
    if (records.current && madeOn(*records.current, monitor))
        return records.current;
    return std::nullopt;
}

// How far, as a share, the values lie from those the monitor's reported size gives; 0 where its
// size is unknown.
double offReported(double screenH, double screenV, const Monitor &monitor)
{
    const QSizeF mm = knownSizeMm(monitor);
    if (mm.isEmpty())
        return 0;
    double off = 0;
    const double across = reportedCalibration(monitor.resolution.width(), mm.width());
    if (across > 0)
        off = std::max(off, std::fabs(screenH - across) / across);
    const double down = reportedCalibration(monitor.resolution.height(), mm.height());
    if (down > 0)
        off = std::max(off, std::fabs(screenV - down) / down);
    return off;
}

// The judgement of the values in use. `fellBack`: the start screen has just replaced a value it
// could not accept by the fall-back. Elsewhere a value of exactly the fall-back that no record
// holds is taken for it, since that is what the start screen's save leaves.
CalibrationJudgement judge(
    const Records &records, double screenH, double screenV, const Monitor &monitor, bool fellBack)
{
    CalibrationJudgement judgement;
    const std::optional<CalibrationRecord> here = recordHere(records, monitor);
    judgement.calibratedHere = here.has_value();
    const std::optional<CalibrationRecord> &current = records.current;
    const bool isCurrent
        = current && sameValues(current->screenH, current->screenV, screenH, screenV);
    const bool madeHere = (here && sameValues(here->screenH, here->screenV, screenH, screenV))
        || (isCurrent && madeOn(*current, monitor));
    // The record that holds the values in use; the fall-back is no record's.
    if (here && sameValues(here->screenH, here->screenV, screenH, screenV))
        judgement.inUse = here;
    else if (isCurrent && (madeHere || !fellBack))
        judgement.inUse = current;
    if (madeHere) {
        const double off = offReported(screenH, screenV, monitor);
        if (off > kReportedTolerance) {
            judgement.note = NoteCase::FarFromReported;
            judgement.text = QCoreApplication::translate("clinic",
                "The calibration is %1 % off the size this monitor "
                "reports: check it with a ruler.")
                                 .arg(std::lround(off * 100));
        }
    } else if (isCurrent && !fellBack) {
        if (sameMonitor(current->monitor, monitor)) {
            judgement.note = NoteCase::OtherResolution;
            judgement.text = QCoreApplication::translate("clinic",
                "Calibrated at another resolution (%1): calibrate "
                "at this one before measuring.")
                                 .arg(resolutionText(current->monitor.resolution));
        } else {
            judgement.note = NoteCase::OtherMonitor;
            judgement.text = QCoreApplication::translate(
                "clinic", "Calibrated on another monitor: calibrate this one before measuring.");
        }
    } else if (fellBack || screenH == kCalibrationFallback || screenV == kCalibrationFallback) {
        judgement.note = NoteCase::NeverCalibrated;
        judgement.text = QCoreApplication::translate("clinic",
            "This screen is not calibrated: results are wrong until "
            "it is. Calibrate before measuring.");
    } else {
        judgement.note = NoteCase::ChangedOutside;
        judgement.text = QCoreApplication::translate("clinic",
            "The calibration was changed outside the calibration "
            "screen: calibrate before measuring.");
    }
    return judgement;
}

// A section name the file does not use yet: `name`, or `name` followed by a number. The names
// in use are gathered once: a file may hold the name with every number up to tens of thousands.
QString freeSection(const Records &records, const QString &name)
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

// The removal of the archive sections beyond kArchiveLimit once `adding` new ones are added, the
// oldest first; the sections in `keep` stay.
QList<profile::Entry> beyondLimit(const Records &records, const QStringList &keep, int adding)
{
    const qsizetype excess = records.kept.size() + adding - kArchiveLimit;
    if (excess <= 0)
        return {};
    QList<const Kept *> oldestFirst;
    for (const Kept &kept : records.kept) {
        // A name the layout cannot be told to remove (one holding a NUL) stays where it is.
        if (!keep.contains(kept.section, Qt::CaseInsensitive)
            && profile::isStorable(kept.section.toLatin1(), {}, {}))
            oldestFirst.append(&kept);
    }
    // Stable: of one date, the first in the file goes first. An invalid date sorts first.
    std::stable_sort(oldestFirst.begin(), oldestFirst.end(),
        [](const Kept *a, const Kept *b) { return a->date < b->date; });
    QList<profile::Entry> entries;
    for (qsizetype i = 0; i < qMin(excess, oldestFirst.size()); ++i)
        entries << profile::Entry::removal(oldestFirst[i]->section.toLatin1());
    return entries;
}

// The archive section of the record made on `monitor` at its resolution, or the empty text.
QString archiveOf(const Records &records, const Monitor &monitor)
{
    for (const ArchivedRecord &archived : records.archives) {
        if (madeOn(archived.record, monitor))
            return archived.section;
    }
    return {};
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

// Entries that keep the stored values of [Screen] that the start screen's next save replaces,
// unless an archive section already holds them.
QList<profile::Entry> setAside(const settings::Snapshot &file, const Records &records,
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
    for (const Kept &kept : records.kept) {
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

QString madeText(const CalibrationRecord &record)
{
    const QString unknown = QCoreApplication::translate("clinic", "unknown");
    return QCoreApplication::translate("clinic", "Calibrated %1 by %2")
        .arg(record.date.isValid() ? record.date.toString(Qt::ISODate) : unknown,
            record.user.isEmpty() ? unknown : record.user);
}

CalibrationJudgement judgeCalibration(
    const QByteArray &folder, double screenH, double screenV, const Monitor &monitor)
{
    return judge(readRecords(settings::Snapshot(folder)), screenH, screenV, monitor, false);
}

std::optional<ArchivedRecord> archivedRecord(const QByteArray &folder, const Monitor &monitor)
{
    const Records records = readRecords(settings::Snapshot(folder));
    for (const ArchivedRecord &archived : records.archives) {
        if (madeOn(archived.record, monitor))
            return archived;
    }
    return std::nullopt;
}

QList<profile::Entry> doneEntries(const QByteArray &folder, const CalibrationRecord &record)
{
    const Records records = readRecords(settings::Snapshot(folder));
    QString section = archiveOf(records, record.monitor);
    const bool added = section.isEmpty();
    if (added) {
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
    return beyondLimit(records, {section}, added ? 1 : 0)
        + recordEntries(QLatin1String(kRecordSection), record) + recordEntries(section, record);
}

StartCalibration startCalibration(const QByteArray &folder, double screenH, double screenV,
    const Monitor &monitor, float width, float height, const QDate &today)
{
    return startCalibration(
        settings::Snapshot(folder), screenH, screenV, monitor, width, height, today);
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

StartCalibration startCalibration(const settings::Snapshot &file, double screenH, double screenV,
    const Monitor &monitor, float width, float height, const QDate &today)
{
    Records records = readRecords(file);
    StartCalibration start;
    start.screenH = screenH;
    start.screenV = screenV;
    const bool acceptedAsRead = accepted(screenH, width) && accepted(screenV, height);
    const NoteCase asRead = judge(records, screenH, screenV, monitor, false).note;
    // The record made here comes back when the values in use were made elsewhere or cannot be
    // used; values changed by hand stay, with their note, until a calibration is made here.
    const bool madeElsewhere = asRead == NoteCase::NeverCalibrated
        || asRead == NoteCase::OtherMonitor || asRead == NoteCase::OtherResolution;
    const std::optional<CalibrationRecord> here = recordHere(records, monitor);
    const bool restore = here && (madeElsewhere || !acceptedAsRead)
        && !sameValues(here->screenH, here->screenV, screenH, screenV)
        && accepted(here->screenH, width) && accepted(here->screenV, height);
    bool fellBack = false;
    if (restore) {
        start.screenH = here->screenH;
        start.screenV = settings::toInteger16(here->screenV).value_or(kCalibrationFallback);
        start.entries = recordEntries(QLatin1String(kRecordSection), *here);
        records.current = here;
    } else {
        if (!accepted(start.screenH, width)) {
            start.screenH = kCalibrationFallback;
            fellBack = true;
        }
        if (!accepted(start.screenV, height)) {
            start.screenV = kCalibrationFallback;
            fellBack = true;
        }
    }
    const QList<profile::Entry> setAsideEntries
        = setAside(file, records, start.screenH, start.screenV, today);
    // The record in use on this monitor stays, and so does that of the values in [Screen].
    QStringList inUse {archiveOf(records, monitor)};
    if (records.current)
        inUse << archiveOf(records, records.current->monitor);
    start.entries = beyondLimit(records, inUse, setAsideEntries.isEmpty() ? 0 : 1) + start.entries
        + setAsideEntries;
    start.judgement = judge(records, start.screenH, start.screenV, monitor, fellBack);
    return start;
}

} // namespace clinic
