// The session façades' starts and stops; the records are SessionFacades'
// (src/sessions). A start looks the hub up under the records' lock, by the
// information map of its kind; SessionFacades checks the hub object's kind.

#include "system/orvexsystem_p.h"

#include <orvexsystem/legacyhubregistrationsession.h>
#include <orvexsystem/orvexhubexpressionnamingsession.h>
#include <orvexsystem/orvexhubregistrationsession.h>
#include <orvexsystem/orvexhubslatenamingsession.h>
#include <orvexsystem/orvexhubvotenamingsession.h>

namespace Orvexsystem {

const OrvexhubRegistrationSession *OrvexSystem::startOrvexhubRegistrationSession(int hubHandle)
{
    return d->facades.start<OrvexhubRegistrationSession>(
        [&] { return findHub(hubHandle, true); }, d->hostThread);
}

void OrvexSystem::stopOrvexhubRegistrationSession()
{
    d->facades.stop<OrvexhubRegistrationSession>();
}

const OrvexhubExpressionNamingSession *
OrvexSystem::startOrvexhubExpressionNamingSession(int hubHandle)
{
    return d->facades.start<OrvexhubExpressionNamingSession>(
        [&] { return findHub(hubHandle, true); }, d->hostThread);
}

void OrvexSystem::stopOrvexhubExpressionNamingSession()
{
    d->facades.stop<OrvexhubExpressionNamingSession>();
}

const OrvexhubVoteNamingSession *OrvexSystem::startOrvexhubVoteNamingSession(int hubHandle)
{
    return d->facades.start<OrvexhubVoteNamingSession>(
        [&] { return findHub(hubHandle, true); }, d->hostThread);
}

void OrvexSystem::stopOrvexhubVoteNamingSession()
{
    d->facades.stop<OrvexhubVoteNamingSession>();
}

const OrvexhubSlateNamingSession *OrvexSystem::startOrvexhubSlateNamingSession(int hubHandle)
{
    return d->facades.start<OrvexhubSlateNamingSession>(
        [&] { return findHub(hubHandle, true); }, d->hostThread);
}

void OrvexSystem::stopOrvexhubSlateNamingSession()
{
    d->facades.stop<OrvexhubSlateNamingSession>();
}

const LegacyhubRegistrationSession *OrvexSystem::startLegacyhubRegistrationSession(int hubHandle)
{
    return d->facades.start<LegacyhubRegistrationSession>(
        [&] { return findHub(hubHandle, false); }, d->hostThread);
}

void OrvexSystem::stopLegacyhubRegistrationSession()
{
    d->facades.stop<LegacyhubRegistrationSession>();
}

} // namespace Orvexsystem
