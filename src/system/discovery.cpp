// Hub discovery and the host's views of the hub table.

#include "system/orvexsystem_p.h"
#include "system/threadcontext.h"

#include <orvexsystem/hub.h>
#include <orvexsystem/legacyhub.h>
#include <orvexsystem/twopointfourghzhub.h>
#include <orvexsystem/virtualtwopointfourghzhub.h>

#include <QtCore/QRegularExpression>
#include <QtCore/QSet>
#include <QtCore/QThread>

namespace Orvexsystem {

namespace {

bool readRecord(AbstractHardwareWrapper &wrapper, int index, DriverDeviceInfo &record)
{
    record = DriverDeviceInfo::empty();
    return wrapper.enumDeviceInfo(index, &record);
}

} // namespace

void OrvexSystem::announce(Hub *hub, bool connected)
{
    const auto callback = d->hubConnectedCallback.load();
    if (callback.function)
        callback.function(hub, connected, callback.context);
    else if (connected)
        Q_EMIT newHubConnected(hub);
    else
        Q_EMIT hubDisconnected(hub);
}

Hub *OrvexSystem::createHub(const DriverDeviceInfo &record)
{
    switch (record.kind) {
    case DriverDeviceInfo::Kind_LegacyBoardHub:
    case DriverDeviceInfo::Kind_LegacyHub:
        return new LegacyHub(this, record.handle, record.uid(), true,
                             record.kind == DriverDeviceInfo::Kind_LegacyBoardHub,
                             record.connectionType, record.version);
    case DriverDeviceInfo::Kind_TwoPointFourGHzHub:
        return new TwoPointFourGHzHub(this, record.handle, record.uid(), true, record.version);
    case DriverDeviceInfo::Kind_VirtualTwoPointFourGHzHub:
        return new VirtualTwoPointFourGHzHub(this, record.handle, record.uid(), true,
                                             record.version, record.descriptionText());
    default:
        return nullptr;
    }
}

void OrvexSystem::updateHubs()
{
    std::shared_ptr<AbstractHardwareWrapper> wrapper = d->wrapper();
    if (!wrapper)
        return;
    std::lock_guard<std::mutex> pass(d->discoveryMutex);
    ThreadContext::Discovery scope;

    QMap<HubHandle_t, Hub *> known;
    {
        std::lock_guard<std::mutex> lock(d->tableMutex);
        known = d->hubs;
    }
    QSet<HubHandle_t> leftover(known.keyBegin(), known.keyEnd());
    const int count = wrapper->getDeviceCount();
    // The pass inside initialise() runs on the host's thread, later ones on
    // the event thread.
    const bool atStart = !ThreadContext::onEventThread();

    // Hubs reported again.
    for (int index = 0; index < count; ++index) {
        DriverDeviceInfo record;
        if (!readRecord(*wrapper, index, record) || !known.contains(record.handle))
            continue;
        Hub *hub = known.value(record.handle);
        {
            std::lock_guard<std::mutex> lock(d->tableMutex);
            d->driverRecords.insert(record.handle, record);
        }
        if (!hub->isConnected() && d->tap.isSet())
            d->tapHub(Tap_HubReported, record, atStart);
        wrapper->setCallback(record.handle, &OrvexSystem::processPacketCallback, this);
        leftover.remove(record.handle);
        if (hub->isConnected())
            continue;
        hub->setConnected(true);
        announce(hub, true);
        if (record.isLegacyKind()) {
            bool added = false;
            {
                std::lock_guard<std::mutex> lock(d->tableMutex);
                if (!d->legacyHubInfo.contains(record.handle)) {
                    d->legacyHubInfo.insert(record.handle,
                                            HubDisplayInfo{QString(), record.uid(), false});
                    added = true;
                }
            }
            if (added)
                Q_EMIT newLegacyHubConnected(record.handle);
        } else if (record.isTwoPointFourGHzKind()) {
            bool added = false;
            {
                std::lock_guard<std::mutex> lock(d->tableMutex);
                if (!d->orvexHubInfo.contains(record.handle)) {
                    d->orvexHubInfo.insert(
                        record.handle, HubDisplayInfo{QString(), record.uid(), hub->isVirtualHub()});
                    added = true;
                }
            }
            if (added)
                Q_EMIT newOrvexHubConnected(record.handle);
        }
    }

    // Hubs no longer reported: kept in the table, marked disconnected.
    QList<HubHandle_t> vanished(leftover.begin(), leftover.end());
    std::sort(vanished.begin(), vanished.end());
    for (HubHandle_t handle : std::as_const(vanished)) {
        Hub *hub = known.value(handle);
        wrapper->clearCallback(handle, &OrvexSystem::processPacketCallback, this);
        if (hub->isConnected() && d->tap.isSet()) {
            DriverDeviceInfo gone = DriverDeviceInfo::empty();
            gone.handle = handle;
            d->tapHub(Tap_HubGone, gone, false);
        }
        bool wasOrvex;
        bool wasLegacy;
        {
            std::lock_guard<std::mutex> lock(d->tableMutex);
            d->driverRecords.remove(handle);
            wasOrvex = d->orvexHubInfo.remove(handle) > 0;
            wasLegacy = d->legacyHubInfo.remove(handle) > 0;
        }
        // Session façades over the hub answer failure from now on.
        d->facades.hubVanished(hub);
        if (wasOrvex)
            Q_EMIT orvexHubDisconnected(handle);
        if (wasLegacy)
            Q_EMIT legacyHubDisconnected(handle);
        if (hub->isConnected()) {
            hub->setConnected(false);
            announce(hub, false);
        }
    }

    // Hubs reported for the first time.
    for (int index = 0; index < count; ++index) {
        DriverDeviceInfo record;
        if (!readRecord(*wrapper, index, record))
            continue;
        {
            std::lock_guard<std::mutex> lock(d->tableMutex);
            if (d->hubs.contains(record.handle))
                continue;
        }
        if (d->tap.isSet() && (record.isLegacyKind() || record.isTwoPointFourGHzKind()))
            d->tapHub(Tap_HubReported, record, atStart);
        Hub *hub = createHub(record);
        if (!hub)
            continue;
        // Hubs found after start-up are created on the event thread, which
        // runs no Qt event loop: they join the host's thread like the others.
        if (d->hostThread && hub->thread() != d->hostThread)
            hub->moveToThread(d->hostThread);
        wrapper->setCallback(record.handle, &OrvexSystem::processPacketCallback, this);
        if (record.isLegacyKind())
            wrapper->setXferMask(record.handle, 0xFF);
        {
            std::lock_guard<std::mutex> lock(d->tableMutex);
            d->insertHubLocked(record.handle, hub);
            d->driverRecords.insert(record.handle, record);
            const HubDisplayInfo info{
                QString(), record.uid(),
                record.kind == DriverDeviceInfo::Kind_VirtualTwoPointFourGHzHub};
            if (record.isLegacyKind())
                d->legacyHubInfo.insert(record.handle, info);
            else
                d->orvexHubInfo.insert(record.handle, info);
        }
        hub->setConnected(true);
        announce(hub, true);
        if (record.isLegacyKind())
            Q_EMIT newLegacyHubConnected(record.handle);
        else
            Q_EMIT newOrvexHubConnected(record.handle);
    }
}

bool OrvexSystem::getHubList(QList<Hub *> *list)
{
    if (d->state.load() != 1) {
        recordError(Error_NotInitialised);
        return false;
    }
    if (!list)
        return false;
    list->clear();
    // Under the lock: shutdown() deletes a hub only after taking it out of
    // the table.
    std::lock_guard<std::mutex> lock(d->tableMutex);
    for (Hub *hub : std::as_const(d->hubs))
        if (hub->isConnected())
            list->append(hub);
    return true;
}

// The host gets a copy of its own, made under the lock: a map shared with
// the table would be copied or changed by two threads at once.
bool OrvexSystem::getOrvexHubInfoMap(QMap<int, HubDisplayInfo> &map) const
{
    std::lock_guard<std::mutex> lock(d->tableMutex);
    map = d->orvexHubInfo;
    map.detach();
    return true;
}

bool OrvexSystem::getLegacyHubInfoMap(QMap<int, HubDisplayInfo> &map) const
{
    std::lock_guard<std::mutex> lock(d->tableMutex);
    map = d->legacyHubInfo;
    map.detach();
    return true;
}

Hub *OrvexSystem::findHub(HubHandle_t handle, bool orvexMap) const
{
    std::lock_guard<std::mutex> lock(d->tableMutex);
    const QMap<int, HubDisplayInfo> &info = orvexMap ? d->orvexHubInfo : d->legacyHubInfo;
    if (!info.contains(handle))
        return nullptr;
    return d->hubs.value(handle, nullptr);
}

bool OrvexSystem::orvexDisplayInfoList(HubHandle_t handle, QList<DeviceDisplayInfo> &list,
                                       Device::Type type) const
{
    list.clear();
    // A handle reported again as another kind keeps its first hub object:
    // only a 2.4 GHz hub object can answer. The hub copies what the list
    // shows under its own lock, so no device pointer is read here.
    auto *hub = dynamic_cast<TwoPointFourGHzHub *>(findHub(handle, true));
    return hub && hub->readDeviceDisplayInfoList(type, &list);
}

bool OrvexSystem::legacyDisplayInfoList(HubHandle_t handle, QList<DeviceDisplayInfo> &list,
                                        Device::Type type) const
{
    list.clear();
    // The hub copies what the list shows under the lists' lock: registration
    // replies may be adding to them on the packet thread meanwhile.
    auto *hub = dynamic_cast<LegacyHub *>(findHub(handle, false));
    return hub && hub->getDeviceDisplayInfoList(type, &list);
}

bool OrvexSystem::getOrvexExpressionDisplayInfoList(HubHandle_t handle,
                                                    QList<DeviceDisplayInfo> &list) const
{
    return orvexDisplayInfoList(handle, list, Device::Type_TwoPointFourGHzOrvexexpression);
}

bool OrvexSystem::getOrvexVoteDisplayInfoList(HubHandle_t handle,
                                              QList<DeviceDisplayInfo> &list) const
{
    return orvexDisplayInfoList(handle, list, Device::Type_TwoPointFourGHzOrvexvote);
}

bool OrvexSystem::getOrvexSlateDisplayInfoList(HubHandle_t handle,
                                               QList<DeviceDisplayInfo> &list) const
{
    return orvexDisplayInfoList(handle, list, Device::Type_TwoPointFourGHzOrvexSlate);
}

bool OrvexSystem::getLegacyVoteDisplayInfoList(HubHandle_t handle,
                                               QList<DeviceDisplayInfo> &list) const
{
    return legacyDisplayInfoList(handle, list, Device::Type_LegacyOrvexvote);
}

bool OrvexSystem::getLegacySlateDisplayInfoList(HubHandle_t handle,
                                                QList<DeviceDisplayInfo> &list) const
{
    return legacyDisplayInfoList(handle, list, Device::Type_Legacyslate);
}

bool OrvexSystem::isValidOrvexhubHandle(HubHandle_t handle) const
{
    return dynamic_cast<TwoPointFourGHzHub *>(findHub(handle, true)) != nullptr;
}

bool OrvexSystem::isValidLegacyhubHandle(HubHandle_t handle) const
{
    return dynamic_cast<LegacyHub *>(findHub(handle, false)) != nullptr;
}

bool OrvexSystem::getDriverVersion(int *major, int *minor, int *build)
{
    if (!initialiseOrvexWrapper())
        return false;
    std::shared_ptr<AbstractHardwareWrapper> wrapper = d->wrapper();
    if (!wrapper || wrapper->getDeviceCount() == 0)
        return false;
    DriverDeviceInfo record;
    if (!readRecord(*wrapper, 0, record))
        return false;

    static const QRegularExpression digits(QStringLiteral("(\\d+)"));
    QList<int> numbers;
    QRegularExpressionMatchIterator it = digits.globalMatch(record.driverVersionText());
    while (it.hasNext()) {
        bool ok = false;
        const int value = it.next().captured(1).toInt(&ok);
        // A number too large for an int is no version number.
        if (!ok)
            return false;
        numbers.append(value);
    }
    if (numbers.isEmpty())
        return false;
    // "5.1.x.y" names version 5.x.y; otherwise the first three numbers.
    const bool skipSecond = numbers.size() >= 2 && numbers[0] < 6 && numbers[1] == 1;
    const int needed = skipSecond ? 4 : 3;
    if (numbers.size() < needed)
        return false;
    const int values[3] = {numbers[0], skipSecond ? numbers[2] : numbers[1],
                           skipSecond ? numbers[3] : numbers[2]};
    if (major)
        *major = values[0];
    if (minor)
        *minor = values[1];
    if (build)
        *build = values[2];
    return true;
}

} // namespace Orvexsystem
