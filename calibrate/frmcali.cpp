#include "calibrate/frmcali.h"

#include "forms/navigation.h"
#include "platform/platform.h"
#include "settings/ini.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace {
// The axes meet in the corner (99, 99), while a calibration value counts pixels from column
// (row) 100, one past the corner line: the ruler's zero lies on the axis, and a mark stands at
// 100 plus its value.
constexpr float kCorner = settings::kMarkOrigin - 1;
// Each mark is a stroke across its axis from 70 to 130: 29 pixels outside, 31 inside.
constexpr float kMarkFrom = 70;
constexpr float kMarkTo = 130;

// Sets a bar to a stored value rounded to a whole number, a half going to the even neighbour.
// A value the bar cannot take leaves it where it is. Setting the value the bar already holds
// runs nothing; any other runs the bar's change handling at once.
void setBar(QScrollBar *bar, double value)
{
    const std::optional<qint16> whole = settings::toInteger16(value);
    if (!whole || *whole < bar->minimum() || *whole > bar->maximum())
        return;
    bar->setValue(*whole);
}

// A mark and its readout follow their value only while it is below the screen size less the
// calibration margin, so that a mark that follows always stays short of the end of its axis.
bool follows(double value, float screenSize)
{
    return value < screenSize - settings::kCalibrationMargin;
}
} // namespace

FrmCali::FrmCali(FrmCaliValues &values, Navigation &program, QWidget *parent)
    : FormWindow(parent)
    , m_values(values)
    , m_program(program)
{
    ui.setupUi(this);
    connect(ui.HScroll1, &QScrollBar::valueChanged, this, &FrmCali::HScroll1_Change);
    connect(ui.VScroll1, &QScrollBar::valueChanged, this, &FrmCali::VScroll1_Change);
    connect(ui.Done, &QPushButton::clicked, this, &FrmCali::Done_Click);
    connect(ui.Cancel, &QPushButton::clicked, this, &FrmCali::Cancel_Click);
    // Enter presses the focused button, as the space bar does: right after opening that is
    // "Done", which stores the values as loaded.
    ui.Done->setAutoDefault(true);
    ui.Cancel->setAutoDefault(true);
}

void FrmCali::Form_Load()
{
    if (m_program.anotherInstanceRunning()) {
        m_program.endProgram();
        return;
    }

    // Each read is a step of its own: one that fails keeps the value held before.
    const QByteArray folder = m_program.programFolder();
    settings::read(folder, settings::Key::ScreenH, m_values.ScreenH);
    settings::read(folder, settings::Key::ScreenV, m_values.ScreenV);

    const platform::ScreenSize screen = platform::screenSize();
    ui.Xline->setPoints(kCorner, kCorner, screen.width - settings::kAxisShortOfEdge, kCorner);
    ui.Yline->setPoints(kCorner, kCorner, kCorner, screen.height - settings::kAxisShortOfEdge);
    const float x = float(settings::kMarkOrigin + m_values.ScreenH);
    ui.Xcursor->setPoints(x, kMarkFrom, x, kMarkTo);
    const float y = float(settings::kMarkOrigin + m_values.ScreenV);
    ui.Ycursor->setPoints(kMarkFrom, y, kMarkTo, y);

    // The bars' change handling runs inside these two steps, so the caption below shows the
    // values as the bars left them.
    setBar(ui.HScroll1, m_values.ScreenH);
    setBar(ui.VScroll1, m_values.ScreenV);

    ui.cali->setText(QStringLiteral("Calibration Value ") + settings::captionText(m_values.ScreenH)
        + QStringLiteral(" x ") + settings::captionText(m_values.ScreenV));
    ui.resolu->setText(QStringLiteral("Screen Resolution ") + settings::captionText(screen.width)
        + QStringLiteral(" x ") + settings::captionText(screen.height));
}

void FrmCali::HScroll1_Change()
{
    // The value is taken whatever it is; "Done" stores it even where the mark cannot follow.
    m_values.ScreenH = ui.HScroll1->value();
    if (follows(m_values.ScreenH, platform::screenSize().width)) {
        ui.HPO->setText(settings::captionText(m_values.ScreenH));
        const float x = float(settings::kMarkOrigin + m_values.ScreenH);
        ui.Xcursor->setPoints(x, kMarkFrom, x, kMarkTo);
    }
}

void FrmCali::VScroll1_Change()
{
    m_values.ScreenV = qint16(ui.VScroll1->value());
    if (follows(m_values.ScreenV, platform::screenSize().height)) {
        ui.VPO->setText(settings::captionText(m_values.ScreenV));
        const float y = float(settings::kMarkOrigin + m_values.ScreenV);
        ui.Ycursor->setPoints(kMarkFrom, y, kMarkTo, y);
    }
}

void FrmCali::Done_Click()
{
    // Stored exactly as held: the start screen judges the values when it loads.
    settings::save(m_program.programFolder(),
        {{settings::Key::ScreenH, m_values.ScreenH},
            {settings::Key::ScreenV, double(m_values.ScreenV)}});
    m_program.showFrmstart();
    close();
}

void FrmCali::Cancel_Click()
{
    // The file keeps what the start screen wrote just before it opened this window.
    m_program.showFrmstart();
    close();
}

void FrmCali::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    ui.paintLines(painter);
}
