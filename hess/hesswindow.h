#pragma once

#include "clinic/hess.h"
#include "forms/formwindow.h"
#include "settings/ini.h"

#include <QList>

#include <vector>

class Navigation;
class QLabel;

// The values the Hess window holds from one opening to the next: the five settings as the
// measurement screen reads them, the field and distance of the test to run, and the pointer
// image in use.
struct HessValues : settings::Values
{
    clinic::hess::Field field = clinic::hess::Field::Inner;
    // The patient's distance from the screen: the targets stand at their angles from the eye
    // at this distance.
    int distanceCm = clinic::hess::kDistanceDefaultCm;
    qint16 CursorID = 0;
};

// The Hess test: black, borderless, covering the patient's monitor. One target at a time, for
// each fixing eye in turn (first the start screen's, then the other), in the same order: the
// ring in the fixing eye's colour, the cross in the other eye's. A left click records where
// the other eye's line of sight falls; Backspace goes back one point to test it again, Space
// skips one, Esc leaves keeping every point measured. The tests go to the program when the
// window leaves, however it leaves.
class HessWindow final : public FormWindow
{
    Q_OBJECT
public:
    HessWindow(HessValues &values, Navigation &program, QWidget *parent = nullptr);
    ~HessWindow() override;

    void Form_Load();
    bool Form_KeyPress(int KeyAscii) override;
    void Form_MouseDown(Qt::MouseButton Button, QPointF at);
    // Back to the start screen with what was measured.
    void ReturnToStart();

protected:
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    // One target for one fixing eye: an entry of the tests' common order.
    struct Step
    {
        int eye; // 0: the start screen's fixing eye, 1: the other
        int target; // into clinic::hess::kTargets
    };
    void showStep();
    void placeLines();
    void advance();
    void handOver();

    HessValues &m_values;
    Navigation &m_program;
    QLabel *m_ring = nullptr;
    QLabel *m_progress = nullptr;
    QLabel *m_caliNote = nullptr;
    clinic::hess::Screen m_screen;
    std::vector<Step> m_steps;
    std::size_t m_step = 0;
    // Per fixing eye, in the order tested.
    QList<clinic::hess::Test> m_tests;
    // Whether a step was reached, for the tests handed over: an eye not begun is no test.
    std::vector<bool> m_reached;
    bool m_handedOver = false;
    // Whether the calibration gives the targets a place at all.
    bool m_calibrated = false;
    bool m_pointerConfined = false;
};
