#pragma once

#include <QScrollBar>

// A scroll bar that is only as long as its two arrow buttons, so that it works as a pair of
// step buttons: each press on an arrow, and each arrow key while it has the focus, moves the
// value by exactly one; an arrow held down, like a key held down, repeats that step. There is
// no slider and no track: nothing on it can make the value jump, neither a drag, the wheel,
// Home/End nor the context menu.
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
};
