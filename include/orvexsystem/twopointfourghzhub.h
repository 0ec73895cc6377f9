#ifndef ORVEXSYSTEM_TWOPOINTFOURGHZHUB_H
#define ORVEXSYSTEM_TWOPOINTFOURGHZHUB_H

#include <orvexsystem/device.h>
#include <orvexsystem/displayinfo.h>
#include <orvexsystem/export.h>
#include <orvexsystem/hub.h>
#include <orvexsystem/registrationcode.h>
#include <orvexsystem/sessiontypes.h>
#include <orvexsystem/twopointfourghzpinnamingresponse.h>
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
// Sessions. One session at a time: a registration, a naming, a question (or
// end-user naming), a removal, a PIN naming or a voting session. Starts,
// stops and naming operations of host threads take turns.
//
// Threads. The lists, their out-of-date flags and the address map are guarded
// by one lock that is never held while waiting for a reply or calling out;
// every public operation may be called from any thread. Command exchanges are
// serialised per hub. processPacket() runs on the driver's packet thread; the
// hub-busy, battery-low and reset reports, registration and naming reports,
// and answers (callback or signal) are made there. A numeric or text answer
// whose packets stop coming is handed over, incomplete, on the system's event
// thread 5000 ms after its last packet. Once stopSession(),
// stopExpressionEndUserNamingSession() or stopExpressionNamingSession() has
// returned, no callback of the ended session is called any more; a report
// that was being delivered when the stop began has finished (a callback that
// ends its own session is not waited for). Do not end a session while
// holding a lock that a callback of it takes. Operations that wait for a
// reply fail on the driver's thread (see Hub); the starts that only send
// (question sessions, vote naming, naming one voting handset or slate) may
// be called there, and fail with Error_Busy while a host thread is starting
// or ending a session.
class ORVEXSYSTEM_EXPORT TwoPointFourGHzHub : public Hub
{
    Q_OBJECT
public:
    enum State { State_Idle = 0, State_Busy = 1, State_Disconnected = 2, State_Error = 3 };

    // A name reported in an expression or voting-handset naming session.
    typedef void (*DeviceNamedCallback)(TwoPointFourGHzHub *, unsigned int uid,
                                        const QString &name, void *);

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

    // Registration. The hub is put into a registration mode with a PIN; each
    // device whose user keys the PIN is reported (voteDeviceRegistered,
    // slateDeviceRegistered, expressionDeviceRegistered) and its list marked
    // out of date. The three numbers are sent as they are (":VR"/":SR": 3, 2
    // and 2 decimal digits; ":XP001": two bytes, one, one). False, with
    // nothing sent and no error of its own, while a session is open or the
    // hub is not idle; a refused send records Error_CommsFailure.
    bool startVoteRegistrationSession(unsigned short value1, unsigned char value2,
                                      unsigned char value3, RegistrationCode code);
    bool startSlateRegistrationSession(unsigned short value1, unsigned char value2,
                                       unsigned char value3, RegistrationCode code);
    bool startExpressionRegistrationSession(unsigned short value1, unsigned char value2,
                                            unsigned char value3, RegistrationCode code);
    // Expression registration in which handsets also take a name: the last
    // byte carries the character type (bits 7-5), flag (bit 4) and value.
    bool startNamingExpressionRegistrationSession(unsigned short value1, unsigned char value2,
                                                  unsigned char value3, RegistrationCode code,
                                                  CharacterType type, bool flag,
                                                  unsigned char value);
    // End the registration with ":VE" (waiting for the hub's store) and
    // re-read the lists concerned. True with nothing sent when no session is
    // open; false in any other session. The session is over whatever the
    // result.
    bool stopVoteRegistrationSession();
    bool stopSlateRegistrationSession();
    bool stopExpressionRegistrationSession();

    // Naming sessions: handsets report names, delivered to the named
    // callback when one is set, else by expressionDeviceNamed or
    // voteDeviceNamed; slates always by slateDeviceNamed.
    // startExpressionNamingSession: false without error while a session is
    // open; the session counts as open even when the hub does not confirm.
    bool startExpressionNamingSession();
    // Error_Busy while a session is open.
    bool startOrvexvoteNamingSession();
    // End with ":VE" and re-read the lists named; true with nothing sent when
    // no session is open, false in another session. Ending expression naming
    // also clears the expression-named callback.
    bool stopExpressionNamingSession();
    bool stopOrvexvoteNamingSession();
    bool stopSlateNamingSession();
    // Give one device a name. nameExpression waits for the hub's
    // confirmation (reply may be null) and needs an idle hub; a name longer
    // than 14 ISO 8859-1 characters is cut to 14. nameOrvexvote and
    // nameSlate send the name cut to 4 or 10 ASCII characters (others sent
    // as '?') and open the matching naming session. False, nothing sent,
    // when the uid is not listed or another session is open.
    bool nameExpression(unsigned int uid, const QString &name,
                        ExpressionNameReceivedResponse *reply);
    bool nameOrvexvote(unsigned int uid, const QString &name);
    bool nameSlate(unsigned int uid, const QString &name);
    // Stored as given; a null callback clears it.
    void setExpressionDeviceNamedCallback(DeviceNamedCallback callback, void *userData);
    void setVoteDeviceNamedCallback(DeviceNamedCallback callback, void *userData);

    // Question sessions: ":XP005" and a block that describes the question;
    // no reply is awaited. Checks, in order: connected (Error_NotConnected),
    // question number at least 1 (Error_BadQuestionId), the kind's limits
    // (options and responses 1-6 and no more responses than options, Likert
    // scale 4-9, answer size 0-255, question text under 49 UTF-8 bytes, name
    // length 1-14), no session open
    // (Error_CannotStartSessionBecauseCurrentlyInSession; end-user naming
    // does not check). The duration is limited to 127 units. Each answer
    // goes to the callback when one is given, else to the Hub signal of its
    // kind, with the handset's uid; answers from unknown radio addresses are
    // dropped (end-user naming reports them with uid 0).
    bool startMultichoiceSession(int questionId, int options, int responses,
                                 DisplayOption display, TimeUnit unit, int duration,
                                 TextResponseCallback callback, void *userData) override;
    bool startYesNoSession(int questionId, bool flag, TimeUnit unit, int duration,
                           YesNoCallback callback, void *userData) override;
    bool startTrueFalseSession(int questionId, bool flag, TimeUnit unit, int duration,
                               TrueFalseCallback callback, void *userData) override;
    bool startLikertSession(int questionId, int scale, TimeUnit unit, int duration,
                            LikertCallback callback, void *userData) override;
    // Numeric and text answers may span several packets; one whose packets
    // stop coming is delivered with what arrived 5000 ms after the last one,
    // and Error_InCompleteAnswer is recorded.
    bool startNumericSession(int questionId, const QString &text, int maxSize, TimeUnit unit,
                             int duration, TextResponseCallback callback,
                             void *userData) override;
    bool startTextSession(int questionId, const QString &text, int maxSize, TimeUnit unit,
                          int duration, TextResponseCallback callback, void *userData) override;
    bool startSortInOrderSession(int questionId, int options, int responses,
                                 DisplayOption display, TimeUnit unit, int duration,
                                 TextResponseCallback callback, void *userData) override;
    bool startMessageSession(int questionId, const QString &text, TimeUnit unit, int duration,
                             MessageCallback callback, void *userData) override;
    // Expression handsets name themselves; each name is reported with the
    // handset's uid (0 when its address is unknown) and the lists of
    // expression handsets are marked out of date.
    bool startExpressionEnduserNamingSession(int questionId, CharacterType type, int maxLength,
                                             bool flag, TextResponseCallback callback,
                                             void *userData) override;
    // Ends any session with ":VE", waiting for the hub's store. A failed end
    // leaves the session running. True with nothing sent when none is open.
    bool stopSession() override;
    // Ends end-user naming with ":XP004" and re-reads the expression list if
    // it is out of date. The session is over whatever the result.
    bool stopExpressionEndUserNamingSession() override;

    // Asynchronous message transport: device messages of any length between
    // the host and the expression handsets, while the hub is in its
    // asynchronous session (opened here, ended by stopSession()).
    // - Host to device: asyncSendMsg() keeps the message in one of 255
    //   buffers and tells the hub which device it is for; the device then
    //   fetches it 49 bytes at a time and releases the buffer. Identical
    //   messages share a buffer; when none is free, the one released longest
    //   ago is reused.
    // - Device to host: a device's get-message request (8 bytes of device
    //   data) and its messages, put together from their packets in any order
    //   (a repeated packet counts once), are reported with the device's uid:
    //   to the callbacks given to startAsyncSession() where set, otherwise by
    //   asyncGetMsg() and asyncReceiveMsg() of this class (not those of Hub,
    //   which are never emitted). A message from an unknown address comes
    //   with uid 0; a request from one is dropped.
    // Threads: reports are made on the system's event thread. Once
    // stopSession() has returned on a host thread, none is made any more.
    // Every operation may be called on the event thread, also from a report
    // (ending the session there does not wait for the report itself).
    //
    // Opens the transport (":XP00A"). Error_NotConnected, or
    // Error_CannotStartSessionBecauseCurrentlyInSession while a session is
    // open, or Error_CommsFailure without the hub's OK. Null callbacks leave
    // the reports to the signals. A new session starts with every buffer
    // free, nothing being put together, and no device ready to receive.
    bool startAsyncSession(MessageDataCallback getCallback, MessageDataCallback receiveCallback,
                           void *userData) override;
    // Hands msg (1 to 12,495 bytes) to the device with this uid and waits
    // for the hub's OK. False without a new error outside the session or for
    // an unknown uid; Error_Failed for an empty message (or on the driver's
    // thread), Error_StringTooLong for a longer one, Error_Busy when all 255
    // buffers hold messages that no device has released, Error_CommsFailure
    // without the OK (the message stays in its buffer).
    bool asyncSendMsg(quint32 uid, const QByteArray &msg) override;
    // Whether the device has sent a get-message request in this session.
    bool asyncIsReadyToReceive(quint32 uid) override;
    // Generic messages belong to the virtual hub; here true, nothing sent.
    bool sendGenericAsyncMessage(quint32 uid, const QByteArray &msg) override;
    // The hub's enhanced question session, made on the first call; the hub
    // owns it.
    EnhancedQuestionSession *enhancedQuestionSession() override;

    void processPacket(const QByteArray &packet) override;
    // Event thread: a packet of the asynchronous message transport (event
    // type 1), dropped unless the transport is open; and a device message
    // of the generic session (event type 2), which the generic session does
    // not exist for yet: ignored.
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
    // Message transport reports (event thread), when no callback is set.
    void asyncGetMsg(Orvexsystem::Hub *pHub, quint32 uid, QByteArray deviceData);
    void asyncReceiveMsg(Orvexsystem::Hub *pHub, quint32 uid, QByteArray msg);

protected:
    bool isTouchSupported() override;
    bool isPenPacket(const QByteArray &packet) override;
    void getPenData(const QByteArray &packet, quint8 &penId, int &x, int &y, bool &tip,
                    bool &barrel, bool &proximity) override;
    bool processPinNamingSessionResponse(const QByteArray &packet, quint32 &uid,
                                         QString &response) override;

    // The radio address of a listed device; false when the uid is unknown.
    bool getAddress(unsigned int uid, unsigned int &address);

    // Called when an expression registration ends; nothing to do here.
    virtual void asEndExpressionRegSession();
    // File ids of the message transport: 1 to 0xFFFFFF, then 1 again;
    // resetFileId() starts over (stopSession() does, once the hub confirmed).
    virtual unsigned int getNextFileId();
    virtual void resetFileId();

private Q_SLOTS:
    // Message transport packets, by kind (event thread). The first argument
    // of a get-message request is the radio address as received.
    void processAsyncGetMessageRequest(quint32 uid, QByteArray deviceData);
    void processAsyncDataRequest(quint8 index);
    void processAsyncResponse(QByteArray packet, bool bFirstResponsePacket);

private:
    void asyncBufferRelease(unsigned char index);
    void processHubReset();
    void processHubStateChanged(const QByteArray &packet);
    void processBatteryLow(const QByteArray &packet);
    void processSessionPacket(SessionState state, const QByteArray &packet);
    // Session packets by the kind of session open.
    void processQuestionAnswerPacket(const QByteArray &packet);
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
