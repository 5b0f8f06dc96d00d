#pragma once

class QWidget;

// The measurement screen as it is created.
struct Form1Design
{
    void setupUi(QWidget *Form1);
};
