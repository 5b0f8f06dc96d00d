#include "measure/form1.h"

#include "clinic/calibrationjudgement.h"
#include "clinic/hess.h"
#include "clinic/measurement.h"
#include "forms/frmpicture.h"
#include "forms/monitor.h"
#include "forms/navigation.h"
#include "forms/testdisplay.h"
#include "pictures/pointers.h"
#include "platform/platform.h"
#include "settings/ini.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPixmap>

#include <algorithm>
#include <array>
#include <cmath>

namespace {
// The ring's centre is pixel 21 of its 43 x 43 picture in each direction.
constexpr float kRingCentre = 21;
// Offsets are measured from this point of the ring picture. A cross pointer centred on the
// ring reports it (blue cross) or the pixel beside it (red and green), as their hot spots lie
// 15 and 14 pixels from the cross's centre.
constexpr float kReferenceOffset = 6;
// The result labels' left edge lies this far inside the screen's right edge.
constexpr float kLabelsFromRight = 60;
constexpr int kVPDTop = 15;
constexpr int kPDEyeTop = 31;

// The character code of Ctrl+C, as the window's key handler receives it.
constexpr int kKeyCopy = 3;

// Between the note on the calibration and the results' column.
constexpr int kNoteGap = 12;

using clinic::kDioptresPer150Mm;
using clinic::localised;
using settings::toInteger16;

// A computed place on the screen as a whole pixel. Ties go up and left: the placements
// subtract the ring's centre pixel from the middle of the screen, so on a screen of odd width
// or height (a top edge of 503.5 on a screen 1049 pixels high) rounding down puts the ring's
// middle pixel on the screen's middle pixel. The box is then drawn at exactly this pixel and
// measured from it.
int toPixel(double position)
{
    return int(std::ceil(position - 0.5));
}

// The widest text a result label can come to show on this screen: a prefix, the mark of a
// lower bound, the most whole digits an offset across the screen can give (one more for a
// rounding that carries), and a decimal. Without a calibration no result is shown, and one digit
// stands for the "--".
QString widestResult(
    const QFontMetrics &metrics, float screenPixels, double calibration, int distanceCm)
{
    // Nearer than 60 cm the same offset is more prism dioptres.
    const double most = calibration > 0 && distanceCm > 0
        ? screenPixels * kDioptresPer150Mm / calibration * clinic::kViewingDistanceCm / distanceCm
        : 0;
    const qsizetype digits
        = std::isfinite(most) ? QString::number(qint64(std::min(most, 1e15)) + 1).size() : 16;
    QChar widestDigit = QLatin1Char('0');
    for (char digit = '1'; digit <= '9'; ++digit) {
        if (metrics.horizontalAdvance(QLatin1Char(digit)) > metrics.horizontalAdvance(widestDigit))
            widestDigit = QLatin1Char(digit);
    }
    QString widestPrefix;
    for (const clinic::Base base : clinic::kBases) {
        const QString prefix = clinic::baseText(base) + QStringLiteral(": ");
        if (metrics.horizontalAdvance(prefix) > metrics.horizontalAdvance(widestPrefix))
            widestPrefix = prefix;
    }
    return widestPrefix + QChar(clinic::kAtLeast) + QString(digits, widestDigit)
        + QLocale().decimalPoint() + widestDigit;
}

// Where the three result lines stand: at 60 pixels from the right edge and the tops 0, 15 and
// 31, as long as the text fits there. A larger font (scaled desktops) moves the column left
// only as far as its widest text needs to end inside the screen, and a line down only as far
// as it needs to clear the ink of the line above; a label's black background would otherwise
// hide the last digits or the foot of the line above, and a result shown cut off reads as
// another result.
struct ResultPlaces
{
    int left = 0;
    int width = 0; // at least the design's, and wide enough that no text wraps
    std::array<int, 3> tops {};
};
ResultPlaces resultPlaces(const QLabel &label, float screenWidth, float screenHeight,
    double screenH, double screenV, int distanceCm)
{
    const QFontMetrics metrics(label.font());
    // How far the ink of a text reaches from the label's left edge, and the room the label
    // needs so that the text stays on one line.
    int inkRight = 0;
    int advance = 0;
    for (const QString &text : {QStringLiteral("OD"), QStringLiteral("OS"),
             widestResult(metrics, screenWidth, screenH, distanceCm),
             widestResult(metrics, screenHeight, screenV, distanceCm)}) {
        inkRight = std::max(inkRight, metrics.tightBoundingRect(text).right());
        advance = std::max(advance, metrics.horizontalAdvance(text));
    }

    ResultPlaces places;
    // One black column stays between the last digit and the edge, so the text plainly ends there.
    places.left
        = std::min(toPixel(screenWidth - kLabelsFromRight), int(screenWidth) - (inkRight + 2));
    places.width = std::max(label.width(), advance);

    // The lowest row of ink a line draws, from the label's top (text stands at the top).
    const QString shown = QStringLiteral("BLRUD: -0123456789OS") + QChar(clinic::kAtLeast)
        + QLocale().decimalPoint();
    const int inkBottom = metrics.ascent() + metrics.tightBoundingRect(shown).bottom();
    places.tops[0] = 0;
    places.tops[1] = std::max(kVPDTop, places.tops[0] + inkBottom + 1);
    places.tops[2] = std::max(kPDEyeTop, places.tops[1] + inkBottom + 1);
    return places;
}
} // namespace

Form1::Form1(Form1Values &values, Navigation &program, QWidget *parent)
    : FormWindow(parent)
    , m_values(values)
    , m_program(program)
{
    ui.setupUi(this);
    // Every pointer position is recorded, over the background and over the ring alike.
    setMouseTracking(true);
    ui.target->setMouseTracking(true);
    ui.target->installEventFilter(this);
    // The labels keep the pointer to themselves: a click on a result reads it, it does not
    // measure again or leave, and a movement over them is not a place on the test display.
    for (QLabel *label : {ui.HPosi, ui.VPosi, ui.HPD, ui.VPD, ui.PDEye})
        label->setAttribute(Qt::WA_NoMousePropagation);
    // The note is no result to read: the test display goes on under it.
    ui.caliNote->setAttribute(Qt::WA_TransparentForMouseEvents);
}

Form1::~Form1()
{
    RecordResult();
}

void Form1::Form_Load()
{
    // Only one instance may run the test.
    if (m_program.anotherInstanceRunning()) {
        m_program.endProgram();
        return;
    }

    // The five settings, each read on its own; one that cannot be read keeps its value. The
    // start screen has just saved them within its ranges, so no range is applied here; where
    // its save failed, they are the values it showed. The file is read once: the calibration's
    // records come from the same moment of it.
    const settings::Snapshot file(m_program.programFolder());
    readOpeningValues(m_program, file, m_values, m_values.distanceCm);

    // The ring in the colour of the fixing eye's filter, the pointer in the colour of
    // the other eye's. Glasses that are none of the four pairs choose nothing; the box keeps its
    // design ring and the pointer its last image.
    const bool odFixes = m_values.FixEye == 1;
    if (const auto marks = fixingMarks(m_values.Filter, odFixes, m_program)) {
        // A ring that cannot be had leaves the design's ring rather than an empty box.
        if (!marks->ring.isNull())
            ui.target->setPixmap(marks->ring);
        m_values.CursorID = marks->pointer;
    }

    // The custom pointer. With no image chosen at any opening yet the window keeps the
    // system's arrow, whose tip, like the crosses' hot spots, is its top left corner.
    if (const auto pointer = loadPointerImage(m_values.CursorID))
        setCursor(*pointer);

    // A screen higher than 16-bit pixels keeps the height of the last opening.
    const platform::ScreenSize screen = platform::screenSize(m_program.patientScreen());
    m_values.ScrWidth = screen.width;
    if (const auto height = toInteger16(screen.height))
        m_values.ScrHeight = *height;

    // The ring's centre on the middle of the screen, or a quarter of its width in from
    // either side; any other target place keeps the design's left edge.
    const float width = m_values.ScrWidth;
    int left = ui.target->x();
    if (m_values.Target == 1)
        left = toPixel(width / 2 - kRingCentre);
    else if (m_values.Target == 2)
        left = toPixel(width - width / 4 - kRingCentre);
    else if (m_values.Target == 3)
        left = toPixel(width / 4 - kRingCentre);
    ui.target->move(left, toPixel(m_values.ScrHeight / 2.0 - kRingCentre));

    // The results in the top right corner, away from the ring.
    const ResultPlaces places = resultPlaces(*ui.HPD, width, float(m_values.ScrHeight),
        m_values.ScreenH, double(m_values.ScreenV), m_values.distanceCm);
    ui.HPD->setGeometry(places.left, places.tops[0], places.width, ui.HPD->height());
    ui.VPD->setGeometry(places.left, places.tops[1], places.width, ui.VPD->height());
    ui.PDEye->setGeometry(places.left, places.tops[2], places.width, ui.PDEye->height());
    ui.HPD->setText(QStringLiteral("--"));
    ui.VPD->setText(QStringLiteral("--"));
    // The eye that sees the pointer: the one that does not fix.
    ui.PDEye->setText(odFixes ? QStringLiteral("OS") : QStringLiteral("OD"));
    ui.HPosi->hide();
    ui.VPosi->hide();

    // Whether the calibration was made for this monitor at this resolution, and whether the
    // picture is mirrored on a monitor of another size; in small text left of the results, on
    // the same line as the first, far from every place of the ring.
    const clinic::Monitor monitor = describeMonitor(m_program.patientScreen());
    const clinic::CalibrationJudgement judgement = clinic::judgeCalibration(
        clinic::readRecords(file), m_values.ScreenH, double(m_values.ScreenV), monitor);
    m_result = {};
    m_result.calibrationNote = displayNote(m_program, monitor, judgement.note);
    ui.caliNote->setText(m_result.calibrationNote);
    const int noteWidth = ui.caliNote->sizeHint().width();
    ui.caliNote->setGeometry(std::max(0, places.left - kNoteGap - noteWidth), places.tops[0],
        noteWidth, ui.HPD->height());
    ui.caliNote->setVisible(!m_result.calibrationNote.isEmpty());
    // At the usual 60 cm nothing is said: the screen stays as it has always been.
    ui.distance->setText(tr("%1 cm").arg(m_values.distanceCm));
    const int distanceWidth = ui.distance->sizeHint().width();
    ui.distance->setGeometry(std::max(0, places.left - kNoteGap - distanceWidth), places.tops[1],
        distanceWidth, ui.VPD->height());
    ui.distance->setVisible(m_values.distanceCm != clinic::kViewingDistanceCm);

    // What every result of this opening is measured with.
    m_result.glasses = m_values.Filter;
    m_result.target = m_values.Target;
    m_result.fixingEye = m_values.FixEye;
    m_result.seeingEye = ui.PDEye->text();
    m_result.screenH = m_values.ScreenH;
    m_result.screenV = double(m_values.ScreenV);
    m_result.monitor = monitor;
    m_result.screenSize = QSizeF(double(m_values.ScrWidth), double(m_values.ScrHeight));
    m_result.viewingDistanceCm = m_values.distanceCm;
    if (judgement.inUse)
        m_result.calibratedBy = clinic::madeText(*judgement.inUse);
    m_result.calibrationDate = clinic::calibrationDate(judgement);

    // The first click of an opening measures where the pointer stands, although it may not
    // have moved since the window opened: it moved over the start screen, and the place the
    // last opening recorded is no longer where the clinician sees the cross. The pointer is
    // kept on this monitor while the screen is open, and one that stands on another monitor
    // is brought to the nearest edge of this one.
    const QPointF pointer = platform::pointerPosition(m_program.patientScreen());
    Form_MouseMove(std::clamp(float(pointer.x()), 0.F, std::max(0.F, screen.width - 1)),
        std::clamp(float(pointer.y()), 0.F, std::max(0.F, screen.height - 1)));
}

bool Form1::Form_KeyPress(int KeyAscii)
{
    if (KeyAscii == kKeyEscape)
        ReturnToStart();
    else if (KeyAscii == kKeyCopy)
        CopyResult();
    else
        return false;
    return true;
}

// A movement only records where the pointer is; nothing is drawn until a click.
void Form1::Form_MouseMove(float X, float Y)
{
    m_values.MouseX = X;
    if (const auto y = toInteger16(Y))
        m_values.MouseY = *y;
}

void Form1::target_MouseMove(float X, float Y)
{
    m_values.MouseX = float(ui.target->x()) + X;
    if (const auto y = toInteger16(double(ui.target->y()) + Y))
        m_values.MouseY = *y;
}

void Form1::Form_MouseDown(Qt::MouseButton Button)
{
    if (Button == Qt::LeftButton)
        MeasureDeviation();
    else if (Button == Qt::RightButton)
        ReturnToStart();
}

void Form1::target_MouseDown(Qt::MouseButton Button)
{
    Form_MouseDown(Button);
}

// The click is measured where the pointer was last recorded, not where the press reports it.
void Form1::MeasureDeviation()
{
    m_result.measuredAt = m_program.now().toUTC();
    const float hDiff = m_values.MouseX - float(ui.target->x()) - kReferenceOffset;
    const float vDiff = float(m_values.MouseY) - float(ui.target->y()) - kReferenceOffset;
    m_values.VDiff = vDiff;

    // The direction is told by the base of the prism, the size by the number alone: the result
    // holds both, and the picture and the report take where the cross stood from them.
    //
    // Without a calibration (the file held none and saving one failed) there is nothing to
    // divide by, and a negative one has no meaning: the label keeps what it shows rather than
    // an infinite or mirrored deviation.
    //
    // A pointer on the screen's outermost column or row could go no further, though the patient
    // may still see the cross short of the ring: that direction shows as "at least".
    if (auto across = clinic::across(hDiff, m_values.ScreenH, m_values.distanceCm)) {
        across->atLeast = clinic::onScreenEdge(m_values.MouseX, m_values.ScrWidth);
        ui.HPD->setText(across->shown());
        m_result.across = across;
    }
    if (auto down = clinic::down(vDiff, m_values.ScreenV, &m_values.VDiff, m_values.distanceCm)) {
        down->atLeast = clinic::onScreenEdge(float(m_values.MouseY), float(m_values.ScrHeight));
        ui.VPD->setText(down->shown());
        m_result.down = down;
    }
}

void Form1::ReturnToStart()
{
    // Before the start screen loads: it offers the results once the visit holds one.
    RecordResult();
    m_program.unloadFrmpicture();
    m_program.showFrmstart();
    close();
}

// The last result as one line of plain text for the clinic's record, with what it was measured
// with. Only the clipboard changes: the patient, who looks at the screen, sees nothing.
void Form1::CopyResult()
{
    if (m_result.measured())
        QGuiApplication::clipboard()->setText(clinic::copyLine(m_result));
}

// What the screen showed when the clinician left it, the last click of this opening, goes into
// the visit; an opening without a click adds nothing.
void Form1::RecordResult()
{
    if (m_recorded)
        return;
    m_recorded = true;
    m_program.visit().add(m_result);
}

void Form1::showEvent(QShowEvent *event)
{
    FormWindow::showEvent(event);
    if (!m_pointerConfined) {
        m_pointerConfined = true;
        platform::confinePointer(windowHandle());
    }
}

void Form1::mouseMoveEvent(QMouseEvent *event)
{
    // The window covers the screen from its top left corner: its pixels are screen pixels.
    Form_MouseMove(float(event->position().x()), float(event->position().y()));
}

void Form1::mousePressEvent(QMouseEvent *event)
{
    Form_MouseDown(event->button());
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != ui.target)
        return FormWindow::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseMove: {
        const QPointF at = static_cast<QMouseEvent *>(event)->position();
        target_MouseMove(float(at.x()), float(at.y()));
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        // A quick second click measures again, as it does on the background.
        target_MouseDown(static_cast<QMouseEvent *>(event)->button());
        return true;
    default:
        return FormWindow::eventFilter(watched, event);
    }
}
