#pragma once

#include "forms/formwindow.h"
#include "forms/frmstart_design.h"

// The values the start screen holds; they outlive the window from one opening to the next.
struct frmstartValues
{
    double Filter = 0;
    double Target = 0;
    double FixEye = 0;
    double ScreenH = 0;
    qint16 ScreenV = 0;
};

// The start screen: the test options, the calibration values and the ways into the
// measurement and the calibration. Every way out saves the options first.
class frmstart final : public FormWindow
{
    Q_OBJECT
public:
    explicit frmstart(frmstartValues &values, QWidget *parent = nullptr);

    void Form_Load();
    bool Form_KeyPress(int KeyAscii) override;

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

private:
    void SaveSettings();

    frmstartValues &m_values;
    frmstartDesign ui;
};
