// Edge cases of the legacy hub's replies; every form is also exchanged with
// the simulated hubs (legacyhub_sim_test.cpp).

#include "legacy/legacyresponses.h"
#include "support/wait.h"

#include <gtest/gtest.h>

using namespace Orvexsystem;
using OrvexTest::bytes;

TEST(LegacyReplies, FieldsAreMaskedAndFormsKeptApart)
{
    // USB byte 2 = 0x0A: vote channel 1, band 1, slate channel 0.
    const LegacyRFResponse radio(bytes({0x0A, 0x68, 0x0A, 12, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(std::make_tuple(radio.voteChannel(), radio.rfBand(), radio.slateChannel(), radio.boardId()),
              std::make_tuple(1, 1, 0, 12));
    EXPECT_FALSE(LegacyRFResponse::isValid(bytes({0x8B, 0x54, 0x68, 99, 0, 0, 0, 0, 0, 0, 0})));
    EXPECT_FALSE(LegacySerialRFResponse::isValid(bytes({0x0A, 0x68, 0x2A, 12, 0, 0, 0, 0, 0, 0})));

    // Registration: byte 4 has 7 bits, the version is signed; the serial
    // battery flag is the value 16, not a bit.
    const LegacyVoteRegistrationResponse usb(bytes({9, 0x67, 0x01, 0x2B, 0x9A, 0, 1, 0, 0xFF}));
    EXPECT_EQ(std::make_tuple(usb.deviceId(), usb.batteryLow(), usb.deviceVersion()),
              std::make_tuple(0x1A2B01u, true, -1));
    EXPECT_FALSE(LegacySerialVoteRegistrationResponse(
                     bytes({0x8A, 7, 0x67, 0, 0, 0, 0x11, 0, 0, 4})).batteryLow());
}

TEST(LegacyReplies, SerialSlateRepliesNeedAnIdFrom1To63AndDigitsFrom1To6)
{
    const auto ask = [](int id) { return bytes({0x8A, 0, 0x07, 0, (id & 31) << 2, id >> 5, 0, 0, 0, 0}); };
    EXPECT_EQ(LegacySerialSlateRegistrationResponse(ask(63)).slateId(), 63);
    EXPECT_FALSE(LegacySerialSlateRegistrationResponse::isValid(ask(0)));
    EXPECT_FALSE(LegacySerialSlateRegistrationResponse::isValid(ask(64)));

    // V = id | d1 << 8 | d2 << 16 | d3 << 24 in 7-bit groups, bits 31..28 in byte 6.
    const auto echo = [](quint32 id, quint32 d1, quint32 d2, quint32 d3) {
        const quint32 v = id | d1 << 8 | d2 << 16 | d3 << 24;
        return bytes({0x8A, int(v & 0x7F), 0x07, int((v >> 7) & 0x7F), int((v >> 14) & 0x7F),
                      int((v >> 21) & 0x7F), int(v >> 28)});
    };
    EXPECT_EQ(LegacySerialSlatePINRegistrationResponse(echo(33, 6, 2, 5)).pinText(), QStringLiteral("625"));
    EXPECT_FALSE(LegacySerialSlatePINRegistrationResponse::isValid(echo(64, 1, 1, 1)));
    EXPECT_FALSE(LegacySerialSlatePINRegistrationResponse::isValid(echo(3, 1, 7, 1)));
    EXPECT_FALSE(LegacySerialSlatePINRegistrationResponse::isValid(echo(3, 0, 1, 1)));
    EXPECT_FALSE(LegacySerialSlatePINRegistrationResponse::isValid(echo(3, 1, 1, 1).left(6)));
}
