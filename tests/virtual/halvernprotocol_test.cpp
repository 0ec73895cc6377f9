// The response-server protocol without sockets: requests, replies read in
// any split, and announcements honest and hostile.

#include "virtual/halvernprotocol.h"

#include <gtest/gtest.h>

using namespace Orvexsystem::HalvernProtocol;

namespace {

// Feeds bytes in pieces of the given size; answers what the reader left.
QByteArray feedInPieces(ReplyReader &reader, const QByteArray &bytes, int piece)
{
    qsizetype at = 0;
    while (at < bytes.size() && reader.status() == ReplyReader::Status_NeedMore) {
        const qsizetype n = std::min<qsizetype>(piece, bytes.size() - at);
        at += reader.feed(bytes.constData() + at, n);
    }
    return bytes.mid(at);
}

} // namespace

TEST(HalvernProtocol, Requests)
{
    EXPECT_EQ(pinRequest(QStringLiteral("Room4@h:p2:p3:p4")), QByteArray(":RPRoom4@h:p2:p3:p4\r"));
    EXPECT_EQ(pinRequest(QString::fromUtf8("Caf\xC3\xA9")), QByteArray(":RPCaf\xC3\xA9\r"));
    // A CR in the text cannot end the request and start another.
    EXPECT_EQ(pinRequest(QStringLiteral("a\r:CS\rb")), QByteArray(":RPa:CSb\r"));
    EXPECT_EQ(endRegistrationRequest(), QByteArray(":CS\r"));
}

TEST(HalvernProtocol, RepliesInAnySplitAndNothingBeyond)
{
    const QByteArray next("\x03\0\0\0XYZ", 7);
    for (int piece : {1, 2, 3, 100}) {
        ReplyReader pin;
        EXPECT_EQ(feedInPieces(pin, QByteArray("\x03\0\0\0" "7K2", 7) + next, piece), next);
        EXPECT_EQ(pin.status(), ReplyReader::Status_Complete);
        EXPECT_EQ(pin.body(), QByteArray("7K2"));

        ReplyReader two;
        EXPECT_EQ(feedInPieces(two, QByteArray("\x02\0\0\0" "7K", 6) + next, piece), next);
        EXPECT_EQ(two.status(), ReplyReader::Status_Complete);
        EXPECT_EQ(two.body(), QByteArray("7K"));

        ReplyReader empty;
        EXPECT_EQ(feedInPieces(empty, QByteArray(4, '\0') + next, piece), next);
        EXPECT_EQ(empty.status(), ReplyReader::Status_Complete);
        EXPECT_TRUE(empty.body().isEmpty());
    }
    ReplyReader partial;
    feedInPieces(partial, QByteArray("\x03\0\0", 3), 1);
    EXPECT_EQ(partial.status(), ReplyReader::Status_NeedMore);
    EXPECT_EQ(partial.missing(), 1);
}

TEST(HalvernProtocol, LengthsBeyondAPinAreRefusedUnread)
{
    for (const QByteArray &length :
         {QByteArray("\x04\0\0\0", 4), QByteArray("\xFF\xFF\xFF\xFF", 4),
          QByteArray("\0\0\0\x01", 4)}) {
        ReplyReader reader;
        const QByteArray body(64, 'x');
        EXPECT_EQ(feedInPieces(reader, length + body, 1), body);
        EXPECT_EQ(reader.status(), ReplyReader::Status_TooLong);
        EXPECT_EQ(reader.missing(), 0);
        EXPECT_EQ(reader.feed(body.constData(), body.size()), 0);
        EXPECT_TRUE(reader.body().isEmpty());
    }
}

TEST(HalvernProtocol, AnnouncementMatches)
{
    const Announcement two = parseAnnouncement(
        "junk\nHalvern addr<192.0.2.7;192.0.2.8> port<9000> trailing\0bytes");
    EXPECT_TRUE(two.matched);
    EXPECT_EQ(two.port, 9000);
    EXPECT_EQ(two.addresses, (QList<QHostAddress>{QHostAddress(QStringLiteral("192.0.2.7")),
                                                  QHostAddress(QStringLiteral("192.0.2.8"))}));

    // Empty and unparsable parts are kept, as null addresses.
    const Announcement odd = parseAnnouncement("Halvern addr<;nonsense;::1> port<00080>");
    EXPECT_TRUE(odd.matched);
    EXPECT_EQ(odd.port, 80);
    ASSERT_EQ(odd.addresses.size(), 3);
    EXPECT_TRUE(odd.addresses[0].isNull());
    EXPECT_TRUE(odd.addresses[1].isNull());
    EXPECT_EQ(odd.addresses[2].protocol(), QAbstractSocket::IPv6Protocol);

    const Announcement none = parseAnnouncement("Halvern addr<> port<9000>");
    EXPECT_TRUE(none.matched);
    ASSERT_EQ(none.addresses.size(), 1);
    EXPECT_TRUE(none.addresses[0].isNull());
}

TEST(HalvernProtocol, AnnouncementMismatches)
{
    for (const QByteArray &datagram :
         {QByteArray("addr<192.0.2.7> port<9000>"), QByteArray("halvern addr<192.0.2.7> port<9000>"),
          QByteArray("Halvern addr<192.0.2.7> port<>"), QByteArray("Halvern addr<192.0.2.7> port<0>"),
          QByteArray("Halvern addr<192.0.2.7> port<65536>"),
          QByteArray("Halvern addr<192.0.2.7> port<99999999999999999999>"), QByteArray()})
        EXPECT_FALSE(parseAnnouncement(datagram).matched) << datagram.constData();

    // Only the first MaxDatagramSize bytes count.
    const QByteArray tail = "Halvern addr<192.0.2.7> port<9000>";
    EXPECT_TRUE(parseAnnouncement(QByteArray(MaxDatagramSize - tail.size(), ' ') + tail).matched);
    EXPECT_FALSE(parseAnnouncement(QByteArray(MaxDatagramSize - tail.size() + 1, ' ') + tail).matched);

    // Hundreds of parts in a huge datagram: the list is bounded by the
    // bytes read.
    QByteArray many = "Halvern addr<";
    for (int i = 0; i < 5000; ++i)
        many += "1;";
    many += "> port<1>";
    EXPECT_FALSE(parseAnnouncement(many).matched);
    const Announcement cut = parseAnnouncement(many.left(MaxDatagramSize - 10) + "> port<1>");
    EXPECT_TRUE(cut.matched);
    EXPECT_LE(cut.addresses.size(), MaxDatagramSize / 2);
}
