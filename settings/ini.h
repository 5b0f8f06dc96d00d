#pragma once

#include <QString>

#include <optional>

// The settings file: five numbers shared by the start, measurement and calibration screens.

namespace settings {
inline constexpr char kFileName[] = "Kelvane.ini";

inline constexpr char kSectionFilter[] = "Filter";
inline constexpr char kSectionScreen[] = "Screen";
inline constexpr char kKeyFilter[] = "Filter";
inline constexpr char kKeyTarget[] = "Target";
inline constexpr char kKeyFixEye[] = "FixEye";
inline constexpr char kKeyScreenH[] = "ScreenH";
inline constexpr char kKeyScreenV[] = "ScreenV";

// The program's folder joined with "Kelvane.ini"; formed anew for every read and write.
QString settingsPath();

// A number as the file stores it: plain decimal text, one leading blank when not negative.
QString numberText(double value);

// A number as the captions show it: plain decimal text, no blank, no point for a whole number.
QString captionText(double value);

// The decimal number at the start of `text` (0 when there is none). Empty when the number is
// beyond the double-precision range: that read fails and the caller keeps what it held.
std::optional<double> textToDouble(const QString &text);

// The same number rounded to a whole number, a half going to the even neighbour, as a 16-bit
// integer. Empty when it falls outside -32768 to 32767.
std::optional<qint16> textToInteger16(const QString &text);

// Reads one setting from the settings file into `value`. A read that fails (a number its type
// cannot hold) leaves `value` as it was, so that the window keeps what it held.
void readSetting(const char *section, const char *key, double &value);
void readSetting(const char *section, const char *key, qint16 &value);
} // namespace settings

// Reads one value; a missing file, section or key gives the empty text.
QString ReadINI(const QString &strsection, const QString &strkey, const QString &strfullpath);

// Writes one value; a write that cannot be done has no effect and reports nothing.
void WriteINI(const QString &strsection, const QString &strkey, const QString &strkeyvalue,
    const QString &strfullpath);
