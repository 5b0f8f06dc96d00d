#pragma once

#include "forms/form1_design.h"
#include "forms/formwindow.h"

// The values the measurement screen holds from one opening to the next.
struct Form1Values
{
    double Filter = 0;
    double Target = 0;
    double FixEye = 0;
    double ScreenH = 0;
    qint16 ScreenV = 0;
};

// The measurement screen.
class Form1 final : public FormWindow
{
    Q_OBJECT
public:
    explicit Form1(Form1Values &values, QWidget *parent = nullptr);

    void Form_Load();
    bool Form_KeyPress(int KeyAscii) override;

private:
    void ReturnToStart();

    Form1Values &m_values;
    Form1Design ui;
};
