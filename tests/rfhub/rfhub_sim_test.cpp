// The 2.4 GHz hub end to end: the library's own driver binding against the
// simulated driver and its 2.4 GHz hub model.

#include "support/virtualvotefile.h"
#include "support/wait.h"

#include "rfhub/twopointfourghzhub_p.h"

#include <orvexsim.h>
#include <orvexsystem/system.h>
#include <orvexsystem/twopointfourghzhub.h>
#include <orvexsystem/virtualtwopointfourghzhub.h>

#include <QtCore/QTemporaryDir>
#include <QtCore/QTime>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

using namespace Orvexsystem;
using namespace OrvexTest;

namespace {

const Device::Type Votes = Device::Type_TwoPointFourGHzOrvexvote;
const Device::Type Expressions = Device::Type_TwoPointFourGHzOrvexexpression;
const Device::Type Slates = Device::Type_TwoPointFourGHzOrvexSlate;
const Device::Type PenExpressions = Device::Type_PenExpression;

QList<QByteArray> writesOf(int handle)
{
    QList<QByteArray> out;
    for (int i = 0; i < orvexsim_write_count(handle); ++i) {
        QByteArray w(256, '\0');
        w.resize(orvexsim_get_write(handle, i, reinterpret_cast<uint8_t *>(w.data()), 256));
        out << w;
    }
    return out;
}

QList<QByteArray> startingWith(const QList<QByteArray> &writes, const QByteArray &prefix)
{
    QList<QByteArray> out;
    for (const QByteArray &w : writes)
        if (w.startsWith(prefix))
            out << w;
    return out;
}

class SimRfHub : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(orvexsim_reset(), 0);
        ASSERT_EQ(orvexsim_use_default_classroom(), 0);
        bringUp();
    }
    void TearDown() override { OrvexSystem::instance().shutdown(); }

    void bringUp()
    {
        ASSERT_TRUE(OrvexSystem::instance().initialise());
        hub = qobject_cast<TwoPointFourGHzHub *>(findHub(ORVEXSIM_DEFAULT_RF_HUB));
        ASSERT_NE(hub, nullptr);
    }
    static Hub *findHub(int handle)
    {
        QList<Hub *> hubs;
        OrvexSystem::instance().getHubList(&hubs);
        for (Hub *h : hubs)
            if (h->handle() == handle)
                return h;
        return nullptr;
    }
    QList<Device *> held(Device::Type type)
    {
        QList<Device *> out;
        switch (type) {
        case Votes: hub->readOrvexvoteList(&out); break;
        case Expressions: hub->readOrvexexpressionList(&out); break;
        case Slates: hub->readOrvexSlateList(&out); break;
        default: hub->readPenExpressionList(&out); break;
        }
        return out;
    }
    // A packet from the hub, handed over as the driver's callback does.
    void fromHub(std::initializer_list<int> packet) { hub->processPacket(bytes(packet)); }

    TwoPointFourGHzHub *hub = nullptr;
};

} // namespace

TEST_F(SimRfHub, ConnectingReadsEveryListThenCountsStateAndNameAreAsked)
{
    EXPECT_EQ(startingWith(writesOf(1), ":GR"),
              QList<QByteArray>({":GR06\r", ":GR09\r", ":GR07\r", ":GR0d\r", ":GR08\r"}));
    const QList<Device *> votes = held(Votes);
    ASSERT_EQ(votes.size(), 32);
    EXPECT_EQ(votes[0]->name(), QStringLiteral("V01"));
    EXPECT_EQ(static_cast<TwoPointFourGHzDevice *>(votes[0])->hexId(), QByteArray("06A100010101"));
    ASSERT_EQ(held(PenExpressions).size(), 1);
    EXPECT_EQ(held(PenExpressions)[0]->subType(), Device::SubType_None);
    EXPECT_EQ(hub->penCount(), 2);
    EXPECT_TRUE(hub->hasQX5Board());
    EXPECT_EQ(hub->getDeviceId(0x10120), 0x06A10020u); // reduced to 16 bits
    EXPECT_EQ(hub->getDeviceId(0x0999), 0u);

    // Lists read at connection are up to date: asking sends nothing.
    orvexsim_clear_writes(1);
    QList<Device *> all;
    ASSERT_TRUE(hub->getCompleteDeviceList(&all));
    ASSERT_EQ(all.size(), 45);
    EXPECT_EQ(all[32]->type(), Device::Type_TwoPointFourGHzOrvexexpression); // votes first
    EXPECT_EQ(all[44]->type(), Device::Type_PenExpression);
    EXPECT_TRUE(hub->getDeviceList(Device::Type_TwoPointFourGHzOrvexboard, &all));
    EXPECT_TRUE(all.isEmpty());
    EXPECT_EQ(orvexsim_write_count(1), 0);
    QList<DeviceDisplayInfo> infos;
    hub->readDeviceDisplayInfoList(Expressions, &infos);
    ASSERT_EQ(infos.size(), 8);
    EXPECT_EQ(infos[7].subType, Device::SubType_Expression0C);

    // Counts are asked for every time.
    orvexsim_clear_writes(1);
    EXPECT_EQ(hub->orvexvoteCount(), 32);
    EXPECT_EQ(hub->orvexexpressionCount(), 8);
    EXPECT_EQ(hub->orvexSlateCount(), 4);
    EXPECT_EQ(hub->orvexBoardCount(), 1);
    EXPECT_EQ(hub->penExpressionCount(), 1);
    EXPECT_EQ(writesOf(1), QList<QByteArray>({":GD06\r", ":GD09\r", ":GD07\r", ":GD08\r",
                                              ":GD0d\r"}));
    InformationResponse info;
    ASSERT_TRUE(hub->getRegistrationInfo(&info));
    EXPECT_EQ(info.handsetsInUse(), 41);
    EXPECT_EQ(info.slatesInUse(), 4);
    EXPECT_EQ(hub->canRegisterVotingDevicesCount(), 512);

    EXPECT_EQ(hub->name(), QStringLiteral("Room 12"));
    EXPECT_EQ(hub->state(), TwoPointFourGHzHub::State_Idle);
    for (int mode : {1, 2, 0x20}) { // 2 maps to no mode at all: busy as well
        orvexsim_set_hub_mode(1, mode);
        EXPECT_EQ(hub->state(), TwoPointFourGHzHub::State_Busy) << mode;
    }
    orvexsim_set_fault(1, ORVEXSIM_FAULT_REFUSE_WRITES, -1);
    EXPECT_EQ(hub->state(), TwoPointFourGHzHub::State_Error);
    EXPECT_EQ(hub->getLastError(), Hub::Error_CommsFailure);
    EXPECT_EQ(hub->name(), QStringLiteral("???"));
    EXPECT_EQ(hub->orvexvoteCount(), 0);

    orvexsim_clear_faults(1);
    hub->setConnected(false);
    orvexsim_clear_writes(1);
    EXPECT_EQ(hub->state(), TwoPointFourGHzHub::State_Disconnected);
    EXPECT_EQ(hub->getLastError(), Hub::Error_NotConnected);
    EXPECT_EQ(hub->name(), QStringLiteral("???"));
    EXPECT_FALSE(hub->getRegistrationInfo(&info));
    QList<Device *> list;
    EXPECT_FALSE(hub->getDeviceList(Votes, &list));
    EXPECT_FALSE(hub->clearHub(nullptr));
    EXPECT_EQ(orvexsim_write_count(1), 0);
}

TEST_F(SimRfHub, RemovalOpensASessionAndItsEndRereadsTheList)
{
    orvexsim_clear_writes(1);
    EXPECT_FALSE(hub->removeOrvexvote(0xDEAD));
    EXPECT_TRUE(hub->stopRemoveVoteDeviceSession()); // none open: nothing sent
    EXPECT_EQ(orvexsim_write_count(1), 0);

    ASSERT_TRUE(hub->removeOrvexvote(0x06A10005));
    EXPECT_EQ(writesOf(1).last(), QByteArray(":RD06A100050105\r"));
    EXPECT_TRUE(hub->isInSession());
    EXPECT_EQ(hub->getDeviceId(0x0105), 0u);
    EXPECT_FALSE(hub->removeOrvexslate(0x07C30001));
    EXPECT_EQ(hub->getLastError(), Hub::Error_CannotStartSessionBecauseCurrentlyInSession);
    ASSERT_TRUE(waitFor([] { return orvexsim_has_device(1, 0x06A10005) == 0; }));
    EXPECT_EQ(held(Votes).size(), 32); // listed until the removal ends
    orvexsim_clear_writes(1);
    ASSERT_TRUE(hub->stopRemoveExpressionDeviceSession()); // any stop ends any removal
    EXPECT_EQ(startingWith(writesOf(1), ":"),
              QList<QByteArray>({":VE\r", ":GR09\r", ":GR0d\r"}));
    EXPECT_FALSE(hub->isInSession());
    ASSERT_TRUE(hub->removeOrvexvote(0x06A10006));
    ASSERT_TRUE(hub->stopRemoveVoteDeviceSession());
    EXPECT_EQ(held(Votes).size(), 30);

    // Another kind of session, then a busy hub: nothing is removed.
    ASSERT_TRUE(hub->startOrvexvotePinNamingSession(3, nullptr, nullptr));
    EXPECT_FALSE(hub->stopRemoveSlateDeviceSession());
    EXPECT_FALSE(hub->removeOrvexslate(0x07C30001));
    fromHub({0x03, 0xA0, 0x00}); // a reset closes every session
    EXPECT_FALSE(hub->isInSession());
    hub->getDeviceList(Slates, nullptr);
    orvexsim_set_hub_busy(1, 1);
    EXPECT_FALSE(hub->removeOrvexslate(0x07C30001));
    EXPECT_EQ(hub->getLastError(), Hub::Error_Busy);
    EXPECT_TRUE(startingWith(writesOf(1), ":RD07").isEmpty());
}

TEST_F(SimRfHub, ClearsRereadTheirListsOnly)
{
    orvexsim_clear_writes(1);
    OKResponse reply;
    ASSERT_TRUE(hub->clearHubOfSlates(&reply));
    EXPECT_TRUE(reply.isValidResponse());
    EXPECT_EQ(writesOf(1), QList<QByteArray>({":CS07\r", ":GR07\r"}));
    EXPECT_TRUE(held(Slates).isEmpty());
    EXPECT_EQ(held(Expressions).size(), 8);
    orvexsim_clear_writes(1);
    ASSERT_TRUE(hub->clearHubOfVotes(nullptr));
    ASSERT_TRUE(hub->clearHubOfExpressions(nullptr));
    ASSERT_TRUE(hub->clearHubOfPenExpressions(nullptr));
    EXPECT_EQ(startingWith(writesOf(1), ":CS"),
              QList<QByteArray>({":CS06\r", ":CS09\r", ":CS0D\r"}));
    EXPECT_TRUE(held(Votes).isEmpty() && held(Expressions).isEmpty() &&
                held(PenExpressions).isEmpty());
    orvexsim_clear_writes(1);
    ASSERT_TRUE(hub->clearHubOfBoards(nullptr));
    EXPECT_EQ(writesOf(1), QList<QByteArray>({":CS08\r"}));
    EXPECT_EQ(hub->orvexBoardCount(), 0);
    orvexsim_register_device(1, ORVEXSIM_CLASS_VOTE, 0x06000001, 0x0601, "New");
    orvexsim_clear_writes(1);
    ASSERT_TRUE(hub->clearHub(nullptr));
    EXPECT_EQ(writesOf(1), QList<QByteArray>({":CS99\r", ":GR09\r", ":GR06\r", ":GR07\r",
                                              ":GR0d\r"}));
    EXPECT_EQ(orvexsim_device_count(1, 0), 0);
    orvexsim_set_fault(1, ORVEXSIM_FAULT_REFUSE_WRITES, 1);
    EXPECT_FALSE(hub->clearHubOfVotes(&reply));
    EXPECT_EQ(hub->getLastError(), Hub::Error_CommsFailure);
}

TEST_F(SimRfHub, AResetDuringAClearIsPartOfItAnyOtherEmptiesTheListsButKeepsHostPointers)
{
    QList<Device *> before;
    ASSERT_TRUE(hub->getDeviceList(Votes, &before));
    std::atomic<int> resets{0};
    QObject::connect(hub, &Hub::hubReset, [&](Hub *h) {
        EXPECT_EQ(h, hub);
        resets.fetch_add(1);
    });
    std::thread clearing([&] { EXPECT_TRUE(hub->clearHubOfBoards(nullptr)); });
    // The hub takes its flash time to answer; the reset arrives meanwhile.
    ASSERT_GE(orvexsim_wait_for_command(1, ":CS08", 5000), 0);
    fromHub({0x03, 0xA0, 0x00});
    clearing.join();
    EXPECT_EQ(resets.load(), 0);
    EXPECT_EQ(held(Votes).size(), 32);
    EXPECT_EQ(hub->penCount(), 2);

    ASSERT_EQ(orvexsim_reset_hub(1), 0);
    ASSERT_TRUE(waitFor([&] { return resets.load() == 1; }));
    EXPECT_TRUE(held(Votes).isEmpty() && held(Slates).isEmpty());
    EXPECT_EQ(hub->penCount(), 0);
    EXPECT_EQ(hub->getDeviceId(0x0101), 0u);
    EXPECT_EQ(before.last()->name(), QStringLiteral("V32")); // not freed by the reset
    QList<Device *> after;
    ASSERT_TRUE(hub->getDeviceList(Votes, &after)); // out of date: read again
    EXPECT_EQ(after.size(), 32);
    EXPECT_EQ(hub->getDeviceId(0x0101), 0x06A10001u);
}

TEST_F(SimRfHub, BusyChangesAndLowBatteryReachTheHostByCallbackOrSignal)
{
    std::mutex m;
    QList<bool> busy;
    QObject::connect(hub, &TwoPointFourGHzHub::hubBusy, [&](Hub *, bool b) {
        std::lock_guard<std::mutex> lock(m);
        busy << b;
    });
    orvexsim_set_hub_busy(1, 1);
    orvexsim_set_hub_busy(1, 0);
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard<std::mutex> lock(m);
        return busy.size() == 2;
    }));
    fromHub({4, 0x56, 2, 5});    // busy to busy: nothing
    fromHub({4, 0x56, 0, 0});    // idle
    fromHub({5, 0x56, 0, 1, 0}); // not a state change
    EXPECT_EQ(busy, QList<bool>({true, false, false}));

    static std::atomic<int> calls{0};
    ASSERT_TRUE(hub->setHubBusyCallback([](Hub *, bool b, void *) { calls.fetch_add(b ? 10 : 1); },
                                        nullptr));
    EXPECT_FALSE(hub->setHubBusyCallback(nullptr, nullptr)); // the earlier one stays
    fromHub({4, 0x56, 0, 0x11});
    EXPECT_EQ(calls.load(), 10);
    EXPECT_EQ(busy.size(), 3); // the callback replaced the signal

    QList<quint32> lowSignals;
    QObject::connect(hub, &Hub::batteryLow, [&](Hub *, quint32 uid) {
        std::lock_guard<std::mutex> lock(m);
        lowSignals << uid;
    });
    ASSERT_TRUE(hub->startOrvexvotePinNamingSession(2, nullptr, nullptr)); // reported in a session too
    orvexsim_report_low_battery(1, 0x09B20003);
    ASSERT_TRUE(waitFor([&] {
        std::lock_guard<std::mutex> lock(m);
        return lowSignals.size() == 1;
    }));
    EXPECT_EQ(lowSignals[0], 0x09B20003u);
    static std::atomic<quint32> lowUid{0};
    EXPECT_FALSE(hub->setBatteryLowCallback(nullptr, nullptr));
    ASSERT_TRUE(hub->setBatteryLowCallback([](Hub *, quint32 uid, void *) { lowUid.store(uid); },
                                           nullptr));
    orvexsim_report_low_battery(1, 0x06A10002);
    EXPECT_TRUE(waitFor([] { return lowUid.load() == 0x06A10002u; }));
    EXPECT_EQ(lowSignals.size(), 1);
    EXPECT_TRUE(hub->isInSession());
}

TEST_F(SimRfHub, ListsCutShortOrGarbledFailEmptyAndInTime)
{
    // The hub stops after 5 records: no OK, no partial list.
    ASSERT_EQ(orvexsim_set_fault(1, ORVEXSIM_FAULT_TRUNCATE_REPLIES, 5), 0);
    fromHub({0x03, 0xA0, 0x00}); // every list out of date
    const auto start = std::chrono::steady_clock::now();
    QList<Device *> votes;
    EXPECT_FALSE(hub->getDeviceList(Votes, &votes));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(hub->getLastError(), Hub::Error_CommsFailure);
    EXPECT_TRUE(held(Votes).isEmpty());
    // The failed read cleared the flag: the empty list is what is held now.
    orvexsim_clear_faults(1);
    EXPECT_TRUE(hub->getDeviceList(Votes, &votes));
    EXPECT_TRUE(votes.isEmpty());

    // Corrupted replies pass no record test; the list fails the same way.
    ASSERT_EQ(orvexsim_set_fault(1, ORVEXSIM_FAULT_CORRUPT_REPLIES, -1), 0);
    EXPECT_FALSE(hub->getDeviceList(Slates, &votes));
    EXPECT_EQ(hub->getLastError(), Hub::Error_CommsFailure);
    orvexsim_clear_faults(1);
    ASSERT_EQ(orvexsim_set_fault(1, ORVEXSIM_FAULT_DETACH_MID_EXCHANGE, 1), 0);
    EXPECT_FALSE(hub->getDeviceList(Expressions, &votes));
    EXPECT_TRUE(held(Expressions).isEmpty());
}

TEST_F(SimRfHub, UnpluggingEmptiesTheListsAndPluggingRereadsThem)
{
    ASSERT_EQ(orvexsim_unplug_hub(1), 0);
    // The flag goes first; the lists and the board go right after it.
    ASSERT_TRUE(waitFor([&] {
        return !hub->isConnected() && hub->penCount() == 0 && held(Votes).isEmpty();
    }));
    ASSERT_EQ(orvexsim_plug_hub(1), 0);
    ASSERT_TRUE(waitFor([&] { return hub->isConnected() && hub->penCount() == 2; }));
    EXPECT_EQ(held(Votes).size(), 32);
    EXPECT_EQ(held(PenExpressions).size(), 1);
}

TEST_F(SimRfHub, VirtualVoteFileCompletesEachVoteListRead)
{
    OrvexSystem::instance().shutdown();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    qputenv("XDG_DATA_DIRS", dir.path().toLocal8Bit());
    VirtualVoteRecord desk{"00012345", "0001abcd", "Desk"};
    VirtualVoteRecord unnamed{"00000077", "0002", ""};
    ASSERT_TRUE(writeVirtualVoteFile(dir.path(), virtualVoteFileBytes({desk, unnamed})));
    bringUp();
    QList<Device *> votes = held(Votes);
    ASSERT_EQ(votes.size(), 33);
    auto *added = static_cast<TwoPointFourGHzDevice *>(votes.last());
    EXPECT_EQ(added->uid(), 0x12345u);
    EXPECT_EQ(added->address(), 0x2345);
    EXPECT_EQ(added->name(), QStringLiteral("Desk"));
    EXPECT_EQ(added->hexId(), QByteArray("000123450001"));
    EXPECT_EQ(hub->getDeviceId(0x2345), 0x12345u);
    hub->readRegisteredDevicesLists(); // added again with every read, never twice
    EXPECT_EQ(held(Votes).size(), 33);
}

TEST_F(SimRfHub, VirtualHubIsA24GHzHubThatSaysSo)
{
    ASSERT_EQ(orvexsim_add_hub(ORVEXSIM_KIND_VIRTUAL_RF, 5, 0x55, ORVEXSIM_CONNECTION_USB, 1,
                               "p0://h:p2:p3:p4"),
              0);
    orvexsim_register_device(5, ORVEXSIM_CLASS_SLATE, 0x07000001, 0x0701, "S");
    ASSERT_TRUE(waitFor([&] { return findHub(5) != nullptr; }));
    auto *virtualHub = qobject_cast<VirtualTwoPointFourGHzHub *>(findHub(5));
    ASSERT_NE(virtualHub, nullptr);
    EXPECT_TRUE(virtualHub->isVirtualHub());
    EXPECT_FALSE(hub->isVirtualHub());
    EXPECT_EQ(virtualHub->description(), QStringLiteral("p0://h:p2:p3:p4"));
    QList<Device *> slates;
    ASSERT_TRUE(virtualHub->getDeviceList(Slates, &slates));
    EXPECT_EQ(slates.size(), 1);

    // Back after leaving, it is still listed as virtual.
    auto listedAsVirtual = [] {
        QMap<int, HubDisplayInfo> info;
        OrvexSystem::instance().getOrvexHubInfoMap(info);
        return info.contains(5) ? int(info[5].isVirtual) : -1;
    };
    // Unplugged once the hub's set-up (ending with its board query) is done:
    // an exchange cut off by the unplug would wait out its reply time.
    ASSERT_GE(orvexsim_wait_for_command(5, ":GR08", 5000), 0);
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    ASSERT_EQ(orvexsim_unplug_hub(5), 0);
    ASSERT_TRUE(waitFor([&] { return listedAsVirtual() == -1; }));
    ASSERT_EQ(orvexsim_plug_hub(5), 0);
    ASSERT_TRUE(waitFor([&] { return listedAsVirtual() == 1; }));
}

TEST_F(SimRfHub, AResetDuringAnotherCallersExchangeIsNotIgnoredByAWaitingClear)
{
    std::atomic<int> resets{0};
    QObject::connect(hub, &Hub::hubReset, [&](Hub *) { resets.fetch_add(1); });
    // Another caller's exchange holds the hub's turn; the clear waits for it.
    std::unique_lock<std::mutex> turn(TwoPointFourGHzHubPrivate::get(hub)->exchangeMutex());
    std::thread clearing([&] { EXPECT_TRUE(hub->clearHubOfBoards(nullptr)); });
    spinEvents(100);
    fromHub({0x03, 0xA0, 0x00});
    EXPECT_EQ(resets.load(), 1);
    turn.unlock();
    clearing.join();
}

TEST_F(SimRfHub, DisplayListsPenStrokesAndTouchReachTheHost)
{
    QList<DeviceDisplayInfo> list;
    auto &system = OrvexSystem::instance();
    ASSERT_TRUE(system.getOrvexVoteDisplayInfoList(1, list));
    ASSERT_EQ(list.size(), 32);
    EXPECT_EQ(list[0].name, QStringLiteral("V01"));
    EXPECT_EQ(list[0].uid, 0x06A10001u);
    ASSERT_TRUE(system.getOrvexExpressionDisplayInfoList(1, list));
    ASSERT_EQ(list.size(), 8);
    EXPECT_EQ(list[0].subType, Device::SubType_Expression);
    EXPECT_EQ(list[7].subType, Device::SubType_Expression0C);
    ASSERT_TRUE(system.getOrvexSlateDisplayInfoList(1, list));
    EXPECT_EQ(list.size(), 4);

    std::mutex m;
    QList<int> events;
    QList<int> touches;
    QObject::connect(hub, &Hub::penEventReceived, hub,
                     [&](Hub *, Hub::PenEvent e, quint8, int, int, bool, bool) {
                         std::lock_guard<std::mutex> lock(m);
                         events << e;
                     }, Qt::DirectConnection);
    QObject::connect(hub, &Hub::touchEventReceived, hub,
                     [&](Hub *, QList<Hub::TouchInfo> t) {
                         std::lock_guard<std::mutex> lock(m);
                         touches << int(t.size());
                     }, Qt::DirectConnection);
    ASSERT_EQ(orvexsim_start_pen_stream(1, 1, 2000, ORVEXSIM_PEN_STROKE_PACKETS), 0);
    const OrvexSimTouch contacts[2] = {{1, 100, 200, 5, 1}, {2, 300, 400, 6, 1}};
    ASSERT_EQ(orvexsim_inject_touch(1, contacts, 2), 0);
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    std::lock_guard<std::mutex> lock(m);
    EXPECT_EQ(events.count(Hub::PenEvent_TipDown), 1);
    EXPECT_EQ(events.count(Hub::PenEvent_TipUp), 1);
    EXPECT_EQ(events.count(Hub::PenEvent_BarrelDown), 1);
    EXPECT_EQ(events.count(Hub::PenEvent_BarrelUp), 1);
    EXPECT_EQ(events.size(), ORVEXSIM_PEN_STROKE_PACKETS);
    EXPECT_EQ(touches, QList<int>({2}));
}

TEST_F(SimRfHub, TouchSupportFollowsTheBoardVersion)
{
    struct Probe : TwoPointFourGHzHub
    {
        using TwoPointFourGHzHub::isTouchSupported;
    };
    bool (TwoPointFourGHzHub::*touchSupported)() = &Probe::isTouchSupported;
    for (int version : {849, 850}) {
        const int handle = version == 849 ? 6 : 7;
        ASSERT_EQ(orvexsim_add_hub(ORVEXSIM_KIND_RF, handle, handle, ORVEXSIM_CONNECTION_USB, 1,
                                   nullptr),
                  0);
        orvexsim_add_board(handle, 0x08000000u + handle, 0x0500, "B", version);
        ASSERT_TRUE(waitFor([&] { return findHub(handle) != nullptr; }));
        auto *rf = qobject_cast<TwoPointFourGHzHub *>(findHub(handle));
        EXPECT_EQ((rf->*touchSupported)(), version == 850) << version;
    }
}

TEST_F(SimRfHub, EntityIdsWithinOneSecondDifferByOne)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int second = QTime::currentTime().second();
        const unsigned char a = hub->generateEntityId();
        const unsigned char b = hub->generateEntityId();
        if (QTime::currentTime().second() != second)
            continue;
        EXPECT_EQ(quint8(b - a), 1);
        return;
    }
    FAIL() << "the clock kept crossing seconds";
}

// Host threads list and look up devices while the hub resets and the event
// thread re-reads: no race, no device freed under a reader, and the lists
// settle on what the hub holds.
TEST_F(SimRfHub, ReadsRereadsAndResetsRunTogether)
{
    std::atomic<bool> stop{false};
    std::atomic<int> rounds{0};
    auto reader = [&] {
        while (!stop.load()) {
            QList<DeviceDisplayInfo> infos;
            hub->readDeviceDisplayInfoList(Votes, &infos);
            for (const DeviceDisplayInfo &i : infos)
                EXPECT_TRUE(i.name.startsWith('V'));
            QList<Device *> slates;
            hub->getDeviceList(Slates, &slates);
            hub->getDeviceId(0x0301);
            rounds.fetch_add(1);
        }
    };
    std::thread a(reader), b(reader);
    std::thread event([&] {
        while (!stop.load())
            hub->readRegisteredDevicesLists();
    });
    for (int i = 0; i < 30; ++i) {
        orvexsim_reset_hub(1);
        orvexsim_wait_idle(2000);
    }
    ASSERT_TRUE(waitFor([&] { return rounds.load() > 10; }, 20000));
    stop.store(true);
    a.join();
    b.join();
    event.join();
    hub->readRegisteredDevicesLists();
    EXPECT_EQ(held(Votes).size() + held(Expressions).size() + held(Slates).size() +
                  held(PenExpressions).size(),
              45);
}

// A host that holds the driver lock around its own hub calls while the event
// thread re-reads the lists: both finish.
TEST_F(SimRfHub, AHostHoldingTheDriverLockDoesNotDeadlockTheReread)
{
    std::thread event([&] {
        for (int i = 0; i < 20; ++i)
            hub->readRegisteredDevicesLists();
    });
    for (int i = 0; i < 20; ++i) {
        hub->lockDriver();
        EXPECT_EQ(hub->orvexSlateCount(), 4);
        hub->unlockDriver();
    }
    event.join();
    EXPECT_EQ(orvexsim_driver_lock_held(), 0);
}
