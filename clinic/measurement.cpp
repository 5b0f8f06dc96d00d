#include "clinic/measurement.h"

#include <QLocale>

#include <array>
#include <cmath>
#include <cstdio>

namespace clinic {

namespace {
constexpr double kCalibrationMm = 150;
constexpr double kMmPerCm = 10;
constexpr double kDioptresPerTangent = 100; // a prism dioptre deviates 1 cm at 1 m

// 100 o / d for `pixels` on a screen of `calibration` pixels per 150 mm.
double dioptresAt(double pixels, double calibration, int distanceCm)
{
    const double onScreenMm = pixels * kCalibrationMm / calibration;
    return kDioptresPerTangent * onScreenMm / (distanceCm * kMmPerCm);
}
} // namespace

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

QString baseText(Base base)
{
    switch (base) {
    case Base::Right:
        return QStringLiteral("BR");
    case Base::Left:
        return QStringLiteral("BL");
    case Base::Down:
        return QStringLiteral("BD");
    case Base::Up:
        break;
    }
    return QStringLiteral("BU");
}

QPoint towards(Base base)
{
    switch (base) {
    case Base::Right:
        return {-1, 0};
    case Base::Left:
        return {1, 0};
    case Base::Down:
        return {0, -1};
    case Base::Up:
        break;
    }
    return {0, 1};
}

Base baseFor(Axis axis, double offset)
{
    const int sign = offset < 0 ? -1 : 1;
    for (const Base base : kBases) {
        const QPoint way = towards(base);
        if ((axis == Axis::Across ? way.x() : way.y()) == sign)
            return base;
    }
    return Base::Left; // not reached: every direction of an axis has its base
}

double Deviation::signedValue() const
{
    const QPoint way = towards(base);
    return (way.x() + way.y()) * value;
}

QString localised(const QByteArray &text)
{
    return QString::fromLatin1(text).replace(QLatin1Char('.'), QLocale().decimalPoint());
}

std::optional<Deviation> across(float offset, double screenH, int distanceCm)
{
    // At 60 cm multiplied in single precision, divided in double, as the result has always been
    // computed.
    const float magnitude = std::fabs(offset);
    const double dioptres = distanceCm == kViewingDistanceCm
        ? double(magnitude * kDioptresPer150Mm) / screenH
        : dioptresAt(magnitude, screenH, distanceCm);
    if (!(screenH > 0) || distanceCm <= 0 || !std::isfinite(dioptres))
        return std::nullopt;
    const QByteArray size = oneDecimal(dioptres, kDoubleDigits);
    return Deviation {baseFor(Axis::Across, offset), localised(size), size.toDouble()};
}

std::optional<Deviation> down(float offset, qint16 screenV, float *rounded, int distanceCm)
{
    if (screenV <= 0 || distanceCm <= 0)
        return std::nullopt;
    // At 60 cm in single precision throughout, the half judged on its seven digits, as the
    // result has always been computed.
    const float value = distanceCm == kViewingDistanceCm
        ? oneDecimal(std::fabs(offset) * kDioptresPer150Mm / float(screenV), kSingleDigits)
              .toFloat()
        : oneDecimal(dioptresAt(std::fabs(offset), screenV, distanceCm), kDoubleDigits).toFloat();
    if (rounded)
        *rounded = value;
    // Up to seven digits, no trailing zeros: a whole result shows without a decimal.
    return Deviation {baseFor(Axis::Down, offset),
        localised(QByteArray::number(value, 'g', kSingleDigits)), double(value)};
}

bool onScreenEdge(float position, float screenPixels)
{
    return screenPixels > 0 && (position <= 0 || position >= screenPixels - 1);
}

} // namespace clinic
