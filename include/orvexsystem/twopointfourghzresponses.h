#ifndef ORVEXSYSTEM_TWOPOINTFOURGHZRESPONSES_H
#define ORVEXSYSTEM_TWOPOINTFOURGHZRESPONSES_H

#include <orvexsystem/device.h>
#include <orvexsystem/export.h>
#include <orvexsystem/hubresponse.h>

#include <QtCore/QByteArray>
#include <QtCore/QString>

// Replies of the 2.4 GHz hub. Every packet from the hub carries its total
// length in byte 0 and its kind in byte 1; numbers are big-endian. Each reply
// type has a static isValid() that decides from length and control bytes
// alone whether a packet is a reply of that type (the response handlers use
// it to filter packets), a constructor that parses a packet passing that test
// and a default constructor that is not valid with every field zero. No
// parser reads outside the packet, whatever its bytes.

namespace Orvexsystem {

/// "2OK": exactly 04 32 4F 4B. Ends every list reply and answers clears and
/// session ends.
class ORVEXSYSTEM_EXPORT OKResponse : public HubResponse
{
public:
    static const int Length = 4;

    OKResponse() = default;
    explicit OKResponse(const QByteArray &packet);

    static bool isValid(const QByteArray &packet);
    /// The four bytes of the reply.
    static QByteArray packet();
};

/// Answer to ":GI": registration counts and capacities, and the hub's mode.
///   2-3 handsets in use, 4-5 handset capacity (16-bit each),
///   6 boards in use, 7 board capacity, 8 slates in use, 9 slate capacity,
///   10 mode byte.
class ORVEXSYSTEM_EXPORT InformationResponse : public HubResponse
{
public:
    static const int MinimumLength = 11;
    static const quint8 Control = 0x51; ///< 'Q'

    InformationResponse() = default;
    explicit InformationResponse(const QByteArray &packet);

    static bool isValid(const QByteArray &packet);
    /// Maps the mode byte to 1..14; 0 for a byte that names no mode.
    static int hubModeOf(quint8 modeByte);

    quint16 handsetsInUse() const { return m_nHandsetsInUse; }
    quint16 handsetCapacity() const { return m_nHandsetCapacity; }
    quint8 boardsInUse() const { return m_nBoardsInUse; }
    quint8 boardCapacity() const { return m_nBoardCapacity; }
    quint8 slatesInUse() const { return m_nSlatesInUse; }
    quint8 slateCapacity() const { return m_nSlateCapacity; }
    quint8 modeByte() const { return m_nModeByte; }
    /// 1 is the idle hub; every other value (0 included) a busy one.
    int hubMode() const { return m_nHubMode; }

private:
    quint16 m_nHandsetsInUse = 0;
    quint16 m_nHandsetCapacity = 0;
    quint8 m_nBoardsInUse = 0;
    quint8 m_nBoardCapacity = 0;
    quint8 m_nSlatesInUse = 0;
    quint8 m_nSlateCapacity = 0;
    quint8 m_nModeByte = 0;
    int m_nHubMode = 0;
};

/// Answer to ":GN": 2-11 the hub's name (ASCII, ends at the first zero byte),
/// 12-15 its free store, kept as received.
class ORVEXSYSTEM_EXPORT NameAndFreeStoreResponse : public HubResponse
{
public:
    static const int MinimumLength = 16;
    static const quint8 Control = 0x32; ///< '2'
    static const int NameOffset = 2;
    static const int NameLength = 10;
    static const int FreeStoreOffset = 12;
    static const int FreeStoreLength = 4;

    NameAndFreeStoreResponse() = default;
    explicit NameAndFreeStoreResponse(const QByteArray &packet);

    static bool isValid(const QByteArray &packet);

    QString name() const { return m_strName; }
    QByteArray freeStore() const { return m_freeStore; }

private:
    QString m_strName;
    QByteArray m_freeStore;
};

/// Answer to ":GD": 2-3 the number of registered devices of one class.
class ORVEXSYSTEM_EXPORT DeviceCountResponse : public HubResponse
{
public:
    static const int MinimumLength = 4;
    static const quint8 Control = 0x53; ///< 'S'

    DeviceCountResponse() = default;
    explicit DeviceCountResponse(const QByteArray &packet);

    static bool isValid(const QByteArray &packet);

    quint16 count() const { return m_nCount; }

private:
    quint16 m_nCount = 0;
};

/// The board information that ":GR08" brings: exactly 23 bytes, control 0x90;
/// 20-21 the board's version (850 and above: touch), 22 kept as a signed byte.
class ORVEXSYSTEM_EXPORT BoardInfoResponse : public HubResponse
{
public:
    static const int Length = 23;
    static const quint8 Control = 0x90;
    static const int VersionOffset = 20;
    static const int TrailingByteOffset = 22;
    static const int TouchVersion = 850;

    BoardInfoResponse() = default;
    explicit BoardInfoResponse(const QByteArray &packet);

    static bool isValid(const QByteArray &packet);

    quint16 boardVersion() const { return m_nBoardVersion; }
    qint8 trailingByte() const { return m_nTrailingByte; }

private:
    quint16 m_nBoardVersion = 0;
    qint8 m_nTrailingByte = 0;
};

/// A handset's low-battery report: 2-5 uid, 6-7 radio address.
class ORVEXSYSTEM_EXPORT BatteryLowResponse : public HubResponse
{
public:
    static const int MinimumLength = 8;
    static const quint8 Control = 0x50; ///< 'P'

    BatteryLowResponse() = default;
    explicit BatteryLowResponse(const QByteArray &packet);

    static bool isValid(const QByteArray &packet);

    quint32 uid() const { return m_uid; }
    quint16 address() const { return m_nAddress; }

private:
    quint32 m_uid = 0;
    quint16 m_nAddress = 0;
};

/// Head shared by the records of the device lists that ":GR" hh brings, and by
/// the registration and naming reports:
///   0 length, 1 kind, 2-5 uid, 6-7 radio address, 8 product id,
///   9.. the name, fixed width, padded with zero bytes.
/// hexId is bytes 2-7 as 12 upper-case hexadecimal characters.
///
/// A list ends with the hub's OK reply. The response handler of a record type
/// queues listTerminator() in its place: a 5-byte packet whose length byte is
/// 0, which no record passes and so no hub can make the handler queue.
class ORVEXSYSTEM_EXPORT RegisteredDeviceResponse : public HubResponse
{
public:
    static const int UidOffset = 2;
    static const int AddressOffset = 6;
    static const int ProductIdOffset = 8;
    static const int NameOffset = 9;

    quint32 uid() const { return m_uid; }
    quint16 address() const { return m_nAddress; }
    qint8 productId() const { return m_nProductId; }
    QString name() const { return m_strName; }
    QByteArray hexId() const { return m_hexId; }

    static QByteArray listTerminator();
    static bool isListEnd(const QByteArray &packet) { return OKResponse::isValid(packet); }

protected:
    RegisteredDeviceResponse() = default;
    /// Reads the head and a name of nameLength bytes; the caller has checked
    /// that the packet is long enough. Names are ASCII on the wire, ISO 8859-1
    /// for expression handsets; both are read as ISO 8859-1.
    void parseHead(const QByteArray &packet, int nameLength);

    quint32 m_uid = 0;
    quint16 m_nAddress = 0;
    qint8 m_nProductId = 0;
    QString m_strName;
    QByteArray m_hexId;
};

/// A voting handset: exactly 13 bytes, control 0x67, product id 6 or 10,
/// name 9-12.
class ORVEXSYSTEM_EXPORT RegisteredVoteResponse : public RegisteredDeviceResponse
{
public:
    static const int Length = 13;
    static const quint8 Control = 0x67;
    static const int NameLength = 4;

    RegisteredVoteResponse() = default;
    explicit RegisteredVoteResponse(const QByteArray &packet);

    static bool isValid(const QByteArray &packet);
};

/// An expression or pen-expression handset: at least 23 bytes, control 0x80,
/// product id 9 or 13, name 9-22 in ISO 8859-1.
class ORVEXSYSTEM_EXPORT RegisteredExpressionResponse : public RegisteredDeviceResponse
{
public:
    static const int MinimumLength = 23;
    static const quint8 Control = 0x80;
    static const int NameLength = 14;

    RegisteredExpressionResponse() = default;
    explicit RegisteredExpressionResponse(const QByteArray &packet);

    static bool isValid(const QByteArray &packet);

    /// Expression0C for a uid whose top byte is 0x0C; else Expression unless
    /// the product id is 13 (pen expression), which has None.
    Device::SubType subType() const { return m_eSubType; }

private:
    Device::SubType m_eSubType = Device::SubType_None;
};

/// A slate: 19 or 20 bytes, control 0x67, product id 7, name 9-18; a 20-byte
/// record carries one more signed byte at 19.
class ORVEXSYSTEM_EXPORT RegisteredSlateResponse : public RegisteredDeviceResponse
{
public:
    static const int ShortLength = 19;
    static const int LongLength = 20;
    static const quint8 Control = 0x67;
    static const int NameLength = 10;
    static const int ExtraOffset = 19;

    RegisteredSlateResponse() = default;
    explicit RegisteredSlateResponse(const QByteArray &packet);

    static bool isValid(const QByteArray &packet);

    qint8 extra() const { return m_nExtra; }

private:
    qint8 m_nExtra = 0;
};

/// A board registered with the hub: at least 23 bytes, control 0x90, product
/// id 8, name 9-18.
class ORVEXSYSTEM_EXPORT RegisteredBoardResponse : public RegisteredDeviceResponse
{
public:
    static const int MinimumLength = 23;
    static const quint8 Control = 0x90;
    static const int NameLength = 10;

    RegisteredBoardResponse() = default;
    explicit RegisteredBoardResponse(const QByteArray &packet);

    static bool isValid(const QByteArray &packet);
};

/// A handset's answer during a question session: exactly 12 bytes, control
/// 0x83, 2-3 the handset's radio address.
class ORVEXSYSTEM_EXPORT SessionAnswerResponse : public HubResponse
{
public:
    static const int Length = 12;
    static const quint8 Control = 0x83;

    static bool isValid(const QByteArray &packet);

    quint16 address() const { return m_nAddress; }

protected:
    SessionAnswerResponse() = default;
    quint16 m_nAddress = 0;
};

/// The one-value answer (yes/no, true/false, Likert, message): bytes 4 and 5
/// kept, byte 6 the answer; all signed.
class ORVEXSYSTEM_EXPORT SessionByteResponse : public SessionAnswerResponse
{
public:
    SessionByteResponse() = default;
    explicit SessionByteResponse(const QByteArray &packet);

    qint8 byte4() const { return m_nByte4; }
    qint8 byte5() const { return m_nByte5; }
    qint8 answer() const { return m_nAnswer; }

private:
    qint8 m_nByte4 = 0;
    qint8 m_nByte5 = 0;
    qint8 m_nAnswer = 0;
};

/// The six-choice answer (multiple choice, sort in order): bytes 4 and 5
/// kept, 6-11 the six answer bytes.
class ORVEXSYSTEM_EXPORT SessionSortInOrderResponse : public SessionAnswerResponse
{
public:
    static const int AnswerOffset = 6;
    static const int AnswerLength = 6;

    SessionSortInOrderResponse() = default;
    explicit SessionSortInOrderResponse(const QByteArray &packet);

    quint8 byte4() const { return m_nByte4; }
    quint8 byte5() const { return m_nByte5; }
    QByteArray answers() const { return m_answers; }

private:
    quint8 m_nByte4 = 0;
    quint8 m_nByte5 = 0;
    QByteArray m_answers;
};

/// Answer to ":XP003" (naming one expression handset): exactly 04 82 b2 b3.
class ORVEXSYSTEM_EXPORT ExpressionNameReceivedResponse : public HubResponse
{
public:
    static const int Length = 4;
    static const quint8 Control = 0x82;

    ExpressionNameReceivedResponse() = default;
    explicit ExpressionNameReceivedResponse(const QByteArray &packet);

    static bool isValid(const QByteArray &packet);

    quint8 byte2() const { return m_nByte2; }
    quint8 byte3() const { return m_nByte3; }

private:
    quint8 m_nByte2 = 0;
    quint8 m_nByte3 = 0;
};

/// A device message of the virtual hub's generic session: at least 7 bytes,
/// byte 0 = 0x00, byte 4 = 0xE1; 1-3 a 24-bit number, 5-6 the sender's radio
/// address, 7.. the message.
class ORVEXSYSTEM_EXPORT GenericAsyncResponse : public HubResponse
{
public:
    static const int MinimumLength = 7;
    static const quint8 GenericMarker = 0xE1;

    ~GenericAsyncResponse() override;

    QByteArray packet() const { return m_packet; }
    int isGeneric() const { return m_nIsGeneric; }
    quint16 address() const { return m_nAddress; }
    quint32 number24() const { return m_nNumber24; }
    QByteArray message() const { return m_message; }

protected:
    GenericAsyncResponse() = default;

    QByteArray m_packet;
    int m_nIsGeneric = 0;
    quint16 m_nAddress = 0;
    quint32 m_nNumber24 = 0;
    QByteArray m_message;
};

/// A device message of the generic session, as a virtual hub delivers it.
class ORVEXSYSTEM_EXPORT VirtualGenericAsyncResponse : public GenericAsyncResponse
{
public:
    VirtualGenericAsyncResponse() = default;
    explicit VirtualGenericAsyncResponse(const QByteArray &packet);

    static bool isValid(const QByteArray &packet) { return isGenericAsyncPacket(packet); }
    static bool isGenericAsyncPacket(const QByteArray &packet);

    /// Parses the packet; false (and not valid) when it is no generic packet.
    virtual bool parse(const QByteArray &packet);
};

} // namespace Orvexsystem

#endif
