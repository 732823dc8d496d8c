#include "NodeDispGLWidget.h"

#include <GL/glu.h>
#include <QImage>
#include <cmath>

NodeDispGLWidget::NodeDispGLWidget(QWidget* parent)
    : QGLWidget(parent)
{
}

NodeDispGLWidget::~NodeDispGLWidget()
{
    if (texturesMade) {
        makeCurrent();
        glDeleteTextures(13, textures);
    }
}

double NodeDispGLWidget::rotationAngleDeg(float w)
{
    // A received w may lie a rounding step outside [-1, 1].
    const double clamped = std::max(-1.0, std::min(1.0, double(w)));
    return std::acos(clamped) * 2.0 / 3.14 * 180.0;
}

void NodeDispGLWidget::UpdateGlData(float fX, float fY, float fZ, float fW)
{
    x = fX;
    y = fY;
    z = fZ;
    w = fW;
    // A hidden page keeps the orientation and draws it when shown.
    if (isVisible())
        updateGL();
}

void NodeDispGLWidget::initializeGL()
{
    glShadeModel(GL_SMOOTH);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glGenTextures(13, textures);
    texturesMade = true;
    for (int i = 0; i < 13; ++i) {
        const char* stem = i < 4 ? "javelin" : (i < 10 ? "cuboid" : "axis");
        QImage image(QStringLiteral("./Resources/Images/%1%2.jpg").arg(QLatin1String(stem)).arg(i));
        if (image.isNull()) {
            image = QImage(128, 128, QImage::Format_RGB888);
            image.fill(Qt::green);
        }
        const QImage gl = QGLWidget::convertToGLFormat(image);
        glBindTexture(GL_TEXTURE_2D, textures[i]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, 3, gl.width(), gl.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE, gl.bits());
    }
    glEnable(GL_TEXTURE_2D);
}

void NodeDispGLWidget::resizeGL(int width, int height)
{
    if (height == 0)
        height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, double(width) / double(height), 0.1, 100.0);
    gluLookAt(4, 4, 4, 0, 0, 0, 0, 0, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void NodeDispGLWidget::paintGL()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    // Before the first orientation the axis has zero length: draw unrotated.
    if (x != 0.0f || y != 0.0f || z != 0.0f)
        glRotated(rotationAngleDeg(w), x, y, z);
    drawCube();
    for (int axis = 0; axis < 3; ++axis)
        drawAxis(axis);
}

void NodeDispGLWidget::drawCube()
{
    struct Corner { float v[3]; float t[2]; };
    static const Corner faces[6][4] = {
        {{{-1, -1, 1}, {0, 0}}, {{1, -1, 1}, {1, 0}}, {{1, 1, 1}, {1, 1}}, {{-1, 1, 1}, {0, 1}}},
        {{{-1, -1, -1}, {1, 0}}, {{-1, 1, -1}, {1, 1}}, {{1, 1, -1}, {0, 1}}, {{1, -1, -1}, {0, 0}}},
        {{{-1, 1, -1}, {0, 1}}, {{-1, 1, 1}, {0, 0}}, {{1, 1, 1}, {1, 0}}, {{1, 1, -1}, {1, 1}}},
        {{{-1, -1, -1}, {1, 1}}, {{1, -1, -1}, {0, 1}}, {{1, -1, 1}, {0, 0}}, {{-1, -1, 1}, {1, 0}}},
        {{{1, -1, -1}, {1, 0}}, {{1, 1, -1}, {1, 1}}, {{1, 1, 1}, {0, 1}}, {{1, -1, 1}, {0, 0}}},
        {{{-1, -1, -1}, {0, 0}}, {{-1, -1, 1}, {1, 0}}, {{-1, 1, 1}, {1, 1}}, {{-1, 1, -1}, {0, 1}}},
    };
    for (int f = 0; f < 6; ++f) {
        glBindTexture(GL_TEXTURE_2D, textures[4 + f]);
        glBegin(GL_QUADS);
        for (const Corner& c : faces[f]) {
            glTexCoord2f(c.t[0], c.t[1]);
            glVertex3f(c.v[0], c.v[1], c.v[2]);
        }
        glEnd();
    }
}

void NodeDispGLWidget::drawAxis(int axis)
{
    // (u, v) are the two other coordinates: (y, z) for X, (x, z) for Y, (x, y) for Z.
    auto vertex = [axis](double along, double u, double v) {
        double p[3];
        p[axis] = along;
        p[axis == 0 ? 1 : 0] = u;
        p[axis == 2 ? 1 : 2] = v;
        glVertex3d(p[0], p[1], p[2]);
    };
    const double pi = 3.14159265358979323846;
    glBindTexture(GL_TEXTURE_2D, textures[10 + axis]);
    glBegin(GL_TRIANGLE_STRIP);
    for (int i = 0; i <= 6; ++i) {
        const double a = i * 60.0 * pi / 180.0;
        const double u = 0.008 * std::sin(a), v = 0.008 * std::cos(a);
        glTexCoord2f(1, 0);
        vertex(2.0, u, v);
        glTexCoord2f(0, 0);
        vertex(-2.0, u, v);
    }
    glEnd();
    glBegin(GL_TRIANGLE_FAN);
    glTexCoord2f(0.5f, 0.5f);
    vertex(2.2, 0, 0);
    for (int n = 6; n >= 0; --n) {
        const double a = n * 60.0 * pi / 180.0;
        const double t = 0.5 * std::sin(a) + 0.5;
        glTexCoord2d(t, t);
        vertex(2.0, 0.028 * std::sin(a), 0.028 * std::cos(a));
    }
    glEnd();
}
