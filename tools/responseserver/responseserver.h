#ifndef ORVEX_RESPONSESERVER_RESPONSESERVER_H
#define ORVEX_RESPONSESERVER_RESPONSESERVER_H

#include "serverprotocol.h"

#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtCore/QStringList>
#include <QtCore/QTimer>
#include <QtNetwork/QHostAddress>
#include <QtNetwork/QTcpServer>
#include <QtNetwork/QUdpSocket>

class QTcpSocket;

// A response server for development: answers PIN requests and
// registration-end notices on TCP and announces itself by datagram at a
// steady interval. It lives in the thread that creates it and needs that
// thread's event loop.
class ResponseServer : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        QHostAddress listenAddress{QHostAddress::LocalHost};
        quint16 tcpPort = 8080; // 0: any free port (see tcpPort())
        quint16 udpPort = 8080; // where announcements go
        int intervalMs = 1000;  // 0: no announcements
        bool broadcast = false; // announce to 255.255.255.255, else to 127.0.0.1
        // Announced addresses; empty: the listening address, or, when
        // listening on every address, 127.0.0.1 (or, when broadcasting, the
        // machine's other IPv4 addresses).
        QStringList announcedAddresses;
        QString pin; // handed out every time; empty: a random one each time
    };

    // Connections served at once; more are closed at once.
    static constexpr int MaxConnections = 64;

    explicit ResponseServer(const Options &options, QObject *parent = nullptr);
    ~ResponseServer() override;

    // Listens and starts announcing; false with a reason when it cannot.
    bool start(QString *error);
    quint16 tcpPort() const;
    QByteArray announcementDatagram() const { return m_announcement; }

Q_SIGNALS:
    // One line for each connection, request and answer.
    void report(const QString &line);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void announce();
    QStringList addressesToAnnounce() const;

    Options m_options;
    QTcpServer m_server;
    QUdpSocket m_udp;
    QTimer m_timer;
    QByteArray m_announcement;
    QHash<QTcpSocket *, ResponseServerProtocol::RequestSplitter> m_connections;
};

#endif
