// The device classes: identity, types, sub-types and connection signals.

#include <orvexsystem/device.h>

#include <gtest/gtest.h>

#include <QtCore/QMetaObject>

using namespace Orvexsystem;

TEST(Devices, ConnectionSignalsFireOnChangeOnly)
{
    LegacyOrvexvote vote(nullptr, 42);
    int connects = 0, disconnects = 0;
    QObject::connect(&vote, &Device::connected, [&](Device *d) {
        EXPECT_EQ(d, &vote);
        ++connects;
    });
    QObject::connect(&vote, &Device::disconnected, [&] { ++disconnects; });
    vote.setConnected(false);
    vote.setConnected(true);
    vote.setConnected(true);
    EXPECT_TRUE(vote.isConnected());
    vote.setConnected(false);
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(disconnects, 1);
}

TEST(Devices, TypesAndClassNames)
{
    LegacyOrvexboard board(nullptr, 1);
    Legacyslate slate(nullptr, 2, QStringLiteral("ABC"));
    LegacyOrvexvote vote(nullptr, 3);
    TwoPointFourGHzOrvexSlate rfSlate(nullptr, 4, 0x10, QStringLiteral("Slate"), "000000040010");
    TwoPointFourGHzOrvexvote rfVote(nullptr, 5, 0x11, QStringLiteral("V1"), "000000050011");
    PenExpression pen(nullptr, 6, 0x12, QStringLiteral("Pen"), "0C0000060012");

    const Device *all[] = {&board, &slate, &vote, &rfSlate, &rfVote, &pen};
    const int types[] = {0, 1, 2, 3, 4, 8};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(all[i]->type(), types[i]);
        for (int t = 0; t <= 8; ++t)
            EXPECT_EQ(all[i]->isOfType(Device::Type(t)), t == types[i]);
    }
    EXPECT_TRUE(slate.name().isEmpty()) << "a legacy slate's text is its PIN, not its name";
    EXPECT_EQ(vote.address(), 0);
    EXPECT_STREQ(rfSlate.metaObject()->className(), "Orvexsystem::Device");
    EXPECT_STREQ(rfVote.metaObject()->className(), "Orvexsystem::TwoPointFourGHzOrvexvote");
    EXPECT_STREQ(pen.metaObject()->className(), "Orvexsystem::PenExpression");
    EXPECT_STREQ(slate.metaObject()->className(), "Orvexsystem::Legacyslate");
}

TEST(Devices, ExpressionSubTypeComesFromTheTopByteOfTheHexId)
{
    auto subTypeOf = [](const QByteArray &hexId) {
        return TwoPointFourGHzOrvexexpression(nullptr, 1, 1, QString(), hexId).subType();
    };
    EXPECT_EQ(subTypeOf("0C1234560001"), Device::SubType_Expression0C);
    EXPECT_EQ(subTypeOf("0c1234560001"), Device::SubType_Expression0C);
    EXPECT_EQ(subTypeOf("0B1234560001"), Device::SubType_Expression);
    EXPECT_EQ(subTypeOf("121234560001"), Device::SubType_Expression);
    EXPECT_EQ(subTypeOf("C"), Device::SubType_Expression);
    EXPECT_EQ(subTypeOf(" C"), Device::SubType_Expression);
    EXPECT_EQ(subTypeOf(""), Device::SubType_Expression);
    EXPECT_EQ(PenExpression(nullptr, 1, 1, QString(), "0C1234560001").subType(),
              Device::SubType_None);
    EXPECT_EQ(LegacyOrvexvote(nullptr, 1).subType(), Device::SubType_None);
}
