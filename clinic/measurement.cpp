#include "clinic/measurement.h"

#include <QLocale>

#include <array>
#include <cmath>
#include <cstdio>

namespace clinic {

QByteArray oneDecimal(double value, int significantDigits)
{
    // "d.ddd...e+xx": the shown digits and the power of ten of the first one.
    std::array<char, 64> text {};
    std::snprintf(text.data(), text.size(), "%.*e", significantDigits - 1, value);
    const QByteArray scientific(text.data());
    const qsizetype e = scientific.indexOf('e');
    const int exponent = scientific.mid(e + 1).toInt();
    QByteArray digits = scientific.left(e);
    digits.remove(1, 1);

    // The digits up to and including the tenths, and whether the next one rounds them up.
    const qsizetype kept = exponent + 2;
    QByteArray tenths;
    bool roundUp = false;
    if (kept <= 0) {
        tenths = "0";
        roundUp = kept == 0 && digits.at(0) >= '5';
    } else if (kept >= digits.size()) {
        tenths = digits + QByteArray(kept - digits.size(), '0');
    } else {
        tenths = digits.left(kept);
        roundUp = digits.at(kept) >= '5';
    }
    if (roundUp) {
        qsizetype i = tenths.size() - 1;
        while (i >= 0 && tenths.at(i) == '9')
            tenths[i--] = '0';
        if (i < 0)
            tenths.prepend('1');
        else
            ++tenths[i];
    }
    if (tenths.size() < 2)
        tenths.prepend('0');
    return tenths.chopped(1) + '.' + tenths.back();
}

QString localised(const QByteArray &text)
{
    return QString::fromLatin1(text).replace(QLatin1Char('.'), QLocale().decimalPoint());
}

std::optional<Deviation> across(float offset, double screenH)
{
    // Multiplied in single precision, divided in double, as the result has always been computed.
    const float magnitude = std::fabs(offset);
    const double dioptres = double(magnitude * kDioptresPer150Mm) / screenH;
    if (!(screenH > 0) || !std::isfinite(dioptres))
        return std::nullopt;
    const QByteArray size = oneDecimal(dioptres, kDoubleDigits);
    return Deviation {
        offset < 0 ? QStringLiteral("BR") : QStringLiteral("BL"), localised(size), size.toDouble()};
}

std::optional<Deviation> down(float offset, qint16 screenV, float *rounded)
{
    if (screenV <= 0)
        return std::nullopt;
    const float dioptres = std::fabs(offset) * kDioptresPer150Mm / float(screenV);
    const float value = oneDecimal(dioptres, kSingleDigits).toFloat();
    if (rounded)
        *rounded = value;
    // Up to seven digits, no trailing zeros: a whole result shows without a decimal.
    return Deviation {offset < 0 ? QStringLiteral("BD") : QStringLiteral("BU"),
        localised(QByteArray::number(value, 'g', kSingleDigits)), double(value)};
}

bool onScreenEdge(float position, float screenPixels)
{
    return screenPixels > 0 && (position <= 0 || position >= screenPixels - 1);
}

} // namespace clinic
