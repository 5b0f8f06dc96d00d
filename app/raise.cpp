#include "app/raise.h"

#include "app/program.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

namespace {
constexpr char kSocketName[] = "kelvane.raise";
constexpr char kRequest[] = "raise\n";
constexpr char kAnswer[] = "raised\n";
// A call longer than this without a line break is not a second start.
constexpr qint64 kLongestRequest = 64;

QString socketPath(const QByteArray &folder)
{
    return QFile::decodeName(folder + '/' + kSocketName);
}
} // namespace

bool askToRaise(const QByteArray &folder, int waitMs)
{
    const QDeadlineTimer deadline(waitMs);
    const auto left = [&deadline] { return int(deadline.remainingTime()); };
    QLocalSocket socket;
    socket.connectToServer(socketPath(folder));
    if (!socket.waitForConnected(left()))
        return false;
    socket.write(kRequest);
    if (!socket.waitForBytesWritten(left()))
        return false;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(left()))
            return false;
    }
    return socket.readLine() == kAnswer;
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
    , m_server(new QLocalServer(this))
{
    // Only this user may call, even where the runtime folder is the home folder.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString path = socketPath(folder);
    QLocalServer::removeServer(path);
    // A socket that cannot be had (a folder name too long for one) leaves the second start
    // ending unseen, as it did before.
    if (!m_server->listen(path))
        return;
    connect(m_server, &QLocalServer::newConnection, this, &RaiseListener::acceptCalls);
}

void RaiseListener::acceptCalls()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { answer(socket); });
    }
}

void RaiseListener::answer(QLocalSocket *socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kLongestRequest) {
            socket->abort();
            socket->deleteLater();
        }
        return;
    }
    if (socket->readLine(kLongestRequest) == kRequest) {
        if (QWidget *window = m_program.current())
            bringToFront(window);
        socket->write(kAnswer);
        socket->flush();
    }
    socket->disconnectFromServer();
}
