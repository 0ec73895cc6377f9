#ifndef ORVEXSYSTEM_HUB_BOUNDEDLOCK_H
#define ORVEXSYSTEM_HUB_BOUNDEDLOCK_H

#include <chrono>
#include <mutex>
#include <thread>

namespace Orvexsystem {
namespace detail {

// Takes the lock, trying for at most limit. Built on try_lock so that thread
// checkers see every acquisition (timed locks are not seen by all of them).
inline bool lockWithin(std::unique_lock<std::mutex> &lock, std::chrono::milliseconds limit)
{
    if (lock.try_lock())
        return true;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!lock.try_lock()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

} // namespace detail
} // namespace Orvexsystem

#endif
