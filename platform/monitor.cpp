#include "platform/monitor.h"

#include "platform/platform.h"

#include <QGuiApplication>
#include <QScreen>

namespace platform {

Monitor describe(const QScreen *screen)
{
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    Monitor monitor;
    monitor.manufacturer = screen->manufacturer().trimmed();
    monitor.model = screen->model().trimmed();
    monitor.serialNumber = screen->serialNumber().trimmed();
    monitor.output = screen->name().trimmed();
    monitor.resolution = screenGeometry(screen).size();
    // X servers without EDID (Xvfb, many projectors) make a size up from 96 dpi or report
    // nothing; both are taken as "not reported" only where the size is plainly no size.
    const QSizeF mm = screen->physicalSize();
    if (mm.width() >= 1 && mm.height() >= 1)
        monitor.physicalSizeMm = mm;
    return monitor;
}

} // namespace platform
