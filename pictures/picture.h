#pragma once

#include <QImage>
#include <QString>

// Reads one of the pictures built into the program (":/pictures/ring_red.png"), in the format
// its name ends with, PNG or BMP, both built into Qt: a picture read without its format makes Qt
// load every image plugin on the system to ask whether it knows the file, which the window being
// opened waits for.
QImage readPicture(const QString &resource);
