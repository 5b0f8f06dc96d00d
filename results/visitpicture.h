#pragma once

#include <QRectF>

class QPainter;

namespace clinic {
class Visit;
}

// The visit as a clinician sketches it: for each fixing eye, where the cross stood from each
// target, in prism dioptres, on axes with a scale. Drawn the same in the Results window and in
// the report.
void paintVisitPicture(QPainter &painter, const QRectF &area, const clinic::Visit &visit);

// The height at which the picture fills `width`: a taller area leaves room above and below.
double visitPictureHeight(double width);
