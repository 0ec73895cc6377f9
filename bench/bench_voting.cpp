// Votes per second from 400 handsets through the whole library path, from
// the driver's packet callback to the host's vote callback, on a legacy USB
// hub and on a 2.4 GHz hub, each beside a floor measured in the same run: a
// minimal decode and callback of the same packets. A last figure takes the
// votes through the simulated driver's delivery thread.
//
// The library path runs on the benchmark's thread alone (no hand-over). The
// run through the simulated driver hands every packet to the driver's
// thread; run it under `taskset -c 0` to keep both threads on one CPU.

#include "legacy/legacysettingsfile.h"

#include <orvexsim.h>
#include <orvexsystem/legacyhub.h>
#include <orvexsystem/system.h>
#include <orvexsystem/twopointfourghzhub.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QHash>
#include <QtCore/QTemporaryDir>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace Orvexsystem;

namespace {

const int Handsets = 400;
const int LegacyHandle = 2;
const int RfHandle = 1;
const quint32 FirstLegacyId = 0x100001;
const quint32 FirstRfUid = 0x06000001;
const quint16 FirstAddress = 0x1000;

// The driver's packet callback, as the driver calls it.
struct Driver : OrvexSystem
{
    using OrvexSystem::processPacketCallback;
};

std::atomic<long> votes{0};
std::atomic<long> optionSum{0};
void countVote(Hub *, quint32, int vote, bool, void *)
{
    votes.fetch_add(1, std::memory_order_relaxed);
    optionSum.fetch_add(vote, std::memory_order_relaxed);
}

QList<QByteArray> legacyPackets;
QList<QByteArray> rfPackets;

// Key k of every handset in turn, keys 1 to 6: a handset's next packet
// always carries another key, so the legacy repeat filter lets all through.
void buildPackets()
{
    for (int key = 0; key < 6; ++key) {
        for (int h = 0; h < Handsets; ++h) {
            const quint32 id = FirstLegacyId + quint32(h);
            QByteArray legacy(9, '\0');
            legacy[0] = 9;
            legacy[1] = 0x65;
            legacy[2] = char(id & 0xFF);
            legacy[3] = char((id >> 8) & 0xFF);
            legacy[4] = char((id >> 16) & 0x7F);
            legacy[8] = char(1 << key);
            legacyPackets << legacy;

            const quint32 uid = FirstRfUid + quint32(h);
            const quint16 address = quint16(FirstAddress + h);
            QByteArray rf(9, '\0');
            rf[0] = 9;
            rf[1] = 0x65;
            for (int i = 0; i < 4; ++i)
                rf[2 + i] = char(uid >> (24 - 8 * i));
            rf[6] = char(address >> 8);
            rf[7] = char(address & 0xFF);
            rf[8] = char(1 << key);
            rfPackets << rf;
        }
    }
}

Hub *findHub(int handle)
{
    QList<Hub *> hubs;
    OrvexSystem::instance().getHubList(&hubs);
    for (Hub *h : hubs)
        if (h->handle() == handle)
            return h;
    return nullptr;
}

// A legacy hub and a 2.4 GHz hub, each with 400 voting handsets registered
// (the legacy ones recorded in a scratch settings file), in a voting session
// with the counting callback.
bool setUp(QTemporaryDir &data)
{
    qputenv("XDG_DATA_DIRS", data.path().toLocal8Bit());
    orvexsim_reset();
    orvexsim_use_empty_classroom();
    orvexsim_set_reply_delay_us(ORVEXSIM_ALL_HUBS, 0);
    orvexsim_add_hub(ORVEXSIM_KIND_RF, RfHandle, 0x51C0A8E3, ORVEXSIM_CONNECTION_USB, 0x301, nullptr);
    orvexsim_add_hub(ORVEXSIM_KIND_LEGACY_2, LegacyHandle, 0x4C3B2A19, ORVEXSIM_CONNECTION_USB, 600,
                     nullptr);
    orvexsim_set_capacity(RfHandle, 1024, 4, 64);
    QList<quint32> ids;
    for (int h = 0; h < Handsets; ++h) {
        const QByteArray name = QByteArray::number(h);
        orvexsim_register_device(RfHandle, ORVEXSIM_CLASS_VOTE, FirstRfUid + quint32(h),
                                 quint16(FirstAddress + h), name.constData());
        orvexsim_legacy_add_handset(LegacyHandle, FirstLegacyId + quint32(h), 1, 1);
        ids << FirstLegacyId + quint32(h);
    }
    const QList<LegacySettingsFile::Slate> noSlates;
    if (!LegacySettingsFile::write(QStringLiteral("LegacyVoteHub"), &ids, &noSlates))
        return false;
    // One press per vote, sent back to back: the driver's pace, not the
    // radio's, is measured.
    orvexsim_legacy_set_vote_copies(LegacyHandle, 1);
    orvexsim_set_packet_gap_us(LegacyHandle, 0);
    if (!OrvexSystem::instance().initialise())
        return false;
    Hub *legacy = findHub(LegacyHandle);
    Hub *rf = findHub(RfHandle);
    return legacy && rf && legacy->startVotingSession(Hub::VotingMode_VB, countVote, nullptr)
           && rf->startVotingSession(Hub::VotingMode_VB, countVote, nullptr)
           && orvexsim_wait_idle(5000) == 0;
}

// next: where the packets go on, across runs, so that no handset's next
// packet repeats its last key.
void deliver(benchmark::State &state, int handle, const QList<QByteArray> &packets, int &next)
{
    votes.store(0);
    const int count = int(packets.size());
    for (auto _ : state) {
        const QByteArray &p = packets.at(next);
        Driver::processPacketCallback(handle, reinterpret_cast<const uint8_t *>(p.constData()),
                                      uint32_t(p.size()), &OrvexSystem::instance());
        if (++next == count)
            next = 0;
    }
    if (votes.load() != long(state.iterations()))
        state.SkipWithError("not every packet reached the callback as a vote");
    state.SetItemsProcessed(state.iterations());
    state.counters["votes_per_second"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_LegacyVotes(benchmark::State &state)
{
    static int next = 0;
    deliver(state, LegacyHandle, legacyPackets, next);
}
BENCHMARK(BM_LegacyVotes);

void BM_TwoPointFourGHzVotes(benchmark::State &state)
{
    static int next = 0;
    deliver(state, RfHandle, rfPackets, next);
}
BENCHMARK(BM_TwoPointFourGHzVotes);

// Floor: copy the packet into a reused buffer, check its form, decode the
// sender, look it up (the legacy form: the last key of the sender; the 2.4
// GHz form: the uid at the address), map the key, call back.
void BM_LegacyVotesFloor(benchmark::State &state)
{
    QHash<quint32, quint8> lastKey;
    for (int h = 0; h < Handsets; ++h)
        lastKey.insert(FirstLegacyId + quint32(h), 0);
    void (*callback)(Hub *, quint32, int, bool, void *) = countVote;
    QByteArray buffer;
    int next = 0;
    votes.store(0);
    for (auto _ : state) {
        const QByteArray &wire = legacyPackets.at(next);
        if (++next == legacyPackets.size())
            next = 0;
        buffer.resize(wire.size());
        memcpy(buffer.data(), wire.constData(), size_t(wire.size()));
        if (buffer.size() != 9 || buffer.at(0) != 9 || quint8(buffer.at(1)) != 0x65)
            continue;
        const quint32 sender = quint8(buffer.at(2)) | quint32(quint8(buffer.at(3))) << 8 |
                               quint32(quint8(buffer.at(4)) & 0x7F) << 16;
        const quint8 key = quint8(buffer.at(8));
        auto it = lastKey.find(sender);
        if (it == lastKey.end() || it.value() == key)
            continue;
        it.value() = key;
        callback(nullptr, sender, qCountTrailingZeroBits(key) + 1, buffer.at(6) & 1, nullptr);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["votes_per_second"] =
        benchmark::Counter(double(votes.load()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LegacyVotesFloor);

void BM_TwoPointFourGHzVotesFloor(benchmark::State &state)
{
    QHash<quint16, quint32> uidAt;
    for (int h = 0; h < Handsets; ++h)
        uidAt.insert(quint16(FirstAddress + h), FirstRfUid + quint32(h));
    void (*callback)(Hub *, quint32, int, bool, void *) = countVote;
    QByteArray buffer;
    int next = 0;
    votes.store(0);
    for (auto _ : state) {
        const QByteArray &wire = rfPackets.at(next);
        if (++next == rfPackets.size())
            next = 0;
        buffer.resize(wire.size());
        memcpy(buffer.data(), wire.constData(), size_t(wire.size()));
        if (buffer.size() != 9 || buffer.at(0) != 9 || quint8(buffer.at(1)) != 0x65)
            continue;
        const quint16 address = quint16(quint8(buffer.at(6)) << 8 | quint8(buffer.at(7)));
        const quint32 uid = uidAt.value(address);
        if (uid != 0)
            callback(nullptr, uid, qCountTrailingZeroBits(quint8(buffer.at(8))) + 1, false, nullptr);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["votes_per_second"] =
        benchmark::Counter(double(votes.load()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TwoPointFourGHzVotesFloor);

// The whole class votes through the simulated driver: the hub model sends
// every handset's key press and the driver's thread delivers them.
void BM_LegacyClassVoteThroughTheDriver(benchmark::State &state)
{
    // Kept across runs: every round's key differs from the one before.
    static int key = 1;
    long delivered = 0;
    votes.store(0);
    for (auto _ : state) {
        key = key % 6 + 1;
        orvexsim_legacy_class_vote(LegacyHandle, key);
        delivered += Handsets;
        while (votes.load(std::memory_order_relaxed) < delivered)
            std::this_thread::yield();
    }
    state.SetItemsProcessed(state.iterations() * Handsets);
    state.counters["votes_per_second"] =
        benchmark::Counter(double(state.iterations()) * Handsets, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LegacyClassVoteThroughTheDriver)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    QTemporaryDir data;
    buildPackets();
    if (!data.isValid() || !setUp(data)) {
        fprintf(stderr, "the simulated hubs did not come up in a voting session\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    OrvexSystem::instance().shutdown();
    return 0;
}
