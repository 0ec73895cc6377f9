// The vote packets of every hub kind fed to a voting session.
//
// Input: byte 0 picks the hub kind (0: 2.4 GHz, 1: legacy USB, 2: legacy
// serial, 3: a legacy hub of another connection); then packets, each a
// length byte followed by that many bytes.

#include "sessions/orvexvotesession.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace Orvexsystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static const struct
    {
        Hub::Type type;
        Hub::ConnectionType connection;
        unsigned int maxSender;
    } kinds[] = {{Hub::Type_TwoPointFourGHz, Hub::ConnectionType_Usb, 0xFFFFFFFFu},
                 {Hub::Type_Legacy, Hub::ConnectionType_Usb, 0x7FFFFFu},
                 {Hub::Type_Legacy, Hub::ConnectionType_Serial, 0x1FFFFFu},
                 {Hub::Type_Legacy, Hub::ConnectionType(0), 0}};
    const auto &kind = kinds[data[0] % 4];
    OrvexvoteSession session(kind.type, kind.connection, Hub::VotingMode(data[0] >> 2), nullptr, nullptr);
    const bool legacy = kind.type == Hub::Type_Legacy;
    QByteArray previous;
    bool previousAccepted = false;
    for (size_t i = 1; i < size;) {
        const size_t length = data[i++];
        const QByteArray packet(reinterpret_cast<const char *>(data + i), int(qMin(length, size - i)));
        i += size_t(packet.size());
        const bool accepted = session.isSessionPacket(packet);
        if (accepted && !session.processPacket(packet))
            std::abort();
        // A legacy handset's repeated press is taken once.
        if (legacy && accepted && previousAccepted && packet == previous)
            std::abort();
        if (accepted) {
            const int option = session.voteValue().toInt();
            if (option < 0 || option > 6 || session.senderId() > kind.maxSender)
                std::abort();
        }
        previous = packet;
        previousAccepted = accepted;
    }
    return 0;
}
