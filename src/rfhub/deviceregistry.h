#ifndef ORVEXSYSTEM_RFHUB_DEVICEREGISTRY_H
#define ORVEXSYSTEM_RFHUB_DEVICEREGISTRY_H

#include <orvexsystem/device.h>
#include <orvexsystem/displayinfo.h>

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QMap>

#include <atomic>
#include <memory>
#include <mutex>

namespace Orvexsystem {

// The devices registered with a 2.4 GHz hub as the hub object mirrors them:
// four lists (voting handsets, expression handsets, slates, pen-expression
// devices), each with its out-of-date flag, and the map from radio address
// to uid. It owns every device.
//
// One lock guards all of it; it is held only for the registry's own work,
// never while waiting for a reply or calling out, so any thread may use the
// registry. A device taken out of a list by a hub reset or a disconnection is
// retired, not freed: pointers a host took before stay valid until the list
// is next read. Each reset or disconnection also advances the list's epoch,
// so that a read that overlapped it is discarded.
class DeviceRegistry
{
public:
    enum ListKind { VoteList = 0, ExpressionList, SlateList, PenExpressionList, ListCount };

    DeviceRegistry();
    ~DeviceRegistry();
    DeviceRegistry(const DeviceRegistry &) = delete;
    DeviceRegistry &operator=(const DeviceRegistry &) = delete;

    // The list that holds devices of the type; false for a type without one.
    static bool listKindOf(Device::Type type, ListKind &kind);
    static Device::Type deviceTypeOf(ListKind kind);

    quint64 epoch(ListKind kind) const;
    bool isEmpty(ListKind kind) const;
    // Returns the flag and clears it: a change reported while the caller
    // reads the list marks it out of date again.
    bool takeOutOfDate(ListKind kind);
    void setOutOfDate(ListKind kind, bool outOfDate);

    // Puts a list read from the hub in place when the list is still at the
    // epoch the read began at; the devices it held are freed. When the read
    // failed or is stale, the list is emptied instead and fresh is freed.
    // True when fresh was put in place.
    bool replace(ListKind kind, bool readOk, const QList<Device *> &fresh, quint64 epoch);
    // Empties a list without freeing its devices, marks it out of date and
    // advances its epoch (hub reset, disconnection).
    void retire(ListKind kind);
    void retireAll();

    QList<Device *> devices(ListKind kind) const;
    void appendDevices(ListKind kind, QList<Device *> *list) const;
    // Name, uid and sub-type of each device, copied under the lock.
    QList<DeviceDisplayInfo> displayInfo(ListKind kind) const;
    // The identity text and address of a listed 2.4 GHz device.
    bool findDevice(ListKind kind, unsigned int uid, QByteArray *hexId,
                    unsigned short *address) const;

    // The address map: uid at a radio address (0 when none), address of a uid.
    // uidAt() takes no lock: the packet path looks every answer and vote up.
    unsigned int uidAt(unsigned short address) const;
    bool addressOf(unsigned int uid, unsigned int *address) const;
    // Forgets the entry for the address only if it names this uid: another
    // device heard at the same address keeps its entry.
    void dropAddress(unsigned short address, unsigned int uid);

private:
    struct List
    {
        QList<Device *> devices;
        QList<Device *> retired;
        bool outOfDate = true;
        quint64 epoch = 0;
    };
    void retireLocked(ListKind kind);
    void dropAddressLocked(unsigned short address, unsigned int uid);
    // Copies the map's entry for the address into the lock-free mirror.
    void publishLocked(unsigned short address);

    mutable std::mutex m_mutex;
    List m_lists[ListCount];
    QMap<unsigned short, unsigned int> m_addressMap;
    // The address map as one atomic entry per radio address, written under
    // m_mutex whenever the map changes, read without it. An entry goes from
    // its old uid to its new one without passing through 0.
    std::unique_ptr<std::atomic<quint32>[]> m_uidByAddress;
};

} // namespace Orvexsystem

#endif
