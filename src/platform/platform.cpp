#include "platform/platform.h"

#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QtGlobal>

namespace Orvexsystem {
namespace Platform {

QString machineDataFolder()
{
    const QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    const auto entries = dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &entry : entries) {
        // Relative entries are invalid in the variable and are ignored.
        if (!entry.startsWith(QLatin1Char('/')))
            continue;
        QString folder = entry;
        while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
            folder.chop(1);
        return folder;
    }
    return QStringLiteral("/usr/local/share");
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
