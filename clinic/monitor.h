#pragma once

#include <QSize>
#include <QSizeF>
#include <QString>

namespace clinic {

// A monitor as the system describes it: what a calibration is made on. Pixels per millimetre
// belong to one monitor at one resolution, so a calibration is recorded with both.
struct Monitor
{
    // As the system reports them (EDID and the output's name); any may be empty.
    QString manufacturer;
    QString model;
    QString serialNumber;
    QString output;
    // The mode in use, in device pixels.
    QSize resolution;
    // The visible area in millimetres as the system reports it, whether or not it is the
    // monitor's own: knownSizeMm() says whether it can be believed.
    QSizeF physicalSizeMm;
};

// The monitor's reported size where it tells something of the monitor; empty where it tells
// nothing: no size at all, the size Qt makes up at 96 dpi for a monitor without EDID, or a size
// whose shape is not the picture's (televisions and projectors report 160 x 90 mm).
QSizeF knownSizeMm(const Monitor &monitor);

// The monitor's size as a clinician reads it beside its name, "508 x 286 mm", or "size unknown".
QString sizeText(const Monitor &monitor);

} // namespace clinic
