#pragma once

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QWidget;

// The start screen as it is created: three option groups, the readouts, the title picture,
// the five buttons, the viewing distance and the Hess test's field. The controls belong to the
// window passed to setupUi().
struct frmstartDesign
{
    QGroupBox *Frame1 = nullptr;
    QRadioButton *Option1 = nullptr;
    QRadioButton *Option2 = nullptr;
    QRadioButton *Option3 = nullptr;
    QRadioButton *Option4 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QRadioButton *Option5 = nullptr;
    QRadioButton *Option6 = nullptr;
    QRadioButton *Option7 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QRadioButton *Option8 = nullptr;
    QRadioButton *Option9 = nullptr;
    QLabel *resolu = nullptr;
    QLabel *monitor = nullptr;
    QPushButton *Command3 = nullptr;
    QLabel *cali = nullptr;
    QLabel *caliMade = nullptr;
    QLabel *Image1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command1 = nullptr;
    QLabel *caliNote = nullptr;
    QPushButton *Command4 = nullptr;
    QLabel *saveNote = nullptr;
    QGroupBox *Frame4 = nullptr;
    QRadioButton *Option10 = nullptr;
    QRadioButton *Option11 = nullptr;
    QPushButton *Command5 = nullptr;
    QLabel *distanceLabel = nullptr;
    QSpinBox *Distance = nullptr;
    QLabel *hessFits = nullptr;

    void setupUi(QWidget *frmstart);
};
