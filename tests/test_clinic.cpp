// The calibration's records without a window or an application object: which case the
// calibration in use is on a monitor, what the start screen puts into use and what it keeps,
// and what "Done" records. Files are written by hand into a fresh folder.
#include "clinic/calibration.h"
#include "clinic/calibrationjudgement.h"
#include "clinic/visit.h"
#include "hessfixture.h"
#include "settings/ini.h"

#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <time.h>

using clinic::NoteCase;

Q_DECLARE_METATYPE(clinic::NoteCase)
Q_DECLARE_METATYPE(clinic::Monitor)
Q_DECLARE_METATYPE(clinic::MarkAtDone)

namespace {

const QDate kToday(2026, 12, 8);

// The monitor the tests stand at: 1920 x 1080 on a screen that reports 510 x 287 mm (its EDID),
// which makes 564.7 pixels per 150 mm across and 564.5 down.
clinic::Monitor here()
{
    clinic::Monitor monitor;
    monitor.manufacturer = QStringLiteral("Dell Inc.");
    monitor.model = QStringLiteral("DELL U2412M");
    monitor.serialNumber = QStringLiteral("ABC123");
    monitor.output = QStringLiteral("DP-1");
    monitor.resolution = QSize(1920, 1080);
    monitor.physicalSizeMm = QSizeF(510, 287);
    return monitor;
}

// A record's keys as "Done" writes them, for this monitor or for a laptop's own screen.
QByteArray keysHere(int screenH, int screenV, const char *resolution = "1920 x 1080")
{
    return QStringLiteral("SCREENH= %1\nSCREENV= %2\nMANUFACTURER=Dell Inc.\nMODEL=DELL U2412M\n"
                          "SERIAL=ABC123\nOUTPUT=DP-1\nRESOLUTION=%3\nDATE=2026-01-15\n")
        .arg(screenH)
        .arg(screenV)
        .arg(QLatin1String(resolution))
        .toLatin1();
}
QByteArray keysLaptop(int screenH, int screenV)
{
    return QStringLiteral("SCREENH= %1\nSCREENV= %2\nMANUFACTURER=Sharp\nMODEL=LQ156D1\n"
                          "SERIAL=\nOUTPUT=eDP-1\nRESOLUTION=3840 x 2160\nDATE=2026-02-20\n")
        .arg(screenH)
        .arg(screenV)
        .toLatin1();
}
const QByteArray kArchiveHere("[Calibration Dell Inc. DELL U2412M ABC123 DP-1 1920x1080]\n");
const QByteArray kArchiveLaptop("[Calibration Sharp LQ156D1 eDP-1 3840x2160]\n");

QByteArray screen(int screenH, int screenV)
{
    return QStringLiteral("[Screen]\nSCREENH= %1\nSCREENV= %2\n")
        .arg(screenH)
        .arg(screenV)
        .toLatin1();
}

// Entries one to a line, "[section] KEY=value", to compare with lines written out by hand.
QByteArray linesOf(const QList<profile::Entry> &entries)
{
    QByteArray lines;
    for (const profile::Entry &entry : entries)
        lines += '[' + entry.section + "] " + entry.key + '=' + entry.value + '\n';
    return lines;
}

QByteArray recordLines(const QByteArray &section, const QByteArray &keys)
{
    QByteArray lines;
    for (const QByteArray &line : keys.split('\n')) {
        if (!line.isEmpty())
            lines += '[' + section + "] " + line + '\n';
    }
    return lines;
}

// Monitor `n`'s record in its archive section; no DATE line for an empty date.
QByteArray archived(int n, const QByteArray &date)
{
    const QByteArray model = "Model " + QByteArray::number(n);
    return "[Calibration Maker " + model + " HDMI-1 1920x1080]\nSCREENH= 600\nSCREENV= 600\n"
        + "MANUFACTURER=Maker\nMODEL=" + model + "\nSERIAL=\nOUTPUT=HDMI-1\n"
        + "RESOLUTION=1920 x 1080\n" + (date.isEmpty() ? QByteArray() : "DATE=" + date + '\n');
}

// Records of monitors 1 to 64, monitor n dated n days into February 2026 unless `dates` says
// otherwise.
QByteArray archives(const QMap<int, QByteArray> &dates = {})
{
    QByteArray text;
    for (int n = 1; n <= 64; ++n)
        text += archived(
            n, dates.value(n, QDate(2026, 2, 1).addDays(n).toString(Qt::ISODate).toLatin1()));
    return text;
}

// Processor time of this thread: other programs' load on the machine hardly weighs on it.
double processorMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

} // namespace

class TestClinic final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QByteArray folder() const { return QFile::encodeName(m_dir->path()); }
    clinic::CalibrationRecords records() const
    {
        return clinic::readRecords(settings::Snapshot(folder()));
    }
    void write(const QByteArray &content)
    {
        QFile file(m_dir->path() + QStringLiteral("/Kelvane.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(content), content.size());
    }

private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    // The start screen loads on this monitor with the values it read: what goes into use, what
    // its next save writes beside the five values, and which case the note names. After that
    // save, the measurement screen judges the same case, and the next start changes nothing.
    void startCalibration_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<double>("readH"); // as the start screen read (or held) them
        QTest::addColumn<double>("readV");
        QTest::addColumn<double>("inUseH");
        QTest::addColumn<double>("inUseV");
        QTest::addColumn<NoteCase>("note");
        QTest::addColumn<bool>("calibratedHere");
        QTest::addColumn<QByteArray>("written");

        QTest::newRow("never calibrated") << QByteArray() << 0.0 << 0.0 << 500.0 << 500.0
                                          << NoteCase::NeverCalibrated << false << QByteArray();
        QTest::newRow("fall-back saved") << screen(500, 500) << 500.0 << 500.0 << 500.0 << 500.0
                                         << NoteCase::NeverCalibrated << false << QByteArray();
        QTest::newRow("other monitor") << screen(1671, 1671) + "[Calibration]\n"
                + keysLaptop(1671, 1671) + kArchiveLaptop + keysLaptop(1671, 1671)
                                       << 1671.0 << 1671.0 << 1671.0 << 1671.0
                                       << NoteCase::OtherMonitor << false << QByteArray();
        QTest::newRow("other resolution")
            << screen(567, 567) + "[Calibration]\n" + keysHere(567, 567, "2560 x 1440") << 567.0
            << 567.0 << 567.0 << 567.0 << NoteCase::OtherResolution << false << QByteArray();
        QTest::newRow("changed outside")
            << screen(600, 567) + "[Calibration]\n" + keysHere(567, 567) + kArchiveHere
                + keysHere(567, 567)
            << 600.0 << 567.0 << 600.0 << 567.0 << NoteCase::ChangedOutside << true << QByteArray();
        QTest::newRow("changed outside: an older file")
            << screen(567, 567) << 567.0 << 567.0 << 567.0 << 567.0 << NoteCase::ChangedOutside
            << false << QByteArray();
        QTest::newRow("far from reported") << screen(700, 567) + "[Calibration]\n"
                + keysHere(700, 567) + kArchiveHere + keysHere(700, 567)
                                           << 700.0 << 567.0 << 700.0 << 567.0
                                           << NoteCase::FarFromReported << true << QByteArray();
        QTest::newRow("calibrated here")
            << screen(567, 567) + "[Calibration]\n" + keysHere(567, 567) + kArchiveHere
                + keysHere(567, 567)
            << 567.0 << 567.0 << 567.0 << 567.0 << NoteCase::None << true << QByteArray();
        QTest::newRow("record restored")
            << screen(1671, 1671) + "[Calibration]\n" + keysLaptop(1671, 1671) + kArchiveLaptop
                + keysLaptop(1671, 1671) + kArchiveHere + keysHere(567, 567)
            << 1671.0 << 1671.0 << 567.0 << 567.0 << NoteCase::None << true
            << recordLines("Calibration", keysHere(567, 567));
        // 2600 down is more than a 1080-row screen can make (829 x 3 = 2487).
        QTest::newRow("too large, restored over the fall-back")
            << screen(1671, 2600) + "[Calibration]\n" + keysLaptop(1671, 2600) + kArchiveLaptop
                + keysLaptop(1671, 2600) + kArchiveHere + keysHere(567, 567)
            << 1671.0 << 2600.0 << 567.0 << 567.0 << NoteCase::None << true
            << recordLines("Calibration", keysHere(567, 567));
        QTest::newRow("too large, kept in its own record")
            << screen(1671, 2600) + "[Calibration]\n" + keysLaptop(1671, 2600) + kArchiveLaptop
                + keysLaptop(1671, 2600)
            << 1671.0 << 2600.0 << 1671.0 << 500.0 << NoteCase::NeverCalibrated << false
            << QByteArray();
        QTest::newRow("too large, no record: set aside")
            << screen(1671, 2600) << 1671.0 << 2600.0 << 1671.0 << 500.0
            << NoteCase::NeverCalibrated << false
            << QByteArray("[Calibration unrecorded] SCREENH= 1671\n"
                          "[Calibration unrecorded] SCREENV= 2600\n"
                          "[Calibration unrecorded] DATE=2026-12-08\n");
        QTest::newRow("too large, set aside beside an earlier one")
            << screen(1671, 2600) + "[Calibration unrecorded]\nSCREENH= 3000\nDATE=2026-01-01\n"
            << 1671.0 << 2600.0 << 1671.0 << 500.0 << NoteCase::NeverCalibrated << false
            << QByteArray("[Calibration unrecorded 2] SCREENH= 1671\n"
                          "[Calibration unrecorded 2] SCREENV= 2600\n"
                          "[Calibration unrecorded 2] DATE=2026-12-08\n");
        QTest::newRow("below the minimum: no calibration anywhere, not kept")
            << screen(50, 567) << 50.0 << 567.0 << 500.0 << 567.0 << NoteCase::NeverCalibrated
            << false << QByteArray();
        // Exactly the fall-back, made here with "Done": its record says so, whatever the value.
        QTest::newRow("500 made here") << screen(500, 500) + "[Calibration]\n" + keysHere(500, 500)
                + kArchiveHere + keysHere(500, 500)
                                       << 500.0 << 500.0 << 500.0 << 500.0
                                       << NoteCase::FarFromReported << true << QByteArray();
        QTest::newRow("a record below the minimum is not put back")
            << screen(1671, 1671) + "[Calibration]\n" + keysLaptop(1671, 1671) + kArchiveLaptop
                + keysLaptop(1671, 1671) + kArchiveHere + keysHere(99, 567)
            << 1671.0 << 1671.0 << 1671.0 << 1671.0 << NoteCase::OtherMonitor << true
            << QByteArray();
    }
    void startCalibration()
    {
        QFETCH(QByteArray, file);
        QFETCH(double, readH);
        QFETCH(double, readV);
        QFETCH(double, inUseH);
        QFETCH(double, inUseV);
        QFETCH(NoteCase, note);
        QFETCH(bool, calibratedHere);
        QFETCH(QByteArray, written);
        if (!file.isEmpty())
            write(file);

        const clinic::StartCalibration start = clinic::startCalibration(
            settings::Snapshot(folder()), readH, readV, here(), 1920, 1080, kToday);
        QCOMPARE(start.screenH, inUseH);
        QCOMPARE(start.screenV, inUseV);
        QCOMPARE(start.judgement.note, note);
        QCOMPARE(start.judgement.calibratedHere, calibratedHere);
        QCOMPARE(start.judgement.text.isEmpty(), note == NoteCase::None);
        QCOMPARE(linesOf(start.entries), written);

        QVERIFY(settings::save(folder(),
            {{settings::Key::ScreenH, inUseH}, {settings::Key::ScreenV, inUseV}}, start.entries));
        const clinic::CalibrationJudgement measured
            = clinic::judgeCalibration(records(), inUseH, inUseV, here());
        QCOMPARE(measured.note, note);
        QCOMPARE(measured.text, start.judgement.text);
        // A result dates its calibration only where the record was made here and not doubted.
        const QStringList dated {QStringLiteral("far from reported"),
            QStringLiteral("calibrated here"), QStringLiteral("record restored"),
            QStringLiteral("too large, restored over the fall-back"),
            QStringLiteral("500 made here")};
        QCOMPARE(clinic::calibrationDate(measured),
            dated.contains(QLatin1String(QTest::currentDataTag())) ? QDate(2026, 1, 15) : QDate());
        const clinic::StartCalibration again = clinic::startCalibration(
            settings::Snapshot(folder()), inUseH, inUseV, here(), 1920, 1080, kToday);
        QCOMPARE(again.screenH, inUseH);
        QCOMPARE(again.screenV, inUseV);
        QCOMPARE(again.judgement.note, note);
        QCOMPARE(linesOf(again.entries), QByteArray());
    }

    // The notes name their case in a few words, with numbers of their own only.
    void noteTexts_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<double>("screenH");
        QTest::addColumn<QString>("text");
        QTest::newRow("never calibrated")
            << QByteArray() << 500.0
            << QStringLiteral("This screen is not calibrated: results are wrong until it is. "
                              "Calibrate before measuring.");
        QTest::newRow("other monitor")
            << "[Calibration]\n" + keysLaptop(567, 567) << 567.0
            << QStringLiteral("Calibrated on another monitor: calibrate this one before "
                              "measuring.");
        QTest::newRow("other resolution")
            << "[Calibration]\n" + keysHere(567, 567, "2560 x 1440") << 567.0
            << QStringLiteral("Calibrated at another resolution (2560 x 1440): calibrate at this "
                              "one before measuring.");
        QTest::newRow("changed outside")
            << QByteArray() << 567.0
            << QStringLiteral("The calibration was changed outside the calibration screen: "
                              "calibrate before measuring.");
        // 700 against 564.7 reported: 24 % off.
        QTest::newRow("far from reported")
            << kArchiveHere + keysHere(700, 567) << 700.0
            << QStringLiteral("The calibration is 24 % off the size this monitor reports: check "
                              "it with a ruler.");
        QTest::newRow("within a tenth of the reported size")
            << kArchiveHere + keysHere(620, 567) << 620.0 << QString();
    }
    void noteTexts()
    {
        QFETCH(QByteArray, file);
        QFETCH(double, screenH);
        QFETCH(QString, text);
        if (!file.isEmpty())
            write(file);
        QCOMPARE(clinic::judgeCalibration(records(), screenH, 567, here()).text, text);
    }

    // "Done" records the calibration as the one in use and in its monitor's own section: the
    // one the file holds for that monitor at that resolution, whatever its name, or a new one
    // named after the monitor, readable and safe to keep in a section header.
    void doneEntries_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<clinic::Monitor>("monitor");
        QTest::addColumn<QByteArray>("archive");
        clinic::Monitor odd = here();
        odd.manufacturer = QStringLiteral("\"ACME\"");
        odd.model = QStringLiteral("View[1]\tPro\n");
        odd.serialNumber.clear();
        odd.output = QStringLiteral("DP-2 \u8868");

        QTest::newRow("a new file")
            << QByteArray() << here()
            << QByteArray("Calibration Dell Inc. DELL U2412M ABC123 DP-1 1920x1080");
        QTest::newRow("the monitor's section, renamed by hand") << "[Calibration desk screen]\n"
                + keysHere(540, 540) << here() << QByteArray("Calibration desk screen");
        QTest::newRow("its name taken by another monitor")
            << kArchiveHere + keysLaptop(1671, 1671) << here()
            << QByteArray("Calibration Dell Inc. DELL U2412M ABC123 DP-1 1920x1080 2");
        QTest::newRow("names without brackets, control characters or quotes")
            << QByteArray() << odd << QByteArray("Calibration ACME View 1 Pro DP-2 ? 1920x1080");
    }
    void doneEntries()
    {
        QFETCH(QByteArray, file);
        QFETCH(clinic::Monitor, monitor);
        QFETCH(QByteArray, archive);
        if (!file.isEmpty())
            write(file);
        const clinic::CalibrationRecord record {567, 566, monitor, kToday, QStringLiteral("alice")};
        const QList<profile::Entry> entries = clinic::doneEntries(records(), record);
        const QByteArray keys = "SCREENH= 567\nSCREENV= 566\nMANUFACTURER="
            + clinic::recordedText(monitor.manufacturer).toLatin1()
            + "\nMODEL=" + clinic::recordedText(monitor.model).toLatin1()
            + "\nSERIAL=" + clinic::recordedText(monitor.serialNumber).toLatin1()
            + "\nOUTPUT=" + clinic::recordedText(monitor.output).toLatin1()
            + "\nRESOLUTION=1920 x 1080\nDATE=2026-12-08\nUSER=alice\n";
        QCOMPARE(linesOf(entries), recordLines("Calibration", keys) + recordLines(archive, keys));

        // Stored, it is the calibration made here, and its record is found again.
        QVERIFY(settings::save(
            folder(), {{settings::Key::ScreenH, 567}, {settings::Key::ScreenV, 566}}, entries));
        const clinic::CalibrationJudgement judgement
            = clinic::judgeCalibration(records(), 567, 566, monitor);
        QCOMPARE(judgement.note, NoteCase::None);
        QVERIFY(judgement.calibratedHere);
        const std::optional<clinic::ArchivedRecord> found = records().archiveOf(monitor);
        QVERIFY(found);
        QCOMPARE(found->section.toLatin1(), archive);
        QCOMPARE(found->record.screenH, 567.0);
        QCOMPARE(found->record.date, kToday);
        QCOMPARE(found->record.user, QStringLiteral("alice"));
    }

    // Who made the calibration in use, and when, as its record says: the name "Done" wrote, a
    // name edited into the file by hand with the values (the file is the clinic's), or
    // "unknown" in a record of an older version. Values no record holds name nobody.
    void whoCalibrated_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("inUse");
        QTest::addColumn<QString>("made"); // empty: no record holds the values in use
        const auto records = [](int value, const QByteArray &user) {
            return screen(value, value) + "[Calibration]\n" + keysHere(value, value) + user
                + kArchiveHere + keysHere(value, value) + user;
        };
        QTest::newRow("as Done wrote it") << records(566, "USER=alice\n") << 566
                                          << QStringLiteral("Calibrated 2026-01-15 by alice");
        QTest::newRow("an older record")
            << records(566, {}) << 566 << QStringLiteral("Calibrated 2026-01-15 by unknown");
        QTest::newRow("566 edited to 520 everywhere, the name kept") << records(
            520, "USER=alice\n") << 520 << QStringLiteral("Calibrated 2026-01-15 by alice");
        QTest::newRow("566 edited to 520 everywhere, another name")
            << records(520, "USER=<b>mallory</b>\n") << 520
            << QStringLiteral("Calibrated 2026-01-15 by <b>mallory</b>");
        QTest::newRow("edited in [Screen] alone")
            << screen(520, 520) + records(566, "USER=alice\n").mid(screen(566, 566).size()) << 520
            << QString();
        QTest::newRow("made on another monitor")
            << screen(1671, 1671) + "[Calibration]\n" + keysLaptop(1671, 1671) + "USER=bob\n"
            << 1671 << QStringLiteral("Calibrated 2026-02-20 by bob");
    }
    void whoCalibrated()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, inUse);
        QFETCH(QString, made);
        write(file);
        const clinic::CalibrationJudgement judgement
            = clinic::judgeCalibration(records(), inUse, inUse, here());
        QCOMPARE(judgement.inUse ? clinic::madeText(*judgement.inUse) : QString(), made);
    }

    // The archive keeps the 64 most recent sections, records and values set aside alike: the
    // oldest goes (no date before any date; of one date, the first in the file), never the
    // record "Done" stores nor the one in use on this monitor. The file is then stored as is.
    void archiveKeepsTheMostRecent_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QDate>("done"); // the day "Done" records; none: the start screen loads
        QTest::addColumn<QString>("removed");
        const QString oldest = QStringLiteral("Calibration Maker Model 1 HDMI-1 1920x1080");
        QTest::newRow("Done on a 65th monitor") << archives() << kToday << oldest;
        QTest::newRow("Done on a clock set back: the new record stays")
            << archives() << QDate(2020, 1, 1) << oldest;
        QTest::newRow("of one date, the first in the file goes")
            << archives({{5, "2025-06-01"}, {3, "2025-06-01"}}) << kToday
            << QStringLiteral("Calibration Maker Model 3 HDMI-1 1920x1080");
        QTest::newRow("a section without a date goes first") << archives(
            {{40, ""}}) << kToday << QStringLiteral("Calibration Maker Model 40 HDMI-1 1920x1080");
        QTest::newRow("Done on a monitor whose record is the oldest of 65: the next goes")
            << kArchiveHere + keysHere(540, 540) + archives() << kToday << oldest;
        QTest::newRow("start: the record in use, the oldest of 65, stays") << screen(567, 567)
                + "[Calibration]\n" + keysHere(567, 567) + kArchiveHere + keysHere(567, 567)
                + archives() << QDate() << oldest;
        QTest::newRow("start: values set aside make 65")
            << screen(1671, 2600) + archives() << QDate() << oldest;
    }
    void archiveKeepsTheMostRecent()
    {
        QFETCH(QByteArray, file);
        QFETCH(QDate, done);
        QFETCH(QString, removed);
        write(file);
        settings::Values read;
        settings::readAll(folder(), read);
        const QList<profile::Entry> entries = done.isValid()
            ? clinic::doneEntries(records(), {567, 567, here(), done, {}})
            : clinic::startCalibration(settings::Snapshot(folder()), read.ScreenH, read.ScreenV,
                here(), 1920, 1080, kToday)
                  .entries;
        QStringList removals;
        for (const profile::Entry &entry : entries) {
            if (entry.removes())
                removals << QString::fromLatin1(entry.section);
        }
        QCOMPARE(removals, QStringList {removed});

        QVERIFY(settings::save(folder(), {}, entries));
        const QStringList sections = settings::Snapshot(folder()).sections();
        QCOMPARE(sections.filter(QRegularExpression(QStringLiteral("^Calibration "))).size(), 64);
        QVERIFY(!sections.contains(removed));
        QCOMPARE(clinic::judgeCalibration(records(), 567, 567, here()).calibratedHere,
            done.isValid() || file.contains(kArchiveHere));
    }

    // What the start, Start, Calibrate and "Done" do with a file grows with its size and no
    // faster, however many sections it holds, even names the program must find a free one
    // among. Four times the sections cost about four times the processor time; a cost that
    // grows with the square would give sixteen. No instruction counter can be read on every
    // machine, so the two sizes are timed in turn, the least of five runs each.
    void manySectionsCostInProportion()
    {
        const QByteArray archiveHere = kArchiveHere.mid(1, kArchiveHere.size() - 3);
        const auto cost = [&](int count) {
            QByteArray content = screen(1671, 2600); // too large: set aside under a free name
            for (const QByteArray &name : {QByteArray("Calibration unrecorded"), archiveHere}) {
                content += '[' + name + "]\n";
                for (int n = 2; n <= count / 2; ++n)
                    content += '[' + name + ' ' + QByteArray::number(n) + "]\n";
            }
            write(content);
            const double start = processorMilliseconds();
            const settings::Snapshot file(folder());
            settings::Values read;
            settings::readAll(file, read);
            const QList<profile::Entry> entries = clinic::startCalibration(file, read.ScreenH,
                                                      read.ScreenV, here(), 1920, 1080, kToday)
                                                      .entries
                + clinic::doneEntries(records(), {567, 567, here(), kToday, {}});
            const bool written = clinic::calibrationChanged(file, settings::Snapshot())
                && profile::withValues(content, entries).has_value();
            const double milliseconds = processorMilliseconds() - start;
            // Each found the free name after the last of its own.
            const QByteArray free = ' ' + QByteArray::number(count / 2 + 1);
            return written && entries.constFirst().section == "Calibration unrecorded" + free
                    && entries.constLast().section == archiveHere + free
                ? milliseconds
                : -1.0;
        };
        double least[2] = {1e9, 1e9};
        for (int run = 0; run < 5; ++run) {
            for (int size = 0; size < 2; ++size) {
                const double milliseconds = cost(size ? 10'000 : 2'500);
                QVERIFY(milliseconds >= 0);
                least[size] = std::min(least[size], milliseconds);
            }
        }
        qInfo("2,500 sections: %.1f ms, 10,000: %.1f ms", least[0], least[1]);
        QVERIFY2(least[1] < 8 * least[0], qPrintable(QString::number(least[1] / least[0])));
    }

    // A reported size is believed only where it can be the monitor's own.
    void knownSize_data()
    {
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<QSizeF>("reported");
        QTest::addColumn<QString>("text");
        QTest::newRow("a 23-inch monitor's EDID")
            << QSize(1920, 1080) << QSizeF(510, 287) << QStringLiteral("510 x 287 mm");
        QTest::newRow("nothing reported")
            << QSize(1920, 1080) << QSizeF(0, 0) << QStringLiteral("size unknown");
        QTest::newRow("one axis missing")
            << QSize(1920, 1080) << QSizeF(510, 0) << QStringLiteral("size unknown");
        // 2560 x 1440 at 96 dpi: 677.3 x 381.0 mm, as Qt makes it up without EDID.
        QTest::newRow("Qt's 96 dpi")
            << QSize(2560, 1440) << QSizeF(677, 381) << QStringLiteral("size unknown");
        // The rows stand on a display server of 100 dpi, as Xvfb's: 1024 x 768 is 260.1 x 195.1.
        QTest::newRow("the server's own dpi")
            << QSize(1024, 768) << QSizeF(260, 195) << QStringLiteral("size unknown");
        // 1080 rows at 96 dpi are 285.75 mm, which Qt's X11 platform cuts to 285.
        QTest::newRow("Qt's 96 dpi in whole millimetres")
            << QSize(1920, 1080) << QSizeF(508, 285) << QStringLiteral("size unknown");
        QTest::newRow("near 96 dpi but a real size")
            << QSize(2560, 1440) << QSizeF(677, 382.5) << QStringLiteral("677 x 383 mm");
        QTest::newRow("a projector's 16 x 9 cm on 4:3")
            << QSize(1024, 768) << QSizeF(160, 90) << QStringLiteral("size unknown");
        QTest::newRow("16 x 9 cm on 16:9")
            << QSize(1920, 1080) << QSizeF(160, 90) << QStringLiteral("size unknown");
        // 1280 x 1024 is 5:4 = 1.25; 1.25 x 1.1 = 1.375.
        QTest::newRow("shape 9.7 % off")
            << QSize(1280, 1024) << QSizeF(373, 272) << QStringLiteral("373 x 272 mm");
        QTest::newRow("shape 11 % off")
            << QSize(1280, 1024) << QSizeF(375, 270) << QStringLiteral("size unknown");
    }
    void knownSize()
    {
        QFETCH(QSize, pixels);
        QFETCH(QSizeF, reported);
        QFETCH(QString, text);
        clinic::Monitor monitor = here();
        monitor.resolution = pixels;
        monitor.physicalSizeMm = reported;
        monitor.assumedDpi = 100;
        QCOMPARE(clinic::sizeText(monitor), text);
        QCOMPARE(clinic::knownSizeMm(monitor).isEmpty(), text == QStringLiteral("size unknown"));
        QCOMPARE(clinic::nameAndSize(monitor),
            QStringLiteral("Dell Inc. DELL U2412M DP-1 (%1)").arg(text));
        monitor.manufacturer = monitor.model = monitor.output = QString();
        QCOMPARE(clinic::nameAndSize(monitor), text);
    }

    // Monitors at one place with one resolution show one picture; a calibration holds for the
    // size of one of them. The laptop's 1366 x 768 panel reports 344 x 194 mm; a result read on
    // a mirror is off by the ratio of the sizes less one, on either axis.
    void mirroredAtAnotherSize_data()
    {
        QTest::addColumn<QSizeF>("laptopMm");
        QTest::addColumn<QRect>("mirror"); // its place and resolution on the desktop
        QTest::addColumn<QSizeF>("mirrorMm");
        QTest::addColumn<bool>("listed");
        const QRect samePicture(0, 0, 1366, 768);
        const QSizeF laptop(344, 194);
        QTest::newRow("a 24-inch in presentation mode: 35 % smaller there")
            << laptop << samePicture << QSizeF(531, 299) << true;
        QTest::newRow("the same 24-inch beside it")
            << laptop << QRect(1366, 0, 1366, 768) << QSizeF(531, 299) << false;
        QTest::newRow("the same place, another resolution")
            << laptop << QRect(0, 0, 1024, 768) << QSizeF(531, 398) << false;
        // 344 / 382 = 0.9005, 194 / 215 = 0.902; 344 / 383 = 0.898
        QTest::newRow("9.9 % smaller there") << laptop << samePicture << QSizeF(382, 215) << false;
        QTest::newRow("10.2 % smaller there") << laptop << samePicture << QSizeF(383, 216) << true;
        // 344 / 313 = 1.099, 194 / 177 = 1.096; 344 / 312 = 1.103
        QTest::newRow("9.9 % larger there") << laptop << samePicture << QSizeF(313, 177) << false;
        QTest::newRow("10.3 % larger there") << laptop << samePicture << QSizeF(312, 176) << true;
        // 194 / 218 = 0.89: the shape stays within 10 % of the picture's.
        QTest::newRow("as wide, 11 % taller") << laptop << samePicture << QSizeF(350, 218) << true;
        QTest::newRow("a projector that reports nothing")
            << laptop << samePicture << QSizeF(0, 0) << true;
        QTest::newRow("the laptop's own size unknown")
            << QSizeF(361.4, 203.2) << samePicture << QSizeF(344, 194) << true;
    }
    void mirroredAtAnotherSize()
    {
        QFETCH(QSizeF, laptopMm);
        QFETCH(QRect, mirror);
        QFETCH(QSizeF, mirrorMm);
        QFETCH(bool, listed);
        clinic::Monitor laptop;
        laptop.output = QStringLiteral("eDP-1");
        laptop.resolution = QSize(1366, 768);
        laptop.physicalSizeMm = laptopMm;
        clinic::Monitor other;
        other.output = QStringLiteral("HDMI-1");
        other.position = mirror.topLeft();
        other.resolution = mirror.size();
        other.physicalSizeMm = mirrorMm;
        const QList<clinic::Monitor> mirrored = clinic::mirroredAtAnotherSize(laptop, {other});
        QCOMPARE(mirrored.size(), listed ? 1 : 0);
        QCOMPARE(clinic::mirroredText(laptop, mirrored).isEmpty(), !listed);
        QCOMPARE(clinic::mirroredNote(laptop, mirrored).isEmpty(), !listed);
    }

    // The start screen names every mirror of another size and the monitor the calibration holds
    // for, by the names the display settings show; the measurement's note says the same, short.
    void mirroredTexts()
    {
        clinic::Monitor laptop;
        laptop.manufacturer = QStringLiteral("Lenovo Group Limited");
        laptop.output = QStringLiteral("eDP-1");
        laptop.resolution = QSize(1366, 768);
        laptop.physicalSizeMm = QSizeF(344, 194);
        clinic::Monitor big = laptop;
        big.manufacturer = QStringLiteral("Dell Inc.");
        big.output = QStringLiteral("HDMI-1");
        big.physicalSizeMm = QSizeF(531, 299);
        clinic::Monitor projector = big;
        projector.output = QString();
        projector.physicalSizeMm = QSizeF(160, 90);
        const QList<clinic::Monitor> mirrored
            = clinic::mirroredAtAnotherSize(laptop, {big, laptop, projector});
        QCOMPARE(clinic::mirroredText(laptop, mirrored),
            QStringLiteral("Mirrored on HDMI-1 (531 x 299 mm), Dell Inc. (size unknown): the "
                           "calibration holds only for eDP-1 (344 x 194 mm), where the patient "
                           "must look."));
        QCOMPARE(clinic::mirroredNote(laptop, mirrored),
            QStringLiteral("mirrored on HDMI-1, Dell Inc.: calibrated for eDP-1 only"));
        QCOMPARE(clinic::mirroredText(laptop, {}), QString());
    }

    // A calibration made here is judged against the monitor's size only where that is known:
    // 700 is 24 % off the 510 x 287 mm reported, and off nothing where Qt made the size up.
    void farFromAnUnknownSizeIsNoNote()
    {
        write(kArchiveHere + keysHere(700, 567));
        clinic::Monitor monitor = here();
        QCOMPARE(
            clinic::judgeCalibration(records(), 700, 567, monitor).note, NoteCase::FarFromReported);
        monitor.physicalSizeMm = QSizeF(508, 285.75); // 1920 x 1080 at 96 dpi
        QCOMPARE(clinic::judgeCalibration(records(), 700, 567, monitor).note, NoteCase::None);
    }

    // Where the calibration screen's bars stop, which values a screen takes, and what it starts
    // from: the monitor's own size, else the stored value it takes, else the fall-back.
    void calibrationLimits_data()
    {
        QTest::addColumn<float>("pixels");
        QTest::addColumn<int>("largestMark"); // the axis less 250 pixels, strictly
        QTest::addColumn<double>("stored");
        QTest::addColumn<bool>("accepted"); // 100 up to the largest mark on 50 mm
        QTest::addColumn<double>("reported");
        QTest::addColumn<double>("expected");
        QTest::newRow("1080, 567") << 1080.f << 829 << 567.0 << true << 0.0 << 567.0;
        QTest::newRow("1080, its largest") << 1080.f << 829 << 2487.0 << true << 0.0 << 2487.0;
        QTest::newRow("1080, beyond") << 1080.f << 829 << 2487.5 << false << 0.0 << 500.0;
        QTest::newRow("the minimum") << 768.f << 517 << 100.0 << true << 0.0 << 100.0;
        QTest::newRow("below the minimum") << 768.f << 517 << 99.9 << false << 0.0 << 500.0;
        QTest::newRow("the monitor's size first")
            << 768.f << 517 << 567.0 << true << 542.0 << 542.0;
        QTest::newRow("half a pixel more room")
            << 1080.5f << 830 << 2490.0 << true << 0.0 << 2490.0;
        QTest::newRow("a pixel of room") << 252.f << 1 << 100.0 << false << 0.0 << 500.0;
        QTest::newRow("no room") << 250.f << 0 << 100.0 << false << 0.0 << 500.0;
    }
    void calibrationLimits()
    {
        QFETCH(float, pixels);
        QFETCH(double, stored);
        QFETCH(double, reported);
        QTEST(clinic::largestMark(pixels), "largestMark");
        QTEST(clinic::accepted(stored, pixels), "accepted");
        QTEST(clinic::expectedCalibration(reported, stored, pixels), "expected");
    }

    // The length the calibration screen asks for first: the longest whose mark the bar (the
    // axis less 250 pixels, strictly) still reaches with the guess 5 % larger.
    void lengthFor_data()
    {
        QTest::addColumn<float>("pixels");
        QTest::addColumn<double>("guess");
        QTest::addColumn<int>("mm");
        // A 13.3-inch 1280 x 800 laptop, 670 per 150 mm: bars end at 1029 and 549.
        QTest::newRow("1280 x 800 across") << 1280.f << 670.0 << 150; // 703.5
        QTest::newRow("1280 x 800 down: 100 mm fits") << 800.f << 670.0 << 100; // 469
        // A 15.6-inch 1366 x 768 laptop, 596: bars end at 1115 and 517.
        QTest::newRow("1366 x 768 across") << 1366.f << 596.0 << 150; // 625.8
        QTest::newRow("1366 x 768 down") << 768.f << 596.0 << 100; // 625.8 over, 417.2
        // The fall-back 500 on 1024 x 768: bars end at 773 and 517.
        QTest::newRow("1024 x 768 across") << 1024.f << 500.0 << 150; // 525
        QTest::newRow("1024 x 768 down: 500 fits, 525 not") << 768.f << 500.0 << 100;
        QTest::newRow("1024 x 768 down: 492 and 5 % fit") << 768.f << 492.0 << 150; // 516.6
        // 800 x 600: bars end at 549 and 349.
        QTest::newRow("800 x 600 across") << 800.f << 500.0 << 150; // 525
        QTest::newRow("800 x 600 down: 100 mm just over") << 600.f << 500.0 << 50; // 350, 175
        QTest::newRow("800 x 600 down: 495") << 600.f << 495.0 << 100; // 346.5
        // A 24-inch 1920 x 1080, 542, and a 13.3-inch one, 980: the bar down ends at 829.
        QTest::newRow("1920 x 1080 down, 24 inch") << 1080.f << 542.0 << 150; // 569.1
        QTest::newRow("1920 x 1080 down, 13.3 inch") << 1080.f << 980.0 << 100; // 1029, 686
        QTest::newRow("no room even for 50 mm") << 300.f << 500.0 << 50;
    }
    void lengthFor()
    {
        QFETCH(float, pixels);
        QFETCH(double, guess);
        QFETCH(int, mm);
        QCOMPARE(clinic::lengthFor(pixels, guess), mm);
    }

    // Whether "Done" asks "Have you checked both marks with a ruler?": where this monitor at
    // this resolution has no calibration of its own, a mark that stands where a value the
    // screen placed (opened with, the reported size, kept across a change of length) puts it
    // may never have met a ruler. On a 1920 x 1080 monitor; marks in pixels on the length.
    void needsRulerCheck_data()
    {
        QTest::addColumn<bool>("calibratedHere");
        QTest::addColumn<clinic::MarkAtDone>("across");
        QTest::addColumn<clinic::MarkAtDone>("down");
        QTest::addColumn<bool>("asks");
        const auto across = [](int mm, int mark, const QList<double> &placed) {
            return clinic::MarkAtDone {1920, mm, mark, placed};
        };
        const auto down = [](int mm, int mark, const QList<double> &placed) {
            return clinic::MarkAtDone {1080, mm, mark, placed};
        };
        // A fresh install on a 24-inch monitor, truly 542 per 150 mm, reporting 531 x 299 mm
        // (542.4 and 541.8): Calibrate, Enter.
        const QList<double> freshH {500, 542.4}, freshV {500, 541.8};
        QTest::newRow("fresh, 500 not moved")
            << false << across(150, 500, freshH) << down(150, 500, freshV) << true;
        QTest::newRow("fresh, both measured")
            << false << across(150, 543, freshH) << down(150, 540, freshV) << false;
        QTest::newRow("fresh, down left at 500")
            << false << across(150, 543, freshH) << down(150, 500, freshV) << true;
        // A laptop's 596 on a 23-inch monitor (566): "Calibrated on another monitor", Enter.
        QTest::newRow("another monitor's 596")
            << false << across(150, 596, {596, 565.8}) << down(150, 596, {596, 565.8}) << true;
        // "Use the monitor's size", then Enter: the marks at 542 both ways.
        QTest::newRow("the reported size")
            << false << across(150, 542, freshH) << down(150, 542, freshV) << true;
        QTest::newRow("the reported size, then a pixel each")
            << false << across(150, 543, freshH) << down(150, 541, freshV) << false;
        // 100 mm chosen down: 500 stands at 333.33, so 333 is where it opened.
        QTest::newRow("100 mm, where 500 stands")
            << false << across(150, 543, {500}) << down(100, 333, {500, 500}) << true;
        QTest::newRow("100 mm, a pixel on")
            << false << across(150, 543, {500}) << down(100, 334, {500, 500}) << false;
        // The reported size on 50 mm (223.8 pixels: 224, 672 per 150 mm), then 150 mm again:
        // 672 was kept, and its mark at 672 is not the reported 542.4's.
        QTest::newRow("the reported size kept across lengths")
            << false << across(150, 672, {500, 671.3, 500, 672}) << down(150, 543, freshV) << true;
        // Opened with 1400 down on 100 mm (933 pixels): the bar's end, 829, is where it opened.
        QTest::newRow("opened beyond the bar")
            << false << across(150, 543, {500}) << down(100, 829, {1400}) << true;
        QTest::newRow("calibrated here: Done as always")
            << true << across(150, 500, freshH) << down(150, 500, freshV) << false;
    }
    void needsRulerCheck()
    {
        QFETCH(bool, calibratedHere);
        QFETCH(clinic::MarkAtDone, across);
        QFETCH(clinic::MarkAtDone, down);
        QFETCH(bool, asks);
        QCOMPARE(clinic::needsRulerCheck(calibratedHere, across, down), asks);
    }

    void recordedText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("recorded");
        QTest::newRow("as it is") << QStringLiteral("Dell Inc.") << QStringLiteral("Dell Inc.");
        QTest::newRow("brackets and controls become blanks")
            << QStringLiteral("A]\r\n[B\x01") << QStringLiteral("A B");
        QTest::newRow("quotes the reader would drop")
            << QStringLiteral("'\"LG\"'") << QStringLiteral("LG");
        QTest::newRow("beyond the code page")
            << QStringLiteral("\u00c9cran \u8868") << QStringLiteral("\u00c9cran ?");
        QTest::newRow("blanks simplified") << QStringLiteral("  a \t b  ") << QStringLiteral("a b");
    }
    void recordedText()
    {
        QFETCH(QString, text);
        QFETCH(QString, recorded);
        QCOMPARE(clinic::recordedText(text), recorded);
        QCOMPARE(clinic::recordedText(recorded), recorded);
    }

    // The summary's cell: the newest result at the target with that eye fixing, taken as the
    // measurement screen takes FixEye (1 OD, anything else OS). Results: (target, FixEye), oldest
    // first.
    void visitLatest_data()
    {
        QTest::addColumn<QList<QPointF>>("results");
        QTest::addColumn<double>("target");
        QTest::addColumn<double>("fixEye");
        QTest::addColumn<int>("latest"); // index, -1: none
        const QList<QPointF> visit = {{1, 2}, {2, 2}, {1, 1}, {1, 2}, {3, 0}, {2, 1.5}};
        QTest::newRow("newest of two") << visit << 1.0 << 2.0 << 3;
        QTest::newRow("OD fixing") << visit << 1.0 << 1.0 << 2;
        QTest::newRow("FixEye 0 counts as OS") << visit << 3.0 << 2.0 << 4;
        QTest::newRow("FixEye 1.5 counts as OS") << visit << 2.0 << 2.0 << 5;
        QTest::newRow("no OD at the left") << visit << 3.0 << 1.0 << -1;
        QTest::newRow("empty visit") << QList<QPointF>() << 1.0 << 2.0 << -1;
    }
    void visitLatest()
    {
        QFETCH(QList<QPointF>, results);
        QFETCH(double, target);
        QFETCH(double, fixEye);
        QFETCH(int, latest);
        clinic::Visit visit;
        for (const QPointF &r : results) {
            clinic::VisitResult result;
            result.measuredAt = QDateTime::currentDateTimeUtc();
            result.target = r.x();
            result.fixingEye = r.y();
            visit.add(result);
        }
        const clinic::VisitResult *found = visit.latest(target, fixEye);
        QCOMPARE(found ? int(found - visit.results().constData()) : -1, latest);
    }

    // 100 o / d prism dioptres, o the offset in millimetres by the calibration, d the distance
    // in millimetres; the same offset across and down. At 60 cm the numbers of every earlier
    // result, digit for digit, halves included.
    void dioptresAtADistance_data()
    {
        QTest::addColumn<float>("offset"); // pixels right of and below the reference point
        QTest::addColumn<int>("calibration"); // pixels per 150 mm, across and down
        QTest::addColumn<int>("cm");
        QTest::addColumn<QString>("across");
        QTest::addColumn<QString>("down");
        // 100 pixels at 500 per 150 mm are 30 mm.
        QTest::newRow("33 cm: 3000 / 330") << 100.F << 500 << 33 << "BL: 9.1"
                                           << "BU: 9.1";
        QTest::newRow("40 cm: 3000 / 400") << 100.F << 500 << 40 << "BL: 7.5"
                                           << "BU: 7.5";
        QTest::newRow("60 cm: 3000 / 600") << 100.F << 500 << 60 << "BL: 5.0"
                                           << "BU: 5";
        QTest::newRow("200 cm: 3000 / 2000") << 100.F << 500 << 200 << "BL: 1.5"
                                             << "BU: 1.5";
        QTest::newRow("25 cm, left and up") << -100.F << 500 << 25 << "BR: 12.0"
                                            << "BD: 12";
        // 68 pixels at 567 are 17.989 mm: 5.451 at 33 cm, 4.497 at 40 cm.
        QTest::newRow("33 cm, 567") << 68.F << 567 << 33 << "BL: 5.5"
                                    << "BU: 5.5";
        QTest::newRow("40 cm, 567") << 68.F << 567 << 40 << "BL: 4.5"
                                    << "BU: 4.5";
        // 6 pixels at 500 are 1.8 mm: exactly 0.45 at 40 cm, 0.09 at 200 cm.
        QTest::newRow("40 cm, 0.45") << -6.F << 500 << 40 << "BR: 0.5"
                                     << "BD: 0.5";
        QTest::newRow("200 cm, 0.09") << 6.F << 500 << 200 << "BL: 0.1"
                                      << "BU: 0.1";
        // At 60 cm as the measurement has always shown them: n pixels at 500 are n / 20.
        QTest::newRow("60 cm, 567") << 68.F << 567 << 60 << "BL: 3.0"
                                    << "BU: 3";
        QTest::newRow("60 cm, 0.35") << 7.F << 500 << 60 << "BL: 0.4"
                                     << "BU: 0.4";
        QTest::newRow("60 cm, 1.15") << -23.F << 500 << 60 << "BR: 1.2"
                                     << "BD: 1.2";
        QTest::newRow("60 cm, 2.25") << 45.F << 500 << 60 << "BL: 2.3"
                                     << "BU: 2.3";
        QTest::newRow("60 cm, 0.05") << 1.F << 500 << 60 << "BL: 0.1"
                                     << "BU: 0.1";
        QTest::newRow("60 cm, 9.95") << 199.F << 500 << 60 << "BL: 10.0"
                                     << "BU: 10";
        QTest::newRow("60 cm, 0.04") << 1.F << 625 << 60 << "BL: 0.0"
                                     << "BU: 0";
    }
    void dioptresAtADistance()
    {
        QFETCH(float, offset);
        QFETCH(int, calibration);
        QFETCH(int, cm);
        QTEST(clinic::across(offset, calibration, cm)->shown(), "across");
        QTEST(clinic::down(offset, qint16(calibration), nullptr, cm)->shown(), "down");
    }

    // The pointer stops on the screen's outermost column (row), first or last: only there is a
    // direction a lower bound. One pixel inside is an ordinary result.
    void screenEdge_data()
    {
        QTest::addColumn<float>("position");
        QTest::addColumn<float>("screenPixels");
        QTest::addColumn<bool>("edge");
        QTest::newRow("first pixel") << 0.F << 1024.F << true;
        QTest::newRow("second pixel") << 1.F << 1024.F << false;
        QTest::newRow("last but one") << 1022.F << 1024.F << false;
        QTest::newRow("last pixel") << 1023.F << 1024.F << true;
        QTest::newRow("last of an odd height") << 1048.F << 1049.F << true;
        QTest::newRow("beyond the first") << -3.F << 768.F << true;
        QTest::newRow("no screen size") << 0.F << 0.F << false;
    }
    void screenEdge()
    {
        QFETCH(float, position);
        QFETCH(float, screenPixels);
        QTEST(clinic::onScreenEdge(position, screenPixels), "edge");
    }

    // A lower bound's size carries its mark wherever it is written: on the screen, in the copied
    // line and in the spreadsheet's size cell, each direction in its own number format. 567
    // pixels per 150 mm.
    void boundTexts_data()
    {
        QTest::addColumn<bool>("horizontal");
        QTest::addColumn<float>("offset");
        QTest::addColumn<bool>("atLeast");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("shown");
        QTest::newRow("left, at the edge") << true << -529.F << true << "C"
                                           << "BR: \u226523.3";
        QTest::newRow("right, at the edge") << true << 529.F << true << "C"
                                            << "BL: \u226523.3";
        QTest::newRow("left, inside") << true << -529.F << false << "C"
                                      << "BR: 23.3";
        QTest::newRow("up, at the edge, whole") << false << -113.F << true << "C"
                                                << "BD: \u22655";
        QTest::newRow("down, at the edge") << false << 300.F << true << "C"
                                           << "BU: \u226513.2";
        QTest::newRow("down, inside") << false << 300.F << false << "C"
                                      << "BU: 13.2";
        QTest::newRow("German") << true << -529.F << true << "de_DE"
                                << "BR: \u226523,3";
    }
    void boundTexts()
    {
        QFETCH(bool, horizontal);
        QFETCH(float, offset);
        QFETCH(bool, atLeast);
        QFETCH(QString, locale);
        QFETCH(QString, shown);
        QLocale::setDefault(QLocale(locale));
        const auto restoreLocale = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        clinic::VisitResult result;
        result.measuredAt = QDateTime::currentDateTimeUtc();
        result.screenH = 567;
        result.screenV = 600;
        auto &deviation = horizontal ? result.across : result.down;
        deviation = horizontal ? clinic::across(offset, 567) : clinic::down(offset, 567);
        QVERIFY(deviation);
        deviation->atLeast = atLeast;
        QCOMPARE(clinic::shownText(deviation), shown);
        // "BR ≥23.3" in the copied line; base and size in their cells of the spreadsheet,
        // which stand where they always stood.
        const QStringList copied = shown.split(QStringLiteral(": "));
        QVERIFY2(clinic::copyLine(result).contains(copied.join(u' ')),
            qPrintable(clinic::copyLine(result)));
        clinic::Visit visit;
        visit.add(result);
        const QStringList cells = visit.tabSeparated().split(u'\n').at(1).split(u'\t');
        QCOMPARE(cells.mid(horizontal ? 6 : 8, 2), copied);
        // The calibration across, then down, in both.
        QCOMPARE(cells.mid(10, 2), QStringList({"567", "600"}));
        QVERIFY(clinic::copyLine(result).contains(QStringLiteral("calibration 567 x 600 px")));
    }

    // Tabs and line breaks typed into the identifier or the note stay in their one cell of the
    // spreadsheet and on their one line of the text; a result never measured is not added.
    void visitFreeTextKeepsItsCell()
    {
        clinic::Visit visit;
        visit.add(clinic::VisitResult {});
        QVERIFY(visit.isEmpty());
        clinic::VisitResult result;
        result.measuredAt = QDateTime::currentDateTimeUtc();
        visit.add(result);
        visit.identifier = QStringLiteral("K\t42");
        visit.note = QStringLiteral("after\tsurgery\r\nleft eye");
        const QStringList rows = visit.tabSeparated().split(QLatin1Char('\n'));
        QCOMPARE(rows.size(), 3); // header, one result, and the final line break
        const QStringList cells = rows.at(1).split(QLatin1Char('\t'));
        QCOMPARE(cells.size(), rows.at(0).split(QLatin1Char('\t')).size());
        QCOMPARE(cells.constFirst(), QStringLiteral("K 42"));
        QCOMPARE(cells.constLast(), QStringLiteral("after surgery  left eye"));
        QCOMPARE(visit.plainText().count(QLatin1Char('\n')), 3);
    }

    // The Hess points in the copy, each with its eyes, field, angles, deviation, calibration and
    // distance; skipped, not on this screen and not measured said as such; a test left half way
    // marked on each of its lines and rows.
    void visitCopiesHessPoints()
    {
        clinic::Visit visit;
        visit.addHessRun(hessfixture::run());
        const QString common = QStringLiteral(
            "; calibration 567 x 600 px per 150 mm; viewing distance 60 cm; calibration made on "
            "another screen (1280 x 1024)");
        const QString os = QStringLiteral("2026-03-02 10:40  Hess OS plotted, OD fixing, inner "
                                          "field, target α ");
        const QString od = QStringLiteral("2026-03-02 10:40  Hess OD plotted, OS fixing, inner "
                                          "field, target α ");
        const QStringList lines = visit.plainText().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 19); // 9 points of each eye and the final line break
        QCOMPARE(lines.mid(0, 3),
            QStringList({os
                    + QStringLiteral("0.0° β 0.0°: measured α 2.0° β -3.0°, deviation α 2.0° β "
                                     "-3.0° = BL 3.5 BU 5.2 (prism dioptres)")
                    + common,
                os + QStringLiteral("0.0° β 15.0°: skipped") + common,
                os
                    + QStringLiteral("15.0° β 15.0°: measured α 17.0° β 12.0°, deviation α 2.0° "
                                     "β -3.0° = BL ≥3.5 BU 5.2 (prism dioptres)")
                    + common}));
        QCOMPARE(lines.at(3),
            os
                + QStringLiteral("15.0° β 0.0°: measured α 15.5° β 0.5°, deviation α 0.5° β 0.5° "
                                 "= BL 0.9 BD 0.9 (prism dioptres)")
                + common);
        QCOMPARE(lines.at(8), os + QStringLiteral("-15.0° β 15.0°: not on this screen") + common);
        QCOMPARE(lines.mid(9, 2),
            QStringList({od
                    + QStringLiteral("0.0° β 0.0°: measured α -1.0° β 1.0°, deviation α -1.0° β "
                                     "1.0° = BR 1.7 BD 1.7 (prism dioptres)")
                    + common + QStringLiteral("; test incomplete"),
                od + QStringLiteral("0.0° β 15.0°: not measured") + common
                    + QStringLiteral("; test incomplete")}));

        // The table: the three targets' header alone, an empty row, then the Hess table.
        const QStringList rows = visit.tabSeparated().split(QLatin1Char('\n'));
        QCOMPARE(rows.size(), 22);
        QCOMPARE(rows.at(1), QString());
        const auto cells = [&](int row) { return rows.at(row).split(QLatin1Char('\t')); };
        QCOMPARE(cells(2).mid(2, 7),
            QStringList({"Hess test", "Eye plotted", "Fixing eye", "Field", "Target α (°, right +)",
                "Target β (°, up +)", "Point"}));
        const QString note = hessfixture::kNote;
        QCOMPARE(cells(5),
            QStringList({"", "2026-03-02 10:40", "complete", "OS", "OD", "inner", "15.0°", "15.0°",
                "measured", "17.0°", "12.0°", "2.0°", "-3.0°", "BL", "≥3.5", "BU", "5.2", "567",
                "600", note, "60", ""}));
        QCOMPARE(cells(4),
            QStringList({"", "2026-03-02 10:40", "complete", "OS", "OD", "inner", "0.0°", "15.0°",
                "skipped", "", "", "", "", "", "", "", "", "567", "600", note, "60", ""}));
        QCOMPARE(cells(12).mid(0, 17),
            QStringList({"", "2026-03-02 10:40", "incomplete", "OD", "OS", "inner", "0.0°", "0.0°",
                "measured", "-1.0°", "1.0°", "-1.0°", "1.0°", "BR", "1.7", "BD", "1.7"}));
        QCOMPARE(cells(13).at(8), QStringLiteral("not measured"));
    }

    // Whether leaving or a new patient must ask: results the clinician has not copied, saved or
    // printed since they last changed. Steps: "add", "remove <index>", "saved" (Copy all, a PDF,
    // a print), "identifier <text>", "note <text>", "clear".
    void visitUnsaved_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("unsaved");
        QTest::newRow("a result") << QStringList {"add"} << true;
        QTest::newRow("saved") << QStringList {"add", "add", "saved"} << false;
        QTest::newRow("a result after the save") << QStringList {"add", "saved", "add"} << true;
        QTest::newRow("one removed after the save")
            << QStringList {"add", "add", "saved", "remove 0"} << true;
        QTest::newRow("the last removed") << QStringList {"add", "remove 0"} << false;
        QTest::newRow("identifier typed after the save")
            << QStringList {"add", "saved", "identifier K-42"} << true;
        QTest::newRow("identifier typed and put back")
            << QStringList {"identifier K-42", "add", "saved", "identifier K-4", "identifier K-42"}
            << false;
        QTest::newRow("free text alone") << QStringList {"identifier K-42", "note x"} << false;
        QTest::newRow("new patient's identifier")
            << QStringList {"add", "saved", "clear", "identifier K-43"} << false;
        // A Hess test is a result like any other, complete or left half way.
        QTest::newRow("a Hess run") << QStringList {"hess"} << true;
        QTest::newRow("a Hess run saved") << QStringList {"add", "hess", "saved"} << false;
        QTest::newRow("a Hess run after the save") << QStringList {"add", "saved", "hess"} << true;
        QTest::newRow("a Hess run, new patient") << QStringList {"hess", "clear"} << false;
    }
    void visitUnsaved()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, unsaved);
        clinic::Visit visit;
        clinic::VisitResult result;
        result.measuredAt = QDateTime::currentDateTimeUtc();
        for (const QString &step : std::as_const(steps)) {
            const QString word = step.section(QLatin1Char(' '), 0, 0);
            const QString rest = step.section(QLatin1Char(' '), 1);
            if (word == QLatin1String("add"))
                visit.add(result);
            else if (word == QLatin1String("remove"))
                visit.remove(rest.toInt());
            else if (word == QLatin1String("saved"))
                visit.markSaved();
            else if (word == QLatin1String("hess"))
                visit.addHessRun(hessfixture::run());
            else if (word == QLatin1String("identifier"))
                visit.identifier = rest;
            else if (word == QLatin1String("note"))
                visit.note = rest;
            else
                visit.clear();
        }
        QCOMPARE(visit.hasUnsavedResults(), unsaved);
    }

    // The report's suggested file name: the identifier made safe for any file system, and the
    // time to the second; no patient data without an identifier.
    void reportFileName_data()
    {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("name");
        const QString time = QStringLiteral(" 2026-12-08 14-05-33.pdf");
        QTest::newRow("none") << ""
                              << "Kelvane report" + time;
        QTest::newRow("a path separator") << "K/42"
                                          << "Kelvane report K_42" + time;
        QTest::newRow("a way up") << "../x"
                                  << "Kelvane report _x" + time;
        QTest::newRow("dots and blanks only") << " .. "
                                              << "Kelvane report" + time;
        QTest::newRow("what Windows refuses") << "a:b*c?\"d<e>f|g"
                                              << "Kelvane report a_b_c__d_e_f_g" + time;
        QTest::newRow("control characters") << "K\t42\a\n"
                                            << "Kelvane report K_42_" + time;
        QTest::newRow("right-to-left override")
            << QStringLiteral("K\u202Efdp.exe") << "Kelvane report K_fdp.exe" + time;
        QTest::newRow("long, cut at 40 and trimmed")
            << "Anna-Maria Lopez-Fernandez de la Cruz y Gutierrez"
            << "Kelvane report Anna-Maria Lopez-Fernandez de la Cruz y" + time;
        QTest::newRow("Unicode") << QStringLiteral("Łukasz Müller 李明 Ωμέγα")
                                 << QStringLiteral("Kelvane report Łukasz Müller 李明 Ωμέγα")
                + time;
        // Forty characters outside the BMP are eighty UTF-16 units: none is cut in half.
        QString faces;
        for (int k = 0; k < 41; ++k)
            faces += QStringLiteral("\U0001F600");
        QTest::newRow("characters of two units")
            << faces << "Kelvane report " + faces.left(80) + time;
    }
    void reportFileName()
    {
        QFETCH(QString, identifier);
        QFETCH(QString, name);
        QCOMPARE(
            clinic::reportFileName(identifier, QDateTime(QDate(2026, 12, 8), QTime(14, 5, 33))),
            name);
    }
};

QTEST_GUILESS_MAIN(TestClinic)
#include "test_clinic.moc"
