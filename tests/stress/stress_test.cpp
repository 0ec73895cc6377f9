// Everything at once against the simulated driver: packet storms from two
// boards, hubs unplugged and plugged, host commands from several threads,
// and the system shut down and started again underneath. Run under
// ThreadSanitizer in CI.

#include "support/wait.h"

#include "orvexsim.h"

#include <orvexsystem/hub.h>
#include <orvexsystem/system.h>
#include <orvexsystem/twopointfourghzhub.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace Orvexsystem;
using namespace OrvexTest;

namespace {

std::atomic<long> g_penEvents{0};
std::atomic<long> g_touchEvents{0};

void onPen(Hub *, quint32, int, int, bool, bool, void *) { g_penEvents.fetch_add(1); }
void onTouch(Hub *, QList<Hub::TouchInfo>, void *) { g_touchEvents.fetch_add(1); }

// Runs body on a thread until stop is set.
class Worker
{
public:
    template <class Fn>
    explicit Worker(std::atomic<bool> &stop, Fn body)
        : m_thread([&stop, body] {
              while (!stop.load())
                  body();
          })
    {
    }
    ~Worker() { m_thread.join(); }

private:
    std::thread m_thread;
};

} // namespace

TEST(Stress, StormsPlugAndPlayCommandsAndRestartsTogether)
{
    orvexsim_reset();
    orvexsim_use_default_classroom();
    orvexsim_set_reply_delay_us(ORVEXSIM_ALL_HUBS, 300);
    OrvexSystem &system = OrvexSystem::instance();

    std::atomic<bool> stopDriverSide{false};
    // The driver side keeps going across every restart of the system.
    Worker plugging(stopDriverSide, [] {
        orvexsim_unplug_hub(ORVEXSIM_DEFAULT_LEGACY_HUB);
        std::this_thread::sleep_for(std::chrono::milliseconds(7));
        orvexsim_plug_hub(ORVEXSIM_DEFAULT_LEGACY_HUB);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    Worker touching(stopDriverSide, [] {
        const OrvexSimTouch touches[2] = {{1, 100, 200, 5, 1}, {2, 300, 400, 6, 1}};
        orvexsim_inject_touch(ORVEXSIM_DEFAULT_RF_HUB, touches, 2);
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    });
    Worker viewing(stopDriverSide, [&system] {
        QList<Hub *> hubs;
        system.getHubList(&hubs); // pointers only: hubs may go with a shutdown
        QMap<int, HubDisplayInfo> info;
        system.getOrvexHubInfoMap(info);
        system.getLegacyHubInfoMap(info);
        std::this_thread::yield();
    });

    for (int cycle = 0; cycle < 4; ++cycle) {
        ASSERT_TRUE(system.initialise());
        QList<Hub *> hubs;
        ASSERT_TRUE(system.getHubList(&hubs));
        TwoPointFourGHzHub *rf = nullptr;
        for (Hub *hub : std::as_const(hubs)) {
            hub->setPenEventCallback(&onPen, nullptr);
            hub->setTouchEventCallback(&onTouch, nullptr);
            if (!rf)
                rf = dynamic_cast<TwoPointFourGHzHub *>(hub);
        }
        ASSERT_NE(rf, nullptr);
        orvexsim_start_pen_stream(ORVEXSIM_DEFAULT_RF_HUB, 1, 2000, 0);
        orvexsim_start_pen_stream(ORVEXSIM_DEFAULT_LEGACY_HUB, 2, 2000, 0);

        // Host threads work with the hubs of this start only.
        std::atomic<bool> stopHost{false};
        {
            Worker states(stopHost, [rf] { rf->state(); });
            Worker names(stopHost, [rf] { rf->name(); });
            Worker touch(stopHost, [rf] { rf->isTouchRunning(); });
            Worker settings(stopHost, [rf, &system] {
                system.setLATEDetection(rf, true);
                system.getTouchSystemRedirectionEnabled(rf);
                unsigned char mode = 0;
                system.getPenReportMode(rf, 1, &mode);
                rf->lockDriver();
                rf->unlockDriver();
            });
            const long pensBefore = g_penEvents.load();
            EXPECT_TRUE(waitFor([&] { return g_penEvents.load() > pensBefore + 200; }, 10000));
            spinEvents(150);
            stopHost = true;
        }
        orvexsim_stop_pen_stream(ORVEXSIM_DEFAULT_RF_HUB);
        orvexsim_stop_pen_stream(ORVEXSIM_DEFAULT_LEGACY_HUB);
        ASSERT_TRUE(system.shutdown());
    }
    stopDriverSide = true;
    EXPECT_GT(g_touchEvents.load(), 0);
}
