#include "hess/hesswindow.h"

#include "clinic/calibrationrecord.h"
#include "forms/design.h"
#include "forms/monitor.h"
#include "forms/navigation.h"
#include "forms/testdisplay.h"
#include "pictures/pointers.h"
#include "platform/platform.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPalette>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {
// The character codes of the keys the clinician drives the test with, as the window's key
// handler receives them.
constexpr int kKeyBack = 8; // Backspace
constexpr int kKeySkip = 32; // Space

// The clinician's lines stand in the top right corner, in the measurement screen's grey, this
// far in from the edges.
constexpr int kTextMargin = 8;
const QColor kTextColour(128, 128, 128);

QString eyeName(clinic::hess::Eye eye)
{
    return eye == clinic::hess::Eye::Right ? QStringLiteral("OD") : QStringLiteral("OS");
}
} // namespace

HessWindow::HessWindow(HessValues &values, Navigation &program, QWidget *parent)
    : FormWindow(parent)
    , m_values(values)
    , m_program(program)
{
    setObjectName(QStringLiteral("HessWindow"));
    setWindowTitle(tr("Hess test"));
    setAccessibleName(tr("Hess test"));
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    black.setColor(QPalette::WindowText, kTextColour);
    setPalette(black);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);

    m_ring = new QLabel(this);
    m_ring->setObjectName(QStringLiteral("target"));
    m_ring->resize(clinic::hess::kRingSize, clinic::hess::kRingSize);
    m_progress = new QLabel(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_caliNote = new QLabel(this);
    m_caliNote->setObjectName(QStringLiteral("caliNote"));
    m_caliNote->setTextFormat(Qt::PlainText); // names a monitor as the system gives it
    // In white, as on the measurement screen: read at a glance, and through either filter alike.
    QPalette note = m_caliNote->palette();
    note.setColor(QPalette::WindowText, design::systemColour(design::CaptionText));
    m_caliNote->setPalette(note);
    // The whole screen is the test display: a click on the ring or a line of text measures.
    for (QLabel *label : {m_ring, m_progress, m_caliNote})
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
}

HessWindow::~HessWindow()
{
    handOver();
}

void HessWindow::Form_Load()
{
    if (m_program.anotherInstanceRunning()) {
        m_program.endProgram();
        return;
    }
    // As the measurement screen reads them: the start screen has just saved them, or shows the
    // values whose save failed.
    const settings::Snapshot file(m_program.programFolder());
    readOpeningValues(m_program, file, m_values, m_values.distanceCm);

    // Real screen pixels: the targets' places are lengths on this monitor by its calibration.
    const platform::ScreenSize size = platform::screenSize(m_program.patientScreen());
    m_screen = {double(size.width), double(size.height), m_values.ScreenH, double(m_values.ScreenV),
        m_values.distanceCm};

    const clinic::Monitor monitor = describeMonitor(m_program.patientScreen());
    const clinic::CalibrationJudgement judgement = clinic::judgeCalibration(
        clinic::readRecords(file), m_values.ScreenH, double(m_values.ScreenV), monitor);
    const QString note = displayNote(m_program, monitor, judgement.note);
    m_caliNote->setText(note);
    m_caliNote->setVisible(!note.isEmpty());

    // Without a calibration to measure lengths by, no target has a place: none is shown rather
    // than every one at the centre.
    m_calibrated = std::isfinite(m_screen.screenH) && m_screen.screenH > 0 && m_screen.screenV > 0;
    const clinic::hess::Eye first
        = m_values.FixEye == 1 ? clinic::hess::Eye::Right : clinic::hess::Eye::Left;
    const auto targets = clinic::hess::targets(m_values.field);
    const QDateTime openedAt = m_program.now().toUTC();
    m_tests.clear();
    m_steps.clear();
    for (int eye = 0; eye < 2; ++eye) {
        clinic::hess::Test test;
        test.fixing = eye == 0 ? first : clinic::hess::otherEye(first);
        test.plotted = clinic::hess::otherEye(test.fixing);
        test.field = m_values.field;
        test.distanceCm = m_values.distanceCm;
        test.screenH = m_values.ScreenH;
        test.screenV = m_values.ScreenV;
        test.calibrationNote = note;
        test.measuredAt = openedAt;
        test.monitor = monitor;
        if (judgement.inUse)
            test.calibratedBy = clinic::madeText(*judgement.inUse);
        test.calibrationDate = clinic::calibrationDate(judgement);
        test.points.resize(targets.size());
        for (int target = 0; target < int(targets.size()); ++target) {
            if (m_calibrated && clinic::hess::fits(targets[std::size_t(target)].gaze, m_screen))
                m_steps.push_back({eye, target});
            else
                test.notOnScreen.append(target);
        }
        m_tests.append(test);
    }
    m_reached.assign(2, false);
    m_step = 0;
    showStep();
}

void HessWindow::showStep()
{
    if (m_steps.empty()) {
        // Without a calibration no target has a place: the clinician is told that, not that
        // the screen is too small.
        m_progress->setText(m_calibrated
                ? tr("No target of this test stands on this screen at %1 cm.")
                      .arg(m_values.distanceCm)
                : tr("Not calibrated: no target can be placed. Calibrate this screen first."));
    } else {
        const Step &step = m_steps[std::min(m_step, m_steps.size() - 1)];
        const clinic::hess::Test &test = m_tests[step.eye];
        m_reached[std::size_t(step.eye)] = true;
        if (const auto marks
            = fixingMarks(m_values.Filter, test.fixing == clinic::hess::Eye::Right, m_program)) {
            m_ring->setPixmap(marks->ring);
            m_values.CursorID = marks->pointer;
        }
        if (const auto pointer = loadPointerImage(m_values.CursorID))
            setCursor(*pointer);
        const clinic::hess::Pixel corner = clinic::hess::ringCorner(
            clinic::hess::kTargets[std::size_t(step.target)].gaze, m_screen);
        m_ring->move(corner.x, corner.y);
        const auto ofEye = std::count_if(
            m_steps.begin(), m_steps.end(), [&](const Step &s) { return s.eye == step.eye; });
        const auto before = std::count_if(m_steps.begin(), m_steps.begin() + qsizetype(m_step),
            [&](const Step &s) { return s.eye == step.eye; });
        QString text
            = tr("%1 fixing: point %2 of %3").arg(eyeName(test.fixing)).arg(before + 1).arg(ofEye);
        if (!test.notOnScreen.isEmpty())
            text += QLatin1Char('\n')
                + tr("%n point(s) not on this screen", nullptr, int(test.notOnScreen.size()));
        m_progress->setText(text);
    }
    placeLines();
}

// The clinician's lines stand in the top right corner, as on the measurement screen, unless the
// ring stands there (an outer corner, or large text): a line across the ring hides part of what
// the patient fixes. They then go to the first other corner the ring leaves free.
void HessWindow::placeLines()
{
    m_progress->adjustSize();
    m_caliNote->adjustSize();
    const bool noted = m_caliNote->isVisibleTo(this);
    const QSize lines(std::max(m_progress->width(), noted ? m_caliNote->width() : 0),
        m_progress->height() + (noted ? kTextMargin + m_caliNote->height() : 0));
    const QRect ring = m_steps.empty() ? QRect() : m_ring->geometry();
    QRect box;
    bool right = true;
    for (const auto &[atRight, atBottom] : {std::pair(true, false), std::pair(false, false),
             std::pair(true, true), std::pair(false, true)}) {
        right = atRight;
        box = QRect(QPoint(right ? width() - kTextMargin - lines.width() : kTextMargin,
                        atBottom ? height() - kTextMargin - lines.height() : kTextMargin),
            lines);
        if (!box.intersects(ring))
            break;
    }
    for (QLabel *label : {m_progress, m_caliNote}) {
        label->move(right ? box.right() + 1 - label->width() : box.left(),
            label == m_progress ? box.top() : box.top() + m_progress->height() + kTextMargin);
    }
}

bool HessWindow::Form_KeyPress(int KeyAscii)
{
    if (KeyAscii == kKeyEscape) {
        ReturnToStart();
    } else if (KeyAscii == kKeyBack) {
        if (m_step > 0) {
            --m_step;
            showStep();
        }
    } else if (KeyAscii == kKeySkip) {
        if (m_step < m_steps.size()) {
            const Step &step = m_steps[m_step];
            clinic::hess::Test &test = m_tests[step.eye];
            test.points[std::size_t(step.target)].reset();
            if (!test.skipped.contains(step.target))
                test.skipped.append(step.target);
            advance();
        }
    } else {
        return false;
    }
    return true;
}

void HessWindow::Form_MouseDown(Qt::MouseButton Button, QPointF at)
{
    if (Button == Qt::RightButton) {
        ReturnToStart();
        return;
    }
    if (Button != Qt::LeftButton || m_step >= m_steps.size())
        return;
    const Step &step = m_steps[m_step];
    clinic::hess::Test &test = m_tests[step.eye];
    test.points[std::size_t(step.target)] = clinic::hess::measurePoint(
        clinic::hess::kTargets[std::size_t(step.target)].gaze, {at.x(), at.y()}, m_screen);
    test.skipped.removeAll(step.target);
    advance();
}

// After the last point of the second eye the test is done, and the start screen comes back.
void HessWindow::advance()
{
    ++m_step;
    if (m_step >= m_steps.size())
        ReturnToStart();
    else
        showStep();
}

void HessWindow::ReturnToStart()
{
    // Before the start screen loads, as the measurement screen adds its result.
    handOver();
    m_program.unloadFrmpicture();
    m_program.showFrmstart();
    close();
}

// Each eye's test that was begun goes to the program once, however the window is left.
void HessWindow::handOver()
{
    if (m_handedOver)
        return;
    m_handedOver = true;
    QList<clinic::hess::Test> begun;
    for (qsizetype eye = 0; eye < m_tests.size(); ++eye) {
        if (!m_reached[std::size_t(eye)])
            continue;
        clinic::hess::Test test = m_tests[eye];
        test.complete = std::all_of(m_steps.begin(), m_steps.end(), [&](const Step &step) {
            return step.eye != eye || test.points[std::size_t(step.target)]
                || test.skipped.contains(step.target);
        });
        begun.append(test);
    }
    if (!begun.isEmpty())
        m_program.keepHessTests(begun);
}

void HessWindow::showEvent(QShowEvent *event)
{
    FormWindow::showEvent(event);
    // The window's size is the screen's only once it is shown.
    showStep();
    if (!m_pointerConfined) {
        m_pointerConfined = true;
        platform::confinePointer(windowHandle());
    }
}

void HessWindow::mousePressEvent(QMouseEvent *event)
{
    // The window covers the screen from its top left corner: its pixels are screen pixels.
    Form_MouseDown(event->button(), event->position());
}
