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
    const QRect geometry = platform::screenGeometry(screen);
    monitor.resolution = geometry.size();
    monitor.position = geometry.topLeft();
    // As reported: whether it is the monitor's own size is a rule of the clinic's.
    monitor.physicalSizeMm = screen->physicalSize();
    monitor.assumedDpi = platform::desktopDpi();
    return monitor;
}

QList<clinic::Monitor> describeOtherMonitors(const QScreen *screen)
{
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    QList<clinic::Monitor> others;
    for (const QScreen *other : QGuiApplication::screens()) {
        if (other != screen)
            others << describeMonitor(other);
    }
    return others;
}
