#ifndef ORVEXSYSTEM_ORVEXHUBREGISTRATIONSESSION_H
#define ORVEXSYSTEM_ORVEXHUBREGISTRATIONSESSION_H

#include <orvexsystem/device.h>
#include <orvexsystem/displayinfo.h>
#include <orvexsystem/export.h>
#include <orvexsystem/registrationcode.h>
#include <orvexsystem/sessiontypes.h>

#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QString>

namespace Orvexsystem {

class OrvexhubRegistrationSessionImpl;
class SessionFacades;
template <class Impl>
class SessionImplSlot;

// Registration, removal and listing of the devices of one 2.4 GHz hub
// (virtual hubs included), handed out by
// OrvexSystem::startOrvexhubRegistrationSession().
//
// Every operation forwards to the hub while it is attached. Once the hub is
// gone (unplugged, or the system shut down) every operation answers failure:
// false, an emptied list, a record of zeros with hubMode 15. The object stays
// valid until OrvexSystem::stopOrvexhubRegistrationSession().
//
// Threads: operations run on the calling thread (any host thread) and wait
// there for the hub's replies; they fail on the driver's thread like every
// waiting hub operation. The object belongs to the thread that called
// OrvexSystem::initialise(), as the hubs do; the registration reports
// arrive on the driver's thread and are emitted as this object's signals in
// that thread, through its Qt event loop.
class ORVEXSYSTEM_EXPORT OrvexhubRegistrationSession : public QObject
{
    Q_OBJECT
public:
    // Counts and capacities from the hub's ":GI" reply, with the numbers of
    // listed devices from ":GD".
    struct RegistrationInfo
    {
        int numHandsets = 0; // expression plus voting handsets
        int handsetsInUse = 0;
        int handsetCapacity = 0;
        int handsetsFree = 0;
        int numBoards = 0;
        int boardsInUse = 0;
        int boardCapacity = 0;
        int boardsFree = 0;
        int numSlates = 0;
        int slatesInUse = 0;
        int slateCapacity = 0;
        int slatesFree = 0;
        int hubMode = 0; // 0-14 as the hub reports it; 15 once the hub is gone
    };

    // All zeros (hubMode 0 included) when the hub does not answer ":GI".
    RegistrationInfo registrationInfo() const;

    // Clear registrations; true only when the hub confirmed the clear.
    bool clearHub() const;
    bool clearHubOfVotes() const;
    bool clearHubOfSlates() const;
    bool clearHubOfBoards() const;
    bool clearHubOfExpressions() const;
    bool clearHubOfPenExpressions() const;

    // Name, uid and sub-type of each listed device, in the hub's order; the
    // list is emptied first. Boards are only counted: that list always
    // answers false.
    bool getListOfRegisteredVotes(QList<DeviceDisplayInfo> &list) const;
    bool getListOfRegisteredSlates(QList<DeviceDisplayInfo> &list) const;
    bool getListOfRegisteredBoards(QList<DeviceDisplayInfo> &list) const;
    bool getListOfRegisteredExpressions(QList<DeviceDisplayInfo> &list) const;
    bool getListOfRegisteredPenExpressions(QList<DeviceDisplayInfo> &list) const;

    // Registration sessions. The two expression starts end whatever session
    // the hub has open first; the vote and slate starts do not (they fail
    // while one is open).
    bool startExpressionRegistrationSession(unsigned short value1, unsigned char value2,
                                            unsigned char value3, RegistrationCode code) const;
    bool startNamingExpressionRegistrationSession(unsigned short value1, unsigned char value2,
                                                  unsigned char value3, RegistrationCode code,
                                                  CharacterType characterType, bool flag,
                                                  unsigned char value) const;
    bool startVoteRegistrationSession(unsigned short value1, unsigned char value2,
                                      unsigned char value3, RegistrationCode code) const;
    bool startSlateRegistrationSession(unsigned short value1, unsigned char value2,
                                       unsigned char value3, RegistrationCode code) const;

    // Removal of one device: ends the hub's session, removes, and ends the
    // removal; false at the first step that fails.
    bool removeOrvexexpression(unsigned int uid) const;
    bool removeOrvexvote(unsigned int uid) const;
    bool removeSlate(unsigned int uid) const;
    bool removePenExpression(unsigned int uid) const;

    bool stopExpressionRegistrationSession() const;
    bool stopVoteRegistrationSession() const;
    bool stopSlateRegistrationSession() const;

Q_SIGNALS:
    void expressionDeviceRegistered(QString name, quint32 uid,
                                    Orvexsystem::Device::SubType subType);
    void voteDeviceRegistered(QString name, quint32 uid);
    void slateDeviceRegistered(QString name, quint32 uid);

private:
    explicit OrvexhubRegistrationSession(SessionImplSlot<OrvexhubRegistrationSessionImpl> *impl);
    ~OrvexhubRegistrationSession() override;

    friend class SessionFacades;
    SessionImplSlot<OrvexhubRegistrationSessionImpl> *const m_pImpl; // not owned
};

} // namespace Orvexsystem

#endif
