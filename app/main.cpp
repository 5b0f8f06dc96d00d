#include "app/application.h"
#include "app/program.h"
#include "platform/platform.h"

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
    if (!displayAvailable()) {
        std::fputs("kelvane: no display to show the program on (DISPLAY is not set)\n", stderr);
        return 1;
    }
    platform::prepareApplication();
    Application app(argc, argv);
    Program program;
    // A second instance ends here, silently, before it reads anything or shows a window.
    if (program.anotherInstanceRunning())
        return 0;
    program.showFrmstart();
    if (program.ended() || !program.current())
        return 0;
    return app.exec();
}
