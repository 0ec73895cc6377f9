#include "platform/platform.h"

#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QStringList>
#include <QtCore/QtGlobal>

#include <dlfcn.h>

namespace Orvexsystem {
namespace Platform {

Module::Module(const char *fileName) : m_handle(dlopen(fileName, RTLD_NOW | RTLD_LOCAL)) {}

Module::~Module()
{
    if (m_handle)
        dlclose(m_handle);
}

void *Module::resolve(const char *name) const
{
    return m_handle ? dlsym(m_handle, name) : nullptr;
}

QStringList machineDataFolders()
{
    QStringList folders;
    const QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    for (const QString &entry : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        // Relative entries are invalid in the variable and are ignored.
        if (!entry.startsWith(QLatin1Char('/')))
            continue;
        QString folder = entry;
        while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
            folder.chop(1);
        if (!folders.contains(folder))
            folders.append(folder);
    }
    if (folders.isEmpty())
        folders << QStringLiteral("/usr/local/share") << QStringLiteral("/usr/share");
    return folders;
}

QString machineDataFileForReading(const QString &relativePath)
{
    for (const QString &folder : machineDataFolders()) {
        const QString path = joinPath(folder, relativePath);
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
}

QString machineDataFileForWriting(const QString &relativePath)
{
    const QString existing = machineDataFileForReading(relativePath);
    return existing.isEmpty() ? joinPath(machineDataFolders().first(), relativePath) : existing;
}

QString joinPath(const QString &folder, const QString &relative)
{
    if (folder.isEmpty())
        return relative;
    if (folder.endsWith(QLatin1Char('/')))
        return folder + relative;
    return folder + QLatin1Char('/') + relative;
}

std::unique_ptr<QIODevice> openFileForReading(const QString &path)
{
    // Checked before opening: opening a pipe for reading would block.
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return nullptr;
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return nullptr;
    return file;
}

} // namespace Platform
} // namespace Orvexsystem
