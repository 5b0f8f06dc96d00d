#include "forms/frmstart_design.h"

#include "clinic/hess.h"
#include "forms/designtable.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QWidget>

namespace {
using design::Kind;
using enum design::SystemColour;
constexpr auto Default = design::kDefault;
constexpr int None = design::kNoTab;

constexpr design::Window kWindow {"frmstart", "Kelvane", 10908, 7992, AppWorkspace,
    QT_TRANSLATE_NOOP("frmstart", "Kelvane start screen"),
    QT_TRANSLATE_NOOP("frmstart",
        "Choose the filter glasses, the target's place and the fixing eye, then start the "
        "measurement or calibrate the screen")};

// The focus order runs from "Start" through the filter choices from the bottom up, the target
// choices, "Exit", the eye choices, the viewing distance, the Hess field and "Hess", to
// "Calibrate", and "Results" last
// while it is shown: "Calibrate" stays the control before "Start". Each name
// holds the caption as shown, so that a user who speaks "Start" or "OD Red" to a voice control
// still reaches the control; the descriptions spell out the eye abbreviations and what each button
// does. The readouts take no fixed name: their captions, values included, are read as their
// names.
// clang-format off
constexpr design::Control kControls[] = {
    // name, kind, container, caption, left, top, width, height (twips), back, text colour,
    // points, tab; accessible name, description
    {"Frame1", Kind::Frame, nullptr, QT_TRANSLATE_NOOP("frmstart", "Filter"), 960, 840, 2772, 2532, ActiveBorder, Default, 13.8, 1,
        QT_TRANSLATE_NOOP("frmstart", "Filter"), QT_TRANSLATE_NOOP("frmstart", "The filter glasses the patient wears: OD is the right eye, OS the left eye")},
    {"Option1", Kind::Option, "Frame1", QT_TRANSLATE_NOOP("frmstart", "OD Red, OS Blue"), 240, 480, 2412, 372, Default, Default, 9.6, 5,
        QT_TRANSLATE_NOOP("frmstart", "OD Red, OS Blue"), QT_TRANSLATE_NOOP("frmstart", "Red filter before the right eye, blue before the left")},
    {"Option2", Kind::Option, "Frame1", QT_TRANSLATE_NOOP("frmstart", "OD Red, OS Green"), 240, 960, 2412, 372, Default, Default, 9.6, 4,
        QT_TRANSLATE_NOOP("frmstart", "OD Red, OS Green"), QT_TRANSLATE_NOOP("frmstart", "Red filter before the right eye, green before the left")},
    {"Option3", Kind::Option, "Frame1", QT_TRANSLATE_NOOP("frmstart", "OD Blue, OS Red"), 240, 1440, 2292, 372, Default, Default, 9.6, 3,
        QT_TRANSLATE_NOOP("frmstart", "OD Blue, OS Red"), QT_TRANSLATE_NOOP("frmstart", "Blue filter before the right eye, red before the left")},
    {"Option4", Kind::Option, "Frame1", QT_TRANSLATE_NOOP("frmstart", "OD Green, OS Red"), 240, 1920, 2412, 372, Default, Default, 9.6, 2,
        QT_TRANSLATE_NOOP("frmstart", "OD Green, OS Red"), QT_TRANSLATE_NOOP("frmstart", "Green filter before the right eye, red before the left")},
    {"Frame2", Kind::Frame, nullptr, QT_TRANSLATE_NOOP("frmstart", "Target"), 4440, 840, 1452, 1812, Default, Default, 13.8, 6,
        QT_TRANSLATE_NOOP("frmstart", "Target"), QT_TRANSLATE_NOOP("frmstart", "Where the ring stands on the measurement screen")},
    {"Option5", Kind::Option, "Frame2", QT_TRANSLATE_NOOP("frmstart", "Center"), 240, 480, 1092, 372, Default, Default, 9.6, 7,
        QT_TRANSLATE_NOOP("frmstart", "Center"), QT_TRANSLATE_NOOP("frmstart", "The ring in the middle of the screen")},
    {"Option6", Kind::Option, "Frame2", QT_TRANSLATE_NOOP("frmstart", "Right"), 240, 840, 972, 372, Default, Default, 9.6, 8,
        QT_TRANSLATE_NOOP("frmstart", "Right"), QT_TRANSLATE_NOOP("frmstart", "The ring a quarter of the screen's width right of the middle")},
    {"Option7", Kind::Option, "Frame2", QT_TRANSLATE_NOOP("frmstart", "Left"), 240, 1200, 1092, 372, Default, Default, 9.6, 9,
        QT_TRANSLATE_NOOP("frmstart", "Left"), QT_TRANSLATE_NOOP("frmstart", "The ring a quarter of the screen's width left of the middle")},
    {"Frame3", Kind::Frame, nullptr, QT_TRANSLATE_NOOP("frmstart", "Fix Eye"), 6600, 840, 1332, 1812, Default, Default, 13.8, 12,
        QT_TRANSLATE_NOOP("frmstart", "Fix Eye"), QT_TRANSLATE_NOOP("frmstart", "The eye that fixes the ring: OD is the right eye, OS the left eye")},
    {"Option8", Kind::Option, "Frame3", "OD", 240, 480, 732, 372, Default, Default, 9.6, 13,
        "OD", QT_TRANSLATE_NOOP("frmstart", "The right eye fixes")},
    {"Option9", Kind::Option, "Frame3", "OS", 240, 840, 732, 372, Default, Default, 9.6, 14,
        "OS", QT_TRANSLATE_NOOP("frmstart", "The left eye fixes")},
    // Right of the eye's frame, within the width the note across the top keeps: the patient's
    // distance from the screen (Alt+D), which every result and every Hess target is worked out
    // for. In the focus order after the eye's choices.
    {"distanceLabel", Kind::Label, nullptr, QT_TRANSLATE_NOOP("frmstart", "Viewing &distance"), 8040, 840, 1500, 540, AppWorkspace, Default, 9.6, None,
        nullptr, QT_TRANSLATE_NOOP("frmstart", "The patient's distance from the screen")},
    {"Distance", Kind::SpinBox, nullptr, "", 8040, 1440, 1332, 420, Default, Default, 9.6, 14,
        QT_TRANSLATE_NOOP("frmstart", "Viewing distance in centimetres"), QT_TRANSLATE_NOOP("frmstart", "The distance from the patient's eyes to the screen in centimetres, which the results and the Hess targets are worked out for")},
    // Between the frames and the title picture, as wide as the frames of the target and the eye
    // and the note's right edge allow: the resolution on one line, then the monitor's whole
    // name and size on up to three, whatever the names the system gives it.
    {"resolu", Kind::Label, nullptr, "Screen Resolution", 4440, 2760, 4548, 300, AppWorkspace, Default, 9.6, 10,
        nullptr, QT_TRANSLATE_NOOP("frmstart", "The size of the screen in pixels, across by down")},
    {"monitor", Kind::Label, nullptr, "", 4440, 3060, 4548, 720, AppWorkspace, Default, 9.6, None,
        nullptr, QT_TRANSLATE_NOOP("frmstart", "The monitor the measurement opens on: its name and its size as it reports it")},
    {"Command3", Kind::PushButton, nullptr, QT_TRANSLATE_NOOP("frmstart", "Calibrate"), 1800, 3840, 1572, 492, Default, Default, 13.8, 19,
        QT_TRANSLATE_NOOP("frmstart", "Calibrate"), QT_TRANSLATE_NOOP("frmstart", "Saves the options and opens the screen calibration")},
    {"cali", Kind::Label, nullptr, "Calibra value", 1440, 4680, 2292, 612, AppWorkspace, Default, 9.6, 20,
        nullptr, QT_TRANSLATE_NOOP("frmstart", "The calibration: how many pixels make 150 millimetres on this screen, across by down")},
    // Under the calibration's value, down to "Exit" and "Start": when the calibration in use was
    // made and by whom, in up to two lines; hidden where no record holds it.
    {"caliMade", Kind::Label, nullptr, "", 960, 5265, 3480, 495, AppWorkspace, Default, 9.6, None,
        nullptr, QT_TRANSLATE_NOOP("frmstart", "When the calibration in use was made, and by whom")},
    {"Image1", Kind::Image, nullptr, ":/pictures/title.bmp", 4680, 3840, 3048, 2340, Default, Default, design::kDefaultFont, None,
        "Kelvane", QT_TRANSLATE_NOOP("frmstart", "The program's title picture")},
    {"Command2", Kind::PushButton, nullptr, QT_TRANSLATE_NOOP("frmstart", "Exit"), 960, 5760, 1332, 492, Default, Default, 13.8, 11,
        QT_TRANSLATE_NOOP("frmstart", "Exit"), QT_TRANSLATE_NOOP("frmstart", "Saves the options and ends the program")},
    {"Command1", Kind::PushButton, nullptr, QT_TRANSLATE_NOOP("frmstart", "Start"), 2880, 5760, 1332, 492, Default, Default, 13.8, 0,
        QT_TRANSLATE_NOOP("frmstart", "Start"), QT_TRANSLATE_NOOP("frmstart", "Saves the options and opens the measurement screen")},
    // Under "Exit" and "Start", in the column of "Calibrate": the visit's results, shown once
    // a measurement has given one.
    {"Command4", Kind::PushButton, nullptr, QT_TRANSLATE_NOOP("frmstart", "Results"), 1800, 6480, 1572, 492, Default, Default, 13.8, 21,
        QT_TRANSLATE_NOOP("frmstart", "Results"), QT_TRANSLATE_NOOP("frmstart", "Opens the results of this visit: the table, the summary, the picture, the copy and the report")},
    // Right of the title picture, within the width the note across the top keeps: the Hess
    // test's field, and the button that starts it (Alt+H, and Ctrl+H).
    {"Frame4", Kind::Frame, nullptr, QT_TRANSLATE_NOOP("frmstart", "Hess"), 7920, 3840, 1620, 1332, Default, Default, 13.8, 15,
        QT_TRANSLATE_NOOP("frmstart", "Hess points"), QT_TRANSLATE_NOOP("frmstart", "How many directions of gaze the Hess test measures for each eye")},
    {"Option10", Kind::Option, "Frame4", QT_TRANSLATE_NOOP("frmstart", "9 points"), 240, 480, 1320, 372, Default, Default, 9.6, 16,
        QT_TRANSLATE_NOOP("frmstart", "9 points"), QT_TRANSLATE_NOOP("frmstart", "The inner field: the centre and 8 directions at 15 degrees")},
    {"Option11", Kind::Option, "Frame4", QT_TRANSLATE_NOOP("frmstart", "25 points"), 240, 840, 1320, 372, Default, Default, 9.6, 17,
        QT_TRANSLATE_NOOP("frmstart", "25 points"), QT_TRANSLATE_NOOP("frmstart", "The inner field and the outer field at 30 degrees")},
    {"Command5", Kind::PushButton, nullptr, QT_TRANSLATE_NOOP("frmstart", "&Hess"), 7920, 5280, 1332, 492, Default, Default, 13.8, 18,
        QT_TRANSLATE_NOOP("frmstart", "Hess test"), QT_TRANSLATE_NOOP("frmstart", "Saves the options and opens the Hess test: each eye fixing in turn, the other eye's deviation in each direction of gaze")},
    // Under "Hess", down to the note across the bottom, in the desktop's smaller face: whether
    // the fields fit this screen at the viewing distance, and how near the inner field fits.
    {"hessFits", Kind::Label, nullptr, "", 7920, 5820, 1620, 1140, AppWorkspace, Default, design::kDefaultFont, None,
        nullptr, QT_TRANSLATE_NOOP("frmstart", "Whether the Hess test's fields fit this screen at the viewing distance")},
    // Across the top, above the frames, where it is seen first and fits the smallest screens
    // (it ends 5 pixels inside 800 at 120 dpi): says when the calibration in use is not one
    // stored for this screen, and when the picture is mirrored on a monitor of another size;
    // hidden otherwise. Three lines hold both.
    {"caliNote", Kind::Label, nullptr, "", 960, 60, 8580, 720, AppWorkspace, Default, 9.6, None,
        nullptr, QT_TRANSLATE_NOOP("frmstart", "Whether the calibration in use was measured on this screen")},
    // Across the bottom, under "Results": says when the options and the calibration shown are not
    // in the settings file, and why; hidden otherwise. Four lines hold the longest.
    {"saveNote", Kind::Label, nullptr, "", 960, 7020, 8580, 900, AppWorkspace, Default, 9.6, None,
        nullptr, QT_TRANSLATE_NOOP("frmstart", "Whether the options and the calibration shown are saved")},
};
// clang-format on
} // namespace

void frmstartDesign::setupUi(QWidget *frmstart)
{
    const design::Controls controls = design::build(frmstart, kWindow, kControls);
    Frame1 = controls.get<QGroupBox>("Frame1");
    Option1 = controls.get<QRadioButton>("Option1");
    Option2 = controls.get<QRadioButton>("Option2");
    Option3 = controls.get<QRadioButton>("Option3");
    Option4 = controls.get<QRadioButton>("Option4");
    Frame2 = controls.get<QGroupBox>("Frame2");
    Option5 = controls.get<QRadioButton>("Option5");
    Option6 = controls.get<QRadioButton>("Option6");
    Option7 = controls.get<QRadioButton>("Option7");
    Frame3 = controls.get<QGroupBox>("Frame3");
    Option8 = controls.get<QRadioButton>("Option8");
    Option9 = controls.get<QRadioButton>("Option9");
    resolu = controls.get<QLabel>("resolu");
    monitor = controls.get<QLabel>("monitor");
    monitor->setTextFormat(Qt::PlainText); // the system's names
    Command3 = controls.get<QPushButton>("Command3");
    cali = controls.get<QLabel>("cali");
    caliMade = controls.get<QLabel>("caliMade");
    caliMade->setTextFormat(Qt::PlainText); // a user's name, from the file
    caliMade->hide();
    Image1 = controls.get<QLabel>("Image1");
    Command2 = controls.get<QPushButton>("Command2");
    Command1 = controls.get<QPushButton>("Command1");
    caliNote = controls.get<QLabel>("caliNote");
    caliNote->hide();
    Command4 = controls.get<QPushButton>("Command4");
    Command4->hide();
    Frame4 = controls.get<QGroupBox>("Frame4");
    Option10 = controls.get<QRadioButton>("Option10");
    Option11 = controls.get<QRadioButton>("Option11");
    Command5 = controls.get<QPushButton>("Command5");
    distanceLabel = controls.get<QLabel>("distanceLabel");
    Distance = controls.get<QSpinBox>("Distance");
    Distance->setRange(clinic::hess::kDistanceMinimumCm, clinic::hess::kDistanceMaximumCm);
    Distance->setSuffix(QCoreApplication::translate("frmstart", " cm"));
    distanceLabel->setBuddy(Distance);
    // The box's own text field, which a screen reader reaches while the value is typed.
    auto *typed = Distance->findChild<QLineEdit *>();
    typed->setAccessibleName(
        QCoreApplication::translate("frmstart", "Viewing distance typed in centimetres"));
    typed->setAccessibleDescription(Distance->accessibleDescription());
    hessFits = controls.get<QLabel>("hessFits");
    // Over the title picture's right edge, as the Hess controls above it: the picture shows
    // through around the text.
    hessFits->setAutoFillBackground(false);
    saveNote = controls.get<QLabel>("saveNote");
    saveNote->setTextFormat(Qt::PlainText); // the system's words and a user's name
    saveNote->hide();

    // The readouts centre their lines: "cali" stands centred under "Calibrate".
    for (QLabel *readout : {resolu, monitor, cali, caliMade})
        readout->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
}
