#include "app/raise.h"

#include "app/program.h"

#include <QWidget>

namespace {
constexpr char kSocketName[] = "kelvane.raise";
constexpr char kRequest[] = "raise\n";
constexpr char kAnswer[] = "raised\n";
// A call longer than this without a line break is not a second start.
constexpr qsizetype kLongestRequest = 64;

QByteArray socketPath(const QByteArray &folder)
{
    return folder + '/' + kSocketName;
}
} // namespace

bool askToRaise(const QByteArray &folder, int waitMs)
{
    return platform::callLocal(socketPath(folder), kRequest, QDeadlineTimer(waitMs)) == kAnswer;
}

void bringToFront(QWidget *window)
{
    // Not showNormal(): that would take the start screen out of its maximized state, and the
    // measurement screen must stay exactly over the whole screen.
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    // A window manager raises the window it activates; without one, raising is ours to do.
    window->raise();
    window->activateWindow();
}

RaiseListener::RaiseListener(const Program &program, const QByteArray &folder)
    : m_program(program)
    // A second start waits kRaiseWaitMs for its answer: a call still silent by then is hung up.
    // A socket that cannot be had (a folder name too long for one) leaves the second start
    // ending unseen, as it would without this.
    , m_server(socketPath(folder),
          {.longest = kLongestRequest, .maxCalls = 16, .idleMs = kRaiseWaitMs, .pauseMs = 100},
          [this](const QByteArray &line) { return answer(line); })
{
}

RaiseListener::~RaiseListener() = default;

QByteArray RaiseListener::answer(const QByteArray &line) const
{
    if (line != kRequest)
        return {};
    if (QWidget *window = m_program.current())
        bringToFront(window);
    return kAnswer;
}
