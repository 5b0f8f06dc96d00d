// What the machine can do to a save: kill the program in the middle of it, run out of disk, fail
// the flush, refuse a change of permissions, or refuse the program's folder. Whatever happens,
// the settings file stays whole, holding either all the values it held or all the values being
// saved, and never anything else: the calibration is never lost to a half-written file.
//
// The faults strike a child process that saves five values in one go through the profile
// functions, as the start screen saves them, so that the test itself survives them.
#include "settings/profile.h"

#include "tests/testmain.h"
#include "tests/testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <csignal>
#include <cstddef>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/fs.h>
#include <linux/seccomp.h>
#include <random>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

using testsupport::ProgramFolder;

namespace {

// A hand-kept file: a comment and a section of the user's own around the five settings. The
// five values are filled in as "%1" to "%5".
constexpr char kTemplate[] = "; calibrated for the clinic's 24-inch screen\n"
                             "[Filter]\n"
                             "FILTER= %1\n"
                             "TARGET= %2\n"
                             "FIXEYE= %3\n"
                             "[Notes]\n"
                             "WHO=Dr. A\n"
                             "[Screen]\n"
                             "SCREENH= %4\n"
                             "SCREENV= %5\n";

using Values = std::array<const char *, 5>;
// The values on disk before a save, and the values the save writes. The new calibration
// value across is two characters longer, so its write is the one that needs more room.
constexpr Values kOld = {"1", "1", "2", "600", "480"};
constexpr Values kNew = {"4", "3", "1", "774.5", "518"};

struct Setting
{
    const char *section;
    const char *key;
};
constexpr std::array<Setting, 5> kSettings {{
    {"Filter", "Filter"},
    {"Filter", "Target"},
    {"Filter", "FixEye"},
    {"Screen", "ScreenH"},
    {"Screen", "ScreenV"},
}};

QByteArray fileWith(const Values &values)
{
    return QString::fromLatin1(kTemplate)
        .arg(QLatin1String(values[0]), QLatin1String(values[1]), QLatin1String(values[2]),
            QLatin1String(values[3]), QLatin1String(values[4]))
        .toLatin1();
}

// Which of the five settings hold the new value ('N') and which the old ('O'), when the file
// is one of the whole files a save can leave; empty for any other content.
QByteArray whichValues(const QByteArray &content)
{
    for (int mask = 0; mask < 32; ++mask) {
        Values values = kOld;
        QByteArray which(5, 'O');
        for (int i = 0; i < 5; ++i) {
            if (mask & (1 << i)) {
                values[std::size_t(i)] = kNew[std::size_t(i)];
                which[i] = 'N';
            }
        }
        if (content == fileWith(values))
            return which;
    }
    return {};
}

// The save of the start screen: five values, in order, in one replacement of the file.
bool save(const Values &values, const QByteArray &path)
{
    QList<profile::Entry> entries;
    for (std::size_t i = 0; i < kSettings.size(); ++i) {
        entries.append({kSettings[i].section, QByteArray(kSettings[i].key).toUpper(),
            ' ' + QByteArray(values[i])});
    }
    return profile::writePrivateProfileStrings(entries, path).has_value();
}

// From here on, the system call `number` fails with `error` in this process, as a disk or a
// file system would make it fail. For a forked child only: it cannot be undone.
bool failSystemCall(long number, int error)
{
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __u32(number), 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (__u32(error) & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program {sizeof filter / sizeof filter[0], filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0
        && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// Runs `work` in a forked child and returns its wait status. The child ends with the parent,
// so a test that fails never leaves one behind.
template<typename Work> int inChild(Work work)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        work();
        ::_exit(0);
    }
    int status = -1;
    if (pid > 0)
        ::waitpid(pid, &status, 0);
    return status;
}

// A count from the environment, so that the sanitizer build can run fewer rounds of the slow
// loops; the ordinary build runs the full count.
int roundsFrom(const char *variable, int full)
{
    bool ok = false;
    const int rounds = qEnvironmentVariableIntValue(variable, &ok);
    return ok && rounds > 0 ? rounds : full;
}

void sleepMicroseconds(long microseconds)
{
    timespec delay {microseconds / 1'000'000, (microseconds % 1'000'000) * 1'000};
    while (::clock_nanosleep(CLOCK_MONOTONIC, 0, &delay, &delay) == EINTR) { }
}

} // namespace

class TestFaults final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ProgramFolder> m_folder;

    QByteArray file() const { return QFile::encodeName(m_folder->settingsFile()); }
    QStringList leftovers() const
    {
        QStringList entries = m_folder->entries();
        entries.removeOne(QStringLiteral("Kelvane.ini"));
        return entries;
    }

private Q_SLOTS:
    void init()
    {
        m_folder = std::make_unique<ProgramFolder>();
        m_folder->writeSettings(fileWith(kOld));
    }
    void cleanup()
    {
        testsupport::lockFolder(m_folder->path(), false);
        m_folder.reset();
    }

    // The expected files are written out here by hand; the check must tell them from
    // anything else.
    void wholeFilesAreTold()
    {
        QCOMPARE(whichValues(fileWith(kOld)), QByteArray("OOOOO"));
        QCOMPARE(whichValues(fileWith(kNew)), QByteArray("NNNNN"));
        QCOMPARE(whichValues(QByteArray(kTemplate)), QByteArray());
        QCOMPARE(whichValues(fileWith(kNew).chopped(1)), QByteArray());
        QCOMPARE(whichValues(QByteArray()), QByteArray());
    }

    // A child saves the old and the new values by turns, without end; the parent kills it
    // after a random number of microseconds. Whenever the kill lands, the file is whole.
    void killedSaveLeavesAWholeFile()
    {
        const int rounds = roundsFrom("KELVANE_KILL_ROUNDS", 1000);
        // How long the child takes to save twice over (both ways); kills are spread over that
        // time and a little beyond, so they land in every step of a save.
        QElapsedTimer timer;
        timer.start();
        save(kNew, file());
        save(kOld, file());
        const long cycle = qMax(qint64(100), timer.nsecsElapsed() / 1000);
        QCOMPARE(m_folder->settings(), fileWith(kOld));

        std::random_device device;
        const unsigned seed = device();
        std::mt19937 random(seed);
        long window = cycle + cycle / 5;
        QHash<QByteArray, int> seen;
        int strays = 0;
        int kills = 0;
        const auto killOnce = [&] {
            int ready[2];
            QCOMPARE(::pipe(ready), 0);
            const pid_t child = ::fork();
            if (child == 0) {
                ::prctl(PR_SET_PDEATHSIG, SIGKILL);
                ::close(ready[0]);
                (void)!::write(ready[1], "r", 1);
                for (;;) {
                    save(kNew, file());
                    save(kOld, file());
                }
            }
            QVERIFY(child > 0);
            ::close(ready[1]);
            char byte = 0;
            (void)!::read(ready[0], &byte, 1);
            ::close(ready[0]);
            sleepMicroseconds(std::uniform_int_distribution<long>(0, window)(random));
            ::kill(child, SIGKILL);
            int status = 0;
            ::waitpid(child, &status, 0);
            QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

            const QByteArray content = m_folder->settings();
            const QByteArray which = whichValues(content);
            QVERIFY2(which == "OOOOO" || which == "NNNNN",
                qPrintable(QStringLiteral("kill %1 (seed %2) left:\n%3")
                               .arg(kills)
                               .arg(seed)
                               .arg(QString::fromLatin1(content))));
            ++seen[which];
            ++kills;
            // A kill during a save can leave the save's temporary file beside the settings;
            // it is never read, and the next start removes it.
            strays += profile::removeStaleTemporaries(file());
            QCOMPARE(leftovers(), QStringList());
            m_folder->writeSettings(fileWith(kOld));
        };
        for (int round = 0; round < rounds && !QTest::currentTestFailed(); ++round)
            killOnce();
        // A forked child can be much slower to start saving than the parent measured (a
        // sanitizer build copies its shadow memory on the child's first writes), so that every
        // kill lands before the first replacement: the window widens until kills have landed
        // on both sides of one, for a bounded number of kills.
        for (int widening = 0; seen.size() < 2 && widening < 8; ++widening) {
            window *= 2;
            for (int round = 0; round < 25 && seen.size() < 2 && !QTest::currentTestFailed();
                 ++round)
                killOnce();
        }
        if (QTest::currentTestFailed())
            return;
        QStringList kinds;
        for (auto it = seen.cbegin(); it != seen.cend(); ++it)
            kinds << QStringLiteral("%1 x%2").arg(QString::fromLatin1(it.key())).arg(it.value());
        kinds.sort();
        qInfo(
            "%d kills within %ld us of a save's start (seed %u): the file was whole every "
            "time; values held (O old, N new): %s; temporary files left by a kill and removed: %d",
            kills, window, seed, qPrintable(kinds.join(QStringLiteral(", "))), strays);
        // Kills must have landed both before a save's replacement and after it.
        QCOMPARE(seen.size(), 2);
    }

    // A full disk, simulated by a cap on the size of any file the child writes, at every size
    // from nothing to more than the new file needs. A write that does not fit is not done;
    // every other is done whole.
    void fullDiskKeepsEveryValueWhole_data()
    {
        QTest::addColumn<bool>("inPlace");
        QTest::newRow("temporary file, then rename") << false;
        QTest::newRow("in place, in a folder that refuses new files") << true;
    }
    void fullDiskKeepsEveryValueWhole()
    {
        QFETCH(bool, inPlace);
        const qsizetype oldSize = fileWith(kOld).size();
        for (qsizetype cap = 0; cap <= oldSize + 3; ++cap) {
            m_folder->writeSettings(fileWith(kOld));
            if (inPlace && !testsupport::lockFolder(m_folder->path(), true))
                QSKIP(
                    "This file system cannot make a folder refuse new files (no immutable flag).");
            const int status = inChild([&] {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit {rlim_t(cap), RLIM_INFINITY};
                if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                    ::_exit(2);
                save(kNew, file());
            });
            if (inPlace)
                QVERIFY(testsupport::lockFolder(m_folder->path(), false));
            QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0,
                qPrintable(
                    QStringLiteral("the save with a cap of %1 bytes did not end well").arg(cap)));

            // The new horizontal value makes the file two bytes longer; the save is one
            // replacement, so either all of it fits or none of it is done.
            const QByteArray expected = cap >= oldSize + 2 ? "NNNNN" : "OOOOO";
            QCOMPARE(whichValues(m_folder->settings()), expected);
            QCOMPARE(leftovers(), QStringList());
        }
    }

    // An error from the flush (an I/O error of the disk) fails the save: the old file stays,
    // and no temporary file is left.
    void failedFlushKeepsTheOldFile_data()
    {
        QTest::addColumn<bool>("inPlace");
        QTest::newRow("temporary file, then rename") << false;
        QTest::newRow("in place, in a folder that refuses new files") << true;
    }
    void failedFlushKeepsTheOldFile()
    {
        QFETCH(bool, inPlace);
        if (inPlace && !testsupport::lockFolder(m_folder->path(), true))
            QSKIP("This file system cannot make a folder refuse new files (no immutable flag).");
        const int status = inChild([&] {
            if (!failSystemCall(SYS_fsync, EIO) || !failSystemCall(SYS_fdatasync, EIO))
                ::_exit(2);
            ::_exit(save(kNew, file()) ? 3 : 0);
        });
        if (inPlace)
            QVERIFY(testsupport::lockFolder(m_folder->path(), false));
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(m_folder->settings(), fileWith(kOld));
        QCOMPARE(leftovers(), QStringList());
    }

    // A file system that refuses to change the new file's mode, for a user whose umask gives new
    // files to the owner alone: the file keeps the permissions it had, and the save is done.
    void failedChmodNeverNarrows()
    {
        QCOMPARE(::chmod(file().constData(), 0644), 0);
        const int status = inChild([&] {
            ::umask(077);
            if (!failSystemCall(SYS_fchmod, EPERM) || !failSystemCall(SYS_fchmodat, EPERM))
                ::_exit(2);
            ::_exit(save(kNew, file()) ? 0 : 3);
        });
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(m_folder->settings(), fileWith(kNew));
        QCOMPARE(testsupport::modeOf(m_folder->settingsFile()), mode_t(0644));
        QCOMPARE(leftovers(), QStringList());
    }

    // A program folder that the user may not write: every save is refused and the file stays
    // as it was. Root writes anywhere, so the child drops to an unprivileged user first.
    void readOnlyFolderKeepsTheOldFile()
    {
        const QByteArray folder = QFile::encodeName(m_folder->path());
        const QByteArray path = file();
        if (testsupport::isRoot()) {
            // Owned by root and readable by all, as a program installed for every user.
            QCOMPARE(::chmod(folder.constData(), 0755), 0);
            QCOMPARE(::chmod(path.constData(), 0644), 0);
        } else {
            // A writable file in a read-only folder would be written in place; the user may
            // write neither here.
            QCOMPARE(::chmod(folder.constData(), 0555), 0);
            QCOMPARE(::chmod(path.constData(), 0444), 0);
        }
        const int status = inChild([&] {
            if (testsupport::isRoot()
                && (::setgid(testsupport::kNobody) != 0 || ::setuid(testsupport::kNobody) != 0))
                ::_exit(2);
            if (QFile::exists(file()) && QFileInfo(file()).isWritable())
                ::_exit(3); // the drop did not take
            if (save(kNew, file()))
                ::_exit(5);
            char buffer[8];
            const bool readable
                = profile::getPrivateProfileString("Screen", "screenh", "", buffer, 8, file()) == 3
                && QByteArray(buffer) == "600";
            ::_exit(readable ? 0 : 4);
        });
        ::chmod(folder.constData(), 0700);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(m_folder->settings(), fileWith(kOld));
        QCOMPARE(leftovers(), QStringList());
    }
};

KELVANE_TEST_MAIN(TestFaults)
#include "test_faults.moc"
