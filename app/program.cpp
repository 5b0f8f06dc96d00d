#include "app/program.h"

#include "app/installation.h"

#include "forms/design.h"
#include "forms/frmpicture.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cstdio>

namespace {
// Refuses the window system's close of a full-screen screen (Alt+F4, a panel's "Close") and
// leaves by the screen's own way back instead, as Esc does. Accepted, the close would take the
// program's last window, and the program would end without asking about the visit.
class LeaveOnClose final : public QObject
{
public:
    LeaveOnClose(QWidget *window, std::function<void()> wayBack)
        : QObject(window)
        , m_wayBack(std::move(wayBack))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Close || !event->spontaneous())
            return QObject::eventFilter(watched, event);
        // The way back closes the window itself, which it cannot do inside this close.
        event->ignore();
        QMetaObject::invokeMethod(this, m_wayBack, Qt::QueuedConnection);
        return true;
    }

private:
    std::function<void()> m_wayBack;
};
} // namespace

Program::Program(QByteArray programFolder, QByteArray guardFolder, clinic::Clock clock)
    : m_programFolder(std::move(programFolder))
    , m_clock(std::move(clock))
    , m_guard(std::move(guardFolder), this->programFolder())
{
}

Program::~Program()
{
    // The windows go with the program; the picture holder was never shown, so close() would
    // not delete it.
    delete m_frmpicture.data();
    delete m_frmCali.data();
    delete m_current.data();
}

// Runs the window's loading; a loading that ended the program leaves no window behind.
template<typename Window, typename Values> Window *Program::load(Values &values)
{
    auto *window = new Window(values, *this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->Form_Load();
    if (m_ended) {
        delete window;
        return nullptr;
    }
    m_current = window;
    return window;
}

void Program::showFrmstart()
{
    if (auto *window = load<frmstart>(m_frmstartValues)) {
        // Asked once: each asking waits for the display server's answers.
        const bool managed = platform::windowManagerRunning();
        // On the primary screen, like the full-screen windows and the resolution it shows.
        if (const QScreen *screen = patientScreen()) {
            const QRect room = screen->availableGeometry();
            if (managed) {
                // The window manager maximizes the window and, when the user restores it, gives
                // it back the geometry it had before: the design's client area, in the middle of
                // the free room, so that it stands whole on the screen with its frame.
                QRect restored(QPoint(), window->size());
                restored.moveCenter(room.center());
                restored.moveTopLeft(QPoint(
                    std::max(restored.left(), room.left()), std::max(restored.top(), room.top())));
                window->setGeometry(restored);
            } else {
                // Nobody maximizes the window for us: it takes the screen's room itself.
                window->setGeometry(room);
            }
        }
        window->showMaximized();
        // Back from the measurement or the calibration, the keyboard goes on with this window.
        if (managed) {
            window->raise();
            window->activateWindow();
        }
        followMonitors(window);
    }
}

// The clinician moves the start screen onto the patient's monitor before starting, or the
// monitors change while it is open: what it shows and saves (the calibration in use, its note,
// the resolution) becomes that monitor's, as the measurement will be; a monitor replaced by one
// of another size at its place changes the note on mirrors. Several signals in a row tell one
// change of the display, so the start screen looks again once they have all arrived.
void Program::followMonitors(frmstart *window)
{
    const QPointer<frmstart> open = window;
    const auto follow = [this, open] {
        if (!open || m_current != open)
            return;
        takePatientScreenFromStart();
        open->followScreen();
    };
    if (QWindow *handle = window->windowHandle())
        QObject::connect(handle, &QWindow::screenChanged, window, follow, Qt::QueuedConnection);
    const auto *application = qGuiApp;
    QObject::connect(
        application, &QGuiApplication::screenAdded, window, follow, Qt::QueuedConnection);
    QObject::connect(
        application, &QGuiApplication::screenRemoved, window, follow, Qt::QueuedConnection);
    for (const QScreen *screen : QGuiApplication::screens())
        QObject::connect(screen, &QScreen::geometryChanged, window, follow, Qt::QueuedConnection);
    QObject::connect(
        &m_monitors, &platform::MonitorWatch::changed, window, follow, Qt::QueuedConnection);
}

void Program::showForm1()
{
    QWidget *start = takePatientScreenFromStart();
    if (auto *window = load<Form1>(m_form1Values)) {
        leaveOnScreenChange(window, [window] { window->Form_MouseDown(Qt::RightButton); });
        showFullScreen(window, start);
    }
}

void Program::showHess(clinic::hess::Field widest)
{
    QWidget *start = takePatientScreenFromStart();
    m_hessValues.field = widest;
    if (auto *window = load<HessWindow>(m_hessValues)) {
        // A change of monitors or the window manager's close ends the test as Esc does: what
        // was measured before it stays.
        leaveOnScreenChange(window, [window] { window->ReturnToStart(); });
        showFullScreen(window, start);
    }
}

void Program::keepHessTests(const QList<clinic::hess::Test> &tests)
{
    m_visit.addHessRun(tests);
}

void Program::showFrmCali()
{
    QWidget *start = takePatientScreenFromStart();
    if (auto *window = load<FrmCali>(m_frmCaliValues)) {
        m_frmCali = window;
        leaveOnScreenChange(window, [window] { window->Cancel_Click(); });
        showFullScreen(window, start);
    }
}

// With two or more monitors the clinician moves the start screen onto the patient's monitor
// before starting: the measurement and the calibration open where the start screen stands.
QWidget *Program::takePatientScreenFromStart()
{
    auto *start = qobject_cast<frmstart *>(m_current.data());
    if (!start)
        return nullptr;
    // The monitor that holds most of the window; Qt's own idea of the window's screen follows
    // the window manager's moves only as far as the events it has seen.
    const QRect frame = start->frameGeometry();
    QScreen *most = start->screen();
    qint64 mostArea = 0;
    for (QScreen *screen : QGuiApplication::screens()) {
        const QRect common = screen->geometry().intersected(frame);
        const qint64 area = qint64(common.width()) * common.height();
        if (!common.isEmpty() && area > mostArea) {
            most = screen;
            mostArea = area;
        }
    }
    m_patientScreen = most;
    return start;
}

// A full-screen screen in place of the start screen that opened it, which goes first. A window
// manager that maps the new window before it hears of the start screen's unmap can then lose the
// focus that the X server takes back from the start screen: the new window is left without the
// keyboard and under the panels (xfwm4 does, now and then, when it is busy).
void Program::showFullScreen(QWidget *window, QWidget *start)
{
    if (start)
        start->hide();
    design::showFullScreen(window, patientScreen());
}

// The sizes, the ring's place and the calibration of the open screen belong to the monitor as
// it was when the screen opened. When the monitors change under it (a new resolution, a monitor
// plugged in, out or replaced, the patient's monitor moved), the screen goes back to the start
// screen by its own way back, saving nothing; the start screen then shows the monitors as they
// are now. The return waits until the change has been told in full: one change of the display
// arrives as several signals in a row.
void Program::leaveOnScreenChange(QWidget *window, std::function<void()> wayBack)
{
    const QPointer<QWidget> open = window;
    const auto leave = [this, open, wayBack = std::move(wayBack)] {
        if (open && m_current == open)
            wayBack();
    };
    // The window manager's close goes the same way back.
    new LeaveOnClose(window, leave);

    const auto *application = qGuiApp;
    QObject::connect(
        application, &QGuiApplication::screenAdded, window, leave, Qt::QueuedConnection);
    QObject::connect(
        application, &QGuiApplication::screenRemoved, window, leave, Qt::QueuedConnection);
    if (const QScreen *screen = patientScreen())
        QObject::connect(screen, &QScreen::geometryChanged, window, leave, Qt::QueuedConnection);
    QObject::connect(
        &m_monitors, &platform::MonitorWatch::changed, window, leave, Qt::QueuedConnection);
}

// Over the start screen, which stays open under it: the clinician reads the results, copies or
// prints them and comes back to the options to measure again.
void Program::showResults()
{
    auto *start = qobject_cast<frmstart *>(m_current.data());
    if (!start)
        return;
    if (m_frmResults) {
        m_frmResults->raise();
        m_frmResults->activateWindow();
        return;
    }
    auto *window = new FrmResults(m_visit, m_clock, start);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowModality(Qt::WindowModal);
    // A visit cleared there takes the start screen's "Results" away with it.
    QObject::connect(window, &QDialog::finished, start, &frmstart::Form_Activate);
    m_frmResults = window;
    window->show();
    window->raise();
    window->activateWindow();
}

void Program::newPatient()
{
    auto *start = qobject_cast<frmstart *>(m_current.data());
    if (start && askNewPatient(start, m_visit))
        start->Form_Activate();
}

void Program::unloadFrmCali()
{
    if (m_frmCali)
        m_frmCali->close();
}

frmpicture &Program::loadFrmpicture()
{
    if (!m_frmpicture) {
        m_frmpicture = new frmpicture;
        m_frmpicture->setAttribute(Qt::WA_DeleteOnClose);
    }
    return *m_frmpicture;
}

void Program::unloadFrmpicture()
{
    // Never shown, so close() would not delete it.
    delete m_frmpicture.data();
}

bool Program::anotherInstanceRunning()
{
    m_holder = m_guard.take();
    return m_holder != platform::InstanceGuard::Holder::Nobody;
}

QString Program::turnedAway() const
{
    if (m_holder == platform::InstanceGuard::Holder::Refused)
        return m_guard.refusal();
    const QString holder = inUseBy();
    return QCoreApplication::translate("Program",
        "Kelvane is in use on this computer by %1. One person at a time can use "
        "it: try again when it has been closed.")
        .arg(holder.isEmpty() ? QCoreApplication::translate("Program", "another user") : holder);
}

// The lock is taken from under a running instance only by someone who removed or replaced it and
// started the program since: ending this one would lose the clinician's visit, and it cannot tell
// whether the other has written the file meanwhile. It keeps running and stops saving until it is
// started again, also once the other has ended: only a start reads the file afresh under a lock
// of its own, and two instances saving in turn would overwrite each other's settings.
bool Program::keepInstanceGuard()
{
    if (!m_savingStopped.isEmpty())
        return false;
    if (m_guard.keep() != platform::InstanceGuard::Holder::OtherUser)
        return true;
    const QString holder = inUseBy();
    m_savingStopped
        = QCoreApplication::translate("Program",
            "Kelvane's lock was taken: Kelvane is now in use by %1 as well. Until this Kelvane is "
            "started again it saves neither options nor calibration: the other one does. This "
            "visit's results stay here to copy, save or print.")
              .arg(holder.isEmpty() ? QCoreApplication::translate("Program", "another user")
                                    : holder);
    std::fprintf(stderr, "kelvane: %s\n", qPrintable(m_savingStopped));
    if (auto *start = qobject_cast<frmstart *>(m_current.data()))
        start->showSavingNote();
    return false;
}

QString Program::savingStopped()
{
    keepInstanceGuard();
    return m_savingStopped;
}

std::unique_ptr<QMessageBox> noticeBox(const QString &text, QWidget *parent)
{
    auto box = std::make_unique<QMessageBox>(QMessageBox::Information,
        QCoreApplication::translate("Program", "Kelvane"), text, QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText);
    return box;
}

void Program::endProgram()
{
    m_ended = true;
    QCoreApplication::exit(0);
}

QScreen *Program::patientScreen() const
{
    return m_patientScreen ? m_patientScreen.data() : QGuiApplication::primaryScreen();
}

QByteArray Program::programFolder() const
{
    return m_programFolder.isEmpty() ? installedSettingsFolder() : m_programFolder;
}

// A shared install keeps its settings in a folder of their own, set when it was built, so that
// the program's folder (and Qt's plugins beside the executable) can stay root's and read-only.
QByteArray Program::installedSettingsFolder()
{
    constexpr char configured[] = KELVANE_SETTINGS_DIR;
    return configured[0] != '\0' ? QByteArray(configured) : platform::programFolder();
}
