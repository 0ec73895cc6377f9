// The 2.4 GHz hub's message transport end to end against the simulated hub
// and its expression handsets, and its refusals and event-thread rules on
// the in-process driver.

#include "sessions/transportfixture.h"

#include "hub/hub_p.h"
#include "rfhub/rfsessionfixture.h"
#include "system/orvexsystem_p.h"

#include <atomic>

using namespace Orvexsystem;
using namespace OrvexTest;

namespace {

QByteArray pattern(int size, int seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + seed) & 0xFF);
    return bytes;
}

TEST_F(SimTransport, HostMessagesReachTheHandsetsAndTheirRequestsMakeThemReady)
{
    ASSERT_TRUE(hub->startYesNoSession(1, false, TimeUnit_Seconds, 30, nullptr, nullptr));
    EXPECT_FALSE(hub->startAsyncSession(nullptr, nullptr, nullptr));
    EXPECT_EQ(hub->getLastError(), Hub::Error_CannotStartSessionBecauseCurrentlyInSession);
    ASSERT_TRUE(hub->stopSession());
    EXPECT_FALSE(hub->asyncSendMsg(Amelie, "not open"));

    // Without callbacks the hub's own signal reports requests.
    QObject::connect(hub, &TwoPointFourGHzHub::asyncGetMsg, hub,
                     [&](Hub *, quint32 uid, QByteArray data) { reports.add(uid, data); },
                     Qt::DirectConnection);
    ASSERT_TRUE(hub->startAsyncSession(nullptr, nullptr, nullptr));
    const QByteArray shortMessage = pattern(60, 1);
    const QByteArray longMessage = pattern(2000, 2); // 41 fragments
    ASSERT_TRUE(hub->asyncSendMsg(Amelie, shortMessage));
    ASSERT_TRUE(hub->asyncSendMsg(Amelie, longMessage));
    ASSERT_TRUE(hub->asyncSendMsg(Ben, shortMessage)); // shares its buffer
    EXPECT_FALSE(hub->asyncSendMsg(0x12345678, shortMessage)); // no such device
    ASSERT_EQ(orvexsim_wait_device_messages(1, Amelie, 2, 10000), 0);
    ASSERT_EQ(orvexsim_wait_device_messages(1, Ben, 1, 10000), 0);
    EXPECT_EQ(received(Amelie), QList<QByteArray>({shortMessage, longMessage}));
    EXPECT_EQ(received(Ben), QList<QByteArray>({shortMessage}));
    EXPECT_EQ(writesStartingWith(QByteArray(":XP00B\r", 7)),
              QList<QByteArray>({QByteArray(":XP00B\r", 7) + bytes({3, 0x02, 0x01, 1}),
                                 QByteArray(":XP00B\r", 7) + bytes({3, 0x02, 0x01, 2}),
                                 QByteArray(":XP00B\r", 7) + bytes({3, 0x02, 0x02, 1})}));

    EXPECT_FALSE(hub->asyncIsReadyToReceive(Amelie));
    const uint8_t data[3] = {1, 0, 5};
    EXPECT_EQ(orvexsim_async_request(1, Amelie, data, 3), 1);
    EXPECT_EQ(orvexsim_async_request(1, Amelie, data, 3), 1);
    ASSERT_TRUE(waitFor([&] { return reports.size() == 2; }));
    EXPECT_EQ(reports.of(Amelie)[0], bytes({1, 0, 5, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(hub->asyncIsReadyToReceive(Amelie));
    EXPECT_FALSE(hub->asyncIsReadyToReceive(Ben));
    EXPECT_TRUE(reports.allElsewhere);
    ASSERT_TRUE(hub->stopSession());
    ASSERT_TRUE(hub->startAsyncSession(nullptr, nullptr, nullptr));
    EXPECT_FALSE(hub->asyncIsReadyToReceive(Amelie));
}

TEST_F(SimTransport, DeviceMessagesArrivePutTogetherOnTheEventThread)
{
    ASSERT_TRUE(hub->startAsyncSession(nullptr, recordReport, &reports));
    const auto send = [&](const QByteArray &m, std::initializer_list<int> order) {
        const QList<int> list(order);
        return orvexsim_async_send_packets(1, Amelie, reinterpret_cast<const uint8_t *>(m.constData()),
                                           int(m.size()), list.constData(), int(list.size()));
    };
    const QByteArray message = pattern(20, 3); // three packets
    const QByteArray other = pattern(20, 9);
    EXPECT_EQ(send(message, {2, 1, 0}), 1);
    EXPECT_EQ(send(message, {0, 0, 1, 2, 2}), 1);
    EXPECT_EQ(send(message, {0, 2}), 1); // lost: never delivered
    EXPECT_EQ(send(other, {0, 2, 1}), 1);
    // From an address the hub does not know: uid 0.
    const QByteArray unknown = bytes({0x0D, 0x87, 0x7E, 0x01, 1, 'h', 'i', 0, 0, 0, 0, 0, 0});
    ASSERT_EQ(orvexsim_inject_packet(1, reinterpret_cast<const uint8_t *>(unknown.constData()), 13), 0);
    ASSERT_TRUE(waitFor([&] { return reports.size() == 4; }));
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    const QByteArray pad(4, '\0'); // the last packet's filling
    EXPECT_EQ(reports.of(Amelie), QList<QByteArray>({message + pad, message + pad, other + pad}));
    EXPECT_EQ(reports.of(0), QList<QByteArray>({QByteArray("hi\0\0\0\0\0\0", 8)}));
    EXPECT_TRUE(reports.allElsewhere);
}

TEST_F(SimTransport, APacketWhoseTurnComesAfterTheSessionEndedIsDropped)
{
    struct Context
    {
        Gate gate;
        std::atomic<int> requests{0};
    } context;
    const auto onRequest = [](Hub *, quint32, const QByteArray &, void *c) {
        auto *ctx = static_cast<Context *>(c);
        if (ctx->requests.fetch_add(1) == 0)
            ctx->gate.block();
    };
    ASSERT_TRUE(hub->startAsyncSession(onRequest, nullptr, &context));
    const uint8_t data[1] = {0};
    EXPECT_EQ(orvexsim_async_request(1, Amelie, data, 1), 1);
    ASSERT_TRUE(context.gate.waitEntered());
    // Ben's request waits on the event thread behind Amélie's.
    EXPECT_EQ(orvexsim_async_request(1, Ben, data, 1), 1);
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    std::atomic<bool> stopped{false};
    std::thread stopper([&] { stopped = hub->stopSession(); });
    ASSERT_TRUE(waitFor([&] { return !HubPrivate::get(hub)->inAsyncSession(); }));
    context.gate.open();
    stopper.join();
    EXPECT_TRUE(stopped.load());
    OrvexSystemPrivate *system = OrvexSystemPrivate::get(&OrvexSystem::instance());
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard<std::mutex> lock(system->eventMutex);
        return system->eventQueue.empty();
    }));
    spinEvents(50);
    EXPECT_EQ(context.requests.load(), 1);
    EXPECT_FALSE(hub->asyncIsReadyToReceive(Ben));
}

// The in-process driver: a hub that answers at once, outside the system's
// table (events posted for it go nowhere).
class TransportOnFake : public RfSessionFixture
{
protected:
    void SetUp() override
    {
        RfSessionFixture::SetUp();
        driver.setResponder([this](int, const QByteArray &command) {
            if (command.startsWith(":XP00A") || command.startsWith(":XP00B"))
                return QList<QByteArray>{bytes({4, 0x32, 0x4F, 0x4B})};
            return respond(command);
        });
        ASSERT_TRUE(hub->startAsyncSession(recordReport, recordReport, &reports));
        driver.clearLog();
    }
    QList<QByteArray> notices() const
    {
        QList<QByteArray> out;
        for (const QByteArray &w : writes())
            if (w.startsWith(":XP00B"))
                out << w;
        return out;
    }
    Reports reports;
};

TEST_F(TransportOnFake, MessagesThatCannotBeServedSendNoNotice)
{
    EXPECT_FALSE(hub->asyncSendMsg(Expression1, QByteArray()));
    EXPECT_EQ(hub->getLastError(), Hub::Error_Failed);
    EXPECT_FALSE(hub->asyncSendMsg(Expression1, QByteArray(12496, 'x')));
    EXPECT_EQ(hub->getLastError(), Hub::Error_StringTooLong);
    for (int i = 1; i <= 255; ++i)
        ASSERT_TRUE(hub->asyncSendMsg(Expression1, QByteArray::number(i)));
    EXPECT_FALSE(hub->asyncSendMsg(Expression1, "one too many"));
    EXPECT_EQ(hub->getLastError(), Hub::Error_Busy);
    const QList<QByteArray> sent = notices();
    ASSERT_EQ(sent.size(), 255);
    for (int i = 0; i < 255; ++i)
        EXPECT_EQ(quint8(sent[i].at(10)), i + 1);
    // Released by the device: reused, and served.
    hub->processAsyncPacket(bytes({3, 0x86, 42}));
    ASSERT_TRUE(hub->asyncSendMsg(Expression1, "one too many"));
    EXPECT_EQ(lastWrite(), QByteArray(":XP00B\r", 7) + bytes({3, 0x02, 0x01, 42}));
    hub->processAsyncPacket(bytes({3, 0x85, 42}));
    EXPECT_EQ(lastWrite(), QByteArray(":XP00C\r", 7) + bytes({16, 42, 1, 1, 12}) + "one too many");
}

TEST_F(TransportOnFake, EventsForAHubOutsideTheTableOrAnEndedSessionAreDropped)
{
    const QByteArray message = bytes({0x0D, 0x87, 0x02, 0x01, 1, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'});
    system.asPostEvent(OrvexSystem::AsEvent{OrvexSystem::Event_AsyncPacket, message, hub.get()});
    spinEvents(100);
    EXPECT_EQ(reports.size(), 0);
    hub->processAsyncPacket(message);
    EXPECT_EQ(reports.of(Expression1), QList<QByteArray>({"abcdefgh"}));
    ASSERT_TRUE(hub->stopSession());
    hub->processAsyncPacket(message);
    hub->processAsyncPacket(bytes({0x0C, 0x84, 0x02, 0x01, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(reports.size(), 1);
    EXPECT_FALSE(hub->asyncIsReadyToReceive(Expression1));
}

} // namespace
