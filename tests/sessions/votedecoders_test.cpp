// The vote packets of every hub kind, and the voting session built on them.

#include "sessions/orvexvoteresponse.h"
#include "sessions/orvexvotesession.h"
#include "support/wait.h"

#include <gtest/gtest.h>

using namespace Orvexsystem;
using OrvexTest::bytes;

namespace {

struct Vote
{
    unsigned int sender;
    int option;
    bool batteryLow;
    bool operator==(const Vote &o) const
    {
        return sender == o.sender && option == o.option && batteryLow == o.batteryLow;
    }
};

std::ostream &operator<<(std::ostream &os, const Vote &v)
{
    return os << "{" << std::hex << v.sender << std::dec << ", " << v.option << ", " << v.batteryLow << "}";
}

// What a session of this hub kind makes of the packet; option -1 when it is
// not accepted as a vote.
class Decoding
{
public:
    Decoding(Hub::Type type, Hub::ConnectionType connection)
        : m_session(type, connection, Hub::VotingMode_VB, nullptr, nullptr)
    {
    }
    Vote operator()(const QByteArray &packet)
    {
        if (!m_session.isSessionPacket(packet) || !m_session.processPacket(packet))
            return Vote{0, -1, false};
        return Vote{m_session.senderId(), m_session.voteValue().toInt(),
                    m_session.batteryFlag().toInt() != 0};
    }

private:
    OrvexvoteSession m_session;
};

} // namespace

TEST(VoteDecoders, TwoPointFourGHzPackets)
{
    Decoding rf(Hub::Type_TwoPointFourGHz, Hub::ConnectionType_Usb);
    EXPECT_EQ(rf(bytes({9, 0x65, 0, 0, 0x12, 0x34, 0x00, 0x07, 0x04})), (Vote{7, 3, false}));
    // Address 0: the sender is bytes 2-5.
    EXPECT_EQ(rf(bytes({9, 0x65, 0, 0, 0x12, 0x34, 0, 0, 0x01})), (Vote{0x1234, 1, false}));
    EXPECT_EQ(rf(bytes({9, 0x65, 0, 0, 0, 0, 0x12, 0xC4, 0x20})), (Vote{0x12C4, 6, false}));
    // Two bits, or a bit beyond the sixth, is option 0; no repeat filter.
    EXPECT_EQ(rf(bytes({9, 0x65, 0, 0, 0, 0, 0, 1, 0x03})), (Vote{1, 0, false}));
    EXPECT_EQ(rf(bytes({9, 0x65, 0, 0, 0, 0, 0, 1, 0x40})), (Vote{1, 0, false}));
    EXPECT_EQ(rf(bytes({9, 0x65, 0, 0, 0, 0, 0, 1, 0x40})), (Vote{1, 0, false}));
    EXPECT_EQ(rf(bytes({9, 0x65, 0, 0, 0, 0, 0, 1})).option, -1);
    EXPECT_EQ(rf(bytes({9, 0x66, 0, 0, 0, 0, 0, 1, 1})).option, -1);
    EXPECT_EQ(rf(bytes({10, 0x65, 0, 0, 0, 0, 0, 1, 1, 0})).option, -1);
}

TEST(VoteDecoders, LegacyUsbPacketsWithTheRepeatFilter)
{
    Decoding usb(Hub::Type_Legacy, Hub::ConnectionType_Usb);
    const QByteArray four = bytes({9, 0x65, 0x56, 0x34, 0x92, 0, 0x01, 0, 0x08});
    // Byte 4 is masked to 0x12; bit 0 of byte 6 is the battery.
    EXPECT_EQ(usb(four), (Vote{0x123456, 4, true}));
    EXPECT_EQ(usb(four).option, -1);
    EXPECT_EQ(usb(bytes({9, 0x65, 0x56, 0x34, 0x12, 0, 0, 0, 0x10})), (Vote{0x123456, 5, false}));
    // Another handset with the same key is no repeat.
    EXPECT_EQ(usb(bytes({9, 0x65, 0x57, 0x34, 0x12, 0, 0, 0, 0x10})), (Vote{0x123457, 5, false}));
    // A serial packet is never a vote on a USB hub.
    EXPECT_EQ(usb(bytes({0x8A, 1, 0xE5, 0, 0, 0, 0, 0, 0, 1})).option, -1);
    // A new session forgets earlier votes.
    EXPECT_EQ(Decoding(Hub::Type_Legacy, Hub::ConnectionType_Usb)(four).option, 4);
}

TEST(VoteDecoders, LegacySerialPacketsWithTheRepeatFilter)
{
    Decoding serial(Hub::Type_Legacy, Hub::ConnectionType_Serial);
    // Top bits of bytes 0 and 2 are masked; the sender is three 7-bit groups.
    const QByteArray two = bytes({0x8A, 0x7F, 0xE5, 0x7F, 0x7F, 0, 0x01, 0, 0, 0x02});
    EXPECT_EQ(serial(two), (Vote{0x1FFFFF, 2, true}));
    EXPECT_EQ(serial(two).option, -1);
    EXPECT_EQ(serial(bytes({0x0A, 0x05, 0x65, 0x01, 0, 0, 0, 0, 0, 0x20})), (Vote{0x85, 6, false}));
    EXPECT_EQ(serial(bytes({9, 0x65, 0x56, 0x34, 0x12, 0, 0, 0, 0x08})).option, -1);
}

TEST(VotingSession, StartCommandDecoderAndEnd)
{
    const auto start = [](int mode) {
        return OrvexvoteSession(Hub::Type_Legacy, Hub::ConnectionType_Usb, Hub::VotingMode(mode),
                                nullptr, nullptr).startCommand();
    };
    EXPECT_EQ(start(Hub::VotingMode_VB), QByteArray(":VB\r"));
    EXPECT_EQ(start(Hub::VotingMode_VM), QByteArray(":VM\r"));
    EXPECT_EQ(start(5), QByteArray("\r"));

    // A legacy hub of another connection type gets no decoder and takes no vote.
    OrvexvoteSession none(Hub::Type_Legacy, Hub::ConnectionType(3), Hub::VotingMode_VB, nullptr, nullptr);
    EXPECT_FALSE(none.hasDecoder());
    EXPECT_FALSE(none.isSessionPacket(bytes({9, 0x65, 1, 0, 0, 0, 0, 0, 1})));
    EXPECT_FALSE(none.voteValue().isValid());

    // Once its end command is taken, the session accepts no packet.
    OrvexvoteSession rf(Hub::Type_TwoPointFourGHz, Hub::ConnectionType_Usb, Hub::VotingMode_VB, nullptr, nullptr);
    const QByteArray vote = bytes({9, 0x65, 0, 0, 0, 0, 0, 1, 1});
    EXPECT_TRUE(rf.isSessionPacket(vote));
    EXPECT_EQ(rf.stopCommand(), QByteArray(":VE\r"));
    EXPECT_FALSE(rf.isSessionPacket(vote));
}
