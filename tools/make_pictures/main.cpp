// make_pictures draws the program's eight pictures and writes them as PNG files into a folder:
// the three ring targets, the three cross pointers, the start screen's title picture and the
// calibration screen's instruction picture (its drawing only: the screen writes the texts).
//
// The PNG files are committed under pictures/ and built into the program as resources, so the
// program's build never depends on the fonts of the machine. Run this only when a picture has to
// change, from the top of the checkout:
//
//   apt-get install fonts-urw-base35        # the faces the title picture is set in
//   cmake -S tools/make_pictures -B build-pictures/make_pictures
//   cmake --build build-pictures/make_pictures
//   build-pictures/make_pictures/make_pictures pictures
//
// then look at the pictures and run test_pictures before committing them. With the same fonts and
// Qt the output is the same, byte for byte, from one run to the next.

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <QTransform>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

[[noreturn]] void fail(const QString &why)
{
    std::fprintf(stderr, "make_pictures: %s\n", qPrintable(why));
    std::exit(EXIT_FAILURE);
}

// ---- Ring targets -------------------------------------------------------------------------------

constexpr int kRingSize = 43;
const QRgb kRingBackground = qRgb(0, 0, 0);

struct Run
{
    int first;
    int last;
};

struct RingRows
{
    int firstRow;
    int lastRow;
    std::vector<Run> runs;
};

// The ring's pixels row by row (columns inclusive); every other pixel is black. The measurement
// screen's reference point and the pointers' hot spots were worked out on exactly this shape, so
// it is kept pixel for pixel, including where it is not quite round.
const std::vector<RingRows> kRingRows = {
    {0, 0, {{16, 25}}},
    {1, 1, {{12, 29}}},
    {2, 2, {{11, 31}}},
    {3, 3, {{10, 32}}},
    {4, 4, {{8, 34}}},
    {5, 5, {{7, 16}, {27, 35}}},
    {6, 6, {{6, 13}, {29, 36}}},
    {7, 7, {{5, 12}, {30, 37}}},
    {8, 8, {{4, 10}, {32, 38}}},
    {9, 9, {{3, 9}, {33, 39}}},
    {10, 10, {{3, 8}, {34, 39}}},
    {11, 11, {{2, 7}, {35, 40}}},
    {12, 13, {{1, 6}, {36, 41}}},
    {14, 15, {{1, 5}, {37, 41}}},
    {16, 16, {{0, 5}, {37, 42}}},
    {17, 25, {{0, 4}, {38, 42}}},
    {26, 26, {{1, 4}, {38, 41}}},
    {27, 28, {{1, 5}, {37, 41}}},
    {29, 30, {{1, 6}, {36, 41}}},
    {31, 31, {{2, 7}, {35, 40}}},
    {32, 33, {{3, 8}, {34, 39}}},
    {34, 34, {{4, 10}, {32, 38}}},
    {35, 35, {{5, 11}, {31, 37}}},
    {36, 36, {{5, 13}, {29, 37}}},
    {37, 37, {{6, 16}, {27, 36}}},
    {38, 38, {{8, 34}}},
    {39, 39, {{9, 33}}},
    {40, 40, {{11, 31}}},
    {41, 41, {{12, 29}}},
    {42, 42, {{16, 25}}},
};

QImage ring(QRgb colour)
{
    QImage image(kRingSize, kRingSize, QImage::Format_RGB32);
    image.fill(kRingBackground);
    for (const RingRows &rows : kRingRows) {
        for (int y = rows.firstRow; y <= rows.lastRow; ++y) {
            for (const Run &run : rows.runs) {
                for (int x = run.first; x <= run.last; ++x)
                    image.setPixel(x, y, colour);
            }
        }
    }
    return image;
}

// ---- Cross pointers -----------------------------------------------------------------------------

// A plus sign 31 pixels across in a 32 x 32 pointer image: both bars five pixels thick, centred on
// pixel 15; the last row and column stay empty.
constexpr int kPointerSize = 32;
constexpr int kBarFirst = 13;
constexpr int kBarLast = 17;
constexpr int kArmLast = 30;

QImage cross(QRgb colour)
{
    QImage image(kPointerSize, kPointerSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int along = 0; along <= kArmLast; ++along) {
        for (int across = kBarFirst; across <= kBarLast; ++across) {
            image.setPixel(across, along, colour); // vertical bar
            image.setPixel(along, across, colour); // horizontal bar
        }
    }
    return image;
}

// ---- Lettering ----------------------------------------------------------------------------------

// Outlines are taken at a large size and scaled down, so that any pixel size and any width can be
// had; the pictures are drawn from the outlines alone, without the machine's hinting.
constexpr int kReferencePixels = 200;

QFont face(const QString &file, QFont::Weight weight)
{
    const int id = QFontDatabase::addApplicationFont(file);
    if (id < 0)
        fail(QStringLiteral("cannot load the face %1").arg(file));
    // The weight picks the file's face among the family's others installed on the machine.
    QFont font(QFontDatabase::applicationFontFamilies(id).value(0));
    font.setWeight(weight);
    font.setPixelSize(kReferencePixels);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::NoFontMerging);
    return font;
}

struct Setting
{
    QFont font;
    QString text;
    double pixelSize = 0; // the face's size in picture pixels
    double stretch = 1; // horizontal scale over the face's own proportions
    double letterSpacing = 0; // extra room after each letter, in picture pixels
};

QPainterPath outline(const Setting &setting)
{
    const double scale = setting.pixelSize / kReferencePixels;
    QFont font = setting.font;
    font.setLetterSpacing(QFont::AbsoluteSpacing, setting.letterSpacing / scale);
    QPainterPath path;
    path.addText(0, 0, font, setting.text);
    return QTransform::fromScale(scale * setting.stretch, scale).map(path);
}

struct Lettering
{
    QImage coverage; // alpha: how much of each pixel the letters cover
    QRect ink; // the pixels that show the lettering, within coverage
};

Lettering rasterize(const Setting &setting)
{
    const QPainterPath path = outline(setting);
    const QRectF bounds = path.boundingRect();
    // The outline's top-left corner sits on a pixel corner, so a line is rasterized the same
    // wherever it is then moved by whole pixels.
    constexpr int kMargin = 2;
    QImage coverage(int(std::ceil(bounds.width())) + 2 * kMargin,
        int(std::ceil(bounds.height())) + 2 * kMargin, QImage::Format_ARGB32_Premultiplied);
    coverage.fill(Qt::transparent);
    QPainter painter(&coverage);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(kMargin - bounds.left(), kMargin - bounds.top());
    painter.fillPath(path, Qt::black);
    painter.end();

    // Edges blend into the background: any pixel the letters touch is ink.
    QRect ink;
    for (int y = 0; y < coverage.height(); ++y) {
        for (int x = 0; x < coverage.width(); ++x) {
            if (qAlpha(coverage.pixel(x, y)) > 0)
                ink |= QRect(x, y, 1, 1);
        }
    }
    if (ink.isEmpty())
        fail(QStringLiteral("\"%1\" shows no pixels").arg(setting.text));
    return {coverage, ink};
}

// Paints the lettering so that its ink starts at inkTopLeft.
void paint(QImage &picture, const Lettering &lettering, QPoint inkTopLeft, QColor colour)
{
    const QPoint shift = inkTopLeft - lettering.ink.topLeft();
    for (int y = lettering.ink.top(); y <= lettering.ink.bottom(); ++y) {
        for (int x = lettering.ink.left(); x <= lettering.ink.right(); ++x) {
            const int cover = qAlpha(lettering.coverage.pixel(x, y));
            const QPoint at(x + shift.x(), y + shift.y());
            if (!picture.rect().contains(at))
                fail(QStringLiteral("lettering runs off the picture"));
            const QRgb under = picture.pixel(at);
            auto blend = [cover](int back, int fore) {
                return (back * (255 - cover) + fore * cover + 127) / 255;
            };
            picture.setPixel(at,
                qRgb(blend(qRed(under), colour.red()), blend(qGreen(under), colour.green()),
                    blend(qBlue(under), colour.blue())));
        }
    }
}

// The value between low and high in the middle of the span where measure gives wanted. measure
// must not decrease as the value grows.
double solve(const std::function<int(double)> &measure, int wanted, double low, double high,
    const QString &what)
{
    auto firstReaching = [&](int target) {
        double lo = low;
        double hi = high;
        for (int step = 0; step < 40; ++step) {
            const double mid = (lo + hi) / 2;
            (measure(mid) >= target ? hi : lo) = mid;
        }
        return hi;
    };
    const double value = (firstReaching(wanted) + firstReaching(wanted + 1)) / 2;
    if (measure(value) != wanted)
        fail(QStringLiteral("%1 cannot be made %2 pixels").arg(what).arg(wanted));
    return value;
}

// Sizes the setting so that its ink is exactly `rows` high.
void fitHeight(Setting &setting, int rows)
{
    setting.pixelSize = solve(
        [&](double size) {
            Setting trial = setting;
            trial.pixelSize = size;
            return rasterize(trial).ink.height();
        },
        rows, 4, 80, QStringLiteral("the height of \"%1\"").arg(setting.text));
}

// Widens or narrows the letters so that the ink is exactly `columns` wide.
void fitWidthByStretch(Setting &setting, int columns)
{
    setting.stretch = solve(
        [&](double stretch) {
            Setting trial = setting;
            trial.stretch = stretch;
            return rasterize(trial).ink.width();
        },
        columns, 0.5, 2, QStringLiteral("the width of \"%1\"").arg(setting.text));
}

// Spaces the letters so that the ink is exactly `columns` wide.
void fitWidthBySpacing(Setting &setting, int columns)
{
    setting.letterSpacing = solve(
        [&](double spacing) {
            Setting trial = setting;
            trial.letterSpacing = spacing;
            return rasterize(trial).ink.width();
        },
        columns, -5, 30, QStringLiteral("the width of \"%1\"").arg(setting.text));
}

// Fits the setting into `box` exactly and paints it there.
void paintInto(QImage &picture, Setting setting, QRect box, QColor colour)
{
    fitHeight(setting, box.height());
    fitWidthByStretch(setting, box.width());
    paint(picture, rasterize(setting), box.topLeft(), colour);
}

// ---- Title picture ------------------------------------------------------------------------------

const QColor kPanel(166, 202, 240); // light sky blue: a panel on the grey windows
const QColor kTitleBlue(0, 0, 255);
constexpr QSize kTitleSize(254, 195);

// The program's name, largest, and the year and version are set at fixed places; the maker lines
// are centred. The name is set wide and spaced, as a title.
const QRect kNameBox(32, 17, 181, 23);
constexpr double kNameStretch = 1.25;
const QRect kYearBox(79, 105, 35, 12);
const QRect kVersionBox(130, 105, 31, 12);
struct MakerLine
{
    int top;
    int rows;
    bool script;
    const char *text;
};
const MakerLine kMakerLines[] = {
    {67, 22, true, "Orthoptic Measurement"},
    {129, 12, false, "Kelvane Clinical Software"},
    {154, 16, false, "Prism Dioptre Screen Test"},
};

struct Faces
{
    QFont serif;
    QFont script;
    QFont plain;
};

QImage title(const Faces &faces)
{
    QImage picture(kTitleSize, QImage::Format_RGB32);
    picture.fill(kPanel);

    Setting name {faces.serif, QStringLiteral("Kelvane")};
    name.stretch = kNameStretch;
    fitHeight(name, kNameBox.height());
    fitWidthBySpacing(name, kNameBox.width());
    std::printf("name: type %.2f px, spacing %.2f px\n", name.pixelSize, name.letterSpacing);
    paint(picture, rasterize(name), kNameBox.topLeft(), kTitleBlue);

    paintInto(picture, {faces.plain, QStringLiteral("2008")}, kYearBox, kTitleBlue);
    paintInto(picture, {faces.plain, QStringLiteral("V2.1")}, kVersionBox, kTitleBlue);

    for (const MakerLine &line : kMakerLines) {
        Setting setting {line.script ? faces.script : faces.plain, QLatin1String(line.text)};
        fitHeight(setting, line.rows);
        const Lettering lettering = rasterize(setting);
        const int left = (kTitleSize.width() - lettering.ink.width()) / 2;
        paint(picture, lettering, QPoint(left, line.top), kTitleBlue);
    }
    return picture;
}

// ---- Calibration instruction picture ------------------------------------------------------------

constexpr QSize kInstructionSize(486, 355);
const QColor kDrawing(0, 0, 0);
const QColor kMarking(255, 0, 0);

// The corner of the calibration screen's two axis lines, in lines two pixels thick, with the mark
// on each axis that the user moves to the length asked for. The lengths, the monitor and the
// instructions are no part of the picture: the calibration screen writes them on it as text, in
// the reader's language and with the lengths it asks for, right of the down axis and below the
// across axis (columns 164 to 475, rows 70 to 345), where the picture is left empty.
constexpr int kLine = 2;
constexpr QPoint kCorner(48, 52);
constexpr int kAcrossEnd = 446;
constexpr int kDownEnd = 313;
constexpr int kAcrossMark = 252; // left column of the mark on the horizontal axis
constexpr int kAcrossMarkTop = 45;
constexpr int kAcrossMarkBottom = 57;
constexpr int kDownMark = 260; // top row of the mark on the vertical axis
constexpr int kDownMarkLeft = 44;
constexpr int kDownMarkRight = 56;

// The red distance arcs run from beside the corner to beside each mark and bow out to these.
constexpr int kAcrossArcApex = 30; // row
constexpr int kDownArcApex = 26; // column

void fill(QImage &picture, QRect rect, QColor colour)
{
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x)
            picture.setPixel(x, y, colour.rgb());
    }
}

// A one-pixel circular arc over a chord that runs along one axis from `from` to `to` at `chord` on
// the other, bowing towards smaller coordinates as far as `apex`. plot(along, across).
void arc(int from, int to, int chord, int apex, const std::function<void(int, int)> &plot)
{
    const double half = (to - from) / 2.0;
    const double sagitta = chord - apex;
    const double radius = (half * half + sagitta * sagitta) / (2 * sagitta);
    const double middle = (from + to) / 2.0;
    int previous = chord;
    for (int along = from; along <= to; ++along) {
        const double offset = along - middle;
        const int across
            = int(std::lround(apex + radius - std::sqrt(radius * radius - offset * offset)));
        // The arcs are shallow, so one pixel per step along keeps them unbroken.
        if (std::abs(across - previous) > 1)
            fail(QStringLiteral("an arc is too steep for its pixels"));
        previous = across;
        plot(along, across);
    }
}

QImage instructions()
{
    QImage picture(kInstructionSize, QImage::Format_RGB32);
    picture.fill(kPanel);

    // Arcs first: they end on the pixels next to the corner and the marks.
    arc(kCorner.x(), kAcrossMark - 1, kCorner.y() - 1, kAcrossArcApex,
        [&](int x, int y) { picture.setPixel(x, y, kMarking.rgb()); });
    arc(kCorner.y(), kDownMark - 1, kCorner.x() - 1, kDownArcApex,
        [&](int y, int x) { picture.setPixel(x, y, kMarking.rgb()); });

    fill(picture,
        QRect(QPoint(kCorner.x(), kCorner.y()), QPoint(kAcrossEnd, kCorner.y() + kLine - 1)),
        kDrawing);
    fill(picture,
        QRect(QPoint(kCorner.x(), kCorner.y()), QPoint(kCorner.x() + kLine - 1, kDownEnd)),
        kDrawing);
    fill(picture,
        QRect(QPoint(kAcrossMark, kAcrossMarkTop),
            QPoint(kAcrossMark + kLine - 1, kAcrossMarkBottom)),
        kDrawing);
    fill(picture,
        QRect(QPoint(kDownMarkLeft, kDownMark), QPoint(kDownMarkRight, kDownMark + kLine - 1)),
        kDrawing);
    return picture;
}

// ---- Output -------------------------------------------------------------------------------------

void save(const QImage &image, const QDir &folder, const QString &name)
{
    const QString path = folder.filePath(name);
    if (!image.save(path, qPrintable(QFileInfo(name).suffix().toUpper())))
        fail(QStringLiteral("cannot write %1").arg(path));
    std::printf("wrote %s\n", qPrintable(path));
}

// The instruction picture is stored with a palette of its three colours, which also proves that
// nothing else crept in.
QImage threeColours(const QImage &picture)
{
    const QList<QRgb> palette = {kPanel.rgb(), kDrawing.rgb(), kMarking.rgb()};
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (!palette.contains(picture.pixel(x, y)))
                fail(QStringLiteral("the instruction picture has a fourth colour at %1,%2")
                         .arg(x)
                         .arg(y));
        }
    }
    return picture.convertToFormat(QImage::Format_Indexed8, palette, Qt::ThresholdDither);
}

// The title picture's smooth edges give it some two hundred colours; stored with a palette of
// exactly those, it is the same picture and decodes in half the time, which the start screen
// waits for.
QImage withOwnPalette(const QImage &picture)
{
    QList<QRgb> palette;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (!palette.contains(picture.pixel(x, y)))
                palette.append(picture.pixel(x, y));
        }
    }
    if (palette.size() > 256)
        fail(QStringLiteral("a picture has %1 colours, more than a palette holds")
                 .arg(palette.size()));
    const QImage indexed
        = picture.convertToFormat(QImage::Format_Indexed8, palette, Qt::ThresholdDither);
    if (indexed.convertToFormat(picture.format()) != picture)
        fail(QStringLiteral("a picture changed when given its palette"));
    return indexed;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2)
        fail(QStringLiteral("usage: make_pictures <folder>"));
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.exists())
        fail(QStringLiteral("no folder %1").arg(folder.path()));

    const QString urw = QStringLiteral("/usr/share/fonts/opentype/urw-base35/");
    const Faces faces {face(urw + QStringLiteral("C059-Bold.otf"), QFont::Bold),
        face(urw + QStringLiteral("Z003-MediumItalic.otf"), QFont::Medium),
        face(urw + QStringLiteral("NimbusSans-Regular.otf"), QFont::Normal)};

    save(ring(qRgb(160, 32, 0)), folder, QStringLiteral("ring_red.png"));
    save(ring(qRgb(0, 0, 255)), folder, QStringLiteral("ring_blue.png"));
    save(ring(qRgb(0, 160, 0)), folder, QStringLiteral("ring_green.png"));
    save(cross(qRgb(153, 0, 0)), folder, QStringLiteral("pointer101.png"));
    save(cross(qRgb(0, 0, 255)), folder, QStringLiteral("pointer102.png"));
    save(cross(qRgb(0, 153, 0)), folder, QStringLiteral("pointer103.png"));
    // The title is the start screen's: an uncompressed bitmap with its palette is read in a
    // tenth of the time a PNG takes, before the first frame.
    save(withOwnPalette(title(faces)), folder, QStringLiteral("title.bmp"));
    save(threeColours(instructions()), folder, QStringLiteral("instructions.png"));
    return EXIT_SUCCESS;
}
