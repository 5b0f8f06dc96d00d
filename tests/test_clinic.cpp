// The calibration's records without a window or an application object: which case the
// calibration in use is on a monitor, what the start screen puts into use and what it keeps,
// and what "Done" records. Files are written by hand into a fresh folder.
#include "clinic/calibration.h"
#include "clinic/calibrationrecord.h"
#include "clinic/visit.h"
#include "settings/ini.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <time.h>

using clinic::NoteCase;

Q_DECLARE_METATYPE(clinic::NoteCase)
Q_DECLARE_METATYPE(clinic::Monitor)

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

        const clinic::StartCalibration start
            = clinic::startCalibration(folder(), readH, readV, here(), 1920, 1080, kToday);
        QCOMPARE(start.screenH, inUseH);
        QCOMPARE(start.screenV, inUseV);
        QCOMPARE(start.judgement.note, note);
        QCOMPARE(start.judgement.calibratedHere, calibratedHere);
        QCOMPARE(start.judgement.text.isEmpty(), note == NoteCase::None);
        QCOMPARE(linesOf(start.entries), written);

        QCOMPARE(settings::save(folder(),
                     {{settings::Key::ScreenH, inUseH}, {settings::Key::ScreenV, inUseV}},
                     start.entries),
            QString());
        const clinic::CalibrationJudgement measured
            = clinic::judgeCalibration(folder(), inUseH, inUseV, here());
        QCOMPARE(measured.note, note);
        QCOMPARE(measured.text, start.judgement.text);
        const clinic::StartCalibration again
            = clinic::startCalibration(folder(), inUseH, inUseV, here(), 1920, 1080, kToday);
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
        QCOMPARE(clinic::judgeCalibration(folder(), screenH, 567, here()).text, text);
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
        const clinic::CalibrationRecord record {567, 566, monitor, kToday};
        const QList<profile::Entry> entries = clinic::doneEntries(folder(), record);
        const QByteArray keys = "SCREENH= 567\nSCREENV= 566\nMANUFACTURER="
            + clinic::recordedText(monitor.manufacturer).toLatin1()
            + "\nMODEL=" + clinic::recordedText(monitor.model).toLatin1()
            + "\nSERIAL=" + clinic::recordedText(monitor.serialNumber).toLatin1()
            + "\nOUTPUT=" + clinic::recordedText(monitor.output).toLatin1()
            + "\nRESOLUTION=1920 x 1080\nDATE=2026-12-08\n";
        QCOMPARE(linesOf(entries), recordLines("Calibration", keys) + recordLines(archive, keys));

        // Stored, it is the calibration made here, and its record is found again.
        QCOMPARE(settings::save(folder(),
                     {{settings::Key::ScreenH, 567}, {settings::Key::ScreenV, 566}}, entries),
            QString());
        const clinic::CalibrationJudgement judgement
            = clinic::judgeCalibration(folder(), 567, 566, monitor);
        QCOMPARE(judgement.note, NoteCase::None);
        QVERIFY(judgement.calibratedHere);
        const std::optional<clinic::ArchivedRecord> found
            = clinic::archivedRecord(folder(), monitor);
        QVERIFY(found);
        QCOMPARE(found->section.toLatin1(), archive);
        QCOMPARE(found->record.screenH, 567.0);
        QCOMPARE(found->record.date, kToday);
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
            ? clinic::doneEntries(folder(), {567, 567, here(), done})
            : clinic::startCalibration(
                folder(), read.ScreenH, read.ScreenV, here(), 1920, 1080, kToday)
                  .entries;
        QStringList removals;
        for (const profile::Entry &entry : entries) {
            if (entry.removes())
                removals << QString::fromLatin1(entry.section);
        }
        QCOMPARE(removals, QStringList {removed});

        QCOMPARE(settings::save(folder(), {}, entries), QString());
        const QStringList sections = settings::Snapshot(folder()).sections();
        QCOMPARE(sections.filter(QRegularExpression(QStringLiteral("^Calibration "))).size(), 64);
        QVERIFY(!sections.contains(removed));
        QCOMPARE(clinic::judgeCalibration(folder(), 567, 567, here()).calibratedHere,
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
                + clinic::doneEntries(folder(), {567, 567, here(), kToday});
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
        QCOMPARE(clinic::sizeText(monitor), text);
        QCOMPARE(clinic::knownSizeMm(monitor).isEmpty(), text == QStringLiteral("size unknown"));
    }

    // A calibration made here is judged against the monitor's size only where that is known:
    // 700 is 24 % off the 510 x 287 mm reported, and off nothing where Qt made the size up.
    void farFromAnUnknownSizeIsNoNote()
    {
        write(kArchiveHere + keysHere(700, 567));
        clinic::Monitor monitor = here();
        QCOMPARE(
            clinic::judgeCalibration(folder(), 700, 567, monitor).note, NoteCase::FarFromReported);
        monitor.physicalSizeMm = QSizeF(508, 285.75); // 1920 x 1080 at 96 dpi
        QCOMPARE(clinic::judgeCalibration(folder(), 700, 567, monitor).note, NoteCase::None);
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
};

QTEST_GUILESS_MAIN(TestClinic)
#include "test_clinic.moc"
