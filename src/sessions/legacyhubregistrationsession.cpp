// The legacy registration façade: each operation takes a lease on the
// current implementation (normal while the hub is attached, error once it is
// gone) and forwards to it.

#include "sessions/legacyhubsessionimpl.h"
#include "sessions/sessionimplslot.h"

namespace Orvexsystem {

namespace {
using Lease = SessionLease<LegacyhubRegistrationSessionImpl>;
}

LegacyhubRegistrationSession::LegacyhubRegistrationSession(
    SessionImplSlot<LegacyhubRegistrationSessionImpl> *impl)
    : QObject(nullptr), m_pImpl(impl)
{
}

LegacyhubRegistrationSession::~LegacyhubRegistrationSession() = default;

bool LegacyhubRegistrationSession::configureHub() const { return Lease(m_pImpl)->configureHub(); }
bool LegacyhubRegistrationSession::clearHub() const { return Lease(m_pImpl)->clearHub(); }
bool LegacyhubRegistrationSession::clearHubOfVotes() const { return Lease(m_pImpl)->clearHubOfVotes(); }
bool LegacyhubRegistrationSession::clearHubOfSlates() const { return Lease(m_pImpl)->clearHubOfSlates(); }

bool LegacyhubRegistrationSession::clearVoteWithID(quint64 id) const
{
    return Lease(m_pImpl)->clearVoteWithID(id);
}

bool LegacyhubRegistrationSession::getListOfRegisteredVotes(QList<DeviceDisplayInfo> &list) const
{
    return Lease(m_pImpl)->getListOfRegisteredVotes(list);
}

bool LegacyhubRegistrationSession::getListOfRegisteredSlates(QList<DeviceDisplayInfo> &list) const
{
    return Lease(m_pImpl)->getListOfRegisteredSlates(list);
}

bool LegacyhubRegistrationSession::startVoteRegistrationSession() const
{
    return Lease(m_pImpl)->startVoteRegistrationSession();
}

bool LegacyhubRegistrationSession::stopVoteRegistrationSession() const
{
    return Lease(m_pImpl)->stopVoteRegistrationSession();
}

bool LegacyhubRegistrationSession::startSlateRegistrationSession() const
{
    return Lease(m_pImpl)->startSlateRegistrationSession();
}

bool LegacyhubRegistrationSession::stopSlateRegistrationSession() const
{
    return Lease(m_pImpl)->stopSlateRegistrationSession();
}

bool LegacyhubRegistrationSession::changeVoteChannel(unsigned char channel) const
{
    return Lease(m_pImpl)->changeVoteChannel(channel);
}

bool LegacyhubRegistrationSession::changeSlateChannel(unsigned char channel) const
{
    return Lease(m_pImpl)->changeSlateChannel(channel);
}

bool LegacyhubRegistrationSession::changeBoardID(unsigned char id) const
{
    return Lease(m_pImpl)->changeBoardID(id);
}

bool LegacyhubRegistrationSession::useRFSlates() const { return Lease(m_pImpl)->useRFSlates(); }

bool LegacyhubRegistrationSession::startVoteTestSession() const
{
    return Lease(m_pImpl)->startVoteTestSession();
}

bool LegacyhubRegistrationSession::disableSlates() const { return Lease(m_pImpl)->disableSlates(); }

bool LegacyhubRegistrationSession::getVoteChannel(unsigned char &channel) const
{
    return Lease(m_pImpl)->getVoteChannel(channel);
}

bool LegacyhubRegistrationSession::getSlateChannel(unsigned char &channel) const
{
    return Lease(m_pImpl)->getSlateChannel(channel);
}

bool LegacyhubRegistrationSession::getBoardID(unsigned char &id) const
{
    return Lease(m_pImpl)->getBoardID(id);
}

bool LegacyhubRegistrationSession::getRFBand(unsigned char &band) const
{
    return Lease(m_pImpl)->getRFBand(band);
}

bool LegacyhubRegistrationSession::startSlatePINRegistration(unsigned char slateId,
                                                             RegistrationCode code) const
{
    return Lease(m_pImpl)->startSlatePINRegistration(slateId, code);
}

bool LegacyhubRegistrationSession::enableSlate(unsigned char slateId) const
{
    return Lease(m_pImpl)->enableSlate(slateId);
}

bool LegacyhubRegistrationSession::removeSlate(unsigned char slateId) const
{
    return Lease(m_pImpl)->removeSlate(slateId);
}

// The hub's vote, without the hub, as the vote test's report.
void LegacyhubRegistrationSession::voteTestReceived(Hub *, quint32 uid, int answer, int batterylow)
{
    Q_EMIT voteTestResponse(uid, answer, batterylow);
}

} // namespace Orvexsystem
