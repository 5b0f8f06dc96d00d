#include "results/visitpicture.h"

#include "clinic/visit.h"

#include <QPainter>

void paintVisitPicture(QPainter &painter, const QRectF &area, const clinic::Visit &visit)
{
    Q_UNUSED(painter);
    Q_UNUSED(area);
    Q_UNUSED(visit);
}
