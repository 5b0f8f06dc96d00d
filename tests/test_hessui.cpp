// The Hess window driven through its real window from the start screen, and the chart painter
// rendered into an image. Every expected corner, angle and pixel was worked out by hand from
// x = d tan(alpha), y = d tan(beta) / cos(alpha): 300 pixels per 150 mm at 60 cm is d = 1200
// pixels on the 1024 x 768 screen, where the inner field fits and the outer does not.
#include "hess/hesswindow.h"
#include "hesschart/hesschart.h"
#include "results/frmresults.h"
#include "start/frmstart.h"
#include "tests/testmain.h"
#include "tests/testsupport.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QWindow>

using clinic::hess::Eye;
using clinic::hess::Test;

namespace {
// The ring's corner at each inner target, in presentation order.
const QList<QPoint> kCorners = {{491, 363}, {491, 41}, {813, 30}, {813, 363}, {813, 696},
    {491, 685}, {169, 696}, {169, 363}, {169, 30}};

bool near(double value, double expected)
{
    return std::fabs(value - expected) < 0.0005;
}
bool isBlack(const QImage &image, QPoint at)
{
    return QColor(image.pixel(at)).lightness() < 40;
}
} // namespace

class TestHessUi final : public testsupport::ProgramTest
{
    Q_OBJECT

private:
    HessWindow *openFromStart(bool outer, bool byKey, const QByteArray &distance = "60",
        const QByteArray &screenH = "300")
    {
        m_folder->writeSettings("[Filter]\nFILTER= 1\nTARGET= 1\nFIXEYE= 1\nDISTANCE= " + distance
            + "\n[Screen]\nSCREENH= " + screenH + "\nSCREENV= 300\n");
        m_program->showFrmstart();
        auto *start = currentWindow<frmstart>();
        if (!start || !QTest::qWaitForWindowActive(start))
            return nullptr;
        start->findChild<QRadioButton *>(QLatin1String(outer ? "Option11" : "Option10"))->click();
        if (byKey)
            QTest::keyClick(start, Qt::Key_H, Qt::ControlModifier);
        else
            start->findChild<QPushButton *>(QStringLiteral("Command5"))->click();
        auto *window = currentWindow<HessWindow>();
        return window && QTest::qWaitForWindowExposed(window) ? window : nullptr;
    }
    // A click `offset` pixels from where the ring's reference point stands at target `index`,
    // after the ring was seen there.
    static void clickAt(HessWindow *window, int index, QPoint offset = {})
    {
        QCOMPARE(window->findChild<QLabel *>(QStringLiteral("target"))->pos(), kCorners[index]);
        QTest::mouseClick(
            window->windowHandle(), Qt::LeftButton, {}, kCorners[index] + QPoint(6, 6) + offset);
    }

private Q_SLOTS:
    // Nine points for each eye, OD fixing first: the centre clicked 12 right and 6 up, the
    // point above clicked, gone back to with Backspace and clicked again 6 right, the next
    // skipped with Space, the corners below right and, for the second eye, the centre off by
    // hand-computed offsets. The test ends by itself after the last point.
    void nineEachEye()
    {
        HessWindow *window = openFromStart(false, false);
        QVERIFY(window);
        clickAt(window, 0, {12, -6});
        clickAt(window, 1, {30, 30});
        QTest::keyClick(window, Qt::Key_Backspace);
        clickAt(window, 1, {6, 0});
        clickAt(window, 2);
        QTest::keyClick(window, Qt::Key_Space);
        for (int i = 4; i < 9; ++i)
            clickAt(window, i, i == 4 ? QPoint(-8, 4) : QPoint());
        for (int i = 0; i < 9; ++i)
            clickAt(window, i, i == 0 ? QPoint(-24, 0) : QPoint());
        QTRY_VERIFY(currentWindow<frmstart>());

        const QList<Test> &tests = m_program->hessTests();
        QCOMPARE(tests.size(), 2);
        QCOMPARE(tests[0].fixing, Eye::Right);
        QCOMPARE(tests[0].plotted, Eye::Left);
        QCOMPARE(tests[1].fixing, Eye::Left);
        QCOMPARE(tests[1].plotted, Eye::Right);
        for (const Test &test : tests) {
            QVERIFY(test.complete);
            QCOMPARE(test.points.size(), std::size_t(9));
            QCOMPARE(test.distanceCm, 60);
            QVERIFY(test.notOnScreen.isEmpty());
        }
        const Test &first = tests[0];
        QCOMPARE(first.skipped, QList<int> {3});
        QVERIFY(!first.points[3]);
        const auto measured = [](const Test &test, std::size_t i) {
            return test.points[i] ? test.points[i]->measured : clinic::hess::Angles {-99, -99};
        };
        const QList<std::pair<clinic::hess::Angles, clinic::hess::Angles>> expected = {
            {measured(first, 0), {0.572939, 0.286462}},
            {measured(first, 1), {0.286477, 14.999821}},
            {measured(first, 2), {15, 15}},
            {measured(first, 4), {14.643025, -15.195859}},
            {measured(first, 8), {-15, 15}},
            {measured(tests[1], 0), {-1.145763, 0}},
            {measured(tests[1], 6), {-15, -15}},
        };
        for (const auto &[got, want] : expected) {
            QVERIFY2(near(got.alpha, want.alpha) && near(got.beta, want.beta),
                qPrintable(QStringLiteral("%1, %2").arg(got.alpha).arg(got.beta)));
        }
        QVERIFY(near(first.points[4]->deviation.alpha, 14.643025 - 15));
    }

    // Esc half way through the first eye of a 25-point test (reached by Ctrl+H): the points
    // measured stay, the outer field is listed as not on this screen, and the test is partial;
    // the visit holds it as a result to keep, list and copy.
    // At 40 cm the targets stand at 800 pixels' distance instead of 1200: the point above at
    // 384 - 800 tan 15 = 169.64 from the top, the one above right 512 + 214.36 across and
    // 384 - 214.36 / cos 15 = 162.08 down; the corners 21 up and left of these.
    void theDistanceSetPlacesTheTargets()
    {
        HessWindow *window = openFromStart(false, false, "40");
        QVERIFY(window);
        // Never calibrated on this monitor: the note says so in the measurement screen's white.
        const auto *note = window->findChild<QLabel *>(QStringLiteral("caliNote"));
        QVERIFY(note->isVisible());
        QCOMPARE(note->palette().color(QPalette::WindowText), QColor(255, 255, 255));
        const auto *ring = window->findChild<QLabel *>(QStringLiteral("target"));
        QCOMPARE(ring->pos(), QPoint(491, 363));
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, QPoint(497, 369));
        QCOMPARE(ring->pos(), QPoint(491, 149));
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, QPoint(497, 155));
        QCOMPARE(ring->pos(), QPoint(705, 141));
        QTest::keyClick(window, Qt::Key_Escape);
        QTRY_VERIFY(currentWindow<frmstart>());
        QCOMPARE(m_program->hessTests().constFirst().distanceCm, 40);
    }

    // The clinician's lines never cross the ring. At 25 cm, 400 pixels per 150 mm across and
    // 300 down, the ring of (30°, 30°) stands at 512 + 666.7 tan 30 - 21 = 875.9 across and
    // 384 - 500 tan 30 / cos 30 - 21 = 29.7 down, under the top right corner's lines: they stand
    // at the top left instead.
    void linesGiveWayToTheRing()
    {
        HessWindow *window = openFromStart(true, true, "25", "400");
        QVERIFY(window);
        const auto *ring = window->findChild<QLabel *>(QStringLiteral("target"));
        const auto *progress = window->findChild<QLabel *>(QStringLiteral("progress"));
        const auto *note = window->findChild<QLabel *>(QStringLiteral("caliNote"));
        QList<QPoint> topLeft;
        for (; m_program->current() == window; QTest::keyClick(window, Qt::Key_Space)) {
            QVERIFY(!ring->geometry().intersects(progress->geometry())
                && !ring->geometry().intersects(note->geometry()));
            if (progress->x() == 8)
                topLeft << ring->pos();
        }
        QCOMPARE(topLeft, QList<QPoint>({{876, 30}, {876, 30}}));
    }

    void escapeHalfWay()
    {
        HessWindow *window = openFromStart(true, true);
        QVERIFY(window);
        for (int i = 0; i < 4; ++i)
            clickAt(window, i);
        QTest::keyClick(window, Qt::Key_Escape);
        QTRY_VERIFY(currentWindow<frmstart>());
        const QList<Test> &tests = m_program->hessTests();
        QCOMPARE(tests.size(), 1);
        const Test &test = tests[0];
        QCOMPARE(test.field, clinic::hess::Field::Outer);
        QCOMPARE(test.plotted, Eye::Left);
        QVERIFY(!test.complete);
        QCOMPARE(test.points.size(), std::size_t(25));
        QList<int> outer;
        for (int i = 9; i < 25; ++i)
            outer << i;
        QCOMPARE(test.notOnScreen, outer);
        QVERIFY(test.points[3] && !test.points[4]);
        QVERIFY(near(test.points[3]->measured.alpha, 15) && near(test.points[3]->measured.beta, 0));

        // The partial test is a result of the visit: Esc on the start screen asks, Enter stays.
        auto *start = currentWindow<frmstart>();
        {
            testsupport::DialogAnswer<QMessageBox> asked(
                [](QMessageBox *box) { testsupport::answerBox(box, QStringLiteral("Enter")); });
            QTest::keyClick(start, Qt::Key_Escape);
            QCOMPARE(asked.count(), 1);
        }
        QVERIFY(!m_program->ended());

        // The Results window opens on the three targets, as it always has; its Hess filter lists
        // the test's 25 targets alone, each marked incomplete, with the charts beside them.
        QTest::keyClick(start, Qt::Key_R, Qt::ControlModifier);
        auto *results = start->findChild<FrmResults *>();
        QVERIFY(results && QTest::qWaitForWindowExposed(results));
        auto *filter = results->findChild<QComboBox *>(QStringLiteral("filter"));
        auto *table = results->findChild<QTableView *>(QStringLiteral("results"));
        auto *hessTable = results->findChild<QTableView *>(QStringLiteral("hessResults"));
        auto *charts = results->findChild<QWidget *>(QStringLiteral("hessChart"));
        QCOMPARE(filter->currentIndex(), 0);
        QVERIFY(table->isVisible() && !hessTable->isVisible() && !charts->isVisible());
        QCOMPARE(table->model()->rowCount(), 0);
        filter->setCurrentIndex(1);
        QVERIFY(!table->isVisible() && hessTable->isVisible() && charts->isVisible());
        const QAbstractItemModel *rows = hessTable->model();
        QCOMPARE(rows->rowCount(), 25);
        const auto row = [&](int r) {
            QStringList cells;
            for (int c = 0; c < rows->columnCount(); ++c)
                cells << rows->index(r, c).data().toString();
            return cells.mid(1); // the time is the clock's
        };
        QCOMPARE(row(1),
            QStringList({"incomplete", "OS", "OD", "inner", "0.0°  15.0°", "0.0°  15.0°",
                "0.0°  0.0°", "BL: 0.0", "BU: 0", "not calibrated for this screen"}));
        QCOMPARE(row(4),
            QStringList({"incomplete", "OS", "OD", "inner", "15.0°  -15.0°", "not measured", "", "",
                "", "not calibrated for this screen"}));
        QCOMPARE(row(24).mid(3, 3), QStringList({"outer", "-15.0°  30.0°", "not on this screen"}));

        // Copied, the visit goes without a question.
        QTest::mouseClick(
            results->findChild<QPushButton *>(QStringLiteral("CopyAll")), Qt::LeftButton);
        QVERIFY(QGuiApplication::clipboard()->text().contains(
            QStringLiteral("Hess OS plotted, OD fixing, outer field, target α -15.0° β 30.0°: not "
                           "on this screen")));
        QTest::keyClick(results, Qt::Key_Escape);
        QTRY_VERIFY(!start->findChild<FrmResults *>());
        testsupport::DialogAnswer<QMessageBox> asked(
            [](QMessageBox *box) { testsupport::answerBox(box, QStringLiteral("Enter")); });
        QTest::keyClick(start, Qt::Key_Escape);
        QCOMPARE(asked.count(), 0);
        QVERIFY(m_program->ended());
    }

    // The charts in a 1000 x 600 area: a title band of 50 pixels, squares of 450 at x 25 and
    // 525, 225 pixels from a square's centre to the grid's furthest reach (tan 35 / cos 35).
    void chartPlaces()
    {
        const hesschart::Layout at = hesschart::layout(QRectF(0, 0, 1000, 600));
        QCOMPARE(at.left, QRectF(25, 50, 450, 450));
        QCOMPARE(at.right, QRectF(525, 50, 450, 450));
        const QPointF target = hesschart::toChart(at.left, clinic::hess::tangentPoint({15, 15}));
        QVERIFY(
            std::fabs(target.x() - 320.5298) < 0.001 && std::fabs(target.y() - 201.9822) < 0.001);

        // The left eye looked at (17, 12) when asked for (15, 15), the right eye at (-17, -12)
        // when asked for (-15, -15): each eye's dot in its own chart only.
        Test left;
        left.fixing = Eye::Right;
        left.points.resize(9);
        left.points[2] = clinic::hess::PointResult {{15, 15}, {17, 12}, {2, -3}, {}};
        Test right = left;
        right.plotted = Eye::Right;
        right.fixing = Eye::Left;
        right.points[2].reset();
        right.points[6] = clinic::hess::PointResult {{-15, -15}, {-17, -12}, {-2, 3}, {}};
        QImage image(1000, 600, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            hesschart::paintCharts(painter, image.rect(), {right, left});
        }
        QVERIFY(isBlack(image, {330, 216}));
        QVERIFY(!isBlack(image, {830, 216}));
        QVERIFY(isBlack(image, {670, 334}));
        QVERIFY(!isBlack(image, {170, 334}));

        QCOMPARE(hesschart::notes(hesschart::latestPerEye({right, left})),
            QStringList({QStringLiteral("Inner field: compared once the 8 points round the centre "
                                        "are measured for both eyes."),
                QString::fromUtf8("Largest deviation, an aid to reading the charts and not a "
                                  "diagnosis: left eye 3.6° looking up and right; right eye 3.6° "
                                  "looking down and left.")}));
    }
};

KELVANE_TEST_MAIN(TestHessUi)
#include "test_hessui.moc"
