#pragma once

#include "clinic/measurement.h"

#include <QDateTime>
#include <QString>

#include <optional>

// How a result's times, numbers, directions and the clinician's free text are written: the same
// in the Results window, the copy and the report.
namespace clinic {

// A result's local time to the minute, as the copy and the report write it: "2026-03-02 10:15".
QString dateTimeText(const QDateTime &at);
// Its local time of day to the second, as the Results window lists it: "10:15:07".
QString timeText(const QDateTime &at);

// A calibration or screen size as held, all its digits, with the user's decimal separator and
// no grouping: "567", "566.5".
QString numberAsHeld(double value);

// A direction of a result as the screen shows it, "BR: 3.4", and as the copy writes it,
// "BR 3.4"; "--" where the screen had none.
QString shownText(const std::optional<Deviation> &deviation);
QString copiedText(const std::optional<Deviation> &deviation);

// An angle of a Hess point to a tenth of a degree, signed as its axis runs (right and up
// positive), with the user's decimal separator: "15.0°", "-3.5°"; never "-0.0°".
QString degreesText(double degrees);

// Free text on one line: a tab or line break typed by the clinician would otherwise split a
// spreadsheet's cells and rows, or run into the next line of a page.
QString oneLine(const QString &text);

} // namespace clinic
