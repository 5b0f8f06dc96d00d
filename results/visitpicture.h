#pragma once

#include <QFont>
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

// The font of the picture and the report: `pixels` high, without ligatures where the script
// needs none, so that a PDF's "fi" reads back as the two letters a record system searches for.
QFont fontOfHeight(double pixels, bool bold = false);
