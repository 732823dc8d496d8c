#pragma once

#include "DeviceConfToShow.h"

#include <QBasicTimer>
#include <QGLWidget>
#include <QQuaternion>
#include <QVector2D>
#include <QVector3D>

// The magnetometer point cloud: raw samples while collecting, fitted and
// live corrected points once a calibration is in force; drag to spin.
class MagCaliGLWidget : public QGLWidget
{
    Q_OBJECT
public:
    explicit MagCaliGLWidget(QWidget* parent = nullptr);
    ~MagCaliGLWidget() override;

    float fRawPts[DeviceConfToShow::kMagSamples][3];
    float fFitPts[DeviceConfToShow::kFitPoints][3];
    float fCaliPts[DeviceConfToShow::kCaliPoints][3];
    int nRawPts = 0;
    int nFitPts = 0;
    int nCaliPts = 0;

    int drawType() const { return eDrawType; }
    double spinSpeed() const { return angularSpeed; }
    QVector3D spinAxis() const { return rotationAxis; }
    QQuaternion sceneRotation() const { return rotation; }

public slots:
    void UpdateGlPaint(int type);

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void timerEvent(QTimerEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void drawPoints(const float (*pts)[3], int count, GLuint texture);
    void drawAxes();

    GLuint texIds[5] = {};
    bool texturesMade = false;
    int eDrawType = DeviceConfToShow::MagCalcul_Idle;
    QBasicTimer timerSpin;
    unsigned int dwPressTime = 0;
    QVector2D mousePressPosition;
    QVector3D rotationAxis;
    double angularSpeed = 0;
    QQuaternion rotation;
};
