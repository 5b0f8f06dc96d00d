#pragma once

class QWidget;

// The calibration screen as it is created.
struct FrmCaliDesign
{
    void setupUi(QWidget *FrmCali);
};
