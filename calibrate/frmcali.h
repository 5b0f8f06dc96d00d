#pragma once

#include "forms/formwindow.h"
#include "forms/frmcali_design.h"

// The values the calibration screen holds from one opening to the next.
struct FrmCaliValues
{
    double ScreenH = 0;
    qint16 ScreenV = 0;
};

// The calibration screen.
class FrmCali final : public FormWindow
{
    Q_OBJECT
public:
    explicit FrmCali(FrmCaliValues &values, QWidget *parent = nullptr);

    void Form_Load();
    bool Form_KeyPress(int KeyAscii) override;

private:
    FrmCaliValues &m_values;
    FrmCaliDesign ui;
};
