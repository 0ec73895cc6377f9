// OrvexSystem's start and stop, its event thread and its packet routing,
// against an in-process driver.

#include "support/fakedriver.h"
#include "support/testhub.h"
#include "support/wait.h"
#include "system/orvexsystem_p.h"
#include "system/threadcontext.h"

#include <orvexsystem/hub.h>
#include <orvexsystem/twopointfourghzhub.h>

#include <gtest/gtest.h>

#include <QtCore/QThread>

#include <condition_variable>
#include <thread>

using namespace Orvexsystem;
using namespace OrvexTest;

namespace {

FakeDriver::HubRecord rfHub(int handle, quint64 uid = 0x1000)
{
    FakeDriver::HubRecord r;
    r.kind = 3;
    r.handle = handle;
    r.uid = uid;
    return r;
}

// A system on the fake driver that makes TestHubs of every kind; start()
// attaches 2.4 GHz hubs of the given handles and initialises it.
class System : public ::testing::Test
{
protected:
    System()
    {
        system.hubFactory = [](TestSystem *s, int, int handle, quint64 uid) -> Hub * {
            return new TestHub(s, handle, uid, false);
        };
    }
    void start(std::initializer_list<int> handles)
    {
        for (int handle : handles)
            driver.addHub(rfHub(handle));
        ASSERT_TRUE(system.initialise());
    }
    // The i-th hub of the system's table, by handle.
    TestHub *hub(int i)
    {
        QList<Hub *> hubs;
        return system.getHubList(&hubs) && i < hubs.size() ? static_cast<TestHub *>(hubs[i]) : nullptr;
    }
    FakeDriver driver;
    TestSystem system{driver};
};

} // namespace

TEST_F(System, ShutdownOfANeverInitialisedSystemCallsNothingAndPlugAndPlayIsRegisteredOnce)
{
    EXPECT_EQ(system.getLastError(), OrvexSystem::Error_Failed);
    EXPECT_TRUE(system.shutdown());
    EXPECT_TRUE(driver.log().isEmpty());
    EXPECT_TRUE(system.initialise());
    EXPECT_TRUE(system.initialise());
    EXPECT_EQ(driver.count("setPnpCallback"), 1);
    EXPECT_EQ(driver.count("attach"), 1);
}

TEST_F(System, ShutdownClearsCallbacksInHandleOrderAndDetachesTwice)
{
    start({7, 3});
    driver.clearLog();
    ASSERT_TRUE(system.shutdown());
    EXPECT_EQ(driver.log(), QStringList({"clearCallback(3)", "clearCallback(7)", "clearCallback(0)",
                                         "detach", "detach"}));
    QList<Hub *> hubs;
    EXPECT_FALSE(system.getHubList(&hubs));
    EXPECT_EQ(system.getLastError(), OrvexSystem::Error_NotInitialised);
    QMap<int, HubDisplayInfo> info;
    system.getOrvexHubInfoMap(info);
    EXPECT_EQ(info.keys(), QList<int>({3, 7}));

    // Without a binding the driver's lock and settings reach nothing and
    // answer what absent driver functions answer.
    TestHub probe(&system, 9, 0, false);
    driver.setAnswer("getLATEDetection", 0);
    driver.clearLog();
    system.lockDriver();
    system.unlockDriver();
    system.setLATEDetection(&probe, true);
    EXPECT_TRUE(system.getLATEDetection(&probe));
    unsigned char mode = 0;
    system.getTouchReportMode(&probe, &mode);
    EXPECT_EQ(mode, 0xFF);
    EXPECT_FALSE(system.sendCommand(&probe, QByteArray(":GI\r")));
    EXPECT_TRUE(driver.log().isEmpty());
}

TEST_F(System, EventsPostedDuringAnEventAreAllHandledInOrderAndPacketsWithinABudget)
{
    start({1, 2});
    TestHub *first = hub(0);
    TestHub *second = hub(1);
    Gate gate;
    std::mutex orderMutex;
    QList<int> order;
    first->onReread = [&] {
        {
            std::lock_guard<std::mutex> lock(orderMutex);
            order << 1;
        }
        gate.block(); // at once when open
    };
    second->onReread = [&] {
        std::lock_guard<std::mutex> lock(orderMutex);
        order << 2;
    };
    system.asPostEvent({3, QByteArray(), first});
    ASSERT_TRUE(gate.waitEntered());
    system.asPostEvent({3, QByteArray(), second});
    system.asPostEvent({3, QByteArray(), first});
    system.asPostEvent({99, QByteArray(), first}); // unknown types are ignored

    // Packets pile up behind a busy event thread only up to a byte budget.
    OrvexSystemPrivate *d = OrvexSystemPrivate::get(&system);
    const QByteArray mebibyte(1024 * 1024, 'p');
    const int budget = int(OrvexSystemPrivate::MaxQueuedPacketBytes / mebibyte.size());
    for (int i = 0; i < budget + 4; ++i)
        system.asPostEvent({99, mebibyte, first});
    auto queued = [&] {
        std::lock_guard<std::mutex> lock(d->eventMutex);
        return std::make_pair(int(d->eventQueue.size()), d->queuedPacketBytes);
    };
    EXPECT_EQ(queued(), std::make_pair(3 + budget, OrvexSystemPrivate::MaxQueuedPacketBytes));

    gate.open();
    ASSERT_TRUE(waitFor([&] { return first->rereads == 2 && second->rereads == 1; }));
    ASSERT_TRUE(waitFor([&] { return queued() == std::make_pair(0, qint64(0)); }));
    std::lock_guard<std::mutex> lock(orderMutex);
    EXPECT_EQ(order, QList<int>({1, 2, 1}));
}

TEST_F(System, PrefixIsStrippedOnlyWhenByteOneIsA)
{
    start({1});
    QList<QByteArray> packets;
    hub(0)->onPacket = [&](const QByteArray &p) { packets << p; };
    driver.deliverNow(1, bytes({0x05, 0x41, 0x07}));
    driver.deliverNow(1, bytes({0x05, 0x41}));
    driver.deliverNow(1, bytes({0x41, 0x42, 0x43}));
    driver.deliverNow(1, bytes({0x01, 0x41, 0x02, 0x08, 0x21}));
    driver.deliverNow(9, bytes({0x01})); // no hub under that handle
    EXPECT_EQ(packets, QList<QByteArray>({QByteArray(), bytes({0x05, 0x41}), bytes({0x41, 0x42, 0x43}),
                                          bytes({0x08, 0x21})}));
}

TEST_F(System, PassThroughsUseTheHubHandleAndCommandsAreWrittenUnchanged)
{
    start({4});
    Hub *rf = hub(0);
    driver.clearLog();
    system.setTouchSystemRedirectionEnabled(rf, true);
    system.setLATEDetection(rf, true);
    system.setPenMode(rf, 9);
    system.setPenReportMode(rf, 2, false, 1);
    system.setTouchReportMode(rf, 3);
    const unsigned char touch[2] = {0x02, 0x45};
    EXPECT_TRUE(system.sendTouchInfoToOS(rf, touch, 2));
    EXPECT_EQ(driver.log(),
              QStringList({"setTouchSystemRedirectionEnabled(4,1)", "setLATEDetection(4,1)",
                           "setHIDCoordinateReportMode(4,9)", "setPointingDeviceDestination(4,2,0,1)",
                           "setTouchDestination(4,3)", "sendTouchPacketToSystem(4,2,0245)"}));
    driver.setAnswer("getLATEDetection", 0);
    EXPECT_FALSE(system.getLATEDetection(rf));
    unsigned char mode = 0;
    driver.setAnswer("getPointingDeviceDestination", 2);
    system.getPenReportMode(rf, 1, &mode);
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(driver.count("getPointingDeviceDestination(4,1,0)"), 1);

    EXPECT_TRUE(system.sendCommand(rf, QByteArray()));
    EXPECT_TRUE(system.sendCommand(rf, QByteArray(":GI\r")));
    EXPECT_EQ(driver.writes(4), QList<QByteArray>({QByteArray(), QByteArray(":GI\r")}));
    driver.setWriteResult(-1);
    EXPECT_FALSE(system.sendCommand(rf, QByteArray(":GN\r")));
    EXPECT_EQ(system.getLastError(), OrvexSystem::Error_BadPacketWrite);
}

TEST_F(System, ShutdownWaitsForAPacketCallbackThatUsesAHub)
{
    start({1});
    std::atomic<bool> destroyed{false};
    hub(0)->destroyed = &destroyed;
    Gate gate;
    std::atomic<bool> sawDestroyed{false};
    hub(0)->onPacket = [&](const QByteArray &) {
        gate.block();
        sawDestroyed = destroyed.load();
    };
    // The driver does not wait for its callbacks in clearCallback here: the
    // packet runs on a thread of the test.
    std::thread packetThread([&] { driver.deliverNow(1, bytes({0x04, 0x11, 0, 0})); });
    ASSERT_TRUE(gate.waitEntered());
    std::thread stopper([&] { EXPECT_TRUE(system.shutdown()); });
    spinEvents(100);
    EXPECT_FALSE(destroyed.load());
    gate.open();
    packetThread.join();
    stopper.join();
    EXPECT_FALSE(sawDestroyed.load());
    EXPECT_TRUE(destroyed.load());
}

TEST_F(System, NoQueuedEventReachesADeletedHub)
{
    start({1, 2});
    TestHub *busy = hub(0);
    TestHub *waiting = hub(1);
    Gate gate;
    busy->onReread = [&] { gate.block(); };
    std::atomic<bool> reachedDeleted{false};
    std::atomic<bool> waitingDestroyed{false};
    waiting->destroyed = &waitingDestroyed;
    waiting->onReread = [&] { reachedDeleted = waitingDestroyed.load(); };
    system.asPostEvent({3, QByteArray(), busy});
    ASSERT_TRUE(gate.waitEntered());
    system.asPostEvent({3, QByteArray(), waiting});
    std::thread stopper([&] { EXPECT_TRUE(system.shutdown()); });
    spinEvents(100); // longer than the 50 ms that shutdown waits first
    gate.open();
    stopper.join();
    EXPECT_TRUE(waitingDestroyed.load());
    // A new start handles events again, and the old one never ran.
    ASSERT_TRUE(system.initialise());
    ASSERT_NE(hub(1), nullptr);
    system.asPostEvent({3, QByteArray(), hub(1)});
    ASSERT_TRUE(waitFor([&] { return hub(1)->rereads == 1; }));
    EXPECT_FALSE(reachedDeleted.load());
}

TEST_F(System, ShutdownFromADriverCallbackIsRefused)
{
    start({1});
    std::atomic<int> result{-1};
    hub(0)->onPacket = [&](const QByteArray &) { result = system.shutdown() ? 1 : 0; };
    driver.deliverLater(1, bytes({0x02, 0x00}));
    ASSERT_TRUE(driver.waitIdle());
    EXPECT_EQ(result.load(), 0);
    QList<Hub *> hubs;
    EXPECT_TRUE(system.getHubList(&hubs));
}

TEST_F(System, AHubFoundAfterStartUpAndReinitialiseRunsItsReenumerationTimer)
{
    ASSERT_TRUE(system.initialise());
    ASSERT_TRUE(system.shutdown());
    ASSERT_TRUE(system.initialise()); // plug and play is handled again
    driver.addHub(rfHub(5));
    driver.notifyPnp();
    ASSERT_TRUE(waitFor([&] { return hub(0) != nullptr; }));
    TestHub *found = hub(0);
    EXPECT_EQ(found->handle(), 5);
    // Made on the event thread, it lives in the host's thread like the hubs
    // that initialise() found.
    ASSERT_TRUE(waitFor([&] { return found->thread() == QThread::currentThread(); }));
    ASSERT_TRUE(waitFor([&] { return driver.hasCallback(5); }));
    driver.deliverLater(5, bytes({0x03, 0xA0, 0x00})); // a re-enumeration notice
    EXPECT_TRUE(waitFor([&] { return found->rereads == 1; }, 8000));
    spinEvents(200);
    EXPECT_EQ(found->rereads, 1);
}

TEST_F(System, AReenumerationRestartsOnEachRequestIsCancelledAndRunsOnce)
{
    start({1});
    TestHub *h = hub(0);
    ASSERT_NE(h, nullptr);
    using Clock = std::chrono::steady_clock;
    std::mutex mutex;
    QList<Clock::time_point> rereads;
    h->onReread = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        rereads << Clock::now();
    };
    auto count = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        return rereads.size();
    };

    // A second request restarts the wait: one re-read, a full wait after it.
    Q_EMIT h->reenumerateAfterTimeout(1000);
    spinEvents(200);
    const Clock::time_point second = Clock::now();
    Q_EMIT h->reenumerateAfterTimeout(1000);
    ASSERT_TRUE(waitFor([&] { return count() == 1; }, 5000));
    spinEvents(300);
    ASSERT_EQ(count(), 1);
    EXPECT_GE(rereads[0] - second, std::chrono::milliseconds(990));

    // A radio notice whose new state cancels, and none that schedules.
    Q_EMIT h->reenumerateAfterTimeout(500);
    driver.deliverNow(1, bytes({0x04, 0x56, 0x02, 0x01}));
    spinEvents(800);
    EXPECT_EQ(count(), 1);
}

TEST_F(System, ShutdownEndsAWaitingExchangeAndGivesUpAWaitForTheDriverLock)
{
    // A thread that holds the driver lock cannot shut down: the event thread
    // may be waiting for that lock.
    start({1});
    system.lockDriver();
    EXPECT_FALSE(system.shutdown());
    EXPECT_EQ(system.getLastError(), OrvexSystem::Error_Failed);
    system.unlockDriver();

    // The event thread waits for a silent hub's reply.
    std::atomic<int> exchange{-1};
    hub(0)->onReread = [&] {
        AnyReply reply;
        exchange = hub(0)->sendAndWait(QByteArray(":GI\r"), reply, 60000) ? 1 : 0;
    };
    system.asPostEvent({OrvexSystem::Event_ReadDeviceLists, QByteArray(), hub(0)});
    ASSERT_TRUE(waitFor([&] { return driver.writes(1).size() == 1; }));
    auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(system.shutdown());
    // Far below one reply wait.
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(3));
    EXPECT_EQ(exchange.load(), 0);

    // The event thread waits for the driver lock that a host thread holds.
    ASSERT_TRUE(system.initialise());
    std::atomic<bool> lockWaiting{false};
    TestHub *waiting = hub(0);
    waiting->onReread = [&] {
        lockWaiting = true;
        waiting->lockDriver();
        waiting->unlockDriver();
    };
    Gate holder;
    std::thread host([&] {
        system.lockDriver();
        holder.block();
        system.unlockDriver();
    });
    ASSERT_TRUE(holder.waitEntered());
    system.asPostEvent({OrvexSystem::Event_ReadDeviceLists, QByteArray(), waiting});
    ASSERT_TRUE(waitFor([&] { return lockWaiting.load(); }));
    begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(system.shutdown());
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(3));
    holder.open();
    host.join();
}

TEST_F(System, APlugAndPlayNoticeInFlightFinishesBeforeTheDriverIsDetached)
{
    start({});
    ASSERT_TRUE(system.initialise());
    Gate gate;
    std::atomic<bool> armed{true};
    driver.onAttach = [&] {
        if (armed.exchange(false))
            gate.block();
    };
    driver.notifyPnp();
    ASSERT_TRUE(gate.waitEntered());
    std::thread stopper([&] { EXPECT_TRUE(system.shutdown()); });
    spinEvents(100);
    EXPECT_EQ(driver.count("detach"), 0) << "the notice admitted first is waited for";
    gate.open();
    stopper.join();
    const QStringList log = driver.log();
    EXPECT_LT(log.lastIndexOf("attach"), log.indexOf("detach"));
    driver.onAttach = nullptr;
}

TEST_F(System, EveryNoticeReattachesAndLengthsNoPacketHasAreRefused)
{
    start({1});
    for (int i = 0; i < 3; ++i)
        driver.notifyPnp();
    EXPECT_TRUE(waitFor([&] { return driver.count("attach") == 4; }));

    int packets = 0;
    hub(0)->onPacket = [&](const QByteArray &) { ++packets; };
    const QByteArray big(65536, '\x01');
    const auto *data = reinterpret_cast<const uint8_t *>(big.constData());
    TestSystem::processPacketCallback(1, data, 0x80000000u, &system);
    TestSystem::processPacketCallback(1, data, 65537, &system);
    EXPECT_EQ(packets, 0);
    TestSystem::processPacketCallback(1, data, 65536, &system);
    EXPECT_EQ(packets, 1);
}

TEST_F(System, InitialiseAndShutdownFromTwoThreadsTakeTurns)
{
    start({1});
    ASSERT_TRUE(system.shutdown());
    driver.clearLog();
    const int cycles = 20;
    for (int i = 0; i < cycles; ++i) {
        std::thread other([&] { EXPECT_TRUE(system.initialise()); });
        EXPECT_TRUE(system.initialise());
        other.join();
        std::thread stopper([&] { EXPECT_TRUE(system.shutdown()); });
        EXPECT_TRUE(system.shutdown());
        stopper.join();
    }
    EXPECT_EQ(driver.count("setPnpCallback"), cycles);
    EXPECT_EQ(driver.count("clearCallback(0)"), cycles);
    EXPECT_EQ(driver.count("setCallback(1"), cycles);
}

TEST_F(System, AnExchangeOnTheDriversThreadFailsAtOnce)
{
    start({1});
    std::atomic<int> result{-1};
    std::atomic<int> error{-1};
    hub(0)->onPacket = [&](const QByteArray &) {
        AnyReply reply;
        result = hub(0)->sendAndWait(QByteArray(":GI\r"), reply, 5000) ? 1 : 0;
        error = hub(0)->getLastError();
    };
    driver.deliverLater(1, bytes({0x02, 0x00}));
    ASSERT_TRUE(driver.waitIdle(1000));
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(error.load(), Hub::Error_Failed);
    EXPECT_TRUE(driver.writes(1).isEmpty());
}

namespace {
// A 2.4 GHz hub that records the device messages the event thread hands it.
class RecordingRfHub : public TwoPointFourGHzHub
{
public:
    RecordingRfHub(OrvexSystem *system, int handle) : TwoPointFourGHzHub(system, handle, 0, true, 1)
    {
    }
    void processGenericAsyncPacket(const QByteArray &packet) override { generic << packet; }
    QList<QByteArray> generic;
};
} // namespace

TEST_F(System, MessageEventsReachOnlyTwoPointFourGHzHubs)
{
    system.hubFactory = [](TestSystem *s, int kind, int handle, quint64 uid) -> Hub * {
        if (kind == 3)
            return new RecordingRfHub(s, handle);
        return new TestHub(s, handle, uid, false);
    };
    driver.addHub(rfHub(1));
    FakeDriver::HubRecord other = rfHub(2);
    other.kind = 2;
    driver.addHub(other);
    ASSERT_TRUE(system.initialise());
    QList<Hub *> hubs;
    ASSERT_TRUE(system.getHubList(&hubs));
    auto *rf = dynamic_cast<RecordingRfHub *>(hubs[0]);
    ASSERT_NE(rf, nullptr);
    for (Hub *target : hubs) {
        system.asPostEvent({OrvexSystem::Event_AsyncPacket, bytes({1}), target});
        system.asPostEvent({OrvexSystem::Event_GenericAsyncPacket, bytes({2}), target});
    }
    system.asPostEvent({OrvexSystem::Event_ReadDeviceLists, QByteArray(), hubs[1]});
    ASSERT_TRUE(waitFor([&] { return static_cast<TestHub *>(hubs[1])->rereads == 1; }));
    EXPECT_EQ(rf->generic, QList<QByteArray>({bytes({2})}));
}

TEST_F(System, EventTimersRunOnTheEventThreadAndACancelWaitsForARunningOne)
{
    start({});
    OrvexSystemPrivate *d = OrvexSystemPrivate::get(&system);
    std::atomic<int> ran{0};
    std::atomic<bool> onEventThread{false};
    d->startEventTimer(20, [&] {
        onEventThread = ThreadContext::onEventThread();
        ran |= 1;
    });
    const auto cancelled = d->startEventTimer(50, [&] { ran |= 2; });
    d->cancelEventTimer(cancelled);
    Gate gate;
    std::atomic<bool> finished{false};
    const auto slow = d->startEventTimer(0, [&] {
        gate.block();
        finished = true;
    });
    ASSERT_TRUE(gate.waitEntered());
    std::thread canceller([&] {
        d->cancelEventTimer(slow);
        EXPECT_TRUE(finished.load());
    });
    spinEvents(50);
    gate.open();
    canceller.join();
    ASSERT_TRUE(waitFor([&] { return ran.load() & 1; }));
    spinEvents(100);
    EXPECT_EQ(ran.load(), 1);
    EXPECT_TRUE(onEventThread.load());
    ASSERT_TRUE(system.shutdown());
    EXPECT_EQ(d->startEventTimer(1, [] {}), 0u) << "no timer outside an initialised run";
}
