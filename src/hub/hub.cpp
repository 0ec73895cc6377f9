#include <orvexsystem/enhancedquestion.h>
#include <orvexsystem/hub.h>
#include <orvexsystem/system.h>

#include "hub/hub_p.h"
#include "hub/touchstatusresponse.h"
#include "hub/virtualvotefile.h"
#include "platform/platform.h"
#include "sessions/orvexsession.h"
#include "sessions/orvexvotesession.h"
#include "system/orvexsystem_p.h"
#include "system/threadcontext.h"

#include <QtCore/QMetaEnum>
#include <QtCore/QMetaType>

namespace Orvexsystem {

const char *const Hub::cmdPenHardwareMode = ":PN";
const char *const Hub::cmdPenType = ":PK";

// Out-of-class definitions, so that the constants may be bound to references.
const int Hub::minNumberOfOptions;
const int Hub::maxNumberOfOptions;
const int Hub::minNumberOfResponses;
const int Hub::maxNumberOfResponses;
const int Hub::minLikertScaleValue;
const int Hub::maxLikertScaleValue;
const int Hub::minResponseSize;
const int Hub::maxResponseSize;
const int Hub::maxEndUserNameLength;
const int Hub::m_nFlashWriteResponseMaximumWaitTime;
const int Hub::m_nLegacySerialHubResponseMaximumWaitTime;
const char Hub::chEndOfString;
const int Hub::MaximumPens;

namespace {

const int DefaultResponseWaitMs = 100;
const int ReenumerateDelayMs = 3000;
inline quint8 byteAt(const QByteArray &packet, int offset)
{
    return quint8(packet.at(offset));
}

} // namespace

HubPrivate::HubPrivate(OrvexSystem *system, int handle, quint64 uid, bool connected,
                       int version)
    : system(system),
      handle(handle),
      uid(uid),
      version(version),
      connected(connected),
      responseWaitMs(DefaultResponseWaitMs)
{
}

HubPrivate::~HubPrivate()
{
    qDeleteAll(responseHandlers);
    delete session.exchange(nullptr);
}

bool HubPrivate::mayExchange(Hub *hub)
{
    if (ThreadContext::inDriverCallback()) {
        hub->recordError(Hub::Error_Failed);
        return false;
    }
    if (aborted.load()) {
        hub->recordError(Hub::Error_CommsFailure);
        return false;
    }
    return true;
}

void HubPrivate::abortExchanges()
{
    aborted.store(true);
    for (IResponseHandler *handler : std::as_const(responseHandlers))
        handler->abort();
}

Hub::Hub(OrvexSystem *system, int handle, quint64 uid, bool connected, int version)
    : QObject(nullptr), d(new HubPrivate(system, handle, uid, connected, version))
{
    // The types that cross threads in queued signal connections. Qt names
    // enumerations declared with Q_ENUM by their qualified name.
    qRegisterMetaType<Hub::YesNoResponse>();
    qRegisterMetaType<Hub::TrueFalseResponse>();
    qRegisterMetaType<YesNoQuestion::Answer>();
    qRegisterMetaType<TrueFalseQuestion::Answer>();
    qRegisterMetaType<Hub::PenEvent>();
    qRegisterMetaType<Device::SubType>();
    qRegisterMetaType<QList<Hub::TouchInfo>>();

    addResponseHandler<TouchStatusResponse>();

    // A re-enumeration request is handed to the system's event thread, which
    // keeps the time and re-reads the lists when it runs out. The hub needs
    // no Qt event loop for it, whichever thread it lives in, and no request
    // crosses threads through Qt's event queue.
    connect(this, &Hub::reenumerateAfterTimeout, this, &Hub::onReenumerateAfterTimeout,
            Qt::DirectConnection);

    // Known to the system from now on, so that a shutdown that begins while
    // this hub is still being set up ends its exchanges too.
    if (system)
        OrvexSystemPrivate::get(system)->hubCreated(this);
}

Hub::~Hub()
{
    if (d->system) {
        OrvexSystemPrivate *system = OrvexSystemPrivate::get(d->system);
        system->scheduleReenumeration(this, 0);
        system->hubDestroyed(this);
    }
}

int Hub::handle() const { return d->handle; }
int Hub::getInstance() const { return d->handle; }
quint64 Hub::uid() const { return d->uid; }
Hub::Error Hub::getLastError() const { return d->lastError.load(); }
bool Hub::isConnected() { return d->connected.load(); }
void Hub::recordError(Error e) { d->lastError.store(e); }
OrvexSystem *Hub::orvexSystem() const { return d->system; }
int Hub::responseWaitTime() const { return d->responseWaitMs.load(); }
void Hub::setResponseWaitTime(int ms) { d->responseWaitMs.store(ms); }
void Hub::setSessionState(SessionState s) { d->sessionState.store(s); }
Hub::SessionState Hub::sessionState() const { return SessionState(d->sessionState.load()); }
OrvexSession *Hub::session() const { return d->session.load(); }

QString Hub::errorAsString(Error e)
{
    const int index = staticMetaObject.indexOfEnumerator("Error");
    if (index < 0)
        return QStringLiteral("Unknown");
    // A value without a name gives an empty text.
    return QString::fromLatin1(staticMetaObject.enumerator(index).valueToKey(e));
}

void Hub::lockDriver()
{
    if (d->system)
        d->system->lockDriver();
}

void Hub::unlockDriver()
{
    if (d->system)
        d->system->unlockDriver();
}

bool Hub::send(const QByteArray &command)
{
    if (!d->system || !d->system->sendCommand(this, command)) {
        recordError(Error_CommsFailure);
        return false;
    }
    return true;
}

void Hub::reset(IResponseHandler *handler)
{
    if (handler)
        handler->reset();
}

bool Hub::getNextPacket(IResponseHandler *handler, QByteArray *packet, int waitMs)
{
    return handler && handler->getNextPacket(packet, waitMs);
}

void Hub::setSession(OrvexSession *session)
{
    OrvexSession *previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(d->sessionMutex);
        previous = d->session.exchange(session);
    }
    if (previous != session)
        delete previous;
}

// ---------------------------------------------------------------------------
// Callbacks: a null callback is refused and the earlier one kept.

bool Hub::setPenEventCallback(PenEventCallback callback, void *userData)
{
    if (!callback)
        return false;
    d->penEventCallback.store(callback, userData);
    return true;
}

bool Hub::setTouchEventCallback(TouchEventCallback callback, void *userData)
{
    if (!callback)
        return false;
    d->touchEventCallback.store(callback, userData);
    return true;
}

bool Hub::setTouchStatusEventCallback(TouchStatusEventCallback callback, void *userData)
{
    if (!callback)
        return false;
    d->touchStatusEventCallback.store(callback, userData);
    return true;
}

bool Hub::sendInSession(const QByteArray &command, SessionState state)
{
    const SessionState before = sessionState();
    setSessionState(state);
    if (send(command))
        return true;
    setSessionState(before);
    return false;
}

bool Hub::startOrvexvotePinNamingSession(int count, PinNamingCallback callback, void *userData)
{
    // A null callback is accepted: replies then go out as signals.
    d->pinNamingCallback.store(callback, userData);
    return sendInSession(QByteArray(":VZ") + QByteArray::number(count) + chEndOfString,
                         Session_PinNaming);
}

// ---------------------------------------------------------------------------
// Packet classification

bool Hub::isTouchStatusPacket(const QByteArray &packet) const
{
    return packet.size() == TouchStatusPacket_Length
           && byteAt(packet, TouchStatusPacket_Offset_Length) == TouchStatusPacket_Length
           && byteAt(packet, TouchStatusPacket_Offset_Control) == TouchStatusPacket_Control;
}

bool Hub::isTouchPacket(const QByteArray &packet) const
{
    return packet.size() > TouchPacket_Offset_Control
           && byteAt(packet, TouchPacket_Offset_Control) == TouchPacket_Control;
}

bool Hub::isReenumerartePacket(const QByteArray &packet) const
{
    return packet.size() > ReenumerartePacket_Offset_Control
           && byteAt(packet, ReenumerartePacket_Offset_Control) == ReenumerartePacket_Control;
}

bool Hub::isRFChangeStatePacket(const QByteArray &packet) const
{
    return packet.size() > RFChangeStatePacket_Offset_Control
           && byteAt(packet, RFChangeStatePacket_Offset_Control) == RFChangeStatePacket_Control;
}

void Hub::processPacket(const QByteArray &packet)
{
    // 1. Pen report.
    if (isPenPacket(packet)) {
        quint8 penId = 0;
        int x = 0;
        int y = 0;
        bool tip = false;
        bool barrel = false;
        bool proximity = false;
        PenEvent event = PenEvent_None;
        getPenData(packet, penId, x, y, tip, barrel, proximity);
        findPenEvent(tip, penId, barrel, proximity, event);
        if (event == PenEvent_None)
            return;
        const auto slot = d->penEventCallback.load();
        if (slot.function)
            slot.function(this, penId, x, y, tip, barrel, slot.context);
        else
            Q_EMIT penEventReceived(this, event, penId, x, y, tip, barrel);
        return;
    }

    // 2. Re-enumeration notice.
    if (isReenumerartePacket(packet)) {
        Q_EMIT reenumerateAfterTimeout(ReenumerateDelayMs);
        return;
    }

    // 3. Radio state change.
    if (isRFChangeStatePacket(packet)) {
        RFChangeStatePacketReceived(packet);
        return;
    }

    // 4. Touch report.
    if (isTouchPacket(packet)) {
        QList<TouchInfo> touches;
        getTouchData(packet, touches);
        const auto slot = d->touchEventCallback.load();
        if (slot.function)
            slot.function(this, touches, slot.context);
        else
            Q_EMIT touchEventReceived(this, touches);
        return;
    }

    // 5. Touch-status report; not reported while a query waits for it, and
    // in every case offered to the steps below.
    if (isTouchStatusPacket(packet) && !d->awaitingTouchStatus.load()) {
        const qint8 status = qint8(byteAt(packet, TouchStatusPacket_Offset_Status));
        if (status == 0 || status == 5) {
            const bool running = status == 5;
            const auto slot = d->touchStatusEventCallback.load();
            if (slot.function)
                slot.function(this, running, slot.context);
            else
                Q_EMIT touchStatusEventReceived(this, running);
        }
    }

    // 6. Voting session. The session decodes under the session lock; the
    // host is called after it is released.
    const SessionState state = sessionState();
    if ((state == Session_Voting || state == Session_VoteTest) && d->session.load()) {
        bool decoded = false;
        bool votingHandset = false;
        unsigned int sender = 0;
        int vote = 0;
        int batteryLow = 0;
        VoteCallback callback = nullptr;
        void *context = nullptr;
        {
            std::lock_guard<std::mutex> lock(d->sessionMutex);
            OrvexSession *session = d->session.load();
            if (session && session->isSessionPacket(packet) && session->processPacket(packet)) {
                decoded = true;
                votingHandset = session->isVotingHandsetSession();
                sender = session->senderId();
                vote = session->voteOption();
                batteryLow = session->batteryLowFlag();
                callback = session->voteCallback();
                context = session->voteCallbackContext();
            }
        }
        if (decoded) {
            const quint32 id = getDeviceId(sender);
            if (id != 0 && votingHandset) {
                if (callback)
                    callback(this, id, vote, batteryLow != 0, context);
                else
                    Q_EMIT voteReceived(this, id, vote, batteryLow);
                return;
            }
        }
    }

    // 7. PIN naming session.
    if (state == Session_PinNaming) {
        quint32 uid = 0;
        QString response;
        if (processPinNamingSessionResponse(packet, uid, response)) {
            const auto slot = d->pinNamingCallback.load();
            if (slot.function)
                slot.function(this, uid, response, slot.context);
            else
                Q_EMIT pinNamingSessionResponse(this, uid, response);
            return;
        }
    }

    // 8. A command waiting for its reply.
    if (IResponseHandler *handler = d->currentHandler.load())
        handler->addPacket(packet);
}

void Hub::RFChangeStatePacketReceived(const QByteArray &packet)
{
    // A notice too short to carry both states is ignored.
    if (packet.size() <= RFChangeStatePacket_Offset_NewState)
        return;
    const qint8 newState = qint8(byteAt(packet, RFChangeStatePacket_Offset_NewState));
    const qint8 previousState = qint8(byteAt(packet, RFChangeStatePacket_Offset_PreviousState));
    // Cancel first, then schedule: a packet matching both ends up scheduled.
    switch (newState) {
    case 0x01:
    case 0x11:
    case 0x20:
    case 0x30:
    case 0x40:
        Q_EMIT reenumerateAfterTimeout(0);
        break;
    default:
        break;
    }
    switch (previousState) {
    case 0x01:
    case 0x09:
    case 0x11:
    case 0x20:
    case 0x30:
    case 0x40:
        Q_EMIT reenumerateAfterTimeout(ReenumerateDelayMs);
        break;
    default:
        break;
    }
}

void Hub::reenumerateDevicesReceived()
{
    Q_EMIT reenumerateAfterTimeout(ReenumerateDelayMs);
}

void Hub::onReenumerateAfterTimeout(int nTimeout)
{
    // A later request restarts the wait; 0 only cancels.
    if (d->system)
        OrvexSystemPrivate::get(d->system)->scheduleReenumeration(this,
                                                                  nTimeout > 0 ? nTimeout : 0);
}

void Hub::reenumerateDevices()
{
    if (!d->system)
        return;
    OrvexSystemPrivate::get(d->system)->scheduleReenumeration(this, 0);
    OrvexSystem::AsEvent event;
    event.type = OrvexSystem::Event_ReadDeviceLists;
    event.hub = this;
    d->system->asPostEvent(event);
}

void Hub::enableEventRedirection(bool enable)
{
    if (d->system)
        d->system->setTouchSystemRedirectionEnabled(this, enable);
}

bool Hub::getEnableEventRedirection()
{
    return d->system && d->system->getTouchSystemRedirectionEnabled(this);
}

// ---------------------------------------------------------------------------
// Range checks

bool Hub::isValidNumberOfOptions(int n)
{
    if (n >= minNumberOfOptions && n <= maxNumberOfOptions)
        return true;
    recordError(Error_NumOfOptionsNotWithinTheRange);
    return false;
}

bool Hub::isValidNumberOfResponses(int n)
{
    if (n >= minNumberOfResponses && n <= maxNumberOfResponses)
        return true;
    recordError(Error_NumOfResponsesNotWithinTheRange);
    return false;
}

bool Hub::isValidLikertScaleValue(int n)
{
    if (n >= minLikertScaleValue && n <= maxLikertScaleValue)
        return true;
    recordError(Error_ScaleValueNotWithinTheRange);
    return false;
}

bool Hub::isValidMaxResponseSize(int n)
{
    if (n >= minResponseSize && n <= maxResponseSize)
        return true;
    recordError(Error_ResponseSizeNotWithinTheRange);
    return false;
}

bool Hub::isValidMaxNameLength(int n)
{
    if (n >= 1 && n <= maxEndUserNameLength)
        return true;
    recordError(Error_NameLengthNotWithinTheRange);
    return false;
}

// ---------------------------------------------------------------------------
// Defaults of the operations a hub kind may not support

int Hub::getVersion() const
{
    return d->version;
}

void Hub::setConnected(bool connected)
{
    d->connected.store(connected);
}

bool Hub::isVirtualHub()
{
    return false;
}

unsigned short Hub::canRegisterVotingDevicesCount()
{
    return 0;
}

unsigned int Hub::getDeviceId(unsigned int)
{
    return 0;
}

Hub::ConnectionType Hub::connectionType()
{
    return ConnectionType_Usb;
}

bool Hub::preprocessOrvexvoteSession()
{
    return true;
}

bool Hub::startVotingSession(VotingMode mode, VoteCallback callback, void *userData)
{
    if (!preprocessOrvexvoteSession())
        return false;
    // The new session replaces any earlier one under the session lock, so a
    // packet being decoded meanwhile finishes with the object it began with.
    auto *session = new OrvexvoteSession(type(), connectionType(), mode, callback, userData);
    const QByteArray command = session->startCommand();
    setSession(session);
    // A refused start keeps the new object and leaves the state as it was.
    return sendInSession(command, Session_Voting);
}

bool Hub::startMultichoiceSession(int, int, int, DisplayOption, TimeUnit, int,
                                  TextResponseCallback, void *)
{
    recordError(Error_NotSupported);
    return false;
}

bool Hub::startYesNoSession(int, bool, TimeUnit, int, YesNoCallback, void *)
{
    recordError(Error_NotSupported);
    return false;
}

bool Hub::startTrueFalseSession(int, bool, TimeUnit, int, TrueFalseCallback, void *)
{
    recordError(Error_NotSupported);
    return false;
}

bool Hub::startLikertSession(int, int, TimeUnit, int, LikertCallback, void *)
{
    recordError(Error_NotSupported);
    return false;
}

bool Hub::startNumericSession(int, const QString &, int, TimeUnit, int, TextResponseCallback,
                              void *)
{
    recordError(Error_NotSupported);
    return false;
}

bool Hub::startTextSession(int, const QString &, int, TimeUnit, int, TextResponseCallback,
                           void *)
{
    recordError(Error_NotSupported);
    return false;
}

bool Hub::startSortInOrderSession(int, int, int, DisplayOption, TimeUnit, int,
                                  TextResponseCallback, void *)
{
    recordError(Error_NotSupported);
    return false;
}

bool Hub::startMessageSession(int, const QString &, TimeUnit, int, MessageCallback, void *)
{
    recordError(Error_NotSupported);
    return false;
}

bool Hub::stopSession()
{
    recordError(Error_NotSupported);
    return false;
}

EnhancedQuestionSession *Hub::enhancedQuestionSession()
{
    return nullptr;
}

EnhancedGenericSession *Hub::getEnhancedGenericSession()
{
    return nullptr;
}

bool Hub::startExpressionEnduserNamingSession(int, CharacterType, int, bool,
                                              TextResponseCallback, void *)
{
    recordError(Error_NotSupported);
    return false;
}

bool Hub::stopExpressionEndUserNamingSession()
{
    recordError(Error_NotSupported);
    return false;
}

bool Hub::asGetRegistrationPin(RegistrationCode &)
{
    return false;
}

bool Hub::startAsyncSession(MessageDataCallback, MessageDataCallback, void *)
{
    recordError(Error_NotSupported);
    return false;
}

bool Hub::startEnhancedGenericSession(MessageDataCallback, void *)
{
    recordError(Error_NotSupported);
    return false;
}

bool Hub::asyncSendMsg(quint32, const QByteArray &)
{
    recordError(Error_NotSupported);
    return false;
}

bool Hub::sendGenericAsyncMessage(quint32, const QByteArray &)
{
    recordError(Error_NotSupported);
    return false;
}

bool Hub::asyncIsReadyToReceive(quint32)
{
    return false;
}

bool Hub::setBatteryLowCallback(BatteryLowCallback, void *)
{
    recordError(Error_NotSupported);
    return false;
}

// ---------------------------------------------------------------------------
// Virtual-vote file

bool Hub::readVirtualVoteFile(QStringList &lines)
{
    lines.clear();
    const QString path = Platform::machineDataFileForReading(VirtualVoteFile::relativePath());
    if (path.isEmpty())
        return false;
    const auto file = Platform::openFileForReading(path);
    if (!file)
        return false;
    return VirtualVoteFile::read(*file, lines);
}

} // namespace Orvexsystem
