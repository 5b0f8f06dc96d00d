#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

// A question before something that cannot be undone (results discarded, a calibration
// recorded): the safe answer is the default and the Esc key's, so that Enter or Esc pressed
// twice loses nothing. `text` is shown as plain text: it may carry names from files. True only
// where the user chose `act`.
struct Question
{
    QMessageBox::Icon icon = QMessageBox::Question;
    QString title;
    QString text;
    QString informative;
    QString act; // the button that goes on ("&Remove")
    QString stay; // the safe button ("&Keep")
};
bool ask(QWidget *parent, const Question &question);
