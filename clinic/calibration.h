#pragma once

// The calibration's rules: what a calibration value means, where the calibration screen can
// show one, which values the start screen accepts, and which length of ruler the calibration
// screen asks for on a screen of a given size.
namespace clinic {

// A calibration value counts the pixels that make this many millimetres on the screen, across
// (ScreenH) or down (ScreenV), whatever length the calibration screen asked for.
inline constexpr int kCalibrationLengthMm = 150;

// The calibration screen draws a mark at 100 pixels in from the screen's edge plus its value
// (one past its corner line at 99), on an axis that ends 150 pixels short of the far edge; a
// mark follows its value only while it stays short of that end.
inline constexpr int kMarkOrigin = 100;
inline constexpr int kAxisShortOfEdge = 150;
inline constexpr int kCalibrationMargin = kMarkOrigin + kAxisShortOfEdge;

// The smallest value the start screen accepts, and the value it uses for one it does not.
inline constexpr double kCalibrationMinimum = 100;
inline constexpr double kCalibrationFallback = 500;

// The lengths the calibration screen can ask the clinician to measure, longest first: where 150
// mm and the axes' room do not fit on the screen, a shorter length does.
inline constexpr int kLengthsMm[] = {150, 100, 50};

// Whether a mark `markPixels` from the origin stands on an axis of a screen `screenSize` pixels
// long: strictly short of the screen's size less the margin.
bool markFits(double markPixels, float screenSize);
// The largest whole number of pixels a mark can stand from the origin on such an axis; the
// calibration screen's step bar stops there. 0 where the screen has no room at all.
int largestMark(float screenSize);

// A mark of `markPixels` measured against `lengthMm` as a calibration value (pixels per 150
// mm), and back.
double per150(double markPixels, int lengthMm);
double markFor(double calibration, int lengthMm);

// The largest calibration value the calibration screen can make on a screen of this size: the
// largest mark measured against the shortest length.
double largestCalibration(float screenSize);
// Whether the start screen accepts a stored value on a screen of this size: from the minimum up
// to the largest value the calibration screen can make there, both inclusive.
bool accepted(double calibration, float screenSize);

// The length the calibration screen asks for on an axis of `screenSize` pixels, given the best
// guess of the calibration (the stored value, or the monitor's reported size): the longest
// length whose mark stands within four fifths of the room, so that the true value, even a fifth
// beyond the guess, can still be reached. The shortest length where none does.
int lengthFor(float screenSize, double expectedCalibration);

// The best guess of a calibration before the clinician measures: the monitor's reported size
// where it reports one (`reported` above 0), else the stored value where the start screen would
// accept it, else the fall-back.
double expectedCalibration(double reported, double stored, float screenSize);

// The calibration the monitor's own reported size gives: pixels per 150 mm of `pixels` spread
// over `millimetres`. 0 where the monitor reports no size.
double reportedCalibration(int pixels, double millimetres);

} // namespace clinic
