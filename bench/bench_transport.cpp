// Device messages through the 2.4 GHz hub's asynchronous transport against
// the simulated hub (reply delay 0, handsets without delay), in messages
// and bytes per second, each beside a floor measured in the same run:
//
// - Device to host: an expression handset sends a message of n bytes
//   (ceil(n/8) response packets); the library routes each packet to the
//   event thread and puts the message together for the host's callback.
//   Floor: the same number of packets on the same road (get-message
//   requests from an unknown address, which the event thread drops after
//   parsing) and one one-packet message that tells they have all passed.
// - Host to device: asyncSendMsg() of n bytes; the handset fetches its
//   ceil(n/49) fragments one data request at a time and releases the
//   buffer. Floor: as many command exchanges with the simulated hub as the
//   message takes (the notice and one per fragment).
//
// The threads float between the two CPUs unless ORVEX_BENCH_PIN=1, which
// pins the whole process (driver and event threads included) to CPU 0.

#include "orvexsim.h"

#include <orvexsystem/system.h>
#include <orvexsystem/twopointfourghzhub.h>

#include <QtCore/QCoreApplication>

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sched.h>
#include <thread>

using namespace Orvexsystem;

namespace {

const quint32 Amelie = 0x09B20001;
const int HubHandle = 1;

// Messages the host's callback received, waited for by the benchmark.
struct Received
{
    std::mutex mutex;
    std::condition_variable cv;
    long count = 0;
    long bytes = 0;

    void add(int size)
    {
        std::lock_guard<std::mutex> lock(mutex);
        ++count;
        bytes += size;
        cv.notify_all();
    }
    bool waitFor(long atLeast)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return cv.wait_for(lock, std::chrono::seconds(5), [&] { return count >= atLeast; });
    }
    long received()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return count;
    }
} g_received;

void onMessage(Hub *, quint32, const QByteArray &message, void *)
{
    g_received.add(int(message.size()));
}

TwoPointFourGHzHub *g_hub = nullptr;

bool setUp()
{
    orvexsim_reset();
    orvexsim_set_handset_delay_ms(ORVEXSIM_ALL_HUBS, ORVEXSIM_ALL_HANDSETS, 0, 0);
    orvexsim_use_default_classroom();
    orvexsim_set_reply_delay_us(ORVEXSIM_ALL_HUBS, 0);
    orvexsim_set_packet_gap_us(ORVEXSIM_ALL_HUBS, 0);
    // Plain transport: no handset runs a question set by itself.
    orvexsim_set_handset_enhanced(HubHandle, ORVEXSIM_ALL_HANDSETS, 0);
    if (!OrvexSystem::instance().initialise())
        return false;
    QList<Hub *> hubs;
    OrvexSystem::instance().getHubList(&hubs);
    for (Hub *hub : std::as_const(hubs))
        if (hub->handle() == HubHandle)
            g_hub = qobject_cast<TwoPointFourGHzHub *>(hub);
    return g_hub && g_hub->startAsyncSession(nullptr, &onMessage, nullptr);
}

QByteArray payload(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char('a' + i % 26);
    return bytes;
}

void report(benchmark::State &state, int bytesPerMessage)
{
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * bytesPerMessage);
}

void BM_DeviceToHost(benchmark::State &state)
{
    const int size = int(state.range(0));
    const QByteArray message = payload(size);
    for (auto _ : state) {
        const long next = g_received.received() + 1;
        orvexsim_async_send(HubHandle, Amelie, reinterpret_cast<const uint8_t *>(message.constData()),
                            size);
        if (!g_received.waitFor(next)) {
            state.SkipWithError("a message did not arrive");
            return;
        }
    }
    report(state, size);
}
BENCHMARK(BM_DeviceToHost)->Arg(8)->Arg(200)->Arg(2040)->UseRealTime();

void BM_Floor_DeviceToHost(benchmark::State &state)
{
    const int size = int(state.range(0));
    const int packets = (size + 7) / 8;
    // A get-message request from an address no device has.
    const uint8_t stranger[12] = {0x0C, 0x84, 0x7E, 0x7E, 0, 0, 0, 0, 0, 0, 0, 0};
    const uint8_t last[1] = {'z'};
    for (auto _ : state) {
        const long next = g_received.received() + 1;
        if (packets > 1)
            orvexsim_inject_repeated(HubHandle, stranger, sizeof stranger, packets - 1);
        orvexsim_async_send(HubHandle, Amelie, last, 1);
        if (!g_received.waitFor(next)) {
            state.SkipWithError("the last packet did not arrive");
            return;
        }
    }
    report(state, size);
}
BENCHMARK(BM_Floor_DeviceToHost)->Arg(8)->Arg(200)->Arg(2040)->UseRealTime();

bool g_pinned = false;

// Waits until the handset has that many messages. The simulator's own wait
// wakes its caller at every packet of the fetch, which then competes with
// the threads measured; on one CPU a yielding poll gives the CPU away
// instead, while threads that float are better left a CPU of their own.
bool handsetHas(long messages)
{
    if (!g_pinned)
        return orvexsim_wait_device_messages(HubHandle, Amelie, int(messages), 5000) == 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (orvexsim_device_message_count(HubHandle, Amelie) < messages) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

void BM_HostToDevice(benchmark::State &state)
{
    const int size = int(state.range(0));
    const QByteArray message = payload(size);
    long delivered = orvexsim_device_message_count(HubHandle, Amelie);
    for (auto _ : state) {
        if (!g_hub->asyncSendMsg(Amelie, message) || !handsetHas(++delivered)) {
            state.SkipWithError("the handset did not get the message");
            return;
        }
    }
    report(state, size);
}
BENCHMARK(BM_HostToDevice)->Arg(49)->Arg(490)->Arg(4900)->UseRealTime();

void BM_Floor_HostToDevice(benchmark::State &state)
{
    const int size = int(state.range(0));
    const int exchanges = 1 + (size + 48) / 49;
    for (auto _ : state) {
        for (int i = 0; i < exchanges; ++i) {
            if (g_hub->state() == TwoPointFourGHzHub::State_Error) {
                state.SkipWithError("an exchange failed");
                return;
            }
        }
    }
    report(state, size);
}
BENCHMARK(BM_Floor_HostToDevice)->Arg(49)->Arg(490)->Arg(4900)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIntValue("ORVEX_BENCH_PIN") == 1) {
        g_pinned = true;
        cpu_set_t set;
        CPU_ZERO(&set);
        CPU_SET(0, &set);
        sched_setaffinity(0, sizeof set, &set);
    }
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!setUp()) {
        fprintf(stderr, "the simulated classroom did not come up\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    OrvexSystem::instance().shutdown();
    return 0;
}
