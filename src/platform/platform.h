#ifndef ORVEXSYSTEM_PLATFORM_H
#define ORVEXSYSTEM_PLATFORM_H

#include <QtCore/QIODevice>
#include <QtCore/QString>

#include <memory>

// Everything the library asks of the operating system: loading the closed
// modules (the driver, the log), where machine-wide data lives, and reading
// files. The rest of the library never includes an operating-system header.
namespace Orvexsystem {
namespace Platform {

// A module loaded at run time by bare file name through the loader's
// default search (LD_LIBRARY_PATH, then the system library path), so that
// the environment selects which implementation is used. Unloaded when the
// object is destroyed.
class Module
{
public:
    // Loads the module; isLoaded() tells whether that worked.
    explicit Module(const char *fileName);
    ~Module();
    Module(const Module &) = delete;
    Module &operator=(const Module &) = delete;

    bool isLoaded() const { return m_handle != nullptr; }
    // The address of an exported name; null when the module lacks it or is
    // not loaded.
    void *resolve(const char *name) const;

private:
    void *m_handle;
};

// The machine-wide application-data folders, in the order they are searched:
// the absolute entries of XDG_DATA_DIRS, or /usr/local/share and /usr/share
// when the variable is unset, empty or lists no absolute folder. No entry
// ends with a separator unless it is the root folder.
QStringList machineDataFolders();

// Where a machine-wide data file with this path below the data folder is
// read: the first folder that holds it; empty when none does.
QString machineDataFileForReading(const QString &relativePath);

// Where such a file is written: where it already is, else below the first
// folder.
QString machineDataFileForWriting(const QString &relativePath);

// folder + "/" + relative, adding the separator only where needed.
QString joinPath(const QString &folder, const QString &relative);

// Opens an existing regular file for reading; null when it does not exist,
// is no regular file (a folder, a pipe) or cannot be opened.
std::unique_ptr<QIODevice> openFileForReading(const QString &path);

} // namespace Platform
} // namespace Orvexsystem

#endif
