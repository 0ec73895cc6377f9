// The legacy hub's reply packets in the USB and the 7-bit serial form, built
// byte by byte from the wire tables.

#include "legacy/legacyresponses.h"
#include "support/wait.h"

#include <gtest/gtest.h>

using namespace Orvexsystem;
using OrvexTest::bytes;

namespace {

// A serial reply: byte 0 = 0x80 | length, code in byte 2, the id's three
// 7-bit groups in bytes 1, 3, 4, the rest as given from byte 5 on.
QByteArray serial(int length, int code, quint32 id, std::initializer_list<int> tail)
{
    QByteArray p(length, '\0');
    p[0] = char(0x80 | length);
    p[1] = char(id & 0x7F);
    p[2] = char(code);
    p[3] = char((id >> 7) & 0x7F);
    p[4] = char((id >> 14) & 0x7F);
    int i = 5;
    for (int v : tail)
        p[i++] = char(v);
    return p;
}

} // namespace

TEST(LegacyReplies, RadioSettingsInBothForms)
{
    // Vote channel in bits 2..1, band in 4..3, slate channel in 6..5.
    const LegacyRFResponse usb(bytes({0x0A, 0x68, 0x2A, 12, 0, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(usb.isValidResponse());
    EXPECT_EQ(usb.voteChannel(), 1);
    EXPECT_EQ(usb.rfBand(), 1);
    EXPECT_EQ(usb.slateChannel(), 1);
    EXPECT_EQ(usb.boardId(), 12);
    const LegacyRFResponse edge(bytes({0x0A, 0x68, 0x0A, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(edge.voteChannel(), 1);
    EXPECT_EQ(edge.rfBand(), 1);
    EXPECT_EQ(edge.slateChannel(), 0);

    const LegacySerialRFResponse ser(bytes({0x8B, 0x54, 0xE8, 99, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(ser.isValidResponse());
    EXPECT_EQ(ser.voteChannel(), 2);
    EXPECT_EQ(ser.rfBand(), 2);
    EXPECT_EQ(ser.slateChannel(), 2);
    EXPECT_EQ(ser.boardId(), 99);

    // Length and code are checked; one form is never taken for the other.
    EXPECT_FALSE(LegacyRFResponse::isValid(bytes({0x0A, 0x68, 0x2A, 12, 0, 0, 0, 0, 0})));
    EXPECT_FALSE(LegacyRFResponse::isValid(bytes({0x0A, 0x67, 0x2A, 12, 0, 0, 0, 0, 0, 0})));
    EXPECT_FALSE(LegacySerialRFResponse::isValid(bytes({0x0A, 0x68, 0x2A, 12, 0, 0, 0, 0, 0, 0})));
    EXPECT_FALSE(LegacyRFResponse::isValid(bytes({0x8B, 0x54, 0x68, 99, 0, 0, 0, 0, 0, 0, 0})));
    EXPECT_FALSE(LegacyRFResponse().isValidResponse());
}

TEST(LegacyReplies, EnableVoteAndVoteRegistration)
{
    const LegacyUsbEnableVoteResponse enable(bytes({0x0A, 0x68, 0x56, 0x34, 0x12, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(enable.isValidResponse());
    EXPECT_EQ(enable.deviceId(), 0x123456u);
    const LegacySerialEnableVoteResponse enableSerial(serial(11, 0x68, 0x1ABCDE, {}));
    ASSERT_TRUE(enableSerial.isValidResponse());
    EXPECT_EQ(enableSerial.deviceId(), 0x1ABCDEu);

    // Byte 4 is masked to 7 bits, the version is a signed byte.
    const LegacyVoteRegistrationResponse usb(bytes({9, 0x67, 0x01, 0x2B, 0x9A, 0, 1, 0, 0xFF}));
    ASSERT_TRUE(usb.isValidResponse());
    EXPECT_EQ(usb.deviceId(), 0x1A2B01u);
    EXPECT_TRUE(usb.batteryLow());
    EXPECT_EQ(usb.deviceVersion(), -1);
    EXPECT_TRUE(LegacyVoteRegistrationResponse::isValid(bytes({9, 0x67, 1, 0, 0, 0, 0, 0, 3, 0})));

    const LegacySerialVoteRegistrationResponse low(serial(10, 0x67, 0x101, {0, 0x10, 0, 0, 4}));
    ASSERT_TRUE(low.isValidResponse());
    EXPECT_EQ(low.deviceId(), 0x101u);
    EXPECT_TRUE(low.batteryLow());
    EXPECT_EQ(low.deviceVersion(), 4);
    // The serial battery flag is the value 16, not a bit.
    EXPECT_FALSE(LegacySerialVoteRegistrationResponse(serial(10, 0x67, 7, {0, 0x11, 0, 0, 4})).batteryLow());
    EXPECT_FALSE(LegacySerialVoteRegistrationResponse::isValid(serial(11, 0x67, 7, {})));
}

TEST(LegacyReplies, SlateRegistrationAndPinEchoInBothForms)
{
    EXPECT_EQ(LegacySlateRegistrationResponse(bytes({9, 0x07, 0, 0, 5, 0, 0, 0, 0})).slateId(), 5);
    // Serial slate id = (byte 4 bits 6..2) + (byte 5 bits 1..0) x 32.
    const auto serialAsk = [](int id) {
        return bytes({0x8A, 0, 0x07, 0, (id & 31) << 2, id >> 5, 0, 0, 0, 0});
    };
    EXPECT_EQ(LegacySerialSlateRegistrationResponse(serialAsk(40)).slateId(), 40);
    EXPECT_TRUE(LegacySerialSlateRegistrationResponse::isValid(serialAsk(63)));
    EXPECT_FALSE(LegacySerialSlateRegistrationResponse::isValid(serialAsk(0)));
    EXPECT_FALSE(LegacySerialSlateRegistrationResponse::isValid(serialAsk(64)));
    EXPECT_FALSE(LegacySerialSlateRegistrationResponse::isValid(serialAsk(5).replace(0, 1, "\x0A")));

    const LegacySlatePINRegistrationResponse usb(bytes({9, 0x07, 5, 3, 1, 6, 0, 0, 0}));
    ASSERT_TRUE(usb.isValidResponse());
    EXPECT_EQ(usb.slateId(), 5);
    EXPECT_EQ(usb.pinText(), QStringLiteral("316"));

    // V = id | d1 << 8 | d2 << 16 | d3 << 24 in 7-bit groups, top bits in byte 6.
    const auto serialEcho = [](quint32 id, quint32 d1, quint32 d2, quint32 d3) {
        const quint32 v = id | d1 << 8 | d2 << 16 | d3 << 24;
        return bytes({0x8A, int(v & 0x7F), 0x07, int((v >> 7) & 0x7F), int((v >> 14) & 0x7F),
                      int((v >> 21) & 0x7F), int(v >> 28)});
    };
    const LegacySerialSlatePINRegistrationResponse echo(serialEcho(33, 6, 2, 5));
    ASSERT_TRUE(echo.isValidResponse());
    EXPECT_EQ(echo.slateId(), 33);
    EXPECT_EQ(echo.pinText(), QStringLiteral("625"));
    EXPECT_FALSE(LegacySerialSlatePINRegistrationResponse::isValid(serialEcho(64, 1, 1, 1)));
    EXPECT_FALSE(LegacySerialSlatePINRegistrationResponse::isValid(serialEcho(3, 1, 7, 1)));
    EXPECT_FALSE(LegacySerialSlatePINRegistrationResponse::isValid(serialEcho(3, 0, 1, 1)));
    EXPECT_FALSE(LegacySerialSlatePINRegistrationResponse::isValid(serialEcho(3, 1, 1, 1).left(6)));
}

TEST(LegacyReplies, PinNamingTextInBothForms)
{
    // "ACF": digits 1, 3, 6. USB: digit 1's top bit in bit 7 of byte 4, its
    // low bits in bits 7..6 of byte 5, digit 2 in bits 5..3, digit 3 in 2..0.
    const LegacyPinNamingResponse usb(bytes({9, 0x67, 0x01, 0x2B, 0x1A, 0x5E, 0, 0, 0}));
    ASSERT_TRUE(usb.isValidResponse());
    EXPECT_EQ(usb.deviceId(), 0x1A2B01u);
    EXPECT_EQ(usb.pinText(), QStringLiteral("ACF"));
    // First digit 0: two letters. Digit 7 (top bit set) is a blank.
    EXPECT_EQ(LegacyPinNamingResponse(bytes({9, 0x67, 1, 0, 0, 0x13, 0, 0, 0})).pinText(), QStringLiteral("BC"));
    EXPECT_EQ(LegacyPinNamingResponse(bytes({9, 0x67, 1, 0, 0x80, 0xC9, 0, 0, 0})).pinText(), QStringLiteral(" AA"));
    EXPECT_FALSE(LegacyPinNamingResponse::isValid(bytes({9, 0x67, 1, 0, 0, 0x13, 0, 0, 0, 0})));

    // Serial: digit 1 = (bit 2 of byte 5) x 4 + bits 3..2 of byte 6; digit 2 =
    // (bits 1..0 of byte 6) x 2 + bit 6 of byte 5; digit 3 = bits 5..3 of byte 5.
    const LegacySerialPinNamingResponse ser(serial(10, 0x67, 0x1234, {0x70, 0x05, 0, 0, 0}));
    ASSERT_TRUE(ser.isValidResponse());
    EXPECT_EQ(ser.deviceId(), 0x1234u);
    EXPECT_EQ(ser.pinText(), QStringLiteral("ACF"));
    EXPECT_EQ(LegacySerialPinNamingResponse(serial(10, 0x67, 1, {0x44, 0x0F, 0, 0, 0})).pinText(),
              QStringLiteral("  "));
}
