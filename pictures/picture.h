#pragma once

#include <QImage>
#include <QString>

// Reads one of the pictures built into the program (":/pictures/title.png"). They are all PNG,
// and read as PNG: a picture read without its format makes Qt load every image plugin on the
// system to ask whether it knows the file, which the window being opened waits for.
QImage readPicture(const QString &resource);
