#ifndef ORVEXSYSTEM_TWOPOINTFOURGHZHUB_H
#define ORVEXSYSTEM_TWOPOINTFOURGHZHUB_H

#include <orvexsystem/device.h>
#include <orvexsystem/displayinfo.h>
#include <orvexsystem/export.h>
#include <orvexsystem/hub.h>
#include <orvexsystem/twopointfourghzresponses.h>

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QMap>
#include <QtCore/QString>

#include <memory>

namespace Orvexsystem {

class TwoPointFourGHzHubPrivate;

// A 2.4 GHz radio hub: its commands and replies, the devices registered with
// it and the packets it sends.
//
// Device lists. The hub mirrors its registered voting handsets (with the
// virtual handsets of the machine-wide file), expression handsets, slates and
// pen-expression devices in four lists, read with ":GR" when the hub
// connects, when a list is asked for while out of date, after a clear and
// after a removal ends. The hub owns every device.
//
// Device pointer lifetime. A Device* handed out by getDeviceList(),
// getCompleteDeviceList() or the read...List() operations stays valid until
// the list that holds it is rebuilt (read again from the hub) or the hub is
// destroyed. A hub reset or a disconnection empties the lists but frees
// nothing: the devices are freed when their list is next read. Lists are
// rebuilt on host threads (a list asked for while out of date, clears, the
// end of a removal) and on the system's event thread (the re-read that
// follows a change of the hub's registrations), so a host that keeps device
// pointers should take the lists again after hubReset() or a registration
// change. readDeviceDisplayInfoList() gives a copy of name, uid and sub-type
// that does not depend on any pointer.
//
// Threads. The lists, their out-of-date flags and the address map are guarded
// by one lock that is never held while waiting for a reply or calling out;
// every public operation may be called from any thread. Command exchanges are
// serialised per hub. processPacket() runs on the driver's packet thread; the
// hub-busy, battery-low and reset reports are made there.
class ORVEXSYSTEM_EXPORT TwoPointFourGHzHub : public Hub
{
    Q_OBJECT
public:
    enum State { State_Idle = 0, State_Busy = 1, State_Disconnected = 2, State_Error = 3 };

    // Hub reset: exactly 03 A0 x.
    static const int hubReset_Packet_Length = 3;
    static const quint8 hubReset_Packet_Control = 0xA0;
    static const int hubReset_Packet_Offset_Length = 0;
    static const int hubReset_Packet_Offset_Control = 1;
    // Hub state changed: exactly 04 56 previous new; a state of 0 is idle.
    static const int hubStateChanged_Packet_Length = 4;
    static const quint8 hubStateChanged_Packet_Control = 0x56;
    static const int hubStateChanged_Packet_Offset_Length = 0;
    static const int hubStateChanged_Packet_Offset_Control = 1;
    static const int Packet_Offset_PreviousState = 2;
    static const int Packet_Offset_NewState = 3;
    // Pen packets: the 8-byte form.
    static const int Packet_Offset_PenId = 7;
    static const int Packet_Offset_X = 3;
    static const int Packet_Offset_Y = 5;
    static const int Packet_Offset_Button = 7;

    TwoPointFourGHzHub(OrvexSystem *system, int handle, quint64 uid, bool connected, int version);
    ~TwoPointFourGHzHub() override;

    // Hub state from ":GI": idle, busy, not connected, or no answer.
    State state();
    // The hub's name from ":GN", or "???" (translated) when it cannot be read.
    virtual QString name();
    // The ":GI" reply: counts, capacities and mode. reply may be null.
    bool getRegistrationInfo(InformationResponse *reply);

    bool isHubBusy() override;
    bool hasQX5Board() const override;
    bool supportsRegistration() const override { return true; }
    int penCount() const override;
    void setConnected(bool connected) override;
    Type type() override { return Type_TwoPointFourGHz; }
    // The hub's handset capacity; 0 when it does not answer.
    unsigned short canRegisterVotingDevicesCount() override;

    // Registered devices. Counts come from the hub (":GD"); lists from the
    // held lists, read first when out of date. Types 3, 4, 5 and 8 have
    // lists; any other type gives an empty list (boards are only counted).
    bool getDeviceCount(Device::Type type, int *count) override;
    bool getDeviceList(Device::Type type, QList<Device *> *list) override;
    // Votes, expressions, slates, pen expressions, in that order.
    bool getCompleteDeviceList(QList<Device *> *list) override;
    int orvexvoteCount();
    int orvexexpressionCount();
    int orvexSlateCount();
    int orvexBoardCount();
    int penExpressionCount();
    // Append the held list to *list without asking the hub; always true.
    bool readOrvexvoteList(QList<Device *> *list) const;
    bool readOrvexexpressionList(QList<Device *> *list) const;
    bool readOrvexSlateList(QList<Device *> *list) const;
    bool readPenExpressionList(QList<Device *> *list) const;
    // Name, uid and sub-type of each device of the held list of that type,
    // copied under the registry lock (no pointer escapes). Empty for a type
    // without a list. Always true.
    bool readDeviceDisplayInfoList(Device::Type type, QList<DeviceDisplayInfo> *list) const;
    // Re-reads all four lists while holding the driver lock; the event
    // thread calls it when the hub's registrations may have changed.
    void readRegisteredDevicesLists() override;

    // Removal of one device: ":RD" with the device's hexId opens a removal
    // session; the device stays listed until the session ends and its list
    // is read again. False when the uid is not listed, a session is open or
    // the hub is not idle.
    bool removeOrvexvote(unsigned int uid);
    bool removeOrvexexpression(unsigned int uid);
    bool removeOrvexslate(unsigned int uid);
    bool removePenExpression(unsigned int uid);
    // End a removal of any kind with ":VE" and re-read the named lists
    // (votes; expressions and pen expressions; slates). True with nothing
    // sent when no session is open; false in any other session.
    bool stopRemoveVoteDeviceSession();
    bool stopRemoveExpressionDeviceSession();
    bool stopRemoveSlateDeviceSession();

    // Clear registrations (":CS.."), waiting for the hub to write its store,
    // then re-read the lists concerned. reply may be null.
    bool clearHub(OKResponse *reply);
    bool clearHubOfVotes(OKResponse *reply);
    bool clearHubOfSlates(OKResponse *reply);
    bool clearHubOfBoards(OKResponse *reply);
    bool clearHubOfExpressions(OKResponse *reply);
    bool clearHubOfPenExpressions(OKResponse *reply);

    void processPacket(const QByteArray &packet) override;
    // Event thread: a packet of the asynchronous message transport (event
    // type 1), and a device message of the generic session (event type 2).
    // Message transport and generic sessions do not exist yet: both ignore
    // the packet.
    void processAsyncPacket(const QByteArray &packet);
    virtual void processGenericAsyncPacket(const QByteArray &packet);

    // The uid of the device at this radio address (reduced to 16 bits); 0
    // when none is known.
    unsigned int getDeviceId(unsigned int address) override;

    // A null callback is refused and the earlier one kept.
    bool setHubBusyCallback(HubBusyCallback callback, void *userData) override;
    bool setBatteryLowCallback(BatteryLowCallback callback, void *userData) override;

    // Product id of the wire for a device type: 3 -> 7, 4 -> 6, 5 -> 9,
    // 6 -> 8, 8 -> 13, anything else 1.
    static int productIdOf(Device::Type type);
    // A byte that differs between calls: a random byte seeded with the time
    // of day to the second, plus a counter.
    unsigned char generateEntityId();
    bool isInSession();
    static bool isHubResetPacket(const QByteArray &packet);
    static bool isHubStateChangedPacket(const QByteArray &packet);

Q_SIGNALS:
    void expressionDeviceNamed(QString name, quint32 uid);
    void expressionDeviceRegistered(QString name, quint32 uid,
                                    Orvexsystem::Device::SubType subType);
    void voteDeviceRegistered(QString name, quint32 uid);
    void slateDeviceRegistered(QString name, quint32 uid);
    void voteDeviceNamed(QString name, quint32 uid);
    void slateDeviceNamed(QString name, quint32 uid);
    void registrationChanged(Orvexsystem::Hub *pHub);
    void hubBusy(Orvexsystem::Hub *pHub, bool bBusy);

protected:
    bool isTouchSupported() override;
    bool isPenPacket(const QByteArray &packet) override;
    void getPenData(const QByteArray &packet, quint8 &penId, int &x, int &y, bool &tip,
                    bool &barrel, bool &proximity) override;
    bool processPinNamingSessionResponse(const QByteArray &packet, quint32 &uid,
                                         QString &response) override;

    // The radio address of a listed device; false when the uid is unknown.
    bool getAddress(unsigned int uid, unsigned int &address);

private:
    void processHubReset();
    void processHubStateChanged(const QByteArray &packet);
    void processBatteryLow(const QByteArray &packet);
    void processSessionPacket(SessionState state, const QByteArray &packet);
    // Session packets by the kind of session open. Question sessions,
    // registration and naming, end-user naming, the message transport and
    // the generic session are not implemented yet: their packets are
    // dropped here until they are.
    void processQuestionAnswerPacket(SessionState state, const QByteArray &packet);
    void processRegistrationReport(SessionState state, const QByteArray &packet);
    void processNamingReport(SessionState state, const QByteArray &packet);
    void processEndUserNamingReport(const QByteArray &packet);
    void processAsyncTransportPacket(const QByteArray &packet);
    void processEnhancedGenericPacket(const QByteArray &packet);

    friend class TwoPointFourGHzHubPrivate;
    std::unique_ptr<TwoPointFourGHzHubPrivate> d;
};

} // namespace Orvexsystem

#endif
