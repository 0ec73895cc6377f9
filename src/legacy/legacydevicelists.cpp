#include "legacy/legacydevicelists.h"

#include <orvexsystem/hub.h>

namespace Orvexsystem {

LegacyDeviceLists::~LegacyDeviceLists()
{
    qDeleteAll(m_votes);
    qDeleteAll(m_slates);
    qDeleteAll(m_retiredVotes);
    qDeleteAll(m_retiredSlates);
}

void LegacyDeviceLists::adopt(Hub *hub, Device *device)
{
    // Devices made on the packet thread or the event thread belong to the
    // hub's thread, like the hub.
    if (hub && device->thread() != hub->thread())
        device->moveToThread(hub->thread());
}

void LegacyDeviceLists::setVotes(Hub *hub, const QList<quint32> &ids, bool onlyIfEmpty)
{
    QList<Device *> fresh;
    for (quint32 id : ids) {
        Device *device = new LegacyOrvexvote(hub, id);
        adopt(hub, device);
        fresh.append(device);
    }
    QList<Device *> doomed;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (onlyIfEmpty && !m_votes.isEmpty()) {
            doomed = fresh;
        } else {
            doomed = m_votes + m_retiredVotes;
            m_retiredVotes.clear();
            m_votes = fresh;
        }
    }
    qDeleteAll(doomed);
}

void LegacyDeviceLists::setSlates(Hub *hub, const QList<Slate> &slates, bool onlyIfEmpty)
{
    QList<Device *> fresh;
    for (const Slate &slate : slates) {
        Device *device = new Legacyslate(hub, slate.id, slate.pin);
        adopt(hub, device);
        fresh.append(device);
    }
    QList<Device *> doomed;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (onlyIfEmpty && !m_slates.isEmpty()) {
            doomed = fresh;
        } else {
            doomed = m_slates + m_retiredSlates;
            m_retiredSlates.clear();
            m_slates = fresh;
        }
    }
    qDeleteAll(doomed);
}

bool LegacyDeviceLists::addVote(Hub *hub, quint32 id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Device *device : std::as_const(m_votes))
        if (device->uid() == id)
            return false;
    Device *device = new LegacyOrvexvote(hub, id);
    adopt(hub, device);
    m_votes.append(device);
    return true;
}

bool LegacyDeviceLists::addSlate(Hub *hub, quint32 id, const QString &pin)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Device *device : std::as_const(m_slates))
        if (device->uid() == id)
            return false;
    Device *device = new Legacyslate(hub, id, pin);
    adopt(hub, device);
    m_slates.append(device);
    return true;
}

void LegacyDeviceLists::retireVotes()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_retiredVotes += m_votes;
    m_votes.clear();
}

void LegacyDeviceLists::retireSlates()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_retiredSlates += m_slates;
    m_slates.clear();
}

void LegacyDeviceLists::retireVote(quint64 id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int i = int(m_votes.size()) - 1; i >= 0; --i)
        if (m_votes.at(i)->uid() == id)
            m_retiredVotes.append(m_votes.takeAt(i));
}

void LegacyDeviceLists::retireSlate(quint32 id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int i = int(m_slates.size()) - 1; i >= 0; --i)
        if (m_slates.at(i)->uid() == id)
            m_retiredSlates.append(m_slates.takeAt(i));
}

int LegacyDeviceLists::voteCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_votes.size());
}

int LegacyDeviceLists::slateCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_slates.size());
}

QList<quint32> LegacyDeviceLists::voteIds() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QList<quint32> ids;
    ids.reserve(m_votes.size());
    for (const Device *device : m_votes)
        ids.append(device->uid());
    return ids;
}

QList<LegacyDeviceLists::Slate> LegacyDeviceLists::slates() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QList<Slate> out;
    out.reserve(m_slates.size());
    for (const Device *device : m_slates)
        out.append(Slate{device->uid(), static_cast<const Legacyslate *>(device)->pinText()});
    return out;
}

bool LegacyDeviceLists::slatePin(quint32 id, QString *pin) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const Device *device : m_slates) {
        if (device->uid() == id) {
            *pin = static_cast<const Legacyslate *>(device)->pinText();
            return true;
        }
    }
    return false;
}

void LegacyDeviceLists::appendVotes(QList<Device *> *list) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    list->append(m_votes);
}

void LegacyDeviceLists::appendSlates(QList<Device *> *list) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    list->append(m_slates);
}

QList<DeviceDisplayInfo> LegacyDeviceLists::displayInfo(Device::Type type) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const QList<Device *> *devices = type == Device::Type_LegacyOrvexvote ? &m_votes
                                     : type == Device::Type_Legacyslate   ? &m_slates
                                                                          : nullptr;
    QList<DeviceDisplayInfo> out;
    if (devices)
        for (const Device *device : *devices)
            out.append(DeviceDisplayInfo(device->name(), device->uid(), device->subType()));
    return out;
}

} // namespace Orvexsystem
