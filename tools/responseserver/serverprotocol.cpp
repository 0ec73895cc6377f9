#include "serverprotocol.h"

#include <QtCore/QRandomGenerator>

namespace ResponseServerProtocol {

Request parseRequest(const QByteArray &request)
{
    Request parsed;
    if (request.startsWith(":RP")) {
        parsed.kind = Request::Kind_Pin;
        parsed.text = request.mid(3);
    } else if (request == ":CS") {
        parsed.kind = Request::Kind_EndRegistration;
    } else {
        parsed.text = request;
    }
    return parsed;
}

bool RequestSplitter::feed(const QByteArray &bytes, QList<Request> &requests)
{
    if (m_bOverflowed)
        return false;
    m_buffer += bytes;
    qsizetype start = 0;
    for (;;) {
        // A client that ends its requests with CR LF leaves the LF at the
        // start of the next one.
        while (start < m_buffer.size() && m_buffer.at(start) == '\n')
            ++start;
        const qsizetype end = m_buffer.indexOf(EndOfRequest, start);
        if (end < 0)
            break;
        if (end - start > MaxRequestSize) {
            m_bOverflowed = true;
            break;
        }
        requests.append(parseRequest(m_buffer.mid(start, end - start)));
        start = end + 1;
    }
    m_buffer.remove(0, start);
    if (m_buffer.size() > MaxRequestSize)
        m_bOverflowed = true;
    if (m_bOverflowed)
        m_buffer.clear();
    return !m_bOverflowed;
}

QByteArray replyFrame(const QByteArray &body)
{
    QByteArray frame;
    const quint32 n = quint32(body.size());
    for (int i = 0; i < 4; ++i)
        frame.append(char((n >> (8 * i)) & 0xFF));
    return frame + body;
}

QByteArray announcement(const QStringList &addresses, quint16 tcpPort)
{
    return "Halvern addr<" + addresses.join(QLatin1Char(';')).toLatin1() + "> port<"
           + QByteArray::number(tcpPort) + ">";
}

bool isPin(const QString &text)
{
    if (text.size() != PinLength)
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('A') || c > QLatin1Char('F'))
            return false;
    return true;
}

QString randomPin()
{
    QString pin;
    for (int i = 0; i < PinLength; ++i)
        pin.append(QChar(u'A' + QRandomGenerator::global()->bounded(6)));
    return pin;
}

} // namespace ResponseServerProtocol
