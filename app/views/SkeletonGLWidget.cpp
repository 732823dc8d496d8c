#include "SkeletonGLWidget.h"

#include <GL/glu.h>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

constexpr double kSegmentRadius = 3.2;  // cm
constexpr double kJointRadius = 4.2;

void colourFor(const QString& name, bool live)
{
    if (!live)
        glColor3f(0.62f, 0.62f, 0.62f);
    else if (name.startsWith(QLatin1String("Left")))
        glColor3f(0.25f, 0.52f, 0.85f);
    else if (name.startsWith(QLatin1String("Right")))
        glColor3f(0.86f, 0.36f, 0.28f);
    else
        glColor3f(0.93f, 0.74f, 0.36f);
}

} // namespace

SkeletonGLWidget::SkeletonGLWidget(QWidget* parent) : QGLWidget(parent)
{
    setMinimumSize(200, 200);
}

SkeletonGLWidget::~SkeletonGLWidget()
{
    if (pQuadric) {
        makeCurrent();
        if (nSphereList)
            glDeleteLists(nSphereList, 2);
        gluDeleteQuadric(pQuadric);
    }
}

void SkeletonGLWidget::setPose(const Skeleton& skeleton, const SuitPose& pose)
{
    stcSkeleton = skeleton;
    stcPose = pose;
    update();
}

void SkeletonGLWidget::setOrbit(double azimuthDeg, double elevationDeg, double distanceCm)
{
    dAzimuth = azimuthDeg;
    dElevation = std::clamp(elevationDeg, -5.0, 85.0);
    dDistance = std::clamp(distanceCm, 120.0, 1200.0);
    update();
}

void SkeletonGLWidget::initializeGL()
{
    glShadeModel(GL_SMOOTH);
    glClearColor(0.34f, 0.36f, 0.40f, 1.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    const GLfloat ambient[] = {0.35f, 0.35f, 0.35f, 1}, diffuse[] = {0.75f, 0.75f, 0.75f, 1};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glEnable(GL_LIGHT0);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_NORMALIZE);
    pQuadric = gluNewQuadric();
    gluQuadricNormals(pQuadric, GLU_SMOOTH);
    // Some hundred spheres and cylinders a redraw: tessellating each anew
    // cost more than drawing it.
    nSphereList = glGenLists(2);
    nCylinderList = nSphereList + 1;
    glNewList(nSphereList, GL_COMPILE);
    gluSphere(pQuadric, 1.0, 12, 8);
    glEndList();
    glNewList(nCylinderList, GL_COMPILE);
    gluCylinder(pQuadric, 1.0, 1.0, 1.0, 12, 1);
    glEndList();
}

void SkeletonGLWidget::resizeGL(int w, int h)
{
    h = std::max(h, 1);
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, double(w) / h, 10.0, 5000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void SkeletonGLWidget::paintGL()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    // The light comes from over the viewer's shoulder.
    const GLfloat light[] = {0.3f, 0.8f, 1.0f, 0};
    glLightfv(GL_LIGHT0, GL_POSITION, light);
    // Skeleton space is y up with the body facing +z: azimuth 0 looks at
    // the body from the front.
    const double height = stcSkeleton.empty() ? 98.0 : stcSkeleton.rootHeight();
    const double k = M_PI / 180.0;
    const double cy = height * 0.9;  // about the body's middle
    const double ex = dDistance * std::cos(dElevation * k) * std::sin(dAzimuth * k);
    const double ez = dDistance * std::cos(dElevation * k) * std::cos(dAzimuth * k);
    const double ey = cy + dDistance * std::sin(dElevation * k);
    gluLookAt(ex, ey, ez, 0, cy, 0, 0, 1, 0);

    drawGrid();
    if (stcSkeleton.empty() || stcPose.jointPosition.size() != size_t(stcSkeleton.size()))
        return;
    glEnable(GL_LIGHTING);
    glPushMatrix();
    // Stand on the floor: the root at its T-pose height, moving horizontally.
    glTranslated(0, height, 0);
    const auto& joints = stcSkeleton.joints();
    for (size_t j = 0; j < joints.size(); ++j) {
        const bool live = j < stcPose.live.size() && stcPose.live[j];
        if (joints[j].parent >= 0) {
            const size_t p = size_t(joints[j].parent);
            colourFor(joints[p].name, p < stcPose.live.size() && stcPose.live[p]);
            drawCapsule(stcPose.jointPosition[p], stcPose.jointPosition[j], kSegmentRadius, false, false);
        }
        if (!stcSkeleton.hasChildren(int(j))) {
            colourFor(joints[j].name, live);
            const double radius = joints[j].name.contains(QLatin1String("Head")) ? 9.0 : kSegmentRadius;
            drawCapsule(stcPose.jointPosition[j], stcPose.tipPosition[j], radius, radius > kJointRadius, true);
        }
        glColor3f(live ? 0.96f : 0.7f, live ? 0.96f : 0.7f, live ? 0.92f : 0.7f);
        drawSphere(stcPose.jointPosition[j], kJointRadius);
    }
    glPopMatrix();
    glDisable(GL_LIGHTING);
}

void SkeletonGLWidget::drawGrid()
{
    glDisable(GL_LIGHTING);
    glLineWidth(1.0f);
    glBegin(GL_LINES);
    for (int i = -300; i <= 300; i += 25) {
        const float shade = i == 0 ? 0.75f : 0.5f;
        glColor3f(shade, shade, shade);
        glVertex3d(i, 0, -300);
        glVertex3d(i, 0, 300);
        glVertex3d(-300, 0, i);
        glVertex3d(300, 0, i);
    }
    glEnd();
}

void SkeletonGLWidget::drawCapsule(const Eigen::Vector3d& a, const Eigen::Vector3d& b, double radius, bool capA,
                                   bool capB)
{
    const Eigen::Vector3d d = b - a;
    const double length = d.norm();
    if (capB)
        drawSphere(b, radius);
    if (length < 1e-6)
        return;
    glPushMatrix();
    glTranslated(a.x(), a.y(), a.z());
    // Turn the cylinder's +z onto the segment.
    const Eigen::Vector3d axis = Eigen::Vector3d::UnitZ().cross(d);
    const double angle = std::atan2(axis.norm(), d.z()) * 180.0 / M_PI;
    if (axis.norm() > 1e-9)
        glRotated(angle, axis.x(), axis.y(), axis.z());
    else if (d.z() < 0)
        glRotated(180, 1, 0, 0);
    glScaled(radius, radius, length);
    glCallList(nCylinderList);
    glPopMatrix();
    if (capA)
        drawSphere(a, radius);
}

void SkeletonGLWidget::drawSphere(const Eigen::Vector3d& at, double radius)
{
    glPushMatrix();
    glTranslated(at.x(), at.y(), at.z());
    glScaled(radius, radius, radius);
    glCallList(nSphereList);
    glPopMatrix();
}

void SkeletonGLWidget::mousePressEvent(QMouseEvent* event)
{
    lastMouse = event->pos();
}

void SkeletonGLWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint d = event->pos() - lastMouse;
    lastMouse = event->pos();
    setOrbit(dAzimuth - d.x() * 0.5, dElevation + d.y() * 0.4, dDistance);
}

void SkeletonGLWidget::wheelEvent(QWheelEvent* event)
{
    setOrbit(dAzimuth, dElevation, dDistance * std::pow(0.999, event->angleDelta().y()));
}
