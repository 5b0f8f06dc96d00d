#pragma once

#include "clinic/visit.h"
#include "forms/form1_design.h"
#include "forms/formwindow.h"
#include "settings/ini.h"

class Navigation;

// The values the measurement screen holds from one opening to the next. All are 0 before the
// first opening; an opening that does not set one keeps what the previous opening left. The
// five settings are taken as read from the file, without a range test of their own.
struct Form1Values : settings::Values
{
    float ScrWidth = 0;
    qint16 ScrHeight = 0;
    qint16 CursorID = 0; // the pointer image in use: 101, 102, 103, or 0 for none yet
    // The last recorded pointer position, in screen pixels.
    float MouseX = 0;
    qint16 MouseY = 0;
    // The vertical offset in pixels, then the shown result rounded to one decimal.
    float VDiff = 0;
    // The patient's distance from the screen, which the results are worked out for.
    int distanceCm = clinic::kViewingDistanceCm;
};

// The measurement screen: black, borderless, covering the whole screen. The fixing eye sees
// the ring in `target`, the other eye the cross pointer; a left click turns the pointer's
// offset from the ring into prism dioptres, a right click or Esc goes back to the start screen.
class Form1 final : public FormWindow
{
    Q_OBJECT
public:
    Form1(Form1Values &values, Navigation &program, QWidget *parent = nullptr);
    // A screen that goes any other way than back to the start (the program ends, the desktop
    // closes it) still leaves its result in the visit.
    ~Form1() override;

    void Form_Load();
    bool Form_KeyPress(int KeyAscii) override;

    // Pointer positions in pixels: on the window's background (which is the screen), or
    // relative to the top left corner of `target`.
    void Form_MouseMove(float X, float Y);
    void target_MouseMove(float X, float Y);
    void Form_MouseDown(Qt::MouseButton Button);
    void target_MouseDown(Qt::MouseButton Button);

protected:
    void showEvent(QShowEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void MeasureDeviation();
    void ReturnToStart();
    void CopyResult();
    void RecordResult();

    Form1Values &m_values;
    Navigation &m_program;
    Form1Design ui;
    // The last result of this opening with what it was measured with, for the clinic's record;
    // not measured until the first click.
    clinic::VisitResult m_result;
    // This opening's result is in the visit: it goes there once, however the screen is left.
    bool m_recorded = false;
    bool m_pointerConfined = false;
};
