#include "GlScene.h"

#include <GL/glu.h>
#include <algorithm>
#include <cmath>

namespace GlScene {

void initState()
{
    glShadeModel(GL_SMOOTH);
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
}

void setProjection(int width, int height, double zNear, double zFar, const double eye[3], const double up[3])
{
    if (height == 0)
        height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, double(width) / double(height), zNear, zFar);
    gluLookAt(eye[0], eye[1], eye[2], 0, 0, 0, up[0], up[1], up[2]);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

double rotationAngleDeg(double scalar)
{
    return std::acos(std::max(-1.0, std::min(1.0, scalar))) * 2.0 / 3.14 * 180.0;
}

void rotateByQuaternion(double w, double x, double y, double z)
{
    if (x != 0.0 || y != 0.0 || z != 0.0)
        glRotated(rotationAngleDeg(w), x, y, z);
}

void drawArrow(int axis, double shaftEnd, double shaftRadius, double headTip, double headRadius, bool descending)
{
    // (u, v) are the two other coordinates: (y, z) for x, (x, z) for y, (x, y) for z.
    auto vertex = [axis](double along, double u, double v) {
        double p[3];
        p[axis] = along;
        p[axis == 0 ? 1 : 0] = u;
        p[axis == 2 ? 1 : 2] = v;
        glVertex3d(p[0], p[1], p[2]);
    };
    const double pi = 3.14159265358979323846;
    glBegin(GL_TRIANGLE_STRIP);
    for (int i = 0; i <= 6; ++i) {
        const double a = i * 60.0 * pi / 180.0;
        const double u = shaftRadius * std::sin(a), v = shaftRadius * std::cos(a);
        glTexCoord2f(1, 0);
        vertex(shaftEnd, u, v);
        glTexCoord2f(0, 0);
        vertex(-shaftEnd, u, v);
    }
    glEnd();
    glBegin(GL_TRIANGLE_FAN);
    glTexCoord2f(0.5f, 0.5f);
    vertex(headTip, 0, 0);
    for (int k = 0; k <= 6; ++k) {
        const int n = descending ? 6 - k : k;
        const double a = n * 60.0 * pi / 180.0;
        const double t = 0.5 * std::sin(a) + 0.5;
        glTexCoord2d(t, t);
        vertex(shaftEnd, headRadius * std::sin(a), headRadius * std::cos(a));
    }
    glEnd();
}

} // namespace GlScene
