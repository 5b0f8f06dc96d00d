#include "app/raise.h"

#include "app/program.h"

#include <QSocketNotifier>
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

// A second start's call, read as its bytes arrive so that a caller that stops half-way never
// holds up the windows.
struct RaiseListener::Call
{
    explicit Call(int fd)
        : socket(fd)
        , notifier(fd, QSocketNotifier::Read)
    {
    }
    platform::LocalCall socket;
    QSocketNotifier notifier;
};

RaiseListener::RaiseListener(const Program &program, const QByteArray &folder)
    : m_program(program)
    , m_listener(socketPath(folder))
{
    // A socket that cannot be had (a folder name too long for one) leaves the second start
    // ending unseen, as it would without this.
    if (!m_listener.listening())
        return;
    auto *notifier = new QSocketNotifier(m_listener.descriptor(), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &RaiseListener::acceptCalls);
}

RaiseListener::~RaiseListener() = default;

void RaiseListener::acceptCalls()
{
    for (int fd; (fd = m_listener.acceptCall()) >= 0;) {
        Call *call = m_calls.emplace_back(std::make_unique<Call>(fd)).get();
        connect(&call->notifier, &QSocketNotifier::activated, this, [this, call] { answer(call); });
    }
}

void RaiseListener::answer(Call *call)
{
    QByteArray line;
    const platform::LocalCall::Request request = call->socket.readLine(line, kLongestRequest);
    if (request == platform::LocalCall::Request::Waiting)
        return;
    if (request == platform::LocalCall::Request::Line && line == kRequest) {
        if (QWidget *window = m_program.current())
            bringToFront(window);
        call->socket.answer(kAnswer);
    }
    // Not deleted here: this runs inside the notifier's own signal.
    call->notifier.setEnabled(false);
    QMetaObject::invokeMethod(
        this,
        [this, call] {
            std::erase_if(
                m_calls, [call](const std::unique_ptr<Call> &c) { return c.get() == call; });
        },
        Qt::QueuedConnection);
}
