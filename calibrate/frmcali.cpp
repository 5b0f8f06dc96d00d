#include "calibrate/frmcali.h"

#include "app/platform.h"
#include "app/windows.h"

FrmCali::FrmCali(FrmCaliValues &values, QWidget *parent)
    : FormWindow(parent)
    , m_values(values)
{
    ui.setupUi(this);
}

void FrmCali::Form_Load()
{
    if (platform::anotherInstanceRunning()) {
        platform::endProgram();
        return;
    }
}

bool FrmCali::Form_KeyPress(int KeyAscii)
{
    if (KeyAscii != 27)
        return false;
    windows::showFrmstart();
    close();
    return true;
}
