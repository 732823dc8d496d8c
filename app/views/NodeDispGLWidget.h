#pragma once

#include <QGLWidget>

// A textured cube with three axis arrows, turned by the device's quaternion.
class NodeDispGLWidget : public QGLWidget
{
    Q_OBJECT
public:
    explicit NodeDispGLWidget(QWidget* parent = nullptr);
    ~NodeDispGLWidget() override;

    // The rotation (degrees) and axis drawn for a quaternion; a zero axis
    // (before the first orientation arrives) means no rotation.
    static double rotationAngleDeg(float w);

public slots:
    void UpdateGlData(float fX, float fY, float fZ, float fW);

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;

private:
    void drawCube();
    void drawAxis(int axis);

    GLuint textures[13] = {};
    bool texturesMade = false;
    float x = 0, y = 0, z = 0, w = 0;
};
