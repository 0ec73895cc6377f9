// The 2.4 GHz hub: reading a hub with 400 registered devices through the
// simulated driver (time and heap per device), and the dispatch of hub
// packets, each next to a floor measured in the same run.

#include <orvexsim.h>
#include <orvexsystem/system.h>
#include <orvexsystem/twopointfourghzhub.h>
#include <orvexsystem/twopointfourghzresponses.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QHash>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <chrono>
#include <memory>
#include <thread>

using namespace Orvexsystem;

namespace {

const int DeviceCount = 400;
const int SimHub = 1;

QCoreApplication *app = nullptr;
TwoPointFourGHzHub *simHub = nullptr;
double heapPerDevice = 0;

size_t heapInUse()
{
    return mallinfo2().uordblks;
}

// 300 voting handsets, 60 expression handsets, 30 slates, 10 pen
// expressions, registered with a hub that is plugged in only after the
// system started, so that the heap taken by its lists can be told apart.
bool setUpSimulatedHub()
{
    orvexsim_reset();
    orvexsim_use_empty_classroom();
    orvexsim_add_hub(ORVEXSIM_KIND_RF, SimHub, 0x51C0A8E3, ORVEXSIM_CONNECTION_USB, 0x301,
                     nullptr);
    orvexsim_set_capacity(SimHub, 1024, 4, 64);
    int n = 0;
    auto add = [&](int cls, int count) {
        for (int i = 0; i < count; ++i, ++n) {
            const QByteArray name = QByteArray::number(n);
            orvexsim_register_device(SimHub, cls, quint32(cls) << 24 | quint32(n),
                                     quint16(0x1000 + n), name.constData());
        }
    };
    add(ORVEXSIM_CLASS_VOTE, 300);
    add(ORVEXSIM_CLASS_EXPRESSION, 60);
    add(ORVEXSIM_CLASS_SLATE, 30);
    add(ORVEXSIM_CLASS_PEN_EXPRESSION, 10);
    orvexsim_unplug_hub(SimHub);
    if (!OrvexSystem::instance().initialise())
        return false;
    orvexsim_wait_idle(5000);

    const size_t before = heapInUse();
    orvexsim_plug_hub(SimHub);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        QList<Hub *> hubs;
        OrvexSystem::instance().getHubList(&hubs);
        for (Hub *h : hubs)
            if (auto *rf = qobject_cast<TwoPointFourGHzHub *>(h))
                simHub = rf;
        QList<Device *> pens;
        if (simHub && simHub->readPenExpressionList(&pens) && pens.size() == 10)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!simHub)
        return false;
    orvexsim_wait_idle(5000);
    // The hub object, its handlers and its four lists, over the devices.
    heapPerDevice = double(heapInUse() - before) / DeviceCount;
    return true;
}

// The whole re-read: four list exchanges, 400 records, 400 device objects.
void BM_ReadHub400(benchmark::State &state)
{
    const bool realisticTiming = state.range(0) != 0;
    orvexsim_set_reply_delay_us(SimHub, realisticTiming ? 2000 : 0);
    orvexsim_set_packet_gap_us(SimHub, realisticTiming ? 200 : 0);
    for (auto _ : state)
        simHub->readRegisteredDevicesLists();
    QList<Device *> all;
    simHub->readOrvexvoteList(&all);
    simHub->readOrvexexpressionList(&all);
    simHub->readOrvexSlateList(&all);
    simHub->readPenExpressionList(&all);
    if (all.size() != DeviceCount)
        state.SkipWithError("the hub did not list every device");
    state.SetItemsProcessed(state.iterations() * DeviceCount);
    state.counters["time_per_device"] = benchmark::Counter(
        double(state.iterations()) * DeviceCount,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["heap_bytes_per_device"] = heapPerDevice;
}
BENCHMARK(BM_ReadHub400)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"wire_delays"})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// Floor for the read: parsing the same 400 records and making the devices,
// without any exchange.
void BM_ParseAndBuild400Floor(benchmark::State &state)
{
    QList<QByteArray> records;
    for (int n = 0; n < DeviceCount; ++n) {
        QByteArray p(13, '\0');
        p[0] = 13;
        p[1] = 0x67;
        p[5] = char(n);
        p[7] = char(n);
        p[8] = 6;
        p.replace(9, 3, QByteArray::number(n).left(3));
        records << p;
    }
    for (auto _ : state) {
        QList<Device *> devices;
        for (const QByteArray &p : records) {
            RegisteredVoteResponse r(p);
            devices.append(new TwoPointFourGHzOrvexvote(nullptr, r.uid(), r.address(), r.name(),
                                                        r.hexId()));
        }
        qDeleteAll(devices);
    }
    state.SetItemsProcessed(state.iterations() * DeviceCount);
    state.counters["time_per_device"] = benchmark::Counter(
        double(state.iterations()) * DeviceCount,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ParseAndBuild400Floor)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------
// Dispatch

std::atomic<int> sink{0};
void busyCallback(Hub *, bool busy, void *) { sink.fetch_add(busy ? 2 : 1, std::memory_order_relaxed); }
void batteryCallback(Hub *, quint32 uid, void *) { sink.fetch_add(int(uid & 1) + 1, std::memory_order_relaxed); }

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// A hub outside the system's table (handle 99): packets are handed to it
// directly, as the driver's callback does.
TwoPointFourGHzHub *dispatchHub()
{
    static TwoPointFourGHzHub *hub = [] {
        auto *h = new TwoPointFourGHzHub(&OrvexSystem::instance(), 99, 0x99, true, 0x301);
        h->setHubBusyCallback(busyCallback, nullptr);
        h->setBatteryLowCallback(batteryCallback, nullptr);
        return h;
    }();
    return hub;
}

void BM_Dispatch(benchmark::State &state)
{
    static const QByteArray packets[] = {
        // A session answer while no session is open: nothing claims it.
        bytes({12, 0x83, 0x01, 0x02, 0x05, 0, 1, 0, 0, 0, 0, 0}),
        // The hub went idle: busy callback.
        bytes({4, 0x56, 0, 0}),
        // A handset's battery is low: battery callback.
        bytes({8, 0x50, 0x06, 0xA1, 0x00, 0x01, 0x01, 0x01}),
    };
    const QByteArray &wire = packets[state.range(0)];
    TwoPointFourGHzHub *hub = dispatchHub();
    for (auto _ : state) {
        // The driver's callback copies the bytes it is given into a packet.
        const QByteArray packet(wire.constData(), wire.size());
        hub->processPacket(packet);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Dispatch)->Arg(0)->Arg(1)->Arg(2)->ArgNames({"packet"});

// Floor: copy a 9-byte packet, decode two fields, look one up, call back.
void BM_DispatchFloor(benchmark::State &state)
{
    const QByteArray wire = bytes({9, 0x50, 0x06, 0xA1, 0x00, 0x01, 0x01, 0x01, 0});
    QHash<quint16, quint32> map;
    for (int i = 0; i < 400; ++i)
        map.insert(quint16(0x0100 + i), quint32(i));
    void (*callback)(Hub *, quint32, void *) = batteryCallback;
    for (auto _ : state) {
        const QByteArray packet(wire.constData(), wire.size());
        if (quint8(packet.at(1)) == 0x50) {
            const quint16 address = quint16(quint8(packet.at(6)) << 8 | quint8(packet.at(7)));
            callback(nullptr, map.value(address), nullptr);
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DispatchFloor);

} // namespace

int main(int argc, char **argv)
{
    app = new QCoreApplication(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (!setUpSimulatedHub()) {
        fprintf(stderr, "the simulated hub did not come up\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    OrvexSystem::instance().shutdown();
    return 0;
}
