#include <orvexsystem/twopointfourghzpinnamingresponse.h>
#include <orvexsystem/twopointfourghzresponses.h>

namespace Orvexsystem {

namespace {

inline quint8 byteAt(const QByteArray &packet, int index)
{
    return quint8(packet.at(index));
}

inline quint16 be16(const QByteArray &packet, int index)
{
    return quint16((byteAt(packet, index) << 8) | byteAt(packet, index + 1));
}

inline quint32 be32(const QByteArray &packet, int index)
{
    return (quint32(byteAt(packet, index)) << 24) | (quint32(byteAt(packet, index + 1)) << 16) |
           (quint32(byteAt(packet, index + 2)) << 8) | quint32(byteAt(packet, index + 3));
}

// A packet of at least minimumLength bytes whose length byte says at least
// as much, with the given control byte.
inline bool hasAtLeast(const QByteArray &packet, int minimumLength, quint8 control)
{
    return packet.size() >= minimumLength && byteAt(packet, 0) >= minimumLength &&
           byteAt(packet, 1) == control;
}

// A packet of exactly length bytes that says so, with the given control byte.
inline bool hasExactly(const QByteArray &packet, int length, quint8 control)
{
    return packet.size() == length && byteAt(packet, 0) == length && byteAt(packet, 1) == control;
}

// The bytes of a fixed-width text field up to its first zero byte.
QByteArray fieldText(const QByteArray &packet, int offset, int width)
{
    const QByteArray field = packet.mid(offset, width);
    const int end = field.indexOf('\0');
    return end < 0 ? field : field.left(end);
}

} // namespace

// ---------------------------------------------------------------------------

bool OKResponse::isValid(const QByteArray &packet)
{
    return packet.size() == Length && byteAt(packet, 0) == 0x04 && byteAt(packet, 1) == 0x32 &&
           byteAt(packet, 2) == 0x4F && byteAt(packet, 3) == 0x4B;
}

OKResponse::OKResponse(const QByteArray &packet)
{
    m_bValid = isValid(packet);
}

QByteArray OKResponse::packet()
{
    return QByteArray("\x04\x32\x4F\x4B", Length);
}

// ---------------------------------------------------------------------------

bool InformationResponse::isValid(const QByteArray &packet)
{
    return hasAtLeast(packet, MinimumLength, Control);
}

int InformationResponse::hubModeOf(quint8 modeByte)
{
    switch (modeByte) {
    case 0: return 1;
    case 1: return 2;
    case 3: return 3;
    case 5: return 4;
    case 8: return 5;
    case 9: return 6;
    case 12: return 7;
    case 13: return 8;
    case 17: return 9;
    case 18: return 10;
    case 32: return 11;
    case 33: return 12;
    case 35: return 13;
    case 48: return 14;
    default: return 0;
    }
}

InformationResponse::InformationResponse(const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    m_nHandsetsInUse = be16(packet, 2);
    m_nHandsetCapacity = be16(packet, 4);
    m_nBoardsInUse = byteAt(packet, 6);
    m_nBoardCapacity = byteAt(packet, 7);
    m_nSlatesInUse = byteAt(packet, 8);
    m_nSlateCapacity = byteAt(packet, 9);
    m_nModeByte = byteAt(packet, 10);
    m_nHubMode = hubModeOf(m_nModeByte);
    m_bValid = true;
}

// ---------------------------------------------------------------------------

bool NameAndFreeStoreResponse::isValid(const QByteArray &packet)
{
    return hasAtLeast(packet, MinimumLength, Control);
}

NameAndFreeStoreResponse::NameAndFreeStoreResponse(const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    m_strName = QString::fromLatin1(fieldText(packet, NameOffset, NameLength));
    m_freeStore = packet.mid(FreeStoreOffset, FreeStoreLength);
    m_bValid = true;
}

// ---------------------------------------------------------------------------

bool DeviceCountResponse::isValid(const QByteArray &packet)
{
    return hasAtLeast(packet, MinimumLength, Control);
}

DeviceCountResponse::DeviceCountResponse(const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    m_nCount = be16(packet, 2);
    m_bValid = true;
}

// ---------------------------------------------------------------------------

bool BoardInfoResponse::isValid(const QByteArray &packet)
{
    return hasExactly(packet, Length, Control);
}

BoardInfoResponse::BoardInfoResponse(const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    m_nBoardVersion = be16(packet, VersionOffset);
    m_nTrailingByte = qint8(byteAt(packet, TrailingByteOffset));
    m_bValid = true;
}

// ---------------------------------------------------------------------------

bool BatteryLowResponse::isValid(const QByteArray &packet)
{
    return hasAtLeast(packet, MinimumLength, Control);
}

BatteryLowResponse::BatteryLowResponse(const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    m_uid = be32(packet, 2);
    m_nAddress = be16(packet, 6);
    m_bValid = true;
}

// ---------------------------------------------------------------------------

QByteArray RegisteredDeviceResponse::listTerminator()
{
    return QByteArray("\x00\x00" "END", 5);
}

void RegisteredDeviceResponse::parseHead(const QByteArray &packet, int nameLength)
{
    m_uid = be32(packet, UidOffset);
    m_nAddress = be16(packet, AddressOffset);
    m_nProductId = qint8(byteAt(packet, ProductIdOffset));
    m_strName = QString::fromLatin1(fieldText(packet, NameOffset, nameLength));
    m_hexId = packet.mid(UidOffset, 6).toHex().toUpper();
}

bool RegisteredVoteResponse::isValid(const QByteArray &packet)
{
    if (!hasExactly(packet, Length, Control))
        return false;
    const quint8 product = byteAt(packet, ProductIdOffset);
    return product == 6 || product == 10;
}

RegisteredVoteResponse::RegisteredVoteResponse(const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    parseHead(packet, NameLength);
    m_bValid = true;
}

bool RegisteredExpressionResponse::isValid(const QByteArray &packet)
{
    if (!hasAtLeast(packet, MinimumLength, Control))
        return false;
    const quint8 product = byteAt(packet, ProductIdOffset);
    return product == 9 || product == 13;
}

RegisteredExpressionResponse::RegisteredExpressionResponse(const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    parseHead(packet, NameLength);
    if (m_hexId.startsWith("0C"))
        m_eSubType = Device::SubType_Expression0C;
    else if (m_nProductId != 13)
        m_eSubType = Device::SubType_Expression;
    else
        m_eSubType = Device::SubType_None;
    m_bValid = true;
}

bool RegisteredSlateResponse::isValid(const QByteArray &packet)
{
    const int size = packet.size();
    if (size != ShortLength && size != LongLength)
        return false;
    const quint8 length = byteAt(packet, 0);
    return (length == ShortLength || length == LongLength) && byteAt(packet, 1) == Control &&
           byteAt(packet, ProductIdOffset) == 7;
}

RegisteredSlateResponse::RegisteredSlateResponse(const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    parseHead(packet, NameLength);
    // The length byte announces the extra byte; a 19-byte packet that claims
    // 20 has none to give.
    if (byteAt(packet, 0) == LongLength && packet.size() > ExtraOffset)
        m_nExtra = qint8(byteAt(packet, ExtraOffset));
    m_bValid = true;
}

bool RegisteredBoardResponse::isValid(const QByteArray &packet)
{
    return hasAtLeast(packet, MinimumLength, Control) && byteAt(packet, ProductIdOffset) == 8;
}

RegisteredBoardResponse::RegisteredBoardResponse(const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    parseHead(packet, NameLength);
    m_bValid = true;
}

// ---------------------------------------------------------------------------

bool SessionAnswerResponse::isValid(const QByteArray &packet)
{
    return hasExactly(packet, Length, Control);
}

SessionByteResponse::SessionByteResponse(const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    m_nAddress = be16(packet, 2);
    m_nByte4 = qint8(byteAt(packet, 4));
    m_nByte5 = qint8(byteAt(packet, 5));
    m_nAnswer = qint8(byteAt(packet, 6));
    m_bValid = true;
}

SessionSortInOrderResponse::SessionSortInOrderResponse(const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    m_nAddress = be16(packet, 2);
    m_nByte4 = byteAt(packet, 4);
    m_nByte5 = byteAt(packet, 5);
    m_answers = packet.mid(AnswerOffset, AnswerLength);
    m_bValid = true;
}

// ---------------------------------------------------------------------------

bool ExpressionNameReceivedResponse::isValid(const QByteArray &packet)
{
    return hasExactly(packet, Length, Control);
}

ExpressionNameReceivedResponse::ExpressionNameReceivedResponse(const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    m_nByte2 = byteAt(packet, 2);
    m_nByte3 = byteAt(packet, 3);
    m_bValid = true;
}

// ---------------------------------------------------------------------------

bool TwoPointFourGHzPinNamingResponse::isValid(const QByteArray &packet)
{
    return hasExactly(packet, Length, Control);
}

QString TwoPointFourGHzPinNamingResponse::textOfCodes(quint8 high, quint8 low)
{
    const quint8 codes[4] = {quint8((high >> 1) & 7), quint8(((high & 1) << 2) | (low >> 6)),
                             quint8((low >> 3) & 7), quint8(low & 7)};
    QString text;
    for (quint8 code : codes) {
        if (code == 7)
            text += QLatin1Char(' ');
        else if (code != 0)
            text += QLatin1Char(char('A' + code - 1));
    }
    return text;
}

TwoPointFourGHzPinNamingResponse::TwoPointFourGHzPinNamingResponse(const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    m_uid = be32(packet, UidOffset);
    m_nAddress = be16(packet, AddressOffset);
    m_strText = textOfCodes(byteAt(packet, CodesOffset), byteAt(packet, CodesOffset + 1));
    m_bValid = true;
}

// ---------------------------------------------------------------------------

GenericAsyncResponse::~GenericAsyncResponse() = default;

bool VirtualGenericAsyncResponse::isGenericAsyncPacket(const QByteArray &packet)
{
    return packet.size() >= MinimumLength && byteAt(packet, 0) == 0x00 &&
           byteAt(packet, 4) == GenericMarker;
}

VirtualGenericAsyncResponse::VirtualGenericAsyncResponse(const QByteArray &packet)
{
    parse(packet);
}

bool VirtualGenericAsyncResponse::parse(const QByteArray &packet)
{
    m_packet.clear();
    m_nIsGeneric = 0;
    m_nAddress = 0;
    m_nNumber24 = 0;
    m_message.clear();
    m_bValid = false;
    if (!isGenericAsyncPacket(packet))
        return false;
    m_packet = packet;
    m_nIsGeneric = 1;
    m_nNumber24 = (quint32(byteAt(packet, 1)) << 16) | (quint32(byteAt(packet, 2)) << 8) |
                  quint32(byteAt(packet, 3));
    m_nAddress = be16(packet, 5);
    m_message = packet.mid(MinimumLength);
    m_bValid = true;
    return true;
}

} // namespace Orvexsystem
