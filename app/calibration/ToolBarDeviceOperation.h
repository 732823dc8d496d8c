#pragma once

#include <QObject>
#include <QPointer>
#include <QToolBar>

class QAction;
class Strideloom;

// The device toolbar: find devices, accelerometer calibration, zero rotation.
class ToolBarDeviceOperation : public QObject
{
    Q_OBJECT
public:
    explicit ToolBarDeviceOperation(Strideloom* window);
    ~ToolBarDeviceOperation() override;

    QToolBar* toolBar() const { return pToolBar; }
    QAction* checkSerialAction() const { return actCheckSerial; }
    QAction* accelCalAction() const { return actAccelCal; }
    QAction* zeroRotateAction() const { return actZeroRotate; }

protected:
    // A language change reaches this object as a child of the main window.
    bool event(QEvent* event) override;

private slots:
    void CheckSerialDevice();
    void CalibrationAccel();
    void ZeroRotate(bool isSel);

private:
    void setTexts();

    Strideloom* pMainWindow;
    // The main window owns the toolbar once it is added; it may go first.
    QPointer<QToolBar> pToolBar;
    QAction* actCheckSerial;
    QAction* actAccelCal;
    QAction* actZeroRotate;
};
