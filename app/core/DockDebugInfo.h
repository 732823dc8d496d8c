#pragma once

#include <QDockWidget>
#include <QStringList>
#include <memory>

namespace Ui {
class DockDebugInfo;
}

// Shows the selected device's log lines.
class DockDebugInfo : public QDockWidget
{
    Q_OBJECT
public:
    explicit DockDebugInfo(QWidget* parent = nullptr);
    ~DockDebugInfo() override;

    QString text() const;

signals:
    void sigCloseWindow();

public slots:
    void slotAddDebugInfo(QStringList listDebug, bool isClear);

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<Ui::DockDebugInfo> ui;
    QStringList listShown;
};
