#pragma once

#include "clinic/monitor.h"

#include <QByteArray>
#include <QDate>
#include <QString>

// A calibration belongs to the monitor and the resolution it was made on. "Done" records, beside
// the two values in use, the monitor and its resolution and the date; every monitor at every
// resolution keeps its own record, which comes back by itself when that monitor at that
// resolution is in use again. The records live in sections of their own in the settings file,
// which a reader of the five settings never sees.
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

// One calibration as "Done" made it.
struct CalibrationRecord
{
    double screenH = 0;
    double screenV = 0;
    Monitor monitor; // its physical size is not recorded
    QDate date;
};

// What the start, measurement and calibration screens need to know of the calibration in use
// on `monitor`, given the values the screen holds.
struct CalibrationJudgement
{
    NoteCase note = NoteCase::None;
    // One line for the start screen, saying which case it is; empty for None.
    QString text;
    // A record made on this monitor at this resolution exists.
    bool calibratedHere = false;
};

// Judges the calibration values `screenH` x `screenV` in use on `monitor` against the records of
// the settings file in `folder`.
CalibrationJudgement judgeCalibration(
    const QByteArray &folder, double screenH, double screenV, const Monitor &monitor);

} // namespace clinic
