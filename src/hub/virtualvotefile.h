#ifndef ORVEXSYSTEM_VIRTUALVOTEFILE_H
#define ORVEXSYSTEM_VIRTUALVOTEFILE_H

#include <QtCore/QByteArray>
#include <QtCore/QIODevice>
#include <QtCore/QString>
#include <QtCore/QStringList>

namespace Orvexsystem {

// The machine-wide list of virtual voting handsets, "virtualvotes.dev".
// Little-endian layout:
//   header  0 "VVRDEV" (any case), 6 int32 version 3, 10 uint16 1,
//           12 int32 record count
//   record  0 8 chars uid (hex), 8 8 chars of which the first 4 are used,
//           16 4 unused, 20 uint16 name length L, 22 L bytes name
// Each record becomes the line <uid><4 chars>#<name>, each part ending early
// at a zero byte and the name cut to its first 9 bytes.
//
// The file is untrusted. Reading never allocates more than one line per
// record actually present, and at most MaxRecords lines:
// - a negative count reads no records; a count larger than the file reads
//   the records the file holds in full;
// - a record cut short by the end of the file ends the reading and gives no
//   line (it is not made up of a partial record);
// - a name of any length is accepted: its first 9 bytes are kept and the
//   rest is skipped, so a long name does not stop the records after it.
namespace VirtualVoteFile {

const int HeaderLength = 16;
const int RecordFixedLength = 22;
const int NameBytesUsed = 9;
// One line per distinct 16-bit handset address is all a hub can use.
const int MaxRecords = 65536;

// Below the machine-wide application-data folder.
QString relativePath();

// Reads the file from the device's current position into lines (emptied
// first). True when the header was accepted and the record count read in
// full.
bool read(QIODevice &device, QStringList &lines);

// Splits a line as "<id>#<name>" at the first '#' after the id's first
// character, with both parts non-empty; the uid is the first 8 characters of the id read as
// hexadecimal (0 when they are not), the address its low 16 bits and the
// hex id the id text. False for a line that does not have that shape.
bool parseLine(const QString &line, quint32 &uid, quint16 &address, QString &name,
               QByteArray &hexId);

} // namespace VirtualVoteFile

} // namespace Orvexsystem

#endif
