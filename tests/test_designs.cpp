// The windows as they are created, on 96 and 120 dpi screens.
#include "calibrate/frmcali.h"
#include "forms/frmpicture.h"
#include "measure/form1.h"
#include "start/frmstart.h"

#include "tests/testmain.h"
#include "tests/testsupport.h"

#include <QGroupBox>
#include <QLabel>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>

#include <memory>

class TestDesigns final : public testsupport::ProgramTest
{
    Q_OBJECT

private:
    static bool at120dpi() { return testsupport::testScreen().dpi == 120; }
    QWidget *openStartScreen()
    {
        m_program->showFrmstart();
        QWidget *window = m_program->current();
        return QTest::qWaitForWindowActive(window) ? window : nullptr;
    }
    // A window of the given class as created, before any loading.
    std::unique_ptr<QWidget> create(const QString &window)
    {
        if (window == QLatin1String("frmstart"))
            return std::make_unique<frmstart>(m_startValues, *m_program);
        if (window == QLatin1String("Form1"))
            return std::make_unique<Form1>(m_measureValues, *m_program);
        if (window == QLatin1String("FrmCali"))
            return std::make_unique<FrmCali>(m_calibrationValues, *m_program);
        return std::make_unique<frmpicture>();
    }
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
        QTest::newRow("resolu") << QByteArray("resolu") << QRect(296, 184, 303, 20)
                                << QRect(370, 230, 379, 25);
        // Under it, up to the title picture, which stands at 256 and 320.
        QTest::newRow("monitor") << QByteArray("monitor") << QRect(296, 204, 303, 48)
                                 << QRect(370, 255, 379, 60);
        QTest::newRow("cali") << QByteArray("cali") << QRect(96, 312, 153, 41)
                              << QRect(120, 390, 191, 51);
        QTest::newRow("Start") << QByteArray("Command1") << QRect(192, 384, 89, 33)
                               << QRect(240, 480, 111, 41);
        // Under "Exit" and "Start", in the column of "Calibrate".
        QTest::newRow("Results") << QByteArray("Command4") << QRect(120, 432, 105, 33)
                                 << QRect(150, 540, 131, 41);
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
        QCOMPARE(text("Command4"), QStringLiteral("Results"));
    }

    // An option button's round indicator is drawn once for each look and copied after that; the
    // copy is the classic style's own drawing, with the other look already in the cache.
    void optionIndicatorIsTheClassicStyles_data()
    {
        QTest::addColumn<bool>("checked");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("off") << false << true;
        QTest::newRow("on") << true << true;
        QTest::newRow("on, disabled") << true << false;
    }
    void optionIndicatorIsTheClassicStyles()
    {
        QFETCH(bool, checked);
        QFETCH(bool, enabled);
        QRadioButton button(QStringLiteral("OD"));
        button.setAutoExclusive(false);
        button.setAutoFillBackground(true);
        button.setEnabled(enabled);
        button.resize(60, 25);
        button.setChecked(!checked);
        button.grab();
        button.setChecked(checked);
        const QImage copied = button.grab().toImage();
        const std::unique_ptr<QStyle> classic(QStyleFactory::create(QStringLiteral("Windows")));
        button.setStyle(classic.get());
        QCOMPARE(button.grab().toImage(), copied);
    }

    // The step bars keep the classic arrows under the application's own style.
    void stepBarsDrawInTheClassicStyle()
    {
        const auto window = create(QStringLiteral("FrmCali"));
        const auto *bar = window->findChild<QWidget *>(QStringLiteral("HScroll1"));
        const auto *style = qobject_cast<const QProxyStyle *>(bar->style());
        QVERIFY(style && style->baseStyle());
        QCOMPARE(style->baseStyle()->name().toLower(), QStringLiteral("windows"));
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

    // The whole focus order of each window as created, and the control that has the focus
    // when it opens (the first of them). Labels, pictures and lines never take the focus.
    void focusOrder_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("start screen")
            << "frmstart"
            << QStringList {"Command1", "Option4", "Option3", "Option2", "Option1", "Option5",
                   "Option6", "Option7", "Command2", "Option8", "Option9", "Distance", "Option10",
                   "Option11", "Command5", "Command3", "Command4"};
        QTest::newRow("measurement screen") << "Form1" << QStringList {"target"};
        QTest::newRow("calibration screen")
            << "FrmCali"
            << QStringList {"Done", "Cancel", "MonitorSize", "HChoice", "HScroll1", "HPO",
                   "VChoice", "VScroll1", "VPO"};
        QTest::newRow("picture holder") << "frmpicture" << QStringList {};
    }
    void focusOrder()
    {
        QFETCH(QString, window);
        QFETCH(QStringList, order);
        const std::unique_ptr<QWidget> created = create(window);
        // Once round the focus chain, from the control that has the focus at the opening.
        QWidget *first = created->focusWidget() ? created->focusWidget() : created.get();
        QStringList chain;
        QWidget *next = first;
        do {
            // A value box hands the focus on to its own text field, which Qt names.
            if (next->focusPolicy() != Qt::NoFocus
                && !next->objectName().startsWith(QLatin1String("qt_")))
                chain << next->objectName();
            next = next->nextInFocusChain();
        } while (next != first);
        QCOMPARE(chain, order);
    }

    // Captions in the design's bold faces, or in the desktop's own face where it gives none.
    void captionFaces_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<qreal>("points"); // 0: the desktop's face
        QTest::newRow("start: frame") << "frmstart"
                                      << "Frame1" << 13.8;
        QTest::newRow("start: option") << "frmstart"
                                       << "Option9" << 9.6;
        QTest::newRow("start: readout") << "frmstart"
                                        << "cali" << 9.6;
        QTest::newRow("start: button") << "frmstart"
                                       << "Command1" << 13.8;
        QTest::newRow("measurement: result") << "Form1"
                                             << "HPD" << 7.8;
        QTest::newRow("measurement: position") << "Form1"
                                               << "HPosi" << 0.;
        QTest::newRow("calibration: value") << "FrmCali"
                                            << "HPO" << 9.6;
        QTest::newRow("calibration: button") << "FrmCali"
                                             << "Done" << 12.;
        QTest::newRow("calibration: length") << "FrmCali"
                                             << "VLength" << 9.6;
        QTest::newRow("calibration: monitor's size") << "FrmCali"
                                                     << "MonitorSize" << 9.6;
    }
    void captionFaces()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(qreal, points);
        const std::unique_ptr<QWidget> created = create(window);
        const QFont face = created->findChild<QWidget *>(control)->font();
        QCOMPARE(face.bold(), points > 0);
        if (points > 0) {
            QCOMPARE(face.family(), QStringLiteral("DejaVu Sans"));
            QCOMPARE(face.pointSizeF(), points);
        } else {
            QCOMPARE(face, QApplication::font());
        }
    }

    // Each option group is one stop for Tab and Shift+Tab: the selected button, or the first in
    // the group's focus order while none is selected.
    void tabStopsAtTheSelectedOptions_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("stops");
        QTest::newRow("no file") << QByteArray()
                                 << QStringList {"Command1", "Option1", "Option5", "Command2",
                                        "Option9", "Distance", "Option10", "Command5", "Command3"};
        QTest::newRow("filter 3, target 3, eye 2")
            << QByteArray("[Filter]\nFILTER= 3\nTARGET= 3\nFIXEYE= 2\n")
            << QStringList {"Command1", "Option3", "Option7", "Command2", "Option9", "Distance",
                   "Option10", "Command5", "Command3"};
        QTest::newRow("filter 4, target 2, eye 1")
            << QByteArray("[Filter]\nFILTER= 4\nTARGET= 2\nFIXEYE= 1\n")
            << QStringList {"Command1", "Option4", "Option6", "Command2", "Option8", "Distance",
                   "Option10", "Command5", "Command3"};
        QTest::newRow("fractions select nothing")
            << QByteArray("[Filter]\nFILTER= 2.5\nTARGET= 1.5\nFIXEYE= 1.5\n")
            << QStringList {"Command1", "Option4", "Option5", "Command2", "Option8", "Distance",
                   "Option10", "Command5", "Command3"};
    }
    void tabStopsAtTheSelectedOptions()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, stops);
        if (!file.isEmpty())
            m_folder->writeSettings(file);
        QWidget *window = openStartScreen();
        QVERIFY(window);
        QStringList forward;
        for (qsizetype i = 0; i < stops.size(); ++i) {
            forward << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(forward, stops);
        QStringList backward;
        for (qsizetype i = 0; i < stops.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            backward.prepend(QApplication::focusWidget()->objectName());
        }
        QCOMPARE(backward, stops);
    }

    // Within a group the arrow keys move the focus and the selection together, in the group's
    // focus order (the filters from the bottom up), round from the last to the first as the
    // platform's groups do; the other groups keep their choice. Space selects the focused one.
    void keysWithinAGroup_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("tabs"); // from "Start" into the group
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("focused");
        QTest::addColumn<QList<int>>("selected");
        const QByteArray filter3("[Filter]\nFILTER= 3\nTARGET= 3\nFIXEYE= 2\n");
        QTest::newRow("Down: the next filter up the frame")
            << filter3 << 1 << QList<int> {Qt::Key_Down} << "Option2" << QList<int> {2, 7, 9};
        QTest::newRow("Right as Down")
            << filter3 << 1 << QList<int> {Qt::Key_Right} << "Option2" << QList<int> {2, 7, 9};
        QTest::newRow("Up: the filter before")
            << filter3 << 1 << QList<int> {Qt::Key_Up} << "Option4" << QList<int> {4, 7, 9};
        QTest::newRow("Left as Up")
            << filter3 << 1 << QList<int> {Qt::Key_Left} << "Option4" << QList<int> {4, 7, 9};
        QTest::newRow("Down past the last filter goes round")
            << filter3 << 1 << QList<int> {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down} << "Option4"
            << QList<int> {4, 7, 9};
        QTest::newRow("Up past the first filter goes round")
            << filter3 << 1 << QList<int> {Qt::Key_Up, Qt::Key_Up} << "Option1"
            << QList<int> {1, 7, 9};
        QTest::newRow("target: Down from Left to Center")
            << filter3 << 2 << QList<int> {Qt::Key_Down} << "Option5" << QList<int> {3, 5, 9};
        QTest::newRow("eye: Right from OS to OD")
            << filter3 << 4 << QList<int> {Qt::Key_Right} << "Option8" << QList<int> {3, 7, 8};
        const QByteArray none("[Filter]\nFILTER= 2.5\nTARGET= 1\nFIXEYE= 2\n");
        QTest::newRow("none selected: Down selects the second")
            << none << 1 << QList<int> {Qt::Key_Down} << "Option3" << QList<int> {3, 5, 9};
        QTest::newRow("none selected: Space selects the focused")
            << none << 1 << QList<int> {Qt::Key_Space} << "Option4" << QList<int> {4, 5, 9};
    }
    void keysWithinAGroup()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, tabs);
        QFETCH(QList<int>, keys);
        QFETCH(QString, focused);
        QFETCH(QList<int>, selected);
        m_folder->writeSettings(file);
        QWidget *window = openStartScreen();
        QVERIFY(window);
        for (int i = 0; i < tabs; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        for (int key : keys)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QCOMPARE(QApplication::focusWidget()->objectName(), focused);
        QCOMPARE(testsupport::selectedOptions(window), selected);
        // The group's stop for Tab follows its selection.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), focused);
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

private:
    frmstartValues m_startValues;
    Form1Values m_measureValues;
    FrmCaliValues m_calibrationValues;
};

KELVANE_TEST_MAIN(TestDesigns)
#include "test_designs.moc"
