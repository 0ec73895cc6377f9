#ifndef ORVEXSYSTEM_HUB_P_H
#define ORVEXSYSTEM_HUB_P_H

// The state of a Hub, and the definitions of Hub's member templates for the
// command-and-reply exchange. Include this where a hub kind registers reply
// handlers or sends a command that waits for its reply.

#include <orvexsystem/hub.h>

#include "hub/callbackslot.h"
#include "hub/penstate.h"
#include "hub/responsehandler.h"

#include <QtCore/QMap>
#include <QtCore/QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <typeinfo>

namespace Orvexsystem {

class HubPrivate
{
public:
    HubPrivate(OrvexSystem *system, int handle, quint64 uid, bool connected, int version);
    ~HubPrivate();

    static HubPrivate *get(Hub *hub) { return hub->d.get(); }

    // Whether a command exchange may start on this thread now: not on the
    // driver's thread, which would have to deliver the reply itself, and not
    // once the system is shutting down. Records the reason when it may not.
    bool mayExchange(Hub *hub);
    // Wakes every exchange waiting for a reply and makes every later one
    // fail at once; shutdown() calls it for every hub.
    void abortExchanges();
    bool isAborted() const { return aborted.load(); }
    // Whether the hub has its asynchronous message transport open.
    bool inAsyncSession() const { return sessionState.load() == Hub::Session_Async; }

    OrvexSystem *const system;
    const int handle;
    const quint64 uid;
    const int version;
    std::atomic<bool> connected;
    std::atomic<Hub::Error> lastError{Hub::Error_Failed};
    std::atomic<int> sessionState{0};
    std::atomic<int> responseWaitMs;
    std::atomic<int> numTouchesSupported{-1};
    std::atomic<bool> awaitingTouchStatus{false};
    std::atomic<bool> aborted{false};

    // One exchange per hub at a time: a concurrent caller would otherwise
    // take over the current handler and this exchange's reply.
    std::mutex exchangeMutex;
    // Reply handlers by reply type; filled by the constructors only.
    QMap<QString, IResponseHandler *> responseHandlers;
    // The handler that processPacket() feeds the packets nothing else claims.
    std::atomic<IResponseHandler *> currentHandler{nullptr};

    // Pens 1 to MaximumPens; index 0 unused.
    std::unique_ptr<PenState> penStates[Hub::MaximumPens + 1];

    CallbackSlot<Hub::PinNamingCallback> pinNamingCallback;
    CallbackSlot<Hub::PenEventCallback> penEventCallback;
    CallbackSlot<Hub::TouchEventCallback> touchEventCallback;
    CallbackSlot<Hub::TouchStatusEventCallback> touchStatusEventCallback;

    // Guards the use and the replacement of the session object.
    std::mutex sessionMutex;
    std::atomic<OrvexSession *> session{nullptr};
};

namespace detail {
// The registry key of reply type T: its run-time type name, unique per type.
template <class T>
const QString &responseTypeName()
{
    static const QString name = QString::fromLatin1(typeid(T).name());
    return name;
}
} // namespace detail

template <class T>
void Hub::addResponseHandler()
{
    const QString &key = detail::responseTypeName<T>();
    if (!d->responseHandlers.contains(key))
        d->responseHandlers.insert(key, new ResponseHandler<T>());
}

template <class T>
IResponseHandler *Hub::responseHandler() const
{
    return d->responseHandlers.value(detail::responseTypeName<T>(), nullptr);
}

template <class T>
bool Hub::sendAndWait(const QByteArray &command, T &response, int waitMs)
{
    IResponseHandler *handler = responseHandler<T>();
    if (!handler || !d->mayExchange(this))
        return false;
    std::lock_guard<std::mutex> turn(d->exchangeMutex);
    return sendAndWaitLocked<T>(handler, command, response, waitMs);
}

template <class T>
bool Hub::sendAndWaitLocked(IResponseHandler *handler, const QByteArray &command, T &response,
                            int waitMs)
{
    if (!handler || !d->mayExchange(this))
        return false;
    // The handler is current and empty before the command leaves, so a
    // reply that arrives before the wait starts is kept, and one left from
    // an earlier exchange is not taken for this one's.
    d->currentHandler.store(handler);
    reset(handler);
    if (!send(command))
        return false;
    QByteArray reply;
    if (!getNextPacket(handler, &reply, waitMs) || !T::isValid(reply)) {
        // The handler stays current; the next exchange resets it.
        recordError(Error_CommsFailure);
        return false;
    }
    response = T(reply);
    d->currentHandler.store(nullptr);
    return true;
}

} // namespace Orvexsystem

#endif
