#pragma once

#include <QList>
#include <QPoint>
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
    // Where its picture begins on the desktop, in device pixels. Monitors at one place with one
    // resolution show one picture (mirrored); it is not recorded with a calibration.
    QPoint position;
    // The visible area in millimetres as the system reports it, whether or not it is the
    // monitor's own: knownSizeMm() says whether it can be believed.
    QSizeF physicalSizeMm;
    // The dots per inch the system makes a size up from for a monitor that reports none (an X
    // server's own screen size, 96 on most); 0 where it says nothing.
    double assumedDpi = 0;
};

// The monitor's reported size where it tells something of the monitor; empty where it tells
// nothing: no size at all, the size Qt makes up at 96 dpi (or at the system's own dpi) for a
// monitor without EDID, or a size
// whose shape is not the picture's (televisions and projectors report 160 x 90 mm).
QSizeF knownSizeMm(const Monitor &monitor);

// The monitor's size as a clinician reads it beside its name, "508 x 286 mm", or "size unknown".
QString sizeText(const Monitor &monitor);

// A monitor by the names the system gives it ("DEL U2415 DP-1"); empty where it gives none.
QString monitorName(const Monitor &monitor);
// Its names and its size, whole, where a clinician picks the monitor: "HDMI-1 (size unknown)",
// "DEL U2415 DP-1 (518 x 324 mm)"; the size alone where the system names it nothing.
QString nameAndSize(const Monitor &monitor);

// A calibration holds for the size of the picture on the monitor it is used on. Where the same
// picture is shown on other monitors (mirrored, a laptop's presentation mode), a patient who looks
// at one of another size sees every offset larger or smaller by the ratio of the two sizes. Of
// `others`, those at the place of `monitor` with its resolution whose size differs from its own by
// more than 10 % on either axis, as a result read there would be off. A size that is unknown, on
// either side, may differ by anything: such a monitor is listed too.
QList<Monitor> mirroredAtAnotherSize(const Monitor &monitor, const QList<Monitor> &others);
// What the start screen says of `mirrored` (from mirroredAtAnotherSize): which monitors show the
// picture at another size and the one the calibration holds for; empty where there is none.
QString mirroredText(const Monitor &monitor, const QList<Monitor> &mirrored);
// The same, short, for the measurement screen's note and the record of each result.
QString mirroredNote(const Monitor &monitor, const QList<Monitor> &mirrored);

} // namespace clinic
