// The 2.4 GHz session façades: each operation takes a lease on the current
// implementation (normal while the hub is attached, error once it is gone)
// and forwards to it.

#include "sessions/orvexhubsessionimpl.h"
#include "sessions/sessionimplslot.h"

namespace Orvexsystem {

// ---------------------------------------------------------------------------
// OrvexhubRegistrationSession

namespace {
using RegLease = SessionLease<OrvexhubRegistrationSessionImpl>;
}

OrvexhubRegistrationSession::OrvexhubRegistrationSession(
    SessionImplSlot<OrvexhubRegistrationSessionImpl> *impl)
    : QObject(nullptr), m_pImpl(impl)
{
}

OrvexhubRegistrationSession::~OrvexhubRegistrationSession() = default;

OrvexhubRegistrationSession::RegistrationInfo OrvexhubRegistrationSession::registrationInfo() const
{
    return RegLease(m_pImpl)->registrationInfo();
}

bool OrvexhubRegistrationSession::clearHub() const { return RegLease(m_pImpl)->clearHub(); }
bool OrvexhubRegistrationSession::clearHubOfVotes() const { return RegLease(m_pImpl)->clearHubOfVotes(); }
bool OrvexhubRegistrationSession::clearHubOfSlates() const { return RegLease(m_pImpl)->clearHubOfSlates(); }
bool OrvexhubRegistrationSession::clearHubOfBoards() const { return RegLease(m_pImpl)->clearHubOfBoards(); }

bool OrvexhubRegistrationSession::clearHubOfExpressions() const
{
    return RegLease(m_pImpl)->clearHubOfExpressions();
}

bool OrvexhubRegistrationSession::clearHubOfPenExpressions() const
{
    return RegLease(m_pImpl)->clearHubOfPenExpressions();
}

bool OrvexhubRegistrationSession::getListOfRegisteredVotes(QList<DeviceDisplayInfo> &list) const
{
    return RegLease(m_pImpl)->getListOfRegisteredVotes(list);
}

bool OrvexhubRegistrationSession::getListOfRegisteredSlates(QList<DeviceDisplayInfo> &list) const
{
    return RegLease(m_pImpl)->getListOfRegisteredSlates(list);
}

bool OrvexhubRegistrationSession::getListOfRegisteredBoards(QList<DeviceDisplayInfo> &list) const
{
    return RegLease(m_pImpl)->getListOfRegisteredBoards(list);
}

bool OrvexhubRegistrationSession::getListOfRegisteredExpressions(
    QList<DeviceDisplayInfo> &list) const
{
    return RegLease(m_pImpl)->getListOfRegisteredExpressions(list);
}

bool OrvexhubRegistrationSession::getListOfRegisteredPenExpressions(
    QList<DeviceDisplayInfo> &list) const
{
    return RegLease(m_pImpl)->getListOfRegisteredPenExpressions(list);
}

bool OrvexhubRegistrationSession::startExpressionRegistrationSession(unsigned short value1,
                                                                     unsigned char value2,
                                                                     unsigned char value3,
                                                                     RegistrationCode code) const
{
    return RegLease(m_pImpl)->startExpressionRegistrationSession(value1, value2, value3, code);
}

bool OrvexhubRegistrationSession::startNamingExpressionRegistrationSession(
    unsigned short value1, unsigned char value2, unsigned char value3, RegistrationCode code,
    CharacterType characterType, bool flag, unsigned char value) const
{
    return RegLease(m_pImpl)->startNamingExpressionRegistrationSession(
        value1, value2, value3, code, characterType, flag, value);
}

bool OrvexhubRegistrationSession::startVoteRegistrationSession(unsigned short value1,
                                                               unsigned char value2,
                                                               unsigned char value3,
                                                               RegistrationCode code) const
{
    return RegLease(m_pImpl)->startVoteRegistrationSession(value1, value2, value3, code);
}

bool OrvexhubRegistrationSession::startSlateRegistrationSession(unsigned short value1,
                                                                unsigned char value2,
                                                                unsigned char value3,
                                                                RegistrationCode code) const
{
    return RegLease(m_pImpl)->startSlateRegistrationSession(value1, value2, value3, code);
}

bool OrvexhubRegistrationSession::removeOrvexexpression(unsigned int uid) const
{
    return RegLease(m_pImpl)->removeOrvexexpression(uid);
}

bool OrvexhubRegistrationSession::removeOrvexvote(unsigned int uid) const
{
    return RegLease(m_pImpl)->removeOrvexvote(uid);
}

bool OrvexhubRegistrationSession::removeSlate(unsigned int uid) const
{
    return RegLease(m_pImpl)->removeSlate(uid);
}

bool OrvexhubRegistrationSession::removePenExpression(unsigned int uid) const
{
    return RegLease(m_pImpl)->removePenExpression(uid);
}

bool OrvexhubRegistrationSession::stopExpressionRegistrationSession() const
{
    return RegLease(m_pImpl)->stopExpressionRegistrationSession();
}

bool OrvexhubRegistrationSession::stopVoteRegistrationSession() const
{
    return RegLease(m_pImpl)->stopVoteRegistrationSession();
}

bool OrvexhubRegistrationSession::stopSlateRegistrationSession() const
{
    return RegLease(m_pImpl)->stopSlateRegistrationSession();
}

// ---------------------------------------------------------------------------
// OrvexhubExpressionNamingSession

namespace {
using ExpressionLease = SessionLease<OrvexhubExpressionNamingSessionImpl>;
}

OrvexhubExpressionNamingSession::OrvexhubExpressionNamingSession(
    SessionImplSlot<OrvexhubExpressionNamingSessionImpl> *impl)
    : QObject(nullptr), m_pImpl(impl)
{
}

OrvexhubExpressionNamingSession::~OrvexhubExpressionNamingSession() = default;

bool OrvexhubExpressionNamingSession::nameExpression(unsigned int uid, const QString &name) const
{
    return ExpressionLease(m_pImpl)->nameExpression(uid, name);
}

bool OrvexhubExpressionNamingSession::startExpressionNamingSession() const
{
    return ExpressionLease(m_pImpl)->startExpressionNamingSession();
}

bool OrvexhubExpressionNamingSession::stopExpressionNamingSession() const
{
    return ExpressionLease(m_pImpl)->stopExpressionNamingSession();
}

void OrvexhubExpressionNamingSession::setCallback(DeviceNamedCallback callback,
                                                  void *context) const
{
    ExpressionLease(m_pImpl)->setCallback(callback, context);
}

// ---------------------------------------------------------------------------
// OrvexhubVoteNamingSession

namespace {
using VoteLease = SessionLease<OrvexhubOrvexvoteNamingSessionImpl>;
}

OrvexhubVoteNamingSession::OrvexhubVoteNamingSession(
    SessionImplSlot<OrvexhubOrvexvoteNamingSessionImpl> *impl)
    : QObject(nullptr), m_pImpl(impl)
{
}

OrvexhubVoteNamingSession::~OrvexhubVoteNamingSession() = default;

bool OrvexhubVoteNamingSession::nameOrvexvote(unsigned int uid, const QString &name) const
{
    return VoteLease(m_pImpl)->nameOrvexvote(uid, name);
}

bool OrvexhubVoteNamingSession::stopOrvexvoteNamingSession() const
{
    return VoteLease(m_pImpl)->stopOrvexvoteNamingSession();
}

bool OrvexhubVoteNamingSession::startOrvexvoteNamingSession() const
{
    return VoteLease(m_pImpl)->startOrvexvoteNamingSession();
}

void OrvexhubVoteNamingSession::setCallback(DeviceNamedCallback callback, void *context) const
{
    VoteLease(m_pImpl)->setCallback(callback, context);
}

// ---------------------------------------------------------------------------
// OrvexhubSlateNamingSession

namespace {
using SlateLease = SessionLease<OrvexhubSlateNamingSessionImpl>;
}

OrvexhubSlateNamingSession::OrvexhubSlateNamingSession(
    SessionImplSlot<OrvexhubSlateNamingSessionImpl> *impl)
    : QObject(nullptr), m_pImpl(impl)
{
}

OrvexhubSlateNamingSession::~OrvexhubSlateNamingSession() = default;

bool OrvexhubSlateNamingSession::nameSlate(unsigned int uid, const QString &name) const
{
    return SlateLease(m_pImpl)->nameSlate(uid, name);
}

bool OrvexhubSlateNamingSession::stopSlateNamingSession() const
{
    return SlateLease(m_pImpl)->stopSlateNamingSession();
}

} // namespace Orvexsystem
