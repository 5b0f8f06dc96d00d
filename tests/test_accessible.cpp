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
#include <QRegularExpression>
#include <QTranslator>

using testsupport::ProgramFolder;

// A translation that marks every text it is asked for, so that a text shown without the mark
// is one that bypassed the translation functions.
class MarkingTranslator final : public QTranslator
{
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char *, const char *source, const char *, int) const override
    {
        return QLatin1Char('[') + QString::fromUtf8(source) + QLatin1Char(']');
    }
};

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
        // A caption's "&" marks its Alt key, and is not spoken.
        if (auto *button = qobject_cast<QAbstractButton *>(widget))
            return QString(button->text()).remove(QLatin1Char('&'));
        if (auto *group = qobject_cast<QGroupBox *>(widget))
            return group->title();
        if (auto *label = qobject_cast<QLabel *>(widget))
            return label->buddy() ? QString(label->text()).remove(QLatin1Char('&')) : label->text();
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
            // A note with nothing to say is hidden, and says nothing.
            if (caption(control).isEmpty() && !control->isVisibleTo(window))
                continue;
            QVERIFY2(!name.isEmpty(), qPrintable(where + QStringLiteral(" has no name")));
            QVERIFY2(name.contains(caption(control).trimmed()),
                qPrintable(where + QStringLiteral(": name \"") + name
                    + QStringLiteral("\" lacks its caption \"") + caption(control) + '"'));
            QVERIFY2(!read(control, QAccessible::Description).isEmpty(),
                qPrintable(where + QStringLiteral(" has no description")));
            QVERIFY2(!names.contains(name), qPrintable(where + QStringLiteral(" shares ") + name));
            names.insert(name);
        }
        // The window, 4 frames, 11 options, 3 readouts (the monitor's name among them), the
        // title, 5 buttons ("Results" hidden until the visit holds a result), the calibration
        // note, the distance's caption, box and text field, and the Hess fields' note.
        QCOMPARE(names.size(), 30);
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
        QCOMPARE(read(window->findChild<QLabel *>(QStringLiteral("monitor")), QAccessible::Name),
            QStringLiteral("screen0 (260 x 195 mm)"));
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
            if (where.isEmpty() || where.startsWith(QLatin1String("qt_"))
                || where.endsWith(QLatin1String("line")) || where.endsWith(QLatin1String("cursor")))
                continue; // parts of a control (Qt names its own), or drawn lines
            QVERIFY2(!read(control, QAccessible::Name).isEmpty(),
                qPrintable(where + QStringLiteral(" has no name")));
            QVERIFY2(!read(control, QAccessible::Description).isEmpty(),
                qPrintable(where + QStringLiteral(" has no description")));
        }
    }

    // With a translation loaded, every caption, title and accessible text of every window is
    // the translation's: only the program's name, the design's names of the full-screen
    // windows, the eye abbreviations, "--" and numbers stay as they are.
    void everyTextIsTranslated_data()
    {
        QTest::addColumn<QString>("window");
        QTest::newRow("start screen") << QStringLiteral("frmstart");
        QTest::newRow("measurement screen") << QStringLiteral("Form1");
        QTest::newRow("calibration screen") << QStringLiteral("FrmCali");
        QTest::newRow("ring pictures") << QStringLiteral("frmpicture");
    }
    void everyTextIsTranslated()
    {
        QFETCH(QString, window);
        MarkingTranslator translation;
        QVERIFY(QCoreApplication::installTranslator(&translation));
        QWidget *shown = nullptr;
        if (window == QLatin1String("frmstart")) {
            m_program->showFrmstart();
            shown = m_program->current();
        } else if (window == QLatin1String("Form1")) {
            m_program->showForm1();
            shown = m_program->current();
        } else if (window == QLatin1String("FrmCali")) {
            m_program->showFrmCali();
            shown = m_program->current();
        } else {
            shown = &m_program->loadFrmpicture();
        }
        QVERIFY(shown);
        QCOMPARE(shown->objectName(), window);
        static const QSet<QString> kept {QStringLiteral("Kelvane"), QStringLiteral("Form1"),
            QStringLiteral("Form2"), QStringLiteral("OD"), QStringLiteral("OS"),
            QStringLiteral("--")};
        static const QRegularExpression number(QStringLiteral("^[0-9.,]+$"));
        for (QWidget *control : controls(shown)) {
            if (!control->isVisibleTo(shown) && control != shown)
                continue; // the measurement screen's hidden placeholders
            const QString texts[]
                = {caption(control), control->accessibleName(), control->accessibleDescription()};
            for (const QString &text : texts) {
                QVERIFY2(text.isEmpty() || kept.contains(text) || number.match(text).hasMatch()
                        || (text.startsWith(QLatin1Char('[')) && text.endsWith(QLatin1Char(']'))),
                    qPrintable(control->objectName() + QStringLiteral(" shows \"") + text
                        + QStringLiteral("\" untranslated")));
            }
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
