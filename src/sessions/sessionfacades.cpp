#include "sessions/sessionfacades.h"

#include <orvexsystem/legacyhub.h>
#include <orvexsystem/twopointfourghzhub.h>

#include "sessions/legacyhubsessionimpl.h"
#include "sessions/orvexhubsessionimpl.h"
#include "sessions/sessionimplslot.h"
#include "system/threadcontext.h"

#include <QtCore/QThread>

#include <tuple>
#include <type_traits>

namespace Orvexsystem {

namespace {

// What differs between the kinds: the implementation family, the hub kind,
// the relays from the hub's signals to the façade's, and what the stop ends
// on the hub.
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

    static bool connect(HubType *hub, F *f)
    {
        return QObject::connect(hub, &HubType::expressionDeviceRegistered, f,
                                &F::expressionDeviceRegistered)
            && QObject::connect(hub, &HubType::voteDeviceRegistered, f, &F::voteDeviceRegistered)
            && QObject::connect(hub, &HubType::slateDeviceRegistered, f, &F::slateDeviceRegistered);
    }
    static void disconnect(HubType *hub, F *f)
    {
        QObject::disconnect(hub, &HubType::expressionDeviceRegistered, f,
                            &F::expressionDeviceRegistered);
        QObject::disconnect(hub, &HubType::voteDeviceRegistered, f, &F::voteDeviceRegistered);
        QObject::disconnect(hub, &HubType::slateDeviceRegistered, f, &F::slateDeviceRegistered);
    }
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

    static bool connect(HubType *hub, F *f)
    {
        return bool(QObject::connect(hub, &HubType::expressionDeviceNamed, f,
                                     &F::expressionDeviceNamed));
    }
    static void disconnect(HubType *hub, F *f)
    {
        QObject::disconnect(hub, &HubType::expressionDeviceNamed, f, &F::expressionDeviceNamed);
    }
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

    static bool connect(HubType *hub, F *f)
    {
        return bool(QObject::connect(hub, &HubType::voteDeviceNamed, f, &F::orvexvoteDeviceNamed));
    }
    static void disconnect(HubType *hub, F *f)
    {
        QObject::disconnect(hub, &HubType::voteDeviceNamed, f, &F::orvexvoteDeviceNamed);
    }
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

    static bool connect(HubType *hub, F *f)
    {
        return bool(QObject::connect(hub, &HubType::slateDeviceNamed, f, &F::slateDeviceNamed));
    }
    static void disconnect(HubType *hub, F *f)
    {
        QObject::disconnect(hub, &HubType::slateDeviceNamed, f, &F::slateDeviceNamed);
    }
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

    static bool connect(HubType *hub, F *f)
    {
        const bool relays =
            QObject::connect(hub, &HubType::voteDeviceRegistered, f, &F::voteDeviceRegistered)
            && QObject::connect(hub, &HubType::generatePinforSlateRegistration, f,
                                &F::generatePinforSlateRegistration)
            && QObject::connect(hub, &HubType::slateDeviceRegistered, f, &F::slateDeviceRegistered);
        // The vote test's relay (the façade's private slot) is not needed for
        // the registration: its result does not count.
        QObject::connect(hub, SIGNAL(voteReceived(Orvexsystem::Hub *, quint32, int, int)), f,
                         SLOT(voteTestReceived(Orvexsystem::Hub *, quint32, int, int)));
        return relays;
    }
    static void disconnect(HubType *hub, F *f)
    {
        QObject::disconnect(hub, &HubType::voteDeviceRegistered, f, &F::voteDeviceRegistered);
        QObject::disconnect(hub, &HubType::generatePinforSlateRegistration, f,
                            &F::generatePinforSlateRegistration);
        QObject::disconnect(hub, &HubType::slateDeviceRegistered, f, &F::slateDeviceRegistered);
        QObject::disconnect(hub, SIGNAL(voteReceived(Orvexsystem::Hub *, quint32, int, int)), f,
                            SLOT(voteTestReceived(Orvexsystem::Hub *, quint32, int, int)));
    }
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

// A façade belongs to one thread, where its queued relays are delivered:
// deleted there at once, from elsewhere through that thread's event loop,
// cut off from its receivers first.
void destroyFacade(QObject *facade)
{
    if (!facade)
        return;
    if (facade->thread() == QThread::currentThread()) {
        delete facade;
        return;
    }
    facade->disconnect();
    facade->deleteLater();
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
    if (!hub)
        return nullptr;

    auto *facade = new Facade(&e.slot);
    // Created for a host on a library thread, which runs no Qt event loop:
    // it joins the host's thread, as the hubs do.
    if (home && (ThreadContext::onEventThread() || ThreadContext::inDriverCallback()))
        facade->moveToThread(home);
    e.slot.exchange(makeNormal<typename K::Impl, typename K::Normal>(hub));
    if (!K::connect(hub, facade)) {
        delete facade;
        e.slot.exchange(std::make_shared<typename K::Error>());
        return nullptr;
    }
    e.facade = facade;
    e.hub = hub;
    return facade;
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
        if (hub)
            K::disconnect(hub, facade);
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
    destroyFacade(facade);
}

std::vector<std::function<void()>> SessionFacades::switchLocked(Hub *hub, bool all)
{
    std::vector<std::function<void()>> withdrawals;
    m_entries->forEach([&](auto &e) {
        using K = typename std::remove_reference_t<decltype(e)>::K;
        if (!e.hub || !(all || e.hub == hub))
            return;
        // The hub object stays; its reports no longer reach the façade.
        K::disconnect(e.hub, e.facade);
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
