// A visit's Hess run for the record's tests: both eyes at 60 cm on a 567 x 600 calibration made
// for another screen, on DP-1 at 1024 x 768, at 2026-03-02 10:40 local time. OS plotted (OD
// fixing), complete: the centre 2 right and 3 down of its target, (0, 15) skipped, (15, 15) also 2
// right and 3 down with the cross on the screen's edge across, the next five 0.5 right and 0.5 up,
// (-15, 15) not on this screen. OD plotted (OS fixing), left half way: the centre 1 left and 1 up,
// nothing else.
#pragma once

#include "clinic/hess.h"

#include <QDateTime>
#include <QList>

namespace hessfixture {

inline const QString kNote = QStringLiteral("calibration made on another screen (1280 x 1024)");

inline QList<clinic::hess::Test> run()
{
    using clinic::hess::Angles;
    using clinic::hess::Eye;
    using clinic::hess::kTargets;
    using clinic::hess::PointResult;
    clinic::hess::Test left;
    left.plotted = Eye::Left;
    left.fixing = Eye::Right;
    left.screenH = 567;
    left.screenV = 600;
    left.calibrationNote = kNote;
    left.monitor.output = QStringLiteral("DP-1");
    left.monitor.resolution = QSize(1024, 768);
    left.measuredAt = QDateTime(QDate(2026, 3, 2), QTime(10, 40));
    left.points.resize(9);
    clinic::hess::Test right = left;
    left.points[0] = PointResult {{0, 0}, {2, -3}, {2, -3}, {}};
    left.skipped = {1};
    left.points[2] = PointResult {{15, 15}, {17, 12}, {2, -3}, {true, false}};
    for (std::size_t i = 3; i < 8; ++i) {
        const Angles target = kTargets[i].gaze;
        left.points[i]
            = PointResult {target, {target.alpha + 0.5, target.beta + 0.5}, {0.5, 0.5}, {}};
    }
    left.notOnScreen = {8};
    left.complete = true;
    right.plotted = Eye::Right;
    right.fixing = Eye::Left;
    right.points[0] = PointResult {{0, 0}, {-1, 1}, {-1, 1}, {}};
    right.complete = false;
    return {left, right};
}

} // namespace hessfixture
