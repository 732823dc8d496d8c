#pragma once

#include <QWidget>
#include <functional>
#include <memory>

namespace Ui {
class Tab3DWidget_mag;
}
class DeviceConfToShow;
class MagCaliGLWidget;
class MagResultWriter;
class MainView;
class QPushButton;
class SLDevice;

// The magnetometer calibration page: progress, the device's calibration
// state, the point cloud, and the button that starts or cancels a run. A
// delivered result goes to the result writer once; the page shows whether
// the device confirmed it and offers to write a failed one again.
class Tab3DWidget_mag : public QWidget
{
    Q_OBJECT
public:
    Tab3DWidget_mag(MainView* view, QWidget* parent = nullptr);
    ~Tab3DWidget_mag() override;

    void setDevice(SLDevice* device) { pDevice = device; }
    void setResultWriter(MagResultWriter* writer) { pWriter = writer; }
    MagCaliGLWidget* glWidget() const { return pGLWidget; }
    // Hands a delivered result of any device, shown or not, to the writer.
    void takeFittedResult(DeviceConfToShow* pDev);

signals:
    void sigCheckNodeMagStatus();
    void sigClearNodeMag();

public slots:
    void slotUpdateMagStansardStatus(bool bStandard);
    void slotBeginMagCalcul();
    void updateData(DeviceConfToShow* pDev);
    void updateUI(DeviceConfToShow* pDev);
    void slotRetryWrite();

protected:
    void resizeEvent(QResizeEvent* event) override;
    // The point cloud's GL view is made when the page is first shown.
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The state label: "not calibrated" unless a calibration is in force,
    // then how far its write into the device got.
    QString statusText(bool inForce, const QString& key) const;
    // Sets the state label and keeps how to word it for a language change.
    void showMagStatus(std::function<QString()> text);

    std::unique_ptr<Ui::Tab3DWidget_mag> ui;
    MagCaliGLWidget* pGLWidget = nullptr;
    MainView* pMainView;
    SLDevice* pDevice = nullptr;
    MagResultWriter* pWriter = nullptr;
    QPushButton* pRetryButton;
    QString strButtonStyle;
    std::function<QString()> magStatusText;
};
