// The system core's two paths: a packet from the driver callback to the
// hub's report, and one command exchange with a hub of the simulated
// driver. Each is shown beside a floor measured in the same run.
//
// The threads float between the two CPUs unless ORVEX_BENCH_PIN=1, which
// pins the whole process (driver thread included) to CPU 0.

#include "support/fakedriver.h"

#include "orvexsim.h"

#include <orvexsystem/legacyhub.h>
#include <orvexsystem/twopointfourghzhub.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QMap>

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <sched.h>
#include <thread>

using namespace Orvexsystem;

namespace {

std::atomic<long> g_penEvents{0};
void onPen(Hub *, quint32, int, int, bool, bool, void *) { g_penEvents.fetch_add(1, std::memory_order_relaxed); }

const uint8_t kPenPacket[8] = {8, 0x21, 0, 0x10, 0x20, 0x30, 0x07, 0x0D};

// The whole route: OrvexSystem's packet callback, the hub table, the hub's
// classification, the pen decoder and state machine, the host's callback.
void BM_PacketCallbackToHostCallback(benchmark::State &state)
{
    OrvexTest::FakeDriver driver;
    OrvexTest::FakeDriver::HubRecord record;
    record.kind = 2; // a legacy USB hub: no exchanges at start-up
    record.handle = 1;
    record.version = 900;
    driver.setHubs({record});
    OrvexTest::TestSystem system(driver);
    if (!system.initialise()) {
        state.SkipWithError("initialise failed");
        return;
    }
    QList<Hub *> hubs;
    system.getHubList(&hubs);
    hubs[0]->setPenEventCallback(&onPen, nullptr);
    uint8_t packet[8];
    std::memcpy(packet, kPenPacket, sizeof packet);
    long i = 0;
    for (auto _ : state) {
        packet[3] = uint8_t(i++); // the pen moves
        OrvexTest::TestSystem::processPacketCallback(1, packet, sizeof packet, &system);
    }
    state.SetItemsProcessed(state.iterations());
    benchmark::DoNotOptimize(g_penEvents.load());
}
BENCHMARK(BM_PacketCallbackToHostCallback);

// The floor: copy a 9-byte packet, decode it, look the hub up in a map and
// call a function pointer.
struct FloorHub
{
    void (*callback)(int, int, void *);
    void *context;
};
void floorCallback(int x, int y, void *context) { *static_cast<long *>(context) += x + y; }

void BM_Floor_CopyDecodeLookupCallback(benchmark::State &state)
{
    long sink = 0;
    QMap<int, FloorHub> hubs;
    hubs.insert(1, FloorHub{&floorCallback, &sink});
    uint8_t packet[9] = {9, 0x21, 0, 0x10, 0x20, 0x30, 0x07, 0x0D, 0};
    long i = 0;
    for (auto _ : state) {
        packet[3] = uint8_t(i++);
        QByteArray copy(reinterpret_cast<const char *>(packet), sizeof packet);
        const FloorHub hub = hubs.value(1);
        const int x = uchar(copy[3]) | uchar(copy[4]) << 8;
        const int y = uchar(copy[5]) | uchar(copy[6]) << 8;
        hub.callback(x, y, hub.context);
    }
    benchmark::DoNotOptimize(sink);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Floor_CopyDecodeLookupCallback);

// One ":GI" exchange with the simulated 2.4 GHz hub, reply delay 0: the
// write, the driver's delivery thread, the packet route and the wake-up of
// the waiting caller.
void BM_CommandExchangeWithSimulatedHub(benchmark::State &state)
{
    orvexsim_reset();
    orvexsim_use_default_classroom();
    orvexsim_set_reply_delay_us(ORVEXSIM_ALL_HUBS, 0);
    OrvexSystem &system = OrvexSystem::instance();
    if (!system.initialise()) {
        state.SkipWithError("initialise failed");
        return;
    }
    QList<Hub *> hubs;
    system.getHubList(&hubs);
    TwoPointFourGHzHub *hub = nullptr;
    for (Hub *h : std::as_const(hubs))
        if (!hub)
            hub = dynamic_cast<TwoPointFourGHzHub *>(h);
    if (!hub) {
        state.SkipWithError("no 2.4 GHz hub");
        return;
    }
    long failures = 0;
    for (auto _ : state)
        if (hub->state() == TwoPointFourGHzHub::State_Error)
            ++failures;
    state.counters["failures"] = double(failures);
    system.shutdown();
}
BENCHMARK(BM_CommandExchangeWithSimulatedHub)->UseRealTime()->MinTime(1.0);

// The floor: a request and its answer handed between two threads through a
// mutex and a condition variable each way.
void BM_Floor_ConditionVariableRoundTrip(benchmark::State &state)
{
    std::mutex mutex;
    std::condition_variable cv;
    int request = 0, answer = 0;
    bool stop = false;
    std::thread peer([&] {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            cv.wait(lock, [&] { return stop || request != answer; });
            if (stop)
                return;
            answer = request;
            cv.notify_all();
        }
    });
    for (auto _ : state) {
        std::unique_lock<std::mutex> lock(mutex);
        ++request;
        cv.notify_all();
        cv.wait(lock, [&] { return answer == request; });
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        stop = true;
    }
    cv.notify_all();
    peer.join();
}
BENCHMARK(BM_Floor_ConditionVariableRoundTrip)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIntValue("ORVEX_BENCH_PIN") == 1) {
        cpu_set_t set;
        CPU_ZERO(&set);
        CPU_SET(0, &set);
        sched_setaffinity(0, sizeof set, &set);
    }
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
