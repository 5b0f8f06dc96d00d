#include "forms/frmcali_design.h"

#include "forms/designtable.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QWidget>

#include <algorithm>

namespace {
using design::Kind;
using enum design::SystemColour;
constexpr auto Default = design::kDefault;
constexpr qreal DefaultFont = design::kDefaultFont;
constexpr int None = design::kNoTab;

constexpr design::Window kWindow {"FrmCali", "Form2", 11208, 9252, ActiveBorder,
    QT_TRANSLATE_NOOP("FrmCali", "Kelvane screen calibration"),
    QT_TRANSLATE_NOOP("FrmCali",
        "Move each mark from the corner by the length written beside its axis, with its step "
        "buttons")};

// "Screen Resolution" stands this far below the instruction picture's box.
constexpr int kResoluBelowPicture = 60;
constexpr int kResoluTop = 7200;

// The two axes meet in the corner (1200, 1200); each mark crosses its axis 1560 twips from it.
// Each bar is only as long as its two arrows, so that it works as a pair of step buttons. The
// focus order is "Done", "Cancel", the monitor's size, then the two bars; labels never take it.
// The readouts and the lengths keep their captions as names, so that they are read with what
// they show. The window puts the across length and the monitor's size above the across axis at
// run time, clear of its mark, and sets the lengths (150 mm where it fits on the screen).
// clang-format off
constexpr design::Control kControls[] = {
    // name, kind, container, caption, left, top, width, height (twips; a line's end points),
    // back, text or line colour, points, tab; accessible name, description
    {"Xline", Kind::Line, nullptr, nullptr, 1200, 1200, 10800, 1200, Default, WindowFrame, DefaultFont, None,
        nullptr, nullptr},
    {"Yline", Kind::Line, nullptr, nullptr, 1200, 1200, 1200, 8880, Default, Default, DefaultFont, None,
        nullptr, nullptr},
    {"Xcursor", Kind::Line, nullptr, nullptr, 2760, 1080, 2760, 1320, Default, Default, DefaultFont, None,
        nullptr, nullptr},
    {"Ycursor", Kind::Line, nullptr, nullptr, 1080, 2760, 1320, 2760, Default, Default, DefaultFont, None,
        nullptr, nullptr},
    {"HLength", Kind::Label, nullptr, "Set this mark at 150 mm", 1200, 480, 3600, 300, ActiveBorder, Default, 9.6, None,
        nullptr, QT_TRANSLATE_NOOP("FrmCali", "The length to set the mark on the horizontal axis at, from the corner")},
    {"HScroll1", Kind::HStepBar, nullptr, nullptr, 5160, 1920, 492, 612, Default, Default, DefaultFont, 6,
        QT_TRANSLATE_NOOP("FrmCali", "Pixels for 150 mm across"), QT_TRANSLATE_NOOP("FrmCali", "Moves the mark on the horizontal axis")},
    {"HPO", Kind::Label, nullptr, "PDH", 5760, 2160, 1452, 372, CaptionText, ButtonShadow, 12, 1,
        nullptr, QT_TRANSLATE_NOOP("FrmCali", "Pixels for 150 mm across")},
    // Two lines, so that the length stands in the column between the down axis and the picture.
    {"VLength", Kind::Label, nullptr, "Set this mark\nat 150 mm", 1920, 4476, 1800, 504, ActiveBorder, Default, 9.6, None,
        nullptr, QT_TRANSLATE_NOOP("FrmCali", "The length to set the mark on the vertical axis at, from the corner")},
    {"VScroll1", Kind::VStepBar, nullptr, nullptr, 1920, 5040, 732, 492, Default, Default, DefaultFont, 7,
        QT_TRANSLATE_NOOP("FrmCali", "Pixels for 150 mm down"), QT_TRANSLATE_NOOP("FrmCali", "Moves the mark on the vertical axis")},
    {"VPO", Kind::Label, nullptr, "PDV", 1920, 5760, 1452, 372, CaptionText, ButtonShadow, 12, 0,
        nullptr, QT_TRANSLATE_NOOP("FrmCali", "Pixels for 150 mm down")},
    {"Image1", Kind::Image, nullptr, ":/pictures/instructions.png", 4200, 2880, 5832, 4260, Default, Default, DefaultFont, None,
        QT_TRANSLATE_NOOP("FrmCali", "Calibration instructions"), QT_TRANSLATE_NOOP("FrmCali", "Press the step buttons to move each mark from the corner, across and down, by the length written beside its axis; press Done to save, Cancel to leave without change")},
    {"resolu", Kind::Label, nullptr, "Screen Resolution", 4200, kResoluTop, 4212, 372, ActiveBorder, Default, 9.6, 8,
        nullptr, QT_TRANSLATE_NOOP("FrmCali", "The size of the screen in pixels")},
    {"cali", Kind::Label, nullptr, "Calibrate Value", 4200, 7560, 4212, 372, ActiveBorder, Default, 9.6, 2,
        nullptr, QT_TRANSLATE_NOOP("FrmCali", "The calibration values when the screen opened")},
    {"Cancel", Kind::PushButton, nullptr, QT_TRANSLATE_NOOP("FrmCali", "Cancel"), 4200, 8280, 1572, 492, Default, Default, 12, 4,
        nullptr, QT_TRANSLATE_NOOP("FrmCali", "Returns without saving")},
    {"Done", Kind::PushButton, nullptr, QT_TRANSLATE_NOOP("FrmCali", "Done"), 8280, 8280, 1572, 492, Default, Default, 12, 3,
        nullptr, QT_TRANSLATE_NOOP("FrmCali", "Saves the calibration and returns")},
    {"MonitorSize", Kind::PushButton, nullptr, QT_TRANSLATE_NOOP("FrmCali", "&Use the monitor's size"), 4920, 396, 2880, 420, Default, Default, 9.6, 5,
        nullptr, QT_TRANSLATE_NOOP("FrmCali", "Moves both marks to where the size the monitor reports puts them, to be adjusted with the ruler")},
};
// clang-format on
} // namespace

void FrmCaliDesign::setupUi(QWidget *FrmCali)
{
    const design::Controls controls = design::build(FrmCali, kWindow, kControls);
    Xline = controls.get<DesignLine>("Xline");
    Yline = controls.get<DesignLine>("Yline");
    Xcursor = controls.get<DesignLine>("Xcursor");
    Ycursor = controls.get<DesignLine>("Ycursor");
    HLength = controls.get<QLabel>("HLength");
    HScroll1 = controls.get<StepBar>("HScroll1");
    HPO = controls.get<QLabel>("HPO");
    VLength = controls.get<QLabel>("VLength");
    VScroll1 = controls.get<StepBar>("VScroll1");
    VPO = controls.get<QLabel>("VPO");
    MonitorSize = controls.get<QPushButton>("MonitorSize");
    Image1 = controls.get<QLabel>("Image1");
    resolu = controls.get<QLabel>("resolu");
    cali = controls.get<QLabel>("cali");
    Cancel = controls.get<QPushButton>("Cancel");
    Done = controls.get<QPushButton>("Done");

    // Where the picture at its own size is taller than its box (below 120 dpi), the captions
    // and buttons under it move down with it, so that none of them hides the instructions.
    const int pictureBottom = Image1->geometry().bottom() + 1;
    const int shift = std::max(0,
        pictureBottom + design::twipsToPixels(kResoluBelowPicture)
            - design::twipsToPixels(kResoluTop));
    for (QWidget *below : {static_cast<QWidget *>(resolu), static_cast<QWidget *>(cali),
             static_cast<QWidget *>(Cancel), static_cast<QWidget *>(Done)})
        below->move(below->x(), below->y() + shift);
}

void FrmCaliDesign::paintLines(QPainter &painter) const
{
    for (const DesignLine *line : {Xline, Yline, Xcursor, Ycursor})
        line->paint(painter);
}
