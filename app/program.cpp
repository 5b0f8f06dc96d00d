#include "app/program.h"

#include "forms/design.h"
#include "forms/frmpicture.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

Program::Program(QByteArray programFolder, QByteArray guardFolder)
    : m_programFolder(std::move(programFolder))
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
    }
}

void Program::showForm1()
{
    if (auto *window = load<Form1>(m_form1Values))
        design::showFullScreen(window, patientScreen());
}

void Program::showFrmCali()
{
    if (auto *window = load<FrmCali>(m_frmCaliValues)) {
        m_frmCali = window;
        design::showFullScreen(window, patientScreen());
    }
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

void Program::endProgram()
{
    m_ended = true;
    QCoreApplication::exit(0);
}

QScreen *Program::patientScreen() const
{
    return QGuiApplication::primaryScreen();
}

QByteArray Program::programFolder() const
{
    return m_programFolder.isEmpty() ? platform::programFolder() : m_programFolder;
}
