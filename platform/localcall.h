#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDeadlineTimer>

// One-line calls between two instances of the program of the same user, over a Unix-domain
// socket in the user's runtime folder. Written on the system's sockets rather than Qt Network,
// whose library brings Kerberos, a proxy resolver and six more libraries into every start.
namespace platform {

// The listening end. Reachable by this user only; the socket file is removed again when the
// listener goes.
class LocalListener
{
public:
    // Only one that holds the instance guard may listen: a socket left at `path` by an instance
    // that was killed is removed first, as it would otherwise block listening. A path too long
    // for a socket, or a folder that refuses one, leaves the listener not listening.
    explicit LocalListener(QByteArray path);
    ~LocalListener();
    LocalListener(const LocalListener &) = delete;
    LocalListener &operator=(const LocalListener &) = delete;

    bool listening() const { return m_fd >= 0; }
    // For a notifier: readable when a call waits.
    int descriptor() const { return m_fd; }
    // A waiting call, never blocking; -1 when none waits.
    int acceptCall() const;

private:
    QByteArray m_path;
    int m_fd = -1;
};

// One accepted call. Reading and answering never block and never raise SIGPIPE, so a caller
// that stops or hangs up cannot stall or end the running program.
class LocalCall
{
public:
    explicit LocalCall(int fd)
        : m_fd(fd)
    {
    }
    ~LocalCall();
    LocalCall(const LocalCall &) = delete;
    LocalCall &operator=(const LocalCall &) = delete;

    int descriptor() const { return m_fd; }
    enum class Request {
        Waiting, // no whole line yet: read again when readable
        Line, // `line` holds it, line break included
        Over, // the caller hung up, or sent more than `longest` bytes without a line break
    };
    Request readLine(QByteArray &line, qsizetype longest);
    void answer(QByteArrayView text);

private:
    int m_fd;
    QByteArray m_received;
};

// Calls the listener at `path` with `request` and returns its answer up to and with its line
// break; empty when nobody listens there or no whole answer came before `deadline`.
QByteArray callLocal(const QByteArray &path, QByteArrayView request, QDeadlineTimer deadline);

} // namespace platform
