// The floors of the start-up benchmark: the least a Qt Widgets program does to show one window,
// sized like the start screen so that the first frames fill the same number of pixels. Given
// "text", the window also shows one line in the start screen's bold face, which is the part
// of the floor that pays for finding and loading fonts.
#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QWidget>

#include <cstring>

namespace {
// The start screen's client area at 96 dots per inch.
constexpr int kWidth = 727;
constexpr int kHeight = 533;
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Start-up floor"));
    window.resize(kWidth, kHeight);
    if (argc > 1 && std::strcmp(argv[1], "text") == 0) {
        auto *label = new QLabel(QStringLiteral("Screen Resolution 1024 x 768"), &window);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(9.6);
        font.setBold(true);
        label->setFont(font);
        label->move(64, 64);
    }
    window.show();
    return app.exec();
}
