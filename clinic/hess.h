#pragma once

#include "clinic/measurement.h"
#include "clinic/monitor.h"
#include "settings/ini.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

// The geometry of a Hess chart on a flat screen: a target's place from its direction of gaze,
// a click's direction back from its place, which targets fit a screen at a distance, and the
// chart's grid and field areas. Directions are Fick coordinates in degrees: a turn `alpha`
// about the vertical axis (positive to the right of the screen as the patient faces it, the
// patient's right), then `beta` about the turned horizontal axis (positive up).
namespace clinic::hess {

// The viewing distance the clinician sets, in whole centimetres; 60 is the distance today's
// three-target numbers assume.
inline constexpr int kDistanceMinimumCm = 25;
inline constexpr int kDistanceMaximumCm = 200;
inline constexpr int kDistanceDefaultCm = kViewingDistanceCm;

struct ViewingDistance
{
    int cm = kDistanceDefaultCm;
    // The stored value was unreadable, not a whole number or out of range, and the default is
    // used instead: the start screen says so.
    bool fellBack = false;
};
// The distance in use for a value as the settings file gave it. Nothing stored is the default
// without a fall-back; the program writes whole centimetres only, so any other number is not
// its own and falls back.
ViewingDistance viewingDistance(settings::Stored stored, double cm);
// The distance the settings file holds, read as the five values are; a key written with no
// text is unreadable, not missing.
ViewingDistance viewingDistance(const settings::Snapshot &file);

// The measurement screen's ring: a 43 x 43 picture whose centre is its pixel 21, and the point
// of it a pointer's offset is measured from (where a cross pointer centred on the ring reports
// itself, as its hot spot lies 15 pixels up and left of the cross's centre).
inline constexpr int kRingSize = 43;
inline constexpr int kRingCentre = 21;
inline constexpr int kReferenceOffset = 6;

struct Angles
{
    double alpha = 0; // degrees, right positive
    double beta = 0; // degrees, up positive
    bool operator==(const Angles &) const = default;
};

// A point of a screen at distance 1 from the eye, from the screen's centre, up positive: the
// chart's own plane, which a painter scales by the distance it draws at.
struct Tangent
{
    double x = 0;
    double y = 0;
};

// A place on the screen in pixels from its top left corner, y downward, as the windows measure.
struct Place
{
    double x = 0;
    double y = 0;
};

struct Pixel
{
    int x = 0;
    int y = 0;
    bool operator==(const Pixel &) const = default;
};

// A screen as the Hess test uses it: its size in pixels, its calibration (pixels per 150 mm
// across and down) and the patient's distance from it.
struct Screen
{
    double width = 0;
    double height = 0;
    double screenH = 0;
    double screenV = 0;
    int distanceCm = kDistanceDefaultCm;
    // The viewing distance in pixels along each axis, each by its own calibration.
    double distanceAcross() const;
    double distanceDown() const;
};

// Where a line of sight meets the screen: x = tan alpha, y = tan beta / cos alpha, and back.
Tangent tangentPoint(Angles gaze);
Angles anglesOf(Tangent point);
// The same on a screen: from the screen's centre (width / 2, height / 2), which is where the
// three-target screen stands its Center ring, at the viewing distance in pixels of each axis.
Place place(Angles gaze, const Screen &screen);
Angles anglesAt(Place place, const Screen &screen);

// A computed place as a whole pixel, as the measurement screen places its ring: ties go up and
// left, so that on a screen of odd size the ring's middle pixel is the screen's.
int toPixel(double position);
// The top left corner of the ring picture for a target: the ring at (0, 0) stands exactly where
// the three-target screen's Center ring stands.
Pixel ringCorner(Angles target, const Screen &screen);
// Whether the whole ring picture stands on the screen; a target that does not is skipped and
// listed as "not on this screen".
bool fits(Angles target, const Screen &screen);

enum class Field { Inner, Outer };
struct Target
{
    Angles gaze;
    Field field;
};
// Every target in the order the test shows them, the same for both eyes: the centre, then the
// inner field's ring (15 degrees) clockwise as the patient sees the screen from straight up,
// then the outer field's ring (30 degrees) the same way from straight up. A nine-point test
// takes the first nine.
inline constexpr std::array<Target, 25> kTargets = {{
    {{0, 0}, Field::Inner},
    {{0, 15}, Field::Inner},
    {{15, 15}, Field::Inner},
    {{15, 0}, Field::Inner},
    {{15, -15}, Field::Inner},
    {{0, -15}, Field::Inner},
    {{-15, -15}, Field::Inner},
    {{-15, 0}, Field::Inner},
    {{-15, 15}, Field::Inner},
    {{0, 30}, Field::Outer},
    {{15, 30}, Field::Outer},
    {{30, 30}, Field::Outer},
    {{30, 15}, Field::Outer},
    {{30, 0}, Field::Outer},
    {{30, -15}, Field::Outer},
    {{30, -30}, Field::Outer},
    {{15, -30}, Field::Outer},
    {{0, -30}, Field::Outer},
    {{-15, -30}, Field::Outer},
    {{-30, -30}, Field::Outer},
    {{-30, -15}, Field::Outer},
    {{-30, 0}, Field::Outer},
    {{-30, 15}, Field::Outer},
    {{-30, 30}, Field::Outer},
    {{-15, 30}, Field::Outer},
}};
inline constexpr std::size_t kInnerCount = 9;
// The targets of a test up to the widest field chosen: 9 for the inner field, 25 with the outer.
std::span<const Target> targets(Field widest);

// Whether every target of one field (the inner's 9, or the outer's 16) fits the screen.
bool fieldFits(Field field, const Screen &screen);
// The largest whole distance in centimetres, within the allowed range, at which the inner field
// fits this screen (the screen's own distance is not used); none where it fits at none.
std::optional<int> largestInnerDistance(Screen screen);

// A pointer on the screen's outermost column or row can have been held there by the edge: the
// deviation along that axis is at least what it shows.
struct Bound
{
    bool acrossAtLeast = false;
    bool downAtLeast = false;
};
Bound atEdge(Place pointer, double width, double height);

// One target measured. The pointer's offset from the ring is taken as the three-target screen
// takes it (from the ring's corner plus the reference offset) and laid off from the target's
// own place, so the half pixel the ring's placement rounds never enters the result, and a
// click on the ring measures no deviation at all.
struct PointResult
{
    Angles target;
    Angles measured; // the cross's line of sight
    Angles deviation; // measured less target, degrees (right and up positive)
    Bound bound;
};
PointResult measurePoint(Angles target, Place pointer, const Screen &screen);

// A deviation in degrees along one Fick axis as prism dioptres with their base, as today's
// measurement writes them: 100 tan(deviation), the prism that turns a line of sight through
// that angle, whatever the target's direction. The angle is handed to `clinic::across` and
// `clinic::down` as the offset it makes on a screen at 60 cm, so that at the centre at 60 cm
// a click gives the three-target numbers to the last digit. Positive across is right (base
// left), positive `degreesUp` is up (base down).
std::optional<Deviation> dioptresAcross(double degrees, double screenH);
std::optional<Deviation> dioptresDown(double degreesUp, qint16 screenV);

// A point's deviation in prism dioptres with its bases, marked as lower bounds where the cross
// stood on the screen's edge: what the chart, the table, the copy and the report write.
struct PointDioptres
{
    std::optional<Deviation> across;
    std::optional<Deviation> down;
};
PointDioptres pointDioptres(const PointResult &point, double screenH, qint16 screenV);

// The chart's tangent grid: lines of constant alpha (straight) and of constant beta (curved
// away from the horizontal midline), 5 degrees apart to 35 on every side, each a polyline in
// the chart's plane with a point every degree.
inline constexpr int kGridStepDegrees = 5;
inline constexpr int kGridExtentDegrees = 35;
struct GridLine
{
    bool constantAlpha = true;
    double degrees = 0;
    std::vector<Tangent> points;
};
std::vector<GridLine> grid();

// One eye's results by target, in presentation order; none for a target not measured.
using EyeResults = std::span<const std::optional<PointResult>>;
// The area of a polygon in the chart's plane (the shoelace formula, either turning).
double polygonArea(std::span<const Tangent> corners);
// The area the eye's measured inner ring encloses on the chart; none while a point of it is
// missing.
std::optional<double> innerFieldArea(EyeResults eye);
// One area as a percentage of another; none where the other is empty.
std::optional<double> areaPercentage(double area, double otherArea);
// The index of the target with the largest deviation (its length in degrees); the first in
// presentation order of equals; none where nothing was measured.
std::optional<std::size_t> largestDeviation(EyeResults eye);

// The eyes as the start screen's "Fix Eye" stores them.
enum class Eye { Right = 1, Left = 2 };
inline Eye otherEye(Eye eye)
{
    return eye == Eye::Right ? Eye::Left : Eye::Right;
}

// One eye's Hess test: the eye that sees the cross is plotted while the other fixes the ring.
// Kept whole however the test ended, so a chart can be drawn from a partial test.
struct Test
{
    Eye plotted = Eye::Left;
    Eye fixing = Eye::Right;
    Field field = Field::Inner; // the widest field chosen: 9 targets, or 25 with the outer
    int distanceCm = kDistanceDefaultCm;
    // The calibration the places were worked out with, and what the screen said of it.
    double screenH = 0;
    qint16 screenV = 0;
    QString calibrationNote;
    // As the three-target results record them: the monitor measured on, when and by whom the
    // calibration in use was made, and its day where it was made for this monitor.
    Monitor monitor;
    QString calibratedBy;
    QDate calibrationDate;
    // By target, in presentation order (kTargets), as many as the field has; none for a target
    // skipped, not on this screen, or not reached.
    std::vector<std::optional<PointResult>> points;
    QList<int> skipped; // the clinician passed them by (Space)
    QList<int> notOnScreen; // their ring does not fit the screen at this distance
    // Every target of the field that stands on the screen was measured or skipped.
    bool complete = false;
    // When the window opened for this test, UTC: the record's time of the test.
    QDateTime measuredAt;

    EyeResults results() const { return points; }
};

} // namespace clinic::hess
