#include "platform/localcall.h"

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
