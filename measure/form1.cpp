#include "measure/form1.h"

#include "app/platform.h"
#include "app/windows.h"

Form1::Form1(Form1Values &values, QWidget *parent)
    : FormWindow(parent)
    , m_values(values)
{
    ui.setupUi(this);
}

void Form1::Form_Load()
{
    if (platform::anotherInstanceRunning()) {
        platform::endProgram();
        return;
    }
}

bool Form1::Form_KeyPress(int KeyAscii)
{
    if (KeyAscii != 27)
        return false;
    ReturnToStart();
    return true;
}

void Form1::ReturnToStart()
{
    windows::unloadFrmpicture();
    windows::showFrmstart();
    close();
}
