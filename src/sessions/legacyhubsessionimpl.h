#ifndef ORVEXSYSTEM_SESSIONS_LEGACYHUBSESSIONIMPL_H
#define ORVEXSYSTEM_SESSIONS_LEGACYHUBSESSIONIMPL_H

// The implementations behind LegacyhubRegistrationSession: the interface, a
// normal implementation that calls the LegacyHub operation of the same name,
// and an error implementation that answers false once the hub is gone.

#include <orvexsystem/legacyhubregistrationsession.h>

namespace Orvexsystem {

class LegacyHub;

class LegacyhubRegistrationSessionImpl
{
public:
    using List = QList<DeviceDisplayInfo>;

    virtual ~LegacyhubRegistrationSessionImpl() = default;
    virtual bool configureHub() = 0;
    virtual bool clearHub() = 0;
    virtual bool clearHubOfVotes() = 0;
    virtual bool clearHubOfSlates() = 0;
    virtual bool clearVoteWithID(quint64 id) = 0;
    virtual bool getListOfRegisteredVotes(List &list) = 0;
    virtual bool getListOfRegisteredSlates(List &list) = 0;
    virtual bool startVoteRegistrationSession() = 0;
    virtual bool stopVoteRegistrationSession() = 0;
    virtual bool startSlateRegistrationSession() = 0;
    virtual bool stopSlateRegistrationSession() = 0;
    virtual bool changeVoteChannel(unsigned char channel) = 0;
    virtual bool changeSlateChannel(unsigned char channel) = 0;
    virtual bool changeBoardID(unsigned char id) = 0;
    virtual bool useRFSlates() = 0;
    virtual bool startVoteTestSession() = 0;
    virtual bool disableSlates() = 0;
    virtual bool getVoteChannel(unsigned char &channel) = 0;
    virtual bool getSlateChannel(unsigned char &channel) = 0;
    virtual bool getBoardID(unsigned char &id) = 0;
    virtual bool getRFBand(unsigned char &band) = 0;
    virtual bool startSlatePINRegistration(unsigned char slateId, RegistrationCode code) = 0;
    virtual bool enableSlate(unsigned char slateId) = 0;
    virtual bool removeSlate(unsigned char slateId) = 0;
};

class LegacyhubNormalRegSessionImpl : public LegacyhubRegistrationSessionImpl
{
public:
    explicit LegacyhubNormalRegSessionImpl(LegacyHub *hub) : m_pHub(hub) {}

    bool configureHub() override;
    bool clearHub() override;
    bool clearHubOfVotes() override;
    bool clearHubOfSlates() override;
    bool clearVoteWithID(quint64 id) override;
    bool getListOfRegisteredVotes(List &list) override;
    bool getListOfRegisteredSlates(List &list) override;
    bool startVoteRegistrationSession() override;
    bool stopVoteRegistrationSession() override;
    bool startSlateRegistrationSession() override;
    bool stopSlateRegistrationSession() override;
    bool changeVoteChannel(unsigned char channel) override;
    bool changeSlateChannel(unsigned char channel) override;
    bool changeBoardID(unsigned char id) override;
    bool useRFSlates() override;
    bool startVoteTestSession() override;
    bool disableSlates() override;
    bool getVoteChannel(unsigned char &channel) override;
    bool getSlateChannel(unsigned char &channel) override;
    bool getBoardID(unsigned char &id) override;
    bool getRFBand(unsigned char &band) override;
    bool startSlatePINRegistration(unsigned char slateId, RegistrationCode code) override;
    bool enableSlate(unsigned char slateId) override;
    bool removeSlate(unsigned char slateId) override;

private:
    LegacyHub *const m_pHub; // not owned
};

// Every operation false; the lists are left as the caller gave them.
class LegacyhubRegSessionErrorImpl : public LegacyhubRegistrationSessionImpl
{
public:
    bool configureHub() override { return false; }
    bool clearHub() override { return false; }
    bool clearHubOfVotes() override { return false; }
    bool clearHubOfSlates() override { return false; }
    bool clearVoteWithID(quint64) override { return false; }
    bool getListOfRegisteredVotes(List &) override { return false; }
    bool getListOfRegisteredSlates(List &) override { return false; }
    bool startVoteRegistrationSession() override { return false; }
    bool stopVoteRegistrationSession() override { return false; }
    bool startSlateRegistrationSession() override { return false; }
    bool stopSlateRegistrationSession() override { return false; }
    bool changeVoteChannel(unsigned char) override { return false; }
    bool changeSlateChannel(unsigned char) override { return false; }
    bool changeBoardID(unsigned char) override { return false; }
    bool useRFSlates() override { return false; }
    bool startVoteTestSession() override { return false; }
    bool disableSlates() override { return false; }
    bool getVoteChannel(unsigned char &) override { return false; }
    bool getSlateChannel(unsigned char &) override { return false; }
    bool getBoardID(unsigned char &) override { return false; }
    bool getRFBand(unsigned char &) override { return false; }
    bool startSlatePINRegistration(unsigned char, RegistrationCode) override { return false; }
    bool enableSlate(unsigned char) override { return false; }
    bool removeSlate(unsigned char) override { return false; }
};

} // namespace Orvexsystem

#endif
