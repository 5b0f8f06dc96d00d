#include "results/frmresults.h"

#include "clinic/visit.h"
#include "forms/question.h"
#include "hesschart/hesschart.h"
#include "results/report.h"
#include "results/resultsmodel.h"
#include "results/visitpicture.h"

#include <QAction>
#include <QBoxLayout>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTableView>
#include <QTableWidget>

#include <algorithm>

namespace {
// Large enough for the table, the summary and a picture whose scale can be read, on the
// smallest screens the start screen fits.
constexpr QSize kInitialSize(960, 640);
constexpr QSize kPictureSize(360, 260);
// One line of the note shows; more scroll.
constexpr int kNoteLines = 3;

// The targets in the order the start screen offers them, and the fixing eyes.
constexpr double kTargets[] = {1, 2, 3};
constexpr double kFixingEyes[] = {1, 2};

// The spreadsheet programs that take a paste by type ask for this one.
constexpr char kTabSeparatedType[] = "text/tab-separated-values";

QTableWidgetItem *readOnlyItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

// The picture drawn as the report draws it, on white as on the page.
class VisitPictureView final : public QWidget
{
public:
    VisitPictureView(const clinic::Visit &visit, QWidget *parent)
        : QWidget(parent)
        , m_visit(visit)
    {
        setMinimumSize(kPictureSize);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillRect(rect(), Qt::white);
        paintVisitPicture(painter, QRectF(rect()), m_visit);
    }

private:
    const clinic::Visit &m_visit;
};

QPushButton *button(const QString &text, const char *name, const QString &description)
{
    auto *created = new QPushButton(text);
    created->setObjectName(QLatin1String(name));
    created->setAccessibleName(QString(text).remove(QLatin1Char('&')));
    created->setAccessibleDescription(description);
    // Enter in the identifier or the note does not press a button the clinician did not mean.
    created->setAutoDefault(false);
    return created;
}
} // namespace

FrmResults::FrmResults(clinic::Visit &visit, clinic::Clock clock, QWidget *parent)
    : QDialog(parent)
    , m_visit(visit)
    , m_clock(std::move(clock))
    , m_model(new ResultsModel(visit, this))
    , m_hessModel(new HessResultsModel(visit, this))
{
    setObjectName(QStringLiteral("FrmResults"));
    setWindowTitle(tr("Results of the visit"));
    setAccessibleName(windowTitle());
    setAccessibleDescription(tr("Every result measured since the program started or the last "
                                "new patient, the latest per target and fixing eye, and a "
                                "picture of the deviations"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);
    if (parent)
        parent->installEventFilter(this);

    // The clinician's free text: only the copy and the report use it.
    m_identifier = new QLineEdit;
    m_identifier->setObjectName(QStringLiteral("identifier"));
    m_identifier->setAccessibleName(tr("Patient identifier"));
    m_identifier->setAccessibleDescription(
        tr("Optional: written at the top of the copy and the report and in the report's file "
           "name, kept until the program ends or a new patient"));
    m_note = new QPlainTextEdit;
    m_note->setObjectName(QStringLiteral("note"));
    m_note->setAccessibleName(tr("Note"));
    m_note->setAccessibleDescription(
        tr("Optional: written in the copy and the report, kept until the program ends or a new "
           "patient"));
    m_note->setTabChangesFocus(true);
    m_note->setFixedHeight(m_note->fontMetrics().lineSpacing() * kNoteLines
        + 2 * (m_note->frameWidth() + int(m_note->document()->documentMargin())));
    auto *identifierLabel = new QLabel(tr("Patient &identifier:"));
    identifierLabel->setBuddy(m_identifier);
    auto *noteLabel = new QLabel(tr("&Note:"));
    noteLabel->setBuddy(m_note);
    auto *freeText = new QFormLayout;
    freeText->addRow(identifierLabel, m_identifier);
    freeText->addRow(noteLabel, m_note);

    m_empty = new QLabel(tr("No results yet. Each opening of the measurement screen with a click "
                            "adds its last result here when the screen is left."));
    m_empty->setObjectName(QStringLiteral("empty"));
    m_empty->setWordWrap(true);
    m_empty->setAccessibleName(m_empty->text());

    m_table = new QTableView;
    m_table->setModel(m_model);
    m_table->setObjectName(QStringLiteral("results"));
    m_table->setAccessibleName(tr("Results"));
    m_table->setAccessibleDescription(
        tr("Every result of the visit, newest last; Delete removes the selected one after "
           "asking"));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setTabKeyNavigation(false);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setStretchLastSection(true);
    auto *removeKey = new QAction(tr("Remove the result"), m_table);
    removeKey->setShortcut(QKeySequence::Delete);
    removeKey->setShortcutContext(Qt::WidgetShortcut);
    m_table->addAction(removeKey);
    connect(removeKey, &QAction::triggered, this, &FrmResults::removeResult);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &FrmResults::selectionChanged);

    m_summary = new QTableWidget(int(std::size(kTargets)), int(std::size(kFixingEyes)));
    m_summary->setObjectName(QStringLiteral("summary"));
    m_summary->setAccessibleName(tr("Summary"));
    m_summary->setAccessibleDescription(
        tr("The latest result at each target with each eye fixing"));
    m_summary->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_summary->setTabKeyNavigation(false);
    QStringList targets;
    for (const double target : kTargets)
        targets << clinic::targetName(target);
    m_summary->setVerticalHeaderLabels(targets);
    m_summary->setHorizontalHeaderLabels({tr("OD fixes"), tr("OS fixes")});
    m_summary->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_summary->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_summary->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    // A note too long for the cell's width wraps onto more lines rather than being cut off.
    m_summary->setTextElideMode(Qt::ElideNone);
    m_summary->setWordWrap(true);

    m_picture = new VisitPictureView(m_visit, this);
    m_picture->setObjectName(QStringLiteral("picture"));
    m_picture->setAccessibleName(tr("Picture of the deviations"));
    m_picture->setAccessibleDescription(
        tr("For each fixing eye, where the cross stood from each target, in prism dioptres"));

    m_remove = button(
        tr("&Remove"), "Remove", tr("Removes the selected result from the visit, after asking"));
    m_copy = button(tr("&Copy all"), "CopyAll",
        tr("Puts the whole visit on the clipboard, as lines of text and as a table for a "
           "spreadsheet"));
    m_pdf = button(tr("Save as P&DF…"), "SavePdf", tr("Saves the visit's report as a PDF file"));
    m_print = button(tr("&Print…"), "Print", tr("Prints the visit's report"));
    // Alt+N is the note's.
    m_newPatient = button(tr("Ne&w patient"), "NewPatient",
        tr("Starts a new patient: asks for the identifier, and removes every result and the "
           "note, after asking where they were not copied, saved or printed"));
    m_close = button(tr("Close"), "Close", tr("Closes this window; the visit is kept"));
    connect(m_remove, &QPushButton::clicked, this, &FrmResults::removeResult);
    connect(m_copy, &QPushButton::clicked, this, &FrmResults::copyAll);
    connect(m_pdf, &QPushButton::clicked, this, &FrmResults::saveAsPdf);
    connect(m_print, &QPushButton::clicked, this, &FrmResults::print);
    connect(m_newPatient, &QPushButton::clicked, this, &FrmResults::newPatient);
    connect(m_close, &QPushButton::clicked, this, &QDialog::accept);

    auto *summaryLabel = new QLabel(tr("Latest per &target and fixing eye:"));
    summaryLabel->setBuddy(m_summary);
    auto *threeTargetsSide = new QWidget;
    auto *side = new QVBoxLayout(threeTargetsSide);
    side->setContentsMargins({});
    side->addWidget(summaryLabel);
    side->addWidget(m_summary);
    side->addWidget(m_picture, 1);

    m_hessTable = new QTableView;
    m_hessTable->setModel(m_hessModel);
    m_hessTable->setObjectName(QStringLiteral("hessResults"));
    m_hessTable->setAccessibleName(tr("Hess results"));
    m_hessTable->setAccessibleDescription(
        tr("Every target of every Hess test of the visit, each eye's in the order shown"));
    m_hessTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_hessTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_hessTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_hessTable->setTabKeyNavigation(false);
    m_hessTable->horizontalHeader()->setStretchLastSection(true);
    m_hessChart = new hesschart::HessChart;
    m_hessChart->setMinimumSize(kPictureSize);

    // The three targets stay the default view, as they looked before Hess tests were kept.
    m_filter = new QComboBox;
    m_filter->setObjectName(QStringLiteral("filter"));
    m_filter->setAccessibleName(tr("Show"));
    m_filter->setAccessibleDescription(
        tr("Which results the table lists: the three targets, or the Hess tests and their "
           "charts"));
    m_filter->addItems({QString(), QString()});
    auto *filterLabel = new QLabel(tr("&Show:"));
    filterLabel->setBuddy(m_filter);
    freeText->addRow(filterLabel, m_filter);
    m_tables = new QStackedWidget;
    m_tables->addWidget(m_table);
    m_tables->addWidget(m_hessTable);
    m_sides = new QStackedWidget;
    m_sides->addWidget(threeTargetsSide);
    m_sides->addWidget(m_hessChart);
    connect(m_filter, &QComboBox::currentIndexChanged, this, &FrmResults::filterChanged);
    connect(m_hessTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &FrmResults::showHessChart);

    auto *middle = new QHBoxLayout;
    middle->addWidget(m_tables, 3);
    middle->addWidget(m_sides, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_remove);
    buttons->addStretch(1);
    for (QPushButton *b : {m_copy, m_pdf, m_print, m_newPatient})
        buttons->addWidget(b);
    buttons->addSpacing(m_close->sizeHint().width() / 2);
    buttons->addWidget(m_close);
    auto *window = new QVBoxLayout(this);
    window->addLayout(freeText);
    window->addWidget(m_empty);
    window->addLayout(middle, 1);
    window->addLayout(buttons);

    // The free text stays with the visit while the program runs, typed or not yet copied.
    m_identifier->setText(m_visit.identifier);
    m_note->setPlainText(m_visit.note);
    connect(m_identifier, &QLineEdit::textChanged, this,
        [this](const QString &text) { m_visit.identifier = text; });
    connect(m_note, &QPlainTextEdit::textChanged, this,
        [this] { m_visit.note = m_note->toPlainText(); });

    // The screen's room decides, for the small ones the program runs on.
    QSize size = kInitialSize;
    if (const QScreen *room = parent ? parent->screen() : screen())
        size = size.boundedTo(room->availableGeometry().size());
    resize(size);

    // The keyboard starts in the identifier, and no result is selected: a Delete or Enter meant
    // for somewhere else reaches no result.
    showVisit();
    m_identifier->setFocus();
}

void FrmResults::showVisit()
{
    m_hessModel->reload();
    m_table->resizeColumnsToContents();
    m_hessTable->resizeColumnsToContents();
    showSummary();
    m_picture->update();
    showHessChart();
    // How many of each the visit holds, so that Hess tests are not missed behind the default.
    m_filter->setItemText(0, tr("Three targets (%1)").arg(m_visit.results().size()));
    m_filter->setItemText(1, tr("Hess tests (%1)").arg(m_visit.hessTests().size()));
    const bool results = !m_visit.isEmpty();
    m_empty->setVisible(!results);
    for (QPushButton *b : {m_copy, m_pdf, m_print})
        b->setEnabled(results);
    selectionChanged();
}

// The latest result of each cell, with the calibration's note where it was not made for this
// screen: a number read from the summary alone must carry its warning.
void FrmResults::showSummary()
{
    for (int row = 0; row < int(std::size(kTargets)); ++row) {
        for (int column = 0; column < int(std::size(kFixingEyes)); ++column) {
            QString text;
            if (const clinic::VisitResult *r = m_visit.latest(kTargets[row], kFixingEyes[column])) {
                text = clinic::shownText(r->across) + QStringLiteral("  ")
                    + clinic::shownText(r->down);
                if (!r->calibratedForScreen())
                    text += QLatin1Char('\n') + r->calibrationNote;
            }
            m_summary->setItem(row, column, readOnlyItem(text));
        }
    }
}

void FrmResults::selectionChanged()
{
    // A Hess test is kept whole: its points are not removed one by one.
    m_remove->setEnabled(
        m_filter->currentIndex() == 0 && m_table->selectionModel()->hasSelection());
}

// The charts of one opening of the Hess window: the selected point's, else the latest. Eyes of
// different openings are never drawn as one pair, as their distance or screen may differ.
void FrmResults::showHessChart()
{
    const QList<QList<clinic::hess::Test>> &runs = m_visit.hessRuns();
    qsizetype shown = runs.size() - 1;
    const QModelIndexList selected = m_hessTable->selectionModel()->selectedRows();
    if (!selected.isEmpty()) {
        const clinic::hess::Test *test = m_hessModel->point(selected.first().row()).test;
        for (qsizetype run = 0; run < runs.size(); ++run) {
            for (const clinic::hess::Test &t : runs.at(run)) {
                if (&t == test)
                    shown = run;
            }
        }
    }
    m_hessChart->setTests(shown >= 0 ? runs.at(shown) : QList<clinic::hess::Test> {});
}

void FrmResults::filterChanged()
{
    m_tables->setCurrentIndex(m_filter->currentIndex());
    m_sides->setCurrentIndex(m_filter->currentIndex());
    selectionChanged();
}

// A result removed cannot be brought back: the clinician is asked, and keeping it is the
// default, so that Enter or Esc loses nothing.
void FrmResults::removeResult()
{
    const QModelIndexList selected = m_table->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    const int row = selected.first().row();
    const auto cell = [&](ResultsModel::Column column) {
        return m_model->index(row, column).data().toString();
    };
    const Question question {QMessageBox::Question, tr("Remove the result"),
        tr("Remove this result from the visit? It cannot be brought back.\n\n%1  %2, %3 fixes: "
           "%4  %5")
            .arg(cell(ResultsModel::Time), cell(ResultsModel::Target),
                cell(ResultsModel::FixingEye), cell(ResultsModel::Across),
                cell(ResultsModel::Down)),
        {}, tr("&Remove"), tr("&Keep")};
    if (!ask(this, question))
        return;
    m_model->removeRow(row);
    showVisit();
    // The next one, or the last, is selected: Delete again goes on removing.
    if (const int rows = m_model->rowCount(); rows > 0)
        m_table->selectRow(std::min(row, rows - 1));
    else
        m_table->setFocus();
}

// As text for the record, one line per result as Ctrl+C on the measurement screen writes
// them, and as a table with a header row for a spreadsheet, which takes one column per field.
void FrmResults::copyAll()
{
    auto *copied = new QMimeData;
    copied->setText(m_visit.plainText());
    copied->setData(QLatin1String(kTabSeparatedType), m_visit.tabSeparated().toUtf8());
    QGuiApplication::clipboard()->setMimeData(copied);
    m_visit.markSaved();
}

// Some window managers (xfwm4) give the keyboard to the start screen under this window when a
// dialog over this one closes, and there every key is lost to the modality: it comes back here.
bool FrmResults::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::WindowActivate && isVisible()) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (isVisible()) {
                    raise();
                    activateWindow();
                }
            },
            Qt::QueuedConnection);
    }
    return QDialog::eventFilter(watched, event);
}

void FrmResults::saveAsPdf()
{
    QFileDialog dialog(this, tr("Save the report as PDF"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(tr("PDF documents (*.pdf)"));
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    // The desktop's own dialog would keep the report's name, and with it the patient's
    // identifier, in a history of the whole desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The user's documents, or the home folder where there are none: never the folder the
    // program was started from, which may be the program's own.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    dialog.setDirectory(QDir(documents).exists() ? documents : QDir::homePath());
    // The report is dated as its name: when the clinician chose to save it.
    const QDateTime madeAt = m_clock();
    dialog.selectFile(clinic::reportFileName(m_visit.identifier, madeAt.toLocalTime()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    if (const base::Expected<void> saved = saveReportPdf(path, m_visit, madeAt); saved)
        m_visit.markSaved();
    else
        warn(tr("Report not saved"), saved.error());
}

void FrmResults::print()
{
    const base::Expected<Printing> printed = printReport(this, m_visit, m_clock());
    if (!printed)
        warn(tr("Report not printed"),
            tr("The report could not be printed:\n%1").arg(printed.error()));
    else if (*printed == Printing::Printed)
        m_visit.markSaved();
}

void FrmResults::warn(const QString &title, const QString &error)
{
    // The reason may name a file or a printer, which may hold anything.
    QMessageBox box(QMessageBox::Warning, title, error, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void FrmResults::newPatient()
{
    if (!askNewPatient(this, m_visit))
        return;
    m_model->reload();
    m_identifier->setText(m_visit.identifier);
    m_note->clear();
    showVisit();
    m_identifier->setFocus();
}

// Results nobody copied, saved or printed are asked about first, and keeping them is the
// default, so that Enter or Esc loses nothing; results already kept and free text alone go
// without that question. Cancelling the identifier's question keeps the visit too.
bool askNewPatient(QWidget *parent, clinic::Visit &visit)
{
    if (visit.hasUnsavedResults()) {
        const Question question {QMessageBox::Question, FrmResults::tr("New patient"),
            FrmResults::tr("This visit's results were not copied, saved or printed since they "
                           "last changed. A new patient discards them, with the identifier and "
                           "the note."),
            {}, FrmResults::tr("&Discard the results"), FrmResults::tr("&Keep the results")};
        if (!ask(parent, question))
            return false;
    }
    QInputDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("NewPatientIdentifier"));
    dialog.setWindowTitle(FrmResults::tr("New patient"));
    dialog.setLabelText(FrmResults::tr("The new patient's identifier (may stay empty):"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    visit.clear();
    visit.identifier = dialog.textValue();
    return true;
}
