#ifndef ORVEXSYSTEM_EXPORT_H
#define ORVEXSYSTEM_EXPORT_H

#include <QtCore/qglobal.h>

// Marks the classes that the shared library exports; everything else in the
// library is hidden.
#if defined(ORVEXSYSTEM_BUILD)
#define ORVEXSYSTEM_EXPORT Q_DECL_EXPORT
#else
#define ORVEXSYSTEM_EXPORT Q_DECL_IMPORT
#endif

#endif
