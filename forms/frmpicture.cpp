#include "forms/frmpicture.h"

#include "forms/design.h"

#include <QLabel>
#include <QPixmap>

namespace {
QLabel *makePicture(
    QWidget *holder, const char *name, const char *resource, int left, const char *accessibleName)
{
    auto *picture = new QLabel(holder);
    picture->setObjectName(QLatin1String(name));
    picture->setAccessibleName(QString::fromUtf8(accessibleName));
    picture->setAccessibleDescription(
        QStringLiteral("Target ring for the measurement screen, 43 by 43 pixels"));
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    picture->setPixmap(QPixmap(QLatin1String(resource)));
    design::place(picture, left, 240, 612, 612);
    return picture;
}
} // namespace

frmpicture::frmpicture(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("frmpicture"));
    setWindowTitle(QStringLiteral("picture"));
    resize(design::twipsToPixels(2760), design::twipsToPixels(1008));
    // Never shown; named all the same, like every other window of the program.
    setAccessibleName(QStringLiteral("Ring pictures"));
    setAccessibleDescription(
        QStringLiteral("Hidden holder of the three target rings of the measurement screen"));
    Picture1 = makePicture(this, "Picture1", ":/pictures/ring_red.png", 120, "Red ring");
    Picture2 = makePicture(this, "Picture2", ":/pictures/ring_blue.png", 960, "Blue ring");
    Picture3 = makePicture(this, "Picture3", ":/pictures/ring_green.png", 1680, "Green ring");
}
