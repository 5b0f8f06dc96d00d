#include "pictures/pointers.h"

#include "pictures/picture.h"

#include <QPixmap>
#include <QString>

#include <algorithm>
#include <iterator>

namespace {
struct PointerImage
{
    int number;
    int hotX;
    int hotY;
};

// The hot spot is the pixel whose screen position the pointer reports. It lies at the image's
// top-left, not at the cross's centre (pixel 15): the measurement screen measures from a point
// 6 pixels into the ring picture, whose centre is pixel 21, so a cross centred on the ring
// reports that point exactly with 102 and one pixel right of and below it with 101 and 103.
constexpr PointerImage kPointerImages[] = {
    {101, 1, 1},
    {102, 0, 0},
    {103, 1, 1},
};
} // namespace

std::optional<QCursor> loadPointerImage(int number)
{
    const auto *image = std::find_if(std::begin(kPointerImages), std::end(kPointerImages),
        [number](const PointerImage &candidate) { return candidate.number == number; });
    if (image == std::end(kPointerImages))
        return std::nullopt;
    QPixmap pixmap
        = QPixmap::fromImage(readPicture(QStringLiteral(":/pictures/pointer%1.png").arg(number)));
    if (pixmap.isNull())
        return std::nullopt;
    // One image pixel to one screen pixel: a scaled cross would no longer stand at its known
    // distance from the hot spot, and every measurement would shift with it.
    pixmap.setDevicePixelRatio(1);
    return QCursor(pixmap, image->hotX, image->hotY);
}
