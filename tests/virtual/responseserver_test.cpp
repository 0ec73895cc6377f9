// The development response server: its request splitting (bounds are
// fuzzed), and a link that gets a PIN from it end to end over loopback.

#include "responseserverfake.h"
#include "support/wait.h"

#include "responseserver.h"
#include "virtual/halvernserver_helper.h"

#include <gtest/gtest.h>

#include <thread>

using namespace Orvexsystem;
using namespace OrvexTest;
using namespace ResponseServerProtocol;

TEST(ResponseServerProtocol, SplitsRequests)
{
    RequestSplitter splitter;
    QList<Request> requests;
    EXPECT_TRUE(splitter.feed(":RPRoom", requests));
    EXPECT_TRUE(splitter.feed("4\r\n:CS\r:XX\r:R", requests));
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[0].kind, Request::Kind_Pin);
    EXPECT_EQ(requests[0].text, QByteArray("Room4"));
    EXPECT_EQ(requests[1].kind, Request::Kind_EndRegistration);
    EXPECT_EQ(requests[2].kind, Request::Kind_Unknown);
    EXPECT_EQ(replyFrame("CAB"), QByteArray("\x03\0\0\0" "CAB", 7));
    EXPECT_TRUE(isPin(randomPin()));
}

TEST(ResponseServer, ServesALinkEndToEnd)
{
    LinkScratch scratch;
    const quint16 udpPort = freeUdpPort();
    const QHostAddress address(QStringLiteral("127.0.0.3"));
    scratch.writeSettings(QStringLiteral("127.0.0.2"), closedTcpPort(address), udpPort);

    ResponseServer::Options options;
    options.listenAddress = address;
    options.tcpPort = 0;
    options.udpPort = udpPort;
    options.intervalMs = 50;
    options.pin = QStringLiteral("CAB");
    ResponseServer server(options);
    QStringList reports;
    QObject::connect(&server, &ResponseServer::report, [&](const QString &line) { reports << line; });
    QString error;
    ASSERT_TRUE(server.start(&error)) << qPrintable(error);

    // The server runs on this thread's events, the link's caller beside it.
    bool ok = false;
    QString pin;
    std::atomic<bool> done{false};
    std::thread host([&] {
        halvernserver_helper link;
        ok = link.requestPin(pin, QString::fromUtf8("Caf\xC3\xA9@host:2:3:4"));
        link.endRegistration(QString());
        done.store(true);
    });
    EXPECT_TRUE(waitFor([&] { return done.load() && reports.contains("registration ended"); }));
    host.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(pin, QStringLiteral("CAB"));
    EXPECT_TRUE(reports.contains(QString::fromUtf8("PIN request \"Caf\xC3\xA9@host:2:3:4\": CAB")));
}
