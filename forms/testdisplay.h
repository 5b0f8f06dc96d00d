#pragma once

#include "clinic/calibrationjudgement.h"
#include "settings/ini.h"

#include <QPixmap>
#include <QString>

#include <optional>

class Navigation;

// What the full-screen test displays share: which mark each eye sees through the glasses, and
// what they say of the calibration in use.

// The ring in the colour of the fixing eye's filter, the cross pointer in the colour of the
// other eye's: each eye sees only one of the two marks.
struct Marks
{
    QPixmap ring; // null where the picture cannot be had
    qint16 pointer = 0; // the pointer image's number (pictures/pointers.h)
};
// Glasses that are none of the four pairs choose nothing.
// The ring pictures come from the program's picture holder, loaded for them.
std::optional<Marks> fixingMarks(double filter, bool odFixes, Navigation &program);

// The values a test display opens with: those the start screen has just saved, read from `file`,
// or where that save failed the ones it showed; the viewing distance beside them.
void readOpeningValues(
    Navigation &program, const settings::Snapshot &file, settings::Values &values, int &distanceCm);

// The note beside the results and in the copied line; empty where the calibration was made on
// this monitor at this resolution and agrees with the size the monitor reports.
QString calibrationNote(clinic::NoteCase note);

// All a test display says of its numbers' trust, joined by "; ": the calibration's note for the
// patient's monitor, and the mirror's where the picture is shown on a monitor of another size.
QString displayNote(Navigation &program, const clinic::Monitor &monitor, clinic::NoteCase note);
