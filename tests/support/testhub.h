#ifndef ORVEX_TESTS_TESTHUB_H
#define ORVEX_TESTS_TESTHUB_H

// A concrete hub for tests: the 8-byte pen form, touch, a simple PIN naming
// reply, and hooks that let a test see or hold its packets and re-reads.

#include "hub/hub_p.h"
#include "hub/pendecoder.h"

#include <orvexsystem/hub.h>

#include <atomic>
#include <functional>

namespace OrvexTest {

// Takes every packet: lets a test see what reaches the waiting handler.
struct AnyReply : Orvexsystem::HubResponse
{
    AnyReply() = default;
    explicit AnyReply(const QByteArray &p) : packet(p) { m_bValid = true; }
    static bool isValid(const QByteArray &) { return true; }
    QByteArray packet;
};

class TestHub : public Orvexsystem::Hub
{
public:
    // withPens: the hub keeps pen states, and sends their commands now.
    TestHub(Orvexsystem::OrvexSystem *system, int handle, quint64 uid = 0x1122334455667788ULL,
            bool withPens = true)
        : Hub(system, handle, uid, true, 900)
    {
        addResponseHandler<AnyReply>();
        if (withPens)
            createPenStates();
    }
    ~TestHub() override
    {
        if (destroyed)
            destroyed->store(true);
    }

    using Hub::getTouchData;
    using Hub::getTouchStatus;
    using Hub::readVirtualVoteFile;
    using Hub::recordError;
    using Hub::responseHandler;
    using Hub::sendAndWait;
    using Hub::setSession;
    using Hub::setSessionState;
    using Hub::SessionState;

    Orvexsystem::IResponseHandler *currentResponseHandler() const
    {
        return hubPrivate()->currentHandler.load();
    }
    void setCurrentResponseHandler(Orvexsystem::IResponseHandler *handler)
    {
        hubPrivate()->currentHandler.store(handler);
    }

    void processPacket(const QByteArray &packet) override
    {
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
    int penCount() const override { return 1; }
    Type type() override { return Type_TwoPointFourGHz; }
    bool getDeviceCount(Orvexsystem::Device::Type, int *) override { return false; }
    bool getDeviceList(Orvexsystem::Device::Type, QList<Orvexsystem::Device *> *) override { return false; }
    bool getCompleteDeviceList(QList<Orvexsystem::Device *> *) override { return false; }
    // Device ids are the address + 1000; address 0 is unknown.
    unsigned int getDeviceId(unsigned int address) override { return address == 0 ? 0 : address + 1000; }

    std::function<void(const QByteArray &)> onPacket;
    std::function<void()> onReread;
    std::atomic<int> rereads{0};
    std::atomic<bool> *destroyed = nullptr;

protected:
    bool isPenPacket(const QByteArray &packet) override { return Orvexsystem::PenPacket8::isPenPacket(packet); }
    void getPenData(const QByteArray &packet, quint8 &penId, int &x, int &y, bool &tip, bool &barrel,
                    bool &proximity) override
    {
        Orvexsystem::PenSample s;
        Orvexsystem::PenPacket8::decode(packet, s);
        penId = s.penId, x = s.x, y = s.y, tip = s.tip, barrel = s.barrel, proximity = s.proximity;
    }
    bool isTouchSupported() override { return true; }
    // PIN naming replies: control 0x77, byte 2 the uid, the rest the text.
    bool processPinNamingSessionResponse(const QByteArray &packet, quint32 &uid, QString &response) override
    {
        if (packet.size() < 3 || quint8(packet.at(1)) != 0x77)
            return false;
        uid = quint8(packet.at(2));
        response = QString::fromLatin1(packet.mid(3));
        return true;
    }
    bool setHubBusyCallback(HubBusyCallback, void *) override { return false; }
};

} // namespace OrvexTest

#endif
