// The visit's results through the real windows: measurements on the measurement screen, the
// start screen's way into the results, and the results window's table, summary, copy and clear.
#include "measure/form1.h"

#include "clinic/visit.h"
#include "results/frmresults.h"
#include "start/frmstart.h"
#include "tests/testmain.h"
#include "tests/testsupport.h"

#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSet>
#include <QTableView>
#include <QTimer>
#include <QWindow>

namespace {
// 567 pixels per 150 mm, calibrated on the offscreen monitor (1024 x 768) or in no record.
QByteArray settingsFile(bool calibrated)
{
    const QByteArray values("[Filter]\nFILTER= 1\nTARGET= 1\nFIXEYE= 2\n[Screen]\nSCREENH= "
                            "567\nSCREENV= 567\n");
    return calibrated ? values + testsupport::calibrationRecords("screen0", 1024, 768, 567, 567)
                      : values;
}

QStringList rowTexts(const QAbstractItemView *table, int row)
{
    QStringList texts;
    for (int column = 0; column < table->model()->columnCount(); ++column)
        texts << table->model()->index(row, column).data().toString();
    return texts;
}
QStringList summaryTexts(const QAbstractItemView *summary)
{
    QStringList texts;
    for (int row = 0; row < summary->model()->rowCount(); ++row)
        texts += rowTexts(summary, row);
    return texts;
}

template<typename T> T *child(QWidget *window, const char *name)
{
    return window->findChild<T *>(QLatin1String(name));
}

// Where the pointer arrives from the pixel beside: the platform drops a movement to where the
// pointer already is.
void click(QWidget *window, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseMove(window->windowHandle(), at + QPoint(1, 0));
    QTest::mouseMove(window->windowHandle(), at);
    QTest::mouseClick(window->windowHandle(), button, {}, at);
}
} // namespace

class TestResults final : public testsupport::ProgramTest
{
    Q_OBJECT

private:
    frmstart *startScreen()
    {
        auto *start = currentWindow<frmstart>();
        return start && QTest::qWaitForWindowExposed(start) ? start : nullptr;
    }
    // The options chosen on the start screen and "Start".
    Form1 *measure(int glasses, int target, int fixEye)
    {
        frmstart *start = startScreen();
        if (!start)
            return nullptr;
        for (const int option : {glasses, 4 + target, 7 + fixEye})
            child<QRadioButton>(start, qPrintable(QStringLiteral("Option%1").arg(option)))
                ->setChecked(true);
        QTest::mouseClick(child<QPushButton>(start, "Command1"), Qt::LeftButton);
        auto *window = currentWindow<Form1>();
        return window && QTest::qWaitForWindowExposed(window) ? window : nullptr;
    }
    // A click at this offset from the reference point of the ring.
    static void clickAt(Form1 *window, QPoint offset, Qt::MouseButton button = Qt::LeftButton)
    {
        const QPoint corner = child<QLabel>(window, "target")->pos();
        click(window, corner + QPoint(6, 6) + offset, button);
    }
    FrmResults *openResults()
    {
        frmstart *start = startScreen();
        if (!start)
            return nullptr;
        QTest::keyClick(start, Qt::Key_R, Qt::ControlModifier);
        auto *results = start->findChild<FrmResults *>();
        return results && QTest::qWaitForWindowExposed(results) ? results : nullptr;
    }
    int resultCount() { return int(m_program->visit().results().size()); }
    // One measurement: Center, OS fixes, a click, Esc; back on the start screen.
    bool measureOnce(bool copyOne = false)
    {
        Form1 *window = measure(1, 1, 2);
        if (!window)
            return false;
        clickAt(window, QPoint(68, 68));
        if (copyOne)
            QTest::keyClick(window, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(window, Qt::Key_Escape);
        return startScreen();
    }
    static void closeResults(FrmResults *results)
    {
        QWidget *start = results->parentWidget();
        QTest::keyClick(results, Qt::Key_Escape);
        QTRY_VERIFY(!start->findChild<FrmResults *>());
    }

private Q_SLOTS:
    // Six openings of the measurement screen, two of them without a click, each left its own
    // way: the four that measured are in the table, newest last, each with the last click of its
    // opening as the screen showed it; the summary holds the latest per target and fixing eye;
    // a removed row goes from the table, the summary and the copy.
    void visitThroughTheWindows()
    {
        m_folder->writeSettings(settingsFile(true));
        m_program->showFrmstart();
        QVERIFY(!child<QPushButton>(startScreen(), "Command4")->isVisible());

        // Center, OS fixes: two clicks, the second counts. Esc.
        Form1 *window = measure(1, 1, 2);
        QVERIFY(window);
        clickAt(window, QPoint(68, 68));
        clickAt(window, QPoint(-77, -69));
        QTest::keyClick(window, Qt::Key_Escape);
        QCOMPARE(resultCount(), 1);
        QVERIFY(child<QPushButton>(startScreen(), "Command4")->isVisible());

        // Center, OD fixes, no click: nothing.
        window = measure(1, 1, 1);
        QVERIFY(window);
        QTest::keyClick(window, Qt::Key_Escape);
        QCOMPARE(resultCount(), 1);

        // Right, OS fixes, twice: a right click, then a new resolution sends it back.
        window = measure(1, 2, 2);
        QVERIFY(window);
        clickAt(window, QPoint(34, 0));
        clickAt(window, QPoint(-200, 0), Qt::RightButton);
        window = measure(1, 2, 2);
        QVERIFY(window);
        clickAt(window, QPoint(68, 68));
        QScreen *screen = window->screen();
        Q_EMIT screen->geometryChanged(screen->geometry());
        QTRY_VERIFY(currentWindow<frmstart>());
        QCOMPARE(resultCount(), 3);

        // Left, OD fixes, no click; then with a calibration that no record made here.
        window = measure(4, 3, 1);
        QVERIFY(window);
        clickAt(window, QPoint(0, 0), Qt::RightButton);
        QVERIFY(startScreen());
        m_folder->writeSettings(settingsFile(false));
        window = measure(4, 3, 1);
        QVERIFY(window);
        clickAt(window, QPoint(0, 0));
        QTest::keyClick(window, Qt::Key_Escape);
        QCOMPARE(resultCount(), 4);

        FrmResults *results = openResults();
        QVERIFY(results);
        QVERIFY(!child<QLabel>(results, "empty")->isVisible());
        auto *table = child<QTableView>(results, "results");
        auto *summary = child<QAbstractItemView>(results, "summary");
        const QString notHere = QStringLiteral("not calibrated for this screen");
        const QList<QStringList> rows = {
            {"Center", "OS", "OD", "yes", "BR: 3.4", "BD: 3", "OD red, OS blue", "", "60 cm"},
            {"Right", "OS", "OD", "yes", "BL: 1.5", "BU: 0", "OD red, OS blue", "", "60 cm"},
            {"Right", "OS", "OD", "yes", "BL: 3.0", "BU: 3", "OD red, OS blue", "", "60 cm"},
            {"Left", "OD", "OS", "no", "BL: 0.0", "BU: 0", "OD green, OS red", notHere, "60 cm"},
        };
        const auto expectRows = [&](const QList<int> &which) {
            QCOMPARE(table->model()->rowCount(), which.size());
            for (int row = 0; row < which.size(); ++row) {
                QStringList texts = rowTexts(table, row);
                QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"))
                            .match(texts.takeFirst())
                            .hasMatch());
                QCOMPARE(texts, rows.at(which.at(row)));
            }
        };
        expectRows({0, 1, 2, 3});
        // Whether the calibration was made here stands before the numbers, and both are seen
        // without scrolling at the window's first size.
        QCOMPARE(table->model()->headerData(4, Qt::Horizontal).toString(),
            QStringLiteral("Calibrated\nhere"));
        for (const int column : {4, 5, 6})
            QVERIFY2(table->columnViewportPosition(column) + table->columnWidth(column)
                    <= table->viewport()->width(),
                qPrintable(table->model()->headerData(column, Qt::Horizontal).toString()));
        // Center, Right, Left by OD fixes, OS fixes.
        QCOMPARE(summaryTexts(summary),
            QStringList({"", "BR: 3.4  BD: 3", "", "BL: 3.0  BU: 3",
                "BL: 0.0  BU: 0\nnot calibrated for this screen", ""}));

        // The second Right with OS fixing goes: the first is the latest again.
        table->setFocus();
        table->selectRow(2);
        {
            testsupport::MessageBoxAnswer remove(QStringLiteral("Remove"));
            QTest::keyClick(table, Qt::Key_Delete);
        }
        expectRows({0, 1, 3});
        QCOMPARE(summaryTexts(summary),
            QStringList({"", "BR: 3.4  BD: 3", "", "BL: 1.5  BU: 0",
                "BL: 0.0  BU: 0\nnot calibrated for this screen", ""}));

        QTest::keyClicks(child<QWidget>(results, "identifier"), QStringLiteral("K-0042"));
        child<QWidget>(results, "note")->setFocus();
        QTest::keyClicks(child<QWidget>(results, "note"), QStringLiteral("after surgery"));
        QTest::mouseClick(child<QPushButton>(results, "CopyAll"), Qt::LeftButton);
        const QMimeData *copied = QGuiApplication::clipboard()->mimeData();
        QVERIFY(copied);
        QStringList tsv
            = QString::fromUtf8(copied->data(QStringLiteral("text/tab-separated-values")))
                  .split(QLatin1Char('\n'));
        const QRegularExpression time(QStringLiteral("\t\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d\t"));
        for (QString &line : tsv)
            line.replace(time, QStringLiteral("\t(time)\t"));
        QCOMPARE(tsv,
            QStringList({"Patient\tTime\tGlasses\tTarget\tFixing eye\tEye seeing the cross\t"
                         "Horizontal base\tHorizontal (prism dioptres)\tVertical base\tVertical "
                         "(prism dioptres)\tCalibration across (px per 150 mm)\tCalibration down "
                         "(px per 150 mm)\tCalibration note\tCalibrated on\tMonitor\tScreen "
                         "(px)\tViewing distance (cm)\tNote",
                "K-0042\t(time)\tOD red, OS blue\tCenter\tOS\tOD\tBR\t3.4\tBD\t3\t567\t567\t\t"
                "2026-01-15\tscreen0\t1024 x 768\t60\tafter surgery",
                "K-0042\t(time)\tOD red, OS blue\tRight\tOS\tOD\tBL\t1.5\tBU\t0\t567\t567\t\t"
                "2026-01-15\tscreen0\t1024 x 768\t60\tafter surgery",
                "K-0042\t(time)\tOD green, OS red\tLeft\tOD\tOS\tBL\t0.0\tBU\t0\t567\t567\t"
                "not calibrated for this screen\t\tscreen0\t1024 x 768\t60\tafter surgery",
                ""}));
        const QStringList text = copied->text().split(QLatin1Char('\n'));
        QCOMPARE(text.mid(0, 2), QStringList({"Patient: K-0042", "Note: after surgery"}));
        QCOMPARE(text.size(), 6);
        QVERIFY(text.at(4).endsWith(QLatin1String("; target Left; viewing distance 60 cm; not "
                                                  "calibrated for this screen")));

        // Closed and opened again: the visit and its free text are still there.
        QTest::keyClick(results, Qt::Key_Escape);
        QTRY_VERIFY(!startScreen()->findChild<FrmResults *>());
        results = openResults();
        QVERIFY(results);
        QCOMPARE(child<QTableView>(results, "results")->model()->rowCount(), 3);
        QCOMPARE(child<QLineEdit>(results, "identifier")->text(), QStringLiteral("K-0042"));
    }

    // Pushed to the screen's right edge from the Right target, the cross gives a lower bound:
    // its mark stays in the table, the grid and both copies. The ring's reference point stands
    // at (753, 369) on 1024 x 768.
    void boundThroughTheWindows()
    {
        m_folder->writeSettings(settingsFile(true));
        m_program->showFrmstart();
        Form1 *window = measure(1, 2, 2);
        QVERIFY(window);
        click(window, QPoint(1023, 369));
        QTest::keyClick(window, Qt::Key_Escape);
        FrmResults *results = openResults();
        QVERIFY(results);
        const QString bound = QStringLiteral("BL: \u226511.9");
        QCOMPARE(rowTexts(child<QTableView>(results, "results"), 0).count(bound), 1);
        QVERIFY(summaryTexts(child<QAbstractItemView>(results, "summary"))
                    .contains(bound + QStringLiteral("  BU: 0")));
        QTest::mouseClick(child<QPushButton>(results, "CopyAll"), Qt::LeftButton);
        const QMimeData *copied = QGuiApplication::clipboard()->mimeData();
        QVERIFY(copied);
        const QString tsv
            = QString::fromUtf8(copied->data(QStringLiteral("text/tab-separated-values")));
        QVERIFY2(tsv.contains(QStringLiteral("\tOD\tBL\t\u226511.9\tBU\t0\t")), qPrintable(tsv));
        QVERIFY2(copied->text().contains(QStringLiteral("OD: BL \u226511.9 BU 0 (prism")),
            qPrintable(copied->text()));
    }

    void waysToLeave_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("Esc") << "Esc";
        QTest::newRow("right click") << "right click";
        QTest::newRow("monitor removed") << "screen change";
        QTest::newRow("closed by the desktop") << "closed";
    }
    // However the screen is left, its last click goes into the visit once.
    void waysToLeave()
    {
        QFETCH(QString, way);
        m_folder->writeSettings(settingsFile(true));
        m_program->showFrmstart();
        QPointer<Form1> window = measure(1, 1, 2);
        QVERIFY(window);
        clickAt(window, QPoint(34, 0));
        clickAt(window, QPoint(68, 68));
        if (way == QLatin1String("Esc"))
            QTest::keyClick(window, Qt::Key_Escape);
        else if (way == QLatin1String("right click"))
            clickAt(window, QPoint(0, 0), Qt::RightButton);
        else if (way == QLatin1String("screen change"))
            Q_EMIT qApp->screenRemoved(window->screen());
        else
            window->close();
        QTRY_VERIFY(window.isNull());
        QCOMPARE(resultCount(), 1);
        const clinic::VisitResult &result = m_program->visit().results().constFirst();
        QCOMPARE(result.across->shown(), QStringLiteral("BL: 3.0"));
        QCOMPARE(result.down->shown(), QStringLiteral("BU: 3"));
    }

    // Ctrl+R opens the window over the start screen whether or not there is a result; it says
    // when there is none, and every control a user reaches has a name.
    void emptyVisit()
    {
        m_program->showFrmstart();
        frmstart *start = startScreen();
        QVERIFY(start);
        FrmResults *results = openResults();
        QVERIFY(results);
        QCOMPARE(results->parentWidget(), start);
        QCOMPARE(results->windowModality(), Qt::WindowModal);
        QVERIFY(results->isSizeGripEnabled());
        QVERIFY(results->width() < start->width());
        QVERIFY(child<QLabel>(results, "empty")->isVisible());
        QCOMPARE(child<QTableView>(results, "results")->model()->rowCount(), 0);
        for (const char *name : {"CopyAll", "SavePdf", "Print", "Remove"})
            QVERIFY2(!child<QPushButton>(results, name)->isEnabled(), name);
        for (QWidget *control : results->findChildren<QWidget *>()) {
            if (control->focusPolicy() & Qt::TabFocus && !control->objectName().isEmpty())
                QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
        }
        // Each Alt key reaches one control: a shared one only moves the focus between them.
        QSet<QChar> keys;
        QStringList captions;
        for (const QPushButton *button : results->findChildren<QPushButton *>())
            captions << button->text();
        for (const QLabel *label : results->findChildren<QLabel *>())
            captions << label->text();
        for (const QString &caption : std::as_const(captions)) {
            if (const qsizetype at = caption.indexOf(QLatin1Char('&')); at >= 0) {
                const QChar key = caption.at(at + 1).toLower();
                QVERIFY2(!keys.contains(key), qPrintable(caption));
                keys.insert(key);
            }
        }
        QTest::keyClick(results, Qt::Key_Escape);
        QTRY_VERIFY(!start->findChild<FrmResults *>());
        QCOMPARE(m_program->current(), start);
    }

    // The window opens with the keyboard in the identifier and no result selected: a Delete
    // meant for the table reaches nothing. A result goes only after asking, keeping the default.
    void removingAsksFirst_data()
    {
        QTest::addColumn<bool>("button"); // "Remove", or the Delete key
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("left");
        QTest::newRow("Delete, Enter") << false << "Enter" << 2;
        QTest::newRow("Delete, Esc") << false << "Esc" << 2;
        QTest::newRow("Remove, Remove") << true << "Remove" << 1;
    }
    void removingAsksFirst()
    {
        QFETCH(bool, button);
        QFETCH(QString, answer);
        QFETCH(int, left);
        m_folder->writeSettings(settingsFile(true));
        m_program->showFrmstart();
        QVERIFY(measureOnce() && measureOnce());
        FrmResults *results = openResults();
        QVERIFY(results);
        auto *table = child<QTableView>(results, "results");
        QCOMPARE(results->focusWidget(), child<QWidget>(results, "identifier"));
        QTest::keyClick(results->focusWidget(), Qt::Key_Delete);
        QVERIFY(!table->selectionModel()->hasSelection());
        table->setFocus();
        table->selectRow(1);
        testsupport::DialogAnswer<QMessageBox> asked(
            [&](QMessageBox *box) { testsupport::answerBox(box, answer); });
        if (button)
            QTest::mouseClick(child<QPushButton>(results, "Remove"), Qt::LeftButton);
        else
            QTest::keyClick(table, Qt::Key_Delete);
        QCOMPARE(asked.count(), 1);
        QCOMPARE(resultCount(), left);
        QCOMPARE(table->model()->rowCount(), left);
    }

    // A click above and left of the ring, from the measurement screen to the saved report: its
    // picture sets the result above and left of the target, under BD and BR, and the report is
    // named and dated by the program's clock.
    void aClickReachesTheReportWhereItStood()
    {
        m_now = QDateTime(QDate(2026, 3, 2), QTime(11, 5, 7));
        m_folder->writeSettings(settingsFile(true));
        m_program->showFrmstart();
        Form1 *window = measure(1, 1, 2);
        QVERIFY(window);
        clickAt(window, QPoint(-227, -283));
        QCOMPARE(testsupport::labelText(window, "VPD"), QStringLiteral("BD: 12.5"));
        QTest::keyClick(window, Qt::Key_Escape);
        FrmResults *results = openResults();
        QVERIFY(results);
        QString offered;
        // Saved under the offered name in the test's folder: the dialog's selectFile() leaves the
        // name box alone once it has the focus, which it may or may not have by then.
        testsupport::DialogAnswer<QFileDialog> dialog([&](QFileDialog *files) {
            offered = QFileInfo(files->selectedFiles().value(0)).fileName();
            files->setDirectory(m_folder->path());
            static_cast<QDialog *>(files)->accept();
        });
        QTest::mouseClick(child<QPushButton>(results, "SavePdf"), Qt::LeftButton);
        QCOMPARE(offered, QStringLiteral("Kelvane report 2026-03-02 11-05-07.pdf"));
        const QString path = m_folder->path() + QLatin1Char('/') + offered;
        QString fault;
        QCOMPARE(testsupport::pictureSides(path, fault), (QMap<int, QPoint> {{1, QPoint(-1, -1)}}));
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        closeResults(results);
    }

    // Esc, "Exit" and the window manager's close on the start screen ask first while the visit
    // holds results not copied, saved or printed; staying is the default.
    void leavingAsksFirst_data()
    {
        QTest::addColumn<QString>("before"); // a button of the Results window, or Ctrl+C
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("answer"); // empty: no question
        const QString discard = QStringLiteral("Exit and discard the results");
        QTest::newRow("Esc, Enter") << ""
                                    << "Esc"
                                    << "Enter";
        QTest::newRow("Esc, Esc") << ""
                                  << "Esc"
                                  << "Esc";
        QTest::newRow("Exit, discard") << ""
                                       << "Exit" << discard;
        QTest::newRow("closed, Enter") << ""
                                       << "closed"
                                       << "Enter";
        QTest::newRow("closed, discard") << ""
                                         << "closed" << discard;
        QTest::newRow("Ctrl+C copies one result") << "Ctrl+C"
                                                  << "Esc"
                                                  << "Stay";
        QTest::newRow("print cancelled") << "Print"
                                         << "Esc"
                                         << "Stay";
        QTest::newRow("Copy all") << "CopyAll"
                                  << "Esc"
                                  << "";
        QTest::newRow("saved as PDF") << "SavePdf"
                                      << "closed"
                                      << "";
    }
    void leavingAsksFirst()
    {
        QFETCH(QString, before);
        QFETCH(QString, way);
        QFETCH(QString, answer);
        m_folder->writeSettings(settingsFile(true));
        m_program->showFrmstart();
        QVERIFY(measureOnce(before == QLatin1String("Ctrl+C")));
        QString offered; // the report's file name as the dialog offers it
        bool ownDialog = false; // Qt's, which keeps no desktop-wide history of file names
        if (before != QLatin1String("Ctrl+C") && !before.isEmpty()) {
            FrmResults *results = openResults();
            QVERIFY(results);
            QTest::keyClicks(child<QWidget>(results, "identifier"), QStringLiteral("K/42"));
            testsupport::DialogAnswer<QDialog> dialog([&](QDialog *d) {
                if (auto *files = qobject_cast<QFileDialog *>(d)) {
                    offered = QFileInfo(files->selectedFiles().value(0)).fileName();
                    ownDialog = files->testOption(QFileDialog::DontUseNativeDialog);
                    files->setDirectory(m_folder->path());
                    return d->accept();
                }
                d->reject(); // the print dialog
            });
            QTest::mouseClick(child<QPushButton>(results, qPrintable(before)), Qt::LeftButton);
            closeResults(results);
        }
        QCOMPARE(ownDialog, before == QLatin1String("SavePdf"));
        if (before == QLatin1String("SavePdf"))
            QVERIFY2(QRegularExpression(QStringLiteral("^Kelvane report K_42 "
                                                       "\\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d"
                                                       "\\.pdf$"))
                         .match(offered)
                         .hasMatch(),
                qPrintable(offered));
        frmstart *start = startScreen();
        QVERIFY(start);
        testsupport::DialogAnswer<QMessageBox> asked(
            [&](QMessageBox *box) { testsupport::answerBox(box, answer); });
        if (way == QLatin1String("Esc"))
            QTest::keyClick(start, Qt::Key_Escape);
        else if (way == QLatin1String("Exit"))
            QTest::mouseClick(child<QPushButton>(start, "Command2"), Qt::LeftButton);
        else
            testsupport::closeAsWindowManager(start);
        QCOMPARE(asked.count(), answer.isEmpty() ? 0 : 1);
        const bool ends = answer.isEmpty() || answer.startsWith(QLatin1String("Exit"));
        QCOMPARE(m_program->ended(), ends);
        if (!ends)
            QVERIFY(start->isVisible() && resultCount() == 1);
    }

    // "New patient" in the Results window and Ctrl+N on the start screen: asked first where the
    // results were not kept, keeping them the default; then the new patient's identifier, which
    // may stay empty; cancelling it keeps the visit.
    void newPatient_data()
    {
        QTest::addColumn<bool>("fromStart");
        QTest::addColumn<bool>("copied");
        QTest::addColumn<QString>("answer"); // about the results; empty: no question
        QTest::addColumn<QString>("identifier"); // null: its question cancelled
        const QString discard = QStringLiteral("Discard the results");
        QTest::newRow("Enter keeps") << false << false << "Enter" << QString();
        QTest::newRow("discard") << false << false << discard << "K/42";
        QTest::newRow("copied: no question") << false << true << ""
                                             << "K-43";
        QTest::newRow("identifier cancelled") << false << true << "" << QString();
        QTest::newRow("Ctrl+N, Esc keeps") << true << false << "Esc" << QString();
        QTest::newRow("Ctrl+N, no identifier") << true << false << discard << "";
    }
    void newPatient()
    {
        QFETCH(bool, fromStart);
        QFETCH(bool, copied);
        QFETCH(QString, answer);
        QFETCH(QString, identifier);
        m_folder->writeSettings(settingsFile(true));
        m_program->showFrmstart();
        QVERIFY(measureOnce());
        FrmResults *results = openResults();
        QVERIFY(results);
        child<QLineEdit>(results, "identifier")->setText(QStringLiteral("K-0042"));
        if (copied)
            QTest::mouseClick(child<QPushButton>(results, "CopyAll"), Qt::LeftButton);
        if (fromStart)
            closeResults(results);
        testsupport::DialogAnswer<QMessageBox> asked(
            [&](QMessageBox *box) { testsupport::answerBox(box, answer); });
        testsupport::DialogAnswer<QInputDialog> named([&](QInputDialog *dialog) {
            dialog->setTextValue(identifier);
            identifier.isNull() ? dialog->reject() : dialog->accept();
        });
        if (fromStart)
            QTest::keyClick(startScreen(), Qt::Key_N, Qt::ControlModifier);
        else
            QTest::mouseClick(child<QPushButton>(results, "NewPatient"), Qt::LeftButton);
        QCOMPARE(asked.count(), answer.isEmpty() ? 0 : 1);
        const bool cleared = !identifier.isNull();
        const bool keptByTheQuestion
            = answer == QLatin1String("Enter") || answer == QLatin1String("Esc");
        QCOMPARE(named.count(), keptByTheQuestion ? 0 : 1);
        QCOMPARE(resultCount(), cleared ? 0 : 1);
        QCOMPARE(m_program->visit().identifier, cleared ? identifier : QStringLiteral("K-0042"));
        if (fromStart)
            QCOMPARE(child<QPushButton>(startScreen(), "Command4")->isVisible(), !cleared);
        else
            QCOMPARE(
                child<QLineEdit>(results, "identifier")->text(), m_program->visit().identifier);
    }
};

KELVANE_TEST_MAIN(TestResults)
#include "test_results.moc"
