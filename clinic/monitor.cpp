#include "clinic/monitor.h"

#include <QCoreApplication>
#include <QStringList>

#include <cmath>

namespace clinic {
namespace {
// Without EDID, Qt takes a screen for 96 dpi, or the display server's own dpi, and reports the
// millimetres that gives.
constexpr double kAssumedDpi = 96;
constexpr double kMmPerInch = 25.4;
// Within this of the made-up size, on both axes, the size is taken for made up.
constexpr double kAssumedToleranceMm = 0.5;
// A reported shape further than this from the picture's is no monitor's own size.
constexpr double kAspectTolerance = 0.10;
// Televisions and projectors that give only their shape in EDID are reported as 16 x 9 or
// 16 x 10 cm, whatever their size; a monitor 160 mm across is no clinic's.
constexpr QSizeF kShapesOnly[] = {{160, 90}, {160, 100}};
// A mirrored picture this much larger or smaller than the one the calibration holds for is worth
// a word; within it the sizes monitors report (rounded EDID) are too rough to tell.
constexpr double kMirroredTolerance = 0.10;

// A result measured with the calibration of a monitor `mm` in size and read on one `otherMm` in
// size is off by their ratio less one, on each axis.
bool sameSizeWithin(QSizeF mm, QSizeF otherMm, double tolerance)
{
    return std::fabs(mm.width() / otherMm.width() - 1) <= tolerance
        && std::fabs(mm.height() / otherMm.height() - 1) <= tolerance;
}

// The monitor as the clinician finds it in the desktop's display settings: its output, else its
// other names.
QString shortName(const Monitor &monitor)
{
    if (!monitor.output.isEmpty())
        return monitor.output;
    const QString name = monitorName(monitor);
    return name.isEmpty() ? QCoreApplication::translate("clinic", "an unnamed monitor") : name;
}

QString listed(const QList<Monitor> &monitors, QString (*text)(const Monitor &))
{
    QStringList texts;
    for (const Monitor &monitor : monitors)
        texts << text(monitor);
    return texts.join(QStringLiteral(", "));
}
} // namespace

QSizeF knownSizeMm(const Monitor &monitor)
{
    const QSizeF mm = monitor.physicalSizeMm;
    const QSize px = monitor.resolution;
    if (!(mm.width() > 0) || !(mm.height() > 0) || px.isEmpty())
        return {};
    for (const double dpi : {kAssumedDpi, monitor.assumedDpi}) {
        if (!(dpi > 0))
            continue;
        // Qt's X11 platform keeps the made-up size in whole millimetres, cut off, not rounded.
        const auto madeUp = [dpi](int pixels, double reported) {
            const double exact = pixels * kMmPerInch / dpi;
            return std::fabs(reported - exact) <= kAssumedToleranceMm
                || reported == std::floor(exact);
        };
        if (madeUp(px.width(), mm.width()) && madeUp(px.height(), mm.height()))
            return {};
    }
    for (const QSizeF shapeOnly : kShapesOnly) {
        if (mm == shapeOnly)
            return {};
    }
    const double shape = (mm.width() / mm.height()) / (double(px.width()) / px.height());
    if (std::fabs(shape - 1) > kAspectTolerance)
        return {};
    return mm;
}

QString sizeText(const Monitor &monitor)
{
    const QSizeF mm = knownSizeMm(monitor);
    if (mm.isEmpty())
        return QCoreApplication::translate("clinic", "size unknown");
    return QCoreApplication::translate("clinic", "%1 x %2 mm")
        .arg(std::lround(mm.width()))
        .arg(std::lround(mm.height()));
}

QString monitorName(const Monitor &monitor)
{
    QStringList parts;
    for (const QString &part : {monitor.manufacturer, monitor.model, monitor.output}) {
        if (!part.isEmpty())
            parts << part;
    }
    return parts.join(QLatin1Char(' '));
}

QString nameAndSize(const Monitor &monitor)
{
    const QString name = monitorName(monitor);
    if (name.isEmpty())
        return sizeText(monitor);
    return QCoreApplication::translate("clinic", "%1 (%2)").arg(name, sizeText(monitor));
}

QList<Monitor> mirroredAtAnotherSize(const Monitor &monitor, const QList<Monitor> &others)
{
    const QSizeF mm = knownSizeMm(monitor);
    QList<Monitor> mirrored;
    for (const Monitor &other : others) {
        if (other.position != monitor.position || other.resolution != monitor.resolution)
            continue;
        const QSizeF otherMm = knownSizeMm(other);
        if (mm.isEmpty() || otherMm.isEmpty() || !sameSizeWithin(mm, otherMm, kMirroredTolerance))
            mirrored << other;
    }
    return mirrored;
}

QString mirroredText(const Monitor &monitor, const QList<Monitor> &mirrored)
{
    if (mirrored.isEmpty())
        return {};
    const auto named = [](const Monitor &m) {
        return QCoreApplication::translate("clinic", "%1 (%2)").arg(shortName(m), sizeText(m));
    };
    return QCoreApplication::translate(
        "clinic", "Mirrored on %1: the calibration holds only for %2, where the patient must look.")
        .arg(listed(mirrored, +named), named(monitor));
}

QString mirroredNote(const Monitor &monitor, const QList<Monitor> &mirrored)
{
    if (mirrored.isEmpty())
        return {};
    return QCoreApplication::translate("clinic", "mirrored on %1: calibrated for %2 only")
        .arg(listed(mirrored, shortName), shortName(monitor));
}

} // namespace clinic
