#include "forms/monitor.h"

#include "platform/platform.h"

#include <QGuiApplication>
#include <QScreen>

clinic::Monitor describeMonitor(const QScreen *screen)
{
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    clinic::Monitor monitor;
    monitor.manufacturer = screen->manufacturer().trimmed();
    monitor.model = screen->model().trimmed();
    monitor.serialNumber = screen->serialNumber().trimmed();
    monitor.output = screen->name().trimmed();
    monitor.resolution = platform::screenGeometry(screen).size();
    // A size of nothing is no size: servers without the monitor's data report 0 x 0.
    const QSizeF mm = screen->physicalSize();
    if (mm.width() >= 1 && mm.height() >= 1)
        monitor.physicalSizeMm = mm;
    return monitor;
}
