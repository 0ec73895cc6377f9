#include "sessions/messagereassembly.h"

#include <cstring>

namespace Orvexsystem {

bool MessageReassembly::sameBytes(const InProgress &message, int number, const QByteArray &bytes)
{
    const int offset = number * PacketDataLength;
    return message.data.size() >= offset + PacketDataLength
           && std::memcmp(message.data.constData() + offset, bytes.constData(),
                          size_t(PacketDataLength)) == 0;
}

void MessageReassembly::store(InProgress &message, int number, const QByteArray &bytes)
{
    const int end = (number + 1) * PacketDataLength;
    // Bytes of packets still missing stay zero until they come.
    if (message.data.size() < end)
        message.data.append(QByteArray(end - int(message.data.size()), '\0'));
    std::memcpy(message.data.data() + number * PacketDataLength, bytes.constData(),
                size_t(PacketDataLength));
    message.received.set(size_t(number));
    ++message.packetsReceived;
}

void MessageReassembly::dropOldestLocked()
{
    auto oldest = m_messages.begin();
    for (auto it = m_messages.begin(); it != m_messages.end(); ++it)
        if (it->lastTouched < oldest->lastTouched)
            oldest = it;
    if (oldest != m_messages.end())
        m_messages.erase(oldest);
}

bool MessageReassembly::addPacket(quint16 address, bool first, quint8 sequence,
                                  const QByteArray &data, Completed *completed)
{
    const int number = first ? 0 : sequence;
    const int count = first ? sequence : 0;
    if ((first && count == 0) || (!first && (number == 0 || number >= MaximumPackets)))
        return false;
    // A short packet is padded, so that every packet brings 8 bytes.
    QByteArray bytes = data.left(PacketDataLength);
    if (bytes.size() < PacketDataLength)
        bytes.append(QByteArray(PacketDataLength - int(bytes.size()), '\0'));

    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_messages.find(address);
    if (it != m_messages.end()) {
        InProgress &message = *it;
        if (message.received.test(size_t(number))) {
            if (sameBytes(message, number, bytes) && (!first || count == message.packetCount))
                return false; // the same packet again
            // Another message: the one in progress will not complete.
            m_messages.erase(it);
            it = m_messages.end();
        } else if (message.packetCount != 0 && number >= message.packetCount) {
            return false;
        }
    }
    if (it == m_messages.end()) {
        if (m_messages.size() >= MaximumMessagesInProgress)
            dropOldestLocked();
        it = m_messages.insert(address, InProgress());
        it->data.reserve((first ? count : number + 1) * PacketDataLength);
    }
    InProgress &message = *it;
    message.lastTouched = ++m_clock;
    if (first) {
        message.packetCount = count;
        // Packets numbered beyond the count that came before it are not part
        // of this message.
        for (int n = count; n < MaximumPackets; ++n) {
            if (message.received.test(size_t(n))) {
                message.received.reset(size_t(n));
                --message.packetsReceived;
            }
        }
        if (message.data.size() > count * PacketDataLength)
            message.data.truncate(count * PacketDataLength);
    }
    store(message, number, bytes);
    if (message.packetCount == 0 || message.packetsReceived < message.packetCount)
        return false;
    if (completed) {
        completed->address = address;
        completed->message = message.data;
    }
    m_messages.erase(it);
    return true;
}

void MessageReassembly::reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.clear();
}

int MessageReassembly::messagesInProgress() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_messages.size());
}

} // namespace Orvexsystem
