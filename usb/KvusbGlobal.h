#pragma once

#include <QtCore/qglobal.h>

#if defined(KVUSB_LIBRARY)
#define KVUSB_EXPORT Q_DECL_EXPORT
#else
#define KVUSB_EXPORT Q_DECL_IMPORT
#endif
