#include "rfhub/deviceregistry.h"

#include <orvexsystem/device.h>

namespace Orvexsystem {

DeviceRegistry::DeviceRegistry() : m_uidByAddress(new std::atomic<quint32>[65536]()) {}

DeviceRegistry::~DeviceRegistry()
{
    for (List &list : m_lists) {
        qDeleteAll(list.devices);
        qDeleteAll(list.retired);
    }
}

bool DeviceRegistry::listKindOf(Device::Type type, ListKind &kind)
{
    switch (type) {
    case Device::Type_TwoPointFourGHzOrvexvote: kind = VoteList; return true;
    case Device::Type_TwoPointFourGHzOrvexexpression: kind = ExpressionList; return true;
    case Device::Type_TwoPointFourGHzOrvexSlate: kind = SlateList; return true;
    case Device::Type_PenExpression: kind = PenExpressionList; return true;
    default: return false;
    }
}

Device::Type DeviceRegistry::deviceTypeOf(ListKind kind)
{
    static const Device::Type types[ListCount] = {
        Device::Type_TwoPointFourGHzOrvexvote, Device::Type_TwoPointFourGHzOrvexexpression,
        Device::Type_TwoPointFourGHzOrvexSlate, Device::Type_PenExpression};
    return types[kind];
}

quint64 DeviceRegistry::epoch(ListKind kind) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lists[kind].epoch;
}

bool DeviceRegistry::isEmpty(ListKind kind) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lists[kind].devices.isEmpty();
}

bool DeviceRegistry::takeOutOfDate(ListKind kind)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const bool outOfDate = m_lists[kind].outOfDate;
    m_lists[kind].outOfDate = false;
    return outOfDate;
}

void DeviceRegistry::setOutOfDate(ListKind kind, bool outOfDate)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lists[kind].outOfDate = outOfDate;
}

bool DeviceRegistry::replace(ListKind kind, bool readOk, const QList<Device *> &fresh,
                             quint64 epoch)
{
    QList<Device *> doomed;
    bool replaced = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        List &list = m_lists[kind];
        QList<unsigned short> touched;
        for (Device *device : std::as_const(list.devices)) {
            dropAddressLocked(device->address(), device->uid());
            touched.append(device->address());
        }
        doomed += list.devices;
        doomed += list.retired;
        list.devices.clear();
        list.retired.clear();
        // A read that overlapped a reset or a disconnection no longer
        // describes the hub: the list stays empty and out of date.
        if (readOk && list.epoch == epoch) {
            list.devices = fresh;
            for (Device *device : fresh) {
                m_addressMap.insert(device->address(), device->uid());
                touched.append(device->address());
            }
            replaced = true;
        } else {
            doomed += fresh;
        }
        // Published once the map is whole: an address listed before and
        // after the read never reads as unknown in between.
        for (unsigned short address : std::as_const(touched))
            publishLocked(address);
    }
    // Nothing of the library reaches these devices any more: every internal
    // use of a device happens under the lock.
    qDeleteAll(doomed);
    return replaced;
}

void DeviceRegistry::retireLocked(ListKind kind)
{
    List &list = m_lists[kind];
    for (Device *device : std::as_const(list.devices)) {
        dropAddressLocked(device->address(), device->uid());
        publishLocked(device->address());
    }
    list.retired += list.devices;
    list.devices.clear();
    list.outOfDate = true;
    ++list.epoch;
}

void DeviceRegistry::retire(ListKind kind)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    retireLocked(kind);
}

void DeviceRegistry::retireAll()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int kind = 0; kind < ListCount; ++kind)
        retireLocked(ListKind(kind));
}

QList<Device *> DeviceRegistry::devices(ListKind kind) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // A copy of its own, made under the lock: a list shared with the registry
    // would be changed by two threads at once.
    QList<Device *> copy = m_lists[kind].devices;
    copy.detach();
    return copy;
}

void DeviceRegistry::appendDevices(ListKind kind, QList<Device *> *list) const
{
    if (!list)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    list->append(m_lists[kind].devices);
}

QList<DeviceDisplayInfo> DeviceRegistry::displayInfo(ListKind kind) const
{
    QList<DeviceDisplayInfo> info;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Device *device : m_lists[kind].devices)
        info.append(DeviceDisplayInfo(device->name(), device->uid(), device->subType()));
    return info;
}

bool DeviceRegistry::findDevice(ListKind kind, unsigned int uid, QByteArray *hexId,
                                unsigned short *address) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Device *device : m_lists[kind].devices) {
        const auto *radioDevice = dynamic_cast<const TwoPointFourGHzDevice *>(device);
        if (radioDevice && radioDevice->uid() == uid) {
            // Copied: the device may be freed by a rebuild once the lock is
            // released.
            if (hexId)
                *hexId = radioDevice->hexId();
            if (address)
                *address = radioDevice->address();
            return true;
        }
    }
    return false;
}

unsigned int DeviceRegistry::uidAt(unsigned short address) const
{
    return m_uidByAddress[address].load(std::memory_order_relaxed);
}

void DeviceRegistry::publishLocked(unsigned short address)
{
    m_uidByAddress[address].store(m_addressMap.value(address, 0), std::memory_order_relaxed);
}

bool DeviceRegistry::addressOf(unsigned int uid, unsigned int *address) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_addressMap.cbegin(); it != m_addressMap.cend(); ++it) {
        if (it.value() == uid) {
            if (address)
                *address = it.key();
            return true;
        }
    }
    return false;
}

void DeviceRegistry::dropAddress(unsigned short address, unsigned int uid)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    dropAddressLocked(address, uid);
    publishLocked(address);
}

void DeviceRegistry::dropAddressLocked(unsigned short address, unsigned int uid)
{
    auto it = m_addressMap.find(address);
    if (it != m_addressMap.end() && it.value() == uid)
        m_addressMap.erase(it);
}

} // namespace Orvexsystem
