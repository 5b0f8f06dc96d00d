#pragma once

#include <QWidget>

// The character code of the Esc key, as the window key handlers receive it.
inline constexpr int kKeyEscape = 27;

// A window of the program. It sees every key press before the control that has the focus
// ("key preview"): a window handler can act on Esc whichever control is focused.
class FormWindow : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;

    // Receives the character code of a key pressed anywhere in the window. Returns true when
    // the window has used the key, so that the focused control does not see it.
    virtual bool Form_KeyPress(int KeyAscii)
    {
        Q_UNUSED(KeyAscii);
        return false;
    }
};
