#pragma once

#include <QLoggingCategory>

// What the operating system refused the program where nobody must act on it (a lock's mode not
// narrowed, core dumps not switched off, a folder not synced, a socket not listened on), for
// whoever looks after the computer. Warnings are on; QT_LOGGING_RULES="kelvane.platform.info=true"
// adds the expected ones.
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
