// The 2.4 GHz hub's packet path and reply parsers fed arbitrary bytes.
//
// Input: byte 0 picks the hub's session state (0..22), byte 1 the reply type
// whose handler waits for a reply (or none), the rest is the packet. The
// packet goes through processPacket() in that state, then every reply parser
// reads it, and the waiting handler's queue is drained and parsed.

#include "hub/hub_p.h"

#include <orvexsystem/system.h>
#include <orvexsystem/twopointfourghzhub.h>
#include <orvexsystem/twopointfourghzresponses.h>

#include <QtCore/QCoreApplication>

#include <cstddef>
#include <cstdint>

using namespace Orvexsystem;

namespace {

class FuzzHub : public TwoPointFourGHzHub
{
public:
    FuzzHub() : TwoPointFourGHzHub(&OrvexSystem::instance(), 1, 0x42, true, 0x301) {}

    void enter(int state) { setSessionState(SessionState(state % 23)); }

    template <class T>
    void expect(const QByteArray &packet)
    {
        IResponseHandler *handler = responseHandler<T>();
        hubPrivate()->currentHandler.store(handler);
        reset(handler);
        processPacket(packet);
        QByteArray queued;
        while (getNextPacket(handler, &queued, 0)) {
            T reply(queued);
            (void)reply.isValidResponse();
        }
        hubPrivate()->currentHandler.store(nullptr);
    }
};

template <class T>
void parse(const QByteArray &packet)
{
    const bool valid = T::isValid(packet);
    T reply(packet);
    if (reply.isValidResponse() != valid)
        __builtin_trap();
}

void parseAll(const QByteArray &p)
{
    parse<OKResponse>(p);
    parse<InformationResponse>(p);
    parse<NameAndFreeStoreResponse>(p);
    parse<DeviceCountResponse>(p);
    parse<BoardInfoResponse>(p);
    parse<BatteryLowResponse>(p);
    parse<RegisteredVoteResponse>(p);
    parse<RegisteredExpressionResponse>(p);
    parse<RegisteredSlateResponse>(p);
    parse<RegisteredBoardResponse>(p);
    parse<SessionByteResponse>(p);
    parse<SessionSortInOrderResponse>(p);
    parse<ExpressionNameReceivedResponse>(p);
    parse<VirtualGenericAsyncResponse>(p);
    // No record may ever be taken for the end of a list.
    if (p == RegisteredDeviceResponse::listTerminator() &&
        (RegisteredVoteResponse::isValid(p) || RegisteredExpressionResponse::isValid(p) ||
         RegisteredSlateResponse::isValid(p) || RegisteredBoardResponse::isValid(p)))
        __builtin_trap();
}

void noBusy(Hub *, bool, void *) {}
void noBattery(Hub *, quint32, void *) {}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    new QCoreApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static FuzzHub *hub = [] {
        auto *h = new FuzzHub();
        h->setHubBusyCallback(noBusy, nullptr);
        h->setBatteryLowCallback(noBattery, nullptr);
        return h;
    }();
    static unsigned iterations = 0;

    if (size < 2)
        return 0;
    const QByteArray packet(reinterpret_cast<const char *>(data + 2), int(size - 2));
    hub->enter(data[0]);
    switch (data[1] % 8) {
    case 0: hub->expect<RegisteredVoteResponse>(packet); break;
    case 1: hub->expect<RegisteredExpressionResponse>(packet); break;
    case 2: hub->expect<RegisteredSlateResponse>(packet); break;
    case 3: hub->expect<RegisteredBoardResponse>(packet); break;
    case 4: hub->expect<InformationResponse>(packet); break;
    case 5: hub->expect<OKResponse>(packet); break;
    case 6: hub->expect<VirtualGenericAsyncResponse>(packet); break;
    default: hub->processPacket(packet); break;
    }
    parseAll(packet);
    hub->getDeviceId(packet.isEmpty() ? 0u : quint8(packet.at(0)));
    // Queued re-enumeration requests pile up without an event loop.
    if (++iterations % 256 == 0)
        QCoreApplication::processEvents();
    return 0;
}
