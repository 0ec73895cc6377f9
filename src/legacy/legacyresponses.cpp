#include "legacy/legacyresponses.h"

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

// USB form: at least minimumLength bytes, byte 0 = length, byte 1 = code.
inline bool usbReply(const QByteArray &packet, int length, quint8 code, bool exact)
{
    if (exact ? packet.size() != length : packet.size() < length)
        return false;
    return byteAt(packet, 0) == length && byteAt(packet, 1) == code;
}

// Serial form: exactly length bytes, the length in bits 6..0 of byte 0 and
// the code in bits 6..0 of byte 2.
inline bool serialReply(const QByteArray &packet, int length, quint8 code)
{
    return packet.size() == length && low7(packet, 0) == length && low7(packet, 2) == code;
}

// The 3-byte id of a USB reply: bytes 2, 3, 4, lowest first; byte 4 masked
// when the reply carries something else in its bit 7.
inline quint32 usbId(const QByteArray &packet, quint8 topMask)
{
    return quint32(byteAt(packet, 2)) | quint32(byteAt(packet, 3)) << 8 |
           quint32(byteAt(packet, 4) & topMask) << 16;
}

QChar pinLetter(int digit)
{
    return digit == 7 ? QLatin1Char(' ') : QChar(QLatin1Char(char('A' + digit - 1)));
}

} // namespace

quint32 LegacyWire::serialId(const QByteArray &packet)
{
    return quint32(low7(packet, 1)) | quint32(low7(packet, 3)) << 7 | quint32(low7(packet, 4)) << 14;
}

QString LegacyWire::pinNamingText(int first, int second, int third)
{
    QString text;
    for (int digit : {first, second, third})
        if (digit > 0 && digit <= 7)
            text.append(pinLetter(digit));
    return text;
}

// ---------------------------------------------------------------------------
// Radio settings

void LegacyRadioSettings::parse(quint8 channels, quint8 boardId)
{
    m_nVoteChannel = (channels >> 1) & 0x03;
    m_nRFBand = (channels >> 3) & 0x03;
    m_nSlateChannel = (channels >> 5) & 0x03;
    m_nBoardID = boardId;
    m_bValid = true;
}

LegacyRFResponse::LegacyRFResponse(const QByteArray &packet)
{
    if (isValid(packet))
        parse(byteAt(packet, 2), byteAt(packet, 3));
}

bool LegacyRFResponse::isValid(const QByteArray &packet)
{
    return usbReply(packet, Length, LegacyWire::Code_Settings, true);
}

LegacySerialRFResponse::LegacySerialRFResponse(const QByteArray &packet)
{
    if (isValid(packet))
        parse(low7(packet, 1), low7(packet, 3));
}

bool LegacySerialRFResponse::isValid(const QByteArray &packet)
{
    return serialReply(packet, Length, LegacyWire::Code_Settings);
}

// ---------------------------------------------------------------------------
// Enable vote

LegacyUsbEnableVoteResponse::LegacyUsbEnableVoteResponse(const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    m_nDeviceId = usbId(packet, 0xFF);
    m_bValid = true;
}

bool LegacyUsbEnableVoteResponse::isValid(const QByteArray &packet)
{
    return LegacyRFResponse::isValid(packet);
}

LegacySerialEnableVoteResponse::LegacySerialEnableVoteResponse(const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    m_nDeviceId = LegacyWire::serialId(packet);
    m_bValid = true;
}

bool LegacySerialEnableVoteResponse::isValid(const QByteArray &packet)
{
    return LegacySerialRFResponse::isValid(packet);
}

// ---------------------------------------------------------------------------
// Vote registration

LegacyVoteRegistrationResponse::LegacyVoteRegistrationResponse(const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    m_nDeviceId = usbId(packet, 0x7F);
    m_bBatteryLow = (byteAt(packet, 6) & 0x01) != 0;
    m_nDeviceVersion = qint8(byteAt(packet, 8));
    m_bValid = true;
}

bool LegacyVoteRegistrationResponse::isValid(const QByteArray &packet)
{
    return usbReply(packet, Length, LegacyWire::Code_Registration, false);
}

LegacySerialVoteRegistrationResponse::LegacySerialVoteRegistrationResponse(
    const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    m_nDeviceId = LegacyWire::serialId(packet);
    m_bBatteryLow = low7(packet, 6) == 16;
    m_nDeviceVersion = qint8(byteAt(packet, 9));
    m_bValid = true;
}

bool LegacySerialVoteRegistrationResponse::isValid(const QByteArray &packet)
{
    return serialReply(packet, Length, LegacyWire::Code_Registration);
}

// ---------------------------------------------------------------------------
// Slate registration

LegacySlateRegistrationResponse::LegacySlateRegistrationResponse(const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    m_nSlateId = low7(packet, 4);
    m_bValid = true;
}

bool LegacySlateRegistrationResponse::isValid(const QByteArray &packet)
{
    return usbReply(packet, Length, LegacyWire::Code_Slate, false);
}

namespace {

int serialSlateId(const QByteArray &packet)
{
    return (low7(packet, 4) >> 2) + (byteAt(packet, 5) & 0x03) * 32;
}

} // namespace

LegacySerialSlateRegistrationResponse::LegacySerialSlateRegistrationResponse(
    const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    m_nSlateId = quint8(serialSlateId(packet));
    m_bValid = true;
}

bool LegacySerialSlateRegistrationResponse::isValid(const QByteArray &packet)
{
    if (packet.size() < Length || byteAt(packet, 0) != LengthByte
        || byteAt(packet, 2) != LegacyWire::Code_Slate)
        return false;
    const int id = serialSlateId(packet);
    return id >= 1 && id <= 63;
}

// ---------------------------------------------------------------------------
// Slate PIN registration

LegacySlatePINRegistrationResponse::LegacySlatePINRegistrationResponse(const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    m_nSlateId = low7(packet, 2);
    for (int i = 3; i <= 5; ++i)
        m_strPin.append(QLatin1Char(char('0' + (byteAt(packet, i) & 0x07))));
    m_bValid = true;
}

bool LegacySlatePINRegistrationResponse::isValid(const QByteArray &packet)
{
    return usbReply(packet, Length, LegacyWire::Code_Slate, false);
}

namespace {

// The 32-bit value of a serial slate PIN reply.
quint32 serialPinValue(const QByteArray &packet)
{
    return quint32(low7(packet, 1)) | quint32(low7(packet, 3)) << 7 |
           quint32(low7(packet, 4)) << 14 | quint32(low7(packet, 5)) << 21 |
           quint32(byteAt(packet, 6) & 0x0F) << 28;
}

} // namespace

LegacySerialSlatePINRegistrationResponse::LegacySerialSlatePINRegistrationResponse(
    const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    const quint32 value = serialPinValue(packet);
    m_nSlateId = quint8(value & 0xFF);
    for (int shift = 8; shift <= 24; shift += 8)
        m_strPin.append(QLatin1Char(char('0' + ((value >> shift) & 0xFF))));
    m_bValid = true;
}

bool LegacySerialSlatePINRegistrationResponse::isValid(const QByteArray &packet)
{
    if (packet.size() < MinimumLength || byteAt(packet, 0) != LengthByte
        || byteAt(packet, 2) != LegacyWire::Code_Slate)
        return false;
    const quint32 value = serialPinValue(packet);
    const quint32 id = value & 0xFF;
    if (id < 1 || id > 63)
        return false;
    for (int shift = 8; shift <= 24; shift += 8) {
        const quint32 digit = (value >> shift) & 0xFF;
        if (digit < 1 || digit > 6)
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// PIN naming

LegacyPinNamingResponse::LegacyPinNamingResponse(const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    m_nDeviceId = usbId(packet, 0x7F);
    const quint8 b4 = byteAt(packet, 4);
    const quint8 b5 = byteAt(packet, 5);
    m_strText = LegacyWire::pinNamingText(((b4 >> 7) & 1) * 4 + ((b5 >> 6) & 3), (b5 >> 3) & 7,
                                          b5 & 7);
    m_bValid = true;
}

bool LegacyPinNamingResponse::isValid(const QByteArray &packet)
{
    return usbReply(packet, Length, LegacyWire::Code_Registration, true);
}

LegacySerialPinNamingResponse::LegacySerialPinNamingResponse(const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    m_nDeviceId = LegacyWire::serialId(packet);
    const quint8 b5 = byteAt(packet, 5);
    const quint8 b6 = byteAt(packet, 6);
    m_strText = LegacyWire::pinNamingText(((b5 >> 2) & 1) * 4 + ((b6 >> 2) & 3),
                                          (b6 & 3) * 2 + ((b5 >> 6) & 1), (b5 >> 3) & 7);
    m_bValid = true;
}

bool LegacySerialPinNamingResponse::isValid(const QByteArray &packet)
{
    return serialReply(packet, Length, LegacyWire::Code_Registration);
}

} // namespace Orvexsystem
