// Device messages put together from arbitrary response packets.
//
// Input: a series of packets, each a length byte and that many bytes; those
// that parse as first (0D 87 ...) or further (0D 88 ...) response packets go
// to the reassembly as the hub hands them over. A completed message is a
// whole number of 8-byte packets, at most 255 of them, and the reassembly
// never holds more messages than its cap.

#include "sessions/asyncresponse.h"
#include "sessions/messagereassembly.h"

#include <cstddef>
#include <cstdint>

using namespace Orvexsystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    MessageReassembly reassembly;
    size_t at = 0;
    while (at < size) {
        const size_t length = data[at++];
        const size_t take = length < size - at ? length : size - at;
        const QByteArray packet(reinterpret_cast<const char *>(data + at), int(take));
        at += take;
        const AsyncResponse response(packet);
        const bool first = response.kind() == AsyncResponse::Kind_FirstResponse;
        if (!first && response.kind() != AsyncResponse::Kind_NextResponse)
            continue;
        MessageReassembly::Completed done;
        if (reassembly.addPacket(quint16(response.address()), first, response.sequenceByte(),
                                 response.messageData(), &done)) {
            const int n = int(done.message.size());
            if (n == 0 || n % MessageReassembly::PacketDataLength != 0
                || n > MessageReassembly::MaximumMessageLength
                || done.address != quint16(response.address()))
                __builtin_trap();
        }
        if (reassembly.messagesInProgress() > MessageReassembly::MaximumMessagesInProgress)
            __builtin_trap();
    }
    return 0;
}
