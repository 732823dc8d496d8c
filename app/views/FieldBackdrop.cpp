#include "FieldBackdrop.h"

#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QTimer>

FieldBackdrop::FieldBackdrop(QObject* owner)
    : QObject(owner)
{
}

void FieldBackdrop::addField(QLineEdit* field)
{
    fields << field;
    field->setAttribute(Qt::WA_OpaquePaintEvent, true);
    field->installEventFilter(this);
    if (QWidget* parent = field->parentWidget())
        parent->installEventFilter(this);
    connect(field, &QObject::destroyed, this, [this, field] {
        fields.removeAll(field);
        backdrops.remove(field);
    });
}

bool FieldBackdrop::hasBackdrop(const QLineEdit* field) const
{
    const auto it = backdrops.constFind(field);
    const QWidget* parent = field->parentWidget();
    // A copy taken on a screen of another pixel ratio would look soft; one
    // taken while the group box was disabled or its window inactive may
    // have other colours.
    return it != backdrops.constEnd() && parent && !it->pixmap.isNull()
           && it->pixmap.devicePixelRatio() == field->devicePixelRatioF() && it->enabled == parent->isEnabled()
           && it->active == parent->isActiveWindow();
}

void FieldBackdrop::forget(const QWidget* parent)
{
    for (const QLineEdit* field : qAsConst(fields))
        if (field->parentWidget() == parent)
            backdrops.remove(field);
}

bool FieldBackdrop::eventFilter(QObject* watched, QEvent* event)
{
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (!field || !fields.contains(field)) {
        // A group box: what lies beneath its fields may have changed.
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::StyleChange:
        case QEvent::PaletteChange:
        case QEvent::FontChange:
        case QEvent::LanguageChange:
            forget(qobject_cast<QWidget*>(watched));
            break;
        default:
            break;
        }
        return false;
    }
    switch (event->type()) {
    case QEvent::Show:
        // A style sheet's polish, before the first show, clears the attribute.
        field->setAttribute(Qt::WA_OpaquePaintEvent, true);
        break;
    case QEvent::StyleChange:
        field->setAttribute(Qt::WA_OpaquePaintEvent, true);
        backdrops.remove(field);
        break;
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::PaletteChange:
        backdrops.remove(field);
        break;
    case QEvent::Paint: {
        // Should a later polish have cleared it, opaque from the next paint.
        field->setAttribute(Qt::WA_OpaquePaintEvent, true);
        QPainter painter(field);
        if (hasBackdrop(field)) {
            painter.drawPixmap(0, 0, backdrops.value(field).pixmap);
        } else {
            // Close to the group box until the copy is taken, a moment later.
            const QWidget* parent = field->parentWidget();
            painter.fillRect(field->rect(), parent ? parent->palette().window() : field->palette().window());
            scheduleTaking();
        }
        break;
    }
    default:
        break;
    }
    return false;
}

void FieldBackdrop::scheduleTaking()
{
    if (takingPending)
        return;
    takingPending = true;
    // A widget cannot be rendered while a paint event is under way.
    QTimer::singleShot(0, this, [this] {
        takingPending = false;
        takeMissing();
    });
}

void FieldBackdrop::takeMissing()
{
    for (QLineEdit* field : qAsConst(fields)) {
        QWidget* parent = field->parentWidget();
        if (!parent || !field->isVisible() || hasBackdrop(field))
            continue;
        const qreal ratio = field->devicePixelRatioF();
        QPixmap copy(field->size() * ratio);
        copy.setDevicePixelRatio(ratio);
        copy.fill(parent->palette().color(parent->backgroundRole()));
        // The group box alone, its own background included, not its children.
        parent->render(&copy, QPoint(), QRegion(field->geometry()), QWidget::DrawWindowBackground);
        backdrops.insert(field, {copy, parent->isEnabled(), parent->isActiveWindow()});
        field->update();
    }
}
