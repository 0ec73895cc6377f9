#include "system/orvexsystem_p.h"

#include "driver/orvexwrapper.h"
#include "hub/boundedlock.h"
#include "hub/hub_p.h"
#include "system/threadcontext.h"

#include <orvexsystem/hub.h>
#include <orvexsystem/twopointfourghzhub.h>

#include <QtCore/QMetaEnum>
#include <QtCore/QThread>

#include <boost/thread/thread.hpp>

#include <algorithm>

namespace Orvexsystem {

namespace {
// The event thread: one per process, started by initialise() and ended by
// shutdown() or the system's destruction.
boost::thread &eventThread()
{
    // Never destroyed: the system's destructor, which runs at process exit,
    // still joins it.
    static boost::thread *thread = new boost::thread;
    return *thread;
}

bool eventThreadRunning()
{
    boost::thread &thread = eventThread();
    if (!thread.joinable())
        return false;
    // A thread that has ended is joined here, so that a new one can start.
    return !thread.try_join_for(boost::chrono::milliseconds(0));
}

// Calls that would wait for the caller itself: a driver callback, the event
// thread, an announcement of discovery.
bool onLibraryThread()
{
    return ThreadContext::inDriverCallback() || ThreadContext::onEventThread()
        || ThreadContext::inDiscovery();
}
} // namespace

// ---------------------------------------------------------------------------
// OrvexSystemPrivate

void OrvexSystemPrivate::hubCreated(Hub *hub)
{
    std::lock_guard<std::mutex> lock(m_liveHubsMutex);
    m_liveHubs.insert(hub);
    // Made by a discovery pass that shutdown() is waiting for.
    if (stopping.load())
        HubPrivate::get(hub)->abortExchanges();
}

void OrvexSystemPrivate::hubDestroyed(Hub *hub)
{
    std::lock_guard<std::mutex> lock(m_liveHubsMutex);
    m_liveHubs.remove(hub);
}

void OrvexSystemPrivate::beginStopping()
{
    {
        std::lock_guard<std::mutex> lock(m_liveHubsMutex);
        stopping.store(true);
        for (Hub *hub : std::as_const(m_liveHubs))
            HubPrivate::get(hub)->abortExchanges();
    }
    // A re-read waiting for the driver lock gives up.
    std::lock_guard<std::mutex> lock(m_driverLockMutex);
    m_driverLockFree.notify_all();
}

void OrvexSystemPrivate::insertHubLocked(HubHandle_t handle, Hub *hub)
{
    hubs.insert(handle, hub);
    auto table = std::make_unique<HubTable>();
    for (auto it = hubs.cbegin(); it != hubs.cend(); ++it)
        table->entries.emplace_back(it.key(), it.value());
    m_packetTable.store(table.get(), std::memory_order_release);
    m_tables.push_back(std::move(table));
}

bool OrvexSystemPrivate::enterPnpCallback()
{
    std::lock_guard<std::mutex> lock(tableMutex);
    if (!m_acceptingPnp)
        return false;
    m_callbacksInFlight.fetch_add(1);
    return true;
}

Hub *OrvexSystemPrivate::enterPacketCallback(HubHandle_t handle)
{
    // Counted before the gate is looked at, and the gate closed before the
    // count is waited for (both sequentially consistent): either shutdown()
    // sees this callback counted, or the callback sees the gate closed.
    m_callbacksInFlight.fetch_add(1);
    if (m_acceptingPackets.load()) {
        if (const HubTable *table = m_packetTable.load(std::memory_order_acquire))
            if (Hub *hub = table->find(handle))
                return hub;
    }
    leaveCallback();
    return nullptr;
}

void OrvexSystemPrivate::leaveCallback()
{
    if (m_callbacksInFlight.fetch_sub(1) == 1 && m_shutdownWaiting.load()) {
        std::lock_guard<std::mutex> lock(m_inFlightMutex);
        m_inFlightDone.notify_all();
    }
}

QMap<HubHandle_t, Hub *> OrvexSystemPrivate::closeCallbackGate()
{
    std::lock_guard<std::mutex> lock(tableMutex);
    m_acceptingPnp = false;
    m_acceptingPackets.store(false);
    m_packetTable.store(nullptr);
    QMap<HubHandle_t, Hub *> held;
    held.swap(hubs);
    driverRecords.clear();
    return held;
}

void OrvexSystemPrivate::openCallbackGate()
{
    std::lock_guard<std::mutex> lock(tableMutex);
    m_acceptingPnp = true;
    m_acceptingPackets.store(true);
}

void OrvexSystemPrivate::waitForCallbacks()
{
    m_shutdownWaiting.store(true);
    {
        std::unique_lock<std::mutex> lock(m_inFlightMutex);
        m_inFlightDone.wait(lock, [this] { return m_callbacksInFlight.load() == 0; });
    }
    m_shutdownWaiting.store(false);
    // No callback can read an old view of the table any more.
    std::lock_guard<std::mutex> lock(tableMutex);
    m_tables.clear();
}

bool OrvexSystemPrivate::acquireDriverLock(LockWait wait, bool *first)
{
    std::unique_lock<std::mutex> lock(m_driverLockMutex);
    const std::thread::id me = std::this_thread::get_id();
    *first = false;
    if (m_driverLockDepth > 0 && m_driverLockOwner == me) {
        ++m_driverLockDepth;
        return true;
    }
    switch (wait) {
    case LockWait::Never:
        if (m_driverLockDepth > 0)
            return false;
        break;
    case LockWait::Always:
        m_driverLockFree.wait(lock, [this] { return m_driverLockDepth == 0; });
        break;
    case LockWait::UntilStopping:
        m_driverLockFree.wait(lock, [this] { return m_driverLockDepth == 0 || stopping.load(); });
        if (m_driverLockDepth > 0)
            return false;
        break;
    }
    m_driverLockOwner = me;
    m_driverLockDepth = 1;
    *first = true;
    return true;
}

OrvexSystemPrivate::Release OrvexSystemPrivate::beginDriverLockRelease()
{
    std::lock_guard<std::mutex> lock(m_driverLockMutex);
    if (m_driverLockDepth == 0 || m_driverLockOwner != std::this_thread::get_id())
        return Release::NotHeld;
    if (m_driverLockDepth > 1) {
        --m_driverLockDepth;
        return Release::Nested;
    }
    return Release::Last;
}

void OrvexSystemPrivate::finishDriverLockRelease()
{
    std::lock_guard<std::mutex> lock(m_driverLockMutex);
    m_driverLockDepth = 0;
    m_driverLockOwner = std::thread::id();
    m_driverLockFree.notify_all();
}

bool OrvexSystemPrivate::holdsDriverLock()
{
    std::lock_guard<std::mutex> lock(m_driverLockMutex);
    return m_driverLockDepth > 0 && m_driverLockOwner == std::this_thread::get_id();
}

void OrvexSystemPrivate::scheduleReenumeration(Hub *hub, int ms)
{
    if (!hub)
        return;
    std::unique_lock<std::mutex> lock(eventMutex, std::defer_lock);
    if (!detail::lockWithin(lock, MutexTryLockTime))
        return;
    if (ms <= 0) {
        reenumerationsDue.erase(hub);
        return;
    }
    if (state.load() != 1)
        return;
    reenumerationsDue[hub] = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    lock.unlock();
    eventCondition.notify_all();
}

OrvexSystemPrivate::TimerId OrvexSystemPrivate::startEventTimer(int ms, std::function<void()> fn)
{
    std::unique_lock<std::mutex> lock(eventMutex, std::defer_lock);
    if (!detail::lockWithin(lock, MutexTryLockTime) || state.load() != 1)
        return 0;
    const TimerId id = nextTimerId++;
    eventTimers[id] = EventTimer{std::chrono::steady_clock::now()
                                     + std::chrono::milliseconds(ms < 0 ? 0 : ms),
                                 std::move(fn)};
    lock.unlock();
    eventCondition.notify_all();
    return id;
}

void OrvexSystemPrivate::cancelEventTimer(TimerId id)
{
    if (id == 0)
        return;
    std::unique_lock<std::mutex> lock(eventMutex);
    eventTimers.erase(id);
    if (!ThreadContext::onEventThread())
        timerDone.wait(lock, [&] { return runningTimer != id; });
}

// ---------------------------------------------------------------------------
// OrvexSystem

OrvexSystem &OrvexSystem::instance()
{
    static OrvexSystem system;
    return system;
}

int OrvexSystem::getLibraryVersion() { return (1 << 16) | (27 << 8) | 0; }

OrvexSystem::OrvexSystem() : QObject(nullptr), d(new OrvexSystemPrivate)
{
    qRegisterMetaType<HubHandle_t>("Orvexsystem::HubHandle_t");
}

OrvexSystem::~OrvexSystem()
{
    // A host that did not shut down: the driver must not call into a
    // destroyed system, nor the event thread serve its queue.
    shutdown();
    if (!ThreadContext::onEventThread()) {
        {
            std::lock_guard<std::mutex> lock(d->eventMutex);
            d->stopEventThread = true;
        }
        d->eventCondition.notify_all();
        if (eventThread().joinable())
            eventThread().join();
    }
    d->setWrapper(nullptr);
}

QString OrvexSystem::errorAsString(Error error)
{
    const QMetaObject &mo = OrvexSystem::staticMetaObject;
    const int index = mo.indexOfEnumerator("Error");
    if (index < 0)
        return QStringLiteral("Unknown");
    const char *key = mo.enumerator(index).valueToKey(int(error));
    return key ? QString::fromLatin1(key) : QStringLiteral("Unknown");
}

OrvexSystem::Error OrvexSystem::getLastError() const { return d->lastError.load(); }

void OrvexSystem::recordError(Error error) { d->lastError.store(error); }

AbstractHardwareWrapper *OrvexSystem::createWrapper() { return new OrvexWrapper; }

bool OrvexSystem::initialiseOrvexWrapper()
{
    std::shared_ptr<AbstractHardwareWrapper> wrapper;
    {
        std::lock_guard<std::mutex> lock(d->wrapperMutex);
        if (!d->wrapperCreated) {
            d->wrapperCreated = true;
            d->setWrapper(std::shared_ptr<AbstractHardwareWrapper>(createWrapper()));
        }
        wrapper = d->wrapper();
    }
    if (wrapper && wrapper->isLoaded())
        return true;
    recordError(Error_DriverNotInstalled);
    return false;
}

bool OrvexSystem::isDriverInstalled() { return initialiseOrvexWrapper(); }

bool OrvexSystem::initialise()
{
    // From a thread that the library is using for a pass or a callback it
    // would wait for itself; the system is as initialised as it is.
    if (onLibraryThread())
        return d->state.load() == 1;
    std::lock_guard<std::mutex> lifecycle(d->lifecycleMutex);
    if (d->state.load() == 1)
        return true;

    {
        std::lock_guard<std::mutex> lock(d->eventMutex);
        d->stopEventThread = false;
        // Nothing of an earlier run is handled in this one.
        d->eventQueue.clear();
        d->queuedPacketBytes = 0;
        d->reenumerationsDue.clear();
        d->eventTimers.clear();
    }
    d->stopping.store(false);
    if (!eventThreadRunning())
        eventThread() = boost::thread([this] { orvexsystemEventHandler(); });

    if (!initialiseOrvexWrapper())
        return false;

    d->hostThread = QThread::currentThread();
    d->openCallbackGate();
    d->wrapper()->setPnpCallback(&OrvexSystem::pnpCallback, this);
    d->currentSession.store(0);
    d->facades.open();
    d->state.store(1);
    updateHubs();
    return true;
}

bool OrvexSystem::shutdown()
{
    if (d->state.load() == 0)
        return true;
    // Inside a session façade's operation it would wait for that operation.
    if (onLibraryThread() || SessionFacades::inFacadeCall())
        return false;
    // The event thread may be waiting for the driver lock that this thread
    // holds; the host releases it first.
    if (d->holdsDriverLock()) {
        recordError(Error_Failed);
        return false;
    }
    std::lock_guard<std::mutex> lifecycle(d->lifecycleMutex);
    if (d->state.load() == 0)
        return true;

    // Every exchange that waits for a reply ends now and every new one fails
    // at once, so nothing below waits for a reply time-out.
    d->beginStopping();
    {
        std::lock_guard<std::mutex> lock(d->eventMutex);
        d->stopEventThread = true;
    }
    d->eventCondition.notify_all();
    // The event thread ends after the event it is handling; a hub that it
    // uses is deleted only after that.
    if (eventThread().joinable()
        && !eventThread().try_join_for(
            boost::chrono::milliseconds(OrvexSystemPrivate::EventThreadJoinTime.count())))
        eventThread().join();

    // No callback is admitted from here on; those already admitted finish
    // before the driver is detached, so that none attaches it again after
    // the detach, and before the hubs they use are deleted.
    std::shared_ptr<AbstractHardwareWrapper> wrapper = d->wrapper();
    const QMap<HubHandle_t, Hub *> hubs = d->closeCallbackGate();
    for (Hub *hub : hubs)
        wrapper->clearCallback(hub->handle(), &OrvexSystem::processPacketCallback, this);
    wrapper->clearPnpCallback(&OrvexSystem::pnpCallback, this);
    d->waitForCallbacks();
    wrapper->detach();
    d->state.store(0);

    // Events and timers still queued refer to hubs about to be deleted.
    {
        std::lock_guard<std::mutex> lock(d->eventMutex);
        d->eventQueue.clear();
        d->queuedPacketBytes = 0;
        d->reenumerationsDue.clear();
        d->eventTimers.clear();
    }
    // Façades still open answer failure from now on; none is inside an
    // operation on a hub when the hubs go.
    d->facades.close();
    qDeleteAll(hubs);

    {
        std::lock_guard<std::mutex> lock(d->wrapperMutex);
        d->setWrapper(nullptr);
        d->wrapperCreated = false;
    }
    wrapper.reset();
    d->currentSession.store(0);
    return true;
}

void OrvexSystem::lockDriver()
{
    using LockWait = OrvexSystemPrivate::LockWait;
    // The driver's thread never waits (it delivers the replies that the
    // holder may be waiting for); the event thread gives up when the system
    // stops.
    const LockWait wait = ThreadContext::inDriverCallback() ? LockWait::Never
        : ThreadContext::onEventThread()                   ? LockWait::UntilStopping
                                                           : LockWait::Always;
    bool first = false;
    if (!d->acquireDriverLock(wait, &first) || !first)
        return;
    if (std::shared_ptr<AbstractHardwareWrapper> wrapper = d->wrapper())
        wrapper->lock();
}

void OrvexSystem::unlockDriver()
{
    if (d->beginDriverLockRelease() != OrvexSystemPrivate::Release::Last)
        return;
    if (std::shared_ptr<AbstractHardwareWrapper> wrapper = d->wrapper())
        wrapper->unlock();
    d->finishDriverLockRelease();
}

void OrvexSystem::setHubConnectedCallback(HubConnectedCallback callback, void *context)
{
    d->hubConnectedCallback.store(callback, context);
}

void OrvexSystem::asPostEvent(const AsEvent &event)
{
    // A hub's event outside an initialised run would reach a hub that
    // shutdown() deletes.
    if (event.hub && d->state.load() != 1)
        return;
    // The data is copied, not shared: a packet may be the packet thread's
    // reused buffer.
    AsEvent queued{event.type, QByteArray(event.data.constData(), event.data.size()), event.hub};
    std::unique_lock<std::mutex> lock(d->eventMutex, std::defer_lock);
    if (!detail::lockWithin(lock, OrvexSystemPrivate::MutexTryLockTime))
        return;
    const qint64 bytes = queued.data.size();
    if (bytes > 0 && d->queuedPacketBytes + bytes > OrvexSystemPrivate::MaxQueuedPacketBytes)
        return;
    d->queuedPacketBytes += bytes;
    d->eventQueue.push_back(std::move(queued));
    lock.unlock();
    d->eventCondition.notify_all();
}

void OrvexSystem::pnpCallback(void *context)
{
    auto *self = static_cast<OrvexSystem *>(context);
    OrvexSystemPrivate &d = *self->d;
    if (!d.enterPnpCallback())
        return;
    {
        ThreadContext::DriverCallback mark;
        // The binding outlives this call: shutdown() releases it only after
        // every admitted callback has left.
        if (AbstractHardwareWrapper *wrapper = d.wrapper().get())
            wrapper->initialise();
        // A notice before initialise() has finished needs no pass of its
        // own: the pass inside initialise() follows it.
        if (d.state.load() == 1)
            self->asPostEvent(AsEvent{Event_Discovery, QByteArray(), nullptr});
    }
    d.leaveCallback();
}

void OrvexSystem::orvexsystemEventHandler()
{
    ThreadContext::markEventThread();
    for (;;) {
        AsEvent event;
        std::function<void()> timer;
        {
            std::unique_lock<std::mutex> lock(d->eventMutex, std::defer_lock);
            while (!detail::lockWithin(lock, OrvexSystemPrivate::MutexTryLockTime)) {
            }
            if (d->runningTimer != 0) {
                d->runningTimer = 0;
                d->timerDone.notify_all();
            }
            for (;;) {
                if (d->stopEventThread)
                    return;
                // Re-reads that have come due join the queue in time order.
                const auto now = std::chrono::steady_clock::now();
                auto next = std::chrono::steady_clock::time_point::max();
                for (auto it = d->reenumerationsDue.begin(); it != d->reenumerationsDue.end();) {
                    if (it->second <= now) {
                        d->eventQueue.push_back(
                            AsEvent{Event_ReadDeviceLists, QByteArray(), it->first});
                        it = d->reenumerationsDue.erase(it);
                    } else {
                        next = std::min(next, it->second);
                        ++it;
                    }
                }
                // A timer that has come due runs before the queued events.
                for (auto it = d->eventTimers.begin(); it != d->eventTimers.end(); ++it) {
                    if (it->second.due <= now) {
                        timer = std::move(it->second.fn);
                        d->runningTimer = it->first;
                        d->eventTimers.erase(it);
                        break;
                    }
                    next = std::min(next, it->second.due);
                }
                if (timer || !d->eventQueue.empty())
                    break;
                if (next == std::chrono::steady_clock::time_point::max())
                    d->eventCondition.wait(lock);
                else
                    d->eventCondition.wait_until(lock, next);
            }
            if (!timer) {
                event = std::move(d->eventQueue.front());
                d->eventQueue.pop_front();
                d->queuedPacketBytes -= event.data.size();
            }
        }
        if (timer)
            timer();
        else
            handleEvent(event);
    }
}

void OrvexSystem::handleEvent(const AsEvent &event)
{
    if (event.type == Event_Discovery) {
        updateHubs();
        return;
    }
    if (!event.hub)
        return;
    {
        // Only hubs of the current table, compared as pointers: an event
        // never reaches a hub that shutdown() has deleted.
        std::lock_guard<std::mutex> lock(d->tableMutex);
        if (std::find(d->hubs.cbegin(), d->hubs.cend(), event.hub) == d->hubs.cend())
            return;
    }
    switch (event.type) {
    case Event_AsyncPacket:
        if (auto *hub = dynamic_cast<TwoPointFourGHzHub *>(event.hub))
            hub->processAsyncPacket(event.data);
        break;
    case Event_GenericAsyncPacket:
        if (auto *hub = dynamic_cast<TwoPointFourGHzHub *>(event.hub))
            hub->processGenericAsyncPacket(event.data);
        break;
    case Event_ReadDeviceLists:
        event.hub->readRegisteredDevicesLists();
        break;
    default:
        break;
    }
}

} // namespace Orvexsystem
