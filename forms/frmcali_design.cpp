#include "forms/frmcali_design.h"

#include "forms/design.h"

#include <QWidget>

void FrmCaliDesign::setupUi(QWidget *FrmCali)
{
    FrmCali->setObjectName(QStringLiteral("FrmCali"));
    FrmCali->setWindowTitle(QStringLiteral("Form2"));
    design::setColours(FrmCali, design::ActiveBorder);
}
