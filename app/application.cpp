#include "app/application.h"
#include "app/version.h"

#include "forms/classicstyle.h"
#include "forms/formwindow.h"
#include "pictures/picture.h"

#include <QIcon>
#include <QKeyEvent>
#include <QPixmap>
#include <QTimer>

namespace {
// The icon follows the first frame by this much: by then the frame is on the screen, and the
// icon's pictures are neither decoded nor sent to the X server while it still draws that frame.
constexpr int kIconDelay = 250; // ms
} // namespace

Application::Application(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("kelvane"));
    // The report names the version its numbers were measured with.
    setApplicationVersion(QStringLiteral(KELVANE_VERSION));
    // Lets desktops match the windows to the installed launcher entry.
    setDesktopFileName(QStringLiteral("org.kelvane.Kelvane"));
    // The design's colours, without the gradients and tints of the desktop themes.
    setStyle(new ClassicStyle);
}

void Application::setProgramIcon()
{
    if (m_icon == Icon::Set)
        return;
    m_icon = Icon::Set;
    // Every window shows the launcher's icon in task lists and window switchers; it is drawn
    // from the desktop entry's SVG by tools/make_icon. Up to 64 pixels: every window sends all
    // sizes to the X server when it opens, and each larger one would cost the start and every
    // change of screen more than the rest together, for views that take the launcher's icon.
    QIcon icon;
    for (const int size : {16, 32, 48, 64})
        icon.addPixmap(
            QPixmap::fromImage(readPicture(QStringLiteral(":/pictures/icon_%1.png").arg(size))));
    setWindowIcon(icon);
}

int Application::keyAscii(const QKeyEvent &event)
{
    if (event.key() == Qt::Key_Escape)
        return kKeyEscape;
    // Ctrl with a letter is the letter's control character (Ctrl+C is 3), whatever text the
    // platform attaches to the key.
    const int key = event.key();
    if ((event.modifiers() & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z)
        return key - Qt::Key_A + 1;
    const QString text = event.text();
    return text.isEmpty() ? 0 : text.at(0).unicode();
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    // The icon waits until the first window has been drawn: reading and sending it is the
    // largest thing at the start that the clinician does not need to see the start screen,
    // and window managers take a window's icon whenever it comes.
    if (m_icon == Icon::Waiting && event->type() == QEvent::Paint && receiver->isWidgetType()
        && static_cast<QWidget *>(receiver)->isWindow()) {
        m_icon = Icon::Scheduled;
        QTimer::singleShot(kIconDelay, this, &Application::setProgramIcon);
    }
    // notify() runs once per key press; Qt's own propagation to the parents happens inside
    // the base class, so the window's handler sees each press exactly once, and first.
    if (event->type() == QEvent::KeyPress && receiver->isWidgetType()) {
        auto *window = qobject_cast<FormWindow *>(static_cast<QWidget *>(receiver)->window());
        if (window && window->Form_KeyPress(keyAscii(*static_cast<QKeyEvent *>(event))))
            return true;
    }
    return QApplication::notify(receiver, event);
}
