#include "sessions/sessionfacades.h"

#include <orvexsystem/legacyhub.h>
#include <orvexsystem/twopointfourghzhub.h>

#include "sessions/legacyhubsessionimpl.h"
#include "sessions/orvexhubsessionimpl.h"
#include "sessions/sessionimplslot.h"

#include <QtCore/QThread>

#include <tuple>
#include <type_traits>

namespace Orvexsystem {

namespace {

// What differs between the kinds: the implementation family, the hub kind,
// and what the stop ends on the hub.
template <class Facade>
struct Kind;

template <>
struct Kind<OrvexhubRegistrationSession>
{
    using F = OrvexhubRegistrationSession;
    using Impl = OrvexhubRegistrationSessionImpl;
    using Normal = OrvexhubNormalRegSessionImpl;
    using Error = OrvexhubRegSessionErrorImpl;
    using HubType = TwoPointFourGHzHub;

    static void endOnHub(HubType *hub) { hub->stopSession(); }
    static void detach(Impl &) {}
};

template <>
struct Kind<OrvexhubExpressionNamingSession>
{
    using F = OrvexhubExpressionNamingSession;
    using Impl = OrvexhubExpressionNamingSessionImpl;
    using Normal = OrvexhubNormalExpressionNamingSessionImpl;
    using Error = OrvexhubExpressionNamingSessionErrorImpl;
    using HubType = TwoPointFourGHzHub;

    static void endOnHub(HubType *hub) { hub->stopExpressionNamingSession(); }
    static void detach(Impl &impl) { impl.detachFromHub(); }
};

template <>
struct Kind<OrvexhubVoteNamingSession>
{
    using F = OrvexhubVoteNamingSession;
    using Impl = OrvexhubOrvexvoteNamingSessionImpl;
    using Normal = OrvexhubNormalOrvexvoteNamingSessionImpl;
    using Error = OrvexhubOrvexvoteNamingSessionErrorImpl;
    using HubType = TwoPointFourGHzHub;

    static void endOnHub(HubType *hub) { hub->stopOrvexvoteNamingSession(); }
    static void detach(Impl &impl) { impl.detachFromHub(); }
};

template <>
struct Kind<OrvexhubSlateNamingSession>
{
    using F = OrvexhubSlateNamingSession;
    using Impl = OrvexhubSlateNamingSessionImpl;
    using Normal = OrvexhubNormalSlateNamingSessionImpl;
    using Error = OrvexhubSlateNamingSessionErrorImpl;
    using HubType = TwoPointFourGHzHub;

    static void endOnHub(HubType *hub) { hub->stopSlateNamingSession(); }
    static void detach(Impl &) {}
};

template <>
struct Kind<LegacyhubRegistrationSession>
{
    using F = LegacyhubRegistrationSession;
    using Impl = LegacyhubRegistrationSessionImpl;
    using Normal = LegacyhubNormalRegSessionImpl;
    using Error = LegacyhubRegSessionErrorImpl;
    using HubType = LegacyHub;

    // The legacy registration sessions are the host's to end.
    static void endOnHub(HubType *) {}
    static void detach(Impl &) {}
};

template <class Facade>
struct Entry
{
    using K = Kind<Facade>;
    SessionImplSlot<typename K::Impl> slot;
    Facade *facade = nullptr;
    // The hub the normal implementation forwards to; null once switched to
    // the error implementation.
    typename K::HubType *hub = nullptr;
};

// A façade or a relay belongs to the host's thread, where the relays run:
// deleted there at once, from elsewhere through that thread's event loop.
// (No report reaches a façade once its record is gone.)
void destroyInItsThread(QObject *object)
{
    if (!object)
        return;
    if (object->thread() == QThread::currentThread())
        delete object;
    else
        object->deleteLater();
}

} // namespace

using EntryTuple =
    std::tuple<Entry<OrvexhubRegistrationSession>, Entry<OrvexhubExpressionNamingSession>,
               Entry<OrvexhubVoteNamingSession>, Entry<OrvexhubSlateNamingSession>,
               Entry<LegacyhubRegistrationSession>>;

struct SessionFacades::Entries : EntryTuple
{
    template <class Fn>
    void forEach(Fn fn)
    {
        std::apply([&](auto &...entries) { (fn(entries), ...); }, static_cast<EntryTuple &>(*this));
    }
};

SessionFacades::SessionFacades() : m_entries(new Entries) {}

SessionFacades::~SessionFacades()
{
    // The system is being destroyed (at process exit), shut down before:
    // every hub call has ended. Façades the host never stopped go now.
    m_entries->forEach([](auto &e) {
        delete e.facade;
        e.facade = nullptr;
    });
}

template <class Facade>
auto &SessionFacades::entry()
{
    return std::get<Entry<Facade>>(*m_entries);
}

bool SessionFacades::inFacadeCall() { return SessionLeaseDepth::onThisThread() > 0; }

void SessionFacades::open()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bOpen = true;
}

template <class Impl, class Normal, class HubType>
std::shared_ptr<Impl> SessionFacades::makeNormal(HubType *hub)
{
    {
        std::lock_guard<std::mutex> lock(m_liveMutex);
        ++m_nLiveNormal;
    }
    return std::shared_ptr<Impl>(new Normal(hub), [this](Impl *impl) {
        delete impl;
        normalReleased();
    });
}

void SessionFacades::normalReleased()
{
    std::lock_guard<std::mutex> lock(m_liveMutex);
    if (--m_nLiveNormal == 0)
        m_liveReleased.notify_all();
}

template <class Facade>
const Facade *SessionFacades::start(const std::function<Hub *()> &findHub, QThread *home)
{
    using K = Kind<Facade>;
    std::lock_guard<std::mutex> lock(m_mutex);
    Entry<Facade> &e = entry<Facade>();
    if (!m_bOpen || e.facade)
        return nullptr;
    auto *hub = dynamic_cast<typename K::HubType *>(findHub());
    if (!hub || !relayReportsOf(hub, home))
        return nullptr;

    auto *facade = new Facade(&e.slot);
    // The façade joins the host's thread, as the hubs and relays do: its
    // signals are emitted there.
    if (home && facade->thread() != home)
        facade->moveToThread(home);
    e.slot.exchange(makeNormal<typename K::Impl, typename K::Normal>(hub));
    e.facade = facade;
    e.hub = hub;
    return facade;
}

// The relays: one object per hub, in the host's thread, connected once to
// the hub's registration, naming and vote signals and kept until shutdown.
// A report reaches the façade of its kind whose record names the hub; a
// stop or a switch only changes the record. Connections from the hub are
// thus never removed while the driver's thread may be emitting through them.
template <class HubType>
bool SessionFacades::relayReportsOf(HubType *hub, QThread *home)
{
    if (m_relays.count(hub))
        return true;
    auto relay = std::make_unique<QObject>();
    if (home)
        relay->moveToThread(home);
    if (!connectRelays(hub, relay.get()))
        return false;
    m_relays.emplace(hub, relay.release());
    return true;
}

template <class Facade, class Emit>
void SessionFacades::deliver(Hub *hub, Emit emitOn)
{
    Facade *facade = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Entry<Facade> &e = entry<Facade>();
        if (e.hub && e.hub == hub)
            facade = e.facade;
    }
    // Runs in the façade's thread, the only one that deletes it at once.
    if (facade)
        emitOn(facade);
}

bool SessionFacades::connectRelays(TwoPointFourGHzHub *hub, QObject *relay)
{
    using H = TwoPointFourGHzHub;
    using Reg = OrvexhubRegistrationSession;
    return QObject::connect(hub, &H::expressionDeviceRegistered, relay,
                            [this, hub](QString name, quint32 uid, Device::SubType subType) {
                                deliver<Reg>(hub, [&](Reg *f) {
                                    Q_EMIT f->expressionDeviceRegistered(name, uid, subType);
                                });
                            })
        && QObject::connect(hub, &H::voteDeviceRegistered, relay,
                            [this, hub](QString name, quint32 uid) {
                                deliver<Reg>(hub, [&](Reg *f) {
                                    Q_EMIT f->voteDeviceRegistered(name, uid);
                                });
                            })
        && QObject::connect(hub, &H::slateDeviceRegistered, relay,
                            [this, hub](QString name, quint32 uid) {
                                deliver<Reg>(hub, [&](Reg *f) {
                                    Q_EMIT f->slateDeviceRegistered(name, uid);
                                });
                            })
        && QObject::connect(hub, &H::expressionDeviceNamed, relay,
                            [this, hub](QString name, quint32 uid) {
                                deliver<OrvexhubExpressionNamingSession>(
                                    hub, [&](OrvexhubExpressionNamingSession *f) {
                                        Q_EMIT f->expressionDeviceNamed(name, uid);
                                    });
                            })
        && QObject::connect(hub, &H::voteDeviceNamed, relay,
                            [this, hub](QString name, quint32 uid) {
                                deliver<OrvexhubVoteNamingSession>(
                                    hub, [&](OrvexhubVoteNamingSession *f) {
                                        Q_EMIT f->orvexvoteDeviceNamed(name, uid);
                                    });
                            })
        && QObject::connect(hub, &H::slateDeviceNamed, relay,
                            [this, hub](QString name, quint32 uid) {
                                deliver<OrvexhubSlateNamingSession>(
                                    hub, [&](OrvexhubSlateNamingSession *f) {
                                        Q_EMIT f->slateDeviceNamed(name, uid);
                                    });
                            });
}

bool SessionFacades::connectRelays(LegacyHub *hub, QObject *relay)
{
    using H = LegacyHub;
    using Reg = LegacyhubRegistrationSession;
    return QObject::connect(hub, &H::voteDeviceRegistered, relay,
                            [this, hub](quint32 uid, bool batteryIsLow, int deviceVersion) {
                                deliver<Reg>(hub, [&](Reg *f) {
                                    Q_EMIT f->voteDeviceRegistered(uid, batteryIsLow,
                                                                   deviceVersion);
                                });
                            })
        && QObject::connect(hub, &H::generatePinforSlateRegistration, relay,
                            [this, hub](quint8 id) {
                                deliver<Reg>(hub, [&](Reg *f) {
                                    Q_EMIT f->generatePinforSlateRegistration(id);
                                });
                            })
        && QObject::connect(hub, &H::slateDeviceRegistered, relay,
                            [this, hub](quint8 id) {
                                deliver<Reg>(hub, [&](Reg *f) {
                                    Q_EMIT f->slateDeviceRegistered(id);
                                });
                            })
        // The vote test: every vote the hub signals, through the façade's
        // own slot.
        && QObject::connect(hub, &Hub::voteReceived, relay,
                            [this, hub](Hub *sender, quint32 uid, int answer, int batterylow) {
                                deliver<Reg>(hub, [&](Reg *f) {
                                    f->voteTestReceived(sender, uid, answer, batterylow);
                                });
                            });
}

template <class Facade>
void SessionFacades::stop()
{
    using K = Kind<Facade>;
    Facade *facade = nullptr;
    typename K::HubType *hub = nullptr;
    std::shared_ptr<typename K::Impl> old;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Entry<Facade> &e = entry<Facade>();
        if (!e.facade)
            return;
        facade = e.facade;
        hub = e.hub;
        old = e.slot.exchange(std::make_shared<typename K::Error>());
        e.facade = nullptr;
        e.hub = nullptr;
    }
    // The normal implementation held here keeps close() from deleting the
    // hub under these calls.
    if (hub) {
        K::detach(*old);
        K::endOnHub(hub);
    }
    old.reset();
    destroyInItsThread(facade);
}

std::vector<std::function<void()>> SessionFacades::switchLocked(Hub *hub, bool all)
{
    std::vector<std::function<void()>> withdrawals;
    m_entries->forEach([&](auto &e) {
        using K = typename std::remove_reference_t<decltype(e)>::K;
        if (!e.hub || !(all || e.hub == hub))
            return;
        // The hub object stays; its reports no longer reach the façade.
        e.hub = nullptr;
        std::shared_ptr<typename K::Impl> old =
            e.slot.exchange(std::make_shared<typename K::Error>());
        withdrawals.push_back([old] { K::detach(*old); });
    });
    return withdrawals;
}

void SessionFacades::hubVanished(Hub *hub)
{
    std::vector<std::function<void()>> withdrawals;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        withdrawals = switchLocked(hub, false);
    }
    for (const auto &withdraw : withdrawals)
        withdraw();
}

void SessionFacades::close()
{
    std::vector<std::function<void()>> withdrawals;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bOpen = false;
        withdrawals = switchLocked(nullptr, true);
        // No driver callback runs any more: the relays' connections go
        // before their hubs do.
        for (auto &relay : m_relays)
            destroyInItsThread(relay.second);
        m_relays.clear();
    }
    for (const auto &withdraw : withdrawals)
        withdraw();
    withdrawals.clear();
    // Operations still running on the old implementations end quickly: the
    // system has ended every exchange.
    std::unique_lock<std::mutex> lock(m_liveMutex);
    m_liveReleased.wait(lock, [this] { return m_nLiveNormal == 0; });
}

#define ORVEX_SESSION_KIND(Facade)                                                              \
    template const Facade *SessionFacades::start<Facade>(const std::function<Hub *()> &,       \
                                                         QThread *);                            \
    template void SessionFacades::stop<Facade>();
ORVEX_SESSION_KIND(OrvexhubRegistrationSession)
ORVEX_SESSION_KIND(OrvexhubExpressionNamingSession)
ORVEX_SESSION_KIND(OrvexhubVoteNamingSession)
ORVEX_SESSION_KIND(OrvexhubSlateNamingSession)
ORVEX_SESSION_KIND(LegacyhubRegistrationSession)
#undef ORVEX_SESSION_KIND

} // namespace Orvexsystem
