#pragma once

#include <QCursor>

#include <optional>

// The measurement screen's cross pointers, built into the program under their numbers: 101 red,
// 102 blue, 103 green. The screen picks one by number and installs it as its pointer.
// Any other number has no image.
std::optional<QCursor> loadPointerImage(int number);
