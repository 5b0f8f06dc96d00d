#include "pictures/picture.h"

#include <QFileInfo>
#include <QImageReader>

QImage readPicture(const QString &resource)
{
    QImageReader reader(resource, QFileInfo(resource).suffix().toLatin1());
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}
