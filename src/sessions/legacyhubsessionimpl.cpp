#include "sessions/legacyhubsessionimpl.h"

#include <orvexsystem/legacyhub.h>

namespace Orvexsystem {

bool LegacyhubNormalRegSessionImpl::configureHub() { return m_pHub->configureHub(); }
bool LegacyhubNormalRegSessionImpl::clearHub() { return m_pHub->clearHub(); }
bool LegacyhubNormalRegSessionImpl::clearHubOfVotes() { return m_pHub->clearHubOfVotes(); }
bool LegacyhubNormalRegSessionImpl::clearHubOfSlates() { return m_pHub->clearHubOfSlates(); }
bool LegacyhubNormalRegSessionImpl::clearVoteWithID(quint64 id) { return m_pHub->clearVoteWithID(id); }

// Copies of name, uid and sub-type taken under the hub's lists' lock: the
// devices themselves may be freed by a re-read on another thread.
bool LegacyhubNormalRegSessionImpl::getListOfRegisteredVotes(List &list)
{
    return m_pHub->getDeviceDisplayInfoList(Device::Type_LegacyOrvexvote, &list);
}

bool LegacyhubNormalRegSessionImpl::getListOfRegisteredSlates(List &list)
{
    return m_pHub->getDeviceDisplayInfoList(Device::Type_Legacyslate, &list);
}

bool LegacyhubNormalRegSessionImpl::startVoteRegistrationSession()
{
    return m_pHub->startVoteRegistrationSession();
}

bool LegacyhubNormalRegSessionImpl::stopVoteRegistrationSession()
{
    return m_pHub->stopVoteRegistrationSession();
}

bool LegacyhubNormalRegSessionImpl::startSlateRegistrationSession()
{
    return m_pHub->startSlateRegistrationSession();
}

bool LegacyhubNormalRegSessionImpl::stopSlateRegistrationSession()
{
    return m_pHub->stopSlateRegistrationSession();
}

bool LegacyhubNormalRegSessionImpl::changeVoteChannel(unsigned char channel)
{
    return m_pHub->changeVoteChannel(channel);
}

bool LegacyhubNormalRegSessionImpl::changeSlateChannel(unsigned char channel)
{
    return m_pHub->changeSlateChannel(channel);
}

bool LegacyhubNormalRegSessionImpl::changeBoardID(unsigned char id) { return m_pHub->changeBoardID(id); }
bool LegacyhubNormalRegSessionImpl::useRFSlates() { return m_pHub->useRFSlates(); }
bool LegacyhubNormalRegSessionImpl::startVoteTestSession() { return m_pHub->startVoteTestSession(); }
bool LegacyhubNormalRegSessionImpl::disableSlates() { return m_pHub->disableSlates(); }

bool LegacyhubNormalRegSessionImpl::getVoteChannel(unsigned char &channel)
{
    return m_pHub->getVoteChannel(channel);
}

bool LegacyhubNormalRegSessionImpl::getSlateChannel(unsigned char &channel)
{
    return m_pHub->getSlateChannel(channel);
}

bool LegacyhubNormalRegSessionImpl::getBoardID(unsigned char &id) { return m_pHub->getBoardID(id); }
bool LegacyhubNormalRegSessionImpl::getRFBand(unsigned char &band) { return m_pHub->getRFBand(band); }

bool LegacyhubNormalRegSessionImpl::startSlatePINRegistration(unsigned char slateId,
                                                              RegistrationCode code)
{
    return m_pHub->startSlatePINRegistration(slateId, code);
}

bool LegacyhubNormalRegSessionImpl::enableSlate(unsigned char slateId)
{
    return m_pHub->enableSlate(slateId);
}

bool LegacyhubNormalRegSessionImpl::removeSlate(unsigned char slateId)
{
    return m_pHub->removeSlate(slateId);
}

} // namespace Orvexsystem
