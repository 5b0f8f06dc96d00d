#pragma once

#include <QProxyStyle>

// The classic flat style, which draws frames, buttons and scroll bars in exactly the design's
// colours, with each look of an option button's round indicator drawn once: the start screen
// shows eleven, and their antialiased circles were the largest part of its first frame.
class ClassicStyle final : public QProxyStyle
{
public:
    ClassicStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
        const QWidget *widget) const override;

private:
    bool drawRadioFromCache(
        const QStyleOption &option, QPainter &painter, const QWidget *widget) const;
};
