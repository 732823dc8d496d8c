#pragma once

#include <QtOpenGL/qgl.h>

// Fixed-function drawing shared by the 3D views.
namespace GlScene {

// Smooth shading, white background, depth test (less or equal), nicest
// perspective correction.
void initState();

// Viewport and a perspective of 45° with the camera placed in the
// projection (eye looking at the origin); the model-view matrix is left as
// the identity. A height of 0 counts as 1.
void setProjection(int width, int height, double zNear, double zFar, const double eye[3], const double up[3]);

// Degrees of the rotation drawn for a quaternion's scalar part, with the
// views' 3.14 for π; a scalar a rounding step outside [-1, 1] is clamped.
double rotationAngleDeg(double scalar);

// Rotates the model-view matrix by the quaternion; a zero axis (no
// orientation yet) leaves it unrotated.
void rotateByQuaternion(double w, double x, double y, double z);

// An arrow along axis (0 = x, 1 = y, 2 = z) with the bound texture: a
// hexagonal prism of shaftRadius from -shaftEnd to +shaftEnd, and a cone
// from its base (radius headRadius at shaftEnd) to its apex at headTip. The
// cone's rim runs from 360° down to 0° when descending, else upwards.
void drawArrow(int axis, double shaftEnd, double shaftRadius, double headTip, double headRadius, bool descending);

} // namespace GlScene
