#pragma once

#include "clinic/monitor.h"
#include "settings/ini.h"
#include "settings/profiletext.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

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
//
// This file reads and writes those sections; calibrationjudgement.h says what they mean for the
// values in use.
namespace clinic {

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

// The same monitor (every name the system gives it, as the file keeps them), and the same
// monitor at the same resolution.
bool sameMonitor(const Monitor &recorded, const Monitor &monitor);
bool madeOn(const CalibrationRecord &record, const Monitor &monitor);
// The same calibration values as the windows hold them: ScreenV is a whole number.
bool sameValues(double h1, double v1, double h2, double v2);

// A monitor's record at its resolution, and its section.
struct ArchivedRecord
{
    QString section;
    CalibrationRecord record;
};

// An archive section that holds a value: a monitor's record, or values set aside.
struct KeptValues
{
    QString section;
    // An axis that holds no number is empty.
    std::optional<double> screenH;
    std::optional<double> screenV;
    QDate date;
};

// Every record and every kept pair of values of a settings file, as read.
struct CalibrationRecords
{
    std::optional<CalibrationRecord> current; // of the values in [Screen], as "Done" left them
    QList<ArchivedRecord> archives; // one per monitor and resolution
    QList<KeptValues> kept; // every archive section that holds a value, records or set aside
    QStringList sections; // every section of the file, in its order

    // The record made on `monitor` at its resolution: its archive, or the record of the values
    // in use when the archive is missing.
    std::optional<CalibrationRecord> recordMadeOn(const Monitor &monitor) const;
    // The archive of `monitor` at its resolution; none where the file holds none.
    std::optional<ArchivedRecord> archiveOf(const Monitor &monitor) const;
};
CalibrationRecords readRecords(const settings::Snapshot &file);

// A record's entries in `section`, as "Done" writes them.
QList<profile::Entry> recordEntries(const QString &section, const CalibrationRecord &record);

// What "Done" writes beside the two values: `record` as the record of the values in use and in
// the archive section of its monitor at its resolution (the one the file already holds, or a
// new one), and the removal of the oldest archive sections beyond kArchiveLimit.
QList<profile::Entry> doneEntries(
    const CalibrationRecords &records, const CalibrationRecord &record);

// The removal of the archive sections beyond kArchiveLimit once `adding` new ones are added,
// the oldest first; the sections in `keep` stay.
QList<profile::Entry> beyondLimit(
    const CalibrationRecords &records, const QStringList &keep, int adding);

// Entries that keep the stored values of [Screen] in `file` that the start screen's next save
// replaces by `screenH` x `screenV`, unless an archive section already holds them: numbers
// some screen could use, set aside under `today`.
QList<profile::Entry> setAside(const settings::Snapshot &file, const CalibrationRecords &records,
    double screenH, double screenV, const QDate &today);

// Whether the calibration in `now` differs from that in `then`: the two values of [Screen] or
// any record, as a reader finds them (letter case of names and the file's layout aside).
bool calibrationChanged(const settings::Snapshot &then, const settings::Snapshot &now);

} // namespace clinic
