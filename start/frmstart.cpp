#include "start/frmstart.h"

#include "clinic/calibration.h"
#include "forms/design.h"
#include "forms/navigation.h"
#include "platform/platform.h"
#include "settings/ini.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {
// Fall-backs of the stored options outside their ranges.
constexpr double kFilterFallback = 1;
constexpr double kTargetFallback = 1;
constexpr double kFixEyeFallback = 2; // the left eye fixes unless the file says otherwise

// Selects or clears one option button. Qt refuses to clear the selected button of a group,
// so the group rule is lifted for that moment.
void setOption(QRadioButton *option, bool selected)
{
    if (option->isChecked() == selected)
        return;
    option->setAutoExclusive(false);
    option->setChecked(selected);
    option->setAutoExclusive(true);
}

} // namespace

frmstart::frmstart(frmstartValues &values, Navigation &program, QWidget *parent)
    : FormWindow(parent)
    , m_values(values)
    , m_program(program)
{
    ui.setupUi(this);
    connect(ui.Command1, &QPushButton::clicked, this, &frmstart::Command1_Click);
    connect(ui.Command2, &QPushButton::clicked, this, &frmstart::Command2_Click);
    connect(ui.Command3, &QPushButton::clicked, this, &frmstart::Command3_Click);
}

void frmstart::Form_Load()
{
    if (m_program.anotherInstanceRunning()) {
        m_program.endProgram();
        return;
    }

    // Each read is a step of its own: one that fails keeps the value held before.
    const auto stored = settings::readAll(m_program.programFolder(), m_values);

    // A value inside the range but not whole selects no option of its group.
    if (m_values.Filter < 1 || m_values.Filter > 4)
        m_values.Filter = kFilterFallback;
    QRadioButton *filters[] = {ui.Option1, ui.Option2, ui.Option3, ui.Option4};
    for (int k = 1; k <= 4; ++k)
        setOption(filters[k - 1], m_values.Filter == k);

    if (m_values.Target < 1 || m_values.Target > 3)
        m_values.Target = kTargetFallback;
    QRadioButton *targets[] = {ui.Option5, ui.Option6, ui.Option7};
    for (int k = 1; k <= 3; ++k)
        setOption(targets[k - 1], m_values.Target == k);

    if (m_values.FixEye < 1 || m_values.FixEye > 2)
        m_values.FixEye = kFixEyeFallback;
    setOption(ui.Option8, m_values.FixEye == 1);
    setOption(ui.Option9, m_values.FixEye == 2);

    const platform::ScreenSize screen = platform::screenSize(m_program.patientScreen());
    showCalibrationNote(stored[int(settings::Key::ScreenH)], stored[int(settings::Key::ScreenV)],
        screen.width, screen.height);
    if (m_values.ScreenH < clinic::kCalibrationMinimum
        || m_values.ScreenH > screen.width - clinic::kCalibrationMargin)
        m_values.ScreenH = clinic::kCalibrationFallback;
    if (m_values.ScreenV < clinic::kCalibrationMinimum
        || m_values.ScreenV > screen.height - clinic::kCalibrationMargin)
        m_values.ScreenV = qint16(clinic::kCalibrationFallback);

    ui.cali->setText(QStringLiteral("   Calibration Value   ")
        + settings::captionText(m_values.ScreenH) + QStringLiteral(" x ")
        + settings::captionText(m_values.ScreenV));
    ui.resolu->setText(QStringLiteral("Screen Resolution ") + settings::captionText(screen.width)
        + QStringLiteral(" x ") + settings::captionText(screen.height)
        + design::monitorName(m_program.patientScreen()));
}

// A fall-back of 500 pixels is no measurement: on a 96-dpi monitor every result would be 13 %
// too large, on a laptop's screen far more. Where the calibration in use is not one stored for
// this screen, the start screen says so and why, across its top; the caption itself stays as
// it is.
void frmstart::showCalibrationNote(
    settings::Stored storedH, settings::Stored storedV, float width, float height)
{
    QStringList problems;
    const auto judge = [&](settings::Stored stored, double value, float size, const char *way) {
        const QString axis = QLatin1String(way) + QStringLiteral(": ");
        const double largest = size - clinic::kCalibrationMargin;
        if (stored == settings::Stored::Nothing)
            problems << axis + QStringLiteral("nothing stored");
        else if (stored == settings::Stored::Unreadable)
            problems << axis + QStringLiteral("the stored value cannot be read");
        else if (value < clinic::kCalibrationMinimum)
            problems << axis
                    + QStringLiteral("stored %1, at least %2")
                          .arg(settings::captionText(value),
                              settings::captionText(clinic::kCalibrationMinimum));
        else if (value > largest)
            problems << axis
                    + QStringLiteral("stored %1, at most %2 on this screen")
                          .arg(settings::captionText(value), settings::captionText(largest));
    };
    judge(storedH, m_values.ScreenH, width, "across");
    judge(storedV, m_values.ScreenV, height, "down");
    if (problems.isEmpty()) {
        ui.caliNote->hide();
        return;
    }
    ui.caliNote->setText(QStringLiteral("Not calibrated for this screen (%1). Using %2 pixels per "
                                        "150 mm: calibrate this screen before measuring.")
                             .arg(problems.join(QStringLiteral("; ")),
                                 settings::captionText(clinic::kCalibrationFallback)));
    ui.caliNote->show();
}

void frmstart::SaveSettings()
{
    // A group with no option selected (a stored 2.5, say) keeps its value as read.
    const QRadioButton *filters[] = {ui.Option1, ui.Option2, ui.Option3, ui.Option4};
    for (int k = 1; k <= 4; ++k) {
        if (filters[k - 1]->isChecked())
            m_values.Filter = k;
    }
    const QRadioButton *targets[] = {ui.Option5, ui.Option6, ui.Option7};
    for (int k = 1; k <= 3; ++k) {
        if (targets[k - 1]->isChecked())
            m_values.Target = k;
    }
    if (ui.Option8->isChecked())
        m_values.FixEye = 1;
    if (ui.Option9->isChecked())
        m_values.FixEye = 2;

    settings::saveAll(m_program.programFolder(), m_values);
}

void frmstart::Command1_Click()
{
    // The measurement screen reads the file while it loads, so the save comes first.
    SaveSettings();
    m_program.showForm1();
    close();
}

void frmstart::Command3_Click()
{
    SaveSettings();
    m_program.showFrmCali();
    close();
}

void frmstart::Command2_Click()
{
    SaveSettings();
    m_program.unloadFrmCali();
    close();
    m_program.endProgram();
}

bool frmstart::Form_KeyPress(int KeyAscii)
{
    if (KeyAscii != kKeyEscape)
        return false;
    SaveSettings();
    close();
    m_program.endProgram();
    return true;
}
