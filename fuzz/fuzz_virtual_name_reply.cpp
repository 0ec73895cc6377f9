// Feeds arbitrary packets to the virtual hub's name reply, checking that the
// name never runs past the packet nor past its announced length.

#include <orvexsystem/enhancednameresponse.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

using namespace Orvexsystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray packet(reinterpret_cast<const char *>(data), qsizetype(size));
    const bool valid = EnhancedNameResponse::isValid(packet);
    const EnhancedNameResponse reply(packet);
    if (reply.isValidResponse() != valid)
        std::abort();
    if (!valid) {
        if (!reply.name.isEmpty())
            std::abort();
        return 0;
    }
    const qsizetype announced = quint8(packet.at(0));
    const qsizetype expected = std::min(announced, packet.size() - 2);
    if (reply.name.size() != expected || reply.name != QString::fromLatin1(packet.mid(2, expected)))
        std::abort();
    return 0;
}
