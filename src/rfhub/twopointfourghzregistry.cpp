// The 2.4 GHz hub's registry of devices: the four device lists, the address
// map, removal of one device and clearing of whole classes.

#include <orvexsystem/twopointfourghzhub.h>

#include <orvexsystem/system.h>

#include "hub/hub_p.h"
#include "hub/virtualvotefile.h"

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
bool TwoPointFourGHzHub::sendAndCollect(const QByteArray &command, QList<T> *records)
{
    std::lock_guard<std::mutex> turn(exchangeMutex());
    return sendAndCollectLocked(command, records);
}

template <class T>
bool TwoPointFourGHzHub::sendAndCollectLocked(const QByteArray &command, QList<T> *records)
{
    IResponseHandler *handler = responseHandler<T>();
    if (!handler)
        return false;
    setCurrentResponseHandler(handler);
    reset(handler);
    if (!send(command))
        return false;
    const QByteArray terminator = T::listTerminator();
    QList<T> collected;
    for (;;) {
        QByteArray packet;
        if (!getNextPacket(handler, &packet, m_nResponseMaximumWaitTime.load()))
            break;
        if (packet == terminator) {
            setCurrentResponseHandler(nullptr);
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
    setCurrentResponseHandler(nullptr);
    recordError(Error_CommsFailure);
    return false;
}

QByteArray TwoPointFourGHzHub::listCommand(ListKind kind)
{
    static const Device::Type types[ListCount] = {
        Device::Type_TwoPointFourGHzOrvexvote, Device::Type_TwoPointFourGHzOrvexexpression,
        Device::Type_TwoPointFourGHzOrvexSlate, Device::Type_PenExpression};
    return QByteArray(":GR") + twoDigitHex(productIdOf(types[kind])) + '\r';
}

bool TwoPointFourGHzHub::listKindOf(Device::Type type, ListKind &kind)
{
    switch (type) {
    case Device::Type_TwoPointFourGHzOrvexvote: kind = VoteList; return true;
    case Device::Type_TwoPointFourGHzOrvexexpression: kind = ExpressionList; return true;
    case Device::Type_TwoPointFourGHzOrvexSlate: kind = SlateList; return true;
    case Device::Type_PenExpression: kind = PenExpressionList; return true;
    default: return false;
    }
}

bool TwoPointFourGHzHub::collectDevices(ListKind kind, QList<Device *> &devices)
{
    const QByteArray command = listCommand(kind);
    switch (kind) {
    case VoteList: {
        QList<RegisteredVoteResponse> records;
        if (!sendAndCollectLocked(command, &records))
            return false;
        for (const RegisteredVoteResponse &r : records)
            devices.append(adoptDevice(new TwoPointFourGHzOrvexvote(this, r.uid(), r.address(),
                                                                    r.name(), r.hexId())));
        readVirtualVoteList(devices);
        return true;
    }
    case ExpressionList:
    case PenExpressionList: {
        // Both queries answer with expression records; the device class
        // follows the list being read.
        QList<RegisteredExpressionResponse> records;
        if (!sendAndCollectLocked(command, &records))
            return false;
        for (const RegisteredExpressionResponse &r : records) {
            if (kind == ExpressionList)
                devices.append(adoptDevice(new TwoPointFourGHzOrvexexpression(
                    this, r.uid(), r.address(), r.name(), r.hexId())));
            else
                devices.append(adoptDevice(
                    new PenExpression(this, r.uid(), r.address(), r.name(), r.hexId())));
        }
        return true;
    }
    case SlateList: {
        QList<RegisteredSlateResponse> records;
        if (!sendAndCollectLocked(command, &records))
            return false;
        for (const RegisteredSlateResponse &r : records)
            devices.append(adoptDevice(new TwoPointFourGHzOrvexSlate(this, r.uid(), r.address(),
                                                                     r.name(), r.hexId())));
        return true;
    }
    case ListCount:
        break;
    }
    return false;
}

Device *TwoPointFourGHzHub::adoptDevice(Device *device)
{
    // Devices live in their hub's thread whichever thread read the list, so
    // that none keeps a short-lived reader thread's Qt data alive.
    device->moveToThread(thread());
    return device;
}

bool TwoPointFourGHzHub::readVirtualVoteList(QList<Device *> &devices)
{
    // A missing or unreadable file gives no lines and no virtual handsets.
    QStringList lines;
    readVirtualVoteFile(lines);
    for (const QString &line : lines) {
        quint32 uid = 0;
        quint16 address = 0;
        QString name;
        QByteArray hexId;
        if (!VirtualVoteFile::parseLine(line, uid, address, name, hexId))
            continue;
        devices.append(adoptDevice(new TwoPointFourGHzOrvexvote(this, uid, address, name, hexId)));
    }
    return true;
}

bool TwoPointFourGHzHub::readList(ListKind kind)
{
    std::lock_guard<std::mutex> turn(exchangeMutex());
    return readListLocked(kind);
}

bool TwoPointFourGHzHub::readListLocked(ListKind kind)
{
    quint64 epoch;
    {
        std::lock_guard<std::mutex> lock(m_registryMutex);
        epoch = m_lists[kind].epoch;
    }
    // The exchange and the new devices are made without the registry lock;
    // the held list is swapped in one step below.
    QList<Device *> fresh;
    bool ok = collectDevices(kind, fresh);

    QList<Device *> doomed;
    {
        std::lock_guard<std::mutex> lock(m_registryMutex);
        DeviceList &list = m_lists[kind];
        for (Device *device : std::as_const(list.devices))
            dropAddressLocked(device->address(), device->uid());
        doomed += list.devices;
        doomed += list.retired;
        list.devices.clear();
        list.retired.clear();
        if (ok && list.epoch != epoch) {
            // The hub was reset or disconnected while it answered: what it
            // sent no longer describes it. The list stays empty and out of
            // date.
            ok = false;
        }
        if (ok) {
            list.devices = fresh;
            for (Device *device : std::as_const(fresh))
                m_addressMap.insert(device->address(), device->uid());
        } else {
            doomed += fresh;
        }
    }
    // Nothing of the library reaches these devices any more: every internal
    // use of a device happens under the registry lock.
    qDeleteAll(doomed);
    if (!ok)
        recordError(Error_CommsFailure);
    return ok;
}

bool TwoPointFourGHzHub::updateList(ListKind kind)
{
    std::lock_guard<std::mutex> turn(exchangeMutex());
    bool outOfDate;
    {
        std::lock_guard<std::mutex> lock(m_registryMutex);
        outOfDate = m_lists[kind].outOfDate;
        // Cleared before the read, so that a change reported while it runs
        // marks the list out of date again.
        m_lists[kind].outOfDate = false;
    }
    return !outOfDate || readListLocked(kind);
}

void TwoPointFourGHzHub::retireListLocked(ListKind kind)
{
    DeviceList &list = m_lists[kind];
    for (Device *device : std::as_const(list.devices))
        dropAddressLocked(device->address(), device->uid());
    list.retired += list.devices;
    list.devices.clear();
    list.outOfDate = true;
    ++list.epoch;
}

void TwoPointFourGHzHub::markOutOfDate(ListKind kind)
{
    std::lock_guard<std::mutex> lock(m_registryMutex);
    m_lists[kind].outOfDate = true;
}

void TwoPointFourGHzHub::dropAddressLocked(unsigned short address, unsigned int uid)
{
    // Only the entry that names this device: another device heard at the
    // same address keeps its entry.
    auto it = m_addressMap.find(address);
    if (it != m_addressMap.end() && it.value() == uid)
        m_addressMap.erase(it);
}

void TwoPointFourGHzHub::appendHeldList(ListKind kind, QList<Device *> *list) const
{
    if (!list)
        return;
    std::lock_guard<std::mutex> lock(m_registryMutex);
    list->append(m_lists[kind].devices);
}

// ---------------------------------------------------------------------------
// Lists and counts

bool TwoPointFourGHzHub::getDeviceList(Device::Type type, QList<Device *> *list)
{
    if (!isConnected()) {
        recordError(Error_NotConnected);
        return false;
    }
    ListKind kind;
    if (!listKindOf(type, kind)) {
        if (list)
            list->clear();
        return true;
    }
    if (!updateList(kind))
        return false;
    if (list) {
        std::lock_guard<std::mutex> lock(m_registryMutex);
        *list = m_lists[kind].devices;
    }
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
    if (!sendAndWait(command, reply, m_nResponseMaximumWaitTime.load())) {
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
    appendHeldList(VoteList, list);
    return true;
}

bool TwoPointFourGHzHub::readOrvexexpressionList(QList<Device *> *list) const
{
    appendHeldList(ExpressionList, list);
    return true;
}

bool TwoPointFourGHzHub::readOrvexSlateList(QList<Device *> *list) const
{
    appendHeldList(SlateList, list);
    return true;
}

bool TwoPointFourGHzHub::readPenExpressionList(QList<Device *> *list) const
{
    appendHeldList(PenExpressionList, list);
    return true;
}

bool TwoPointFourGHzHub::readDeviceDisplayInfoList(Device::Type type,
                                                   QList<DeviceDisplayInfo> *list) const
{
    if (!list)
        return true;
    list->clear();
    ListKind kind;
    if (!listKindOf(type, kind))
        return true;
    std::lock_guard<std::mutex> lock(m_registryMutex);
    for (const Device *device : m_lists[kind].devices)
        list->append(DeviceDisplayInfo(device->name(), device->uid(), device->subType()));
    return true;
}

void TwoPointFourGHzHub::readRegisteredDevicesLists()
{
    // The driver lock first, then the exchange turn: a host may hold the
    // driver lock around its own hub calls (that is what the lock is offered
    // for), and those calls take the exchange turn inside it. Taking them in
    // the other order here could leave each thread waiting for the other.
    lockDriver();
    {
        std::lock_guard<std::mutex> turn(exchangeMutex());
        for (ListKind kind : {VoteList, ExpressionList, SlateList, PenExpressionList})
            readListLocked(kind);
    }
    unlockDriver();
}

bool TwoPointFourGHzHub::readPenCount()
{
    m_nPenCount.store(0);
    if (!isConnected()) {
        recordError(Error_NotConnected);
        return false;
    }
    QList<RegisteredBoardResponse> boards;
    if (!sendAndCollect(QByteArray(":GR08\r"), &boards))
        return false;
    if (!boards.isEmpty())
        m_nPenCount.store(2);
    return true;
}

// ---------------------------------------------------------------------------
// Removal

bool TwoPointFourGHzHub::removeDevice(ListKind kind, unsigned int uid)
{
    std::lock_guard<std::mutex> sessionTurn(m_sessionMutex);
    QByteArray hexId;
    unsigned short address = 0;
    bool found = false;
    {
        std::lock_guard<std::mutex> lock(m_registryMutex);
        for (const Device *device : m_lists[kind].devices) {
            const auto *radioDevice = dynamic_cast<const TwoPointFourGHzDevice *>(device);
            if (radioDevice && radioDevice->uid() == uid) {
                // Copied: the device may be freed by a rebuild once the lock
                // is released.
                hexId = radioDevice->hexId();
                address = radioDevice->address();
                found = true;
                break;
            }
        }
    }
    if (!found)
        return false;
    if (sessionState() != Session_None) {
        recordError(Error_CannotStartSessionBecauseCurrentlyInSession);
        return false;
    }
    const State hubState = state();
    if (hubState != State_Idle) {
        if (hubState == State_Busy)
            recordError(Error_Busy);
        return false;
    }
    if (!send(QByteArray(":RD") + hexId + '\r')) {
        setSessionState(Session_None);
        return false;
    }
    setSessionState(Session_RemoveDevice);
    std::lock_guard<std::mutex> lock(m_registryMutex);
    dropAddressLocked(address, uid);
    return true;
}

bool TwoPointFourGHzHub::removeOrvexvote(unsigned int uid)
{
    return removeDevice(VoteList, uid);
}

bool TwoPointFourGHzHub::removeOrvexexpression(unsigned int uid)
{
    return removeDevice(ExpressionList, uid);
}

bool TwoPointFourGHzHub::removeOrvexslate(unsigned int uid)
{
    return removeDevice(SlateList, uid);
}

bool TwoPointFourGHzHub::removePenExpression(unsigned int uid)
{
    return removeDevice(PenExpressionList, uid);
}

bool TwoPointFourGHzHub::stopRemoveDeviceSession(const QList<ListKind> &reread)
{
    std::lock_guard<std::mutex> sessionTurn(m_sessionMutex);
    const SessionState current = sessionState();
    if (current == Session_None)
        return true;
    if (current != Session_RemoveDevice)
        return false;
    bool ok = false;
    if (!isConnected()) {
        recordError(Error_NotConnected);
    } else {
        OKResponse reply;
        ok = sendAndWait(QByteArray(":VE\r"), reply, m_nFlashWriteResponseMaximumWaitTime);
        if (ok) {
            for (ListKind kind : reread) {
                std::lock_guard<std::mutex> turn(exchangeMutex());
                {
                    std::lock_guard<std::mutex> lock(m_registryMutex);
                    m_lists[kind].outOfDate = false;
                }
                readListLocked(kind);
            }
        } else {
            recordError(Error_CommsFailure);
        }
    }
    setSessionState(Session_None);
    return ok;
}

bool TwoPointFourGHzHub::stopRemoveVoteDeviceSession()
{
    return stopRemoveDeviceSession({VoteList});
}

bool TwoPointFourGHzHub::stopRemoveExpressionDeviceSession()
{
    return stopRemoveDeviceSession({ExpressionList, PenExpressionList});
}

bool TwoPointFourGHzHub::stopRemoveSlateDeviceSession()
{
    return stopRemoveDeviceSession({SlateList});
}

// ---------------------------------------------------------------------------
// Clearing

bool TwoPointFourGHzHub::clearRegistrations(const char *command, const QList<ListKind> &reread,
                                            OKResponse *reply)
{
    if (!isConnected()) {
        recordError(Error_NotConnected);
        return false;
    }
    // The hub may reset while it clears its store: that reset is part of the
    // clear, not news for the host. A counter, so that overlapping clears
    // keep the guard up until the last one ends.
    m_nClearsInProgress.fetch_add(1);
    OKResponse ok;
    const bool cleared =
        sendAndWait(QByteArray(command), ok, m_nFlashWriteResponseMaximumWaitTime);
    if (cleared) {
        if (reply)
            *reply = ok;
        for (ListKind kind : reread) {
            std::lock_guard<std::mutex> turn(exchangeMutex());
            {
                std::lock_guard<std::mutex> lock(m_registryMutex);
                m_lists[kind].outOfDate = false;
            }
            readListLocked(kind);
        }
    } else {
        recordError(Error_CommsFailure);
    }
    m_nClearsInProgress.fetch_sub(1);
    return cleared;
}

bool TwoPointFourGHzHub::clearHub(OKResponse *reply)
{
    return clearRegistrations(":CS99\r", {ExpressionList, VoteList, SlateList, PenExpressionList},
                              reply);
}

bool TwoPointFourGHzHub::clearHubOfVotes(OKResponse *reply)
{
    return clearRegistrations(":CS06\r", {VoteList}, reply);
}

bool TwoPointFourGHzHub::clearHubOfSlates(OKResponse *reply)
{
    return clearRegistrations(":CS07\r", {SlateList}, reply);
}

bool TwoPointFourGHzHub::clearHubOfBoards(OKResponse *reply)
{
    return clearRegistrations(":CS08\r", {}, reply);
}

bool TwoPointFourGHzHub::clearHubOfExpressions(OKResponse *reply)
{
    return clearRegistrations(":CS09\r", {ExpressionList}, reply);
}

bool TwoPointFourGHzHub::clearHubOfPenExpressions(OKResponse *reply)
{
    return clearRegistrations(":CS0D\r", {PenExpressionList}, reply);
}

} // namespace Orvexsystem
