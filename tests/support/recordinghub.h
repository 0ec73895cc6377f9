#ifndef ORVEX_TESTS_RECORDINGHUB_H
#define ORVEX_TESTS_RECORDINGHUB_H

#include <orvexsystem/hub.h>

#include <QtCore/QList>

#include <atomic>
#include <functional>
#include <mutex>

namespace OrvexTest {

// A hub kind for tests of the system core: it records the packets it is
// given and the re-reads it is asked for, and lets a test hold either.
class RecordingHub : public Orvexsystem::Hub
{
public:
    RecordingHub(Orvexsystem::OrvexSystem *system, int handle, quint64 uid)
        : Hub(system, handle, uid, true, 0x100)
    {
    }
    ~RecordingHub() override
    {
        if (destroyed)
            destroyed->store(true);
    }

    QList<QByteArray> packets() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_packets;
    }

    void processPacket(const QByteArray &packet) override
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_packets.append(packet);
        }
        if (onPacket)
            onPacket(packet);
        Hub::processPacket(packet);
    }
    void readRegisteredDevicesLists() override
    {
        if (onReread)
            onReread();
        rereads.fetch_add(1);
    }

    bool isHubBusy() override { return false; }
    bool hasQX5Board() const override { return false; }
    bool supportsRegistration() const override { return false; }
    int penCount() const override { return 0; }
    Type type() override { return Type_TwoPointFourGHz; }
    bool getDeviceCount(Orvexsystem::Device::Type, int *) override { return false; }
    bool getDeviceList(Orvexsystem::Device::Type, QList<Orvexsystem::Device *> *) override
    {
        return false;
    }
    bool getCompleteDeviceList(QList<Orvexsystem::Device *> *) override { return false; }
    unsigned int getDeviceId(unsigned int) override { return 0; }

    std::function<void(const QByteArray &)> onPacket;
    std::function<void()> onReread;
    std::atomic<int> rereads{0};
    std::atomic<bool> *destroyed = nullptr;

protected:
    bool isPenPacket(const QByteArray &) override { return false; }
    void getPenData(const QByteArray &, quint8 &, int &, int &, bool &, bool &, bool &) override {}
    bool isTouchSupported() override { return false; }
    bool processPinNamingSessionResponse(const QByteArray &, quint32 &, QString &) override
    {
        return false;
    }
    bool setHubBusyCallback(HubBusyCallback, void *) override { return false; }

private:
    mutable std::mutex m_mutex;
    QList<QByteArray> m_packets;
};

} // namespace OrvexTest

#endif
