#ifndef ORVEXSYSTEM_RFHUB_DELIVERYGATE_H
#define ORVEXSYSTEM_RFHUB_DELIVERYGATE_H

#include <atomic>
#include <chrono>
#include <thread>

namespace Orvexsystem {

// Lets a host thread that ends a session wait until no report of that
// session is still being delivered, without a lock on the delivery path.
//
// A delivery (the driver's packet thread handing an answer to the host, the
// event thread handing over a timed-out answer) holds a Scope while it reads
// the session and calls the host. A thread that has just changed the session
// (state, callbacks, session object) calls waitForDeliveries(): it returns
// once every delivery that may have read the old session has left. A
// delivery that enters afterwards reads the new session. Deliveries that the
// calling thread itself is inside (a host callback that ends the session) are
// not waited for.
//
// Two counters, switched by a phase: a waiter moves new deliveries to the
// other counter and waits for its own to drain, so a stream of packets never
// keeps it waiting. All operations are sequentially consistent: a delivery's
// increment and its reading of the session, and a waiter's change of the
// session and its reading of the counter, are totally ordered.
class DeliveryGate
{
public:
    class Scope
    {
    public:
        explicit Scope(DeliveryGate &gate) : m_gate(gate), m_slot(gate.enter()) {}
        ~Scope() { m_gate.leave(m_slot); }
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        DeliveryGate &m_gate;
        const int m_slot;
    };

    void waitForDeliveries()
    {
        const int slot = int(m_phase.fetch_add(1) & 1u);
        const int own = heldByThisThread(slot);
        for (int round = 0; m_active[slot].load() > own; ++round) {
            if (round < 64)
                std::this_thread::yield();
            else
                std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    }

private:
    struct Held
    {
        const DeliveryGate *gate;
        int slot;
    };
    static const int MaximumNesting = 8;
    static Held *held() { static thread_local Held entries[MaximumNesting]; return entries; }
    static int &depth() { static thread_local int d = 0; return d; }

    int enter()
    {
        const int slot = int(m_phase.load() & 1u);
        m_active[slot].fetch_add(1);
        if (depth() < MaximumNesting)
            held()[depth()] = Held{this, slot};
        ++depth();
        return slot;
    }
    void leave(int slot)
    {
        --depth();
        m_active[slot].fetch_sub(1);
    }
    int heldByThisThread(int slot) const
    {
        int count = 0;
        const int n = depth() < MaximumNesting ? depth() : MaximumNesting;
        for (int i = 0; i < n; ++i)
            count += held()[i].gate == this && held()[i].slot == slot;
        return count;
    }

    std::atomic<unsigned> m_phase{0};
    std::atomic<int> m_active[2] = {{0}, {0}};
};

} // namespace Orvexsystem

#endif
