// Feeds arbitrary bytes to the virtual-vote file reader and splits every
// line it gives as the 2.4 GHz hub does.

#include "hub/virtualvotefile.h"

#include <QtCore/QBuffer>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace Orvexsystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char *>(data), int(size));
    if (!buffer.open(QIODevice::ReadOnly))
        return 0;
    QStringList lines;
    const bool ok = VirtualVoteFile::read(buffer, lines);
    // Every line stands for a whole record of at least 22 bytes after the
    // 16-byte header.
    if ((!ok && !lines.isEmpty())
        || qsizetype(lines.size()) * VirtualVoteFile::RecordFixedLength
               > qMax<qsizetype>(0, qsizetype(size) - VirtualVoteFile::HeaderLength)
        || lines.size() > VirtualVoteFile::MaxRecords)
        std::abort();
    for (const QString &line : lines) {
        quint32 uid = 0;
        quint16 address = 0;
        QString name;
        QByteArray hexId;
        if (VirtualVoteFile::parseLine(line, uid, address, name, hexId)
            && (name.isEmpty() || hexId.isEmpty() || address != (uid & 0xFFFF)))
            std::abort();
    }
    return 0;
}
