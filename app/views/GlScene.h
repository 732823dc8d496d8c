#pragma once

#include <QtOpenGL/qgl.h>

// Fixed-function drawing shared by the 3D views.
namespace GlScene {

// Smooth shading, white background, depth test (less or equal), nicest
// perspective correction.
void initState();

// An arrow along axis (0 = x, 1 = y, 2 = z) with the bound texture: a
// hexagonal prism of shaftRadius from -shaftEnd to +shaftEnd, and a cone
// from its base (radius headRadius at shaftEnd) to its apex at headTip. The
// cone's rim runs from 360° down to 0° when descending, else upwards.
void drawArrow(int axis, double shaftEnd, double shaftRadius, double headTip, double headRadius, bool descending);

} // namespace GlScene
