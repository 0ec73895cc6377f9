// The virtual 2.4 GHz hub: its name, the generic session's commands and
// packets, and the registration PINs and notices of its response server.

#include <orvexsystem/virtualtwopointfourghzhub.h>

#include <orvexsystem/system.h>

#include "hub/hub_p.h"
#include "rfhub/twopointfourghzhub_p.h"
#include "system/threadcontext.h"
#include "virtual/virtualtwopointfourghzhub_p.h"

#include <QtCore/QCoreApplication>

namespace Orvexsystem {

namespace {

const char cmdReadName[] = ":GL\r";
const char cmdGenericStart[] = ":AE001\r";
const char cmdGenericMessage[] = ":AE002\r";

bool isPinText(const QString &text)
{
    if (text.size() != 3)
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('A') || c > QLatin1Char('F'))
            return false;
    return true;
}

} // namespace

QByteArray VirtualTwoPointFourGHzHubPrivate::genericStartCommand()
{
    return QByteArray(cmdGenericStart);
}

QByteArray VirtualTwoPointFourGHzHubPrivate::genericMessageCommand(quint16 address,
                                                                  const QByteArray &message)
{
    const quint32 length = quint32(message.size());
    QByteArray command(cmdGenericMessage);
    command.reserve(command.size() + 5 + message.size());
    command.append(char(address >> 8));
    command.append(char(address & 0xFF));
    command.append(char((length >> 16) & 0xFF));
    command.append(char((length >> 8) & 0xFF));
    command.append(char(length & 0xFF));
    command.append(message);
    return command;
}

VirtualTwoPointFourGHzHub::VirtualTwoPointFourGHzHub(OrvexSystem *system, int handle,
                                                     quint64 uid, bool connected, int version,
                                                     QString description)
    : TwoPointFourGHzHub(system, handle, uid, connected, version),
      v(new VirtualTwoPointFourGHzHubPrivate)
{
    // Replies travel through the network.
    setResponseWaitTime(ResponseWaitMs);
    v->description = std::move(description);
    v->parts = VirtualHubDescription::parse(v->description);
    addResponseHandler<EnhancedNameResponse>();
}

VirtualTwoPointFourGHzHub::~VirtualTwoPointFourGHzHub() = default;

QString VirtualTwoPointFourGHzHub::description() const
{
    return v->description;
}

QString VirtualTwoPointFourGHzHub::name()
{
    static const QString fallback = tr("???", "The 'name' returned when the hub name cannot be read");
    if (!isConnected()) {
        recordError(Error_NotConnected);
        return fallback;
    }
    if (!hubPrivate()->mayExchange(this))
        return fallback;
    EnhancedNameResponse reply;
    if (!sendAndWait(QByteArray(cmdReadName), reply, m_nResponseMaxWaitTIme)) {
        recordError(Error_CommsFailure);
        return fallback;
    }
    return reply.name;
}

// ---------------------------------------------------------------------------
// Generic session

void VirtualTwoPointFourGHzHub::processPacket(const QByteArray &packet)
{
    // Device messages go to the event thread whole; everything else takes
    // the 2.4 GHz path.
    if (hubPrivate()->inGenericSession()
        && VirtualGenericAsyncResponse::isGenericAsyncPacket(packet)) {
        if (OrvexSystem *system = orvexSystem())
            system->asPostEvent(
                OrvexSystem::AsEvent{OrvexSystem::Event_GenericAsyncPacket, packet, this});
        return;
    }
    TwoPointFourGHzHub::processPacket(packet);
}

bool VirtualTwoPointFourGHzHub::startEnhancedGenericSession(MessageDataCallback callback,
                                                            void *userData)
{
    if (!isConnected()) {
        recordError(Error_NotConnected);
        return false;
    }
    TwoPointFourGHzHubPrivate *rf = TwoPointFourGHzHubPrivate::get(this);
    TwoPointFourGHzHubPrivate::SessionTurn turn(rf);
    if (!turn.held())
        return false;
    // Another kind of session would lose its state (and its stop) to this
    // one; a generic session is simply opened again.
    const SessionState current = sessionState();
    if (current != Session_None && current != Session_EnhancedGeneric) {
        recordError(Error_CannotStartSessionBecauseCurrentlyInSession);
        return false;
    }
    if (!hubPrivate()->mayExchange(this))
        return false;
    rf->receiveMsgCallback.store(callback, userData);
    // Open before the command leaves: a device may answer as soon as the
    // hub has opened the session, before its OK is in.
    setSessionState(Session_EnhancedGeneric);
    OKResponse reply;
    if (!sendAndWait(VirtualTwoPointFourGHzHubPrivate::genericStartCommand(), reply,
                     responseWaitTime())) {
        setSessionState(current);
        recordError(Error_CommsFailure);
        return false;
    }
    return true;
}

bool VirtualTwoPointFourGHzHub::sendGenericAsyncMessage(quint32 uid, const QByteArray &msg)
{
    if (msg.size() > MaximumGenericMessageLength) {
        recordError(Error_StringTooLong);
        return false;
    }
    // Nobody to send to is a failure, not a success.
    unsigned int address = 0;
    if (!getAddress(uid, address))
        return false;
    if (!hubPrivate()->mayExchange(this))
        return false;
    OKResponse reply;
    if (!sendAndWait(VirtualTwoPointFourGHzHubPrivate::genericMessageCommand(quint16(address), msg),
                     reply, responseWaitTime())) {
        recordError(Error_CommsFailure);
        return false;
    }
    return true;
}

void VirtualTwoPointFourGHzHub::processGenericAsyncPacket(const QByteArray &packet)
{
    TwoPointFourGHzHubPrivate *rf = TwoPointFourGHzHubPrivate::get(this);
    // Inside the gate: once a stop has ended the session and waited for the
    // gate, no message of it reaches the host.
    DeliveryGate::Scope scope(rf->deliveries);
    if (!hubPrivate()->inGenericSession() || !isConnected())
        return;
    const VirtualGenericAsyncResponse response(packet);
    if (!response.isValidResponse() || response.isGeneric() != 1)
        return;
    const unsigned int uid = response.address() != 0 ? getDeviceId(response.address()) : 0;
    const auto callback = rf->receiveMsgCallback.load();
    if (callback.function)
        callback.function(this, uid, response.message(), callback.context);
    else
        Q_EMIT asyncReceiveMsg(this, uid, response.message());
}

// ---------------------------------------------------------------------------
// Response server

bool VirtualTwoPointFourGHzHub::asIsHalvernServerAvailable()
{
    return v->link.isConnected() || v->link.connectToServer(QString(), 0);
}

QString VirtualTwoPointFourGHzHub::asGetHubDetails()
{
    return v->parts.details(name());
}

bool VirtualTwoPointFourGHzHub::asGetRegistrationPin(RegistrationCode &code)
{
    // The network is never waited for on the driver's thread, nor once the
    // system is shutting down.
    if (!hubPrivate()->mayExchange(this))
        return false;
    if (!asIsHalvernServerAvailable())
        return false;
    const QString details = asGetHubDetails();
    QString reply;
    if (!v->link.requestPin(reply, details))
        return false;
    if (!isPinText(reply)) {
        // Three bytes, but no PIN a handset can key.
        recordError(Error_CommsFailure);
        return false;
    }
    code = RegistrationCode(reply);
    return true;
}

void VirtualTwoPointFourGHzHub::asEndExpressionRegSession()
{
    if (hubPrivate()->isAborted())
        return;
    // The driver's thread hands the notice to the link's thread; the text
    // (the hub's details) is not sent, so no name is read for it there.
    if (ThreadContext::inDriverCallback()) {
        v->link.postEndRegistration();
        return;
    }
    v->link.endRegistration(asGetHubDetails());
}

} // namespace Orvexsystem
