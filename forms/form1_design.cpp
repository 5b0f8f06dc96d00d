#include "forms/form1_design.h"

#include "forms/designtable.h"

#include <QLabel>
#include <QWidget>

namespace {
using design::Kind;
using enum design::SystemColour;
constexpr auto Default = design::kDefault;
constexpr qreal DefaultFont = design::kDefaultFont;

// Black in every desktop scheme: the ring pictures have black backgrounds, and any other shade
// would show their square through the filter glasses.
constexpr design::Window kWindow {"Form1", "Form1", 11052, 8964, WindowFrame,
    QT_TRANSLATE_NOOP("Form1", "Kelvane measurement screen"),
    QT_TRANSLATE_NOOP("Form1",
        "Move the cross to where the ring is seen; a left click measures, a right click or Esc "
        "returns to the start screen")};

// A column of labels at the right, each 240 twips below the one before; the results are small,
// so that they do not draw the eye away from the ring. The labels never take the focus, so the
// box `target` is the only stop in the focus order and has the focus when the screen opens. Its
// box is larger than its ring: the ring sits in its top left corner, unscaled. The results keep
// their captions as names, so that they are read with the values shown.
// clang-format off
constexpr design::Control kControls[] = {
    // name, kind, container, caption, left, top, width, height (twips), back, text colour,
    // points, tab; accessible name, description
    {"HPosi", Kind::Label, nullptr, "Label1", 9600, 0, 1452, 252, Default, Default, DefaultFont, 0,
        nullptr, nullptr},
    {"VPosi", Kind::Label, nullptr, "Label2", 9600, 240, 1452, 252, Default, Default, DefaultFont, 1,
        nullptr, nullptr},
    {"HPD", Kind::Label, nullptr, "PDH", 9600, 480, 1452, 252, WindowFrame, ButtonShadow, 7.8, 2,
        nullptr, QT_TRANSLATE_NOOP("Form1", "Horizontal deviation in prism dioptres with its base direction")},
    {"VPD", Kind::Label, nullptr, "PDV", 9600, 720, 1452, 252, WindowFrame, ButtonShadow, 7.8, 3,
        nullptr, QT_TRANSLATE_NOOP("Form1", "Vertical deviation in prism dioptres with its base direction")},
    {"PDEye", Kind::Label, nullptr, "PDEye", 9600, 960, 1452, 252, WindowFrame, ButtonShadow, 7.8, 5,
        nullptr, QT_TRANSLATE_NOOP("Form1", "The eye that sees the cross")},
    {"target", Kind::PictureBox, nullptr, ":/pictures/ring_blue.png", 5280, 4800, 852, 852, WindowFrame, Default, DefaultFont, 4,
        QT_TRANSLATE_NOOP("Form1", "Target ring"), QT_TRANSLATE_NOOP("Form1", "The ring the fixing eye looks at")},
    // Left of the results, in their small face; the loading places it and says whether the
    // calibration in use was made on this monitor at this resolution. Hidden otherwise. White:
    // far brighter than the results' grey, so the clinician finds it at a glance, and equal in
    // red, green and blue, so that every filter passes it alike. A filter colour, or one that
    // only some filters pass (yellow, cyan, magenta), would be a mark for one eye alone, as the
    // ring and the cross are.
    {"caliNote", Kind::Label, nullptr, "", 6600, 0, 2880, 252, WindowFrame, CaptionText, 7.8, design::kNoTab,
        nullptr, QT_TRANSLATE_NOOP("Form1", "Whether the calibration in use was made for this screen")},
    // Left of the second result line, in the results' face and grey: the viewing distance the
    // results are worked out for, where it is not the usual 60 cm. Hidden otherwise.
    {"distance", Kind::Label, nullptr, "", 6600, 240, 1452, 252, WindowFrame, ButtonShadow, 7.8, design::kNoTab,
        nullptr, QT_TRANSLATE_NOOP("Form1", "The viewing distance the results are worked out for")},
};
// clang-format on
} // namespace

void Form1Design::setupUi(QWidget *Form1)
{
    Form1->setWindowFlag(Qt::FramelessWindowHint);
    const design::Controls controls = design::build(Form1, kWindow, kControls);
    HPosi = controls.get<QLabel>("HPosi");
    VPosi = controls.get<QLabel>("VPosi");
    HPD = controls.get<QLabel>("HPD");
    VPD = controls.get<QLabel>("VPD");
    PDEye = controls.get<QLabel>("PDEye");
    target = controls.get<QLabel>("target");
    caliNote = controls.get<QLabel>("caliNote");
    caliNote->setWordWrap(false); // one line, as wide as its text
    caliNote->hide();
    distance = controls.get<QLabel>("distance");
    distance->setWordWrap(false);
    distance->hide();
}
