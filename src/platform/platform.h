#ifndef ORVEXSYSTEM_PLATFORM_H
#define ORVEXSYSTEM_PLATFORM_H

#include <QtCore/QIODevice>
#include <QtCore/QString>

#include <memory>

// Everything the library asks of the operating system, apart from loading
// the driver module: where machine-wide data lives and reading files.
namespace Orvexsystem {
namespace Platform {

// The machine-wide application-data folder: the first absolute directory
// listed in XDG_DATA_DIRS, or "/usr/local/share" when the variable is unset,
// empty or lists no absolute directory. Never ends with a separator unless
// it is the root folder.
QString machineDataFolder();

// folder + "/" + relative, adding the separator only where needed.
QString joinPath(const QString &folder, const QString &relative);

// Opens an existing regular file for reading; null when it does not exist,
// is no regular file (a folder, a pipe) or cannot be opened.
std::unique_ptr<QIODevice> openFileForReading(const QString &path);

} // namespace Platform
} // namespace Orvexsystem

#endif
