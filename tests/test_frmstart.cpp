// The start screen driven through its real widgets, against a settings file in a fresh folder.
#include "start/frmstart.h"

#include "calibrate/frmcali.h"
#include "clinic/calibrationjudgement.h"
#include "clinic/visit.h"
#include "measure/form1.h"
#include "platform/platform.h"
#include "tests/testmain.h"
#include "tests/testsupport.h"

#include <QDate>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include <sys/stat.h>

using testsupport::ProgramFolder;

namespace {
// The notes as the start screen shows them.
const QString kNeverCalibrated = QStringLiteral(
    "This screen is not calibrated: results are wrong until it is. Calibrate before measuring.");
const QString kOtherMonitor
    = QStringLiteral("Calibrated on another monitor: calibrate this one before measuring.");
const QString kChangedOutside = QStringLiteral(
    "The calibration was changed outside the calibration screen: calibrate before measuring.");

const QByteArray kFilter("[Filter]\nFILTER= 1\nTARGET= 1\nFIXEYE= 2\n");

QByteArray screenSection(const QByteArray &screenH, const QByteArray &screenV)
{
    return "[Screen]\nSCREENH= " + screenH + "\nSCREENV= " + screenV + "\n";
}

// The records "Done" leaves on the screen the test runs on, named "screen0" by its
// configuration: in [Calibration], or in the monitor's archive section.
QByteArray recordHere(bool archive, int screenH, int screenV)
{
    const testsupport::TestScreen screen = testsupport::testScreen();
    return testsupport::calibrationRecord(
        archive, "screen0", screen.width, screen.height, screenH, screenV);
}
QByteArray recordsHere(int screenH, int screenV)
{
    return recordHere(false, screenH, screenV) + recordHere(true, screenH, screenV);
}
// The program's windows shown and hidden while it lives, in order, by object name.
class ShowsAndHides final : public QObject
{
public:
    ShowsAndHides() { QCoreApplication::instance()->installEventFilter(this); }
    QStringList windows;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const auto *widget = qobject_cast<const QWidget *>(watched);
        if (widget && widget->isWindow()
            && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
            windows << widget->objectName()
                    + (event->type() == QEvent::Show ? QLatin1String(" shown")
                                                     : QLatin1String(" hidden"));
        return false;
    }
};
} // namespace

class TestFrmstart final : public testsupport::ProgramTest
{
    Q_OBJECT

private:
    frmstart *open()
    {
        m_program->showFrmstart();
        return currentWindow<frmstart>();
    }
    static QRadioButton *option(QWidget *window, int number)
    {
        return window->findChild<QRadioButton *>(QStringLiteral("Option%1").arg(number));
    }
    static bool wideScreen() { return testsupport::testScreen().width == 1280; }
    static QString note(QWidget *window, const char *name = "caliNote")
    {
        const auto *label = window->findChild<QLabel *>(QLatin1String(name));
        return label && label->isVisibleTo(window) ? label->text() : QString();
    }
    static void click(QWidget *window, const char *button)
    {
        QTest::mouseClick(window->findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton);
    }

private Q_SLOTS:
    void noFileGivesFallbacks()
    {
        frmstart *window = open();
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), QStringLiteral("Kelvane"));
        QCOMPARE(testsupport::selectedOptions(window), (QList<int> {1, 5, 9}));
        QVERIFY(testsupport::labelText(window, "cali").endsWith(QStringLiteral("500 x 500")));
        QCOMPARE(testsupport::labelText(window, "cali"),
            QStringLiteral("   Calibration Value   500 x 500"));
        QCOMPARE(testsupport::labelText(window, "resolu"),
            wideScreen() ? QStringLiteral("Screen Resolution 1280 x 1024")
                         : QStringLiteral("Screen Resolution 1024 x 768"));
        // With one monitor too; offscreen monitors report 100 dots per inch.
        QCOMPARE(testsupport::labelText(window, "monitor"),
            wideScreen() ? QStringLiteral("screen0 (325 x 260 mm)")
                         : QStringLiteral("screen0 (260 x 195 mm)"));
        QVERIFY(!m_folder->hasSettings()); // loading alone writes nothing
    }

    void storedValuesSelectOptions_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<int>>("options");
        QTest::addColumn<QString>("cali");
        QTest::newRow("as written") << QByteArray("[Filter]\nFILTER= 4\nTARGET= 3\nFIXEYE= 1\n"
                                                  "[Screen]\nSCREENH= 567\nSCREENV= 510\n")
                                    << QList<int> {4, 7, 8} << QStringLiteral("567 x 510");
        QTest::newRow("any letter case, no blank")
            << QByteArray("[filter]\nfilter=2\ntarget=2\nfixeye=2\n[SCREEN]\nScreenH=300.5\n"
                          "ScreenV=300.5\n")
            << QList<int> {2, 6, 9} << QStringLiteral("300.5 x 300");
        QTest::newRow("fix eye 0 falls back to OS, filter 0 to the first")
            << QByteArray("[Filter]\nFILTER= 0\nTARGET= 0\nFIXEYE= 0\n") << QList<int> {1, 5, 9}
            << QStringLiteral("500 x 500");
        QTest::newRow("out of range above")
            << QByteArray("[Filter]\nFILTER= 4.5\nTARGET= 4\nFIXEYE= 3\n") << QList<int> {1, 5, 9}
            << QStringLiteral("500 x 500");
        QTest::newRow("fraction in range selects nothing")
            << QByteArray("[Filter]\nFILTER= 2.5\nTARGET= 1.5\nFIXEYE= 1.5\n") << QList<int> {}
            << QStringLiteral("500 x 500");
        QTest::newRow("letters and empty values")
            << QByteArray("[Filter]\nFILTER=abc\nTARGET=\nFIXEYE= x1\n[Screen]\nSCREENH=\n")
            << QList<int> {1, 5, 9} << QStringLiteral("500 x 500");
        QTest::newRow("calibration below the minimum")
            << QByteArray("[Screen]\nSCREENH= 99\nSCREENV= 100\n") << QList<int> {1, 5, 9}
            << QStringLiteral("500 x 100");
        QTest::newRow("16-bit overflow keeps the value held, then falls back")
            << QByteArray("[Screen]\nSCREENH= 1e400\nSCREENV= 40000\n") << QList<int> {1, 5, 9}
            << QStringLiteral("500 x 500");
    }
    void storedValuesSelectOptions()
    {
        QFETCH(QByteArray, file);
        QFETCH(QList<int>, options);
        QFETCH(QString, cali);
        m_folder->writeSettings(file);
        frmstart *window = open();
        QCOMPARE(testsupport::selectedOptions(window), options);
        QCOMPARE(testsupport::labelText(window, "cali"),
            QStringLiteral("   Calibration Value   ") + cali);
        QCOMPARE(m_folder->settings(), file);
    }

    // A file saved as "Unicode" by Windows Notepad (UTF-16LE with a byte-order mark) is read, and
    // the save writes it back in UTF-16LE: never a file in two encodings.
    void utf16FileIsReadAndSavedInUtf16()
    {
        using testsupport::utf16;
        m_folder->writeSettings(
            utf16("[Filter]\r\nFILTER= 3\r\nTARGET= 2\r\nFIXEYE= 1\r\n[Screen]\r\nSCREENH= "
                  "567\r\nSCREENV= 432\r\n"));
        frmstart *window = open();
        QCOMPARE(testsupport::selectedOptions(window), (QList<int> {3, 6, 8}));
        QCOMPARE(testsupport::labelText(window, "cali"),
            QStringLiteral("   Calibration Value   567 x 432"));
        QTest::mouseClick(option(window, 4), Qt::LeftButton);
        QTest::keyClick(window, Qt::Key_Escape);
        QCOMPARE(m_folder->settings(),
            utf16("[Filter]\r\nFILTER= 4\r\nTARGET= 2\r\nFIXEYE= 1\r\n[Screen]\r\nSCREENH= "
                  "567\r\nSCREENV= 432\r\n"));
    }

    // Both bounds are inclusive: up to the largest value the calibration screen can make here
    // (its largest mark, W - 251 or H - 251, measured against 50 mm) is accepted, one more is not.
    void calibrationRangeEdges_data()
    {
        QTest::addColumn<int>("screenH");
        QTest::addColumn<int>("screenV");
        QTest::addColumn<QString>("shown");
        const int largestH = wideScreen() ? 3087 : 2319;
        const int largestV = wideScreen() ? 2319 : 1551;
        QTest::newRow("at the limits")
            << largestH << largestV << QStringLiteral("%1 x %2").arg(largestH).arg(largestV);
        QTest::newRow("past the limits")
            << largestH + 1 << largestV + 1 << QStringLiteral("500 x 500");
        QTest::newRow("at and below the minimum") << 100 << 99 << QStringLiteral("100 x 500");
    }
    void calibrationRangeEdges()
    {
        QFETCH(int, screenH);
        QFETCH(int, screenV);
        QFETCH(QString, shown);
        m_folder->writeSettings(QStringLiteral("[Screen]\nSCREENH= %1\nSCREENV= %2\n")
                                    .arg(screenH)
                                    .arg(screenV)
                                    .toLatin1());
        QCOMPARE(testsupport::labelText(open(), "cali"),
            QStringLiteral("   Calibration Value   ") + shown);
    }

    void rangeEdgesOnTheSmallScreen()
    {
        if (wideScreen())
            QSKIP("the edges written out here are those of a 1024 x 768 screen");
        m_folder->writeSettings("[Screen]\nSCREENH= 2319\nSCREENV= 1551\n");
        QVERIFY(testsupport::labelText(open(), "cali").endsWith(QStringLiteral("2319 x 1551")));
        restartProgram();
        m_folder->writeSettings("[Screen]\nSCREENH= 2320\nSCREENV= 1552\n");
        QVERIFY(testsupport::labelText(open(), "cali").endsWith(QStringLiteral("500 x 500")));
    }

    // Every way out writes all five values, in order, whatever the file held before.
    void everyWayOutSavesAllFive_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("Start") << QStringLiteral("Command1");
        QTest::newRow("Calibrate") << QStringLiteral("Command3");
        QTest::newRow("Exit") << QStringLiteral("Command2");
        QTest::newRow("Esc") << QString();
        QTest::newRow("closed by the window manager") << QStringLiteral("closed");
    }
    void everyWayOutSavesAllFive()
    {
        QFETCH(QString, way);
        frmstart *window = open();
        if (way.isEmpty())
            QTest::keyClick(
                window->findChild<QRadioButton *>(QStringLiteral("Option3")), Qt::Key_Escape);
        else if (way == QLatin1String("closed"))
            testsupport::closeAsWindowManager(window);
        else
            QTest::mouseClick(window->findChild<QPushButton *>(way), Qt::LeftButton);
        QCOMPARE(m_folder->settings(),
            QByteArray("[Filter]\nFILTER= 1\nTARGET= 1\nFIXEYE= 2\n"
                       "[Screen]\nSCREENH= 500\nSCREENV= 500\n"));
        const bool ends
            = way.isEmpty() || way == QLatin1String("Command2") || way == QLatin1String("closed");
        QCOMPARE(m_program->ended(), ends);
    }

    void chosenOptionsAreSaved()
    {
        frmstart *window = open();
        QTest::mouseClick(option(window, 2), Qt::LeftButton);
        QTest::mouseClick(option(window, 7), Qt::LeftButton);
        QTest::mouseClick(option(window, 8), Qt::LeftButton);
        // Choosing the eye leaves the other groups as they were.
        QCOMPARE(testsupport::selectedOptions(window), (QList<int> {2, 7, 8}));
        QTest::mouseClick(
            window->findChild<QPushButton *>(QStringLiteral("Command2")), Qt::LeftButton);
        QCOMPARE(m_folder->settings(),
            QByteArray("[Filter]\nFILTER= 2\nTARGET= 3\nFIXEYE= 1\n"
                       "[Screen]\nSCREENH= 500\nSCREENV= 500\n"));
    }

    void fractionIsWrittenBackUnlessChosen()
    {
        m_folder->writeSettings("[Filter]\nFILTER= 2.5\n[Screen]\nSCREENH= 300.5\n");
        frmstart *window = open();
        QTest::keyClick(window, Qt::Key_Escape);
        QCOMPARE(m_folder->settings(),
            QByteArray("[Filter]\nFILTER= 2.5\nTARGET= 1\nFIXEYE= 2\n"
                       "[Screen]\nSCREENH= 300.5\nSCREENV= 500\n"));
    }

    void otherKeysChangeNothing()
    {
        frmstart *window = open();
        QTest::keyClick(window, Qt::Key_A);
        QTest::keyClick(window, Qt::Key_Q);
        QVERIFY(!m_folder->hasSettings());
        QVERIFY(!m_program->ended());
        QVERIFY(window->isVisible());
    }

    // Leaving the measurement screen brings back the options chosen before it.
    void startAndBackKeepsTheOptions()
    {
        frmstart *window = open();
        QTest::mouseClick(option(window, 4), Qt::LeftButton);
        QTest::mouseClick(option(window, 6), Qt::LeftButton);
        QTest::mouseClick(
            window->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
        QWidget *measurement = m_program->current();
        QVERIFY(measurement && measurement->objectName() == QLatin1String("Form1"));
        QTest::keyClick(measurement, Qt::Key_Escape);
        frmstart *again = currentWindow<frmstart>();
        QVERIFY(again && again != window);
        QCOMPARE(testsupport::selectedOptions(again), (QList<int> {4, 6, 9}));
    }

    // Each full-screen screen replaces the start screen, which goes first: a window manager that
    // maps the new window before it hears of the start screen's going can leave it without the
    // keyboard. The window manager's close leaves each screen as Esc does, keeping the visit.
    void fullScreensReplaceTheStartScreen_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("screen");
        QTest::addColumn<bool>("measures");
        QTest::newRow("Start") << "Command1"
                               << "Form1" << true;
        QTest::newRow("Calibrate") << "Command3"
                                   << "FrmCali" << false;
        QTest::newRow("Hess") << "Command5"
                              << "HessWindow" << true;
    }
    void fullScreensReplaceTheStartScreen()
    {
        QFETCH(QString, button);
        QFETCH(QString, screen);
        QFETCH(bool, measures);
        m_folder->writeSettings(kFilter + screenSection("300", "300"));
        frmstart *window = open();
        ShowsAndHides seen;
        QTest::mouseClick(window->findChild<QPushButton *>(button), Qt::LeftButton);
        const QPointer<QWidget> opened = m_program->current();
        QVERIFY(opened && QTest::qWaitForWindowExposed(opened));
        QCOMPARE(seen.windows, QStringList({"frmstart hidden", screen + " shown"}));
        if (measures)
            QTest::mouseClick(opened->windowHandle(), Qt::LeftButton, {}, QPoint(100, 100));
        testsupport::closeAsWindowManager(opened);
        QTRY_VERIFY(!opened);
        QVERIFY(currentWindow<frmstart>() && !m_program->ended());
        QCOMPARE(m_program->visit().hasUnsavedResults(), measures);
    }

    // The distance typed (Alt+D reaches it) is saved beside the five and chosen at the next
    // opening; one the file cannot give shows as 60 cm, and the note across the top says so.
    void distanceSavedAndReadBack()
    {
        const QByteArray screen = screenSection("500", "500");
        m_folder->writeSettings(kFilter + "DISTANCE= abc\n" + screen);
        frmstart *window = open();
        auto *box = window->findChild<QSpinBox *>(QStringLiteral("Distance"));
        QCOMPARE(box->value(), 60);
        QVERIFY2(note(window).endsWith(QStringLiteral("The viewing distance in the settings file "
                                                      "is unreadable or outside 25 to 200 cm: 60 "
                                                      "cm is used.")),
            qPrintable(note(window)));
        QTRY_VERIFY(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::AltModifier);
        QTRY_COMPARE(QApplication::focusWidget(), box);
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box, QStringLiteral("40"));
        click(window, "Command1");
        QVERIFY2(m_folder->settings().startsWith(kFilter + "DISTANCE= 40\n" + screen),
            m_folder->settings().constData());
        QTest::keyClick(m_program->current(), Qt::Key_Escape);
        frmstart *again = currentWindow<frmstart>();
        QVERIFY(again && again != window);
        QCOMPARE(again->findChild<QSpinBox *>(QStringLiteral("Distance"))->value(), 40);
        QVERIFY2(
            !note(again).contains(QStringLiteral("viewing distance")), qPrintable(note(again)));
    }

    // Whether the Hess fields fit at the distance chosen, and how near the inner field fits, on
    // a 1366 x 768 laptop of 344 x 194 mm: 595.64 x 594 pixels per 150 mm.
    void hessFitsNote_data()
    {
        QTest::addColumn<int>("distance");
        QTest::addColumn<QString>("text");
        QTest::newRow("30 cm") << 30
                               << "At 30 cm the 9 points fit, the 25 do not. The 9 fit at 32 cm "
                                  "or nearer.";
        QTest::newRow("40 cm") << 40
                               << "At 40 cm the 9 points do not fit. The 9 fit at 32 cm or "
                                  "nearer.";
    }
    void hessFitsNote()
    {
        if (testsupport::testScreen().width != 1366)
            QSKIP("a laptop's screen");
        QFETCH(int, distance);
        m_folder->writeSettings(kFilter + screenSection("595.64", "594"));
        frmstart *window = open();
        QCOMPARE(testsupport::labelText(window, "cali"),
            QStringLiteral("   Calibration Value   595.64 x 594"));
        window->findChild<QSpinBox *>(QStringLiteral("Distance"))->setValue(distance);
        QTEST(testsupport::labelText(window, "hessFits"), "text");
    }

    // The start screen says when the calibration in use was not made on this monitor at this
    // resolution, and which case it is; the caption keeps its own text. The offscreen monitor
    // reports 100 dots per inch, which makes 590.55 pixels per 150 mm.
    void calibrationNote_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("note"); // empty: no note shown
        const testsupport::TestScreen screen = testsupport::testScreen();
        const QByteArray inUse = kFilter + screenSection("567", "567");
        QTest::newRow("calibrated here") << inUse + recordsHere(567, 567) << QString();
        QTest::newRow("fresh install") << QByteArray() << kNeverCalibrated;
        QTest::newRow("older file without a record") << inUse << kChangedOutside;
        QTest::newRow("edited by hand")
            << kFilter + screenSection("600", "567") + recordsHere(567, 567) << kChangedOutside;
        QTest::newRow("another monitor of the same resolution") << inUse
                + testsupport::calibrationRecords("HDMI-1", screen.width, screen.height, 567, 567)
                                                                << kOtherMonitor;
        QTest::newRow("another resolution")
            << inUse + testsupport::calibrationRecords("screen0", 1920, 1080, 567, 567)
            << QStringLiteral("Calibrated at another resolution (1920 x 1080): calibrate at this "
                              "one before measuring.");
        QTest::newRow("far from the reported size")
            << kFilter + screenSection("500", "590") + recordsHere(500, 590)
            << QStringLiteral("The calibration is 15 % off the size this monitor reports: check "
                              "it with a ruler.");
        QTest::newRow("too large for this screen")
            << kFilter + screenSection("567", "4000") << kNeverCalibrated;
        QTest::newRow("unreadable")
            << QByteArray("[Screen]\nSCREENH= 567\nSCREENV= abc\n") << kNeverCalibrated;
        QTest::newRow("beyond 16 bits")
            << QByteArray("[Screen]\nSCREENH= 567\nSCREENV= 40000\n") << kNeverCalibrated;
    }
    void calibrationNote()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, note);
        if (!file.isEmpty())
            m_folder->writeSettings(file);
        frmstart *window = open();
        const auto *label = window->findChild<QLabel *>(QStringLiteral("caliNote"));
        QVERIFY(label);
        QCOMPARE(label->isVisibleTo(window), !note.isEmpty());
        if (!note.isEmpty()) {
            QCOMPARE(label->text(), note);
            QCOMPARE(label->textFormat(), Qt::PlainText);
            // The whole note is read: its lines fit the label's box.
            QVERIFY2(label->heightForWidth(label->width()) <= label->height(),
                qPrintable(QStringLiteral("%1 rows of text in a box of %2")
                               .arg(label->heightForWidth(label->width()))
                               .arg(label->height())));
        }
        QVERIFY(testsupport::labelText(window, "cali")
                    .startsWith(QStringLiteral("   Calibration Value   ")));
    }

    // Under the calibration's value, when it was made and by whom, as its record says: a name
    // written into the file is shown as written, as plain text; "Done" records the login name.
    void whoCalibratedIsShown()
    {
        const QByteArray user = "USER=" + testsupport::loginName().toLatin1() + '\n';
        m_folder->writeSettings(kFilter + screenSection("520", "520")
            + recordsHere(520, 520).replace(user, "USER=<b>mallory</b>\n"));
        frmstart *window = open();
        const auto *made = window->findChild<QLabel *>(QStringLiteral("caliMade"));
        QVERIFY(made->isVisibleTo(window));
        QCOMPARE(made->text(), QStringLiteral("Calibrated 2026-01-15 by <b>mallory</b>"));
        QCOMPARE(made->textFormat(), Qt::PlainText);
        QVERIFY(made->heightForWidth(made->width()) <= made->height());
        click(window, "Command3");
        click(m_program->current(), "Done");
        window = currentWindow<frmstart>();
        QCOMPARE(testsupport::labelText(window, "caliMade"),
            QStringLiteral("Calibrated %1 by %2")
                .arg(QDate::currentDate().toString(Qt::ISODate), testsupport::loginName()));
    }

    // Saving the fall-back never makes an uncalibrated screen look calibrated: after "Exit" on
    // a fresh install the file holds 500 and 500, and the next start still says so.
    void fallbackSavedIsStillNotCalibrated()
    {
        frmstart *window = open();
        QCOMPARE(note(window), kNeverCalibrated);
        click(window, "Command2");
        QCOMPARE(m_folder->settings(), QByteArray(testsupport::kDefaultSettings));
        restartProgram();
        window = open();
        QCOMPARE(note(window), kNeverCalibrated);
        QVERIFY(testsupport::labelText(window, "cali").endsWith(QStringLiteral("500 x 500")));
    }

    // A calibration too large for this screen is never lost, whichever way the start screen
    // is left: one made on another monitor keeps its record, which comes back on that monitor,
    // while this monitor's own comes back here; one of an older file without a record is set
    // aside before the fall-back is written.
    void storedCalibrationIsKept_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("recorded");
        for (const char *way : {"Start", "Exit", "Calibrate and Cancel"}) {
            QTest::addRow("%s, made on another monitor", way) << QString::fromLatin1(way) << true;
            QTest::addRow("%s, older file", way) << QString::fromLatin1(way) << false;
        }
    }
    void storedCalibrationIsKept()
    {
        QFETCH(QString, way);
        QFETCH(bool, recorded);
        // 2400 pixels down is more than any of the test screens can make: more than three
        // times its largest mark.
        const QByteArray elsewhere
            = testsupport::calibrationRecord(true, "eDP-1", 3840, 2400, 2400, 2400);
        m_folder->writeSettings(kFilter + screenSection("2400", "2400")
            + (recorded ? testsupport::calibrationRecord(false, "eDP-1", 3840, 2400, 2400, 2400)
                        + elsewhere + recordHere(true, 567, 567)
                        : QByteArray()));

        frmstart *window = open();
        if (way == QLatin1String("Start")) {
            click(window, "Command1");
            QTest::keyClick(m_program->current(), Qt::Key_Escape);
        } else if (way == QLatin1String("Exit")) {
            click(window, "Command2");
            QVERIFY(m_program->ended());
            restartProgram();
            open();
        } else {
            click(window, "Command3");
            QVERIFY(currentWindow<FrmCali>());
            click(m_program->current(), "Cancel");
        }
        window = currentWindow<frmstart>();
        QVERIFY(window);
        const QByteArray saved = m_folder->settings();
        if (recorded) {
            // This monitor's record is in use, with no note, and the other's is kept whole.
            QCOMPARE(note(window), QString());
            QVERIFY(testsupport::labelText(window, "cali").endsWith(QStringLiteral("567 x 567")));
            QCOMPARE(testsupport::withoutRecords(saved), kFilter + screenSection("567", "567"));
            QVERIFY2(saved.contains(elsewhere), saved.constData());
            QVERIFY2(saved.contains(recordHere(false, 567, 567)), saved.constData());
            // On the monitor it was made on, the other calibration comes back with no note.
            clinic::Monitor other;
            other.output = QStringLiteral("eDP-1");
            other.resolution = QSize(3840, 2400);
            const clinic::StartCalibration there
                = clinic::startCalibration(settings::Snapshot(m_folder->nativePath()), 567, 567,
                    other, 3840, 2400, QDate::currentDate());
            QCOMPARE(there.screenH, 2400.0);
            QCOMPARE(there.screenV, 2400.0);
            QCOMPARE(there.judgement.note, clinic::NoteCase::None);
        } else {
            QCOMPARE(note(window), kNeverCalibrated);
            const QByteArray setAside
                = "[Calibration unrecorded]\nSCREENH= 2400\nSCREENV= 2400\nDATE="
                + QDate::currentDate().toString(Qt::ISODate).toLatin1() + "\n";
            QVERIFY2(saved.endsWith(setAside), saved.constData());
            QCOMPARE(saved.count("[Calibration"), 1);
            // The wider screen can use the value across, which stays in use.
            QCOMPARE(testsupport::withoutRecords(saved),
                kFilter + screenSection(wideScreen() ? "2400" : "500", "500"));
        }
    }

    // Another writer (an administrator, the calibration screen of another user of a shared
    // install) changes the file while the start screen is open; the user picks a filter and
    // leaves. The options are saved as chosen; the calibration the start screen only showed
    // never overwrites a newer one in the file, nor do the records or the set-aside values it
    // worked out from the older file. An edit that leaves the calibration alone is kept too.
    void editWhileOpenIsKept_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("meanwhile");
        QTest::addColumn<QByteArray>("after");
        const QByteArray chosen("[Filter]\nFILTER= 2\nTARGET= 1\nFIXEYE= 2\n");
        QTest::newRow("a new calibration")
            << kFilter + screenSection("400", "400") + recordsHere(400, 400)
            << kFilter + screenSection("450", "450") + recordsHere(450, 450)
            << chosen + screenSection("450", "450") + recordsHere(450, 450);
        QTest::newRow("a new calibration where the screen set an old one aside")
            << kFilter + screenSection("2400", "2400")
            << kFilter + screenSection("450", "450") + recordsHere(450, 450)
            << chosen + screenSection("450", "450") + recordsHere(450, 450);
        // Loading put this monitor's own record back into use over a value too large for the
        // screen; meanwhile the record was made anew.
        QTest::newRow("only a record changed")
            << kFilter + screenSection("2400", "2400") + recordHere(true, 400, 400)
            << kFilter + screenSection("2400", "2400") + recordHere(true, 450, 450)
            << chosen + screenSection("2400", "2400") + recordHere(true, 450, 450);
        QTest::newRow("an edit beside the calibration")
            << kFilter + screenSection("400", "400") + recordsHere(400, 400)
            << kFilter + screenSection("400", "400") + recordsHere(400, 400) + "[Notes]\nWHO=A\n"
            << chosen + screenSection("400", "400") + recordsHere(400, 400) + "[Notes]\nWHO=A\n";
    }
    void editWhileOpenIsKept()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, meanwhile);
        QFETCH(QByteArray, after);
        m_folder->writeSettings(before);
        frmstart *window = open();
        QVERIFY(window);
        m_folder->writeSettings(meanwhile);
        QTest::mouseClick(option(window, 2), Qt::LeftButton);
        click(window, "Command2");
        QVERIFY(m_program->ended());
        QCOMPARE(m_folder->settings(), after);
    }

    // A save that fails never stops a measurement: "Start" and "Calibrate" open their screens
    // with the options and the calibration shown here, not the file's; the user is told why
    // once, however often they go on, and the start screen keeps the options chosen and says
    // they are not saved, until a save works. The file is left as it was.
    void failedSaveGoesOn_data()
    {
        QTest::addColumn<QByteArray>("way");
        QTest::addColumn<bool>("othersFile"); // else a read-only file
        QTest::newRow("Start, read-only file") << QByteArray("Command1") << false;
        QTest::newRow("Calibrate, read-only file") << QByteArray("Command3") << false;
        QTest::newRow("Start, another user's file") << QByteArray("Command1") << true;
    }
    void failedSaveGoesOn()
    {
        QFETCH(QByteArray, way);
        QFETCH(bool, othersFile);
        if (othersFile && !testsupport::isRoot())
            QSKIP("another user's file needs root: the test thread's file access becomes nobody's");
        // Too large for every test screen: the start screen puts this monitor's record back
        // into use, which only its save would write.
        const QByteArray file
            = kFilter + screenSection("2400", "2400") + recordHere(true, 567, 567);
        m_folder->writeSettings(file);
        const QByteArray path = QFile::encodeName(m_folder->settingsFile());
        // A file without write permission is refused to every user, root included. Another
        // user's file (root's, 0644, which nobody reads but may not write) as a member of a
        // shared install finds a file its owner has made 0640.
        QCOMPARE(::chmod(path.constData(), othersFile ? 0644 : 0444), 0);
        QCOMPARE(::chmod(QFile::encodeName(m_folder->path()).constData(), 0755), 0);
        std::optional<testsupport::UnprivilegedFiles> nobody;
        if (othersFile)
            nobody.emplace();
        QTest::mouseClick(option(open(), 4), Qt::LeftButton);
        const auto goOn = [&] {
            click(currentWindow<frmstart>(), way.constData());
            if (auto *measurement = currentWindow<Form1>()) {
                QVERIFY(QTest::qWaitForWindowExposed(measurement));
                QTest::mouseClick(
                    measurement->windowHandle(), Qt::LeftButton, {}, QPoint(300, 300));
                QTest::keyClick(measurement, Qt::Key_Escape);
            } else {
                QCOMPARE(testsupport::labelText(m_program->current(), "cali"),
                    QStringLiteral("Calibration Value 567 x 567"));
                click(m_program->current(), "Cancel");
            }
        };
        QStringList told;
        {
            testsupport::DialogAnswer<QMessageBox> asked([&](QMessageBox *box) {
                told << box->text();
                testsupport::answerBox(box, QStringLiteral("OK"));
            });
            goOn();
            goOn();
        }
        QCOMPARE(told.size(), 1);
        QVERIFY2(told.constFirst().contains(
                     m_folder->settingsFile() + QStringLiteral(":\nPermission denied.")),
            qPrintable(told.constFirst()));
        frmstart *window = currentWindow<frmstart>();
        QCOMPARE(testsupport::selectedOptions(window), (QList<int> {4, 5, 9}));
        QCOMPARE(note(window, "saveNote"),
            QStringLiteral(
                "The options and the calibration shown here could not be saved in %1: "
                "Permission denied. Start and Calibrate go on with them until Kelvane ends.")
                .arg(m_folder->settingsFile()));
        const QList<clinic::VisitResult> &results = m_program->visit().results();
        QCOMPARE(results.size(), way == "Command1" ? 2 : 0);
        for (const clinic::VisitResult &result : results)
            QVERIFY(result.glasses == 4 && result.screenH == 567);

        // Once the file can be written, the same way saves, and the note goes.
        nobody.reset();
        QCOMPARE(m_folder->settings(), file);
        QCOMPARE(::chmod(path.constData(), 0644), 0);
        goOn();
        QCOMPARE(testsupport::withoutRecords(m_folder->settings()),
            QByteArray("[Filter]\nFILTER= 4\nTARGET= 1\nFIXEYE= 2\n")
                + screenSection("567", "567"));
        QCOMPARE(note(currentWindow<frmstart>(), "saveNote"), QString());
    }

    // Another user removes the lock and starts the program meanwhile: this instance goes on with
    // its visit and saves nothing more until it is started again, not even once the other has
    // ended. The start screen says so, once; "Start" and "Calibrate" open with the values shown
    // without asking, "Done" stores nothing, and "Exit" asks about the results alone.
    void lockTakenStopsTheSavesNotTheSession()
    {
        const QByteArray file = kFilter + screenSection("567", "567") + recordsHere(567, 567);
        m_folder->writeSettings(file);
        frmstart *window = open();
        clinic::VisitResult result;
        result.measuredAt = QDateTime::currentDateTimeUtc();
        m_program->visit().add(result);
        QVERIFY(m_program->keepInstanceGuard());
        const QByteArray lock = m_folder->nativePath() + '/' + platform::kFolderLockName;
        QCOMPARE(::unlink(lock.constData()), 0);
        QTemporaryDir otherUser;
        {
            platform::InstanceGuard other(
                QFile::encodeName(otherUser.path()), m_folder->nativePath());
            QCOMPARE(other.take(), platform::InstanceGuard::Holder::Nobody);
            QVERIFY(!m_program->keepInstanceGuard());
        }
        QVERIFY(!m_program->keepInstanceGuard());
        QVERIFY(!m_program->ended());
        // The kernel names no other process here: the other guard is this test's own.
        const QString stopped = QStringLiteral(
            "Kelvane's lock was taken: Kelvane is now in use by another user as well. Until this "
            "Kelvane is started again it saves neither options nor calibration: the other one "
            "does. This visit's results stay here to copy, save or print.");
        QCOMPARE(testsupport::labelText(window, "saveNote"), stopped);
        const auto *said = window->findChild<QLabel *>(QStringLiteral("saveNote"));
        QVERIFY(said->heightForWidth(said->width()) <= said->height());

        QStringList asked;
        testsupport::DialogAnswer<QMessageBox> answer([&](QMessageBox *box) {
            asked << box->windowTitle();
            testsupport::answerBox(box,
                asked.size() < 2 ? QStringLiteral("OK")
                                 : QStringLiteral("Exit and discard the results"));
        });
        QTest::mouseClick(option(window, 4), Qt::LeftButton);
        click(window, "Command1");
        QVERIFY(currentWindow<Form1>());
        QTest::keyClick(m_program->current(), Qt::Key_Escape);
        window = currentWindow<frmstart>();
        QCOMPARE(testsupport::selectedOptions(window), (QList<int> {4, 5, 9}));
        QCOMPARE(testsupport::labelText(window, "saveNote"), stopped);
        click(window, "Command3");
        QVERIFY(currentWindow<FrmCali>());
        click(m_program->current(), "Done");
        QVERIFY(currentWindow<FrmCali>());
        click(m_program->current(), "Cancel");
        click(currentWindow<frmstart>(), "Command2");
        QVERIFY(m_program->ended());
        QCOMPARE(asked,
            (QStringList {
                QStringLiteral("Calibration not stored"), QStringLiteral("Results not saved")}));
        QCOMPARE(m_folder->settings(), file);
    }

    // "Exit" and Esc with a save that fails let the user leave without saving or stay.
    // Whoever stays can try again.
    void failedSaveSaysSo_data()
    {
        QTest::addColumn<QString>("way"); // a button, or empty for Esc
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("ends");
        QTest::newRow("Exit, then stay")
            << QStringLiteral("Command2") << QStringLiteral("Stay") << false;
        QTest::newRow("Exit without saving")
            << QStringLiteral("Command2") << QStringLiteral("Exit without saving") << true;
        QTest::newRow("Esc, then stay") << QString() << QStringLiteral("Stay") << false;
        QTest::newRow("Esc, exit without saving")
            << QString() << QStringLiteral("Exit without saving") << true;
    }
    void failedSaveSaysSo()
    {
        QFETCH(QString, way);
        QFETCH(QString, answer);
        QFETCH(bool, ends);
        const QByteArray file = kFilter + screenSection("567", "567") + recordsHere(567, 567);
        m_folder->writeSettings(file);
        // A file without write permission is refused to every user, root included.
        const QByteArray path = QFile::encodeName(m_folder->settingsFile());
        QCOMPARE(::chmod(path.constData(), 0444), 0);
        frmstart *window = open();
        QTest::mouseClick(option(window, 4), Qt::LeftButton);
        const auto leave = [&] {
            if (way.isEmpty())
                QTest::keyClick(window, Qt::Key_Escape);
            else
                click(window, way.toLatin1().constData());
        };
        {
            testsupport::MessageBoxAnswer box(answer);
            leave();
            QVERIFY(box.seen());
            QVERIFY2(box.text().contains(QStringLiteral("Permission denied"))
                    && box.text().contains(m_folder->settingsFile()),
                qPrintable(box.text()));
        }
        QCOMPARE(m_program->ended(), ends);
        QCOMPARE(::chmod(path.constData(), 0644), 0);
        QCOMPARE(m_folder->settings(), file);
        if (ends)
            return;
        QCOMPARE(currentWindow<frmstart>(), window);
        QVERIFY(window->isVisible());
        QCOMPARE(testsupport::selectedOptions(window), (QList<int> {4, 5, 9}));
        // Once the file can be written, the same way saves and goes on.
        testsupport::MessageBoxAnswer none(QStringLiteral("OK"));
        leave();
        QVERIFY(!none.seen());
        QCOMPARE(testsupport::withoutRecords(m_folder->settings()),
            QByteArray("[Filter]\nFILTER= 4\nTARGET= 1\nFIXEYE= 2\n")
                + screenSection("567", "567"));
        QVERIFY(m_program->ended());
    }

    // A save that fails while the visit holds results not yet copied, saved or printed: one
    // question tells both, and staying keeps both.
    void failedSaveWithResultsAsksOnce_data()
    {
        QTest::addColumn<bool>("closed"); // by the window manager, or Esc
        QTest::addColumn<QString>("answer");
        QTest::newRow("Esc, stay") << false << QStringLiteral("Stay");
        QTest::newRow("Esc, exit") << false << QStringLiteral("Exit without saving");
        QTest::newRow("closed, stay") << true << QStringLiteral("Stay");
        QTest::newRow("closed, exit") << true << QStringLiteral("Exit without saving");
    }
    void failedSaveWithResultsAsksOnce()
    {
        QFETCH(bool, closed);
        QFETCH(QString, answer);
        m_folder->writeSettings(testsupport::kDefaultSettings);
        const QByteArray path = QFile::encodeName(m_folder->settingsFile());
        QCOMPARE(::chmod(path.constData(), 0444), 0);
        clinic::VisitResult result;
        result.measuredAt = QDateTime::currentDateTimeUtc();
        m_program->visit().add(result);
        frmstart *window = open();
        QStringList questions;
        testsupport::DialogAnswer<QMessageBox> asked([&](QMessageBox *box) {
            questions << box->windowTitle() + QStringLiteral(": ") + box->text();
            testsupport::answerBox(box, answer);
        });
        if (closed)
            testsupport::closeAsWindowManager(window);
        else
            QTest::keyClick(window, Qt::Key_Escape);
        QCOMPARE(::chmod(path.constData(), 0644), 0);
        QCOMPARE(questions.size(), 1);
        QVERIFY2(questions.constFirst().startsWith(QLatin1String("Settings not saved: "))
                && questions.constFirst().contains(QLatin1String("exiting discards them")),
            qPrintable(questions.constFirst()));
        QCOMPARE(m_program->ended(), answer != QLatin1String("Stay"));
        QCOMPARE(m_program->visit().results().size(), 1);
    }
};

KELVANE_TEST_MAIN(TestFrmstart)
#include "test_frmstart.moc"
