#pragma once

#include "clinic/calibration.h"
#include "forms/formwindow.h"
#include "forms/frmcali_design.h"

class Navigation;
class QComboBox;

// The values the calibration screen holds from one opening to the next: how many pixels make
// 150 mm across (ScreenH) and down (ScreenV).
struct FrmCaliValues
{
    double ScreenH = 0;
    qint16 ScreenV = 0;
};

// The calibration screen: the clinician holds a ruler to the screen and steps each mark until
// it lies at the length chosen for its axis from the corner line (150, 100 or 50 mm, the
// longest that fits offered first), or types the value; "Done" stores both as pixels per
// 150 mm, "Cancel" leaves the stored ones as they are. Where nothing was calibrated on this
// monitor yet and it reports its size, one button puts the marks where that size says, so that
// only the fine adjustment is left. A calibration counts as made here only once a person has
// measured it: where this monitor has none of its own, "Done" with a mark not moved asks first.
// The window has no key handling of its own: keys go to the focused control.
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
    enum class Axis { Across, Down };

    QScrollBar *bar(Axis axis) const;
    ValueBox *valueBox(Axis axis) const;
    QComboBox *choice(Axis axis) const;
    int &length(Axis axis);
    QList<double> &placed(Axis axis);
    float screenSize(Axis axis) const;
    double value(Axis axis) const;

    // Puts the mark where `wanted` stands on the length asked for and holds what it measures
    // (clinic::heldValue): a value the screen placed, not one the clinician stepped to.
    void placeMark(Axis axis, double wanted);
    void lengthChosen(Axis axis);
    void valueTyped(Axis axis);
    // The texts that say the lengths asked for, and those that show the values as they stand.
    void showLengths();
    void showValues();
    clinic::MarkAtDone atDone(Axis axis) const;
    // The question before "Done" records a calibration no ruler may have checked.
    bool rulerChecked();

    FrmCaliValues &m_values;
    Navigation &m_program;
    FrmCaliDesign ui;
    // The lengths in millimetres asked for, across and down: each step bar counts the pixels of
    // its length.
    int m_lengthH = clinic::kCalibrationLengthMm;
    int m_lengthV = clinic::kCalibrationLengthMm;
    float m_width = 0;
    float m_height = 0;
    // The calibration values the monitor's reported size gives; 0 where its size is unknown.
    double m_reportedH = 0;
    double m_reportedV = 0;
    // The values the screen placed each mark at (clinic::MarkAtDone::placed).
    QList<double> m_placedH;
    QList<double> m_placedV;
    // This monitor at this resolution has a calibration of its own.
    bool m_calibratedHere = false;
};
