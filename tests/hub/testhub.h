#ifndef ORVEX_TESTS_HUB_TESTHUB_H
#define ORVEX_TESTS_HUB_TESTHUB_H

// A concrete hub for the base class's tests, a session that decodes a
// simple vote packet, and a fixture that binds them to the fake driver.

#include "hub/hub_p.h"
#include "hub/pendecoder.h"
#include "sessions/orvexsession.h"
#include "support/fakedriver.h"
#include "support/packets.h"

#include <orvexsystem/hub.h>

#include <gtest/gtest.h>

#include <QtCore/QMap>

#include <atomic>
#include <memory>

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
    Q_OBJECT
public:
    TestHub(Orvexsystem::OrvexSystem *system, int handle, bool connected = true)
        : Hub(system, handle, 0x1122334455667788ULL, connected, 900)
    {
        addResponseHandler<AnyReply>();
        createPenStates();
    }

    using Hub::currentResponseHandler;
    using Hub::findPenEvent;
    using Hub::getTouchData;
    using Hub::getTouchStatus;
    using Hub::readVirtualVoteFile;
    using Hub::recordError;
    using Hub::responseHandler;
    using Hub::sendAndWait;
    using Hub::setCurrentResponseHandler;
    using Hub::setSession;
    using Hub::setSessionState;
    using Hub::SessionState;

    bool isHubBusy() override { return false; }
    bool hasQX5Board() const override { return false; }
    bool supportsRegistration() const override { return false; }
    int penCount() const override { return 1; }
    Type type() override { return Type_TwoPointFourGHz; }
    bool getDeviceCount(Orvexsystem::Device::Type, int *) override { return false; }
    bool getDeviceList(Orvexsystem::Device::Type, QList<Orvexsystem::Device *> *) override
    {
        return false;
    }
    bool getCompleteDeviceList(QList<Orvexsystem::Device *> *) override { return false; }
    void readRegisteredDevicesLists() override { ++reads; }
    // Device ids are the address + 1000; address 0 is unknown.
    unsigned int getDeviceId(unsigned int address) override
    {
        return address == 0 ? 0 : address + 1000;
    }

    std::atomic<int> reads{0};

protected:
    bool isPenPacket(const QByteArray &packet) override
    {
        return Orvexsystem::PenPacket8::isPenPacket(packet);
    }
    void getPenData(const QByteArray &packet, quint8 &penId, int &x, int &y, bool &tip,
                    bool &barrel, bool &proximity) override
    {
        Orvexsystem::PenSample s;
        Orvexsystem::PenPacket8::decode(packet, s);
        penId = s.penId;
        x = s.x;
        y = s.y;
        tip = s.tip;
        barrel = s.barrel;
        proximity = s.proximity;
    }
    bool isTouchSupported() override { return true; }
    // PIN naming replies: control 0x77, byte 2 the uid, the rest the text.
    bool processPinNamingSessionResponse(const QByteArray &packet, quint32 &uid,
                                         QString &response) override
    {
        if (packet.size() < 3 || quint8(packet.at(1)) != 0x77)
            return false;
        uid = quint8(packet.at(2));
        response = QString::fromLatin1(packet.mid(3));
        return true;
    }
    bool setHubBusyCallback(HubBusyCallback, void *) override { return false; }
};

// Votes: 5 bytes, byte 1 = 0x65, byte 2 the sender address, byte 3 the
// option, byte 4 the battery flag.
class TestVoteSession : public Orvexsystem::OrvexSession
{
public:
    TestVoteSession(bool votingHandset, Orvexsystem::Hub::VoteCallback callback, void *context)
        : OrvexSession(Orvexsystem::Hub::Type_TwoPointFourGHz,
                       Orvexsystem::Hub::ConnectionType_Usb),
          m_votingHandset(votingHandset), m_callback(callback), m_context(context)
    {
    }
    QByteArray startCommand() override { return QByteArray(":VB\r"); }
    bool isSessionPacket(const QByteArray &p) override
    {
        return p.size() == 5 && quint8(p.at(1)) == 0x65;
    }
    bool processPacket(const QByteArray &p) override
    {
        setVote(quint8(p.at(2)), quint8(p.at(3)), quint8(p.at(4)));
        return true;
    }
    bool isVotingHandsetSession() const override { return m_votingHandset; }
    Orvexsystem::Hub::VoteCallback voteCallback() const override { return m_callback; }
    void *voteCallbackContext() const override { return m_context; }

private:
    bool m_votingHandset;
    Orvexsystem::Hub::VoteCallback m_callback;
    void *m_context;
};

// An initialised system on the fake driver with no hubs of its own, and a
// TestHub whose packets the fake driver delivers on its thread.
class HubFixture : public ::testing::Test
{
protected:
    static constexpr int Handle = 7;

    void SetUp() override
    {
        ASSERT_TRUE(system.initialise());
        hub = std::make_unique<TestHub>(&system, Handle);
        driver.setCallback(Handle, &HubFixture::deliver, hub.get());
        driver.clearLog();
    }
    void TearDown() override
    {
        driver.clearCallback(Handle);
        // The hub is not in the system's table, yet it posts re-read events:
        // the event thread is stopped before the hub goes.
        system.shutdown();
        hub.reset();
    }
    static void deliver(int32_t, const uint8_t *data, uint32_t length, void *context)
    {
        static_cast<TestHub *>(context)->processPacket(
            QByteArray(reinterpret_cast<const char *>(data), int(length)));
    }
    // Answers ":QT" with a touch-status reply built by reply(n), n counting
    // the queries from 1.
    void answerTouchQueries(std::function<QByteArray(int)> reply)
    {
        auto counter = std::make_shared<std::atomic<int>>(0);
        driver.setResponder([reply, counter](int, const QByteArray &command) {
            if (command != QByteArray(":QT\r"))
                return QList<QByteArray>();
            return QList<QByteArray>{reply(++*counter)};
        });
    }
    int writesOf(const QByteArray &command) const
    {
        return int(driver.writes(Handle).count(command));
    }

    FakeDriver driver;
    TestSystem system{driver};
    std::unique_ptr<TestHub> hub;
};

} // namespace OrvexTest

#endif
