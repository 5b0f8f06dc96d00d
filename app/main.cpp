#include "app/application.h"
#include "app/commandline.h"
#include "app/platform.h"
#include "app/windows.h"

#include <cstdio>
#include <cstdlib>

namespace {
// Without a display Qt aborts with a long message; say in one line what is missing instead.
bool displayAvailable()
{
    const auto set = [](const char *name) {
        const char *value = std::getenv(name);
        return value && *value;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}
} // namespace

int main(int argc, char *argv[])
{
    if (const std::optional<int> exitCode = handleCommandLine(argc, argv))
        return *exitCode;
    if (!displayAvailable()) {
        std::fputs("kelvane: no display to show the program on (DISPLAY is not set)\n", stderr);
        return 1;
    }
    platform::prepareApplication();
    Application app(argc, argv);
    // A second instance ends here, silently, before it reads anything or shows a window.
    if (platform::anotherInstanceRunning())
        return 0;
    windows::showFrmstart();
    if (platform::programEnded() || !windows::current())
        return 0;
    return app.exec();
}
