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

// A calibration or screen size as the record writes it: the number as held, all its digits,
// with the user's decimal separator.
QString number(double value)
{
    return localised(QByteArray::number(value, 'g', kDoubleDigits));
}

// Free text on one line of one cell: tabs and line breaks would split the spreadsheet's columns
// and rows.
QString oneCell(const QString &text)
{
    QString cell = text;
    for (QChar &c : cell) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return cell;
}

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

QString copiedText(const std::optional<Deviation> &deviation)
{
    return deviation ? deviation->copied() : QStringLiteral("--");
}

QString shownText(const std::optional<Deviation> &deviation)
{
    return deviation ? deviation->shown() : QStringLiteral("--");
}

QString copyLine(const VisitResult &result)
{
    QString line
        = QCoreApplication::translate(
              "clinic", "%1  %2: %3 %4 (prism dioptres)  glasses %5; %6 fixes; ")
              .arg(result.measuredAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                  result.seeingEye, copiedText(result.across), copiedText(result.down),
                  glassesName(result.glasses), fixingEyeName(result.fixingEye))
        + QCoreApplication::translate("clinic", "calibration %1 x %2 px per 150 mm; screen %3 x %4")
              .arg(number(result.screenH), number(result.screenV),
                  number(result.screenSize.width()), number(result.screenSize.height()))
        // A prism dioptre is a size on the screen only at a given distance: the record says
        // which one the numbers assume.
        + QCoreApplication::translate("clinic", "; target %1; viewing distance %2 cm")
              .arg(targetName(result.target), QString::number(result.viewingDistanceCm));
    if (!result.calibrationNote.isEmpty())
        line += QStringLiteral("; ") + result.calibrationNote;
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

void Visit::clear()
{
    m_results.clear();
    identifier.clear();
    note.clear();
    m_resultsChanged = false;
    m_savedIdentifier.clear();
    m_savedNote.clear();
}

bool Visit::hasUnsavedResults() const
{
    return !m_results.isEmpty()
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
        if (it->target == target && (it->fixingEye == 1) == (fixingEye == 1))
            return &*it;
    }
    return nullptr;
}

QString Visit::plainText() const
{
    QStringList lines;
    if (!identifier.isEmpty())
        lines << QCoreApplication::translate("clinic", "Patient: %1").arg(oneCell(identifier));
    if (!note.isEmpty())
        lines << QCoreApplication::translate("clinic", "Note: %1").arg(oneCell(note));
    for (const VisitResult &result : m_results)
        lines << copyLine(result);
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
        const QStringList cells = {oneCell(identifier),
            r.measuredAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")),
            glassesName(r.glasses), targetName(r.target), fixingEyeName(r.fixingEye), r.seeingEye,
            // A lower bound keeps its mark in the number's own cell, "≥23.3": a spreadsheet
            // then takes it as text, never as a measured number to average.
            r.across ? r.across->base : QStringLiteral("--"),
            r.across ? r.across->sizeText() : QString(),
            r.down ? r.down->base : QStringLiteral("--"), r.down ? r.down->sizeText() : QString(),
            number(r.screenH), number(r.screenV), r.calibrationNote,
            r.calibrationDate.isValid() ? r.calibrationDate.toString(Qt::ISODate) : QString(),
            oneCell(monitorName(r.monitor)),
            QStringLiteral("%1 x %2").arg(
                number(r.screenSize.width()), number(r.screenSize.height())),
            QString::number(r.viewingDistanceCm), oneCell(note)};
        rows << cells.join(QLatin1Char('\t'));
    }
    return rows.join(QLatin1Char('\n')) + QLatin1Char('\n');
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
