// The measurement screen driven through its real window: pointer movements and clicks go in
// through the platform's event path, so they land on the background, the ring or a label as
// they would under a real pointer.
#include "measure/form1.h"

#include "forms/frmpicture.h"
#include "start/frmstart.h"
#include "tests/testmain.h"
#include "tests/testsupport.h"

#include <QClipboard>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QWindow>

using testsupport::ProgramFolder;

namespace {
// Where the screen under test puts the target's top left corner and the result labels.
struct Places
{
    QPoint centre, right, left;
    int designLeft; // 5280 twips: 15 a pixel at 96 dpi, 12 at 120 dpi
    int labelsLeft;
    // A click at the very first opening, with no movement yet, measures the screen's corner.
    const char *cornerAcross, *cornerDown;
};
Places places()
{
    const testsupport::TestScreen screen = testsupport::testScreen();
    if (screen.width == 1280)
        return {{619, 491}, {939, 491}, {299, 491}, 352, 1220, "BR: 27.6", "BD: 21.9"};
    // 491.5, 503.5 and 235.25 go up and left, 747.75 to the nearest pixel.
    if (screen.width == 1025)
        return {{491, 503}, {748, 503}, {235, 503}, 352, 965, "BR: 21.9", "BD: 22.4"};
    // The design's place is in twips and follows the dpi; the computed places do not. At
    // 120 dpi the widest result 567 pixels per 150 mm can give here, two digits before the
    // decimal, is 62 pixels of ink: the results move left until it ends one pixel inside.
    if (screen.dpi == 120)
        return {{491, 363}, {747, 363}, {235, 363}, 440, 961, "BR: 21.9", "BD: 16.3"};
    return {{491, 363}, {747, 363}, {235, 363}, 352, 964, "BR: 21.9", "BD: 16.3"};
}
// The reference point of the centred ring: 6 pixels right of and below the box's corner.
QPoint reference()
{
    return places().centre + QPoint(6, 6);
}

QByteArray settingsFile(double filter, double target, double fixEye, int h, int v)
{
    return QStringLiteral("[Filter]\nFILTER= %1\nTARGET= %2\nFIXEYE= %3\n[Screen]\nSCREENH= "
                          "%4\nSCREENV= %5\n")
        .arg(filter)
        .arg(target)
        .arg(fixEye)
        .arg(h)
        .arg(v)
        .toLatin1();
}

QString text(QWidget *window, const char *label)
{
    return window->findChild<QLabel *>(QLatin1String(label))->text();
}
QLabel *target(QWidget *window)
{
    return window->findChild<QLabel *>(QStringLiteral("target"));
}
// Pointer events as the platform delivers them, at screen pixels. The platform drops a
// movement to where the pointer already is, and a new window may open under a pointer left
// there by the test before: so the pointer arrives from the pixel beside.
void moveTo(QWidget *window, QPoint at)
{
    QTest::mouseMove(window->windowHandle(), at + QPoint(1, 0));
    QTest::mouseMove(window->windowHandle(), at);
}
void click(QWidget *window, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    moveTo(window, at);
    QTest::mouseClick(window->windowHandle(), button, {}, at);
}
} // namespace

class TestForm1 final : public testsupport::ProgramTest
{
    Q_OBJECT

private:
    Form1 *open(const QByteArray &file)
    {
        m_folder->writeSettings(file);
        m_program->showForm1();
        Form1 *window = currentWindow<Form1>();
        return window && QTest::qWaitForWindowExposed(window) ? window : nullptr;
    }

private Q_SLOTS:

    void setUpAsDesigned()
    {
        Form1 *window = open(settingsFile(1, 1, 2, 567, 567));
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), QStringLiteral("Form1"));
        QVERIFY(window->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(window->geometry(), window->screen()->geometry());
        QCOMPARE(window->palette().color(QPalette::Window), QColor(Qt::black));
        QCOMPARE(target(window)->pos(), places().centre);
        const int tops[] = {0, 15, 31};
        const char *names[] = {"HPD", "VPD", "PDEye"};
        for (int i = 0; i < 3; ++i) {
            auto *label = window->findChild<QLabel *>(QLatin1String(names[i]));
            QCOMPARE(label->pos(), QPoint(places().labelsLeft, tops[i]));
            QCOMPARE(label->palette().color(QPalette::WindowText), QColor(128, 128, 128));
        }
        QCOMPARE(text(window, "HPD"), QStringLiteral("--"));
        QCOMPARE(text(window, "VPD"), QStringLiteral("--"));
        QVERIFY(window->findChild<QLabel *>(QStringLiteral("HPosi"))->isHidden());
        QVERIFY(window->findChild<QLabel *>(QStringLiteral("VPosi"))->isHidden());
        QTRY_COMPARE(QApplication::focusWidget(), target(window));
        QVERIFY(m_program->frmpictureLoaded());
        QVERIFY(!m_program->loadFrmpicture().isVisible());
    }

    void targetPlaces_data()
    {
        QTest::addColumn<double>("place");
        QTest::addColumn<QPoint>("corner");
        const Places p = places();
        QTest::newRow("Center") << 1.0 << p.centre;
        QTest::newRow("Right") << 2.0 << p.right;
        QTest::newRow("Left") << 3.0 << p.left;
        QTest::newRow("none stored") << 0.0 << QPoint(p.designLeft, p.centre.y());
        QTest::newRow("2.5") << 2.5 << QPoint(p.designLeft, p.centre.y());
    }
    // The ring is drawn where it is measured from: the reference point is 6 pixels into the
    // box wherever it stands, down to the pixel.
    void targetPlaces()
    {
        QFETCH(double, place);
        QFETCH(QPoint, corner);
        Form1 *window = open(settingsFile(1, place, 2, 567, 567));
        QVERIFY(window);
        QCOMPARE(target(window)->pos(), corner);
        click(window, corner + QPoint(6, 6));
        QCOMPARE(text(window, "HPD"), QStringLiteral("BL: 0.0"));
        QCOMPARE(text(window, "VPD"), QStringLiteral("BU: 0"));
        click(window, corner + QPoint(5, 5));
        QCOMPARE(text(window, "HPD"), QStringLiteral("BR: 0.0"));
        QCOMPARE(text(window, "VPD"), QStringLiteral("BD: 0"));
    }

    void ringAndPointer_data()
    {
        QTest::addColumn<double>("filter");
        QTest::addColumn<double>("fixEye");
        QTest::addColumn<QRgb>("ring");
        QTest::addColumn<int>("pointer"); // 0: no image of our own
        QTest::addColumn<QString>("eye");
        const QRgb red = qRgb(160, 32, 0), blue = qRgb(0, 0, 255), green = qRgb(0, 160, 0);
        QTest::newRow("red/blue, OD fixes") << 1.0 << 1.0 << red << 102 << "OS";
        QTest::newRow("red/blue, OS fixes") << 1.0 << 2.0 << blue << 101 << "OD";
        QTest::newRow("red/green, OD fixes") << 2.0 << 1.0 << red << 103 << "OS";
        QTest::newRow("red/green, OS fixes") << 2.0 << 2.0 << green << 101 << "OD";
        QTest::newRow("blue/red, OD fixes") << 3.0 << 1.0 << blue << 101 << "OS";
        QTest::newRow("blue/red, OS fixes") << 3.0 << 2.0 << red << 102 << "OD";
        QTest::newRow("green/red, OD fixes") << 4.0 << 1.0 << green << 101 << "OS";
        QTest::newRow("green/red, OS fixes") << 4.0 << 2.0 << red << 103 << "OD";
        QTest::newRow("fix eye 0 is OS") << 2.0 << 0.0 << green << 101 << "OD";
        QTest::newRow("fix eye 1.5 is OS") << 2.0 << 1.5 << green << 101 << "OD";
        QTest::newRow("glasses 2.5: design ring, plain pointer") << 2.5 << 1.0 << blue << 0 << "OS";
    }
    void ringAndPointer()
    {
        QFETCH(double, filter);
        QFETCH(double, fixEye);
        QFETCH(QRgb, ring);
        QFETCH(int, pointer);
        QFETCH(QString, eye);
        Form1 *window = open(settingsFile(filter, 1, fixEye, 567, 567));
        QVERIFY(window);
        const QImage picture = target(window)->pixmap().toImage();
        QCOMPARE(picture.pixel(21, 0), ring); // top of the ring
        QCOMPARE(picture.pixel(21, 21), qRgb(0, 0, 0)); // its hole
        QCOMPARE(text(window, "PDEye"), eye);

        const QCursor cursor = window->cursor();
        if (pointer == 0) {
            QCOMPARE(cursor.shape(), Qt::ArrowCursor);
            return;
        }
        QCOMPARE(cursor.shape(), Qt::BitmapCursor);
        const QPoint hotSpot = pointer == 102 ? QPoint(0, 0) : QPoint(1, 1);
        QCOMPARE(cursor.hotSpot(), hotSpot);
        const QRgb cross = pointer == 101 ? qRgb(153, 0, 0)
            : pointer == 102              ? qRgb(0, 0, 255)
                                          : qRgb(0, 153, 0);
        QCOMPARE(cursor.pixmap().toImage().pixel(15, 15), cross);
        // The labels and the ring show the same pointer as the background.
        QCOMPARE(target(window)->cursor().shape(), Qt::BitmapCursor);
    }

    // Glasses that match no pair choose nothing: the pointer of the last opening stays.
    void unknownGlassesKeepTheLastPointer()
    {
        QVERIFY(open(settingsFile(2, 1, 2, 567, 567)));
        QTest::keyClick(m_program->current(), Qt::Key_Escape);
        Form1 *window = open(settingsFile(2.5, 1, 2, 567, 567));
        QVERIFY(window);
        QCOMPARE(window->cursor().pixmap().toImage().pixel(15, 15), qRgb(153, 0, 0));
        QCOMPARE(target(window)->pixmap().toImage().pixel(21, 0), qRgb(0, 0, 255));
    }

    void measurement_data()
    {
        QTest::addColumn<int>("screenH");
        QTest::addColumn<int>("screenV");
        QTest::addColumn<QPoint>("offset"); // from the reference point
        QTest::addColumn<QString>("across");
        QTest::addColumn<QString>("down");
        // 567 pixels per 150 mm: 3.78 pixels per mm.
        QTest::newRow("3.0 across, 3 down") << 567 << 567 << QPoint(68, 68) << "BL: 3.0"
                                            << "BU: 3";
        QTest::newRow("left and up") << 567 << 567 << QPoint(-77, -69) << "BR: 3.4"
                                     << "BD: 3";
        QTest::newRow("1.499 rounds up") << 567 << 567 << QPoint(34, 0) << "BL: 1.5"
                                         << "BU: 0";
        QTest::newRow("on the point") << 567 << 567 << QPoint(0, 0) << "BL: 0.0"
                                      << "BU: 0";
        QTest::newRow("a pixel up-left") << 567 << 567 << QPoint(-1, -1) << "BR: 0.0"
                                         << "BD: 0";
        QTest::newRow("far") << 567 << 567 << QPoint(-400, -300) << "BR: 17.6"
                             << "BD: 13.2";
        QTest::newRow("own calibrations") << 567 << 600 << QPoint(68, 68) << "BL: 3.0"
                                          << "BU: 2.8";
        // 500 pixels per 150 mm: n pixels are n / 20 prism dioptres, so the halves are exact
        // decimals that binary numbers hold just below the half.
        QTest::newRow("0.5") << 500 << 500 << QPoint(10, 10) << "BL: 0.5"
                             << "BU: 0.5";
        QTest::newRow("0.35") << 500 << 500 << QPoint(7, -7) << "BL: 0.4"
                              << "BD: 0.4";
        QTest::newRow("1.15") << 500 << 500 << QPoint(-23, 23) << "BR: 1.2"
                              << "BU: 1.2";
        QTest::newRow("2.25") << 500 << 500 << QPoint(45, 45) << "BL: 2.3"
                              << "BU: 2.3";
        QTest::newRow("0.05") << 500 << 500 << QPoint(-1, 1) << "BR: 0.1"
                              << "BU: 0.1";
        QTest::newRow("9.95 carries") << 500 << 500 << QPoint(199, 199) << "BL: 10.0"
                                      << "BU: 10";
        QTest::newRow("0.04") << 625 << 625 << QPoint(1, 1) << "BL: 0.0"
                              << "BU: 0";
    }
    void measurement()
    {
        QFETCH(int, screenH);
        QFETCH(int, screenV);
        QFETCH(QPoint, offset);
        Form1 *window = open(settingsFile(1, 1, 2, screenH, screenV));
        QVERIFY(window);
        const QPoint at = reference() + offset;
        moveTo(window, at);
        QCOMPARE(text(window, "HPD"), QStringLiteral("--")); // moving alone shows nothing
        click(window, at);
        QTEST(text(window, "HPD"), "across");
        QTEST(text(window, "VPD"), "down");
    }

    void decimalSeparatorOfTheUser()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const auto restoreLocale = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        Form1 *window = open(settingsFile(1, 1, 2, 567, 567));
        QVERIFY(window);
        click(window, reference() + QPoint(34, 10));
        QCOMPARE(text(window, "HPD"), QStringLiteral("BL: 1,5"));
        QCOMPARE(text(window, "VPD"), QStringLiteral("BU: 0,4"));
    }

    void copyResult_data()
    {
        QTest::addColumn<double>("filter");
        QTest::addColumn<double>("fixEye");
        QTest::addColumn<int>("screenV");
        QTest::addColumn<QPoint>("offset"); // from the reference point
        QTest::addColumn<bool>("german");
        QTest::addColumn<QString>("line"); // after the time stamp; %1 x %2: the screen
        QTest::newRow("red/blue, OS fixes")
            << 1.0 << 2.0 << 567 << QPoint(68, 68) << false
            << "OD: BL 3.0 BU 3 (prism dioptres)  glasses OD red, OS blue; OS fixes; calibration "
               "567 x 567 px per 150 mm; screen %1 x %2";
        QTest::newRow("green/red, OD fixes, own calibration down")
            << 4.0 << 1.0 << 600 << QPoint(-77, -69) << false
            << "OS: BR 3.4 BD 2.9 (prism dioptres)  glasses OD green, OS red; OD fixes; "
               "calibration 567 x 600 px per 150 mm; screen %1 x %2";
        QTest::newRow("German decimal comma")
            << 2.0 << 2.0 << 567 << QPoint(34, 10) << true
            << "OD: BL 1,5 BU 0,4 (prism dioptres)  glasses OD red, OS green; OS fixes; "
               "calibration 567 x 567 px per 150 mm; screen %1 x %2";
        QTest::newRow("glasses none of the four")
            << 2.5 << 1.0 << 567 << QPoint(0, 0) << false
            << "OS: BL 0.0 BU 0 (prism dioptres)  glasses not chosen; OD fixes; calibration 567 "
               "x 567 px per 150 mm; screen %1 x %2";
    }
    // Ctrl+C copies the last result as one line for the clinic's record and changes nothing
    // on the screen; before the first click of an opening there is nothing to copy.
    void copyResult()
    {
        QFETCH(double, filter);
        QFETCH(double, fixEye);
        QFETCH(int, screenV);
        QFETCH(QPoint, offset);
        QFETCH(bool, german);
        QFETCH(QString, line);
        if (german)
            QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const auto restoreLocale = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        const auto copy
            = [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier); };
        QClipboard *clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("untouched"));

        Form1 *window = open(settingsFile(filter, 1, fixEye, 567, screenV));
        QVERIFY(window);
        QTRY_VERIFY(QApplication::focusWidget());
        click(window, reference() + QPoint(-5, -5));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        window = open(settingsFile(filter, 1, fixEye, 567, screenV));
        QVERIFY(window);
        QTRY_VERIFY(QApplication::focusWidget());
        copy();
        QCOMPARE(clipboard->text(), QStringLiteral("untouched"));

        const QString before = QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm");
        click(window, reference() + offset);
        const QStringList shown = {text(window, "HPD"), text(window, "VPD"), text(window, "PDEye")};
        copy();
        const QString after = QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm");
        const QRegularExpressionMatch copied
            = QRegularExpression(QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d)  (.*)$"))
                  .match(clipboard->text());
        QVERIFY2(copied.hasMatch(), qPrintable(clipboard->text()));
        QVERIFY(copied.captured(1) >= before && copied.captured(1) <= after);
        const testsupport::TestScreen screen = testsupport::testScreen();
        QCOMPARE(copied.captured(2), line.arg(screen.width).arg(screen.height));
        QCOMPARE(
            QStringList({text(window, "HPD"), text(window, "VPD"), text(window, "PDEye")}), shown);
    }

    // A click measures where the pointer was last recorded, whatever the press reports, and
    // the last position outlives the window.
    void clickMeasuresTheLastRecordedPosition()
    {
        Form1 *window = open(settingsFile(1, 1, 2, 567, 567));
        QVERIFY(window);
        // Nothing recorded yet at the first opening: the top left corner of the screen.
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(600, 400));
        QCOMPARE(text(window, "HPD"), QLatin1String(places().cornerAcross));
        QCOMPARE(text(window, "VPD"), QLatin1String(places().cornerDown));

        moveTo(window, reference() + QPoint(68, 68));
        QTest::keyClick(window, Qt::Key_Escape);
        window = open(settingsFile(1, 1, 2, 567, 567));
        QVERIFY(window);
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(600, 400));
        QCOMPARE(text(window, "HPD"), QStringLiteral("BL: 3.0"));
        moveTo(window, reference() + QPoint(-77, -69));
        QCOMPARE(text(window, "HPD"), QStringLiteral("BL: 3.0"));
        QTest::mouseClick(target(window), Qt::LeftButton, {}, QPoint(1, 1));
        QCOMPARE(text(window, "HPD"), QStringLiteral("BR: 3.4"));
        QCOMPARE(text(window, "VPD"), QStringLiteral("BD: 3"));
    }

    // Without a calibration there is nothing to divide by: that result keeps its text, the
    // other is measured, and the screen stays open.
    void noCalibration_data()
    {
        QTest::addColumn<int>("screenH");
        QTest::addColumn<int>("screenV");
        QTest::addColumn<QString>("across");
        QTest::addColumn<QString>("down");
        QTest::newRow("across") << 0 << 567 << "--"
                                << "BU: 3";
        QTest::newRow("down") << 567 << 0 << "BL: 3.0"
                              << "--";
        QTest::newRow("both") << 0 << 0 << "--"
                              << "--";
        QTest::newRow("negative") << -567 << -567 << "--"
                                  << "--";
    }
    void noCalibration()
    {
        QFETCH(int, screenH);
        QFETCH(int, screenV);
        Form1 *window = open(settingsFile(1, 1, 2, screenH, screenV));
        QVERIFY(window);
        click(window, reference() + QPoint(68, 68));
        QTEST(text(window, "HPD"), "across");
        QTEST(text(window, "VPD"), "down");
        QCOMPARE(m_program->current(), window);
    }

    // The middle button does nothing anywhere; the results' corner is not part of the test
    // display, so neither a movement nor any button over the labels counts there.
    void clicksThatDoNothing()
    {
        Form1 *window = open(settingsFile(1, 1, 2, 567, 567));
        QVERIFY(window);
        const QPointer<Form1> alive = window;
        click(window, reference(), Qt::MiddleButton);
        click(window, reference() + QPoint(68, 68), Qt::MiddleButton);
        for (const int top : {2, 20, 35}) {
            const QPoint onLabel(places().labelsLeft + 10, top);
            for (auto button : {Qt::LeftButton, Qt::MiddleButton, Qt::RightButton}) {
                QVERIFY2(alive, "a click on a result left the screen");
                click(window, onLabel, button);
            }
        }
        QVERIFY(alive);
        QCOMPARE(text(window, "HPD"), QStringLiteral("--"));
        QCOMPARE(text(window, "VPD"), QStringLiteral("--"));
        // The last place recorded is the one before the labels.
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(600, 400));
        QCOMPARE(text(window, "HPD"), QStringLiteral("BL: 3.0"));
        QCOMPARE(text(window, "VPD"), QStringLiteral("BU: 3"));
    }

    void waysBackToTheStart_data()
    {
        QTest::addColumn<QPoint>("rightClick"); // null: Esc instead
        QTest::newRow("right click on the background") << reference() + QPoint(68, 68);
        QTest::newRow("right click on the ring") << reference();
        QTest::newRow("Esc") << QPoint();
    }
    // The start screen comes back with the options saved before the measurement, which
    // writes nothing.
    void waysBackToTheStart()
    {
        QFETCH(QPoint, rightClick);
        m_folder->writeSettings(settingsFile(3, 2, 1, 567, 600));
        m_program->showFrmstart();
        QTest::mouseClick(
            m_program->current()->findChild<QPushButton *>(QStringLiteral("Command1")),
            Qt::LeftButton);
        const QByteArray saved = m_folder->settings();
        QPointer<Form1> window = currentWindow<Form1>();
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        click(window, reference() + QPoint(68, 68));
        if (rightClick.isNull())
            QTest::keyClick(target(window), Qt::Key_Escape);
        else
            click(window, rightClick, Qt::RightButton);
        auto *start = currentWindow<frmstart>();
        QVERIFY(start);
        QVERIFY(!m_program->frmpictureLoaded());
        QTRY_VERIFY(window.isNull());
        QCOMPARE(m_folder->settings(), saved);
        for (int k : {3, 6, 8})
            QVERIFY(
                start->findChild<QRadioButton *>(QStringLiteral("Option%1").arg(k))->isChecked());
    }

    // A movement records two numbers and draws nothing; only a click draws.
    void movementDrawsNothing()
    {
        Form1 *window = open(settingsFile(1, 1, 2, 567, 567));
        QVERIFY(window);
        int paints = 0;
        struct PaintCounter final : QObject
        {
            int &count;
            explicit PaintCounter(int &c)
                : count(c)
            {
            }
            bool eventFilter(QObject *, QEvent *event) override
            {
                count += event->type() == QEvent::Paint;
                return false;
            }
        } counter(paints);
        QCoreApplication::processEvents();
        window->installEventFilter(&counter);
        for (QWidget *child : window->findChildren<QWidget *>())
            child->installEventFilter(&counter);
        // Across the background and through the ring, many times.
        for (int i = 0; i < 300; ++i)
            moveTo(window, reference() + QPoint(i % 100 - 50, (i * 7) % 100 - 50));
        QCoreApplication::processEvents();
        QCOMPARE(paints, 0);
        QCOMPARE(text(window, "HPD"), QStringLiteral("--"));
        click(window, reference());
        QTRY_VERIFY(paints > 0);
    }
};

KELVANE_TEST_MAIN(TestForm1)
#include "test_form1.moc"
