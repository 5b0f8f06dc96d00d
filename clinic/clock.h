#pragma once

#include <QDateTime>

#include <functional>

namespace clinic {

// Where the program takes the date and time from: the day a calibration is made, the time of a
// result and of a report. The program is given the system's; a test gives one it sets.
using Clock = std::function<QDateTime()>;

// The system's date and time, in UTC.
QDateTime systemTime();

} // namespace clinic
