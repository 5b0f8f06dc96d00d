#include "tests/testsupport.h"

#include "platform/platform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <QtTest/qtestspontaneevent.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <pwd.h>
#include <sys/fsuid.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

ProgramFolder::ProgramFolder() = default;
ProgramFolder::~ProgramFolder() = default;

QByteArray ProgramFolder::nativePath() const
{
    return QFile::encodeName(m_dir.path());
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
    QStringList names
        = QDir(m_dir.path())
              .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.removeOne(QLatin1String(platform::kFolderLockName));
    return names;
}

void ProgramFolder::writeSettings(const QByteArray &content) const
{
    QFile file(settingsFile());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
}

QByteArray utf16(QByteArrayView latin1)
{
    QByteArray file("\xFF\xFE");
    for (const char c : latin1)
        file.append(c).append('\0');
    return file;
}

bool isRoot()
{
    return ::geteuid() == 0;
}

mode_t modeOf(const QString &path)
{
    struct stat status
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return mode_t(-1);
    return status.st_mode & 07777;
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

TestScreen testScreen()
{
    // "1024x768-96dpi", as tests/CMakeLists.txt names the screen configurations.
    const QString name
        = qEnvironmentVariable("KELVANE_TEST_SCREEN", QStringLiteral("1024x768-96dpi"));
    const QStringList parts = name.split(QRegularExpression(QStringLiteral("[x-]")));
    if (parts.size() != 3)
        return {};
    return {parts[0].toInt(), parts[1].toInt(), parts[2].chopped(3).toInt()};
}

MessageBoxAnswer::MessageBoxAnswer(const QString &button)
    : m_button(button)
{
    // A program that ended before, in an earlier step or test, asked the application to quit,
    // and every event loop started since returns at once: a message box would close unseen.
    // The application's own loop clears that as it ends.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    // A message box runs its own event loop; the timer runs in it.
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxAnswer::answer);
    m_timer.start();
}

MessageBoxAnswer::MessageBoxAnswer(Qt::Key key)
    : MessageBoxAnswer(QString())
{
    m_key = key;
}

void MessageBoxAnswer::answer()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box)
        return;
    m_timer.stop();
    m_seen = true;
    m_text = box->text();
    if (m_key) {
        QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key(m_key));
        return;
    }
    const QList<QAbstractButton *> buttons = box->buttons();
    for (QAbstractButton *button : buttons) {
        if (button->text().remove(QLatin1Char('&')) == m_button) {
            button->click();
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("no button \"%1\" in the message box").arg(m_button)));
}

void answerBox(QMessageBox *box, const QString &how)
{
    for (QAbstractButton *button : box->buttons()) {
        if (how != QLatin1String("Esc") && how != QLatin1String("Enter")
            && button->text().remove(QLatin1Char('&')) == how)
            return button->click();
    }
    QTest::keyClick(box, how == QLatin1String("Enter") ? Qt::Key_Return : Qt::Key_Escape);
}

void closeAsWindowManager(QWidget *window)
{
    // QWindow::close() and QWidget::close() are the program's own closes, not spontaneous.
    QCloseEvent event;
    QSpontaneKeyEvent::setSpontaneous(&event);
    QCoreApplication::sendEvent(window->windowHandle(), &event);
}

UnprivilegedFiles::UnprivilegedFiles()
{
    if (::geteuid() != 0)
        return;
    ::setfsgid(kNobody);
    ::setfsuid(kNobody);
    m_dropped = true;
}

UnprivilegedFiles::~UnprivilegedFiles()
{
    if (!m_dropped)
        return;
    ::setfsuid(0);
    ::setfsgid(0);
}

QString loginName()
{
    return QString::fromLocal8Bit(::getpwuid(::geteuid())->pw_name);
}

QByteArray calibrationRecord(bool archive, const QByteArray &output, int width, int height,
    int screenH, int screenV, const QByteArray &date)
{
    const QByteArray section = archive ? "[Calibration " + output + ' ' + QByteArray::number(width)
            + 'x' + QByteArray::number(height) + "]\n"
                                       : QByteArray("[Calibration]\n");
    return section
        + QStringLiteral("SCREENH= %1\nSCREENV= %2\nMANUFACTURER=\nMODEL=\nSERIAL=\nOUTPUT=%3\n"
                         "RESOLUTION=%4 x %5\nDATE=%6\nUSER=%7\n")
              .arg(screenH)
              .arg(screenV)
              .arg(QString::fromLatin1(output))
              .arg(width)
              .arg(height)
              .arg(QString::fromLatin1(date), loginName())
              .toLatin1();
}

QByteArray calibrationRecords(const QByteArray &output, int width, int height, int screenH,
    int screenV, const QByteArray &date)
{
    return calibrationRecord(false, output, width, height, screenH, screenV, date)
        + calibrationRecord(true, output, width, height, screenH, screenV, date);
}

QByteArray withoutRecords(const QByteArray &content)
{
    const qsizetype at = content.indexOf("[Calibration");
    return at < 0 ? content : content.left(at);
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
    m_folder = std::make_unique<ProgramFolder>();
    restartProgram();
}

void ProgramTest::cleanup()
{
    endProgram();
    m_folder.reset();
}

void ProgramTest::restartProgram()
{
    endProgram();
    m_program = std::make_unique<Program>(
        m_folder->nativePath(), QFile::encodeName(m_guardFolder.path()));
}

void ProgramTest::endProgram()
{
    m_program.reset();
    // Windows closed by a test but not yet deleted go too: nothing of one test reaches the next.
    // A list's popup is a top-level widget of its own that goes with its window.
    QList<QPointer<QWidget>> tops;
    for (QWidget *window : QApplication::topLevelWidgets())
        tops << window;
    for (const QPointer<QWidget> &window : std::as_const(tops))
        delete window.data();
}

} // namespace testsupport
