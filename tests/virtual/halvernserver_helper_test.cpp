// The response-server link against loopback servers: finding the server,
// the bytes exchanged, replies of every shape and speed, the spacing of
// connection attempts, reconnection, and the log.

#include "responseserverfake.h"
#include "support/wait.h"

#include "virtual/halvernserver_helper.h"

#include <gtest/gtest.h>

#include <QtCore/QElapsedTimer>

using namespace Orvexsystem;
using namespace OrvexTest;

namespace {

const QHostAddress serverAddress(QStringLiteral("127.0.0.3"));

class HalvernLink : public ::testing::Test
{
protected:
    void SetUp() override
    {
        udpPort = freeUdpPort();
        // Nothing listens at the configured address unless a test says so.
        scratch.writeSettings(QStringLiteral("127.0.0.2"), closedTcpPort(serverAddress), udpPort);
    }

    // A link on the advanceable clock.
    std::unique_ptr<halvernserver_helper> makeLink()
    {
        auto link = std::make_unique<halvernserver_helper>();
        link->setClock([this] { return clock.load(); });
        return link;
    }

    QByteArray announcement(const QString &addresses, quint16 port) const
    {
        return "Halvern addr<" + addresses.toLatin1() + "> port<" + QByteArray::number(port) + ">";
    }

    LinkScratch scratch;
    quint16 udpPort = 0;
    std::atomic<qint64> clock{1000000};
};

} // namespace

TEST_F(HalvernLink, AnnouncedAddressesAreTriedInTurn)
{
    FakeServer server(serverAddress);
    server.script({{QByteArray("\x03\0\0\0" "7K2", 7)}});
    // 127.0.0.2 refuses; an IPv6 address is skipped without a word.
    Announcer announcer(udpPort, "junk " + announcement(QStringLiteral("127.0.0.2;::1;127.0.0.3"),
                                                       server.port()) + " junk");
    auto link = makeLink();

    QString pin = QStringLiteral("stale");
    ASSERT_TRUE(link->requestPin(pin, QStringLiteral("Room4@h:p2:p3:p4")));
    EXPECT_EQ(pin, QStringLiteral("7K2"));
    EXPECT_TRUE(link->isConnected());
    EXPECT_EQ(link->connectedTo(), QStringLiteral("127.0.0.3:%1").arg(server.port()));

    link->endRegistration(QStringLiteral("not sent"));
    EXPECT_TRUE(link->connectToServer(QString(), 0));
    EXPECT_TRUE(waitFor([&] { return server.requests().size() == 2; }));
    EXPECT_EQ(server.requests(),
              (QList<QByteArray>{":RPRoom4@h:p2:p3:p4\r", ":CS\r"}));
    EXPECT_EQ(server.connections(), 1);
    EXPECT_EQ(scratch.logText(), QStringLiteral("Halvern: not connected 127.0.0.2\n"
                                                "Halvern: connected 127.0.0.3\n"
                                                "Halvern: Already connected.\n"));
}

TEST_F(HalvernLink, MismatchedAnnouncementFallsBackToTheSettings)
{
    FakeServer server(serverAddress);
    scratch.writeSettings(QStringLiteral("127.0.0.3"), server.port(), udpPort);
    Announcer announcer(udpPort, "addr<127.0.0.9>\x01 port<9000>");
    auto link = makeLink();

    QString pin;
    EXPECT_TRUE(link->requestPin(pin, QStringLiteral("x")));
    EXPECT_EQ(pin, QStringLiteral("ABC"));
    EXPECT_EQ(scratch.logText(),
              QStringLiteral("Halvern: Halvern Data found, but incorrect:addr<127.0.0.9>\\x01 "
                             "port<9000>\n"
                             "Halvern: [127.0.0.3] addresses follow:\n127.0.0.3\n"
                             "Halvern: connected 127.0.0.3\n"));
}

TEST_F(HalvernLink, CandidatesAreCapped)
{
    QStringList many;
    for (int i = 1; i <= 12; ++i)
        many << QStringLiteral("127.0.1.%1").arg(i);
    auto link = makeLink();
    {
        Announcer announcer(udpPort, announcement(many.join(';'), closedTcpPort(serverAddress)));
        EXPECT_FALSE(link->connectToServer(QString(), 0));
    }
    EXPECT_EQ(scratch.logText(), QStringLiteral("Halvern: not connected 127.0.1.1\n"
                                                "Halvern: not connected 127.0.1.2\n"
                                                "Halvern: not connected 127.0.1.3\n"
                                                "Halvern: not connected 127.0.1.4\n"
                                                "Halvern: not found\n"));

    // An empty list counts as found, and nothing is tried.
    clock += halvernserver_helper::AttemptSpacingMs;
    Announcer empty(udpPort, announcement(QString(), 9000));
    EXPECT_FALSE(link->connectToServer(QString(), 0));
    EXPECT_TRUE(scratch.logText().endsWith(QStringLiteral("Halvern: not found\nHalvern: not found\n")));
}

TEST_F(HalvernLink, AttemptsAreSpacedOnTheClock)
{
    FakeServer server(serverAddress);
    const quint16 closed = closedTcpPort(serverAddress);
    auto link = makeLink();
    EXPECT_FALSE(link->connectToServer(QStringLiteral("127.0.0.3"), closed));
    clock += halvernserver_helper::AttemptSpacingMs - 1;
    EXPECT_FALSE(link->connectToServer(QStringLiteral("127.0.0.3"), server.port()));
    EXPECT_EQ(server.connections(), 0);
    clock += 1;
    EXPECT_TRUE(link->connectToServer(QStringLiteral("127.0.0.3"), server.port()));
    EXPECT_EQ(scratch.logText(), QStringLiteral("Halvern: [127.0.0.3] addresses follow:\n127.0.0.3\n"
                                                "Halvern: not connected 127.0.0.3\n"
                                                "Halvern: not found\n"
                                                "Halvern: too early.\n"
                                                "Halvern: [127.0.0.3] addresses follow:\n127.0.0.3\n"
                                                "Halvern: connected 127.0.0.3\n"));
}

TEST_F(HalvernLink, ReconnectsAfterTheServerCloses)
{
    FakeServer server(serverAddress);
    auto link = makeLink();
    ASSERT_TRUE(link->connectToServer(QStringLiteral("127.0.0.3"), server.port()));
    server.closeConnection();
    // Noticed while idle.
    EXPECT_TRUE(waitFor([&] { return !link->isConnected(); }));
    EXPECT_TRUE(link->connectedTo().isEmpty());

    // The address and port given before are kept for later attempts; no
    // announcement comes, so the request falls back to them.
    clock += halvernserver_helper::AttemptSpacingMs;
    QString pin;
    EXPECT_TRUE(link->requestPin(pin, QStringLiteral("again")));
    EXPECT_EQ(pin, QStringLiteral("ABC"));
    EXPECT_EQ(server.connections(), 2);
    EXPECT_TRUE(scratch.logText().contains(
        QStringLiteral("Halvern: broadcaster did not receive anything\n")));
}

TEST_F(HalvernLink, OnlyAWholePinReplyToTheRequestCounts)
{
    FakeServer server(serverAddress);
    // The first reply brings a second one that no request asked for.
    server.script({{QByteArray("\x03\0\0\0" "FED" "\x03\0\0\0" "XYZ", 14)},
                   {QByteArray("\x02\0\0\0" "7K", 6)},
                   {QByteArray(4, '\0')},
                   {QByteArray("\x04\0\0\0" "ABCD", 8)},
                   {QByteArray("\xFF\xFF\xFF\x7F" "ABC", 7)}});
    auto link = makeLink();
    ASSERT_TRUE(link->connectToServer(QStringLiteral("127.0.0.3"), server.port()));
    QString pin;
    EXPECT_TRUE(link->requestPin(pin, QStringLiteral("0")));
    EXPECT_EQ(pin, QStringLiteral("FED"));
    // Whole replies of the wrong length: refused, the connection stays.
    EXPECT_FALSE(link->requestPin(pin, QStringLiteral("a")));
    EXPECT_TRUE(pin.isEmpty());
    EXPECT_FALSE(link->requestPin(pin, QStringLiteral("b")));
    EXPECT_TRUE(link->isConnected());
    // Lengths no PIN reply has: refused at once, and the connection, whose
    // stream is out of step now, is dropped.
    for (int i = 0; i < 2; ++i) {
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(link->requestPin(pin, QStringLiteral("c")));
        EXPECT_LT(timer.elapsed(), halvernserver_helper::ReplyWaitMs);
        EXPECT_FALSE(link->isConnected());
        clock += halvernserver_helper::AttemptSpacingMs;
        ASSERT_TRUE(link->connectToServer(QStringLiteral("127.0.0.3"), server.port()));
    }
    EXPECT_TRUE(link->requestPin(pin, QStringLiteral("e")));
    EXPECT_EQ(pin, QStringLiteral("ABC"));
}

// A reply that never comes, stops inside its length, or drips in slower
// than one deadline: false within that deadline, and the connection, which
// a late reply would put out of step, is dropped.
class HalvernSlowReply : public HalvernLink
{
protected:
    void expectEndAtOneDeadline(const FakeServer::Reply &reply)
    {
        FakeServer server(serverAddress);
        server.script({reply});
        auto link = makeLink();
        ASSERT_TRUE(link->connectToServer(QStringLiteral("127.0.0.3"), server.port()));
        QElapsedTimer timer;
        timer.start();
        QString pin;
        EXPECT_FALSE(link->requestPin(pin, QStringLiteral("slow")));
        EXPECT_LT(timer.elapsed(), halvernserver_helper::ReplyWaitMs + 1500);
        EXPECT_FALSE(link->isConnected());
        EXPECT_EQ(scratch.logText().endsWith(QStringLiteral(
                      "Halvern: Read from Halvern server: no data after 3 secs\n")),
                  reply.bytes.isEmpty());
    }
};

TEST_F(HalvernSlowReply, Silent)
{
    expectEndAtOneDeadline({QByteArray(), 0});
}

TEST_F(HalvernSlowReply, ShortLength)
{
    expectEndAtOneDeadline({QByteArray("\x03\0", 2), 0});
}

TEST_F(HalvernSlowReply, Dripping)
{
    // 3.6 s in all, each byte well inside 3 s of the last.
    expectEndAtOneDeadline({QByteArray("\x03\0\0\0" "ABC", 7), 600});
}
