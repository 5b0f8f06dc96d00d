#include "pictures/picture.h"

#include <QImageReader>

QImage readPicture(const QString &resource)
{
    QImageReader reader(resource, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}
