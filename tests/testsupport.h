#pragma once

#include "app/program.h"

#include <QApplication>
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

#include <memory>

#include <sys/types.h>

class QMessageBox;
class QWidget;

namespace testsupport {

// What the start screen writes into a folder that held no settings.
inline constexpr char kDefaultSettings[] = "[Filter]\n"
                                           "FILTER= 1\n"
                                           "TARGET= 1\n"
                                           "FIXEYE= 2\n"
                                           "[Screen]\n"
                                           "SCREENH= 500\n"
                                           "SCREENV= 500\n";

// Latin-1 text as a file saved in UTF-16LE with its byte-order mark (Notepad's "Unicode").
QByteArray utf16(QByteArrayView latin1);

bool isRoot();

// The unprivileged user and group ("nobody") that a test running as root drops to.
inline constexpr uid_t kNobody = 65534;

// The permission bits of the file at `path`; all bits set when it cannot be examined.
mode_t modeOf(const QString &path);

// Makes a folder refuse new entries while the files in it stay writable, the case in which a
// save cannot use a temporary file; or lifts that again. Write permission does not stop root,
// so for root the folder is made immutable instead (no entry may be created, renamed or
// removed, while the files can still be written).
bool lockFolder(const QString &folder, bool on);

// As root every file is readable and writable; for as long as this lives, this thread's file
// access is that of an unprivileged user (nobody) instead. Nothing changes for another user.
class UnprivilegedFiles
{
public:
    UnprivilegedFiles();
    ~UnprivilegedFiles();
    UnprivilegedFiles(const UnprivilegedFiles &) = delete;
    UnprivilegedFiles &operator=(const UnprivilegedFiles &) = delete;

private:
    bool m_dropped = false;
};

// A folder locked as above for as long as this lives.
class LockedFolder
{
public:
    explicit LockedFolder(const QString &path);
    ~LockedFolder();
    LockedFolder(const LockedFolder &) = delete;
    LockedFolder &operator=(const LockedFolder &) = delete;

    bool isLocked() const { return m_locked; }

private:
    QString m_path;
    bool m_locked = false;
};

// A fresh program folder for one test: the settings file lives here, never in a real one.
class ProgramFolder
{
public:
    ProgramFolder();
    ~ProgramFolder();

    QString path() const { return m_dir.path(); }
    QByteArray nativePath() const;
    QString settingsFile() const;
    bool hasSettings() const;
    QByteArray settings() const;
    void writeSettings(const QByteArray &content) const;
    // Everything in the folder, hidden entries included, but the lock a running program holds
    // there: a save must leave nothing behind.
    QStringList entries() const;

private:
    QTemporaryDir m_dir;
};

// The screen the test runs on, as its configuration names it ("1024x768-96dpi").
struct TestScreen
{
    int width = 0;
    int height = 0;
    int dpi = 0;
};
TestScreen testScreen();

// The base of the tests that drive the program's windows: every test function starts from the
// program's start, a fresh program object with a fresh program folder of its own and an
// instance guard that no other test program shares.
class ProgramTest : public QObject
{
    Q_OBJECT

protected:
    // Ends the program and starts it again in the same folder, as a user would.
    void restartProgram();
    // The working window now open, as its class, or null.
    template<typename Window> Window *currentWindow() const
    {
        return qobject_cast<Window *>(m_program->current());
    }

    std::unique_ptr<ProgramFolder> m_folder;
    std::unique_ptr<Program> m_program;

private Q_SLOTS:
    void init();
    void cleanup();

private:
    void endProgram();

    QTemporaryDir m_guardFolder;
};

// Answers the message box that a step of the test opens, while it is open: keeps its text and
// presses the button of that caption ("&" marks left out: "Exit without saving", "OK").
class MessageBoxAnswer : public QObject
{
    Q_OBJECT
public:
    explicit MessageBoxAnswer(const QString &button);
    // Or presses a key where the box has the keyboard focus, as the user's key would land.
    explicit MessageBoxAnswer(Qt::Key key);

    // Whether a message box came up, and its text.
    bool seen() const { return m_seen; }
    QString text() const { return m_text; }

private:
    void answer();

    QString m_button;
    int m_key = 0;
    bool m_seen = false;
    QString m_text;
    QTimer m_timer;
};

// Answers every dialog of type T (a QMessageBox, QInputDialog, QFileDialog) that steps open
// while this lives, as `answer` does with it (a key, a text, a button), and counts them: a step
// that asks twice is seen asking twice, and never waits for an answer that does not come.
template<typename T> class DialogAnswer
{
public:
    explicit DialogAnswer(std::function<void(T *)> answer)
        : m_answer(std::move(answer))
    {
        // An earlier step may have asked the application to quit (see MessageBoxAnswer).
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
        m_timer.setInterval(10);
        m_timer.callOnTimeout([this] {
            auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget());
            if (!dialog || dialog == m_last)
                return;
            m_last = dialog;
            ++m_count;
            m_answer(dialog);
        });
        m_timer.start();
    }
    int count() const { return m_count; }

private:
    std::function<void(T *)> m_answer;
    QTimer m_timer;
    QPointer<QObject> m_last;
    int m_count = 0;
};

// The login name of the user the tests run as, from the password database.
QString loginName();

// A calibration's record as "Done" writes it, for a monitor named only by its output (as the
// offscreen screens are), made by the user the tests run as: in [Calibration], the record of the
// values in use, or in the monitor's archive section.
QByteArray calibrationRecord(bool archive, const QByteArray &output, int width, int height,
    int screenH, int screenV, const QByteArray &date = "2026-01-15");
// Both, as "Done" leaves them in a file that held none.
QByteArray calibrationRecords(const QByteArray &output, int width, int height, int screenH,
    int screenV, const QByteArray &date = "2026-01-15");

// The file's content up to its first calibration record: what a reader of the five settings
// sees of it.
QByteArray withoutRecords(const QByteArray &content);

// Answers a message box: "Enter" and "Esc" press that key, anything else clicks the button of
// that caption, or presses Esc where there is none.
void answerBox(QMessageBox *box, const QString &how);

// Closes the window as the window manager's close button or Alt+F4 does: a close event from the
// window system, which the window may refuse.
void closeAsWindowManager(QWidget *window);

// The numbers of the start screen's selected option buttons (1 to 9), in order.
QList<int> selectedOptions(QWidget *window);

// The text of the label of that name in the window.
QString labelText(QWidget *window, const char *name);

} // namespace testsupport
