#include "sessions/orvexhubsessionimpl.h"

#include <orvexsystem/twopointfourghzhub.h>

#include "rfhub/twopointfourghzhub_p.h"

namespace Orvexsystem {

// ---------------------------------------------------------------------------
// Registration

OrvexhubRegistrationSessionImpl::RegistrationInfo OrvexhubNormalRegSessionImpl::registrationInfo()
{
    RegistrationInfo info;
    InformationResponse reply;
    if (!m_pHub->getRegistrationInfo(&reply))
        return info;
    info.numHandsets = m_pHub->orvexexpressionCount() + m_pHub->orvexvoteCount();
    info.handsetsInUse = reply.handsetsInUse();
    info.handsetCapacity = reply.handsetCapacity();
    info.handsetsFree = info.handsetCapacity - info.handsetsInUse;
    info.numBoards = m_pHub->orvexBoardCount();
    info.boardsInUse = reply.boardsInUse();
    info.boardCapacity = reply.boardCapacity();
    info.boardsFree = info.boardCapacity - info.boardsInUse;
    info.numSlates = m_pHub->orvexSlateCount();
    info.slatesInUse = reply.slatesInUse();
    info.slateCapacity = reply.slateCapacity();
    info.slatesFree = info.slateCapacity - info.slatesInUse;
    info.hubMode = reply.hubMode();
    return info;
}

namespace {
// A clear counts only when the hub confirmed it.
bool confirmedClear(TwoPointFourGHzHub *hub, bool (TwoPointFourGHzHub::*clear)(OKResponse *))
{
    OKResponse reply;
    return (hub->*clear)(&reply) && reply.isValidResponse();
}
} // namespace

bool OrvexhubNormalRegSessionImpl::clearHub()
{
    return confirmedClear(m_pHub, &TwoPointFourGHzHub::clearHub);
}

bool OrvexhubNormalRegSessionImpl::clearHubOfVotes()
{
    return confirmedClear(m_pHub, &TwoPointFourGHzHub::clearHubOfVotes);
}

bool OrvexhubNormalRegSessionImpl::clearHubOfSlates()
{
    return confirmedClear(m_pHub, &TwoPointFourGHzHub::clearHubOfSlates);
}

bool OrvexhubNormalRegSessionImpl::clearHubOfBoards()
{
    return confirmedClear(m_pHub, &TwoPointFourGHzHub::clearHubOfBoards);
}

bool OrvexhubNormalRegSessionImpl::clearHubOfExpressions()
{
    return confirmedClear(m_pHub, &TwoPointFourGHzHub::clearHubOfExpressions);
}

bool OrvexhubNormalRegSessionImpl::clearHubOfPenExpressions()
{
    return confirmedClear(m_pHub, &TwoPointFourGHzHub::clearHubOfPenExpressions);
}

bool OrvexhubNormalRegSessionImpl::list(Device::Type type, List &list)
{
    // Copies of name, uid and sub-type taken under the hub's registry lock:
    // the devices themselves may be freed by a re-read on another thread.
    list.clear();
    return m_pHub->readDeviceDisplayInfoList(type, &list);
}

bool OrvexhubNormalRegSessionImpl::getListOfRegisteredVotes(List &out)
{
    return list(Device::Type_TwoPointFourGHzOrvexvote, out);
}

bool OrvexhubNormalRegSessionImpl::getListOfRegisteredSlates(List &out)
{
    return list(Device::Type_TwoPointFourGHzOrvexSlate, out);
}

bool OrvexhubNormalRegSessionImpl::getListOfRegisteredBoards(List &out)
{
    // The hub only counts its boards.
    out.clear();
    return false;
}

bool OrvexhubNormalRegSessionImpl::getListOfRegisteredExpressions(List &out)
{
    return list(Device::Type_TwoPointFourGHzOrvexexpression, out);
}

bool OrvexhubNormalRegSessionImpl::getListOfRegisteredPenExpressions(List &out)
{
    return list(Device::Type_PenExpression, out);
}

bool OrvexhubNormalRegSessionImpl::startExpressionRegistrationSession(unsigned short x,
                                                                      unsigned char y,
                                                                      unsigned char z,
                                                                      RegistrationCode code)
{
    return m_pHub->stopSession() && m_pHub->startExpressionRegistrationSession(x, y, z, code);
}

bool OrvexhubNormalRegSessionImpl::startNamingExpressionRegistrationSession(
    unsigned short x, unsigned char y, unsigned char z, RegistrationCode code,
    CharacterType characterType, bool flag, unsigned char value)
{
    return m_pHub->stopSession()
        && m_pHub->startNamingExpressionRegistrationSession(x, y, z, code, characterType, flag,
                                                            value);
}

bool OrvexhubNormalRegSessionImpl::startVoteRegistrationSession(unsigned short x, unsigned char y,
                                                                unsigned char z,
                                                                RegistrationCode code)
{
    return m_pHub->startVoteRegistrationSession(x, y, z, code);
}

bool OrvexhubNormalRegSessionImpl::startSlateRegistrationSession(unsigned short x,
                                                                 unsigned char y,
                                                                 unsigned char z,
                                                                 RegistrationCode code)
{
    return m_pHub->startSlateRegistrationSession(x, y, z, code);
}

// A removal: end the hub's session, remove, end the removal session.
bool OrvexhubNormalRegSessionImpl::removeOrvexexpression(unsigned int uid)
{
    return m_pHub->stopSession() && m_pHub->removeOrvexexpression(uid)
        && m_pHub->stopRemoveExpressionDeviceSession();
}

bool OrvexhubNormalRegSessionImpl::removeOrvexvote(unsigned int uid)
{
    return m_pHub->stopSession() && m_pHub->removeOrvexvote(uid)
        && m_pHub->stopRemoveVoteDeviceSession();
}

bool OrvexhubNormalRegSessionImpl::removeSlate(unsigned int uid)
{
    return m_pHub->stopSession() && m_pHub->removeOrvexslate(uid)
        && m_pHub->stopRemoveSlateDeviceSession();
}

bool OrvexhubNormalRegSessionImpl::removePenExpression(unsigned int uid)
{
    return m_pHub->stopSession() && m_pHub->removePenExpression(uid)
        && m_pHub->stopRemoveExpressionDeviceSession();
}

bool OrvexhubNormalRegSessionImpl::stopExpressionRegistrationSession()
{
    return m_pHub->stopExpressionRegistrationSession();
}

bool OrvexhubNormalRegSessionImpl::stopVoteRegistrationSession()
{
    return m_pHub->stopVoteRegistrationSession();
}

bool OrvexhubNormalRegSessionImpl::stopSlateRegistrationSession()
{
    return m_pHub->stopSlateRegistrationSession();
}

OrvexhubRegistrationSessionImpl::RegistrationInfo OrvexhubRegSessionErrorImpl::registrationInfo()
{
    RegistrationInfo info;
    info.hubMode = HubModeGone;
    return info;
}

// ---------------------------------------------------------------------------
// The naming callback relay

namespace {
CallbackSlot<TwoPointFourGHzHub::DeviceNamedCallback> &hubSlot(TwoPointFourGHzHub *hub,
                                                               bool voteNaming)
{
    TwoPointFourGHzHubPrivate *d = TwoPointFourGHzHubPrivate::get(hub);
    return voteNaming ? d->voteNamedCallback : d->expressionNamedCallback;
}
} // namespace

void NamingCallbackRelay::setCallback(HostCallback callback, void *context)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bDetached)
        return;
    m_callback.store(callback, context);
    if (!callback) {
        withdrawLocked();
        return;
    }
    // Through the hub's own setters, as any host of the hub sets them.
    if (m_bVoteNaming)
        m_pHub->setVoteDeviceNamedCallback(&NamingCallbackRelay::relay, this);
    else
        m_pHub->setExpressionDeviceNamedCallback(&NamingCallbackRelay::relay, this);
    m_bRegistered = true;
}

void NamingCallbackRelay::detach()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bDetached = true;
    withdrawLocked();
}

void NamingCallbackRelay::withdrawLocked()
{
    if (!m_bRegistered)
        return;
    m_bRegistered = false;
    hubSlot(m_pHub, m_bVoteNaming).clearIf(&NamingCallbackRelay::relay, this);
    // A report that read the relay before it was withdrawn is still calling
    // through it (not waited for on the driver's thread itself: a host
    // callback that stops its own session returns through the relay, which
    // touches nothing of this object after the call).
    TwoPointFourGHzHubPrivate::get(m_pHub)->waitForDeliveries();
}

void NamingCallbackRelay::relay(TwoPointFourGHzHub *hub, unsigned int uid, const QString &name,
                                void *context)
{
    const auto callback = static_cast<NamingCallbackRelay *>(context)->m_callback.load();
    if (callback.function)
        callback.function(hub, name, uid, callback.context);
}

// ---------------------------------------------------------------------------
// Expression naming

bool OrvexhubNormalExpressionNamingSessionImpl::nameExpression(unsigned int uid,
                                                               const QString &name)
{
    ExpressionNameReceivedResponse reply;
    return m_pHub->nameExpression(uid, name, &reply) && reply.isValidResponse();
}

bool OrvexhubNormalExpressionNamingSessionImpl::startExpressionNamingSession()
{
    return m_pHub->startExpressionNamingSession();
}

bool OrvexhubNormalExpressionNamingSessionImpl::stopExpressionNamingSession()
{
    return m_pHub->stopExpressionNamingSession();
}

void OrvexhubNormalExpressionNamingSessionImpl::setCallback(Callback callback, void *context)
{
    m_relay.setCallback(callback, context);
}

// ---------------------------------------------------------------------------
// Voting-handset naming

bool OrvexhubNormalOrvexvoteNamingSessionImpl::nameOrvexvote(unsigned int uid,
                                                             const QString &name)
{
    return m_pHub->nameOrvexvote(uid, name);
}

bool OrvexhubNormalOrvexvoteNamingSessionImpl::stopOrvexvoteNamingSession()
{
    return m_pHub->stopOrvexvoteNamingSession();
}

bool OrvexhubNormalOrvexvoteNamingSessionImpl::startOrvexvoteNamingSession()
{
    return m_pHub->startOrvexvoteNamingSession();
}

void OrvexhubNormalOrvexvoteNamingSessionImpl::setCallback(Callback callback, void *context)
{
    m_relay.setCallback(callback, context);
}

// ---------------------------------------------------------------------------
// Slate naming

bool OrvexhubNormalSlateNamingSessionImpl::nameSlate(unsigned int uid, const QString &name)
{
    return m_pHub->nameSlate(uid, name);
}

bool OrvexhubNormalSlateNamingSessionImpl::stopSlateNamingSession()
{
    return m_pHub->stopSlateNamingSession();
}

} // namespace Orvexsystem
