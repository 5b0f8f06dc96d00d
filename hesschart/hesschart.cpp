#include "hesschart/hesschart.h"

#include "clinic/format.h"

#include <QCoreApplication>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace hesschart {

namespace {
using clinic::hess::Eye;
using clinic::hess::Test;

// The title band above the charts is a twelfth of the area's height, the notes beneath take
// two such bands, and a twentieth of the width stands between the charts.
constexpr double kBandsInHeight = 12;
constexpr double kNoteBands = 2;
constexpr double kGapInWidth = 20;

const QColor kGridColour(200, 200, 200);
const QColor kAxisColour(120, 120, 120);
const QColor kTargetColour(90, 90, 90);
const QColor kPlotColour(Qt::black);

QString tr(const char *text)
{
    return QCoreApplication::translate("HessChart", text);
}

QString eyeName(Eye eye)
{
    return eye == Eye::Right ? tr("right eye (OD)") : tr("left eye (OS)");
}

// A direction of gaze in the clinic's words, the patient's right being right.
QString gazeText(clinic::hess::Angles gaze)
{
    const QString across = gaze.alpha > 0 ? tr("right") : gaze.alpha < 0 ? tr("left") : QString();
    const QString down = gaze.beta > 0 ? tr("up") : gaze.beta < 0 ? tr("down") : QString();
    if (across.isEmpty() && down.isEmpty())
        return tr("straight ahead");
    if (across.isEmpty() || down.isEmpty())
        return across + down;
    return tr("%1 and %2").arg(down, across);
}

double reach()
{
    return clinic::hess::tangentPoint(
        {clinic::hess::kGridExtentDegrees, clinic::hess::kGridExtentDegrees})
        .y;
}

// Lines between neighbours of a field's ring that were both measured; the ring closes.
void joinRing(
    QPainter &painter, const QRectF &square, const Test &test, std::size_t first, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t from = first + i;
        const std::size_t to = first + (i + 1) % count;
        if (to >= test.points.size() || from >= test.points.size() || !test.points[from]
            || !test.points[to])
            continue;
        painter.drawLine(toChart(square, clinic::hess::tangentPoint(test.points[from]->measured)),
            toChart(square, clinic::hess::tangentPoint(test.points[to]->measured)));
    }
}

QString centreText(const Test &test)
{
    if (test.points.empty() || !test.points.front())
        return {};
    const clinic::hess::PointDioptres dioptres
        = clinic::hess::pointDioptres(*test.points.front(), test.screenH, test.screenV);
    QStringList parts;
    if (dioptres.across)
        parts << dioptres.across->shown();
    if (dioptres.down)
        parts << dioptres.down->shown();
    return parts.join(QStringLiteral("  "));
}

void paintGrid(QPainter &painter, const QRectF &square)
{
    for (const clinic::hess::GridLine &line : clinic::hess::grid()) {
        painter.setPen(QPen(line.degrees == 0 ? kAxisColour : kGridColour, 0));
        QPolygonF polyline;
        for (const clinic::hess::Tangent &point : line.points)
            polyline << toChart(square, point);
        painter.drawPolyline(polyline);
    }
}

void paintChart(
    QPainter &painter, const QRectF &square, const QRectF &titleBand, Eye eye, const Test *test)
{
    const double side = square.width();
    painter.save();
    QFont font = painter.font();
    // Two lines of the longest title fit the band and the chart's width.
    font.setPixelSize(std::max(8, int(std::min(titleBand.height() * 0.4, side / 14))));
    painter.setFont(font);
    painter.setPen(kPlotColour);
    QString title = eyeName(eye);
    title[0] = title[0].toUpper();
    title += QStringLiteral(", ") + tr("fixing: %1").arg(eyeName(clinic::hess::otherEye(eye)));
    if (test && !test->complete)
        title += QStringLiteral(" ") + tr("(incomplete)");
    painter.drawText(titleBand, Qt::AlignHCenter | Qt::AlignBottom | Qt::TextWordWrap, title);

    painter.fillRect(square, Qt::white);
    painter.setClipRect(square);
    paintGrid(painter, square);

    // The targets, for both fields: each eye is drawn against the places it was asked to look.
    const double targetRadius = std::max(1.5, side / 150);
    painter.setPen(QPen(kTargetColour, 0));
    painter.setBrush(Qt::NoBrush);
    const std::size_t targetCount = test ? test->points.size() : clinic::hess::kInnerCount;
    for (std::size_t i = 0; i < targetCount; ++i) {
        const QPointF at
            = toChart(square, clinic::hess::tangentPoint(clinic::hess::kTargets[i].gaze));
        painter.drawEllipse(at, targetRadius, targetRadius);
    }

    if (test) {
        painter.setPen(QPen(kPlotColour, std::max(1.0, side / 250)));
        joinRing(painter, square, *test, 1, clinic::hess::kInnerCount - 1);
        QPen dashed(kPlotColour, std::max(1.0, side / 250), Qt::DashLine);
        painter.setPen(dashed);
        joinRing(painter, square, *test, clinic::hess::kInnerCount,
            clinic::hess::kTargets.size() - clinic::hess::kInnerCount);
        const double dot = std::max(2.0, side / 100);
        painter.setPen(Qt::NoPen);
        painter.setBrush(kPlotColour);
        for (const std::optional<clinic::hess::PointResult> &point : test->points) {
            if (point)
                painter.drawEllipse(
                    toChart(square, clinic::hess::tangentPoint(point->measured)), dot, dot);
        }
        // The centre's deviation beside it, below and right of the centre's square.
        const QString centre = centreText(*test);
        if (!centre.isEmpty()) {
            font.setPixelSize(std::max(8, int(side / 28)));
            painter.setFont(font);
            painter.setPen(kPlotColour);
            const QPointF at = toChart(square, {0, 0});
            painter.drawText(QRectF(at.x() + side / 40, at.y() + side / 40, side / 2, side / 10),
                Qt::AlignLeft | Qt::AlignTop, centre);
        }
    } else {
        painter.setPen(kPlotColour);
        painter.drawText(square, Qt::AlignCenter, tr("not tested"));
    }
    painter.setClipping(false);
    painter.setPen(QPen(kPlotColour, 0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(square);
    painter.restore();
}

QString largestText(const Test *test)
{
    if (!test)
        return tr("not tested");
    const std::optional<std::size_t> largest = clinic::hess::largestDeviation(test->results());
    if (!largest)
        return tr("nothing measured");
    const clinic::hess::PointResult &point = *test->points[*largest];
    return tr("%1 looking %2")
        .arg(clinic::degreesText(std::hypot(point.deviation.alpha, point.deviation.beta)),
            gazeText(point.target));
}
} // namespace

Layout layout(const QRectF &area)
{
    const double band = area.height() / kBandsInHeight;
    const double gap = area.width() / kGapInWidth;
    const double side = std::max(
        0.0, std::min((area.width() - gap) / 2, area.height() - (1 + kNoteBands) * band));
    const double left = area.left() + (area.width() - (2 * side + gap)) / 2;
    const double top = area.top() + band;
    const double right = left + side + gap;
    return {QRectF(left, area.top(), side, band), QRectF(left, top, side, side),
        QRectF(right, area.top(), side, band), QRectF(right, top, side, side),
        QRectF(area.left(), top + side, area.width(), area.bottom() - (top + side))};
}

QPointF toChart(const QRectF &square, clinic::hess::Tangent point)
{
    const double scale = square.width() / 2 / reach();
    const QPointF centre = square.center();
    return {centre.x() + point.x * scale, centre.y() - point.y * scale};
}

Pair latestPerEye(const QList<Test> &tests)
{
    Pair pair;
    for (const Test &test : tests)
        (test.plotted == Eye::Left ? pair.left : pair.right) = &test;
    return pair;
}

QStringList notes(const Pair &pair)
{
    QStringList lines;
    std::optional<double> leftShare;
    std::optional<double> rightShare;
    if (pair.left && pair.right) {
        const std::optional<double> left = clinic::hess::innerFieldArea(pair.left->results());
        const std::optional<double> right = clinic::hess::innerFieldArea(pair.right->results());
        if (left && right) {
            leftShare = clinic::hess::areaPercentage(*left, *right);
            rightShare = clinic::hess::areaPercentage(*right, *left);
        }
    }
    if (leftShare && rightShare) {
        lines << tr("Inner field: the left eye's is %1 % of the right eye's, the right eye's "
                    "%2 % of the left eye's.")
                     .arg(QLocale().toString(*leftShare, 'f', 0),
                         QLocale().toString(*rightShare, 'f', 0));
    } else {
        lines << tr("Inner field: compared once the 8 points round the centre are measured for "
                    "both eyes.");
    }
    lines << tr("Largest deviation, an aid to reading the charts and not a diagnosis: left eye "
                "%1; right eye %2.")
                 .arg(largestText(pair.left), largestText(pair.right));
    return lines;
}

void paintCharts(QPainter &painter, const QRectF &area, const QList<Test> &tests)
{
    const Layout at = layout(area);
    const Pair pair = latestPerEye(tests);
    paintChart(painter, at.left, at.leftTitle, Eye::Left, pair.left);
    paintChart(painter, at.right, at.rightTitle, Eye::Right, pair.right);

    painter.save();
    QFont font = painter.font();
    font.setPixelSize(std::max(8, int(area.height() / kBandsInHeight * 0.3)));
    painter.setFont(font);
    painter.setPen(kPlotColour);
    painter.drawText(at.notes.adjusted(at.left.left() - area.left(), 4, 0, 0),
        Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, notes(pair).join(QLatin1Char('\n')));
    painter.restore();
}

HessChart::HessChart(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("hessChart"));
    setAccessibleName(tr("Hess charts"));
}

void HessChart::setTests(const QList<Test> &tests)
{
    m_tests = tests;
    update();
}

QSize HessChart::sizeHint() const
{
    return {800, 520};
}

void HessChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), palette().window());
    paintCharts(painter, rect(), m_tests);
}

} // namespace hesschart
