#include "forms/classicstyle.h"

#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QStyleFactory>
#include <QStyleOption>
#include <QWidget>

ClassicStyle::ClassicStyle()
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Windows")))
{
}

void ClassicStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option,
    QPainter *painter, const QWidget *widget) const
{
    if (element == PE_IndicatorRadioButton && option && painter
        && drawRadioFromCache(*option, *painter, widget))
        return;
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

bool ClassicStyle::drawRadioFromCache(
    const QStyleOption &option, QPainter &painter, const QWidget *widget) const
{
    // A copy is the same pixels as the indicator drawn in place only over the one opaque colour
    // the button fills itself with, in whole device pixels, moved by whole pixels and blended
    // as usual; anywhere else the style draws it in place.
    if (!widget || !widget->autoFillBackground() || option.rect.isEmpty())
        return false;
    const QBrush &back = widget->palette().brush(widget->backgroundRole());
    const QTransform &transform = painter.deviceTransform();
    if (back.style() != Qt::SolidPattern || !back.isOpaque()
        || painter.device()->devicePixelRatio() != 1.0 || painter.opacity() != 1.0
        || painter.compositionMode() != QPainter::CompositionMode_SourceOver
        || transform.type() > QTransform::TxTranslate || transform.dx() != qRound(transform.dx())
        || transform.dy() != qRound(transform.dy()))
        return false;

    // Every colour the indicator may be drawn in, its state and its size make one look.
    const QPalette &palette = option.palette;
    QString key = QStringLiteral("kelvane-radio-%1-%2x%3-%4")
                      .arg(uint(option.state))
                      .arg(option.rect.width())
                      .arg(option.rect.height())
                      .arg(back.color().rgba(), 0, 16);
    for (const QPalette::ColorRole role :
        {QPalette::Dark, QPalette::Shadow, QPalette::Light, QPalette::Midlight, QPalette::Mid,
            QPalette::Button, QPalette::Base, QPalette::Text, QPalette::WindowText})
        key += u'-' + QString::number(palette.color(role).rgba(), 16);

    QPixmap look;
    if (!QPixmapCache::find(key, &look)) {
        look = QPixmap(option.rect.size());
        look.fill(back.color());
        QPainter lookPainter(&look);
        lookPainter.translate(-option.rect.topLeft());
        QProxyStyle::drawPrimitive(PE_IndicatorRadioButton, &option, &lookPainter, widget);
        lookPainter.end();
        QPixmapCache::insert(key, look);
    }
    painter.drawPixmap(option.rect.topLeft(), look);
    return true;
}
