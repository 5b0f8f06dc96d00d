#include "forms/form1_design.h"

#include "forms/design.h"

#include <QWidget>

void Form1Design::setupUi(QWidget *Form1)
{
    Form1->setObjectName(QStringLiteral("Form1"));
    Form1->setWindowTitle(QStringLiteral("Form1"));
    design::setColours(Form1, design::WindowFrame, design::ButtonShadow);
}
