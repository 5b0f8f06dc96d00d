#pragma once

#include <QDoubleSpinBox>

// A calibration value in pixels per 150 mm that the clinician reads and may type: shown exactly
// as the captions write numbers, with its unit after it, and taken when Enter is pressed or the
// box is left. It has no step buttons: the arrow and page keys ask for the mark to move by
// pixels instead (stepped), one an arrow and ten a page, as the axis's step bar moves it, so
// that the value always stays what a mark on the screen measures.
class ValueBox final : public QDoubleSpinBox
{
    Q_OBJECT
public:
    explicit ValueBox(QWidget *parent);

    void stepBy(int steps) override;
    // Room for the largest value, with a half: a step on 100 mm is 1.5 pixels per 150 mm.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void stepped(int pixels);

protected:
    QString textFromValue(double value) const override;
    StepEnabled stepEnabled() const override;
    // A wheel turned over the box leaves the value alone: the pointer may only be passing.
    void wheelEvent(QWheelEvent *event) override;
};
