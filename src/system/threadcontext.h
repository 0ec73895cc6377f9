#ifndef ORVEXSYSTEM_SYSTEM_THREADCONTEXT_H
#define ORVEXSYSTEM_SYSTEM_THREADCONTEXT_H

namespace Orvexsystem {

// What the current thread is doing for the library, so that operations can
// refuse what would wait for themselves: a command exchange on the driver's
// thread (the reply would be delivered by the very thread that waits for
// it), shutdown() from the event thread or from an announcement.
namespace ThreadContext {

inline int &driverCallbackDepth()
{
    static thread_local int depth = 0;
    return depth;
}

inline int &discoveryDepth()
{
    static thread_local int depth = 0;
    return depth;
}

inline bool &eventThreadFlag()
{
    static thread_local bool flag = false;
    return flag;
}

// True inside a packet or plug-and-play callback of the driver, and so in
// everything the library calls from there (hub reports, directly connected
// slots).
inline bool inDriverCallback() { return driverCallbackDepth() > 0; }
// True on a thread inside a discovery pass (and so possibly in a host's
// announcement callback).
inline bool inDiscovery() { return discoveryDepth() > 0; }
inline bool onEventThread() { return eventThreadFlag(); }
inline void markEventThread() { eventThreadFlag() = true; }

// Marks a driver callback on this thread while it lives.
struct DriverCallback
{
    DriverCallback() { ++driverCallbackDepth(); }
    ~DriverCallback() { --driverCallbackDepth(); }
    DriverCallback(const DriverCallback &) = delete;
    DriverCallback &operator=(const DriverCallback &) = delete;
};

// Marks a discovery pass on this thread while it lives.
struct Discovery
{
    Discovery() { ++discoveryDepth(); }
    ~Discovery() { --discoveryDepth(); }
    Discovery(const Discovery &) = delete;
    Discovery &operator=(const Discovery &) = delete;
};

} // namespace ThreadContext
} // namespace Orvexsystem

#endif
