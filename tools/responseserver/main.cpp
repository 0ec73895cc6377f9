// orvexresponseserver: a response server for development. It hands out
// registration PINs, takes registration-end notices and announces itself, so
// that a virtual hub can be run end to end on one machine.

#include "responseserver.h"

#include <QtCore/QCommandLineParser>
#include <QtCore/QCoreApplication>
#include <QtCore/QTextStream>

#include <cstdio>

namespace {

bool parsePort(const QString &text, bool allowZero, quint16 &port)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < (allowZero ? 0 : 1) || value > 0xFFFF)
        return false;
    port = quint16(value);
    return true;
}

int fail(const QString &message)
{
    QTextStream(stderr) << "orvexresponseserver: " << message << '\n';
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvexresponseserver"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVEX_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A response server for development: hands out registration PINs to virtual\n"
        "hubs, takes their registration-end notices, and announces itself by datagram.\n"
        "\n"
        "Requests (TCP, each ending with CR): \":RP\" text asks for a PIN, answered by a\n"
        "4-byte length (least significant byte first) and three characters A-F;\n"
        "\":CS\" says that a registration ended and has no answer. Announcement\n"
        "(UDP): \"Halvern addr<ADDRESSES> port<TCP-PORT>\".\n"
        "\n"
        "The library finds the server by its announcement on UDP port 8080, else at\n"
        "the address and port in the [Server] group of the system-wide settings\n"
        "Veltrane/halvernserver.ini (on Linux /etc/xdg/Veltrane/halvernserver.ini):\n"
        "address, use_tcp_port, use_udp_port."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption listen(
        QStringLiteral("listen"),
        QStringLiteral("Address to listen on; 0.0.0.0 for every address (default 127.0.0.1)."),
        QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption tcpPort(
        QStringLiteral("tcp-port"),
        QStringLiteral("TCP port to listen on; 0 for any free port (default 8080)."),
        QStringLiteral("port"), QStringLiteral("8080"));
    const QCommandLineOption udpPort(
        QStringLiteral("udp-port"),
        QStringLiteral("UDP port the announcements go to (default 8080)."), QStringLiteral("port"),
        QStringLiteral("8080"));
    const QCommandLineOption interval(
        QStringLiteral("interval"),
        QStringLiteral("Milliseconds between announcements; 0 for none (default 1000)."),
        QStringLiteral("ms"), QStringLiteral("1000"));
    const QCommandLineOption broadcast(
        QStringLiteral("broadcast"),
        QStringLiteral("Announce to the whole network (255.255.255.255) instead of "
                       "to 127.0.0.1 only."));
    const QCommandLineOption announce(
        QStringLiteral("announce"),
        QStringLiteral("Addresses to announce, separated by ';' (default: the listening "
                       "address; with 0.0.0.0, 127.0.0.1, or the machine's addresses when "
                       "broadcasting)."),
        QStringLiteral("addresses"));
    const QCommandLineOption pin(
        QStringLiteral("pin"),
        QStringLiteral("Hand out this PIN every time (three characters A-F) instead "
                       "of a random one."),
        QStringLiteral("PIN"));
    const QCommandLineOption print(QStringList{QStringLiteral("p"), QStringLiteral("print")},
                                   QStringLiteral("Print every connection, request and answer."));
    parser.addOptions({listen, tcpPort, udpPort, interval, broadcast, announce, pin, print});
    parser.process(app);

    ResponseServer::Options options;
    if (!options.listenAddress.setAddress(parser.value(listen)))
        return fail(QStringLiteral("not an address: %1").arg(parser.value(listen)));
    if (!parsePort(parser.value(tcpPort), true, options.tcpPort))
        return fail(QStringLiteral("not a TCP port: %1").arg(parser.value(tcpPort)));
    if (!parsePort(parser.value(udpPort), false, options.udpPort))
        return fail(QStringLiteral("not a UDP port: %1").arg(parser.value(udpPort)));
    bool ok = false;
    options.intervalMs = parser.value(interval).toInt(&ok);
    if (!ok || options.intervalMs < 0)
        return fail(QStringLiteral("not an interval: %1").arg(parser.value(interval)));
    options.broadcast = parser.isSet(broadcast);
    if (parser.isSet(announce))
        options.announcedAddresses = parser.value(announce).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    options.pin = parser.value(pin).toUpper();

    ResponseServer server(options);
    QTextStream out(stdout);
    if (parser.isSet(print))
        QObject::connect(&server, &ResponseServer::report, [&out](const QString &line) {
            out << line << Qt::endl;
        });
    QString error;
    if (!server.start(&error))
        return fail(error);
    out << "listening on " << options.listenAddress.toString() << ':' << server.tcpPort();
    if (options.intervalMs > 0)
        out << "; announcing " << server.announcementDatagram() << " to "
            << (options.broadcast ? "255.255.255.255" : "127.0.0.1") << ':' << options.udpPort
            << " every " << options.intervalMs << " ms";
    out << Qt::endl;
    return app.exec();
}
