#ifndef ORVEXSYSTEM_SESSIONS_ENHANCEDGENERICSESSION_P_H
#define ORVEXSYSTEM_SESSIONS_ENHANCEDGENERICSESSION_P_H

#include <orvexsystem/enhancedgenericsession.h>

#include "hub/callbackslot.h"

#include <mutex>

namespace Orvexsystem {

// The state of an EnhancedGenericSession. The started flag is shared by host
// threads under the mutex, which is held only to read or change it, never
// across a hub exchange: a callback of this session (event thread) may start
// or stop it while a host thread's stop waits for that callback to finish.
// The event thread reads only the callback slot, without a lock.
class EnhancedGenericSessionPrivate
{
public:
    explicit EnhancedGenericSessionPrivate(Hub *hub) : hub(hub) {}

    static EnhancedGenericSessionPrivate *get(EnhancedGenericSession *session)
    {
        return session->d.get();
    }

    bool isStarted() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return started;
    }

    Hub *const hub;
    mutable std::mutex mutex;
    bool started = false;
    CallbackSlot<EnhancedGenericSession::DeviceMessageCallback> messageCallback;
};

} // namespace Orvexsystem

#endif
