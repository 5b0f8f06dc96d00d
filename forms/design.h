#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QScreen;
class QWidget;

// What every window design shares: design units, the desktop colours and the design font.
namespace design {

// Designs are laid out in twips (1/1440 inch); at run time everything is in pixels.
inline constexpr int kTwipsPerInch = 1440;

// The screen's logical dots per inch: 96 gives 15 twips per pixel, 120 gives 12.
qreal logicalDpi();
int twipsToPixels(int twips, qreal dpi = logicalDpi());
// Places `widget` at a design box given in twips, relative to its container.
void place(QWidget *widget, int left, int top, int width, int height);

// Desktop system colours by their number in the Windows system-colour table, fixed to the
// standard scheme so that the screens look the same on every desktop theme.
enum SystemColour {
    WindowFrame = 6,
    WindowText = 8,
    CaptionText = 9,
    ActiveBorder = 10,
    AppWorkspace = 12,
    ButtonFace = 15,
    ButtonShadow = 16,
    ButtonText = 18,
};
QColor systemColour(SystemColour colour);
// Opaque back colour and text colour of a control or window.
void setColours(QWidget *widget, SystemColour back, SystemColour text = ButtonText);

// The designs' one face, bold, at the given point size; the window default font otherwise.
QFont boldFont(qreal pointSize);

// Shows a borderless window over the whole of `screen` (null: the primary screen), in the
// full-screen state. The geometry is set as well, so that it holds with or without a window
// manager.
void showFullScreen(QWidget *window, const QScreen *screen);

} // namespace design
