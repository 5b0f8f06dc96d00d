// A Unix socket of the system's own rather than QLocalSocket: measured, Qt Network brought
// Kerberos, a proxy resolver and six more libraries into every start for this one call.
#include "platform/localcall.h"

#include "platform/logging.h"

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
    if (!socketAddress(m_path, address)) {
        qCWarning(
            lcPlatform, "cannot listen at %s: the path does not fit a socket", m_path.constData());
        return;
    }
    // Only a socket is taken for one left behind: any other file there is not ours to remove.
    struct stat status;
    if (::lstat(m_path.constData(), &status) == 0 && S_ISSOCK(status.st_mode))
        ::unlink(m_path.constData());
    base::Descriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    // Connecting needs write permission on the socket file; narrowing it before listen() leaves
    // no moment in which another user could call.
    if (!fd.isOpen()
        || ::bind(fd.get(), reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        qCWarning(lcPlatform, "cannot listen at %s: %s", m_path.constData(), std::strerror(errno));
        return;
    }
    if (::chmod(m_path.constData(), S_IRUSR | S_IWUSR) != 0 || ::listen(fd.get(), 8) != 0) {
        qCWarning(lcPlatform, "cannot listen at %s: %s", m_path.constData(), std::strerror(errno));
        ::unlink(m_path.constData());
        return;
    }
    m_fd = std::move(fd);
}

LocalListener::~LocalListener()
{
    if (m_fd.isOpen())
        ::unlink(m_path.constData());
}

base::Descriptor LocalListener::acceptCall() const
{
    for (;;) {
        base::Descriptor fd(::accept4(m_fd.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (fd.isOpen() || errno != EINTR)
            return fd;
    }
}

LocalCall::Request LocalCall::readLine(QByteArray &line, qsizetype longest)
{
    char buffer[256];
    for (;;) {
        const ssize_t n = ::recv(m_fd.get(), buffer, sizeof buffer, 0);
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
    while (::send(m_fd.get(), text.data(), size_t(text.size()), MSG_NOSIGNAL | MSG_DONTWAIT) < 0) {
        if (errno != EINTR) {
            qCInfo(lcPlatform, "a caller missed its answer: %s", std::strerror(errno));
            return;
        }
    }
}

// One call, read as its bytes arrive so that a caller that stops half-way never holds up the
// windows. Deleted later, as it ends inside its own notifier's or timer's signal.
class LocalServer::Call final : public QObject
{
public:
    Call(base::Descriptor fd, QObject *server)
        : QObject(server)
        , socket(std::move(fd))
        , notifier(socket.descriptor(), QSocketNotifier::Read)
    {
        idle.setSingleShot(true);
    }
    LocalCall socket;
    QSocketNotifier notifier; // goes before the descriptor it watches is closed
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
        base::Descriptor fd = m_listener.acceptCall();
        if (!fd.isOpen()) {
            // The call stays waiting and would wake the listener at once again.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                m_notifier->setEnabled(false);
                m_pause.start();
            }
            return;
        }
        if (m_calls.size() >= m_limits.maxCalls)
            continue; // hung up as `fd` goes
        auto *call = new Call(std::move(fd), this);
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
    const base::Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    const int fd = socket.get();
    if (fd < 0)
        return {};
    // A Unix socket connects at once or not at all: a full queue of calls counts as no answer.
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return {};
    QByteArrayView unsent = request;
    while (!unsent.isEmpty()) {
        const ssize_t n = ::send(fd, unsent.data(), size_t(unsent.size()), MSG_NOSIGNAL);
        if (n > 0)
            unsent = unsent.sliced(n);
        else if (n == 0 || (errno != EINTR && (errno != EAGAIN || !waitFor(fd, POLLOUT, deadline))))
            return {};
    }
    QByteArray answer;
    char buffer[256];
    while (!answer.contains('\n')) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n > 0)
            answer.append(buffer, n);
        else if (n == 0 || (errno != EINTR && (errno != EAGAIN || !waitFor(fd, POLLIN, deadline))))
            return {};
    }
    return answer.left(answer.indexOf('\n') + 1);
}

} // namespace platform
