#pragma once

#include "base/descriptor.h"
#include "base/expected.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QRect>
#include <QSizeF>
#include <QString>

#include <memory>

class QAbstractNativeEventFilter;
class QScreen;
class QWindow;

// What the program asks of the operating system: its own folder, whether another instance
// runs, and the screen. Kept small so each window reads like its design.
namespace platform {

// Positions on the measurement and calibration screens are real screen pixels, so scaling
// must be off before the application object exists; file dialogs are Qt's own, which keep no
// desktop-wide history of file names.
void prepareApplication();

// Whether the program has a display to show its windows on. Fails with one line for the user
// when no display is named or the X server named cannot be reached: Qt itself would abort there
// with a long message.
base::Expected<void> displayAvailable();

// The folder of the running executable, links resolved, as the bytes the system gives: a
// folder name need not be valid text in any encoding. Found anew at each call, so a program
// whose folder was moved keeps its settings beside it. Empty when the system cannot tell.
QByteArray programFolder();

// The user's own folder for run-time files (mode 0700), else the home folder.
QByteArray runtimeFolder();

// One instance of the program per user, and one per program folder across users: two users of
// a shared install would otherwise overwrite each other's calibration. The first call of
// take() locks a file in the user's own folder, then one in the program's folder, and keeps
// both while this object lives; the kernel drops the locks with the process, so a crashed
// instance never blocks the next start.
class InstanceGuard
{
public:
    // `programFolder` empty: no folder lock (the folder is not known).
    InstanceGuard(QByteArray userFolder, QByteArray programFolder);
    InstanceGuard(const InstanceGuard &) = delete;
    InstanceGuard &operator=(const InstanceGuard &) = delete;

    enum class Holder {
        Nobody, // this instance holds the guard (or none could be had: the program runs)
        SameUser, // another instance of this user runs
        OtherUser, // someone else runs the program from the same folder
        Refused, // a lock is there that this user may not take, or that is no lock: refusal()
    };
    // Locks once; every later call gives the first call's answer, as each window asks again.
    Holder take();
    // For the holder, every little while: puts the folder's lock back where a user removed or
    // replaced it. OtherUser when someone else has started the program from the folder since.
    Holder keep();
    // Who holds the folder lock and since when ("name since 2026-12-08 10:31"), as the kernel
    // tells it: the user who owns the process that holds the lock, and when it started. Empty
    // when the kernel does not say (the holder runs in another process namespace).
    QString folderHolder() const { return m_folderHolder; }
    // Why the folder's lock may not be taken: one or two sentences for the user, naming the file.
    QString refusal() const { return m_refusal; }

private:
    Holder takeOnce();
    Holder takeFolderLock(base::Descriptor &fd);

    QByteArray m_userFolder;
    QByteArray m_programFolder;
    base::Descriptor m_userFd;
    base::Descriptor m_folderFd;
    bool m_taken = false;
    Holder m_holder = Holder::Nobody;
    QString m_folderHolder;
    QString m_refusal;
};

// The login name of the user the program runs as, from the password database (never from the
// environment, which the user sets); the user's number where the database has no name.
QString loginName();

// The name of the program folder's lock file.
inline constexpr char kFolderLockName[] = "Kelvane.lock";

// The screen's width and height in device pixels, in single precision as the windows use them.
// `screen` null: the primary screen.
struct ScreenSize
{
    float width = 0;
    float height = 0;
};
ScreenSize screenSize(const QScreen *screen = nullptr);
// The screen's rectangle on the desktop, in device pixels; full-screen windows cover exactly
// this. `screen` null: the primary screen.
QRect screenGeometry(const QScreen *screen = nullptr);

// The dots per inch of the desktop as a whole, as the display server gives them (an X screen's
// own size): what Qt takes for a monitor that reports no size of its own. 0 where there is no
// such figure (Wayland, offscreen).
double desktopDpi();

// Tells when a monitor has come or gone or its size in millimetres or its names have changed,
// once Qt has taken the change in. Qt signals a monitor added or removed and a new geometry, but
// takes a monitor's new size or names in place without a word: on X one monitor replaced by
// another at the same place and resolution (a projector swapped, a mirror of another size)
// reaches a program that was busy for a moment as one such change, and a calibration or a note
// judged for the old monitor would stand. Says nothing where the display server is not X.
class MonitorWatch final : public QObject
{
    Q_OBJECT

public:
    MonitorWatch();
    ~MonitorWatch() override;
    MonitorWatch(const MonitorWatch &) = delete;
    MonitorWatch &operator=(const MonitorWatch &) = delete;

Q_SIGNALS:
    void changed();

private:
    struct Seen
    {
        QString name;
        QString manufacturer;
        QString model;
        QString serialNumber;
        QSizeF physicalSize;
        bool operator==(const Seen &) const = default;
    };
    static QList<Seen> seenNow();
    void lookSoon();

    QList<Seen> m_seen;
    bool m_lookPending = false;
    std::unique_ptr<QAbstractNativeEventFilter> m_events;
};

// Where the pointer stands, in device pixels from the top left corner of `screen` (null: the
// primary screen): outside the screen's rectangle while it stands on another monitor.
QPointF pointerPosition(const QScreen *screen = nullptr);

// Keeps the pointer inside `window` for as long as the window is shown and has the keyboard:
// on the patient's monitor the cross is the patient's mark, and a pointer that slips onto the
// clinician's monitor leaves the patient with nothing to move. Given back when the window hides
// or another window takes the keyboard (the clinician switched to another program).
void confinePointer(QWindow *window);

// Whether a window manager (or a Wayland compositor) places the program's windows: it then
// maximizes a window and makes one full screen when asked, and restores it to the size the
// window had before. Without one, a window keeps the geometry the program gives it.
bool windowManagerRunning();

} // namespace platform
