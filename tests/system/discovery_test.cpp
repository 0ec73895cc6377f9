// Hub discovery: new hubs, hubs that leave and come back, what the host is
// told and in which order, and the views of the hub table.

#include "support/fakedriver.h"
#include "support/testhub.h"
#include "support/wait.h"

#include <orvexsystem/hub.h>
#include <orvexsystem/legacyhub.h>
#include <orvexsystem/twopointfourghzhub.h>

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

using namespace Orvexsystem;
using namespace OrvexTest;

namespace {

FakeDriver::HubRecord hubRecord(int kind, int handle, quint64 uid = 0x42)
{
    FakeDriver::HubRecord r;
    r.kind = kind;
    r.handle = handle;
    r.uid = uid;
    r.connectionType = 2;
    return r;
}

// Everything the host is told, as text, in order. Reports made on the
// system's event thread reach it through the test thread's event loop.
struct Listener
{
    QObject receiver;
    std::mutex mutex;
    QStringList recorded;
    // Recorded on the emitting thread: a queued hand-over through Qt's event
    // queue is invisible to the thread sanitizer.
    void add(const QString &event)
    {
        std::lock_guard<std::mutex> lock(mutex);
        recorded << event;
    }
    // A deep copy: a list sharing its data with the recorder would be
    // released on this thread without an order the sanitizer can see.
    QStringList events()
    {
        std::lock_guard<std::mutex> lock(mutex);
        QStringList copy;
        for (const QString &e : std::as_const(recorded))
            copy << QString(e.constData(), e.size());
        return copy;
    }
    void attach(OrvexSystem &system)
    {
        const auto direct = Qt::DirectConnection;
        QObject::connect(&system, &OrvexSystem::newHubConnected, &receiver,
                         [this](Hub *h) { add(QStringLiteral("connected %1").arg(h->handle())); }, direct);
        QObject::connect(&system, &OrvexSystem::hubDisconnected, &receiver,
                         [this](Hub *h) { add(QStringLiteral("disconnected %1").arg(h->handle())); }, direct);
        QObject::connect(&system, &OrvexSystem::newOrvexHubConnected, &receiver,
                         [this](int h) { add(QStringLiteral("orvex+ %1").arg(h)); }, direct);
        QObject::connect(&system, &OrvexSystem::orvexHubDisconnected, &receiver,
                         [this](int h) { add(QStringLiteral("orvex- %1").arg(h)); }, direct);
        QObject::connect(&system, &OrvexSystem::newLegacyHubConnected, &receiver,
                         [this](int h) { add(QStringLiteral("legacy+ %1").arg(h)); }, direct);
        QObject::connect(&system, &OrvexSystem::legacyHubDisconnected, &receiver,
                         [this](int h) { add(QStringLiteral("legacy- %1").arg(h)); }, direct);
    }
};

// A system on the fake driver, and what it tells the host.
class Discovery : public ::testing::Test
{
protected:
    // Hubs of the kinds 1 to 4 become TestHubs.
    void useTestHubs()
    {
        system.hubFactory = [](TestSystem *s, int kind, int handle, quint64 uid) -> Hub * {
            return kind < 1 || kind > 4 ? nullptr : new TestHub(s, handle, uid, false);
        };
    }
    FakeDriver driver;
    TestSystem system{driver};
    Listener listener;
};

} // namespace

TEST_F(Discovery, NewHubsAreAnnouncedThenSignalledByHandleBeforeInitialiseReturns)
{
    driver.setHubs({hubRecord(3, 8), hubRecord(1, 2), hubRecord(9, 5)});
    useTestHubs();
    listener.attach(system);
    ASSERT_TRUE(system.initialise());
    EXPECT_EQ(listener.events(),
              QStringList({"connected 8", "orvex+ 8", "connected 2", "legacy+ 2"}));
    QList<Hub *> hubs;
    ASSERT_TRUE(system.getHubList(&hubs));
    ASSERT_EQ(hubs.size(), 2);
    EXPECT_EQ(hubs[0]->handle(), 2);
    EXPECT_EQ(hubs[1]->handle(), 8);
    // The transfer mask goes to legacy hubs only.
    EXPECT_EQ(driver.log().filter("setXferMask"), QStringList({"setXferMask(2,255)"}));
    QMap<int, HubDisplayInfo> orvex, legacy;
    system.getOrvexHubInfoMap(orvex);
    system.getLegacyHubInfoMap(legacy);
    EXPECT_EQ(orvex.keys(), QList<int>({8}));
    EXPECT_EQ(legacy.keys(), QList<int>({2}));
    EXPECT_TRUE(orvex[8].name.isEmpty());
    EXPECT_EQ(orvex[8].uid, 0x42u);
    EXPECT_FALSE(orvex[8].isVirtual);
}

TEST_F(Discovery, AHubThatLeavesAndReturnsIsTheSameObject)
{
    driver.setHubs({hubRecord(1, 2)});
    useTestHubs();
    ASSERT_TRUE(system.initialise());
    QList<Hub *> before;
    system.getHubList(&before);
    ASSERT_EQ(before.size(), 1);
    listener.attach(system);

    driver.setHubs({});
    driver.notifyPnp();
    ASSERT_TRUE(waitFor([&] { return listener.events().size() == 2; }));
    EXPECT_EQ(listener.events(), QStringList({"legacy- 2", "disconnected 2"}));
    EXPECT_FALSE(before[0]->isConnected());
    EXPECT_FALSE(driver.hasCallback(2));

    driver.clearLog();
    driver.setHubs({hubRecord(1, 2)});
    driver.notifyPnp();
    ASSERT_TRUE(waitFor([&] { return listener.events().size() == 4; }));
    EXPECT_EQ(listener.events().mid(2), QStringList({"connected 2", "legacy+ 2"}));
    QList<Hub *> after;
    system.getHubList(&after);
    ASSERT_EQ(after.size(), 1);
    EXPECT_EQ(after[0], before[0]);
    EXPECT_TRUE(driver.hasCallback(2));
    EXPECT_TRUE(driver.log().filter("setXferMask").isEmpty());
}

TEST_F(Discovery, HubConnectedCallbackReplacesOnlyTheHubSignals)
{
    driver.setHubs({hubRecord(4, 6)});
    useTestHubs();
    listener.attach(system);
    QStringList calls;
    auto callback = [](Hub *hub, bool connected, void *context) {
        static_cast<QStringList *>(context)->append(
            QStringLiteral("%1 %2").arg(hub->handle()).arg(connected));
    };
    system.setHubConnectedCallback(callback, &calls);
    ASSERT_TRUE(system.initialise());
    EXPECT_EQ(calls, QStringList({"6 1"}));
    EXPECT_EQ(listener.events(), QStringList({"orvex+ 6"}));
    QMap<int, HubDisplayInfo> orvex;
    system.getOrvexHubInfoMap(orvex);
    EXPECT_TRUE(orvex[6].isVirtual);

    driver.setHubs({});
    system.updateHubs();
    EXPECT_EQ(calls, QStringList({"6 1", "6 0"}));
    // A null callback gives the signals back.
    system.setHubConnectedCallback(nullptr, &calls);
    driver.setHubs({hubRecord(4, 6)});
    system.updateHubs();
    EXPECT_EQ(calls.size(), 2);
    EXPECT_EQ(listener.events(),
              QStringList({"orvex+ 6", "orvex- 6", "connected 6", "orvex+ 6"}));
}

TEST_F(Discovery, AFailedRecordCountsAsGoneAndZeroDevicesDisconnectAll)
{
    driver.setHubs({hubRecord(3, 1), hubRecord(3, 2)});
    useTestHubs();
    ASSERT_TRUE(system.initialise());
    // Hub 1 is still counted, but its record is refused.
    driver.setEnumFails(1);
    system.updateHubs();
    QList<Hub *> hubs;
    ASSERT_TRUE(system.getHubList(&hubs));
    ASSERT_EQ(hubs.size(), 1);
    EXPECT_EQ(hubs[0]->handle(), 2);
    driver.setEnumFails(0);
    driver.setHubs({});
    system.updateHubs();
    ASSERT_TRUE(system.getHubList(&hubs));
    EXPECT_TRUE(hubs.isEmpty());
    QMap<int, HubDisplayInfo> orvex;
    system.getOrvexHubInfoMap(orvex);
    EXPECT_TRUE(orvex.isEmpty());
    // A handle that stays absent has its callback cleared again, nothing more.
    driver.clearLog();
    system.updateHubs();
    EXPECT_EQ(driver.log().filter("clearCallback"),
              QStringList({"clearCallback(1)", "clearCallback(2)"}));
}

TEST_F(Discovery, AHandleReportedAsAnotherKindKeepsItsHubObject)
{
    driver.setHubs({hubRecord(3, 1)});
    ASSERT_TRUE(system.initialise());
    QList<Hub *> hubs;
    system.getHubList(&hubs);
    ASSERT_EQ(hubs.size(), 1);
    Hub *original = hubs[0];
    EXPECT_TRUE(system.isValidOrvexhubHandle(1));
    QList<DeviceDisplayInfo> list;
    EXPECT_FALSE(system.getLegacyVoteDisplayInfoList(1, list)) << "a handle of the other map";
    EXPECT_FALSE(system.getOrvexVoteDisplayInfoList(77, list)) << "an unknown handle";
    EXPECT_TRUE(system.getOrvexVoteDisplayInfoList(1, list));

    driver.setHubs({});
    system.updateHubs();
    driver.setHubs({hubRecord(1, 1)});
    system.updateHubs();
    system.getHubList(&hubs);
    ASSERT_EQ(hubs.size(), 1);
    EXPECT_EQ(hubs[0], original);
    EXPECT_NE(dynamic_cast<TwoPointFourGHzHub *>(hubs[0]), nullptr);
    // The legacy views refuse a hub object of the wrong class.
    QMap<int, HubDisplayInfo> legacy;
    system.getLegacyHubInfoMap(legacy);
    EXPECT_TRUE(legacy.contains(1));
    EXPECT_FALSE(system.isValidLegacyhubHandle(1));
    list = {DeviceDisplayInfo("x", 1, Device::SubType_None)};
    EXPECT_FALSE(system.getLegacyVoteDisplayInfoList(1, list));
    EXPECT_TRUE(list.isEmpty());
    EXPECT_FALSE(system.getLegacySlateDisplayInfoList(1, list));
}

struct VersionCase
{
    const char *text;
    bool ok;
    int major, minor, build;
};

class DriverVersion : public ::testing::TestWithParam<VersionCase>
{
};

TEST_P(DriverVersion, IsReadFromTheFirstRecord)
{
    const VersionCase c = GetParam();
    FakeDriver driver;
    if (c.text) // no text: no device attached
        driver.setHubs({hubRecord(3, 1)});
    driver.driverVersion = QString::fromLatin1(c.text);
    TestSystem system(driver);
    int major = -1, minor = -1, build = -1;
    EXPECT_EQ(system.getDriverVersion(&major, &minor, &build), c.ok);
    if (c.ok) {
        EXPECT_EQ(major, c.major);
        EXPECT_EQ(minor, c.minor);
        EXPECT_EQ(build, c.build);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DriverVersion,
    ::testing::Values(VersionCase{"5.1.10.123", true, 5, 10, 123},
                      VersionCase{"5.2.10.123", true, 5, 2, 10},
                      VersionCase{"6.1.2", true, 6, 1, 2},
                      VersionCase{"v7 build 3.9", true, 7, 3, 9},
                      VersionCase{"no digits", false, 0, 0, 0},
                      VersionCase{"5.1.10", false, 0, 0, 0},
                      VersionCase{"6.1", false, 0, 0, 0},
                      VersionCase{"99999999999.1.2", false, 0, 0, 0},
                      VersionCase{nullptr, false, 0, 0, 0}),
    [](const ::testing::TestParamInfo<VersionCase> &info) {
        return "Case" + std::to_string(info.index);
    });

TEST_F(Discovery, ANoticeDuringInitialiseDoesNotCreateAHubTwice)
{
    driver.setHubs({hubRecord(3, 1), hubRecord(3, 2)});
    std::mutex mutex;
    QList<int> made;
    system.hubFactory = [&](TestSystem *s, int, int handle, quint64 uid) -> Hub * {
        {
            std::lock_guard<std::mutex> lock(mutex);
            // The notice comes while initialise() is still discovering.
            if (made.isEmpty())
                driver.notifyPnp();
            made << handle;
        }
        // A slow hub start widens the window in which the two passes meet.
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        return new TestHub(s, handle, uid, false);
    };
    ASSERT_TRUE(system.initialise());
    ASSERT_TRUE(driver.waitIdle());
    spinEvents(100);
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(made, QList<int>({1, 2}));
}
