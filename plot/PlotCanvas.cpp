#include "PlotCanvas.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <qwt_plot_item.h>

PlotCanvas::PlotCanvas(QwtPlot* plot)
    : QwtPlotCanvas(plot)
{
    // Every pixel is painted on every redraw (Qwt fills the corners with what
    // lies beneath), so the widgets under the canvas need not repaint.
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    // Every redraw draws the curves anew: a backing pixmap would only add a
    // copy of the whole canvas to each.
    setPaintAttribute(QwtPlotCanvas::BackingStore, false);
}

bool PlotCanvas::AxisKey::operator==(const AxisKey& o) const
{
    return s1 == o.s1 && s2 == o.s2 && p1 == o.p1 && p2 == o.p2 && div == o.div;
}

void PlotCanvas::invalidateBackdrop()
{
    backdrop = QImage();
}

void PlotCanvas::forgetBand()
{
    bandKnown = false;
}

void PlotCanvas::redrawBetween(int yAxis, double lo, double hi)
{
    const QRect area = contentsRect();
    QRect band;
    if (lo <= hi && plot()) {
        const QwtScaleMap map = plot()->canvasMap(yAxis);
        // Clamped to just beyond the canvas: values far off the scale must
        // not overflow the conversion to pixels.
        // (fmax/fmin, unlike clamp, also take a NaN to a limit).
        const double a = std::fmax(area.top() - 4.0, std::fmin(map.transform(lo), area.bottom() + 4.0));
        const double b = std::fmax(area.top() - 4.0, std::fmin(map.transform(hi), area.bottom() + 4.0));
        // A pixel and the pen's width of margin on either side.
        const int top = int(std::floor(std::min(a, b))) - 2;
        const int bottom = int(std::ceil(std::max(a, b))) + 2;
        band = QRect(area.left(), top, area.width(), bottom - top + 1) & area;
    }
    update(bandKnown ? (band | lastBand) : area);
    lastBand = band;
    bandKnown = true;
}

bool PlotCanvas::inBackdrop(const QwtPlot* plot, const QwtPlotItem* item)
{
    const auto isStatic = [](const QwtPlotItem* i) {
        return i->rtti() == QwtPlotItem::Rtti_PlotGrid || i->rtti() == QwtPlotItem::Rtti_PlotMarker;
    };
    if (!isStatic(item))
        return false;
    for (const QwtPlotItem* other : plot->itemList())
        if (other->isVisible() && !isStatic(other) && other->z() <= item->z())
            return false;
    return true;
}

void PlotCanvas::drawItems(const QwtPlot* plot, QPainter* painter, const QwtScaleMap maps[QwtPlot::axisCnt],
                           const QRectF& area, bool backdropOnes)
{
    for (const QwtPlotItem* item : plot->itemList()) {
        if (!item->isVisible() || inBackdrop(plot, item) != backdropOnes)
            continue;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, item->testRenderHint(QwtPlotItem::RenderAntialiased));
        item->draw(painter, maps[item->xAxis()], maps[item->yAxis()], area);
        painter->restore();
    }
}

bool PlotCanvas::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Resize:
    case QEvent::Move:
    case QEvent::StyleChange:
    case QEvent::PaletteChange:
    case QEvent::PolishRequest:
        backdrop = QImage();
        break;
    default:
        break;
    }
    return QwtPlotCanvas::event(event);
}

PlotCanvas::Key PlotCanvas::currentKey(const QwtScaleMap maps[QwtPlot::axisCnt]) const
{
    Key key;
    key.size = size();
    key.axes.resize(QwtPlot::axisCnt);
    for (int a = 0; a < QwtPlot::axisCnt; ++a)
        key.axes[a] = {maps[a].s1(), maps[a].s2(), maps[a].p1(), maps[a].p2(), plot()->axisScaleDiv(a)};
    for (const QwtPlotItem* item : plot()->itemList())
        if (item->isVisible() && inBackdrop(plot(), item))
            key.items << item;
    return key;
}

void PlotCanvas::scheduleBackdrop()
{
    if (backdropPending)
        return;
    backdropPending = true;
    // A widget cannot be rendered inside its own paint event.
    QTimer::singleShot(0, this, [this] {
        backdropPending = false;
        takeBackdrop();
    });
}

void PlotCanvas::takeBackdrop()
{
    if (!isVisible() || !plot())
        return;
    QwtScaleMap maps[QwtPlot::axisCnt];
    for (int a = 0; a < QwtPlot::axisCnt; ++a)
        maps[a] = plot()->canvasMap(a);
    backdropKey = currentKey(maps);

    const qreal ratio = devicePixelRatioF();
    QImage image(size() * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(palette().color(QPalette::Window));
    grabbing = true;
    render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    grabbing = false;
    backdrop = image;

    corners = QImage();
    cornerRects.clear();
    const QPainterPath outline = borderPath(rect());
    const QRegion outside =
        outline.isEmpty() ? QRegion() : QRegion(rect()).subtracted(QRegion(outline.toFillPolygon().toPolygon()));
    if (!outside.isEmpty()) {
        corners = QImage(backdrop.size(), QImage::Format_ARGB32_Premultiplied);
        corners.setDevicePixelRatio(ratio);
        corners.fill(Qt::transparent);
        QPainter p(&corners);
        p.setClipRegion(outside);
        p.drawImage(0, 0, backdrop);
        const QPoint mid = rect().center();
        const QRect quadrants[] = {QRect(QPoint(0, 0), mid), QRect(QPoint(mid.x() + 1, 0), QPoint(width(), mid.y())),
                                   QRect(QPoint(0, mid.y() + 1), QPoint(mid.x(), height())),
                                   QRect(QPoint(mid.x() + 1, mid.y() + 1), QPoint(width(), height()))};
        for (const QRect& quadrant : quadrants) {
            const QRect r = outside.intersected(quadrant).boundingRect();
            if (!r.isEmpty())
                cornerRects << r;
        }
    }
    update();
}

void PlotCanvas::paintEvent(QPaintEvent* event)
{
    if (grabbing || !plot()) {
        QwtPlotCanvas::paintEvent(event);
        return;
    }
    QwtScaleMap maps[QwtPlot::axisCnt];
    for (int a = 0; a < QwtPlot::axisCnt; ++a)
        maps[a] = plot()->canvasMap(a);
    if (backdrop.isNull() || !(currentKey(maps) == backdropKey)) {
        // Drawn the slow way until the backdrop is up to date again.
        QwtPlotCanvas::paintEvent(event);
        scheduleBackdrop();
        return;
    }

    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.drawImage(0, 0, backdrop);
    const QRectF area = contentsRect();
    painter.save();
    painter.setClipRect(area, Qt::IntersectClip);
    drawItems(plot(), &painter, maps, area, false);
    painter.restore();
    const qreal ratio = corners.devicePixelRatio();
    for (const QRect& r : cornerRects)
        painter.drawImage(r, corners, QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio));
    if (hasFocus() && focusIndicator() == CanvasFocusIndicator)
        drawFocusIndicator(&painter);
}
