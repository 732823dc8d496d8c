#pragma once

#include "PlotHost.h"

#include <QWidget>
#include <memory>

namespace Ui {
class TabExtendDataWidget;
}

// Pressure, altitude and temperature plots.
class TabExtendDataWidget : public QWidget
{
    Q_OBJECT
public:
    explicit TabExtendDataWidget(QWidget* parent = nullptr);
    ~TabExtendDataWidget() override;

    void setPressurePlot(QWidget* plot) { hostPressure.set(plot); }
    void setAltitudePlot(QWidget* plot) { hostAltitude.set(plot); }
    void setTemperaturePlot(QWidget* plot) { hostTemperature.set(plot); }
    void clearPlots();

private:
    std::unique_ptr<Ui::TabExtendDataWidget> ui;
    PlotHost hostPressure;
    PlotHost hostAltitude;
    PlotHost hostTemperature;
};
