// The calibration screen driven through its real widgets, against a settings file in a fresh
// folder. Arrow presses are real mouse presses at the places the style gives the arrows.
#include "calibrate/frmcali.h"

#include "forms/valuebox.h"
#include "start/frmstart.h"
#include "tests/testmain.h"
#include "tests/testsupport.h"

#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QStyleOptionSlider>
#include <QWheelEvent>

#include <cmath>
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
    int acrossMm; // the lengths asked for
    int downMm;
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
    static bool onScreen(const QString &size) { return size.isEmpty() || size == screenName(); }
    static QString screenName()
    {
        const testsupport::TestScreen screen = testsupport::testScreen();
        return QStringLiteral("%1x%2").arg(screen.width).arg(screen.height);
    }
    // The lengths each test screen asks for first, across and down. Qt's offscreen screens
    // report a size of 100 dpi, 590.55 pixels per 150 mm; a length is asked for where its mark,
    // 5 % longer, still stands on the bar (the axis less 250 pixels).
    static std::pair<int, int> lengths()
    {
        const QString size = screenName();
        if (size == QLatin1String("800x600"))
            return {100, 50}; // bars end at 549 and 349
        if (size.endsWith(QLatin1String("x768")) || size.endsWith(QLatin1String("x800")))
            return {150, 100}; // the bar down ends at 517 or 549
        return {150, 150};
    }
    // The question "Done" asks where a mark may never have met a ruler.
    static QString rulerQuestion()
    {
        const auto [across, down] = lengths();
        return across == down
            ? QStringLiteral("Have you checked both marks with a ruler at %1 mm?").arg(across)
            : QStringLiteral("Have you checked both marks with a ruler at %1 mm across and %2 mm "
                             "down?")
                  .arg(across)
                  .arg(down);
    }
    // What a readout shows with its bar at `mark` on an axis asking for `mm`: pixels per
    // 150 mm, down in whole pixels, a half to the even neighbour.
    static QString readout(int mark, int mm, bool down)
    {
        const double per150 = mark * 150.0 / mm;
        return QString::number(down ? std::nearbyint(per150) : per150);
    }
    static QString caption(QWidget *window, const char *name)
    {
        return window->findChild<QLabel *>(QLatin1String(name))->text();
    }
    // The value a value box shows, without its unit.
    static ValueBox *valueBox(QWidget *window, const char *name)
    {
        return window->findChild<ValueBox *>(QLatin1String(name));
    }
    static QString valueText(QWidget *window, const char *name)
    {
        return valueBox(window, name)->cleanText();
    }
    static QComboBox *choice(QWidget *window, const char *name)
    {
        return window->findChild<QComboBox *>(QLatin1String(name));
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
        const QString laptop = QStringLiteral("1366x768"), low = QStringLiteral("800x600");
        // 1024 x 768: 150 mm across, 100 mm down, where a step of the bar is 1.5 pixels per
        // 150 mm and the bars end at 773 and 517.
        QTest::newRow("500 x 500, small screen")
            << small << screenSettings(" 500", " 500")
            << Loaded {600, 433, 500, 333, "500", "500", "500 x 500", 150, 100};
        QTest::newRow("500 x 500, wide screen")
            << wide << screenSettings(" 500", " 500")
            << Loaded {600, 600, 500, 500, "500", "500", "500 x 500", 150, 150};
        QTest::newRow("at the ends of the bars, small screen")
            << small << screenSettings(" 773", " 776")
            << Loaded {873, 617, 773, 517, "773", "776", "773 x 776", 150, 100};
        // A value beyond its bar puts the bar at its end, which the mark and readout show and
        // which the window then holds: nothing is kept that the screen does not show.
        QTest::newRow("past the ends of the bars, small screen")
            << small << screenSettings(" 774", " 777")
            << Loaded {873, 617, 773, 517, "773", "776", "773 x 776", 150, 100};
        QTest::newRow("past the ends of the bars, wide screen")
            << wide << screenSettings(" 1030", " 774")
            << Loaded {1129, 873, 1029, 773, "1029", "773", "1029 x 773", 150, 150};
        QTest::newRow("beyond the bars")
            << small << screenSettings(" 40000", "-5")
            << Loaded {873, 100, 773, 0, "773", "0", "773 x 0", 150, 100};
        // A ScreenV beyond 16 bits is a failed read: the value held before (none yet) stays.
        QTest::newRow("ScreenV beyond 16 bits")
            << small << screenSettings(" 500", " 40000")
            << Loaded {600, 100, 500, 0, "500", "0", "500 x 0", 150, 100};
        // Halves go to the even neighbour: the bar takes 300 and replaces the 300.5; 302 down
        // is 201.33 pixels of 100 mm, the bar takes 201, which is 301.5 per 150 mm and so 302.
        QTest::newRow("halves") << small << screenSettings(" 300.5", " 301.5")
                                << Loaded {400, 301, 300, 201, "300", "302", "300 x 302", 150, 100};
        // The bars stay at the 0 they were created with, and the readouts show it all the same.
        QTest::newRow("rounds to nothing") << small << screenSettings(" 0.4", " 0")
                                           << Loaded {100, 100, 0, 0, "0", "0", "0 x 0", 150, 100};
        QTest::newRow("no file") << small << QByteArray()
                                 << Loaded {100, 100, 0, 0, "0", "0", "0 x 0", 150, 100};
        // A laptop: 596 pixels per 150 mm down is a mark of 397.33 pixels at 100 mm; the bar's
        // 397 makes 595.5, held as 596.
        QTest::newRow("1366 x 768: 100 mm down")
            << laptop << screenSettings(" 596", " 596")
            << Loaded {696, 497, 596, 397, "596", "596", "596 x 596", 150, 100};
        // Neither axis has room for 150 mm: a step is 1.5 across and 3 down. A stored value whose
        // mark stands where the bar puts it is kept as it was.
        QTest::newRow("800 x 600: 100 mm across, 50 mm down")
            << low << screenSettings(" 500", " 500")
            << Loaded {433, 267, 333, 167, "500", "500", "500 x 500", 100, 50};
        QTest::newRow("800 x 600: past the ends of the bars")
            << low << screenSettings(" 900", " 1100")
            << Loaded {649, 449, 549, 349, "823.5", "1047", "823.5 x 1047", 100, 50};
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
        const testsupport::TestScreen size = testsupport::testScreen();
        QCOMPARE(line(window, "Xline"), QLineF(99, 99, size.width - 150, 99));
        QCOMPARE(line(window, "Yline"), QLineF(99, 99, 99, size.height - 150));
        QCOMPARE(float(line(window, "Xcursor").x1()), shown.markX);
        QCOMPARE(float(line(window, "Ycursor").y1()), shown.markY);
        QCOMPARE(bar(window, "HScroll1")->value(), shown.hBar);
        QCOMPARE(bar(window, "VScroll1")->value(), shown.vBar);
        // The values per 150 mm with their unit, the lengths asked for apart from them.
        QCOMPARE(valueBox(window, "HPO")->text(), QLatin1String(shown.hpo) + " px/150 mm");
        QCOMPARE(valueBox(window, "VPO")->text(), QLatin1String(shown.vpo) + " px/150 mm");
        QCOMPARE(caption(window, "cali"), QStringLiteral("Calibration Value ") + shown.cali);
        QCOMPARE(caption(window, "resolu"),
            QStringLiteral("Screen Resolution %1 x %2").arg(size.width).arg(size.height));
        QCOMPARE(
            choice(window, "HChoice")->currentText(), QStringLiteral("%1 mm").arg(shown.acrossMm));
        QCOMPARE(
            choice(window, "VChoice")->currentText(), QStringLiteral("%1 mm").arg(shown.downMm));
        QCOMPARE(caption(window, "HArcLength"), QStringLiteral("%1 mm").arg(shown.acrossMm));
        QCOMPARE(caption(window, "VArcLength"), QStringLiteral("%1 mm").arg(shown.downMm));
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
    // six on the lower one, "Done", and the start screen shows what is now stored. Down, 100 mm
    // make each press 1.5 pixels per 150 mm: six from 333 make 508.5, held as 508.
    void workedExample_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<float>("fromY");
        QTest::addColumn<float>("toY");
        QTest::addColumn<QString>("down");
        QTest::newRow("150 mm both ways") << "1280x1024" << 600.f << 606.f << "506";
        QTest::newRow("100 mm down") << "1024x768" << 433.f << 439.f << "508";
    }
    void workedExample()
    {
        QFETCH(QString, screen);
        QFETCH(float, fromY);
        QFETCH(float, toY);
        QFETCH(QString, down);
        if (!onScreen(screen))
            QSKIP("written for another screen size");
        m_program->showFrmstart();
        QTest::mouseClick(button(m_program->current(), "Command3"), Qt::LeftButton);
        FrmCali *window = currentWindow<FrmCali>();
        QVERIFY(window);
        verifyMarks(window, 600, fromY);

        QScrollBar *across = bar(window, "HScroll1");
        press(across, QStyle::SC_ScrollBarAddLine, 1);
        QCOMPARE(across->value(), 501);
        QCOMPARE(valueText(window, "HPO"), QStringLiteral("501"));
        press(across, QStyle::SC_ScrollBarAddLine, 9);
        press(bar(window, "VScroll1"), QStyle::SC_ScrollBarAddLine, 6);
        QCOMPARE(valueText(window, "HPO"), QStringLiteral("510"));
        QCOMPARE(valueText(window, "VPO"), down);
        verifyMarks(window, 610, toY);
        // The caption follows the bars.
        QCOMPARE(caption(window, "cali"), QStringLiteral("Calibration Value 510 x ") + down);

        // On the screen: each mark is one sharp column (row) of pixels, as is each axis.
        const QImage shot = window->grab().toImage();
        const int y = int(toY);
        QCOMPARE(shot.pixelColor(610, 75), kLineColour);
        QCOMPARE(shot.pixelColor(610, 125), kLineColour);
        QCOMPARE(shot.pixelColor(609, 75), kBackground);
        QCOMPARE(shot.pixelColor(611, 75), kBackground);
        QCOMPARE(shot.pixelColor(600, 75), kBackground); // the mark has left its old place
        QCOMPARE(shot.pixelColor(75, y), kLineColour);
        QCOMPARE(shot.pixelColor(75, y - 1), kBackground);
        QCOMPARE(shot.pixelColor(75, int(fromY)), kBackground);
        QCOMPARE(shot.pixelColor(400, 99), kLineColour);
        QCOMPARE(shot.pixelColor(400, 98), kBackground);
        QCOMPARE(shot.pixelColor(99, 400), kLineColour);
        QCOMPARE(shot.pixelColor(100, 400), kBackground);

        QTest::mouseClick(button(window, "Done"), Qt::LeftButton);
        // The two values in use, and their record with the monitor they were made on (named
        // "screen0" by the test's screen configuration), its resolution and the day, as the
        // record in use and as the monitor's own.
        const testsupport::TestScreen testScreen = testsupport::testScreen();
        QCOMPARE(m_folder->settings(),
            "[Filter]\nFILTER= 1\nTARGET= 1\nFIXEYE= 2\n[Screen]\nSCREENH= 510\nSCREENV= "
                + down.toLatin1() + '\n'
                + testsupport::calibrationRecords("screen0", testScreen.width, testScreen.height,
                    510, down.toInt(), QDate::currentDate().toString(Qt::ISODate).toLatin1()));
        auto *start = currentWindow<frmstart>();
        QVERIFY(start);
        QVERIFY(caption(start, "cali").endsWith(QStringLiteral("510 x ") + down));
        QTRY_VERIFY(QApplication::topLevelWidgets().count() == 1);
    }

    // A bar stops where its mark stops: further presses change nothing, the readout shows the
    // end, and "Done" stores what it shows, which the start screen takes: shorter lengths let
    // the calibration screen make values up to three times its largest mark.
    void theBarStopsWhereItsMarkStops_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QByteArray>("from"); // the stored values
        QTest::addColumn<int>("endH"); // the bars' ends
        QTest::addColumn<int>("endV");
        QTest::addColumn<QString>("lastH");
        QTest::addColumn<QString>("lastV");
        QTest::newRow("small screen")
            << "1024x768" << screenSettings(" 770", " 770") << 773 << 517 << "773"
            << "776";
        QTest::newRow("wide screen")
            << "1280x1024" << screenSettings(" 1026", " 770") << 1029 << 773 << "1029"
            << "773";
        QTest::newRow("laptop") << "1366x768" << screenSettings(" 1110", " 770") << 1115 << 517
                                << "1115"
                                << "776";
        QTest::newRow("800 x 600")
            << "800x600" << screenSettings(" 820", " 1040") << 549 << 349 << "823.5"
            << "1047";
    }
    void theBarStopsWhereItsMarkStops()
    {
        QFETCH(QString, screen);
        if (!onScreen(screen))
            QSKIP("written for another screen size");
        QFETCH(QByteArray, from);
        QFETCH(int, endH);
        QFETCH(int, endV);
        QFETCH(QString, lastH);
        QFETCH(QString, lastV);
        FrmCali *window = openWith(from);
        press(bar(window, "HScroll1"), QStyle::SC_ScrollBarAddLine, 10);
        press(bar(window, "VScroll1"), QStyle::SC_ScrollBarAddLine, 5);
        QCOMPARE(bar(window, "HScroll1")->value(), endH);
        QCOMPARE(bar(window, "VScroll1")->value(), endV);
        QCOMPARE(valueText(window, "HPO"), lastH);
        QCOMPARE(valueText(window, "VPO"), lastV);
        verifyMarks(window, float(100 + endH), float(100 + endV));

        QTest::mouseClick(button(window, "Done"), Qt::LeftButton);
        QCOMPARE(testsupport::withoutRecords(m_folder->settings()),
            screenSettings(QLatin1Char(' ') + lastH, QLatin1Char(' ') + lastV));
        QCOMPARE(caption(m_program->current(), "cali"),
            QStringLiteral("   Calibration Value   %1 x %2").arg(lastH, lastV));
    }

    // A value beyond its bar starts at the bar's end, and a press takes it down from there.
    void aValueBeyondTheBarStartsAtItsEnd()
    {
        if (!onScreen(QStringLiteral("1024x768")))
            QSKIP("written for the 1024 x 768 screen");
        FrmCali *window = openWith(screenSettings(" 774", " 777"));
        press(bar(window, "HScroll1"), QStyle::SC_ScrollBarSubLine, 1);
        QCOMPARE(valueText(window, "HPO"), QStringLiteral("772"));
        QCOMPARE(valueText(window, "VPO"), QStringLiteral("776"));
        verifyMarks(window, 872, 617);
        press(bar(window, "VScroll1"), QStyle::SC_ScrollBarSubLine, 1);
        QCOMPARE(valueText(window, "VPO"), QStringLiteral("774"));
        verifyMarks(window, 872, 616);
    }

    // 0 is taken and stored like any value; the start screen replaces it by 500.
    void loweringToZero()
    {
        FrmCali *window = openWith(screenSettings(" 2", " 1"));
        press(bar(window, "HScroll1"), QStyle::SC_ScrollBarSubLine, 3);
        press(bar(window, "VScroll1"), QStyle::SC_ScrollBarSubLine, 2);
        QCOMPARE(bar(window, "HScroll1")->value(), 0);
        QCOMPARE(valueText(window, "HPO"), QStringLiteral("0"));
        QCOMPARE(valueText(window, "VPO"), QStringLiteral("0"));
        verifyMarks(window, 100, 100);
        {
            // On 50 mm 1 per 150 mm stood at 0 pixels already: that mark never moved.
            testsupport::MessageBoxAnswer question(QStringLiteral("Yes, checked"));
            QTest::mouseClick(button(window, "Done"), Qt::LeftButton);
            QCOMPARE(question.seen(), lengths().second == 50);
        }
        QCOMPARE(testsupport::withoutRecords(m_folder->settings()),
            QByteArray("[Screen]\nSCREENH= 0\nSCREENV= 0\n"));
        QCOMPARE(caption(m_program->current(), "cali"),
            QStringLiteral("   Calibration Value   500 x 500"));
    }

    void cancelLeavesTheFileAsItWas()
    {
        const QByteArray file("; set by hand\r\n[Filter]\r\nFILTER= 3\r\n[Screen]\r\n"
                              "ScreenH=300\r\nSCREENV= 250\r\nEXTRA= 1\r\n");
        FrmCali *window = openWith(file);
        press(bar(window, "HScroll1"), QStyle::SC_ScrollBarAddLine, 4);
        press(bar(window, "VScroll1"), QStyle::SC_ScrollBarSubLine, 3);
        QTest::mouseClick(button(window, "Cancel"), Qt::LeftButton);
        QCOMPARE(m_folder->settings(), file);
        auto *start = currentWindow<frmstart>();
        QVERIFY(start);
        QVERIFY(caption(start, "cali").endsWith(QStringLiteral("300 x 250")));
    }

    // Each opening reads the file again; a read that fails keeps what the last opening held.
    void aFailedReadKeepsTheLastValue()
    {
        FrmCali *window = openWith(screenSettings(" 500", " 500"));
        press(bar(window, "VScroll1"), QStyle::SC_ScrollBarAddLine, 6);
        const QString held = valueText(window, "VPO"); // 506, or more where a step is longer
        QVERIFY(held.toInt() >= 506);
        QTest::mouseClick(button(window, "Cancel"), Qt::LeftButton);
        window = openWith(screenSettings(" 510", " 40000"));
        QCOMPARE(valueText(window, "HPO"), QStringLiteral("510"));
        QCOMPARE(valueText(window, "VPO"), held);
        QCOMPARE(caption(window, "cali"), QStringLiteral("Calibration Value 510 x ") + held);
    }

    // Right after opening "Done" has the focus, and Enter or the space bar presses it. Where
    // this monitor at this resolution has no calibration of its own (a fresh install, another
    // monitor's values), marks not moved first ask whether a ruler checked them, "Go back" the
    // default: a second Enter, or Esc, leaves the screen open and the file as it was; only
    // "Yes, checked" stores the values as loaded. Where the monitor has its own, Done stores
    // them at once.
    void doneRightAfterOpening_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("key"); // on "Done"
        QTest::addColumn<int>("answer"); // a key on the question, or 0: a click on "Yes, checked"
        QTest::addColumn<bool>("asks");
        QTest::addColumn<bool>("stores");
        const testsupport::TestScreen size = testsupport::testScreen();
        const QByteArray fresh = kDefaults;
        const QByteArray otherMonitor = screenSettings(" 596", " 596")
            + testsupport::calibrationRecords("eDP-1", size.width, size.height, 596, 596);
        const QByteArray ownRecord = screenSettings(" 567", " 567")
            + testsupport::calibrationRecords("screen0", size.width, size.height, 567, 567);
        QTest::newRow("fresh: Enter, Enter")
            << fresh << int(Qt::Key_Return) << int(Qt::Key_Return) << true << false;
        QTest::newRow("fresh: space, Esc")
            << fresh << int(Qt::Key_Space) << int(Qt::Key_Escape) << true << false;
        QTest::newRow("fresh: Enter, Yes, checked")
            << fresh << int(Qt::Key_Return) << 0 << true << true;
        QTest::newRow("another monitor's 596: Enter, Enter")
            << otherMonitor << int(Qt::Key_Enter) << int(Qt::Key_Return) << true << false;
        QTest::newRow("its own record: Enter")
            << ownRecord << int(Qt::Key_Return) << 0 << false << true;
    }
    void doneRightAfterOpening()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, key);
        QFETCH(int, answer);
        QFETCH(bool, asks);
        QFETCH(bool, stores);
        FrmCali *window = openWith(file);
        activate(window);
        const QString shownBefore = valueText(window, "HPO");
        {
            const auto question = answer
                ? std::make_unique<testsupport::MessageBoxAnswer>(Qt::Key(answer))
                : std::make_unique<testsupport::MessageBoxAnswer>(QStringLiteral("Yes, checked"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
            QCOMPARE(question->seen(), asks);
            if (asks)
                QCOMPARE(question->text(), rulerQuestion());
        }
        if (!stores) {
            QCOMPARE(m_folder->settings(), file);
            QCOMPARE(m_program->current(), window);
            QVERIFY(window->isVisible());
            QCOMPARE(valueText(window, "HPO"), shownBefore);
            return;
        }
        QVERIFY(currentWindow<frmstart>());
        QCOMPARE(
            testsupport::withoutRecords(m_folder->settings()), testsupport::withoutRecords(file));
        QVERIFY(m_folder->settings().contains(
            "\nDATE=" + QDate::currentDate().toString(Qt::ISODate).toLatin1()));
    }

    // A mark moved and moved back stands where it opened: "Done" still asks. Moved once more it
    // was measured, and "Done" stores without asking.
    void aMarkMovedBackIsNotMeasured()
    {
        FrmCali *window = openWith(kDefaults);
        const int openedH = bar(window, "HScroll1")->value();
        const int openedV = bar(window, "VScroll1")->value();
        press(bar(window, "HScroll1"), QStyle::SC_ScrollBarAddLine, 1);
        press(bar(window, "VScroll1"), QStyle::SC_ScrollBarAddLine, 2);
        press(bar(window, "HScroll1"), QStyle::SC_ScrollBarSubLine, 1);
        {
            testsupport::MessageBoxAnswer question(QStringLiteral("Go back"));
            QTest::mouseClick(button(window, "Done"), Qt::LeftButton);
            QVERIFY(question.seen());
        }
        QCOMPARE(m_folder->settings(), kDefaults);
        press(bar(window, "HScroll1"), QStyle::SC_ScrollBarSubLine, 1);
        {
            testsupport::MessageBoxAnswer question(QStringLiteral("Yes, checked"));
            QTest::mouseClick(button(window, "Done"), Qt::LeftButton);
            QVERIFY(!question.seen());
        }
        QVERIFY(currentWindow<frmstart>());
        QCOMPARE(testsupport::withoutRecords(m_folder->settings()),
            "[Filter]\nFILTER= 1\nTARGET= 1\nFIXEYE= 2\n"
                + screenSettings(QLatin1Char(' ') + readout(openedH - 1, lengths().first, false),
                    QLatin1Char(' ') + readout(openedV + 2, lengths().second, true)));
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
        const int moved = bar(window, "HScroll1")->value() + 3;
        const int movedDown = bar(window, "VScroll1")->value() + 1;
        press(bar(window, "HScroll1"), QStyle::SC_ScrollBarAddLine, 3);
        press(bar(window, "VScroll1"), QStyle::SC_ScrollBarAddLine, 1);
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
        QCOMPARE(bar(window, "HScroll1")->value(), moved);
        QCOMPARE(m_folder->settings(), kDefaults);

        QCOMPARE(::chmod(path.constData(), 0644), 0);
        QTest::mouseClick(button(window, tryAgain ? "Done" : "Cancel"), Qt::LeftButton);
        auto *start = currentWindow<frmstart>();
        QVERIFY(start);
        QCOMPARE(testsupport::withoutRecords(m_folder->settings()),
            tryAgain ? "[Filter]\nFILTER= 1\nTARGET= 1\nFIXEYE= 2\n[Screen]\nSCREENH= "
                    + readout(moved, lengths().first, false).toLatin1()
                    + "\nSCREENV= " + readout(movedDown, lengths().second, true).toLatin1() + '\n'
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

    // The monitor's size, a coarse start, comes before each axis: its length, its bar, its
    // value. Each Alt key reaches one control: the monitor's size and the two lists of lengths.
    void keyboardOrder()
    {
        FrmCali *window = openWith(kDefaults);
        activate(window);
        const QStringList order {"Cancel", "MonitorSize", "HChoice", "HScroll1", "HPO", "VChoice",
            "VScroll1", "VPO", "Done"};
        const auto focused = [] {
            QWidget *widget = QApplication::focusWidget();
            // A value box's own text field has the keyboard on its behalf.
            return qobject_cast<ValueBox *>(widget->parentWidget())
                ? widget->parentWidget()->objectName()
                : widget->objectName();
        };
        QStringList forward;
        for (qsizetype i = 0; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            forward << focused();
        }
        QCOMPARE(forward, order);

        QStringList keys;
        for (const QWidget *control : window->findChildren<QWidget *>()) {
            const auto *label = qobject_cast<const QLabel *>(control);
            const auto *push = qobject_cast<const QPushButton *>(control);
            const QString text = label ? label->text() : push ? push->text() : QString();
            if (const qsizetype amp = text.indexOf(QLatin1Char('&')); amp >= 0)
                keys << control->objectName() + QLatin1Char(' ') + text.at(amp + 1);
        }
        keys.sort();
        QCOMPARE(keys, (QStringList {"HLength A", "MonitorSize U", "VLength D"}));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::AltModifier);
        QTRY_COMPARE(focused(), QStringLiteral("HChoice"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::AltModifier);
        QTRY_COMPARE(focused(), QStringLiteral("VChoice"));
    }

    // The screen names the monitor its calibration is recorded for, with the size it reports
    // (100 dpi on the test's screens).
    void namesTheMonitor()
    {
        if (!onScreen(QStringLiteral("1024x768")))
            QSKIP("written for the 1024 x 768 screen");
        FrmCali *window = openWith(kDefaults);
        QCOMPARE(caption(window, "MonitorName"), QStringLiteral("Monitor: screen0, 260 x 195 mm"));
    }

    // A length chosen keeps the calibration: the mark moves to where the value stands on it,
    // the picture's lengths and the instructions follow, the value per 150 mm stays. A length
    // on which the value's mark would not stand on the bar cannot be chosen. On 1024 x 768,
    // whose bars end at 773 and 517, from 500 across and 600 down.
    void choosingALength_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("mm");
        QTest::addColumn<float>("x");
        QTest::addColumn<float>("y");
        QTest::addColumn<QString>("says");
        QTest::newRow("across 100 mm")
            << "HChoice" << 100 << 433.f << 500.f << "set each mark at 100 mm.";
        QTest::newRow("across 50 mm") << "HChoice" << 50 << 267.f << 500.f
                                      << "set the marks at 50 mm across and 100 mm down.";
        QTest::newRow("down 50 mm") << "VChoice" << 50 << 600.f << 300.f
                                    << "set the marks at 150 mm across and 50 mm down.";
    }
    void choosingALength()
    {
        if (!onScreen(QStringLiteral("1024x768")))
            QSKIP("written for the 1024 x 768 screen");
        QFETCH(QString, name);
        QFETCH(int, mm);
        QFETCH(float, x);
        QFETCH(float, y);
        QFETCH(QString, says);
        FrmCali *window = openWith(screenSettings(" 500", " 600"));
        verifyMarks(window, 600, 500);
        const auto enabled = [&](const char *list) {
            QList<bool> offered;
            auto *lengths = qobject_cast<QStandardItemModel *>(choice(window, list)->model());
            for (int i = 0; i < lengths->rowCount(); ++i)
                offered << lengths->item(i)->isEnabled();
            return offered;
        };
        QCOMPARE(enabled("HChoice"), (QList<bool> {true, true, true}));
        QCOMPARE(enabled("VChoice"), (QList<bool> {false, true, true})); // 600 beyond 517

        QComboBox *lengths = choice(window, name.toLatin1().constData());
        lengths->setCurrentIndex(lengths->findText(QStringLiteral("%1 mm").arg(mm)));
        verifyMarks(window, x, y);
        QCOMPARE(valueText(window, "HPO"), QStringLiteral("500"));
        QCOMPARE(valueText(window, "VPO"), QStringLiteral("600"));
        QCOMPARE(caption(window, name == QLatin1String("HChoice") ? "HArcLength" : "VArcLength"),
            QStringLiteral("%1 mm").arg(mm));
        QVERIFY2(
            caption(window, "Instructions").replace(QChar::Nbsp, QLatin1Char(' ')).contains(says),
            qPrintable(caption(window, "Instructions")));
    }

    // A value typed (pixels per 150 mm) moves the mark to where it stands and is held where the
    // mark stands where it rounds to; on the full length the mark's whole pixels are held. A
    // value beyond the bar becomes the bar's end. On 1024 x 768: 150 mm across, 100 mm down.
    void typingAValue_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<float>("mark");
        QTest::addColumn<QString>("held");
        QTest::newRow("across") << "HPO"
                                << "542" << 642.f << "542";
        QTest::newRow("across, a half on 150 mm") << "HPO"
                                                  << "600.5" << 700.f << "600";
        QTest::newRow("down, 100 mm") << "VPO"
                                      << "542" << 461.f << "542"; // 361.33
        QTest::newRow("down, beyond the bar") << "VPO"
                                              << "9999" << 617.f << "776"; // 517
    }
    void typingAValue()
    {
        if (!onScreen(QStringLiteral("1024x768")))
            QSKIP("written for the 1024 x 768 screen");
        QFETCH(QString, name);
        QFETCH(QString, typed);
        QFETCH(float, mark);
        QFETCH(QString, held);
        FrmCali *window = openWith(kDefaults);
        activate(window);
        const bool across = name == QLatin1String("HPO");
        ValueBox *box = valueBox(window, name.toLatin1().constData());
        box->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), typed);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        if (across)
            verifyMarks(window, mark, 433);
        else
            verifyMarks(window, 600, mark);
        QCOMPARE(valueText(window, name.toLatin1().constData()), held);
        QCOMPARE(caption(window, "cali"),
            QStringLiteral("Calibration Value %1 x %2")
                .arg(across ? held : QStringLiteral("500"), across ? QStringLiteral("500") : held));
        // The page and arrow keys on the value move the mark by pixels, as on the bar.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        QCOMPARE(bar(window, across ? "HScroll1" : "VScroll1")->value(), int(mark) - 100 - 9);
    }

    // Where nothing was calibrated on this monitor, the size it reports (100 dpi here: 590.55
    // pixels per 150 mm) puts both marks at once, at the lengths asked for: 591 across at
    // 150 mm, 394 pixels at 100 mm, 197 at 50 mm, all of which read 591 per 150 mm.
    void theMonitorsSizePlacesBothMarks_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<bool>("byKey"); // Alt+U, the shortcut its caption underlines
        QTest::addColumn<float>("x");
        QTest::addColumn<float>("y");
        QTest::newRow("wide screen") << "1280x1024" << false << 691.f << 691.f;
        QTest::newRow("small screen") << "1024x768" << false << 691.f << 494.f;
        QTest::newRow("small screen, Alt+U") << "1024x768" << true << 691.f << 494.f;
        QTest::newRow("laptop") << "1366x768" << false << 691.f << 494.f;
        QTest::newRow("800 x 600") << "800x600" << false << 494.f << 297.f;
        QTest::newRow("800 x 600, Alt+U") << "800x600" << true << 494.f << 297.f;
    }
    void theMonitorsSizePlacesBothMarks()
    {
        QFETCH(QString, screen);
        QFETCH(bool, byKey);
        QFETCH(float, x);
        QFETCH(float, y);
        if (!onScreen(screen))
            QSKIP("written for another screen size");
        FrmCali *window = openWith(screenSettings(" 300", " 300"));
        QPushButton *monitorSize = button(window, "MonitorSize");
        QVERIFY(monitorSize->isVisible());
        QCOMPARE(monitorSize->text(), QStringLiteral("&Use the monitor's size"));
        if (byKey) {
            activate(window);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_U, Qt::AltModifier);
        } else {
            QTest::mouseClick(monitorSize, Qt::LeftButton);
        }
        // A shortcut presses the button as the eye can follow, a moment later.
        QTRY_COMPARE(valueText(window, "HPO"), QStringLiteral("591"));
        QCOMPARE(valueText(window, "VPO"), QStringLiteral("591"));
        verifyMarks(window, x, y);
        // Pressed again, nothing moves. The monitor's word alone is no calibration: "Done"
        // asks, and "Go back" stores nothing.
        monitorSize->click();
        verifyMarks(window, x, y);
        const QByteArray before = m_folder->settings();
        {
            testsupport::MessageBoxAnswer question(QStringLiteral("Go back"));
            QTest::mouseClick(button(window, "Done"), Qt::LeftButton);
            QCOMPARE(question.text(), rulerQuestion());
        }
        QCOMPARE(m_folder->settings(), before);
        // The bars then take the fine steps from there; the mark down, left where the monitor's
        // size put it, is still asked for.
        press(bar(window, "HScroll1"), QStyle::SC_ScrollBarSubLine, 1);
        verifyMarks(window, x - 1, y);
        {
            testsupport::MessageBoxAnswer question(QStringLiteral("Yes, checked"));
            QTest::mouseClick(button(window, "Done"), Qt::LeftButton);
            QVERIFY(question.seen());
        }
        QCOMPARE(testsupport::withoutRecords(m_folder->settings()),
            screenSettings(QLatin1Char(' ') + readout(int(x) - 101, lengths().first, false),
                QStringLiteral(" 591")));
    }

    // A focused bar moves by one per arrow key and by ten per Page Up or Page Down; Home and
    // End do nothing. The readout follows in pixels per 150 mm, whatever length the axis asks
    // for.
    void keysOnAFocusedBar_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("step");
        QTest::newRow("across, right") << "HScroll1" << int(Qt::Key_Right) << 1;
        QTest::newRow("across, left") << "HScroll1" << int(Qt::Key_Left) << -1;
        QTest::newRow("across, down") << "HScroll1" << int(Qt::Key_Down) << 1;
        QTest::newRow("across, up") << "HScroll1" << int(Qt::Key_Up) << -1;
        QTest::newRow("down, down") << "VScroll1" << int(Qt::Key_Down) << 1;
        QTest::newRow("down, up") << "VScroll1" << int(Qt::Key_Up) << -1;
        QTest::newRow("down, page down") << "VScroll1" << int(Qt::Key_PageDown) << 10;
        QTest::newRow("across, page up") << "HScroll1" << int(Qt::Key_PageUp) << -10;
        QTest::newRow("across, End") << "HScroll1" << int(Qt::Key_End) << 0;
        QTest::newRow("down, Home") << "VScroll1" << int(Qt::Key_Home) << 0;
    }
    void keysOnAFocusedBar()
    {
        QFETCH(QString, name);
        QFETCH(int, key);
        QFETCH(int, step);
        FrmCali *window = openWith(kDefaults);
        activate(window);
        QScrollBar *focused = bar(window, name.toLatin1().constData());
        const int before = focused->value();
        const bool across = name == QLatin1String("HScroll1");
        const QString shownBefore = valueText(window, across ? "HPO" : "VPO");
        focused->setFocus(Qt::TabFocusReason);
        QTest::keyClick(focused, Qt::Key(key));
        QCOMPARE(focused->value(), before + step);
        QCOMPARE(valueText(window, across ? "HPO" : "VPO"),
            step == 0
                ? shownBefore
                : readout(before + step, across ? lengths().first : lengths().second, !across));
    }

    // The two arrows share the whole bar: a press anywhere on it steps by exactly one, the
    // first half down and the second half up; the wheel steps by ten.
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

        // A notch of the wheel turned towards the user moves it ten up, away ten down; half
        // notches (a touchpad) add up to one. The middle button does nothing.
        const auto turn = [&](int angle) {
            QWheelEvent wheel(QPointF(upper.center()),
                QPointF(stepBar->mapToGlobal(upper.center())), QPoint(), QPoint(0, angle),
                Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(stepBar, &wheel);
            return stepBar->value();
        };
        const int at = stepBar->value();
        QCOMPARE(turn(-120), at + 10);
        QCOMPARE(turn(60), at + 10);
        QCOMPARE(turn(60), at);
        QMouseEvent middle(QEvent::MouseButtonPress, QPointF(upper.center()),
            QPointF(stepBar->mapToGlobal(upper.center())), Qt::MiddleButton, Qt::MiddleButton,
            Qt::NoModifier);
        QApplication::sendEvent(stepBar, &middle);
        QCOMPARE(stepBar->value(), at);
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
        int previous = stepBar->value();
        QTest::mousePress(stepBar, Qt::LeftButton, {}, at);
        QCOMPARE(changes.count(), 1);
        // The repeat waits half a second first: a slow machine only makes it later, never
        // earlier, so a step within 400 ms is a delay gone wrong.
        QVERIFY(!changes.wait(400));
        QTRY_VERIFY_WITH_TIMEOUT(changes.count() > 3, 3000);
        QTest::mouseRelease(stepBar, Qt::LeftButton, {}, at);
        for (const QList<QVariant> &change : std::as_const(changes)) {
            QCOMPARE(change.at(0).toInt(), previous + direction);
            previous = change.at(0).toInt();
        }
        const bool across = name == QLatin1String("HScroll1");
        QCOMPARE(valueText(window, across ? "HPO" : "VPO"),
            readout(previous, across ? lengths().first : lengths().second, !across));
        const qsizetype steps = changes.count();
        QVERIFY(!changes.wait(300)); // let go, it stops
        QCOMPARE(changes.count(), steps);
    }
};

KELVANE_TEST_MAIN(TestFrmCali)
#include "test_frmcali.moc"
