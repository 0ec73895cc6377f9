#ifndef ORVEXSYSTEM_SYSTEM_CALLBACKSCOPE_H
#define ORVEXSYSTEM_SYSTEM_CALLBACKSCOPE_H

#include "system/orvexsystem_p.h"

namespace Orvexsystem {

// Marks a driver callback while it runs: counts it as in flight, so that
// shutdown() waits for it, and lets the system recognise calls made from
// inside it.
class CallbackScope
{
public:
    explicit CallbackScope(OrvexSystemPrivate &d) : m_d(d)
    {
        m_d.callbacksInFlight.fetch_add(1);
        ++depth();
    }
    // For a callback whose in-flight count was taken under the table lock.
    struct Adopt
    {
    };
    CallbackScope(OrvexSystemPrivate &d, Adopt) : m_d(d) { ++depth(); }

    ~CallbackScope()
    {
        --depth();
        if (m_d.callbacksInFlight.fetch_sub(1) == 1 && m_d.shutdownWaiting.load()) {
            std::lock_guard<std::mutex> lock(m_d.inFlightMutex);
            m_d.inFlightDone.notify_all();
        }
    }
    CallbackScope(const CallbackScope &) = delete;
    CallbackScope &operator=(const CallbackScope &) = delete;

    static bool inDriverCallback() { return depth() > 0; }
    // True on a thread that is inside a discovery pass (and so possibly in
    // a host's announcement callback).
    static bool inDiscovery() { return discoveryDepth() > 0; }

    // Marks a discovery pass on this thread while it lives.
    struct Discovery
    {
        Discovery() { ++discoveryDepth(); }
        ~Discovery() { --discoveryDepth(); }
        Discovery(const Discovery &) = delete;
        Discovery &operator=(const Discovery &) = delete;
    };
    static bool onEventThread() { return eventThreadFlag(); }
    static void markEventThread() { eventThreadFlag() = true; }

private:
    static int &depth()
    {
        static thread_local int value = 0;
        return value;
    }
    static int &discoveryDepth()
    {
        static thread_local int value = 0;
        return value;
    }
    static bool &eventThreadFlag()
    {
        static thread_local bool value = false;
        return value;
    }
    OrvexSystemPrivate &m_d;
};

} // namespace Orvexsystem

#endif
