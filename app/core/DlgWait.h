#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class DlgWait;
}
class QMovie;

// A small frameless "loading" window with an animation.
class DlgWait : public QDialog
{
    Q_OBJECT
public:
    DlgWait(QString text, QWidget* parent = nullptr);
    ~DlgWait() override;

private:
    std::unique_ptr<Ui::DlgWait> ui;
    QMovie* pMovie;
};
