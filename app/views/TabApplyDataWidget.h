#pragma once

#include "PlotHost.h"

#include <QWidget>
#include <memory>

namespace Ui {
class TabApplyDataWidget;
}
class QLineEdit;

// Quaternion, Euler angles and linear acceleration.
class TabApplyDataWidget : public QWidget
{
    Q_OBJECT
public:
    explicit TabApplyDataWidget(QWidget* parent = nullptr);
    ~TabApplyDataWidget() override;

    void setQuatPlot(QWidget* plot) { hostQuat.set(plot); }
    void setEulerPlot(QWidget* plot) { hostEuler.set(plot); }
    void setLinearAccelPlot(QWidget* plot) { hostLAccel.set(plot); }
    void clearPlots();
    // quat wxyz, euler xyz; the linear acceleration fields are never written.
    void updateValues(const double v[7]);

protected:
    void changeEvent(QEvent* event) override;

private:
    std::unique_ptr<Ui::TabApplyDataWidget> ui;
    PlotHost hostQuat;
    PlotHost hostEuler;
    PlotHost hostLAccel;
    QLineEdit* fields[7];
};
