#ifndef ORVEXSYSTEM_SESSIONS_MESSAGEREASSEMBLY_H
#define ORVEXSYSTEM_SESSIONS_MESSAGEREASSEMBLY_H

#include <QtCore/QByteArray>
#include <QtCore/QHash>

#include <bitset>
#include <mutex>

namespace Orvexsystem {

// Puts together the device messages that reach a 2.4 GHz hub in 13-byte
// response packets, one message at a time per radio address: packet 0 (the
// first response packet) brings the message's packet count and its bytes
// 0-7, packet p its bytes 8p to 8p+7. Packets may come in any order. A
// message is complete once each of its packets has arrived; it is then
// handed over whole, packet count times 8 bytes (whatever the device put
// after its message in its last packet included), and forgotten.
//
// Faults of the radio:
// - A packet that comes again with the same bytes counts once. One that
//   comes again with other bytes starts a new message from that address:
//   the one in progress is dropped (its rest was lost). Packets carry no
//   message number, so a message that lost a packet can still be completed
//   by that packet of the next message when it comes before the next
//   message's packet 0.
// - A packet count of 0, a further packet numbered 0, and packets numbered
//   beyond the count are not part of any message and are dropped.
// - Memory is bounded: a message has at most 255 packets (the count is one
//   byte), and at most MaximumMessagesInProgress messages are put together
//   at once; a message from a further address takes the place of the one
//   that has waited longest for its next packet, which is dropped.
//
// Threads: every operation may be called from any thread; the reassembly
// has a lock of its own, held only for the operation (never while a
// message is handed to the host).
class MessageReassembly
{
public:
    static const int PacketDataLength = 8;
    static const int MaximumPackets = 255;
    static const int MaximumMessageLength = PacketDataLength * MaximumPackets;
    static const int MaximumMessagesInProgress = 1024;

    struct Completed
    {
        quint16 address = 0;
        QByteArray message;
    };

    // One response packet from address: first tells a first packet (sequence
    // is then the packet count) from a further one (sequence is its number);
    // data is the packet's message bytes (at most 8 are used). True with
    // *completed filled when it completed a message.
    bool addPacket(quint16 address, bool first, quint8 sequence, const QByteArray &data,
                   Completed *completed);
    // Forgets every message in progress.
    void reset();
    int messagesInProgress() const;

private:
    struct InProgress
    {
        int packetCount = 0; // 0 until packet 0 has come
        int packetsReceived = 0;
        std::bitset<MaximumPackets> received;
        quint64 lastTouched = 0;
        QByteArray data;
    };
    // Whether the packet's bytes are those already stored for its number.
    static bool sameBytes(const InProgress &message, int number, const QByteArray &bytes);
    static void store(InProgress &message, int number, const QByteArray &bytes);
    void dropOldestLocked();

    mutable std::mutex m_mutex;
    QHash<quint16, InProgress> m_messages;
    quint64 m_clock = 0;
};

} // namespace Orvexsystem

#endif
