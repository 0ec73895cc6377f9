// Hub: pens, touch, touch status and the driver-kept pen and touch settings.

#include <orvexsystem/hub.h>
#include <orvexsystem/system.h>

#include "hub/hub_p.h"
#include "hub/touchstatusresponse.h"

namespace Orvexsystem {

namespace {

const int MaximumTouchesToOS = 36; // 36 * 7 + 2 = 254: the most one length byte holds

inline quint8 byteAt(const QByteArray &packet, int offset)
{
    return quint8(packet.at(offset));
}

inline int word16At(const QByteArray &packet, int offset)
{
    return byteAt(packet, offset) | (byteAt(packet, offset + 1) << 8);
}

// '1', '2' or '3' for pens 1 to 3; '1' for any other id.
char penCharacter(quint8 penId)
{
    return penId >= 1 && penId <= Hub::MaximumPens ? char('0' + penId) : '1';
}

} // namespace

void Hub::createPenStates()
{
    for (quint8 id = 1; id <= MaximumPens; ++id) {
        auto state = std::make_unique<PenState>(id, PenType_Normal, PenHardwareMode_1);
        setPenHardwareMode(id, PenHardwareMode_1);
        setPenReportMode(id, PenReportMode_0);
        setPenType(id, PenType_Normal);
        d->penStates[id] = std::move(state);
    }
}

void Hub::findPenEvent(bool tip, quint8 penId, bool barrel, bool, PenEvent &event)
{
    PenState *state = penId <= MaximumPens ? d->penStates[penId].get() : nullptr;
    if (!state)
        return;
    if (tip != state->tip)
        event = tip ? PenEvent_TipDown : PenEvent_TipUp;
    // A barrel change outranks a tip change in the same report.
    if (barrel != state->barrel)
        event = barrel ? PenEvent_BarrelDown : PenEvent_BarrelUp;
    if (tip == state->tip && barrel == state->barrel)
        event = PenEvent_Move;
    state->tip = tip;
    state->barrel = barrel;
}

void Hub::getTouchData(const QByteArray &packet, QList<TouchInfo> &touches)
{
    if (packet.size() < TouchPacket_Header_Length)
        return;
    // Trailing bytes that do not fill a whole touch are ignored.
    const int count = (packet.size() - TouchPacket_Header_Length) / Touch_Length;
    touches.reserve(touches.size() + count);
    for (int k = 0; k < count; ++k) {
        const int base = TouchPacket_Header_Length + k * Touch_Length;
        const quint8 id = byteAt(packet, base + Touch_Id_Offset);
        TouchInfo touch;
        touch.nTouchId = id & Touch_Id_Data_Mask;
        touch.bStatus = (id & Touch_Status_Data_Mask) != 0;
        touch.nX = word16At(packet, base + Touch_X_Offset);
        touch.nY = word16At(packet, base + Touch_Y_Offset);
        touch.nRadius = word16At(packet, base + Touch_Radius_Offset);
        touches.append(touch);
    }
}

bool Hub::getTouchStatus(quint8 *status, quint8 *touchCount)
{
    if (!isConnected()) {
        recordError(Error_NotConnected);
        return false;
    }
    TouchStatusResponse reply;
    IResponseHandler *handler = responseHandler<TouchStatusResponse>();
    // A query that may not start here keeps the reason it recorded.
    if (!handler || !d->mayExchange(this))
        return false;
    bool ok;
    {
        // The flag is raised only for the length of this hub's exchange, so
        // an unsolicited status report is held back only while the query's
        // own reply is awaited.
        std::lock_guard<std::mutex> turn(d->exchangeMutex);
        d->awaitingTouchStatus.store(true);
        ok = sendAndWaitLocked(handler, QByteArray(":QT") + chEndOfString, reply,
                               responseWaitTime());
        d->awaitingTouchStatus.store(false);
    }
    if (!ok) {
        recordError(Error_NotSupported);
        return false;
    }
    if (status)
        *status = reply.status();
    if (touchCount)
        *touchCount = reply.touchCount();
    return true;
}

bool Hub::isTouchRunning()
{
    quint8 status = 0;
    return getTouchStatus(&status, nullptr) && status == TouchStatusResponse::StatusRunning;
}

int Hub::getNumTouchesSupported()
{
    const int known = d->numTouchesSupported.load();
    if (known != -1)
        return known;
    quint8 count = 0;
    if (!getTouchStatus(nullptr, &count))
        return 0; // unknown still: the next call asks again
    d->numTouchesSupported.store(count);
    return count;
}

bool Hub::setPenType(quint8 penId, PenType type)
{
    const char typeChar = type == PenType_Alternate ? '1' : '0';
    return send(QByteArray(cmdPenType) + typeChar + penCharacter(penId) + chEndOfString);
}

bool Hub::setPenHardwareMode(quint8 penId, PenHardwareMode mode)
{
    char modeChar = '0';
    if (mode == PenHardwareMode_1)
        modeChar = '1';
    else if (mode == PenHardwareMode_2)
        modeChar = '2';
    return send(QByteArray(cmdPenHardwareMode) + penCharacter(penId) + modeChar + chEndOfString);
}

// The recorded type and mode are those of the pen state's creation: the
// commands above do not change them (pen states belong to the packet
// thread).
void Hub::getPenType(quint8 penId, PenType *type)
{
    const PenState *state = penId <= MaximumPens ? d->penStates[penId].get() : nullptr;
    if (state && type)
        *type = state->type;
}

void Hub::getPenHardwareMode(quint8 penId, PenHardwareMode *mode)
{
    const PenState *state = penId <= MaximumPens ? d->penStates[penId].get() : nullptr;
    if (state && mode)
        *mode = state->hardwareMode;
}

void Hub::setPenReportMode(quint8 penId, PenReportMode mode)
{
    unsigned char value = 0;
    if (mode == PenReportMode_1)
        value = 1;
    else if (mode == PenReportMode_2)
        value = 2;
    if (d->system)
        d->system->setPenReportMode(this, penId, false, value);
}

void Hub::getPenReportMode(quint8 penId, PenReportMode *mode)
{
    if (!d->system || !mode)
        return;
    unsigned char value = 0xFF;
    d->system->getPenReportMode(this, penId, &value);
    switch (value) {
    case 0:
        *mode = PenReportMode_0;
        break;
    case 1:
        *mode = PenReportMode_1;
        break;
    case 2:
        *mode = PenReportMode_2;
        break;
    default:
        break; // unchanged
    }
}

void Hub::setPenMode(PenMode mode)
{
    if (d->system)
        d->system->setPenMode(this, mode);
}

Hub::PenMode Hub::getPenMode()
{
    return d->system ? d->system->getPenMode(this) : PenMode(0);
}

void Hub::setTouchReportMode(TouchReportMode mode)
{
    if (d->system)
        d->system->setTouchReportMode(this, mode);
}

void Hub::getTouchReportMode(TouchReportMode *mode)
{
    if (!mode)
        return;
    unsigned char value = 0;
    if (d->system)
        d->system->getTouchReportMode(this, &value);
    *mode = value;
}

void Hub::setLATEDetection(bool on)
{
    if (d->system)
        d->system->setLATEDetection(this, on);
}

bool Hub::getLATEDetection()
{
    return d->system && d->system->getLATEDetection(this);
}

bool Hub::sendTouchInfoToOS(QList<TouchInfo> &touches, TouchInfoPacketType type)
{
    // The length byte cannot describe more than 36 touches: refused rather
    // than sent with a wrapped length.
    if (touches.size() > MaximumTouchesToOS) {
        recordError(Error_Failed);
        return false;
    }
    QByteArray data;
    data.reserve(TouchPacket_Header_Length + touches.size() * Touch_Length);
    data.append(char(touches.size() * Touch_Length + TouchPacket_Header_Length));
    data.append(char(type == TouchInfoPacketType_Pen ? PenPacket_Control : TouchPacket_Control));
    for (const TouchInfo &touch : touches) {
        // The id keeps to its 7 bits so that it cannot set the status bit.
        data.append(char((touch.nTouchId & Touch_Id_Data_Mask)
                         | (touch.bStatus ? Touch_Status_Data_Mask : 0)));
        for (int value : {touch.nX, touch.nY, touch.nRadius}) {
            data.append(char(value & 0xFF));
            data.append(char((value >> 8) & 0xFF));
        }
    }
    if (!d->system)
        return false;
    return d->system->sendTouchInfoToOS(this, reinterpret_cast<const unsigned char *>(data.constData()),
                                             static_cast<unsigned char>(data.size()));
}

} // namespace Orvexsystem
