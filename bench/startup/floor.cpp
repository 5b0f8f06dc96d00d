// The floors of the start-up benchmark: the least a Qt Widgets program does to show one window,
// placed and sized like the start screen so that the first frames fill the same number of
// pixels. Given "text", the window also shows one line in the start screen's bold face, which is
// the part of the floor that pays for finding and loading fonts.
#include <QApplication>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QWidget>

#include <cstring>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Start-up floor"));
    if (argc > 1 && std::strcmp(argv[1], "text") == 0) {
        auto *label = new QLabel(QStringLiteral("Screen Resolution 1024 x 768"), &window);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(9.6);
        font.setBold(true);
        label->setFont(font);
        label->move(64, 64);
    }
    // As the start screen comes up: maximized, and without a window manager (as on the
    // benchmark's display) taking the primary screen's available room itself.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        window.setGeometry(screen->availableGeometry());
    window.showMaximized();
    return app.exec();
}
