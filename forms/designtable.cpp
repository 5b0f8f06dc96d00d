#include "forms/designtable.h"

#include "forms/designline.h"
#include "forms/optiongroup.h"
#include "forms/stepbar.h"
#include "forms/valuebox.h"
#include "pictures/picture.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QWidget>

#include <algorithm>
#include <type_traits>
#include <utility>

namespace design {

namespace {

// The texts of a window's table are marked for translation in the window's own context, its
// name, so that a translator sees them beside the texts the window's code sets.
QString translated(const char *context, const char *text)
{
    return QCoreApplication::translate(context, text);
}

// The face before the caption: a caption given first is measured in the default face, which
// no window here shows, and loading that face is about 5 % of the program's start-up.
template<typename Captioned>
Captioned *captioned(const Control &row, QWidget *container, const char *context)
{
    auto *control = new Captioned(container);
    if (row.points != kDefaultFont)
        control->setFont(boldFont(row.points));
    const QString caption = translated(context, row.text);
    if constexpr (std::is_same_v<Captioned, QGroupBox>)
        control->setTitle(caption);
    else
        control->setText(caption);
    return control;
}

// A control without a caption, in the design's face where the table gives one.
QWidget *inFace(QWidget *control, const Control &row)
{
    if (row.points != kDefaultFont)
        control->setFont(boldFont(row.points));
    return control;
}

// A picture shown unscaled from the box's top left corner, so that the box's corner is also
// the picture's pixel (0, 0).
QLabel *picture(const Control &row, QWidget *container)
{
    auto *label = new QLabel(container);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setPixmap(QPixmap::fromImage(readPicture(QString::fromUtf8(row.text))));
    return label;
}

DesignLine *line(const Control &row, QWidget *window)
{
    const SystemColour colour = row.textColour == kDefault ? WindowText : row.textColour;
    auto *drawn = new DesignLine(window, row.name, systemColour(colour));
    drawn->setPoints(float(twipsToPixels(row.left)), float(twipsToPixels(row.top)),
        float(twipsToPixels(row.width)), float(twipsToPixels(row.height)));
    return drawn;
}

QWidget *create(const Control &row, QWidget *container, const char *context)
{
    switch (row.kind) {
    case Kind::Frame:
        return captioned<QGroupBox>(row, container, context);
    case Kind::Option:
        return captioned<QRadioButton>(row, container, context);
    case Kind::Label: {
        auto *label = captioned<QLabel>(row, container, context);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(true);
        return label;
    }
    case Kind::Image:
    case Kind::Picture:
        return picture(row, container);
    case Kind::PictureBox: {
        QLabel *box = picture(row, container);
        box->setFocusPolicy(Qt::StrongFocus);
        return box;
    }
    case Kind::PushButton: {
        auto *button = captioned<QPushButton>(row, container, context);
        // Enter presses the focused button, as the space bar does.
        button->setAutoDefault(true);
        return button;
    }
    case Kind::HStepBar:
        return new StepBar(Qt::Horizontal, container);
    case Kind::VStepBar:
        return new StepBar(Qt::Vertical, container);
    case Kind::ComboBox:
        return inFace(new QComboBox(container), row);
    case Kind::ValueBox:
        return inFace(new ValueBox(container), row);
    case Kind::SpinBox:
        return inFace(new QSpinBox(container), row);
    case Kind::Line:
        break;
    }
    return nullptr;
}

// Labels, frames, option buttons, push buttons and value boxes take the desktop's button
// colours unless the design gives others; pictures, step bars and lists keep the style's.
bool takesColours(Kind kind)
{
    switch (kind) {
    case Kind::Frame:
    case Kind::Option:
    case Kind::Label:
    case Kind::PushButton:
    case Kind::ValueBox:
    case Kind::SpinBox:
        return true;
    case Kind::ComboBox:
    case Kind::PictureBox:
    case Kind::Image:
    case Kind::Picture:
    case Kind::HStepBar:
    case Kind::VStepBar:
    case Kind::Line:
        break;
    }
    return false;
}

void style(QWidget *control, const Control &row, const char *context)
{
    control->setObjectName(QLatin1String(row.name));
    place(control, row.left, row.top, row.width, row.height);
    if (row.kind == Kind::Image) {
        // The picture keeps its own pixel size on every screen: the box follows the picture.
        const QPixmap shown = static_cast<QLabel *>(control)->pixmap();
        if (!shown.isNull())
            control->resize(shown.size());
    }
    if (row.back != kDefault || takesColours(row.kind)) {
        setColours(control, row.back == kDefault ? ButtonFace : row.back,
            row.textColour == kDefault ? ButtonText : row.textColour);
    }
    if (row.accessibleName)
        control->setAccessibleName(translated(context, row.accessibleName));
    if (row.accessibleDescription)
        control->setAccessibleDescription(translated(context, row.accessibleDescription));
}

// Chains the controls that take the focus in the order of their tab indices and gives the
// focus to the first, which has it when the window opens.
void orderFocus(const QList<std::pair<int, QWidget *>> &tabStops)
{
    QList<std::pair<int, QWidget *>> order;
    for (const auto &stop : tabStops) {
        if (stop.second->focusPolicy() & Qt::TabFocus)
            order << stop;
    }
    std::stable_sort(
        order.begin(), order.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1].second, order[i].second);
    if (!order.isEmpty())
        order.first().second->setFocus();
}

// Groups the option buttons of each frame, in the order of their tab indices. Runs after the
// focus chain is made: a group then lets Tab stop at one of its buttons only.
void groupOptions(const QList<QObject *> &created, std::span<const Control> table)
{
    for (qsizetype f = 0; f < created.size(); ++f) {
        if (table[std::size_t(f)].kind != Kind::Frame)
            continue;
        QList<std::pair<int, QRadioButton *>> options;
        for (qsizetype o = 0; o < created.size(); ++o) {
            const Control &row = table[std::size_t(o)];
            if (row.kind == Kind::Option && row.container
                && created[f]->objectName() == QLatin1String(row.container))
                options.append({row.tab, static_cast<QRadioButton *>(created[o])});
        }
        std::stable_sort(options.begin(), options.end(),
            [](const auto &a, const auto &b) { return a.first < b.first; });
        QList<QRadioButton *> buttons;
        for (const auto &option : std::as_const(options))
            buttons << option.second;
        if (!buttons.isEmpty())
            new OptionGroup(created[f], buttons);
    }
}

} // namespace

QObject *Controls::find(const char *name) const
{
    const QLatin1String wanted(name);
    for (QObject *object : m_objects) {
        if (object->objectName() == wanted)
            return object;
    }
    return nullptr;
}

Controls build(QWidget *window, const Window &design, std::span<const Control> table)
{
    window->setObjectName(QLatin1String(design.name));
    window->setWindowTitle(translated(design.name, design.caption));
    window->resize(twipsToPixels(design.clientWidth), twipsToPixels(design.clientHeight));
    if (design.back != kDefault)
        setColours(window, design.back);
    window->setAccessibleName(translated(design.name, design.accessibleName));
    window->setAccessibleDescription(translated(design.name, design.accessibleDescription));

    QList<QObject *> created;
    QList<std::pair<int, QWidget *>> tabStops;
    for (const Control &row : table) {
        if (row.kind == Kind::Line) {
            created << line(row, window);
            continue;
        }
        QWidget *container = window;
        if (row.container) {
            for (QObject *earlier : std::as_const(created)) {
                if (earlier->objectName() == QLatin1String(row.container))
                    container = qobject_cast<QWidget *>(earlier);
            }
        }
        QWidget *control = create(row, container, design.name);
        style(control, row, design.name);
        created << control;
        if (row.tab != kNoTab)
            tabStops.append({row.tab, control});
    }
    orderFocus(tabStops);
    groupOptions(created, table);
    return Controls(created);
}

} // namespace design
