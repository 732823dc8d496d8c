#pragma once

#include <QtCore/qglobal.h>

#if defined(KVPLOT2D_LIBRARY)
#define KVPLOT2D_EXPORT Q_DECL_EXPORT
#else
#define KVPLOT2D_EXPORT Q_DECL_IMPORT
#endif
