// A voting session on the 2.4 GHz hub of the simulated classroom: the start
// command, and the handsets' key presses delivered with their uids.

#include "support/votelog.h"
#include "support/wait.h"

#include <orvexsim.h>
#include <orvexsystem/system.h>
#include <orvexsystem/twopointfourghzhub.h>

#include <gtest/gtest.h>

#include <QtCore/QSet>

#include <tuple>

using namespace Orvexsystem;
using namespace OrvexTest;

namespace {

const int Rf = ORVEXSIM_DEFAULT_RF_HUB;

class RfVoting : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(orvexsim_reset(), 0);
        ASSERT_EQ(orvexsim_use_default_classroom(), 0);
        ASSERT_TRUE(OrvexSystem::instance().initialise());
        QList<Hub *> hubs;
        OrvexSystem::instance().getHubList(&hubs);
        for (Hub *h : hubs)
            if (h->handle() == Rf)
                hub = qobject_cast<TwoPointFourGHzHub *>(h);
        ASSERT_NE(hub, nullptr);
        ASSERT_EQ(orvexsim_wait_idle(5000), 0);
        orvexsim_clear_writes(Rf);
    }
    void TearDown() override { OrvexSystem::instance().shutdown(); }
    static void inject(std::initializer_list<int> packet)
    {
        const QByteArray p = bytes(packet);
        ASSERT_EQ(orvexsim_inject_packet(Rf, reinterpret_cast<const uint8_t *>(p.constData()), int(p.size())), 0);
    }
    static QByteArray lastWrite()
    {
        QByteArray w(64, '\0');
        w.resize(orvexsim_get_write(Rf, orvexsim_write_count(Rf) - 1, reinterpret_cast<uint8_t *>(w.data()), 64));
        return w;
    }

    TwoPointFourGHzHub *hub = nullptr;
};

} // namespace

TEST_F(RfVoting, WithoutACallbackVotesAreSignalledAndARefusedStartTakesNone)
{
    QList<std::tuple<quint32, int, int>> signalled;
    QObject::connect(hub, &Hub::voteReceived, hub,
                     [&](Hub *h, quint32 uid, int vote, int low) {
                         EXPECT_EQ(h, hub);
                         signalled << std::make_tuple(uid, vote, low);
                     });
    ASSERT_EQ(orvexsim_set_fault(Rf, ORVEXSIM_FAULT_REFUSE_WRITES, 1), 0);
    EXPECT_FALSE(hub->startVotingSession(Hub::VotingMode_VM, nullptr, nullptr));
    EXPECT_EQ(hub->getLastError(), Hub::Error_CommsFailure);
    inject({9, 0x65, 0, 0, 0, 0, 0x01, 0x01, 0x02});
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    spinEvents(20);
    EXPECT_TRUE(signalled.isEmpty());

    ASSERT_TRUE(hub->startVotingSession(Hub::VotingMode_VM, nullptr, nullptr));
    EXPECT_EQ(lastWrite(), QByteArray(":VM\r"));
    inject({9, 0x65, 0, 0, 0, 0, 0x01, 0x01, 0x02});
    ASSERT_TRUE(waitFor([&] { return !signalled.isEmpty(); }));
    EXPECT_EQ(signalled, (QList<std::tuple<quint32, int, int>>{{0x06A10001, 2, 0}}));
}

TEST_F(RfVoting, EveryHandsetsKeyPressIsAVote)
{
    ASSERT_EQ(orvexsim_set_handset_delay_ms(Rf, ORVEXSIM_ALL_HANDSETS, 0, 0), 0);
    VoteLog log;
    ASSERT_TRUE(hub->startVotingSession(Hub::VotingMode_VB, &VoteLog::record, &log));
    // Every registered handset presses key 2 once; one presses key 5 three
    // times, and the 2.4 GHz hub passes every press on.
    ASSERT_EQ(orvexsim_vote(Rf, ORVEXSIM_ALL_HANDSETS, 2, 1, 0), 32);
    ASSERT_EQ(orvexsim_vote(Rf, 0x06A10011, 5, 3, 0), 1);
    // The address map also serves a packet whose address is 0 (bytes 2-5 then
    // name the sender); a packet from an address nobody has is no vote.
    inject({9, 0x65, 0x06, 0xA1, 0x01, 0x05, 0, 0, 0x01});
    inject({9, 0x65, 0, 0, 0, 0, 0x09, 0x99, 0x01});
    QList<VoteLog::Vote> votes;
    ASSERT_TRUE(waitFor([&] {
        votes += log.take();
        return votes.size() >= 36;
    }));
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    votes += log.take();
    ASSERT_EQ(votes.size(), 36);
    EXPECT_TRUE(votes.contains(VoteLog::Vote(0x06A10005, 1, false)));
    QSet<quint32> voters;
    for (const auto &vote : votes)
        if (std::get<1>(vote) == 2)
            voters.insert(std::get<0>(vote));
    EXPECT_EQ(voters.size(), 32);
    EXPECT_TRUE(voters.contains(0x06A10001) && voters.contains(0x06A10020));
    EXPECT_EQ(votes.count(VoteLog::Vote(0x06A10011, 5, false)), 3);
}
