#include "forms/frmcali_design.h"

#include "forms/design.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOptionFocusRect>
#include <QStyleOptionSlider>
#include <QStylePainter>
#include <QWidget>

#include <algorithm>

namespace {
// Client area of the window before it is made to cover the screen, in twips.
constexpr int kClientWidth = 11208;
constexpr int kClientHeight = 9252;

constexpr qreal kReadoutPoints = 12;
constexpr qreal kCaptionPoints = 9.6;
constexpr qreal kButtonPoints = 12;

// The two axes meet in this corner; each mark crosses its axis 1560 twips from it.
constexpr int kCorner = 1200;
constexpr int kXlineEnd = 10800;
constexpr int kYlineEnd = 8880;
constexpr int kMarkAt = 2760;
constexpr int kMarkFrom = 1080;
constexpr int kMarkTo = 1320;

// The block under the instruction picture: the two captions, then the two buttons.
constexpr int kResoluTop = 7200;
// "Screen Resolution" stands this far below the picture's box.
constexpr int kResoluBelowPicture = 60;
// "Cancel" and "Done" stand side by side, of one size.
constexpr int kButtonTop = 8280;
constexpr int kButtonWidth = 1572;
constexpr int kButtonHeight = 492;

// Every bar of the window is 0 to 32767 and moves by one per press.
constexpr int kBarMaximum = 32767;
// A focused bar's frame stands this far inside its edge, clear of the arrows' bevels.
constexpr int kFocusInset = 3;

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
        style = new StepBarStyle(QStyleFactory::create(QApplication::style()->name()));
        style->setParent(QApplication::instance());
    }
    return style;
}

QLabel *makeLabel(QWidget *window, const char *name, const char *text, int left, int top, int width,
    int height, qreal points)
{
    auto *label = new QLabel(QLatin1String(text), window);
    label->setObjectName(QLatin1String(name));
    label->setFont(design::boldFont(points));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    design::place(label, left, top, width, height);
    return label;
}

QPushButton *makeButton(QWidget *window, const char *name, const char *text, int left)
{
    auto *button = new QPushButton(QLatin1String(text), window);
    button->setObjectName(QLatin1String(name));
    button->setFont(design::boldFont(kButtonPoints));
    design::setColours(button, design::ButtonFace);
    design::place(button, left, kButtonTop, kButtonWidth, kButtonHeight);
    return button;
}

StepBar *makeBar(QWidget *window, const char *name, Qt::Orientation orientation, int left, int top,
    int width, int height)
{
    auto *bar = new StepBar(orientation, window);
    bar->setObjectName(QLatin1String(name));
    design::place(bar, left, top, width, height);
    return bar;
}

DesignLine *makeLine(
    QWidget *window, const char *name, design::SystemColour colour, int x1, int y1, int x2, int y2)
{
    auto *line = new DesignLine(window, name, design::systemColour(colour));
    line->setPoints(float(design::twipsToPixels(x1)), float(design::twipsToPixels(y1)),
        float(design::twipsToPixels(x2)), float(design::twipsToPixels(y2)));
    return line;
}
} // namespace

DesignLine::DesignLine(QWidget *window, const char *name, QColor colour)
    : QObject(window)
    , m_window(window)
    , m_colour(colour)
{
    setObjectName(QLatin1String(name));
}

void DesignLine::setPoints(float x1, float y1, float x2, float y2)
{
    m_points = QLineF(x1, y1, x2, y2);
    m_window->update();
}

void DesignLine::paint(QPainter &painter) const
{
    // A cosmetic pen of one pixel, without smoothing: the clinician lays a ruler against
    // these lines, so each must be one sharp row or column of pixels.
    QPen pen(m_colour, 1, Qt::SolidLine, Qt::FlatCap);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.drawLine(m_points);
}

StepBar::StepBar(Qt::Orientation orientation, QWidget *parent)
    : QScrollBar(orientation, parent)
{
    setStyle(stepBarStyle());
    setRange(0, kBarMaximum);
    setSingleStep(1);
    setPageStep(1);
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
    option.activeSubControls = QStyle::SubControl(m_pressed);
    if (m_pressed)
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
    // One step per press and nothing more: holding the button down does not repeat.
    if (arrow == QStyle::SC_ScrollBarSubLine)
        triggerAction(SliderSingleStepSub);
    else if (arrow == QStyle::SC_ScrollBarAddLine)
        triggerAction(SliderSingleStepAdd);
    else
        return;
    m_pressed = arrow;
    update();
}

void StepBar::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A quick second press arrives as a double click; it is a press all the same.
    mousePressEvent(event);
}

void StepBar::mouseReleaseEvent(QMouseEvent *)
{
    if (m_pressed) {
        m_pressed = 0;
        update();
    }
}

void StepBar::mouseMoveEvent(QMouseEvent *) { }

void StepBar::wheelEvent(QWheelEvent *event)
{
    event->ignore();
}

void StepBar::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_PageUp:
        triggerAction(SliderSingleStepSub);
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_PageDown:
        triggerAction(SliderSingleStepAdd);
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

void FrmCaliDesign::setupUi(QWidget *FrmCali)
{
    FrmCali->setObjectName(QStringLiteral("FrmCali"));
    FrmCali->setWindowTitle(QStringLiteral("Form2"));
    FrmCali->resize(design::twipsToPixels(kClientWidth), design::twipsToPixels(kClientHeight));
    design::setColours(FrmCali, design::ActiveBorder);

    Xline = makeLine(FrmCali, "Xline", design::WindowFrame, kCorner, kCorner, kXlineEnd, kCorner);
    Yline = makeLine(FrmCali, "Yline", design::WindowText, kCorner, kCorner, kCorner, kYlineEnd);
    Xcursor
        = makeLine(FrmCali, "Xcursor", design::WindowText, kMarkAt, kMarkFrom, kMarkAt, kMarkTo);
    Ycursor
        = makeLine(FrmCali, "Ycursor", design::WindowText, kMarkFrom, kMarkAt, kMarkTo, kMarkAt);

    HScroll1 = makeBar(FrmCali, "HScroll1", Qt::Horizontal, 5160, 1920, 492, 612);
    HPO = makeLabel(FrmCali, "HPO", "PDH", 5760, 2160, 1452, 372, kReadoutPoints);
    VScroll1 = makeBar(FrmCali, "VScroll1", Qt::Vertical, 1920, 5040, 732, 492);
    VPO = makeLabel(FrmCali, "VPO", "PDV", 1920, 5760, 1452, 372, kReadoutPoints);
    for (QLabel *readout : {HPO, VPO})
        design::setColours(readout, design::CaptionText, design::ButtonShadow);

    // The picture keeps its own pixel size whatever the screen's dpi.
    Image1 = new QLabel(FrmCali);
    Image1->setObjectName(QStringLiteral("Image1"));
    design::place(Image1, 4200, 2880, 5832, 4260);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const QPixmap instructions(QStringLiteral(":/pictures/instructions.png"));
    if (!instructions.isNull()) {
        Image1->setPixmap(instructions);
        Image1->resize(instructions.size());
    }

    resolu = makeLabel(
        FrmCali, "resolu", "Screen Resolution", 4200, kResoluTop, 4212, 372, kCaptionPoints);
    cali = makeLabel(FrmCali, "cali", "Calibrate Value", 4200, 7560, 4212, 372, kCaptionPoints);
    for (QLabel *caption : {resolu, cali})
        design::setColours(caption, design::ActiveBorder);

    Cancel = makeButton(FrmCali, "Cancel", "Cancel", 4200);
    Done = makeButton(FrmCali, "Done", "Done", 8280);

    // Where the picture at its own size is taller than its box (below 120 dpi), the captions
    // and buttons under it move down with it, so that none of them hides the instructions.
    const int pictureBottom = Image1->geometry().bottom() + 1;
    const int shift = std::max(0,
        pictureBottom + design::twipsToPixels(kResoluBelowPicture)
            - design::twipsToPixels(kResoluTop));
    for (QWidget *below : {static_cast<QWidget *>(resolu), static_cast<QWidget *>(cali),
             static_cast<QWidget *>(Cancel), static_cast<QWidget *>(Done)})
        below->move(below->x(), below->y() + shift);

    // Focus order of the design: "Done", "Cancel", then the two bars; labels never take it.
    QWidget::setTabOrder(Done, Cancel);
    QWidget::setTabOrder(Cancel, HScroll1);
    QWidget::setTabOrder(HScroll1, VScroll1);
    Done->setFocus();

    // For screen readers and automated tools; the readouts keep their captions as names, so
    // that they are read with the values shown.
    FrmCali->setAccessibleName(QStringLiteral("Kelvane screen calibration"));
    FrmCali->setAccessibleDescription(
        QStringLiteral("Move each mark 150 mm from the corner with its step buttons"));
    HScroll1->setAccessibleName(QStringLiteral("Pixels for 150 mm across"));
    HScroll1->setAccessibleDescription(QStringLiteral("Moves the mark on the horizontal axis"));
    VScroll1->setAccessibleName(QStringLiteral("Pixels for 150 mm down"));
    VScroll1->setAccessibleDescription(QStringLiteral("Moves the mark on the vertical axis"));
    HPO->setAccessibleDescription(QStringLiteral("Pixels for 150 mm across"));
    VPO->setAccessibleDescription(QStringLiteral("Pixels for 150 mm down"));
    Image1->setAccessibleName(QStringLiteral("Calibration instructions"));
    Image1->setAccessibleDescription(
        QStringLiteral("Press the step buttons to move each mark 150 mm from the corner, across "
                       "and down; press Done to save, Cancel to leave without change"));
    resolu->setAccessibleDescription(QStringLiteral("The size of the screen in pixels"));
    cali->setAccessibleDescription(QStringLiteral("The calibration values when the screen opened"));
    Done->setAccessibleDescription(QStringLiteral("Saves the calibration and returns"));
    Cancel->setAccessibleDescription(QStringLiteral("Returns without saving"));
}

void FrmCaliDesign::paintLines(QPainter &painter) const
{
    for (const DesignLine *line : {Xline, Yline, Xcursor, Ycursor})
        line->paint(painter);
}
