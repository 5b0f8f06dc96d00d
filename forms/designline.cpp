#include "forms/designline.h"

#include <QPainter>
#include <QWidget>

DesignLine::DesignLine(QWidget *window, const char *name, QColor colour)
    : QObject(window)
    , m_window(window)
    , m_colour(colour)
{
    setObjectName(QLatin1String(name));
}

void DesignLine::setPoints(float x1, float y1, float x2, float y2)
{
    m_points = QLineF(x1, y1, x2, y2);
    m_window->update();
}

void DesignLine::paint(QPainter &painter) const
{
    // A cosmetic pen of one pixel, without smoothing: the clinician lays a ruler against
    // these lines, so each must be one sharp row or column of pixels.
    QPen pen(m_colour, 1, Qt::SolidLine, Qt::FlatCap);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.drawLine(m_points);
}
