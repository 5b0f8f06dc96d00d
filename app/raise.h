#pragma once

#include "platform/localcall.h"

#include <QByteArray>
#include <QObject>

class Program;
class QWidget;

// A second start by the same user shows the running program instead of ending unseen: users
// who click the launcher again and see nothing take the program for broken and click again.
// The running instance listens on a local socket in the user's runtime folder, beside the
// instance guard, so only the same user can reach it; the second start asks it once and ends.

// How long a second start waits for the running instance: one that is stuck or too busy to
// answer leaves the second start ending as it would without it.
inline constexpr int kRaiseWaitMs = 500;

// In a second start: asks the instance that runs from `folder` to show its window. True when
// it answered that it did; false when nobody listens or no answer came within `waitMs`.
bool askToRaise(const QByteArray &folder, int waitMs = kRaiseWaitMs);

// Brings the window to the front and gives it the keyboard, un-minimised but otherwise in the
// state it had: the full-screen windows keep covering the screen, the start screen stays
// maximized.
void bringToFront(QWidget *window);

// In the instance that holds the guard: answers a second start by bringing the program's
// current window to the front.
class RaiseListener final : public QObject
{
    Q_OBJECT
public:
    // Only the holder of the instance guard may create this: it removes a socket left behind
    // by an instance that was killed, which would otherwise block listening.
    RaiseListener(const Program &program, const QByteArray &folder);

    ~RaiseListener() override;

private:
    QByteArray answer(const QByteArray &line) const;

    const Program &m_program;
    platform::LocalServer m_server;
};
