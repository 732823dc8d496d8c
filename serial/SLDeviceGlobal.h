#pragma once

#include <QtCore/qglobal.h>

#if defined(SLDEVICE_LIBRARY)
#define SLDEVICE_EXPORT Q_DECL_EXPORT
#else
#define SLDEVICE_EXPORT Q_DECL_IMPORT
#endif
