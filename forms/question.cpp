#include "forms/question.h"

#include <QPushButton>

bool ask(QWidget *parent, const Question &question)
{
    QMessageBox box(question.icon, question.title, question.text, QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    if (!question.informative.isEmpty())
        box.setInformativeText(question.informative);
    const QPushButton *act = box.addButton(question.act, QMessageBox::DestructiveRole);
    QPushButton *stay = box.addButton(question.stay, QMessageBox::RejectRole);
    box.setDefaultButton(stay);
    box.setEscapeButton(stay);
    box.exec();
    return box.clickedButton() == act;
}
