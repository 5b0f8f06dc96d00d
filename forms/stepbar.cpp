// A scroll bar rather than two QToolButtons on setAutoRepeat: the designs' HScroll1 and
// VScroll1 are scroll bars whose value, range and keys the calibration screen uses, and
// QAbstractSlider::setRepeatAction already repeats on Qt's timer, 500 ms then every 50 ms.
#include "forms/stepbar.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionFocusRect>
#include <QStyleOptionSlider>
#include <QStylePainter>

#include <cstdlib>

namespace {
// A bar is created 0 to 32767 and moves by one per press; its window narrows the range to
// where its mark can stand.
constexpr int kBarMaximum = 32767;
// Page Up, Page Down and a notch of the wheel: ten presses.
constexpr int kPageStep = 10;
// The wheel's angle for one notch, in eighths of a degree.
constexpr int kWheelNotch = 120;
// A focused bar's frame stands this far inside its edge, clear of the arrows' bevels.
constexpr int kFocusInset = 3;
// A held arrow first waits, then repeats its step at this interval: the timing of the
// toolkit's own scroll bars.
constexpr int kRepeatDelay = 500; // ms
constexpr int kRepeatInterval = 50; // ms

// Lays a scroll bar out as two arrow buttons that share its whole length, the first half
// lowering the value and the second raising it, with no slider or track between them. The
// same rectangles serve the painting, the hit test of a press and anyone who asks the style
// where an arrow is.
class StepBarStyle final : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option,
        SubControl subControl, const QWidget *widget) const override
    {
        const auto *bar = qstyleoption_cast<const QStyleOptionSlider *>(option);
        if (control != CC_ScrollBar || !bar)
            return QProxyStyle::subControlRect(control, option, subControl, widget);
        const QRect all = bar->rect;
        const bool horizontal = bar->orientation == Qt::Horizontal;
        const int half = (horizontal ? all.width() : all.height()) / 2;
        const QRect lower = horizontal ? QRect(all.left(), all.top(), half, all.height())
                                       : QRect(all.left(), all.top(), all.width(), half);
        const QRect upper = horizontal
            ? QRect(all.left() + half, all.top(), all.width() - half, all.height())
            : QRect(all.left(), all.top() + half, all.width(), all.height() - half);
        switch (subControl) {
        case SC_ScrollBarSubLine:
            return lower;
        case SC_ScrollBarAddLine:
            return upper;
        default:
            return {};
        }
    }
};

// One style for every step bar, drawing in the application's own style and owned by the
// application: a widget does not own its style.
QStyle *stepBarStyle()
{
    static QPointer<StepBarStyle> style;
    if (!style) {
        // A proxy style has no name of its own; the style it draws with has.
        const QStyle *drawing = QApplication::style();
        if (const auto *proxy = qobject_cast<const QProxyStyle *>(drawing))
            drawing = proxy->baseStyle();
        style = new StepBarStyle(QStyleFactory::create(drawing->name()));
        style->setParent(QApplication::instance());
    }
    return style;
}

} // namespace

StepBar::StepBar(Qt::Orientation orientation, QWidget *parent)
    : QScrollBar(orientation, parent)
{
    setStyle(stepBarStyle());
    setRange(0, kBarMaximum);
    setSingleStep(1);
    setPageStep(kPageStep);
    setValue(0);
    // Like a button, the bar takes the focus by Tab and by a click, and then the arrow keys.
    setFocusPolicy(Qt::StrongFocus);
}

void StepBar::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_ScrollBarSubLine | QStyle::SC_ScrollBarAddLine;
    option.activeSubControls = QStyle::SubControl(m_pointerOutside ? 0 : m_pressed);
    if (m_pressed && !m_pointerOutside)
        option.state |= QStyle::State_Sunken;
    painter.drawComplexControl(QStyle::CC_ScrollBar, option);
    // The arrow keys move the bar that has the focus: it shows the focus frame the buttons
    // show, inside the arrows, so the user sees which mark the keys will move.
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(kFocusInset, kFocusInset, -kFocusInset, -kFocusInset);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

void StepBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QStyle::SubControl arrow = style()->hitTestComplexControl(
        QStyle::CC_ScrollBar, &option, event->position().toPoint(), this);
    if (arrow != QStyle::SC_ScrollBarSubLine && arrow != QStyle::SC_ScrollBarAddLine)
        return;
    m_pressed = static_cast<int>(arrow);
    m_pointerOutside = false;
    // One step at once; held down, the arrow repeats one step at a time, as the toolkit's own
    // scroll bars do.
    step(kRepeatDelay);
    update();
}

void StepBar::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A quick second press arrives as a double click; it is a press all the same.
    mousePressEvent(event);
}

void StepBar::mouseReleaseEvent(QMouseEvent *)
{
    stopStepping();
}

void StepBar::mouseMoveEvent(QMouseEvent *event)
{
    // A drag never moves the value by itself. Where the style says so, a held arrow stops
    // repeating while the pointer is off it and goes on when the pointer comes back.
    QStyleOptionSlider option;
    initStyleOption(&option);
    if (!m_pressed
        || style()->styleHint(QStyle::SH_ScrollBar_ScrollWhenPointerLeavesControl, &option, this))
        return;
    const QRect arrow = style()->subControlRect(
        QStyle::CC_ScrollBar, &option, QStyle::SubControl(m_pressed), this);
    const bool outside = !arrow.contains(event->position().toPoint());
    if (outside == m_pointerOutside)
        return;
    m_pointerOutside = outside;
    if (outside)
        setRepeatAction(SliderNoAction);
    else
        step(kRepeatInterval);
    update();
}

void StepBar::hideEvent(QHideEvent *event)
{
    stopStepping();
    QScrollBar::hideEvent(event);
}

void StepBar::step(int repeatAfter)
{
    const SliderAction action
        = m_pressed == QStyle::SC_ScrollBarSubLine ? SliderSingleStepSub : SliderSingleStepAdd;
    setRepeatAction(action, repeatAfter, kRepeatInterval);
    triggerAction(action);
}

void StepBar::stopStepping()
{
    setRepeatAction(SliderNoAction);
    if (m_pressed) {
        m_pressed = 0;
        update();
    }
}

void StepBar::wheelEvent(QWheelEvent *event)
{
    // Turned up (or left) the value falls, down (or right) it rises: whichever way the wheel
    // turned more counts. A device that reports its turns inverted (natural scrolling) moves the
    // mark with the fingers, as the toolkit's sliders do.
    const QPoint angle = event->angleDelta();
    const int turned = std::abs(angle.y()) >= std::abs(angle.x()) ? angle.y() : angle.x();
    m_wheelTurned += event->inverted() ? -turned : turned;
    while (m_wheelTurned >= kWheelNotch) {
        m_wheelTurned -= kWheelNotch;
        triggerAction(SliderPageStepSub);
    }
    while (m_wheelTurned <= -kWheelNotch) {
        m_wheelTurned += kWheelNotch;
        triggerAction(SliderPageStepAdd);
    }
    event->accept();
}

void StepBar::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        triggerAction(SliderSingleStepSub);
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        triggerAction(SliderSingleStepAdd);
        break;
    case Qt::Key_PageUp:
        triggerAction(SliderPageStepSub);
        break;
    case Qt::Key_PageDown:
        triggerAction(SliderPageStepAdd);
        break;
    default:
        event->ignore();
    }
}

#if QT_CONFIG(contextmenu)
void StepBar::contextMenuEvent(QContextMenuEvent *event)
{
    event->ignore();
}
#endif
