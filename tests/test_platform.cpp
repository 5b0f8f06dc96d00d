// The instance guard: one instance per user, and one per program folder across users, with a
// word on who holds it for the user who is turned away. The local call through which a second
// start reaches the running instance.
#include "platform/localcall.h"
#include "platform/platform.h"

#include "tests/testmain.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <future>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using Holder = platform::InstanceGuard::Holder;

class TestPlatform final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_alice, m_bob, m_program;
    static QByteArray bytes(const QTemporaryDir &dir) { return QFile::encodeName(dir.path()); }
    QString lockFile() const
    {
        return m_program.filePath(QLatin1String(platform::kFolderLockName));
    }
    QByteArray socketPath() const { return bytes(m_alice) + "/kelvane.raise"; }

    // The listener's side of one call, as the running instance does it between its events.
    static QByteArray serveOneCall(const platform::LocalListener &listener, QByteArrayView answer)
    {
        QElapsedTimer clock;
        clock.start();
        platform::LocalCall call(acceptWithin(listener));
        QByteArray line;
        while (call.readLine(line, 64) == platform::LocalCall::Request::Waiting
            && clock.elapsed() < 5000)
            QTest::qWait(5);
        call.answer(answer);
        return line;
    }

    static int acceptWithin(const platform::LocalListener &listener, int ms = 5000)
    {
        QElapsedTimer clock;
        clock.start();
        int fd = -1;
        while ((fd = listener.acceptCall()) < 0 && clock.elapsed() < ms)
            QTest::qWait(5);
        return fd;
    }

    static mode_t fileType(const QByteArray &path)
    {
        struct stat status
        {
        };
        return ::lstat(path.constData(), &status) == 0 ? status.st_mode : 0;
    }

private Q_SLOTS:
    void oneInstancePerUserAndPerFolder()
    {
        platform::InstanceGuard first(bytes(m_alice), bytes(m_program));
        QCOMPARE(first.take(), Holder::Nobody);
        QCOMPARE(first.take(), Holder::Nobody); // the holder asks again at every window

        // The same user again: turned away quietly.
        platform::InstanceGuard again(bytes(m_alice), bytes(m_program));
        QCOMPARE(again.take(), Holder::SameUser);

        // Another user of the same folder: turned away and told by whom.
        platform::InstanceGuard other(bytes(m_bob), bytes(m_program));
        QCOMPARE(other.take(), Holder::OtherUser);
        QVERIFY2(
            QRegularExpression(QStringLiteral("^\\S+ since \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d$"))
                .match(other.folderHolder())
                .hasMatch(),
            qPrintable(other.folderHolder()));

        // Another user with a folder of their own runs beside it.
        QTemporaryDir ownInstall;
        platform::InstanceGuard elsewhere(bytes(m_bob), bytes(ownInstall));
        QCOMPARE(elsewhere.take(), Holder::Nobody);
    }

    void guardEndsWithItsHolder()
    {
        {
            platform::InstanceGuard first(bytes(m_alice), bytes(m_program));
            QCOMPARE(first.take(), Holder::Nobody);
        }
        platform::InstanceGuard next(bytes(m_bob), bytes(m_program));
        QCOMPARE(next.take(), Holder::Nobody);
    }

    // Every member of a shared install's group must be able to open the folder's lock, whatever
    // the umask of the user who made it.
    void folderLockIsGroupWritable()
    {
        const mode_t before = ::umask(077);
        platform::InstanceGuard guard(bytes(m_alice), bytes(m_program));
        const Holder holder = guard.take();
        ::umask(before);
        QCOMPARE(holder, Holder::Nobody);
        struct stat status
        {
        };
        QCOMPARE(::stat(QFile::encodeName(lockFile()).constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, mode_t(0664));
    }

    // The lock's text is shown to a user and nothing else: whatever was put there, the message
    // gets one short line of plain characters.
    void holderTextIsSanitised()
    {
        platform::InstanceGuard first(bytes(m_alice), bytes(m_program));
        QCOMPARE(first.take(), Holder::Nobody);
        QFile lock(lockFile());
        QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
        lock.write(QByteArray("eve\x1b[2J\xff") + QByteArray(500, 'x') + "\nsecond line");
        lock.close();
        platform::InstanceGuard other(bytes(m_bob), bytes(m_program));
        QCOMPARE(other.take(), Holder::OtherUser);
        QVERIFY(other.folderHolder().startsWith(QStringLiteral("eve?[2J?x")));
        QVERIFY(other.folderHolder().size() < 128);
    }

    // No folder to lock (it is gone, or cannot be written): the program runs all the same.
    void noLockNoRefusal()
    {
        platform::InstanceGuard guard(bytes(m_alice), bytes(m_program) + "/gone");
        QCOMPARE(guard.take(), Holder::Nobody);
    }

    // A call reaches the listener and brings back its answer; only the user may call, and the
    // socket goes with the listener.
    void localCallIsAnswered()
    {
        {
            platform::LocalListener listener(socketPath());
            QVERIFY(listener.listening());
            QCOMPARE(fileType(socketPath()), mode_t(S_IFSOCK | 0600));
            auto answer = std::async(std::launch::async, [this] {
                return platform::callLocal(socketPath(), "raise\n", QDeadlineTimer(5000));
            });
            QCOMPARE(serveOneCall(listener, "raised\nand more"), QByteArray("raise\n"));
            QCOMPARE(answer.get(), QByteArray("raised\n"));
        }
        QCOMPARE(fileType(socketPath()), mode_t(0));
        QCOMPARE(platform::callLocal(socketPath(), "raise\n", QDeadlineTimer(5000)), QByteArray());
    }

    // A killed instance leaves its socket behind, and the next one listens all the same; a file
    // of another kind at that name is left alone, as is a name too long for a socket.
    void leftSocketIsReplacedOtherFilesAreKept()
    {
        const int left = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        qstrcpy(address.sun_path, socketPath().constData());
        QCOMPARE(::bind(left, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
        ::close(left);
        QVERIFY(S_ISSOCK(fileType(socketPath())));
        {
            platform::LocalListener listener(socketPath());
            QVERIFY(listener.listening());
        }

        QFile kept(QFile::decodeName(socketPath()));
        QVERIFY(kept.open(QIODevice::WriteOnly));
        kept.close();
        {
            platform::LocalListener listener(socketPath());
            QVERIFY(!listener.listening());
        }
        QVERIFY(S_ISREG(fileType(socketPath())));
        QVERIFY(kept.remove());

        const QByteArray tooLong = bytes(m_alice) + '/' + QByteArray(120, 'x');
        platform::LocalListener listener(tooLong);
        QVERIFY(!listener.listening());
        QCOMPARE(platform::callLocal(tooLong, "raise\n", QDeadlineTimer(5000)), QByteArray());
    }

    // Callers that stop half-way, hang up or send nonsense cannot stall or end the listener
    // (an answer to a caller who left would raise SIGPIPE and end this test); and a listener
    // that does not answer leaves the caller waiting only until its deadline.
    void strayCallsAreHarmless()
    {
        platform::LocalListener listener(socketPath());
        QVERIFY(listener.listening());
        const auto connectRaw = [this] {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address {};
            address.sun_family = AF_UNIX;
            qstrcpy(address.sun_path, socketPath().constData());
            return ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0
                ? fd
                : -1;
        };
        QByteArray line;

        const int half = connectRaw();
        QVERIFY(::send(half, "rai", 3, 0) == 3);
        int fd = -1;
        QVERIFY((fd = acceptWithin(listener)) >= 0);
        {
            platform::LocalCall call(fd);
            QCOMPARE(call.readLine(line, 64), platform::LocalCall::Request::Waiting);
            ::close(half);
            QCOMPARE(call.readLine(line, 64), platform::LocalCall::Request::Over);
            call.answer("raised\n");
        }

        const int chatty = connectRaw();
        const QByteArray nonsense(100, 'x');
        QVERIFY(::send(chatty, nonsense.constData(), size_t(nonsense.size()), 0) == 100);
        QVERIFY((fd = acceptWithin(listener)) >= 0);
        {
            platform::LocalCall call(fd);
            QCOMPARE(call.readLine(line, 64), platform::LocalCall::Request::Over);
        }
        ::close(chatty);

        QElapsedTimer clock;
        clock.start();
        QCOMPARE(platform::callLocal(socketPath(), "raise\n", QDeadlineTimer(300)), QByteArray());
        QVERIFY(clock.elapsed() >= 290);
        QVERIFY(clock.elapsed() < 3000);
        QVERIFY((fd = acceptWithin(listener)) >= 0);
        ::close(fd);

        auto answer = std::async(std::launch::async,
            [this] { return platform::callLocal(socketPath(), "raise\n", QDeadlineTimer(5000)); });
        QCOMPARE(serveOneCall(listener, "raised\n"), QByteArray("raise\n"));
        QCOMPARE(answer.get(), QByteArray("raised\n"));
    }
};

KELVANE_TEST_MAIN(TestPlatform)
#include "test_platform.moc"
