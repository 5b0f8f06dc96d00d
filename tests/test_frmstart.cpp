// The start screen driven through its real widgets, against a settings file in a fresh folder.
#include "start/frmstart.h"

#include "tests/testmain.h"
#include "tests/testsupport.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

using testsupport::ProgramFolder;

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

    // Both bounds are inclusive: W - 250 and H - 250 are accepted, one more is not.
    void calibrationRangeEdges_data()
    {
        QTest::addColumn<int>("screenH");
        QTest::addColumn<int>("screenV");
        QTest::addColumn<QString>("shown");
        const int w = wideScreen() ? 1280 : 1024;
        const int h = wideScreen() ? 1024 : 768;
        QTest::newRow("at the limits")
            << w - 250 << h - 250 << QStringLiteral("%1 x %2").arg(w - 250).arg(h - 250);
        QTest::newRow("past the limits") << w - 249 << h - 249 << QStringLiteral("500 x 500");
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
        m_folder->writeSettings("[Screen]\nSCREENH= 774\nSCREENV= 518\n");
        QVERIFY(testsupport::labelText(open(), "cali").endsWith(QStringLiteral("774 x 518")));
        restartProgram();
        m_folder->writeSettings("[Screen]\nSCREENH= 775\nSCREENV= 519\n");
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
    }
    void everyWayOutSavesAllFive()
    {
        QFETCH(QString, way);
        frmstart *window = open();
        if (way.isEmpty())
            QTest::keyClick(
                window->findChild<QRadioButton *>(QStringLiteral("Option3")), Qt::Key_Escape);
        else
            QTest::mouseClick(window->findChild<QPushButton *>(way), Qt::LeftButton);
        QCOMPARE(m_folder->settings(),
            QByteArray("[Filter]\nFILTER= 1\nTARGET= 1\nFIXEYE= 2\n"
                       "[Screen]\nSCREENH= 500\nSCREENV= 500\n"));
        const bool ends = way.isEmpty() || way == QLatin1String("Command2");
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

    // The start screen says when the calibration in use was not stored for this screen, and
    // why; the caption keeps its own text. The sizes are those of a 1024 x 768 screen.
    void calibrationNote_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("why"); // empty: no note shown
        const QByteArray filter("[Filter]\nFILTER= 1\nTARGET= 1\nFIXEYE= 2\n");
        QTest::newRow("calibrated") << filter + "[Screen]\nSCREENH= 567\nSCREENV= 518\n"
                                    << QString();
        QTest::newRow("fresh install")
            << QByteArray() << QStringLiteral("across: nothing stored; down: nothing stored");
        QTest::newRow("laptop's height on a smaller screen")
            << filter + "[Screen]\nSCREENH= 567\nSCREENV= 837\n"
            << QStringLiteral("down: stored 837, at most 518 on this screen");
        QTest::newRow("both too large")
            << filter + "[Screen]\nSCREENH= 1280\nSCREENV= 1024\n"
            << QStringLiteral("across: stored 1280, at most 774 on this screen; down: stored "
                              "1024, at most 518 on this screen");
        QTest::newRow("unreadable and too small")
            << QByteArray("[Screen]\nSCREENH= 99\nSCREENV= abc\n")
            << QStringLiteral("across: stored 99, at least 100; down: the stored value cannot be "
                              "read");
        QTest::newRow("beyond 16 bits") << QByteArray("[Screen]\nSCREENH= 500\nSCREENV= 40000\n")
                                        << QStringLiteral("down: the stored value cannot be read");
    }
    void calibrationNote()
    {
        if (wideScreen())
            QSKIP("the rows are written for a 1024 x 768 screen");
        QFETCH(QByteArray, file);
        QFETCH(QString, why);
        const QString note = why.isEmpty()
            ? QString()
            : QStringLiteral("Not calibrated for this screen (%1). Using 500 pixels per 150 mm: "
                             "calibrate this screen before measuring.")
                  .arg(why);
        if (!file.isEmpty())
            m_folder->writeSettings(file);
        frmstart *window = open();
        const auto *label = window->findChild<QLabel *>(QStringLiteral("caliNote"));
        QVERIFY(label);
        QCOMPARE(label->isVisible(), !note.isEmpty());
        if (!note.isEmpty()) {
            QCOMPARE(label->text(), note);
            // The whole note is read: its lines fit the label's box.
            QVERIFY2(label->heightForWidth(label->width()) <= label->height(),
                qPrintable(QStringLiteral("%1 rows of text in a box of %2")
                               .arg(label->heightForWidth(label->width()))
                               .arg(label->height())));
        }
        QVERIFY(testsupport::labelText(window, "cali")
                    .startsWith(QStringLiteral("   Calibration Value   ")));
    }
};

KELVANE_TEST_MAIN(TestFrmstart)
#include "test_frmstart.moc"
