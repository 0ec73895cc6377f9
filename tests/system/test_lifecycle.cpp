// OrvexSystem's start and stop, its event thread and its packet routing,
// against an in-process driver.

#include "support/fakedriver.h"
#include "support/recordinghub.h"
#include "support/wait.h"

#include <orvexsystem/hub.h>

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

// Makes RecordingHubs for every kind and remembers them.
struct Recording
{
    std::mutex mutex;
    QList<RecordingHub *> made;
    void install(TestSystem &system)
    {
        // Hubs found after start-up are made on the event thread.
        system.hubFactory = [this](TestSystem *s, int, int handle, quint64 uid) -> Hub * {
            auto *hub = new RecordingHub(s, handle, uid);
            std::lock_guard<std::mutex> lock(mutex);
            made.append(hub);
            return hub;
        };
    }
    QList<RecordingHub *> hubs()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return made;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex);
        made.clear();
    }
};

// A gate that a driver callback or an event waits at until the test opens it.
struct Gate
{
    std::mutex mutex;
    std::condition_variable cv;
    bool open = false;
    bool reached = false;
    void wait()
    {
        std::unique_lock<std::mutex> lock(mutex);
        reached = true;
        cv.notify_all();
        cv.wait(lock, [this] { return open; });
    }
    bool waitReached(int ms = 5000)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return cv.wait_for(lock, std::chrono::milliseconds(ms), [this] { return reached; });
    }
    void release()
    {
        std::lock_guard<std::mutex> lock(mutex);
        open = true;
        cv.notify_all();
    }
};

} // namespace

TEST(SystemLifecycle, InitialiseTwiceRegistersPlugAndPlayOnce)
{
    FakeDriver driver;
    TestSystem system(driver);
    EXPECT_EQ(system.getLastError(), OrvexSystem::Error_Failed);
    EXPECT_TRUE(system.initialise());
    EXPECT_TRUE(system.initialise());
    EXPECT_EQ(driver.count("setPnpCallback"), 1);
    EXPECT_EQ(driver.count("attach"), 1);
}

TEST(SystemLifecycle, ShutdownOfANeverInitialisedSystemCallsNothing)
{
    FakeDriver driver;
    TestSystem system(driver);
    EXPECT_TRUE(system.shutdown());
    EXPECT_TRUE(driver.log().isEmpty());
}

TEST(SystemLifecycle, ShutdownClearsCallbacksInHandleOrderAndDetachesTwice)
{
    FakeDriver driver;
    driver.setHubs({rfHub(7), rfHub(3)});
    TestSystem system(driver);
    Recording recording;
    recording.install(system);
    ASSERT_TRUE(system.initialise());
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
}

TEST(SystemLifecycle, PlugAndPlayIsHandledAgainAfterReinitialise)
{
    FakeDriver driver;
    TestSystem system(driver);
    ASSERT_TRUE(system.initialise());
    ASSERT_TRUE(system.shutdown());
    ASSERT_TRUE(system.initialise());
    Recording recording;
    recording.install(system);
    driver.addHub(rfHub(5));
    driver.notifyPnp();
    ASSERT_TRUE(waitFor([&] { return recording.hubs().size() == 1; }));
    QList<Hub *> hubs;
    ASSERT_TRUE(waitFor([&] { return system.getHubList(&hubs) && hubs.size() == 1; }));
    EXPECT_EQ(hubs[0]->handle(), 5);
}

TEST(SystemLifecycle, EventsPostedDuringAnEventAreAllHandledInOrder)
{
    FakeDriver driver;
    driver.setHubs({rfHub(1), rfHub(2)});
    TestSystem system(driver);
    Recording recording;
    recording.install(system);
    ASSERT_TRUE(system.initialise());
    RecordingHub *first = recording.hubs()[0];
    RecordingHub *second = recording.hubs()[1];
    Gate gate;
    std::mutex orderMutex;
    QList<int> order;
    first->onReread = [&] {
        {
            std::lock_guard<std::mutex> lock(orderMutex);
            order << 1;
        }
        if (!gate.open)
            gate.wait();
    };
    second->onReread = [&] {
        std::lock_guard<std::mutex> lock(orderMutex);
        order << 2;
    };
    system.asPostEvent({3, QByteArray(), first});
    ASSERT_TRUE(gate.waitReached());
    system.asPostEvent({3, QByteArray(), second});
    system.asPostEvent({3, QByteArray(), first});
    system.asPostEvent({99, QByteArray(), first}); // unknown types are ignored
    gate.release();
    ASSERT_TRUE(waitFor([&] { return first->rereads == 2 && second->rereads == 1; }));
    std::lock_guard<std::mutex> lock(orderMutex);
    EXPECT_EQ(order, QList<int>({1, 2, 1}));
}

TEST(SystemRouting, PrefixIsStrippedOnlyWhenByteOneIsA)
{
    FakeDriver driver;
    driver.setHubs({rfHub(1)});
    TestSystem system(driver);
    Recording recording;
    recording.install(system);
    ASSERT_TRUE(system.initialise());
    driver.deliverNow(1, bytes({0x05, 0x41, 0x07}));
    driver.deliverNow(1, bytes({0x05, 0x41}));
    driver.deliverNow(1, bytes({0x41, 0x42, 0x43}));
    driver.deliverNow(1, bytes({0x01, 0x41, 0x02, 0x08, 0x21}));
    driver.deliverNow(9, bytes({0x01})); // no hub under that handle
    const QList<QByteArray> packets = recording.hubs()[0]->packets();
    ASSERT_EQ(packets.size(), 4);
    EXPECT_EQ(packets[0], QByteArray());
    EXPECT_EQ(packets[1], bytes({0x05, 0x41}));
    EXPECT_EQ(packets[2], bytes({0x41, 0x42, 0x43}));
    EXPECT_EQ(packets[3], bytes({0x08, 0x21}));
}

TEST(SystemRouting, SendCommandWritesUnchangedAndReportsRefusals)
{
    FakeDriver driver;
    driver.setHubs({rfHub(1)});
    TestSystem system(driver);
    Recording recording;
    recording.install(system);
    ASSERT_TRUE(system.initialise());
    Hub *hub = recording.hubs()[0];
    EXPECT_TRUE(system.sendCommand(hub, QByteArray()));
    EXPECT_TRUE(system.sendCommand(hub, QByteArray(":GI\r")));
    EXPECT_EQ(driver.writes(1), QList<QByteArray>({QByteArray(), QByteArray(":GI\r")}));
    driver.setWriteResult(-1);
    EXPECT_FALSE(system.sendCommand(hub, QByteArray(":GN\r")));
    EXPECT_EQ(system.getLastError(), OrvexSystem::Error_BadPacketWrite);
}

TEST(SystemRouting, PassThroughsUseTheHubHandle)
{
    FakeDriver driver;
    driver.setHubs({rfHub(4)});
    TestSystem system(driver);
    Recording recording;
    recording.install(system);
    ASSERT_TRUE(system.initialise());
    Hub *hub = recording.hubs()[0];
    driver.clearLog();
    system.setTouchSystemRedirectionEnabled(hub, true);
    system.setLATEDetection(hub, true);
    system.setPenMode(hub, 9);
    system.setPenReportMode(hub, 2, false, 1);
    system.setTouchReportMode(hub, 3);
    const unsigned char touch[2] = {0x02, 0x45};
    EXPECT_TRUE(system.sendTouchInfoToOS(hub, touch, 2));
    EXPECT_EQ(driver.log(),
              QStringList({"setTouchSystemRedirectionEnabled(4,1)", "setLATEDetection(4,1)",
                           "setHIDCoordinateReportMode(4,9)",
                           "setPointingDeviceDestination(4,2,0,1)", "setTouchDestination(4,3)",
                           "sendTouchPacketToSystem(4,2,0245)"}));
    driver.setAnswer("getLATEDetection", 0);
    EXPECT_FALSE(system.getLATEDetection(hub));
    unsigned char mode = 0;
    driver.setAnswer("getPointingDeviceDestination", 2);
    system.getPenReportMode(hub, 1, &mode);
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(driver.count("getPointingDeviceDestination(4,1,0)"), 1);
}

TEST(SystemSoundness, ShutdownWaitsForAPacketCallbackThatUsesAHub)
{
    FakeDriver driver;
    driver.setHubs({rfHub(1)});
    TestSystem system(driver);
    Recording recording;
    recording.install(system);
    ASSERT_TRUE(system.initialise());
    std::atomic<bool> destroyed{false};
    recording.hubs()[0]->destroyed = &destroyed;
    Gate gate;
    std::atomic<bool> sawDestroyed{false};
    recording.hubs()[0]->onPacket = [&](const QByteArray &) {
        gate.wait();
        sawDestroyed = destroyed.load();
    };
    // The driver does not wait for its callbacks in clearCallback here: the
    // packet runs on a thread of the test.
    std::thread packetThread([&] { driver.deliverNow(1, bytes({0x04, 0x11, 0, 0})); });
    ASSERT_TRUE(gate.waitReached());
    std::thread stopper([&] { EXPECT_TRUE(system.shutdown()); });
    spinEvents(100);
    EXPECT_FALSE(destroyed.load());
    gate.release();
    packetThread.join();
    stopper.join();
    EXPECT_FALSE(sawDestroyed.load());
    EXPECT_TRUE(destroyed.load());
}

TEST(SystemSoundness, NoQueuedEventReachesADeletedHub)
{
    FakeDriver driver;
    driver.setHubs({rfHub(1), rfHub(2)});
    TestSystem system(driver);
    Recording recording;
    recording.install(system);
    ASSERT_TRUE(system.initialise());
    RecordingHub *busy = recording.hubs()[0];
    RecordingHub *waiting = recording.hubs()[1];
    Gate gate;
    busy->onReread = [&] { gate.wait(); };
    std::atomic<bool> reachedDeleted{false};
    std::atomic<bool> waitingDestroyed{false};
    waiting->destroyed = &waitingDestroyed;
    waiting->onReread = [&] { reachedDeleted = waitingDestroyed.load(); };
    system.asPostEvent({3, QByteArray(), busy});
    ASSERT_TRUE(gate.waitReached());
    system.asPostEvent({3, QByteArray(), waiting});
    std::thread stopper([&] { EXPECT_TRUE(system.shutdown()); });
    spinEvents(100); // longer than the 50 ms that shutdown waits first
    gate.release();
    stopper.join();
    EXPECT_TRUE(waitingDestroyed.load());
    // A new start handles events again, and the old one never ran.
    recording.clear();
    ASSERT_TRUE(system.initialise());
    ASSERT_EQ(recording.hubs().size(), 2);
    system.asPostEvent({3, QByteArray(), recording.hubs()[1]});
    ASSERT_TRUE(waitFor([&] { return recording.hubs()[1]->rereads == 1; }));
    EXPECT_FALSE(reachedDeleted.load());
}

TEST(SystemSoundness, ShutdownFromADriverCallbackIsRefused)
{
    FakeDriver driver;
    driver.setHubs({rfHub(1)});
    TestSystem system(driver);
    Recording recording;
    recording.install(system);
    ASSERT_TRUE(system.initialise());
    std::atomic<int> result{-1};
    recording.hubs()[0]->onPacket = [&](const QByteArray &) { result = system.shutdown() ? 1 : 0; };
    driver.deliverLater(1, bytes({0x02, 0x00}));
    ASSERT_TRUE(driver.waitIdle());
    EXPECT_EQ(result.load(), 0);
    QList<Hub *> hubs;
    EXPECT_TRUE(system.getHubList(&hubs));
}

TEST(SystemSoundness, AHubFoundAfterStartUpRunsItsReenumerationTimer)
{
    FakeDriver driver;
    TestSystem system(driver);
    Recording recording;
    recording.install(system);
    ASSERT_TRUE(system.initialise());
    driver.addHub(rfHub(5));
    driver.notifyPnp();
    ASSERT_TRUE(waitFor([&] { return recording.hubs().size() == 1; }));
    RecordingHub *hub = recording.hubs()[0];
    // Made on the event thread, it lives in the host's thread like the hubs
    // that initialise() found.
    ASSERT_TRUE(waitFor([&] { return hub->thread() == QThread::currentThread(); }));
    ASSERT_TRUE(waitFor([&] { return driver.hasCallback(5); }));
    driver.deliverLater(5, bytes({0x03, 0xA0, 0x00})); // a re-enumeration notice
    EXPECT_TRUE(waitFor([&] { return hub->rereads == 1; }, 8000));
    spinEvents(200);
    EXPECT_EQ(hub->rereads, 1);
}
