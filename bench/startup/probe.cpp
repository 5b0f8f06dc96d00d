// Times one start of a program from exec to its first frame on the X display, and reads the
// program's peak resident memory.
//
//   kelvane_startup_probe [--timeout <seconds>] <program> [arguments...]
//
// Prints "<milliseconds to first frame> <peak resident KiB> <milliseconds to the window's map>
// <milliseconds of processor time>" and exits 0; exits 1 when the program ended or showed no
// frame in time.
//
// The probe watches the display itself rather than polling it: it follows the top-level windows
// that are created and mapped (SubstructureNotify on the root window) and every drawing on the
// screen (a DAMAGE object on the root window, which sees the drawing into all its children). The
// first frame is the first drawing that falls inside a mapped window of the started process
// after that window was mapped. The clock is read as each event arrives, so the resolution is
// that of the event delivery, well under a millisecond. The peak memory is the process's maximum
// resident set size and the processor time its user and system time, both as the kernel reports
// them when the process, stopped at its first frame, is reaped. On a busy machine the processor
// time varies far less than the time on the clock.
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

constexpr double kDefaultTimeoutSeconds = 20;
// How often the probe looks whether the program has ended while no X event comes.
constexpr int kExitCheckMilliseconds = 20;

struct Window
{
    xcb_window_t id = 0;
    xcb_rectangle_t area {};
};

template<typename Reply> using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

[[noreturn]] void die(const char *what)
{
    std::fprintf(stderr, "kelvane_startup_probe: %s\n", what);
    std::exit(2);
}

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    ReplyPtr<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The process that created a window, as the toolkit records it; 0 when unknown.
pid_t windowPid(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t pidAtom)
{
    ReplyPtr<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection,
            xcb_get_property(connection, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr),
        &std::free);
    if (!reply || xcb_get_property_value_length(reply.get()) != 4)
        return 0;
    return pid_t(*static_cast<const uint32_t *>(xcb_get_property_value(reply.get())));
}

bool intersects(const xcb_rectangle_t &a, const xcb_rectangle_t &b)
{
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height
        && b.y < a.y + a.height;
}

pid_t launch(char **argv)
{
    const pid_t pid = fork();
    if (pid < 0)
        die("fork failed");
    if (pid == 0) {
        execvp(argv[0], argv);
        std::fprintf(
            stderr, "kelvane_startup_probe: cannot run %s: %s\n", argv[0], std::strerror(errno));
        _exit(127);
    }
    return pid;
}
} // namespace

int main(int argc, char **argv)
{
    double timeoutSeconds = kDefaultTimeoutSeconds;
    int first = 1;
    if (argc > 2 && std::strcmp(argv[1], "--timeout") == 0) {
        timeoutSeconds = std::atof(argv[2]);
        first = 3;
    }
    if (first >= argc)
        die("usage: kelvane_startup_probe [--timeout <seconds>] <program> [arguments...]");

    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection))
        die("cannot open the X display");
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_query_extension_reply_t *damage = xcb_get_extension_data(connection, &xcb_damage_id);
    if (!damage || !damage->present)
        die("the X server has no DAMAGE extension");
    std::free(xcb_damage_query_version_reply(connection,
        xcb_damage_query_version(connection, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION),
        nullptr));
    const xcb_atom_t pidAtom = atom(connection, "_NET_WM_PID");

    // Both watches are in place before the program starts, so no window or drawing escapes.
    const uint32_t events = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, screen->root, XCB_CW_EVENT_MASK, &events);
    xcb_damage_create(connection, xcb_generate_id(connection), screen->root,
        XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));

    const Clock::time_point start = Clock::now();
    const pid_t pid = launch(argv + first);
    const Clock::time_point deadline = start
        + std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(timeoutSeconds));

    std::vector<Window> mapped;
    bool painted = false;
    bool ended = false;
    int status = 0;
    rusage usage {};
    Clock::time_point frame;
    Clock::time_point map;
    while (!painted) {
        xcb_generic_event_t *event = xcb_poll_for_event(connection);
        if (!event) {
            if (xcb_connection_has_error(connection))
                die("lost the X display");
            if (wait4(pid, &status, WNOHANG, &usage) == pid) {
                ended = true;
                break;
            }
            const auto left
                = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                break;
            pollfd fd {xcb_get_file_descriptor(connection), POLLIN, 0};
            poll(&fd, 1, int(std::min<long>(left.count(), kExitCheckMilliseconds)));
            continue;
        }
        const Clock::time_point now = Clock::now();
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_MAP_NOTIFY) {
            const auto *notify = reinterpret_cast<xcb_map_notify_event_t *>(event);
            if (!notify->override_redirect
                && windowPid(connection, notify->window, pidAtom) == pid) {
                ReplyPtr<xcb_get_geometry_reply_t> geometry(
                    xcb_get_geometry_reply(
                        connection, xcb_get_geometry(connection, notify->window), nullptr),
                    &std::free);
                if (geometry) {
                    if (mapped.empty())
                        map = now;
                    mapped.push_back({notify->window,
                        {geometry->x, geometry->y, geometry->width, geometry->height}});
                }
            }
        } else if (type == XCB_CONFIGURE_NOTIFY) {
            const auto *configure = reinterpret_cast<xcb_configure_notify_event_t *>(event);
            for (Window &window : mapped) {
                if (window.id == configure->window)
                    window.area = {configure->x, configure->y, configure->width, configure->height};
            }
        } else if (type == damage->first_event + XCB_DAMAGE_NOTIFY) {
            const auto *notify = reinterpret_cast<xcb_damage_notify_event_t *>(event);
            for (const Window &window : mapped) {
                if (intersects(notify->area, window.area)) {
                    painted = true;
                    frame = now;
                }
            }
        }
        std::free(event);
    }

    if (!ended) {
        kill(pid, SIGKILL);
        while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) { }
    }
    xcb_disconnect(connection);
    if (!painted) {
        if (ended)
            std::fprintf(
                stderr, "kelvane_startup_probe: %s ended before its first frame\n", argv[first]);
        else
            std::fprintf(stderr, "kelvane_startup_probe: %s showed no frame within %g s\n",
                argv[first], timeoutSeconds);
        return 1;
    }
    using Milliseconds = std::chrono::duration<double, std::milli>;
    const auto cpu = [](const timeval &time) {
        return double(time.tv_sec) * 1e3 + double(time.tv_usec) / 1e3;
    };
    std::printf("%.2f %ld %.2f %.2f\n", Milliseconds(frame - start).count(), usage.ru_maxrss,
        Milliseconds(map - start).count(), cpu(usage.ru_utime) + cpu(usage.ru_stime));
    return 0;
}
