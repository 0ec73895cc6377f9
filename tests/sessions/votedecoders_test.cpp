// The vote packets of every hub kind, decoded by the voting session.

#include "sessions/orvexvotesession.h"
#include "support/wait.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace Orvexsystem;
using OrvexTest::bytes;

namespace {

using Vote = std::tuple<unsigned int, int, bool>; // sender, option, battery low
const Vote NoVote{0, -1, false};

// What a session of this hub kind makes of each packet in turn.
struct Decoding
{
    Decoding(Hub::Type type, Hub::ConnectionType connection)
        : session(type, connection, Hub::VotingMode_VB, nullptr, nullptr)
    {
    }
    Vote operator()(std::initializer_list<int> packet)
    {
        const QByteArray p = bytes(packet);
        if (!session.isSessionPacket(p) || !session.processPacket(p))
            return NoVote;
        return Vote(session.senderId(), session.voteOption(), session.batteryLowFlag() != 0);
    }
    OrvexvoteSession session;
};

} // namespace

TEST(VoteDecoders, TwoPointFourGHzPackets)
{
    Decoding rf(Hub::Type_TwoPointFourGHz, Hub::ConnectionType_Usb);
    EXPECT_EQ(rf({9, 0x65, 0, 0, 0x12, 0x34, 0x00, 0x07, 0x04}), Vote(7, 3, false));
    // Address 0: the sender is bytes 2-5.
    EXPECT_EQ(rf({9, 0x65, 0, 0, 0x12, 0x34, 0, 0, 0x01}), Vote(0x1234, 1, false));
    EXPECT_EQ(rf({9, 0x65, 0, 0, 0, 0, 0x12, 0xC4, 0x20}), Vote(0x12C4, 6, false));
    // Two keys, or a seventh bit, is option 0; the same press again counts.
    EXPECT_EQ(rf({9, 0x65, 0, 0, 0, 0, 0, 1, 0x03}), Vote(1, 0, false));
    EXPECT_EQ(rf({9, 0x65, 0, 0, 0, 0, 0, 1, 0x40}), Vote(1, 0, false));
    EXPECT_EQ(rf({9, 0x65, 0, 0, 0, 0, 0, 1, 0x40}), Vote(1, 0, false));
    EXPECT_EQ(rf({9, 0x65, 0, 0, 0, 0, 0, 1}), NoVote);
    EXPECT_EQ(rf({10, 0x65, 0, 0, 0, 0, 0, 1, 1, 0}), NoVote);
}

TEST(VoteDecoders, LegacyPacketsInBothFormsWithTheRepeatFilter)
{
    Decoding usb(Hub::Type_Legacy, Hub::ConnectionType_Usb);
    // Byte 4 masked to 0x12, battery in bit 0 of byte 6; a repeat is dropped.
    EXPECT_EQ(usb({9, 0x65, 0x56, 0x34, 0x92, 0, 0x01, 0, 0x08}), Vote(0x123456, 4, true));
    EXPECT_EQ(usb({9, 0x65, 0x56, 0x34, 0x92, 0, 0x01, 0, 0x08}), NoVote);
    EXPECT_EQ(usb({9, 0x65, 0x56, 0x34, 0x12, 0, 0, 0, 0x10}), Vote(0x123456, 5, false));
    EXPECT_EQ(usb({0x8A, 1, 0xE5, 0, 0, 0, 0, 0, 0, 1}), NoVote);

    // Serial: top bits of bytes 0 and 2 masked, the sender in 7-bit groups.
    Decoding serial(Hub::Type_Legacy, Hub::ConnectionType_Serial);
    EXPECT_EQ(serial({0x8A, 0x7F, 0xE5, 0x7F, 0x7F, 0, 0x01, 0, 0, 0x02}), Vote(0x1FFFFF, 2, true));
    EXPECT_EQ(serial({0x8A, 0x7F, 0xE5, 0x7F, 0x7F, 0, 0x01, 0, 0, 0x02}), NoVote);
    EXPECT_EQ(serial({9, 0x65, 0x56, 0x34, 0x12, 0, 0, 0, 0x08}), NoVote);

    // Another connection type has no decoder; an ended session takes nothing.
    Decoding other(Hub::Type_Legacy, Hub::ConnectionType(3));
    EXPECT_EQ(other({9, 0x65, 1, 0, 0, 0, 0, 0, 1}), NoVote);
    EXPECT_FALSE(other.session.voteValue().isValid());
    EXPECT_EQ(usb.session.stopCommand(), QByteArray(":VE\r"));
    EXPECT_EQ(usb({9, 0x65, 0x57, 0x34, 0x12, 0, 0, 0, 0x10}), NoVote);
}
