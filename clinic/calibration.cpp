#include "clinic/calibration.h"

#include <cmath>
#include <iterator>

namespace clinic {
namespace {
// The share of an axis's room that the guessed mark may take when a length is chosen.
constexpr double kGuessShareOfRoom = 0.8;
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
    const double room = largestMark(screenSize) * kGuessShareOfRoom;
    for (const int length : kLengthsMm) {
        if (markFor(expectedCalibration, length) <= room)
            return length;
    }
    return std::end(kLengthsMm)[-1];
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
