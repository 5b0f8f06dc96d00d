// The note is laid out with QTextLayout rather than a QTextDocument: to keep the report one
// page it stops after kNoteLines lines with an ellipsis, which a document's layout does not do.
#include "results/report.h"

#include "clinic/format.h"
#include "clinic/visit.h"
#include "hesschart/hesschart.h"
#include "platform/module.h"
#include "platform/privacy.h"
#include "results/logging.h"
#include "results/visitpicture.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QLocale>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QStringList>
#include <QTextLayout>

#include <algorithm>
#include <memory>
#include <optional>

Q_LOGGING_CATEGORY(lcResults, "kelvane.results", QtWarningMsg)

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("Report", text);
}

// The page's proportions, in millimetres: a report is read on paper, so its sizes are paper sizes.
constexpr double kMarginMm = 15;
constexpr double kTitleMm = 5.5;
constexpr double kTextMm = 3.4;
constexpr double kSmallMm = 2.8;
constexpr double kLineSpacing = 1.45; // a line's height, of its letters'
// A long note is cut after this many lines, so that the page stays one page.
constexpr int kNoteLines = 4;
// The picture takes what the list of results leaves, up to the height that the page's width
// gives it: the list shrinks its letters before the picture goes below this.
constexpr double kPictureMinMm = 85;
// A Hess page: its charts stand at a fixed place below the page's top, whatever the lines above
// them hold, so that a point of a chart has the same place on every report; the tables of each
// eye's points fill what is left under them.
constexpr double kHessChartsTopMm = 60;
constexpr double kHessChartsHeightMm = 115;
// Letters are sized in whole device pixels: at 600 per inch a size is off by 0.02 mm at most.
constexpr int kPdfDpi = 600;

// The result in the grid: both directions as the screen showed them, starred where the
// calibration was not made for this screen.
QString gridText(const clinic::VisitResult *result)
{
    if (!result)
        return QStringLiteral("\u2013");
    QString text = clinic::shownText(result->across) + QStringLiteral("   ")
        + clinic::shownText(result->down);
    if (!result->calibratedForScreen())
        text += QStringLiteral(" *");
    return text;
}

QString monitorText(const clinic::Monitor &monitor)
{
    QStringList parts;
    if (const QString name = clinic::monitorName(monitor); !name.isEmpty())
        parts << name;
    if (monitor.resolution.isValid())
        parts << tr("at %1 x %2")
                     .arg(QString::number(monitor.resolution.width()),
                         QString::number(monitor.resolution.height()));
    return parts.isEmpty() ? tr("an unnamed monitor") : parts.join(QLatin1Char(' '));
}

QString calibrationLine(
    double screenH, double screenV, const QDate &date, const clinic::Monitor &monitor)
{
    QString text = tr("%1 x %2 px per 150 mm")
                       .arg(clinic::numberAsHeld(screenH), clinic::numberAsHeld(screenV));
    text += date.isValid()
        ? tr(", made %1 on %2").arg(date.toString(Qt::ISODate), monitorText(monitor))
        : tr(", on %1").arg(monitorText(monitor));
    return text;
}

QString calibrationText(const clinic::VisitResult &result)
{
    // Its note, where the calibration was not made for this screen, stands with each result.
    return calibrationLine(result.screenH, result.screenV, result.calibrationDate, result.monitor);
}

// Every distinct value in the visit's order: a visit is usually measured with one of each, and
// the page says so once.
template<typename Text> QStringList distinctValues(const clinic::Visit &visit, Text text)
{
    QStringList values;
    for (const clinic::VisitResult &result : visit.results()) {
        const QString value = text(result);
        if (!values.contains(value))
            values << value;
    }
    return values;
}
template<typename Text> QString distinct(const clinic::Visit &visit, Text text)
{
    return distinctValues(visit, text).join(QStringLiteral("; "));
}

class Page
{
public:
    Page(QPainter &painter, const QRectF &area, double dpi)
        : m_painter(painter)
        , m_area(area)
        , m_dpi(dpi)
        , m_y(area.top())
    {
    }

    double mm(double value) const { return value * m_dpi / 25.4; }
    double top() const { return m_y; }
    double bottom() const { return m_area.bottom(); }
    const QRectF &area() const { return m_area; }
    void skip(double height) { m_y += height; }
    void moveTo(double y) { m_y = y; }

    void setFont(double heightMm, bool bold = false)
    {
        m_painter.setFont(fontOfHeight(mm(heightMm), bold));
    }
    double lineHeight() const { return m_painter.font().pixelSize() * kLineSpacing; }

    // Text that may have come from anyone, drawn as the characters it holds (a painter draws
    // no markup), cut to the width with an ellipsis.
    void text(const QRectF &box, const QString &text, int flags = Qt::AlignLeft)
    {
        const QFontMetricsF metrics(m_painter.font(), m_painter.device());
        m_painter.drawText(box, flags | Qt::AlignVCenter | Qt::TextSingleLine,
            metrics.elidedText(clinic::oneLine(text), Qt::ElideRight, box.width()));
    }
    // A labelled line: "Glasses:" and its value.
    void field(const QString &label, const QString &value)
    {
        const double labelWidth = mm(38);
        const double height = lineHeight();
        setFont(kTextMm, true);
        text(QRectF(m_area.left(), m_y, labelWidth, height), label);
        setFont(kTextMm);
        text(QRectF(m_area.left() + labelWidth, m_y, m_area.width() - labelWidth, height), value);
        m_y += height;
    }
    // The clinician's note, wrapped within the width, kept to `maxLines` lines: the last one
    // ends with an ellipsis where more was written.
    void wrapped(const QString &label, const QString &value, int maxLines)
    {
        const double labelWidth = mm(38);
        setFont(kTextMm, true);
        text(QRectF(m_area.left(), m_y, labelWidth, lineHeight()), label);
        setFont(kTextMm);
        QString content = value;
        content.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
        content.replace(QLatin1Char('\n'), QChar::LineSeparator);
        content.replace(QLatin1Char('\r'), QChar::LineSeparator);
        content.replace(QLatin1Char('\t'), QLatin1Char(' '));
        const double width = m_area.width() - labelWidth;
        QTextLayout layout(content, m_painter.font(), m_painter.device());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        const double height = lineHeight();
        QList<QTextLine> lines;
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, double(lines.size()) * height));
            lines << line;
            if (lines.size() == maxLines)
                break;
        }
        layout.endLayout();
        const QPointF origin(m_area.left() + labelWidth, m_y);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QTextLine &line = lines.at(i);
            const bool cut
                = i == lines.size() - 1 && line.textStart() + line.textLength() < content.size();
            if (cut)
                text(QRectF(origin.x(), m_y + double(i) * height, width, height),
                    content.mid(line.textStart()));
            else
                line.draw(&m_painter, origin + QPointF(0, (height - line.height()) / 2));
        }
        m_y += double(std::max<qsizetype>(1, lines.size())) * height;
    }

    // A table whose columns take these shares of the width; the header is bold.
    void row(const QStringList &cells, const QList<double> &shares, double height, bool header)
    {
        rowAt(m_area.left(), m_area.width(), cells, shares, height, header);
    }
    // The same within a column of the page, from `left` across `across`.
    void rowAt(double left, double across, const QStringList &cells, const QList<double> &shares,
        double height, bool header)
    {
        QFont font = m_painter.font();
        font.setBold(header);
        m_painter.setFont(font);
        double x = left;
        for (qsizetype i = 0; i < cells.size(); ++i) {
            const double width = across * shares.at(i);
            text(QRectF(x, m_y, width - mm(1.5), height), cells.at(i));
            x += width;
        }
        m_y += height;
    }
    void rule(double widthMm = 0.2)
    {
        m_painter.save();
        m_painter.setPen(QPen(QColor(0x80, 0x80, 0x80), mm(widthMm)));
        m_painter.drawLine(QPointF(m_area.left(), m_y), QPointF(m_area.right(), m_y));
        m_painter.restore();
    }

private:
    QPainter &m_painter;
    QRectF m_area;
    double m_dpi;
    double m_y;
};

void drawGrid(Page &page, const clinic::Visit &visit)
{
    page.setFont(kTextMm);
    const double height = page.lineHeight();
    const QList<double> shares = {0.21, 0.29, 0.29, 0.21};
    page.row({tr("Target"), tr("OD fixes"), tr("OS fixes"), QString()}, shares, height, true);
    page.rule();
    // Centre first, as a clinician measures and the start screen lists them.
    for (const double place : {1.0, 2.0, 3.0}) {
        page.row({clinic::targetName(place), gridText(visit.latest(place, 1)),
                     gridText(visit.latest(place, 2)), QString()},
            shares, height, false);
    }
}

void drawResults(Page &page, const clinic::Visit &visit, double room)
{
    const QList<clinic::VisitResult> &results = visit.results();
    // Every result is on the page: where they are more than fit, the list's letters shrink.
    page.setFont(kSmallMm);
    double height = page.lineHeight();
    const double needed = double(results.size() + 1) * height + page.mm(1);
    if (needed > room) {
        const double fontMm = kSmallMm * room / needed;
        page.setFont(fontMm);
        height = page.lineHeight();
        // Whole pixels may round a line up: the rows stay inside the room all the same.
        height = std::min(height, (room - page.mm(1)) / double(results.size() + 1));
    }
    const QList<double> shares = {0.04, 0.15, 0.07, 0.08, 0.12, 0.1, 0.1, 0.34};
    page.row({tr("#"), tr("Time"), tr("Fixes"), tr("Target"), tr("Sees cross"), tr("Horizontal"),
                 tr("Vertical"), tr("Calibration")},
        shares, height, true);
    page.rule(0.15);
    for (qsizetype i = 0; i < results.size(); ++i) {
        const clinic::VisitResult &r = results.at(i);
        page.row({QString::number(i + 1), clinic::dateTimeText(r.measuredAt),
                     clinic::fixingEyeName(r.fixingEye), clinic::targetName(r.target), r.seeingEye,
                     clinic::shownText(r.across), clinic::shownText(r.down),
                     r.calibratedForScreen() ? tr("made for this screen")
                                             : QStringLiteral("* ") + r.calibrationNote},
            shares, height, false);
    }
}

QString programName()
{
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("Kelvane") : name;
}

void drawFooter(QPainter &painter, Page &page, const QDateTime &madeAt)
{
    page.setFont(kSmallMm);
    const QRectF footerLine(page.area().left(), page.bottom() - page.lineHeight(),
        page.area().width(), page.lineHeight());
    painter.save();
    painter.setPen(QColor(0x60, 0x60, 0x60));
    page.text(footerLine,
        tr("%1 %2, report made %3")
            .arg(programName(), QCoreApplication::applicationVersion(),
                clinic::dateTimeText(madeAt)));
    painter.restore();
}

void drawTitle(Page &page, const QString &title)
{
    page.setFont(kTitleMm, true);
    page.text(
        QRectF(page.area().left(), page.top(), page.area().width(), page.lineHeight()), title);
    page.skip(page.lineHeight());
    page.rule(0.3);
    page.skip(page.mm(2));
}

QString hessTestText(const clinic::hess::Test &test)
{
    int measured = 0;
    for (const std::optional<clinic::hess::PointResult> &point : test.points)
        measured += point ? 1 : 0;
    QString text = tr("%1: %2 field, %3 of %4 points measured")
                       .arg(clinic::hessEyesText(test), clinic::fieldName(test.field),
                           QString::number(measured), QString::number(test.points.size()));
    if (!test.skipped.isEmpty())
        text += tr(", %1 skipped").arg(QString::number(test.skipped.size()));
    if (!test.notOnScreen.isEmpty())
        text += tr(", %1 not on this screen").arg(QString::number(test.notOnScreen.size()));
    text += test.complete ? tr("; complete") : tr("; INCOMPLETE: left half way");
    return text;
}

// One eye's points in a column under its chart: every target, measured or why not.
void drawHessPoints(Page &page, double left, double width, double top, double room,
    const clinic::hess::Test *test, const clinic::Visit &visit)
{
    page.moveTo(top);
    if (!test)
        return;
    QList<clinic::HessPoint> points;
    for (const clinic::HessPoint &point : visit.hessPoints()) {
        if (point.test == test)
            points << point;
    }
    page.setFont(kSmallMm);
    double height = page.lineHeight();
    const double needed = double(points.size() + 1) * height;
    if (needed > room) {
        page.setFont(kSmallMm * room / needed);
        height = std::min(page.lineHeight(), room / double(points.size() + 1));
    }
    const QList<double> shares = {0.25, 0.33, 0.23, 0.19};
    page.rowAt(left, width, {tr("Target"), tr("Measured"), tr("Horizontal"), tr("Vertical")},
        shares, height, true);
    for (const clinic::HessPoint &point : points) {
        const clinic::hess::Angles target = clinic::hess::kTargets[point.target].gaze;
        QStringList cells = {clinic::degreesText(target.alpha) + QLatin1Char(' ')
            + clinic::degreesText(target.beta)};
        if (const clinic::hess::PointResult *r = point.result()) {
            const clinic::hess::PointDioptres dioptres
                = clinic::hess::pointDioptres(*r, test->screenH, test->screenV);
            cells << clinic::degreesText(r->measured.alpha) + QLatin1Char(' ')
                    + clinic::degreesText(r->measured.beta)
                  << clinic::shownText(dioptres.across) << clinic::shownText(dioptres.down);
        } else {
            cells << clinic::hessStateText(point.state()) << QString() << QString();
        }
        page.rowAt(left, width, cells, shares, height, false);
    }
}

// The charts of one opening of the Hess window, left eye's on the left, with each eye's points
// beneath its chart.
void drawHessPage(
    QPainter &painter, Page &page, const clinic::Visit &visit, const QList<clinic::hess::Test> &run)
{
    drawTitle(page, tr("Hess test"));
    const clinic::hess::Test &first = run.constFirst();
    page.field(tr("Patient:"), visit.identifier);
    page.field(tr("Measured:"),
        tr("%1; viewing distance %2 cm")
            .arg(clinic::dateTimeText(first.measuredAt), QString::number(first.distanceCm)));
    page.field(tr("Calibration:"),
        calibrationLine(
            first.screenH, double(first.screenV), first.calibrationDate, first.monitor));
    if (!first.calibratedBy.isEmpty())
        page.field(QString(), first.calibratedBy);
    if (!first.calibrationNote.isEmpty())
        page.field(QString(), QStringLiteral("* ") + first.calibrationNote);
    for (qsizetype i = 0; i < run.size(); ++i)
        page.wrapped(i == 0 ? tr("Eyes:") : QString(), hessTestText(run.at(i)), 2);

    const double chartsTop = page.area().top() + page.mm(kHessChartsTopMm);
    const QRectF charts(page.area().left(), chartsTop, page.area().width(),
        std::min(page.mm(kHessChartsHeightMm), page.bottom() - chartsTop));
    painter.save();
    hesschart::paintCharts(painter, charts, run);
    painter.restore();

    page.setFont(kSmallMm);
    const double footer = page.lineHeight() + page.mm(2);
    const double top = charts.bottom() + page.mm(3);
    const double room = std::max(0.0, page.bottom() - footer - top);
    const hesschart::Layout at = hesschart::layout(charts);
    const hesschart::Pair pair = hesschart::latestPerEye(run);
    drawHessPoints(page, at.left.left(), at.left.width(), top, room, pair.left, visit);
    drawHessPoints(page, at.right.left(), at.right.width(), top, room, pair.right, visit);
}

QPageSize pageSizeForLocale()
{
    return QLocale().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize(QPageSize::Letter)
                                                                      : QPageSize(QPageSize::A4);
}

QString cannotWrite(const QString &path, const QString &why)
{
    return tr("Cannot write the report %1:\n%2").arg(QDir::toNativeSeparators(path), why);
}

} // namespace

base::Expected<void> paintReport(
    QPagedPaintDevice &device, const clinic::Visit &visit, const QDateTime &madeAt)
{
    QPainter painter;
    if (!painter.begin(&device))
        return base::unexpected(
            tr("The report could not be drawn: the printer or the file refused the page."));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(QColor(0x10, 0x10, 0x10));
    // The page's printable area, as the device's page layout leaves it, in its own pixels.
    Page page(painter, QRectF(0, 0, device.width(), device.height()), device.logicalDpiY());

    drawTitle(page, tr("Squint measurement in prism dioptres"));

    page.field(tr("Patient:"), visit.identifier);
    page.wrapped(tr("Note:"), visit.note, kNoteLines);
    const QList<clinic::VisitResult> &results = visit.results();
    page.field(tr("Measured:"),
        results.isEmpty()
            ? (visit.hessRuns().isEmpty() ? tr("no result")
                                          : tr("no three-target result; the Hess tests follow"))
            : (results.size() == 1 ? clinic::dateTimeText(results.first().measuredAt)
                                   : tr("%1 to %2")
                                         .arg(clinic::dateTimeText(results.first().measuredAt),
                                             clinic::dateTimeText(results.last().measuredAt))));
    page.field(tr("Glasses:"), distinct(visit, [](const clinic::VisitResult &r) {
        return clinic::glassesName(r.glasses);
    }));
    // Each calibration of the visit on a line of its own, whole: a second one run on after the
    // first would be cut off with its date and monitor.
    const QStringList calibrations = distinctValues(visit, calibrationText);
    for (qsizetype i = 0; i < calibrations.size(); ++i)
        page.field(i == 0 ? tr("Calibration:") : QString(), calibrations.at(i));
    // Under it, when and by whom each calibration was made, as its record says.
    QStringList made;
    for (const clinic::VisitResult &result : results) {
        if (!result.calibratedBy.isEmpty() && !made.contains(result.calibratedBy))
            made << result.calibratedBy;
    }
    if (!made.isEmpty())
        page.field(QString(), made.join(QStringLiteral("; ")));
    // A prism dioptre is a size on the screen only at a given distance: the page names it even
    // before the first result.
    const QString distance = distinct(visit, [](const clinic::VisitResult &r) {
        return tr("%1 cm").arg(QString::number(r.viewingDistanceCm));
    });
    page.field(tr("Viewing distance:"),
        distance.isEmpty() ? tr("%1 cm").arg(QString::number(clinic::kViewingDistanceCm))
                           : distance);
    page.skip(page.mm(3));

    drawGrid(page, visit);
    page.setFont(kSmallMm);
    page.text(QRectF(page.area().left(), page.top(), page.area().width(), page.lineHeight()),
        tr("The latest result of each target and fixing eye, as the measurement screen showed it. "
           "* calibration not made for this screen."));
    page.skip(page.lineHeight());
    // A number marked as a lower bound reads as a measurement unless the page says what it is.
    const bool anyBound = std::any_of(results.cbegin(), results.cend(), [](const auto &r) {
        return (r.across && r.across->atLeast) || (r.down && r.down->atLeast);
    });
    if (anyBound) {
        page.text(QRectF(page.area().left(), page.top(), page.area().width(), page.lineHeight()),
            tr("%1: the cross stood at the screen's edge; the deviation is at least this large.")
                .arg(QChar(clinic::kAtLeast)));
        page.skip(page.lineHeight());
    }
    page.skip(page.mm(2));

    // The footer's line is kept free at the bottom; the picture and the list share the rest,
    // the picture at its own height where the list leaves room for it.
    page.setFont(kSmallMm);
    const double footer = page.lineHeight() + page.mm(2);
    const double left = page.bottom() - footer - page.top();
    const double list = double(results.size() + 1) * page.lineHeight() + page.mm(4);
    const double most = std::max(0.0, std::min(visitPictureHeight(page.area().width()), left));
    const double pictureHeight
        = std::clamp(left - list, std::min({page.mm(kPictureMinMm), left / 2, most}), most);
    paintVisitPicture(
        painter, QRectF(page.area().left(), page.top(), page.area().width(), pictureHeight), visit);
    page.skip(pictureHeight + page.mm(3));
    drawResults(page, visit, page.bottom() - footer - page.top());

    drawFooter(painter, page, madeAt);

    // A page of its own for each opening of the Hess window.
    for (const QList<clinic::hess::Test> &run : visit.hessRuns()) {
        if (!device.newPage())
            return base::unexpected(
                tr("The report could not be drawn: the printer or the file refused a page."));
        Page hessPage(painter, QRectF(0, 0, device.width(), device.height()), device.logicalDpiY());
        drawHessPage(painter, hessPage, visit, run);
        drawFooter(painter, hessPage, madeAt);
    }

    if (!painter.end())
        return base::unexpected(
            tr("The report could not be finished: the printer or the file refused the page."));
    return {};
}

base::Expected<void> saveReportPdf(
    const QString &path, const clinic::Visit &visit, const QDateTime &madeAt)
{
    // The PDF is made in memory and written in one piece: the writer writes as it paints, and a
    // failure must leave no half-written report.
    QBuffer buffer;
    if (!buffer.open(QIODevice::WriteOnly))
        return base::unexpected(cannotWrite(path, buffer.errorString()));
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(kPdfDpi);
        writer.setPageLayout(QPageLayout(pageSizeForLocale(), QPageLayout::Portrait,
            QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm), QPageLayout::Millimeter));
        writer.setTitle(tr("Squint measurement"));
        writer.setCreator(programName());
        if (base::Expected<void> painted = paintReport(writer, visit, madeAt); !painted)
            return painted;
    }
    platform::PrivateFile file(path);
    platform::PrivateFile::Result written = file.open();
    if (written)
        written = file.write(buffer.data());
    if (written)
        written = file.commit();
    if (!written)
        return base::unexpected(cannotWrite(path, written.error()));
    return {};
}

namespace {
// The print module's functions, loaded on first use.
base::Expected<const printing::Functions *> printingFunctions()
{
    const base::Expected<void *> entry
        = platform::moduleSymbol(printing::kModuleName, printing::kEntryName);
    if (!entry) {
        qCWarning(lcResults) << "printing is not available:" << entry.error();
        return base::unexpected(tr("Printing is not available: %1").arg(entry.error()));
    }
    const printing::Functions *functions = reinterpret_cast<printing::Entry>(*entry)();
    if (functions->interface != printing::kInterface)
        return base::unexpected(tr("Printing is not available: %1 belongs to another version "
                                   "of Kelvane.")
                                    .arg(QLatin1String(printing::kModuleName)));
    return functions;
}

// The report for the print module; a file it prints to is made in `file`, privately.
printing::Job reportJob(
    const clinic::Visit &visit, const QDateTime &madeAt, std::optional<platform::PrivateFile> &file)
{
    printing::Job job {tr("Squint measurement"), programName(), pageSizeForLocale(),
        QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
        [&visit, madeAt](QPagedPaintDevice &device) { return paintReport(device, visit, madeAt); },
        {}, {}};
    auto path = std::make_shared<QString>();
    job.openFile = [&file, path](const QString &chosen) -> base::Expected<QString> {
        *path = chosen;
        file.emplace(chosen);
        if (platform::PrivateFile::Result opened = file->open(); !opened)
            return base::unexpected(cannotWrite(chosen, opened.error()));
        return file->handleName();
    };
    job.commitFile = [&file, path]() -> base::Expected<void> {
        if (platform::PrivateFile::Result committed = file->commit(); !committed)
            return base::unexpected(cannotWrite(*path, committed.error()));
        return {};
    };
    return job;
}
} // namespace

base::Expected<void> printReportOn(
    QPrinter &printer, const clinic::Visit &visit, const QDateTime &madeAt)
{
    const base::Expected<const printing::Functions *> functions = printingFunctions();
    if (!functions)
        return base::unexpected(functions.error());
    std::optional<platform::PrivateFile> file;
    return (*functions)->on(printer, reportJob(visit, madeAt, file));
}

base::Expected<Printing> printReport(
    QWidget *parent, const clinic::Visit &visit, const QDateTime &madeAt)
{
    const base::Expected<const printing::Functions *> functions = printingFunctions();
    if (!functions)
        return base::unexpected(functions.error());
    std::optional<platform::PrivateFile> file;
    return (*functions)->withDialog(parent, reportJob(visit, madeAt, file));
}
