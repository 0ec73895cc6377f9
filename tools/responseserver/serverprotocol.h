#ifndef ORVEX_RESPONSESERVER_SERVERPROTOCOL_H
#define ORVEX_RESPONSESERVER_SERVERPROTOCOL_H

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>

// The server's end of the response-server protocol, written from the
// protocol tables and sharing no code with the library's end.
//
// Requests end with CR: ":RP" text asks for a registration PIN, ":CS" says
// that a registration ended. A PIN reply is a 4-byte length, least
// significant byte first, and the PIN's three characters ('A' to 'F').
// Announcements are datagrams "Halvern addr<A;B> port<P>".
namespace ResponseServerProtocol {

constexpr char EndOfRequest = 0x0D;
// A request that grows past this without its CR ends the connection.
constexpr int MaxRequestSize = 4096;
constexpr int PinLength = 3;

struct Request
{
    enum Kind { Kind_Pin, Kind_EndRegistration, Kind_Unknown };
    Kind kind = Kind_Unknown;
    // Kind_Pin: the text after ":RP"; Kind_Unknown: the whole request.
    QByteArray text;
};

// What one request (its CR removed) asks for.
Request parseRequest(const QByteArray &request);

// Cuts a connection's byte stream into requests.
class RequestSplitter
{
public:
    // Adds bytes and appends every request they complete to requests.
    // False once a request outgrew MaxRequestSize: the connection is to be
    // dropped, and nothing more is taken from it.
    bool feed(const QByteArray &bytes, QList<Request> &requests);

private:
    QByteArray m_buffer;
    bool m_bOverflowed = false;
};

// A reply: the body's length in four bytes, least significant first, then
// the body.
QByteArray replyFrame(const QByteArray &body);
// "Halvern addr<" addresses joined by ";" "> port<" port ">".
QByteArray announcement(const QStringList &addresses, quint16 tcpPort);
// Three characters, each 'A' to 'F'.
bool isPin(const QString &text);
QString randomPin();

} // namespace ResponseServerProtocol

#endif
