#include "calibrate/frmcali.h"

#include "clinic/calibration.h"
#include "clinic/calibrationrecord.h"
#include "clinic/visit.h"
#include "forms/monitor.h"
#include "forms/navigation.h"
#include "forms/question.h"
#include "platform/platform.h"
#include "settings/ini.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStandardItemModel>

#include <algorithm>
#include <limits>

namespace {
// The axes meet in the corner (99, 99), while a calibration value counts pixels from column
// (row) 100, one past the corner line: the ruler's zero lies on the axis, and a mark stands at
// 100 plus its value.
constexpr float kCorner = clinic::kMarkOrigin - 1;
// Each mark is a stroke across its axis from 70 to 130: 29 pixels outside, 31 inside.
constexpr float kMarkFrom = 70;
constexpr float kMarkTo = 130;

// ScreenV is held as a whole number of pixels: a half goes to the even neighbour. The bars end
// long before 16 bits could overflow; the largest value stands in should they not.
qint16 wholeDown(double value)
{
    return settings::toInteger16(value).value_or(std::numeric_limits<qint16>::max());
}

QString lengthText(int mm)
{
    return QCoreApplication::translate("FrmCali", "%1 mm").arg(mm);
}

// What the picture says: where the ruler goes, the lengths asked for, the keys and the buttons.
// A length is never split over two lines.
QString instructions(int acrossMm, int downMm)
{
    const auto unbroken
        = [](int mm) { return lengthText(mm).replace(QLatin1Char(' '), QChar::Nbsp); };
    const QString where = acrossMm == downMm
        ? QCoreApplication::translate("FrmCali",
            "Lay a ruler along each axis with its zero on the line that crosses it at the "
            "corner, and set each mark at %1.")
              .arg(unbroken(acrossMm))
        : QCoreApplication::translate("FrmCali",
            "Lay a ruler along each axis with its zero on the line that crosses it at the "
            "corner, and set the marks at %1 across and %2 down.")
              .arg(unbroken(acrossMm), unbroken(downMm));
    return where + QLatin1String("\n\n")
        + QCoreApplication::translate("FrmCali",
            "The arrow keys move a mark 1 pixel, Page Up, Page Down and the wheel 10. The "
            "value per 150 mm can be typed as well.")
        + QLatin1String("\n\n")
        + QCoreApplication::translate(
            "FrmCali", "Press \"Done\" to save, \"Cancel\" to leave without change.");
}

// Between controls moved to fit a small screen, and between them and the marks.
constexpr int kFitGap = 2;
// The first column right of the down axis's marks.
constexpr int kRightOfMarks = int(kMarkTo) + 1 + kFitGap;

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

// A control as large as its content needs, and never smaller than its design box.
void growToHint(QWidget *control)
{
    control->resize(control->size().expandedTo(control->sizeHint()));
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

    // Still too low: the across bar and its value step aside, left of the picture and right
    // of the down axis's marks, side by side where the room is wide enough, else the value
    // under the bar, and the picture rises to just under the across axis's mark.
    const int room = ui.Image1->x() - kFitGap - kRightOfMarks;
    QScrollBar *across = ui.HScroll1;
    if (across->width() + kFitGap + ui.HPO->width() <= room) {
        across->move(kRightOfMarks, across->y());
        ui.HPO->move(across->geometry().right() + 1 + kFitGap, ui.HPO->y());
    } else if (std::max(across->width(), ui.HPO->width()) <= room) {
        across->move(kRightOfMarks, underMark);
        ui.HPO->move(kRightOfMarks, across->geometry().bottom() + 1 + kFitGap);
    } else {
        return;
    }
    rise(std::clamp(ui.Image1->y() - underMark, 0, need));
}

// The down axis's controls keep the design's places of its bar and value, right of the down
// axis's marks and left of the picture: the list of lengths beside the bar, the label over them
// in as many lines as the column's width asks. Where the picture has moved left (a small
// screen), the column moves left as far as the marks allow, and where the list still does not
// fit beside the bar it goes under the value.
void placeDownColumn(FrmCaliDesign &ui)
{
    const int right = ui.Image1->x() - kFitGap;
    QWidget *const column[] = {ui.VLength, ui.VScroll1, ui.VPO};
    const auto besideBar = [&ui] { return ui.VScroll1->geometry().right() + 1 + kFitGap; };
    const int over = std::max(
        besideBar() + ui.VChoice->width() - 1 - right, ui.VPO->geometry().right() - right);
    if (over > 0) {
        const int left = std::min(over, ui.VScroll1->x() - kRightOfMarks);
        for (QWidget *control : column)
            moveBy(control, -left, 0);
    }
    if (besideBar() + ui.VChoice->width() - 1 <= right)
        ui.VChoice->move(besideBar(), ui.VScroll1->y());
    else
        ui.VChoice->move(ui.VPO->x(), ui.VPO->geometry().bottom() + 1 + kFitGap);
    const int width = right + 1 - ui.VLength->x();
    const int height = std::max(ui.VLength->height(), ui.VLength->heightForWidth(width));
    ui.VLength->setGeometry(ui.VLength->x(), ui.VScroll1->y() - kFitGap - height, width, height);
}

// The across length, its list and the monitor's-size button stand above the across axis, their
// bottoms just clear of its mark's stroke, where no other control is on any screen. They are
// placed in screen pixels from the corner, as the axes and marks are, so that a high dpi does
// not push them onto the mark.
void placeAboveTheAxis(FrmCaliDesign &ui)
{
    const int bottom = int(kMarkFrom) - kFitGap;
    int left = clinic::kMarkOrigin;
    for (QWidget *control : {static_cast<QWidget *>(ui.HLength), static_cast<QWidget *>(ui.HChoice),
             static_cast<QWidget *>(ui.MonitorSize)}) {
        control->move(left, bottom - control->height());
        left = control->geometry().right() + 1 + kFitGap;
    }
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
    connect(ui.MonitorSize, &QPushButton::clicked, this, &FrmCali::MonitorSize_Click);
    for (const Axis axis : {Axis::Across, Axis::Down}) {
        connect(choice(axis), &QComboBox::currentIndexChanged, this,
            [this, axis] { lengthChosen(axis); });
        connect(valueBox(axis), &QDoubleSpinBox::valueChanged, this,
            [this, axis] { valueTyped(axis); });
        // A key on the value moves the mark as the same key on the bar does.
        connect(valueBox(axis), &ValueBox::stepped, this,
            [this, axis](int pixels) { bar(axis)->setValue(bar(axis)->value() + pixels); });
    }
    // Enter presses the focused button, as the space bar does: right after opening that is
    // "Done".
    ui.Done->setAutoDefault(true);
    ui.Cancel->setAutoDefault(true);
}

QScrollBar *FrmCali::bar(Axis axis) const
{
    return axis == Axis::Across ? ui.HScroll1 : ui.VScroll1;
}

ValueBox *FrmCali::valueBox(Axis axis) const
{
    return axis == Axis::Across ? ui.HPO : ui.VPO;
}

QComboBox *FrmCali::choice(Axis axis) const
{
    return axis == Axis::Across ? ui.HChoice : ui.VChoice;
}

int &FrmCali::length(Axis axis)
{
    return axis == Axis::Across ? m_lengthH : m_lengthV;
}

QList<double> &FrmCali::placed(Axis axis)
{
    return axis == Axis::Across ? m_placedH : m_placedV;
}

float FrmCali::screenSize(Axis axis) const
{
    return axis == Axis::Across ? m_width : m_height;
}

double FrmCali::value(Axis axis) const
{
    return axis == Axis::Across ? m_values.ScreenH : double(m_values.ScreenV);
}

void FrmCali::Form_Load()
{
    if (m_program.anotherInstanceRunning()) {
        m_program.endProgram();
        return;
    }

    // Each read is a step of its own: one that fails keeps the value held before. Where the start
    // screen's save failed, the calibration is the one it showed.
    const QByteArray folder = m_program.programFolder();
    if (const std::optional<UnsavedSettings> &unsaved = m_program.unsaved()) {
        m_values.ScreenH = unsaved->values.ScreenH;
        m_values.ScreenV = unsaved->values.ScreenV;
    } else {
        settings::read(folder, settings::Key::ScreenH, m_values.ScreenH);
        settings::read(folder, settings::Key::ScreenV, m_values.ScreenV);
    }

    // Each axis asks first for the longest length whose mark the clinician can surely reach on
    // this screen, judged from the monitor's reported size, else from the stored value.
    const platform::ScreenSize screen = platform::screenSize(m_program.patientScreen());
    m_width = screen.width;
    m_height = screen.height;
    const clinic::Monitor monitor = describeMonitor(m_program.patientScreen());
    const QSizeF reported = clinic::knownSizeMm(monitor);
    m_reportedH = clinic::reportedCalibration(monitor.resolution.width(), reported.width());
    m_reportedV = clinic::reportedCalibration(monitor.resolution.height(), reported.height());
    m_lengthH = clinic::lengthFor(
        m_width, clinic::expectedCalibration(m_reportedH, m_values.ScreenH, m_width));
    m_lengthV = clinic::lengthFor(
        m_height, clinic::expectedCalibration(m_reportedV, m_values.ScreenV, m_height));

    // The monitor's size is offered only where nothing has been calibrated on this monitor at
    // this resolution: a calibration made here is better than what the monitor says of itself.
    m_calibratedHere = clinic::judgeCalibration(folder, m_values.ScreenH, m_values.ScreenV, monitor)
                           .calibratedHere;
    ui.MonitorSize->setVisible(!m_calibratedHere && m_reportedH > 0 && m_reportedV > 0);

    ui.Xline->setPoints(kCorner, kCorner, m_width - clinic::kAxisShortOfEdge, kCorner);
    ui.Yline->setPoints(kCorner, kCorner, kCorner, m_height - clinic::kAxisShortOfEdge);

    // Each bar stops where its mark stops, and a value typed beyond it becomes the bar's end, so
    // that the value held, its readout and its mark always agree and "Done" stores only what
    // the screen showed.
    for (const Axis axis : {Axis::Across, Axis::Down}) {
        const QSignalBlocker quietBar(bar(axis));
        const QSignalBlocker quietValue(valueBox(axis));
        const QSignalBlocker quietChoice(choice(axis));
        bar(axis)->setMaximum(clinic::largestMark(screenSize(axis)));
        valueBox(axis)->setRange(0, clinic::largestCalibration(screenSize(axis)));
        valueBox(axis)->setSuffix(tr(" px/150 mm"));
        growToHint(valueBox(axis));
        for (const int mm : clinic::kLengthsMm)
            choice(axis)->addItem(lengthText(mm), mm);
        choice(axis)->setCurrentIndex(choice(axis)->findData(length(axis)));
        growToHint(choice(axis));
    }
    ui.HLength->setWordWrap(false);
    ui.HLength->resize(ui.HLength->sizeHint().width(), ui.HLength->height());
    growToHint(ui.MonitorSize);
    fitOnScreen(ui, platform::screenGeometry(m_program.patientScreen()).size());
    placeDownColumn(ui);
    placeAboveTheAxis(ui);

    // A value whose mark stands where the bar puts it is kept as stored, so that "Done" without
    // a touch stores what was loaded (clinic::heldValue).
    placeMark(Axis::Across, m_values.ScreenH);
    placeMark(Axis::Down, m_values.ScreenV);
    // Where the monitor's size would put a mark is no measurement either, pressed or not.
    if (m_reportedH > 0)
        m_placedH << m_reportedH;
    if (m_reportedV > 0)
        m_placedV << m_reportedV;

    ui.resolu->setText(tr("Screen Resolution %1 x %2")
                           .arg(settings::captionText(m_width), settings::captionText(m_height)));
    const QString name = clinic::monitorName(monitor);
    ui.MonitorName->setText(
        tr("Monitor: %1, %2")
            .arg(name.isEmpty() ? tr("no name given") : name, clinic::sizeText(monitor)));
    showLengths();
}

void FrmCali::placeMark(Axis axis, double wanted)
{
    const int mm = length(axis);
    const float size = screenSize(axis);
    {
        const QSignalBlocker quiet(bar(axis));
        bar(axis)->setValue(clinic::markPlace(wanted, mm, size));
    }
    const double held = clinic::heldValue(wanted, mm, size);
    if (axis == Axis::Across)
        m_values.ScreenH = held;
    else
        m_values.ScreenV = wholeDown(held);
    placed(axis) << value(axis);
    showValues();
}

void FrmCali::HScroll1_Change()
{
    // The bar counts pixels of the length asked for; the value held is pixels per 150 mm.
    m_values.ScreenH = clinic::per150(ui.HScroll1->value(), m_lengthH);
    showValues();
}

void FrmCali::VScroll1_Change()
{
    m_values.ScreenV = wholeDown(clinic::per150(ui.VScroll1->value(), m_lengthV));
    showValues();
}

void FrmCali::lengthChosen(Axis axis)
{
    // The calibration stays; its mark moves to where it stands on the new length.
    length(axis) = choice(axis)->currentData().toInt();
    placeMark(axis, value(axis));
    showLengths();
}

void FrmCali::valueTyped(Axis axis)
{
    const double typed = valueBox(axis)->value();
    placeMark(axis, axis == Axis::Across ? typed : double(wholeDown(typed)));
}

void FrmCali::showLengths()
{
    ui.HArcLength->setText(lengthText(m_lengthH));
    ui.VArcLength->setText(lengthText(m_lengthV));
    ui.Instructions->setText(instructions(m_lengthH, m_lengthV));
    ui.placeOnThePicture();
}

void FrmCali::showValues()
{
    const float x = float(clinic::kMarkOrigin + ui.HScroll1->value());
    ui.Xcursor->setPoints(x, kMarkFrom, x, kMarkTo);
    const float y = float(clinic::kMarkOrigin + ui.VScroll1->value());
    ui.Ycursor->setPoints(kMarkFrom, y, kMarkTo, y);
    for (const Axis axis : {Axis::Across, Axis::Down}) {
        {
            const QSignalBlocker quiet(valueBox(axis));
            valueBox(axis)->setValue(value(axis));
        }
        // Only a length on which this value's mark stands on the bar can be chosen.
        auto *lengths = qobject_cast<QStandardItemModel *>(choice(axis)->model());
        for (int i = 0; i < choice(axis)->count(); ++i) {
            lengths->item(i)->setEnabled(clinic::lengthFits(
                value(axis), choice(axis)->itemData(i).toInt(), screenSize(axis)));
        }
    }
    ui.cali->setText(
        tr("Calibration Value %1 x %2")
            .arg(settings::captionText(m_values.ScreenH), settings::captionText(m_values.ScreenV)));
}

void FrmCali::MonitorSize_Click()
{
    // Both marks at once, where the monitor's reported size puts the lengths asked for; a bar
    // that already stands there keeps its value.
    ui.HScroll1->setValue(clinic::markPlace(m_reportedH, m_lengthH, m_width));
    ui.VScroll1->setValue(clinic::markPlace(m_reportedV, m_lengthV, m_height));
}

clinic::MarkAtDone FrmCali::atDone(Axis axis) const
{
    const bool across = axis == Axis::Across;
    return {screenSize(axis), across ? m_lengthH : m_lengthV, bar(axis)->value(),
        across ? m_placedH : m_placedV};
}

bool FrmCali::rulerChecked()
{
    const QString question = m_lengthH == m_lengthV
        ? tr("Have you checked both marks with a ruler at %1 mm?").arg(m_lengthH)
        : tr("Have you checked both marks with a ruler at %1 mm across and %2 mm down?")
              .arg(m_lengthH)
              .arg(m_lengthV);
    return ask(this,
        {QMessageBox::Question, tr("Check the calibration"), question,
            tr("A mark stands where the screen put it, not where a ruler showed it. A "
               "calibration counts as made on this monitor only once measured."),
            tr("Yes, checked"), tr("Go back")});
}

void FrmCali::Done_Click()
{
    // Only a calibration a person measured counts as made on this monitor: "Go back" leaves
    // the marks as they are for the ruler.
    if (clinic::needsRulerCheck(m_calibratedHere, atDone(Axis::Across), atDone(Axis::Down))
        && !rulerChecked())
        return;
    // Stored exactly as held, with the monitor and resolution they were made on, the day and the
    // user: the start screen judges the values when it loads, and brings this monitor's record
    // back whenever it is in use again. Nothing is stored once another instance holds the
    // folder's lock.
    const QByteArray folder = m_program.programFolder();
    const clinic::CalibrationRecord record {m_values.ScreenH, double(m_values.ScreenV),
        describeMonitor(m_program.patientScreen()), QDate::currentDate(), platform::loginName()};
    const QString stopped = m_program.savingStopped();
    const QString error = stopped.isEmpty() ? settings::save(folder,
                              {{settings::Key::ScreenH, m_values.ScreenH},
                                  {settings::Key::ScreenV, double(m_values.ScreenV)}},
                              clinic::doneEntries(folder, record))
                                            : stopped;
    if (!error.isEmpty()) {
        // The marks stay where the clinician put them: another "Done" once the folder can be
        // written stores them, "Cancel" leaves the file as it was. A calibration that was not
        // stored is not used either: nothing would record it.
        QMessageBox box(QMessageBox::Warning, tr("Calibration not stored"),
            stopped.isEmpty()
                ? tr("The calibration could not be stored in %1:\n%2.\n\nPress \"Done\" "
                     "to try again, or \"Cancel\" to leave without storing it.")
                      .arg(QFile::decodeName(settings::settingsPath(folder)), error)
                : tr("The calibration was not stored. %1\n\nPress \"Cancel\" to leave "
                     "without storing it.")
                      .arg(stopped),
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
