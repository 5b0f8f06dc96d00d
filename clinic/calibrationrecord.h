#pragma once

#include "clinic/monitor.h"
#include "settings/ini.h"
#include "settings/profiletext.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

#include <optional>

// A calibration belongs to the monitor and the resolution it was made on. "Done" records, beside
// the two values in use, the monitor and its resolution and the date; every monitor at every
// resolution keeps its own record, which comes back by itself when that monitor at that
// resolution is in use again. The records live in sections of their own in the settings file,
// which a reader of the five settings never sees:
//
//     [Calibration]                        the record of the values now in [Screen]
//     SCREENH= 567
//     SCREENV= 567
//     MANUFACTURER=Dell Inc.
//     MODEL=DELL U2412M
//     SERIAL=ABC123
//     OUTPUT=DP-1
//     RESOLUTION=1920 x 1080
//     DATE=2026-12-08
//     USER=alice                           who pressed "Done", as the system names them
//     [Calibration Dell Inc. DELL U2412M ABC123 DP-1 1920x1080]
//     ...                                  the same keys: that monitor's own record
//     [Calibration unrecorded]             values of an older file that the start screen
//     SCREENH= 1665                        could not use, set aside on the day it replaced
//     SCREENV= 1665                        them by the fall-back
//     DATE=2026-12-08
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
    // The login name of the user who made it; empty in a record of an older version.
    QString user;
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

// Judges the calibration values `screenH` x `screenV` in use on `monitor` against the records of
// the settings file in `folder`.
CalibrationJudgement judgeCalibration(
    const QByteArray &folder, double screenH, double screenV, const Monitor &monitor);

// The section of the record of the values in use. Every archive section's name begins with it
// and a blank.
inline constexpr char kRecordSection[] = "Calibration";

// The most archive sections (monitors' records and values set aside) the file keeps. A clinic
// has a handful of monitors, each at a resolution or two; 64 records take some 20 kB, so that
// the program's own saves never bring the file near the largest size it reads
// (profile::kMaximumSize). Beyond it, the oldest by date go first: a section without a date
// before any with one, and of those of one date, the one standing first in the file (new
// sections are added at the end). The record being stored, and the one in use on this monitor,
// never go.
inline constexpr int kArchiveLimit = 64;

// A text of the system's (a monitor's name) as the file keeps it: within the program's code
// page, on one line, without the brackets of a section header or quotes that the reader would
// take off, blanks simplified. Records are compared in this form.
QString recordedText(const QString &text);

// What "Done" writes beside the two values: `record` as the record of the values in use and in
// the archive section of its monitor at its resolution (the one the file already holds, or a
// new one), and the removal of the oldest archive sections beyond kArchiveLimit.
QList<profile::Entry> doneEntries(const QByteArray &folder, const CalibrationRecord &record);

// A monitor's record at its resolution in the settings file in `folder`, and its section.
struct ArchivedRecord
{
    QString section;
    CalibrationRecord record;
};
std::optional<ArchivedRecord> archivedRecord(const QByteArray &folder, const Monitor &monitor);

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
StartCalibration startCalibration(const QByteArray &folder, double screenH, double screenV,
    const Monitor &monitor, float width, float height, const QDate &today);
// The same from the file as the start screen read it while loading, so that the five values,
// the records and what is set aside all come from one moment of the file.
StartCalibration startCalibration(const settings::Snapshot &file, double screenH, double screenV,
    const Monitor &monitor, float width, float height, const QDate &today);

// Whether the calibration in `now` differs from that in `then`: the two values of [Screen] or
// any record, as a reader finds them (letter case of names and the file's layout aside).
bool calibrationChanged(const settings::Snapshot &then, const settings::Snapshot &now);

} // namespace clinic
