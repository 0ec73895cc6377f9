#ifndef ORVEXSYSTEM_SESSIONS_ASYNCRESPONSE_H
#define ORVEXSYSTEM_SESSIONS_ASYNCRESPONSE_H

#include <orvexsystem/hubresponse.h>

#include <QtCore/QByteArray>

namespace Orvexsystem {

// One packet of the asynchronous message transport, from a 2.4 GHz hub
// (byte 0 the packet's length, byte 1 its kind; numbers big-endian):
//
//   0C 84 ah al d0..d7        get-message request: 8 bytes of device data
//   03 85 i                   data request: the next fragment of buffer i
//   03 86 i                   buffer release: the device has buffer i whole
//   0D 87 ah al n b0..b7      first response packet of a message of n packets
//   0D 88 ah al p b(8p)..     further response packet number p (1, 2, ...)
//
// ah al is the sender's radio address. A packet is one of these when its
// first two bytes form one of the five pairs and it is at least as long as
// its length byte says; fields are read within that length only.
class AsyncResponse : public HubResponse
{
public:
    enum Kind {
        Kind_None = 0,
        Kind_GetMessageRequest = 1,
        Kind_DataRequest = 2,
        Kind_BufferRelease = 3,
        Kind_FirstResponse = 4,
        Kind_NextResponse = 5
    };

    static const int Offset_Length = 0;
    static const int Offset_Control = 1;
    static const int Offset_Address = 2;
    static const int Offset_Index = 2;
    static const int Offset_DeviceData = 4;
    static const int Offset_Sequence = 4;
    static const int Offset_MessageData = 5;
    static const int DeviceDataLength = 8;
    static const int MessageDataLength = 8;

    static const quint8 GetMessageRequest_Length = 0x0C;
    static const quint8 GetMessageRequest_Control = 0x84;
    static const quint8 DataRequest_Length = 0x03;
    static const quint8 DataRequest_Control = 0x85;
    static const quint8 BufferRelease_Length = 0x03;
    static const quint8 BufferRelease_Control = 0x86;
    static const quint8 Response_Length = 0x0D;
    static const quint8 FirstResponse_Control = 0x87;
    static const quint8 NextResponse_Control = 0x88;

    AsyncResponse() = default;
    // Parses the packet; not valid (all fields zero or empty) unless
    // isAsyncPacket() holds.
    explicit AsyncResponse(const QByteArray &packet);
    ~AsyncResponse() override;

    static bool isAsyncPacket(const QByteArray &packet);
    static bool isValid(const QByteArray &packet) { return isAsyncPacket(packet); }

    QByteArray packet() const { return m_packet; }
    Kind kind() const { return m_eKind; }
    // Radio address of requests and response packets, 0-65535.
    int address() const { return m_nAddress; }
    // Buffer index of data requests and releases.
    quint8 index() const { return m_nIndex; }
    // The 8 bytes of a get-message request.
    QByteArray deviceData() const { return m_deviceData; }
    // Response packets: the 8 message bytes, and byte 4 (the packet count of
    // a first packet, the packet number of a further one). Empty and 0 for
    // the other kinds.
    QByteArray messageData() const;
    quint8 sequenceByte() const;

private:
    QByteArray m_packet;
    int m_nAddress = 0;
    quint8 m_nIndex = 0;
    Kind m_eKind = Kind_None;
    QByteArray m_deviceData;
};

} // namespace Orvexsystem

#endif
