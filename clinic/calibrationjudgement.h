#pragma once

#include "clinic/calibrationrecord.h"
#include "clinic/monitor.h"
#include "settings/ini.h"
#include "settings/profiletext.h"

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

// What the records of the settings file (calibrationrecord.h) mean for the calibration in use on
// a monitor: whether it was made there, and if not, why its numbers may be wrong; and what the
// start screen puts into use as it loads.
namespace clinic {

// Why the calibration in use may give wrong numbers on this monitor.
enum class NoteCase {
    None, // made here, on this monitor at this resolution, and stored as made
    NeverCalibrated, // nothing stored, unreadable, out of range, or the fall-back saved
    OtherMonitor, // made on another monitor
    OtherResolution, // made on this monitor at another resolution
    ChangedOutside, // the values in use are not those recorded (an older file, an edit by hand)
    FarFromReported, // more than 10 % off the size the monitor itself reports
};

// "Calibrated 2026-12-08 by alice": when the record was made and by whom, as the file says
// (a record edited by hand says what was written into it), "unknown" where it does not say.
QString madeText(const CalibrationRecord &record);

// What the start, measurement and calibration screens need to know of the calibration in use
// on `monitor`, given the values the screen holds.
struct CalibrationJudgement
{
    NoteCase note = NoteCase::None;
    // One line for the start screen, saying which case it is; empty for None. It holds no text
    // of the file's but numbers.
    QString text;
    // A record made on this monitor at this resolution exists.
    bool calibratedHere = false;
    // The record of the values in use: the one made here, else the one "Done" left for them on
    // another monitor or at another resolution; none where no record holds them.
    std::optional<CalibrationRecord> inUse;
};

// Judges the calibration values `screenH` x `screenV` in use on `monitor` by the records of the
// settings file. Values a record holds are judged by that record alone, whatever they are: 500
// made here with "Done" is made here. Values no record holds are a calibration changed outside
// the calibration screen, or, at exactly the fall-back, the start screen's save of it.
CalibrationJudgement judgeCalibration(
    const CalibrationRecords &records, double screenH, double screenV, const Monitor &monitor);

// The date a result carries for its calibration: only that of a record made for this monitor
// at this resolution and not judged doubtful (a size far from the monitor's reported one is
// not doubtful); null otherwise, so that no result dates a calibration it may not have used.
QDate calibrationDate(const CalibrationJudgement &judgement);

// What the start screen puts into use as it loads, on a screen of `width` x `height` pixels,
// given the values it read (or held, where a read failed), and what its next save writes beside
// the five values.
struct StartCalibration
{
    double screenH = 0;
    double screenV = 0;
    // The record put back into use, stored values set aside rather than overwritten, and the
    // removal of the oldest archive sections beyond kArchiveLimit.
    QList<profile::Entry> entries;
    // Of the values put into use; the fall-back never counts as a calibration.
    CalibrationJudgement judgement;
};
// From the file as the start screen read it while loading, so that the five values, the records
// and what is set aside all come from one moment of the file.
StartCalibration startCalibration(const settings::Snapshot &file, double screenH, double screenV,
    const Monitor &monitor, float width, float height, const QDate &today);

} // namespace clinic
