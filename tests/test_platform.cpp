// The instance guard: one instance per user, and one per program folder across users, with a
// word on who holds it for the user who is turned away.
#include "platform/platform.h"

#include "tests/testmain.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/stat.h>

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
};

KELVANE_TEST_MAIN(TestPlatform)
#include "test_platform.moc"
