// Numeric and text answers that span several packets: how the collector
// puts them together and bounds them, its completion time on the event
// thread, and answers that meet the end of their session.

#include "rfsessionfixture.h"

#include "rfhub/sessionbuffercollector.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QScopeGuard>

#include <mutex>
#include <thread>
#include <vector>

using namespace Orvexsystem;
using namespace OrvexTest;

namespace {

using Answer = SessionBufferCollector::Answer;

// Packet 0 of an answer: tag, length and its first five bytes.
QByteArray first(quint16 address, int length, const QByteArray &data, int tag = 0x21)
{
    return answerPacket(address, bytes({0, tag, length}) + data.leftJustified(5, '\0', true));
}
// Packet n > 0: the next seven bytes.
QByteArray next(quint16 address, int n, const QByteArray &data)
{
    return answerPacket(address, bytes({n}) + data.leftJustified(7, '\0', true));
}

struct Collected
{
    std::mutex mutex;
    std::vector<Answer> answers;
    SessionBufferCollector collector{nullptr, [this](const Answer &a) {
                                         std::lock_guard<std::mutex> lock(mutex);
                                         answers.push_back(a);
                                     }};
    // Feeds the packets; the answers they completed.
    std::vector<Answer> add(const QList<QByteArray> &packets)
    {
        std::vector<Answer> done;
        for (const QByteArray &p : packets) {
            Answer a;
            if (collector.addPacket(p, &a))
                done.push_back(a);
        }
        return done;
    }
};

struct Recorded
{
    std::mutex mutex;
    QStringList texts;
    std::atomic<int> onEventThread{0};
    int size()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return int(texts.size());
    }
};

void record(Hub *, quint32 uid, int, const QString &text, void *context)
{
    auto *r = static_cast<Recorded *>(context);
    if (ThreadContext::onEventThread())
        r->onEventThread.fetch_add(1);
    std::lock_guard<std::mutex> lock(r->mutex);
    r->texts << QStringLiteral("%1 %2").arg(QString::number(uid, 16), text);
}

} // namespace

TEST(BufferCollector, AnAnswerIsCompleteOnceEveryPieceItsLengthNeedsArrivedEachCountedOnce)
{
    Collected c;
    auto done = c.add({next(7, 1, " world"), first(7, 11, "Hello")}); // out of order
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].text, QStringLiteral("Hello world"));
    EXPECT_EQ(done[0].tag, 0x21);
    EXPECT_EQ(done[0].address, 7);
    EXPECT_TRUE(done[0].complete);
    EXPECT_EQ(c.add({first(8, 2, "42xyz")})[0].text, QStringLiteral("42")); // its length only

    // 19 bytes need packets 0, 1 and 2: a repeated packet 1 replaces its piece
    // and counts once; packets 0, 2 and 3 bring enough bytes but leave a gap.
    EXPECT_TRUE(c.add({first(9, 19, "abcde"), next(9, 1, "XXXXXXX"), next(9, 1, "fghijkl")}).empty());
    done = c.add({next(9, 2, "mnopqrs")});
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].text, QStringLiteral("abcdefghijklmnopqrs"));
    EXPECT_TRUE(c.add({first(10, 19, "abcde"), next(10, 2, "mnopqrs"), next(10, 3, "tuvwxyz")}).empty());
    EXPECT_EQ(c.collector.answersInProgress(), 1);

    const QByteArray utf8 = QStringLiteral("Zoé 3,5 €").toUtf8(); // 12 bytes
    done = c.add({first(11, utf8.size(), utf8.left(5)), next(11, 1, utf8.mid(5))});
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].text, QStringLiteral("Zoé 3,5 €"));

    // What is left goes out incomplete, with what arrived in packet order.
    c.collector.expireAll();
    ASSERT_EQ(c.answers.size(), 1u);
    EXPECT_EQ(c.answers[0].text, QStringLiteral("abcdemnopqrstuvwxyz"));
    EXPECT_FALSE(c.answers[0].complete);
    EXPECT_EQ(c.collector.answersInProgress(), 0);
}

TEST(BufferCollector, AnAnswerHoldsNoMoreThanItsLengthByteAllowsAndSoManyAreCollectedAtOnce)
{
    Collected c;
    EXPECT_TRUE(c.add({next(1, 37, "far"), next(1, 255, "away"), answerPacket(1, "x").left(11)}).empty());
    EXPECT_EQ(c.collector.answersInProgress(), 0);
    // The longest answer a length byte announces: packets 0 to 36.
    QList<QByteArray> longest{first(1, 255, "aaaaa")};
    for (int n = 1; n <= SessionBufferCollector::MaximumPacketNumber; ++n)
        longest << next(1, n, QByteArray(7, char('a' + n % 26)));
    const auto done = c.add(longest);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].text.size(), 255);

    for (int address = 0; address < SessionBufferCollector::MaximumAnswersInProgress; ++address)
        c.add({first(quint16(address), 200, "x")});
    EXPECT_EQ(c.collector.answersInProgress(), SessionBufferCollector::MaximumAnswersInProgress);
    c.add({first(0xFFFF, 20, "y")}); // dropped
    EXPECT_EQ(c.collector.answersInProgress(), SessionBufferCollector::MaximumAnswersInProgress);
    EXPECT_EQ(c.add({first(5, 3, "abc")}).size(), 1u); // one under way may still finish
}

class RfSessionTimers : public RfSessionFixture
{
protected:
    Recorded recorded;
};

TEST_F(RfSessionTimers, AnIncompleteAnswerIsHandedOverOnTheEventThreadAfterTheCompletionTime)
{
    EXPECT_EQ(SessionBufferCollector::DefaultCompletionTimeMs, 5000);
    EXPECT_EQ(hubPrivate()->answerCompletionTimeMs.load(), 5000);
    hubPrivate()->answerCompletionTimeMs = 200;
    ASSERT_TRUE(hub->startTextSession(1, QStringLiteral("Name?"), 20, TimeUnit_Seconds, 60, record,
                                      &recorded));
    QElapsedTimer clock;
    clock.start();
    fromHub({first(Vote1Address, 9, "Hello"), first(Vote2Address, 9, "Good "),
             next(Vote2Address, 1, "bye")});
    EXPECT_EQ(recorded.size(), 1); // the complete one, at once, on the driver's thread
    ASSERT_TRUE(waitFor([&] { return recorded.size() == 2; }));
    EXPECT_GE(clock.elapsed(), 200);
    EXPECT_EQ(recorded.texts, QStringList({"6a10002 Good bye", "6a10001 Hello"}));
    EXPECT_EQ(recorded.onEventThread.load(), 1);
    EXPECT_EQ(hub->getLastError(), Hub::Error_InCompleteAnswer);
    ASSERT_TRUE(hub->stopSession());

    // A timed-out answer whose session has ended is not delivered.
    ASSERT_TRUE(hub->startNumericSession(2, QString(), 20, TimeUnit_Seconds, 60, record, &recorded));
    fromHub({first(Vote1Address, 9, "12345")});
    ASSERT_TRUE(hub->stopSession());
    spinEvents(600);
    EXPECT_EQ(recorded.size(), 2);
}

TEST_F(RfSessionTimers, AnEndCalledFromATimedOutAnswerOnTheEventThreadDoesNotWaitForItself)
{
    hubPrivate()->answerCompletionTimeMs = 50;
    static std::atomic<int> ended{0};
    ended = 0;
    auto stopFromCallback = [](Hub *hub, quint32, int, const QString &, void *) {
        ended = hub->stopSession() ? 1 : -1;
    };
    ASSERT_TRUE(hub->startNumericSession(1, QString(), 20, TimeUnit_Seconds, 60, stopFromCallback,
                                         nullptr));
    fromHub({first(Vote1Address, 9, "12345")});
    ASSERT_TRUE(waitFor([] { return ended.load() != 0; }));
    EXPECT_EQ(ended.load(), 1);
    EXPECT_EQ(hub->sessionState(), SessionHub::Session_None);
}

TEST_F(RfSessionTimers, AnEndWaitsForAnAnswerBeingDeliveredAndNoAnswerFollowsIt)
{
    // A callback still running when the end begins finishes before it returns.
    static Gate gate;
    const auto letGo = qScopeGuard([] { gate.open(); }); // on every way out
    auto slow = [](Hub *, quint32, int, const QString &, void *) { gate.block(); };
    ASSERT_TRUE(hub->startTextSession(1, QString(), 20, TimeUnit_Seconds, 60, slow, nullptr));
    driver.setSynchronousReplies(true); // the end's reply does not queue behind the callback
    driver.deliverLater(Handle, first(Vote1Address, 2, "ok"));
    ASSERT_TRUE(gate.waitEntered());
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        EXPECT_TRUE(hub->stopSession());
        stopped = true;
    });
    spinEvents(100);
    EXPECT_FALSE(stopped.load());
    gate.open();
    stopper.join();
    driver.setSynchronousReplies(false);

    // Answers stream in while sessions start and end: none reaches the host
    // after the end of its session.
    struct Mark
    {
        std::atomic<bool> ended{false};
        std::atomic<int> late{0};
        std::atomic<int> delivered{0};
    };
    auto count = [](Hub *, quint32, int, Hub::YesNoResponse, void *context) {
        auto *mark = static_cast<Mark *>(context);
        mark->delivered.fetch_add(1);
        if (mark->ended.load())
            mark->late.fetch_add(1);
    };
    std::atomic<bool> done{false};
    std::thread feeder([&] {
        while (!done.load()) {
            driver.deliverLater(Handle, answerPacket(Vote1Address, bytes({0, 0, 0x41})));
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    });
    std::vector<std::unique_ptr<Mark>> marks;
    for (int i = 0; i < 30; ++i) {
        marks.push_back(std::make_unique<Mark>());
        ASSERT_TRUE(hub->startYesNoSession(i + 1, true, TimeUnit_Seconds, 60, count, marks.back().get()));
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        ASSERT_TRUE(hub->stopSession());
        marks.back()->ended = true;
    }
    done = true;
    feeder.join();
    ASSERT_TRUE(driver.waitIdle());
    int delivered = 0;
    for (const auto &mark : marks) {
        EXPECT_EQ(mark->late.load(), 0);
        delivered += mark->delivered.load();
    }
    EXPECT_GT(delivered, 0);
}
