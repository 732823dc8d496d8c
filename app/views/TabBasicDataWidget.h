#pragma once

#include "PlotHost.h"

#include <QWidget>
#include <memory>

namespace Ui {
class TabBasicDataWidget;
}
class QLineEdit;

// Acceleration, angular rate and magnetic field: numbers and plots.
class TabBasicDataWidget : public QWidget
{
    Q_OBJECT
public:
    explicit TabBasicDataWidget(QWidget* parent = nullptr);
    ~TabBasicDataWidget() override;

    void setAccelPlot(QWidget* plot) { hostAccel.set(plot); }
    void setGyroPlot(QWidget* plot) { hostGyro.set(plot); }
    void setMagPlot(QWidget* plot) { hostMag.set(plot); }
    void clearPlots();
    // accel xyz, gyro xyz, mag xyz
    void updateValues(const double v[9]);

protected:
    void changeEvent(QEvent* event) override;

private:
    std::unique_ptr<Ui::TabBasicDataWidget> ui;
    PlotHost hostAccel;
    PlotHost hostGyro;
    PlotHost hostMag;
    QLineEdit* fields[9];
};
