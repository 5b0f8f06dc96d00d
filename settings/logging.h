#pragma once

#include <QLoggingCategory>

// What the settings layer could not do and nobody must act on (a best-effort step of a save
// that did not happen, a write the design lets go unreported), for whoever looks after the
// computer. Warnings are on; QT_LOGGING_RULES="kelvane.settings.info=true" adds the expected
// ones (a file system that cannot sync a folder, an owner only an administrator may give).
Q_DECLARE_LOGGING_CATEGORY(lcSettings)
