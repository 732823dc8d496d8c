#pragma once

#include "Skeleton.h"
#include "SuitPose.h"

#include <QGLWidget>
#include <QPoint>

struct GLUquadric;

// Draws a suit's skeleton: capsules for the segments, spheres for the
// joints, a floor grid; the camera orbits the body as the mouse drags and
// comes closer with the wheel. Segments of silent nodes are grey.
class SkeletonGLWidget : public QGLWidget
{
    Q_OBJECT
public:
    explicit SkeletonGLWidget(QWidget* parent = nullptr);
    ~SkeletonGLWidget() override;

    // Draws this pose at the next repaint; an empty skeleton shows the floor.
    void setPose(const Skeleton& skeleton, const SuitPose& pose);
    void setOrbit(double azimuthDeg, double elevationDeg, double distanceCm);

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void drawGrid();
    // A cylinder with round ends; an end inside a joint's sphere needs none.
    void drawCapsule(const Eigen::Vector3d& a, const Eigen::Vector3d& b, double radius, bool capA, bool capB);
    void drawSphere(const Eigen::Vector3d& at, double radius);

    Skeleton stcSkeleton;
    SuitPose stcPose;
    GLUquadric* pQuadric = nullptr;
    // A unit sphere and a unit cylinder along +z, tessellated once.
    GLuint nSphereList = 0;
    GLuint nCylinderList = 0;
    double dAzimuth = 25;    // degrees about the vertical, 0 = in front of the body
    double dElevation = 12;  // degrees above the horizon
    double dDistance = 380;  // cm from the body's middle
    QPoint lastMouse;
};
