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
    // As reported: whether it is the monitor's own size is a rule of the clinic's.
    monitor.physicalSizeMm = screen->physicalSize();
    return monitor;
}
