#pragma once

#include <QRect>
#include <QString>

// What the windows ask of the operating system: the program's folder, whether another instance
// runs, the screen, and ending the program. Kept small so each window reads like its design.
namespace platform {

// Positions on the measurement and calibration screens are real screen pixels, so scaling
// must be off before the application object exists.
void prepareApplication();

// The folder of the running executable, links resolved. Tests point it at a folder of their own.
QString programFolder();
void setProgramFolder(const QString &folder);

// True when another instance of the program, started by the same user, holds the instance
// guard. The first call of an instance takes the guard and keeps it until the process ends, so
// a crashed instance never blocks the next start.
bool anotherInstanceRunning();
// Where the guard lives: the user's runtime folder, else the home folder. Tests use their own.
void setInstanceGuardFolder(const QString &folder);

// The screen's width and height in device pixels, in single precision as the windows use them.
struct ScreenSize
{
    float width = 0;
    float height = 0;
};
ScreenSize screenSize();
// The primary screen's rectangle, in device pixels; full-screen windows cover exactly this.
QRect screenGeometry();

// Ends the program at once. Safe to call before the event loop runs: the caller then checks
// programEnded() and returns.
void endProgram();
bool programEnded();
void resetProgramEnded(); // for tests that drive several "ends" in one process

} // namespace platform
