#include "forms/frmstart_design.h"

#include "forms/design.h"

#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include <type_traits>

namespace {
// Client area of the window when it is not maximized, in twips.
constexpr int kClientWidth = 10908;
constexpr int kClientHeight = 7992;

constexpr qreal kFramePoints = 13.8;
constexpr qreal kOptionPoints = 9.6;
constexpr qreal kLabelPoints = 9.6;
constexpr qreal kButtonPoints = 13.8;

template<typename Control>
Control *make(QWidget *container, const char *name, const QString &text, int left, int top,
    int width, int height, qreal points)
{
    // The face before the caption: a caption given first is measured in the default face,
    // which this window never shows, and loading that face is about 5 % of the start-up's work.
    auto *control = new Control(container);
    control->setObjectName(QLatin1String(name));
    control->setFont(design::boldFont(points));
    if constexpr (std::is_same_v<Control, QGroupBox>)
        control->setTitle(text);
    else
        control->setText(text);
    design::place(control, left, top, width, height);
    return control;
}

void describeForAssistiveTechnology(const frmstartDesign &ui, QWidget *frmstart)
{
    // What a screen reader announces. Each name holds the caption as shown, so that a user who
    // speaks "Start" or "OD Red" to a voice control still reaches the control; the description
    // spells out the eye abbreviations and what each button does. The two readouts take no
    // fixed name: their captions, values included, are read as their names.
    struct Description
    {
        QWidget *control;
        const char *name; // nullptr: the caption is the name
        const char *description;
    };
    const Description descriptions[] = {
        {frmstart, "Kelvane start screen",
            "Choose the filter glasses, the target's place and the fixing eye, then start the "
            "measurement or calibrate the screen"},
        {ui.Frame1, "Filter",
            "The filter glasses the patient wears: OD is the right eye, OS the left eye"},
        {ui.Option1, "OD Red, OS Blue", "Red filter before the right eye, blue before the left"},
        {ui.Option2, "OD Red, OS Green", "Red filter before the right eye, green before the left"},
        {ui.Option3, "OD Blue, OS Red", "Blue filter before the right eye, red before the left"},
        {ui.Option4, "OD Green, OS Red", "Green filter before the right eye, red before the left"},
        {ui.Frame2, "Target", "Where the ring stands on the measurement screen"},
        {ui.Option5, "Center", "The ring in the middle of the screen"},
        {ui.Option6, "Right", "The ring a quarter of the screen's width right of the middle"},
        {ui.Option7, "Left", "The ring a quarter of the screen's width left of the middle"},
        {ui.Frame3, "Fix Eye", "The eye that fixes the ring: OD is the right eye, OS the left eye"},
        {ui.Option8, "OD", "The right eye fixes"},
        {ui.Option9, "OS", "The left eye fixes"},
        {ui.resolu, nullptr, "The size of the screen in pixels, across by down"},
        {ui.cali, nullptr,
            "The calibration: how many pixels make 150 millimetres on this screen, across by "
            "down"},
        {ui.Image1, "Kelvane", "The program's title picture"},
        {ui.Command3, "Calibrate", "Saves the options and opens the screen calibration"},
        {ui.Command2, "Exit", "Saves the options and ends the program"},
        {ui.Command1, "Start", "Saves the options and opens the measurement screen"},
    };
    for (const Description &entry : descriptions) {
        if (entry.name)
            entry.control->setAccessibleName(QString::fromUtf8(entry.name));
        entry.control->setAccessibleDescription(QString::fromUtf8(entry.description));
    }
}
} // namespace

void frmstartDesign::setupUi(QWidget *frmstart)
{
    frmstart->setObjectName(QStringLiteral("frmstart"));
    frmstart->setWindowTitle(QStringLiteral("Kelvane"));
    frmstart->resize(design::twipsToPixels(kClientWidth), design::twipsToPixels(kClientHeight));
    design::setColours(frmstart, design::AppWorkspace);

    Frame1 = make<QGroupBox>(
        frmstart, "Frame1", QStringLiteral("Filter"), 960, 840, 2772, 2532, kFramePoints);
    design::setColours(Frame1, design::ActiveBorder);
    Option1 = make<QRadioButton>(
        Frame1, "Option1", QStringLiteral("OD Red, OS Blue"), 240, 480, 2412, 372, kOptionPoints);
    Option2 = make<QRadioButton>(
        Frame1, "Option2", QStringLiteral("OD Red, OS Green"), 240, 960, 2412, 372, kOptionPoints);
    Option3 = make<QRadioButton>(
        Frame1, "Option3", QStringLiteral("OD Blue, OS Red"), 240, 1440, 2292, 372, kOptionPoints);
    Option4 = make<QRadioButton>(
        Frame1, "Option4", QStringLiteral("OD Green, OS Red"), 240, 1920, 2412, 372, kOptionPoints);
    for (QRadioButton *option : {Option1, Option2, Option3, Option4})
        design::setColours(option, design::ButtonFace);

    Frame2 = make<QGroupBox>(
        frmstart, "Frame2", QStringLiteral("Target"), 4440, 840, 1452, 1812, kFramePoints);
    Option5 = make<QRadioButton>(
        Frame2, "Option5", QStringLiteral("Center"), 240, 480, 1092, 372, kOptionPoints);
    Option6 = make<QRadioButton>(
        Frame2, "Option6", QStringLiteral("Right"), 240, 840, 972, 372, kOptionPoints);
    Option7 = make<QRadioButton>(
        Frame2, "Option7", QStringLiteral("Left"), 240, 1200, 1092, 372, kOptionPoints);

    Frame3 = make<QGroupBox>(
        frmstart, "Frame3", QStringLiteral("Fix Eye"), 6600, 840, 1332, 1812, kFramePoints);
    Option8 = make<QRadioButton>(
        Frame3, "Option8", QStringLiteral("OD"), 240, 480, 732, 372, kOptionPoints);
    Option9 = make<QRadioButton>(
        Frame3, "Option9", QStringLiteral("OS"), 240, 840, 732, 372, kOptionPoints);
    for (QWidget *control : {static_cast<QWidget *>(Frame2), static_cast<QWidget *>(Frame3),
             static_cast<QWidget *>(Option5), static_cast<QWidget *>(Option6),
             static_cast<QWidget *>(Option7), static_cast<QWidget *>(Option8),
             static_cast<QWidget *>(Option9)})
        design::setColours(control, design::ButtonFace);

    resolu = make<QLabel>(frmstart, "resolu", QStringLiteral("Screen Resolution"), 5280, 2880, 2052,
        612, kLabelPoints);
    Command3 = make<QPushButton>(
        frmstart, "Command3", QStringLiteral("Calibrate"), 1800, 3840, 1572, 492, kButtonPoints);
    cali = make<QLabel>(
        frmstart, "cali", QStringLiteral("Calibra value"), 1440, 4680, 2292, 612, kLabelPoints);
    for (QLabel *label : {resolu, cali}) {
        design::setColours(label, design::AppWorkspace);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setWordWrap(true);
    }

    Image1 = new QLabel(frmstart);
    Image1->setObjectName(QStringLiteral("Image1"));
    design::place(Image1, 4680, 3840, 3048, 2340);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The picture keeps its own pixel size on every screen: the box follows the picture.
    // Read as what it is: a picture of unnamed format makes Qt load every image plugin on
    // the system to ask whether it knows the file, which the start-up then waits for.
    QImageReader reader(QStringLiteral(":/pictures/title.png"), "png");
    reader.setAutoDetectImageFormat(false);
    const QPixmap title = QPixmap::fromImage(reader.read());
    Image1->setPixmap(title);
    if (!title.isNull())
        Image1->resize(title.size());

    Command2 = make<QPushButton>(
        frmstart, "Command2", QStringLiteral("Exit"), 960, 5760, 1332, 492, kButtonPoints);
    Command1 = make<QPushButton>(
        frmstart, "Command1", QStringLiteral("Start"), 2880, 5760, 1332, 492, kButtonPoints);
    for (QPushButton *button : {Command1, Command2, Command3}) {
        design::setColours(button, design::ButtonFace);
        // Enter presses the focused button, as the space bar does.
        button->setAutoDefault(true);
    }

    // Focus order of the design: "Start", the filter choices from the bottom up, the target
    // choices, "Exit", the eye choices, "Calibrate".
    QWidget *order[] = {Command1, Option4, Option3, Option2, Option1, Option5, Option6, Option7,
        Command2, Option8, Option9, Command3};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    Command1->setFocus();

    describeForAssistiveTechnology(*this, frmstart);
}
