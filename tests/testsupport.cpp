#include "tests/testsupport.h"

#include "app/platform.h"
#include "app/windows.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QTest>
#include <QWidget>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

ProgramFolder::ProgramFolder()
{
    platform::setProgramFolder(m_dir.path());
}

ProgramFolder::~ProgramFolder()
{
    // A folder made for the next test may already be in place.
    if (platform::programFolder() == m_dir.path())
        platform::setProgramFolder({});
}

QString ProgramFolder::settingsFile() const
{
    return m_dir.path() + QStringLiteral("/Kelvane.ini");
}

bool ProgramFolder::hasSettings() const
{
    return QFile::exists(settingsFile());
}

QByteArray ProgramFolder::settings() const
{
    QFile file(settingsFile());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QStringList ProgramFolder::entries() const
{
    return QDir(m_dir.path())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

void ProgramFolder::writeSettings(const QByteArray &content) const
{
    QFile file(settingsFile());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
}

bool isRoot()
{
    return ::geteuid() == 0;
}

bool lockFolder(const QString &folder, bool on)
{
    const QByteArray path = QFile::encodeName(folder);
    if (!isRoot())
        return ::chmod(path.constData(), on ? 0555 : 0700) == 0;
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return done;
}

LockedFolder::LockedFolder(const QString &path)
    : m_path(path)
    , m_locked(lockFolder(path, true))
{
}

LockedFolder::~LockedFolder()
{
    if (m_locked)
        lockFolder(m_path, false);
}

void resetProgram()
{
    windows::unloadFrmpicture();
    const auto tops = QApplication::topLevelWidgets();
    for (QWidget *window : tops)
        delete window;
    windows::resetValues();
    platform::resetProgramEnded();
}

QList<int> selectedOptions(QWidget *window)
{
    QList<int> numbers;
    for (int k = 1; k <= 9; ++k) {
        const auto *option = window->findChild<QRadioButton *>(QStringLiteral("Option%1").arg(k));
        if (option && option->isChecked())
            numbers << k;
    }
    return numbers;
}

QString labelText(QWidget *window, const char *name)
{
    const auto *label = window->findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QString();
}

void ProgramTest::init()
{
    resetProgram();
    m_folder = std::make_unique<ProgramFolder>();
}

void ProgramTest::cleanup()
{
    resetProgram();
    m_folder.reset();
}

} // namespace testsupport
