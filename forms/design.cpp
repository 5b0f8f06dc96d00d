#include "forms/design.h"

#include "platform/platform.h"

#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace design {

qreal logicalDpi()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchX() : 96.0;
}

int twipsToPixels(int twips, qreal dpi)
{
    return int(std::lround(twips * dpi / kTwipsPerInch));
}

void place(QWidget *widget, int left, int top, int width, int height)
{
    const qreal dpi = logicalDpi();
    widget->setGeometry(twipsToPixels(left, dpi), twipsToPixels(top, dpi),
        twipsToPixels(width, dpi), twipsToPixels(height, dpi));
}

QColor systemColour(SystemColour colour)
{
    switch (colour) {
    case WindowFrame:
    case WindowText:
    case ButtonText:
        return QColor(0, 0, 0);
    case CaptionText:
        return QColor(255, 255, 255);
    case ActiveBorder:
    case ButtonFace:
        return QColor(192, 192, 192);
    case AppWorkspace:
    case ButtonShadow:
        return QColor(128, 128, 128);
    }
    return QColor(0, 0, 0);
}

void setColours(QWidget *widget, SystemColour back, SystemColour text)
{
    QPalette palette = widget->palette();
    for (auto role : {QPalette::Window, QPalette::Button, QPalette::Base})
        palette.setColor(role, systemColour(back));
    for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        palette.setColor(role, systemColour(text));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QFont boldFont(qreal pointSize)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(true);
    return font;
}

void showFullScreen(QWidget *window, const QScreen *screen)
{
    window->setWindowFlag(Qt::FramelessWindowHint);
    // Without a window manager the geometry alone covers the screen. A window manager is asked
    // for the full-screen state, which lifts the window over the panels that it keeps ordinary
    // windows out of; under Wayland the window becomes a full-screen surface.
    window->setGeometry(platform::screenGeometry(screen));
    window->showFullScreen();
}

} // namespace design
