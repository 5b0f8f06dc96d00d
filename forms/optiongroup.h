#pragma once

#include <QList>
#include <QObject>

class QRadioButton;

// The option buttons of one frame, keyed as the platform keys a group of option buttons: the
// group is one stop in the focus order, and Tab (or Shift+Tab) enters it at its selected
// button, at the first in its focus order while none is selected. The arrow keys move the
// focus and the selection together through the group in its focus order, Down and Right to
// the next button, Up and Left to the one before, and round from the last to the first.
// Space selects the focused button, as before.
class OptionGroup final : public QObject
{
    Q_OBJECT
public:
    // `buttons` in the group's focus order; the group belongs to their frame.
    OptionGroup(QObject *frame, QList<QRadioButton *> buttons);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Lets Tab stop only at the selected button, or at the first while none is selected; the
    // others still take the focus by a click.
    void updateTabStop();

    QList<QRadioButton *> m_buttons;
};
