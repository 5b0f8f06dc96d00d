// The start screen and the picture holder as they are created, on 96 and 120 dpi screens.
#include "forms/frmpicture.h"
#include "measure/form1.h"
#include "start/frmstart.h"

#include "tests/testmain.h"
#include "tests/testsupport.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

class TestDesigns final : public testsupport::ProgramTest
{
    Q_OBJECT

private:
    static bool at120dpi() { return testsupport::testScreen().dpi == 120; }
    static QRect box(QWidget *window, const char *name)
    {
        auto *control = window->findChild<QWidget *>(QLatin1String(name));
        return control ? control->geometry() : QRect();
    }

private Q_SLOTS:
    void screenIsAsConfigured()
    {
        QCOMPARE(QGuiApplication::primaryScreen()->logicalDotsPerInchX(), at120dpi() ? 120. : 96.);
    }

    // Boxes come from the design's twips: 12 twips a pixel at 120 dpi, 15 at 96 dpi, rounded.
    void startScreenBoxes_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QRect>("at96");
        QTest::addColumn<QRect>("at120");
        QTest::newRow("Filter frame")
            << QByteArray("Frame1") << QRect(64, 56, 185, 169) << QRect(80, 70, 231, 211);
        QTest::newRow("first filter option, in its frame")
            << QByteArray("Option1") << QRect(16, 32, 161, 25) << QRect(20, 40, 201, 31);
        QTest::newRow("Left, in its frame")
            << QByteArray("Option7") << QRect(16, 80, 73, 25) << QRect(20, 100, 91, 31);
        QTest::newRow("Fix Eye frame")
            << QByteArray("Frame3") << QRect(440, 56, 89, 121) << QRect(550, 70, 111, 151);
        QTest::newRow("resolu") << QByteArray("resolu") << QRect(352, 192, 137, 41)
                                << QRect(440, 240, 171, 51);
        QTest::newRow("cali") << QByteArray("cali") << QRect(96, 312, 153, 41)
                              << QRect(120, 390, 191, 51);
        QTest::newRow("Start") << QByteArray("Command1") << QRect(192, 384, 89, 33)
                               << QRect(240, 480, 111, 41);
        // The title picture keeps its own 254 x 195 pixels on every screen.
        QTest::newRow("title picture")
            << QByteArray("Image1") << QRect(312, 256, 254, 195) << QRect(390, 320, 254, 195);
    }
    void startScreenBoxes()
    {
        QFETCH(QByteArray, name);
        QFETCH(QRect, at96);
        QFETCH(QRect, at120);
        frmstartValues values;
        frmstart window(values, *m_program);
        QCOMPARE(box(&window, name.constData()), at120dpi() ? at120 : at96);
    }

    void startScreenCaptionsAndGroups()
    {
        frmstartValues values;
        frmstart window(values, *m_program);
        const QList<std::pair<const char *, const char *>> options
            = {{"Option1", "Frame1"}, {"Option4", "Frame1"}, {"Option5", "Frame2"},
                {"Option7", "Frame2"}, {"Option8", "Frame3"}, {"Option9", "Frame3"}};
        for (const auto &[option, frame] : options) {
            auto *button = window.findChild<QRadioButton *>(QLatin1String(option));
            QCOMPARE(button->parentWidget()->objectName(), QLatin1String(frame));
            QVERIFY2(!button->isChecked(), option); // nothing selected until the file is read
        }
        const auto title = [&](const char *frame) {
            return window.findChild<QGroupBox *>(QLatin1String(frame))->title();
        };
        QCOMPARE(title("Frame1"), QStringLiteral("Filter"));
        QCOMPARE(title("Frame2"), QStringLiteral("Target"));
        QCOMPARE(title("Frame3"), QStringLiteral("Fix Eye"));
        const auto text = [&](const char *button) {
            return window.findChild<QPushButton *>(QLatin1String(button))->text();
        };
        QCOMPARE(text("Command1"), QStringLiteral("Start"));
        QCOMPARE(text("Command2"), QStringLiteral("Exit"));
        QCOMPARE(text("Command3"), QStringLiteral("Calibrate"));
    }

    // The screen is grey on every desktop theme, with the Filter frame lighter and the title
    // picture's sky blue standing out as a panel.
    void startScreenColours()
    {
        frmstartValues values;
        frmstart window(values, *m_program);
        window.resize(800, 600);
        const QImage shot = window.grab().toImage();
        QCOMPARE(QColor(shot.pixel(2, 2)), QColor(128, 128, 128));
        const QRect frame1 = box(&window, "Frame1");
        QCOMPARE(QColor(shot.pixel(frame1.left() + 4, frame1.bottom() - 4)), QColor(192, 192, 192));
        const QRect title = box(&window, "Image1");
        QCOMPARE(QColor(shot.pixel(title.center())).rgb(), QColor(166, 202, 240).rgb());
    }

    void startScreenFocusOrder()
    {
        m_program->showFrmstart();
        QWidget *window = m_program->current();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Command1"));
        QStringList visited;
        for (int i = 0; i < 12; ++i) {
            visited << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        // From "Start" to each group's selected choice ("Tab" enters a group at its choice),
        // "Exit", and "Calibrate" last.
        QCOMPARE(visited.first(), QStringLiteral("Command1"));
        QVERIFY(visited.indexOf(QStringLiteral("Command2"))
            > visited.indexOf(QStringLiteral("Option5")));
        QVERIFY(visited.indexOf(QStringLiteral("Command3"))
            > visited.indexOf(QStringLiteral("Option9")));
    }

    // Within a group the arrow keys move the choice; the other groups keep theirs.
    void arrowKeysMoveWithinAGroup()
    {
        m_program->showFrmstart();
        QWidget *window = m_program->current();
        QVERIFY(QTest::qWaitForWindowActive(window));
        auto *center = window->findChild<QRadioButton *>(QStringLiteral("Option5"));
        center->setFocus();
        QTest::keyClick(center, Qt::Key_Down);
        QVERIFY(window->findChild<QRadioButton *>(QStringLiteral("Option6"))->isChecked());
        QVERIFY(window->findChild<QRadioButton *>(QStringLiteral("Option1"))->isChecked());
        QVERIFY(window->findChild<QRadioButton *>(QStringLiteral("Option9"))->isChecked());
    }

    // The focused push button is pressed by Enter as well as by the space bar.
    void enterAndSpacePressTheFocusedButton_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
        QTest::newRow("space") << int(Qt::Key_Space);
    }
    void enterAndSpacePressTheFocusedButton()
    {
        QFETCH(int, key);
        m_program->showFrmstart();
        QWidget *window = m_program->current();
        QVERIFY(QTest::qWaitForWindowActive(window));
        auto *exit = window->findChild<QPushButton *>(QStringLiteral("Command2"));
        exit->setFocus();
        QTest::keyClick(exit, Qt::Key(key));
        QVERIFY(m_program->ended());
        QVERIFY(m_folder->hasSettings());
    }

    // The measurement screen as created, before its loading moves anything: black behind the
    // black-backed ring, grey result text, the boxes from the design's twips.
    void measurementScreenAsCreated()
    {
        Form1Values values;
        Form1 window(values, *m_program);
        QCOMPARE(
            box(&window, "HPD"), at120dpi() ? QRect(800, 40, 121, 21) : QRect(640, 32, 97, 17));
        QCOMPARE(
            box(&window, "PDEye"), at120dpi() ? QRect(800, 80, 121, 21) : QRect(640, 64, 97, 17));
        QCOMPARE(
            box(&window, "target"), at120dpi() ? QRect(440, 400, 71, 71) : QRect(352, 320, 57, 57));
        window.resize(1024, 768);
        const QImage shot = window.grab().toImage();
        QCOMPARE(QColor(shot.pixel(5, 5)), QColor(0, 0, 0));
        const QRect target = box(&window, "target");
        QCOMPARE(
            QColor(shot.pixel(target.bottomRight())), QColor(0, 0, 0)); // the box, past the ring
        QCOMPARE(
            QColor(shot.pixel(target.left() + 21, target.top())), QColor(0, 0, 255)); // blue ring
        auto *hpd = window.findChild<QLabel *>(QStringLiteral("HPD"));
        QCOMPARE(hpd->palette().color(QPalette::WindowText), QColor(128, 128, 128));
        QCOMPARE(hpd->palette().color(QPalette::Window), QColor(0, 0, 0));
    }

    void pictureHolder()
    {
        frmpicture holder;
        QCOMPARE(holder.windowTitle(), QStringLiteral("picture"));
        QVERIFY(!holder.isVisible());
        const QList<std::pair<QLabel *, QRect>> pictures
            = {{holder.Picture1, at120dpi() ? QRect(10, 20, 51, 51) : QRect(8, 16, 41, 41)},
                {holder.Picture2, at120dpi() ? QRect(80, 20, 51, 51) : QRect(64, 16, 41, 41)},
                {holder.Picture3, at120dpi() ? QRect(140, 20, 51, 51) : QRect(112, 16, 41, 41)}};
        for (const auto &[picture, place] : pictures) {
            QCOMPARE(picture->geometry(), place);
            QCOMPARE(picture->pixmap().size(), QSize(43, 43));
        }
    }
};

KELVANE_TEST_MAIN(TestDesigns)
#include "test_designs.moc"
