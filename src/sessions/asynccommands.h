#ifndef ORVEXSYSTEM_SESSIONS_ASYNCCOMMANDS_H
#define ORVEXSYSTEM_SESSIONS_ASYNCCOMMANDS_H

// The commands of the asynchronous message transport, byte for byte. After
// the carriage return each carries a length byte that counts the bytes
// following it (not itself), then those bytes.

#include <QtCore/QByteArray>

namespace Orvexsystem {
namespace AsyncCommands {

// ":XP00A" CR 00: open the transport (the hub answers OK).
QByteArray start();
// ":XP00B" CR 03 ah al i: buffer index holds a message for the device at
// that radio address (the hub answers OK).
QByteArray messageWaiting(quint16 address, quint8 index);
// ":XP00C" CR L i n t, then fragment (its own length byte first, as
// AsyncRequestBuffer::nextFragment gives it); L counts i, n, t and the
// fragment. An empty fragment gives ":XP00C" CR 03 i n t: no message under
// that index.
QByteArray dataFragment(quint8 index, quint8 number, quint8 count, const QByteArray &fragment);

} // namespace AsyncCommands
} // namespace Orvexsystem

#endif
