#ifndef ORVEX_TESTS_FAKEDRIVER_H
#define ORVEX_TESTS_FAKEDRIVER_H

#include <orvexsystem/abstracthardwarewrapper.h>
#include <orvexsystem/system.h>

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QMap>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace OrvexTest {

// An in-process driver for unit tests: attached hubs, a log of every call,
// recorded writes, and replies delivered later on a thread of its own (as a
// real driver does), or at once on the test's thread through deliverNow().
class FakeDriver
{
public:
    struct HubRecord
    {
        int kind = 3;
        int connectionType = 2;
        int version = 0x100;
        int handle = 1;
        quint64 uid = 0;
        QString description;
    };

    // Turns a written command into the replies the hub sends back.
    using Responder = std::function<QList<QByteArray>(int handle, const QByteArray &command)>;

    FakeDriver();
    ~FakeDriver();

    // Driver state.
    bool loaded = true;
    QString driverVersion = QStringLiteral("6.2.14.3");
    void setHubs(const QList<HubRecord> &hubs) { locked([&] { m_hubs = hubs; }); }
    // Records handed out byte for byte instead of those of setHubs(); each
    // is cut or zero-padded to the record size.
    void setRawRecords(const QList<QByteArray> &records) { locked([&] { m_rawRecords = records; }); }
    void addHub(const HubRecord &hub) { locked([&] { m_hubs.append(hub); }); }
    void setResponder(Responder responder) { locked([&] { m_responder = std::move(responder); }); }
    void setWriteResult(int result) { locked([&] { m_writeResult = result; }); }
    // Replies are delivered inside the write call, on the writing thread.
    void setSynchronousReplies(bool on) { locked([&] { m_synchronous = on; }); }
    // The record of the hub with this handle is refused.
    void setEnumFails(int handle) { locked([&] { m_enumFails = handle; }); }
    // Called on every attach (initialise() of the binding), on the caller's
    // thread, outside the driver's lock.
    std::function<void()> onAttach;
    // Answers of the driver's getters, by operation name.
    void setAnswer(const QString &operation, int value) { locked([&] { m_answers[operation] = value; }); }

    // Queues a packet for the delivery thread.
    void deliverLater(int handle, const QByteArray &packet) { enqueue({false, handle, packet}); }
    // Calls the hub's packet callback on this thread.
    void deliverNow(int handle, const QByteArray &packet);
    // Calls the plug-and-play callback on the delivery thread.
    void notifyPnp() { enqueue({true, 0, QByteArray()}); }
    // Waits until the delivery thread has handed over everything queued.
    bool waitIdle(int timeoutMs = 5000);

    // What the system did.
    QStringList log() const { return locked([&] { return m_log; }); }
    int count(const QString &operationPrefix) const;
    QList<QByteArray> writes(int handle) const { return locked([&] { return m_writes.value(handle); }); }
    void clearLog() { locked([&] { m_log.clear(), m_writes.clear(); }); }
    bool hasCallback(int handle) const { return locked([&] { return m_callbacks.contains(handle); }); }

    // The binding's side.
    int answer(const QString &operation, int fallback) const
    {
        return locked([&] { return m_answers.value(operation, fallback); });
    }
    void record(const QString &entry) { locked([&] { m_log.append(entry); }); }
    int write(int handle, const QByteArray &data);
    int deviceCount() const
    {
        return locked([&] { return int(m_rawRecords.isEmpty() ? m_hubs.size() : m_rawRecords.size()); });
    }
    bool enumDevice(int index, uint8_t *info) const;
    void setCallback(int handle, OrvexPacketCallback callback, void *context)
    {
        locked([&] { m_callbacks[handle] = qMakePair(callback, context); });
    }
    void clearCallback(int handle);
    void setPnp(OrvexPnpCallback callback, void *context)
    {
        locked([&] { m_pnp = callback, m_pnpContext = context; });
    }

private:
    struct Delivery
    {
        bool pnp = false;
        int handle = 0;
        QByteArray packet;
    };
    template <class Fn>
    auto locked(Fn fn) const -> decltype(fn())
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return fn();
    }
    void enqueue(Delivery delivery);
    void run();

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    QList<HubRecord> m_hubs;
    QList<QByteArray> m_rawRecords;
    Responder m_responder;
    int m_writeResult = 0;
    bool m_synchronous = false;
    int m_enumFails = 0;
    QMap<QString, int> m_answers;
    QStringList m_log;
    QMap<int, QList<QByteArray>> m_writes;
    QMap<int, QPair<OrvexPacketCallback, void *>> m_callbacks;
    OrvexPnpCallback m_pnp = nullptr;
    void *m_pnpContext = nullptr;
    std::deque<Delivery> m_queue;
    bool m_delivering = false;
    int m_deliveringHandle = -1;
    bool m_stop = false;
    std::thread m_thread;
};

// The binding the system gets: forwards to a FakeDriver and logs each call
// as "name(arguments)". Functions no test looks at answer a fixed value.
class FakeWrapper : public Orvexsystem::AbstractHardwareWrapper
{
public:
    explicit FakeWrapper(FakeDriver &driver) : m_driver(driver) { initialise(); }
    ~FakeWrapper() override
    {
        if (m_driver.loaded)
            m_driver.record(QStringLiteral("detach"));
    }

    int32_t initialise() override
    {
        if (!m_driver.loaded)
            return 0;
        if (m_driver.onAttach)
            m_driver.onAttach();
        m_driver.record(QStringLiteral("attach"));
        return 1;
    }
    int32_t detach() override { return m_driver.record(QStringLiteral("detach")), 0; }
    int32_t getInterface() override { return 0; }
    int32_t setCallback(int32_t handle, OrvexPacketCallback callback, void *context) override
    {
        m_driver.setCallback(handle, callback, context);
        return note("setCallback", handle);
    }
    int32_t clearCallback(int32_t handle, OrvexPacketCallback, void *) override
    {
        note("clearCallback", handle);
        m_driver.clearCallback(handle);
        return 0;
    }
    int32_t setPnpCallback(OrvexPnpCallback callback, void *context) override
    {
        m_driver.setPnp(callback, context);
        return m_driver.record(QStringLiteral("setPnpCallback")), 0;
    }
    int32_t clearPnpCallback(OrvexPnpCallback, void *) override
    {
        m_driver.setPnp(nullptr, nullptr);
        return note("clearCallback", 0);
    }
    int32_t sendCommand(intptr_t, intptr_t) override { return -1; }
    int32_t writePacket(int32_t handle, const uint8_t *data, int32_t length) override
    {
        return m_driver.write(handle, QByteArray(reinterpret_cast<const char *>(data), length));
    }
    int32_t setXferMask(int32_t h, int32_t mask) override { return note("setXferMask", h, mask); }
    int32_t getDeviceCount() override { return m_driver.deviceCount(); }
    bool enumDeviceInfo(int32_t index, Orvexsystem::DriverDeviceInfo *info) override
    {
        return m_driver.enumDevice(index, reinterpret_cast<uint8_t *>(info));
    }
    int32_t setPointingDeviceDestination(int32_t h, int32_t a, int32_t b, int32_t c) override
    {
        return note("setPointingDeviceDestination", h, a, b, c);
    }
    int32_t setPointingDeviceDestinationEx(int32_t h, int32_t a, int32_t b, int32_t c, bool flag) override
    {
        return note("setPointingDeviceDestinationEx", h, a, b, c, flag);
    }
    uint8_t getPointingDeviceDestination(int32_t h, int32_t a, int32_t b) override
    {
        return uint8_t(ask("getPointingDeviceDestination", 0xFF, h, a, b));
    }
    int32_t setTouchDestination(int32_t h, int32_t mode) override { return note("setTouchDestination", h, mode); }
    int32_t setTouchDestinationEx(int32_t h, int32_t mode, bool flag) override
    {
        return note("setTouchDestinationEx", h, mode, flag);
    }
    uint8_t getTouchDestination(int32_t h) override { return uint8_t(ask("getTouchDestination", 0xFF, h)); }
    int32_t setTouchEnabled(int32_t h, bool on) override { return note("setTouchEnabled", h, on); }
    bool getTouchEnabled(int32_t) override { return true; }
    int32_t setTouchSystemRedirectionEnabled(int32_t h, bool on) override
    {
        return note("setTouchSystemRedirectionEnabled", h, on);
    }
    bool getTouchSystemRedirectionEnabled(int32_t h) override
    {
        return ask("getTouchSystemRedirectionEnabled", 1, h) == 1;
    }
    int32_t setLATEDetection(int32_t h, int32_t on) override { return note("setLATEDetection", h, on); }
    uint8_t getLATEDetection(int32_t h) override { return uint8_t(ask("getLATEDetection", 0xFF, h)); }
    bool isSomethingOnBoard(int32_t) override { return false; }
    int32_t setTwoFingerScroll(intptr_t, intptr_t) override { return 0; }
    int32_t openSynchronousChannel(intptr_t, intptr_t, intptr_t) override { return -1; }
    int32_t closeSynchronousChannel(intptr_t, intptr_t) override { return 0; }
    int32_t readSynchronousPacket(intptr_t, intptr_t, intptr_t, intptr_t, intptr_t) override { return -1; }
    bool setCalibrationMode(intptr_t, intptr_t) override { return false; }
    int32_t setCalibrationData(intptr_t, intptr_t) override { return 0; }
    int32_t setWirelessCalibrationData(intptr_t, intptr_t) override { return 0; }
    int32_t getCalibrationPoints(intptr_t, intptr_t, intptr_t) override { return 0; }
    uint8_t getHIDCoordinateReportMode(int32_t h) override { return uint8_t(ask("getHIDCoordinateReportMode", 0, h)); }
    int32_t setHIDCoordinateReportMode(int32_t h, int32_t mode) override
    {
        return note("setHIDCoordinateReportMode", h, mode);
    }
    int32_t libraryVersionNumber(intptr_t, intptr_t, intptr_t, intptr_t) override { return 0; }
    int32_t lock() override { return m_driver.record(QStringLiteral("lock")), 0; }
    int32_t unlock() override { return m_driver.record(QStringLiteral("unlock")), 0; }
    bool serialConnect(intptr_t) override { return false; }
    bool serialDisconnect() override { return false; }
    bool serialGetConnected(intptr_t) override { return false; }
    int32_t serialSetStartupMode(intptr_t) override { return 0; }
    int32_t serialGetStartupMode() override { return 0; }
    int32_t setDoubleClickDistance(intptr_t, intptr_t) override { return 0; }
    int32_t setDriverDebugMode(intptr_t, intptr_t, intptr_t) override { return 0; }
    int32_t echo(intptr_t, intptr_t, intptr_t) override { return 0; }
    int32_t inject(intptr_t, intptr_t, intptr_t) override { return 0; }
    int32_t sendTouchPacketToSystem(int32_t h, uint8_t length, const uint8_t *data) override
    {
        const QByteArray hex = QByteArray(reinterpret_cast<const char *>(data), length).toHex();
        m_driver.record(QStringLiteral("sendTouchPacketToSystem(%1,%2,%3)").arg(h).arg(int(length)).arg(hex));
        return 0;
    }
    bool isLoaded() const override { return m_driver.loaded; }

private:
    template <class... Args>
    int32_t note(const char *name, Args... args)
    {
        const QStringList values{QString::number(int(args))...};
        m_driver.record(QStringLiteral("%1(%2)").arg(QLatin1String(name), values.join(u',')));
        return 0;
    }
    // Logs the call and answers what the test set for it, or fallback.
    template <class... Args>
    int ask(const char *name, int fallback, Args... args)
    {
        note(name, args...);
        return m_driver.answer(QLatin1String(name), fallback);
    }

    FakeDriver &m_driver;
};

// An OrvexSystem that a test constructs and owns, bound to a FakeDriver.
class TestSystem : public Orvexsystem::OrvexSystem
{
public:
    explicit TestSystem(FakeDriver &driver) : m_driver(driver) {}
    ~TestSystem() override { shutdown(); }

    // When set, makes the hub objects instead of the library's hub kinds.
    std::function<Orvexsystem::Hub *(TestSystem *, int kind, int handle, quint64 uid)> hubFactory;

    using OrvexSystem::isValidLegacyhubHandle;
    using OrvexSystem::isValidOrvexhubHandle;
    using OrvexSystem::processPacketCallback;
    using OrvexSystem::updateHubs;

protected:
    Orvexsystem::AbstractHardwareWrapper *createWrapper() override { return new FakeWrapper(m_driver); }
    Orvexsystem::Hub *createHub(const Orvexsystem::DriverDeviceInfo &record) override
    {
        if (hubFactory)
            return hubFactory(this, record.kind, record.handle, record.uid());
        return OrvexSystem::createHub(record);
    }

private:
    FakeDriver &m_driver;
};

} // namespace OrvexTest

#endif
