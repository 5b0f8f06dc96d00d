#pragma once

#include "forms/formwindow.h"
#include "forms/frmstart_design.h"
#include "settings/ini.h"

class Navigation;

// The values the start screen holds, one per setting; they outlive the window from one
// opening to the next.
struct frmstartValues : settings::Values
{
};

// The start screen: the test options, the calibration values and the ways into the
// measurement and the calibration. Every way out saves the options first.
class frmstart final : public FormWindow
{
    Q_OBJECT
public:
    frmstart(frmstartValues &values, Navigation &program, QWidget *parent = nullptr);

    void Form_Load();
    bool Form_KeyPress(int KeyAscii) override;

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

private:
    void SaveSettings();
    void showCalibrationNote(
        settings::Stored storedH, settings::Stored storedV, float width, float height);

    frmstartValues &m_values;
    Navigation &m_program;
    frmstartDesign ui;
};
