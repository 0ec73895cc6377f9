#include "support/virtualvotefile.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>

namespace OrvexTest {

namespace {

void appendLE(QByteArray &out, quint64 value, int size)
{
    for (int i = 0; i < size; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

QByteArray padded(const QByteArray &text, int size)
{
    QByteArray out = text.left(size);
    out.append(QByteArray(size - out.size(), '\0'));
    return out;
}

} // namespace

QByteArray virtualVoteFileBytes(const QList<VirtualVoteRecord> &records,
                                const VirtualVoteHeader &header)
{
    QByteArray out = padded(header.signature, 6);
    appendLE(out, quint32(header.version), 4);
    appendLE(out, header.marker, 2);
    appendLE(out, quint32(header.count ? *header.count : qint32(records.size())), 4);
    for (const VirtualVoteRecord &r : records) {
        out += padded(r.uid, 8);
        out += padded(r.part2, 8);
        out += QByteArray(4, '\0');
        appendLE(out, quint16(r.nameLength < 0 ? r.name.size() : r.nameLength), 2);
        out += r.name;
    }
    return out;
}

QString virtualVoteFilePath(const QString &dataFolder)
{
    return dataFolder + QStringLiteral("/ORVEX Software/Device Registration/virtualvotes.dev");
}

bool writeVirtualVoteFile(const QString &dataFolder, const QByteArray &content)
{
    const QString path = virtualVoteFilePath(dataFolder);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(content) == content.size();
}

} // namespace OrvexTest
