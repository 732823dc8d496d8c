#include "NumberFieldStyle.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QStyleOption>

NumberFieldStyle::NumberFieldStyle(QObject* owner)
    : QProxyStyle(QApplication::style()->objectName())
{
    setParent(owner);
}

void NumberFieldStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                     const QWidget* widget) const
{
    const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
    if (element != PE_PanelLineEdit || !frame || !(option->state & State_ReadOnly) || option->rect.isEmpty()) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const qreal ratio = painter->device()->devicePixelRatioF();
    const QString key = QStringLiteral("strideloom-field-%1x%2-%3-%4-%5-%6-%7")
                            .arg(option->rect.width())
                            .arg(option->rect.height())
                            .arg(int(option->state))
                            .arg(option->palette.cacheKey())
                            .arg(frame->lineWidth)
                            .arg(int(frame->features))
                            .arg(ratio);
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        pixmap = QPixmap(option->rect.size() * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QStyleOptionFrame local(*frame);
        local.rect = QRect(QPoint(0, 0), option->rect.size());
        QPainter p(&pixmap);
        QProxyStyle::drawPrimitive(element, &local, &p, widget);
        p.end();
        QPixmapCache::insert(key, pixmap);
    }
    painter->drawPixmap(option->rect.topLeft(), pixmap);
}
