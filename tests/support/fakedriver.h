#ifndef ORVEX_TESTS_FAKEDRIVER_H
#define ORVEX_TESTS_FAKEDRIVER_H

#include <orvexsystem/abstracthardwarewrapper.h>
#include <orvexsystem/system.h>

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QMap>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <atomic>
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
    void setHubs(const QList<HubRecord> &hubs);
    // Records handed out byte for byte instead of those of setHubs(); each
    // is cut or zero-padded to the record size.
    void setRawRecords(const QList<QByteArray> &records);
    void addHub(const HubRecord &hub);
    void removeHub(int handle);
    void setResponder(Responder responder);
    void setWriteResult(int result);
    // Answers of the driver's getters, by operation name.
    void setAnswer(const QString &operation, int value);

    // Queues a packet for the delivery thread.
    void deliverLater(int handle, const QByteArray &packet);
    // Calls the hub's packet callback on this thread.
    void deliverNow(int handle, const QByteArray &packet);
    // Calls the plug-and-play callback on the delivery thread.
    void notifyPnp();
    // Waits until the delivery thread has handed over everything queued.
    bool waitIdle(int timeoutMs = 5000);

    // What the system did.
    QStringList log() const;
    int count(const QString &operationPrefix) const;
    QList<QByteArray> writes(int handle) const;
    void clearLog();
    bool hasCallback(int handle) const;
    bool waitForWrite(int handle, const QByteArray &prefix, int timeoutMs = 5000) const;

    // The binding's side.
    int answer(const QString &operation, int fallback) const;
    void record(const QString &entry);
    int write(int handle, const QByteArray &data);
    int deviceCount() const;
    bool enumDevice(int index, uint8_t *info) const;
    void setCallback(int handle, OrvexPacketCallback callback, void *context);
    void clearCallback(int handle);
    void setPnp(OrvexPnpCallback callback, void *context);

private:
    struct Delivery
    {
        bool pnp = false;
        int handle = 0;
        QByteArray packet;
    };
    void run();

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    QList<HubRecord> m_hubs;
    QList<QByteArray> m_rawRecords;
    Responder m_responder;
    int m_writeResult = 0;
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

// The binding the system gets: forwards to a FakeDriver.
class FakeWrapper : public Orvexsystem::AbstractHardwareWrapper
{
public:
    explicit FakeWrapper(FakeDriver &driver);
    ~FakeWrapper() override;

    int32_t initialise() override;
    int32_t detach() override;
    int32_t getInterface() override;
    int32_t setCallback(int32_t handle, OrvexPacketCallback callback, void *context) override;
    int32_t clearCallback(int32_t handle, OrvexPacketCallback callback, void *context) override;
    int32_t setPnpCallback(OrvexPnpCallback callback, void *context) override;
    int32_t clearPnpCallback(OrvexPnpCallback callback, void *context) override;
    int32_t sendCommand(intptr_t a, intptr_t b) override;
    int32_t writePacket(int32_t handle, const uint8_t *data, int32_t length) override;
    int32_t setXferMask(int32_t handle, int32_t mask) override;
    int32_t getDeviceCount() override;
    bool enumDeviceInfo(int32_t index, uint8_t *info) override;
    int32_t setPointingDeviceDestination(int32_t handle, int32_t a, int32_t b,
                                         int32_t c) override;
    int32_t setPointingDeviceDestinationEx(int32_t handle, int32_t a, int32_t b, int32_t c,
                                           bool flag) override;
    uint8_t getPointingDeviceDestination(int32_t handle, int32_t a, int32_t b) override;
    int32_t setTouchDestination(int32_t handle, int32_t mode) override;
    int32_t setTouchDestinationEx(int32_t handle, int32_t mode, bool flag) override;
    uint8_t getTouchDestination(int32_t handle) override;
    int32_t setTouchEnabled(int32_t handle, bool enabled) override;
    bool getTouchEnabled(int32_t handle) override;
    int32_t setTouchSystemRedirectionEnabled(int32_t handle, bool enabled) override;
    bool getTouchSystemRedirectionEnabled(int32_t handle) override;
    int32_t setLATEDetection(int32_t handle, int32_t enabled) override;
    uint8_t getLATEDetection(int32_t handle) override;
    bool isSomethingOnBoard(int32_t handle) override;
    int32_t setTwoFingerScroll(intptr_t a, intptr_t b) override;
    int32_t openSynchronousChannel(intptr_t a, intptr_t b, intptr_t c) override;
    int32_t closeSynchronousChannel(intptr_t a, intptr_t b) override;
    int32_t readSynchronousPacket(intptr_t a, intptr_t b, intptr_t c, intptr_t d,
                                  intptr_t e) override;
    bool setCalibrationMode(intptr_t a, intptr_t b) override;
    int32_t setCalibrationData(intptr_t a, intptr_t b) override;
    int32_t setWirelessCalibrationData(intptr_t a, intptr_t b) override;
    int32_t getCalibrationPoints(intptr_t a, intptr_t b, intptr_t c) override;
    uint8_t getHIDCoordinateReportMode(int32_t handle) override;
    int32_t setHIDCoordinateReportMode(int32_t handle, int32_t mode) override;
    int32_t libraryVersionNumber(intptr_t a, intptr_t b, intptr_t c, intptr_t d) override;
    int32_t lock() override;
    int32_t unlock() override;
    bool serialConnect(intptr_t a) override;
    bool serialDisconnect() override;
    bool serialGetConnected(intptr_t a) override;
    int32_t serialSetStartupMode(intptr_t a) override;
    int32_t serialGetStartupMode() override;
    int32_t setDoubleClickDistance(intptr_t a, intptr_t b) override;
    int32_t setDriverDebugMode(intptr_t a, intptr_t b, intptr_t c) override;
    int32_t echo(intptr_t a, intptr_t b, intptr_t c) override;
    int32_t inject(intptr_t a, intptr_t b, intptr_t c) override;
    int32_t sendTouchPacketToSystem(int32_t handle, uint8_t length,
                                    const uint8_t *data) override;
    bool isLoaded() const override;

private:
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
    Orvexsystem::AbstractHardwareWrapper *createWrapper() override
    {
        return new FakeWrapper(m_driver);
    }
    Orvexsystem::Hub *createHub(int kind, Orvexsystem::HubHandle_t handle, quint64 uid,
                                int connectionType, int version,
                                const QString &description) override
    {
        if (hubFactory)
            return hubFactory(this, kind, handle, uid);
        return OrvexSystem::createHub(kind, handle, uid, connectionType, version, description);
    }

private:
    FakeDriver &m_driver;
};

} // namespace OrvexTest

#endif
