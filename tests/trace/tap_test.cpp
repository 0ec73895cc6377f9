// The system's tap: what it sees, on which thread, and that replacing it
// waits for a call still running elsewhere.

#include "support/wait.h"

#include <orvexsim.h>
#include <orvexsystem/hub.h>
#include <orvexsystem/system.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

using namespace Orvexsystem;
using OrvexTest::waitFor;

namespace {

struct Seen
{
    OrvexSystem::TapEventKind kind;
    int handle;
    QByteArray bytes;
    bool accepted;
    bool atStart;
    qint64 uid;
    bool onMainThread;
};

std::mutex g_mutex;
std::vector<Seen> g_seen;
std::thread::id g_main;

void collect(const OrvexSystem::TapEvent &e, void *)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_seen.push_back({e.kind, e.handle, QByteArray(reinterpret_cast<const char *>(e.data), int(e.length)),
                      e.accepted, e.atStart, e.record ? qint64(e.record->uid()) : -1,
                      std::this_thread::get_id() == g_main});
}

std::vector<Seen> seen(OrvexSystem::TapEventKind kind, int handle)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    std::vector<Seen> out;
    for (const Seen &s : g_seen)
        if (s.kind == kind && s.handle == handle)
            out.push_back(s);
    return out;
}

class Tap : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_main = std::this_thread::get_id();
        ASSERT_EQ(orvexsim_reset(), 0);
        ASSERT_EQ(orvexsim_use_default_classroom(), 0);
    }
    void TearDown() override
    {
        OrvexSystem::instance().setTapCallback(nullptr, nullptr);
        OrvexSystem::instance().shutdown();
    }
};

TEST_F(Tap, SeesHubsWritesAndPacketsAsTheyPass)
{
    OrvexSystem &system = OrvexSystem::instance();
    system.setTapCallback(&collect, nullptr);
    ASSERT_TRUE(system.initialise());

    // Hubs found by initialise(), on its thread, before their first write.
    const auto rf = seen(OrvexSystem::Tap_HubReported, ORVEXSIM_DEFAULT_RF_HUB);
    ASSERT_EQ(rf.size(), 1u);
    EXPECT_TRUE(rf[0].atStart && rf[0].onMainThread);
    EXPECT_EQ(rf[0].uid, 0x51C0A8E3);
    ASSERT_FALSE(seen(OrvexSystem::Tap_Write, ORVEXSIM_DEFAULT_RF_HUB).empty());
    QList<DriverDeviceInfo> records;
    ASSERT_TRUE(system.getDriverRecords(records));
    EXPECT_EQ(records.size(), 2);

    // A refused write is reported, refused.
    Hub *hub = nullptr;
    QList<Hub *> hubs;
    system.getHubList(&hubs);
    for (Hub *h : hubs)
        if (h->handle() == ORVEXSIM_DEFAULT_LEGACY_HUB)
            hub = h;
    ASSERT_NE(hub, nullptr);
    orvexsim_set_fault(ORVEXSIM_DEFAULT_LEGACY_HUB, ORVEXSIM_FAULT_REFUSE_WRITES, 1);
    EXPECT_FALSE(system.sendCommand(hub, QByteArray(":VE\r")));
    const auto writes = seen(OrvexSystem::Tap_Write, ORVEXSIM_DEFAULT_LEGACY_HUB);
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.back().bytes, QByteArray(":VE\r"));
    EXPECT_FALSE(writes.back().accepted);

    // Packets as the driver delivered them, prefix and all, on its thread.
    orvexsim_set_prefix_packets(ORVEXSIM_DEFAULT_LEGACY_HUB, 1);
    // (The legacy hub's own replies to the library come through the tap too.)
    const uint8_t busy[] = {0x04, 0x56, 0x00, 0x05};
    const QByteArray expected = QByteArray::fromHex("074100" "04560005");
    ASSERT_EQ(orvexsim_inject_packet(ORVEXSIM_DEFAULT_LEGACY_HUB, busy, 4), 0);
    auto injected = [&] {
        for (const Seen &s : seen(OrvexSystem::Tap_Packet, ORVEXSIM_DEFAULT_LEGACY_HUB))
            if (s.bytes == expected)
                return s;
        return Seen{OrvexSystem::Tap_Packet, 0, QByteArray(), false, false, 0, true};
    };
    ASSERT_TRUE(waitFor([&] { return injected().bytes == expected; }));
    EXPECT_FALSE(injected().onMainThread);

    // A hub that arrives later, and leaves.
    ASSERT_EQ(orvexsim_add_hub(ORVEXSIM_KIND_RF, 9, 0x99, ORVEXSIM_CONNECTION_USB, 0x0301, nullptr), 0);
    ASSERT_TRUE(waitFor([] { return !seen(OrvexSystem::Tap_HubReported, 9).empty(); }));
    EXPECT_FALSE(seen(OrvexSystem::Tap_HubReported, 9)[0].atStart);
    ASSERT_EQ(orvexsim_remove_hub(9), 0);
    EXPECT_TRUE(waitFor([] { return seen(OrvexSystem::Tap_HubGone, 9).size() == 1; }));
}

std::atomic<int> g_calls{0};
OrvexTest::Gate *g_gate = nullptr;

void blockOnce(const OrvexSystem::TapEvent &e, void *)
{
    if (e.kind == OrvexSystem::Tap_Packet && g_calls.fetch_add(1) == 0)
        g_gate->block();
}

void clearItself(const OrvexSystem::TapEvent &, void *)
{
    g_calls.fetch_add(1);
    OrvexSystem::instance().setTapCallback(nullptr, nullptr);
}

TEST_F(Tap, ReplacingItWaitsForACallRunningElsewhereButNotForItself)
{
    OrvexSystem &system = OrvexSystem::instance();
    ASSERT_TRUE(system.initialise());
    OrvexTest::Gate gate;
    g_gate = &gate;
    system.setTapCallback(&blockOnce, nullptr);
    const uint8_t busy[] = {0x04, 0x56, 0x00, 0x05};
    ASSERT_EQ(orvexsim_inject_packet(ORVEXSIM_DEFAULT_RF_HUB, busy, 4), 0);
    ASSERT_TRUE(gate.waitEntered());
    std::atomic<bool> replaced{false};
    std::thread replacer([&] {
        system.setTapCallback(nullptr, nullptr);
        replaced.store(true);
    });
    OrvexTest::spinEvents(100);
    EXPECT_FALSE(replaced.load()) << "returned while the tap still ran";
    gate.open();
    replacer.join();
    EXPECT_TRUE(replaced.load());
    ASSERT_EQ(orvexsim_inject_packet(ORVEXSIM_DEFAULT_RF_HUB, busy, 4), 0);
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    EXPECT_EQ(g_calls.load(), 1);

    // A tap that clears itself returns, and is not called again.
    g_calls.store(0);
    system.setTapCallback(&clearItself, nullptr);
    ASSERT_EQ(orvexsim_inject_repeated(ORVEXSIM_DEFAULT_RF_HUB, busy, 4, 3), 0);
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    EXPECT_EQ(g_calls.load(), 1);
}

} // namespace
