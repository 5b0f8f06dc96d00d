// The instance guard: one instance per user, and one per program folder across users, with a
// word on who holds it for the user who is turned away. The local call through which a second
// start reaches the running instance.
#include "app/program.h"
#include "platform/localcall.h"
#include "platform/platform.h"

#include "tests/testmain.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <QMessageBox>

#include <csignal>
#include <fcntl.h>
#include <future>
#include <pwd.h>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
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

    bool connectTo(int fd) const
    {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        qstrcpy(address.sun_path, socketPath().constData());
        return ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
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

        // Another user of the same folder: turned away. Who holds it is the kernel's word,
        // and the kernel names no other process here (see holderNamedByTheKernel()).
        platform::InstanceGuard other(bytes(m_bob), bytes(m_program));
        QCOMPARE(other.take(), Holder::OtherUser);
        QCOMPARE(other.take(), Holder::OtherUser);

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
        QCOMPARE(status.st_mode & 0777, mode_t(0660));
    }

    // Without a folder of the user's own to lock in (a runtime folder taken by someone else, a
    // home that cannot be written), the folder's lock is the only one: a window that asks
    // again must not lock it a second time and find it held, by its own process.
    void takenOnceWithoutUserLock()
    {
        platform::InstanceGuard guard(bytes(m_alice) + "/gone", bytes(m_program));
        QCOMPARE(guard.take(), Holder::Nobody);
        QCOMPARE(guard.take(), Holder::Nobody);
        QCOMPARE(guard.take(), Holder::Nobody);
        platform::InstanceGuard other(bytes(m_bob), bytes(m_program));
        QCOMPARE(other.take(), Holder::OtherUser); // the first lock is kept
    }

    // Who holds the program is told from the kernel: the owner of the process that holds the
    // lock and when it started. Whatever was written into the lock file is never read, and the
    // message is shown as plain text.
    void holderNamedByTheKernel()
    {
        int ready[2], done[2];
        QVERIFY(::pipe(ready) == 0 && ::pipe(done) == 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(ready[0]);
            ::close(done[1]);
            platform::InstanceGuard holder(bytes(m_alice), bytes(m_program));
            const char taken = holder.take() == Holder::Nobody ? 'y' : 'n';
            (void)!::write(ready[1], &taken, 1);
            char end;
            (void)!::read(done[0], &end, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(done[0]);
        char taken = 0;
        QCOMPARE(::read(ready[0], &taken, 1), ssize_t(1));
        ::close(ready[0]);
        QCOMPARE(taken, 'y');
        QFile lock(lockFile());
        QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
        lock.write("<font size=7 color=red>mallory</font> <a href=\"http://x/\">here</a>"
                   "<img src=\"/dev/zero\"> since 1999-01-01 00:00\n");
        lock.close();

        platform::InstanceGuard other(bytes(m_bob), bytes(m_program));
        const Holder holder = other.take();
        ::close(done[1]);
        ::waitpid(child, nullptr, 0);
        QCOMPARE(holder, Holder::OtherUser);
        const QString me = QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name);
        QVERIFY2(QRegularExpression(QStringLiteral("^%1 since \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d$")
                                        .arg(QRegularExpression::escape(me)))
                     .match(other.folderHolder())
                     .hasMatch(),
            qPrintable(other.folderHolder()));

        const auto box = noticeBox(QStringLiteral("in use by <a href=\"http://x/\">here</a>"));
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QVERIFY(box->text().contains(QStringLiteral("<a href=")));
    }

    // Only a plain file of one name is a lock: anything else at its name refuses the start with
    // a message naming the file, and is neither opened (a pipe would hang, a device act) nor
    // written through (a link or a second name would overwrite someone's file).
    void lockNameRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("link to a file") << QStringLiteral("link");
        QTest::newRow("dangling link") << QStringLiteral("dangling");
        QTest::newRow("hard link") << QStringLiteral("hard link");
        QTest::newRow("pipe") << QStringLiteral("pipe");
        QTest::newRow("folder") << QStringLiteral("folder");
    }
    void lockNameRefused()
    {
        QFETCH(QString, kind);
        const QTemporaryDir program;
        const QString lockName = program.filePath(QLatin1String(platform::kFolderLockName));
        const QByteArray lock = QFile::encodeName(lockName);
        const QByteArray victim = bytes(m_bob) + "/victim";
        QFile file(QFile::decodeName(victim));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("the victim's own\n");
        file.close();
        if (kind == QLatin1String("link"))
            QCOMPARE(::symlink(victim.constData(), lock.constData()), 0);
        else if (kind == QLatin1String("dangling"))
            QCOMPARE(::symlink((victim + "-gone").constData(), lock.constData()), 0);
        else if (kind == QLatin1String("hard link"))
            QCOMPARE(::link(victim.constData(), lock.constData()), 0);
        else if (kind == QLatin1String("pipe"))
            QCOMPARE(::mkfifo(lock.constData(), 0660), 0);
        else
            QCOMPARE(::mkdir(lock.constData(), 0770), 0);
        const mode_t before = fileType(lock);

        platform::InstanceGuard guard(bytes(m_alice), bytes(program));
        QCOMPARE(guard.take(), Holder::Refused);
        QVERIFY2(guard.refusal().contains(lockName), qPrintable(guard.refusal()));
        QCOMPARE(fileType(lock), before);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("the victim's own\n"));
        QCOMPARE(fileType(victim + "-gone"), mode_t(0));
    }

    // A lock this user may not open: a member of the folder's group is kept out by the file
    // itself (another member narrowed it, or gave it another group), which is named with its
    // owner; a user outside the group is told to be added to it. As root, this thread's file
    // access becomes that of another user of the folder's group (root's group here).
    void lockNotOpenedNamesWhy_data()
    {
        QTest::addColumn<int>("fileGroup");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("folderGroup");
        QTest::addColumn<QString>("told");
        const QString keptOut = QStringLiteral(
            "Kelvane cannot start: its lock file %1 belongs to nobody, and its permissions (%2) "
            "keep the other users of the folder's group out. Ask whoever looks after this "
            "computer to remove it (Kelvane makes it anew), or nobody to start Kelvane once, "
            "which opens it to the group again.");
        QTest::newRow("another member's, 0600")
            << 0 << 0600 << 0 << keptOut.arg(QStringLiteral("%1"), QStringLiteral("0600"));
        QTest::newRow("another member's, given another group")
            << 65534 << 0660 << 0 << keptOut.arg(QStringLiteral("%1"), QStringLiteral("0660"));
        QTest::newRow("a user outside the group")
            << 65534 << 0660 << 65534
            << QStringLiteral(
                   "Kelvane in this folder is not for this user: its lock file %1 may be "
                   "used only by the users who may save its settings. Ask whoever looks "
                   "after this computer to add this user to the folder's group.");
    }
    void lockNotOpenedNamesWhy()
    {
        QFETCH(int, fileGroup);
        QFETCH(int, mode);
        QFETCH(int, folderGroup);
        QFETCH(QString, told);
        if (::geteuid() != 0)
            QSKIP("another user's lock needs root");
        const QTemporaryDir program;
        const QByteArray folder = bytes(program);
        const QByteArray lock = folder + '/' + platform::kFolderLockName;
        QFile(QFile::decodeName(lock)).open(QIODevice::WriteOnly);
        QCOMPARE(::chown(lock.constData(), 65534, gid_t(fileGroup)), 0);
        QCOMPARE(::chmod(lock.constData(), mode_t(mode)), 0);
        QCOMPARE(::chown(folder.constData(), 0, gid_t(folderGroup)), 0);
        QCOMPARE(::chmod(folder.constData(), 0777), 0);
        platform::InstanceGuard guard(bytes(m_alice), folder);
        ::setfsgid(0);
        ::setfsuid(65533);
        const Holder holder = guard.take();
        ::setfsuid(0);
        QCOMPARE(holder, Holder::Refused);
        QCOMPARE(guard.refusal(), told.arg(QFile::decodeName(lock)));
    }

    // A user of the group removes the lock, or puts another file in its place, while the
    // program runs: the holder puts its lock back, so the next start is still turned away; a
    // start that came in between holds the new lock, and the holder learns it must end.
    void lockRemovedWhileRunning()
    {
        const QByteArray lock = QFile::encodeName(lockFile());
        platform::InstanceGuard first(bytes(m_alice), bytes(m_program));
        QCOMPARE(first.take(), Holder::Nobody);
        QCOMPARE(first.keep(), Holder::Nobody);

        QCOMPARE(::unlink(lock.constData()), 0);
        QCOMPARE(first.keep(), Holder::Nobody);
        QVERIFY(S_ISREG(fileType(lock)));
        {
            platform::InstanceGuard next(bytes(m_bob), bytes(m_program));
            QCOMPARE(next.take(), Holder::OtherUser);
        }

        const QByteArray other = bytes(m_program) + "/other";
        QFile(QFile::decodeName(other)).open(QIODevice::WriteOnly);
        QCOMPARE(::rename(other.constData(), lock.constData()), 0);
        QCOMPARE(first.keep(), Holder::Nobody);
        {
            platform::InstanceGuard next(bytes(m_bob), bytes(m_program));
            QCOMPARE(next.take(), Holder::OtherUser);
        }

        QCOMPARE(::unlink(lock.constData()), 0);
        platform::InstanceGuard late(bytes(m_bob), bytes(m_program));
        QCOMPARE(late.take(), Holder::Nobody);
        QCOMPARE(first.keep(), Holder::OtherUser);
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
    // Calls that never send their line take no more than a bounded number of files, for no
    // longer than a caller waits; a real call is answered once they have gone.
    void idleCallsAreBounded()
    {
        platform::LocalServer server(socketPath(),
            {.longest = 64, .maxCalls = 16, .idleMs = 300, .pauseMs = 100},
            [](const QByteArray &line) {
                return line == "raise\n" ? QByteArray("raised\n") : QByteArray();
            });
        QVERIFY(server.listening());
        std::vector<int> idle;
        qsizetype most = 0;
        QElapsedTimer clock;
        clock.start();
        while (idle.size() < 40 && clock.elapsed() < 5000) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
            if (connectTo(fd))
                idle.push_back(fd);
            else
                ::close(fd);
            QTest::qWait(1);
            most = std::max(most, server.openCalls());
        }
        QCOMPARE(idle.size(), size_t(40));
        QTest::qWait(50);
        most = std::max(most, server.openCalls());
        QCOMPARE(most, qsizetype(16));
        QTRY_COMPARE_WITH_TIMEOUT(server.openCalls(), qsizetype(0), 5000);
        // Every idle caller has been hung up on: the ones beyond the bound at once.
        for (const int fd : idle) {
            char byte;
            QCOMPARE(::recv(fd, &byte, 1, MSG_DONTWAIT), ssize_t(0));
            ::close(fd);
        }
        auto answer = std::async(std::launch::async,
            [this] { return platform::callLocal(socketPath(), "raise\n", QDeadlineTimer(5000)); });
        QTRY_VERIFY_WITH_TIMEOUT(
            answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready, 5000);
        QCOMPARE(answer.get(), QByteArray("raised\n"));
    }

    // Out of files, a call that waits keeps the listening socket readable: the listener pauses
    // instead of being woken again and again, and answers once files are free again.
    void listenerPausesWhenOutOfFiles()
    {
        platform::LocalServer server(socketPath(),
            {.longest = 64, .maxCalls = 16, .idleMs = 5000, .pauseMs = 100},
            [](const QByteArray &) { return QByteArray("raised\n"); });
        QVERIFY(server.listening());
        const int caller = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(connectTo(caller));
        QCOMPARE(::send(caller, "raise\n", 6, 0), ssize_t(6));

        rlimit files {};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &files), 0);
        const int lowestFree = ::dup(0);
        ::close(lowestFree);
        rlimit none = files;
        none.rlim_cur = rlim_t(lowestFree);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &none), 0);
        const int before = server.wakeUps();
        QTest::qWait(500);
        const int wakeUps = server.wakeUps() - before;
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &files), 0);
        QVERIFY2(wakeUps >= 1 && wakeUps <= 20, qPrintable(QString::number(wakeUps)));

        QTRY_COMPARE_WITH_TIMEOUT(server.wakeUps() > before + wakeUps, true, 2000);
        char answer[16] = {};
        ssize_t got = -1;
        QElapsedTimer clock;
        clock.start();
        while ((got = ::recv(caller, answer, sizeof answer, MSG_DONTWAIT)) < 0
            && clock.elapsed() < 2000)
            QTest::qWait(5);
        QCOMPARE(QByteArray(answer, std::max(got, ssize_t(0))), QByteArray("raised\n"));
        ::close(caller);
    }
};

KELVANE_TEST_MAIN(TestPlatform)
#include "test_platform.moc"
