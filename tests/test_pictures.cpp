#include "pictures/pointers.h"
#include "testmain.h"

#include <QImage>
#include <QPixmap>
#include <QSet>
#include <QStringList>

#include <functional>

namespace {
const QRgb kPanel = qRgb(166, 202, 240);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);

// The ring's pixels, row 0 to row 42, as runs of columns; every other pixel is black.
const char *const kRingRows[43] = {
    "16-25",
    "12-29",
    "11-31",
    "10-32",
    "8-34",
    "7-16 27-35",
    "6-13 29-36",
    "5-12 30-37",
    "4-10 32-38",
    "3-9 33-39",
    "3-8 34-39",
    "2-7 35-40",
    "1-6 36-41",
    "1-6 36-41",
    "1-5 37-41",
    "1-5 37-41",
    "0-5 37-42",
    "0-4 38-42", // 17
    "0-4 38-42",
    "0-4 38-42",
    "0-4 38-42",
    "0-4 38-42", // 21, the middle row: a hole of 33 pixels
    "0-4 38-42",
    "0-4 38-42",
    "0-4 38-42",
    "0-4 38-42", // 25
    "1-4 38-41",
    "1-5 37-41",
    "1-5 37-41",
    "1-6 36-41",
    "1-6 36-41",
    "2-7 35-40",
    "3-8 34-39",
    "3-8 34-39",
    "4-10 32-38",
    "5-11 31-37",
    "5-13 29-37",
    "6-16 27-36",
    "8-34",
    "9-33",
    "11-31",
    "12-29",
    "16-25",
};

bool onRing(int x, int y)
{
    const QStringList runs = QString::fromLatin1(kRingRows[y]).split(QLatin1Char(' '));
    for (const QString &run : runs) {
        const QStringList ends = run.split(QLatin1Char('-'));
        if (x >= ends[0].toInt() && x <= ends[1].toInt())
            return true;
    }
    return false;
}

QImage picture(const QString &name)
{
    return QImage(QStringLiteral(":/pictures/") + name).convertToFormat(QImage::Format_ARGB32);
}

// The smallest rectangle around the pixels of `image` inside `area` that match.
QRect pixelsWhere(const QImage &image, QRect area, const std::function<bool(QRgb)> &match)
{
    QRect found;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (match(image.pixel(x, y)))
                found |= QRect(x, y, 1, 1);
        }
    }
    return found;
}

auto is(QRgb colour)
{
    return [colour](QRgb pixel) { return pixel == colour; };
}
auto isNot(QRgb colour)
{
    return [colour](QRgb pixel) { return pixel != colour; };
}

QPoint middle(QRect rect)
{
    return {(rect.left() + rect.right()) / 2, (rect.top() + rect.bottom()) / 2};
}

} // namespace

class TestPictures : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pictureIsAResourceOfItsSize_data();
    void pictureIsAResourceOfItsSize();
    void ringFollowsItsRowTable_data();
    void ringFollowsItsRowTable();
    void pointerImageIsAnOpaqueCrossWithItsHotSpot_data();
    void pointerImageIsAnOpaqueCrossWithItsHotSpot();
    void unknownPointerNumberHasNoImage_data();
    void unknownPointerNumberHasNoImage();
    void crossCentredOnRingReportsNearTheReferencePoint_data();
    void crossCentredOnRingReportsNearTheReferencePoint();
    void instructionPictureHasExactlyThreeColours();
    void instructionDrawingIsAtItsPlace_data();
    void instructionDrawingIsAtItsPlace();
    void instructionArcsLeaveRoomForTheTexts();
    void titleIsBlueLetteringOnAPanel();
    void titleWordsFillTheirBoxes_data();
    void titleWordsFillTheirBoxes();
    void titleMakerLinesAreCentredInTheirRows_data();
    void titleMakerLinesAreCentredInTheirRows();
};

void TestPictures::pictureIsAResourceOfItsSize_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::newRow("red ring") << "ring_red.png" << QSize(43, 43);
    QTest::newRow("blue ring") << "ring_blue.png" << QSize(43, 43);
    QTest::newRow("green ring") << "ring_green.png" << QSize(43, 43);
    QTest::newRow("pointer 101") << "pointer101.png" << QSize(32, 32);
    QTest::newRow("pointer 102") << "pointer102.png" << QSize(32, 32);
    QTest::newRow("pointer 103") << "pointer103.png" << QSize(32, 32);
    QTest::newRow("title") << "title.bmp" << QSize(254, 195);
    QTest::newRow("instructions") << "instructions.png" << QSize(486, 355);
}

void TestPictures::pictureIsAResourceOfItsSize()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    // The windows load their pictures through QPixmap by these very names.
    const QPixmap pixmap(QStringLiteral(":/pictures/") + name);
    QVERIFY2(!pixmap.isNull(), qPrintable(name));
    QCOMPARE(pixmap.size(), size);
}

void TestPictures::ringFollowsItsRowTable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRgb>("colour");
    QTest::newRow("red") << "ring_red.png" << qRgb(160, 32, 0);
    QTest::newRow("blue") << "ring_blue.png" << qRgb(0, 0, 255);
    QTest::newRow("green") << "ring_green.png" << qRgb(0, 160, 0);
}

void TestPictures::ringFollowsItsRowTable()
{
    QFETCH(QString, name);
    QFETCH(QRgb, colour);
    const QImage ring = picture(name);
    QCOMPARE(ring.size(), QSize(43, 43));
    int ringPixels = 0;
    int blackPixels = 0;
    for (int y = 0; y < 43; ++y) {
        for (int x = 0; x < 43; ++x) {
            const QRgb wanted = onRing(x, y) ? colour : kBlack;
            const QRgb pixel = ring.pixel(x, y);
            QVERIFY2(pixel == wanted,
                qPrintable(QStringLiteral("pixel %1,%2 is #%3").arg(x).arg(y).arg(pixel, 8, 16)));
            ++(pixel == colour ? ringPixels : blackPixels);
        }
    }
    QCOMPARE(ringPixels, 604);
    QCOMPARE(blackPixels, 1245);
}

void TestPictures::pointerImageIsAnOpaqueCrossWithItsHotSpot_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QRgb>("colour");
    QTest::addColumn<QPoint>("hotSpot");
    QTest::newRow("101 red") << 101 << qRgb(153, 0, 0) << QPoint(1, 1);
    QTest::newRow("102 blue") << 102 << qRgb(0, 0, 255) << QPoint(0, 0);
    QTest::newRow("103 green") << 103 << qRgb(0, 153, 0) << QPoint(1, 1);
}

void TestPictures::pointerImageIsAnOpaqueCrossWithItsHotSpot()
{
    QFETCH(int, number);
    QFETCH(QRgb, colour);
    QFETCH(QPoint, hotSpot);
    const std::optional<QCursor> pointer = loadPointerImage(number);
    QVERIFY(pointer.has_value());
    QCOMPARE(pointer->shape(), Qt::BitmapCursor);
    QCOMPARE(pointer->hotSpot(), hotSpot);
    const QPixmap pixmap = pointer->pixmap();
    QCOMPARE(pixmap.devicePixelRatio(), 1.0);
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(32, 32));
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            // Bars five pixels thick over columns and rows 13 to 17, 31 pixels long.
            const bool onCross = (x >= 13 && x <= 17 && y <= 30) || (y >= 13 && y <= 17 && x <= 30);
            const QRgb pixel = image.pixel(x, y);
            const QString where
                = QStringLiteral("pixel %1,%2 is #%3").arg(x).arg(y).arg(pixel, 8, 16);
            if (onCross)
                QVERIFY2(pixel == colour, qPrintable(where)); // opaque, in the cross colour
            else
                QVERIFY2(qAlpha(pixel) == 0, qPrintable(where));
        }
    }
}

void TestPictures::unknownPointerNumberHasNoImage_data()
{
    QTest::addColumn<int>("number");
    QTest::newRow("never chosen") << 0;
    QTest::newRow("custom pointer style number") << 99;
    QTest::newRow("just below") << 100;
    QTest::newRow("just above") << 104;
    QTest::newRow("negative") << -101;
}

void TestPictures::unknownPointerNumberHasNoImage()
{
    QFETCH(int, number);
    QVERIFY(!loadPointerImage(number).has_value());
}

void TestPictures::crossCentredOnRingReportsNearTheReferencePoint_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("ring");
    QTest::addColumn<QPoint>("reported");
    // Each pointer with a ring it is shown against on the measurement screen.
    QTest::newRow("102 on red") << 102 << "ring_red.png" << QPoint(6, 6);
    QTest::newRow("101 on blue") << 101 << "ring_blue.png" << QPoint(7, 7);
    QTest::newRow("103 on red") << 103 << "ring_red.png" << QPoint(7, 7);
}

void TestPictures::crossCentredOnRingReportsNearTheReferencePoint()
{
    QFETCH(int, number);
    QFETCH(QString, ring);
    QFETCH(QPoint, reported);
    // Centres as the patient sees them: the middle of the ring along its middle row and column,
    // the middle of the cross's bars where they cross the image's first row and column.
    const QImage ringImage = picture(ring);
    const QPoint ringCentre(middle(pixelsWhere(ringImage, QRect(0, 21, 43, 1), isNot(kBlack))).x(),
        middle(pixelsWhere(ringImage, QRect(21, 0, 1, 43), isNot(kBlack))).y());
    const std::optional<QCursor> pointer = loadPointerImage(number);
    QVERIFY(pointer.has_value());
    const QImage cross = pointer->pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    auto opaque = [](QRgb pixel) { return qAlpha(pixel) == 255; };
    const QPoint crossCentre(middle(pixelsWhere(cross, QRect(0, 0, 32, 1), opaque)).x(),
        middle(pixelsWhere(cross, QRect(0, 0, 1, 32), opaque)).y());
    // The pointer reports its hot spot; with the cross's centre on the ring's centre that is:
    QCOMPARE(ringCentre - crossCentre + pointer->hotSpot(), reported);
}

void TestPictures::instructionPictureHasExactlyThreeColours()
{
    const QImage image = picture(QStringLiteral("instructions.png"));
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    }
    QCOMPARE(colours, (QSet<QRgb> {kPanel, kBlack, kRed}));
}

void TestPictures::instructionDrawingIsAtItsPlace_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QRgb>("colour");
    QTest::newRow("corner point") << QPoint(48, 52) << kBlack;
    QTest::newRow("corner, inner pixel") << QPoint(49, 53) << kBlack;
    QTest::newRow("across arm, top row") << QPoint(300, 52) << kBlack;
    QTest::newRow("across arm, bottom row") << QPoint(300, 53) << kBlack;
    QTest::newRow("above across arm") << QPoint(300, 51) << kPanel;
    QTest::newRow("below across arm") << QPoint(300, 54) << kPanel;
    QTest::newRow("across arm's end") << QPoint(446, 53) << kBlack;
    QTest::newRow("past across arm's end") << QPoint(447, 52) << kPanel;
    QTest::newRow("down arm, left column") << QPoint(48, 200) << kBlack;
    QTest::newRow("down arm, right column") << QPoint(49, 200) << kBlack;
    QTest::newRow("left of down arm") << QPoint(47, 200) << kPanel;
    QTest::newRow("right of down arm") << QPoint(50, 200) << kPanel;
    QTest::newRow("down arm's end") << QPoint(49, 313) << kBlack;
    QTest::newRow("past down arm's end") << QPoint(48, 314) << kPanel;
    QTest::newRow("across tick, top") << QPoint(252, 45) << kBlack;
    QTest::newRow("across tick, bottom") << QPoint(253, 57) << kBlack;
    QTest::newRow("above across tick") << QPoint(252, 44) << kPanel;
    QTest::newRow("below across tick") << QPoint(253, 58) << kPanel;
    QTest::newRow("right of across tick") << QPoint(254, 46) << kPanel;
    QTest::newRow("down tick, left") << QPoint(44, 260) << kBlack;
    QTest::newRow("down tick, right") << QPoint(56, 261) << kBlack;
    QTest::newRow("left of down tick") << QPoint(43, 260) << kPanel;
    QTest::newRow("right of down tick") << QPoint(57, 261) << kPanel;
    QTest::newRow("below down tick") << QPoint(44, 262) << kPanel;
    QTest::newRow("picture's corner") << QPoint(0, 0) << kPanel;
    QTest::newRow("picture's far corner") << QPoint(485, 354) << kPanel;
}

void TestPictures::instructionDrawingIsAtItsPlace()
{
    QFETCH(QPoint, at);
    QFETCH(QRgb, colour);
    QCOMPARE(picture(QStringLiteral("instructions.png")).pixel(at), colour);
}

void TestPictures::instructionArcsLeaveRoomForTheTexts()
{
    const QImage image = picture(QStringLiteral("instructions.png"));
    // Upper arc: from the corner to the across tick, bowing up to row 30; nothing above it,
    // where the screen writes the length across.
    const QRect upperArc = pixelsWhere(image, QRect(QPoint(48, 25), QPoint(485, 60)), is(kRed));
    QCOMPARE(upperArc.top(), 30);
    QCOMPARE(upperArc.bottom(), 51);
    QVERIFY(pixelsWhere(image, QRect(QPoint(0, 0), QPoint(485, 29)), isNot(kPanel)).isEmpty());
    // Left arc: from the corner to the down tick, bowing out to column 26.
    const QRect leftArc = pixelsWhere(image, QRect(QPoint(0, 53), QPoint(47, 354)), is(kRed));
    QCOMPARE(leftArc.left(), 26);
    QCOMPARE(leftArc.bottom(), 259);
    // Right of the down axis and its tick, below the across axis, the picture is empty: the
    // screen writes the length down, the monitor and the instructions there.
    QVERIFY(pixelsWhere(image, QRect(QPoint(57, 58), QPoint(485, 354)), isNot(kPanel)).isEmpty());
}

void TestPictures::titleIsBlueLetteringOnAPanel()
{
    const QImage image = picture(QStringLiteral("title.bmp"));
    // No border: the panel colour runs out to every edge.
    const QRect inner = image.rect().adjusted(1, 1, -1, -1);
    QCOMPARE(
        pixelsWhere(image, image.rect(), isNot(kPanel)), pixelsWhere(image, inner, isNot(kPanel)));
    // Letters in pure blue, their edges only ever between that blue and the panel.
    bool pureBlue = false;
    bool smoothed = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            pureBlue |= pixel == kBlue;
            smoothed |= pixel != kBlue && pixel != kPanel;
            QVERIFY2(qRed(pixel) <= 166 && qGreen(pixel) <= 202 && qBlue(pixel) >= 240
                    && qRed(pixel) * 202 / 166 - qGreen(pixel) <= 2
                    && qGreen(pixel) - qRed(pixel) * 202 / 166 <= 2,
                qPrintable(QStringLiteral("pixel %1,%2 is #%3").arg(x).arg(y).arg(pixel, 8, 16)));
        }
    }
    QVERIFY(pureBlue);
    QVERIFY(smoothed);
}

void TestPictures::titleWordsFillTheirBoxes_data()
{
    QTest::addColumn<QRect>("searched");
    QTest::addColumn<QRect>("box");
    QTest::newRow("name") << QRect(QPoint(0, 10), QPoint(253, 45))
                          << QRect(QPoint(32, 17), QPoint(212, 39));
    QTest::newRow("year") << QRect(QPoint(0, 100), QPoint(121, 121))
                          << QRect(QPoint(79, 105), QPoint(113, 116));
    QTest::newRow("version") << QRect(QPoint(122, 100), QPoint(253, 121))
                             << QRect(QPoint(130, 105), QPoint(160, 116));
}

void TestPictures::titleWordsFillTheirBoxes()
{
    QFETCH(QRect, searched);
    QFETCH(QRect, box);
    QCOMPARE(pixelsWhere(picture(QStringLiteral("title.bmp")), searched, isNot(kPanel)), box);
}

void TestPictures::titleMakerLinesAreCentredInTheirRows_data()
{
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("bottom");
    QTest::newRow("script line") << 67 << 88;
    QTest::newRow("first plain line") << 129 << 140;
    QTest::newRow("second plain line") << 154 << 169;
}

void TestPictures::titleMakerLinesAreCentredInTheirRows()
{
    QFETCH(int, top);
    QFETCH(int, bottom);
    // Searched a few rows beyond the line, which are bare panel between the lines.
    const QRect band(QPoint(0, top - 5), QPoint(253, bottom + 5));
    const QRect line = pixelsWhere(picture(QStringLiteral("title.bmp")), band, isNot(kPanel));
    QCOMPARE(line.top(), top);
    QCOMPARE(line.bottom(), bottom);
    // As much panel on either side, give or take a pixel.
    QVERIFY2(qAbs(line.left() - (253 - line.right())) <= 1,
        qPrintable(QStringLiteral("columns %1 to %2").arg(line.left()).arg(line.right())));
}

KELVANE_TEST_MAIN(TestPictures)
#include "test_pictures.moc"
