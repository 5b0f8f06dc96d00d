#include "forms/valuebox.h"

#include "settings/ini.h"

#include <QWheelEvent>

namespace {
// The box holds its value to this many decimals, more than any stored value carries, and shows
// it as the captions do, without trailing zeros.
constexpr int kDecimals = 10;
} // namespace

ValueBox::ValueBox(QWidget *parent)
    : QDoubleSpinBox(parent)
{
    // The settings file and the captions write a point, whatever the desktop's language.
    setLocale(QLocale::c());
    setDecimals(kDecimals);
    setButtonSymbols(NoButtons);
    setKeyboardTracking(false);
    // A value typed beyond the range becomes the nearest the screen can show.
    setCorrectionMode(CorrectToNearestValue);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void ValueBox::stepBy(int steps)
{
    Q_EMIT stepped(steps);
}

QSize ValueBox::sizeHint() const
{
    QSize hint = QDoubleSpinBox::sizeHint();
    hint.rwidth() += fontMetrics().horizontalAdvance(QStringLiteral(".5"));
    return hint;
}

QSize ValueBox::minimumSizeHint() const
{
    return sizeHint();
}

QString ValueBox::textFromValue(double value) const
{
    return settings::captionText(value);
}

QAbstractSpinBox::StepEnabled ValueBox::stepEnabled() const
{
    return StepUpEnabled | StepDownEnabled;
}

void ValueBox::wheelEvent(QWheelEvent *event)
{
    event->ignore();
}
