#include "NodeDispGLWidget.h"
#include "GlScene.h"

#include <QImage>

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
    return GlScene::rotationAngleDeg(double(w));
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
    GlScene::initState();
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
    const double eye[3] = {4, 4, 4}, up[3] = {0, 0, 1};
    GlScene::setProjection(width, height, 0.1, 100.0, eye, up);
}

void NodeDispGLWidget::paintGL()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    // Before the first orientation the axis has zero length: drawn unrotated.
    GlScene::rotateByQuaternion(w, x, y, z);
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
    glBindTexture(GL_TEXTURE_2D, textures[10 + axis]);
    GlScene::drawArrow(axis, 2.0, 0.008, 2.2, 0.028, true);
}
