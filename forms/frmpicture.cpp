#include "forms/frmpicture.h"

#include "forms/designtable.h"

#include <QLabel>

namespace {
using design::Kind;
constexpr auto Default = design::kDefault;
constexpr qreal DefaultFont = design::kDefaultFont;

// Never shown; named all the same, like every other window of the program.
constexpr design::Window kWindow {"frmpicture", "picture", 2760, 1008, Default,
    QT_TRANSLATE_NOOP("frmpicture", "Ring pictures"),
    QT_TRANSLATE_NOOP(
        "frmpicture", "Hidden holder of the three target rings of the measurement screen")};

// The window is never shown, so its pictures take no focus.
// clang-format off
constexpr design::Control kControls[] = {
    // name, kind, container, picture, left, top, width, height (twips), back, text colour,
    // points, tab; accessible name, description
    {"Picture1", Kind::Picture, nullptr, ":/pictures/ring_red.png", 120, 240, 612, 612, Default, Default, DefaultFont, 0,
        QT_TRANSLATE_NOOP("frmpicture", "Red ring"), QT_TRANSLATE_NOOP("frmpicture", "Target ring for the measurement screen, 43 by 43 pixels")},
    {"Picture2", Kind::Picture, nullptr, ":/pictures/ring_blue.png", 960, 240, 612, 612, Default, Default, DefaultFont, 1,
        QT_TRANSLATE_NOOP("frmpicture", "Blue ring"), QT_TRANSLATE_NOOP("frmpicture", "Target ring for the measurement screen, 43 by 43 pixels")},
    {"Picture3", Kind::Picture, nullptr, ":/pictures/ring_green.png", 1680, 240, 612, 612, Default, Default, DefaultFont, 2,
        QT_TRANSLATE_NOOP("frmpicture", "Green ring"), QT_TRANSLATE_NOOP("frmpicture", "Target ring for the measurement screen, 43 by 43 pixels")},
};
// clang-format on
} // namespace

frmpicture::frmpicture(QWidget *parent)
    : QWidget(parent)
{
    const design::Controls controls = design::build(this, kWindow, kControls);
    Picture1 = controls.get<QLabel>("Picture1");
    Picture2 = controls.get<QLabel>("Picture2");
    Picture3 = controls.get<QLabel>("Picture3");
}
