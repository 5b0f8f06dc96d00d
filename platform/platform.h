#pragma once

#include <QByteArray>
#include <QRect>

// What the program asks of the operating system: its own folder, whether another instance
// runs, and the screen. Kept small so each window reads like its design.
namespace platform {

// Positions on the measurement and calibration screens are real screen pixels, so scaling
// must be off before the application object exists.
void prepareApplication();

// The folder of the running executable, links resolved, as the bytes the system gives: a
// folder name need not be valid text in any encoding. Found anew at each call, so a program
// whose folder was moved keeps its settings beside it. Empty when the system cannot tell.
QByteArray programFolder();

// The user's own folder for run-time files (mode 0700), else the home folder.
QByteArray runtimeFolder();

// One instance of the program per user. The first call of anotherInstanceRunning() takes the
// guard, a lock on a file in `folder`, and keeps it while this object lives; the kernel drops
// the lock with the process, so a crashed instance never blocks the next start.
class InstanceGuard
{
public:
    explicit InstanceGuard(QByteArray folder);
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard &) = delete;
    InstanceGuard &operator=(const InstanceGuard &) = delete;

    bool anotherInstanceRunning();

private:
    QByteArray m_folder;
    int m_fd = -1;
};

// The screen's width and height in device pixels, in single precision as the windows use them.
struct ScreenSize
{
    float width = 0;
    float height = 0;
};
ScreenSize screenSize();
// The primary screen's rectangle, in device pixels; full-screen windows cover exactly this.
QRect screenGeometry();

// Whether a window manager (or a Wayland compositor) places the program's windows: it then
// maximizes a window and makes one full screen when asked, and restores it to the size the
// window had before. Without one, a window keeps the geometry the program gives it.
bool windowManagerRunning();

} // namespace platform
