#ifndef ORVEXSYSTEM_LEGACYHUBREGISTRATIONSESSION_H
#define ORVEXSYSTEM_LEGACYHUBREGISTRATIONSESSION_H

#include <orvexsystem/displayinfo.h>
#include <orvexsystem/export.h>
#include <orvexsystem/registrationcode.h>

#include <QtCore/QList>
#include <QtCore/QObject>

namespace Orvexsystem {

class Hub;
class LegacyhubRegistrationSessionImpl;
class SessionFacades;
template <class Impl>
class SessionImplSlot;

// Registration and radio settings of one legacy hub, handed out by
// OrvexSystem::startLegacyhubRegistrationSession(). Each operation calls the
// LegacyHub operation of the same name and returns its result while the hub
// is attached; once the hub is gone (unplugged, or the system shut down)
// every operation answers false and the list operations leave the caller's
// list as it was. The object stays valid until
// OrvexSystem::stopLegacyhubRegistrationSession(), which sends nothing to
// the hub.
//
// The hub's registration reports and the votes of a vote test arrive on the
// driver's thread and are emitted as this object's signals in the thread it
// belongs to (see OrvexhubRegistrationSession). voteTestResponse() reports
// every vote the hub passes on without a vote callback, also in a voting
// session that the host started on the hub itself.
class ORVEXSYSTEM_EXPORT LegacyhubRegistrationSession : public QObject
{
    Q_OBJECT
public:
    bool configureHub() const;
    bool clearHub() const;
    bool clearHubOfVotes() const;
    bool clearHubOfSlates() const;
    bool clearVoteWithID(quint64 id) const;
    // The list is emptied first (while the hub is attached).
    bool getListOfRegisteredVotes(QList<DeviceDisplayInfo> &list) const;
    bool getListOfRegisteredSlates(QList<DeviceDisplayInfo> &list) const;
    bool startVoteRegistrationSession() const;
    bool stopVoteRegistrationSession() const;
    bool startSlateRegistrationSession() const;
    bool stopSlateRegistrationSession() const;
    bool changeVoteChannel(unsigned char channel) const;
    bool changeSlateChannel(unsigned char channel) const;
    bool changeBoardID(unsigned char id) const;
    bool useRFSlates() const;
    // Votes arrive as voteTestResponse(); the hub's stopSession() ends it.
    bool startVoteTestSession() const;
    bool disableSlates() const;
    bool getVoteChannel(unsigned char &channel) const;
    bool getSlateChannel(unsigned char &channel) const;
    bool getBoardID(unsigned char &id) const;
    bool getRFBand(unsigned char &band) const;
    bool startSlatePINRegistration(unsigned char slateId, RegistrationCode code) const;
    bool enableSlate(unsigned char slateId) const;
    bool removeSlate(unsigned char slateId) const;

Q_SIGNALS:
    void voteDeviceRegistered(quint32 uid, bool batteryIsLow, int deviceVersion);
    void generatePinforSlateRegistration(quint8 Id);
    void slateDeviceRegistered(quint8 Id);
    void voteTestResponse(quint32 uid, int answer, int batterylow);

private Q_SLOTS:
    void voteTestReceived(Orvexsystem::Hub *pHub, quint32 uid, int answer, int batterylow);

private:
    explicit LegacyhubRegistrationSession(SessionImplSlot<LegacyhubRegistrationSessionImpl> *impl);
    ~LegacyhubRegistrationSession() override;

    friend class SessionFacades;
    SessionImplSlot<LegacyhubRegistrationSessionImpl> *const m_pImpl; // not owned
};

} // namespace Orvexsystem

#endif
