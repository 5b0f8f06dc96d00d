#pragma once

#include "clinic/hess.h"

#include <QList>
#include <QRectF>
#include <QStringList>
#include <QWidget>

class QPainter;

// The Hess charts of a visit, each eye's as orthoptists draw them: a tangent grid in 5-degree
// squares, the targets, and the eye's measured positions joined field by field. The pair is
// seen as the patient sees the screen (the examiner standing behind the patient): the patient's
// right on each chart's right, the left eye's chart on the left and the right eye's on the right.
namespace hesschart {

// Where a pair of charts stands in an area: a title band above each chart's square, and the
// notes beneath the pair.
struct Layout
{
    QRectF leftTitle;
    QRectF left;
    QRectF rightTitle;
    QRectF right;
    QRectF notes;
};
Layout layout(const QRectF &area);

// A point of the chart's plane (distance 1) in a chart's square: the grid's furthest reach,
// 35 degrees each way, touches the square's edges.
QPointF toChart(const QRectF &square, clinic::hess::Tangent point);

// The latest test that plots each eye; null where there is none.
struct Pair
{
    const clinic::hess::Test *left = nullptr;
    const clinic::hess::Test *right = nullptr;
};
Pair latestPerEye(const QList<clinic::hess::Test> &tests);

// The lines beneath the pair: each eye's inner field as a percentage of the other's, and the
// direction of gaze of each eye's largest deviation, offered as an aid to reading the charts.
QStringList notes(const Pair &pair);

// Draws the latest pair of charts into `area`: on a widget, a printed page or a PDF alike.
void paintCharts(QPainter &painter, const QRectF &area, const QList<clinic::hess::Test> &tests);

// Shows the Hess charts of the tests it is given.
class HessChart final : public QWidget
{
    Q_OBJECT
public:
    explicit HessChart(QWidget *parent = nullptr);

    void setTests(const QList<clinic::hess::Test> &tests);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<clinic::hess::Test> m_tests;
};

} // namespace hesschart
