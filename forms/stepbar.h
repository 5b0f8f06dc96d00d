#pragma once

#include <QScrollBar>

// A scroll bar that is only as long as its two arrow buttons, so that it works as a pair of
// step buttons: each press on an arrow, and each arrow key while it has the focus, moves the
// value by exactly one; an arrow held down, like a key held down, repeats that step. Page Up,
// Page Down and each notch of the wheel move it by ten, for the coarse part of the way. There
// is no slider and no track: neither a drag, Home/End nor the context menu moves it.
class StepBar final : public QScrollBar
{
    Q_OBJECT
public:
    StepBar(Qt::Orientation orientation, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
#if QT_CONFIG(contextmenu)
    void contextMenuEvent(QContextMenuEvent *event) override;
#endif

private:
    // Steps once towards the held arrow and repeats after `repeatAfter` ms while it is held.
    void step(int repeatAfter);
    void stopStepping();

    // The arrow held down, drawn sunken until the button is released.
    int m_pressed = 0;
    bool m_pointerOutside = false;
    // What a fine-grained wheel (a touchpad) has turned short of a whole notch.
    int m_wheelTurned = 0;
};
