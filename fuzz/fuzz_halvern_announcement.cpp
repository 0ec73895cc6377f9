// Feeds arbitrary datagrams to the response-server announcement parser.

#include "virtual/halvernprotocol.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace Orvexsystem::HalvernProtocol;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray datagram(reinterpret_cast<const char *>(data), qsizetype(size));
    const Announcement announcement = parseAnnouncement(datagram);
    if (!announcement.matched) {
        if (announcement.port != 0 || !announcement.addresses.isEmpty())
            std::abort();
        return 0;
    }
    // A match needs "Halvern addr<" and "> port<N>" (22 bytes at least)
    // within the bytes read; each further part costs a separator.
    if (announcement.port < 1 || announcement.port > 0xFFFF || announcement.addresses.isEmpty()
        || announcement.addresses.size() > MaxDatagramSize - 22 + 1)
        std::abort();
    return 0;
}
