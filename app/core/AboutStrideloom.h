#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class AboutStrideloom;
}

// Version, release date and the about text.
class AboutStrideloom : public QDialog
{
    Q_OBJECT
public:
    explicit AboutStrideloom(QWidget* parent = nullptr);
    ~AboutStrideloom() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    void setTexts();

    std::unique_ptr<Ui::AboutStrideloom> ui;
};
