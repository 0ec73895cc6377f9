#ifndef ORVEXSYSTEM_LEGACY_LEGACYDEVICELISTS_H
#define ORVEXSYSTEM_LEGACY_LEGACYDEVICELISTS_H

#include <orvexsystem/device.h>
#include <orvexsystem/displayinfo.h>

#include "legacy/legacysettingsfile.h"

#include <QtCore/QList>

#include <mutex>

namespace Orvexsystem {

class Hub;

// The voting handsets and slates a legacy hub remembers. Registration
// replies add to the lists on the driver's packet thread while host threads
// and the event thread read, clear and rebuild them, so one lock guards
// both; it is held only for the lists' own work.
//
// A device taken out of a list (a clear, a removal, a disconnection) is
// retired, not freed: a pointer the host took before stays valid until the
// list is next read from the settings file, or the hub is destroyed.
class LegacyDeviceLists
{
public:
    using Slate = LegacySettingsFile::Slate;

    LegacyDeviceLists() = default;
    ~LegacyDeviceLists();
    LegacyDeviceLists(const LegacyDeviceLists &) = delete;
    LegacyDeviceLists &operator=(const LegacyDeviceLists &) = delete;

    // Puts new devices for these records in place of the list; the devices
    // it held and those retired from it are freed. With onlyIfEmpty a list
    // that is no longer empty (a registration came in meanwhile) is kept and
    // the records are dropped.
    void setVotes(Hub *hub, const QList<quint32> &ids, bool onlyIfEmpty = false);
    void setSlates(Hub *hub, const QList<Slate> &slates, bool onlyIfEmpty = false);

    // Appends a device unless one with the id is listed; true when added.
    bool addVote(Hub *hub, quint32 id);
    bool addSlate(Hub *hub, quint32 id, const QString &pin);

    void retireVotes();
    void retireSlates();
    // Retires every listed device with this id.
    void retireVote(quint64 id);
    void retireSlate(quint32 id);

    int voteCount() const;
    int slateCount() const;
    QList<quint32> voteIds() const;
    QList<Slate> slates() const;
    // The PIN of a listed slate; false when the slate is not listed.
    bool slatePin(quint32 id, QString *pin) const;

    void appendVotes(QList<Device *> *list) const;
    void appendSlates(QList<Device *> *list) const;
    // Name, uid and sub-type of each device of the list, copied under the
    // lock; empty for a type without a list.
    QList<DeviceDisplayInfo> displayInfo(Device::Type type) const;

private:
    static void adopt(Hub *hub, Device *device);

    mutable std::mutex m_mutex;
    QList<Device *> m_votes;
    QList<Device *> m_slates;
    QList<Device *> m_retiredVotes;
    QList<Device *> m_retiredSlates;
};

} // namespace Orvexsystem

#endif
