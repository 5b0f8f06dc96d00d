#pragma once

#include "clinic/calibrationjudgement.h"
#include "clinic/hess.h"
#include "forms/formwindow.h"
#include "forms/frmstart_design.h"
#include "platform/platform.h"
#include "settings/ini.h"

#include <QList>

class Navigation;

// The values the start screen holds, one per setting; they outlive the window from one
// opening to the next.
struct frmstartValues : settings::Values
{
    // The Hess test's field as last chosen; not in the settings file.
    clinic::hess::Field hessField = clinic::hess::Field::Inner;
    // Saved beside the five, under a key of its own.
    int distanceCm = clinic::hess::kDistanceDefaultCm;
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
    void Command4_Click();
    void Command5_Click();

    // The start screen is the active window again (the results window over it has closed):
    // "Results" is offered while the visit holds a result.
    void Form_Activate();

    // The window stands on another monitor now, or its monitor changed: the calibration in use,
    // its note and the captions are those of the patient's monitor as it is now.
    void followScreen();
    // The note across the bottom, anew: whether the options and the calibration shown are not in
    // the settings file (a save failed, or this instance no longer saves), and why.
    void showSavingNote();

protected:
    // The window manager's close button and Alt+F4 leave as "Exit" does, asking the same.
    void closeEvent(QCloseEvent *event) override;

private:
    void applyCalibration();
    // Returns why the save failed, in the system's words; empty when it is done.
    base::Expected<void> SaveSettings();
    void showCalibrationNote(
        const clinic::CalibrationJudgement &judgement, const QString &mirrored);
    void saveForNextScreen();
    // Whether the Hess fields fit the patient's monitor at the distance chosen, anew.
    void showHessFits();
    void warnNotSaved(const QString &error);
    bool exitWithoutSaving(const QString &error);
    bool exitDiscardingResults();
    bool mayExit();
    void exitProgram();

    frmstartValues &m_values;
    Navigation &m_program;
    frmstartDesign ui;
    // What the next save writes beside the five values: a calibration record put back into
    // use, stored values set aside.
    QList<profile::Entry> m_calibrationEntries;
    // The file as it was read at loading: the five values, the records, why it was refused.
    settings::Snapshot m_loaded;
    // The calibration as the file held it at loading, before this monitor's rules applied.
    double m_readH = 0;
    qint16 m_readV = 0;
    // The patient's monitor in pixels, as the calibration was worked out for.
    platform::ScreenSize m_screenSize;
    // The file's distance could not be used: the note across the top says so.
    bool m_distanceFellBack = false;
};
