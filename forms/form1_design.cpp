#include "forms/form1_design.h"

#include "forms/design.h"

#include <QLabel>
#include <QPixmap>
#include <QWidget>

namespace {
// Client area of the window before it is made to cover the screen, in twips.
constexpr int kClientWidth = 11052;
constexpr int kClientHeight = 8964;

// The result labels are small: they must not draw the eye away from the ring.
constexpr qreal kResultPoints = 7.8;

// The column of labels at the right, each 240 twips below the one before.
constexpr int kLabelLeft = 9600;
constexpr int kLabelWidth = 1452;
constexpr int kLabelHeight = 252;

QLabel *makeLabel(QWidget *window, const char *name, const char *text, int top)
{
    auto *label = new QLabel(QLatin1String(text), window);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    design::place(label, kLabelLeft, top, kLabelWidth, kLabelHeight);
    design::setColours(label, design::ButtonFace);
    return label;
}
} // namespace

void Form1Design::setupUi(QWidget *Form1)
{
    Form1->setObjectName(QStringLiteral("Form1"));
    Form1->setWindowTitle(QStringLiteral("Form1"));
    Form1->setWindowFlag(Qt::FramelessWindowHint);
    Form1->resize(design::twipsToPixels(kClientWidth), design::twipsToPixels(kClientHeight));
    // Black in every desktop scheme: the ring pictures have black backgrounds, and any other
    // shade would show their square through the filter glasses.
    design::setColours(Form1, design::WindowFrame);

    HPosi = makeLabel(Form1, "HPosi", "Label1", 0);
    VPosi = makeLabel(Form1, "VPosi", "Label2", 240);
    HPD = makeLabel(Form1, "HPD", "PDH", 480);
    VPD = makeLabel(Form1, "VPD", "PDV", 720);
    PDEye = makeLabel(Form1, "PDEye", "PDEye", 960);
    for (QLabel *label : {HPD, VPD, PDEye}) {
        design::setColours(label, design::WindowFrame, design::ButtonShadow);
        label->setFont(design::boldFont(kResultPoints));
    }

    // The box is larger than its ring; the ring sits in its top left corner, unscaled, so the
    // box's corner is also the picture's pixel (0, 0).
    target = new QLabel(Form1);
    target->setObjectName(QStringLiteral("target"));
    target->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    design::place(target, 5280, 4800, 852, 852);
    design::setColours(target, design::WindowFrame);
    target->setPixmap(QPixmap(QStringLiteral(":/pictures/ring_blue.png")));

    // The labels never take the focus, so the box is the only stop in the focus order
    // (HPosi, VPosi, HPD, VPD, target, PDEye) and has the focus when the screen opens.
    target->setFocusPolicy(Qt::StrongFocus);
    target->setFocus();

    // For screen readers and automated tools; the results keep their captions as names, so
    // that they are read with the values shown.
    Form1->setAccessibleName(QStringLiteral("Kelvane measurement screen"));
    Form1->setAccessibleDescription(
        QStringLiteral("Move the cross to where the ring is seen; a left click measures, a right "
                       "click or Esc returns to the start screen"));
    target->setAccessibleName(QStringLiteral("Target ring"));
    target->setAccessibleDescription(QStringLiteral("The ring the fixing eye looks at"));
    HPD->setAccessibleDescription(
        QStringLiteral("Horizontal deviation in prism dioptres with its base direction"));
    VPD->setAccessibleDescription(
        QStringLiteral("Vertical deviation in prism dioptres with its base direction"));
    PDEye->setAccessibleDescription(QStringLiteral("The eye that sees the cross"));
}
