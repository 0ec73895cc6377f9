// The development response server: its request splitting, and a link that
// gets PINs from it end to end over loopback.

#include "responseserverfake.h"
#include "support/wait.h"

#include "responseserver.h"
#include "virtual/halvernserver_helper.h"

#include <gtest/gtest.h>

#include <QtCore/QAbstractEventDispatcher>
#include <QtCore/QEventLoop>

using namespace Orvexsystem;
using namespace OrvexTest;
using namespace ResponseServerProtocol;

TEST(ResponseServerProtocol, SplitsRequestsAndBoundsThem)
{
    RequestSplitter splitter;
    QList<Request> requests;
    EXPECT_TRUE(splitter.feed(":RPRoom", requests));
    EXPECT_TRUE(requests.isEmpty());
    EXPECT_TRUE(splitter.feed("4\r\n:CS\r:XX\r:R", requests));
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[0].kind, Request::Kind_Pin);
    EXPECT_EQ(requests[0].text, QByteArray("Room4"));
    EXPECT_EQ(requests[1].kind, Request::Kind_EndRegistration);
    EXPECT_EQ(requests[2].kind, Request::Kind_Unknown);
    EXPECT_EQ(requests[2].text, QByteArray(":XX"));

    // A request that never ends: the connection is to go, and nothing more
    // is taken from it.
    requests.clear();
    EXPECT_FALSE(splitter.feed(QByteArray(MaxRequestSize, 'x'), requests));
    EXPECT_FALSE(splitter.feed(":CS\r", requests));
    EXPECT_TRUE(requests.isEmpty());

    EXPECT_EQ(replyFrame("CAB"), QByteArray("\x03\0\0\0" "CAB", 7));
    for (int i = 0; i < 50; ++i)
        EXPECT_TRUE(isPin(randomPin()));
    EXPECT_FALSE(isPin(QStringLiteral("ABG")));
    EXPECT_FALSE(isPin(QStringLiteral("AB")));
}

TEST(ResponseServer, ServesALinkEndToEnd)
{
    LinkScratch scratch;
    const quint16 udpPort = freeUdpPort();
    const QHostAddress address(QStringLiteral("127.0.0.3"));
    scratch.writeSettings(QStringLiteral("127.0.0.2"), closedTcpPort(address), udpPort);

    std::mutex mutex;
    std::condition_variable started;
    QStringList reports;
    QAbstractEventDispatcher *dispatcher = nullptr;
    std::atomic<bool> stop{false};
    std::thread thread([&] {
        QEventLoop loop;
        ResponseServer::Options options;
        options.listenAddress = address;
        options.tcpPort = 0;
        options.udpPort = udpPort;
        options.intervalMs = 50;
        options.pin = QStringLiteral("CAB");
        ResponseServer server(options);
        QObject::connect(&server, &ResponseServer::report, [&](const QString &line) {
            std::lock_guard<std::mutex> lock(mutex);
            reports.append(line);
        });
        QString error;
        EXPECT_TRUE(server.start(&error)) << qPrintable(error);
        {
            std::lock_guard<std::mutex> lock(mutex);
            dispatcher = QAbstractEventDispatcher::instance();
        }
        started.notify_all();
        while (!stop.load())
            loop.processEvents(QEventLoop::WaitForMoreEvents);
    });
    {
        std::unique_lock<std::mutex> lock(mutex);
        started.wait(lock, [&] { return dispatcher != nullptr; });
    }

    {
        halvernserver_helper link;
        QString pin;
        EXPECT_TRUE(link.requestPin(pin, QString::fromUtf8("Caf\xC3\xA9@host:2:3:4")));
        EXPECT_EQ(pin, QStringLiteral("CAB"));
        link.endRegistration(QString());
        EXPECT_TRUE(waitFor([&] {
            std::lock_guard<std::mutex> lock(mutex);
            return reports.contains(QStringLiteral("registration ended"));
        }));
    }
    stop.store(true);
    dispatcher->wakeUp();
    thread.join();
    EXPECT_TRUE(reports.contains(QString::fromUtf8("PIN request \"Caf\xC3\xA9@host:2:3:4\": CAB")))
        << qPrintable(reports.join('\n'));
}
