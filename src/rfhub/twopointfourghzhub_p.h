#ifndef ORVEXSYSTEM_RFHUB_TWOPOINTFOURGHZHUB_P_H
#define ORVEXSYSTEM_RFHUB_TWOPOINTFOURGHZHUB_P_H

#include <orvexsystem/twopointfourghzhub.h>

#include "hub/callbackslot.h"
#include "hub/hub_p.h"
#include "rfhub/deviceregistry.h"

#include <atomic>
#include <mutex>

namespace Orvexsystem {

class TwoPointFourGHzHubPrivate
{
public:
    using ListKind = DeviceRegistry::ListKind;

    explicit TwoPointFourGHzHubPrivate(TwoPointFourGHzHub *hub) : q(hub) {}

    static TwoPointFourGHzHubPrivate *get(TwoPointFourGHzHub *hub) { return hub->d.get(); }

    // The hub's turn for command exchanges (see Hub).
    std::mutex &exchangeMutex() { return HubPrivate::get(q)->exchangeMutex; }

    // List replies: one record packet per device, then the list terminator.
    // The Locked forms expect the caller to hold exchangeMutex().
    template <class T>
    bool sendAndCollect(const QByteArray &command, QList<T> *records);
    template <class T>
    bool sendAndCollectLocked(const QByteArray &command, QList<T> *records);

    static QByteArray listCommand(ListKind kind);
    // Reads a list from the hub and puts it in place of the held one.
    bool readList(ListKind kind);
    bool readListLocked(ListKind kind);
    bool collectDevices(ListKind kind, QList<Device *> &devices);
    Device *adoptDevice(Device *device);
    // Appends the handsets of the machine-wide virtual-vote file.
    void readVirtualVoteList(QList<Device *> &devices);
    // Reads the list when it is out of date; the flag is cleared either way.
    bool updateList(ListKind kind);
    // Marks the list read now and reads it, under the caller's exchange turn.
    void rereadLocked(ListKind kind);
    bool readPenCount();
    bool removeDevice(ListKind kind, unsigned int uid);
    bool stopRemoveDeviceSession(std::initializer_list<ListKind> reread);
    bool clearRegistrations(const char *command, std::initializer_list<ListKind> reread,
                            OKResponse *reply);

    TwoPointFourGHzHub *const q;
    DeviceRegistry registry;

    // Host-side session changes (removal start and end) take turns.
    std::mutex sessionMutex;
    // Clears in progress; a hub reset is ignored while one runs.
    std::atomic<int> clearsInProgress{0};
    std::atomic<int> penCount{0};
    std::atomic<quint8> entityIdCounter{1};

    CallbackSlot<Hub::HubBusyCallback> hubBusyCallback;
    CallbackSlot<Hub::BatteryLowCallback> batteryLowCallback;
};

} // namespace Orvexsystem

#endif
