#ifndef ORVEXSYSTEM_SYSTEM_ORVEXSYSTEM_P_H
#define ORVEXSYSTEM_SYSTEM_ORVEXSYSTEM_P_H

#include <orvexsystem/abstracthardwarewrapper.h>
#include <orvexsystem/system.h>

#include "hub/callbackslot.h"
#include "sessions/sessionfacades.h"
#include "system/tapslot.h"

#include <QtCore/QMap>
#include <QtCore/QSet>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QThread;

namespace Orvexsystem {

class OrvexSystemPrivate
{
public:
    // Longest wait for the event queue's lock.
    static constexpr std::chrono::milliseconds MutexTryLockTime{10000};
    // How long shutdown() waits for the event thread before it says so.
    static constexpr std::chrono::milliseconds EventThreadJoinTime{50};
    // No hub packet is longer: the driver's length is refused beyond it.
    static const uint32_t MaximumPacketLength = 65536;

    static OrvexSystemPrivate *get(OrvexSystem *system) { return system->d.get(); }

    std::shared_ptr<AbstractHardwareWrapper> wrapper() const { return std::atomic_load(&m_wrapper); }
    void setWrapper(std::shared_ptr<AbstractHardwareWrapper> w) { std::atomic_store(&m_wrapper, std::move(w)); }

    // --- lifecycle ----------------------------------------------------------
    // initialise() and shutdown() take turns under this lock.
    std::mutex lifecycleMutex;
    std::atomic<int> state{0};
    std::atomic<int> currentSession{0};
    std::atomic<OrvexSystem::Error> lastError{OrvexSystem::Error_Failed};
    // Guards the creation and the release of the binding. wrapperCreated is
    // set once a binding was created, also when it failed to load: such a
    // binding is not created again.
    std::mutex wrapperMutex;
    bool wrapperCreated = false;
    // The thread that called initialise(): every hub lives there.
    QThread *hostThread = nullptr;

    CallbackSlot<OrvexSystem::HubConnectedCallback> hubConnectedCallback;

    // The session façades handed out, one record per kind.
    SessionFacades facades;

    // --- tap ----------------------------------------------------------------
    TapSlot tap;
    // Reports a packet or a write to the tap (once isSet() said it is set);
    // kept out of line, off the packet path's own code.
    void tapTraffic(OrvexSystem::TapEventKind kind, HubHandle_t handle, qint64 timeNs,
                    const uint8_t *data, uint32_t length, bool accepted);
    // Reports a hub taken in or gone, on the discovery thread.
    void tapHub(OrvexSystem::TapEventKind kind, const DriverDeviceInfo &record, bool atStart);

    // --- hubs ---------------------------------------------------------------
    // Every hub object that exists, in the table or still being set up, so
    // that shutdown() can end the exchanges of all of them.
    void hubCreated(Hub *hub);
    void hubDestroyed(Hub *hub);
    // Marks the system as stopping and ends every waiting exchange.
    void beginStopping();

    // The hub table and the information maps. Discovery writes them (host
    // thread inside initialise(), the event thread afterwards); host calls
    // read them. Never held while calling out.
    mutable std::mutex tableMutex;
    QMap<HubHandle_t, Hub *> hubs;
    QMap<int, HubDisplayInfo> orvexHubInfo;
    QMap<int, HubDisplayInfo> legacyHubInfo;
    // The device record of every connected hub, as discovery last read it.
    QMap<HubHandle_t, DriverDeviceInfo> driverRecords;
    // Adds a hub to the table and publishes the packet path's view of it.
    void insertHubLocked(HubHandle_t handle, Hub *hub);

    // --- driver callbacks ---------------------------------------------------
    // Admits a plug-and-play notice and counts it in flight; false once
    // shutdown() has closed the gate. Counted under tableMutex, which
    // shutdown() takes to close the gate.
    bool enterPnpCallback();
    // Admits a packet for the hub with this handle; null (and not counted)
    // when the gate is closed or no such hub is in the table. Takes no lock.
    Hub *enterPacketCallback(HubHandle_t handle);
    void leaveCallback();
    // Closes the gate to new callbacks and empties the table; returns the
    // hubs it held.
    QMap<HubHandle_t, Hub *> closeCallbackGate();
    void openCallbackGate();
    // Waits until no admitted callback is running.
    void waitForCallbacks();

    // --- driver lock --------------------------------------------------------
    // The library's side of the driver lock: a re-entrant lock by thread in
    // front of the driver's own, so that a wait for it can be given up when
    // the system stops (the driver's lock cannot be interrupted).
    enum class LockWait { Never, Always, UntilStopping };
    // True when the thread holds the lock afterwards; *first tells whether
    // this call took it (so the caller takes the driver's lock too).
    bool acquireDriverLock(LockWait wait, bool *first);
    enum class Release { NotHeld, Nested, Last };
    // Gives up one level. On Last the caller releases the driver's lock and
    // then calls finishDriverLockRelease().
    Release beginDriverLockRelease();
    void finishDriverLockRelease();
    bool holdsDriverLock();

    // --- event thread -------------------------------------------------------
    // Has the event thread re-read the hub's registered devices ms from now
    // (Event_ReadDeviceLists). A later request for the same hub restarts the
    // wait; 0 cancels a pending one. Ignored while not initialised.
    void scheduleReenumeration(Hub *hub, int ms);

    // Timers kept by the event thread, for objects that must not depend on
    // a Qt event loop in their own thread. startEventTimer() runs fn once on
    // the event thread ms from now and returns its id (never 0); 0 and
    // nothing scheduled while the system is not initialised. Once
    // cancelEventTimer() returns, fn does not run, and is not running unless
    // the caller is the event thread itself. shutdown() drops every timer.
    using TimerId = quint64;
    TimerId startEventTimer(int ms, std::function<void()> fn);
    void cancelEventTimer(TimerId id);

    std::mutex eventMutex;
    std::condition_variable eventCondition;
    std::deque<OrvexSystem::AsEvent> eventQueue;
    // Bytes of packet data waiting in eventQueue. A hub that sends faster
    // than the event thread can work would otherwise grow the queue without
    // bound: past MaxQueuedPacketBytes its packets are dropped (the message
    // transport treats them as lost) until the event thread catches up.
    static constexpr qint64 MaxQueuedPacketBytes = 16 * 1024 * 1024;
    qint64 queuedPacketBytes = 0;
    // Pending re-reads of hubs' registrations, by when they are due.
    std::map<Hub *, std::chrono::steady_clock::time_point> reenumerationsDue;
    struct EventTimer
    {
        std::chrono::steady_clock::time_point due;
        std::function<void()> fn;
    };
    std::map<TimerId, EventTimer> eventTimers;
    TimerId nextTimerId = 1;
    TimerId runningTimer = 0; // the timer whose fn runs now
    std::condition_variable timerDone;
    bool stopEventThread = false;

    // One discovery pass at a time: the one inside initialise() may meet the
    // event thread's pass after an early plug-and-play notification.
    std::mutex discoveryMutex;

    std::atomic<bool> stopping{false};

private:
    // The packet path's view of the hub table: immutable once published;
    // replaced (not changed) when a hub is added. Every view stays alive
    // until shutdown() has waited for the callbacks, so a callback never
    // reads a freed one.
    struct HubTable
    {
        std::vector<std::pair<HubHandle_t, Hub *>> entries;
        Hub *find(HubHandle_t handle) const
        {
            for (const auto &entry : entries)
                if (entry.first == handle)
                    return entry.second;
            return nullptr;
        }
    };
    std::atomic<const HubTable *> m_packetTable{nullptr};
    std::vector<std::unique_ptr<HubTable>> m_tables;
    bool m_acceptingPnp = false; // under tableMutex
    std::atomic<bool> m_acceptingPackets{false};
    std::atomic<int> m_callbacksInFlight{0};
    std::atomic<bool> m_shutdownWaiting{false};
    std::mutex m_inFlightMutex;
    std::condition_variable m_inFlightDone;

    std::mutex m_liveHubsMutex;
    QSet<Hub *> m_liveHubs;

    std::mutex m_driverLockMutex;
    std::condition_variable m_driverLockFree;
    std::thread::id m_driverLockOwner;
    int m_driverLockDepth = 0;

    std::shared_ptr<AbstractHardwareWrapper> m_wrapper;
};

} // namespace Orvexsystem

#endif
