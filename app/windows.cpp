#include "app/windows.h"

#include "app/platform.h"
#include "calibrate/frmcali.h"
#include "forms/design.h"
#include "forms/frmpicture.h"
#include "measure/form1.h"
#include "start/frmstart.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

namespace windows {
namespace {
// What each window holds in its own variables: it lives as long as the program, while the
// window and its controls come and go.
frmstartValues s_frmstartValues;
Form1Values s_form1Values;
FrmCaliValues s_frmCaliValues;

QPointer<QWidget> s_current;
QPointer<FrmCali> s_frmCali;
QPointer<frmpicture> s_frmpicture;

// Runs the window's loading; a loading that ended the program leaves no window behind.
template<typename Window> Window *load(Window *window)
{
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->Form_Load();
    if (platform::programEnded()) {
        delete window;
        return nullptr;
    }
    return window;
}
} // namespace

void showFrmstart()
{
    if (auto *window = load(new frmstart(s_frmstartValues))) {
        s_current = window;
        // On the primary screen, like the full-screen windows and the resolution it shows.
        // Without a window manager nobody maximizes the window for us: it takes the screen's
        // room itself, and a window manager then maximizes it there.
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            window->setGeometry(screen->availableGeometry());
        window->showMaximized();
    }
}

void showForm1()
{
    if (auto *window = load(new Form1(s_form1Values))) {
        s_current = window;
        design::showFullScreen(window);
    }
}

void showFrmCali()
{
    if (auto *window = load(new FrmCali(s_frmCaliValues))) {
        s_current = window;
        s_frmCali = window;
        design::showFullScreen(window);
    }
}

void unloadFrmCali()
{
    if (s_frmCali)
        s_frmCali->close();
}

frmpicture &loadFrmpicture()
{
    if (!s_frmpicture) {
        s_frmpicture = new frmpicture;
        s_frmpicture->setAttribute(Qt::WA_DeleteOnClose);
    }
    return *s_frmpicture;
}

void unloadFrmpicture()
{
    if (s_frmpicture) {
        // Never shown, so close() would not delete it.
        delete s_frmpicture.data();
    }
}

bool frmpictureLoaded()
{
    return !s_frmpicture.isNull();
}

QWidget *current()
{
    return s_current;
}

void resetValues()
{
    s_frmstartValues = {};
    s_form1Values = {};
    s_frmCaliValues = {};
}

} // namespace windows
