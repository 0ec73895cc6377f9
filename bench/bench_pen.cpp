// Pen packets per second through the whole path to the host: the driver's
// packet callback (OrvexSystem::processPacketCallback), the hub's
// classification and pen state machine, and the host's pen callback.
//
// Runs against the simulated driver, which this program links, so the
// library's dlopen() finds the same module. Three figures:
//  - PenPath/FromDriverCallback: the library's share, the callback called
//    in a loop on one thread;
//  - PenPath/FromDriverCallbackWithTap: the same with a counting tap set;
//  - PenPath/ThroughDriverThread: packets injected into the simulated
//    driver and delivered on its own thread, as a host sees them;
//  - Floor/CopyDecodeLookupCall: copy, decode, hash lookup and a callback
//    through a function pointer, the least such a path can cost, measured
//    in the same run for comparison.

#include "hub/pendecoder.h"

#include <orvexsim.h>
#include <orvexsystem/hub.h>
#include <orvexsystem/system.h>

#include <benchmark/benchmark.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QHash>

#include <atomic>
#include <cstdio>
#include <thread>

using namespace Orvexsystem;

namespace {

const int32_t BenchHandle = 41;

struct SystemAccess : OrvexSystem
{
    static OrvexPacketCallback packetCallback() { return &OrvexSystem::processPacketCallback; }
};

std::atomic<long> g_penCalls{0};
std::atomic<long> g_coordinateSum{0};

void onPen(Hub *, quint32, int x, int y, bool, bool, void *)
{
    g_penCalls.fetch_add(1, std::memory_order_relaxed);
    g_coordinateSum.fetch_add(x + y, std::memory_order_relaxed);
}

// A stroke in miniature: move, tip down, move, tip up (8-byte form, pen 1).
QByteArray strokePacket(int i)
{
    QByteArray p(8, '\0');
    p[0] = 8;
    p[1] = 0x21;
    p[3] = char(i & 0xFF);
    p[4] = char((i >> 8) & 0xFF);
    p[5] = char((i * 3) & 0xFF);
    p[6] = char(((i * 3) >> 8) & 0xFF);
    const bool tip = (i & 3) == 1 || (i & 3) == 2;
    p[7] = char((tip ? 1 : 0) | 4 | (1 << 3));
    return p;
}

Hub *g_hub = nullptr;

bool setUp()
{
    orvexsim_use_empty_classroom();
    // A legacy hub on USB with a board: pens in the 8-byte form.
    if (orvexsim_add_hub(2, BenchHandle, 0xB0B0, 2, 900, nullptr) != 0)
        return false;
    if (!OrvexSystem::instance().initialise())
        return false;
    QList<Hub *> hubs;
    if (!OrvexSystem::instance().getHubList(&hubs))
        return false;
    for (Hub *hub : hubs)
        if (hub->handle() == BenchHandle)
            g_hub = hub;
    return g_hub && g_hub->setPenEventCallback(&onPen, nullptr);
}

void PenPath_FromDriverCallback(benchmark::State &state)
{
    const OrvexPacketCallback callback = SystemAccess::packetCallback();
    void *context = &OrvexSystem::instance();
    QByteArray packets[4];
    for (int i = 0; i < 4; ++i)
        packets[i] = strokePacket(i);
    const long before = g_penCalls.load();
    long n = 0;
    for (auto _ : state) {
        const QByteArray &p = packets[n & 3];
        callback(BenchHandle, reinterpret_cast<const uint8_t *>(p.constData()), 8, context);
        ++n;
    }
    if (g_penCalls.load() - before != n)
        state.SkipWithError("not every packet reached the host");
    state.SetItemsProcessed(n);
}
BENCHMARK(PenPath_FromDriverCallback);

// The same path with a tap set that counts the packets: what a recorder's
// own work adds comes on top.
std::atomic<long> g_tapped{0};
void countTap(const OrvexSystem::TapEvent &event, void *)
{
    if (event.kind == OrvexSystem::Tap_Packet)
        g_tapped.fetch_add(1, std::memory_order_relaxed);
}

void PenPath_FromDriverCallbackWithTap(benchmark::State &state)
{
    const OrvexPacketCallback callback = SystemAccess::packetCallback();
    void *context = &OrvexSystem::instance();
    QByteArray packets[4];
    for (int i = 0; i < 4; ++i)
        packets[i] = strokePacket(i);
    OrvexSystem::instance().setTapCallback(&countTap, nullptr);
    const long before = g_tapped.load();
    long n = 0;
    for (auto _ : state) {
        const QByteArray &p = packets[n & 3];
        callback(BenchHandle, reinterpret_cast<const uint8_t *>(p.constData()), 8, context);
        ++n;
    }
    OrvexSystem::instance().setTapCallback(nullptr, nullptr);
    if (g_tapped.load() - before != n)
        state.SkipWithError("the tap missed packets");
    state.SetItemsProcessed(n);
}
BENCHMARK(PenPath_FromDriverCallbackWithTap);

void PenPath_ThroughDriverThread(benchmark::State &state)
{
    const int batch = int(state.range(0));
    QByteArray packets[4];
    for (int i = 0; i < 4; ++i)
        packets[i] = strokePacket(i);
    long n = 0;
    for (auto _ : state) {
        const long target = g_penCalls.load() + batch;
        for (int i = 0; i < batch; ++i)
            orvexsim_inject_packet(BenchHandle,
                                   reinterpret_cast<const uint8_t *>(packets[i & 3].constData()),
                                   8);
        while (g_penCalls.load() < target)
            std::this_thread::yield();
        n += batch;
    }
    state.SetItemsProcessed(n);
}
BENCHMARK(PenPath_ThroughDriverThread)->Arg(1000)->UseRealTime();

void Floor_CopyDecodeLookupCall(benchmark::State &state)
{
    QHash<quint8, int> states;
    for (quint8 id = 1; id <= 3; ++id)
        states.insert(id, 0);
    void (*volatile callback)(Hub *, quint32, int, int, bool, bool, void *) = &onPen;
    QByteArray packets[4];
    for (int i = 0; i < 4; ++i)
        packets[i] = strokePacket(i);
    long n = 0;
    for (auto _ : state) {
        const QByteArray &source = packets[n & 3];
        const QByteArray copy(source.constData(), source.size());
        PenSample s;
        PenPacket8::decode(copy, s);
        const int known = states.value(s.penId, -1);
        if (known >= 0)
            callback(nullptr, s.penId, s.x, s.y, s.tip, s.barrel, nullptr);
        ++n;
    }
    state.SetItemsProcessed(n);
}
BENCHMARK(Floor_CopyDecodeLookupCall);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!setUp()) {
        std::fprintf(stderr, "bench_pen: the simulated driver or its hub is not available\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    OrvexSystem::instance().shutdown();
    return 0;
}
