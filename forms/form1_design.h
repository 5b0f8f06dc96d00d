#pragma once

class QLabel;
class QWidget;

// The measurement screen as it is created: a black borderless window, the column of five
// labels at its right and the picture box `target` holding the blue ring. The controls belong
// to the window passed to setupUi().
struct Form1Design
{
    QLabel *HPosi = nullptr;
    QLabel *VPosi = nullptr;
    QLabel *HPD = nullptr;
    QLabel *VPD = nullptr;
    QLabel *PDEye = nullptr;
    QLabel *target = nullptr;
    QLabel *caliNote = nullptr;
    QLabel *distance = nullptr;

    void setupUi(QWidget *Form1);
};
