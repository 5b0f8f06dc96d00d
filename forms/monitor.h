#pragma once

#include "clinic/monitor.h"

#include <QList>

class QScreen;

// `screen` null: the primary screen. Without any screen the monitor is empty.
clinic::Monitor describeMonitor(const QScreen *screen);
// Every monitor but `screen` (null: the primary screen): those that may show its picture too.
QList<clinic::Monitor> describeOtherMonitors(const QScreen *screen);
