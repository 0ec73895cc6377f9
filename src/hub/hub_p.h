#ifndef ORVEXSYSTEM_HUB_P_H
#define ORVEXSYSTEM_HUB_P_H

// Definitions of Hub's member templates for the command-and-reply exchange.
// Include this, not only hub.h, where a hub kind registers reply handlers or
// sends a command that waits for its reply.

#include <orvexsystem/hub.h>
#include <orvexsystem/hubresponse.h>

#include <QtCore/QString>

#include <mutex>
#include <typeinfo>

namespace Orvexsystem {

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
    if (!m_responseHandlers.contains(key))
        m_responseHandlers.insert(key, new ResponseHandler<T>());
}

template <class T>
IResponseHandler *Hub::responseHandler() const
{
    return m_responseHandlers.value(detail::responseTypeName<T>(), nullptr);
}

template <class T>
bool Hub::sendAndWait(const QByteArray &command, T &response, int waitMs)
{
    IResponseHandler *handler = responseHandler<T>();
    if (!handler)
        return false;
    // One exchange per hub at a time: a concurrent caller would otherwise
    // take over the current handler and this exchange's reply.
    std::lock_guard<std::mutex> turn(m_exchangeMutex);
    return sendAndWaitLocked<T>(handler, command, response, waitMs);
}

template <class T>
bool Hub::sendAndWaitLocked(IResponseHandler *handler, const QByteArray &command, T &response,
                            int waitMs)
{
    if (!handler)
        return false;
    // The handler is current and empty before the command leaves, so a
    // reply that arrives before the wait starts is kept, and one left from
    // an earlier exchange is not taken for this one's.
    setCurrentResponseHandler(handler);
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
    setCurrentResponseHandler(nullptr);
    return true;
}

} // namespace Orvexsystem

#endif
