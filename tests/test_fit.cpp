// Small screens and large fonts: every control of the start and calibration screens stands
// whole on the screen, and the calibration screen's controls keep clear of each other.
#include "calibrate/frmcali.h"
#include "clinic/visit.h"

#include "start/frmstart.h"
#include "tests/testmain.h"
#include "tests/testsupport.h"

#include <QGuiApplication>
#include <QLabel>
#include <QRegularExpression>
#include <QScreen>

class TestFit final : public testsupport::ProgramTest
{
    Q_OBJECT

    // Every visible control's box lies inside the window, which covers the screen's room.
    static void expectAllInside(QWidget *window)
    {
        const QRect inside = window->rect();
        const QList<QWidget *> controls = window->findChildren<QWidget *>();
        QVERIFY(!controls.isEmpty());
        for (const QWidget *control : controls) {
            if (!control->isVisible() || control->parentWidget() != window)
                continue;
            QVERIFY2(inside.contains(control->geometry()),
                qPrintable(control->objectName() + QStringLiteral(" stands off the screen")));
        }
    }

private Q_SLOTS:
    void calibrationScreen()
    {
        m_folder->writeSettings(testsupport::kDefaultSettings);
        m_program->showFrmCali();
        auto *window = currentWindow<FrmCali>();
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        expectAllInside(window);
        // The captions share their band, as the design has them; nothing else touches.
        const char *names[] = {"Image1", "resolu", "Cancel", "Done", "HScroll1", "HPO", "VScroll1",
            "VPO", "HLength", "VLength", "MonitorSize", "HChoice", "VChoice"};
        for (const char *a : names) {
            for (const char *b : names) {
                const auto *wa = window->findChild<QWidget *>(QLatin1String(a));
                const auto *wb = window->findChild<QWidget *>(QLatin1String(b));
                QVERIFY2(wa == wb || !wa->geometry().intersects(wb->geometry()),
                    qPrintable(QStringLiteral("%1 runs into %2").arg(a, b)));
            }
        }
        const QRect captions = window->findChild<QLabel *>(QStringLiteral("resolu"))->geometry()
            | window->findChild<QLabel *>(QStringLiteral("cali"))->geometry();
        for (const char *name : {"Image1", "Cancel", "Done"})
            QVERIFY(!captions.intersects(
                window->findChild<QWidget *>(QLatin1String(name))->geometry()));

        // Every caption reads whole: the lengths' labels, the lists, the values (up to the
        // largest with a half) and the monitor's size in their boxes, the texts written on the
        // picture inside it. The row above the across axis keeps clear of its mark's stroke
        // (rows 70 to 130) at any dpi.
        const auto *picture = window->findChild<QWidget *>(QStringLiteral("Image1"));
        for (const QLabel *label : window->findChildren<QLabel *>()) {
            if (label == picture || !label->isVisible())
                continue;
            QVERIFY2(label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                       : label->sizeHint().width() <= label->width(),
                qPrintable(label->objectName() + QStringLiteral(" is cut: ") + label->text()));
            if (label->parentWidget() == picture)
                QVERIFY2(picture->rect().contains(label->geometry()), qPrintable(label->text()));
        }
        for (const char *name : {"HChoice", "VChoice", "HPO", "VPO", "MonitorSize"}) {
            const auto *control = window->findChild<QWidget *>(QLatin1String(name));
            QVERIFY2(control->width() >= control->sizeHint().width(), name);
        }
        for (const char *name : {"HLength", "HChoice", "MonitorSize"})
            QVERIFY2(
                window->findChild<QWidget *>(QLatin1String(name))->geometry().bottom() < 70, name);
        QVERIFY(window->findChild<QWidget *>(QStringLiteral("MonitorSize"))->isVisible());
    }

    // Every note on the calibration in use is read whole: its lines fit the label's box.
    void startScreen_data()
    {
        QTest::addColumn<QByteArray>("file");
        const testsupport::TestScreen screen = testsupport::testScreen();
        const QByteArray inUse("[Screen]\nSCREENH= 567\nSCREENV= 567\n");
        QTest::newRow("never calibrated") << QByteArray();
        QTest::newRow("another monitor") << inUse
                + testsupport::calibrationRecords("HDMI-1", screen.width, screen.height, 567, 567);
        QTest::newRow("another resolution")
            << inUse + testsupport::calibrationRecords("screen0", 2560, 1440, 567, 567);
        QTest::newRow("changed outside") << inUse;
        QTest::newRow("far from the reported size") << "[Screen]\nSCREENH= 100\nSCREENV= 100\n"
                + testsupport::calibrationRecords("screen0", screen.width, screen.height, 100, 100);
    }
    void startScreen()
    {
        QFETCH(QByteArray, file);
        if (!file.isEmpty())
            m_folder->writeSettings(file);
        // A measurement made: "Results" is shown and must fit as well.
        clinic::VisitResult measured;
        measured.measuredAt = QDateTime::currentDateTimeUtc();
        m_program->visit().add(measured);
        m_program->showFrmstart();
        auto *window = currentWindow<frmstart>();
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        expectAllInside(window);
        const auto *note = window->findChild<QLabel *>(QStringLiteral("caliNote"));
        QVERIFY(note && note->isVisible());
        QVERIFY2(note->heightForWidth(note->width()) <= note->height(),
            qPrintable(QStringLiteral("%1 rows of text in a box of %2: %3")
                           .arg(note->heightForWidth(note->width()))
                           .arg(note->height())
                           .arg(note->text())));
        // Two monitors of one size showing one picture: nothing to say of them.
        QVERIFY(!note->text().contains(QStringLiteral("Mirrored")));

        // The resolution, then the monitor's whole name and size: every word within the box,
        // every line in it.
        const auto *monitor = window->findChild<QLabel *>(QStringLiteral("monitor"));
        QVERIFY(monitor && monitor->isVisible());
        QVERIFY2(monitor->text().startsWith(QGuiApplication::primaryScreen()->name() + " (")
                && monitor->text().endsWith(QStringLiteral(" mm)")),
            qPrintable(monitor->text()));
        for (const QString &word : monitor->text().split(QLatin1Char(' '))) {
            QVERIFY2(monitor->fontMetrics().horizontalAdvance(word) <= monitor->width(),
                qPrintable(word));
        }
        for (const char *name : {"resolu", "monitor"}) {
            const auto *label = window->findChild<QLabel *>(QLatin1String(name));
            QVERIFY2(label->heightForWidth(label->width()) <= label->height(), name);
        }

        // The title picture, drawn at its own size whatever its box, is covered by nothing.
        const auto *title = window->findChild<QLabel *>(QStringLiteral("Image1"));
        const QRect drawn(title->pos(), title->pixmap().size());
        for (const QWidget *control : window->findChildren<QWidget *>()) {
            if (control != title && control->parentWidget() == window && control->isVisible())
                QVERIFY2(!drawn.intersects(control->geometry()), qPrintable(control->objectName()));
        }
    }
};

KELVANE_TEST_MAIN(TestFit)
#include "test_fit.moc"
