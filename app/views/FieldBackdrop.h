#pragma once

#include <QHash>
#include <QObject>
#include <QPixmap>

class QLineEdit;
class QWidget;

// The number fields change on every refresh. A field that is not opaque
// makes its group box repaint beneath it each time, and the style draws a
// group box's frame slowly (it loads the frame's image anew on every
// paint). Each field is made opaque instead and paints first a copy of what
// its group box shows beneath it, taken once and again only after the
// field or the group box changed size, place, style or palette.
class FieldBackdrop : public QObject
{
public:
    explicit FieldBackdrop(QObject* owner);

    void addField(QLineEdit* field);
    // Whether the copy beneath this field is taken and current.
    bool hasBackdrop(const QLineEdit* field) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void forget(const QWidget* parent);
    void scheduleTaking();
    void takeMissing();

    // What a group box shows depends on its state as well as its looks.
    struct Copy
    {
        QPixmap pixmap;
        bool enabled = true;
        bool active = true;
    };
    // Copy of the group box beneath each field, by field.
    QHash<const QLineEdit*, Copy> backdrops;
    QList<QLineEdit*> fields;
    bool takingPending = false;
};
