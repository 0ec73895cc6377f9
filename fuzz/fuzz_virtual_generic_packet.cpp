// Feeds arbitrary packets to the generic-session packet parser, checking its
// fields against the bytes, and rebuilds the host's ":AE002" command from
// them, checking its framing.

#include <orvexsystem/twopointfourghzresponses.h>

#include "virtual/virtualtwopointfourghzhub_p.h"

#include <cstdint>
#include <cstdlib>

using namespace Orvexsystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray packet(reinterpret_cast<const char *>(data), qsizetype(size));
    const VirtualGenericAsyncResponse response(packet);
    const bool generic = VirtualGenericAsyncResponse::isGenericAsyncPacket(packet);
    if (response.isValidResponse() != generic || (response.isGeneric() == 1) != generic)
        std::abort();
    if (!generic) {
        if (!response.message().isEmpty() || response.address() != 0)
            std::abort();
        return 0;
    }
    if (response.address() != ((quint8(packet.at(5)) << 8) | quint8(packet.at(6)))
        || response.number24() > 0xFFFFFF || response.message() != packet.mid(7))
        std::abort();

    const QByteArray command = VirtualTwoPointFourGHzHubPrivate::genericMessageCommand(
        response.address(), response.message());
    const qsizetype length = response.message().size();
    if (!command.startsWith(":AE002\r") || command.size() != 12 + length
        || quint8(command.at(7)) != response.address() >> 8
        || quint8(command.at(8)) != (response.address() & 0xFF)
        || ((quint8(command.at(9)) << 16) | (quint8(command.at(10)) << 8) | quint8(command.at(11)))
               != length
        || command.mid(12) != response.message())
        std::abort();
    return 0;
}
