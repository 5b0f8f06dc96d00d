#include "clinic/monitor.h"

#include <QCoreApplication>

#include <cmath>

namespace clinic {
namespace {
// Without EDID, Qt takes a screen for 96 dpi and reports the millimetres that gives.
constexpr double kAssumedDpi = 96;
constexpr double kMmPerInch = 25.4;
// Within this of the made-up size, on both axes, the size is taken for made up.
constexpr double kAssumedToleranceMm = 0.5;
// A reported shape further than this from the picture's is no monitor's own size.
constexpr double kAspectTolerance = 0.10;
// Televisions and projectors that give only their shape in EDID are reported as 16 x 9 or
// 16 x 10 cm, whatever their size; a monitor 160 mm across is no clinic's.
constexpr QSizeF kShapesOnly[] = {{160, 90}, {160, 100}};
} // namespace

QSizeF knownSizeMm(const Monitor &monitor)
{
    const QSizeF mm = monitor.physicalSizeMm;
    const QSize px = monitor.resolution;
    if (!(mm.width() > 0) || !(mm.height() > 0) || px.isEmpty())
        return {};
    const auto assumed = [](int pixels) { return pixels * kMmPerInch / kAssumedDpi; };
    if (std::fabs(mm.width() - assumed(px.width())) <= kAssumedToleranceMm
        && std::fabs(mm.height() - assumed(px.height())) <= kAssumedToleranceMm)
        return {};
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

} // namespace clinic
