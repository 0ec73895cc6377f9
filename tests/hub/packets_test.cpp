// How Hub::processPacket classifies packets and whom it reports them to.

#include "hubfixture.h"

#include "support/wait.h"


using namespace Orvexsystem;
using namespace OrvexTest;

namespace {

struct PenLog
{
    QList<Hub::PenEvent> events;
    QList<quint8> pens;
};

// Collects penEventReceived through a direct connection.
void recordPenSignals(Hub *hub, PenLog &log)
{
    QObject::connect(hub, &Hub::penEventReceived, hub,
                     [&log](Hub *, Hub::PenEvent e, quint8 pen, int, int, bool, bool) {
                         log.events.append(e);
                         log.pens.append(pen);
                     },
                     Qt::DirectConnection);
}

// Every call of a pen or vote callback, as a list of its values.
void onPen(Hub *, quint32 pen, int x, int y, bool tip, bool barrel, void *context)
{
    static_cast<QList<QList<int>> *>(context)->append({int(pen), x, y, tip, barrel});
}
void onVote(Hub *, quint32 id, int vote, bool batteryLow, void *context)
{
    static_cast<QList<QList<int>> *>(context)->append({int(id), vote, batteryLow});
}
void onStatus(Hub *, bool running, void *context)
{
    static_cast<QList<bool> *>(context)->append(running);
}

} // namespace

using HubPackets = HubFixture;

TEST_F(HubPackets, PenStatesPerPenReportTipAndBarrelChangesByCallbackOrSignal)
{
    PenLog log;
    recordPenSignals(hub.get(), log);
    const struct
    {
        bool tip, barrel;
        Hub::PenEvent expected;
    } steps[] = {
        {false, false, Hub::PenEvent_Move},   {true, false, Hub::PenEvent_TipDown},
        {true, false, Hub::PenEvent_Move},    {true, true, Hub::PenEvent_BarrelDown},
        {false, false, Hub::PenEvent_BarrelUp}, // tip and barrel change: barrel wins
        {true, true, Hub::PenEvent_BarrelDown}, // both again: only the barrel event
        {true, true, Hub::PenEvent_Move},       // the tip was recorded all the same
        {false, true, Hub::PenEvent_TipUp},
    };
    QList<Hub::PenEvent> expected;
    for (const auto &s : steps) {
        hub->processPacket(penPacket8(1, 10, 20, s.tip, s.barrel));
        expected.append(s.expected);
    }
    hub->processPacket(penPacket8(2, 0, 0, false, false)); // pen 2 is unaffected by pen 1
    hub->processPacket(penPacket8(0, 0, 0, true, false));  // pen 0 has no state
    expected.append(Hub::PenEvent_Move);
    EXPECT_EQ(log.events, expected);
    EXPECT_EQ(log.pens.mid(7), (QList<quint8>{1, 2}));

    // A callback replaces the signal and carries the pen data.
    QList<QList<int>> calls;
    ASSERT_TRUE(hub->setPenEventCallback(&onPen, &calls));
    hub->processPacket(penPacket8(3, 0xBEEF, 0x1234, true, true));
    EXPECT_EQ(calls, (QList<QList<int>>{{3, 0xBEEF, 0x1234, 1, 1}}));
    EXPECT_EQ(log.events.size(), expected.size());
}

TEST_F(HubPackets, TouchReportsCarryWholeTouchesOnly)
{
    QList<QList<Hub::TouchInfo>> reports;
    QObject::connect(hub.get(), &Hub::touchEventReceived, hub.get(),
            [&](Hub *, QList<Hub::TouchInfo> t) { reports.append(t); }, Qt::DirectConnection);
    const QByteArray two = touchPacket({{5, 100, 200, 7, true}, {127, 65535, 0, 300, false}});
    ASSERT_EQ(two.size(), 16);
    hub->processPacket(two);
    hub->processPacket(two + char(0x33)); // 17 bytes: the last is ignored
    hub->processPacket(two.left(8));      // 8 bytes: no whole touch
    hub->processPacket(two.left(2));
    ASSERT_EQ(reports.size(), 4);
    ASSERT_EQ(reports[0].size(), 2);
    EXPECT_EQ(reports[0][0].nTouchId, 5);
    EXPECT_TRUE(reports[0][0].bStatus);
    EXPECT_EQ(reports[0][0].nX, 100);
    EXPECT_EQ(reports[0][0].nY, 200);
    EXPECT_EQ(reports[0][0].nRadius, 7);
    EXPECT_EQ(reports[0][1].nTouchId, 127);
    EXPECT_FALSE(reports[0][1].bStatus);
    EXPECT_EQ(reports[0][1].nX, 65535);
    EXPECT_EQ(reports[0][1].nRadius, 300);
    EXPECT_EQ(reports[1].size(), 2);
    EXPECT_TRUE(reports[2].isEmpty());
    EXPECT_TRUE(reports[3].isEmpty());
}

TEST_F(HubPackets, TouchStatusReportsRunningOrStoppedAndOnlyRepliesReachTheHandler)
{
    QList<bool> statuses;
    ASSERT_TRUE(hub->setTouchStatusEventCallback(&onStatus, &statuses));
    auto *handler = anyHandler();
    hub->processPacket(touchStatusPacket(5, 10));
    hub->processPacket(touchStatusPacket(0, 10));
    hub->processPacket(touchStatusPacket(3, 10)); // other values: no event
    QByteArray seven = touchStatusPacket(5, 10).left(7);
    seven[0] = 7;
    hub->processPacket(seven); // not a status report
    EXPECT_EQ(statuses, (QList<bool>{true, false}));
    EXPECT_EQ(handler->queuedCount(), 4) << "status reports always reach the handler";

    // Notices, touch and pen reports never do.
    hub->processPacket(QByteArray("\x04\x45\x00\x00", 4));
    hub->processPacket(QByteArray("\x04\x56\x02\x02", 4));
    hub->processPacket(QByteArray("\x02\xA0", 2));
    hub->processPacket(penPacket8(1, 0, 0, false, false));
    EXPECT_EQ(handler->queuedCount(), 4);
    hub->processPacket(QByteArray("\x03\x99\x01", 3));
    EXPECT_EQ(handler->queuedCount(), 5);
}

TEST_F(HubPackets, ShortPacketsAreNeverReadPastTheirEnd)
{
    // Each prefix of each kind, with every report path live; ASan checks
    // the reads.
    QList<int> notices;
    QObject::connect(hub.get(), &Hub::reenumerateAfterTimeout, hub.get(),
            [&](int ms) { notices.append(ms); }, Qt::DirectConnection);
    anyHandler();
    const QByteArray kinds[] = {penPacket8(1, 1, 1, true, false), touchStatusPacket(5, 2),
                                touchPacket({{1, 2, 3, 4, false}}), QByteArray("\x04\x56\x01\x01", 4),
                                QByteArray("\x02\xA0", 2), QByteArray("\x05\x65\x01\x01\x00", 5)};
    for (TestHub::SessionState state : {TestHub::SessionState(0), TestHub::SessionState(9),
                                    TestHub::SessionState(21)}) {
        hub->setSessionState(state);
        hub->setSession(new TestVoteSession(true, nullptr, nullptr));
        for (const QByteArray &kind : kinds)
            for (int n = 0; n <= kind.size(); ++n)
                hub->processPacket(kind.left(n));
    }
    // RF notices shorter than 4 bytes carry no states and change nothing;
    // the re-enumeration notice needs only its control byte.
    EXPECT_EQ(notices, (QList<int>{0, 3000, 3000, 0, 3000, 3000, 0, 3000, 3000}));
}

TEST_F(HubPackets, RadioStateChangesCancelThenSchedule)
{
    QList<int> notices;
    QObject::connect(hub.get(), &Hub::reenumerateAfterTimeout, hub.get(),
            [&](int ms) { notices.append(ms); }, Qt::DirectConnection);
    auto rf = [&](int previous, int next) {
        notices.clear();
        hub->processPacket(QByteArray("\x04\x56", 2) + char(previous) + char(next));
        return notices;
    };
    EXPECT_EQ(rf(0x09, 0x11), (QList<int>{0, 3000}));
    EXPECT_EQ(rf(0x02, 0x01), (QList<int>{0}));
    EXPECT_EQ(rf(0x40, 0x02), (QList<int>{3000}));
    EXPECT_TRUE(rf(0x02, 0x09).isEmpty()); // 0x09 schedules only as the previous state
    EXPECT_TRUE(rf(0x10, 0x10).isEmpty());
}

TEST_F(HubPackets, VotesReachTheHostOnlyFromKnownHandsetsOfAVotingSession)
{
    QList<QList<int>> calls;
    auto *handler = anyHandler();
    const QByteArray vote = QByteArray("\x05\x65\x07\x03\x01", 5);

    hub->setSession(new TestVoteSession(true, &onVote, &calls));
    hub->processPacket(vote); // no voting state yet
    EXPECT_TRUE(calls.isEmpty());
    EXPECT_EQ(handler->queuedCount(), 1);

    hub->setSessionState(TestHub::SessionState(9)); // voting
    hub->processPacket(vote);
    EXPECT_EQ(calls, (QList<QList<int>>{{1007, 3, 1}}));
    EXPECT_EQ(handler->queuedCount(), 1); // a delivered vote goes no further

    hub->processPacket(QByteArray("\x05\x65\x00\x03\x00", 5)); // unknown device: id 0
    hub->setSession(new TestVoteSession(false, &onVote, &calls));
    hub->processPacket(vote); // not a voting-handset session
    EXPECT_EQ(calls.size(), 1);
    EXPECT_EQ(handler->queuedCount(), 3);

    // The legacy vote test reports the same way, by signal without callback.
    QList<int> signalled;
    QObject::connect(hub.get(), &Hub::voteReceived, hub.get(),
            [&](Hub *, quint32 id, int v, int low) { signalled << int(id) << v << low; },
            Qt::DirectConnection);
    hub->setSession(new TestVoteSession(true, nullptr, nullptr));
    hub->setSessionState(TestHub::SessionState(17));
    hub->processPacket(vote);
    EXPECT_EQ(signalled, (QList<int>{1007, 3, 1}));
}

namespace {
void onPin(Hub *, quint32 uid, const QString &text, void *context)
{
    static_cast<QStringList *>(context)->append(QString::number(uid) + text);
}
} // namespace

TEST_F(HubPackets, PinNamingStartsOnASentCommandAndReportsReplies)
{
    QStringList replies;
    driver.setWriteResult(-1);
    EXPECT_FALSE(hub->startOrvexvotePinNamingSession(3, &onPin, &replies));
    EXPECT_EQ(hub->getLastError(), Hub::Error_CommsFailure);
    hub->processPacket(QByteArray("\x05\x77\x09" "AB", 5)); // no session: not a reply
    EXPECT_TRUE(replies.isEmpty());

    driver.setWriteResult(0);
    ASSERT_TRUE(hub->startOrvexvotePinNamingSession(12, &onPin, &replies));
    EXPECT_EQ(driver.writes(Handle).last(), QByteArray(":VZ12\r"));
    auto *handler = anyHandler();
    hub->processPacket(QByteArray("\x05\x77\x09" "AB", 5));
    hub->processPacket(QByteArray("\x03\x78\x09", 3)); // not a naming reply
    EXPECT_EQ(replies, QStringList{QStringLiteral("9AB")});
    EXPECT_EQ(handler->queuedCount(), 1);
}
