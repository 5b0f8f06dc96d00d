// Settings files that are damaged, odd, huge or not files at all, each opened by the real start
// screen: the screen comes up with the fall-backs (or with what the damage left readable),
// reading never changes the file, and the screen stays usable: "Exit" saves the five values
// without losing what else the file held.
#include "start/frmstart.h"

#include "tests/testmain.h"
#include "tests/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::ProgramFolder;

namespace {

constexpr qsizetype kMegabyte = 1024 * 1024;

// The program's layout with the five value texts as they stand after "=".
QByteArray layout(const QByteArray &filter, const QByteArray &target, const QByteArray &fixEye,
    const QByteArray &screenH, const QByteArray &screenV)
{
    return "[Filter]\nFILTER=" + filter + "\nTARGET=" + target + "\nFIXEYE=" + fixEye
        + "\n[Screen]\nSCREENH=" + screenH + "\nSCREENV=" + screenV + "\n";
}

// Bytes of every value, NUL included, from a fixed sequence so that a failure can be repeated.
// No '[' (so no section header) and no CR, and the junk ends with a line feed, so that the
// program's sections are appended after it just as to any file that lacks them.
QByteArray binaryJunk(qsizetype size)
{
    QByteArray junk(size, '\0');
    quint32 state = 12345;
    for (qsizetype i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        const char byte = char(state >> 24);
        junk[i] = (byte == '[' || byte == '\r') ? '\0' : byte;
    }
    junk[size - 1] = '\n';
    return junk;
}

// A big file of text lines that holds none of the program's sections: a log saved under the
// settings file's name, say.
QByteArray textJunk(qsizetype size)
{
    QByteArray text;
    text.reserve(size + 64);
    for (int line = 0; text.size() < size; ++line)
        text.append("log ").append(QByteArray::number(line)).append(": pointer at 512, 384\n");
    return text;
}

} // namespace

class TestBadFiles final : public testsupport::ProgramTest
{
    Q_OBJECT

private:
    frmstart *open()
    {
        m_program->showFrmstart();
        return currentWindow<frmstart>();
    }
    static void exitProgram(QWidget *window)
    {
        QTest::mouseClick(
            window->findChild<QPushButton *>(QStringLiteral("Command2")), Qt::LeftButton);
    }

private Q_SLOTS:
    void badFileOpensAndStaysWhole_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QList<int>>("options");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QByteArray>("saved"); // the file after "Exit"

        const QList<int> fallbacks {1, 5, 9};
        const QString fallbackCali = QStringLiteral("500 x 500");

        QTest::newRow("empty") << QByteArray() << fallbacks << fallbackCali
                               << QByteArray(testsupport::kDefaultSettings);
        const QByteArray junk = binaryJunk(64 * 1024);
        QVERIFY(junk.contains('\0'));
        QTest::newRow("binary junk with NUL bytes")
            << junk << fallbacks << fallbackCali << junk + testsupport::kDefaultSettings;
        const QByteArray big = textJunk(kMegabyte - 1024);
        QTest::newRow("nearly 1 MiB without the program's sections")
            << big << fallbacks << fallbackCali << big + testsupport::kDefaultSettings;

        // A line of nearly a megabyte (the largest settings file is one) hides neither the keys
        // before it nor those after it.
        const QByteArray longLine(kMegabyte - 1024, 'x');
        QTest::newRow("a line of nearly 1 MiB among the settings")
            << "[Filter]\nFILTER= 3\n" + longLine + "\nTARGET= 2\n[Screen]\nSCREENH= 600\n"
            << QList<int> {3, 6, 9} << QStringLiteral("600 x 500")
            << "[Filter]\nFILTER= 3\n" + longLine
                + "\nTARGET= 2\nFIXEYE= 2\n[Screen]\nSCREENH= 600\nSCREENV= 500\n";

        // Values of 10,000 characters are read as their first 749: a number too big for a
        // double (the read fails), zeros, a 1 followed by blanks, 600 followed by zeros.
        QTest::newRow("values of 10,000 characters")
            << layout("3" + QByteArray(9'999, '0'), QByteArray(9'999, '0') + "2",
                   "1" + QByteArray(9'998, ' ') + "x", "600." + QByteArray(9'996, '0'), "")
            << QList<int> {1, 5, 8} << QStringLiteral("600 x 500")
            << layout(" 1", " 1", " 1", " 600", " 500");

        // Number texts as people type them: none of these gives a number in its range (1e400 is
        // too big to read, nan and 0x10 read as 0), and the five values fall back.
        QTest::newRow("no number in range")
            << layout("1e400", "nan", "-0", "0x10", ".5") << fallbacks << fallbackCali
            << QByteArray(testsupport::kDefaultSettings);
        QTest::newRow("other spellings of numbers in range")
            << layout("+4", "3.", ".1e1", "+6e2", "4.5e2") << QList<int> {4, 7, 8}
            << QStringLiteral("600 x 450") << layout(" 4", " 3", " 1", " 600", " 450");
    }
    void badFileOpensAndStaysWhole()
    {
        QFETCH(QByteArray, content);
        QFETCH(QList<int>, options);
        QFETCH(QString, shown);
        QFETCH(QByteArray, saved);
        m_folder->writeSettings(content);

        frmstart *window = open();
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QCOMPARE(testsupport::selectedOptions(window), options);
        QCOMPARE(testsupport::labelText(window, "cali"),
            QStringLiteral("   Calibration Value   ") + shown);
        // Compared without QCOMPARE, which would print megabytes on a failure.
        QVERIFY2(m_folder->settings() == content, "loading the start screen changed the file");

        exitProgram(window);
        QVERIFY(m_program->ended());
        const QByteArray after = m_folder->settings();
        QVERIFY2(after == saved,
            qPrintable(QStringLiteral("saved %1 bytes, expected %2; it ends in:\n%3")
                           .arg(after.size())
                           .arg(saved.size())
                           .arg(QString::fromLatin1(after.right(120)))));
        QCOMPARE(m_folder->entries(), QStringList {QStringLiteral("Kelvane.ini")});
    }

    // Whatever stands where the file should be (a folder, a link another user planted, a file
    // far larger than any settings file), the screen comes up quickly with the fall-backs and
    // says across its top which file is not used and why; "Exit" says the save was refused and
    // why, and still ends the program once the user chooses to leave without saving; the thing
    // in the file's place, and any file behind it, stays as it was.
    void refusedFileOpensWithTheFallbacks_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("why"); // after "<file> is "
        QTest::newRow("a folder") << QStringLiteral("folder") << QStringLiteral("a folder");
        QTest::newRow("a link to another user's file") << QStringLiteral(
            "link") << QStringLiteral("a symbolic link, which the program never follows");
        const QString tooLarge
            = QStringLiteral("larger than any settings file (over 1048576 bytes)");
        QTest::newRow("20 MB without the program's sections")
            << QStringLiteral("20 MB") << tooLarge;
        QTest::newRow("a sparse file of 64 GiB") << QStringLiteral("64 GiB") << tooLarge;
    }
    void refusedFileOpensWithTheFallbacks()
    {
        QFETCH(QString, kind);
        QFETCH(QString, why);
        const QString file = m_folder->settingsFile();
        const QTemporaryDir elsewhere;
        const QString victim = elsewhere.filePath(QStringLiteral(".bashrc"));
        const QByteArray victimContent = layout(" 3", " 2", " 1", " 600", " 450");
        {
            QFile target(victim);
            QVERIFY(target.open(QIODevice::WriteOnly));
            target.write(victimContent);
        }
        QByteArray content;
        if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkdir(file));
            QFile inside(file + QStringLiteral("/kept.txt"));
            QVERIFY(inside.open(QIODevice::WriteOnly));
        } else if (kind == QLatin1String("link")) {
            QVERIFY(QFile::link(victim, file));
        } else if (kind == QLatin1String("20 MB")) {
            content = textJunk(20 * kMegabyte);
            m_folder->writeSettings(content);
        } else {
            m_folder->writeSettings(victimContent);
            QFile sparse(file);
            QVERIFY(sparse.resize(qint64(64) << 30)); // no block of it is ever written
        }
        const QString refusal = file + QStringLiteral(" is ") + why;

        frmstart *window = open();
        QVERIFY(window);
        QCOMPARE(testsupport::selectedOptions(window), (QList<int> {1, 5, 9}));
        QCOMPARE(testsupport::labelText(window, "cali"),
            QStringLiteral("   Calibration Value   500 x 500"));
        const auto *note = window->findChild<QLabel *>(QStringLiteral("caliNote"));
        QVERIFY(note->isVisible());
        QCOMPARE(note->textFormat(), Qt::PlainText);
        QVERIFY2(note->text().startsWith(refusal + QLatin1Char(':')), qPrintable(note->text()));

        testsupport::MessageBoxAnswer answer(QStringLiteral("Exit without saving"));
        exitProgram(window);
        QVERIFY2(answer.text().contains(QLatin1Char('\n') + refusal + QLatin1Char('.')),
            qPrintable(answer.text()));
        QVERIFY(m_program->ended());

        QCOMPARE(m_folder->entries(), QStringList {QStringLiteral("Kelvane.ini")});
        QFile behind(victim);
        QVERIFY(behind.open(QIODevice::ReadOnly));
        QCOMPARE(behind.readAll(), victimContent);
        if (kind == QLatin1String("folder")) {
            QCOMPARE(QDir(file).entryList(QDir::Files), QStringList {QStringLiteral("kept.txt")});
        } else if (kind == QLatin1String("link")) {
            QCOMPARE(QFileInfo(file).symLinkTarget(), victim);
        } else if (kind == QLatin1String("20 MB")) {
            QVERIFY2(m_folder->settings() == content, "the 20 MB file changed");
        } else {
            QCOMPARE(QFileInfo(file).size(), qint64(64) << 30);
        }
    }

    // A file near the largest size taken, then "Done": the oldest monitors' records make room,
    // the file stays within the bound, and the next start takes the calibration. Where nothing
    // of the program's makes room (a log under the file's name), "Done" says the file would
    // grow too large and leaves it as it was: no save writes a file the next start refuses.
    void doneOnAFileNearTheLargestSize_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("stored");
        QByteArray records = layout(" 1", " 1", " 2", " 567", " 567");
        for (int n = 1;; ++n) {
            const QByteArray record = testsupport::calibrationRecord(
                true, "HDMI-" + QByteArray::number(n), 1920, 1080, 567, 567);
            if (records.size() + record.size() > kMegabyte)
                break;
            records += record;
        }
        QTest::newRow("records of many monitors") << records << true;
        QTest::newRow("a log") << textJunk(kMegabyte - 300)
                + layout(" 1", " 1", " 2", " 600", " 450")
                               << false;
    }
    void doneOnAFileNearTheLargestSize()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, stored);
        QVERIFY(content.size() > kMegabyte - 400 && content.size() <= kMegabyte);
        m_folder->writeSettings(content);
        QTest::mouseClick(
            open()->findChild<QPushButton *>(QStringLiteral("Command3")), Qt::LeftButton);
        QWidget *calibration = m_program->current();
        QVERIFY(calibration && !qobject_cast<frmstart *>(calibration));
        // The marks stand where the screen put them: the clinician says a ruler checked them.
        // Any other box is the refusal, kept and closed.
        QString refusal;
        const testsupport::DialogAnswer<QMessageBox> answer([&refusal](QMessageBox *box) {
            for (QAbstractButton *button : box->buttons()) {
                if (button->text() == QStringLiteral("Yes, checked"))
                    return button->click();
            }
            refusal = box->text();
            box->accept();
        });
        QTest::mouseClick(
            calibration->findChild<QPushButton *>(QStringLiteral("Done")), Qt::LeftButton);
        if (!stored) {
            QVERIFY2(refusal.contains(m_folder->settingsFile()
                         + QStringLiteral(" would grow larger than any settings file (over "
                                          "1048576 bytes)")),
                qPrintable(refusal));
            QCOMPARE(m_program->current(), calibration);
            QVERIFY2(m_folder->settings() == content, "the refused save changed the file");
            return;
        }
        QCOMPARE(refusal, QString());
        QVERIFY(m_folder->settings().size() <= kMegabyte);
        restartProgram();
        frmstart *window = open();
        QCOMPARE(testsupport::labelText(window, "cali"),
            QStringLiteral("   Calibration Value   567 x 567"));
        QCOMPARE(testsupport::labelText(window, "caliNote"), QString());
    }

    void unreadableFile()
    {
        const QByteArray content = layout(" 3", " 2", " 1", " 600", " 450");
        m_folder->writeSettings(content);
        const QByteArray path = QFile::encodeName(m_folder->settingsFile());
        // Anyone may search and write the folder, so that only the file's own mode stands
        // between a save and the file: a save that took the unreadable file for a missing one
        // would replace it.
        QCOMPARE(::chmod(QFile::encodeName(m_folder->path()).constData(), 0777), 0);
        QCOMPARE(::chmod(path.constData(), 0), 0);
        {
            testsupport::UnprivilegedFiles unprivileged;
            QFile probe(m_folder->settingsFile());
            QVERIFY2(!probe.open(QIODevice::ReadOnly), "the file is still readable");
            frmstart *window = open();
            QVERIFY(window);
            QCOMPARE(testsupport::selectedOptions(window), (QList<int> {1, 5, 9}));
            QCOMPARE(testsupport::labelText(window, "cali"),
                QStringLiteral("   Calibration Value   500 x 500"));
            testsupport::MessageBoxAnswer answer(QStringLiteral("Exit without saving"));
            exitProgram(window);
            QVERIFY(answer.text().contains(QStringLiteral("Permission denied")));
            QVERIFY(m_program->ended());
        }
        QCOMPARE(testsupport::modeOf(m_folder->settingsFile()), mode_t(0));
        QCOMPARE(::chmod(path.constData(), 0600), 0);
        QCOMPARE(m_folder->settings(), content);
        QCOMPARE(m_folder->entries(), QStringList {QStringLiteral("Kelvane.ini")});
    }
};

KELVANE_TEST_MAIN(TestBadFiles)
#include "test_badfiles.moc"
