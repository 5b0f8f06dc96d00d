#include "clinic/calibrationjudgement.h"

#include "clinic/calibration.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace clinic {
namespace {

// A monitor's own size is a rough guide (a rounded EDID, a projector's guess): only a
// calibration further off than this is worth a word.
constexpr double kReportedTolerance = 0.10;

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
// could not accept by the fall-back, which no record holds whatever it says.
CalibrationJudgement judge(const CalibrationRecords &records, double screenH, double screenV,
    const Monitor &monitor, bool fellBack)
{
    CalibrationJudgement judgement;
    const std::optional<CalibrationRecord> here = records.recordMadeOn(monitor);
    judgement.calibratedHere = here.has_value();
    const std::optional<CalibrationRecord> &current = records.current;
    const bool heldHere = here && sameValues(here->screenH, here->screenV, screenH, screenV);
    const bool heldByCurrent
        = !fellBack && current && sameValues(current->screenH, current->screenV, screenH, screenV);
    if (heldHere)
        judgement.inUse = here;
    else if (heldByCurrent)
        judgement.inUse = current;

    if (heldHere || (heldByCurrent && madeOn(*current, monitor))) {
        const double off = offReported(screenH, screenV, monitor);
        if (off > kReportedTolerance) {
            judgement.note = NoteCase::FarFromReported;
            judgement.text = QCoreApplication::translate("clinic",
                "The calibration is %1 % off the size this monitor "
                "reports: check it with a ruler.")
                                 .arg(std::lround(off * 100));
        }
    } else if (heldByCurrent) {
        if (sameMonitor(current->monitor, monitor)) {
            judgement.note = NoteCase::OtherResolution;
            judgement.text = QCoreApplication::translate("clinic",
                "Calibrated at another resolution (%1): calibrate "
                "at this one before measuring.")
                                 .arg(QStringLiteral("%1 x %2")
                                          .arg(current->monitor.resolution.width())
                                          .arg(current->monitor.resolution.height()));
        } else {
            judgement.note = NoteCase::OtherMonitor;
            judgement.text = QCoreApplication::translate(
                "clinic", "Calibrated on another monitor: calibrate this one before measuring.");
        }
    } else if (fellBack || screenH == kCalibrationFallback || screenV == kCalibrationFallback) {
        // No record holds these values: at the fall-back they are what the start screen saves
        // when it has nothing better.
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

} // namespace

QString madeText(const CalibrationRecord &record)
{
    const QString unknown = QCoreApplication::translate("clinic", "unknown");
    return QCoreApplication::translate("clinic", "Calibrated %1 by %2")
        .arg(record.date.isValid() ? record.date.toString(Qt::ISODate) : unknown,
            record.user.isEmpty() ? unknown : record.user);
}

CalibrationJudgement judgeCalibration(
    const CalibrationRecords &records, double screenH, double screenV, const Monitor &monitor)
{
    return judge(records, screenH, screenV, monitor, false);
}

StartCalibration startCalibration(const settings::Snapshot &file, double screenH, double screenV,
    const Monitor &monitor, float width, float height, const QDate &today)
{
    CalibrationRecords records = readRecords(file);
    StartCalibration start;
    start.screenH = screenH;
    start.screenV = screenV;
    const bool acceptedAsRead = accepted(screenH, width) && accepted(screenV, height);
    const NoteCase asRead = judge(records, screenH, screenV, monitor, false).note;
    // The record made here comes back when the values in use were made elsewhere or cannot be
    // used; values changed by hand stay, with their note, until a calibration is made here.
    const bool madeElsewhere = asRead == NoteCase::NeverCalibrated
        || asRead == NoteCase::OtherMonitor || asRead == NoteCase::OtherResolution;
    const std::optional<CalibrationRecord> here = records.recordMadeOn(monitor);
    // A record comes back only within this screen's range, as a value read does: a record
    // edited by hand below the minimum is no calibration either.
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
    QStringList inUse;
    if (const std::optional<ArchivedRecord> archived = records.archiveOf(monitor))
        inUse << archived->section;
    if (records.current) {
        if (const std::optional<ArchivedRecord> archived
            = records.archiveOf(records.current->monitor))
            inUse << archived->section;
    }
    start.entries = beyondLimit(records, inUse, setAsideEntries.isEmpty() ? 0 : 1) + start.entries
        + setAsideEntries;
    start.judgement = judge(records, start.screenH, start.screenV, monitor, fellBack);
    return start;
}

QDate calibrationDate(const CalibrationJudgement &judgement)
{
    if (!judgement.inUse || !judgement.calibratedHere
        || (judgement.note != NoteCase::None && judgement.note != NoteCase::FarFromReported))
        return {};
    return judgement.inUse->date;
}

} // namespace clinic
