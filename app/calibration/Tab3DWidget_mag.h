#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class Tab3DWidget_mag;
}
class DeviceConfToShow;
class MagCaliGLWidget;
class MainView;
class SLDevice;

// The magnetometer calibration page: progress, the device's calibration
// state, the point cloud, and the button that starts or cancels a run. A
// delivered result is written into the device once.
class Tab3DWidget_mag : public QWidget
{
    Q_OBJECT
public:
    Tab3DWidget_mag(MainView* view, QWidget* parent = nullptr);
    ~Tab3DWidget_mag() override;

    void setDevice(SLDevice* device) { pDevice = device; }
    MagCaliGLWidget* glWidget() const { return pGLWidget; }

signals:
    void sigCheckNodeMagStatus();
    void sigClearNodeMag();

public slots:
    void slotUpdateMagStansardStatus(bool bStandard);
    void slotBeginMagCalcul();
    void updateData(DeviceConfToShow* pDev);
    void updateUI(DeviceConfToShow* pDev);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void writeMagCalibration(DeviceConfToShow* pDev);

    std::unique_ptr<Ui::Tab3DWidget_mag> ui;
    MagCaliGLWidget* pGLWidget;
    MainView* pMainView;
    SLDevice* pDevice = nullptr;
    QString strButtonStyle;
};
