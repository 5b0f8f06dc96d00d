#include "calibrate/frmcali.h"

#include "clinic/calibration.h"
#include "clinic/calibrationrecord.h"
#include "forms/monitor.h"
#include "forms/navigation.h"
#include "platform/platform.h"
#include "settings/ini.h"

#include <QDate>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>

#include <algorithm>

namespace {
// The axes meet in the corner (99, 99), while a calibration value counts pixels from column
// (row) 100, one past the corner line: the ruler's zero lies on the axis, and a mark stands at
// 100 plus its value.
constexpr float kCorner = clinic::kMarkOrigin - 1;
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

// Between controls moved to fit a small screen, and between them and the marks.
constexpr int kFitGap = 2;

void moveBy(QWidget *widget, int dx, int dy)
{
    widget->move(widget->pos() + QPoint(dx, dy));
}

bool sideBySide(const QWidget *a, const QWidget *b)
{
    const QRect ra = a->geometry();
    const QRect rb = b->geometry();
    return ra.left() <= rb.right() && rb.left() <= ra.right();
}

// Brings every control of the window onto a screen too small for the design: the instruction
// picture keeps its own pixel size, so on a low screen (600 rows at 96 dpi, or 120 dpi and more
// with a screen not much higher than the design) "Done" and "Cancel" lay below its bottom edge and
// only the keyboard could leave. Each step is taken only while the controls still do not fit,
// and moves only what it must; where the design fits, nothing moves.
void fitOnScreen(FrmCaliDesign &ui, QSize screen)
{
    QWidget *const block[] = {ui.Image1, ui.resolu, ui.cali, ui.Cancel, ui.Done};
    const auto extent = [&block](auto edge) {
        int most = 0;
        for (const QWidget *widget : block)
            most = std::max(most, edge(widget->geometry()));
        return most;
    };
    const auto right = [](const QRect &r) { return r.right(); };
    const auto bottom = [](const QRect &r) { return r.bottom(); };
    const auto rise = [&block](int by) {
        for (QWidget *widget : block)
            moveBy(widget, 0, -by);
    };

    // Across: the picture, with what stands under it, moves left until it ends on the screen.
    if (const int over = extent(right) - (screen.width() - 1); over > 0) {
        for (QWidget *widget : block)
            moveBy(widget, -over, 0);
    }
    if (extent(bottom) < screen.height())
        return;

    // The two buttons beside the captions, level with the first, where the row has room;
    // otherwise right under the captions.
    const int beside
        = std::max(ui.resolu->geometry().right(), ui.cali->geometry().right()) + 1 + kFitGap;
    if (beside + ui.Cancel->width() + kFitGap + ui.Done->width() <= screen.width()) {
        ui.Cancel->move(beside, ui.resolu->y());
        ui.Done->move(ui.Cancel->geometry().right() + 1 + kFitGap, ui.resolu->y());
    } else {
        const int top = ui.cali->geometry().bottom() + 1 + kFitGap;
        ui.Cancel->move(ui.Cancel->x(), top);
        ui.Done->move(ui.Done->x(), top);
    }

    // Up: the picture and its block rise, as far as the controls above them allow.
    int need = extent(bottom) - (screen.height() - 1);
    if (need <= 0)
        return;
    const int underMark = int(kMarkTo) + 1 + kFitGap;
    int ceiling = underMark;
    for (const QWidget *above :
        {static_cast<QWidget *>(ui.HScroll1), static_cast<QWidget *>(ui.HPO)}) {
        if (sideBySide(above, ui.Image1))
            ceiling = std::max(ceiling, above->geometry().bottom() + 1 + kFitGap);
    }
    const int first = std::clamp(ui.Image1->y() - ceiling, 0, need);
    rise(first);
    need -= first;
    if (need <= 0)
        return;

    // Still too low: the across bar and its readout step aside, left of the picture and right
    // of the down axis's marks, and the picture rises to just under the across axis's mark.
    const int aside = ui.HScroll1->width() + kFitGap + ui.HPO->width();
    if (underMark + aside > ui.Image1->x() - kFitGap)
        return;
    ui.HScroll1->move(underMark, ui.HScroll1->y());
    ui.HPO->move(underMark + ui.HScroll1->width() + kFitGap, ui.HPO->y());
    rise(std::clamp(ui.Image1->y() - underMark, 0, need));
}

} // namespace

FrmCali::FrmCali(FrmCaliValues &values, Navigation &program, QWidget *parent)
    : FormWindow(parent)
    , m_values(values)
    , m_program(program)
{
    ui.setupUi(this);
    fitOnScreen(ui, platform::screenGeometry(m_program.patientScreen()).size());
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

    const platform::ScreenSize screen = platform::screenSize(m_program.patientScreen());
    ui.Xline->setPoints(kCorner, kCorner, screen.width - clinic::kAxisShortOfEdge, kCorner);
    ui.Yline->setPoints(kCorner, kCorner, kCorner, screen.height - clinic::kAxisShortOfEdge);
    const float x = float(clinic::kMarkOrigin + m_values.ScreenH);
    ui.Xcursor->setPoints(x, kMarkFrom, x, kMarkTo);
    const float y = float(clinic::kMarkOrigin + m_values.ScreenV);
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
    if (clinic::markFits(m_values.ScreenH, platform::screenSize(m_program.patientScreen()).width)) {
        ui.HPO->setText(settings::captionText(m_values.ScreenH));
        const float x = float(clinic::kMarkOrigin + m_values.ScreenH);
        ui.Xcursor->setPoints(x, kMarkFrom, x, kMarkTo);
    }
}

void FrmCali::VScroll1_Change()
{
    m_values.ScreenV = qint16(ui.VScroll1->value());
    if (clinic::markFits(
            m_values.ScreenV, platform::screenSize(m_program.patientScreen()).height)) {
        ui.VPO->setText(settings::captionText(m_values.ScreenV));
        const float y = float(clinic::kMarkOrigin + m_values.ScreenV);
        ui.Ycursor->setPoints(kMarkFrom, y, kMarkTo, y);
    }
}

void FrmCali::Done_Click()
{
    // Stored exactly as held, with the monitor and resolution they were made on and the day:
    // the start screen judges the values when it loads, and brings this monitor's record back
    // whenever it is in use again.
    const QByteArray folder = m_program.programFolder();
    const clinic::CalibrationRecord record {m_values.ScreenH, double(m_values.ScreenV),
        describeMonitor(m_program.patientScreen()), QDate::currentDate()};
    const QString error = settings::save(folder,
        {{settings::Key::ScreenH, m_values.ScreenH},
            {settings::Key::ScreenV, double(m_values.ScreenV)}},
        clinic::doneEntries(folder, record));
    if (!error.isEmpty()) {
        // The marks stay where the clinician put them: another "Done" once the folder can be
        // written stores them, "Cancel" leaves the file as it was.
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Calibration not stored"),
            QStringLiteral("The calibration could not be stored in %1:\n%2.\n\nPress \"Done\" "
                           "to try again, or \"Cancel\" to leave without storing it.")
                .arg(QFile::decodeName(settings::settingsPath(folder)), error),
            QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText);
        box.exec();
        return;
    }
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
