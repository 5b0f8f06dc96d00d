#pragma once

#include <QByteArray>
#include <QPoint>
#include <QString>

#include <optional>

// The measurement's arithmetic and its text: a pointer's offset from the target turned into a
// deviation in prism dioptres with its base, as the measurement screen shows it and as the copy
// for the clinic's record writes it.
namespace clinic {

// 150 mm of offset are 25 prism dioptres, one per 6 mm: offset x 25 / pixels per 150 mm. By the
// prism dioptre's definition (1 cm at 1 m) one per 6 mm is a viewing distance of 60 cm.
inline constexpr float kDioptresPer150Mm = 25;
inline constexpr int kViewingDistanceCm = 60;

// The mark before a size that is only a lower bound: "BR: ≥23.3".
inline constexpr char16_t kAtLeast = u'\u2265';

// The two directions of a result on the screen.
enum class Axis { Across, Down };

// The base of the prism that a result names, as the clinician writes it: "BR", "BL", "BD", "BU".
enum class Base { Right, Left, Down, Up };
inline constexpr Base kBases[] = {Base::Right, Base::Left, Base::Down, Base::Up};

QString baseText(Base base);
// Where, from the ring, the cross stood for a result of this base: one step along the screen's
// axes, x to the right, y down. The cross seen left of the ring takes a base-right prism, above it
// a base-down one; the screen's text, the copy, the picture and the report all follow this.
QPoint towards(Base base);
// The base of a cross `offset` pixels from the ring along `axis` (negative: left of it or above
// it). A cross on the ring's line reads as base left or base up, with a size of 0.
Base baseFor(Axis axis, double offset);

// One direction of a result: the prism's base and its size as text with the user's decimal
// separator ("3.4", "3").
struct Deviation
{
    Base base = Base::Left;
    QString size;
    // The size as a number, as the text shows it.
    double value = 0;
    // The cross stood at the screen's edge in this direction and could go no further: the true
    // deviation may be larger than the size, which is then written "≥23.3" wherever it appears.
    bool atLeast = false;
    // The size with its mark: "3.4", "≥23.3".
    QString sizeText() const { return atLeast ? QChar(kAtLeast) + size : size; }
    // As the screen shows it: "BR: 3.4", "BR: ≥23.3".
    QString shown() const { return baseText(base) + QStringLiteral(": ") + sizeText(); }
    // As the copied line writes it: "BR 3.4", "BR ≥23.3".
    QString copied() const { return baseText(base) + QLatin1Char(' ') + sizeText(); }
    // Where the cross stood from the ring along its axis, in prism dioptres as the text shows
    // them: negative left of the ring or above it.
    double signedValue() const;
};

// Whether a pointer `position` pixels from the screen's first column (or row) stands on the
// screen's outermost column (or row) of `screenPixels`: first or last. The pointer can go no
// further there, so a deviation measured in that direction is only a lower bound. A screen of no
// known size has no edge.
bool onScreenEdge(float position, float screenPixels);

// A deviation of `o` millimetres on a screen `d` millimetres from the eyes is 100 o / d prism
// dioptres. At 60 cm the arithmetic is the one every result has always been computed with, so
// that a result at 60 cm stays what it was to the last digit; at any other distance the
// millimetres on the screen are divided by the distance in millimetres.

// Across: `offset` pixels right of the reference point (negative: left of it), with `screenH`
// pixels per 150 mm, `distanceCm` from the eyes. Always one decimal: "BL: 3.0". The sign is taken
// before the rounding, so a pixel left of the reference point is "BR: 0.0". Empty where the
// calibration or the distance gives nothing to divide by (none, or a negative one): the screen
// keeps what it shows.
std::optional<Deviation> across(float offset, double screenH, int distanceCm = kViewingDistanceCm);

// Down: `offset` pixels below the reference point (negative: above it), with `screenV` pixels
// per 150 mm. Rounded to one decimal and written without a zero decimal: "BU: 3", "BD: 12.5".
// `rounded` takes the size as a number, as the screen holds it.
std::optional<Deviation> down(
    float offset, qint16 screenV, float *rounded = nullptr, int distanceCm = kViewingDistanceCm);

// A non-negative, finite number rounded to one decimal, halves away from zero, as plain text with
// a point ("3.0", "0.4", "12.5"). The half is judged on the number as its type shows it with
// `significantDigits` digits, not on its binary expansion: an offset that a calibration makes
// exactly 0.35 prism dioptres is stored as 0.34999... and must still show 0.4.
QByteArray oneDecimal(double value, int significantDigits);

// Number text with the decimal separator the user's number settings ask for.
QString localised(const QByteArray &text);

// How many significant digits each type shows: the half of a rounding is judged on these.
inline constexpr int kDoubleDigits = 15;
inline constexpr int kSingleDigits = 7;

} // namespace clinic
