#include "responseserverfake.h"

#include <QtCore/QFile>
#include <QtCore/QRegularExpression>
#include <QtCore/QSettings>
#include <QtNetwork/QNetworkProxy>
#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>
#include <QtNetwork/QUdpSocket>

#include <chrono>

namespace OrvexTest {

LinkScratch::LinkScratch()
{
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, m_dir.path());
    qputenv("XDG_STATE_HOME", m_dir.path().toLocal8Bit());
}

void LinkScratch::writeSettings(const QString &address, int tcpPort, int udpPort)
{
    QSettings settings(QSettings::IniFormat, QSettings::SystemScope, QStringLiteral("Veltrane"),
                       QStringLiteral("halvernserver"));
    settings.beginGroup(QStringLiteral("Server"));
    settings.setValue(QStringLiteral("address"), address);
    settings.setValue(QStringLiteral("use_tcp_port"), tcpPort);
    settings.setValue(QStringLiteral("use_udp_port"), udpPort);
}

QString LinkScratch::logText() const
{
    QFile file(m_dir.path() + QStringLiteral("/orvexsystem1/orvexlog.log"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    static const QRegularExpression prefix(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} \\[\\d+\\] "),
        QRegularExpression::MultilineOption);
    return QString::fromUtf8(file.readAll()).remove(prefix);
}

quint16 closedTcpPort(const QHostAddress &address)
{
    QTcpServer server;
    server.setProxy(QNetworkProxy::NoProxy);
    server.listen(address, 0);
    return server.serverPort();
}

quint16 freeUdpPort()
{
    QUdpSocket socket;
    socket.setProxy(QNetworkProxy::NoProxy);
    socket.bind(QHostAddress::AnyIPv4, 0);
    return socket.localPort();
}

FakeServer::FakeServer(const QHostAddress &address)
{
    std::promise<quint16> listening;
    std::future<quint16> port = listening.get_future();
    m_thread = std::thread([this, address, listening = std::move(listening)]() mutable {
        run(address, listening);
    });
    m_nPort = port.get();
}

FakeServer::~FakeServer()
{
    m_bStop.store(true);
    m_thread.join();
}

void FakeServer::script(std::deque<Reply> replies)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_replies = std::move(replies);
}

QList<QByteArray> FakeServer::requests() const
{
    // A deep copy: a list sharing data with the server thread's list would
    // be released here without an order the thread sanitizer can see.
    std::lock_guard<std::mutex> lock(m_mutex);
    QList<QByteArray> copy;
    for (const QByteArray &r : m_requests)
        copy << QByteArray(r.constData(), r.size());
    return copy;
}

void FakeServer::run(QHostAddress address, std::promise<quint16> &listening)
{
    QTcpServer server;
    server.setProxy(QNetworkProxy::NoProxy);
    server.listen(address, 0);
    listening.set_value(server.serverPort());
    std::unique_ptr<QTcpSocket> connection;
    QByteArray buffer;
    while (!m_bStop.load()) {
        if (!connection) {
            if (server.waitForNewConnection(20)) {
                connection.reset(server.nextPendingConnection());
                m_nConnections.fetch_add(1);
                buffer.clear();
            }
            continue;
        }
        if (m_bClose.exchange(false)) {
            connection->disconnectFromHost();
            connection.reset();
            continue;
        }
        connection->waitForReadyRead(20);
        buffer += connection->readAll();
        if (connection->state() != QAbstractSocket::ConnectedState) {
            connection.reset();
            continue;
        }
        for (qsizetype end; (end = buffer.indexOf('\r')) >= 0;) {
            const QByteArray request = buffer.left(end + 1);
            buffer.remove(0, end + 1);
            Reply reply{QByteArrayLiteral("\x03\0\0\0ABC"), 0};
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_requests.append(request);
                if (!request.startsWith(":RP"))
                    continue;
                if (!m_replies.empty()) {
                    reply = m_replies.front();
                    m_replies.pop_front();
                }
            }
            if (reply.dripMs == 0) {
                connection->write(reply.bytes);
                connection->waitForBytesWritten(1000);
                continue;
            }
            for (char c : std::as_const(reply.bytes)) {
                if (m_bStop.load())
                    break;
                connection->write(&c, 1);
                connection->waitForBytesWritten(1000);
                std::this_thread::sleep_for(std::chrono::milliseconds(reply.dripMs));
            }
        }
    }
}

Announcer::Announcer(quint16 udpPort, const QByteArray &datagram)
{
    m_thread = std::thread([this, udpPort, datagram] {
        QUdpSocket socket;
        socket.setProxy(QNetworkProxy::NoProxy);
        while (!m_bStop.load()) {
            socket.writeDatagram(datagram, QHostAddress::LocalHost, udpPort);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
}

Announcer::~Announcer()
{
    m_bStop.store(true);
    m_thread.join();
}

} // namespace OrvexTest
