// What assistive technology reads from the start screen and the picture holder, asked through
// Qt's accessibility interfaces as a screen reader asks them.
#include "forms/frmpicture.h"
#include "start/frmstart.h"

#include "tests/testmain.h"
#include "tests/testsupport.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QGroupBox>
#include <QLabel>

using testsupport::ProgramFolder;

class TestAccessible final : public testsupport::ProgramTest
{
    Q_OBJECT

private:
    static QString read(QWidget *widget, QAccessible::Text what)
    {
        QAccessibleInterface *interface = QAccessible::queryAccessibleInterface(widget);
        return interface ? interface->text(what) : QString();
    }
    // The caption a sighted user sees on a control; empty for a picture.
    static QString caption(QWidget *widget)
    {
        if (auto *button = qobject_cast<QAbstractButton *>(widget))
            return button->text();
        if (auto *group = qobject_cast<QGroupBox *>(widget))
            return group->title();
        if (auto *label = qobject_cast<QLabel *>(widget))
            return label->text();
        return widget->windowTitle();
    }
    // The window and every control on it.
    static QList<QWidget *> controls(QWidget *window)
    {
        QList<QWidget *> all {window};
        all += window->findChildren<QWidget *>();
        return all;
    }

private Q_SLOTS:
    // Every control is announced by a name that holds its caption, so that voice control by
    // the caption reaches it, and has a description; no two controls share a name.
    void startScreenControlsAreNamedByTheirCaptions()
    {
        m_program->showFrmstart();
        auto *window = currentWindow<frmstart>();
        QVERIFY(window);
        QSet<QString> names;
        for (QWidget *control : controls(window)) {
            const QString name = read(control, QAccessible::Name);
            const QString where = control->objectName();
            QVERIFY2(!name.isEmpty(), qPrintable(where + QStringLiteral(" has no name")));
            QVERIFY2(name.contains(caption(control).trimmed()),
                qPrintable(where + QStringLiteral(": name \"") + name
                    + QStringLiteral("\" lacks its caption \"") + caption(control) + '"'));
            QVERIFY2(!read(control, QAccessible::Description).isEmpty(),
                qPrintable(where + QStringLiteral(" has no description")));
            QVERIFY2(!names.contains(name), qPrintable(where + QStringLiteral(" shares ") + name));
            names.insert(name);
        }
        // The window, 3 frames, 9 options, 2 readouts, the title, 4 buttons ("Results" hidden
        // until the visit holds a result) and the calibration note.
        QCOMPARE(names.size(), 21);
    }

    // The readouts are read with the values the start screen has put into them, not with the
    // captions of the design.
    void readoutsAreReadWithTheirValues()
    {
        m_folder->writeSettings("[Screen]\nSCREENH= 567\nSCREENV= 510\n");
        m_program->showFrmstart();
        auto *window = currentWindow<frmstart>();
        QVERIFY(window);
        auto *resolu = window->findChild<QLabel *>(QStringLiteral("resolu"));
        auto *cali = window->findChild<QLabel *>(QStringLiteral("cali"));
        QCOMPARE(read(resolu, QAccessible::Name).simplified(),
            QStringLiteral("Screen Resolution 1024 x 768"));
        QCOMPARE(read(cali, QAccessible::Name).simplified(),
            QStringLiteral("Calibration Value 567 x 510"));
    }

    // The measurement and calibration screens: every control that a user or a tool meets has
    // a name and a description; lines drawn on the window are not controls.
    void fullScreenControlsAreDescribed_data()
    {
        QTest::addColumn<bool>("measurement");
        QTest::newRow("measurement screen") << true;
        QTest::newRow("calibration screen") << false;
    }
    void fullScreenControlsAreDescribed()
    {
        QFETCH(bool, measurement);
        if (measurement)
            m_program->showForm1();
        else
            m_program->showFrmCali();
        QWidget *window = m_program->current();
        QVERIFY(window);
        for (QWidget *control : controls(window)) {
            if (!control->isVisibleTo(window) && control != window)
                continue; // the hidden placeholders of the measurement screen
            const QString where = control->objectName();
            if (where.isEmpty() || where.endsWith(QLatin1String("line"))
                || where.endsWith(QLatin1String("cursor")))
                continue; // parts of a control, or drawn lines
            QVERIFY2(!read(control, QAccessible::Name).isEmpty(),
                qPrintable(where + QStringLiteral(" has no name")));
            QVERIFY2(!read(control, QAccessible::Description).isEmpty(),
                qPrintable(where + QStringLiteral(" has no description")));
        }
    }

    void ringPicturesAreNamedByColour()
    {
        frmpicture &holder = m_program->loadFrmpicture();
        QVERIFY(!read(&holder, QAccessible::Name).isEmpty());
        QCOMPARE(read(holder.Picture1, QAccessible::Name), QStringLiteral("Red ring"));
        QCOMPARE(read(holder.Picture2, QAccessible::Name), QStringLiteral("Blue ring"));
        QCOMPARE(read(holder.Picture3, QAccessible::Name), QStringLiteral("Green ring"));
        for (QWidget *picture : {holder.Picture1, holder.Picture2, holder.Picture3})
            QVERIFY(!read(picture, QAccessible::Description).isEmpty());
    }
};

KELVANE_TEST_MAIN(TestAccessible)
#include "test_accessible.moc"
