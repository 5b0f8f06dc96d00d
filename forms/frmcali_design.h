#pragma once

#include <QColor>
#include <QLineF>
#include <QObject>
#include <QScrollBar>

class QLabel;
class QPainter;
class QPushButton;
class QWidget;

// A line drawn on the window's own surface, beneath its controls: one pixel wide and solid,
// between two end points in window pixels. Its owner paints it (paintLines); moving it asks
// the owner to repaint. It is an object of the window so that it can be found by name.
class DesignLine final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QLineF points READ points)
public:
    DesignLine(QWidget *window, const char *name, QColor colour);

    // End points are single-precision numbers, as the window computes them.
    void setPoints(float x1, float y1, float x2, float y2);
    QLineF points() const { return m_points; }
    void paint(QPainter &painter) const;

private:
    QWidget *m_window;
    QColor m_colour;
    QLineF m_points;
};

// A scroll bar that is only as long as its two arrow buttons, so that it works as a pair of
// step buttons: each press on an arrow, and each arrow key while it has the focus, moves the
// value by exactly one. There is no slider and no track: nothing on it can make the value
// jump, neither a drag, a held button, the wheel, Home/End nor the context menu.
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
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
#if QT_CONFIG(contextmenu)
    void contextMenuEvent(QContextMenuEvent *event) override;
#endif

private:
    // The arrow held down, drawn sunken until the button is released.
    int m_pressed = 0;
};

// The calibration screen as it is created: the two axes with their marks, the two step bars
// with their readouts, the instruction picture, the two captions and the two buttons. The
// controls belong to the window passed to setupUi().
struct FrmCaliDesign
{
    DesignLine *Xline = nullptr;
    DesignLine *Yline = nullptr;
    DesignLine *Xcursor = nullptr;
    DesignLine *Ycursor = nullptr;
    StepBar *HScroll1 = nullptr;
    QLabel *HPO = nullptr;
    StepBar *VScroll1 = nullptr;
    QLabel *VPO = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *resolu = nullptr;
    QLabel *cali = nullptr;
    QPushButton *Cancel = nullptr;
    QPushButton *Done = nullptr;

    void setupUi(QWidget *FrmCali);
    // Draws the four lines; the window calls this from its paintEvent.
    void paintLines(QPainter &painter) const;
};
