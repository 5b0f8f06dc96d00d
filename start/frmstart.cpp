#include "start/frmstart.h"

#include "app/platform.h"
#include "app/windows.h"
#include "settings/ini.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {
// Acceptance ranges and fall-backs of the stored options.
constexpr double kFilterFallback = 1;
constexpr double kTargetFallback = 1;
constexpr double kFixEyeFallback = 2; // the left eye fixes unless the file says otherwise
constexpr double kCalibrationFallback = 500;
constexpr double kCalibrationMinimum = 100;
// A calibration value needs 250 pixels to spare: the calibration screen's axes end 150 pixels
// short of the screen's edge and its marks start 100 pixels in.
constexpr float kCalibrationMargin = 250;

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

frmstart::frmstart(frmstartValues &values, QWidget *parent)
    : FormWindow(parent)
    , m_values(values)
{
    ui.setupUi(this);
    connect(ui.Command1, &QPushButton::clicked, this, &frmstart::Command1_Click);
    connect(ui.Command2, &QPushButton::clicked, this, &frmstart::Command2_Click);
    connect(ui.Command3, &QPushButton::clicked, this, &frmstart::Command3_Click);
}

void frmstart::Form_Load()
{
    if (platform::anotherInstanceRunning()) {
        platform::endProgram();
        return;
    }

    // Each read is a step of its own: one that fails keeps the value held before.
    settings::readSetting(settings::kSectionFilter, settings::kKeyFilter, m_values.Filter);
    settings::readSetting(settings::kSectionFilter, settings::kKeyTarget, m_values.Target);
    settings::readSetting(settings::kSectionFilter, settings::kKeyFixEye, m_values.FixEye);
    settings::readSetting(settings::kSectionScreen, settings::kKeyScreenH, m_values.ScreenH);
    settings::readSetting(settings::kSectionScreen, settings::kKeyScreenV, m_values.ScreenV);

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

    const platform::ScreenSize screen = platform::screenSize();
    if (m_values.ScreenH < kCalibrationMinimum
        || m_values.ScreenH > screen.width - kCalibrationMargin)
        m_values.ScreenH = kCalibrationFallback;
    if (m_values.ScreenV < kCalibrationMinimum
        || m_values.ScreenV > screen.height - kCalibrationMargin)
        m_values.ScreenV = qint16(kCalibrationFallback);

    ui.cali->setText(QStringLiteral("   Calibration Value   ")
        + settings::captionText(m_values.ScreenH) + QStringLiteral(" x ")
        + settings::captionText(m_values.ScreenV));
    ui.resolu->setText(QStringLiteral("Screen Resolution ") + settings::captionText(screen.width)
        + QStringLiteral(" x ") + settings::captionText(screen.height));
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

    const auto write = [](const char *section, const char *key, double value) {
        WriteINI(QLatin1String(section), QLatin1String(key), settings::numberText(value),
            settings::settingsPath());
    };
    write(settings::kSectionFilter, settings::kKeyFilter, m_values.Filter);
    write(settings::kSectionFilter, settings::kKeyTarget, m_values.Target);
    write(settings::kSectionFilter, settings::kKeyFixEye, m_values.FixEye);
    write(settings::kSectionScreen, settings::kKeyScreenH, m_values.ScreenH);
    write(settings::kSectionScreen, settings::kKeyScreenV, m_values.ScreenV);
}

void frmstart::Command1_Click()
{
    // The measurement screen reads the file while it loads, so the save comes first.
    SaveSettings();
    windows::showForm1();
    close();
}

void frmstart::Command3_Click()
{
    SaveSettings();
    windows::showFrmCali();
    close();
}

void frmstart::Command2_Click()
{
    SaveSettings();
    windows::unloadFrmCali();
    close();
    platform::endProgram();
}

bool frmstart::Form_KeyPress(int KeyAscii)
{
    constexpr int kEscape = 27;
    if (KeyAscii != kEscape)
        return false;
    SaveSettings();
    close();
    platform::endProgram();
    return true;
}
