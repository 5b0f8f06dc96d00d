// The visit's report as a file: the PDF is read back as text with poppler's pdftotext, as a
// clinic's record system or a reader would, and its pages and paper with pdfinfo.
#include "clinic/visit.h"
#include "hessfixture.h"
#include "platform/privacy.h"
#include "results/report.h"
#include "results/visitpicture.h"
#include "testmain.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <sys/fsuid.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString kIdentifier = QStringLiteral("A<b>&7 M\u00fcller");
// When the report is made, as the program's clock tells it.
const QDateTime kMadeAt(QDate(2026, 3, 2), QTime(11, 5));
const QString kOtherScreen = QStringLiteral("calibration made on another screen (1280 x 1024)");

clinic::VisitResult result(int hour, int minute, double target, double fixingEye, float across,
    float down, const QString &note = QString())
{
    clinic::VisitResult r;
    r.measuredAt = QDateTime(QDate(2026, 3, 2), QTime(hour, minute));
    r.glasses = 1;
    r.target = target;
    r.fixingEye = fixingEye;
    r.seeingEye = fixingEye == 1 ? QStringLiteral("OS") : QStringLiteral("OD");
    // Offsets in pixels on a calibration of 567 pixels per 150 mm, as the screen turns them
    // into text with the user's decimal separator.
    r.across = clinic::across(across, 567);
    r.down = clinic::down(down, 567);
    r.screenH = 567;
    r.screenV = 567;
    r.calibrationDate = QDate(2026, 1, 15);
    r.calibratedBy = QStringLiteral("Calibrated 2026-01-15 by <b>alice</b>");
    r.calibrationNote = note;
    r.monitor.output = QStringLiteral("DP-1");
    r.monitor.resolution = QSize(1024, 768);
    r.screenSize = QSizeF(1024, 768);
    return r;
}

// Four results: OD fixing at the centre twice, OS fixing at the right on a calibration made
// for another screen, and OS fixing at the left.
clinic::Visit fourResults()
{
    clinic::Visit visit;
    visit.identifier = kIdentifier;
    visit.note = QStringLiteral("Second visit <i>after</i> surgery");
    visit.add(result(10, 15, 1, 1, -77, 68)); // BR 3.4, BU 3
    // Through other glasses, on a calibration whose two values differ.
    clinic::VisitResult other = result(10, 21, 2, 2, 227, -283, kOtherScreen); // BL 10.0, BD 12.5
    other.glasses = 3;
    other.screenV = 600;
    visit.add(other);
    visit.add(result(10, 24, 3, 2, -11, 11)); // BR 0.5, BU 0.5
    visit.add(result(10, 30, 1, 1, 34, 0)); // BL 1.5, BU 0
    return visit;
}

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString pdfText(const QString &path)
{
    return run(QStringLiteral("pdftotext"),
        {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), path,
            QStringLiteral("-")});
}

// Lines of the list of results: a number, then the time.
int listedResults(const QString &text)
{
    static const QRegularExpression row(
        QStringLiteral("^\\s*\\d+\\s+2026-03-\\d\\d \\d\\d:\\d\\d\\s"),
        QRegularExpression::MultilineOption);
    int count = 0;
    for (auto it = row.globalMatch(text); it.hasNext(); it.next())
        ++count;
    return count;
}

// Every entry under `folder`, links not followed: its kind, mode, owner, names, inode, time,
// and what it holds or points to, one line each, sorted.
QStringList tree(const QString &folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat status
        {
        };
        ::lstat(QFile::encodeName(path).constData(), &status);
        QString line = QDir(folder).relativeFilePath(path)
            + QStringLiteral(" %1 %2 %3 %4 %5 ")
                  .arg(status.st_mode, 0, 8)
                  .arg(status.st_uid)
                  .arg(status.st_nlink)
                  .arg(status.st_ino)
                  .arg(status.st_mtim.tv_sec * 1000000000 + status.st_mtim.tv_nsec);
        QFile file(path);
        if (S_ISLNK(status.st_mode))
            line += QFile::symLinkTarget(path);
        else if (S_ISREG(status.st_mode) && file.open(QIODevice::ReadOnly))
            line += QString::fromLatin1(
                QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());
        entries << line;
    }
    entries.sort();
    return entries;
}

} // namespace

class TestReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void pdfHoldsTheVisit_data();
    void pdfHoldsTheVisit();
    void manyResultsAndALongNoteStayOnOnePage();
    void aBoundIsMarkedAndExplained();
    void anEmptyVisitStillNamesItsDistance();
    void savedOnlyWhereTheUserMeansIt_data();
    void savedOnlyWhereTheUserMeansIt();
    void failedSaveLeavesNothing_data();
    void failedSaveLeavesNothing();
    void noCoreDumps();
    void pictureOnItsOwnWhite();
    void pictureReadsBackFromThePdf();
    void pictureSetsEachResultWhereTheCrossStood_data();
    void pictureSetsEachResultWhereTheCrossStood();
    void hessChartsOnAPageOfTheirOwn();

private:
    QTemporaryDir m_dir;
};

void TestReport::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        QSKIP("pdftotext and pdfinfo (poppler-utils) are needed to read the report back");
    // The program's application object names its version, which the report carries.
    QVERIFY(QCoreApplication::applicationVersion().contains(
        QRegularExpression(QStringLiteral("^\\d+\\.\\d+"))));
}

void TestReport::cleanup()
{
    QLocale::setDefault(QLocale::c());
}

void TestReport::pdfHoldsTheVisit_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("paper");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("grid");

    // Each result's row of the list as pdftotext lays it out: number, time, fixing eye, target,
    // the eye that saw the cross, both directions as the screen showed them, the calibration.
    QTest::newRow("German: A4, decimal comma")
        << QStringLiteral("de_DE") << QStringLiteral("595 x 842 pts (A4)")
        << QStringList {QStringLiteral("1 2026-03-02 10:15 OD Center OS BR: 3,4 BU: 3 made for"),
               QStringLiteral("2 2026-03-02 10:21 OS Right OD BL: 10,0 BD: 12,5 * calibration "
                              "made on another screen"),
               QStringLiteral("3 2026-03-02 10:24 OS Left OD BR: 0,5 BU: 0,5 made for"),
               QStringLiteral("4 2026-03-02 10:30 OD Center OS BL: 1,5 BU: 0 made for")}
        << QStringList {QStringLiteral("Center BL: 1,5 BU: 0 \u2013"),
               QStringLiteral("Right \u2013 BL: 10,0 BD: 12,5 *"),
               QStringLiteral("Left \u2013 BR: 0,5 BU: 0,5")};
    QTest::newRow("US English: Letter, decimal point")
        << QStringLiteral("en_US") << QStringLiteral("612 x 792 pts (letter)")
        << QStringList {QStringLiteral("1 2026-03-02 10:15 OD Center OS BR: 3.4 BU: 3 made for"),
               QStringLiteral("2 2026-03-02 10:21 OS Right OD BL: 10.0 BD: 12.5 * calibration "
                              "made on another screen"),
               QStringLiteral("3 2026-03-02 10:24 OS Left OD BR: 0.5 BU: 0.5 made for"),
               QStringLiteral("4 2026-03-02 10:30 OD Center OS BL: 1.5 BU: 0 made for")}
        << QStringList {QStringLiteral("Center BL: 1.5 BU: 0 \u2013"),
               QStringLiteral("Right \u2013 BL: 10.0 BD: 12.5 *"),
               QStringLiteral("Left \u2013 BR: 0.5 BU: 0.5")};
}

void TestReport::pdfHoldsTheVisit()
{
    QFETCH(QString, locale);
    QFETCH(QString, paper);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, grid);
    QLocale::setDefault(QLocale(locale));
    const QString path = m_dir.filePath(locale + QStringLiteral(".pdf"));

    const QString error = testsupport::failure(saveReportPdf(path, fourResults(), kMadeAt));
    QVERIFY2(error.isEmpty(), qPrintable(error));

    const QString info = run(QStringLiteral("pdfinfo"), {path});
    QVERIFY2(info.contains(QRegularExpression(
                 QStringLiteral("^Pages:\\s+1$"), QRegularExpression::MultilineOption)),
        qPrintable(info));
    QVERIFY2(info.contains(QRegularExpression(
                 QStringLiteral("^Page size:\\s+") + QRegularExpression::escape(paper) + u'$',
                 QRegularExpression::MultilineOption)),
        qPrintable(info));

    // Columns are compared with their spacing made single, as pdftotext's spacing follows the
    // letters' widths.
    QString text = pdfText(path);
    QVERIFY(!text.isEmpty());
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines)
        line = line.simplified();
    text = lines.join(QLatin1Char('\n'));
    for (const QString &row : rows)
        QVERIFY2(lines.filter(row).size() == 1, qPrintable(row + QStringLiteral("\n\n") + text));
    QCOMPARE(listedResults(text), rows.size());
    for (const QString &cells : grid)
        QVERIFY2(
            lines.filter(cells).size() == 1, qPrintable(cells + QStringLiteral("\n\n") + text));
    // What the clinician typed, as the characters they typed.
    QVERIFY2(text.contains(QStringLiteral("Patient: ") + kIdentifier), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Second visit <i>after</i> surgery")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Viewing distance: 60 cm")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Target OD fixes OS fixes")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Calibration: 567 x 567 px per 150 mm, made 2026-01-15 "
                                          "on DP-1 at 1024 x 768")),
        qPrintable(text));
    // Under it, when and by whom, as its record says.
    QVERIFY2(
        lines.contains(QStringLiteral("Calibrated 2026-01-15 by <b>alice</b>")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Measured: 2026-03-02 10:15 to 2026-03-02 10:30")),
        qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Glasses: OD red, OS blue; OD blue, OS red")),
        qPrintable(text));
    // Each calibration whole on its own line, the second with its date and monitor.
    QVERIFY2(lines.contains(
                 QStringLiteral("567 x 600 px per 150 mm, made 2026-01-15 on DP-1 at 1024 x 768")),
        qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("kelvane %1, report made 2026-03-02 11:05")
                               .arg(QCoreApplication::applicationVersion())),
        qPrintable(text));
}

void TestReport::manyResultsAndALongNoteStayOnOnePage()
{
    // Forty results and a note of many lines: the list shrinks, the note is cut, the page
    // stays one page with every result on it.
    clinic::Visit visit;
    visit.identifier = QString(300, QLatin1Char('X'));
    for (int line = 0; line < 60; ++line)
        visit.note += QStringLiteral("Line %1 of a long note about the patient.\n").arg(line);
    for (int i = 0; i < 40; ++i)
        visit.add(result(9 + i / 60, i % 60, 1 + i % 3, 1 + i % 2, float(-10 * i), float(5 * i)));
    const QString path = m_dir.filePath(QStringLiteral("long.pdf"));
    QString error = testsupport::failure(saveReportPdf(path, visit, kMadeAt));
    QVERIFY2(error.isEmpty(), qPrintable(error));

    const QString info = run(QStringLiteral("pdfinfo"), {path});
    QVERIFY2(info.contains(QRegularExpression(
                 QStringLiteral("^Pages:\\s+1$"), QRegularExpression::MultilineOption)),
        qPrintable(info));
    const QString text = pdfText(path);
    QCOMPARE(listedResults(text), 40);
    QVERIFY2(text.contains(QStringLiteral("Line 0 of a long note")), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("Line 59 of")), qPrintable(text));
    // The last result, the largest of the visit: 390 pixels left and 195 below.
    QVERIFY2(text.contains(QRegularExpression(
                 QStringLiteral("40\\s+2026-03-02 09:39 .*BR: 17.2\\s+BU: 8.6"))),
        qPrintable(text));
}

// A result pushed to the screen's edge carries its mark in the grid and the list, and the page
// says what the mark means; a visit without one has neither.
void TestReport::aBoundIsMarkedAndExplained()
{
    clinic::Visit visit = fourResults();
    clinic::VisitResult bound = result(10, 40, 2, 2, 529, -113);
    bound.across->atLeast = true;
    bound.down->atLeast = true;
    visit.add(bound);
    const QString path = m_dir.filePath(QStringLiteral("bound.pdf"));
    QString error = testsupport::failure(saveReportPdf(path, visit, kMadeAt));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QStringList lines = pdfText(path).split(QLatin1Char('\n'));
    for (QString &line : lines)
        line = line.simplified();
    const QString text = lines.join(QLatin1Char('\n'));
    for (const QString &line :
        {QStringLiteral("5 2026-03-02 10:40 OS Right OD BL: \u226523.3 BD: \u22655 made for"),
            QStringLiteral("Right \u2013 BL: \u226523.3 BD: \u22655"),
            QStringLiteral(
                "\u2265: the cross stood at the screen's edge; the deviation is at least "
                "this large.")})
        QVERIFY2(lines.filter(line).size() == 1, qPrintable(line + QStringLiteral("\n\n") + text));

    error = testsupport::failure(saveReportPdf(path, fourResults(), kMadeAt));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(!pdfText(path).contains(QChar(clinic::kAtLeast)));
}

void TestReport::anEmptyVisitStillNamesItsDistance()
{
    const QString path = m_dir.filePath(QStringLiteral("empty.pdf"));
    const QString error = testsupport::failure(saveReportPdf(path, clinic::Visit(), kMadeAt));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QString text = pdfText(path).simplified();
    QVERIFY2(text.contains(QStringLiteral("Measured: no result")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Viewing distance: 60 cm")), qPrintable(text));
}

// What stands at the report's name, or on the way to it, decides whether it is written there:
// nothing of another user's is followed or replaced, and the report is its owner's alone.
void TestReport::savedOnlyWhereTheUserMeansIt_data()
{
    QTest::addColumn<QString>("who"); // empty: as the test runs; "root", "nobody": root only
    QTest::addColumn<QString>("setup"); // shell commands, in a fresh folder
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("print"); // by a printer printing to a file
    QTest::addColumn<int>("mask"); // the umask
    QTest::addColumn<QString>("told"); // where refused: the message, the folder as %1
    QTest::addColumn<QString>("written"); // where saved: the file that holds the report

    // Another user's link at the predictable name in a folder anyone may write, to a file of
    // theirs that anyone may read.
    const QString plant = QStringLiteral(
        "mkdir -m 1777 tmp; mkdir -m 777 drop; echo theirs >drop/stolen.pdf; chmod 666 "
        "drop/stolen.pdf; ln -s \"$PWD/drop/stolen.pdf\" tmp/r.pdf; chown -h nobody drop "
        "drop/stolen.pdf tmp/r.pdf");
    const QString planted = QStringLiteral(
        "%1/tmp/r.pdf is a link of another user's (nobody): Kelvane neither writes through it "
        "nor replaces it. Anyone may put a link in %1/tmp: choose another name, or a folder of "
        "your own.");
    QTest::newRow("a new file, umask 022") << ""
                                           << ""
                                           << "r.pdf" << false << 022 << ""
                                           << "r.pdf";
    QTest::newRow("a new file, umask 077") << ""
                                           << ""
                                           << "r.pdf" << false << 077 << ""
                                           << "r.pdf";
    QTest::newRow("printed to a new file") << ""
                                           << ""
                                           << "r.pdf" << true << 022 << ""
                                           << "r.pdf";
    QTest::newRow("the user's own report, 0644") << ""
                                                 << "echo earlier >r.pdf; chmod 644 r.pdf"
                                                 << "r.pdf" << false << 022 << ""
                                                 << "r.pdf";
    QTest::newRow("the user's own link to their own file: followed")
        << ""
        << "echo earlier >mine.pdf; chmod 644 mine.pdf; ln -s mine.pdf r.pdf"
        << "r.pdf" << false << 022 << ""
        << "mine.pdf";
    QTest::newRow("a link planted in a shared folder")
        << "root" << plant << "tmp/r.pdf" << false << 022 << planted << "";
    QTest::newRow("a link planted in a shared folder, printed")
        << "root" << plant << "tmp/r.pdf" << true << 022 << planted << "";
    QTest::newRow("a planted link to no file yet")
        << "root" << plant + QStringLiteral("; rm drop/stolen.pdf") << "tmp/r.pdf" << false << 022
        << planted << "";
    QTest::newRow("another user's link on the way to the folder")
        << "root"
        << "mkdir -m 1777 tmp; mkdir drop; ln -s \"$PWD/drop\" tmp/in; chown -h nobody tmp/in"
        << "tmp/in/r.pdf" << false << 022 << "%1/tmp/in is a link of another user's (nobody)"
        << "";
    QTest::newRow("the user's own link to another user's file")
        << "root"
        << "echo theirs >theirs.pdf; chown nobody theirs.pdf; ln -s theirs.pdf r.pdf"
        << "r.pdf" << false << 022
        << "%1/theirs.pdf belongs to another user (nobody): Kelvane does not replace it."
        << "";
    QTest::newRow("root's file in nobody's folder, saved by nobody")
        << "nobody"
        << "echo earlier >r.pdf; chown nobody ."
        << "r.pdf" << false << 022
        << "%1/r.pdf belongs to another user (root): Kelvane does not replace it."
        << "";
    QTest::newRow("the user's read-only report")
        << ""
        << "echo earlier >r.pdf; chmod 444 r.pdf"
        << "r.pdf" << false << 022 << "%1/r.pdf is read-only"
        << "";
    QTest::newRow("a second name of the user's file")
        << ""
        << "echo earlier >mine.pdf; ln mine.pdf r.pdf"
        << "r.pdf" << false << 022 << "%1/r.pdf is one of 2 names of one file (hard links)"
        << "";
    QTest::newRow("a pipe") << ""
                            << "mkfifo r.pdf"
                            << "r.pdf" << false << 022 << "%1/r.pdf is not a plain file but a pipe"
                            << "";
}

void TestReport::savedOnlyWhereTheUserMeansIt()
{
    QFETCH(QString, who);
    QFETCH(QString, setup);
    QFETCH(QString, path);
    QFETCH(bool, print);
    QFETCH(int, mask);
    QFETCH(QString, told);
    QFETCH(QString, written);
    if (!who.isEmpty() && !testsupport::isRoot())
        QSKIP("only root can make files of another user's");
    QTemporaryDir dir;
    QProcess shell;
    shell.setWorkingDirectory(dir.path());
    shell.start(QStringLiteral("sh"), {QStringLiteral("-c"), setup});
    QVERIFY(shell.waitForFinished() && shell.exitCode() == 0);
    const QStringList before = tree(dir.path());

    const mode_t umask = ::umask(mode_t(mask));
    if (who == QLatin1String("nobody")) {
        ::setfsgid(testsupport::kNobody);
        ::setfsuid(testsupport::kNobody);
    }
    QString error;
    if (print) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFileName(dir.filePath(path));
        error = testsupport::failure(printReportOn(printer, fourResults(), kMadeAt));
    } else {
        error = testsupport::failure(saveReportPdf(dir.filePath(path), fourResults(), kMadeAt));
    }
    const bool saved = error.isEmpty();
    ::setfsuid(::geteuid());
    ::setfsgid(::getegid());
    ::umask(umask);

    QStringList after = tree(dir.path());
    if (!told.isEmpty()) {
        QVERIFY(!saved);
        QVERIFY2(error.contains(told.arg(dir.path())), qPrintable(error));
        QCOMPARE(after, before); // nothing changed, nothing left behind
        return;
    }
    QVERIFY2(saved, qPrintable(error));
    QFile file(dir.filePath(written));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray pdf = file.readAll();
    QVERIFY(pdf.startsWith("%PDF-") && pdf.trimmed().endsWith("%%EOF"));
    QCOMPARE(testsupport::modeOf(file.fileName()), mode_t(0600));
    // Everything else as it was: a link followed is still the link, and no temporary file stays.
    const auto others = [&](const QString &line) { return line.startsWith(written + u' '); };
    after.removeIf(others);
    QStringList kept = before;
    kept.removeIf(others);
    QCOMPARE(after, kept);
}

void TestReport::failedSaveLeavesNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("folder that does not exist") << "missing";
    QTest::newRow("read-only folder holding an earlier report") << "read-only";
    QTest::newRow("disk full over an earlier report") << "full";
}

void TestReport::failedSaveLeavesNothing()
{
    QFETCH(QString, how);
    const bool missingFolder = how == QLatin1String("missing");
    QTemporaryDir dir;
    const QString folder = missingFolder ? dir.filePath(QStringLiteral("gone")) : dir.path();
    const QString path = folder + QStringLiteral("/report.pdf");
    if (!missingFolder) {
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier report");
    }
    QStringList entries;
    {
        const testsupport::LockedFolder locked(
            how == QLatin1String("read-only") ? folder : QString());
        QVERIFY(how != QLatin1String("read-only") || locked.isLocked());
        // A file may grow no larger than 4 KiB, as on a full disk; the signal would end the test.
        rlimit limit {};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        const auto signal = ::signal(SIGXFSZ, SIG_IGN);
        if (how == QLatin1String("full")) {
            const rlimit small {4096, limit.rlim_max};
            ::setrlimit(RLIMIT_FSIZE, &small);
        }
        const QString error = testsupport::failure(saveReportPdf(path, fourResults(), kMadeAt));
        const bool saved = error.isEmpty();
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, signal);
        QVERIFY(!saved);
        // The file's name and the system's reason, for the user to act on.
        QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
        QVERIFY2(error.section(QLatin1Char('\n'), 1).size() > 1, qPrintable(error));
        entries
            = QDir(dir.path())
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    QCOMPARE(entries, missingFolder ? QStringList() : QStringList {QStringLiteral("report.pdf")});
    if (!missingFolder) {
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), QByteArray("earlier report"));
    }
}

// The program's first step: whatever the visit holds in memory, a crash writes no core file, and
// no debugger of the same user reads it.
void TestReport::noCoreDumps()
{
    const pid_t child = ::fork();
    if (child == 0) {
        // As a process starts (a change of file-system user, as above, would have made it
        // undumpable already).
        ::prctl(PR_SET_DUMPABLE, 1);
        const rlimit unlimited {RLIM_INFINITY, RLIM_INFINITY};
        ::setrlimit(RLIMIT_CORE, &unlimited);
        platform::stopCoreDumps();
        rlimit limit {1, 1};
        ::getrlimit(RLIMIT_CORE, &limit);
        ::_exit(
            ::prctl(PR_GET_DUMPABLE) == 0 && limit.rlim_cur == 0 && limit.rlim_max == 0 ? 0 : 1);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

void TestReport::pictureOnItsOwnWhite()
{
    // A window's background may be any colour: the picture brings its white page along.
    QImage image(600, 400, QImage::Format_ARGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    paintVisitPicture(painter, QRectF(50, 40, 500, 320), fourResults());
    painter.end();
    for (const QPoint corner : {QPoint(50, 40), QPoint(549, 40), QPoint(50, 359), QPoint(549, 359)})
        QCOMPARE(image.pixel(corner), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(49, 39), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(550, 360), qRgb(0, 0, 0));
}

// The picture in the saved report, as a record system reads it back: each plot's bases where
// the measurement screen names them, and each result on the side of the target where its cross
// stood.
void TestReport::pictureReadsBackFromThePdf()
{
    clinic::Visit visit;
    visit.add(result(10, 0, 1, 1, -227, -283)); // Center, OD fixes: BR 10.0, BD 12.5
    visit.add(result(10, 5, 2, 2, 227, 283)); // Right, OS fixes: BL, BU
    visit.add(result(10, 10, 3, 2, -227, 283)); // Left, OS fixes: BR, BU
    visit.add(result(10, 15, 3, 1, 227, -283)); // Left, OD fixes: BL, BD
    const QString path = m_dir.filePath(QStringLiteral("picture.pdf"));
    QString error = testsupport::failure(saveReportPdf(path, visit, kMadeAt));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QMap<int, QPoint> sides = testsupport::pictureSides(path, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(sides,
        (QMap<int, QPoint> {
            {1, QPoint(-1, -1)}, {2, QPoint(1, 1)}, {3, QPoint(-1, 1)}, {4, QPoint(1, -1)}}));
}

void TestReport::pictureSetsEachResultWhereTheCrossStood_data()
{
    QTest::addColumn<double>("fixingEye");
    QTest::addColumn<double>("target");
    QTest::addColumn<int>("acrossPx");
    QTest::addColumn<int>("downPx");
    QTest::addColumn<bool>("forThisScreen");
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<QPoint>("mirrored");
    QTest::addColumn<QPoint>("arrow"); // a pixel of a lower bound's arrow; null: none

    // A 1024 x 724 area makes the picture's unit 20 pixels: plots of 320 with their origins at
    // x 206, 534, 862 (Left, Center, Right) and y 196 (OD fixes) and 524 (OS fixes), 118 pixels
    // to the end of each half-axis, whose scale is the least, 10 prism dioptres.
    QTest::newRow("OD fixes at the centre: left of and above it, BR 10.0 BD 5")
        << 1.0 << 1.0 << -227 << -113 << true << QPoint(416, 137) << QPoint(652, 255) << QPoint();
    QTest::newRow("OS fixes at the right: right of and below it, BL 10.0 BU 5, other screen")
        << 2.0 << 2.0 << 227 << 113 << false << QPoint(980, 583) << QPoint(744, 465) << QPoint();
    QTest::newRow("OD fixes at the left: straight below it, BL 0.0 BU 5")
        << 1.0 << 3.0 << 0 << 113 << true << QPoint(206, 255) << QPoint(206, 137) << QPoint();
    // A lower bound leaves room for its arrow, 32 pixels from the point's centre: 10.0
    // needs more than 14 prism dioptres, and the scale takes 15.
    QTest::newRow("OS fixes at the right, pushed to the edge: BL \u226510.0 BU 0, arrow right")
        << 2.0 << 2.0 << 227 << 0 << true << QPoint(941, 524) << QPoint(783, 524)
        << QPoint(966, 524);
}

void TestReport::pictureSetsEachResultWhereTheCrossStood()
{
    QFETCH(double, fixingEye);
    QFETCH(double, target);
    QFETCH(int, acrossPx);
    QFETCH(int, downPx);
    QFETCH(bool, forThisScreen);
    QFETCH(QPoint, point);
    QFETCH(QPoint, mirrored);
    QFETCH(QPoint, arrow);
    clinic::Visit visit;
    clinic::VisitResult r = result(10, 0, target, fixingEye, float(acrossPx), float(downPx),
        forThisScreen ? QString() : kOtherScreen);
    r.across->atLeast = !arrow.isNull();
    visit.add(r);
    QImage image(1024, 724, QImage::Format_RGB32);
    QPainter painter(&image);
    paintVisitPicture(painter, QRectF(0, 0, 1024, 724), visit);
    painter.end();

    const QRgb black = qRgb(0, 0, 0);
    // The latest result is a black disc; a calibration not made for this screen leaves it
    // hollow, a black ring 10 pixels round.
    QCOMPARE(image.pixel(point), forThisScreen ? black : qRgb(255, 255, 255));
    QCOMPARE(image.pixel(point + QPoint(10, 0)), black);
    QCOMPARE(image.pixel(point - QPoint(10, 0)), black);
    QVERIFY(image.pixel(mirrored) != black);
    // The arrow points outwards along its axis, from the ring's edge on, and nowhere else.
    const QPoint outwards(15, 0);
    QCOMPARE(image.pixel(point + outwards) == black, !arrow.isNull());
    QVERIFY(arrow.isNull() || image.pixel(arrow) == black);
    QVERIFY(image.pixel(point - outwards) != black);
}

// A Hess run gets a second page: the left eye's chart on the left, the right eye's on the right,
// the test left half way marked, each eye's points beneath. The charts stand 60 mm under the top
// of A4's printable area (15 mm margins), 115 mm high: a title band of 9.583 mm, squares of
// 85.5 mm from x 15 and 109.5 mm, y 84.583 mm, 50.012 mm from a centre to tan 1 (the grid's 35
// degrees reach 42.75 mm). At 150 dpi the left eye's (17, 12) stands at pixel (431.3, 686.3),
// the right eye's (-1, 1) at (894.0, 746.8).
void TestReport::hessChartsOnAPageOfTheirOwn()
{
    clinic::Visit visit = fourResults();
    visit.addHessRun(hessfixture::run());
    const QString path = m_dir.filePath(QStringLiteral("hess.pdf"));
    const QString error = testsupport::failure(saveReportPdf(path, visit, kMadeAt));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QString info = run(QStringLiteral("pdfinfo"), {path});
    QVERIFY2(info.contains(QRegularExpression(
                 QStringLiteral("^Pages:\\s+2$"), QRegularExpression::MultilineOption)),
        qPrintable(info));

    const QString text = run(QStringLiteral("pdftotext"),
        {QStringLiteral("-layout"), QStringLiteral("-f"), QStringLiteral("2"),
            QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")})
                             .simplified();
    for (const QString &expected :
        {QStringLiteral("OS plotted, OD fixing: inner field, 7 of 9 points measured, 1 "
                        "skipped, 1 not on this screen; complete"),
            QStringLiteral("OD plotted, OS fixing: inner field, 1 of 9 points measured; "
                           "INCOMPLETE: left half way"),
            QStringLiteral("Calibration: 567 x 600 px per 150 mm, on DP-1 at 1024 x 768 * "
                           "calibration made on another screen (1280 x 1024)"),
            QStringLiteral("15.0° 15.0° 17.0° 12.0° BL: ≥3.5 BU: 5.2"),
            QStringLiteral("0.0° 0.0° -1.0° 1.0° BR: 1.7 BD: 1.7"),
            QStringLiteral("-15.0° 15.0° not on this screen")})
        QVERIFY2(text.contains(expected), qPrintable(expected + QStringLiteral("\n\n") + text));
    // The chart of the test left half way says so in its title.
    QCOMPARE(text.count(QStringLiteral("(incomplete)")), 1);

    QProcess render;
    render.start(QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QStringLiteral("150"), QStringLiteral("-f"), QStringLiteral("2"),
            QStringLiteral("-l"), QStringLiteral("2"), QStringLiteral("-png"), path,
            m_dir.filePath(QStringLiteral("hess"))});
    QVERIFY(render.waitForFinished(30000) && render.exitCode() == 0);
    const QImage page(m_dir.filePath(QStringLiteral("hess-2.png")));
    QVERIFY(!page.isNull());
    const auto black = [&](QPoint at) { return QColor(page.pixel(at)).lightness() < 60; };
    QVERIFY(black({431, 686}));
    QVERIFY(!black({989, 686})); // the same direction on the right eye's chart: nothing
    QVERIFY(black({894, 747}));
    QVERIFY(!black({336, 747}));
}

KELVANE_TEST_MAIN(TestReport)
#include "test_report.moc"
