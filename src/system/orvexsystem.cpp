#include "system/orvexsystem_p.h"

#include "driver/orvexwrapper.h"
#include "system/callbackscope.h"

#include <orvexsystem/hub.h>
#include <orvexsystem/hubresponse.h>
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
} // namespace

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
    if (!CallbackScope::onEventThread()) {
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
    if (d->state.load() == 1)
        return true;

    {
        std::lock_guard<std::mutex> lock(d->eventMutex);
        d->stopEventThread = false;
        // Nothing of an earlier run is handled in this one.
        d->eventQueue.clear();
        d->reenumerationsDue.clear();
    }
    if (!eventThreadRunning())
        eventThread() = boost::thread([this] { orvexsystemEventHandler(); });

    if (!initialiseOrvexWrapper())
        return false;

    d->hostThread = QThread::currentThread();
    d->wrapper()->setPnpCallback(&OrvexSystem::pnpCallback, this);
    d->currentSession.store(0);
    d->state.store(1);
    updateHubs();
    return true;
}

bool OrvexSystem::shutdown()
{
    if (d->state.load() == 0)
        return true;
    // Called from a driver callback, from the event thread or from an
    // announcement of discovery, shutdown would wait for itself and delete
    // the hub that the caller is still using.
    if (CallbackScope::inDriverCallback() || CallbackScope::onEventThread()
        || CallbackScope::inDiscovery())
        return false;

    {
        std::lock_guard<std::mutex> lock(d->eventMutex);
        d->stopEventThread = true;
    }
    d->eventCondition.notify_all();
    // The event thread ends after the event it is handling; a hub that it
    // uses is deleted only after that, however long the event takes.
    if (eventThread().joinable()
        && !eventThread().try_join_for(
            boost::chrono::milliseconds(OrvexSystemPrivate::EventThreadJoinTime.count())))
        eventThread().join();

    std::shared_ptr<AbstractHardwareWrapper> wrapper = d->wrapper();
    QMap<HubHandle_t, Hub *> hubs;
    {
        std::lock_guard<std::mutex> lock(d->tableMutex);
        hubs = d->hubs;
    }
    for (Hub *hub : std::as_const(hubs))
        wrapper->clearCallback(hub->handle(), &OrvexSystem::processPacketCallback, this);
    {
        std::lock_guard<std::mutex> lock(d->tableMutex);
        d->hubs.clear();
    }
    wrapper->clearPnpCallback(&OrvexSystem::pnpCallback, this);
    wrapper->detach();
    d->state.store(0);

    // Packet and plug-and-play callbacks that found their hub before it left
    // the table are still allowed to finish.
    d->shutdownWaiting.store(true);
    {
        std::unique_lock<std::mutex> lock(d->inFlightMutex);
        d->inFlightDone.wait(lock, [this] { return d->callbacksInFlight.load() == 0; });
    }
    d->shutdownWaiting.store(false);

    // Events still queued refer to hubs about to be deleted.
    {
        std::lock_guard<std::mutex> lock(d->eventMutex);
        d->eventQueue.clear();
        d->reenumerationsDue.clear();
    }
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
    if (std::shared_ptr<AbstractHardwareWrapper> wrapper = d->wrapper())
        wrapper->lock();
}

void OrvexSystem::unlockDriver()
{
    if (std::shared_ptr<AbstractHardwareWrapper> wrapper = d->wrapper())
        wrapper->unlock();
}

void OrvexSystem::setHubConnectedCallback(HubConnectedCallback callback, void *context)
{
    std::lock_guard<std::mutex> lock(d->callbackMutex);
    d->hubConnectedCallback = callback;
    d->hubConnectedContext = callback ? context : nullptr;
}

void OrvexSystem::asPostEvent(const AsEvent &event)
{
    // A hub's event outside an initialised run would reach a hub that
    // shutdown() deletes.
    if (event.hub && d->state.load() != 1)
        return;
    std::unique_lock<std::mutex> lock(d->eventMutex, std::defer_lock);
    if (!detail::lockWithin(lock, OrvexSystemPrivate::MutexTryLockTime))
        return;
    d->eventQueue.push_back(event);
    lock.unlock();
    d->eventCondition.notify_all();
}

void OrvexSystem::scheduleReenumeration(Hub *hub, int ms)
{
    if (!hub)
        return;
    std::unique_lock<std::mutex> lock(d->eventMutex, std::defer_lock);
    if (!detail::lockWithin(lock, OrvexSystemPrivate::MutexTryLockTime))
        return;
    if (ms <= 0) {
        d->reenumerationsDue.erase(hub);
        return;
    }
    if (d->state.load() != 1)
        return;
    d->reenumerationsDue[hub] = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    lock.unlock();
    d->eventCondition.notify_all();
}

void OrvexSystem::pnpCallback(void *context)
{
    auto *self = static_cast<OrvexSystem *>(context);
    CallbackScope scope(*self->d);
    if (std::shared_ptr<AbstractHardwareWrapper> wrapper = self->d->wrapper())
        wrapper->initialise();
    // A notice before initialise() has finished needs no pass of its own:
    // the pass inside initialise() follows it.
    if (self->d->state.load() == 1)
        self->asPostEvent(AsEvent{0, QByteArray(), nullptr});
}

void OrvexSystem::orvexsystemEventHandler()
{
    CallbackScope::markEventThread();
    for (;;) {
        AsEvent event;
        {
            std::unique_lock<std::mutex> lock(d->eventMutex, std::defer_lock);
            while (!detail::lockWithin(lock, OrvexSystemPrivate::MutexTryLockTime)) {
            }
            for (;;) {
                if (d->stopEventThread)
                    return;
                // Re-reads that have come due join the queue in time order.
                const auto now = std::chrono::steady_clock::now();
                auto next = std::chrono::steady_clock::time_point::max();
                for (auto it = d->reenumerationsDue.begin(); it != d->reenumerationsDue.end();) {
                    if (it->second <= now) {
                        d->eventQueue.push_back(AsEvent{3, QByteArray(), it->first});
                        it = d->reenumerationsDue.erase(it);
                    } else {
                        next = std::min(next, it->second);
                        ++it;
                    }
                }
                if (!d->eventQueue.empty())
                    break;
                if (next == std::chrono::steady_clock::time_point::max())
                    d->eventCondition.wait(lock);
                else
                    d->eventCondition.wait_until(lock, next);
            }
            event = std::move(d->eventQueue.front());
            d->eventQueue.pop_front();
        }
        handleEvent(event);
    }
}

void OrvexSystem::handleEvent(const AsEvent &event)
{
    if (event.type == 0) {
        updateHubs();
        return;
    }
    if (!event.hub)
        return;
    {
        // Only hubs of the current table: an event never reaches a hub that
        // shutdown() has deleted.
        // Compared as a pointer: the hub may be one that is gone.
        std::lock_guard<std::mutex> lock(d->tableMutex);
        if (std::find(d->hubs.cbegin(), d->hubs.cend(), event.hub) == d->hubs.cend())
            return;
    }
    switch (event.type) {
    case 1:
        if (auto *hub = dynamic_cast<TwoPointFourGHzHub *>(event.hub))
            hub->processAsyncPacket(event.data);
        break;
    case 2:
        if (auto *hub = dynamic_cast<TwoPointFourGHzHub *>(event.hub))
            hub->processGenericAsyncPacket(event.data);
        break;
    case 3:
        event.hub->readRegisteredDevicesLists();
        break;
    default:
        break;
    }
}

} // namespace Orvexsystem
