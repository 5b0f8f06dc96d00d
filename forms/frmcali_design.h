#pragma once

#include "forms/designline.h"
#include "forms/stepbar.h"
#include "forms/valuebox.h"

class QComboBox;
class QLabel;
class QPainter;
class QPushButton;
class QWidget;

// The calibration screen as it is created: the two axes with their marks; for each axis the
// length to set its mark at, chosen from a list, its step bar and its value per 150 mm; the
// instruction picture with the lengths, the monitor and the instructions written on it; the two
// captions, the button that takes the monitor's own size and the two buttons that leave. The
// controls belong to the window passed to setupUi().
struct FrmCaliDesign
{
    DesignLine *Xline = nullptr;
    DesignLine *Yline = nullptr;
    DesignLine *Xcursor = nullptr;
    DesignLine *Ycursor = nullptr;
    QLabel *HLength = nullptr;
    QComboBox *HChoice = nullptr;
    StepBar *HScroll1 = nullptr;
    ValueBox *HPO = nullptr;
    QLabel *VLength = nullptr;
    QComboBox *VChoice = nullptr;
    StepBar *VScroll1 = nullptr;
    ValueBox *VPO = nullptr;
    QPushButton *MonitorSize = nullptr;
    QLabel *Image1 = nullptr;
    // Written on the instruction picture: the length beside each arc, the monitor the
    // calibration is for, and the instructions.
    QLabel *HArcLength = nullptr;
    QLabel *VArcLength = nullptr;
    QLabel *MonitorName = nullptr;
    QLabel *Instructions = nullptr;
    QLabel *resolu = nullptr;
    QLabel *cali = nullptr;
    QPushButton *Cancel = nullptr;
    QPushButton *Done = nullptr;

    void setupUi(QWidget *FrmCali);
    // Places the texts written on the picture once the window has set them: each length beside
    // its arc, the monitor and the instructions in the picture's free corner, their face made
    // smaller where a large font would not fit them there.
    void placeOnThePicture();
    // Draws the four lines; the window calls this from its paintEvent.
    void paintLines(QPainter &painter) const;
};
