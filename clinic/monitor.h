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
    // The monitor's own idea of its visible area in millimetres; empty where it reports none.
    QSizeF physicalSizeMm;
};

} // namespace clinic
