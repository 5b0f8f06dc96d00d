// The Hess chart's geometry without a window or an application object. Every expected pixel,
// angle and area was worked out by hand from x = d tan(alpha), y = d tan(beta) / cos(alpha).
#include "clinic/hess.h"

#include <QPoint>
#include <QTest>

#include <cmath>

using namespace clinic::hess;

Q_DECLARE_METATYPE(clinic::hess::Screen)

namespace {

// Monitors calibrated from their sizes in millimetres, as a ruler finds them: ScreenV is stored
// as a whole number of pixels.
Screen calibrated(double width, double height, double widthMm, double heightMm, int cm)
{
    return {width, height, width * 150 / widthMm, std::round(height * 150 / heightMm), cm};
}
// 595.64 x 594, 542.37 x 542 and 643.22 x 643 pixels per 150 mm.
const auto laptop = [](int cm) { return calibrated(1366, 768, 344, 194, cm); };
const auto fullHd = [](int cm) { return calibrated(1920, 1080, 531, 299, cm); };
const auto qhd = [](int cm) { return calibrated(2560, 1440, 597, 336, cm); };
const auto square = [](double calibration, int cm) {
    return Screen {1024, 768, calibration, calibration, cm};
};

bool near(double value, double expected)
{
    return std::fabs(value - expected) < 0.005;
}

} // namespace

class TestHess final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void viewingDistance_data()
    {
        QTest::addColumn<settings::Stored>("stored");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("cm");
        QTest::addColumn<bool>("fellBack");
        using settings::Stored;
        QTest::newRow("nothing stored") << Stored::Nothing << 0.0 << 60 << false;
        QTest::newRow("45") << Stored::Number << 45.0 << 45 << false;
        QTest::newRow("25") << Stored::Number << 25.0 << 25 << false;
        QTest::newRow("200") << Stored::Number << 200.0 << 200 << false;
        QTest::newRow("24") << Stored::Number << 24.0 << 60 << true;
        QTest::newRow("201") << Stored::Number << 201.0 << 60 << true;
        QTest::newRow("45.5") << Stored::Number << 45.5 << 60 << true;
        QTest::newRow("unreadable") << Stored::Unreadable << 0.0 << 60 << true;
    }
    void viewingDistance()
    {
        QFETCH(settings::Stored, stored);
        QFETCH(double, value);
        const ViewingDistance distance = clinic::hess::viewingDistance(stored, value);
        QTEST(distance.cm, "cm");
        QTEST(distance.fellBack, "fellBack");
    }

    // The ring's corner for a target, whether it fits, and its angles back from its place.
    void places_data()
    {
        QTest::addColumn<Screen>("screen");
        QTest::addColumn<double>("alpha");
        QTest::addColumn<double>("beta");
        QTest::addColumn<QPoint>("corner");
        QTest::addColumn<bool>("fits");
        const auto row = [](const char *name, Screen screen, double alpha, double beta, int x,
                             int y, bool fits) {
            QTest::newRow(name) << screen << alpha << beta << QPoint(x, y) << fits;
        };
        // Its centre 21.49 from the top: 0.49 of a pixel to spare.
        row("laptop 33 (15, 15)", laptop(33), 15, 15, 1013, 0, true);
        // Its centre at 746.508: the bottom row 768 misses by a hundredth of a pixel.
        row("laptop 33 (-15, -15)", laptop(33), -15, -15, 311, 726, false);
        row("laptop 33 (0, -15)", laptop(33), 0, -15, 662, 713, true);
        row("laptop 40 (0, 15)", laptop(40), 0, 15, 662, -61, false);
        row("laptop 40 (-15, 0)", laptop(40), -15, 0, 236, 363, true);
        row("laptop 60 (-15, 0)", laptop(60), -15, 0, 24, 363, true);
        row("laptop 60 (15, 0)", laptop(60), 15, 0, 1300, 363, true);
        row("full HD 33 (30, 15)", fullHd(33), 30, 15, 1628, 150, true);
        row("full HD 33 (-15, 30)", fullHd(33), -15, 30, 619, -194, false);
        row("full HD 40 (-30, -15)", fullHd(40), -30, -15, 104, 966, true);
        row("full HD 40 (15, -30)", fullHd(40), 15, -30, 1327, 1383, false);
        row("full HD 60 (15, 0)", fullHd(60), 15, 0, 1520, 519, true);
        row("full HD 60 (0, -15)", fullHd(60), 0, -15, 939, 1100, false);
        row("QHD 33 (-30, 0)", qhd(33), -30, 0, 442, 699, true);
        row("QHD 33 (30, 30)", qhd(33), 30, 30, 2076, -244, false);
        row("QHD 40 (30, -15)", qhd(40), 30, -15, 2249, 1230, true);
        row("QHD 40 (-30, 30)", qhd(40), -30, 30, 269, -444, false);
        row("QHD 60 (0, 15)", qhd(60), 0, 15, 1259, 10, true);
        row("QHD 60 (-15, 15)", qhd(60), -15, 15, 570, -14, false);
        // The ring's last column on the screen's last.
        row("1024 x 768, 457, (15, 0)", square(457, 60), 15, 0, 981, 363, true);
        // The three-target Center ring's corner, odd sizes rounding up and left.
        row("1024 x 768 centre", square(567, 60), 0, 0, 491, 363, true);
        row("1025 x 1049 centre", Screen {1025, 1049, 567, 567, 60}, 0, 0, 491, 503, true);
        // Turns the targets never take, near (100 pixels per 150 mm, 20 cm: 133.3 pixels away):
        // 45, 60 and 75 degrees come from the exact values, 20 and 10 from the maths library.
        row("near (60, 0)", square(100, 20), 60, 0, 722, 363, true);
        row("near (-45, 60)", square(100, 20), -45, 60, 358, 36, true);
        row("near (-75, 0)", square(100, 20), -75, 0, -7, 363, false);
        row("near (20, -10)", square(100, 20), 20, -10, 540, 388, true);
    }
    void places()
    {
        QFETCH(Screen, screen);
        QFETCH(double, alpha);
        QFETCH(double, beta);
        const Pixel corner = ringCorner({alpha, beta}, screen);
        QTEST(QPoint(corner.x, corner.y), "corner");
        QTEST(fits({alpha, beta}, screen), "fits");
        const Angles back = anglesAt(place({alpha, beta}, screen), screen);
        QVERIFY(std::fabs(back.alpha - alpha) < 0.01 && std::fabs(back.beta - beta) < 0.01);
    }

    // Which targets are "not on this screen" (indices in presentation order), whether each field
    // fits, and the largest distance for the inner field.
    void fields_data()
    {
        QTest::addColumn<Screen>("screen");
        QTest::addColumn<QList<int>>("skipped");
        QTest::addColumn<bool>("inner");
        QTest::addColumn<bool>("outer");
        QTest::addColumn<int>("largest");
        const QList<int> corners {9, 10, 11, 15, 16, 17, 18, 19, 23, 24};
        QList<int> outer;
        for (int i = 9; i < 25; ++i)
            outer << i;
        const QList<int> allButCross = QList<int> {1, 2, 4, 5, 6, 8} + outer;
        const QList<int> laptop33 = QList<int> {4, 6} + outer;
        QTest::newRow("laptop 33") << laptop(33) << laptop33 << false << false << 32;
        QTest::newRow("laptop 60") << laptop(60) << allButCross << false << false << 32;
        // The figure: the monitor's own size, before ScreenV is stored whole.
        QTest::newRow("laptop 33, 593.81 down")
            << Screen {1366, 768, 1366 * 150 / 344.0, 768 * 150 / 194.0, 33} << outer << true
            << false << 33;
        QTest::newRow("full HD 40") << fullHd(40) << corners << true << false << 51;
        QTest::newRow("full HD 60") << fullHd(60) << allButCross << false << false << 51;
        QTest::newRow("QHD 60") << qhd(60) << QList<int> {2, 4, 6, 8} + allButCross.mid(6) << false
                                << false << 58;
        QTest::newRow("32-inch 4K 29")
            << calibrated(3840, 2160, 708, 398, 29) << QList<int> {} << true << true << 70;
        QTest::newRow("32-inch 4K 30") << calibrated(3840, 2160, 708, 398, 30)
                                       << QList<int> {11, 15, 19, 23} << true << false << 70;
    }
    void fields()
    {
        QFETCH(Screen, screen);
        QList<int> skipped;
        for (std::size_t i = 0; i < kTargets.size(); ++i) {
            if (!fits(kTargets[i].gaze, screen))
                skipped << int(i);
        }
        QTEST(skipped, "skipped");
        QTEST(fieldFits(Field::Inner, screen), "inner");
        QTEST(fieldFits(Field::Outer, screen), "outer");
        QTEST(largestInnerDistance(screen).value_or(0), "largest");
    }

    // A click turned into a deviation in degrees and prism dioptres. At the centre at 60 cm the
    // numbers are the three-target screen's; off the axes they are 100 tan of the angle, not the
    // offset on the screen (2.1 for the (15, 15) target's 20 pixels down at 25 cm).
    void dioptres_data()
    {
        QTest::addColumn<Screen>("screen");
        QTest::addColumn<double>("alpha");
        QTest::addColumn<double>("beta");
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<double>("across");
        QTest::addColumn<double>("up");
        QTest::addColumn<QString>("acrossText");
        QTest::addColumn<QString>("downText");
        const auto row = [](const char *name, Screen screen, Angles target, QPoint pointer,
                             Angles deviation, const char *across, const char *down) {
            QTest::newRow(name) << screen << target.alpha << target.beta << pointer
                                << deviation.alpha << deviation.beta << QString::fromLatin1(across)
                                << QString::fromLatin1(down);
        };
        // Center's reference point on 1024 x 768 is (497, 369); a click off it along one axis
        // gives the three-target numbers.
        row("centre, on the ring", square(567, 60), {}, {497, 369}, {}, "BL: 0.0", "BU: 0");
        row("centre, right and up", square(567, 60), {}, {534, 349}, {0.9346, 0.5052}, "BL: 1.6",
            "BD: 0.9");
        row("centre, left", square(567, 60), {}, {460, 369}, {-0.9346, 0}, "BR: 1.6", "BU: 0");
        row("centre, down", square(567, 60), {}, {497, 389}, {0, -0.5052}, "BL: 0.0", "BU: 0.9");
        row("centre, a half across", square(500, 60), {}, {504, 369}, {0.2005, 0}, "BL: 0.4",
            "BU: 0");
        row("centre, a half down", square(500, 60), {}, {497, 376}, {0, -0.2005}, "BL: 0.0",
            "BU: 0.4");
        // Both at once, the cross stands off the vertical axis: Fick's beta is the offset's
        // angle times cos alpha, 0.34999 prism dioptres where the screen's offset is 0.35.
        row("centre, a half, diagonal", square(500, 60), {}, {504, 376}, {0.2005, -0.2005},
            "BL: 0.4", "BU: 0.3");
        row("centre at 40 cm", square(567, 40), {}, {534, 349}, {1.4018, 0.7576}, "BL: 2.4",
            "BD: 1.3");
        row("(15, 0) at 25 cm", square(567, 25), {15, 0}, {787, 369}, {2.0719, 0}, "BL: 3.6",
            "BU: 0");
        row("(15, 15) at 25 cm, down", square(567, 25), {15, 15}, {750, 127}, {0, -1.0983},
            "BL: 0.0", "BU: 1.9");
        row("(15, 15) at 25 cm", square(567, 25), {15, 15}, {787, 127}, {2.0719, -1.2366},
            "BL: 3.6", "BU: 2.2");
    }
    void dioptres()
    {
        QFETCH(Screen, screen);
        QFETCH(double, alpha);
        QFETCH(double, beta);
        QFETCH(QPoint, pointer);
        QFETCH(double, across);
        QFETCH(double, up);
        const PointResult result
            = measurePoint({alpha, beta}, {double(pointer.x()), double(pointer.y())}, screen);
        QVERIFY2(near(result.deviation.alpha, across) && near(result.deviation.beta, up),
            qPrintable(
                QStringLiteral("%1, %2").arg(result.deviation.alpha).arg(result.deviation.beta)));
        const auto inPrism = dioptresAcross(result.deviation.alpha, screen.screenH);
        const auto downPrism = dioptresDown(result.deviation.beta, qint16(screen.screenV));
        QTEST(inPrism->shown(), "acrossText");
        QTEST(downPrism->shown(), "downText");
        const QPoint offset = pointer - QPoint(497, 369);
        if (alpha == 0 && beta == 0 && screen.distanceCm == 60
            && (offset.x() == 0 || offset.y() == 0)) {
            QCOMPARE(inPrism->shown(), clinic::across(float(offset.x()), screen.screenH)->shown());
            QCOMPARE(downPrism->shown(),
                clinic::down(float(offset.y()), qint16(screen.screenV))->shown());
        }
    }

    void edges()
    {
        const auto bound = [](double x, double y) {
            const Bound b = atEdge({x, y}, 1024, 768);
            return QPair<bool, bool>(b.acrossAtLeast, b.downAtLeast);
        };
        QCOMPARE(bound(0, 300), qMakePair(true, false));
        QCOMPARE(bound(1023, 767), qMakePair(true, true));
        QCOMPARE(bound(500, 0), qMakePair(false, true));
        QCOMPARE(bound(1022, 766), qMakePair(false, false));
    }

    // 15 straight lines of constant alpha, then 15 curved ones of constant beta, a point a degree.
    void chartGrid()
    {
        const std::vector<GridLine> lines = grid();
        QCOMPARE(lines.size(), 30U);
        const GridLine &alpha30 = lines[13];
        QVERIFY(alpha30.constantAlpha && alpha30.degrees == 30);
        QVERIFY(near(alpha30.points.front().x, 0.5774) && near(alpha30.points.back().x, 0.5774));
        const GridLine &beta10 = lines[24];
        QVERIFY(!beta10.constantAlpha && beta10.degrees == 10 && beta10.points.size() == 71);
        // At alpha 30 the line of beta 10 stands 0.2036 up, not tan 10 = 0.1763.
        const Tangent at30 = beta10.points[65];
        QVERIFY(std::fabs(at30.x - 0.577350) < 1e-6 && std::fabs(at30.y - 0.203605) < 1e-6);
    }

    void fieldAreas()
    {
        const std::vector<Tangent> triangle {{0, 0}, {0.4, 0}, {0.4, 0.3}};
        QCOMPARE(polygonArea(triangle), 0.06);
        QCOMPARE(*areaPercentage(0.06, 0.08), 75.0);
        QVERIFY(!areaPercentage(0.06, 0));

        // One eye on its targets, the other on half their angles.
        std::vector<std::optional<PointResult>> right(kInnerCount), left(kInnerCount);
        for (std::size_t i = 0; i < kInnerCount; ++i) {
            const Angles gaze = kTargets[i].gaze;
            right[i] = PointResult {gaze, gaze, {}, {}};
            left[i] = PointResult {gaze, {gaze.alpha / 2, gaze.beta / 2}, {}, {}};
        }
        const double rightArea = *innerFieldArea(right);
        QVERIFY(std::fabs(rightArea - 0.292253) < 1e-6);
        QVERIFY(near(*areaPercentage(*innerFieldArea(left), rightArea), 23.8248));
        left[5].reset();
        QVERIFY(!innerFieldArea(left));
    }

    // The largest deviation by its length in degrees; of equals, the first shown.
    void largestDeviation()
    {
        std::vector<std::optional<PointResult>> eye(kInnerCount);
        QVERIFY(!clinic::hess::largestDeviation(eye));
        eye[0] = PointResult {{}, {}, {1, 0}, {}};
        eye[3] = PointResult {{}, {}, {0, -2}, {}};
        eye[5] = PointResult {{}, {}, {2, 0}, {}};
        eye[7] = PointResult {{}, {}, {1.5, 1}, {}};
        QCOMPARE(clinic::hess::largestDeviation(eye), std::optional<std::size_t>(3));
    }
};

QTEST_GUILESS_MAIN(TestHess)
#include "test_hess.moc"
