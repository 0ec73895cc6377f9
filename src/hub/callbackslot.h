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
    // The sequence is odd while a writer changes the pair. Sequentially
    // consistent accesses order the fields between the two sequence values
    // (and cost plain loads on the packet path).
    void store(Fn function, void *context)
    {
        std::lock_guard<std::mutex> writers(m_writeMutex);
        const unsigned sequence = m_sequence.load();
        m_sequence.store(sequence + 1);
        m_function.store(function);
        m_context.store(function ? context : nullptr);
        m_sequence.store(sequence + 2);
    }

    void clear() { store(nullptr, nullptr); }

    // Clears the slot only while it holds this function and context, so
    // that a holder withdraws its own setting without removing a newer one.
    bool clearIf(Fn function, void *context)
    {
        std::lock_guard<std::mutex> writers(m_writeMutex);
        if (m_function.load() != function || m_context.load() != context)
            return false;
        const unsigned sequence = m_sequence.load();
        m_sequence.store(sequence + 1);
        m_function.store(nullptr);
        m_context.store(nullptr);
        m_sequence.store(sequence + 2);
        return true;
    }

    Value load() const
    {
        for (;;) {
            const unsigned before = m_sequence.load();
            if (before & 1u) {
                std::this_thread::yield(); // a writer is half-way
                continue;
            }
            Value value{m_function.load(), m_context.load()};
            if (m_sequence.load() == before)
                return value;
        }
    }

    bool isSet() const { return m_function.load() != nullptr; }

private:
    std::atomic<unsigned> m_sequence{0};
    std::atomic<Fn> m_function{nullptr};
    std::atomic<void *> m_context{nullptr};
    std::mutex m_writeMutex;
};

} // namespace Orvexsystem

#endif
