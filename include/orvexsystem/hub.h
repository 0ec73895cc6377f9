#ifndef ORVEXSYSTEM_HUB_H
#define ORVEXSYSTEM_HUB_H

#include <orvexsystem/device.h>
#include <orvexsystem/export.h>
#include <orvexsystem/hubresponse.h>
#include <orvexsystem/sessiontypes.h>

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QMap>
#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <memory>

namespace Orvexsystem {

class HubPrivate;
class IResponseHandler;
class OrvexSystem;
class OrvexSession;
class RegistrationCode;
class EnhancedQuestionSession;
class EnhancedGenericSession;

/// The base of every hub kind: identity, connection, last error, session
/// state, the command-and-reply mechanism, pens and touch, and the events
/// through which a hub reports to the host.
///
/// Threads: processPacket() and every report it makes (pen, touch, touch
/// status, votes, PIN naming, and the hub kinds' own reports) run on the
/// driver's packet thread; callbacks are called there and signals emitted
/// there. Commands that wait for a reply run on the caller's thread; the
/// exchanges of one hub are serialised, so concurrent callers take turns.
/// An operation that waits for a reply fails at once with Error_Failed when
/// it is called on the driver's thread (from a packet, plug-and-play or hub
/// callback, or a slot connected directly to a hub signal): the reply would
/// have to be delivered by the thread that waits for it. Once
/// OrvexSystem::shutdown() has begun, waiting operations end at once and new
/// ones fail with Error_CommsFailure.
/// A hub object lives in the thread that called OrvexSystem::initialise():
/// its queued slots run in that thread's Qt event loop. The re-enumeration
/// that follows a hub's notices is timed and run by the system's event
/// thread.
class ORVEXSYSTEM_EXPORT Hub : public QObject
{
    Q_OBJECT
public:
    enum Error {
        Error_None = 0,
        Error_Failed = 1,
        Error_NotSupported = 2,
        Error_NotConnected = 3,
        Error_CommsFailure = 4,
        Error_Busy = 5,
        Error_BadQuestionId = 6,
        Error_StringTooLong = 7,
        Error_NumOfOptionsNotWithinTheRange = 8,
        Error_NumOfResponsesNotWithinTheRange = 9,
        Error_ScaleValueNotWithinTheRange = 10,
        Error_ResponseSizeNotWithinTheRange = 11,
        Error_NumOfResponsesExceedsNumOfOptions = 12,
        Error_InCompleteAnswer = 13,
        Error_NameLengthNotWithinTheRange = 14,
        Error_CannotStartSessionBecauseCurrentlyInSession = 15
    };
    Q_ENUM(Error)

    enum Type { Type_Legacy = 1, Type_TwoPointFourGHz = 2 };
    /// Fixed to int: a legacy hub keeps whatever value the driver reported.
    enum ConnectionType : int { ConnectionType_Serial = 1, ConnectionType_Usb = 2 };

    enum PenEvent {
        PenEvent_None = 0,
        PenEvent_Move = 1,
        PenEvent_TipDown = 2,
        PenEvent_TipUp = 3,
        PenEvent_BarrelDown = 5,
        PenEvent_BarrelUp = 6
    };
    Q_ENUM(PenEvent)

    enum PenType { PenType_Normal = 4000, PenType_Alternate = 4001 };
    enum PenHardwareMode {
        PenHardwareMode_0 = 5000,
        PenHardwareMode_1 = 5001,
        PenHardwareMode_2 = 5002
    };
    enum PenReportMode {
        PenReportMode_0 = 6000,
        PenReportMode_1 = 6001,
        PenReportMode_2 = 6002
    };
    /// Passed to the driver as one byte, unchanged.
    typedef quint8 PenMode;
    typedef quint8 TouchReportMode;
    /// 1 sends touch data to the operating system as pen-style packets
    /// (control 0x21); any other value as touch packets (control 0x45).
    enum TouchInfoPacketType { TouchInfoPacketType_Pen = 1, TouchInfoPacketType_Touch = 2 };

    /// Fixed to int: any other value is valid too and starts a voting
    /// session with a lone CR.
    enum VotingMode : int { VotingMode_VB = 0, VotingMode_VM = 1 };
    enum YesNoResponse { YesNoResponse_No = 0, YesNoResponse_Yes = 1, YesNoResponse_Other = 2 };
    Q_ENUM(YesNoResponse)
    enum TrueFalseResponse {
        TrueFalseResponse_False = 0,
        TrueFalseResponse_True = 1,
        TrueFalseResponse_Other = 2
    };
    Q_ENUM(TrueFalseResponse)

    /// One contact of a touch report.
    struct TouchInfo
    {
        int nTouchId = 0;   ///< 0 to 127
        int nX = 0;         ///< 0 to 65535
        int nY = 0;         ///< 0 to 65535
        int nRadius = 0;    ///< 0 to 65535
        bool bStatus = false;
    };

    typedef void (*VoteCallback)(Hub *, quint32 deviceId, int vote, bool batteryLow, void *);
    typedef void (*TextResponseCallback)(Hub *, quint32 uid, int questionId, const QString &,
                                         void *);
    typedef void (*YesNoCallback)(Hub *, quint32 uid, int questionId, YesNoResponse, void *);
    typedef void (*TrueFalseCallback)(Hub *, quint32 uid, int questionId, TrueFalseResponse,
                                      void *);
    typedef void (*LikertCallback)(Hub *, quint32 uid, int questionId, int value, void *);
    typedef void (*MessageCallback)(Hub *, quint32 uid, int questionId, void *);
    typedef void (*PinNamingCallback)(Hub *, quint32 uid, const QString &response, void *);
    typedef void (*MessageDataCallback)(Hub *, quint32 uid, const QByteArray &, void *);
    typedef void (*BatteryLowCallback)(Hub *, quint32 uid, void *);
    typedef void (*HubBusyCallback)(Hub *, bool busy, void *);
    typedef void (*PenEventCallback)(Hub *, quint32 penId, int x, int y, bool tip, bool barrel,
                                     void *);
    typedef void (*TouchEventCallback)(Hub *, QList<Hub::TouchInfo>, void *);
    typedef void (*TouchStatusEventCallback)(Hub *, bool running, void *);

    /// Question parameter limits.
    static const int minNumberOfOptions = 1;
    static const int maxNumberOfOptions = 6;
    static const int minNumberOfResponses = 1;
    static const int maxNumberOfResponses = 6;
    static const int minLikertScaleValue = 4;
    static const int maxLikertScaleValue = 9;
    static const int minResponseSize = 0;
    static const int maxResponseSize = 255;
    static const int maxEndUserNameLength = 14;
    /// Reply waits, in milliseconds.
    static const int m_nFlashWriteResponseMaximumWaitTime = 6000;
    static const int m_nLegacySerialHubResponseMaximumWaitTime = 160;
    /// Terminator of every command string.
    static const char chEndOfString = 0x0D;
    static const char *const cmdPenHardwareMode; ///< ":PN"
    static const char *const cmdPenType;         ///< ":PK"
    static const int MaximumPens = 3;

    /// Packets common to all hubs: byte 0 is the length, byte 1 the control.
    static const quint8 ReenumerartePacket_Control = 0xA0;
    static const int ReenumerartePacket_Offset_Control = 1;
    static const quint8 RFChangeStatePacket_Control = 0x56;
    static const int RFChangeStatePacket_Offset_Control = 1;
    static const int RFChangeStatePacket_Offset_PreviousState = 2;
    static const int RFChangeStatePacket_Offset_NewState = 3;
    static const quint8 TouchPacket_Control = 0x45;
    static const int TouchPacket_Offset_Control = 1;
    static const int TouchPacket_Header_Length = 2;
    static const quint8 TouchStatusPacket_Control = 0xA5;
    static const int TouchStatusPacket_Offset_Length = 0;
    static const int TouchStatusPacket_Offset_Control = 1;
    static const int TouchStatusPacket_Length = 8;
    static const int TouchStatusPacket_Offset_Status = 6;
    static const int Touch_Length = 7;
    static const int Touch_Id_Offset = 0;
    static const int Touch_X_Offset = 1;
    static const int Touch_Y_Offset = 3;
    static const int Touch_Radius_Offset = 5;
    static const quint8 Touch_Id_Data_Mask = 0x7F;
    static const quint8 Touch_Status_Data_Mask = 0x80;
    static const int PenPacket_Length = 8;
    static const int PenPacket_Offset_Length = 0;
    static const quint8 PenPacket_Control = 0x21;
    static const int PenPacket_Offset_Control = 1;
    static const int PenPacket_Serial_Length = 9;
    static const int PenPacket_Serial_Offset_Length = 0;
    static const quint8 PenPacket_Serial_Control = 1;
    static const int PenPacket_Serial_Offset_Control = 2;

    Hub(OrvexSystem *system, int handle, quint64 uid, bool connected, int version);
    ~Hub() override;

    int handle() const;
    int getInstance() const;
    quint64 uid() const;
    Error getLastError() const;
    bool isConnected();
    static QString errorAsString(Error e);

    void lockDriver();
    void unlockDriver();

    /// Pen and touch.
    void setPenReportMode(quint8 penId, PenReportMode mode);
    void getPenReportMode(quint8 penId, PenReportMode *mode);
    void setPenMode(PenMode mode);
    PenMode getPenMode();
    void setTouchReportMode(TouchReportMode mode);
    void getTouchReportMode(TouchReportMode *mode);
    void setLATEDetection(bool on);
    bool getLATEDetection();
    bool setPenType(quint8 penId, PenType type);
    bool setPenHardwareMode(quint8 penId, PenHardwareMode mode);
    void getPenType(quint8 penId, PenType *type);
    void getPenHardwareMode(quint8 penId, PenHardwareMode *mode);
    bool isTouchRunning();
    int getNumTouchesSupported();
    void enableEventRedirection(bool enable);
    bool getEnableEventRedirection();

    /// Virtual operations, in slot order.
    virtual int getVersion() const;
    virtual bool isHubBusy() = 0;
    virtual bool hasQX5Board() const = 0;
    virtual bool supportsRegistration() const = 0;
    virtual int penCount() const = 0;
    virtual void setConnected(bool connected);
    virtual Type type() = 0;
    virtual bool isVirtualHub();
    virtual unsigned short canRegisterVotingDevicesCount();
    virtual bool getDeviceCount(Device::Type type, int *count) = 0;
    virtual bool getDeviceList(Device::Type type, QList<Device *> *list) = 0;
    virtual bool getCompleteDeviceList(QList<Device *> *list) = 0;
    virtual void readRegisteredDevicesLists() = 0;
    virtual void processPacket(const QByteArray &packet);
    virtual bool isValidNumberOfOptions(int n);
    virtual bool isValidNumberOfResponses(int n);
    virtual bool isValidLikertScaleValue(int n);
    virtual bool isValidMaxResponseSize(int n);
    virtual bool isValidMaxNameLength(int n);
    virtual bool startVotingSession(VotingMode mode, VoteCallback callback, void *userData);
    virtual bool startMultichoiceSession(int questionId, int options, int responses,
                                         DisplayOption display, TimeUnit unit, int duration,
                                         TextResponseCallback callback, void *userData);
    virtual bool startYesNoSession(int questionId, bool flag, TimeUnit unit, int duration,
                                   YesNoCallback callback, void *userData);
    virtual bool startTrueFalseSession(int questionId, bool flag, TimeUnit unit, int duration,
                                       TrueFalseCallback callback, void *userData);
    virtual bool startLikertSession(int questionId, int scale, TimeUnit unit, int duration,
                                    LikertCallback callback, void *userData);
    virtual bool startNumericSession(int questionId, const QString &text, int maxSize,
                                     TimeUnit unit, int duration, TextResponseCallback callback,
                                     void *userData);
    virtual bool startTextSession(int questionId, const QString &text, int maxSize, TimeUnit unit,
                                  int duration, TextResponseCallback callback, void *userData);
    virtual bool startSortInOrderSession(int questionId, int options, int responses,
                                         DisplayOption display, TimeUnit unit, int duration,
                                         TextResponseCallback callback, void *userData);
    virtual bool startMessageSession(int questionId, const QString &text, TimeUnit unit,
                                     int duration, MessageCallback callback, void *userData);
    virtual bool stopSession();
    virtual EnhancedQuestionSession *enhancedQuestionSession();
    virtual EnhancedGenericSession *getEnhancedGenericSession();
    virtual bool startExpressionEnduserNamingSession(int questionId, CharacterType type,
                                                     int maxLength, bool flag,
                                                     TextResponseCallback callback,
                                                     void *userData);
    virtual bool stopExpressionEndUserNamingSession();
    virtual bool startOrvexvotePinNamingSession(int count, PinNamingCallback callback,
                                                void *userData);
    virtual unsigned int getDeviceId(unsigned int address) = 0;
    virtual ConnectionType connectionType();
    virtual bool asGetRegistrationPin(RegistrationCode &code);
    virtual bool startAsyncSession(MessageDataCallback getCallback,
                                   MessageDataCallback receiveCallback, void *userData);
    virtual bool startEnhancedGenericSession(MessageDataCallback callback, void *userData);
    virtual bool asyncSendMsg(quint32 uid, const QByteArray &msg);
    virtual bool sendGenericAsyncMessage(quint32 uid, const QByteArray &msg);
    virtual bool asyncIsReadyToReceive(quint32 uid);
    virtual bool setPenEventCallback(PenEventCallback callback, void *userData);
    virtual bool setTouchEventCallback(TouchEventCallback callback, void *userData);
    virtual bool setTouchStatusEventCallback(TouchStatusEventCallback callback, void *userData);
    virtual bool sendTouchInfoToOS(QList<TouchInfo> &touches, TouchInfoPacketType type);
    virtual bool setBatteryLowCallback(BatteryLowCallback callback, void *userData);

Q_SIGNALS:
    void connected(Orvexsystem::Hub *pHub);
    void disconnected(Orvexsystem::Hub *pHub);
    void hubReset(Orvexsystem::Hub *pHub);
    void hubBusy(Orvexsystem::Hub *pHub);
    void reenumerateAfterTimeout(int nTimeout);
    void voteReceived(Orvexsystem::Hub *pHub, quint32 uid, int vote, int batterylow);
    void multichoiceSessionResponse(Orvexsystem::Hub *pHub, quint32 uid, int questionId,
                                    QString response);
    void yesNoSessionResponse(Orvexsystem::Hub *pHub, quint32 uid, int questionId,
                              Orvexsystem::Hub::YesNoResponse response);
    void trueFalseSessionResponse(Orvexsystem::Hub *pHub, quint32 uid, int questionId,
                                  Orvexsystem::Hub::TrueFalseResponse response);
    void likertSessionResponse(Orvexsystem::Hub *pHub, quint32 uid, int questionId,
                               int likertValue);
    void numericSessionResponse(Orvexsystem::Hub *pHub, quint32 uid, int questionId,
                                QString response);
    void textSessionResponse(Orvexsystem::Hub *pHub, quint32 uid, int questionId,
                             QString response);
    void sortInOrderSessionResponse(Orvexsystem::Hub *pHub, quint32 uid, int questionId,
                                    QString response);
    void messageSessionResponse(Orvexsystem::Hub *pHub, quint32 uid, int questionId);
    void penEventReceived(Orvexsystem::Hub *pHub, Orvexsystem::Hub::PenEvent ePenEvent,
                          quint8 nPenId, int nX, int nY, bool bTipPressed, bool bBarrelPressed);
    void touchEventReceived(Orvexsystem::Hub *pHub,
                            QList<Orvexsystem::Hub::TouchInfo> listTouchInfo);
    void touchStatusEventReceived(Orvexsystem::Hub *pHub, bool bRunning);
    void endUserNamingSessionResponse(Orvexsystem::Hub *pHub, quint32 uid, int questionId,
                                      QString response);
    void pinNamingSessionResponse(Orvexsystem::Hub *pHub, quint32 uid, QString response);
    void batteryLow(Orvexsystem::Hub *pHub, quint32 uid);
    void asyncGetMsg(Orvexsystem::Hub *pHub, quint32 uid, QByteArray getMsgData);
    void asyncReceiveMsg(Orvexsystem::Hub *pHub, quint32 uid, QByteArray msg);

protected:
    /// Which session the hub object has open.
    enum SessionState {
        Session_None = 0,
        Session_Multichoice = 1,
        Session_YesNo = 2,
        Session_TrueFalse = 3,
        Session_Likert = 4,
        Session_Numeric = 5,
        Session_Text = 6,
        Session_SortInOrder = 7,
        Session_Message = 8,
        Session_Voting = 9,
        Session_ExpressionRegistration = 10,
        Session_VoteRegistration = 11,
        Session_SlateRegistration = 12,
        Session_ExpressionNaming = 13,
        Session_OrvexvoteNaming = 14,
        Session_SlateNaming = 15,
        Session_RemoveDevice = 16,
        Session_VoteTest = 17,
        Session_SlatePINRegistration = 18,
        Session_Async = 19,
        Session_ExpressionEndUserNaming = 20,
        Session_PinNaming = 21,
        Session_EnhancedGeneric = 22
    };

    /// Operations each hub kind provides for the common packet handling.
    virtual bool getTouchStatus(quint8 *status, quint8 *touchCount);
    virtual bool isPenPacket(const QByteArray &packet) = 0;
    virtual void getPenData(const QByteArray &packet, quint8 &penId, int &x, int &y, bool &tip,
                            bool &barrel, bool &proximity) = 0;
    virtual bool isTouchSupported() = 0;
    virtual bool processPinNamingSessionResponse(const QByteArray &packet, quint32 &uid,
                                                 QString &response) = 0;
    virtual bool setHubBusyCallback(HubBusyCallback callback, void *userData) = 0;
    virtual bool preprocessOrvexvoteSession();

    void recordError(Error e);
    /// Hands one command to the driver without waiting for a reply.
    bool send(const QByteArray &command);
    /// Enters the session, then sends the command that starts it, so that a
    /// reply the hub sends at once is handled in it; false, with the state
    /// found restored, when the write is refused.
    bool sendInSession(const QByteArray &command, SessionState state);

    /// Sends a command and waits up to waitMs for its reply of type T, which
    /// is parsed into response. Exchanges of one hub are serialised.
    template <class T>
    bool sendAndWait(const QByteArray &command, T &response, int waitMs);
    /// The exchange itself, for a caller that already holds the hub's
    /// exchange turn (to do more under the same turn).
    template <class T>
    bool sendAndWaitLocked(IResponseHandler *handler, const QByteArray &command, T &response,
                           int waitMs);
    /// Registers the handler of reply type T; constructors only.
    template <class T>
    void addResponseHandler();
    template <class T>
    IResponseHandler *responseHandler() const;
    void reset(IResponseHandler *handler);
    bool getNextPacket(IResponseHandler *handler, QByteArray *packet, int waitMs);

    /// The wait for a reply of this hub, in milliseconds.
    int responseWaitTime() const;
    void setResponseWaitTime(int ms);

    void setSessionState(SessionState s);
    SessionState sessionState() const;

    /// Packet classification.
    bool isTouchStatusPacket(const QByteArray &packet) const;
    bool isTouchPacket(const QByteArray &packet) const;
    bool isReenumerartePacket(const QByteArray &packet) const;
    bool isRFChangeStatePacket(const QByteArray &packet) const;
    void RFChangeStatePacketReceived(const QByteArray &packet);
    void reenumerateDevicesReceived();
    void findPenEvent(bool tip, quint8 penId, bool barrel, bool proximity, PenEvent &event);
    void getTouchData(const QByteArray &packet, QList<TouchInfo> &touches);

    /// Reads the machine-wide list of virtual voting handsets into lines of
    /// the form: uid in hex, address in hex, '#', name.
    bool readVirtualVoteFile(QStringList &lines);

    /// Creates the states of pens 1 to MaximumPens and sends their initial
    /// commands; hub kinds call it from their constructors.
    void createPenStates();

    OrvexSystem *orvexSystem() const;
    /// The hub's internals, for the hub kinds' own code.
    HubPrivate *hubPrivate() const { return d.get(); }

    /// The hub's session object (null for none), owned. The packet thread
    /// uses it under a lock that setSession() takes, so the previous object
    /// is never deleted while in use.
    OrvexSession *session() const;
    void setSession(OrvexSession *session);

private Q_SLOTS:
    void onReenumerateAfterTimeout(int nTimeout);
    void reenumerateDevices();

private:
    friend class HubPrivate;
    std::unique_ptr<HubPrivate> d;
};

} // namespace Orvexsystem

Q_DECLARE_METATYPE(Orvexsystem::Hub::TouchInfo)

#endif
