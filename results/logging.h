#pragma once

#include <QLoggingCategory>

// What the Results window and its report could not do beyond what the user is told (the print
// module that could not be loaded, say), for whoever looks after the computer.
Q_DECLARE_LOGGING_CATEGORY(lcResults)
