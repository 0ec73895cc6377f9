#include "sessions/orvexvoteresponse.h"

namespace Orvexsystem {

namespace {

inline quint8 byteAt(const QByteArray &packet, int index)
{
    return quint8(packet.at(index));
}

inline quint8 low7(const QByteArray &packet, int index)
{
    return byteAt(packet, index) & 0x7F;
}

} // namespace

OrvexvoteResponse::~OrvexvoteResponse() = default;

int OrvexvoteResponse::optionOf(char voteByte)
{
    switch (qint8(voteByte)) {
    case 0x01: return 1;
    case 0x02: return 2;
    case 0x04: return 3;
    case 0x08: return 4;
    case 0x10: return 5;
    case 0x20: return 6;
    default: return 0;
    }
}

// ---------------------------------------------------------------------------
// 2.4 GHz

bool TwoPointFourGHzOrvexvoteResponse::isVote(const QByteArray &packet)
{
    return packet.size() == Length && byteAt(packet, 0) == Length && byteAt(packet, 1) == Control;
}

unsigned int TwoPointFourGHzOrvexvoteResponse::senderId(const QByteArray &packet)
{
    if (packet.size() != Length)
        return 0;
    const unsigned int address = unsigned(byteAt(packet, 6)) << 8 | byteAt(packet, 7);
    if (address != 0)
        return address;
    return unsigned(byteAt(packet, 2)) << 24 | unsigned(byteAt(packet, 3)) << 16 |
           unsigned(byteAt(packet, 4)) << 8 | byteAt(packet, 5);
}

char TwoPointFourGHzOrvexvoteResponse::voteByte(const QByteArray &packet)
{
    return packet.size() == Length ? packet.at(8) : 0;
}

bool TwoPointFourGHzOrvexvoteResponse::isBatteryLow(const QByteArray &)
{
    return false;
}

// ---------------------------------------------------------------------------
// Legacy

bool LegacyRepeatFilter::isNewVote(unsigned int sender, quint8 vote)
{
    auto it = m_lastVotes.find(sender);
    if (it == m_lastVotes.end()) {
        m_lastVotes.insert(sender, vote);
        return true;
    }
    if (it.value() == vote)
        return false;
    it.value() = vote;
    return true;
}

bool LegacyOrvexvoteResponse::matches(const QByteArray &packet)
{
    return packet.size() == Length && byteAt(packet, 0) == Length && byteAt(packet, 1) == Control;
}

bool LegacyOrvexvoteResponse::isVote(const QByteArray &packet)
{
    return matches(packet) && isNewVote(senderId(packet), quint8(voteByte(packet)));
}

unsigned int LegacyOrvexvoteResponse::senderId(const QByteArray &packet)
{
    if (!matches(packet))
        return 0;
    return unsigned(byteAt(packet, 2)) | unsigned(byteAt(packet, 3)) << 8 |
           unsigned(low7(packet, 4)) << 16;
}

char LegacyOrvexvoteResponse::voteByte(const QByteArray &packet)
{
    return matches(packet) ? packet.at(8) : 0;
}

bool LegacyOrvexvoteResponse::isBatteryLow(const QByteArray &packet)
{
    return matches(packet) && (byteAt(packet, 6) & 0x01) != 0;
}

bool LegacySerialOrvexvoteResponse::matches(const QByteArray &packet)
{
    return packet.size() == Length && low7(packet, 0) == Length && low7(packet, 2) == Control;
}

bool LegacySerialOrvexvoteResponse::isVote(const QByteArray &packet)
{
    return matches(packet) && isNewVote(senderId(packet), quint8(voteByte(packet)));
}

unsigned int LegacySerialOrvexvoteResponse::senderId(const QByteArray &packet)
{
    if (!matches(packet))
        return 0;
    return unsigned(low7(packet, 1)) | unsigned(low7(packet, 3)) << 7 |
           unsigned(low7(packet, 4)) << 14;
}

char LegacySerialOrvexvoteResponse::voteByte(const QByteArray &packet)
{
    return matches(packet) ? packet.at(9) : 0;
}

bool LegacySerialOrvexvoteResponse::isBatteryLow(const QByteArray &packet)
{
    return matches(packet) && (byteAt(packet, 6) & 0x01) != 0;
}

} // namespace Orvexsystem
