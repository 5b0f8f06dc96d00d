#pragma once

#include <QColor>
#include <QLineF>
#include <QObject>

class QPainter;
class QWidget;

// A line drawn on the window's own surface, beneath its controls: one pixel wide and solid,
// between two end points in window pixels. Its owner paints it (paint); moving it asks the
// owner to repaint. It is an object of the window so that it can be found by name.
class DesignLine final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QLineF points READ points)
public:
    DesignLine(QWidget *window, const char *name, QColor colour);

    // End points are single-precision numbers, as the window computes them.
    void setPoints(float x1, float y1, float x2, float y2);
    QLineF points() const { return m_points; }
    void paint(QPainter &painter) const;

private:
    QWidget *m_window;
    QColor m_colour;
    QLineF m_points;
};
