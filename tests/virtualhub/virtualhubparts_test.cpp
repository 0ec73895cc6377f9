// The virtual hub's pieces without a hub: the split of its description and
// its name reply.

#include "virtual/virtualhubdescription.h"

#include <orvexsystem/enhancednameresponse.h>

#include <gtest/gtest.h>

using namespace Orvexsystem;

TEST(VirtualHubDescription, SplitsIntoHostAndThreePartsOrNothing)
{
    struct Case
    {
        const char *description;
        const char *details; // for the hub name "Room4"
    };
    const Case cases[] = {
        {"p0://h:p2:p3:p4", "Room4@h:p2:p3:p4"},
        {"srv://room/server:a:b:c:extra:more", "Room4@roomserver:a:b:c"},
        {"::::", "Room4@:::"},
        {"p0://h:p2:p3", "Room4@:::"},
        {"", "Room4@:::"},
        {"//:", "Room4@:::"},
    };
    for (const Case &c : cases) {
        const VirtualHubDescription parts =
            VirtualHubDescription::parse(QString::fromLatin1(c.description));
        EXPECT_EQ(parts.details(QStringLiteral("Room4")), QString::fromLatin1(c.details))
            << c.description;
    }
    const VirtualHubDescription parts = VirtualHubDescription::parse(QStringLiteral("x://h/:2:3:4"));
    EXPECT_EQ(parts.host, QStringLiteral("h"));
    EXPECT_EQ(parts.part2, QStringLiteral("2"));
    EXPECT_EQ(parts.part4, QStringLiteral("4"));
}

TEST(EnhancedNameResponse, TakesAsManyBytesAsSaidOrAsThereAre)
{
    const QByteArray room4("\x05\xA3Room4", 7);
    EXPECT_TRUE(EnhancedNameResponse::isValid(room4));
    EXPECT_EQ(EnhancedNameResponse(room4).name, QStringLiteral("Room4"));
    EXPECT_EQ(EnhancedNameResponse(QByteArray("\x03\xA3Room4", 7)).name, QStringLiteral("Roo"));
    EXPECT_EQ(EnhancedNameResponse(QByteArray("\xFF\xA3" "ab", 4)).name, QStringLiteral("ab"));
    EXPECT_EQ(EnhancedNameResponse(QByteArray("\x01\xA3\xE9", 3)).name, QStringLiteral("\u00e9"));
    EXPECT_TRUE(EnhancedNameResponse(QByteArray("\x00\xA3", 2)).isValidResponse());
    EXPECT_FALSE(EnhancedNameResponse::isValid(QByteArray("\xA3", 1)));
    EXPECT_FALSE(EnhancedNameResponse::isValid(QByteArray("\x05\xA2Room4", 7)));
    EXPECT_FALSE(EnhancedNameResponse(QByteArray("\x05\xA2Room4", 7)).isValidResponse());
}
