// The enhanced generic session: a thin layer over the hub's generic-session
// operations, and the delivery of device messages to the hub's own session.

#include <orvexsystem/enhancedgenericsession.h>
#include <orvexsystem/hub.h>

#include "hub/hub_p.h"
#include "sessions/enhancedgenericsession_p.h"

namespace Orvexsystem {

EnhancedGenericSession::EnhancedGenericSession(Hub *hub)
    : QObject(nullptr), d(new EnhancedGenericSessionPrivate(hub))
{
}

EnhancedGenericSession::~EnhancedGenericSession() = default;

Hub *EnhancedGenericSession::getHub() const
{
    return d->hub;
}

bool EnhancedGenericSession::startSession()
{
    if (d->isStarted())
        return true;
    const bool opened = d->hub->startEnhancedGenericSession(&responseCallback, nullptr);
    std::lock_guard<std::mutex> lock(d->mutex);
    // A concurrent start that succeeded counts too.
    d->started = d->started || opened;
    return d->started;
}

bool EnhancedGenericSession::stopSession()
{
    if (!d->isStarted())
        return false;
    // The hub may have left the generic session without this session's
    // doing (a hub reset): the session it is in now, if any, is not this
    // one to end.
    const bool ended = HubPrivate::get(d->hub)->inGenericSession() ? d->hub->stopSession() : true;
    if (ended) {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->started = false;
    }
    return ended;
}

bool EnhancedGenericSession::sendAsyncMessage(unsigned int uid, const QByteArray &message)
{
    return d->hub->sendGenericAsyncMessage(uid, message);
}

void EnhancedGenericSession::setDeviceMessageReceivedCallback(DeviceMessageCallback callback,
                                                             void *userData)
{
    d->messageCallback.store(callback, userData);
}

void EnhancedGenericSession::responseCallback(Hub *hub, unsigned int uid,
                                              const QByteArray &message, void *)
{
    EnhancedGenericSession *session = hub ? hub->getEnhancedGenericSession() : nullptr;
    if (!session)
        return;
    const auto callback = session->d->messageCallback.load();
    if (callback.function)
        callback.function(session, uid, message, callback.context);
    else
        Q_EMIT session->deviceMessageReceived(session, uid, message);
}

} // namespace Orvexsystem
