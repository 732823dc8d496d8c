#pragma once

#include <QtCore/qglobal.h>

#if defined(KVMAGCALI_LIBRARY)
#define KVMAGCALI_EXPORT Q_DECL_EXPORT
#else
#define KVMAGCALI_EXPORT Q_DECL_IMPORT
#endif
