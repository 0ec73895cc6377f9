#ifndef ORVEX_TESTS_VIRTUALVOTEFILE_H
#define ORVEX_TESTS_VIRTUALVOTEFILE_H

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QString>

#include <optional>

namespace OrvexTest {

// Writes virtual-vote files ("virtualvotes.dev") for tests and demos; the
// library only reads them.
struct VirtualVoteRecord
{
    QByteArray uid;   // up to 8 characters, zero-padded
    QByteArray part2; // up to 8 characters, zero-padded; the first 4 are used
    QByteArray name;
    int nameLength = -1; // the length field; -1 writes name.size()
};

struct VirtualVoteHeader
{
    QByteArray signature = "VVRDEV";
    qint32 version = 3;
    quint16 marker = 1;
    std::optional<qint32> count; // unset writes the number of records
};

QByteArray virtualVoteFileBytes(const QList<VirtualVoteRecord> &records,
                                const VirtualVoteHeader &header = VirtualVoteHeader());

// The file's path below dataFolder, the folder that XDG_DATA_DIRS names.
QString virtualVoteFilePath(const QString &dataFolder);
// Writes content to that path, creating the folders; false on failure.
bool writeVirtualVoteFile(const QString &dataFolder, const QByteArray &content);

} // namespace OrvexTest

#endif
