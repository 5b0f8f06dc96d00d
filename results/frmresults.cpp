#include "results/frmresults.h"

#include "clinic/visit.h"

FrmResults::FrmResults(clinic::Visit &visit, QWidget *parent)
    : QDialog(parent)
    , m_visit(visit)
{
}
