#include "MagCaliGLWidget.h"
#include "GlScene.h"
#include "MonotonicTick.h"

#include <QImage>
#include <QMouseEvent>
#include <cmath>

namespace {

GLuint makeTexture(const QImage& source)
{
    const QImage gl = QGLWidget::convertToGLFormat(source);
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, gl.width(), gl.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE, gl.bits());
    return id;
}

QImage plain(Qt::GlobalColor colour)
{
    QImage image(128, 128, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

} // namespace

MagCaliGLWidget::MagCaliGLWidget(QWidget* parent)
    : QGLWidget(parent)
{
}

MagCaliGLWidget::~MagCaliGLWidget()
{
    if (texturesMade) {
        makeCurrent();
        glDeleteTextures(5, texIds);
    }
}

void MagCaliGLWidget::UpdateGlPaint(int type)
{
    eDrawType = type;
    // A hidden page keeps its points and draws them when shown.
    if (isVisible())
        updateGL();
}

void MagCaliGLWidget::initializeGL()
{
    GlScene::initState();
    texIds[0] = makeTexture(plain(Qt::green));
    texIds[1] = makeTexture(plain(Qt::darkYellow));
    for (int i = 0; i < 3; ++i) {
        QImage axis(QStringLiteral("./Resources/Images/axis%1.jpg").arg(10 + i));
        texIds[2 + i] = makeTexture(axis.isNull() ? plain(Qt::black) : axis.convertToFormat(QImage::Format_RGB32));
    }
    texturesMade = true;
    glEnable(GL_TEXTURE_2D);
    timerSpin.start(12, this);
}

void MagCaliGLWidget::resizeGL(int w, int h)
{
    // A near plane of 0 leaves the depth buffer without resolution: every
    // point would land at the same depth. The camera stands 300 away, so 1
    // loses nothing of the scene.
    const double eye[3] = {0, 0, 300}, up[3] = {0, 1, 0};
    GlScene::setProjection(w, h, 1.0, 300.0, eye, up);
}

void MagCaliGLWidget::paintGL()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    GlScene::rotateByQuaternion(rotation.scalar(), rotation.x(), rotation.y(), rotation.z());
    if (eDrawType == DeviceConfToShow::MagCalcul_Collect) {
        drawPoints(fRawPts, nRawPts, texIds[0]);
    } else if (eDrawType == DeviceConfToShow::MagCalcul_Device) {
        drawPoints(fFitPts, nFitPts, texIds[1]);
        drawPoints(fCaliPts, nCaliPts, texIds[0]);
    }
    drawAxes();
}

void MagCaliGLWidget::drawPoints(const float (*pts)[3], int count, GLuint texture)
{
    static const int faces[6][4][3] = {
        {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}},     {{-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}, {1, -1, -1}},
        {{-1, 1, -1}, {-1, 1, 1}, {1, 1, 1}, {1, 1, -1}},     {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}},
        {{1, -1, -1}, {1, 1, -1}, {1, 1, 1}, {1, -1, 1}},     {{-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1}},
    };
    static const float tex[4][2] = {{0, 0}, {0.4f, 0}, {0.4f, 0.4f}, {0, 0.4f}};
    const float h = 0.4f;
    glBindTexture(GL_TEXTURE_2D, texture);
    glBegin(GL_QUADS);
    for (int i = 0; i < count; ++i) {
        for (const auto& face : faces) {
            for (int c = 0; c < 4; ++c) {
                glTexCoord2f(tex[c][0], tex[c][1]);
                glVertex3f(pts[i][0] + h * face[c][0], pts[i][1] + h * face[c][1], pts[i][2] + h * face[c][2]);
            }
        }
    }
    glEnd();
}

void MagCaliGLWidget::drawAxes()
{
    for (int axis = 0; axis < 3; ++axis) {
        glBindTexture(GL_TEXTURE_2D, texIds[2 + axis]);
        GlScene::drawArrow(axis, 100.0, 0.2, 103.0, 0.6, false);
    }
}

void MagCaliGLWidget::mousePressEvent(QMouseEvent* event)
{
    mousePressPosition = QVector2D(event->localPos());
    angularSpeed = 0;
    dwPressTime = static_cast<unsigned int>(monotonicTickMs());
}

void MagCaliGLWidget::mouseReleaseEvent(QMouseEvent* event)
{
    const QVector2D diff = QVector2D(event->localPos()) - mousePressPosition;
    const QVector3D n = QVector3D(diff.y(), diff.x(), 0.0f).normalized();
    // A release within the press's millisecond counts as one millisecond,
    // so the speed stays finite.
    const unsigned int elapsed = std::max(1u, static_cast<unsigned int>(monotonicTickMs()) - dwPressTime);
    const double acc = double(diff.length()) / double(elapsed);
    rotationAxis = (n * float(acc)).normalized();
    angularSpeed += acc;
}

void MagCaliGLWidget::timerEvent(QTimerEvent*)
{
    angularSpeed *= 0.999;
    if (angularSpeed < 0.01) {
        angularSpeed = 0;
        return;
    }
    rotation = QQuaternion::fromAxisAndAngle(rotationAxis, float(angularSpeed)) * rotation;
    update();
}
