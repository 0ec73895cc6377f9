// The 2.4 GHz hub's asynchronous message transport: the host's messages in
// numbered buffers that devices fetch fragment by fragment, and the devices'
// messages put together from their response packets. Packets reach it on the
// event thread (posted by the dispatcher); host threads open the transport
// and hand messages over.

#include <orvexsystem/enhancedquestionsession.h>
#include <orvexsystem/twopointfourghzhub.h>

#include "rfhub/twopointfourghzhub_p.h"
#include "sessions/asynccommands.h"
#include "sessions/asyncresponse.h"

namespace Orvexsystem {

bool TwoPointFourGHzHub::startAsyncSession(MessageDataCallback getCallback,
                                           MessageDataCallback receiveCallback, void *userData)
{
    if (!isConnected()) {
        recordError(Error_NotConnected);
        return false;
    }
    TwoPointFourGHzHubPrivate::SessionTurn turn(d.get());
    if (!turn.held())
        return false;
    if (sessionState() != Session_None) {
        recordError(Error_CannotStartSessionBecauseCurrentlyInSession);
        return false;
    }
    if (!hubPrivate()->mayExchange(this))
        return false;
    d->getMsgCallback.store(getCallback, userData);
    d->receiveMsgCallback.store(receiveCallback, userData);
    {
        std::lock_guard<std::mutex> lock(d->readyMutex);
        d->readyToReceive.clear();
    }
    // Nothing of an earlier session is served or put together in this one.
    d->requestBuffer.reset();
    d->reassembly.reset();
    // Open before the command leaves: devices ask for messages as soon as
    // the hub has opened the transport, which may be before its OK is in.
    setSessionState(Session_Async);
    OKResponse reply;
    if (!sendAndWait(AsyncCommands::start(), reply, responseWaitTime())) {
        setSessionState(Session_None);
        recordError(Error_CommsFailure);
        return false;
    }
    return true;
}

bool TwoPointFourGHzHub::asyncSendMsg(quint32 uid, const QByteArray &msg)
{
    if (sessionState() != Session_Async || !hubPrivate()->mayExchange(this))
        return false;
    // The device first: a message for nobody would hold a buffer for good.
    unsigned int address = 0;
    if (!getAddress(uid, address))
        return false;
    AsyncRequestBuffer::Refusal refusal = AsyncRequestBuffer::Refusal::None;
    const unsigned int index = d->requestBuffer.storeMessage(msg, &refusal);
    if (index == 0) {
        // No notice with index 0: no data request could be served for it.
        switch (refusal) {
        case AsyncRequestBuffer::Refusal::TooLong:
            recordError(Error_StringTooLong);
            break;
        case AsyncRequestBuffer::Refusal::Full:
            recordError(Error_Busy);
            break;
        default:
            recordError(Error_Failed);
            break;
        }
        return false;
    }
    OKResponse reply;
    if (!sendAndWait(AsyncCommands::messageWaiting(quint16(address), quint8(index)), reply,
                     responseWaitTime())) {
        recordError(Error_CommsFailure);
        return false;
    }
    return true;
}

bool TwoPointFourGHzHub::asyncIsReadyToReceive(quint32 uid)
{
    std::lock_guard<std::mutex> lock(d->readyMutex);
    return d->readyToReceive.contains(uid);
}

bool TwoPointFourGHzHub::sendGenericAsyncMessage(quint32, const QByteArray &)
{
    return true;
}

EnhancedQuestionSession *TwoPointFourGHzHub::enhancedQuestionSession()
{
    if (EnhancedQuestionSession *session = d->enhanced.load())
        return session;
    std::lock_guard<std::mutex> lock(d->enhancedMutex);
    EnhancedQuestionSession *session = d->enhanced.load();
    if (!session) {
        session = new EnhancedQuestionSession(this);
        // The hub's thread, whichever thread asked first.
        session->moveToThread(thread());
        d->enhanced.store(session);
    }
    return session;
}

void TwoPointFourGHzHubPrivate::destroyEnhancedSession()
{
    std::lock_guard<std::mutex> lock(enhancedMutex);
    delete enhanced.exchange(nullptr);
}

// ---------------------------------------------------------------------------
// Packets (event thread)

void TwoPointFourGHzHub::processAsyncPacket(const QByteArray &packet)
{
    // A packet whose turn comes after the session ended belongs to no one.
    if (sessionState() != Session_Async)
        return;
    const AsyncResponse response(packet);
    switch (response.kind()) {
    case AsyncResponse::Kind_GetMessageRequest:
        processAsyncGetMessageRequest(quint32(response.address()), response.deviceData());
        break;
    case AsyncResponse::Kind_DataRequest:
        processAsyncDataRequest(response.index());
        break;
    case AsyncResponse::Kind_BufferRelease:
        asyncBufferRelease(response.index());
        break;
    case AsyncResponse::Kind_FirstResponse:
    case AsyncResponse::Kind_NextResponse:
        d->addResponsePacket(response, response.kind() == AsyncResponse::Kind_FirstResponse);
        break;
    case AsyncResponse::Kind_None:
        break;
    }
}

void TwoPointFourGHzHub::processAsyncGetMessageRequest(quint32 uid, QByteArray deviceData)
{
    // The argument is the radio address.
    const quint32 device = getDeviceId(uid);
    if (device == 0)
        return;
    d->deliverGetMessageRequest(device, deviceData);
}

void TwoPointFourGHzHub::processAsyncDataRequest(quint8 index)
{
    int fragment = 0;
    int count = 0;
    const QByteArray piece = d->requestBuffer.nextFragment(index, &fragment, &count);
    // A refused send records Error_CommsFailure; the device asks again.
    send(AsyncCommands::dataFragment(index, quint8(fragment + 1), quint8(count), piece));
}

void TwoPointFourGHzHub::asyncBufferRelease(unsigned char index)
{
    d->requestBuffer.releaseIndex(index);
}

void TwoPointFourGHzHub::processAsyncResponse(QByteArray packet, bool bFirstResponsePacket)
{
    const AsyncResponse response(packet);
    if (response.kind() == AsyncResponse::Kind_FirstResponse
        || response.kind() == AsyncResponse::Kind_NextResponse)
        d->addResponsePacket(response, bFirstResponsePacket);
}

void TwoPointFourGHzHubPrivate::addResponsePacket(const AsyncResponse &response, bool first)
{
    // The message bytes where they lie in the packet: no copy.
    const QByteArray packet = response.packet();
    const QByteArray bytes = QByteArray::fromRawData(
        packet.constData() + AsyncResponse::Offset_MessageData,
        int(packet.size()) - AsyncResponse::Offset_MessageData);
    MessageReassembly::Completed completed;
    if (!reassembly.addPacket(quint16(response.address()), first, response.sequenceByte(), bytes,
                              &completed))
        return;
    // A device the hub does not know is reported with uid 0.
    deliverMessage(q->getDeviceId(completed.address), completed.message);
}

void TwoPointFourGHzHubPrivate::markReadyToReceive(quint32 uid)
{
    std::lock_guard<std::mutex> lock(readyMutex);
    readyToReceive.insert(uid);
}

void TwoPointFourGHzHubPrivate::deliverGetMessageRequest(quint32 uid, const QByteArray &deviceData)
{
    DeliveryGate::Scope scope(deliveries);
    if (!HubPrivate::get(q)->inAsyncSession())
        return;
    // Ready before the host hears of it, so that the report finds it so.
    markReadyToReceive(uid);
    const auto callback = getMsgCallback.load();
    if (callback.function)
        callback.function(q, uid, deviceData, callback.context);
    else
        Q_EMIT q->asyncGetMsg(q, uid, deviceData);
}

void TwoPointFourGHzHubPrivate::deliverMessage(quint32 uid, const QByteArray &message)
{
    DeliveryGate::Scope scope(deliveries);
    if (!HubPrivate::get(q)->inAsyncSession())
        return;
    const auto callback = receiveMsgCallback.load();
    if (callback.function)
        callback.function(q, uid, message, callback.context);
    else
        Q_EMIT q->asyncReceiveMsg(q, uid, message);
}

} // namespace Orvexsystem
