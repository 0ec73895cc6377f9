#include "virtual/halvernprotocol.h"

#include <QtCore/QRegularExpression>

#include <algorithm>

namespace Orvexsystem {
namespace HalvernProtocol {

QByteArray pinRequest(const QString &text)
{
    QByteArray request = QByteArrayLiteral(":RP");
    QByteArray body = text.toUtf8();
    body.replace(EndOfRequest, QByteArray());
    request += body;
    request += EndOfRequest;
    return request;
}

QByteArray endRegistrationRequest()
{
    return QByteArrayLiteral(":CS\r");
}

int ReplyReader::missing() const
{
    if (m_eStatus != Status_NeedMore)
        return 0;
    if (m_nLengthBytes < LengthFieldSize)
        return LengthFieldSize - m_nLengthBytes;
    return int(m_nLength) - int(m_body.size());
}

qsizetype ReplyReader::feed(const char *data, qsizetype size)
{
    qsizetype taken = 0;
    while (taken < size && m_eStatus == Status_NeedMore) {
        if (m_nLengthBytes < LengthFieldSize) {
            m_nLength |= quint32(quint8(data[taken++])) << (8 * m_nLengthBytes);
            if (++m_nLengthBytes < LengthFieldSize)
                continue;
            if (m_nLength > quint32(MaxReplyLength))
                m_eStatus = Status_TooLong;
            else if (m_nLength == 0)
                m_eStatus = Status_Complete;
            continue;
        }
        const qsizetype n = std::min<qsizetype>(size - taken, missing());
        m_body.append(data + taken, n);
        taken += n;
        if (missing() == 0)
            m_eStatus = Status_Complete;
    }
    return taken;
}

Announcement parseAnnouncement(const QByteArray &datagram)
{
    // "." also matches line ends here, as the datagram is one text.
    const QRegularExpression pattern(QStringLiteral("Halvern addr<(.*)> port<(\\d+)>"),
                                     QRegularExpression::DotMatchesEverythingOption);
    Announcement announcement;
    const QString text = QString::fromLatin1(datagram.left(MaxDatagramSize));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return announcement;
    bool ok = false;
    const int port = match.capturedView(2).toInt(&ok);
    if (!ok || port < 1 || port > 0xFFFF)
        return announcement;
    announcement.matched = true;
    announcement.port = port;
    for (const QString &part : match.captured(1).split(QLatin1Char(';')))
        announcement.addresses.append(QHostAddress(part));
    return announcement;
}

} // namespace HalvernProtocol
} // namespace Orvexsystem
