#ifndef ORVEX_TESTS_VIRTUAL_RESPONSESERVERFAKE_H
#define ORVEX_TESTS_VIRTUAL_RESPONSESERVERFAKE_H

// Loopback stand-ins for a response server, each on a thread of its own (the
// link blocks its caller): a scripted TCP server that can answer badly, and
// an announcer that repeats a datagram to 127.0.0.1. Plus a scratch folder
// that holds the link's settings (system scope) and its log.

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QTemporaryDir>
#include <QtNetwork/QHostAddress>

#include <atomic>
#include <deque>
#include <future>
#include <mutex>
#include <ostream>
#include <thread>

// Texts in test failures as text.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace OrvexTest {

// Settings and log of the link in a folder of the test's own.
class LinkScratch
{
public:
    // Points the system-scope settings and XDG_STATE_HOME at a new folder.
    LinkScratch();
    // Writes the "Server" group of the link's settings.
    void writeSettings(const QString &address, int tcpPort, int udpPort);
    // The log's text with each line's time and process prefix removed.
    QString logText() const;

private:
    QTemporaryDir m_dir;
};

// A port on 127.0.0.x that nobody listens on (TCP) or that is free (UDP).
quint16 closedTcpPort(const QHostAddress &address);
quint16 freeUdpPort();

class FakeServer
{
public:
    // A reply to one PIN request: bytes, sent at once or one every dripMs;
    // no bytes: no reply.
    struct Reply
    {
        QByteArray bytes;
        int dripMs = 0;
    };

    explicit FakeServer(const QHostAddress &address = QHostAddress(QStringLiteral("127.0.0.3")));
    ~FakeServer();

    // 0 when it could not listen.
    quint16 port() const { return m_nPort; }
    // Replies to the next PIN requests, in order; afterwards each gets "ABC".
    void script(std::deque<Reply> replies);
    // Closes the current connection, or the next one when none is accepted
    // yet (the client may be connected while still in the backlog).
    void closeConnection() { m_bClose.store(true); }
    QList<QByteArray> requests() const;
    int connections() const { return m_nConnections.load(); }

private:
    void run(QHostAddress address, std::promise<quint16> &listening);

    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bClose{false};
    std::atomic<int> m_nConnections{0};
    quint16 m_nPort = 0;
    mutable std::mutex m_mutex;
    std::deque<Reply> m_replies;
    QList<QByteArray> m_requests;
    std::thread m_thread;
};

class Announcer
{
public:
    // Sends datagram to 127.0.0.1:udpPort every 50 ms until destroyed.
    Announcer(quint16 udpPort, const QByteArray &datagram);
    ~Announcer();

private:
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

} // namespace OrvexTest

#endif
