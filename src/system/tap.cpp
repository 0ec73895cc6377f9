// The tap: the host's view of every packet, write and hub that passes
// between the library and the driver.

#include "system/orvexsystem_p.h"
#include "system/threadcontext.h"

#include <chrono>

namespace Orvexsystem {

qint64 OrvexSystem::tapClockNs()
{
    return qint64(std::chrono::duration_cast<std::chrono::nanoseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count());
}

void OrvexSystem::setTapCallback(TapCallback callback, void *context)
{
    d->tap.set(callback, context);
}

bool OrvexSystem::getDriverRecords(QList<DriverDeviceInfo> &records) const
{
    records.clear();
    if (d->state.load() != 1)
        return false;
    std::lock_guard<std::mutex> lock(d->tableMutex);
    records = d->driverRecords.values();
    records.detach();
    return true;
}

void OrvexSystemPrivate::tapTraffic(OrvexSystem::TapEventKind kind, HubHandle_t handle,
                                    qint64 timeNs, const uint8_t *data, uint32_t length,
                                    bool accepted)
{
    OrvexSystem::TapEvent event;
    event.kind = kind;
    event.handle = handle;
    event.timeNs = timeNs;
    event.data = data;
    event.length = data ? length : 0;
    event.accepted = accepted;
    tap.report(event);
}

void OrvexSystemPrivate::tapHub(OrvexSystem::TapEventKind kind, const DriverDeviceInfo &record,
                                bool atStart)
{
    OrvexSystem::TapEvent event;
    event.kind = kind;
    event.handle = record.handle;
    event.timeNs = OrvexSystem::tapClockNs();
    event.atStart = atStart;
    event.record = kind == OrvexSystem::Tap_HubReported ? &record : nullptr;
    tap.report(event);
}

} // namespace Orvexsystem
