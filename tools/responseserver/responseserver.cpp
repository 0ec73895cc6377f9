#include "responseserver.h"

#include <QtNetwork/QNetworkInterface>
#include <QtNetwork/QNetworkProxy>
#include <QtNetwork/QTcpSocket>

using namespace ResponseServerProtocol;

namespace {
QString peerName(const QTcpSocket *socket)
{
    return socket->peerAddress().toString() + QLatin1Char(':')
           + QString::number(socket->peerPort());
}

// Request text (UTF-8) as it may go to a terminal: control characters as
// \xNN.
QString printable(const QByteArray &bytes)
{
    QString text;
    for (const QChar c : QString::fromUtf8(bytes)) {
        if (c.category() == QChar::Other_Control)
            text.append(QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0')));
        else
            text.append(c);
    }
    return text;
}
} // namespace

ResponseServer::ResponseServer(const Options &options, QObject *parent)
    : QObject(parent), m_options(options)
{
    // Serves and announces on the local network only: no proxy.
    m_server.setProxy(QNetworkProxy::NoProxy);
    m_udp.setProxy(QNetworkProxy::NoProxy);
    connect(&m_server, &QTcpServer::newConnection, this, &ResponseServer::onNewConnection);
    connect(&m_timer, &QTimer::timeout, this, &ResponseServer::announce);
}

ResponseServer::~ResponseServer()
{
    // Closed before the map goes, so that no socket reports into it.
    for (QTcpSocket *socket : m_connections.keys()) {
        socket->disconnect(this);
        delete socket;
    }
}

bool ResponseServer::start(QString *error)
{
    if (!m_options.pin.isEmpty() && !isPin(m_options.pin)) {
        *error = QStringLiteral("a PIN is three characters from A to F");
        return false;
    }
    if (!m_server.listen(m_options.listenAddress, m_options.tcpPort)) {
        *error = m_server.errorString();
        return false;
    }
    m_announcement = announcement(addressesToAnnounce(), m_server.serverPort());
    if (m_options.intervalMs > 0) {
        announce();
        m_timer.start(m_options.intervalMs);
    }
    return true;
}

quint16 ResponseServer::tcpPort() const
{
    return m_server.serverPort();
}

QStringList ResponseServer::addressesToAnnounce() const
{
    if (!m_options.announcedAddresses.isEmpty())
        return m_options.announcedAddresses;
    const QHostAddress listen = m_options.listenAddress;
    if (listen != QHostAddress::Any && listen != QHostAddress::AnyIPv4)
        return {listen.toString()};
    QStringList addresses;
    if (m_options.broadcast) {
        for (const QHostAddress &address : QNetworkInterface::allAddresses())
            if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
                addresses.append(address.toString());
    }
    if (addresses.isEmpty())
        addresses.append(QStringLiteral("127.0.0.1"));
    return addresses;
}

void ResponseServer::announce()
{
    const QHostAddress to = m_options.broadcast ? QHostAddress(QHostAddress::Broadcast)
                                                : QHostAddress(QHostAddress::LocalHost);
    m_udp.writeDatagram(m_announcement, to, m_options.udpPort);
}

void ResponseServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        if (m_connections.size() >= MaxConnections) {
            Q_EMIT report(QStringLiteral("refused %1: too many connections").arg(peerName(socket)));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        Q_EMIT report(QStringLiteral("connection from %1").arg(peerName(socket)));
        m_connections.insert(socket, RequestSplitter());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            Q_EMIT report(QStringLiteral("connection closed"));
            m_connections.remove(socket);
            socket->deleteLater();
        });
    }
}

void ResponseServer::onReadyRead(QTcpSocket *socket)
{
    auto it = m_connections.find(socket);
    if (it == m_connections.end())
        return;
    QList<Request> requests;
    const bool ok = it->feed(socket->readAll(), requests);
    for (const Request &request : std::as_const(requests)) {
        switch (request.kind) {
        case Request::Kind_Pin: {
            const QString pin = m_options.pin.isEmpty() ? randomPin() : m_options.pin;
            socket->write(replyFrame(pin.toLatin1()));
            Q_EMIT report(QStringLiteral("PIN request \"%1\": %2")
                              .arg(printable(request.text), pin));
            break;
        }
        case Request::Kind_EndRegistration:
            Q_EMIT report(QStringLiteral("registration ended"));
            break;
        case Request::Kind_Unknown:
            Q_EMIT report(QStringLiteral("unknown request \"%1\"")
                              .arg(printable(request.text.left(80))));
            break;
        }
    }
    if (!ok) {
        Q_EMIT report(QStringLiteral("request too long: connection dropped"));
        // disconnected() removes and deletes the socket.
        socket->abort();
    }
}
