// The 2.4 GHz hub's registry of devices: the four device lists, the address
// map, removal of one device and clearing of whole classes.

#include <orvexsystem/twopointfourghzhub.h>

#include <orvexsystem/system.h>

#include "hub/virtualvotefile.h"
#include "rfhub/twopointfourghzhub_p.h"

namespace Orvexsystem {

namespace {

// No hub has more devices than radio addresses; a list longer than that is
// a hub that does not stop talking.
const int MaximumListRecords = 65536;

// A product id as two lower-case hexadecimal digits: 06, 0d.
QByteArray twoDigitHex(int value)
{
    return QByteArray::number(value & 0xFF, 16).rightJustified(2, '0');
}

} // namespace

// ---------------------------------------------------------------------------
// List replies

template <class T>
bool TwoPointFourGHzHubPrivate::sendAndCollect(const QByteArray &command, QList<T> *records)
{
    if (!HubPrivate::get(q)->mayExchange(q))
        return false;
    std::lock_guard<std::mutex> turn(exchangeMutex());
    return sendAndCollectLocked(command, records);
}

template <class T>
bool TwoPointFourGHzHubPrivate::sendAndCollectLocked(const QByteArray &command, QList<T> *records)
{
    HubPrivate *hub = HubPrivate::get(q);
    IResponseHandler *handler = q->responseHandler<T>();
    if (!handler || !hub->mayExchange(q))
        return false;
    hub->currentHandler.store(handler);
    q->reset(handler);
    if (!q->send(command))
        return false;
    const QByteArray terminator = T::listTerminator();
    QList<T> collected;
    for (;;) {
        QByteArray packet;
        if (!q->getNextPacket(handler, &packet, q->responseWaitTime()))
            break;
        if (packet == terminator) {
            hub->currentHandler.store(nullptr);
            if (records)
                *records = collected;
            return true;
        }
        // The handler queues only records that pass T's test.
        collected.append(T(packet));
        if (collected.size() > MaximumListRecords)
            break;
    }
    // Cut short (no end of list within the wait) or endless: no partial list.
    hub->currentHandler.store(nullptr);
    q->recordError(Hub::Error_CommsFailure);
    return false;
}

QByteArray TwoPointFourGHzHubPrivate::listCommand(ListKind kind)
{
    return QByteArray(":GR")
        + twoDigitHex(TwoPointFourGHzHub::productIdOf(DeviceRegistry::deviceTypeOf(kind))) + '\r';
}

bool TwoPointFourGHzHubPrivate::collectDevices(ListKind kind, QList<Device *> &devices)
{
    const QByteArray command = listCommand(kind);
    switch (kind) {
    case DeviceRegistry::VoteList: {
        QList<RegisteredVoteResponse> records;
        if (!sendAndCollectLocked(command, &records))
            return false;
        for (const RegisteredVoteResponse &r : records)
            devices.append(adoptDevice(
                new TwoPointFourGHzOrvexvote(q, r.uid(), r.address(), r.name(), r.hexId())));
        readVirtualVoteList(devices);
        return true;
    }
    case DeviceRegistry::ExpressionList:
    case DeviceRegistry::PenExpressionList: {
        // Both queries answer with expression records; the device class
        // follows the list being read.
        QList<RegisteredExpressionResponse> records;
        if (!sendAndCollectLocked(command, &records))
            return false;
        for (const RegisteredExpressionResponse &r : records) {
            if (kind == DeviceRegistry::ExpressionList)
                devices.append(adoptDevice(new TwoPointFourGHzOrvexexpression(
                    q, r.uid(), r.address(), r.name(), r.hexId())));
            else
                devices.append(adoptDevice(
                    new PenExpression(q, r.uid(), r.address(), r.name(), r.hexId())));
        }
        return true;
    }
    case DeviceRegistry::SlateList: {
        QList<RegisteredSlateResponse> records;
        if (!sendAndCollectLocked(command, &records))
            return false;
        for (const RegisteredSlateResponse &r : records)
            devices.append(adoptDevice(
                new TwoPointFourGHzOrvexSlate(q, r.uid(), r.address(), r.name(), r.hexId())));
        return true;
    }
    case DeviceRegistry::ListCount:
        break;
    }
    return false;
}

Device *TwoPointFourGHzHubPrivate::adoptDevice(Device *device)
{
    // Devices live in their hub's thread whichever thread read the list, so
    // that none keeps a short-lived reader thread's Qt data alive.
    device->moveToThread(q->thread());
    return device;
}

void TwoPointFourGHzHubPrivate::readVirtualVoteList(QList<Device *> &devices)
{
    // A missing or unreadable file gives no lines and no virtual handsets.
    QStringList lines;
    q->readVirtualVoteFile(lines);
    for (const QString &line : lines) {
        quint32 uid = 0;
        quint16 address = 0;
        QString name;
        QByteArray hexId;
        if (!VirtualVoteFile::parseLine(line, uid, address, name, hexId))
            continue;
        devices.append(adoptDevice(new TwoPointFourGHzOrvexvote(q, uid, address, name, hexId)));
    }
}

bool TwoPointFourGHzHubPrivate::readList(ListKind kind)
{
    if (!HubPrivate::get(q)->mayExchange(q))
        return false;
    std::lock_guard<std::mutex> turn(exchangeMutex());
    return readListLocked(kind);
}

bool TwoPointFourGHzHubPrivate::readListLocked(ListKind kind)
{
    // The exchange and the new devices are made without the registry lock;
    // the held list is replaced in one step.
    const quint64 epoch = registry.epoch(kind);
    QList<Device *> fresh;
    const bool read = collectDevices(kind, fresh);
    if (registry.replace(kind, read, fresh, epoch))
        return true;
    q->recordError(Hub::Error_CommsFailure);
    return false;
}

bool TwoPointFourGHzHubPrivate::updateList(ListKind kind)
{
    if (!HubPrivate::get(q)->mayExchange(q))
        return false;
    std::lock_guard<std::mutex> turn(exchangeMutex());
    return !registry.takeOutOfDate(kind) || readListLocked(kind);
}

void TwoPointFourGHzHubPrivate::rereadLocked(ListKind kind)
{
    registry.setOutOfDate(kind, false);
    readListLocked(kind);
}

// ---------------------------------------------------------------------------
// Lists and counts

bool TwoPointFourGHzHub::getDeviceList(Device::Type type, QList<Device *> *list)
{
    if (!isConnected()) {
        recordError(Error_NotConnected);
        return false;
    }
    DeviceRegistry::ListKind kind;
    if (!DeviceRegistry::listKindOf(type, kind)) {
        if (list)
            list->clear();
        return true;
    }
    if (!d->updateList(kind))
        return false;
    if (list)
        *list = d->registry.devices(kind);
    return true;
}

bool TwoPointFourGHzHub::getCompleteDeviceList(QList<Device *> *list)
{
    if (!isConnected()) {
        recordError(Error_NotConnected);
        return false;
    }
    QList<Device *> parts[4];
    const Device::Type order[4] = {
        Device::Type_TwoPointFourGHzOrvexvote, Device::Type_TwoPointFourGHzOrvexexpression,
        Device::Type_TwoPointFourGHzOrvexSlate, Device::Type_PenExpression};
    for (int i = 0; i < 4; ++i) {
        if (!getDeviceList(order[i], &parts[i]))
            return false;
    }
    if (list) {
        list->clear();
        for (const QList<Device *> &part : parts)
            list->append(part);
    }
    return true;
}

bool TwoPointFourGHzHub::getDeviceCount(Device::Type type, int *count)
{
    if (!isConnected()) {
        recordError(Error_NotConnected);
        return false;
    }
    const QByteArray command = QByteArray(":GD") + twoDigitHex(productIdOf(type)) + '\r';
    DeviceCountResponse reply;
    if (!sendAndWait(command, reply, responseWaitTime())) {
        recordError(Error_CommsFailure);
        return false;
    }
    if (count)
        *count = reply.count();
    return true;
}

int TwoPointFourGHzHub::orvexvoteCount()
{
    int count = 0;
    return getDeviceCount(Device::Type_TwoPointFourGHzOrvexvote, &count) ? count : 0;
}

int TwoPointFourGHzHub::orvexexpressionCount()
{
    int count = 0;
    return getDeviceCount(Device::Type_TwoPointFourGHzOrvexexpression, &count) ? count : 0;
}

int TwoPointFourGHzHub::orvexSlateCount()
{
    int count = 0;
    return getDeviceCount(Device::Type_TwoPointFourGHzOrvexSlate, &count) ? count : 0;
}

int TwoPointFourGHzHub::orvexBoardCount()
{
    int count = 0;
    return getDeviceCount(Device::Type_TwoPointFourGHzOrvexboard, &count) ? count : 0;
}

int TwoPointFourGHzHub::penExpressionCount()
{
    int count = 0;
    return getDeviceCount(Device::Type_PenExpression, &count) ? count : 0;
}

bool TwoPointFourGHzHub::readOrvexvoteList(QList<Device *> *list) const
{
    d->registry.appendDevices(DeviceRegistry::VoteList, list);
    return true;
}

bool TwoPointFourGHzHub::readOrvexexpressionList(QList<Device *> *list) const
{
    d->registry.appendDevices(DeviceRegistry::ExpressionList, list);
    return true;
}

bool TwoPointFourGHzHub::readOrvexSlateList(QList<Device *> *list) const
{
    d->registry.appendDevices(DeviceRegistry::SlateList, list);
    return true;
}

bool TwoPointFourGHzHub::readPenExpressionList(QList<Device *> *list) const
{
    d->registry.appendDevices(DeviceRegistry::PenExpressionList, list);
    return true;
}

bool TwoPointFourGHzHub::readDeviceDisplayInfoList(Device::Type type,
                                                   QList<DeviceDisplayInfo> *list) const
{
    if (!list)
        return true;
    list->clear();
    DeviceRegistry::ListKind kind;
    if (DeviceRegistry::listKindOf(type, kind))
        *list = d->registry.displayInfo(kind);
    return true;
}

void TwoPointFourGHzHub::readRegisteredDevicesLists()
{
    // The driver lock first, then the exchange turn: a host may hold the
    // driver lock around its own hub calls (that is what the lock is offered
    // for), and those calls take the exchange turn inside it. Taking them in
    // the other order here could leave each thread waiting for the other.
    // On the event thread the wait for the driver lock ends when the system
    // stops; the exchanges then fail at once.
    if (!HubPrivate::get(this)->mayExchange(this))
        return;
    lockDriver();
    {
        std::lock_guard<std::mutex> turn(d->exchangeMutex());
        for (int kind = 0; kind < DeviceRegistry::ListCount; ++kind)
            d->readListLocked(DeviceRegistry::ListKind(kind));
    }
    unlockDriver();
}

bool TwoPointFourGHzHubPrivate::readPenCount()
{
    penCount.store(0);
    if (!q->isConnected()) {
        q->recordError(Hub::Error_NotConnected);
        return false;
    }
    QList<RegisteredBoardResponse> boards;
    if (!sendAndCollect(QByteArray(":GR08\r"), &boards))
        return false;
    if (!boards.isEmpty())
        penCount.store(2);
    return true;
}

// ---------------------------------------------------------------------------
// Removal

bool TwoPointFourGHzHubPrivate::removeDevice(ListKind kind, unsigned int uid)
{
    SessionTurn sessionTurn(this);
    if (!sessionTurn.held())
        return false;
    QByteArray hexId;
    unsigned short address = 0;
    if (!registry.findDevice(kind, uid, &hexId, &address))
        return false;
    if (q->sessionState() != TwoPointFourGHzHub::Session_None) {
        q->recordError(Hub::Error_CannotStartSessionBecauseCurrentlyInSession);
        return false;
    }
    const TwoPointFourGHzHub::State hubState = q->state();
    if (hubState != TwoPointFourGHzHub::State_Idle) {
        if (hubState == TwoPointFourGHzHub::State_Busy)
            q->recordError(Hub::Error_Busy);
        return false;
    }
    if (!q->send(QByteArray(":RD") + hexId + '\r'))
        return false;
    q->setSessionState(TwoPointFourGHzHub::Session_RemoveDevice);
    registry.dropAddress(address, uid);
    return true;
}

bool TwoPointFourGHzHub::removeOrvexvote(unsigned int uid)
{
    return d->removeDevice(DeviceRegistry::VoteList, uid);
}

bool TwoPointFourGHzHub::removeOrvexexpression(unsigned int uid)
{
    return d->removeDevice(DeviceRegistry::ExpressionList, uid);
}

bool TwoPointFourGHzHub::removeOrvexslate(unsigned int uid)
{
    return d->removeDevice(DeviceRegistry::SlateList, uid);
}

bool TwoPointFourGHzHub::removePenExpression(unsigned int uid)
{
    return d->removeDevice(DeviceRegistry::PenExpressionList, uid);
}

bool TwoPointFourGHzHubPrivate::stopRemoveDeviceSession(std::initializer_list<ListKind> reread)
{
    SessionTurn sessionTurn(this);
    if (!sessionTurn.held())
        return false;
    const TwoPointFourGHzHub::SessionState current = q->sessionState();
    if (current == TwoPointFourGHzHub::Session_None)
        return true;
    if (current != TwoPointFourGHzHub::Session_RemoveDevice)
        return false;
    bool ok = false;
    if (!q->isConnected()) {
        q->recordError(Hub::Error_NotConnected);
    } else if (HubPrivate::get(q)->mayExchange(q)) {
        std::lock_guard<std::mutex> turn(exchangeMutex());
        OKResponse reply;
        ok = q->sendAndWaitLocked(q->responseHandler<OKResponse>(), QByteArray(":VE\r"), reply,
                                  Hub::m_nFlashWriteResponseMaximumWaitTime);
        if (ok) {
            for (ListKind kind : reread)
                rereadLocked(kind);
        } else {
            q->recordError(Hub::Error_CommsFailure);
        }
    }
    q->setSessionState(TwoPointFourGHzHub::Session_None);
    return ok;
}

bool TwoPointFourGHzHub::stopRemoveVoteDeviceSession()
{
    return d->stopRemoveDeviceSession({DeviceRegistry::VoteList});
}

bool TwoPointFourGHzHub::stopRemoveExpressionDeviceSession()
{
    return d->stopRemoveDeviceSession(
        {DeviceRegistry::ExpressionList, DeviceRegistry::PenExpressionList});
}

bool TwoPointFourGHzHub::stopRemoveSlateDeviceSession()
{
    return d->stopRemoveDeviceSession({DeviceRegistry::SlateList});
}

// ---------------------------------------------------------------------------
// Clearing

bool TwoPointFourGHzHubPrivate::clearRegistrations(const char *command,
                                                   std::initializer_list<ListKind> reread,
                                                   OKResponse *reply)
{
    if (!q->isConnected()) {
        q->recordError(Hub::Error_NotConnected);
        return false;
    }
    if (!HubPrivate::get(q)->mayExchange(q))
        return false;
    std::lock_guard<std::mutex> turn(exchangeMutex());
    // The hub resets while it clears its store: that reset is part of the
    // clear, not news for the host. Raised only now that the clear holds the
    // hub's exchange, so that a reset during another caller's exchange is
    // not ignored; a counter, so that overlapping clears keep it up until
    // the last one ends.
    clearsInProgress.fetch_add(1);
    OKResponse ok;
    const bool cleared = q->sendAndWaitLocked(q->responseHandler<OKResponse>(), QByteArray(command),
                                              ok, Hub::m_nFlashWriteResponseMaximumWaitTime);
    if (cleared) {
        if (reply)
            *reply = ok;
        for (ListKind kind : reread)
            rereadLocked(kind);
    } else {
        q->recordError(Hub::Error_CommsFailure);
    }
    clearsInProgress.fetch_sub(1);
    return cleared;
}

bool TwoPointFourGHzHub::clearHub(OKResponse *reply)
{
    return d->clearRegistrations(":CS99\r",
                                 {DeviceRegistry::ExpressionList, DeviceRegistry::VoteList,
                                  DeviceRegistry::SlateList, DeviceRegistry::PenExpressionList},
                                 reply);
}

bool TwoPointFourGHzHub::clearHubOfVotes(OKResponse *reply)
{
    return d->clearRegistrations(":CS06\r", {DeviceRegistry::VoteList}, reply);
}

bool TwoPointFourGHzHub::clearHubOfSlates(OKResponse *reply)
{
    return d->clearRegistrations(":CS07\r", {DeviceRegistry::SlateList}, reply);
}

bool TwoPointFourGHzHub::clearHubOfBoards(OKResponse *reply)
{
    return d->clearRegistrations(":CS08\r", {}, reply);
}

bool TwoPointFourGHzHub::clearHubOfExpressions(OKResponse *reply)
{
    return d->clearRegistrations(":CS09\r", {DeviceRegistry::ExpressionList}, reply);
}

bool TwoPointFourGHzHub::clearHubOfPenExpressions(OKResponse *reply)
{
    return d->clearRegistrations(":CS0D\r", {DeviceRegistry::PenExpressionList}, reply);
}

} // namespace Orvexsystem
