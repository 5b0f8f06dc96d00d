#include "clinic/format.h"

#include <cmath>

namespace clinic {

QString dateTimeText(const QDateTime &at)
{
    return at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString timeText(const QDateTime &at)
{
    return at.toLocalTime().toString(QStringLiteral("HH:mm:ss"));
}

QString numberAsHeld(double value)
{
    return localised(QByteArray::number(value, 'g', kDoubleDigits));
}

QString shownText(const std::optional<Deviation> &deviation)
{
    return deviation ? deviation->shown() : QStringLiteral("--");
}

QString copiedText(const std::optional<Deviation> &deviation)
{
    return deviation ? deviation->copied() : QStringLiteral("--");
}

QString degreesText(double degrees)
{
    const QByteArray size = oneDecimal(std::fabs(degrees), kDoubleDigits);
    const bool negative = degrees < 0 && size != "0.0";
    return (negative ? QStringLiteral("-") : QString()) + localised(size) + QChar(0x00B0);
}

QString oneLine(const QString &text)
{
    QString line = text;
    for (QChar &c : line) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t')
            || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    }
    return line;
}

} // namespace clinic
