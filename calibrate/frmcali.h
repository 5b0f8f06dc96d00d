#pragma once

#include "clinic/calibration.h"
#include "forms/formwindow.h"
#include "forms/frmcali_design.h"

class Navigation;

// The values the calibration screen holds from one opening to the next: how many pixels make
// 150 mm across (ScreenH) and down (ScreenV).
struct FrmCaliValues
{
    double ScreenH = 0;
    qint16 ScreenV = 0;
};

// The calibration screen: the clinician holds a ruler to the screen and steps each mark until
// it lies 150 mm from the corner of the axes, or 100 or 50 mm where 150 mm does not fit on the
// screen; "Done" stores both as pixels per 150 mm, "Cancel" leaves the stored ones as they are.
// Where nothing was calibrated on this monitor yet and it reports its size, one button puts the
// marks where that size says, so that only the fine adjustment is left. The window has no key
// handling of its own: keys go to the focused control.
class FrmCali final : public FormWindow
{
    Q_OBJECT
public:
    FrmCali(FrmCaliValues &values, Navigation &program, QWidget *parent = nullptr);

    void Form_Load();

    void HScroll1_Change();
    void VScroll1_Change();
    void MonitorSize_Click();
    void Done_Click();
    void Cancel_Click();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    FrmCaliValues &m_values;
    Navigation &m_program;
    FrmCaliDesign ui;
    // The lengths in millimetres this opening asks for, across and down: each step bar counts
    // the pixels of its length.
    int m_lengthH = clinic::kCalibrationLengthMm;
    int m_lengthV = clinic::kCalibrationLengthMm;
    // The calibration values the monitor's reported size gives; 0 where it reports none.
    double m_reportedH = 0;
    double m_reportedV = 0;
};
