#ifndef ORVEXSYSTEM_VIRTUAL_HALVERNPROTOCOL_H
#define ORVEXSYSTEM_VIRTUAL_HALVERNPROTOCOL_H

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtNetwork/QHostAddress>

// The response server's wire protocol, without sockets: the requests the link
// writes, the replies it reads and the announcement datagrams it listens for.
//
// TCP requests: ":RP" text CR asks for a registration PIN; ":CS" CR says that
// a registration ended and has no reply. A reply is a 4-byte length, least
// significant byte first, then that many bytes; a PIN reply holds exactly
// three bytes.
//
// UDP announcement: text holding "Halvern addr<A;B;...> port<P>" anywhere,
// P the server's TCP port in decimal, A, B... its addresses.
namespace Orvexsystem {
namespace HalvernProtocol {

constexpr char EndOfRequest = 0x0D;
constexpr int LengthFieldSize = 4;
constexpr int PinLength = 3;
// No reply the link waits for is longer: a longer length is refused without
// reading (or waiting for) its body.
constexpr int MaxReplyLength = PinLength;
// Bytes of a datagram that are read; the rest is dropped.
constexpr int MaxDatagramSize = 1023;

// ":RP", the text in UTF-8 and CR. A CR inside the text would end the
// request early and make the rest a request of its own: it is left out.
QByteArray pinRequest(const QString &text);
// ":CS" CR.
QByteArray endRegistrationRequest();

// Reads one reply from bytes handed in as they arrive. It never takes more
// bytes than the reply still needs (missing()), so bytes that follow the
// reply stay where they are, and it never holds more than MaxReplyLength
// bytes.
class ReplyReader
{
public:
    enum Status {
        Status_NeedMore, // the length or the body is incomplete
        Status_Complete, // body() is the whole reply (empty for length 0)
        Status_TooLong   // the length exceeds MaxReplyLength; nothing more is taken
    };

    Status status() const { return m_eStatus; }
    // How many more bytes the reply needs now: the rest of the length field,
    // else the rest of the body; 0 once complete or refused.
    int missing() const;
    // Takes from data the bytes that belong to this reply, no more; answers
    // how many it took.
    qsizetype feed(const char *data, qsizetype size);
    const QByteArray &body() const { return m_body; }
    // The length field's value once all four bytes are in.
    quint32 length() const { return m_nLength; }

private:
    Status m_eStatus = Status_NeedMore;
    int m_nLengthBytes = 0;
    quint32 m_nLength = 0;
    QByteArray m_body;
};

struct Announcement
{
    bool matched = false; // the pattern was found and the port is 1 to 65535
    int port = 0;
    // One entry per ";"-separated part, empty parts included; a part that
    // is no address gives a null address.
    QList<QHostAddress> addresses;
};

// Parses the first MaxDatagramSize bytes of a datagram, read as Latin-1.
// When the pattern occurs more than once, the address list runs to the last
// "> port<digits>" of the datagram, as a greedy match does.
Announcement parseAnnouncement(const QByteArray &datagram);

} // namespace HalvernProtocol
} // namespace Orvexsystem

#endif
