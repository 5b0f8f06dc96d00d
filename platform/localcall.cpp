#include "platform/localcall.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {
namespace {
// The socket address for `path`, or false when the path does not fit one.
bool socketAddress(const QByteArray &path, sockaddr_un &address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || path.contains('\0') || size_t(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    return true;
}

void closeSocket(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

// Waits until `fd` is ready for `events` or the deadline passes.
bool waitFor(int fd, short events, QDeadlineTimer deadline)
{
    for (;;) {
        pollfd entry {fd, events, 0};
        const qint64 left = deadline.remainingTime();
        const int ready = ::poll(&entry, 1, left < 0 ? -1 : int(left));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}
} // namespace

LocalListener::LocalListener(QByteArray path)
    : m_path(std::move(path))
{
    sockaddr_un address;
    if (!socketAddress(m_path, address))
        return;
    // Only a socket is taken for one left behind: any other file there is not ours to remove.
    struct stat status;
    if (::lstat(m_path.constData(), &status) == 0 && S_ISSOCK(status.st_mode))
        ::unlink(m_path.constData());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    // Connecting needs write permission on the socket file; narrowing it before listen() leaves
    // no moment in which another user could call.
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        closeSocket(fd);
        return;
    }
    if (::chmod(m_path.constData(), S_IRUSR | S_IWUSR) != 0 || ::listen(fd, 8) != 0) {
        ::unlink(m_path.constData());
        closeSocket(fd);
        return;
    }
    m_fd = fd;
}

LocalListener::~LocalListener()
{
    if (m_fd < 0)
        return;
    closeSocket(m_fd);
    ::unlink(m_path.constData());
}

int LocalListener::acceptCall() const
{
    for (;;) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0 || errno != EINTR)
            return fd;
    }
}

LocalCall::~LocalCall()
{
    closeSocket(m_fd);
}

LocalCall::Request LocalCall::readLine(QByteArray &line, qsizetype longest)
{
    char buffer[256];
    for (;;) {
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return Request::Waiting;
        if (n <= 0)
            return Request::Over;
        m_received.append(buffer, n);
        const qsizetype end = m_received.indexOf('\n');
        if (end >= 0 && end < longest) {
            line = m_received.left(end + 1);
            return Request::Line;
        }
        if (m_received.size() >= longest)
            return Request::Over;
    }
}

void LocalCall::answer(QByteArrayView text)
{
    // An answer of a line fits an empty socket buffer whole; a caller that left misses it.
    while (::send(m_fd, text.data(), size_t(text.size()), MSG_NOSIGNAL | MSG_DONTWAIT) < 0
        && errno == EINTR) { }
}

// One call, read as its bytes arrive so that a caller that stops half-way never holds up the
// windows. Deleted later, as it ends inside its own notifier's or timer's signal.
class LocalServer::Call final : public QObject
{
public:
    Call(int fd, QObject *server)
        : QObject(server)
        , socket(fd)
        , notifier(fd, QSocketNotifier::Read)
    {
        idle.setSingleShot(true);
    }
    LocalCall socket;
    QSocketNotifier notifier;
    QTimer idle;
};

LocalServer::LocalServer(QByteArray path, Limits limits, Handler handler)
    : m_listener(std::move(path))
    , m_limits(limits)
    , m_handler(std::move(handler))
{
    if (!m_listener.listening())
        return;
    m_notifier = new QSocketNotifier(m_listener.descriptor(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &LocalServer::acceptCalls);
    m_pause.setSingleShot(true);
    m_pause.setInterval(m_limits.pauseMs);
    connect(&m_pause, &QTimer::timeout, m_notifier, [this] { m_notifier->setEnabled(true); });
}

LocalServer::~LocalServer() = default;

void LocalServer::acceptCalls()
{
    ++m_wakeUps;
    // A bounded number at each wake-up, so that a flood of calls leaves the windows their turn;
    // the notifier wakes again for the rest.
    for (int accepted = 0; accepted < 4 * m_limits.maxCalls; ++accepted) {
        const int fd = m_listener.acceptCall();
        if (fd < 0) {
            // The call stays waiting and would wake the listener at once again.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                m_notifier->setEnabled(false);
                m_pause.start();
            }
            return;
        }
        if (m_calls.size() >= m_limits.maxCalls) {
            closeSocket(fd);
            continue;
        }
        auto *call = new Call(fd, this);
        m_calls.append(call);
        connect(&call->notifier, &QSocketNotifier::activated, call, [this, call] { serve(call); });
        connect(&call->idle, &QTimer::timeout, call, [this, call] { hangUp(call); });
        call->idle.start(m_limits.idleMs);
    }
}

void LocalServer::serve(Call *call)
{
    QByteArray line;
    const LocalCall::Request request = call->socket.readLine(line, m_limits.longest);
    if (request == LocalCall::Request::Waiting)
        return;
    if (request == LocalCall::Request::Line) {
        const QByteArray answer = m_handler(line);
        if (!answer.isEmpty())
            call->socket.answer(answer);
    }
    hangUp(call);
}

void LocalServer::hangUp(Call *call)
{
    if (!m_calls.removeOne(call))
        return;
    call->notifier.setEnabled(false);
    call->idle.stop();
    call->deleteLater();
}

QByteArray callLocal(const QByteArray &path, QByteArrayView request, QDeadlineTimer deadline)
{
    sockaddr_un address;
    if (!socketAddress(path, address))
        return {};
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    const auto finish = [fd](QByteArray answer = {}) {
        closeSocket(fd);
        return answer;
    };
    // A Unix socket connects at once or not at all: a full queue of calls counts as no answer.
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return finish();
    QByteArrayView unsent = request;
    while (!unsent.isEmpty()) {
        const ssize_t n = ::send(fd, unsent.data(), size_t(unsent.size()), MSG_NOSIGNAL);
        if (n > 0)
            unsent = unsent.sliced(n);
        else if (n == 0 || (errno != EINTR && (errno != EAGAIN || !waitFor(fd, POLLOUT, deadline))))
            return finish();
    }
    QByteArray answer;
    char buffer[256];
    while (!answer.contains('\n')) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n > 0)
            answer.append(buffer, n);
        else if (n == 0 || (errno != EINTR && (errno != EAGAIN || !waitFor(fd, POLLIN, deadline))))
            return finish();
    }
    return finish(answer.left(answer.indexOf('\n') + 1));
}

} // namespace platform
