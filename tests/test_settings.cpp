// The settings file: read and written through ReadINI and WriteINI against real files in a fresh
// folder, read as the Windows profile functions read a file edited by hand, and written so that
// a save which cannot be done never costs the file it would have replaced.
#include "clinic/hess.h"
#include "settings/ini.h"
#include "settings/profile.h"

#include "tests/testmain.h"
#include "tests/testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <clocale>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::modeOf;
using testsupport::ProgramFolder;
using testsupport::utf16;

namespace {

// What a read gives for a key the file does not hold.
const QByteArray kMissing = QByteArrayLiteral("(missing)");

// Sets the process's umask for as long as this lives.
class Umask
{
public:
    explicit Umask(mode_t mask)
        : m_old(::umask(mask))
    {
    }
    ~Umask() { ::umask(m_old); }
    Umask(const Umask &) = delete;
    Umask &operator=(const Umask &) = delete;

private:
    mode_t m_old;
};

struct stat statusOf(const QString &path)
{
    struct stat status
    {
    };
    ::stat(QFile::encodeName(path).constData(), &status);
    return status;
}

} // namespace

class TestSettings final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ProgramFolder> m_folder;

    QString file() const { return m_folder->settingsFile(); }
    QByteArray path() const { return QFile::encodeName(file()); }
    bool write(const char *section, const char *key, const QByteArray &value) const
    {
        return profile::writePrivateProfileString(section, key, value, path());
    }

private Q_SLOTS:
    void init() { m_folder = std::make_unique<ProgramFolder>(); }
    void cleanup() { m_folder.reset(); }

    // ---- Reading a file as the Windows profile functions read it ----

    void readsAsWindowsDoes_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("expected");

        // Keys asked in lower case, as ReadINI asks them.
        const QByteArray filter("Filter");
        const QByteArray key("filter");

        QTest::newRow("line endings: LF")
            << QByteArray("[Filter]\nFILTER=3\n") << filter << key << QByteArray("3");
        QTest::newRow("line endings: CRLF") << QByteArray("[Filter]\r\nFILTER=3\r\nTARGET=2\r\n")
                                            << filter << key << QByteArray("3");
        QTest::newRow("line endings: CR alone")
            << QByteArray("[Filter]\rFILTER=3\rTARGET=2\r") << filter << key << QByteArray("3");
        QTest::newRow("line endings: mixed")
            << QByteArray("[Screen]\r\nSCREENH=600\r[Filter]\nTARGET=2\r\nFILTER=4") << filter
            << key << QByteArray("4");
        QTest::newRow("line endings: none at the end")
            << QByteArray("[Filter]\nFILTER=3") << filter << key << QByteArray("3");
        QTest::newRow("blank lines ignored")
            << QByteArray("\n\n[Filter]\n\n\r\n   \n\t\nFILTER=3\n\n") << filter << key
            << QByteArray("3");

        QTest::newRow("blanks: around the section name")
            << QByteArray("  [ Filter\t]  \nFILTER=3\n") << filter << key << QByteArray("3");
        QTest::newRow("blanks: tabs around key and value")
            << QByteArray("[Filter]\n\t FILTER \t=\t 3 \t\n") << filter << key << QByteArray("3");
        QTest::newRow("blanks: inside a value kept")
            << QByteArray("[Filter]\nFILTER= 3 4 \n") << filter << key << QByteArray("3 4");

        QTest::newRow("comments: a ';' line is no key")
            << QByteArray("[Filter]\n;FILTER=4\nFILTER=3\n") << filter << key << QByteArray("3");
        QTest::newRow("comments: an indented ';' line is no key")
            << QByteArray("[Filter]\n \t; FILTER=4\nFILTER=3\n") << filter << key
            << QByteArray("3");
        QTest::newRow("comments: a ';' inside a value is kept") << QByteArray(
            "[Filter]\nFILTER=3 ; three\n") << filter << key << QByteArray("3 ; three");
        QTest::newRow("comments: a ';' header is no section")
            << QByteArray(";[Filter]\nFILTER=4\n[Other]\nFILTER=2\n") << filter << key << kMissing;

        QTest::newRow("headers: text after ']' ignored")
            << QByteArray("[Filter] glasses ] more\nFILTER=3\n") << filter << key
            << QByteArray("3");
        QTest::newRow("headers: a missing ']' runs to the end of the line")
            << QByteArray("[Filter\nFILTER=3\n") << filter << key << QByteArray("3");
        QTest::newRow("headers: a missing ']' with blanks")
            << QByteArray("[ Filter  \r\nFILTER=3\r\n") << filter << key << QByteArray("3");
        QTest::newRow("headers: the name stops at the first ']'")
            << QByteArray("[Fil]ter]\nFILTER=3\n") << filter << key << kMissing;
        QTest::newRow("headers: indented")
            << QByteArray("\t  [Filter]\nFILTER=3\n") << filter << key << QByteArray("3");
        QTest::newRow("headers: a later section ends the one before")
            << QByteArray("[Filter]\n[Screen]\nFILTER=3\n") << filter << key << kMissing;

        QTest::newRow("quotes: double pair removed")
            << QByteArray("[Filter]\nFILTER=\"3\"\n") << filter << key << QByteArray("3");
        QTest::newRow("quotes: single pair removed")
            << QByteArray("[Filter]\nFILTER='3'\n") << filter << key << QByteArray("3");
        QTest::newRow("quotes: blanks inside a pair kept")
            << QByteArray("[Filter]\nFILTER= \" 3 \" \n") << filter << key << QByteArray(" 3 ");
        QTest::newRow("quotes: only one pair removed")
            << QByteArray("[Filter]\nFILTER=\"\"3\"\"\n") << filter << key << QByteArray("\"3\"");
        QTest::newRow("quotes: a mismatched pair kept")
            << QByteArray("[Filter]\nFILTER=\"3'\n") << filter << key << QByteArray("\"3'");
        QTest::newRow("quotes: a lone quote kept")
            << QByteArray("[Filter]\nFILTER=\"\n") << filter << key << QByteArray("\"");
        QTest::newRow("quotes: an empty pair is the empty text")
            << QByteArray("[Filter]\nFILTER=''\n") << filter << key << QByteArray("");

        QTest::newRow("case: any case in the file")
            << QByteArray("[fILTER]\nfIlTeR=3\n") << filter << key << QByteArray("3");
        QTest::newRow("case: section asked in another case")
            << QByteArray("[Filter]\nFILTER=3\n") << QByteArray("FILTER") << key << QByteArray("3");
        QTest::newRow("case: ASCII only") << QByteArray("[Filter]\nFIXEY\xC9=3\n") << filter
                                          << QByteArray("fixey\xE9") << kMissing;

        QTest::newRow("first section of a name counts")
            << QByteArray("[Filter]\nFILTER=3\n[filter]\nFILTER=4\n") << filter << key
            << QByteArray("3");
        QTest::newRow("a key only in a second section of the name is not found")
            << QByteArray("[Filter]\nTARGET=2\n[FILTER]\nFILTER=4\n") << filter << key << kMissing;
        QTest::newRow("first key of a name counts")
            << QByteArray("[Filter]\nFILTER=3\nfilter=4\n") << filter << key << QByteArray("3");
        QTest::newRow("a key in another section is not found")
            << QByteArray("[Screen]\nFILTER=3\n") << filter << key << kMissing;
        QTest::newRow("lines before any section belong to none")
            << QByteArray("FILTER=3\n[Filter]\nTARGET=2\n") << filter << key << kMissing;

        QTest::newRow("byte-order mark skipped")
            << QByteArray("\xEF\xBB\xBF[Filter]\r\nFILTER=3\r\n") << filter << key
            << QByteArray("3");
        QTest::newRow("byte-order mark elsewhere is text")
            << QByteArray("[Screen]\n\xEF\xBB\xBF[Filter]\nFILTER=3\n") << filter << key
            << kMissing;

        QTest::newRow("no '=': the key it names hides a later one")
            << QByteArray("[Filter]\nFILTER\nFILTER=3\n") << filter << key << kMissing;
        QTest::newRow("no '=': other keys still found")
            << QByteArray("[Filter]\nnonsense\nFILTER=3\n") << filter << key << QByteArray("3");
        QTest::newRow("value after the first '='")
            << QByteArray("[Filter]\nFILTER=3=4\n") << filter << key << QByteArray("3=4");
        QTest::newRow("empty value")
            << QByteArray("[Filter]\nFILTER=\nFILTER=3\n") << filter << key << QByteArray("");
        QTest::newRow("key with a blank-only value")
            << QByteArray("[Filter]\nFILTER=  \t\n") << filter << key << QByteArray("");

        QTest::newRow("missing section")
            << QByteArray(testsupport::kDefaultSettings) << QByteArray("Other") << key << kMissing;
        QTest::newRow("missing key") << QByteArray(testsupport::kDefaultSettings) << filter
                                     << QByteArray("other") << kMissing;
        QTest::newRow("empty file") << QByteArray() << filter << key << kMissing;

        QTest::newRow("UTF-16: read")
            << utf16("[Filter]\r\nFILTER= 3\r\n") << filter << key << QByteArray("3");
        QTest::newRow("UTF-16: names in any case, a Latin-1 value")
            << utf16("[fILTER]\r\nFilter=caf\xE9\r\n") << filter << key << QByteArray("caf\xE9");
        QTest::newRow("UTF-16: a character beyond Latin-1 reads as '?'")
            << utf16("[Filter]\nFILTER=1").append("\xAC\x20", 2) << filter << key
            << QByteArray("1?");
        QTest::newRow("UTF-16: a key in another section is not found")
            << utf16("[Screen]\nFILTER=3\n") << filter << key << kMissing;
    }
    void readsAsWindowsDoes()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, expected);
        QByteArray buffer(750, 'x');
        const qsizetype n = profile::getProfileString(
            content, section, key, kMissing, buffer.data(), buffer.size());
        QCOMPARE(buffer.left(n), expected);
    }

    void missingFileReadsEmpty()
    {
        QCOMPARE(ReadINI(QStringLiteral("Filter"), QStringLiteral("Filter"), path()), QString());
        QVERIFY(!m_folder->hasSettings());
    }

    void readCopiesAtMostSizeMinusOne_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("count");
        QTest::addColumn<QByteArray>("copied");

        QTest::newRow("exactly fits") << QByteArray("FILTER") << 7 << 6 << QByteArray("abcdef");
        QTest::newRow("cut by one") << QByteArray("FILTER") << 6 << 5 << QByteArray("abcde");
        QTest::newRow("room for the NUL only") << QByteArray("FILTER") << 1 << 0 << QByteArray();
        QTest::newRow("default when missing")
            << QByteArray("TARGET") << 10 << 3 << QByteArray("def");
        QTest::newRow("default cut too") << QByteArray("TARGET") << 3 << 2 << QByteArray("de");
    }
    void readCopiesAtMostSizeMinusOne()
    {
        QFETCH(QByteArray, key);
        QFETCH(int, size);
        QFETCH(int, count);
        QFETCH(QByteArray, copied);
        QByteArray buffer(16, 'x');
        QCOMPARE(profile::getProfileString(
                     "[Filter]\nFILTER=abcdef\n", "Filter", key, "def", buffer.data(), size),
            qsizetype(count));
        QCOMPARE(buffer.left(count), copied);
        QCOMPARE(buffer.at(count), '\0');
        QCOMPARE(buffer.mid(count + 1), QByteArray(16 - count - 1, 'x')); // nothing past the NUL
    }

    void readIntoNoBufferCopiesNothing()
    {
        char buffer[4] = {'x', 'x', 'x', 'x'};
        QCOMPARE(
            profile::getProfileString("[Filter]\nFILTER=3\n", "Filter", "filter", "", buffer, 0),
            qsizetype(0));
        QCOMPARE(buffer[0], 'x');
    }

    void textIsLatin1BothWays()
    {
        WriteINI(QStringLiteral("Filter"), QStringLiteral("Filter"), QStringLiteral(" caf\u00e9"),
            path());
        QCOMPARE(m_folder->settings(), QByteArray("[Filter]\nFILTER= caf\xE9\n"));
        QCOMPARE(ReadINI(QStringLiteral("Filter"), QStringLiteral("Filter"), path()),
            QStringLiteral("caf\u00e9"));
    }

    // ---- Writing one value, every other byte kept ----

    void freshFileHasTheProgramsLayout()
    {
        QVERIFY(!m_folder->hasSettings());
        const QString filter = QStringLiteral("Filter");
        const QString screen = QStringLiteral("Screen");
        WriteINI(filter, QStringLiteral("Filter"), settings::numberText(1), path());
        WriteINI(filter, QStringLiteral("Target"), settings::numberText(1), path());
        WriteINI(filter, QStringLiteral("FixEye"), settings::numberText(2), path());
        WriteINI(screen, QStringLiteral("ScreenH"), settings::numberText(500), path());
        WriteINI(screen, QStringLiteral("ScreenV"), settings::numberText(500), path());
        QCOMPARE(m_folder->settings(), QByteArray(testsupport::kDefaultSettings));
    }

    // The five values of a save reach the disk together: one new file, renamed once over the
    // old one, holding exactly what five writes one after another would leave.
    void saveIsOneReplacement()
    {
        m_folder->writeSettings("; mine\r\n[Screen]\r\nSCREENH= 500\r\n");
        const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(watch >= 0);
        QVERIFY(::inotify_add_watch(
                    watch, QFile::encodeName(m_folder->path()).constData(), IN_CREATE | IN_MOVED_TO)
            >= 0);
        QVERIFY(profile::writePrivateProfileStrings(
            {{"Filter", "FILTER", " 1"}, {"Filter", "TARGET", " 1"}, {"Filter", "FIXEYE", " 2"},
                {"Screen", "SCREENH", " 567"}, {"Screen", "SCREENV", " 432"}},
            path()));
        QStringList events;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
            for (char *at = buffer; at < buffer + n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(at);
                events << ((event->mask & IN_CREATE)
                        ? QStringLiteral("create")
                        : QStringLiteral("rename to ") + QFile::decodeName(event->name));
                at += sizeof(inotify_event) + event->len;
            }
        }
        ::close(watch);
        QCOMPARE(events,
            (QStringList {QStringLiteral("create"), QStringLiteral("rename to Kelvane.ini")}));
        QCOMPARE(m_folder->settings(),
            QByteArray("; mine\r\n[Screen]\r\nSCREENH= 567\r\nSCREENV= 432\r\n"
                       "[Filter]\r\nFILTER= 1\r\nTARGET= 1\r\nFIXEYE= 2\r\n"));
        QCOMPARE(m_folder->entries(), QStringList {QStringLiteral("Kelvane.ini")});
    }

    void writesKeepEveryOtherByte_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("existing key: replaced in its line")
            << QByteArray(testsupport::kDefaultSettings) << QByteArray("Filter")
            << QByteArray("TARGET") << QByteArray(" 3")
            << QByteArray("[Filter]\nFILTER= 1\nTARGET= 3\nFIXEYE= 2\n[Screen]\nSCREENH= "
                          "500\nSCREENV= 500\n");
        QTest::newRow("existing key: any case, the line takes the key as passed")
            << QByteArray("[filter]\n  target = 'x' \nfixeye=1\n") << QByteArray("Filter")
            << QByteArray("TARGET") << QByteArray(" 2")
            << QByteArray("[filter]\nTARGET= 2\nfixeye=1\n");
        QTest::newRow("existing key: last line without line ending")
            << QByteArray("[Filter]\nFILTER=1") << QByteArray("Filter") << QByteArray("FILTER")
            << QByteArray(" 4") << QByteArray("[Filter]\nFILTER= 4");
        QTest::newRow("existing key: its line ending kept in a mixed file")
            << QByteArray("[Filter]\nFILTER=1\r\nTARGET=1\r") << QByteArray("Filter")
            << QByteArray("FILTER") << QByteArray(" 4")
            << QByteArray("[Filter]\nFILTER= 4\r\nTARGET=1\r");
        QTest::newRow("existing key: a line without '=' takes the value")
            << QByteArray("[Filter]\nFILTER\nTARGET=1\n") << QByteArray("Filter")
            << QByteArray("FILTER") << QByteArray(" 4")
            << QByteArray("[Filter]\nFILTER= 4\nTARGET=1\n");
        QTest::newRow("existing key: only the first of its name")
            << QByteArray("[Filter]\nFILTER=1\nFILTER=2\n") << QByteArray("Filter")
            << QByteArray("FILTER") << QByteArray(" 4")
            << QByteArray("[Filter]\nFILTER= 4\nFILTER=2\n");
        QTest::newRow("existing key: value with blanks kept as passed")
            << QByteArray("[Filter]\nFILTER=1\n") << QByteArray("Filter") << QByteArray("FILTER")
            << QByteArray("  4 ") << QByteArray("[Filter]\nFILTER=  4 \n");
        QTest::newRow("existing key: empty value")
            << QByteArray("[Filter]\nFILTER=1\n") << QByteArray("Filter") << QByteArray("FILTER")
            << QByteArray() << QByteArray("[Filter]\nFILTER=\n");

        QTest::newRow("new key: after the last key line of its section")
            << QByteArray("[Filter]\nFILTER= 1\n; note\n\n[Screen]\nSCREENH= 500\n")
            << QByteArray("Filter") << QByteArray("TARGET") << QByteArray(" 1")
            << QByteArray("[Filter]\nFILTER= 1\nTARGET= 1\n; note\n\n[Screen]\nSCREENH= 500\n");
        QTest::newRow("new key: right after the header of an empty section")
            << QByteArray("[Filter]\n; note\n\n[Screen]\n") << QByteArray("Filter")
            << QByteArray("FILTER") << QByteArray(" 1")
            << QByteArray("[Filter]\nFILTER= 1\n; note\n\n[Screen]\n");
        QTest::newRow("new key: after a last key line without line ending")
            << QByteArray("[Screen]\r\nSCREENH= 500") << QByteArray("Screen")
            << QByteArray("SCREENV") << QByteArray(" 500")
            << QByteArray("[Screen]\r\nSCREENH= 500\r\nSCREENV= 500\r\n");
        // The file's style is a lone CR; a CR-ended new line before a blank LF line would
        // merge with it into one CRLF, and the blank line would be lost.
        QTest::newRow("new key: a blank LF line after it survives in a CR file")
            << QByteArray("; old editor\r[Filter]\nFILTER= 1\n\n[Screen]\n") << QByteArray("Filter")
            << QByteArray("TARGET") << QByteArray(" 1")
            << QByteArray("; old editor\r[Filter]\nFILTER= 1\nTARGET= 1\n\n[Screen]\n");
        QTest::newRow("new key: into the first section of the name")
            << QByteArray("[Filter]\nFILTER=1\n[Screen]\n[Filter]\nTARGET=2\n")
            << QByteArray("Filter") << QByteArray("TARGET") << QByteArray(" 3")
            << QByteArray("[Filter]\nFILTER=1\nTARGET= 3\n[Screen]\n[Filter]\nTARGET=2\n");
        QTest::newRow("new key: a same-named key elsewhere left alone")
            << QByteArray("FILTER=9\n[Screen]\nFILTER=8\n[Filter]\n;FILTER=7\n")
            << QByteArray("Filter") << QByteArray("FILTER") << QByteArray(" 1")
            << QByteArray("FILTER=9\n[Screen]\nFILTER=8\n[Filter]\nFILTER= 1\n;FILTER=7\n");
        QTest::newRow("new key: section header with blanks and trailing text")
            << QByteArray("  [ filter ] old\r\nFILTER=1\r\n") << QByteArray("Filter")
            << QByteArray("TARGET") << QByteArray(" 2")
            << QByteArray("  [ filter ] old\r\nFILTER=1\r\nTARGET= 2\r\n");

        QTest::newRow("new section: at the end of the file")
            << QByteArray("[Filter]\nFILTER= 1\n\n; end\n") << QByteArray("Screen")
            << QByteArray("SCREENH") << QByteArray(" 500")
            << QByteArray("[Filter]\nFILTER= 1\n\n; end\n[Screen]\nSCREENH= 500\n");
        QTest::newRow("new section: after a last line without line ending")
            << QByteArray("[Filter]\nFILTER= 1") << QByteArray("Screen") << QByteArray("SCREENH")
            << QByteArray(" 500") << QByteArray("[Filter]\nFILTER= 1\n[Screen]\nSCREENH= 500\n");
        QTest::newRow("new section: in an empty file")
            << QByteArray() << QByteArray("Screen") << QByteArray("SCREENH") << QByteArray(" 500")
            << QByteArray("[Screen]\nSCREENH= 500\n");
        QTest::newRow("new section: a header inside a comment doesn't count")
            << QByteArray(";[Screen]\n") << QByteArray("Screen") << QByteArray("SCREENH")
            << QByteArray(" 500") << QByteArray(";[Screen]\n[Screen]\nSCREENH= 500\n");

        QTest::newRow("line endings: CR file stays CR")
            << QByteArray("[Filter]\rFILTER= 1\r") << QByteArray("Filter") << QByteArray("TARGET")
            << QByteArray(" 1") << QByteArray("[Filter]\rFILTER= 1\rTARGET= 1\r");
        QTest::newRow("line endings: the first one found sets the style")
            << QByteArray("; hand-made\r\n[Filter]\nFILTER= 1") << QByteArray("Filter")
            << QByteArray("TARGET") << QByteArray(" 1")
            << QByteArray("; hand-made\r\n[Filter]\nFILTER= 1\r\nTARGET= 1\r\n");

        QTest::newRow("byte-order mark: kept on a new section")
            << QByteArray("\xEF\xBB\xBF[Filter]\r\nFILTER= 1\r\n") << QByteArray("Screen")
            << QByteArray("SCREENV") << QByteArray(" 500")
            << QByteArray("\xEF\xBB\xBF[Filter]\r\nFILTER= 1\r\n[Screen]\r\nSCREENV= 500\r\n");
        QTest::newRow("byte-order mark: kept on a replaced first key")
            << QByteArray("\xEF\xBB\xBF[Filter]\nFILTER= 1\n") << QByteArray("Filter")
            << QByteArray("FILTER") << QByteArray(" 2")
            << QByteArray("\xEF\xBB\xBF[Filter]\nFILTER= 2\n");
        QTest::newRow("byte-order mark: a file holding only the mark")
            << QByteArray("\xEF\xBB\xBF") << QByteArray("Filter") << QByteArray("FILTER")
            << QByteArray(" 1") << QByteArray("\xEF\xBB\xBF[Filter]\nFILTER= 1\n");

        QTest::newRow("unknown sections, keys and odd lines left alone")
            << QByteArray("junk line\n[Notes]\nWHO=Dr. A\n[Filter]\nCOLOUR = red ; ok\nFILTER=1\n"
                          "\tstray\n[Screen]\n")
            << QByteArray("Filter") << QByteArray("FILTER") << QByteArray(" 3")
            << QByteArray("junk line\n[Notes]\nWHO=Dr. A\n[Filter]\nCOLOUR = red ; ok\nFILTER= 3\n"
                          "\tstray\n[Screen]\n");
        QTest::newRow("NUL bytes elsewhere kept")
            << QByteArray("[A]\nX=\0\n", 8) << QByteArray("Filter") << QByteArray("FILTER")
            << QByteArray(" 1") << QByteArray("[A]\nX=\0\n[Filter]\nFILTER= 1\n", 27);

        // No key and no value: the section goes, every one of its name, and nothing else.
        QTest::newRow("removal: each section of the name, header to the next header")
            << QByteArray("\xEF\xBB\xBF; top\r\n[Calibration A]\r\nSCREENH= 1\r\n; note\r\n\r\n"
                          "[Screen]\r\nSCREENH= 2\r\n [calibration a] x\r\nX=1")
            << QByteArray("Calibration A") << QByteArray() << QByteArray()
            << QByteArray("\xEF\xBB\xBF; top\r\n[Screen]\r\nSCREENH= 2\r\n");
        QTest::newRow("removal: a section the file lacks")
            << QByteArray(testsupport::kDefaultSettings) << QByteArray("Calibration")
            << QByteArray() << QByteArray() << QByteArray(testsupport::kDefaultSettings);
        QTest::newRow("UTF-16: a section removed")
            << utf16("[Caf\xE9]\r\nA=1\r\n[Screen]\r\n") << QByteArray("CAF\xE9") << QByteArray()
            << QByteArray() << utf16("[Screen]\r\n");
        QTest::newRow("UTF-16: a value replaced")
            << utf16("[Filter]\r\nFILTER=1\r\n") << QByteArray("Filter") << QByteArray("FILTER")
            << QByteArray(" 4") << utf16("[Filter]\r\nFILTER= 4\r\n");
        QTest::newRow("UTF-16: a section added, a Latin-1 value")
            << utf16("[Filter]\r\nFILTER=1\r\n") << QByteArray("Screen") << QByteArray("SCREENH")
            << QByteArray(" caf\xE9")
            << utf16("[Filter]\r\nFILTER=1\r\n[Screen]\r\nSCREENH= caf\xE9\r\n");
        QTest::newRow("UTF-16: a file holding only the mark")
            << QByteArray("\xFF\xFE") << QByteArray("Filter") << QByteArray("FILTER")
            << QByteArray(" 1") << utf16("[Filter]\nFILTER= 1\n");
        // A euro sign, a character outside the 16-bit range, a lone surrogate and an odd last
        // byte: all kept as they were.
        const QByteArray others = QByteArray("\xAC\x20\x3D\xD8\x00\xDE\x00\xDC", 8);
        QTest::newRow("UTF-16: every other character kept")
            << utf16("; ") + others.mid(0) + utf16("\n[Filter]\nFILTER=1\n").mid(2) + 'A'
            << QByteArray("Filter") << QByteArray("FILTER") << QByteArray(" 2")
            << utf16("; ") + others + utf16("\n[Filter]\nFILTER= 2\n").mid(2) + 'A';
    }
    void writesKeepEveryOtherByte()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, after);
        QCOMPARE(profile::withValues(before, {{section, key, value}}), after);
    }

    void refusesWhatWouldBreakTheLayout_data()
    {
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value");

        QTest::newRow("blank section")
            << QByteArray(" \t") << QByteArray("FILTER") << QByteArray(" 1");
        QTest::newRow("blank key") << QByteArray("Filter") << QByteArray("  ") << QByteArray(" 1");
        QTest::newRow("LF in value")
            << QByteArray("Filter") << QByteArray("FILTER") << QByteArray(" 1\n[X]");
        QTest::newRow("CR in value")
            << QByteArray("Filter") << QByteArray("FILTER") << QByteArray(" 1\rY=2");
        QTest::newRow("NUL in value")
            << QByteArray("Filter") << QByteArray("FILTER") << QByteArray(" 1\0 2", 5);
        QTest::newRow("LF in key")
            << QByteArray("Filter") << QByteArray("A\nB") << QByteArray(" 1");
        QTest::newRow("'=' in key")
            << QByteArray("Filter") << QByteArray("A=B") << QByteArray(" 1");
        QTest::newRow("key starting with '['")
            << QByteArray("Filter") << QByteArray("[Screen") << QByteArray(" 1");
        QTest::newRow("key starting with ';'")
            << QByteArray("Filter") << QByteArray(";A") << QByteArray(" 1");
        QTest::newRow("key starting with blanks and '['")
            << QByteArray("Filter") << QByteArray(" \t[A") << QByteArray(" 1");
        QTest::newRow("CR in section")
            << QByteArray("Fil\rter") << QByteArray("FILTER") << QByteArray(" 1");
        QTest::newRow("']' in section")
            << QByteArray("Fil]ter") << QByteArray("FILTER") << QByteArray(" 1");
    }
    void refusesWhatWouldBreakTheLayout()
    {
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        QVERIFY(!profile::writePrivateProfileString(section, key, value, path()));
        QVERIFY(!m_folder->hasSettings());

        m_folder->writeSettings(testsupport::kDefaultSettings);
        QVERIFY(!profile::writePrivateProfileString(section, key, value, path()));
        QCOMPARE(m_folder->settings(), QByteArray(testsupport::kDefaultSettings));
    }

    // ---- Writes that cannot be done ----

    void readOnlyFileIsLeftAlone()
    {
        m_folder->writeSettings(testsupport::kDefaultSettings);
        QVERIFY(
            QFile::setPermissions(file(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QVERIFY(!write("Screen", "SCREENH", " 600"));
        WriteINI(QStringLiteral("Filter"), QStringLiteral("Filter"), QStringLiteral(" 3"), path());
        QCOMPARE(m_folder->settings(), QByteArray(testsupport::kDefaultSettings));
        QCOMPARE(modeOf(file()), mode_t(0444));
        QCOMPARE(ReadINI(QStringLiteral("Filter"), QStringLiteral("Filter"), path()),
            QStringLiteral("1"));
    }

    void lockedFolder_data()
    {
        QTest::addColumn<bool>("fileExists");
        QTest::addColumn<bool>("fileWritable");
        QTest::addColumn<bool>("written");
        QTest::newRow("no file: none can be created") << false << false << false;
        QTest::newRow("read-only file: left alone") << true << false << false;
        QTest::newRow("writable file: written where it stands") << true << true << true;
    }
    void lockedFolder()
    {
        QFETCH(bool, fileExists);
        QFETCH(bool, fileWritable);
        QFETCH(bool, written);
        if (fileExists) {
            m_folder->writeSettings(testsupport::kDefaultSettings);
            if (!fileWritable)
                QVERIFY(QFile::setPermissions(file(), QFile::ReadOwner));
        }
        const QStringList entriesBefore = m_folder->entries();
        {
            testsupport::LockedFolder lock(m_folder->path());
            if (!lock.isLocked())
                QSKIP(
                    "This file system cannot make a folder refuse new files (no immutable flag).");
            const bool result = write("Screen", "SCREENH", " 600");
            QCOMPARE(result, written);
            QCOMPARE(m_folder->entries(), entriesBefore);
        }
        if (!fileExists) {
            QVERIFY(!m_folder->hasSettings());
        } else if (written) {
            QCOMPARE(m_folder->settings(),
                QByteArray(testsupport::kDefaultSettings).replace("SCREENH= 500", "SCREENH= 600"));
        } else {
            QCOMPARE(m_folder->settings(), QByteArray(testsupport::kDefaultSettings));
        }
    }

    void keepsPermissions_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("owner only") << 0600;
        QTest::newRow("everyone reads") << 0644;
        QTest::newRow("write without read for others") << 0622;
    }
    void keepsPermissions()
    {
        QFETCH(int, mode);
        m_folder->writeSettings(testsupport::kDefaultSettings);
        QCOMPARE(::chmod(QFile::encodeName(file()).constData(), mode_t(mode)), 0);
        const Umask strict(077); // the user's umask never narrows an existing file
        QVERIFY(write("Screen", "SCREENH", " 600"));
        QCOMPARE(modeOf(file()), mode_t(mode));
    }

    // A shared install (a group-writable folder with the setgid bit): the settings file belongs
    // to the folder's group, and the group may read and write it whatever the saving user's
    // umask; a private folder leaves a new file to the umask.
    void sharedFolderKeepsTheGroupWriting_data()
    {
        QTest::addColumn<int>("folderMode");
        QTest::addColumn<int>("umask");
        QTest::addColumn<int>("oldMode"); // 0: no file yet
        QTest::addColumn<int>("newMode");
        QTest::newRow("shared, new file, umask 022") << 02775 << 022 << 0 << 0664;
        QTest::newRow("shared, new file, umask 077") << 02770 << 077 << 0 << 0660;
        QTest::newRow("shared, a file left owner-only") << 02770 << 077 << 0600 << 0660;
        QTest::newRow("private, new file, umask 022") << 0755 << 022 << 0 << 0644;
        QTest::newRow("private, new file, umask 077") << 0700 << 077 << 0 << 0600;
        QTest::newRow("group-writable without setgid") << 0770 << 077 << 0 << 0600;
    }
    void sharedFolderKeepsTheGroupWriting()
    {
        QFETCH(int, folderMode);
        QFETCH(int, umask);
        QFETCH(int, oldMode);
        QFETCH(int, newMode);
        const QByteArray folder = QFile::encodeName(m_folder->path());
        // Root can give the folder a group of its own, as an installer would.
        if (testsupport::isRoot())
            QCOMPARE(::chown(folder.constData(), uid_t(-1), testsupport::kNobody), 0);
        QCOMPARE(::chmod(folder.constData(), mode_t(folderMode)), 0);
        if (oldMode != 0) {
            m_folder->writeSettings(testsupport::kDefaultSettings);
            QCOMPARE(::chmod(path().constData(), mode_t(oldMode)), 0);
        }
        {
            const Umask mask {mode_t(umask)};
            QVERIFY(write("Screen", "SCREENH", " 600"));
        }
        QCOMPARE(modeOf(file()), mode_t(newMode));
        if (folderMode & S_ISGID)
            QCOMPARE(statusOf(file()).st_gid, statusOf(m_folder->path()).st_gid);
    }

    // What a save that was cut short leaves beside the file goes at the next start; nothing else.
    void removesOnlyItsOwnTemporaries()
    {
        m_folder->writeSettings(testsupport::kDefaultSettings);
        const QDir folder(m_folder->path());
        const QStringList stale {QStringLiteral("Kelvane.ini.saving.a1B2c3"),
            QStringLiteral("Kelvane.ini.saving.ZZZZZZ")};
        const QStringList kept {QStringLiteral("Kelvane.ini.backup"),
            QStringLiteral("Kelvane.ini.saving.abc"), QStringLiteral("Kelvane.ini.saving.abcdefg"),
            QStringLiteral("Kelvane.ini.saving.ab-def"), QStringLiteral("Other.ini.saving.abcdef"),
            QStringLiteral("kelvane.ini.saving.abcdef"),
            QStringLiteral("Kelvane.ini.saving.link00")};
        for (const QString &name : stale + kept.mid(0, kept.size() - 1)) {
            QFile file(folder.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::link(file(), folder.filePath(kept.back()))); // a link is never one of ours
        QVERIFY(folder.mkdir(QStringLiteral("Kelvane.ini.saving.folder")));
        QCOMPARE(profile::removeStaleTemporaries(path()), 2);
        QStringList expected = kept
            + QStringList {
                QStringLiteral("Kelvane.ini"), QStringLiteral("Kelvane.ini.saving.folder")};
        QStringList entries = m_folder->entries();
        entries.sort();
        expected.sort();
        QCOMPARE(entries, expected);
        QCOMPARE(m_folder->settings(), QByteArray(testsupport::kDefaultSettings));
    }

    // Anything at the file's name but a plain file of one name and of a settings file's size:
    // in a shared program folder, another user may have put it there to have this user's save
    // write into a file of theirs (a link to ~/.bashrc, a second name of a file in /etc), or to
    // stop every start (a sparse file of 64 GiB). Reading gives what a missing file gives and
    // says why, naming the file; a save is refused with that reason; nothing is written through
    // it, and the file behind it stays byte for byte.
    void somethingElseInPlaceOfTheFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("why"); // after "<file> is ", empty for no refusal
        const QString link = QStringLiteral("a symbolic link, which the program never follows");
        QTest::newRow("a folder") << QStringLiteral("folder") << QStringLiteral("a folder");
        QTest::newRow("a named pipe") << QStringLiteral(
            "fifo") << QStringLiteral("not a plain file but a pipe, a device or a socket");
        QTest::newRow("a file nobody may read") << QStringLiteral("unreadable") << QString();
        QTest::newRow("a link to nowhere") << QStringLiteral("dangling link") << link;
        QTest::newRow("a link to another user's file") << QStringLiteral("link") << link;
        QTest::newRow("a link to a folder") << QStringLiteral("folder link") << link;
        QTest::newRow("a second name of another file")
            << QStringLiteral("hard link")
            << QStringLiteral("a second name (a hard link) of a file stored elsewhere");
        const QString tooLarge
            = QStringLiteral("larger than any settings file (over 1048576 bytes)");
        QTest::newRow("a sparse file of 64 GiB") << QStringLiteral("64 GiB") << tooLarge;
        QTest::newRow("one byte over 1 MiB") << QStringLiteral("1 MiB + 1") << tooLarge;
    }
    void somethingElseInPlaceOfTheFile()
    {
        QFETCH(QString, kind);
        QFETCH(QString, why);
        const QByteArray native = path();
        // The file a link or a second name stands for, outside the program's folder.
        const QTemporaryDir elsewhere;
        const QString victim = elsewhere.filePath(QStringLiteral("victim.txt"));
        const QByteArray victimContent("export PATH=/usr/bin\n[Screen]\nSCREENH= 567\n");
        {
            QFile file(victim);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(victimContent);
        }
        qint64 size = -1;
        if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkdir(file()));
        } else if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(native.constData(), 0644), 0);
        } else if (kind == QLatin1String("unreadable")) {
            if (testsupport::isRoot())
                QSKIP("Root reads every file, so no file is unreadable here.");
            m_folder->writeSettings(testsupport::kDefaultSettings);
            QCOMPARE(::chmod(native.constData(), 0200), 0);
        } else if (kind == QLatin1String("dangling link")) {
            QVERIFY(QFile::link(m_folder->path() + QStringLiteral("/missing/Kelvane.ini"), file()));
        } else if (kind == QLatin1String("link")) {
            QVERIFY(QFile::link(victim, file()));
        } else if (kind == QLatin1String("folder link")) {
            QVERIFY(QFile::link(elsewhere.path(), file()));
        } else if (kind == QLatin1String("hard link")) {
            QCOMPARE(::link(QFile::encodeName(victim).constData(), native.constData()), 0);
        } else {
            size = kind == QLatin1String("64 GiB") ? qint64(64) << 30 : (qint64(1) << 20) + 1;
            m_folder->writeSettings(testsupport::kDefaultSettings);
            QFile file(this->file());
            QVERIFY(file.resize(size)); // sparse: no block of it is ever written
        }
        const QString refusal = why.isEmpty() ? QString() : file() + QStringLiteral(" is ") + why;

        QCOMPARE(ReadINI(QStringLiteral("Filter"), QStringLiteral("Filter"), native), QString());
        settings::Values values;
        QCOMPARE(settings::readAll(m_folder->nativePath(), values),
            (std::array<settings::Stored, 5> {settings::Stored::Nothing, settings::Stored::Nothing,
                settings::Stored::Nothing, settings::Stored::Nothing, settings::Stored::Nothing}));
        const settings::Snapshot snapshot(m_folder->nativePath());
        QCOMPARE(snapshot.refusal(), refusal);
        QCOMPARE(snapshot.sections(), QStringList());

        QVERIFY(!write("Filter", "FILTER", " 1"));
        WriteINI(QStringLiteral("Filter"), QStringLiteral("Filter"), QStringLiteral(" 1"), native);
        const QString saved = testsupport::failure(
            settings::save(m_folder->nativePath(), {{settings::Key::Filter, 1}}));
        QCOMPARE(saved, why.isEmpty() ? QStringLiteral("Permission denied") : refusal);
        QCOMPARE(profile::removeStaleTemporaries(native), 0);

        QCOMPARE(m_folder->entries(), QStringList {QStringLiteral("Kelvane.ini")});
        QFile behind(victim);
        QVERIFY(behind.open(QIODevice::ReadOnly));
        QCOMPARE(behind.readAll(), victimContent);
        QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
            QStringList {QStringLiteral("victim.txt")});
        if (kind == QLatin1String("link"))
            QCOMPARE(QFileInfo(file()).symLinkTarget(), victim);
        if (size >= 0)
            QCOMPARE(QFileInfo(file()).size(), size);
        if (kind == QLatin1String("unreadable")) {
            ::chmod(native.constData(), 0600);
            QCOMPARE(m_folder->settings(), QByteArray(testsupport::kDefaultSettings));
        }
    }

    // The largest file taken for a settings file is read and saved as any other.
    void fileOfTheLargestSizeIsUsed()
    {
        QByteArray content = "[Filter]\nFILTER= 3\n";
        content.append(QByteArray(profile::kMaximumSize - content.size() - 1, ';')).append('\n');
        m_folder->writeSettings(content);
        const settings::Snapshot snapshot(m_folder->nativePath());
        QCOMPARE(snapshot.refusal(), QString());
        QCOMPARE(snapshot.value(QStringLiteral("Filter"), QStringLiteral("Filter")),
            QStringLiteral("3"));
        QVERIFY(write("Filter", "FILTER", " 4"));
        QCOMPARE(m_folder->settings(), QByteArray(content).replace("FILTER= 3", "FILTER= 4"));

        // A save that would make it larger is refused: the next start would refuse the file.
        QCOMPARE(testsupport::failure(
                     settings::save(m_folder->nativePath(), {{settings::Key::Filter, 14}})),
            file()
                + QStringLiteral(" would grow larger than any settings file (over 1048576 "
                                 "bytes), and the next start would refuse it"));
        QCOMPARE(m_folder->settings(), QByteArray(content).replace("FILTER= 3", "FILTER= 4"));
    }

    // A program folder renamed or removed while the program runs (a reinstall): the file is
    // read as missing and a save has no effect, in no other folder.
    void missingFolderFailsCleanly()
    {
        QDir root(m_folder->path());
        QVERIFY(root.mkdir(QStringLiteral("program")));
        const QByteArray settings
            = QFile::encodeName(root.filePath(QStringLiteral("program/Kelvane.ini")));
        QVERIFY(profile::writePrivateProfileString("Filter", "FILTER", " 1", settings));
        QVERIFY(root.rename(QStringLiteral("program"), QStringLiteral("program-new")));
        QVERIFY(!profile::writePrivateProfileStrings(
            {{"Filter", "FILTER", " 2"}, {"Screen", "SCREENH", " 600"}}, settings));
        char buffer[8];
        QCOMPARE(profile::getPrivateProfileString("Filter", "filter", "", buffer, 8, settings),
            qsizetype(0));
        QCOMPARE(m_folder->entries(), QStringList {QStringLiteral("program-new")});
        QCOMPARE(QDir(root.filePath(QStringLiteral("program-new"))).entryList(QDir::Files),
            QStringList {QStringLiteral("Kelvane.ini")});
        QVERIFY(root.rmdir(QStringLiteral("program-new")) == false); // it still holds the file
    }

    // ---- Size: no work that grows faster than the file ----

    void longLineIsCutOnReadAndKeptOnWrite()
    {
        const QByteArray value(1'000'000, '5');
        m_folder->writeSettings("[Screen]\nSCREENH=" + value + "\nSCREENV= 500\n");
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(ReadINI(QStringLiteral("Screen"), QStringLiteral("ScreenH"), path()),
            QString(749, QLatin1Char('5')));
        QVERIFY(write("Screen", "SCREENV", " 510"));
        QCOMPARE(m_folder->settings(), "[Screen]\nSCREENH=" + value + "\nSCREENV= 510\n");
        QVERIFY(write("Screen", "SCREENH", value));
        QCOMPARE(m_folder->settings(), "[Screen]\nSCREENH=" + value + "\nSCREENV= 510\n");
        qInfo("1 MB line: one read and two writes in %lld ms", timer.elapsed());
    }

    // ---- Numbers as text and text as numbers ----

    void numberText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("caption");
        QTest::newRow("1") << 1.0 << " 1"
                           << "1";
        QTest::newRow("500") << 500.0 << " 500"
                             << "500";
        QTest::newRow("300.5") << 300.5 << " 300.5"
                               << "300.5";
        QTest::newRow("0.1") << 0.1 << " 0.1"
                             << "0.1";
        QTest::newRow("0") << 0.0 << " 0"
                           << "0";
        QTest::newRow("-0") << -0.0 << " 0"
                            << "0";
        QTest::newRow("-3") << -3.0 << "-3"
                            << "-3";
        QTest::newRow("a million") << 1e6 << " 1000000"
                                   << "1000000";
        QTest::newRow("15 digits") << 123456789012345.0 << " 123456789012345"
                                   << "123456789012345";
    }
    void numberText()
    {
        QFETCH(double, value);
        QFETCH(QString, stored);
        QFETCH(QString, caption);
        QCOMPARE(settings::numberText(value), stored);
        QCOMPARE(settings::captionText(value), caption);
    }

    void numberTextReadsBack_data()
    {
        QTest::addColumn<double>("value");
        QTest::newRow("300.5") << 300.5;
        QTest::newRow("a third") << 1.0 / 3.0;
        QTest::newRow("0.1 + 0.2") << 0.1 + 0.2;
        QTest::newRow("tiny") << 1e-7;
        QTest::newRow("huge") << 1e300;
        QTest::newRow("largest") << std::numeric_limits<double>::max();
        QTest::newRow("smallest normal") << std::numeric_limits<double>::min();
        QTest::newRow("smallest subnormal") << std::numeric_limits<double>::denorm_min();
        QTest::newRow("hand-edited 300.123456789012345678") << 300.123456789012345678;
    }
    void numberTextReadsBack()
    {
        QFETCH(double, value);
        const std::optional<double> read = settings::textToDouble(settings::numberText(value));
        QVERIFY(read);
        // Bit for bit: QCOMPARE would let two doubles differ in their last digits.
        QVERIFY2(*read == value, qPrintable(QString::number(*read, 'g', 17)));
        QVERIFY(settings::numberText(value).size() < 749);
    }

    void textToDouble_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::newRow("2") << "2" << 2.0;
        QTest::newRow("blank then 2") << " 2" << 2.0;
        QTest::newRow("blanks and tabs then 2") << " \t 2" << 2.0;
        QTest::newRow("300.5") << "300.5" << 300.5;
        QTest::newRow(".5") << ".5" << 0.5;
        QTest::newRow("5.") << "5." << 5.0;
        QTest::newRow("+2") << "+2" << 2.0;
        QTest::newRow("-3") << "-3" << -3.0;
        QTest::newRow("-.5") << "-.5" << -0.5;
        QTest::newRow("exponent") << "2.5e2" << 250.0;
        QTest::newRow("exponent with sign") << "25E-1" << 2.5;
        QTest::newRow("exponent with plus") << "1e+3" << 1000.0;
        QTest::newRow("incomplete exponent") << "1e" << 1.0;
        QTest::newRow("incomplete signed exponent") << "1e+" << 1.0;
        QTest::newRow("exponent then letters") << "1e2x" << 100.0;
        QTest::newRow("number then letters") << " 3abc" << 3.0;
        QTest::newRow("number then blank and digits") << "1 2" << 1.0;
        QTest::newRow("second point stops") << "1.2.3" << 1.2;
        QTest::newRow("comma is no decimal separator") << "300,5" << 300.0;
        QTest::newRow("hexadecimal reads its 0") << "0x10" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("blanks only") << "   " << 0.0;
        QTest::newRow("letters only") << "Filter" << 0.0;
        QTest::newRow("nan") << "nan" << 0.0;
        QTest::newRow("inf") << "inf" << 0.0;
        QTest::newRow("sign only") << "-" << 0.0;
        QTest::newRow("point only") << "." << 0.0;
        QTest::newRow("sign then blank") << "- 2" << 0.0;
        QTest::newRow("line feed is not skipped") << "\n2" << 0.0;
        QTest::newRow("too small to tell from 0") << "1e-400" << 0.0;
        QTest::newRow("many digits") << "774.00000000000000000000000001" << 774.0;
    }
    void textToDouble()
    {
        QFETCH(QString, text);
        QFETCH(double, expected);
        const std::optional<double> read = settings::textToDouble(text);
        QVERIFY(read);
        QCOMPARE(*read, expected);
    }

    void minusZeroKeepsItsSign()
    {
        const std::optional<double> read = settings::textToDouble(QStringLiteral("-0"));
        QVERIFY(read);
        QCOMPARE(*read, 0.0);
        QVERIFY(std::signbit(*read));
        QCOMPARE(settings::numberText(*read), QStringLiteral(" 0"));
    }

    void textToDoubleBeyondRangeFails_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("1e400") << "1e400";
        QTest::newRow("-1e400") << "-1e400";
        QTest::newRow("400 digits") << QString(400, QLatin1Char('9'));
        QTest::newRow("huge exponent") << "1e99999999999999999999999";
    }
    void textToDoubleBeyondRangeFails()
    {
        QFETCH(QString, text);
        QVERIFY(!settings::textToDouble(text));
        QVERIFY(!settings::textToInteger16(text));
    }

    void textToDoubleIgnoresTheUsersLocale()
    {
        // A German user's decimal comma must not change how the file reads.
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
        std::setlocale(LC_NUMERIC, "de_DE.UTF-8"); // where installed
        const std::optional<double> read = settings::textToDouble(QStringLiteral("300.5"));
        const QString written = settings::numberText(300.5);
        std::setlocale(LC_NUMERIC, previous.c_str());
        QLocale::setDefault(before);
        QVERIFY(read);
        QCOMPARE(*read, 300.5);
        QCOMPARE(written, QStringLiteral(" 300.5"));
    }

    void longDigitTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::newRow("a million digits of fraction")
            << QStringLiteral("0.") + QString(1'000'000, QLatin1Char('5')) << 0.5555555555555556;
        QTest::newRow("a million zeros then 1")
            << QString(1'000'000, QLatin1Char('0')) + QStringLiteral("1") << 1.0;
        QTest::newRow("a million zeros of fraction")
            << QStringLiteral("0.") + QString(1'000'000, QLatin1Char('0')) + QStringLiteral("1")
            << 0.0;
        QTest::newRow("a million digits scaled down") << QString(1'000'000, QLatin1Char('1'))
                + QStringLiteral("e-999999") << 1.1111111111111112;
    }
    void longDigitTexts()
    {
        QFETCH(QString, text);
        QFETCH(double, expected);
        const std::optional<double> read = settings::textToDouble(text);
        QVERIFY(read);
        QCOMPARE(*read, expected);
        QVERIFY(!settings::textToDouble(QString(1'000'000, QLatin1Char('7'))));
    }

    void textToInteger16_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::newRow("500") << " 500" << 500;
        QTest::newRow("300.5 to even 300") << "300.5" << 300;
        QTest::newRow("301.5 to even 302") << "301.5" << 302;
        QTest::newRow("300.4") << "300.4" << 300;
        QTest::newRow("300.6") << "300.6" << 301;
        QTest::newRow("-0.5 to 0") << "-0.5" << 0;
        QTest::newRow("-1.5 to -2") << "-1.5" << -2;
        QTest::newRow("largest") << "32767" << 32767;
        QTest::newRow("32767.4") << "32767.4" << 32767;
        QTest::newRow("smallest") << "-32768" << -32768;
        QTest::newRow("-32768.5 to even -32768") << "-32768.5" << -32768;
        QTest::newRow("letters") << "abc" << 0;
    }
    void textToInteger16()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const std::optional<qint16> read = settings::textToInteger16(text);
        QVERIFY(read);
        QCOMPARE(int(*read), expected);
    }

    void textToInteger16Overflows_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("32768") << "32768";
        QTest::newRow("32767.5 rounds to 32768") << "32767.5";
        QTest::newRow("-32769") << "-32769";
        QTest::newRow("-32768.6") << "-32768.6";
        QTest::newRow("1e10") << "1e10";
        QTest::newRow("1e400") << "1e400";
    }
    void textToInteger16Overflows()
    {
        QFETCH(QString, text);
        QVERIFY(!settings::textToInteger16(text));
    }

    // ---- The settings as the windows read and write them ----

    void settingsPathIsInTheProgramFolder()
    {
        QCOMPARE(settings::settingsPath(m_folder->nativePath()), file());
        // No folder, no file: never "/Kelvane.ini" at the root.
        QCOMPARE(settings::settingsPath({}), QByteArray());
    }

    void storedTextReadsAsNumber_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<double>("number");
        QTest::newRow("blank then 2") << QByteArray(" 2") << 2.0;
        QTest::newRow("letters only") << QByteArray("Filter") << 0.0;
        QTest::newRow("missing") << QByteArray() << 0.0;
    }
    void storedTextReadsAsNumber()
    {
        QFETCH(QByteArray, stored);
        QFETCH(double, number);
        if (!stored.isNull())
            m_folder->writeSettings("[Filter]\nFILTER=" + stored + "\n");
        double read = -1;
        settings::read(m_folder->nativePath(), settings::Key::Filter, read);
        QCOMPARE(read, number);
    }

    // The sections a reader of the calibration's records walks through: each once, as the
    // header spells it, in the order the file holds them, whatever its encoding; values read
    // from the same moment of the file as ReadINI finds them.
    void snapshotSections_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("sections");
        QTest::newRow("no file") << QByteArray() << QStringList();
        QTest::newRow("as written")
            << QByteArray("[Filter]\nFILTER= 1\n[Screen]\nSCREENH= 567\n[Calibration]\n")
            << QStringList {"Filter", "Screen", "Calibration"};
        QTest::newRow("blanks, letter case, a second header of a name, no closing bracket")
            << QByteArray("\xEF\xBB\xBF; note\r\n  [ Screen ] x\r\n[SCREEN]\r\n[Calibration eDP-1 "
                          "1920x1080]\r\n[Open\r\n[]\r\n")
            << QStringList {"Screen", "Calibration eDP-1 1920x1080", "Open"};
        QTest::newRow("UTF-16") << testsupport::utf16("[Screen]\r\nSCREENH= 567\r\n[Caf\xe9]\r\n")
                                << QStringList {"Screen", QStringLiteral("Caf\u00e9")};
    }
    void snapshotSections()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, sections);
        if (!content.isNull())
            m_folder->writeSettings(content);
        const settings::Snapshot snapshot(m_folder->nativePath());
        QCOMPARE(snapshot.sections(), sections);
        QCOMPARE(snapshot.value(QStringLiteral("Screen"), QStringLiteral("ScreenH")),
            ReadINI(QStringLiteral("Screen"), QStringLiteral("ScreenH"), path()));
    }

    // A save that cannot be done says why, in the system's words, and leaves the file as it
    // was; one that is done says nothing.
    // Every branch, done or failed, closes what it opened.
    void saveReportsWhyItFailed()
    {
        const qsizetype descriptors = QDir(QStringLiteral("/proc/self/fd")).count();
        const QByteArray folder = m_folder->nativePath();
        QCOMPARE(
            testsupport::failure(settings::save(folder, {{settings::Key::Filter, 2}})), QString());
        QCOMPARE(::chmod(path().constData(), 0444), 0);
        QCOMPARE(testsupport::failure(settings::save(folder, {{settings::Key::Filter, 3}})),
            QStringLiteral("Permission denied"));
        QCOMPARE(::chmod(path().constData(), 0644), 0);
        QCOMPARE(m_folder->settings(), QByteArray("[Filter]\nFILTER= 2\n"));
        QVERIFY(QFile::remove(file()) && QDir().rmdir(m_folder->path()));
        QCOMPARE(testsupport::failure(settings::save(folder, {{settings::Key::Filter, 3}})),
            QStringLiteral("No such file or directory"));
        QCOMPARE(testsupport::failure(settings::save(QByteArray(), {{settings::Key::Filter, 3}})),
            QStringLiteral("the program's folder cannot be found"));
        QCOMPARE(QDir(QStringLiteral("/proc/self/fd")).count(), descriptors);
    }

    // The viewing distance under a key of its own beside the five: a file without it reads as
    // 60 cm, as every file did before; a value it cannot use falls back to 60 and says so.
    void distanceKey_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("cm");
        QTest::addColumn<bool>("fellBack");
        QTest::newRow("missing") << QByteArray() << 60 << false;
        QTest::newRow("45") << QByteArray("DISTANCE= 45\n") << 45 << false;
        QTest::newRow("25") << QByteArray("distance=25\n") << 25 << false;
        QTest::newRow("200") << QByteArray("Distance = 200\n") << 200 << false;
        QTest::newRow("24") << QByteArray("DISTANCE= 24\n") << 60 << true;
        QTest::newRow("201") << QByteArray("DISTANCE= 201\n") << 60 << true;
        QTest::newRow("abc") << QByteArray("DISTANCE= abc\n") << 60 << true;
        QTest::newRow("empty") << QByteArray("DISTANCE=\n") << 60 << true;
    }
    void distanceKey()
    {
        QFETCH(QByteArray, line);
        m_folder->writeSettings("[Filter]\nFILTER= 2\n" + line + "[Screen]\nSCREENH= 567\n");
        const clinic::hess::ViewingDistance distance
            = clinic::hess::viewingDistance(settings::Snapshot(m_folder->nativePath()));
        QTEST(distance.cm, "cm");
        QTEST(distance.fellBack, "fellBack");
    }

    // Saved with the five, the distance joins their section; their lines stay byte for byte.
    void distanceSavedBesideTheFive()
    {
        const QByteArray five("[Filter]\r\nFILTER= 2\r\nTARGET= 3\r\nFIXEYE= 1\r\n"
                              "[Screen]\r\nSCREENH= 567.5\r\nSCREENV= 500\r\n");
        m_folder->writeSettings(five);
        settings::Values values;
        settings::readAll(m_folder->nativePath(), values);
        QVERIFY(settings::saveAll(
            m_folder->nativePath(), values, {settings::entryOf({settings::Key::Distance, 40})}));
        QCOMPARE(m_folder->settings(),
            QByteArray("[Filter]\r\nFILTER= 2\r\nTARGET= 3\r\nFIXEYE= 1\r\nDISTANCE= 40\r\n"
                       "[Screen]\r\nSCREENH= 567.5\r\nSCREENV= 500\r\n"));
    }

    void halfCalibrationValues()
    {
        m_folder->writeSettings("[Screen]\nSCREENH=300.5\nSCREENV=300.5\n");
        settings::Values values;
        settings::readAll(m_folder->nativePath(), values);
        QCOMPARE(values.ScreenH, 300.5);
        QCOMPARE(values.ScreenV, qint16(300));

        QVERIFY(settings::save(m_folder->nativePath(),
            {{settings::Key::ScreenH, values.ScreenH},
                {settings::Key::ScreenV, double(values.ScreenV)}}));
        QCOMPARE(m_folder->settings(), QByteArray("[Screen]\nSCREENH= 300.5\nSCREENV= 300\n"));
    }
};

KELVANE_TEST_MAIN(TestSettings)
#include "test_settings.moc"
