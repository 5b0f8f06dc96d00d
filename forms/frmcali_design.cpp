#include "forms/frmcali_design.h"

#include "forms/designtable.h"

#include <QComboBox>
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
        "Set each mark at the length chosen for its axis, measured with a ruler from the "
        "corner line")};

// "Screen Resolution" stands this far below the instruction picture's box.
constexpr int kResoluBelowPicture = 60;
constexpr int kResoluTop = 7200;

// The two axes meet in the corner (1200, 1200); each mark crosses its axis 1560 twips from it.
// Each bar is only as long as its two arrows, so that it works as a pair of step buttons. The
// focus order is "Done", "Cancel", the monitor's size, then each axis: its length, its bar and
// its value; labels never take it. The window puts the across length, its list and the
// monitor's size above the across axis at run time, clear of its mark; the down column stands
// right of the down axis's mark (which reaches 130 pixels in) and left of the picture. The
// texts on the picture have no box of their own here: they are placed in the picture's pixels.
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
    {"HLength", Kind::Label, nullptr, QT_TRANSLATE_NOOP("FrmCali", "&Across: set this mark at"), 1200, 480, 3600, 300, ActiveBorder, Default, 9.6, None,
        nullptr, QT_TRANSLATE_NOOP("FrmCali", "Names the list of lengths for the mark on the horizontal axis")},
    {"HChoice", Kind::ComboBox, nullptr, nullptr, 4860, 420, 1290, 372, Default, Default, 9.6, 6,
        QT_TRANSLATE_NOOP("FrmCali", "Length to set the mark across at"), QT_TRANSLATE_NOOP("FrmCali", "The length from the corner line at which the ruler shows the mark on the horizontal axis")},
    {"HScroll1", Kind::HStepBar, nullptr, nullptr, 5160, 1920, 492, 612, Default, Default, DefaultFont, 7,
        QT_TRANSLATE_NOOP("FrmCali", "Step the mark across"), QT_TRANSLATE_NOOP("FrmCali", "Moves the mark on the horizontal axis: one pixel an arrow, ten a page or a turn of the wheel")},
    {"HPO", Kind::ValueBox, nullptr, nullptr, 5760, 2160, 1452, 372, CaptionText, WindowText, 9.6, 8,
        QT_TRANSLATE_NOOP("FrmCali", "Pixels for 150 mm across"), QT_TRANSLATE_NOOP("FrmCali", "The calibration across, whatever length is measured; a value typed moves the mark")},
    // Over the bar and its list, in the column between the down axis's marks and the picture.
    {"VLength", Kind::Label, nullptr, QT_TRANSLATE_NOOP("FrmCali", "&Down: set this mark at"), 2040, 4476, 2100, 504, ActiveBorder, Default, 9.6, None,
        nullptr, QT_TRANSLATE_NOOP("FrmCali", "Names the list of lengths for the mark on the vertical axis")},
    {"VScroll1", Kind::VStepBar, nullptr, nullptr, 2040, 5040, 732, 492, Default, Default, DefaultFont, 10,
        QT_TRANSLATE_NOOP("FrmCali", "Step the mark down"), QT_TRANSLATE_NOOP("FrmCali", "Moves the mark on the vertical axis: one pixel an arrow, ten a page or a turn of the wheel")},
    {"VChoice", Kind::ComboBox, nullptr, nullptr, 2808, 5040, 1290, 492, Default, Default, 9.6, 9,
        QT_TRANSLATE_NOOP("FrmCali", "Length to set the mark down at"), QT_TRANSLATE_NOOP("FrmCali", "The length from the corner line at which the ruler shows the mark on the vertical axis")},
    {"VPO", Kind::ValueBox, nullptr, nullptr, 2040, 5580, 1452, 372, CaptionText, WindowText, 9.6, 11,
        QT_TRANSLATE_NOOP("FrmCali", "Pixels for 150 mm down"), QT_TRANSLATE_NOOP("FrmCali", "The calibration down, whatever length is measured; a value typed moves the mark")},
    {"Image1", Kind::Image, nullptr, ":/pictures/instructions.png", 4200, 2880, 5832, 4260, Default, Default, DefaultFont, None,
        QT_TRANSLATE_NOOP("FrmCali", "Calibration instructions"), QT_TRANSLATE_NOOP("FrmCali", "The corner of the two axes, each with its mark at the length written beside it")},
    {"HArcLength", Kind::Label, "Image1", nullptr, 0, 0, 0, 0, Default, Default, 9.6, None,
        nullptr, QT_TRANSLATE_NOOP("FrmCali", "The length asked for across")},
    {"VArcLength", Kind::Label, "Image1", nullptr, 0, 0, 0, 0, Default, Default, 9.6, None,
        nullptr, QT_TRANSLATE_NOOP("FrmCali", "The length asked for down")},
    {"MonitorName", Kind::Label, "Image1", nullptr, 0, 0, 0, 0, Default, Default, 9.6, None,
        nullptr, QT_TRANSLATE_NOOP("FrmCali", "The monitor this calibration is recorded for")},
    {"Instructions", Kind::Label, "Image1", nullptr, 0, 0, 0, 0, Default, Default, 9.6, None,
        nullptr, QT_TRANSLATE_NOOP("FrmCali", "How to measure the marks")},
    {"resolu", Kind::Label, nullptr, "Screen Resolution", 4200, kResoluTop, 4212, 372, ActiveBorder, Default, 9.6, 12,
        nullptr, QT_TRANSLATE_NOOP("FrmCali", "The size of the screen in pixels")},
    {"cali", Kind::Label, nullptr, "Calibrate Value", 4200, 7560, 4212, 372, ActiveBorder, Default, 9.6, 2,
        nullptr, QT_TRANSLATE_NOOP("FrmCali", "The calibration values as the marks now stand")},
    {"Cancel", Kind::PushButton, nullptr, QT_TRANSLATE_NOOP("FrmCali", "Cancel"), 4200, 8280, 1572, 492, Default, Default, 12, 4,
        nullptr, QT_TRANSLATE_NOOP("FrmCali", "Returns without saving")},
    {"Done", Kind::PushButton, nullptr, QT_TRANSLATE_NOOP("FrmCali", "Done"), 8280, 8280, 1572, 492, Default, Default, 12, 3,
        nullptr, QT_TRANSLATE_NOOP("FrmCali", "Saves the calibration and returns")},
    {"MonitorSize", Kind::PushButton, nullptr, QT_TRANSLATE_NOOP("FrmCali", "&Use the monitor's size"), 4920, 396, 2880, 420, Default, Default, 9.6, 5,
        nullptr, QT_TRANSLATE_NOOP("FrmCali", "Moves both marks to where the size the monitor reports puts them, to be checked with the ruler")},
};
// clang-format on

// The instruction picture's places, in its own pixels (tools/make_pictures draws it): the arc
// over the across axis runs from the corner, column 48, to the mark at 252 and bows up to row
// 30; the arc beside the down axis runs from row 52 to the mark at 260, left of the axis's two
// columns 48 and 49. The corner right of the down axis and below the across axis is free.
constexpr int kAcrossArcMiddle = 150; // column
constexpr int kAcrossArcApex = 30; // row
constexpr int kDownArcMiddle = 156; // row
constexpr int kDownAxisRight = 49; // column
constexpr QRect kTextRoom(164, 70, 312, 276);
// Between a text and what it labels, and between the monitor and the instructions.
constexpr int kPictureGap = 4;
// A face made smaller to fit goes down by this much at a time, no smaller than the least.
constexpr qreal kShrinkStep = 0.4;
constexpr qreal kLeastPoints = 6;
} // namespace

void FrmCaliDesign::setupUi(QWidget *FrmCali)
{
    const design::Controls controls = design::build(FrmCali, kWindow, kControls);
    Xline = controls.get<DesignLine>("Xline");
    Yline = controls.get<DesignLine>("Yline");
    Xcursor = controls.get<DesignLine>("Xcursor");
    Ycursor = controls.get<DesignLine>("Ycursor");
    HLength = controls.get<QLabel>("HLength");
    HChoice = controls.get<QComboBox>("HChoice");
    HScroll1 = controls.get<StepBar>("HScroll1");
    HPO = controls.get<ValueBox>("HPO");
    VLength = controls.get<QLabel>("VLength");
    VChoice = controls.get<QComboBox>("VChoice");
    VScroll1 = controls.get<StepBar>("VScroll1");
    VPO = controls.get<ValueBox>("VPO");
    MonitorSize = controls.get<QPushButton>("MonitorSize");
    Image1 = controls.get<QLabel>("Image1");
    HArcLength = controls.get<QLabel>("HArcLength");
    VArcLength = controls.get<QLabel>("VArcLength");
    MonitorName = controls.get<QLabel>("MonitorName");
    Instructions = controls.get<QLabel>("Instructions");
    resolu = controls.get<QLabel>("resolu");
    cali = controls.get<QLabel>("cali");
    Cancel = controls.get<QPushButton>("Cancel");
    Done = controls.get<QPushButton>("Done");

    HLength->setBuddy(HChoice);
    VLength->setBuddy(VChoice);
    // Whole pixels per 150 mm down, as ScreenV is held.
    VPO->setDecimals(0);

    // The texts on the picture let it show through; the lengths are red like their arcs. The
    // monitor's name is the system's text and the instructions hold quotes: both plain.
    for (QLabel *onPicture : {HArcLength, VArcLength, MonitorName, Instructions}) {
        onPicture->setAutoFillBackground(false);
        onPicture->setTextFormat(Qt::PlainText);
        QPalette palette = onPicture->palette();
        palette.setColor(QPalette::WindowText,
            onPicture == HArcLength || onPicture == VArcLength ? QColor(255, 0, 0)
                                                               : QColor(0, 0, 0));
        onPicture->setPalette(palette);
    }
    for (QLabel *length : {HArcLength, VArcLength})
        length->setWordWrap(false);

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

void FrmCaliDesign::placeOnThePicture()
{
    for (QLabel *length : {HArcLength, VArcLength})
        length->resize(length->sizeHint());
    HArcLength->move(kAcrossArcMiddle - HArcLength->width() / 2,
        std::max(0, kAcrossArcApex - kPictureGap - HArcLength->height()));
    VArcLength->move(
        kDownAxisRight + 1 + kPictureGap * 3, kDownArcMiddle - VArcLength->height() / 2);

    // The monitor, then the instructions, in one face that fits the room.
    QFont face = Instructions->font();
    const auto height = [&] {
        int total = 0;
        for (QLabel *text : {MonitorName, Instructions})
            total += text->heightForWidth(kTextRoom.width());
        return total + kPictureGap * 3;
    };
    while (height() > kTextRoom.height() && face.pointSizeF() - kShrinkStep >= kLeastPoints) {
        face.setPointSizeF(face.pointSizeF() - kShrinkStep);
        MonitorName->setFont(face);
        Instructions->setFont(face);
    }
    int top = kTextRoom.top();
    for (QLabel *text : {MonitorName, Instructions}) {
        text->setGeometry(
            kTextRoom.left(), top, kTextRoom.width(), text->heightForWidth(kTextRoom.width()));
        top = text->geometry().bottom() + 1 + kPictureGap * 3;
    }
}

void FrmCaliDesign::paintLines(QPainter &painter) const
{
    for (const DesignLine *line : {Xline, Yline, Xcursor, Ycursor})
        line->paint(painter);
}
