// Question answers from a class of 400 handsets through the whole packet
// path: the driver's packet callback, the system's routing, the hub's
// classification and dispatch, the session's decoding, the address lookup
// and the host's callback. Beside it, a floor measured in the same run: the
// same packets copied, decoded, looked up and handed to a callback with
// nothing else around them.
//
// Everything runs on the benchmark's one thread (no hand-over between
// threads is measured), on an in-process driver.

#include "support/fakedriver.h"

#include <orvexsystem/system.h>
#include <orvexsystem/twopointfourghzhub.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QHash>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstring>
#include <vector>

using namespace Orvexsystem;
using namespace OrvexTest;

namespace {

const int ClassSize = 400;
const int Handle = 1;

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

quint16 addressOf(int n)
{
    return quint16(0x1000 + n);
}

quint32 uidOf(int n)
{
    return 0x06000000u | quint32(n);
}

QByteArray voteRecord(int n)
{
    const quint32 uid = uidOf(n);
    const quint16 address = addressOf(n);
    return bytes({13, 0x67, int(uid >> 24), int(uid >> 16) & 0xFF, int(uid >> 8) & 0xFF,
                  int(uid & 0xFF), address >> 8, address & 0xFF, 6, 'V', 0, 0, 0});
}

// One answer of each handset, in the order a class answers.
QList<QByteArray> byteAnswers()
{
    QList<QByteArray> packets;
    for (int n = 0; n < ClassSize; ++n)
        packets << bytes({12, 0x83, addressOf(n) >> 8, addressOf(n) & 0xFF, 5, 2, 0x41 + n % 3, 0,
                          0, 0, 0, 0});
    return packets;
}

QList<QByteArray> choiceAnswers()
{
    QList<QByteArray> packets;
    for (int n = 0; n < ClassSize; ++n)
        packets << bytes({12, 0x83, addressOf(n) >> 8, addressOf(n) & 0xFF, 5, 1, 0x41 + n % 4,
                          0x43, 0xFF, 0xFF, 0xFF, 0xFF});
    return packets;
}

// Text answers of 9 bytes: two packets each.
QList<QByteArray> textAnswers()
{
    QList<QByteArray> packets;
    for (int n = 0; n < ClassSize; ++n) {
        const int hi = addressOf(n) >> 8;
        const int lo = addressOf(n) & 0xFF;
        packets << bytes({12, 0x83, hi, lo, 0, 0x21, 9, 'A', 'n', 's', 'w', 'e'});
        packets << bytes({12, 0x83, hi, lo, 1, 'r', ' ', '4', 0, 0, 0, 0});
    }
    return packets;
}

std::atomic<int> sink{0};
void onYesNo(Hub *, quint32 uid, int, Hub::YesNoResponse r, void *)
{
    sink.fetch_add(int(uid & 1) + int(r), std::memory_order_relaxed);
}
void onText(Hub *, quint32 uid, int, const QString &text, void *)
{
    sink.fetch_add(int(uid & 1) + int(text.size()), std::memory_order_relaxed);
}

void report(benchmark::State &state, int answers);

void TextFloor(benchmark::State &state)
{
    const QList<QByteArray> packets = textAnswers();
    QHash<quint16, int> slots;
    for (int n = 0; n < ClassSize; ++n)
        slots.insert(addressOf(n), n);
    struct Pieces
    {
        char bytes[12];
        int length;
    };
    std::vector<Pieces> pieces(ClassSize);
    QByteArray buffer;
    for (auto _ : state) {
        for (const QByteArray &wire : packets) {
            buffer.resize(wire.size());
            memcpy(buffer.data(), wire.constData(), size_t(wire.size()));
            const quint16 address = quint16(quint8(buffer.at(2)) << 8 | quint8(buffer.at(3)));
            const int n = slots.value(address);
            Pieces &p = pieces[size_t(n)];
            if (buffer.at(4) == 0) {
                p.length = quint8(buffer.at(6));
                memcpy(p.bytes, buffer.constData() + 7, 5);
            } else {
                memcpy(p.bytes + 5, buffer.constData() + 5, 7);
                const void *end = memchr(p.bytes, 0, size_t(p.length));
                const int length = end ? int(static_cast<const char *>(end) - p.bytes) : p.length;
                onText(nullptr, uidOf(n), 1, QString::fromUtf8(p.bytes, length), nullptr);
            }
        }
    }
    report(state, ClassSize);
}

struct Classroom
{
    FakeDriver driver;
    TestSystem system{driver};
    TwoPointFourGHzHub *hub = nullptr;

    bool setUp()
    {
        FakeDriver::HubRecord record;
        record.kind = 3;
        record.handle = Handle;
        record.uid = 0x51C0A8E3;
        driver.setHubs({record});
        driver.setSynchronousReplies(true);
        driver.setResponder([](int, const QByteArray &command) -> QList<QByteArray> {
            const QByteArray ok = bytes({4, 0x32, 0x4F, 0x4B});
            if (command == ":GR06\r") {
                QList<QByteArray> replies;
                for (int n = 0; n < ClassSize; ++n)
                    replies << voteRecord(n);
                return replies << ok;
            }
            if (command.startsWith(":GR") || command == ":VE\r")
                return {ok};
            return {};
        });
        if (!system.initialise())
            return false;
        QList<Hub *> hubs;
        system.getHubList(&hubs);
        hub = hubs.isEmpty() ? nullptr : qobject_cast<TwoPointFourGHzHub *>(hubs[0]);
        return hub && hub->getDeviceId(addressOf(ClassSize - 1)) == uidOf(ClassSize - 1);
    }

    // The driver's delivery of one packet.
    void deliver(const QByteArray &packet)
    {
        TestSystem::processPacketCallback(Handle, reinterpret_cast<const uint8_t *>(packet.constData()),
                                          uint32_t(packet.size()), &system);
    }
};

Classroom *classroom = nullptr;

void report(benchmark::State &state, int answers)
{
    state.SetItemsProcessed(state.iterations() * answers);
    state.counters["time_per_answer"] = benchmark::Counter(
        double(state.iterations()) * answers, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// kind 0: yes/no (one byte), 1: multiple choice (a text of the choices),
// 2: text answers of two packets (the collector).
void BM_Answers400(benchmark::State &state)
{
    TwoPointFourGHzHub *hub = classroom->hub;
    QList<QByteArray> packets;
    bool started = false;
    switch (state.range(0)) {
    case 0:
        packets = byteAnswers();
        started = hub->startYesNoSession(1, true, TimeUnit_Seconds, 60, onYesNo, nullptr);
        break;
    case 1:
        packets = choiceAnswers();
        started = hub->startMultichoiceSession(1, 4, 2, DisplayOption_Numeric, TimeUnit_Seconds, 60,
                                               onText, nullptr);
        break;
    default:
        packets = textAnswers();
        started = hub->startTextSession(1, QStringLiteral("Why?"), 20, TimeUnit_Seconds, 60, onText,
                                        nullptr);
        break;
    }
    if (!started) {
        state.SkipWithError("the session did not start");
        return;
    }
    const int before = sink.load();
    for (auto _ : state) {
        for (const QByteArray &packet : packets)
            classroom->deliver(packet);
    }
    hub->stopSession();
    if (sink.load() == before)
        state.SkipWithError("no answer reached the callback");
    report(state, ClassSize);
}
BENCHMARK(BM_Answers400)->Arg(0)->Arg(1)->Arg(2)->ArgNames({"kind"})->Unit(benchmark::kMicrosecond);

// Floor: the same packets copied as the driver's callback copies them, the
// address and answer read, the uid looked up among 400, the callback called;
// for text answers, the two pieces joined in a buffer per handset first.
void BM_Answers400Floor(benchmark::State &state)
{
    const int kind = int(state.range(0));
    if (kind == 2) {
        TextFloor(state);
        return;
    }
    const bool choices = kind == 1;
    const QList<QByteArray> packets = choices ? choiceAnswers() : byteAnswers();
    QHash<quint16, quint32> uids;
    for (int n = 0; n < ClassSize; ++n)
        uids.insert(addressOf(n), uidOf(n));
    QByteArray buffer;
    for (auto _ : state) {
        for (const QByteArray &wire : packets) {
            buffer.resize(wire.size());
            memcpy(buffer.data(), wire.constData(), size_t(wire.size()));
            if (buffer.size() != 12 || quint8(buffer.at(1)) != 0x83)
                continue;
            const quint16 address = quint16(quint8(buffer.at(2)) << 8 | quint8(buffer.at(3)));
            const quint32 uid = uids.value(address);
            if (!choices) {
                onYesNo(nullptr, uid, 1, Hub::YesNoResponse(quint8(buffer.at(6)) == 0x41), nullptr);
            } else {
                QString text;
                for (int i = 6; i < 12; ++i)
                    if (quint8(buffer.at(i)) != 0xFF)
                        text += QChar(quint8(buffer.at(i)));
                onText(nullptr, uid, 1, text, nullptr);
            }
        }
    }
    report(state, ClassSize);
}
BENCHMARK(BM_Answers400Floor)->Arg(0)->Arg(1)->Arg(2)->ArgNames({"kind"})->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    classroom = new Classroom;
    if (!classroom->setUp()) {
        fprintf(stderr, "the classroom did not come up\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    classroom->system.shutdown();
    return 0;
}
