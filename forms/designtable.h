#pragma once

#include "forms/design.h"

#include <QList>
#include <QObject>

#include <span>
#include <utility>

class QWidget;

// A window design written as one table of its controls, row by row in the order the window's
// design lists them, and the routine that creates the controls from it.
namespace design {

enum class Kind {
    Frame, // a group box holding option buttons; its options form one group
    Option, // an option button
    Label,
    Image, // a picture at its own pixel size; the box follows the picture
    Picture, // a picture at its own pixel size in a box of the design's size
    PictureBox, // a picture box that takes the focus
    PushButton,
    HStepBar, // a horizontal scroll bar that works as two step buttons
    VStepBar,
    ComboBox, // a choice from a list the window fills
    ValueBox, // a number to read and type, without step buttons of its own
    SpinBox, // a whole number to type or step, within a range the window sets
    Line, // drawn on the window; the box holds its end points
};

// Colours and fonts that the table leaves to the platform. A control's default colours are
// the button face and button text of the desktop (a line's, the window text); pictures and
// step bars keep the style's own.
inline constexpr SystemColour kDefault = SystemColour(0);
inline constexpr qreal kDefaultFont = 0;
// A control outside the focus order (its tab index is not shown on a label that never takes
// the focus anyway).
inline constexpr int kNoTab = -1;

struct Control
{
    const char *name;
    Kind kind;
    const char *container; // nullptr: the window
    const char *text; // caption; for a picture, its resource
    int left, top, width, height; // twips; for a line, (left, top) to (width, height)
    SystemColour back;
    SystemColour textColour;
    qreal points; // bold face of this size, or kDefaultFont
    int tab; // place in the focus order, or kNoTab
    // For screen readers and voice control. A null name leaves the caption as the name, so
    // that a readout is read with the value it shows.
    const char *accessibleName;
    const char *accessibleDescription;
};

struct Window
{
    const char *name;
    const char *caption;
    int clientWidth, clientHeight; // twips, before the window is maximized
    SystemColour back;
    const char *accessibleName;
    const char *accessibleDescription;
};

// The controls created from a table, in the table's order.
class Controls
{
public:
    explicit Controls(QList<QObject *> objects)
        : m_objects(std::move(objects))
    {
    }

    // The control of that name, as the class the table's kind gives it.
    template<typename T> T *get(const char *name) const
    {
        T *control = qobject_cast<T *>(find(name));
        Q_ASSERT_X(control, "design::Controls::get", name);
        return control;
    }

private:
    QObject *find(const char *name) const;
    QList<QObject *> m_objects;
};

// Sets up the window and creates its controls from the table: place and size, colours, font,
// text, accessible name and description; the focus order from the tab column, with the first
// control in it focused; the option buttons of each frame made one OptionGroup.
Controls build(QWidget *window, const Window &design, std::span<const Control> table);

} // namespace design
