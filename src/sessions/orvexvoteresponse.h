#ifndef ORVEXSYSTEM_SESSIONS_ORVEXVOTERESPONSE_H
#define ORVEXSYSTEM_SESSIONS_ORVEXVOTERESPONSE_H

#include <QtCore/QByteArray>
#include <QtCore/QHash>

namespace Orvexsystem {

// Recognises and decodes the vote packets of one hub kind and connection.
// A decoder belongs to one voting session and is used on the packet thread
// only, under the hub's session lock. No decoder reads outside the packet.
class OrvexvoteResponse
{
public:
    virtual ~OrvexvoteResponse();
    // Whether the packet is a vote to deliver. The legacy decoders also
    // drop repeats here (and remember the vote), so call it once per packet.
    virtual bool isVote(const QByteArray &packet) = 0;
    // The sender of a packet that isVote() accepted: a radio address or a
    // serial number, as the hub kind's getDeviceId() expects it.
    virtual unsigned int senderId(const QByteArray &packet) = 0;
    virtual char voteByte(const QByteArray &packet) = 0;
    virtual bool isBatteryLow(const QByteArray &packet) = 0;

    // The option of a vote byte: the one-hot bytes 0x01..0x20 are options
    // 1..6, any other byte 0.
    static int optionOf(char voteByte);
};

// 2.4 GHz hubs: exactly 9 bytes, 09 65; the sender is the big-endian radio
// address in bytes 6-7, or bytes 2-5 when the address is 0; the key in
// byte 8. No battery flag, no repeat filter.
class TwoPointFourGHzOrvexvoteResponse : public OrvexvoteResponse
{
public:
    static const int Length = 9;
    static const quint8 Control = 0x65;

    bool isVote(const QByteArray &packet) override;
    unsigned int senderId(const QByteArray &packet) override;
    char voteByte(const QByteArray &packet) override;
    bool isBatteryLow(const QByteArray &packet) override;
};

// The legacy decoders remember the last vote byte accepted per sender: a
// handset repeats every key press, and only a change of key is a new vote.
class LegacyRepeatFilter
{
protected:
    // True, and remembered, when the sender's previous vote was another key.
    bool isNewVote(unsigned int sender, quint8 vote);

private:
    QHash<unsigned int, quint8> m_lastVotes;
};

// Legacy hubs over USB: exactly 9 bytes, 09 65; sender = byte 2 + byte 3 x
// 256 + (byte 4 bits 6..0) x 65536; key in byte 8; battery low in bit 0 of
// byte 6.
class LegacyOrvexvoteResponse : public OrvexvoteResponse, private LegacyRepeatFilter
{
public:
    static const int Length = 9;
    static const quint8 Control = 0x65;

    bool isVote(const QByteArray &packet) override;
    unsigned int senderId(const QByteArray &packet) override;
    char voteByte(const QByteArray &packet) override;
    bool isBatteryLow(const QByteArray &packet) override;

private:
    static bool matches(const QByteArray &packet);
};

// Legacy hubs over a serial line: exactly 10 bytes, length 0x0A in bits
// 6..0 of byte 0, code 0x65 in bits 6..0 of byte 2; sender = the 7-bit
// groups of bytes 1, 3 and 4; key in byte 9; battery low in bit 0 of byte 6.
class LegacySerialOrvexvoteResponse : public OrvexvoteResponse, private LegacyRepeatFilter
{
public:
    static const int Length = 10;
    static const quint8 Control = 0x65;

    bool isVote(const QByteArray &packet) override;
    unsigned int senderId(const QByteArray &packet) override;
    char voteByte(const QByteArray &packet) override;
    bool isBatteryLow(const QByteArray &packet) override;

private:
    static bool matches(const QByteArray &packet);
};

} // namespace Orvexsystem

#endif
