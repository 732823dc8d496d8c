#pragma once

#include <QCoreApplication>
#include <QSurfaceFormat>
#include <cstdlib>  // defines __GLIBC__ with the C library in use
#if defined(__GLIBC__)
#include <malloc.h>
#endif

// Every refresh paints several plots into large temporary images. glibc
// hands such blocks back to the system and faults them in again on the
// next refresh (about 4700 page faults a second with eight devices shown);
// keeping freed memory for reuse avoids that.
inline void keepFreedMemoryForReuse()
{
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);  // the largest glibc accepts
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
#endif
}

// What every process showing the program sets before its QApplication:
// the memory reuse above, a 24-bit depth buffer for the 3D views, and
// windows that are plain raster surfaces. The 3D views are native OpenGL
// child windows of their own, so the windows need no OpenGL; asking for it
// loads the OpenGL driver at start-up (about 48 MiB resident with Mesa's
// software renderer) even when no 3D view is ever shown.
inline void prepareProgramStart()
{
    keepFreedMemoryForReuse();
    QCoreApplication::setAttribute(Qt::AA_ForceRasterWidgets);
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setDepthBufferSize(24);
    QSurfaceFormat::setDefaultFormat(format);
}
