// The measurement screen driven through its real window: pointer movements and clicks go in
// through the platform's event path, so they land on the background, the ring or a label as
// they would under a real pointer.
#include "measure/form1.h"

#include "calibrate/frmcali.h"
#include "forms/frmpicture.h"
#include "start/frmstart.h"
#include "tests/testmain.h"
#include "tests/testsupport.h"

#include <QClipboard>
#include <QCursor>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QWindow>

using testsupport::ProgramFolder;

namespace {
// Where the screen under test puts the target's top left corner and the result labels.
struct Places
{
    QPoint centre, right, left;
    int designLeft; // 5280 twips: 15 a pixel at 96 dpi, 12 at 120 dpi
    int labelsLeft;
};
Places places()
{
    const testsupport::TestScreen screen = testsupport::testScreen();
    if (screen.width == 1280)
        return {{619, 491}, {939, 491}, {299, 491}, 352, 1220};
    // 491.5, 503.5 and 235.25 go up and left, 747.75 to the nearest pixel.
    if (screen.width == 1025)
        return {{491, 503}, {748, 503}, {235, 503}, 352, 965};
    // The design's place is in twips and follows the dpi; the computed places do not. At
    // 120 dpi the widest result 567 pixels per 150 mm can give here, a bound's mark and two
    // digits before the decimal, ends 73 pixels into its label: the results move left until it
    // ends one pixel inside.
    if (screen.dpi == 120)
        return {{491, 363}, {747, 363}, {235, 363}, 440, 950};
    return {{491, 363}, {747, 363}, {235, 363}, 352, 964};
}
// The reference point of the centred ring: 6 pixels right of and below the box's corner.
QPoint reference()
{
    return places().centre + QPoint(6, 6);
}

QByteArray settingsFile(double filter, double target, double fixEye, int h, int v, int cm = 60)
{
    return QStringLiteral("[Filter]\nFILTER= %1\nTARGET= %2\nFIXEYE= %3\nDISTANCE= %6\n"
                          "[Screen]\nSCREENH= %4\nSCREENV= %5\n")
        .arg(filter)
        .arg(target)
        .arg(fixEye)
        .arg(h)
        .arg(v)
        .arg(cm)
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
    // `calibrated`: the file's calibration values are stored once more through the calibration
    // screen's "Done", as a calibration made on this screen is.
    Form1 *open(const QByteArray &file, bool calibrated = false)
    {
        m_folder->writeSettings(file);
        if (calibrated) {
            m_program->showFrmCali();
            auto *calibration = currentWindow<FrmCali>();
            if (!calibration || !QTest::qWaitForWindowExposed(calibration))
                return nullptr;
            // Marks not moved: the clinician says a ruler checked them.
            testsupport::MessageBoxAnswer checked(QStringLiteral("Yes, checked"));
            QTest::mouseClick(
                calibration->findChild<QPushButton *>(QStringLiteral("Done")), Qt::LeftButton);
        }
        m_program->showForm1();
        Form1 *window = currentWindow<Form1>();
        return window && QTest::qWaitForWindowExposed(window) ? window : nullptr;
    }
    // "Start" on the start screen now open.
    Form1 *startMeasurement()
    {
        auto *start = currentWindow<frmstart>();
        if (!start || !QTest::qWaitForWindowExposed(start))
            return nullptr;
        QTest::mouseClick(
            start->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
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
        QTest::addColumn<int>("distance"); // cm
        // 567 pixels per 150 mm: 3.78 pixels per mm.
        QTest::newRow("3.0 across, 3 down") << 567 << 567 << QPoint(68, 68) << "BL: 3.0"
                                            << "BU: 3" << 60;
        QTest::newRow("left and up") << 567 << 567 << QPoint(-77, -69) << "BR: 3.4"
                                     << "BD: 3" << 60;
        QTest::newRow("1.499 rounds up") << 567 << 567 << QPoint(34, 0) << "BL: 1.5"
                                         << "BU: 0" << 60;
        QTest::newRow("on the point") << 567 << 567 << QPoint(0, 0) << "BL: 0.0"
                                      << "BU: 0" << 60;
        QTest::newRow("a pixel up-left") << 567 << 567 << QPoint(-1, -1) << "BR: 0.0"
                                         << "BD: 0" << 60;
        QTest::newRow("far") << 567 << 567 << QPoint(-400, -300) << "BR: 17.6"
                             << "BD: 13.2" << 60;
        QTest::newRow("own calibrations") << 567 << 600 << QPoint(68, 68) << "BL: 3.0"
                                          << "BU: 2.8" << 60;
        // 500 pixels per 150 mm: n pixels are n / 20 prism dioptres, so the halves are exact
        // decimals that binary numbers hold just below the half.
        QTest::newRow("0.5") << 500 << 500 << QPoint(10, 10) << "BL: 0.5"
                             << "BU: 0.5" << 60;
        QTest::newRow("0.35") << 500 << 500 << QPoint(7, -7) << "BL: 0.4"
                              << "BD: 0.4" << 60;
        QTest::newRow("1.15") << 500 << 500 << QPoint(-23, 23) << "BR: 1.2"
                              << "BU: 1.2" << 60;
        QTest::newRow("2.25") << 500 << 500 << QPoint(45, 45) << "BL: 2.3"
                              << "BU: 2.3" << 60;
        QTest::newRow("0.05") << 500 << 500 << QPoint(-1, 1) << "BR: 0.1"
                              << "BU: 0.1" << 60;
        QTest::newRow("9.95 carries") << 500 << 500 << QPoint(199, 199) << "BL: 10.0"
                                      << "BU: 10" << 60;
        QTest::newRow("0.04") << 625 << 625 << QPoint(1, 1) << "BL: 0.0"
                              << "BU: 0" << 60;
        // 100 o / d: 68 pixels at 567 per 150 mm are 17.99 mm, 4.50 prism dioptres at 400 mm;
        // 6 pixels at 500 are 1.8 mm, exactly 0.45 at 400 mm, which binary numbers hold near the
        // half.
        QTest::newRow("40 cm") << 567 << 567 << QPoint(68, 68) << "BL: 4.5"
                               << "BU: 4.5" << 40;
        QTest::newRow("0.45 at 40 cm") << 500 << 500 << QPoint(-6, 6) << "BR: 0.5"
                                       << "BU: 0.5" << 40;
        QTest::newRow("200 cm") << 500 << 500 << QPoint(-100, -100) << "BR: 1.5"
                                << "BD: 1.5" << 200;
    }
    void measurement()
    {
        QFETCH(int, screenH);
        QFETCH(int, screenV);
        QFETCH(QPoint, offset);
        QFETCH(int, distance);
        Form1 *window = open(settingsFile(1, 1, 2, screenH, screenV, distance));
        QVERIFY(window);
        const QPoint at = reference() + offset;
        moveTo(window, at);
        QCOMPARE(text(window, "HPD"), QStringLiteral("--")); // moving alone shows nothing
        click(window, at);
        QTEST(text(window, "HPD"), "across");
        QTEST(text(window, "VPD"), "down");
        // The distance beside the results where it is not the usual 60 cm, left of them.
        const auto *shown = window->findChild<QLabel *>(QStringLiteral("distance"));
        QCOMPARE(shown->isVisible(), distance != 60);
        if (distance != 60) {
            QCOMPARE(shown->text(), QStringLiteral("%1 cm").arg(distance));
            QVERIFY(shown->geometry().right() < places().labelsLeft);
        }
    }

    void screenEdge_data()
    {
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QString>("across");
        QTest::addColumn<QString>("down");
        // From the centred ring's reference point at (497, 369) on 1024 x 768, 567 pixels per
        // 150 mm.
        QTest::newRow("left edge") << QPoint(0, 369) << "BR: \u226521.9"
                                   << "BU: 0";
        QTest::newRow("a pixel inside the left edge") << QPoint(1, 369) << "BR: 21.9"
                                                      << "BU: 0";
        QTest::newRow("right edge") << QPoint(1023, 369) << "BL: \u226523.2"
                                    << "BU: 0";
        QTest::newRow("a pixel inside the right edge") << QPoint(1022, 369) << "BL: 23.1"
                                                       << "BU: 0";
        QTest::newRow("top edge") << QPoint(497, 0) << "BL: 0.0"
                                  << "BD: \u226516.3";
        QTest::newRow("a pixel inside the top edge") << QPoint(497, 1) << "BL: 0.0"
                                                     << "BD: 16.2";
        QTest::newRow("bottom edge") << QPoint(497, 767) << "BL: 0.0"
                                     << "BU: \u226517.5";
        QTest::newRow("a pixel inside the bottom edge") << QPoint(497, 766) << "BL: 0.0"
                                                        << "BU: 17.5";
        QTest::newRow("bottom left corner") << QPoint(0, 767) << "BR: \u226521.9"
                                            << "BU: \u226517.5";
    }
    // The pointer stops on the screen's outermost column and row: a click there shows that
    // direction as "at least", on the screen and in the copied line.
    void screenEdge()
    {
        QFETCH(QPoint, at);
        QFETCH(QString, across);
        QFETCH(QString, down);
        if (testsupport::testScreen().width != 1024)
            QSKIP("the values are written out for 1024 x 768");
        Form1 *window = open(settingsFile(1, 1, 2, 567, 567));
        QVERIFY(window);
        QTRY_VERIFY(QApplication::focusWidget());
        click(window, at);
        QCOMPARE(text(window, "HPD"), across);
        QCOMPARE(text(window, "VPD"), down);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
        const QString line = QGuiApplication::clipboard()->text();
        const QString copied = QStringLiteral("  OD: %1 %2 (prism dioptres)")
                                   .arg(across.remove(QLatin1Char(':')), down.remove(u':'));
        QVERIFY2(line.contains(copied), qPrintable(line));
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
        QTest::addColumn<double>("place");
        QTest::addColumn<double>("fixEye");
        QTest::addColumn<int>("screenV");
        QTest::addColumn<bool>("calibrated"); // on this screen, through the calibration screen
        QTest::addColumn<QPoint>("offset"); // from the reference point
        QTest::addColumn<bool>("german");
        QTest::addColumn<QString>("line"); // after the time stamp; %1 x %2: the screen
        QTest::newRow("red/blue, OS fixes")
            << 1.0 << 1.0 << 2.0 << 567 << true << QPoint(68, 68) << false
            << "OD: BL 3.0 BU 3 (prism dioptres)  glasses OD red, OS blue; OS fixes; calibration "
               "567 x 567 px per 150 mm; screen %1 x %2; target Center; viewing distance 60 cm";
        QTest::newRow("green/red, OD fixes, own calibration down")
            << 4.0 << 1.0 << 1.0 << 600 << true << QPoint(-77, -69) << false
            << "OS: BR 3.4 BD 2.9 (prism dioptres)  glasses OD green, OS red; OD fixes; "
               "calibration 567 x 600 px per 150 mm; screen %1 x %2; target Center; viewing "
               "distance 60 cm";
        QTest::newRow("German decimal comma")
            << 2.0 << 1.0 << 2.0 << 567 << true << QPoint(34, 10) << true
            << "OD: BL 1,5 BU 0,4 (prism dioptres)  glasses OD red, OS green; OS fixes; "
               "calibration 567 x 567 px per 150 mm; screen %1 x %2; target Center; viewing "
               "distance 60 cm";
        QTest::newRow("glasses none of the four")
            << 2.5 << 1.0 << 1.0 << 567 << true << QPoint(0, 0) << false
            << "OS: BL 0.0 BU 0 (prism dioptres)  glasses not chosen; OD fixes; calibration 567 "
               "x 567 px per 150 mm; screen %1 x %2; target Center; viewing distance 60 cm";
        QTest::newRow("target right")
            << 1.0 << 2.0 << 2.0 << 567 << true << QPoint(68, 68) << false
            << "OD: BL 3.0 BU 3 (prism dioptres)  glasses OD red, OS blue; OS fixes; calibration "
               "567 x 567 px per 150 mm; screen %1 x %2; target Right; viewing distance 60 cm";
        QTest::newRow("target left")
            << 1.0 << 3.0 << 2.0 << 567 << true << QPoint(68, 68) << false
            << "OD: BL 3.0 BU 3 (prism dioptres)  glasses OD red, OS blue; OS fixes; calibration "
               "567 x 567 px per 150 mm; screen %1 x %2; target Left; viewing distance 60 cm";
        QTest::newRow("target none of the three")
            << 1.0 << 2.5 << 2.0 << 567 << true << QPoint(68, 68) << false
            << "OD: BL 3.0 BU 3 (prism dioptres)  glasses OD red, OS blue; OS fixes; calibration "
               "567 x 567 px per 150 mm; screen %1 x %2; target not chosen; viewing distance 60 "
               "cm";
        // Made here, but 15 % off the 590.55 pixels per 150 mm the test's monitor reports.
        QTest::newRow("far from the monitor's size")
            << 1.0 << 1.0 << 2.0 << 500 << true << QPoint(68, 68) << false
            << "OD: BL 3.0 BU 3.4 (prism dioptres)  glasses OD red, OS blue; OS fixes; "
               "calibration 567 x 500 px per 150 mm; screen %1 x %2; target Center; viewing "
               "distance 60 cm; calibration far from the monitor's size";
        // Values in the file that no calibration on this screen made.
        QTest::newRow("not calibrated for this screen")
            << 1.0 << 2.0 << 2.0 << 567 << false << QPoint(68, 68) << false
            << "OD: BL 3.0 BU 3 (prism dioptres)  glasses OD red, OS blue; OS fixes; calibration "
               "567 x 567 px per 150 mm; screen %1 x %2; target Right; viewing distance 60 cm; "
               "not calibrated for this screen";
    }
    // Ctrl+C copies the last result as one line for the clinic's record and changes nothing
    // on the screen; before the first click of an opening there is nothing to copy.
    void copyResult()
    {
        QFETCH(double, filter);
        QFETCH(double, place);
        QFETCH(double, fixEye);
        QFETCH(int, screenV);
        QFETCH(bool, calibrated);
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

        Form1 *window = open(settingsFile(filter, place, fixEye, 567, screenV), calibrated);
        QVERIFY(window);
        QTRY_VERIFY(QApplication::focusWidget());
        const QPoint corner = target(window)->pos();
        click(window, corner + QPoint(1, 1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        // Opened again on the same file, with its calibration record.
        m_program->showForm1();
        window = currentWindow<Form1>();
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        QTRY_VERIFY(QApplication::focusWidget());
        copy();
        QCOMPARE(clipboard->text(), QStringLiteral("untouched"));

        const QString before = QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm");
        click(window, corner + QPoint(6, 6) + offset);
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

    // A click measures where the pointer was last recorded, whatever the press reports. The
    // first click of an opening, before any movement, measures where the pointer stands: over
    // the start screen it has moved on from where the last opening recorded it.
    void clickMeasuresTheLastRecordedPosition()
    {
        // 500 down: the start screen takes no more than 518 on a screen 768 pixels high.
        m_folder->writeSettings(settingsFile(1, 1, 2, 567, 500));
        QScreen *screen = QGuiApplication::primaryScreen();
        const QPoint origin = screen->geometry().topLeft();
        QCursor::setPos(screen, origin + reference() + QPoint(68, 68));
        m_program->showFrmstart();
        Form1 *window = startMeasurement();
        QVERIFY(window);
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(600, 400));
        QCOMPARE(text(window, "HPD"), QStringLiteral("BL: 3.0"));
        QCOMPARE(text(window, "VPD"), QStringLiteral("BU: 3.4"));

        moveTo(window, reference() + QPoint(-77, -69));
        QTest::keyClick(window, Qt::Key_Escape);
        QCursor::setPos(screen, origin + reference() + QPoint(34, 0));
        window = startMeasurement();
        QVERIFY(window);
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(600, 400));
        QCOMPARE(text(window, "HPD"), QStringLiteral("BL: 1.5"));
        QCOMPARE(text(window, "VPD"), QStringLiteral("BU: 0"));
        moveTo(window, reference() + QPoint(-77, -69));
        QCOMPARE(text(window, "HPD"), QStringLiteral("BL: 1.5"));
        QTest::mouseClick(target(window), Qt::LeftButton, {}, QPoint(1, 1));
        QCOMPARE(text(window, "HPD"), QStringLiteral("BR: 3.4"));
        QCOMPARE(text(window, "VPD"), QStringLiteral("BD: 3.5"));
    }

    void calibrationNote_data()
    {
        QTest::addColumn<double>("place");
        QTest::addColumn<bool>("calibrated"); // on this screen, through the calibration screen
        QTest::addColumn<QString>("note"); // empty: none shown
        QTest::newRow("no calibration made, Center")
            << 1.0 << false << "not calibrated for this screen";
        QTest::newRow("no calibration made, Right")
            << 2.0 << false << "not calibrated for this screen";
        QTest::newRow("calibrated here") << 1.0 << true << "";
    }
    // Where the calibration was not made for this screen the measurement screen says so, in
    // small white text beside the results, away from the ring; the patient's screen stays black
    // but for the ring, the results and the cross. A click on the note measures as anywhere on
    // the test display.
    void calibrationNote()
    {
        QFETCH(double, place);
        QFETCH(bool, calibrated);
        QFETCH(QString, note);
        Form1 *window = open(settingsFile(1, place, 2, 567, 567), calibrated);
        QVERIFY(window);
        const auto *label = window->findChild<QLabel *>(QStringLiteral("caliNote"));
        QVERIFY(label);
        if (note.isEmpty()) {
            QVERIFY(label->isHidden());
            return;
        }
        QVERIFY(label->isVisible());
        QCOMPARE(label->text(), note);

        const auto *hpd = window->findChild<QLabel *>(QStringLiteral("HPD"));
        QCOMPARE(label->font(), hpd->font());
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(255, 255, 255));
        const QRect box = label->geometry();
        QCOMPARE(box.top(), hpd->y());
        QVERIFY(box.height() <= hpd->height());
        // On one line, whole: a note cut off or broken across lines reads as something else.
        QVERIFY(label->sizeHint().width() <= box.width());
        QVERIFY(label->sizeHint().height() <= box.height());
        QVERIFY2(box.left() >= 0 && box.right() < hpd->x(), "not left of the results");
        QVERIFY(!box.intersects(target(window)->geometry().adjusted(-43, -43, 43, 43)));
        QVERIFY(box.width() < window->width() / 4);
        // White on black, brighter than the results' grey: no colour that one eye sees and the
        // other does not.
        const QImage shot = window->grab(box).toImage();
        int brightest = 0;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                const QColor pixel = shot.pixelColor(x, y);
                QVERIFY(pixel.red() == pixel.green() && pixel.green() == pixel.blue());
                brightest = std::max(brightest, pixel.red());
            }
        }
        QCOMPARE(brightest, 255);

        click(window, box.center());
        QVERIFY(text(window, "HPD") != QStringLiteral("--"));
    }

    void screenChangeReturnsToTheStart_data()
    {
        QTest::addColumn<QString>("screen"); // measurement or calibration
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("back"); // to the start screen
        for (const char *screen : {"measurement", "calibration"}) {
            QTest::addRow("%s, new resolution", screen) << screen << "resolution" << true;
            QTest::addRow("%s, monitor added", screen) << screen << "added" << true;
            QTest::addRow("%s, monitor removed", screen) << screen << "removed" << true;
            QTest::addRow("%s, a panel moved", screen) << screen << "room" << false;
        }
    }
    // The monitors change under the measurement or the calibration (a new resolution, a monitor
    // plugged in or out): the screen goes back to the start screen as a right click or "Cancel"
    // does, saving nothing, and the start screen loads for the monitors as they are now. One
    // change of the display arrives as several signals and brings back one start screen.
    void screenChangeReturnsToTheStart()
    {
        QFETCH(QString, screen);
        QFETCH(QString, change);
        QFETCH(bool, back);
        const bool measurement = screen == QLatin1String("measurement");
        m_folder->writeSettings(settingsFile(3, 2, 1, 567, 600));
        m_program->showFrmstart();
        QTest::mouseClick(
            m_program->current()->findChild<QPushButton *>(
                measurement ? QStringLiteral("Command1") : QStringLiteral("Command3")),
            Qt::LeftButton);
        const QByteArray saved = m_folder->settings();
        const QPointer<QWidget> opened = m_program->current();
        QVERIFY(opened && QTest::qWaitForWindowExposed(opened));
        if (measurement)
            click(opened, places().right + QPoint(74, 74));
        else
            opened->findChild<QScrollBar *>(QStringLiteral("HScroll1"))->setValue(600);

        QScreen *patient = QGuiApplication::primaryScreen();
        for (int signal = 0; signal < 2; ++signal) {
            if (change == QLatin1String("resolution"))
                Q_EMIT patient->geometryChanged(patient->geometry());
            else if (change == QLatin1String("added"))
                Q_EMIT qApp->screenAdded(patient);
            else if (change == QLatin1String("removed"))
                Q_EMIT qApp->screenRemoved(patient);
            else
                Q_EMIT patient->availableGeometryChanged(patient->availableGeometry());
        }
        if (!back) {
            QTest::qWait(50);
            QCOMPARE(m_program->current(), opened.data());
            return;
        }
        QTRY_VERIFY(currentWindow<frmstart>());
        QTRY_VERIFY(opened.isNull());
        QCoreApplication::processEvents();
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.begin(), windows.end(),
                     [](const QWidget *w) { return qobject_cast<const frmstart *>(w); }),
            1);
        QCOMPARE(m_folder->settings(), saved);
        QVERIFY(!m_program->frmpictureLoaded());
        QCOMPARE(testsupport::selectedOptions(m_program->current()), (QList<int> {3, 6, 8}));
    }

    // With two monitors the clinician moves the start screen onto the patient's monitor: the
    // measurement opens there, and the start screen names the monitor beside its resolution.
    void measurementOpensWhereTheStartScreenStands()
    {
        const QList<QScreen *> screens = QGuiApplication::screens();
        if (screens.size() < 2)
            QSKIP("one monitor: the start screen names none");
        QScreen *first = screens.at(0);
        QScreen *second = screens.at(1);
        // Each monitor calibrated on its own; the first one's calibration is in use.
        m_folder->writeSettings(settingsFile(1, 1, 2, 567, 567)
            + testsupport::calibrationRecords(first->name().toLatin1(), 1024, 768, 567, 567)
            + testsupport::calibrationRecord(
                true, second->name().toLatin1(), 1280, 1024, 600, 610, "2026-01-15"));
        m_program->showFrmstart();
        auto *start = currentWindow<frmstart>();
        QVERIFY(start && QTest::qWaitForWindowExposed(start));
        QCOMPARE(testsupport::labelText(start, "resolu"),
            QStringLiteral("Screen Resolution 1024 x 768"));
        // The offscreen monitors report 100 dots per inch.
        QCOMPARE(testsupport::labelText(start, "monitor"),
            QStringLiteral("%1 (260 x 195 mm)").arg(first->name()));
        QCOMPARE(testsupport::labelText(start, "cali"),
            QStringLiteral("   Calibration Value   567 x 567"));

        // Moved onto the other monitor, the start screen shows that monitor and takes its
        // calibration into use before anything is saved or measured.
        start->showNormal();
        start->setGeometry(QRect(second->geometry().topLeft() + QPoint(40, 40), start->size()));
        QTRY_COMPARE(start->screen(), second);
        QTRY_COMPARE(testsupport::labelText(start, "resolu"),
            QStringLiteral("Screen Resolution 1280 x 1024"));
        QCOMPARE(testsupport::labelText(start, "monitor"),
            QStringLiteral("%1 (325 x 260 mm)").arg(second->name()));
        QCOMPARE(testsupport::labelText(start, "cali"),
            QStringLiteral("   Calibration Value   600 x 610"));
        QVERIFY(!start->findChild<QLabel *>(QStringLiteral("caliNote"))->isVisible());
        // The pointer stays on the first monitor: the first click measures at the nearest edge
        // of the second.
        QCursor::setPos(first, QPoint(500, 397));
        Form1 *window = startMeasurement();
        QVERIFY(window);
        QCOMPARE(window->geometry(), second->geometry());
        QCOMPARE(target(window)->pos(), QPoint(619, 491)); // 1280 x 1024
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(600, 400));
        // 625 pixels left and 100 up, with the second monitor's own calibration; on its left
        // edge, the pointer could go no further.
        QCOMPARE(text(window, "HPD"), QStringLiteral("BR: \u226526.0"));
        QCOMPARE(text(window, "VPD"), QStringLiteral("BD: 4.1"));

        QTest::keyClick(window, Qt::Key_Escape);
        start = currentWindow<frmstart>();
        QVERIFY(start && QTest::qWaitForWindowExposed(start));
        QVERIFY(second->geometry().contains(start->geometry()));
        QCOMPARE(testsupport::labelText(start, "monitor"),
            QStringLiteral("%1 (325 x 260 mm)").arg(second->name()));
        // The calibration opens there too.
        QTest::mouseClick(
            start->findChild<QPushButton *>(QStringLiteral("Command3")), Qt::LeftButton);
        auto *calibration = currentWindow<FrmCali>();
        QVERIFY(calibration && QTest::qWaitForWindowExposed(calibration));
        QCOMPARE(calibration->geometry(), second->geometry());
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
