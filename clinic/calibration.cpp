#include "clinic/calibration.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace clinic {
namespace {
// How far beyond the guess the true value may lie and still be reached on the length asked
// for first.
constexpr double kGuessMargin = 0.05;
} // namespace

bool markFits(double markPixels, float screenSize)
{
    return markPixels < double(screenSize) - kCalibrationMargin;
}

int largestMark(float screenSize)
{
    // The largest whole number strictly below size - margin.
    const double room = double(screenSize) - kCalibrationMargin;
    const int largest = int(std::ceil(room)) - 1;
    return largest > 0 ? largest : 0;
}

double per150(double markPixels, int lengthMm)
{
    return markPixels * kCalibrationLengthMm / lengthMm;
}

double markFor(double calibration, int lengthMm)
{
    return calibration * lengthMm / kCalibrationLengthMm;
}

double largestCalibration(float screenSize)
{
    return per150(largestMark(screenSize), std::end(kLengthsMm)[-1]);
}

bool accepted(double calibration, float screenSize)
{
    return calibration >= kCalibrationMinimum && calibration <= largestCalibration(screenSize);
}

int lengthFor(float screenSize, double expectedCalibration)
{
    const int room = largestMark(screenSize);
    for (const int length : kLengthsMm) {
        if (markFor(expectedCalibration * (1 + kGuessMargin), length) <= room)
            return length;
    }
    return std::end(kLengthsMm)[-1];
}

int markPlace(double calibration, int lengthMm, float screenSize)
{
    const double whole = std::nearbyint(markFor(calibration, lengthMm));
    const int end = largestMark(screenSize);
    if (!(whole > 0)) // NaN too
        return 0;
    return whole >= end ? end : int(whole);
}

bool lengthFits(double calibration, int lengthMm, float screenSize)
{
    return std::nearbyint(markFor(calibration, lengthMm)) <= largestMark(screenSize);
}

double heldValue(double wanted, int lengthMm, float screenSize)
{
    const int mark = markPlace(wanted, lengthMm, screenSize);
    if (lengthMm != kCalibrationLengthMm && accepted(wanted, screenSize)
        && mark == std::nearbyint(markFor(wanted, lengthMm)))
        return wanted;
    return per150(mark, lengthMm);
}

bool needsRulerCheck(bool calibratedHere, const MarkAtDone &across, const MarkAtDone &down)
{
    if (calibratedHere)
        return false;
    const auto unmeasured = [](const MarkAtDone &axis) {
        return std::any_of(axis.placed.cbegin(), axis.placed.cend(), [&](double value) {
            return axis.mark == markPlace(value, axis.lengthMm, axis.screenSize);
        });
    };
    return unmeasured(across) || unmeasured(down);
}

double expectedCalibration(double reported, double stored, float screenSize)
{
    if (reported > 0)
        return reported;
    return accepted(stored, screenSize) ? stored : kCalibrationFallback;
}

double reportedCalibration(int pixels, double millimetres)
{
    if (!(millimetres > 0) || pixels <= 0)
        return 0;
    return pixels * kCalibrationLengthMm / millimetres;
}

} // namespace clinic
