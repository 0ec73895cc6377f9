#ifndef ORVEXSYSTEM_SESSIONS_ORVEXHUBSESSIONIMPL_H
#define ORVEXSYSTEM_SESSIONS_ORVEXHUBSESSIONIMPL_H

// The implementations behind the 2.4 GHz session façades: per façade an
// interface, a normal implementation that forwards to the hub, and an error
// implementation that answers failure once the hub is gone. The operations
// are in the order of the façade's.

#include <orvexsystem/orvexhubexpressionnamingsession.h>
#include <orvexsystem/orvexhubregistrationsession.h>
#include <orvexsystem/orvexhubslatenamingsession.h>
#include <orvexsystem/orvexhubvotenamingsession.h>

#include "hub/callbackslot.h"

#include <mutex>

namespace Orvexsystem {

class TwoPointFourGHzHub;

// --- registration -----------------------------------------------------------

class OrvexhubRegistrationSessionImpl
{
public:
    using RegistrationInfo = OrvexhubRegistrationSession::RegistrationInfo;
    using List = QList<DeviceDisplayInfo>;

    virtual ~OrvexhubRegistrationSessionImpl() = default;
    virtual RegistrationInfo registrationInfo() = 0;
    virtual bool clearHub() = 0;
    virtual bool clearHubOfVotes() = 0;
    virtual bool clearHubOfSlates() = 0;
    virtual bool clearHubOfBoards() = 0;
    virtual bool clearHubOfExpressions() = 0;
    virtual bool clearHubOfPenExpressions() = 0;
    virtual bool getListOfRegisteredVotes(List &list) = 0;
    virtual bool getListOfRegisteredSlates(List &list) = 0;
    virtual bool getListOfRegisteredBoards(List &list) = 0;
    virtual bool getListOfRegisteredExpressions(List &list) = 0;
    virtual bool getListOfRegisteredPenExpressions(List &list) = 0;
    virtual bool startExpressionRegistrationSession(unsigned short x, unsigned char y,
                                                    unsigned char z, RegistrationCode code) = 0;
    virtual bool startNamingExpressionRegistrationSession(unsigned short x, unsigned char y,
                                                          unsigned char z, RegistrationCode code,
                                                          CharacterType characterType, bool flag,
                                                          unsigned char value) = 0;
    virtual bool startVoteRegistrationSession(unsigned short x, unsigned char y, unsigned char z,
                                              RegistrationCode code) = 0;
    virtual bool startSlateRegistrationSession(unsigned short x, unsigned char y, unsigned char z,
                                               RegistrationCode code) = 0;
    virtual bool removeOrvexexpression(unsigned int uid) = 0;
    virtual bool removeOrvexvote(unsigned int uid) = 0;
    virtual bool removeSlate(unsigned int uid) = 0;
    virtual bool removePenExpression(unsigned int uid) = 0;
    virtual bool stopExpressionRegistrationSession() = 0;
    virtual bool stopVoteRegistrationSession() = 0;
    virtual bool stopSlateRegistrationSession() = 0;
};

class OrvexhubNormalRegSessionImpl : public OrvexhubRegistrationSessionImpl
{
public:
    explicit OrvexhubNormalRegSessionImpl(TwoPointFourGHzHub *hub) : m_pHub(hub) {}

    RegistrationInfo registrationInfo() override;
    bool clearHub() override;
    bool clearHubOfVotes() override;
    bool clearHubOfSlates() override;
    bool clearHubOfBoards() override;
    bool clearHubOfExpressions() override;
    bool clearHubOfPenExpressions() override;
    bool getListOfRegisteredVotes(List &list) override;
    bool getListOfRegisteredSlates(List &list) override;
    bool getListOfRegisteredBoards(List &list) override;
    bool getListOfRegisteredExpressions(List &list) override;
    bool getListOfRegisteredPenExpressions(List &list) override;
    bool startExpressionRegistrationSession(unsigned short x, unsigned char y, unsigned char z,
                                            RegistrationCode code) override;
    bool startNamingExpressionRegistrationSession(unsigned short x, unsigned char y,
                                                  unsigned char z, RegistrationCode code,
                                                  CharacterType characterType, bool flag,
                                                  unsigned char value) override;
    bool startVoteRegistrationSession(unsigned short x, unsigned char y, unsigned char z,
                                      RegistrationCode code) override;
    bool startSlateRegistrationSession(unsigned short x, unsigned char y, unsigned char z,
                                       RegistrationCode code) override;
    bool removeOrvexexpression(unsigned int uid) override;
    bool removeOrvexvote(unsigned int uid) override;
    bool removeSlate(unsigned int uid) override;
    bool removePenExpression(unsigned int uid) override;
    bool stopExpressionRegistrationSession() override;
    bool stopVoteRegistrationSession() override;
    bool stopSlateRegistrationSession() override;

private:
    bool list(Device::Type type, List &list);

    TwoPointFourGHzHub *const m_pHub; // not owned
};

class OrvexhubRegSessionErrorImpl : public OrvexhubRegistrationSessionImpl
{
public:
    // hubMode of the record once the hub is gone: no mode the hub reports.
    static const int HubModeGone = 15;

    RegistrationInfo registrationInfo() override;
    bool clearHub() override { return false; }
    bool clearHubOfVotes() override { return false; }
    bool clearHubOfSlates() override { return false; }
    bool clearHubOfBoards() override { return false; }
    bool clearHubOfExpressions() override { return false; }
    bool clearHubOfPenExpressions() override { return false; }
    bool getListOfRegisteredVotes(List &list) override { return emptied(list); }
    bool getListOfRegisteredSlates(List &list) override { return emptied(list); }
    bool getListOfRegisteredBoards(List &list) override { return emptied(list); }
    bool getListOfRegisteredExpressions(List &list) override { return emptied(list); }
    bool getListOfRegisteredPenExpressions(List &list) override { return emptied(list); }
    bool startExpressionRegistrationSession(unsigned short, unsigned char, unsigned char,
                                            RegistrationCode) override
    {
        return false;
    }
    bool startNamingExpressionRegistrationSession(unsigned short, unsigned char, unsigned char,
                                                  RegistrationCode, CharacterType, bool,
                                                  unsigned char) override
    {
        return false;
    }
    bool startVoteRegistrationSession(unsigned short, unsigned char, unsigned char,
                                      RegistrationCode) override
    {
        return false;
    }
    bool startSlateRegistrationSession(unsigned short, unsigned char, unsigned char,
                                       RegistrationCode) override
    {
        return false;
    }
    bool removeOrvexexpression(unsigned int) override { return false; }
    bool removeOrvexvote(unsigned int) override { return false; }
    bool removeSlate(unsigned int) override { return false; }
    bool removePenExpression(unsigned int) override { return false; }
    bool stopExpressionRegistrationSession() override { return false; }
    bool stopVoteRegistrationSession() override { return false; }
    bool stopSlateRegistrationSession() override { return false; }

private:
    static bool emptied(List &list)
    {
        list.clear();
        return false;
    }
};

// --- naming with a host callback --------------------------------------------

// The part the two naming implementations that relay a host callback share.
// The hub reports a name as (hub, uid, name, context); the host's callback
// takes (hub, name, uid, context). The relay registered with the hub has the
// implementation as its context, so it is withdrawn from the hub (and any
// report on its way through it waited for) before the implementation is
// freed: detachFromHub() runs when the implementation is taken out of use.
class NamingCallbackRelay
{
public:
    typedef void (*HostCallback)(Hub *hub, const QString &name, unsigned int uid, void *context);

    explicit NamingCallbackRelay(TwoPointFourGHzHub *hub, bool voteNaming)
        : m_pHub(hub), m_bVoteNaming(voteNaming)
    {
    }

    // A null callback withdraws the relay, so that the hub reports names by
    // its signal again. Does nothing once detached.
    void setCallback(HostCallback callback, void *context);
    void detach();

private:
    static void relay(TwoPointFourGHzHub *hub, unsigned int uid, const QString &name,
                      void *context);
    // Withdraws the relay from the hub if it is still the one registered,
    // and waits until no report is being delivered through it.
    void withdrawLocked();

    TwoPointFourGHzHub *const m_pHub; // not owned
    const bool m_bVoteNaming;
    CallbackSlot<HostCallback> m_callback;
    std::mutex m_mutex; // setCallback() against detach()
    bool m_bRegistered = false;
    bool m_bDetached = false;
};

// --- expression naming ------------------------------------------------------

class OrvexhubExpressionNamingSessionImpl
{
public:
    using Callback = OrvexhubExpressionNamingSession::DeviceNamedCallback;

    virtual ~OrvexhubExpressionNamingSessionImpl() = default;
    virtual bool nameExpression(unsigned int uid, const QString &name) = 0;
    virtual bool startExpressionNamingSession() = 0;
    virtual bool stopExpressionNamingSession() = 0;
    virtual void setCallback(Callback callback, void *context) = 0;
    // Taken out of use: no hub report reaches it any more.
    virtual void detachFromHub() {}
};

class OrvexhubNormalExpressionNamingSessionImpl : public OrvexhubExpressionNamingSessionImpl
{
public:
    explicit OrvexhubNormalExpressionNamingSessionImpl(TwoPointFourGHzHub *hub)
        : m_pHub(hub), m_relay(hub, false)
    {
    }

    bool nameExpression(unsigned int uid, const QString &name) override;
    bool startExpressionNamingSession() override;
    bool stopExpressionNamingSession() override;
    void setCallback(Callback callback, void *context) override;
    void detachFromHub() override { m_relay.detach(); }

private:
    TwoPointFourGHzHub *const m_pHub; // not owned
    NamingCallbackRelay m_relay;
};

class OrvexhubExpressionNamingSessionErrorImpl : public OrvexhubExpressionNamingSessionImpl
{
public:
    bool nameExpression(unsigned int, const QString &) override { return false; }
    bool startExpressionNamingSession() override { return false; }
    bool stopExpressionNamingSession() override { return false; }
    void setCallback(Callback, void *) override {}
};

// --- voting-handset naming --------------------------------------------------

class OrvexhubOrvexvoteNamingSessionImpl
{
public:
    using Callback = OrvexhubVoteNamingSession::DeviceNamedCallback;

    virtual ~OrvexhubOrvexvoteNamingSessionImpl() = default;
    virtual bool nameOrvexvote(unsigned int uid, const QString &name) = 0;
    virtual bool stopOrvexvoteNamingSession() = 0;
    virtual bool startOrvexvoteNamingSession() = 0;
    virtual void setCallback(Callback callback, void *context) = 0;
    // Taken out of use: no hub report reaches it any more.
    virtual void detachFromHub() {}
};

class OrvexhubNormalOrvexvoteNamingSessionImpl : public OrvexhubOrvexvoteNamingSessionImpl
{
public:
    explicit OrvexhubNormalOrvexvoteNamingSessionImpl(TwoPointFourGHzHub *hub)
        : m_pHub(hub), m_relay(hub, true)
    {
    }

    bool nameOrvexvote(unsigned int uid, const QString &name) override;
    bool stopOrvexvoteNamingSession() override;
    bool startOrvexvoteNamingSession() override;
    void setCallback(Callback callback, void *context) override;
    void detachFromHub() override { m_relay.detach(); }

private:
    TwoPointFourGHzHub *const m_pHub; // not owned
    NamingCallbackRelay m_relay;
};

class OrvexhubOrvexvoteNamingSessionErrorImpl : public OrvexhubOrvexvoteNamingSessionImpl
{
public:
    bool nameOrvexvote(unsigned int, const QString &) override { return false; }
    bool stopOrvexvoteNamingSession() override { return false; }
    bool startOrvexvoteNamingSession() override { return false; }
    void setCallback(Callback, void *) override {}
};

// --- slate naming -----------------------------------------------------------

class OrvexhubSlateNamingSessionImpl
{
public:
    virtual ~OrvexhubSlateNamingSessionImpl() = default;
    virtual bool nameSlate(unsigned int uid, const QString &name) = 0;
    virtual bool stopSlateNamingSession() = 0;
};

class OrvexhubNormalSlateNamingSessionImpl : public OrvexhubSlateNamingSessionImpl
{
public:
    explicit OrvexhubNormalSlateNamingSessionImpl(TwoPointFourGHzHub *hub) : m_pHub(hub) {}

    bool nameSlate(unsigned int uid, const QString &name) override;
    bool stopSlateNamingSession() override;

private:
    TwoPointFourGHzHub *const m_pHub; // not owned
};

class OrvexhubSlateNamingSessionErrorImpl : public OrvexhubSlateNamingSessionImpl
{
public:
    bool nameSlate(unsigned int, const QString &) override { return false; }
    bool stopSlateNamingSession() override { return false; }
};

} // namespace Orvexsystem

#endif
