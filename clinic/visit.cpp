#include "clinic/visit.h"

#include <QCoreApplication>
#include <QList>
#include <QStringList>

#include <algorithm>

namespace clinic {

namespace {

// Of the identifier in a report's file name: 40 characters of up to four bytes each leave the
// whole name well inside the 255 bytes of ext4 and the 255 UTF-16 units of NTFS and FAT, and
// whole in the file dialog's field.
constexpr qsizetype kFileNameIdentifierLength = 40;

} // namespace

QString glassesName(double filter)
{
    static const char *const kGlasses[] = {QT_TRANSLATE_NOOP("clinic", "OD red, OS blue"),
        QT_TRANSLATE_NOOP("clinic", "OD red, OS green"),
        QT_TRANSLATE_NOOP("clinic", "OD blue, OS red"),
        QT_TRANSLATE_NOOP("clinic", "OD green, OS red")};
    for (int k = 1; k <= 4; ++k) {
        if (filter == k)
            return QCoreApplication::translate("clinic", kGlasses[k - 1]);
    }
    return QCoreApplication::translate("clinic", "not chosen");
}

QString targetName(double target)
{
    static const char *const kPlaces[] = {QT_TRANSLATE_NOOP("clinic", "Center"),
        QT_TRANSLATE_NOOP("clinic", "Right"), QT_TRANSLATE_NOOP("clinic", "Left")};
    for (int k = 1; k <= 3; ++k) {
        if (target == k)
            return QCoreApplication::translate("clinic", kPlaces[k - 1]);
    }
    return QCoreApplication::translate("clinic", "not chosen");
}

QString fixingEyeName(double fixEye)
{
    return fixEye == 1 ? QStringLiteral("OD") : QStringLiteral("OS");
}

bool sameFixingEye(double a, double b)
{
    return (a == 1) == (b == 1);
}

QPointF VisitResult::offsetDioptres() const
{
    return {across ? across->signedValue() : 0.0, down ? down->signedValue() : 0.0};
}

QString copyLine(const VisitResult &result)
{
    QString line = QCoreApplication::translate(
                       "clinic", "%1  %2: %3 %4 (prism dioptres)  glasses %5; %6 fixes; ")
                       .arg(dateTimeText(result.measuredAt), result.seeingEye,
                           copiedText(result.across), copiedText(result.down),
                           glassesName(result.glasses), fixingEyeName(result.fixingEye))
        + QCoreApplication::translate("clinic", "calibration %1 x %2 px per 150 mm; screen %3 x %4")
              .arg(numberAsHeld(result.screenH), numberAsHeld(result.screenV),
                  numberAsHeld(result.screenSize.width()), numberAsHeld(result.screenSize.height()))
        // A prism dioptre is a size on the screen only at a given distance: the record says
        // which one the numbers assume.
        + QCoreApplication::translate("clinic", "; target %1; viewing distance %2 cm")
              .arg(targetName(result.target), QString::number(result.viewingDistanceCm));
    if (!result.calibrationNote.isEmpty())
        line += QStringLiteral("; ") + result.calibrationNote;
    return line;
}

HessState HessPoint::state() const
{
    const int index = int(target);
    if (target < test->points.size() && test->points[target])
        return HessState::Measured;
    if (test->skipped.contains(index))
        return HessState::Skipped;
    if (test->notOnScreen.contains(index))
        return HessState::NotOnScreen;
    return HessState::NotMeasured;
}

const hess::PointResult *HessPoint::result() const
{
    return target < test->points.size() && test->points[target] ? &*test->points[target] : nullptr;
}

QString eyeName(hess::Eye eye)
{
    return eye == hess::Eye::Right ? QStringLiteral("OD") : QStringLiteral("OS");
}

QString fieldName(hess::Field field)
{
    return field == hess::Field::Inner ? QCoreApplication::translate("clinic", "inner")
                                       : QCoreApplication::translate("clinic", "outer");
}

QString hessStateText(HessState state)
{
    switch (state) {
    case HessState::Measured:
        return QCoreApplication::translate("clinic", "measured");
    case HessState::Skipped:
        return QCoreApplication::translate("clinic", "skipped");
    case HessState::NotOnScreen:
        return QCoreApplication::translate("clinic", "not on this screen");
    case HessState::NotMeasured:
        break;
    }
    return QCoreApplication::translate("clinic", "not measured");
}

QString hessEyesText(const hess::Test &test)
{
    return QCoreApplication::translate("clinic", "%1 plotted, %2 fixing")
        .arg(eyeName(test.plotted), eyeName(test.fixing));
}

QString hessCopyLine(const HessPoint &point)
{
    const hess::Test &test = *point.test;
    const hess::Target &target = hess::kTargets[point.target];
    QString line
        = QCoreApplication::translate("clinic", "%1  Hess %2, %3 field, target α %4 β %5: ")
              .arg(dateTimeText(test.measuredAt), hessEyesText(test), fieldName(target.field),
                  degreesText(target.gaze.alpha), degreesText(target.gaze.beta));
    if (const hess::PointResult *r = point.result()) {
        const hess::PointDioptres dioptres = hess::pointDioptres(*r, test.screenH, test.screenV);
        line += QCoreApplication::translate(
            "clinic", "measured α %1 β %2, deviation α %3 β %4 = %5 %6 (prism dioptres)")
                    .arg(degreesText(r->measured.alpha), degreesText(r->measured.beta),
                        degreesText(r->deviation.alpha), degreesText(r->deviation.beta),
                        copiedText(dioptres.across), copiedText(dioptres.down));
    } else {
        line += hessStateText(point.state());
    }
    line += QCoreApplication::translate(
        "clinic", "; calibration %1 x %2 px per 150 mm; viewing distance %3 cm")
                .arg(numberAsHeld(test.screenH), numberAsHeld(test.screenV),
                    QString::number(test.distanceCm));
    if (!test.calibrationNote.isEmpty())
        line += QStringLiteral("; ") + test.calibrationNote;
    if (!test.complete)
        line += QStringLiteral("; ") + QCoreApplication::translate("clinic", "test incomplete");
    return line;
}

void Visit::add(const VisitResult &result)
{
    if (result.measured()) {
        m_results.append(result);
        m_resultsChanged = true;
    }
}

void Visit::remove(qsizetype index)
{
    if (index >= 0 && index < m_results.size()) {
        m_results.remove(index);
        m_resultsChanged = true;
    }
}

QList<hess::Test> Visit::hessTests() const
{
    QList<hess::Test> tests;
    for (const QList<hess::Test> &run : m_hessRuns)
        tests.append(run);
    return tests;
}

void Visit::addHessRun(const QList<hess::Test> &tests)
{
    if (!tests.isEmpty()) {
        m_hessRuns.append(tests);
        m_resultsChanged = true;
    }
}

QList<HessPoint> Visit::hessPoints() const
{
    QList<HessPoint> points;
    for (const QList<hess::Test> &run : m_hessRuns) {
        for (const hess::Test &test : run) {
            for (std::size_t target = 0; target < test.points.size(); ++target)
                points.append({&test, target});
        }
    }
    return points;
}

void Visit::clear()
{
    m_results.clear();
    m_hessRuns.clear();
    identifier.clear();
    note.clear();
    m_resultsChanged = false;
    m_savedIdentifier.clear();
    m_savedNote.clear();
}

bool Visit::hasUnsavedResults() const
{
    return !isEmpty()
        && (m_resultsChanged || identifier != m_savedIdentifier || note != m_savedNote);
}

void Visit::markSaved()
{
    m_resultsChanged = false;
    m_savedIdentifier = identifier;
    m_savedNote = note;
}

const VisitResult *Visit::latest(double target, double fixingEye) const
{
    for (auto it = m_results.crbegin(); it != m_results.crend(); ++it) {
        // The screen takes any FixEye but 1 as OS: so does the grid.
        if (it->target == target && sameFixingEye(it->fixingEye, fixingEye))
            return &*it;
    }
    return nullptr;
}

QString Visit::plainText() const
{
    QStringList lines;
    if (!identifier.isEmpty())
        lines << QCoreApplication::translate("clinic", "Patient: %1").arg(oneLine(identifier));
    if (!note.isEmpty())
        lines << QCoreApplication::translate("clinic", "Note: %1").arg(oneLine(note));
    for (const VisitResult &result : m_results)
        lines << copyLine(result);
    for (const HessPoint &point : hessPoints())
        lines << hessCopyLine(point);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString Visit::tabSeparated() const
{
    const QStringList header = {QCoreApplication::translate("clinic", "Patient"),
        QCoreApplication::translate("clinic", "Time"),
        QCoreApplication::translate("clinic", "Glasses"),
        QCoreApplication::translate("clinic", "Target"),
        QCoreApplication::translate("clinic", "Fixing eye"),
        QCoreApplication::translate("clinic", "Eye seeing the cross"),
        QCoreApplication::translate("clinic", "Horizontal base"),
        QCoreApplication::translate("clinic", "Horizontal (prism dioptres)"),
        QCoreApplication::translate("clinic", "Vertical base"),
        QCoreApplication::translate("clinic", "Vertical (prism dioptres)"),
        QCoreApplication::translate("clinic", "Calibration across (px per 150 mm)"),
        QCoreApplication::translate("clinic", "Calibration down (px per 150 mm)"),
        QCoreApplication::translate("clinic", "Calibration note"),
        QCoreApplication::translate("clinic", "Calibrated on"),
        QCoreApplication::translate("clinic", "Monitor"),
        QCoreApplication::translate("clinic", "Screen (px)"),
        QCoreApplication::translate("clinic", "Viewing distance (cm)"),
        QCoreApplication::translate("clinic", "Note")};
    QStringList rows = {header.join(QLatin1Char('\t'))};
    for (const VisitResult &r : m_results) {
        const QStringList cells = {oneLine(identifier), dateTimeText(r.measuredAt),
            glassesName(r.glasses), targetName(r.target), fixingEyeName(r.fixingEye), r.seeingEye,
            // A lower bound keeps its mark in the number's own cell, "≥23.3": a spreadsheet
            // then takes it as text, never as a measured number to average.
            r.across ? baseText(r.across->base) : QStringLiteral("--"),
            r.across ? r.across->sizeText() : QString(),
            r.down ? baseText(r.down->base) : QStringLiteral("--"),
            r.down ? r.down->sizeText() : QString(), numberAsHeld(r.screenH),
            numberAsHeld(r.screenV), r.calibrationNote,
            r.calibrationDate.isValid() ? r.calibrationDate.toString(Qt::ISODate) : QString(),
            oneLine(monitorName(r.monitor)),
            QStringLiteral("%1 x %2").arg(
                numberAsHeld(r.screenSize.width()), numberAsHeld(r.screenSize.height())),
            QString::number(r.viewingDistanceCm), oneLine(note)};
        rows << cells.join(QLatin1Char('\t'));
    }
    if (!m_hessRuns.isEmpty())
        rows << QString() << hessTable();
    return rows.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

// The Hess points as a table of their own: their columns are not the three targets'.
QStringList Visit::hessTable() const
{
    const QStringList header = {QCoreApplication::translate("clinic", "Patient"),
        QCoreApplication::translate("clinic", "Time"),
        QCoreApplication::translate("clinic", "Hess test"),
        QCoreApplication::translate("clinic", "Eye plotted"),
        QCoreApplication::translate("clinic", "Fixing eye"),
        QCoreApplication::translate("clinic", "Field"),
        QCoreApplication::translate("clinic", "Target α (°, right +)"),
        QCoreApplication::translate("clinic", "Target β (°, up +)"),
        QCoreApplication::translate("clinic", "Point"),
        QCoreApplication::translate("clinic", "Measured α (°)"),
        QCoreApplication::translate("clinic", "Measured β (°)"),
        QCoreApplication::translate("clinic", "Deviation across (°, right +)"),
        QCoreApplication::translate("clinic", "Deviation vertical (°, up +)"),
        QCoreApplication::translate("clinic", "Horizontal base"),
        QCoreApplication::translate("clinic", "Horizontal (prism dioptres)"),
        QCoreApplication::translate("clinic", "Vertical base"),
        QCoreApplication::translate("clinic", "Vertical (prism dioptres)"),
        QCoreApplication::translate("clinic", "Calibration across (px per 150 mm)"),
        QCoreApplication::translate("clinic", "Calibration down (px per 150 mm)"),
        QCoreApplication::translate("clinic", "Calibration note"),
        QCoreApplication::translate("clinic", "Viewing distance (cm)"),
        QCoreApplication::translate("clinic", "Note")};
    QStringList rows = {header.join(QLatin1Char('\t'))};
    for (const HessPoint &point : hessPoints()) {
        const hess::Test &test = *point.test;
        const hess::Target &target = hess::kTargets[point.target];
        QStringList measured(4);
        hess::PointDioptres dioptres;
        if (const hess::PointResult *r = point.result()) {
            measured = {degreesText(r->measured.alpha), degreesText(r->measured.beta),
                degreesText(r->deviation.alpha), degreesText(r->deviation.beta)};
            dioptres = hess::pointDioptres(*r, test.screenH, test.screenV);
        }
        const auto base = [&](const std::optional<Deviation> &d) {
            return d ? baseText(d->base) : point.result() ? QStringLiteral("--") : QString();
        };
        QStringList cells = {oneLine(identifier), dateTimeText(test.measuredAt),
            test.complete ? QCoreApplication::translate("clinic", "complete")
                          : QCoreApplication::translate("clinic", "incomplete"),
            eyeName(test.plotted), eyeName(test.fixing), fieldName(target.field),
            degreesText(target.gaze.alpha), degreesText(target.gaze.beta),
            hessStateText(point.state())};
        cells << measured;
        cells << base(dioptres.across)
              << (dioptres.across ? dioptres.across->sizeText() : QString()) << base(dioptres.down)
              << (dioptres.down ? dioptres.down->sizeText() : QString())
              << numberAsHeld(test.screenH) << numberAsHeld(test.screenV) << test.calibrationNote
              << QString::number(test.distanceCm) << oneLine(note);
        rows << cells.join(QLatin1Char('\t'));
    }
    return rows;
}

namespace {

// What FAT, NTFS and SMB shares refuse in a name, besides control characters: a report saved
// to a USB stick or a network share must be taken there too.
bool refusedInFileName(char32_t c)
{
    static const QString kRefused = QStringLiteral("<>:\"/\\|?*");
    if (c < 0x80 && kRefused.contains(QLatin1Char(char(c))))
        return true;
    // Control and format characters (a right-to-left override would show "fdp.exe" for
    // "exe.pdf"), surrogates and the line and paragraph separators are nothing a person reads.
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_PrivateUse:
    case QChar::Other_NotAssigned:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

// Dots and blanks at the ends: a leading dot hides the file, ".." names a folder, and Windows
// drops trailing ones.
QString trimmedForFileName(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    const auto loose = [](QChar c) { return c == QLatin1Char('.') || c.isSpace(); };
    while (begin < end && loose(text.at(begin)))
        ++begin;
    while (end > begin && loose(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

QString reportFileName(const QString &identifier, const QDateTime &localTime)
{
    // Whole characters, whatever their length in UTF-16; an unpaired surrogate arrives as U+FFFD.
    QList<uint> characters = trimmedForFileName(identifier).toUcs4();
    characters.resize(std::min(characters.size(), kFileNameIdentifierLength));
    QString safe;
    for (const uint c : std::as_const(characters)) {
        if (refusedInFileName(c))
            safe += QLatin1Char('_');
        else
            safe.append(QChar::fromUcs4(c));
    }
    safe = trimmedForFileName(safe);
    const QString time = localTime.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
    return safe.isEmpty()
        ? QCoreApplication::translate("clinic", "Kelvane report %1.pdf").arg(time)
        : QCoreApplication::translate("clinic", "Kelvane report %1 %2.pdf").arg(safe, time);
}

} // namespace clinic
