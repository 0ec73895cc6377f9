#include "sessions/asyncresponse.h"

namespace Orvexsystem {

namespace {

inline quint8 byteAt(const QByteArray &packet, int offset)
{
    return quint8(packet.at(offset));
}

bool isResponseKind(AsyncResponse::Kind kind)
{
    return kind == AsyncResponse::Kind_FirstResponse || kind == AsyncResponse::Kind_NextResponse;
}

// The kind named by the first two bytes, Kind_None for any other pair.
AsyncResponse::Kind kindOf(quint8 length, quint8 control)
{
    if (length == AsyncResponse::GetMessageRequest_Length
        && control == AsyncResponse::GetMessageRequest_Control)
        return AsyncResponse::Kind_GetMessageRequest;
    if (length == AsyncResponse::DataRequest_Length && control == AsyncResponse::DataRequest_Control)
        return AsyncResponse::Kind_DataRequest;
    if (length == AsyncResponse::BufferRelease_Length
        && control == AsyncResponse::BufferRelease_Control)
        return AsyncResponse::Kind_BufferRelease;
    if (length == AsyncResponse::Response_Length && control == AsyncResponse::FirstResponse_Control)
        return AsyncResponse::Kind_FirstResponse;
    if (length == AsyncResponse::Response_Length && control == AsyncResponse::NextResponse_Control)
        return AsyncResponse::Kind_NextResponse;
    return AsyncResponse::Kind_None;
}

} // namespace

bool AsyncResponse::isAsyncPacket(const QByteArray &packet)
{
    if (packet.size() < 2)
        return false;
    const quint8 length = byteAt(packet, Offset_Length);
    // A packet shorter than its length byte says would be read beyond its end.
    return kindOf(length, byteAt(packet, Offset_Control)) != Kind_None && packet.size() >= length;
}

AsyncResponse::AsyncResponse(const QByteArray &packet)
{
    if (!isAsyncPacket(packet))
        return;
    m_packet = packet.left(byteAt(packet, Offset_Length));
    m_eKind = kindOf(byteAt(packet, Offset_Length), byteAt(packet, Offset_Control));
    switch (m_eKind) {
    case Kind_GetMessageRequest:
        m_deviceData = m_packet.mid(Offset_DeviceData, DeviceDataLength);
        Q_FALLTHROUGH();
    case Kind_FirstResponse:
    case Kind_NextResponse:
        m_nAddress = byteAt(m_packet, Offset_Address) << 8 | byteAt(m_packet, Offset_Address + 1);
        break;
    case Kind_DataRequest:
    case Kind_BufferRelease:
        m_nIndex = byteAt(m_packet, Offset_Index);
        break;
    case Kind_None:
        break;
    }
    m_bValid = true;
}

AsyncResponse::~AsyncResponse() = default;

QByteArray AsyncResponse::messageData() const
{
    return isResponseKind(m_eKind) ? m_packet.mid(Offset_MessageData) : QByteArray();
}

quint8 AsyncResponse::sequenceByte() const
{
    return isResponseKind(m_eKind) ? byteAt(m_packet, Offset_Sequence) : 0;
}

} // namespace Orvexsystem
