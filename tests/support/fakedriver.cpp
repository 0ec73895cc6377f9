#include "support/fakedriver.h"

#include <algorithm>
#include <cstring>

namespace OrvexTest {

FakeDriver::FakeDriver() : m_thread([this] { run(); }) {}

FakeDriver::~FakeDriver()
{
    locked([&] { m_stop = true; });
    m_changed.notify_all();
    m_thread.join();
}

void FakeDriver::enqueue(Delivery delivery)
{
    locked([&] { m_queue.push_back(std::move(delivery)); });
    m_changed.notify_all();
}

void FakeDriver::deliverNow(int handle, const QByteArray &packet)
{
    const auto entry = locked([&] { return m_callbacks.value(handle); });
    if (entry.first)
        entry.first(handle, reinterpret_cast<const uint8_t *>(packet.constData()), uint32_t(packet.size()),
                    entry.second);
}

bool FakeDriver::waitIdle(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return m_queue.empty() && !m_delivering; });
}

void FakeDriver::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_stop)
            return;
        const Delivery delivery = m_queue.front();
        m_queue.pop_front();
        const auto entry = m_callbacks.value(delivery.handle);
        const OrvexPnpCallback pnp = delivery.pnp ? m_pnp : nullptr;
        void *const pnpContext = m_pnpContext;
        m_delivering = true;
        m_deliveringHandle = delivery.pnp ? 0 : delivery.handle;
        lock.unlock();
        if (delivery.pnp) {
            if (pnp)
                pnp(pnpContext);
        } else if (entry.first) {
            entry.first(delivery.handle, reinterpret_cast<const uint8_t *>(delivery.packet.constData()),
                        uint32_t(delivery.packet.size()), entry.second);
        }
        lock.lock();
        m_delivering = false;
        m_deliveringHandle = -1;
        m_changed.notify_all();
    }
}

int FakeDriver::count(const QString &operationPrefix) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(std::count_if(m_log.begin(), m_log.end(),
                             [&](const QString &entry) { return entry.startsWith(operationPrefix); }));
}

int FakeDriver::write(int handle, const QByteArray &data)
{
    Responder responder;
    bool synchronous = false;
    const int result = locked([&] {
        m_log.append(QStringLiteral("writePacket(%1)").arg(handle));
        m_writes[handle].append(data);
        responder = m_responder;
        synchronous = m_synchronous;
        return m_writeResult;
    });
    m_changed.notify_all();
    if (result != -1 && responder)
        for (const QByteArray &reply : responder(handle, data)) {
            if (synchronous)
                deliverNow(handle, reply);
            else
                deliverLater(handle, reply);
        }
    return result;
}

static void put32(uint8_t *p, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

static void putText(uint8_t *p, const QString &text, int maxUnits)
{
    const int n = std::min<int>(int(text.size()), maxUnits - 1);
    for (int i = 0; i < n; ++i) {
        p[2 * i] = uint8_t(text[i].unicode() & 0xFF);
        p[2 * i + 1] = uint8_t(text[i].unicode() >> 8);
    }
    p[2 * n] = p[2 * n + 1] = 0;
}

bool FakeDriver::enumDevice(int index, uint8_t *info) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_rawRecords.isEmpty()) {
        if (index < 0 || index >= m_rawRecords.size())
            return false;
        const QByteArray &raw = m_rawRecords[index];
        std::memset(info, 0, ORVEX_DEVICE_INFO_SIZE);
        std::memcpy(info, raw.constData(), std::min<size_t>(raw.size(), ORVEX_DEVICE_INFO_SIZE));
        return true;
    }
    if (index < 0 || index >= m_hubs.size() || info[0] != ORVEX_DEVICE_INFO_HEADER)
        return false;
    const HubRecord &hub = m_hubs[index];
    if (hub.handle == m_enumFails)
        return false;
    std::memset(info + 4, 0, ORVEX_DEVICE_INFO_SIZE - 4);
    put32(info + ORVEX_DEVICE_INFO_OFFSET_KIND, quint32(hub.kind));
    put32(info + ORVEX_DEVICE_INFO_OFFSET_CONNECTION, quint32(hub.connectionType));
    put32(info + ORVEX_DEVICE_INFO_OFFSET_VERSION, quint32(hub.version));
    put32(info + ORVEX_DEVICE_INFO_OFFSET_HANDLE, quint32(hub.handle));
    put32(info + ORVEX_DEVICE_INFO_OFFSET_UID, quint32(hub.uid));
    put32(info + ORVEX_DEVICE_INFO_OFFSET_UID + 4, quint32(hub.uid >> 32));
    putText(info + ORVEX_DEVICE_INFO_OFFSET_DESCRIPTION, hub.description,
            (ORVEX_DEVICE_INFO_OFFSET_DRIVER_VERSION - ORVEX_DEVICE_INFO_OFFSET_DESCRIPTION) / 2);
    putText(info + ORVEX_DEVICE_INFO_OFFSET_DRIVER_VERSION, driverVersion,
            (ORVEX_DEVICE_INFO_SIZE - ORVEX_DEVICE_INFO_OFFSET_DRIVER_VERSION) / 2);
    return true;
}

void FakeDriver::clearCallback(int handle)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_callbacks.remove(handle);
    // Honour the contract: no call for this handle once this returns.
    if (std::this_thread::get_id() != m_thread.get_id())
        m_changed.wait(lock, [&] { return !m_delivering || m_deliveringHandle != handle; });
}

} // namespace OrvexTest
