#include "sessions/orvexvotesession.h"

namespace Orvexsystem {

const char *const OrvexvoteSession::cmdVoteB = ":VB";
const char *const OrvexvoteSession::cmdVoteM = ":VM";

OrvexvoteSession::OrvexvoteSession(Hub::Type hubType, Hub::ConnectionType connectionType,
                                   Hub::VotingMode mode, Hub::VoteCallback callback,
                                   void *userData)
    : OrvexSession(hubType, connectionType),
      m_eMode(mode),
      m_pDecoder(decoderFor(hubType, connectionType)),
      m_pfnCallback(callback),
      m_pContext(userData)
{
}

OrvexvoteSession::~OrvexvoteSession() = default;

std::unique_ptr<OrvexvoteResponse> OrvexvoteSession::decoderFor(Hub::Type hubType,
                                                                Hub::ConnectionType connectionType)
{
    if (hubType == Hub::Type_TwoPointFourGHz)
        return std::make_unique<TwoPointFourGHzOrvexvoteResponse>();
    if (hubType == Hub::Type_Legacy && connectionType == Hub::ConnectionType_Usb)
        return std::make_unique<LegacyOrvexvoteResponse>();
    if (hubType == Hub::Type_Legacy && connectionType == Hub::ConnectionType_Serial)
        return std::make_unique<LegacySerialOrvexvoteResponse>();
    return nullptr;
}

QByteArray OrvexvoteSession::startCommand()
{
    switch (m_eMode) {
    case Hub::VotingMode_VB:
        return QByteArray(cmdVoteB) + Hub::chEndOfString;
    case Hub::VotingMode_VM:
        return QByteArray(cmdVoteM) + Hub::chEndOfString;
    }
    return QByteArray(1, Hub::chEndOfString);
}

QByteArray OrvexvoteSession::stopCommand()
{
    // The decoder is not freed here: the packet thread may be using it. It
    // goes with the session object, which the hub replaces under its lock.
    m_bStopped.store(true);
    return OrvexSession::stopCommand();
}

bool OrvexvoteSession::isSessionPacket(const QByteArray &packet)
{
    return m_pDecoder && !m_bStopped.load(std::memory_order_relaxed) && m_pDecoder->isVote(packet);
}

bool OrvexvoteSession::processPacket(const QByteArray &packet)
{
    if (!m_pDecoder)
        return false;
    setVote(m_pDecoder->senderId(packet), OrvexvoteResponse::optionOf(m_pDecoder->voteByte(packet)),
            m_pDecoder->isBatteryLow(packet) ? 1 : 0);
    return true;
}

} // namespace Orvexsystem
