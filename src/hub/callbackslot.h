#ifndef ORVEXSYSTEM_HUB_CALLBACKSLOT_H
#define ORVEXSYSTEM_HUB_CALLBACKSLOT_H

#include <atomic>
#include <mutex>
#include <thread>

namespace Orvexsystem {

// One host callback with its context pointer, set on host threads and read
// on the packet thread (or the event thread) for every report. Reading takes
// no lock: the pair is published under a sequence counter, so a reader never
// sees the function of one setting with the context of another, and the
// packet path pays two atomic loads per report.
template <class Fn>
class CallbackSlot
{
public:
    struct Value
    {
        Fn function = nullptr;
        void *context = nullptr;
    };

    // A null function clears the slot.
    void store(Fn function, void *context)
    {
        std::lock_guard<std::mutex> writers(m_writeMutex);
        const unsigned sequence = m_sequence.load(std::memory_order_relaxed);
        m_sequence.store(sequence + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        m_function.store(function, std::memory_order_relaxed);
        m_context.store(function ? context : nullptr, std::memory_order_relaxed);
        m_sequence.store(sequence + 2, std::memory_order_release);
    }

    void clear() { store(nullptr, nullptr); }

    Value load() const
    {
        for (;;) {
            const unsigned before = m_sequence.load(std::memory_order_acquire);
            if (before & 1u) {
                std::this_thread::yield(); // a writer is half-way
                continue;
            }
            Value value{m_function.load(std::memory_order_relaxed),
                        m_context.load(std::memory_order_relaxed)};
            std::atomic_thread_fence(std::memory_order_acquire);
            if (m_sequence.load(std::memory_order_relaxed) == before)
                return value;
        }
    }

    bool isSet() const { return m_function.load(std::memory_order_acquire) != nullptr; }

private:
    std::atomic<unsigned> m_sequence{0};
    std::atomic<Fn> m_function{nullptr};
    std::atomic<void *> m_context{nullptr};
    std::mutex m_writeMutex;
};

} // namespace Orvexsystem

#endif
