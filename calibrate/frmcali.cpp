#include "calibrate/frmcali.h"

#include "clinic/calibration.h"
#include "clinic/calibrationrecord.h"
#include "forms/monitor.h"
#include "forms/navigation.h"
#include "platform/platform.h"
#include "settings/ini.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// The axes meet in the corner (99, 99), while a calibration value counts pixels from column
// (row) 100, one past the corner line: the ruler's zero lies on the axis, and a mark stands at
// 100 plus its value.
constexpr float kCorner = clinic::kMarkOrigin - 1;
// Each mark is a stroke across its axis from 70 to 130: 29 pixels outside, 31 inside.
constexpr float kMarkFrom = 70;
constexpr float kMarkTo = 130;

// Puts a bar at a mark given in pixels, rounded to a whole pixel, a half going to the even
// neighbour; a mark beyond either end of the bar puts it at that end, which the mark and the
// readout then show. Says whether the bar moved: setting the value it already holds runs
// nothing, any other value runs the bar's change handling at once.
bool setBar(QScrollBar *bar, double mark)
{
    const double whole = std::nearbyint(mark);
    int value = bar->minimum();
    if (whole >= bar->maximum())
        value = bar->maximum();
    else if (whole > bar->minimum())
        value = int(whole);
    if (value == bar->value())
        return false;
    bar->setValue(value);
    return true;
}

// The lengths are said beside their axes: across on one line above the axis, down on two in
// the column between the axis and the picture.
QString lengthAcross(int mm)
{
    return QCoreApplication::translate("FrmCali", "Set this mark at %1 mm").arg(mm);
}
QString lengthDown(int mm)
{
    return QCoreApplication::translate("FrmCali", "Set this mark\nat %1 mm").arg(mm);
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

// The across length and the monitor's-size button stand above the across axis, their bottoms
// just clear of its mark's stroke, where no other control is on any screen. They are placed in
// screen pixels from the corner, as the axes and marks are, so that a high dpi does not push
// them onto the mark; the button is as wide as its caption needs.
void placeAboveTheAxis(FrmCaliDesign &ui)
{
    const int bottom = int(kMarkFrom) - kFitGap;
    ui.HLength->move(clinic::kMarkOrigin, bottom - ui.HLength->height());
    QPushButton *button = ui.MonitorSize;
    button->resize(std::max(button->width(), button->sizeHint().width()), button->height());
    button->move(ui.HLength->geometry().right() + 1 + kFitGap, bottom - button->height());
}

} // namespace

FrmCali::FrmCali(FrmCaliValues &values, Navigation &program, QWidget *parent)
    : FormWindow(parent)
    , m_values(values)
    , m_program(program)
{
    ui.setupUi(this);
    fitOnScreen(ui, platform::screenGeometry(m_program.patientScreen()).size());
    placeAboveTheAxis(ui);
    connect(ui.HScroll1, &QScrollBar::valueChanged, this, &FrmCali::HScroll1_Change);
    connect(ui.VScroll1, &QScrollBar::valueChanged, this, &FrmCali::VScroll1_Change);
    connect(ui.Done, &QPushButton::clicked, this, &FrmCali::Done_Click);
    connect(ui.Cancel, &QPushButton::clicked, this, &FrmCali::Cancel_Click);
    connect(ui.MonitorSize, &QPushButton::clicked, this, &FrmCali::MonitorSize_Click);
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

    // Each axis asks for the longest length whose mark the clinician can surely reach on this
    // screen, judged from the monitor's reported size, else from the stored value.
    const platform::ScreenSize screen = platform::screenSize(m_program.patientScreen());
    const clinic::Monitor monitor = describeMonitor(m_program.patientScreen());
    const QSizeF reported = clinic::knownSizeMm(monitor);
    m_reportedH = clinic::reportedCalibration(monitor.resolution.width(), reported.width());
    m_reportedV = clinic::reportedCalibration(monitor.resolution.height(), reported.height());
    m_lengthH = clinic::lengthFor(
        screen.width, clinic::expectedCalibration(m_reportedH, m_values.ScreenH, screen.width));
    m_lengthV = clinic::lengthFor(
        screen.height, clinic::expectedCalibration(m_reportedV, m_values.ScreenV, screen.height));
    ui.HLength->setText(lengthAcross(m_lengthH));
    ui.VLength->setText(lengthDown(m_lengthV));

    // The monitor's size is offered only where nothing has been calibrated on this monitor at
    // this resolution: a calibration made here is better than what the monitor says of itself.
    const bool calibratedHere
        = clinic::judgeCalibration(folder, m_values.ScreenH, m_values.ScreenV, monitor)
              .calibratedHere;
    ui.MonitorSize->setVisible(!calibratedHere && m_reportedH > 0 && m_reportedV > 0);

    ui.Xline->setPoints(kCorner, kCorner, screen.width - clinic::kAxisShortOfEdge, kCorner);
    ui.Yline->setPoints(kCorner, kCorner, kCorner, screen.height - clinic::kAxisShortOfEdge);

    // Each bar stops where its mark stops, so that the value held, its readout and its mark
    // always agree and "Done" stores only what the screen showed.
    ui.HScroll1->setMaximum(clinic::largestMark(screen.width));
    ui.VScroll1->setMaximum(clinic::largestMark(screen.height));
    // The bars' change handling places the marks and readouts and replaces the values by what
    // the bars show; it runs here even where a bar stays at the 0 it was created with, so that
    // no readout keeps its design caption. The caption below then shows the values as the bars
    // left them.
    const double loadedH = m_values.ScreenH;
    const qint16 loadedV = m_values.ScreenV;
    if (!setBar(ui.HScroll1, clinic::markFor(loadedH, m_lengthH)))
        HScroll1_Change();
    if (!setBar(ui.VScroll1, clinic::markFor(loadedV, m_lengthV)))
        VScroll1_Change();
    // On a shorter length one step of a bar is more than one pixel per 150 mm, so the bar's
    // value need not give back the stored value exactly. A value whose mark stands where the bar
    // put it is kept as stored, so that "Done" without a touch stores what was loaded; on the
    // full length the bar takes the value, as it always has, and so does a value no screen here
    // could use.
    const auto keepsLoaded = [](const QScrollBar *bar, double loaded, int length, float size) {
        return length != clinic::kCalibrationLengthMm && clinic::accepted(loaded, size)
            && bar->value() == std::nearbyint(clinic::markFor(loaded, length));
    };
    if (keepsLoaded(ui.HScroll1, loadedH, m_lengthH, screen.width)) {
        m_values.ScreenH = loadedH;
        ui.HPO->setText(settings::captionText(loadedH));
    }
    if (keepsLoaded(ui.VScroll1, loadedV, m_lengthV, screen.height)) {
        m_values.ScreenV = loadedV;
        ui.VPO->setText(settings::captionText(loadedV));
    }

    ui.cali->setText(
        tr("Calibration Value %1 x %2")
            .arg(settings::captionText(m_values.ScreenH), settings::captionText(m_values.ScreenV)));
    ui.resolu->setText(
        tr("Screen Resolution %1 x %2")
            .arg(settings::captionText(screen.width), settings::captionText(screen.height)));
}

void FrmCali::HScroll1_Change()
{
    // The bar counts pixels of the length asked for; the value held is pixels per 150 mm.
    const int mark = ui.HScroll1->value();
    m_values.ScreenH = clinic::per150(mark, m_lengthH);
    ui.HPO->setText(settings::captionText(m_values.ScreenH));
    const float x = float(clinic::kMarkOrigin + mark);
    ui.Xcursor->setPoints(x, kMarkFrom, x, kMarkTo);
}

void FrmCali::VScroll1_Change()
{
    // ScreenV is held as a whole number of pixels: a half goes to the even neighbour. The bar
    // ends long before 16 bits could overflow; the largest value stands in should it not.
    const int mark = ui.VScroll1->value();
    m_values.ScreenV = settings::toInteger16(clinic::per150(mark, m_lengthV))
                           .value_or(std::numeric_limits<qint16>::max());
    ui.VPO->setText(settings::captionText(m_values.ScreenV));
    const float y = float(clinic::kMarkOrigin + mark);
    ui.Ycursor->setPoints(kMarkFrom, y, kMarkTo, y);
}

void FrmCali::MonitorSize_Click()
{
    // Both marks at once, where the monitor's reported size puts the lengths asked for; a bar
    // that already stands there keeps its value.
    setBar(ui.HScroll1, clinic::markFor(m_reportedH, m_lengthH));
    setBar(ui.VScroll1, clinic::markFor(m_reportedV, m_lengthV));
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
        QMessageBox box(QMessageBox::Warning, tr("Calibration not stored"),
            tr("The calibration could not be stored in %1:\n%2.\n\nPress \"Done\" "
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
