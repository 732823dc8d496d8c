#pragma once

#include <QProxyStyle>

// The style of the read-only number fields that change on every refresh.
// Their frame (an antialiased rounded outline) costs more to draw than the
// text; it depends only on the size, the state and the palette, so it is
// drawn once into a cached pixmap and copied. Everything else is drawn by
// the style in use.
class NumberFieldStyle : public QProxyStyle
{
public:
    explicit NumberFieldStyle(QObject* owner);

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
};
