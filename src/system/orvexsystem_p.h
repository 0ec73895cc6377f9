#ifndef ORVEXSYSTEM_SYSTEM_ORVEXSYSTEM_P_H
#define ORVEXSYSTEM_SYSTEM_ORVEXSYSTEM_P_H

#include <orvexsystem/abstracthardwarewrapper.h>
#include <orvexsystem/system.h>

#include <QtCore/QMap>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

class QThread;

namespace Orvexsystem {

class OrvexSystemPrivate
{
public:
    // Longest wait for the event queue's lock.
    static constexpr std::chrono::milliseconds MutexTryLockTime{10000};
    // How long shutdown() waits for the event thread before it says so.
    static constexpr std::chrono::milliseconds EventThreadJoinTime{50};

    std::shared_ptr<AbstractHardwareWrapper> wrapper() const { return std::atomic_load(&m_wrapper); }
    void setWrapper(std::shared_ptr<AbstractHardwareWrapper> w) { std::atomic_store(&m_wrapper, std::move(w)); }

    std::atomic<int> state{0};
    std::atomic<int> currentSession{0};
    std::atomic<OrvexSystem::Error> lastError{OrvexSystem::Error_Failed};
    // Guards the creation and the release of the binding. wrapperCreated is
    // set once a binding was created, also when it failed to load: such a
    // binding is not created again.
    std::mutex wrapperMutex;
    bool wrapperCreated = false;

    std::mutex callbackMutex;
    OrvexSystem::HubConnectedCallback hubConnectedCallback = nullptr;
    void *hubConnectedContext = nullptr;

    // The hub table and the information maps. Discovery writes them (host
    // thread inside initialise(), the event thread afterwards); the packet
    // callback and host calls read them. Never held while calling out.
    mutable std::mutex tableMutex;
    QMap<HubHandle_t, Hub *> hubs;
    QMap<int, HubDisplayInfo> orvexHubInfo;
    QMap<int, HubDisplayInfo> legacyHubInfo;

    // Driver callbacks still running; shutdown() waits for them before it
    // deletes hubs and the binding.
    std::atomic<int> callbacksInFlight{0};
    std::atomic<bool> shutdownWaiting{false};
    std::mutex inFlightMutex;
    std::condition_variable inFlightDone;

    // The event queue, first in, first out.
    std::mutex eventMutex;
    std::condition_variable eventCondition;
    std::deque<OrvexSystem::AsEvent> eventQueue;
    // Pending re-reads of hubs' registrations, by when they are due.
    std::map<Hub *, std::chrono::steady_clock::time_point> reenumerationsDue;
    bool stopEventThread = false;

    // One discovery pass at a time: the one inside initialise() may meet the
    // event thread's pass after an early plug-and-play notification.
    std::mutex discoveryMutex;

    // The thread that called initialise(): every hub lives there.
    QThread *hostThread = nullptr;

private:
    std::shared_ptr<AbstractHardwareWrapper> m_wrapper;
};

} // namespace Orvexsystem

#endif
