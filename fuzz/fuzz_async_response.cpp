// A packet of the asynchronous message transport, as a hub delivers it:
// parsed whatever its bytes. A packet is valid only when it is one of the
// transport's five kinds and at least as long as its length byte says;
// fields are read within that length.

#include "sessions/asyncresponse.h"

#include <cstddef>
#include <cstdint>

using namespace Orvexsystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray packet(reinterpret_cast<const char *>(data), int(size));
    const AsyncResponse response(packet);
    if (response.isValidResponse() != AsyncResponse::isAsyncPacket(packet))
        __builtin_trap();
    if (!response.isValidResponse()) {
        if (response.kind() != AsyncResponse::Kind_None || !response.messageData().isEmpty())
            __builtin_trap();
        return 0;
    }
    if (response.packet().size() != quint8(packet.at(0)) || response.address() > 0xFFFF)
        __builtin_trap();
    switch (response.kind()) {
    case AsyncResponse::Kind_GetMessageRequest:
        if (response.deviceData().size() != AsyncResponse::DeviceDataLength)
            __builtin_trap();
        break;
    case AsyncResponse::Kind_FirstResponse:
    case AsyncResponse::Kind_NextResponse:
        if (response.messageData().size() != AsyncResponse::MessageDataLength)
            __builtin_trap();
        break;
    case AsyncResponse::Kind_DataRequest:
    case AsyncResponse::Kind_BufferRelease:
        if (!response.messageData().isEmpty() || response.sequenceByte() != 0)
            __builtin_trap();
        break;
    case AsyncResponse::Kind_None:
        __builtin_trap();
    }
    return 0;
}
