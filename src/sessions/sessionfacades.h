#ifndef ORVEXSYSTEM_SESSIONS_SESSIONFACADES_H
#define ORVEXSYSTEM_SESSIONS_SESSIONFACADES_H

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class QObject;
class QThread;

namespace Orvexsystem {

class Hub;
class LegacyHub;
class TwoPointFourGHzHub;

// The session façades that OrvexSystem hands out, one record per kind
// (2.4 GHz registration, expression naming, voting-handset naming, slate
// naming, legacy registration): the façade, its implementation slot and the
// hub it forwards to.
//
// One record per kind: façades of different kinds may be open at the same
// time, on the same hub or on different ones, and each stop reaches its own
// façade and hub. A start is refused while a façade of its kind exists,
// also one switched to its error implementation (hub gone, or the system
// shut down): the host stops it first.
//
// A façade whose hub vanishes, and every façade still open when the system
// shuts down, is switched to its error implementation; the host's stop then
// deletes it, and whatever is left is freed with the system.
//
// The hub's reports reach the façades through one relay object per hub,
// made at the first start over it and kept until shutdown; a stop or a
// switch only changes the record the relay reads.
//
// Lock: one mutex guards the records and the relays. It is held for
// lookups, the relays' connections and pointer changes only; the hub calls of a stop and the
// withdrawal of a naming callback (which waits for a report in delivery,
// whose host callback may call a stop) run after it is released.
class SessionFacades
{
public:
    SessionFacades();
    ~SessionFacades();
    SessionFacades(const SessionFacades &) = delete;
    SessionFacades &operator=(const SessionFacades &) = delete;

    // Starts may succeed from now on (initialise()).
    void open();
    // Creates the façade of the kind over the hub that findHub() gives
    // (called under the records' lock, so that discovery cannot take the hub
    // away between the lookup and the record; null refuses). Null while
    // closed, while a façade of the kind exists, for a hub of another kind,
    // or when a relay cannot be connected. The façade belongs to home, the
    // thread that called initialise().
    template <class Facade>
    const Facade *start(const std::function<Hub *()> &findHub, QThread *home);
    // Deletes the kind's façade, if any, after ending its session on the hub
    // while it is attached. Its implementation is freed once no operation
    // uses it.
    template <class Facade>
    void stop();

    // Discovery: every façade over this hub switches to its error
    // implementation.
    void hubVanished(Hub *hub);
    // shutdown(): refuses new starts, switches every façade still open, and
    // waits until no operation uses a normal implementation, so that the
    // hubs can be deleted.
    void close();

    // True on a thread inside a façade operation.
    static bool inFacadeCall();

    struct Entries;

private:
    template <class Facade>
    auto &entry();
    template <class Impl, class Normal, class HubType>
    std::shared_ptr<Impl> makeNormal(HubType *hub);
    // Switches the records that match to their error implementations under
    // the lock; returns the withdrawals to run once it is released.
    std::vector<std::function<void()>> switchLocked(Hub *hub, bool all);
    template <class HubType>
    bool relayReportsOf(HubType *hub, QThread *home);
    bool connectRelays(TwoPointFourGHzHub *hub, QObject *relay);
    bool connectRelays(LegacyHub *hub, QObject *relay);
    // Emits the report on the façade of the kind whose record names the hub.
    template <class Facade, class Emit>
    void deliver(Hub *hub, Emit emitOn);
    void normalReleased();

    std::mutex m_mutex;
    std::unique_ptr<Entries> m_entries;
    bool m_bOpen = false;
    std::map<Hub *, QObject *> m_relays; // owned

    // Normal implementations alive: close() waits for none to be left.
    std::mutex m_liveMutex;
    std::condition_variable m_liveReleased;
    int m_nLiveNormal = 0;
};

} // namespace Orvexsystem

#endif
