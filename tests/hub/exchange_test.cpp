// Command exchanges: sendAndWait, the touch-status query and its cache, and
// the serialisation of exchanges on one hub.

#include "hubfixture.h"

#include "hub/touchstatusresponse.h"
#include "support/wait.h"

#include <QtCore/QSet>

#include <thread>

using namespace Orvexsystem;
using namespace OrvexTest;

namespace {

struct NeverRegistered : HubResponse
{
    NeverRegistered() = default;
    explicit NeverRegistered(const QByteArray &) {}
    static bool isValid(const QByteArray &) { return true; }
};

void onStatus(Hub *, bool running, void *context)
{
    static_cast<std::atomic<int> *>(context)->fetch_add(running ? 1 : 100);
}

} // namespace

using HubExchange = HubFixture;

TEST_F(HubExchange, ReplyIsParsedAndFailuresRecordCommsFailureOrNothing)
{
    answerTouchQueries([](int) { return touchStatusPacket(5, 12); });
    TouchStatusResponse reply;
    ASSERT_TRUE(hub->sendAndWait(QByteArray(":QT\r"), reply, 2000));
    EXPECT_EQ(reply.status(), 5);
    EXPECT_EQ(reply.touchCount(), 12);
    EXPECT_EQ(hub->currentResponseHandler(), nullptr) << "the handler is released";

    // A reply that the driver delivers inside the write call is kept: the
    // handler is ready before the command leaves.
    driver.setSynchronousReplies(true);
    answerTouchQueries([](int) { return touchStatusPacket(0, 3); });
    ASSERT_TRUE(hub->sendAndWait(QByteArray(":QT\r"), reply, 50));
    EXPECT_EQ(reply.touchCount(), 3);
    driver.setSynchronousReplies(false);

    // A reply of the wrong length is never taken for one.
    driver.setResponder([](int, const QByteArray &) {
        return QList<QByteArray>{touchStatusPacket(5, 1).left(7)};
    });
    EXPECT_FALSE(hub->sendAndWait(QByteArray(":QT\r"), reply, 50));
    EXPECT_EQ(hub->getLastError(), Hub::Error_CommsFailure);

    hub->recordError(Hub::Error_Failed);
    driver.setWriteResult(-1);
    EXPECT_FALSE(hub->sendAndWait(QByteArray(":QT\r"), reply, 50));
    EXPECT_EQ(hub->getLastError(), Hub::Error_CommsFailure);

    // A type without a handler fails without sending or recording.
    hub->recordError(Hub::Error_Failed);
    driver.clearLog();
    NeverRegistered other;
    EXPECT_FALSE(hub->sendAndWait(QByteArray(":XX\r"), other, 50));
    EXPECT_EQ(hub->getLastError(), Hub::Error_Failed);
    EXPECT_TRUE(driver.writes(Handle).isEmpty());
}

TEST_F(HubExchange, StaleRepliesNeverAnswerALaterExchange)
{
    TouchStatusResponse reply;
    // Two replies to one command: the second is left queued...
    driver.setResponder([](int, const QByteArray &) {
        return QList<QByteArray>{touchStatusPacket(5, 1), touchStatusPacket(5, 2)};
    });
    ASSERT_TRUE(hub->sendAndWait(QByteArray(":QT\r"), reply, 2000));
    EXPECT_EQ(reply.touchCount(), 1);
    ASSERT_TRUE(driver.waitIdle());

    // ...and a late reply to a timed-out exchange arrives between exchanges.
    driver.setResponder(nullptr);
    EXPECT_FALSE(hub->sendAndWait(QByteArray(":QT\r"), reply, 20));
    driver.deliverLater(Handle, touchStatusPacket(5, 3));
    ASSERT_TRUE(driver.waitIdle());

    // The next exchange gets its own reply, not either leftover.
    answerTouchQueries([](int) { return touchStatusPacket(5, 4); });
    ASSERT_TRUE(hub->sendAndWait(QByteArray(":QT\r"), reply, 2000));
    EXPECT_EQ(reply.touchCount(), 4);
}

TEST(ResponseHandlerQueue, NullOutputStillTakesTheReply)
{
    ResponseHandler<TouchStatusResponse> handler;
    handler.addPacket(touchStatusPacket(5, 1));
    handler.addPacket(touchStatusPacket(5, 2));
    handler.addPacket(QByteArray("\x02\xA5", 2)); // filtered out
    EXPECT_EQ(handler.queuedCount(), 2);
    EXPECT_TRUE(handler.getNextPacket(nullptr, 0));
    QByteArray packet;
    EXPECT_TRUE(handler.getNextPacket(&packet, 0));
    EXPECT_EQ(packet, touchStatusPacket(5, 2));
    EXPECT_FALSE(handler.getNextPacket(&packet, 10));
}

TEST_F(HubExchange, TouchStatusQueryReportsAndSuppressesItsReplyAsAnEvent)
{
    std::atomic<int> events{0};
    ASSERT_TRUE(hub->setTouchStatusEventCallback(&onStatus, &events));
    answerTouchQueries([](int) { return touchStatusPacket(5, 10); });
    quint8 status = 0, count = 0;
    ASSERT_TRUE(hub->getTouchStatus(&status, &count));
    EXPECT_EQ(status, 5);
    EXPECT_EQ(count, 10);
    EXPECT_TRUE(hub->isTouchRunning());
    ASSERT_TRUE(driver.waitIdle());
    EXPECT_EQ(events.load(), 0);

    // Once no query waits, the same report is an event again.
    driver.deliverLater(Handle, touchStatusPacket(0, 10));
    ASSERT_TRUE(driver.waitIdle());
    EXPECT_EQ(events.load(), 100);
}

TEST_F(HubExchange, TouchStatusFailuresAndTheTouchCountAskedUntilKnown)
{
    // No answer within the wait: not supported, whatever the exchange said.
    EXPECT_FALSE(hub->getTouchStatus(nullptr, nullptr));
    EXPECT_EQ(hub->getLastError(), Hub::Error_NotSupported);
    EXPECT_FALSE(hub->isTouchRunning());
    driver.clearLog();
    EXPECT_EQ(hub->getNumTouchesSupported(), 0);
    EXPECT_EQ(hub->getNumTouchesSupported(), 0);
    EXPECT_EQ(writesOf(":QT\r"), 2) << "asked again while unknown";

    answerTouchQueries([](int n) { return touchStatusPacket(5, 10 + n); });
    EXPECT_EQ(hub->getNumTouchesSupported(), 11);
    EXPECT_EQ(hub->getNumTouchesSupported(), 11) << "cached once known";
    EXPECT_EQ(writesOf(":QT\r"), 3);

    hub->setConnected(false);
    driver.clearLog();
    EXPECT_FALSE(hub->getTouchStatus(nullptr, nullptr));
    EXPECT_EQ(hub->getLastError(), Hub::Error_NotConnected);
    EXPECT_TRUE(driver.writes(Handle).isEmpty());
}

TEST_F(HubExchange, ConcurrentExchangesEachGetTheirOwnReply)
{
    // Every query is answered with its own sequence number; were two
    // exchanges to overlap, one would take the other's reply or lose its
    // own to the other's reset.
    answerTouchQueries([](int n) { return touchStatusPacket(5, n); });
    const int perThread = 25;
    std::vector<int> got[2];
    std::atomic<int> failures{0};
    auto worker = [&](int t) {
        for (int i = 0; i < perThread; ++i) {
            quint8 count = 0;
            if (hub->getTouchStatus(nullptr, &count))
                got[t].push_back(count);
            else
                ++failures;
        }
    };
    std::thread a(worker, 0), b(worker, 1);
    a.join();
    b.join();
    EXPECT_EQ(failures.load(), 0);
    QSet<int> seen;
    for (const auto &list : got)
        for (int n : list)
            seen.insert(n);
    EXPECT_EQ(seen.size(), 2 * perThread);
}

namespace {
void countPen(Hub *, quint32, int, int, bool, bool, void *context)
{
    static_cast<std::atomic<int> *>(context)->fetch_add(1);
}
void countVote(Hub *, quint32, int, bool, void *context)
{
    static_cast<std::atomic<int> *>(context)->fetch_add(1);
}
} // namespace

TEST_F(HubExchange, PacketThreadAndHostCallsShareNoUnguardedState)
{
    // The driver's thread decodes pens, touches and votes while the host
    // replaces callbacks and session objects and runs touch queries; the
    // sanitizers check every hand-over.
    answerTouchQueries([](int) { return touchStatusPacket(5, 4); });
    hub->setSessionState(TestHub::SessionState(9));
    std::atomic<int> pens{0}, votes{0}, statuses{0};
    std::atomic<bool> stop{false};
    std::atomic<int> rounds{0};
    std::thread host([&] {
        for (int i = 0; !stop.load(); ++i, ++rounds) {
            hub->setPenEventCallback(&countPen, &pens);
            hub->setTouchStatusEventCallback(&onStatus, &statuses);
            hub->setSession(new TestVoteSession(true, &countVote, &votes));
            if (i % 8 == 0)
                hub->getTouchStatus(nullptr, nullptr);
            Hub::PenType type;
            hub->getPenType(1, &type);
        }
    });
    // Packets flow only once the host is busy, in waves so that the two
    // overlap for the whole test.
    EXPECT_TRUE(waitFor([&] { return rounds.load() > 0; }));
    const QByteArray vote("\x05\x65\x07\x03\x00", 5);
    for (int i = 0; i < 3000; ++i) {
        if (i % 300 == 0)
            driver.waitIdle(30000);
        driver.deliverLater(Handle, penPacket8(1 + i % 3, i, i, i & 1, false));
        driver.deliverLater(Handle, vote);
        if (i % 100 == 0) {
            driver.deliverLater(Handle, touchStatusPacket(0, 4));
            driver.deliverLater(Handle, touchPacket({{1, 2, 3, 4, true}}));
        }
    }
    const bool idle = driver.waitIdle(30000);
    stop = true;
    host.join();
    ASSERT_TRUE(idle);
    EXPECT_EQ(pens.load(), 3000);
    EXPECT_EQ(votes.load(), 3000);
}
