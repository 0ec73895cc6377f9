#include "support/fakedriver.h"

#include <cstring>

namespace OrvexTest {

FakeDriver::FakeDriver() : m_thread([this] { run(); }) {}

FakeDriver::~FakeDriver()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void FakeDriver::setHubs(const QList<HubRecord> &hubs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hubs = hubs;
}

void FakeDriver::setRawRecords(const QList<QByteArray> &records)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rawRecords = records;
}

void FakeDriver::addHub(const HubRecord &hub)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hubs.append(hub);
}

void FakeDriver::removeHub(int handle)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int i = m_hubs.size() - 1; i >= 0; --i)
        if (m_hubs[i].handle == handle)
            m_hubs.removeAt(i);
}

void FakeDriver::setResponder(Responder responder)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_responder = std::move(responder);
}

void FakeDriver::setWriteResult(int result)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_writeResult = result;
}

void FakeDriver::setAnswer(const QString &operation, int value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers[operation] = value;
}

int FakeDriver::answer(const QString &operation, int fallback) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_answers.value(operation, fallback);
}

void FakeDriver::deliverLater(int handle, const QByteArray &packet)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(Delivery{false, handle, packet});
    }
    m_changed.notify_all();
}

void FakeDriver::deliverNow(int handle, const QByteArray &packet)
{
    OrvexPacketCallback callback = nullptr;
    void *context = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto it = m_callbacks.constFind(handle);
        if (it == m_callbacks.constEnd())
            return;
        callback = it->first;
        context = it->second;
    }
    callback(handle, reinterpret_cast<const uint8_t *>(packet.constData()), uint32_t(packet.size()),
             context);
}

void FakeDriver::notifyPnp()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(Delivery{true, 0, QByteArray()});
    }
    m_changed.notify_all();
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
        Delivery delivery = m_queue.front();
        m_queue.pop_front();
        OrvexPacketCallback callback = nullptr;
        void *context = nullptr;
        OrvexPnpCallback pnp = nullptr;
        if (delivery.pnp) {
            pnp = m_pnp;
            context = m_pnpContext;
        } else if (m_callbacks.contains(delivery.handle)) {
            callback = m_callbacks[delivery.handle].first;
            context = m_callbacks[delivery.handle].second;
        }
        m_delivering = true;
        m_deliveringHandle = delivery.pnp ? 0 : delivery.handle;
        lock.unlock();
        if (pnp)
            pnp(context);
        else if (callback)
            callback(delivery.handle, reinterpret_cast<const uint8_t *>(delivery.packet.constData()),
                     uint32_t(delivery.packet.size()), context);
        lock.lock();
        m_delivering = false;
        m_deliveringHandle = -1;
        m_changed.notify_all();
    }
}

QStringList FakeDriver::log() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_log;
}

int FakeDriver::count(const QString &operationPrefix) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    int n = 0;
    for (const QString &entry : m_log)
        if (entry.startsWith(operationPrefix))
            ++n;
    return n;
}

QList<QByteArray> FakeDriver::writes(int handle) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_writes.value(handle);
}

void FakeDriver::clearLog()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.clear();
    m_writes.clear();
}

bool FakeDriver::hasCallback(int handle) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_callbacks.contains(handle);
}

bool FakeDriver::waitForWrite(int handle, const QByteArray &prefix, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        for (const QByteArray &w : m_writes.value(handle))
            if (w.startsWith(prefix))
                return true;
        return false;
    });
}

void FakeDriver::record(const QString &entry)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.append(entry);
}

int FakeDriver::write(int handle, const QByteArray &data)
{
    Responder responder;
    int result;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_log.append(QStringLiteral("writePacket(%1)").arg(handle));
        m_writes[handle].append(data);
        responder = m_responder;
        result = m_writeResult;
    }
    m_changed.notify_all();
    if (result != -1 && responder)
        for (const QByteArray &reply : responder(handle, data))
            deliverLater(handle, reply);
    return result;
}

int FakeDriver::deviceCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rawRecords.isEmpty() ? m_hubs.size() : m_rawRecords.size();
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

void FakeDriver::setCallback(int handle, OrvexPacketCallback callback, void *context)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_callbacks[handle] = qMakePair(callback, context);
}

void FakeDriver::clearCallback(int handle)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_callbacks.remove(handle);
    // Honour the contract: no call for this handle once this returns.
    if (std::this_thread::get_id() != m_thread.get_id())
        m_changed.wait(lock, [&] { return !m_delivering || m_deliveringHandle != handle; });
}

void FakeDriver::setPnp(OrvexPnpCallback callback, void *context)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pnp = callback;
        m_pnpContext = context;
    }
}

// ---------------------------------------------------------------------------

FakeWrapper::FakeWrapper(FakeDriver &driver) : m_driver(driver)
{
    if (m_driver.loaded)
        initialise();
}

FakeWrapper::~FakeWrapper()
{
    if (m_driver.loaded)
        m_driver.record(QStringLiteral("detach"));
}

#define ORVEX_FAKE_LOG(...) m_driver.record(QString::asprintf(__VA_ARGS__))

int32_t FakeWrapper::initialise()
{
    if (!m_driver.loaded)
        return 0;
    m_driver.record(QStringLiteral("attach"));
    return 1;
}
int32_t FakeWrapper::detach()
{
    m_driver.record(QStringLiteral("detach"));
    return 0;
}
int32_t FakeWrapper::getInterface() { return 0; }
int32_t FakeWrapper::setCallback(int32_t handle, OrvexPacketCallback callback, void *context)
{
    ORVEX_FAKE_LOG("setCallback(%d)", handle);
    m_driver.setCallback(handle, callback, context);
    return 0;
}
int32_t FakeWrapper::clearCallback(int32_t handle, OrvexPacketCallback, void *)
{
    ORVEX_FAKE_LOG("clearCallback(%d)", handle);
    m_driver.clearCallback(handle);
    return 0;
}
int32_t FakeWrapper::setPnpCallback(OrvexPnpCallback callback, void *context)
{
    m_driver.record(QStringLiteral("setPnpCallback"));
    m_driver.setPnp(callback, context);
    return 0;
}
int32_t FakeWrapper::clearPnpCallback(OrvexPnpCallback, void *)
{
    m_driver.record(QStringLiteral("clearCallback(0)"));
    m_driver.setPnp(nullptr, nullptr);
    return 0;
}
int32_t FakeWrapper::sendCommand(intptr_t, intptr_t) { return -1; }
int32_t FakeWrapper::writePacket(int32_t handle, const uint8_t *data, int32_t length)
{
    return m_driver.write(handle, QByteArray(reinterpret_cast<const char *>(data), length));
}
int32_t FakeWrapper::setXferMask(int32_t handle, int32_t mask)
{
    ORVEX_FAKE_LOG("setXferMask(%d,%d)", handle, mask);
    return 0;
}
int32_t FakeWrapper::getDeviceCount() { return m_driver.deviceCount(); }
bool FakeWrapper::enumDeviceInfo(int32_t index, uint8_t *info)
{
    return m_driver.enumDevice(index, info);
}
int32_t FakeWrapper::setPointingDeviceDestination(int32_t handle, int32_t a, int32_t b, int32_t c)
{
    ORVEX_FAKE_LOG("setPointingDeviceDestination(%d,%d,%d,%d)", handle, a, b, c);
    return 0;
}
int32_t FakeWrapper::setPointingDeviceDestinationEx(int32_t handle, int32_t a, int32_t b,
                                                    int32_t c, bool flag)
{
    ORVEX_FAKE_LOG("setPointingDeviceDestinationEx(%d,%d,%d,%d,%d)", handle, a, b, c, int(flag));
    return 0;
}
uint8_t FakeWrapper::getPointingDeviceDestination(int32_t handle, int32_t a, int32_t b)
{
    ORVEX_FAKE_LOG("getPointingDeviceDestination(%d,%d,%d)", handle, a, b);
    return uint8_t(m_driver.answer(QStringLiteral("getPointingDeviceDestination"), 0xFF));
}
int32_t FakeWrapper::setTouchDestination(int32_t handle, int32_t mode)
{
    ORVEX_FAKE_LOG("setTouchDestination(%d,%d)", handle, mode);
    return 0;
}
int32_t FakeWrapper::setTouchDestinationEx(int32_t handle, int32_t mode, bool flag)
{
    ORVEX_FAKE_LOG("setTouchDestinationEx(%d,%d,%d)", handle, mode, int(flag));
    return 0;
}
uint8_t FakeWrapper::getTouchDestination(int32_t handle)
{
    ORVEX_FAKE_LOG("getTouchDestination(%d)", handle);
    return uint8_t(m_driver.answer(QStringLiteral("getTouchDestination"), 0xFF));
}
int32_t FakeWrapper::setTouchEnabled(int32_t handle, bool enabled)
{
    ORVEX_FAKE_LOG("setTouchEnabled(%d,%d)", handle, int(enabled));
    return 0;
}
bool FakeWrapper::getTouchEnabled(int32_t) { return true; }
int32_t FakeWrapper::setTouchSystemRedirectionEnabled(int32_t handle, bool enabled)
{
    ORVEX_FAKE_LOG("setTouchSystemRedirectionEnabled(%d,%d)", handle, int(enabled));
    return 0;
}
bool FakeWrapper::getTouchSystemRedirectionEnabled(int32_t handle)
{
    ORVEX_FAKE_LOG("getTouchSystemRedirectionEnabled(%d)", handle);
    return m_driver.answer(QStringLiteral("getTouchSystemRedirectionEnabled"), 1) == 1;
}
int32_t FakeWrapper::setLATEDetection(int32_t handle, int32_t enabled)
{
    ORVEX_FAKE_LOG("setLATEDetection(%d,%d)", handle, enabled);
    return 0;
}
uint8_t FakeWrapper::getLATEDetection(int32_t handle)
{
    ORVEX_FAKE_LOG("getLATEDetection(%d)", handle);
    return uint8_t(m_driver.answer(QStringLiteral("getLATEDetection"), 0xFF));
}
bool FakeWrapper::isSomethingOnBoard(int32_t) { return false; }
int32_t FakeWrapper::setTwoFingerScroll(intptr_t, intptr_t) { return 0; }
int32_t FakeWrapper::openSynchronousChannel(intptr_t, intptr_t, intptr_t) { return -1; }
int32_t FakeWrapper::closeSynchronousChannel(intptr_t, intptr_t) { return 0; }
int32_t FakeWrapper::readSynchronousPacket(intptr_t, intptr_t, intptr_t, intptr_t, intptr_t)
{
    return -1;
}
bool FakeWrapper::setCalibrationMode(intptr_t, intptr_t) { return false; }
int32_t FakeWrapper::setCalibrationData(intptr_t, intptr_t) { return 0; }
int32_t FakeWrapper::setWirelessCalibrationData(intptr_t, intptr_t) { return 0; }
int32_t FakeWrapper::getCalibrationPoints(intptr_t, intptr_t, intptr_t) { return 0; }
uint8_t FakeWrapper::getHIDCoordinateReportMode(int32_t handle)
{
    ORVEX_FAKE_LOG("getHIDCoordinateReportMode(%d)", handle);
    return uint8_t(m_driver.answer(QStringLiteral("getHIDCoordinateReportMode"), 0));
}
int32_t FakeWrapper::setHIDCoordinateReportMode(int32_t handle, int32_t mode)
{
    ORVEX_FAKE_LOG("setHIDCoordinateReportMode(%d,%d)", handle, mode);
    return 0;
}
int32_t FakeWrapper::libraryVersionNumber(intptr_t, intptr_t, intptr_t, intptr_t) { return 0; }
int32_t FakeWrapper::lock()
{
    m_driver.record(QStringLiteral("lock"));
    return 0;
}
int32_t FakeWrapper::unlock()
{
    m_driver.record(QStringLiteral("unlock"));
    return 0;
}
bool FakeWrapper::serialConnect(intptr_t) { return false; }
bool FakeWrapper::serialDisconnect() { return false; }
bool FakeWrapper::serialGetConnected(intptr_t) { return false; }
int32_t FakeWrapper::serialSetStartupMode(intptr_t) { return 0; }
int32_t FakeWrapper::serialGetStartupMode() { return 0; }
int32_t FakeWrapper::setDoubleClickDistance(intptr_t, intptr_t) { return 0; }
int32_t FakeWrapper::setDriverDebugMode(intptr_t, intptr_t, intptr_t) { return 0; }
int32_t FakeWrapper::echo(intptr_t, intptr_t, intptr_t) { return 0; }
int32_t FakeWrapper::inject(intptr_t, intptr_t, intptr_t) { return 0; }
int32_t FakeWrapper::sendTouchPacketToSystem(int32_t handle, uint8_t length, const uint8_t *data)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), length);
    ORVEX_FAKE_LOG("sendTouchPacketToSystem(%d,%d,%s)", handle, int(length),
                   bytes.toHex().constData());
    return 0;
}
bool FakeWrapper::isLoaded() const { return m_driver.loaded; }

} // namespace OrvexTest
