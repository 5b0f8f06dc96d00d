// The calibration screen driven through its real widgets, against a settings file in a fresh
// folder. Arrow presses are real mouse presses at the places the style gives the arrows.
#include "calibrate/frmcali.h"

#include "start/frmstart.h"
#include "tests/testmain.h"
#include "tests/testsupport.h"

#include <QDate>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QWheelEvent>

#include <sys/stat.h>

using testsupport::ProgramFolder;

namespace {
const QColor kBackground(192, 192, 192);
const QColor kLineColour(0, 0, 0);
// What the window shows after loading.
struct Loaded
{
    float markX;
    float markY;
    int hBar;
    int vBar;
    const char *hpo;
    const char *vpo;
    const char *cali;
};

const QByteArray kDefaults(testsupport::kDefaultSettings);
} // namespace
Q_DECLARE_METATYPE(Loaded)

class TestFrmCali final : public testsupport::ProgramTest
{
    Q_OBJECT

private:
    FrmCali *open()
    {
        m_program->showFrmCali();
        return currentWindow<FrmCali>();
    }
    FrmCali *openWith(const QByteArray &settings)
    {
        m_folder->writeSettings(settings);
        return open();
    }
    static QByteArray screenSettings(const QString &screenH, const QString &screenV)
    {
        return QStringLiteral("[Screen]\nSCREENH=%1\nSCREENV=%2\n")
            .arg(screenH, screenV)
            .toLatin1();
    }
    // Rows written for one screen size are skipped on the others.
    static bool onScreen(const QString &size)
    {
        const testsupport::TestScreen screen = testsupport::testScreen();
        return size.isEmpty()
            || size == QStringLiteral("%1x%2").arg(screen.width).arg(screen.height);
    }
    static QString caption(QWidget *window, const char *name)
    {
        return window->findChild<QLabel *>(QLatin1String(name))->text();
    }
    static QScrollBar *bar(QWidget *window, const char *name)
    {
        return window->findChild<QScrollBar *>(QLatin1String(name));
    }
    static QLineF line(QWidget *window, const char *name)
    {
        return window->findChild<QObject *>(QLatin1String(name))->property("points").toLineF();
    }
    static QPushButton *button(QWidget *window, const char *name)
    {
        return window->findChild<QPushButton *>(QLatin1String(name));
    }
    static QRect arrowRect(QScrollBar *bar, QStyle::SubControl arrow)
    {
        QStyleOptionSlider option;
        option.initFrom(bar);
        option.orientation = bar->orientation();
        option.minimum = bar->minimum();
        option.maximum = bar->maximum();
        option.sliderPosition = bar->sliderPosition();
        option.sliderValue = bar->value();
        option.singleStep = bar->singleStep();
        option.pageStep = bar->pageStep();
        option.subControls = QStyle::SC_All;
        return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, arrow, bar);
    }
    static void press(QScrollBar *bar, QStyle::SubControl arrow, int times)
    {
        const QPoint centre = arrowRect(bar, arrow).center();
        for (int i = 0; i < times; ++i)
            QTest::mouseClick(bar, Qt::LeftButton, {}, centre);
    }
    // The horizontal mark is the vertical stroke at x from row 70 to row 130; the vertical
    // mark the horizontal stroke at y from column 70 to column 130.
    static void verifyMarks(QWidget *window, float x, float y)
    {
        QCOMPARE(line(window, "Xcursor"), QLineF(x, 70, x, 130));
        QCOMPARE(line(window, "Ycursor"), QLineF(70, y, 130, y));
    }
    static void activate(QWidget *window)
    {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
    }

private Q_SLOTS:
    // What the window shows after loading: the marks' places, the bars' values, the readouts
    // and the calibration caption.
    void loading_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Loaded>("shown");
        const QString small = QStringLiteral("1024x768"), wide = QStringLiteral("1280x1024");
        QTest::newRow("500 x 500, small screen")
            << small << screenSettings(" 500", " 500")
            << Loaded {600, 600, 500, 500, "500", "500", "500 x 500"};
        QTest::newRow("500 x 500, wide screen")
            << wide << screenSettings(" 500", " 500")
            << Loaded {600, 600, 500, 500, "500", "500", "500 x 500"};
        // The start screen accepts the limit itself; here the limit is strict, so the readouts
        // keep their design captions and the marks stand at the end of their axes.
        QTest::newRow("at the limits, small screen")
            << small << screenSettings(" 774", " 518")
            << Loaded {874, 618, 774, 518, "PDH", "PDV", "774 x 518"};
        QTest::newRow("at the limits, wide screen")
            << wide << screenSettings(" 1030", " 774")
            << Loaded {1130, 874, 1030, 774, "PDH", "PDV", "1030 x 774"};
        QTest::newRow("one below the limits, small screen")
            << small << screenSettings(" 773", " 517")
            << Loaded {873, 617, 773, 517, "773", "517", "773 x 517"};
        // Values the bars cannot take leave them at 0 and the marks where loading put them.
        QTest::newRow("beyond the bars") << small << screenSettings(" 40000", "-5")
                                         << Loaded {40100, 95, 0, 0, "PDH", "PDV", "40000 x -5"};
        // A ScreenV beyond 16 bits is a failed read: the value held before (none yet) stays.
        QTest::newRow("ScreenV beyond 16 bits")
            << small << screenSettings(" 500", " 40000")
            << Loaded {600, 100, 500, 0, "500", "PDV", "500 x 0"};
        // Halves go to the even neighbour: the bar takes 300 and replaces the 300.5.
        QTest::newRow("halves") << small << screenSettings(" 300.5", " 301.5")
                                << Loaded {400, 402, 300, 302, "300", "302", "300 x 302"};
        // Setting a bar to the 0 it holds runs nothing, so the fraction survives.
        QTest::newRow("rounds to nothing") << small << screenSettings(" 0.4", " 0")
                                           << Loaded {100.4f, 100, 0, 0, "PDH", "PDV", "0.4 x 0"};
        QTest::newRow("no file") << small << QByteArray()
                                 << Loaded {100, 100, 0, 0, "PDH", "PDV", "0 x 0"};
    }
    void loading()
    {
        QFETCH(QString, screen);
        QFETCH(QByteArray, file);
        QFETCH(Loaded, shown);
        if (!onScreen(screen))
            QSKIP("written for another screen size");
        if (!file.isEmpty())
            m_folder->writeSettings(file);
        FrmCali *window = open();
        QVERIFY(window);
        const bool wide = screen == QLatin1String("1280x1024");
        QCOMPARE(line(window, "Xline"), wide ? QLineF(99, 99, 1130, 99) : QLineF(99, 99, 874, 99));
        QCOMPARE(line(window, "Yline"), wide ? QLineF(99, 99, 99, 874) : QLineF(99, 99, 99, 618));
        QCOMPARE(float(line(window, "Xcursor").x1()), shown.markX);
        QCOMPARE(float(line(window, "Ycursor").y1()), shown.markY);
        QCOMPARE(bar(window, "HScroll1")->value(), shown.hBar);
        QCOMPARE(bar(window, "VScroll1")->value(), shown.vBar);
        QCOMPARE(caption(window, "HPO"), QLatin1String(shown.hpo));
        QCOMPARE(caption(window, "VPO"), QLatin1String(shown.vpo));
        QCOMPARE(caption(window, "cali"), QStringLiteral("Calibration Value ") + shown.cali);
        QCOMPARE(caption(window, "resolu"),
            wide ? QStringLiteral("Screen Resolution 1280 x 1024")
                 : QStringLiteral("Screen Resolution 1024 x 768"));
        QCOMPARE(m_folder->settings(), file); // loading writes nothing
    }

    void coversTheScreenWithoutBorder()
    {
        FrmCali *window = openWith(kDefaults);
        QCOMPARE(window->windowTitle(), QStringLiteral("Form2"));
        QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(window->geometry(), platform::screenGeometry());
        activate(window);
        QCOMPARE(QApplication::focusWidget(), button(window, "Done"));
    }

    // The instructions keep their own pixel size and nothing covers them.
    void instructionsStayVisible()
    {
        FrmCali *window = open();
        const auto *picture = window->findChild<QLabel *>(QStringLiteral("Image1"));
        QCOMPARE(picture->pixmap().size(), QSize(486, 355));
        QCOMPARE(picture->size(), QSize(486, 355));
        for (const char *name : {"resolu", "cali", "Cancel", "Done"}) {
            const QWidget *control = window->findChild<QWidget *>(QLatin1String(name));
            QVERIFY2(!control->geometry().intersects(picture->geometry()), name);
            QVERIFY2(control->y() > picture->geometry().bottom(), name);
        }
        if (testsupport::testScreen().dpi == 120) {
            // There the picture fills its box exactly and everything stands where designed.
            QCOMPARE(picture->geometry(), QRect(350, 240, 486, 355));
            QCOMPARE(
                window->findChild<QWidget *>(QStringLiteral("resolu"))->pos(), QPoint(350, 600));
            QCOMPARE(button(window, "Done")->geometry(), QRect(690, 690, 131, 41));
        }
    }

    // From a start without a settings file: "Calibrate", ten presses on the right arrow,
    // six on the lower one, "Done", and the start screen shows what is now stored.
    void workedExample()
    {
        m_program->showFrmstart();
        QTest::mouseClick(button(m_program->current(), "Command3"), Qt::LeftButton);
        FrmCali *window = currentWindow<FrmCali>();
        QVERIFY(window);
        verifyMarks(window, 600, 600);

        QScrollBar *across = bar(window, "HScroll1");
        press(across, QStyle::SC_ScrollBarAddLine, 1);
        QCOMPARE(across->value(), 501);
        QCOMPARE(caption(window, "HPO"), QStringLiteral("501"));
        press(across, QStyle::SC_ScrollBarAddLine, 9);
        press(bar(window, "VScroll1"), QStyle::SC_ScrollBarAddLine, 6);
        QCOMPARE(caption(window, "HPO"), QStringLiteral("510"));
        QCOMPARE(caption(window, "VPO"), QStringLiteral("506"));
        verifyMarks(window, 610, 606);
        // The captions show the values as loaded; they do not follow the bars.
        QCOMPARE(caption(window, "cali"), QStringLiteral("Calibration Value 500 x 500"));

        // On the screen: each mark is one sharp column (row) of pixels, as is each axis.
        const QImage shot = window->grab().toImage();
        QCOMPARE(shot.pixelColor(610, 75), kLineColour);
        QCOMPARE(shot.pixelColor(610, 125), kLineColour);
        QCOMPARE(shot.pixelColor(609, 75), kBackground);
        QCOMPARE(shot.pixelColor(611, 75), kBackground);
        QCOMPARE(shot.pixelColor(600, 75), kBackground); // the mark has left its old place
        QCOMPARE(shot.pixelColor(75, 606), kLineColour);
        QCOMPARE(shot.pixelColor(75, 605), kBackground);
        QCOMPARE(shot.pixelColor(400, 99), kLineColour);
        QCOMPARE(shot.pixelColor(400, 98), kBackground);
        QCOMPARE(shot.pixelColor(99, 400), kLineColour);
        QCOMPARE(shot.pixelColor(100, 400), kBackground);

        QTest::mouseClick(button(window, "Done"), Qt::LeftButton);
        // The two values in use, and their record with the monitor they were made on (named
        // "screen0" by the test's screen configuration), its resolution and the day, as the
        // record in use and as the monitor's own.
        const testsupport::TestScreen screen = testsupport::testScreen();
        const QByteArray stored = m_folder->settings();
        QCOMPARE(stored,
            "[Filter]\nFILTER= 1\nTARGET= 1\nFIXEYE= 2\n[Screen]\nSCREENH= 510\nSCREENV= 506\n"
                + testsupport::calibrationRecords("screen0", screen.width, screen.height, 510, 506,
                    QDate::currentDate().toString(Qt::ISODate).toLatin1()));
        auto *start = currentWindow<frmstart>();
        QVERIFY(start);
        QVERIFY(caption(start, "cali").endsWith(QStringLiteral("510 x 506")));
        QTRY_VERIFY(QApplication::topLevelWidgets().count() == 1);
    }

    // Past the limit the readout and the mark stop, while the value goes on and is stored;
    // the start screen takes it, since shorter lengths let the calibration screen make values
    // up to three times its largest mark.
    void pastTheLimit_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<int>("fromH");
        QTest::addColumn<int>("fromV");
        QTest::addColumn<int>("toH");
        QTest::addColumn<int>("toV");
        QTest::addColumn<QString>("lastH");
        QTest::addColumn<QString>("lastV");
        QTest::newRow("small screen") << "1024x768" << 770 << 515 << 780 << 520 << "773"
                                      << "517";
        QTest::newRow("wide screen") << "1280x1024" << 1026 << 770 << 1036 << 775 << "1029"
                                     << "773";
    }
    void pastTheLimit()
    {
        QFETCH(QString, screen);
        if (!onScreen(screen))
            QSKIP("written for another screen size");
        QFETCH(int, fromH);
        QFETCH(int, fromV);
        QFETCH(int, toH);
        QFETCH(int, toV);
        QFETCH(QString, lastH);
        QFETCH(QString, lastV);
        const auto asStored = [](int value) { return QStringLiteral(" %1").arg(value); };
        FrmCali *window = openWith(screenSettings(asStored(fromH), asStored(fromV)));
        press(bar(window, "HScroll1"), QStyle::SC_ScrollBarAddLine, 10);
        press(bar(window, "VScroll1"), QStyle::SC_ScrollBarAddLine, 5);
        QCOMPARE(bar(window, "HScroll1")->value(), toH);
        QCOMPARE(bar(window, "VScroll1")->value(), toV);
        QCOMPARE(caption(window, "HPO"), lastH);
        QCOMPARE(caption(window, "VPO"), lastV);
        verifyMarks(window, 100 + lastH.toFloat(), 100 + lastV.toFloat());

        QTest::mouseClick(button(window, "Done"), Qt::LeftButton);
        QCOMPARE(testsupport::withoutRecords(m_folder->settings()),
            screenSettings(asStored(toH), asStored(toV)));
        QCOMPARE(caption(m_program->current(), "cali"),
            QStringLiteral("   Calibration Value   %1 x %2").arg(toH).arg(toV));
    }

    // A loaded value at the limit shows nothing until the clinician steps below it.
    void steppingBelowTheLimitBringsTheMarkBack()
    {
        if (!onScreen(QStringLiteral("1024x768")))
            QSKIP("written for the 1024 x 768 screen");
        FrmCali *window = openWith(screenSettings(" 774", " 518"));
        press(bar(window, "HScroll1"), QStyle::SC_ScrollBarSubLine, 1);
        QCOMPARE(caption(window, "HPO"), QStringLiteral("773"));
        QCOMPARE(caption(window, "VPO"), QStringLiteral("PDV"));
        verifyMarks(window, 873, 618);
        press(bar(window, "VScroll1"), QStyle::SC_ScrollBarSubLine, 1);
        QCOMPARE(caption(window, "VPO"), QStringLiteral("517"));
        verifyMarks(window, 873, 617);
    }

    // 0 is taken and stored like any value; the start screen replaces it by 500.
    void loweringToZero()
    {
        FrmCali *window = openWith(screenSettings(" 2", " 1"));
        press(bar(window, "HScroll1"), QStyle::SC_ScrollBarSubLine, 3);
        press(bar(window, "VScroll1"), QStyle::SC_ScrollBarSubLine, 2);
        QCOMPARE(bar(window, "HScroll1")->value(), 0);
        QCOMPARE(caption(window, "HPO"), QStringLiteral("0"));
        QCOMPARE(caption(window, "VPO"), QStringLiteral("0"));
        verifyMarks(window, 100, 100);
        QTest::mouseClick(button(window, "Done"), Qt::LeftButton);
        QCOMPARE(testsupport::withoutRecords(m_folder->settings()),
            QByteArray("[Screen]\nSCREENH= 0\nSCREENV= 0\n"));
        QCOMPARE(caption(m_program->current(), "cali"),
            QStringLiteral("   Calibration Value   500 x 500"));
    }

    void cancelLeavesTheFileAsItWas()
    {
        const QByteArray file("; set by hand\r\n[Filter]\r\nFILTER= 3\r\n[Screen]\r\n"
                              "ScreenH=600\r\nSCREENV= 450\r\nEXTRA= 1\r\n");
        FrmCali *window = openWith(file);
        press(bar(window, "HScroll1"), QStyle::SC_ScrollBarAddLine, 4);
        press(bar(window, "VScroll1"), QStyle::SC_ScrollBarSubLine, 3);
        QTest::mouseClick(button(window, "Cancel"), Qt::LeftButton);
        QCOMPARE(m_folder->settings(), file);
        auto *start = currentWindow<frmstart>();
        QVERIFY(start);
        QVERIFY(caption(start, "cali").endsWith(QStringLiteral("600 x 450")));
    }

    // Each opening reads the file again; a read that fails keeps what the last opening held.
    void aFailedReadKeepsTheLastValue()
    {
        FrmCali *window = openWith(screenSettings(" 500", " 500"));
        press(bar(window, "VScroll1"), QStyle::SC_ScrollBarAddLine, 6);
        QTest::mouseClick(button(window, "Cancel"), Qt::LeftButton);
        window = openWith(screenSettings(" 510", " 40000"));
        QCOMPARE(caption(window, "HPO"), QStringLiteral("510"));
        QCOMPARE(caption(window, "VPO"), QStringLiteral("506"));
        QCOMPARE(caption(window, "cali"), QStringLiteral("Calibration Value 510 x 506"));
    }

    // Right after opening "Done" has the focus: Enter or the space bar stores the values as
    // loaded and goes back to the start screen.
    void keysRightAfterOpeningPressDone_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("Enter") << int(Qt::Key_Enter);
        QTest::newRow("space") << int(Qt::Key_Space);
    }
    void keysRightAfterOpeningPressDone()
    {
        QFETCH(int, key);
        FrmCali *window = openWith("[Screen]\nSCREENH=600.5\nSCREENV=450\n");
        activate(window);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QCOMPARE(testsupport::withoutRecords(m_folder->settings()),
            QByteArray("[Screen]\nSCREENH= 600\nSCREENV= 450\n"));
        QVERIFY(currentWindow<frmstart>());
    }

    // "Done" that cannot store stays on the calibration screen and says why, naming the file;
    // nothing is lost: the marks stay where they were put, "Done" stores them once the file
    // can be written, and "Cancel" leaves the file as it was.
    void failedDoneStays_data()
    {
        QTest::addColumn<bool>("tryAgain");
        QTest::newRow("then Done again") << true;
        QTest::newRow("then Cancel") << false;
    }
    void failedDoneStays()
    {
        QFETCH(bool, tryAgain);
        FrmCali *window = openWith(kDefaults);
        press(bar(window, "HScroll1"), QStyle::SC_ScrollBarAddLine, 3);
        // A file without write permission is refused to every user, root included.
        const QByteArray path = QFile::encodeName(m_folder->settingsFile());
        QCOMPARE(::chmod(path.constData(), 0444), 0);
        {
            testsupport::MessageBoxAnswer box(QStringLiteral("OK"));
            QTest::mouseClick(button(window, "Done"), Qt::LeftButton);
            QVERIFY(box.seen());
            QVERIFY2(box.text().contains(QStringLiteral("Permission denied"))
                    && box.text().contains(m_folder->settingsFile()),
                qPrintable(box.text()));
        }
        QCOMPARE(m_program->current(), window);
        QVERIFY(window->isVisible());
        QCOMPARE(bar(window, "HScroll1")->value(), 503);
        QCOMPARE(m_folder->settings(), kDefaults);

        QCOMPARE(::chmod(path.constData(), 0644), 0);
        QTest::mouseClick(button(window, tryAgain ? "Done" : "Cancel"), Qt::LeftButton);
        auto *start = currentWindow<frmstart>();
        QVERIFY(start);
        QCOMPARE(testsupport::withoutRecords(m_folder->settings()),
            tryAgain ? QByteArray("[Filter]\nFILTER= 1\nTARGET= 1\nFIXEYE= 2\n"
                                  "[Screen]\nSCREENH= 503\nSCREENV= 500\n")
                     : kDefaults);
    }

    void escDoesNothing()
    {
        FrmCali *window = openWith(kDefaults);
        activate(window);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTest::keyClick(window, Qt::Key_Escape);
        QCOMPARE(m_program->current(), window);
        QVERIFY(window->isVisible());
        QVERIFY(!m_program->ended());
        QCOMPARE(m_folder->settings(), kDefaults);
    }

    void tabVisitsTheButtonsAndBars()
    {
        FrmCali *window = openWith(kDefaults);
        activate(window);
        QStringList forward;
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            forward << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(forward, (QStringList {"Cancel", "HScroll1", "VScroll1", "Done"}));
        QStringList backward;
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            backward << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(backward, (QStringList {"VScroll1", "HScroll1", "Cancel", "Done"}));
    }

    // A focused bar moves by one per arrow key; no key makes it jump.
    void keysOnAFocusedBar_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("value");
        QTest::newRow("across, right") << "HScroll1" << int(Qt::Key_Right) << 501;
        QTest::newRow("across, left") << "HScroll1" << int(Qt::Key_Left) << 499;
        QTest::newRow("across, down") << "HScroll1" << int(Qt::Key_Down) << 501;
        QTest::newRow("across, up") << "HScroll1" << int(Qt::Key_Up) << 499;
        QTest::newRow("down, down") << "VScroll1" << int(Qt::Key_Down) << 501;
        QTest::newRow("down, up") << "VScroll1" << int(Qt::Key_Up) << 499;
        QTest::newRow("down, page down") << "VScroll1" << int(Qt::Key_PageDown) << 501;
        QTest::newRow("across, End") << "HScroll1" << int(Qt::Key_End) << 500;
        QTest::newRow("down, Home") << "VScroll1" << int(Qt::Key_Home) << 500;
    }
    void keysOnAFocusedBar()
    {
        QFETCH(QString, name);
        QFETCH(int, key);
        QFETCH(int, value);
        FrmCali *window = openWith(kDefaults);
        activate(window);
        QScrollBar *focused = bar(window, name.toLatin1().constData());
        focused->setFocus(Qt::TabFocusReason);
        QTest::keyClick(focused, Qt::Key(key));
        QCOMPARE(focused->value(), value);
        QCOMPARE(caption(window, name == QLatin1String("HScroll1") ? "HPO" : "VPO"),
            QString::number(value));
    }

    // The two arrows share the whole bar: a press anywhere on it steps by exactly one, the
    // first half down and the second half up, and nothing else on it moves the value.
    void theBarIsOnlyTwoArrows_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("across") << "HScroll1";
        QTest::newRow("down") << "VScroll1";
    }
    void theBarIsOnlyTwoArrows()
    {
        QFETCH(QString, name);
        FrmCali *window = openWith(kDefaults);
        QScrollBar *stepBar = bar(window, name.toLatin1().constData());
        const QRect lower = arrowRect(stepBar, QStyle::SC_ScrollBarSubLine);
        const QRect upper = arrowRect(stepBar, QStyle::SC_ScrollBarAddLine);
        QCOMPARE(lower.united(upper), stepBar->rect());
        QVERIFY(!lower.intersects(upper));
        QVERIFY(arrowRect(stepBar, QStyle::SC_ScrollBarSlider).isEmpty());

        const bool across = stepBar->orientation() == Qt::Horizontal;
        const int length = across ? stepBar->width() : stepBar->height();
        for (int at = 0; at < length; ++at) {
            const QPoint point
                = across ? QPoint(at, stepBar->height() / 2) : QPoint(stepBar->width() / 2, at);
            const int before = stepBar->value();
            QTest::mouseClick(stepBar, Qt::LeftButton, {}, point);
            QCOMPARE(stepBar->value(), before + (lower.contains(point) ? -1 : 1));
        }

        // A quick second press is delivered as a double click: it steps all the same.
        const int before = stepBar->value();
        QTest::mouseClick(stepBar, Qt::LeftButton, {}, upper.center());
        QTest::mouseDClick(stepBar, Qt::LeftButton, {}, upper.center());
        QTest::mouseRelease(stepBar, Qt::LeftButton, {}, upper.center());
        QCOMPARE(stepBar->value(), before + 2);

        // Neither the wheel nor the middle button moves it.
        QSignalSpy changes(stepBar, &QScrollBar::valueChanged);
        QWheelEvent wheel(QPointF(upper.center()), QPointF(stepBar->mapToGlobal(upper.center())),
            QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(stepBar, &wheel);
        QMouseEvent middle(QEvent::MouseButtonPress, QPointF(upper.center()),
            QPointF(stepBar->mapToGlobal(upper.center())), Qt::MiddleButton, Qt::MiddleButton,
            Qt::NoModifier);
        QApplication::sendEvent(stepBar, &middle);
        QCOMPARE(changes.count(), 0);
    }

    // An arrow held down steps once at once and then repeats after a delay, one step at a time,
    // with the readout following; it stops when the button is let go.
    void aHeldArrowRepeatsByOnes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("arrow");
        QTest::addColumn<int>("direction");
        QTest::newRow("right arrow") << "HScroll1" << int(QStyle::SC_ScrollBarAddLine) << 1;
        QTest::newRow("left arrow") << "HScroll1" << int(QStyle::SC_ScrollBarSubLine) << -1;
        QTest::newRow("lower arrow") << "VScroll1" << int(QStyle::SC_ScrollBarAddLine) << 1;
        QTest::newRow("upper arrow") << "VScroll1" << int(QStyle::SC_ScrollBarSubLine) << -1;
    }
    void aHeldArrowRepeatsByOnes()
    {
        QFETCH(QString, name);
        QFETCH(int, arrow);
        QFETCH(int, direction);
        FrmCali *window = openWith(kDefaults);
        QScrollBar *stepBar = bar(window, name.toLatin1().constData());
        const QPoint at = arrowRect(stepBar, QStyle::SubControl(arrow)).center();
        QSignalSpy changes(stepBar, &QScrollBar::valueChanged);
        QTest::mousePress(stepBar, Qt::LeftButton, {}, at);
        QCOMPARE(changes.count(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(changes.count() > 3, 3000);
        QTest::mouseRelease(stepBar, Qt::LeftButton, {}, at);
        int previous = 500;
        for (const QList<QVariant> &change : std::as_const(changes)) {
            QCOMPARE(change.at(0).toInt(), previous + direction);
            previous = change.at(0).toInt();
        }
        QCOMPARE(caption(window, name == QLatin1String("HScroll1") ? "HPO" : "VPO"),
            QString::number(previous));
        const qsizetype steps = changes.count();
        QVERIFY(!changes.wait(300)); // let go, it stops
        QCOMPARE(changes.count(), steps);
    }
};

KELVANE_TEST_MAIN(TestFrmCali)
#include "test_frmcali.moc"
