#pragma once

#include "clinic/monitor.h"

class QScreen;

// `screen` null: the primary screen. Without any screen the monitor is empty.
clinic::Monitor describeMonitor(const QScreen *screen);
