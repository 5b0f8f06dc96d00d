#pragma once

#include "base/descriptor.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

class QSocketNotifier;

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
    // for a socket, or a folder that refuses one, leaves the listener not listening (logged).
    explicit LocalListener(QByteArray path);
    ~LocalListener();
    LocalListener(const LocalListener &) = delete;
    LocalListener &operator=(const LocalListener &) = delete;

    bool listening() const { return m_fd.isOpen(); }
    // For a notifier: readable when a call waits.
    int descriptor() const { return m_fd.get(); }
    // A waiting call, never blocking; none, with errno set, when none waits or none can be taken.
    base::Descriptor acceptCall() const;

private:
    QByteArray m_path;
    base::Descriptor m_fd;
};

// One accepted call. Reading and answering never block and never raise SIGPIPE, so a caller
// that stops or hangs up cannot stall or end the running program.
class LocalCall
{
public:
    explicit LocalCall(base::Descriptor fd)
        : m_fd(std::move(fd))
    {
    }

    int descriptor() const { return m_fd.get(); }
    enum class Request {
        Waiting, // no whole line yet: read again when readable
        Line, // `line` holds it, line break included
        Over, // the caller hung up, or sent more than `longest` bytes without a line break
    };
    Request readLine(QByteArray &line, qsizetype longest);
    void answer(QByteArrayView text);

private:
    base::Descriptor m_fd;
    QByteArray m_received;
};

// Answers calls at `path` between the events of the program's one thread. Whoever may reach the
// socket (only this user) must not be able to make the program spin or run out of files: at
// most `maxCalls` calls are open at a time (more are hung up at once), a call that has not sent
// its line within `idleMs` is hung up (its caller has given up by then), and when the process
// has no file left to take a call with, the listener pauses for `pauseMs` instead of being
// woken again and again by the call still waiting.
class LocalServer final : public QObject
{
public:
    struct Limits
    {
        qsizetype longest = 64; // a longer call without a line break is not one
        int maxCalls = 16;
        int idleMs = 500;
        int pauseMs = 100;
    };
    // Gets the line of each call, line break included, and gives the answer to send back;
    // nothing is sent when the answer is empty.
    using Handler = std::function<QByteArray(const QByteArray &line)>;

    LocalServer(QByteArray path, Limits limits, Handler handler);
    ~LocalServer() override;
    LocalServer(const LocalServer &) = delete;
    LocalServer &operator=(const LocalServer &) = delete;

    bool listening() const { return m_listener.listening(); }
    // The calls open now, and how often waiting calls have woken the listener.
    qsizetype openCalls() const { return m_calls.size(); }
    int wakeUps() const { return m_wakeUps; }

private:
    class Call;
    void acceptCalls();
    void serve(Call *call);
    void hangUp(Call *call);

    LocalListener m_listener;
    Limits m_limits;
    Handler m_handler;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_pause;
    QList<Call *> m_calls;
    int m_wakeUps = 0;
};

// Calls the listener at `path` with `request` and returns its answer up to and with its line
// break; empty when nobody listens there or no whole answer came before `deadline`.
QByteArray callLocal(const QByteArray &path, QByteArrayView request, QDeadlineTimer deadline);

} // namespace platform
