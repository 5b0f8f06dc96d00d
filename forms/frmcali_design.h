#pragma once

#include "forms/designline.h"
#include "forms/stepbar.h"

class QLabel;
class QPainter;
class QPushButton;
class QWidget;

// The calibration screen as it is created: the two axes with their marks, the length to set
// each mark at, the two step bars with their readouts, the instruction picture, the two
// captions, the button that takes the monitor's own size and the two buttons that leave. The
// controls belong to the window passed to setupUi().
struct FrmCaliDesign
{
    DesignLine *Xline = nullptr;
    DesignLine *Yline = nullptr;
    DesignLine *Xcursor = nullptr;
    DesignLine *Ycursor = nullptr;
    QLabel *HLength = nullptr;
    StepBar *HScroll1 = nullptr;
    QLabel *HPO = nullptr;
    QLabel *VLength = nullptr;
    StepBar *VScroll1 = nullptr;
    QLabel *VPO = nullptr;
    QPushButton *MonitorSize = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *resolu = nullptr;
    QLabel *cali = nullptr;
    QPushButton *Cancel = nullptr;
    QPushButton *Done = nullptr;

    void setupUi(QWidget *FrmCali);
    // Draws the four lines; the window calls this from its paintEvent.
    void paintLines(QPainter &painter) const;
};
