#ifndef ORVEXSYSTEM_SYSTEM_TAPSLOT_H
#define ORVEXSYSTEM_SYSTEM_TAPSLOT_H

#include <orvexsystem/system.h>

#include "hub/callbackslot.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace Orvexsystem {

// The host's tap (OrvexSystem::setTapCallback) and the bookkeeping that lets
// set() promise that a replaced tap is no longer running.
//
// Callers test isSet() first (one atomic load: all an unset tap costs) and
// only then build the event and call report(). A report counts itself in
// one of two counters, chosen by the parity of an epoch, before it reads the
// slot; set() stores the new tap, moves the epoch on, and waits until the
// counter of the old parity has drained. All accesses are sequentially
// consistent, so either set() sees a report counted, or that report reads
// the new tap. Reports that start after the epoch moved count in the other
// counter, so a busy packet thread cannot keep set() waiting.
class TapSlot
{
public:
    bool isSet() const { return m_slot.isSet(); }

    void report(const OrvexSystem::TapEvent &event)
    {
        unsigned epoch;
        for (;;) {
            epoch = m_epoch.load();
            m_inFlight[epoch & 1u].fetch_add(1);
            if (m_epoch.load() == epoch)
                break;
            m_inFlight[epoch & 1u].fetch_sub(1); // set() moved on meanwhile
        }
        const unsigned parity = epoch & 1u;
        ++heldHere()[parity];
        const auto tap = m_slot.load();
        if (tap.function)
            tap.function(event, tap.context);
        --heldHere()[parity];
        m_inFlight[parity].fetch_sub(1);
    }

    void set(OrvexSystem::TapCallback callback, void *context)
    {
        std::lock_guard<std::mutex> setters(m_setMutex);
        m_slot.store(callback, context);
        const unsigned parity = m_epoch.fetch_add(1) & 1u;
        // Reports of the old epoch may still use the old tap; one running
        // on this very thread (a tap that replaces itself) is not waited for.
        while (m_inFlight[parity].load() > heldHere()[parity])
            std::this_thread::yield();
    }

private:
    // Reports running on the calling thread, by epoch parity.
    static int *heldHere()
    {
        static thread_local int held[2] = {0, 0};
        return held;
    }

    CallbackSlot<OrvexSystem::TapCallback> m_slot;
    std::atomic<unsigned> m_epoch{0};
    std::atomic<int> m_inFlight[2] = {{0}, {0}};
    std::mutex m_setMutex;
};

} // namespace Orvexsystem

#endif
