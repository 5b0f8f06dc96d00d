#include "forms/optiongroup.h"

#include <QKeyEvent>
#include <QRadioButton>

#include <algorithm>
#include <utility>

OptionGroup::OptionGroup(QObject *frame, QList<QRadioButton *> buttons)
    : QObject(frame)
    , m_buttons(std::move(buttons))
{
    for (QRadioButton *button : std::as_const(m_buttons)) {
        button->installEventFilter(this);
        connect(button, &QRadioButton::toggled, this, &OptionGroup::updateTabStop);
    }
    updateTabStop();
}

void OptionGroup::updateTabStop()
{
    const auto selected = std::find_if(m_buttons.cbegin(), m_buttons.cend(),
        [](const QRadioButton *button) { return button->isChecked(); });
    const QRadioButton *stop = selected != m_buttons.cend() ? *selected : m_buttons.value(0);
    for (QRadioButton *button : std::as_const(m_buttons))
        button->setFocusPolicy(button == stop ? Qt::StrongFocus : Qt::ClickFocus);
}

bool OptionGroup::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    int step = 0;
    switch (key->key()) {
    case Qt::Key_Down:
    case Qt::Key_Right:
        step = 1;
        break;
    case Qt::Key_Up:
    case Qt::Key_Left:
        step = -1;
        break;
    default:
        return false;
    }
    const qsizetype count = m_buttons.size();
    const qsizetype from = m_buttons.indexOf(qobject_cast<QRadioButton *>(watched));
    if (from < 0)
        return false;
    // The next button that can take the focus, going round the group.
    for (qsizetype i = 1; i < count; ++i) {
        QRadioButton *next = m_buttons.at((from + step * i + count * count) % count);
        if (next->isEnabled() && next->isVisibleTo(next->window())) {
            next->setFocus(step > 0 ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            next->setChecked(true);
            break;
        }
    }
    return true;
}
