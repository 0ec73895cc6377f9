// Feeds arbitrary packets to the pen, touch and touch-status decoders, on
// their own and through Hub::processPacket of a hub of each pen form.
//
// The first input byte chooses the hub and its session state; the rest is
// the packet.

#include "hub/touchstatusresponse.h"
#include "sessions/orvexsession.h"
#include "support/testhub.h"

#include <orvexsystem/legacyhub.h>
#include <orvexsystem/system.h>

#include <QtCore/QCoreApplication>

#include <cstddef>
#include <cstdint>

using namespace Orvexsystem;
using OrvexTest::TestHub;

namespace {

// A system that is never initialised: commands are refused, packets are
// handed to the hubs directly.
class FuzzSystem : public OrvexSystem
{
public:
    FuzzSystem() = default;
};

// Accepts any packet of at least 3 bytes as a vote.
class FuzzSession : public OrvexSession
{
public:
    explicit FuzzSession(Hub::VoteCallback callback)
        : OrvexSession(Hub::Type_TwoPointFourGHz, Hub::ConnectionType_Usb), m_callback(callback)
    {
    }
    QByteArray startCommand() override { return QByteArray(); }
    bool isSessionPacket(const QByteArray &p) override { return p.size() >= 3; }
    bool processPacket(const QByteArray &p) override
    {
        setVote(quint8(p.at(1)), quint8(p.at(2)), p.size() > 3 ? quint8(p.at(3)) : 0);
        return true;
    }
    bool isVotingHandsetSession() const override { return true; }
    Hub::VoteCallback voteCallback() const override { return m_callback; }

private:
    Hub::VoteCallback m_callback;
};

class LegacyAccess : public LegacyHub
{
public:
    using LegacyHub::LegacyHub;
    using LegacyHub::getPenData;
};

volatile unsigned g_sink = 0;

// Keeps decoded values alive without arithmetic that could overflow.
void sink(long value)
{
    g_sink = g_sink ^ static_cast<unsigned>(value);
}

void onPen(Hub *, quint32 pen, int x, int y, bool tip, bool barrel, void *)
{
    sink(long(pen) + x + y + tip + barrel);
}
void onTouch(Hub *, QList<Hub::TouchInfo> touches, void *)
{
    for (const Hub::TouchInfo &t : touches)
        sink(long(t.nTouchId) + t.nX + t.nY + t.nRadius + t.bStatus);
}
void onStatus(Hub *, bool running, void *)
{
    sink(running);
}
void onVote(Hub *, quint32 id, int vote, bool low, void *)
{
    sink(long(id) + vote + low);
}

struct World
{
    FuzzSystem system;
    // A hub with the 8-byte pen form, as the 2.4 GHz hubs have.
    TestHub rf{&system, 1, 1};
    LegacyAccess serial{&system, 2, 2, true, true, Hub::ConnectionType_Serial, 900};
    LegacyAccess usb{&system, 3, 3, true, false, Hub::ConnectionType_Usb, 900};

    World()
    {
        for (Hub *hub : {static_cast<Hub *>(&rf), static_cast<Hub *>(&serial),
                         static_cast<Hub *>(&usb)}) {
            hub->setPenEventCallback(&onPen, nullptr);
            hub->setTouchEventCallback(&onTouch, nullptr);
            hub->setTouchStatusEventCallback(&onStatus, nullptr);
            // No event loop runs here: keep re-enumeration notices from
            // queueing events that nothing would ever take.
            QObject::disconnect(hub, &Hub::reenumerateAfterTimeout, nullptr, nullptr);
        }
        rf.setSession(new FuzzSession(&onVote));
    }
};

World *g_world = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    g_world = new World;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const quint8 selector = data[0];
    const QByteArray packet(reinterpret_cast<const char *>(data + 1), int(size - 1));

    // The decoders on their own, whatever the size.
    PenSample sample;
    PenPacket8::decode(packet, sample);
    PenPacketSerial::decode(packet, sample);
    sink(PenPacket8::isPenPacket(packet) + PenPacketSerial::isPenPacket(packet));
    const TouchStatusResponse status(packet);
    sink(status.isValidResponse() + status.status() + status.touchCount());
    QList<Hub::TouchInfo> touches;
    g_world->rf.getTouchData(packet, touches);
    quint8 penId = 0;
    int x = 0, y = 0;
    bool tip = false, barrel = false, proximity = false;
    g_world->serial.getPenData(packet, penId, x, y, tip, barrel, proximity);
    g_world->usb.getPenData(packet, penId, x, y, tip, barrel, proximity);

    // The whole classification, in the session states that change it.
    static const TestHub::SessionState states[] = {TestHub::SessionState(0),
                                                   TestHub::SessionState(9),
                                                   TestHub::SessionState(17),
                                                   TestHub::SessionState(21)};
    TestHub &rf = g_world->rf;
    rf.setSessionState(states[selector & 3]);
    rf.setCurrentResponseHandler((selector & 4) ? rf.responseHandler<TouchStatusResponse>()
                                                : nullptr);
    switch ((selector >> 3) % 3) {
    case 0:
        rf.processPacket(packet);
        break;
    case 1:
        g_world->serial.processPacket(packet);
        break;
    default:
        g_world->usb.processPacket(packet);
        break;
    }
    // Keep the reply queue from growing without end.
    if (IResponseHandler *handler = rf.responseHandler<TouchStatusResponse>())
        handler->reset();
    return 0;
}
