#include "results/visitpicture.h"

#include "clinic/visit.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("VisitPicture", text);
}

// A clinician reads small deviations against the usual range of a cover test: the scale never
// shrinks below it, so a visit of near-zero results does not look like a large squint.
constexpr double kMinimumScale = 10;
// Steps between the scale's ticks, in prism dioptres; the smallest that keeps at most four ticks
// on each half-axis.
constexpr double kTickSteps[] = {5, 10, 20, 25, 50, 100, 200, 500, 1000};
constexpr int kMaximumTicks = 4;

// The target places from left to right, as they stand on the measurement screen (the start
// screen's Target: 3 Left, 1 Center, 2 Right), and the fixing eyes, one panel each.
constexpr double kPlacesLeftToRight[] = {3, 1, 2};
constexpr double kFixingEyes[] = {1, 2};

// Everything is measured in a unit, the labels' height, taken from the area and never from
// pixels, so the picture is the same in a window and on a printer's page. Three plots across
// (Left, Center, Right) after a column of row titles; one row per fixing eye under the place
// names, and the legend below.
constexpr double kPlotUnits = 16; // a plot's side
constexpr double kTitleUnits = 2.2;
constexpr double kHeaderUnits = 1.8;
constexpr double kLegendUnits = 2;
constexpr double kGapUnits = 0.4;
constexpr double kPenRoomUnits = 0.1;
constexpr double kWidthUnits = kTitleUnits + 3 * kPlotUnits + 2 * kGapUnits + 2 * kPenRoomUnits;
constexpr double kHeightUnits = kHeaderUnits + 2 * kPlotUnits + kGapUnits + kLegendUnits;
constexpr double kMarginFonts = 2.1; // room for tick and base labels around a plot's axes
// A lower bound's arrow runs this far out from the centre of its result's marker.
constexpr double kArrowUnits = 1.6;
// The scale leaves a lower bound room for its arrow inside the axes: the arrow points on into
// values the cross could not reach, not into the base labels.
constexpr double kAxisUnits = kPlotUnits / 2 - kMarginFonts;
constexpr double kBoundRoom = kAxisUnits / (kAxisUnits - kArrowUnits);

const QColor kInk(0x20, 0x20, 0x20);
const QColor kAxis(0x50, 0x50, 0x50);
const QColor kGrid(0xdd, 0xdd, 0xdd);
const QColor kFrame(0xb0, 0xb0, 0xb0);
const QColor kTargetColour(0x1f, 0x5f, 0xa8);
// The latest result of a place stands out in black; the earlier ones stay readable in grey, on
// a page printed without colour as well.
const QColor kLatest(0x00, 0x00, 0x00);
const QColor kEarlier(0x90, 0x90, 0x90);

struct Scale
{
    double extent = kMinimumScale; // prism dioptres from the target to the end of each half-axis
    double step = 5;
};

// A point can only be placed where the screen gave both directions.
bool placeable(const clinic::VisitResult &result)
{
    return result.across && result.down && std::isfinite(result.acrossDioptres)
        && std::isfinite(result.downDioptres);
}

bool sameFixingEye(double a, double b)
{
    // The measurement screen takes any FixEye but 1 as OS.
    return (a == 1) == (b == 1);
}

// How far a direction's result reaches on the scale: a lower bound with its arrow.
double reach(double dioptres, const std::optional<clinic::Deviation> &deviation)
{
    return std::fabs(dioptres) * (deviation && deviation->atLeast ? kBoundRoom : 1);
}

Scale scaleFor(const clinic::Visit &visit)
{
    double largest = 0;
    for (const clinic::VisitResult &result : visit.results()) {
        if (placeable(result))
            largest = std::max({largest, reach(result.acrossDioptres, result.across),
                reach(result.downDioptres, result.down)});
    }
    largest = std::max(largest, kMinimumScale);
    Scale scale;
    for (const double step : kTickSteps) {
        scale.step = step;
        scale.extent = std::ceil(largest / step) * step;
        if (scale.extent / step <= kMaximumTicks)
            break;
    }
    return scale;
}

QFont fontOfHeight(double height, bool bold = false)
{
    QFont font;
    font.setPixelSize(std::max(1, qRound(height)));
    font.setBold(bold);
    // No ligatures where the script needs none: a PDF's "fi" must read back as the two letters
    // a record system searches for.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

void drawMarker(QPainter &painter, const QPointF &centre, double radius, const QColor &colour,
    bool hollow, double pen)
{
    painter.setPen(QPen(colour, pen));
    painter.setBrush(hollow ? QBrush(Qt::white) : QBrush(colour));
    painter.drawEllipse(centre, radius, radius);
}

// A lower bound: an arrow from the marker outwards, the way the cross could not go on, on the
// axis of that direction ("BR" left, "BL" right, "BD" up, "BU" down).
void drawBoundArrow(QPainter &painter, const QPointF &centre, const QPointF &outwards,
    double radius, double unit, const QColor &colour)
{
    const QPointF side(-outwards.y(), outwards.x());
    const QPointF tip = centre + outwards * kArrowUnits * unit;
    const QPointF base = tip - outwards * 0.55 * unit;
    painter.setPen(QPen(colour, unit * 0.14, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(centre + outwards * (radius + 0.05 * unit), base);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPolygon(QPolygonF({tip, base + side * 0.3 * unit, base - side * 0.3 * unit}));
}

// The outward directions of a result's lower bounds, in the picture's axes.
QList<QPointF> boundDirections(const clinic::VisitResult &result)
{
    QList<QPointF> directions;
    if (result.across && result.across->atLeast)
        directions << QPointF(result.across->base == QLatin1String("BR") ? -1 : 1, 0);
    if (result.down && result.down->atLeast)
        directions << QPointF(0, result.down->base == QLatin1String("BD") ? -1 : 1);
    return directions;
}

// One target's cross-hair: the target at its origin, the results of that place with that eye
// fixing as points where the cross stood.
void drawPlot(QPainter &painter, const QRectF &square, double unit, const Scale &scale,
    const clinic::Visit &visit, double place, double fixingEye)
{
    const QPointF origin = square.center();
    const double radius = square.width() / 2 - kMarginFonts * unit;
    const double perDioptre = radius / scale.extent;
    const QFont tickFont = fontOfHeight(unit * 0.8);
    const QFont baseFont = fontOfHeight(unit, true);

    painter.setPen(QPen(kFrame, unit * 0.06));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(square);

    // The grid at every tick, then the axes over it.
    painter.setPen(QPen(kGrid, unit * 0.05));
    for (double d = scale.step; d <= scale.extent + 1e-9; d += scale.step) {
        for (const double s : {-d, d}) {
            const double at = s * perDioptre;
            painter.drawLine(QPointF(origin.x() + at, origin.y() - radius),
                QPointF(origin.x() + at, origin.y() + radius));
            painter.drawLine(QPointF(origin.x() - radius, origin.y() + at),
                QPointF(origin.x() + radius, origin.y() + at));
        }
    }
    painter.setPen(QPen(kAxis, unit * 0.09));
    painter.drawLine(
        QPointF(origin.x() - radius, origin.y()), QPointF(origin.x() + radius, origin.y()));
    painter.drawLine(
        QPointF(origin.x(), origin.y() - radius), QPointF(origin.x(), origin.y() + radius));

    // Magnitudes only: the half-axis's base says the direction, as the screen's text does.
    painter.setFont(tickFont);
    painter.setPen(kAxis);
    const double tick = unit * 0.3;
    for (double d = scale.step; d <= scale.extent + 1e-9; d += scale.step) {
        const QString label = QLocale().toString(qRound(d));
        for (const double s : {-d, d}) {
            const double at = s * perDioptre;
            painter.drawLine(QPointF(origin.x() + at, origin.y() - tick),
                QPointF(origin.x() + at, origin.y() + tick));
            painter.drawLine(QPointF(origin.x() - tick, origin.y() + at),
                QPointF(origin.x() + tick, origin.y() + at));
            painter.drawText(QRectF(origin.x() + at - 2 * unit, origin.y() + tick, 4 * unit, unit),
                Qt::AlignHCenter | Qt::AlignTop, label);
            painter.drawText(
                QRectF(origin.x() + tick + unit * 0.15, origin.y() + at - unit / 2, 3 * unit, unit),
                Qt::AlignLeft | Qt::AlignVCenter, label);
        }
    }

    // A cross left of the target means a base-right prism, above it a base-down one (the
    // measurement screen's own rule).
    painter.setFont(baseFont);
    painter.setPen(kInk);
    const double margin = kMarginFonts * unit;
    painter.drawText(QRectF(square.left(), origin.y() - unit, margin, 2 * unit), Qt::AlignCenter,
        QStringLiteral("BR"));
    painter.drawText(QRectF(square.right() - margin, origin.y() - unit, margin, 2 * unit),
        Qt::AlignCenter, QStringLiteral("BL"));
    painter.drawText(QRectF(origin.x() - 2 * unit, square.top(), 4 * unit, margin), Qt::AlignCenter,
        QStringLiteral("BD"));
    painter.drawText(QRectF(origin.x() - 2 * unit, square.bottom() - margin, 4 * unit, margin),
        Qt::AlignCenter, QStringLiteral("BU"));

    // The target as a small ring, the way the patient saw it.
    painter.setPen(QPen(kTargetColour, unit * 0.18));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(origin, unit * 0.55, unit * 0.55);

    // Earlier results first, so that the latest stays on top; each numbered as the report's list
    // numbers it.
    const QList<clinic::VisitResult> &results = visit.results();
    const clinic::VisitResult *latest = visit.latest(place, fixingEye);
    // A number in the plot must not read as a tick of the scale: the points' numbers are
    // bold and marked "#".
    painter.setFont(fontOfHeight(unit * 0.8, true));
    int measured = 0;
    int placed = 0;
    for (qsizetype i = 0; i < results.size(); ++i) {
        const clinic::VisitResult &result = results.at(i);
        if (result.target != place || !sameFixingEye(result.fixingEye, fixingEye))
            continue;
        ++measured;
        if (!placeable(result))
            continue;
        ++placed;
        const bool isLatest = &result == latest;
        const QPointF at(origin.x()
                + std::clamp(result.acrossDioptres, -scale.extent, scale.extent) * perDioptre,
            origin.y() + std::clamp(result.downDioptres, -scale.extent, scale.extent) * perDioptre);
        const QColor colour = isLatest ? kLatest : kEarlier;
        const double markerRadius = unit * (isLatest ? 0.5 : 0.36);
        for (const QPointF &outwards : boundDirections(result))
            drawBoundArrow(painter, at, outwards, markerRadius, unit, colour);
        drawMarker(painter, at, markerRadius, colour, !result.calibratedForScreen(),
            unit * (isLatest ? 0.16 : 0.12));
        painter.setPen(colour);
        painter.drawText(QRectF(at.x() + unit * 0.55, at.y() - unit * 1.05, 3 * unit, unit),
            Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("#%1").arg(i + 1));
    }
    // A place not measured is told apart from one measured on target at a glance, and a result
    // the screen showed as "--" (no calibration to divide by) from both.
    if (placed == 0) {
        painter.setFont(tickFont);
        painter.setPen(kEarlier);
        painter.drawText(QRectF(square.left() + unit * 0.4, square.top() + unit * 0.2,
                             square.width() / 2 - 2.5 * unit, unit * 1.2),
            Qt::AlignLeft | Qt::AlignVCenter,
            measured == 0 ? tr("no result") : QStringLiteral("--"));
    }
}

bool anyNotCalibratedForScreen(const clinic::Visit &visit)
{
    return std::any_of(visit.results().cbegin(), visit.results().cend(),
        [](const clinic::VisitResult &r) { return !r.calibratedForScreen(); });
}

bool anyBound(const clinic::Visit &visit)
{
    return std::any_of(visit.results().cbegin(), visit.results().cend(),
        [](const clinic::VisitResult &r) { return !boundDirections(r).isEmpty(); });
}

// What the marks mean, on one line under the panels. Where every mark is explained the line
// would run past the panels: its letters and marks then shrink until it fits, but not below
// three quarters of their size, and the scale's words give way last.
void drawLegend(
    QPainter &painter, const QRectF &line, double unit, bool hollowShown, bool boundShown)
{
    struct Item
    {
        QColor colour;
        double radius; // of the unit
        bool hollow;
        bool bound;
        QString text;
    };
    QList<Item> items = {{kLatest, 0.5, false, false, tr("latest of its place")},
        {kEarlier, 0.36, false, false, tr("earlier")}};
    if (hollowShown)
        items.append({kLatest, 0.5, true, false, tr("calibration not made for this screen")});
    if (boundShown)
        items.append({kLatest, 0.5, false, true, tr("at the screen's edge: at least this far")});
    const QString scale = tr("scale: prism dioptres");
    const auto markWidth = [](const Item &item) { return item.bound ? 1.3 + kArrowUnits : 1.3; };

    painter.setFont(fontOfHeight(unit * 0.9));
    double natural = QFontMetricsF(painter.font(), painter.device()).horizontalAdvance(scale);
    for (const Item &item : items)
        natural += QFontMetricsF(painter.font(), painter.device()).horizontalAdvance(item.text)
            + unit * (markWidth(item) + 1.5);
    const double u = unit * std::clamp(line.width() / natural, 0.75, 1.0);

    painter.setFont(fontOfHeight(u * 0.9));
    const QFontMetricsF metrics(painter.font(), painter.device());
    const double y = line.center().y();
    double x = line.left();
    for (const Item &item : items) {
        const QPointF centre(x + u * 0.5, y);
        if (item.bound)
            drawBoundArrow(painter, centre, QPointF(1, 0), item.radius * u, u, item.colour);
        drawMarker(painter, centre, item.radius * u, item.colour, item.hollow, u * 0.14);
        x += u * markWidth(item);
        painter.setPen(kInk);
        painter.drawText(QRectF(x, line.top(), std::max(0.0, line.right() - x), line.height()),
            Qt::AlignLeft | Qt::AlignVCenter, item.text);
        x += metrics.horizontalAdvance(item.text) + u * 1.5;
    }
    painter.setPen(kInk);
    painter.drawText(QRectF(x, line.top(), std::max(0.0, line.right() - x), line.height()),
        Qt::AlignLeft | Qt::AlignVCenter,
        metrics.elidedText(scale, Qt::ElideRight, std::max(0.0, line.right() - x)));
}

} // namespace

double visitPictureHeight(double width)
{
    return width * kHeightUnits / kWidthUnits;
}

void paintVisitPicture(QPainter &painter, const QRectF &area, const clinic::Visit &visit)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(area, Qt::white);
    painter.setClipRect(area);

    const double unit = std::min(area.width() / kWidthUnits, area.height() / kHeightUnits);
    if (!(unit > 0)) {
        painter.restore();
        return;
    }
    const double titleWidth = kTitleUnits * unit;
    const double header = kHeaderUnits * unit;
    const double legend = kLegendUnits * unit;
    const double gap = kGapUnits * unit;
    const double plot = kPlotUnits * unit;
    const double width = kWidthUnits * unit;
    // The frames' pens stay inside the area.
    const QPointF topLeft(area.left() + (area.width() - width) / 2 + kPenRoomUnits * unit,
        area.top() + (area.height() - kHeightUnits * unit) / 2);
    const Scale scale = scaleFor(visit);

    painter.setPen(kInk);
    painter.setFont(fontOfHeight(unit * 1.1, true));
    for (int column = 0; column < 3; ++column) {
        const double x = topLeft.x() + titleWidth + column * (plot + gap);
        painter.drawText(QRectF(x, topLeft.y(), plot, header), Qt::AlignCenter,
            clinic::targetName(kPlacesLeftToRight[column]));
    }
    for (int row = 0; row < 2; ++row) {
        const double y = topLeft.y() + header + row * (plot + gap);
        // The row's title runs up the side, as a chart's axis title does.
        painter.save();
        painter.setPen(kInk);
        painter.setFont(fontOfHeight(unit * 1.1, true));
        painter.translate(topLeft.x() + titleWidth / 2, y + plot / 2);
        painter.rotate(-90);
        painter.drawText(QRectF(-plot / 2, -titleWidth / 2, plot, titleWidth), Qt::AlignCenter,
            tr("%1 fixes").arg(clinic::fixingEyeName(kFixingEyes[row])));
        painter.restore();
        for (int column = 0; column < 3; ++column) {
            const QRectF square(topLeft.x() + titleWidth + column * (plot + gap), y, plot, plot);
            drawPlot(
                painter, square, unit, scale, visit, kPlacesLeftToRight[column], kFixingEyes[row]);
        }
    }
    drawLegend(painter,
        QRectF(topLeft.x() + titleWidth, topLeft.y() + header + 2 * plot + gap + unit * 0.2,
            3 * plot + 2 * gap, legend - unit * 0.2),
        unit, anyNotCalibratedForScreen(visit), anyBound(visit));
    painter.restore();
}
