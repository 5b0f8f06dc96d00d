#include "start/frmstart.h"

#include "clinic/calibration.h"
#include "clinic/visit.h"
#include "forms/monitor.h"
#include "forms/navigation.h"
#include "forms/question.h"
#include "platform/platform.h"
#include "settings/ini.h"

#include <QCloseEvent>
#include <QDate>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>

namespace {
// The character codes of Ctrl+R and Ctrl+N, as the window's key handler receives them.
constexpr int kKeyResults = 18;
constexpr int kKeyNewPatient = 14;

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
    // The title picture shows at its own size in pixels, which is wider than its box below 120
    // dpi: the Hess controls right of it move clear of it rather than cover its words.
    constexpr int kPictureGap = 8;
    const int covered = ui.Image1->x() + ui.Image1->pixmap().width() + kPictureGap - ui.Frame4->x();
    if (covered > 0) {
        for (QWidget *control :
            std::initializer_list<QWidget *> {ui.Frame4, ui.Command5, ui.hessFits})
            control->move(control->x() + covered, control->y());
    }
    connect(ui.Command1, &QPushButton::clicked, this, &frmstart::Command1_Click);
    connect(ui.Command2, &QPushButton::clicked, this, &frmstart::Command2_Click);
    connect(ui.Command3, &QPushButton::clicked, this, &frmstart::Command3_Click);
    connect(ui.Command4, &QPushButton::clicked, this, &frmstart::Command4_Click);
    connect(ui.Command5, &QPushButton::clicked, this, &frmstart::Command5_Click);
    connect(ui.Distance, &QSpinBox::valueChanged, this, [this](int cm) {
        m_values.distanceCm = cm;
        showHessFits();
    });
    // A shortcut, not a key of the key handler: Ctrl+H and Backspace give it the same code.
    auto *hess = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_H), this);
    connect(hess, &QShortcut::activated, this, &frmstart::Command5_Click);
}

void frmstart::Form_Load()
{
    if (m_program.anotherInstanceRunning()) {
        m_program.endProgram();
        return;
    }

    // Each read is a step of its own: one that fails keeps the value held before. The file is
    // read once; the calibration's records come from the same moment of it.
    m_loaded = settings::Snapshot(m_program.programFolder());
    settings::readAll(m_loaded, m_values);
    // Options chosen here whose save failed stay as chosen, not as the file still holds them.
    // The calibration is worked out from the file again below, as it was when they were chosen.
    if (const std::optional<UnsavedSettings> &unsaved = m_program.unsaved()) {
        m_values.Filter = unsaved->values.Filter;
        m_values.Target = unsaved->values.Target;
        m_values.FixEye = unsaved->values.FixEye;
    }
    const clinic::hess::ViewingDistance distance = clinic::hess::viewingDistance(m_loaded);
    m_distanceFellBack = distance.fellBack;
    m_values.distanceCm = distance.cm;
    if (const std::optional<UnsavedSettings> &unsaved = m_program.unsaved())
        m_values.distanceCm = unsaved->distanceCm;

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
    setOption(ui.Option10, m_values.hessField == clinic::hess::Field::Inner);
    setOption(ui.Option11, m_values.hessField == clinic::hess::Field::Outer);
    ui.Distance->setValue(m_values.distanceCm);

    m_readH = m_values.ScreenH;
    m_readV = m_values.ScreenV;
    applyCalibration();
    showSavingNote();
    Form_Activate();
}

void frmstart::Form_Activate()
{
    ui.Command4->setVisible(!m_program.visit().isEmpty());
}

void frmstart::followScreen()
{
    applyCalibration();
}

void frmstart::applyCalibration()
{
    // The values accepted here, or the fall-back, or the record of this monitor at this
    // resolution when the values read were made elsewhere; stored values that are replaced
    // are kept in the file by the next save.
    const QScreen *patient = m_program.patientScreen();
    const platform::ScreenSize screen = platform::screenSize(patient);
    m_screenSize = screen;
    const clinic::Monitor monitor = describeMonitor(patient);
    const clinic::StartCalibration calibration = clinic::startCalibration(m_loaded, m_readH,
        m_readV, monitor, screen.width, screen.height, m_program.now().toLocalTime().date());
    m_values.ScreenH = calibration.screenH;
    m_values.ScreenV
        = settings::toInteger16(calibration.screenV).value_or(qint16(clinic::kCalibrationFallback));
    m_calibrationEntries = calibration.entries;
    showCalibrationNote(calibration.judgement,
        clinic::mirroredText(
            monitor, clinic::mirroredAtAnotherSize(monitor, describeOtherMonitors(patient))));

    ui.cali->setText(
        tr("   Calibration Value   %1 x %2")
            .arg(settings::captionText(m_values.ScreenH), settings::captionText(m_values.ScreenV)));
    ui.resolu->setText(
        tr("Screen Resolution %1 x %2")
            .arg(settings::captionText(screen.width), settings::captionText(screen.height)));
    // With one monitor too: its size, or that it reports none, tells whether the calibration
    // screen can offer the monitor's size.
    ui.monitor->setText(clinic::nameAndSize(monitor));
    const std::optional<clinic::CalibrationRecord> &made = calibration.judgement.inUse;
    ui.caliMade->setText(made ? clinic::madeText(*made) : QString());
    ui.caliMade->setVisible(made.has_value());
    showHessFits();
}

// The targets stand further out the further the patient sits: the clinician learns here, before
// the test, which points the screen can show and how near the patient must sit for the inner
// field.
void frmstart::showHessFits()
{
    const clinic::hess::Screen screen {double(m_screenSize.width), double(m_screenSize.height),
        m_values.ScreenH, double(m_values.ScreenV), m_values.distanceCm};
    QString text;
    if (!clinic::hess::fieldFits(clinic::hess::Field::Inner, screen))
        text = tr("At %1 cm the 9 points do not fit.").arg(m_values.distanceCm);
    else if (!clinic::hess::fieldFits(clinic::hess::Field::Outer, screen))
        text = tr("At %1 cm the 9 points fit, the 25 do not.").arg(m_values.distanceCm);
    else
        text = tr("At %1 cm all 25 points fit.").arg(m_values.distanceCm);
    const std::optional<int> largest = clinic::hess::largestInnerDistance(screen);
    text += QLatin1Char(' ')
        + (largest ? tr("The 9 fit at %1 cm or nearer.").arg(*largest)
                   : tr("The 9 fit at no distance on this screen."));
    ui.hessFits->setText(text);
}

// A fall-back of 500 pixels is no measurement: on a 96-dpi monitor every result would be 13 %
// too large, on a laptop's screen far more; nor is a calibration made on another monitor or at
// another resolution. Where the calibration in use is not one made here, the start screen says
// so and why, across its top, until a calibration is made here; the caption stays as it is.
// A file refused at the settings name (a link, a file far too large) comes first: every value
// shown is a fall-back, and no save will replace it until someone removes it. A picture mirrored
// on a monitor of another size is said after it: whichever monitor the patient looks at, the
// calibration holds for one only.
void frmstart::showCalibrationNote(
    const clinic::CalibrationJudgement &judgement, const QString &mirrored)
{
    const QString refusal = m_loaded.refusal();
    QString text = refusal.isEmpty()
        ? judgement.text
        : tr("%1: it is not used, the fall-backs are, and no save replaces it. Remove it and "
             "calibrate before measuring.")
              .arg(refusal);
    if (!mirrored.isEmpty())
        text = text.isEmpty() ? mirrored : text + QLatin1Char(' ') + mirrored;
    if (m_distanceFellBack) {
        const QString distance
            = tr("The viewing distance in the settings file is unreadable or outside %1 to %2 cm: "
                 "%3 cm is used.")
                  .arg(clinic::hess::kDistanceMinimumCm)
                  .arg(clinic::hess::kDistanceMaximumCm)
                  .arg(clinic::hess::kDistanceDefaultCm);
        text = text.isEmpty() ? distance : text + QLatin1Char(' ') + distance;
    }
    ui.caliNote->setTextFormat(Qt::PlainText);
    ui.caliNote->setText(text);
    ui.caliNote->setVisible(!text.isEmpty());
}

void frmstart::showSavingNote()
{
    QString text = m_program.savingStopped();
    if (const std::optional<UnsavedSettings> &unsaved = m_program.unsaved();
        text.isEmpty() && unsaved) {
        text = tr("The options and the calibration shown here could not be saved in %1: %2. "
                  "Start and Calibrate go on with them until Kelvane ends.")
                   .arg(QFile::decodeName(settings::settingsPath(m_program.programFolder())),
                       unsaved->why);
    }
    ui.saveNote->setText(text);
    ui.saveNote->setVisible(!text.isEmpty());
}

base::Expected<void> frmstart::SaveSettings()
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

    // Nothing is written once another instance holds the folder's lock: it may be saving too.
    if (QString stopped = m_program.savingStopped(); !stopped.isEmpty())
        return base::unexpected(std::move(stopped));

    // The options are what the user sees and chooses here: they are written as shown. The
    // calibration is only shown here: it belongs to the calibration screen, and an
    // administrator or another user of a shared install may have changed it in the file since
    // this screen read it. Writing this screen's copy back would undo that change, so when the
    // file's [Screen] values or records are no longer those read at loading, the save leaves
    // the file's calibration as it stands now and writes the three options alone.
    const QByteArray folder = m_program.programFolder();
    const settings::Snapshot now(folder);
    // A file without the distance reads as 60 cm: one that never held another keeps its bytes.
    QList<profile::Entry> distance;
    if (m_values.distanceCm != clinic::hess::kDistanceDefaultCm
        || now.contains(settings::Key::Distance))
        distance << settings::entryOf({settings::Key::Distance, double(m_values.distanceCm)});
    if (clinic::calibrationChanged(m_loaded, now)) {
        return settings::save(folder,
            {{settings::Key::Filter, m_values.Filter}, {settings::Key::Target, m_values.Target},
                {settings::Key::FixEye, m_values.FixEye}},
            distance);
    }
    return settings::saveAll(folder, m_values, distance + m_calibrationEntries);
}

namespace {
QString settingsFileName(const QByteArray &folder)
{
    return QFile::decodeName(settings::settingsPath(folder));
}
} // namespace

// The measurement and calibration screens read their settings from the file, which a failed
// save left as it was: they go on with the values shown here instead, which the program keeps
// (Navigation::unsaved()), and this screen shows the options again when it comes back. The user
// is told why once for each reason while saves keep failing: a new reason, or a failure after a
// save that worked, is told again; the note across the bottom stays until a save works. That
// this instance no longer saves at all is told by the note alone.
void frmstart::saveForNextScreen()
{
    const base::Expected<void> saved = SaveSettings();
    std::optional<UnsavedSettings> &unsaved = m_program.unsaved();
    if (saved) {
        unsaved.reset();
        return;
    }
    const QString &error = saved.error();
    const bool told = (unsaved && unsaved->why == error) || error == m_program.savingStopped();
    unsaved = UnsavedSettings {m_values, error, m_values.distanceCm};
    if (!told)
        warnNotSaved(error);
}

void frmstart::warnNotSaved(const QString &error)
{
    QMessageBox box(QMessageBox::Warning, tr("Settings not saved"),
        tr("The settings could not be saved in %1:\n%2.\n\nKelvane goes on with the options and "
           "the calibration shown on the start screen until it ends; its next start reads "
           "the file as it is.")
            .arg(settingsFileName(m_program.programFolder()), error),
        QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

// Leaving without the save loses the options chosen and a calibration put back into use; the
// user decides. Staying is the default, so that Enter or Esc loses nothing. Results not yet
// kept are told in the same question, not asked about again after it.
bool frmstart::exitWithoutSaving(const QString &error)
{
    QString text = tr("The settings could not be saved in %1:\n%2.")
                       .arg(settingsFileName(m_program.programFolder()), error);
    if (m_program.visit().hasUnsavedResults())
        text += QStringLiteral("\n\n")
            + tr("This visit's results were not copied, saved or printed either: exiting "
                 "discards them.");
    text += QStringLiteral("\n\n") + tr("Exit without saving, or stay and try again?");
    return ask(this,
        {QMessageBox::Warning, tr("Settings not saved"), text, {}, tr("&Exit without saving"),
            tr("&Stay")});
}

// The visit lives only as long as the program: results the clinician has not copied, saved or
// printed since they last changed go with it. Staying is the default, so that Esc or Enter
// pressed twice loses nothing.
bool frmstart::exitDiscardingResults()
{
    return ask(this,
        {QMessageBox::Warning, tr("Results not saved"),
            tr("This visit's results were not copied, saved or printed since they last changed, "
               "and Kelvane keeps them only while it runs.\n\nStay, and copy, save or print "
               "them in \"Results\" (Ctrl+R), or exit and discard them?"),
            {}, tr("E&xit and discard the results"), tr("&Stay")});
}

// Every way out saves the options first. The clinician is asked at most once: about a save that
// failed, which tells of results not yet kept too, or else about those results.
bool frmstart::mayExit()
{
    // An instance that no longer saves has said so on this screen: only the results are asked
    // about, as staying would not save either.
    if (const base::Expected<void> saved = SaveSettings();
        !saved && saved.error() != m_program.savingStopped())
        return exitWithoutSaving(saved.error());
    return !m_program.visit().hasUnsavedResults() || exitDiscardingResults();
}

void frmstart::exitProgram()
{
    m_program.unloadFrmCali();
    close();
    m_program.endProgram();
}

void frmstart::closeEvent(QCloseEvent *event)
{
    // The program's own hand-overs close the window with everything decided; a close from the
    // window system is the user's "Exit".
    if (event->spontaneous()) {
        if (!mayExit()) {
            event->ignore();
            return;
        }
        m_program.unloadFrmCali();
        m_program.endProgram();
    }
    FormWindow::closeEvent(event);
}

void frmstart::Command1_Click()
{
    // The measurement screen reads the file while it loads, so the save comes first.
    saveForNextScreen();
    m_program.showForm1();
    close();
}

void frmstart::Command3_Click()
{
    saveForNextScreen();
    m_program.showFrmCali();
    close();
}

void frmstart::Command2_Click()
{
    if (mayExit())
        exitProgram();
}

void frmstart::Command5_Click()
{
    m_values.hessField
        = ui.Option11->isChecked() ? clinic::hess::Field::Outer : clinic::hess::Field::Inner;
    saveForNextScreen();
    m_program.showHess(m_values.hessField);
    close();
}

// The results open over this screen and save nothing: the options stay as chosen until the
// clinician starts, calibrates or leaves.
void frmstart::Command4_Click()
{
    m_program.showResults();
}

bool frmstart::Form_KeyPress(int KeyAscii)
{
    // Whether or not the visit holds a result yet: an empty window says so.
    if (KeyAscii == kKeyResults) {
        Command4_Click();
        return true;
    }
    if (KeyAscii == kKeyNewPatient) {
        m_program.newPatient();
        return true;
    }
    if (KeyAscii != kKeyEscape)
        return false;
    if (mayExit())
        exitProgram();
    return true;
}
