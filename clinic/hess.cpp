#include "clinic/hess.h"

#include "clinic/calibration.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace clinic::hess {

namespace {

constexpr double kMmPerCm = 10;

double radians(double degrees)
{
    return degrees * std::numbers::pi / 180;
}

double degrees(double radians)
{
    return radians * 180 / std::numbers::pi;
}

double distancePixels(int cm, double calibration)
{
    return cm * kMmPerCm * calibration / kCalibrationLengthMm;
}

} // namespace

ViewingDistance viewingDistance(settings::Stored stored, double cm)
{
    if (stored == settings::Stored::Nothing)
        return {};
    const bool whole = stored == settings::Stored::Number && std::isfinite(cm)
        && cm == std::trunc(cm) && cm >= kDistanceMinimumCm && cm <= kDistanceMaximumCm;
    if (!whole)
        return {kDistanceDefaultCm, true};
    return {int(cm), false};
}

ViewingDistance viewingDistance(const settings::Snapshot &file)
{
    double cm = 0;
    settings::Stored stored = settings::read(file, settings::Key::Distance, cm);
    if (stored == settings::Stored::Nothing && file.contains(settings::Key::Distance))
        stored = settings::Stored::Unreadable;
    return viewingDistance(stored, cm);
}

double Screen::distanceAcross() const
{
    return distancePixels(distanceCm, screenH);
}

double Screen::distanceDown() const
{
    return distancePixels(distanceCm, screenV);
}

namespace {

struct Turn
{
    double tan;
    double cos;
};

// The tangent and cosine of a turn. The targets turn by whole multiples of 15 degrees, whose
// values are known exactly (from the square roots of 2, 3 and 6): written out, they are the
// correctly rounded values, where the maths library's turn of 30 degrees, taken in rounded
// radians, is a unit in the last place off. The start screen places every target to say which
// fit, and so needs no call into the maths library, whose tables would be read into the
// program's memory before the first frame for it.
Turn turn(double degrees)
{
    static constexpr std::array<Turn, 6> kMultiplesOf15 {{
        {0, 1},
        {0.26794919243112270, 0.96592582628906829},
        {0.57735026918962576, 0.86602540378443865},
        {1, 0.70710678118654752},
        {1.7320508075688773, 0.5},
        {3.7320508075688773, 0.25881904510252076},
    }};
    const double steps = degrees / 15;
    if (std::fabs(degrees) < 90 && steps == double(int(steps))) {
        const Turn exact = kMultiplesOf15[std::size_t(std::abs(int(steps)))];
        return {degrees < 0 ? -exact.tan : exact.tan, exact.cos};
    }
    const double angle = radians(degrees);
    return {std::tan(angle), std::cos(angle)};
}

} // namespace

Tangent tangentPoint(Angles gaze)
{
    const Turn across = turn(gaze.alpha);
    return {across.tan, turn(gaze.beta).tan / across.cos};
}

Angles anglesOf(Tangent point)
{
    const double alpha = std::atan(point.x);
    return {degrees(alpha), degrees(std::atan(point.y * std::cos(alpha)))};
}

Place place(Angles gaze, const Screen &screen)
{
    const Tangent point = tangentPoint(gaze);
    return {screen.width / 2 + point.x * screen.distanceAcross(),
        screen.height / 2 - point.y * screen.distanceDown()};
}

Angles anglesAt(Place place, const Screen &screen)
{
    return anglesOf({(place.x - screen.width / 2) / screen.distanceAcross(),
        (screen.height / 2 - place.y) / screen.distanceDown()});
}

int toPixel(double position)
{
    return int(std::ceil(position - 0.5));
}

Pixel ringCorner(Angles target, const Screen &screen)
{
    const Place centre = place(target, screen);
    return {toPixel(centre.x - kRingCentre), toPixel(centre.y - kRingCentre)};
}

bool fits(Angles target, const Screen &screen)
{
    // A place far off the screen (a huge distance) is judged before it is made a whole number.
    const Place centre = place(target, screen);
    if (!(std::fabs(centre.x) < screen.width + kRingSize)
        || !(std::fabs(centre.y) < screen.height + kRingSize))
        return false;
    const Pixel corner = ringCorner(target, screen);
    return corner.x >= 0 && corner.y >= 0 && corner.x + kRingSize <= screen.width
        && corner.y + kRingSize <= screen.height;
}

std::span<const Target> targets(Field widest)
{
    return widest == Field::Inner ? std::span(kTargets).first(kInnerCount) : std::span(kTargets);
}

bool fieldFits(Field field, const Screen &screen)
{
    for (const Target &target : kTargets) {
        if (target.field == field && !fits(target.gaze, screen))
            return false;
    }
    return true;
}

std::optional<int> largestInnerDistance(Screen screen)
{
    // Targets move outwards as the distance grows: the first that fits from the far end is the
    // largest.
    for (screen.distanceCm = kDistanceMaximumCm; screen.distanceCm >= kDistanceMinimumCm;
         --screen.distanceCm) {
        if (fieldFits(Field::Inner, screen))
            return screen.distanceCm;
    }
    return std::nullopt;
}

Bound atEdge(Place pointer, double width, double height)
{
    // The three-target screen's own rule, so that a lower bound means the same on both.
    return {onScreenEdge(float(pointer.x), float(width)),
        onScreenEdge(float(pointer.y), float(height))};
}

PointResult measurePoint(Angles target, Place pointer, const Screen &screen)
{
    const Place at = place(target, screen);
    const Pixel corner = ringCorner(target, screen);
    const Place cross {at.x + (pointer.x - corner.x - kReferenceOffset),
        at.y + (pointer.y - corner.y - kReferenceOffset)};
    // The target's direction as the same arithmetic gives it back: a click on the ring is a
    // deviation of exactly nothing, not the last bit of a rounding with a base of its own.
    const Angles from = anglesAt(at, screen);
    const Angles measured = anglesAt(cross, screen);
    return {target, measured, {measured.alpha - from.alpha, measured.beta - from.beta},
        atEdge(pointer, screen.width, screen.height)};
}

std::optional<Deviation> dioptresAcross(double degrees, double screenH)
{
    const double offset = std::tan(radians(degrees)) * distancePixels(kViewingDistanceCm, screenH);
    return across(float(offset), screenH);
}

std::optional<Deviation> dioptresDown(double degreesUp, qint16 screenV)
{
    // The three-target screen measures down; up is a negative offset.
    const double offset
        = -std::tan(radians(degreesUp)) * distancePixels(kViewingDistanceCm, screenV);
    return down(float(offset), screenV);
}

PointDioptres pointDioptres(const PointResult &point, double screenH, qint16 screenV)
{
    PointDioptres result {dioptresAcross(point.deviation.alpha, screenH),
        dioptresDown(point.deviation.beta, screenV)};
    if (result.across)
        result.across->atLeast = point.bound.acrossAtLeast;
    if (result.down)
        result.down->atLeast = point.bound.downAtLeast;
    return result;
}

std::vector<GridLine> grid()
{
    std::vector<GridLine> lines;
    for (const bool constantAlpha : {true, false}) {
        for (int line = -kGridExtentDegrees; line <= kGridExtentDegrees; line += kGridStepDegrees) {
            GridLine gridLine {constantAlpha, double(line), {}};
            for (int along = -kGridExtentDegrees; along <= kGridExtentDegrees; ++along) {
                gridLine.points.push_back(constantAlpha
                        ? tangentPoint({double(line), double(along)})
                        : tangentPoint({double(along), double(line)}));
            }
            lines.push_back(std::move(gridLine));
        }
    }
    return lines;
}

double polygonArea(std::span<const Tangent> corners)
{
    double twice = 0;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const Tangent &a = corners[i];
        const Tangent &b = corners[(i + 1) % corners.size()];
        twice += a.x * b.y - b.x * a.y;
    }
    return std::fabs(twice) / 2;
}

std::optional<double> innerFieldArea(EyeResults eye)
{
    // The eight points round the centre follow it in presentation order, already in turn.
    std::vector<Tangent> corners;
    for (std::size_t i = 1; i < kInnerCount; ++i) {
        if (i >= eye.size() || !eye[i])
            return std::nullopt;
        corners.push_back(tangentPoint(eye[i]->measured));
    }
    return polygonArea(corners);
}

std::optional<double> areaPercentage(double area, double otherArea)
{
    if (!(otherArea > 0))
        return std::nullopt;
    return 100 * area / otherArea;
}

std::optional<std::size_t> largestDeviation(EyeResults eye)
{
    std::optional<std::size_t> largest;
    double most = -1;
    for (std::size_t i = 0; i < eye.size(); ++i) {
        if (!eye[i])
            continue;
        const double length = std::hypot(eye[i]->deviation.alpha, eye[i]->deviation.beta);
        if (length > most) {
            most = length;
            largest = i;
        }
    }
    return largest;
}

} // namespace clinic::hess
