// The response-server protocol without sockets. The fuzz targets check the
// reader's and parser's bounds on arbitrary input; these cases pin down the
// meaning.

#include "virtual/halvernprotocol.h"

#include <gtest/gtest.h>

using namespace Orvexsystem::HalvernProtocol;

TEST(HalvernProtocol, Requests)
{
    EXPECT_EQ(pinRequest(QString::fromUtf8("Caf\xC3\xA9@h:2:3:4")), QByteArray(":RPCaf\xC3\xA9@h:2:3:4\r"));
    // A CR in the text cannot end the request and start another.
    EXPECT_EQ(pinRequest(QStringLiteral("a\r:CS\rb")), QByteArray(":RPa:CSb\r"));
    EXPECT_EQ(endRegistrationRequest(), QByteArray(":CS\r"));
}

TEST(HalvernProtocol, RepliesAreTakenWholeAndNoFurther)
{
    const QByteArray next("\x03\0\0\0XYZ", 7);
    for (const QByteArray &reply : {QByteArray("\x03\0\0\0" "7K2", 7), QByteArray("\x02\0\0\0" "7K", 6),
                                    QByteArray(4, '\0')}) {
        for (qsizetype piece : {1, 100}) {
            ReplyReader reader;
            const QByteArray bytes = reply + next;
            qsizetype at = 0;
            while (reader.status() == ReplyReader::Status_NeedMore)
                at += reader.feed(bytes.constData() + at, std::min(piece, bytes.size() - at));
            EXPECT_EQ(reader.status(), ReplyReader::Status_Complete);
            EXPECT_EQ(reader.body(), reply.mid(4));
            EXPECT_EQ(at, reply.size());
        }
    }
    // A length no PIN reply has: refused before its body.
    ReplyReader tooLong;
    EXPECT_EQ(tooLong.feed("\x04\0\0\0" "ABCD", 8), 4);
    EXPECT_EQ(tooLong.status(), ReplyReader::Status_TooLong);
}

TEST(HalvernProtocol, Announcements)
{
    const Announcement two = parseAnnouncement("x\nHalvern addr<192.0.2.7;192.0.2.8> port<9000> y");
    EXPECT_TRUE(two.matched);
    EXPECT_EQ(two.port, 9000);
    EXPECT_EQ(two.addresses, (QList<QHostAddress>{QHostAddress(QStringLiteral("192.0.2.7")),
                                                  QHostAddress(QStringLiteral("192.0.2.8"))}));
    // Empty and unparsable parts are kept as null addresses.
    const Announcement odd = parseAnnouncement("Halvern addr<;nonsense;::1> port<00080>");
    ASSERT_EQ(odd.addresses.size(), 3);
    EXPECT_EQ(odd.port, 80);
    EXPECT_TRUE(odd.addresses[0].isNull() && odd.addresses[1].isNull());
    EXPECT_EQ(parseAnnouncement("Halvern addr<> port<9000>").addresses.size(), 1);

    for (const char *datagram :
         {"addr<192.0.2.7> port<9000>", "halvern addr<192.0.2.7> port<9000>",
          "Halvern addr<192.0.2.7> port<>", "Halvern addr<192.0.2.7> port<0>",
          "Halvern addr<192.0.2.7> port<65536>", "Halvern addr<1> port<99999999999999999999>"})
        EXPECT_FALSE(parseAnnouncement(datagram).matched) << datagram;

    // Only the first MaxDatagramSize bytes count.
    const QByteArray tail = "Halvern addr<192.0.2.7> port<9000>";
    EXPECT_TRUE(parseAnnouncement(QByteArray(MaxDatagramSize - tail.size(), ' ') + tail).matched);
    EXPECT_FALSE(parseAnnouncement(QByteArray(MaxDatagramSize - tail.size() + 1, ' ') + tail).matched);
}
