#include "sessions/orvexsession.h"

namespace Orvexsystem {

const char *const OrvexSession::cmdVoteEnd = ":VE";

OrvexSession::OrvexSession(Hub::Type hubType, Hub::ConnectionType connectionType)
    : QObject(nullptr), m_eHubType(hubType), m_eConnectionType(connectionType)
{
}

OrvexSession::~OrvexSession() = default;

QByteArray OrvexSession::stopCommand()
{
    return QByteArray(cmdVoteEnd) + Hub::chEndOfString;
}

void OrvexSession::setVote(unsigned int senderId, int vote, int batteryLow)
{
    m_bHasVote = true;
    m_nSenderId = senderId;
    m_nVote = vote;
    m_nBatteryLow = batteryLow;
}

} // namespace Orvexsystem
