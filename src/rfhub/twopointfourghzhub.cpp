#include <orvexsystem/twopointfourghzhub.h>

#include <orvexsystem/system.h>

#include "hub/pendecoder.h"
#include "rfhub/twopointfourghzhub_p.h"
#include "sessions/asyncresponse.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QRandomGenerator>
#include <QtCore/QTime>

namespace Orvexsystem {

namespace {

const char cmdInformation[] = ":GI\r";
const char cmdName[] = ":GN\r";
const char cmdBoardInfo[] = ":GR08\r";

} // namespace

TwoPointFourGHzHub::TwoPointFourGHzHub(OrvexSystem *system, int handle, quint64 uid,
                                       bool connected, int version)
    : Hub(system, handle, uid, connected, version), d(new TwoPointFourGHzHubPrivate(this))
{
    addResponseHandler<InformationResponse>();
    addResponseHandler<NameAndFreeStoreResponse>();
    addResponseHandler<DeviceCountResponse>();
    addResponseHandler<OKResponse>();
    addResponseHandler<RegisteredVoteResponse>();
    addResponseHandler<RegisteredExpressionResponse>();
    addResponseHandler<RegisteredSlateResponse>();
    addResponseHandler<SessionByteResponse>();
    addResponseHandler<SessionSortInOrderResponse>();
    addResponseHandler<ExpressionNameReceivedResponse>();
    addResponseHandler<RegisteredBoardResponse>();
    addResponseHandler<BoardInfoResponse>();
    addResponseHandler<VirtualGenericAsyncResponse>();
    createPenStates();
}

TwoPointFourGHzHub::~TwoPointFourGHzHub()
{
    // Before anything else goes: the enhanced session's simulation and a
    // collector's timer may still be handing reports over to this hub.
    d->destroyEnhancedSession();
    d->destroySessions();
}

// ---------------------------------------------------------------------------
// Hub information

TwoPointFourGHzHub::State TwoPointFourGHzHub::state()
{
    if (!isConnected()) {
        recordError(Error_NotConnected);
        return State_Disconnected;
    }
    InformationResponse reply;
    if (!sendAndWait(QByteArray(cmdInformation), reply, responseWaitTime())) {
        recordError(Error_CommsFailure);
        return State_Error;
    }
    return reply.hubMode() == 1 ? State_Idle : State_Busy;
}

bool TwoPointFourGHzHub::isHubBusy()
{
    return state() == State_Busy;
}

QString TwoPointFourGHzHub::name()
{
    static const QString fallback = QCoreApplication::translate(
        "Orvexsystem::TwoPointFourGHzHub", "???",
        "The 'name' returned when the hub name cannot be read");
    if (!isConnected()) {
        recordError(Error_NotConnected);
        return fallback;
    }
    NameAndFreeStoreResponse reply;
    if (!sendAndWait(QByteArray(cmdName), reply, responseWaitTime())) {
        recordError(Error_CommsFailure);
        return fallback;
    }
    return reply.name();
}

bool TwoPointFourGHzHub::getRegistrationInfo(InformationResponse *reply)
{
    if (!isConnected()) {
        recordError(Error_NotConnected);
        return false;
    }
    InformationResponse info;
    if (!sendAndWait(QByteArray(cmdInformation), info, responseWaitTime()))
        return false;
    if (reply)
        *reply = info;
    return true;
}

unsigned short TwoPointFourGHzHub::canRegisterVotingDevicesCount()
{
    InformationResponse info;
    if (!getRegistrationInfo(&info))
        return 0;
    return info.handsetCapacity();
}

bool TwoPointFourGHzHub::isTouchSupported()
{
    if (!isConnected()) {
        recordError(Error_NotConnected);
        return false;
    }
    BoardInfoResponse reply;
    if (!sendAndWait(QByteArray(cmdBoardInfo), reply, responseWaitTime())) {
        recordError(Error_NotSupported);
        return false;
    }
    return reply.boardVersion() >= BoardInfoResponse::TouchVersion;
}

bool TwoPointFourGHzHub::hasQX5Board() const
{
    return d->penCount.load() == 2;
}

int TwoPointFourGHzHub::penCount() const
{
    return d->penCount.load();
}

void TwoPointFourGHzHub::setConnected(bool connected)
{
    Hub::setConnected(connected);
    if (!connected) {
        d->registry.retireAll();
        d->penCount.store(0);
        return;
    }
    for (int kind = 0; kind < DeviceRegistry::ListCount; ++kind) {
        const auto list = DeviceRegistry::ListKind(kind);
        if (d->registry.isEmpty(list) && d->readList(list))
            d->registry.setOutOfDate(list, false);
    }
    d->readPenCount();
}

// ---------------------------------------------------------------------------
// Identities

int TwoPointFourGHzHub::productIdOf(Device::Type type)
{
    switch (type) {
    case Device::Type_TwoPointFourGHzOrvexSlate: return 0x07;
    case Device::Type_TwoPointFourGHzOrvexvote: return 0x06;
    case Device::Type_TwoPointFourGHzOrvexexpression: return 0x09;
    case Device::Type_TwoPointFourGHzOrvexboard: return 0x08;
    case Device::Type_PenExpression: return 0x0D;
    default: return 0x01;
    }
}

unsigned char TwoPointFourGHzHub::generateEntityId()
{
    // Seeded with the time of day to the second: calls within one second
    // draw the same byte and differ by the counter alone.
    const QTime now = QTime::currentTime();
    const quint32 seed = quint32(now.hour()) * 3600000u + quint32(now.minute()) * 60000u +
                         quint32(now.second()) * 1000u;
    QRandomGenerator generator(seed);
    const quint8 random = quint8(generator.generate() & 0xFF);
    const quint8 counter = d->entityIdCounter.fetch_add(1);
    return static_cast<unsigned char>(quint8(random + counter));
}

bool TwoPointFourGHzHub::isInSession()
{
    return sessionState() != Session_None;
}

unsigned int TwoPointFourGHzHub::getDeviceId(unsigned int address)
{
    return d->registry.uidAt(static_cast<unsigned short>(address & 0xFFFF));
}

bool TwoPointFourGHzHub::getAddress(unsigned int uid, unsigned int &address)
{
    return d->registry.addressOf(uid, &address);
}

// ---------------------------------------------------------------------------
// Callbacks

bool TwoPointFourGHzHub::setHubBusyCallback(HubBusyCallback callback, void *userData)
{
    if (!callback)
        return false;
    d->hubBusyCallback.store(callback, userData);
    return true;
}

bool TwoPointFourGHzHub::setBatteryLowCallback(BatteryLowCallback callback, void *userData)
{
    if (!callback)
        return false;
    d->batteryLowCallback.store(callback, userData);
    return true;
}

// ---------------------------------------------------------------------------
// Packets

bool TwoPointFourGHzHub::isHubResetPacket(const QByteArray &packet)
{
    return packet.size() == hubReset_Packet_Length &&
           quint8(packet.at(hubReset_Packet_Offset_Length)) == hubReset_Packet_Length &&
           quint8(packet.at(hubReset_Packet_Offset_Control)) == hubReset_Packet_Control;
}

bool TwoPointFourGHzHub::isHubStateChangedPacket(const QByteArray &packet)
{
    return packet.size() == hubStateChanged_Packet_Length &&
           quint8(packet.at(hubStateChanged_Packet_Offset_Length)) ==
               hubStateChanged_Packet_Length &&
           quint8(packet.at(hubStateChanged_Packet_Offset_Control)) ==
               hubStateChanged_Packet_Control;
}

bool TwoPointFourGHzHub::isPenPacket(const QByteArray &packet)
{
    return PenPacket8::isPenPacket(packet);
}

void TwoPointFourGHzHub::getPenData(const QByteArray &packet, quint8 &penId, int &x, int &y,
                                    bool &tip, bool &barrel, bool &proximity)
{
    PenSample sample;
    PenPacket8::decode(packet, sample);
    penId = sample.penId;
    x = sample.x;
    y = sample.y;
    tip = sample.tip;
    barrel = sample.barrel;
    proximity = sample.proximity;
}

void TwoPointFourGHzHub::processPacket(const QByteArray &packet)
{
    Hub::processPacket(packet);

    if (isHubResetPacket(packet) && d->clearsInProgress.load() == 0) {
        processHubReset();
        return;
    }
    if (isHubStateChangedPacket(packet)) {
        processHubStateChanged(packet);
        return;
    }
    if (BatteryLowResponse::isValid(packet))
        processBatteryLow(packet);
    processSessionPacket(sessionState(), packet);
}

void TwoPointFourGHzHub::processHubReset()
{
    d->registry.retireAll();
    d->penCount.store(0);
    // Whatever session the hub had open is gone with the reset.
    setSessionState(Session_None);
    d->endQuestionSession();
    Q_EMIT hubReset(this);
}

void TwoPointFourGHzHub::processHubStateChanged(const QByteArray &packet)
{
    const quint8 previous = quint8(packet.at(Packet_Offset_PreviousState));
    const quint8 next = quint8(packet.at(Packet_Offset_NewState));
    // Only a change from or to idle (0) is a change of busy state.
    if (previous != 0 && next != 0)
        return;
    const bool busy = next != 0;
    const auto callback = d->hubBusyCallback.load();
    if (callback.function)
        callback.function(this, busy, callback.context);
    else
        Q_EMIT hubBusy(this, busy);
}

void TwoPointFourGHzHub::processBatteryLow(const QByteArray &packet)
{
    const BatteryLowResponse report(packet);
    const auto callback = d->batteryLowCallback.load();
    if (callback.function)
        callback.function(this, report.uid(), callback.context);
    else
        Q_EMIT batteryLow(this, report.uid());
}

void TwoPointFourGHzHub::processSessionPacket(SessionState state, const QByteArray &packet)
{
    switch (state) {
    case Session_Multichoice:
    case Session_SortInOrder:
    case Session_YesNo:
    case Session_TrueFalse:
    case Session_Likert:
    case Session_Message:
    case Session_Numeric:
    case Session_Text:
        processQuestionAnswerPacket(packet);
        break;
    case Session_ExpressionRegistration:
    case Session_VoteRegistration:
    case Session_SlateRegistration:
        processRegistrationReport(state, packet);
        break;
    case Session_ExpressionNaming:
    case Session_OrvexvoteNaming:
    case Session_SlateNaming:
        processNamingReport(state, packet);
        break;
    case Session_Async:
        processAsyncTransportPacket(packet);
        break;
    case Session_ExpressionEndUserNaming:
        processEndUserNamingReport(packet);
        break;
    case Session_EnhancedGeneric:
        processEnhancedGenericPacket(packet);
        break;
    case Session_None:
    case Session_Voting:
    case Session_RemoveDevice:
    case Session_VoteTest:
    case Session_SlatePINRegistration:
    case Session_PinNaming:
        // Votes and PIN naming are served by the common classification;
        // nothing else of these sessions arrives as a packet.
        break;
    }
}

// Message transport: its packets are handed to the event thread (event
// type 1), which puts messages together away from the packet thread.
void TwoPointFourGHzHub::processAsyncTransportPacket(const QByteArray &packet)
{
    if (!AsyncResponse::isAsyncPacket(packet) || !orvexSystem())
        return;
    orvexSystem()->asPostEvent(OrvexSystem::AsEvent{OrvexSystem::Event_AsyncPacket, packet, this});
}

// Generic session of the virtual hub: device messages go to the event
// thread (event type 2).
void TwoPointFourGHzHub::processEnhancedGenericPacket(const QByteArray &packet)
{
    if (!VirtualGenericAsyncResponse::isGenericAsyncPacket(packet) || !orvexSystem())
        return;
    orvexSystem()->asPostEvent(
        OrvexSystem::AsEvent{OrvexSystem::Event_GenericAsyncPacket, packet, this});
}

void TwoPointFourGHzHub::processGenericAsyncPacket(const QByteArray &) {}

} // namespace Orvexsystem
