#pragma once

#include <QWidget>

// One plot slot of a data page: shows the current device's plot widget in
// its container; the widget stays owned by the device's plot.
class PlotHost
{
public:
    explicit PlotHost(QWidget* container = nullptr) : pContainer(container) {}

    void setContainer(QWidget* container) { pContainer = container; }
    void set(QWidget* plot);
    void clear();
    QWidget* current() const { return pShown; }

private:
    QWidget* pContainer;
    QWidget* pShown = nullptr;
};
