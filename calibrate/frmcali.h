#pragma once

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
// it lies 150 mm from the corner of the axes; "Done" stores both pixel counts, "Cancel" leaves
// the stored ones as they are. The window has no key handling of its own: keys go to the
// focused control.
class FrmCali final : public FormWindow
{
    Q_OBJECT
public:
    FrmCali(FrmCaliValues &values, Navigation &program, QWidget *parent = nullptr);

    void Form_Load();

    void HScroll1_Change();
    void VScroll1_Change();
    void Done_Click();
    void Cancel_Click();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    FrmCaliValues &m_values;
    Navigation &m_program;
    FrmCaliDesign ui;
};
