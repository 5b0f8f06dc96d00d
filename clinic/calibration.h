#pragma once

#include <QList>

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

// The length the calibration screen asks for first on an axis of `screenSize` pixels, given the
// best guess of the calibration (the stored value, or the monitor's reported size): the longest
// length whose mark the bar still reaches were the true value 5 % beyond the guess. A longer
// length halves the share of a misread millimetre, so the margin is kept small. The shortest
// length where none fits.
int lengthFor(float screenSize, double expectedCalibration);

// The whole pixel at which a mark for `calibration` measured against `lengthMm` stands on an
// axis of `screenSize` pixels: the nearest, a half going to the even neighbour, and at the end of
// the bar for a value beyond it.
int markPlace(double calibration, int lengthMm, float screenSize);
// Whether the calibration screen can show `calibration` against `lengthMm` on such an axis: its
// mark, rounded, stands on the bar. The clinician may choose only such a length.
bool lengthFits(double calibration, int lengthMm, float screenSize);
// The value the calibration screen holds when asked to show `wanted` against `lengthMm`: the
// value itself where the start screen would accept it and its mark stands where markPlace()
// puts it, else what that mark measures. On the full length the mark measures whole pixels per
// 150 mm, and the mark's value is held, as it always has been.
double heldValue(double wanted, int lengthMm, float screenSize);

// One axis of the calibration screen as "Done" finds it.
struct MarkAtDone
{
    float screenSize = 0; // pixels along the axis
    int lengthMm = kCalibrationLengthMm; // the length asked for
    int mark = 0; // where the mark stands, in pixels from the origin
    // Every value the screen put the mark at without the clinician stepping it there: the value
    // it opened with, the monitor's reported size where it is known, what "Use the monitor's
    // size" left, and each value kept across a change of length or typed in.
    QList<double> placed;
};

// Whether "Done" must first ask the clinician whether both marks were checked with a ruler. A
// calibration counts as made on a monitor only when a person measured it there: where this
// monitor at this resolution has no calibration of its own (`calibratedHere` false), a mark
// that stands where one of its placed values puts it on the length asked for (not moved, or
// moved back) has not been shown to be measured. Either mark alone is enough to ask: the other
// mark's measurement says nothing of it.
bool needsRulerCheck(bool calibratedHere, const MarkAtDone &across, const MarkAtDone &down);

// The best guess of a calibration before the clinician measures: the monitor's reported size
// where it reports one (`reported` above 0), else the stored value where the start screen would
// accept it, else the fall-back.
double expectedCalibration(double reported, double stored, float screenSize);

// The calibration the monitor's own reported size gives: pixels per 150 mm of `pixels` spread
// over `millimetres`. 0 where the monitor reports no size.
double reportedCalibration(int pixels, double millimetres);

} // namespace clinic
