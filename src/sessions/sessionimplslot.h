#ifndef ORVEXSYSTEM_SESSIONS_SESSIONIMPLSLOT_H
#define ORVEXSYSTEM_SESSIONS_SESSIONIMPLSLOT_H

#include <memory>
#include <mutex>
#include <utility>

namespace Orvexsystem {

// The implementation behind a session façade, swapped (hub gone, system
// shut down) while host threads may be inside its operations.
//
// An operation holds a lease, a shared reference taken under a short lock,
// for as long as it runs; a swap only puts the next implementation in place
// and drops the slot's own reference. The replaced implementation is freed
// when the last lease on it ends, so it is never freed under a running
// operation, and a swap never waits for one.
template <class Impl>
class SessionImplSlot
{
public:
    std::shared_ptr<Impl> lease() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_impl;
    }

    // Puts next in place; returns the one it replaced.
    std::shared_ptr<Impl> exchange(std::shared_ptr<Impl> next)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::swap(m_impl, next);
        return next;
    }

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<Impl> m_impl;
};

namespace SessionLeaseDepth {
// How many façade operations the current thread is inside: shutdown() is
// refused there, since it would wait for the caller's own lease.
inline int &onThisThread()
{
    static thread_local int depth = 0;
    return depth;
}
} // namespace SessionLeaseDepth

// One façade operation's hold on its implementation.
template <class Impl>
class SessionLease
{
public:
    explicit SessionLease(const SessionImplSlot<Impl> *slot) : m_impl(slot->lease())
    {
        ++SessionLeaseDepth::onThisThread();
    }
    ~SessionLease()
    {
        m_impl.reset();
        --SessionLeaseDepth::onThisThread();
    }
    SessionLease(const SessionLease &) = delete;
    SessionLease &operator=(const SessionLease &) = delete;

    Impl *operator->() const { return m_impl.get(); }

private:
    std::shared_ptr<Impl> m_impl;
};

} // namespace Orvexsystem

#endif
