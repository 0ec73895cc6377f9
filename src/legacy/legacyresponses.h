#ifndef ORVEXSYSTEM_LEGACY_LEGACYRESPONSES_H
#define ORVEXSYSTEM_LEGACY_LEGACYRESPONSES_H

// Replies of a legacy hub, in the USB form and in the 7-bit serial form.
//
// USB form: byte 0 is the packet length, byte 1 the reply code.
// Serial form: byte 0 carries the length in bits 6..0 (bit 7 may be set),
// byte 2 the reply code in bits 6..0, and every data byte only 7 bits; an id
// travels as three 7-bit groups in bytes 1, 3 and 4, lowest group first.
//
// Reply codes: 0x68 radio settings and enable-vote replies, 0x67
// vote-registration and PIN naming replies, 0x07 slate registration and slate
// PIN registration replies. Each type's isValid() is its length and code test;
// the constructor parses a packet that passes it and leaves every field zero
// otherwise. No parser reads outside the packet.

#include <orvexsystem/hubresponse.h>

#include <QtCore/QByteArray>
#include <QtCore/QString>

namespace Orvexsystem {

namespace LegacyWire {

const quint8 Code_Settings = 0x68;     // radio settings, enable vote
const quint8 Code_Registration = 0x67; // vote registration, PIN naming
const quint8 Code_Slate = 0x07;        // slate registration, slate PIN

// The three 7-bit groups of bytes 1, 3 and 4 of a serial reply (21 bits).
quint32 serialId(const QByteArray &packet);
// PIN naming digits to letters: 1..6 become A..F, 7 a blank, 0 is left out.
QString pinNamingText(int first, int second, int third);

} // namespace LegacyWire

// Radio settings, answer to ":VT": vote channel, RF band and slate channel
// from one byte (bits 2..1, 4..3, 6..5), and the board id.
class LegacyRadioSettings : public HubResponse
{
public:
    int voteChannel() const { return m_nVoteChannel; }
    int rfBand() const { return m_nRFBand; }
    int slateChannel() const { return m_nSlateChannel; }
    int boardId() const { return m_nBoardID; }

protected:
    void parse(quint8 channels, quint8 boardId);

private:
    int m_nVoteChannel = 0;
    int m_nRFBand = 0;
    int m_nSlateChannel = 0;
    int m_nBoardID = 0;
};

// USB: 10 bytes, 0A 68, channels in byte 2, board id in byte 3.
class LegacyRFResponse : public LegacyRadioSettings
{
public:
    static const int Length = 10;
    LegacyRFResponse() = default;
    explicit LegacyRFResponse(const QByteArray &packet);
    static bool isValid(const QByteArray &packet);
};

// Serial: 11 bytes, channels in byte 1, board id in byte 3.
class LegacySerialRFResponse : public LegacyRadioSettings
{
public:
    static const int Length = 11;
    LegacySerialRFResponse() = default;
    explicit LegacySerialRFResponse(const QByteArray &packet);
    static bool isValid(const QByteArray &packet);
};

// A handset's answer to ":VI": the id of the handset now listened to.
class LegacyEnableVoteReply : public HubResponse
{
public:
    quint32 deviceId() const { return m_nDeviceId; }

protected:
    quint32 m_nDeviceId = 0;
};

// USB: the test of LegacyRFResponse; id = bytes 2, 3, 4, lowest first.
class LegacyUsbEnableVoteResponse : public LegacyEnableVoteReply
{
public:
    LegacyUsbEnableVoteResponse() = default;
    explicit LegacyUsbEnableVoteResponse(const QByteArray &packet);
    static bool isValid(const QByteArray &packet);
};

// Serial: the test of LegacySerialRFResponse; id = the 7-bit groups.
class LegacySerialEnableVoteResponse : public LegacyEnableVoteReply
{
public:
    LegacySerialEnableVoteResponse() = default;
    explicit LegacySerialEnableVoteResponse(const QByteArray &packet);
    static bool isValid(const QByteArray &packet);
};

// A voting handset registering during ":VR".
class LegacyVoteRegistrationReply : public HubResponse
{
public:
    quint32 deviceId() const { return m_nDeviceId; }
    bool batteryLow() const { return m_bBatteryLow; }
    int deviceVersion() const { return m_nDeviceVersion; }

protected:
    quint32 m_nDeviceId = 0;
    bool m_bBatteryLow = false;
    int m_nDeviceVersion = 0;
};

// USB: at least 9 bytes, 09 67; id = bytes 2, 3 and byte 4 bits 6..0;
// battery low = bit 0 of byte 6; version = byte 8, signed.
class LegacyVoteRegistrationResponse : public LegacyVoteRegistrationReply
{
public:
    static const int Length = 9;
    LegacyVoteRegistrationResponse() = default;
    explicit LegacyVoteRegistrationResponse(const QByteArray &packet);
    static bool isValid(const QByteArray &packet);
};

// Serial: exactly 10 bytes; id = the 7-bit groups; battery low when byte 6
// bits 6..0 are 16; version = byte 9, signed.
class LegacySerialVoteRegistrationResponse : public LegacyVoteRegistrationReply
{
public:
    static const int Length = 10;
    LegacySerialVoteRegistrationResponse() = default;
    explicit LegacySerialVoteRegistrationResponse(const QByteArray &packet);
    static bool isValid(const QByteArray &packet);
};

// A slate asking for a PIN during ":AR".
class LegacySlateRegistrationReply : public HubResponse
{
public:
    quint8 slateId() const { return m_nSlateId; }

protected:
    quint8 m_nSlateId = 0;
};

// USB: at least 9 bytes, 09 07; slate id = byte 4 bits 6..0 (byte 7 bits
// 6..0 carry a second value the library does not use).
class LegacySlateRegistrationResponse : public LegacySlateRegistrationReply
{
public:
    static const int Length = 9;
    LegacySlateRegistrationResponse() = default;
    explicit LegacySlateRegistrationResponse(const QByteArray &packet);
    static bool isValid(const QByteArray &packet);
};

// Serial: at least 10 bytes, byte 0 = 0x8A, byte 2 = 0x07; slate id =
// (byte 4 bits 6..2) + (byte 5 bits 1..0) x 32, valid only from 1 to 63.
class LegacySerialSlateRegistrationResponse : public LegacySlateRegistrationReply
{
public:
    static const int Length = 10;
    static const quint8 LengthByte = 0x8A;
    LegacySerialSlateRegistrationResponse() = default;
    explicit LegacySerialSlateRegistrationResponse(const QByteArray &packet);
    static bool isValid(const QByteArray &packet);
};

// A slate echoing the PIN its learner keyed in after ":AP".
class LegacySlatePINReply : public HubResponse
{
public:
    quint8 slateId() const { return m_nSlateId; }
    // The three PIN digits as decimal text, e.g. "314".
    QString pinText() const { return m_strPin; }

protected:
    quint8 m_nSlateId = 0;
    QString m_strPin;
};

// USB: at least 9 bytes, 09 07; slate id = byte 2 bits 6..0; the digits are
// bits 2..0 of bytes 3, 4 and 5.
class LegacySlatePINRegistrationResponse : public LegacySlatePINReply
{
public:
    static const int Length = 9;
    LegacySlatePINRegistrationResponse() = default;
    explicit LegacySlatePINRegistrationResponse(const QByteArray &packet);
    static bool isValid(const QByteArray &packet);
};

// Serial: at least 7 bytes, byte 0 = 0x8A, byte 2 = 0x07. V = the 7-bit
// groups of bytes 1, 3, 4, 5, and bits 3..0 of byte 6 as bits 31..28; slate
// id = bits 7..0 of V, the digits bits 15..8, 23..16 and 31..24. Valid only
// with a slate id from 1 to 63 and every digit from 1 to 6.
class LegacySerialSlatePINRegistrationResponse : public LegacySlatePINReply
{
public:
    static const int MinimumLength = 7;
    static const quint8 LengthByte = 0x8A;
    LegacySerialSlatePINRegistrationResponse() = default;
    explicit LegacySerialSlatePINRegistrationResponse(const QByteArray &packet);
    static bool isValid(const QByteArray &packet);
};

// A handset's text during PIN naming (":VZ"): three 3-bit digits.
class LegacyPinNamingReply : public HubResponse
{
public:
    quint32 deviceId() const { return m_nDeviceId; }
    // Letters A..F and blanks; digits 0 are left out, so up to three.
    QString pinText() const { return m_strText; }

protected:
    quint32 m_nDeviceId = 0;
    QString m_strText;
};

// USB: exactly 9 bytes, 09 67; id as the vote-registration reply; first
// digit = (bit 7 of byte 4) x 4 + bits 7..6 of byte 5, second = bits 5..3,
// third = bits 2..0 of byte 5.
class LegacyPinNamingResponse : public LegacyPinNamingReply
{
public:
    static const int Length = 9;
    LegacyPinNamingResponse() = default;
    explicit LegacyPinNamingResponse(const QByteArray &packet);
    static bool isValid(const QByteArray &packet);
};

// Serial: exactly 10 bytes; id = the 7-bit groups; first digit = (bit 2 of
// byte 5) x 4 + bits 3..2 of byte 6, second = (bits 1..0 of byte 6) x 2 +
// bit 6 of byte 5, third = bits 5..3 of byte 5.
class LegacySerialPinNamingResponse : public LegacyPinNamingReply
{
public:
    static const int Length = 10;
    LegacySerialPinNamingResponse() = default;
    explicit LegacySerialPinNamingResponse(const QByteArray &packet);
    static bool isValid(const QByteArray &packet);
};

} // namespace Orvexsystem

#endif
