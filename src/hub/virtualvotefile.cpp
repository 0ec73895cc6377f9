#include "hub/virtualvotefile.h"

#include <QtCore/QtEndian>

#include <cstring>

namespace Orvexsystem {
namespace VirtualVoteFile {

namespace {

// Reads exactly n bytes; false when the device ends first.
bool readExact(QIODevice &device, char *buffer, qint64 n)
{
    qint64 done = 0;
    while (done < n) {
        const qint64 got = device.read(buffer + done, n - done);
        if (got <= 0)
            return false;
        done += got;
    }
    return true;
}

// Discards exactly n bytes through a small buffer; false when the device
// ends first.
bool skipExact(QIODevice &device, qint64 n)
{
    char scratch[512];
    while (n > 0) {
        const qint64 chunk = qMin<qint64>(n, sizeof scratch);
        if (!readExact(device, scratch, chunk))
            return false;
        n -= chunk;
    }
    return true;
}

// Latin-1 text of at most max bytes, ending early at a zero byte.
QString textUpToZero(const char *bytes, int max)
{
    int n = 0;
    while (n < max && bytes[n] != '\0')
        ++n;
    return QString::fromLatin1(bytes, n);
}

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

} // namespace

QString relativePath()
{
    return QStringLiteral("ORVEX Software/Device Registration/virtualvotes.dev");
}

bool read(QIODevice &device, QStringList &lines)
{
    lines.clear();

    char header[HeaderLength];
    if (!readExact(device, header, 6) || qstrnicmp(header, "VVRDEV", 6) != 0)
        return false;
    if (!readExact(device, header + 6, 4) || qFromLittleEndian<qint32>(header + 6) != 3)
        return false;
    if (!readExact(device, header + 10, 2) || qFromLittleEndian<quint16>(header + 10) != 1)
        return false;
    if (!readExact(device, header + 12, 4))
        return false;
    const qint32 count = qFromLittleEndian<qint32>(header + 12);

    for (qint32 i = 0; i < count && i < MaxRecords; ++i) {
        char fixed[RecordFixedLength];
        if (!readExact(device, fixed, RecordFixedLength))
            break;
        const quint16 nameLength = qFromLittleEndian<quint16>(fixed + 20);
        const int kept = qMin<int>(nameLength, NameBytesUsed);
        char name[NameBytesUsed];
        if (!readExact(device, name, kept) || !skipExact(device, nameLength - kept))
            break;
        lines.append(textUpToZero(fixed, 8) + textUpToZero(fixed + 8, 4) + QLatin1Char('#')
                     + textUpToZero(name, kept));
    }
    return true;
}

bool parseLine(const QString &line, quint32 &uid, quint16 &address, QString &name,
               QByteArray &hexId)
{
    // The id has at least one character, so a leading '#' belongs to it.
    const int hash = line.indexOf(QLatin1Char('#'), 1);
    if (hash < 1 || hash == line.size() - 1)
        return false;
    const QString id = line.left(hash);
    quint32 value = 0;
    const int digits = qMin<int>(id.size(), 8);
    for (int i = 0; i < digits; ++i) {
        const int v = hexValue(id.at(i));
        if (v < 0) {
            value = 0;
            break;
        }
        value = value * 16 + quint32(v);
    }
    uid = value;
    address = quint16(value & 0xFFFF);
    name = line.mid(hash + 1);
    hexId = id.toLatin1();
    return true;
}

} // namespace VirtualVoteFile
} // namespace Orvexsystem
