#pragma once

#include <QApplication>

// The program's application object. It hands each key press to the window's own key handler
// before the focused control gets it, which Qt does not do by itself.
class Application final : public QApplication
{
    Q_OBJECT
public:
    Application(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // Gives every window, open or to come, the program's icon. Called a moment after the first
    // window has been drawn; later calls do nothing.
    void setProgramIcon();

    // The character code of a key press, as the window key handlers take it.
    static int keyAscii(const class QKeyEvent &event);

private:
    enum class Icon { Waiting, Scheduled, Set };
    Icon m_icon = Icon::Waiting;
};
