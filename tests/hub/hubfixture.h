#ifndef ORVEX_TESTS_HUB_HUBFIXTURE_H
#define ORVEX_TESTS_HUB_HUBFIXTURE_H

// A session that decodes a simple vote packet, and a fixture that binds a
// TestHub to the fake driver.

#include "sessions/orvexsession.h"
#include "support/fakedriver.h"
#include "support/packets.h"
#include "support/testhub.h"

#include <gtest/gtest.h>

#include <memory>

namespace OrvexTest {

// Votes: 5 bytes, byte 1 = 0x65, byte 2 the sender address, byte 3 the
// option, byte 4 the battery flag.
class TestVoteSession : public Orvexsystem::OrvexSession
{
public:
    TestVoteSession(bool votingHandset, Orvexsystem::Hub::VoteCallback callback, void *context)
        : OrvexSession(Orvexsystem::Hub::Type_TwoPointFourGHz, Orvexsystem::Hub::ConnectionType_Usb),
          m_votingHandset(votingHandset), m_callback(callback), m_context(context)
    {
    }
    QByteArray startCommand() override { return QByteArray(":VB\r"); }
    bool isSessionPacket(const QByteArray &p) override { return p.size() == 5 && quint8(p.at(1)) == 0x65; }
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
        static_cast<TestHub *>(context)->processPacket(QByteArray(reinterpret_cast<const char *>(data), int(length)));
    }
    // Answers ":QT" with a touch-status reply built by reply(n), n counting
    // the queries from 1.
    void answerTouchQueries(std::function<QByteArray(int)> reply)
    {
        auto counter = std::make_shared<std::atomic<int>>(0);
        driver.setResponder([reply, counter](int, const QByteArray &command) {
            return command == ":QT\r" ? QList<QByteArray>{reply(++*counter)} : QList<QByteArray>();
        });
    }
    int writesOf(const QByteArray &command) const { return int(driver.writes(Handle).count(command)); }
    Orvexsystem::ResponseHandler<AnyReply> *anyHandler()
    {
        auto *handler = static_cast<Orvexsystem::ResponseHandler<AnyReply> *>(hub->responseHandler<AnyReply>());
        hub->setCurrentResponseHandler(handler);
        return handler;
    }

    FakeDriver driver;
    TestSystem system{driver};
    std::unique_ptr<TestHub> hub;
};

} // namespace OrvexTest

#endif
