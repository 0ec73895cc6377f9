// The virtual hub against the simulated driver and a loopback response
// server: its commands and generic packets byte for byte, the enhanced
// generic session's state rules, and registration with a PIN handed out by
// the server.

#include "responseserverfake.h"
#include "support/wait.h"

#include <orvexsim.h>
#include <orvexsystem/enhancedgenericsession.h>
#include <orvexsystem/system.h>
#include <orvexsystem/virtualtwopointfourghzhub.h>

#include <gtest/gtest.h>

#include <QtCore/QMetaMethod>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

using namespace Orvexsystem;
using namespace OrvexTest;

namespace {

const int VirtualHandle = 4;
const int RadioHandle = 3;
const quint32 Ana = 0x09000001;      // registered, address 0x0102
const quint32 Newcomer = 0x09000002; // waiting to register, address 0x0103
const QHostAddress serverAddress(QStringLiteral("127.0.0.3"));

// Messages reported, with the thread they came on.
struct Messages
{
    std::mutex mutex;
    QList<QPair<quint32, QByteArray>> entries;
    bool onTestThread = false;
    const std::thread::id test = std::this_thread::get_id();

    void add(quint32 uid, const QByteArray &message)
    {
        std::lock_guard<std::mutex> lock(mutex);
        entries.append({uid, QByteArray(message.constData(), message.size())});
        onTestThread = onTestThread || std::this_thread::get_id() == test;
    }
    int size()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return int(entries.size());
    }
    QPair<quint32, QByteArray> at(int i)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return entries.at(i);
    }
    static void record(EnhancedGenericSession *, unsigned int uid, const QByteArray &m, void *c)
    {
        static_cast<Messages *>(c)->add(uid, m);
    }
};

class SimVirtualHub : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The server is found by its announcement to a port of this test's
        // own; nothing listens at the configured address.
        const quint16 udpPort = freeUdpPort();
        announcer = std::make_unique<Announcer>(
            udpPort, "Halvern addr<127.0.0.3> port<" + QByteArray::number(server.port()) + ">");
        scratch.writeSettings(QStringLiteral("127.0.0.2"), closedTcpPort(serverAddress), udpPort);

        ASSERT_EQ(orvexsim_reset(), 0);
        ASSERT_EQ(orvexsim_set_handset_delay_ms(ORVEXSIM_ALL_HUBS, ORVEXSIM_ALL_HANDSETS, 0, 0), 0);
        ASSERT_EQ(orvexsim_use_empty_classroom(), 0);
        ASSERT_EQ(orvexsim_add_hub(ORVEXSIM_KIND_VIRTUAL_RF, VirtualHandle, 0x1234,
                                   ORVEXSIM_CONNECTION_USB, 0x0301, "p0://h:p2:p3:p4"),
                  0);
        ASSERT_EQ(orvexsim_set_hub_name(VirtualHandle, "Room4"), 0);
        ASSERT_EQ(orvexsim_register_device(VirtualHandle, ORVEXSIM_CLASS_EXPRESSION, Ana, 0x0102,
                                           "Ana"),
                  0);
        ASSERT_EQ(orvexsim_add_hub(ORVEXSIM_KIND_RF, RadioHandle, 0x5678, ORVEXSIM_CONNECTION_USB,
                                   0x0301, nullptr),
                  0);
        ASSERT_EQ(orvexsim_register_device(RadioHandle, ORVEXSIM_CLASS_EXPRESSION, Ana, 0x0102,
                                           "Ana"),
                  0);
        ASSERT_TRUE(OrvexSystem::instance().initialise());
        QList<Hub *> hubs;
        OrvexSystem::instance().getHubList(&hubs);
        for (Hub *h : std::as_const(hubs)) {
            if (h->handle() == VirtualHandle)
                hub = qobject_cast<VirtualTwoPointFourGHzHub *>(h);
            else if (h->handle() == RadioHandle)
                radio = qobject_cast<TwoPointFourGHzHub *>(h);
        }
        ASSERT_NE(hub, nullptr);
        ASSERT_NE(radio, nullptr);
        ASSERT_EQ(orvexsim_wait_idle(5000), 0);
        orvexsim_clear_writes(VirtualHandle);
        orvexsim_clear_writes(RadioHandle);
    }
    void TearDown() override { OrvexSystem::instance().shutdown(); }

    static QList<QByteArray> writes(int handle)
    {
        QList<QByteArray> out;
        for (int i = 0; i < orvexsim_write_count(handle); ++i) {
            QByteArray w(256, '\0');
            w.resize(orvexsim_get_write(handle, i, reinterpret_cast<uint8_t *>(w.data()),
                                        int(w.size())));
            out << w;
        }
        return out;
    }
    static void inject(const QByteArray &packet)
    {
        ASSERT_EQ(orvexsim_inject_packet(VirtualHandle,
                                         reinterpret_cast<const uint8_t *>(packet.constData()),
                                         int(packet.size())),
                  0);
    }

    LinkScratch scratch;
    FakeServer server{serverAddress};
    std::unique_ptr<Announcer> announcer;
    VirtualTwoPointFourGHzHub *hub = nullptr;
    TwoPointFourGHzHub *radio = nullptr;
};

const QByteArray genericFromAna("\x00\x00\x00\x07\xE1\x01\x02HI", 9);
const QByteArray genericFromNobody("\x00\x00\x00\x07\xE1\x00\x00H", 8);

} // namespace

TEST_F(SimVirtualHub, NameAndGenericMessagesByteForByte)
{
    EXPECT_TRUE(hub->isVirtualHub());
    EXPECT_EQ(hub->name(), QStringLiteral("Room4"));
    EXPECT_EQ(writes(VirtualHandle), QList<QByteArray>{QByteArray(":GL\r")});

    EnhancedGenericSession *session = hub->getEnhancedGenericSession();
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session, hub->getEnhancedGenericSession());
    EXPECT_EQ(session->getHub(), hub);
    Messages messages;
    session->setDeviceMessageReceivedCallback(&Messages::record, &messages);
    int signals = 0;
    // Queued to this thread, where the session lives.
    QObject::connect(session, &EnhancedGenericSession::deviceMessageReceived, session,
                     [&](EnhancedGenericSession *s, quint32, QByteArray) {
                         EXPECT_EQ(s, session);
                         ++signals;
                     });

    orvexsim_clear_writes(VirtualHandle);
    ASSERT_TRUE(session->startSession());
    ASSERT_TRUE(session->startSession()); // started: nothing sent
    EXPECT_EQ(writes(VirtualHandle), QList<QByteArray>{QByteArray(":AE001\r")});

    // Ana echoes what she is sent; the echo comes back with her uid.
    ASSERT_EQ(orvexsim_set_generic_reply(VirtualHandle, Ana, ORVEXSIM_GENERIC_ECHO, nullptr, 0), 0);
    ASSERT_TRUE(session->sendAsyncMessage(Ana, "ABC"));
    EXPECT_EQ(writes(VirtualHandle).last(), QByteArray(":AE002\r\x01\x02\x00\x00\x03" "ABC", 15));
    ASSERT_TRUE(waitFor([&] { return messages.size() == 1; }));
    EXPECT_EQ(messages.at(0), qMakePair(Ana, QByteArray("ABC")));

    // A packet from an address the hub does not know comes with uid 0.
    inject(genericFromNobody);
    ASSERT_TRUE(waitFor([&] { return messages.size() == 2; }));
    EXPECT_EQ(messages.at(1), qMakePair(0u, QByteArray("H")));
    EXPECT_FALSE(messages.onTestThread);

    // Without the callback, the signal (queued to this thread), never both.
    session->setDeviceMessageReceivedCallback(nullptr, nullptr);
    inject(genericFromAna);
    ASSERT_TRUE(waitFor([&] { return signals == 1; }));
    EXPECT_EQ(messages.size(), 2);

    // Nobody to send to: false, nothing sent.
    const int sent = orvexsim_write_count(VirtualHandle);
    EXPECT_FALSE(session->sendAsyncMessage(0x09999999, "x"));
    EXPECT_EQ(orvexsim_write_count(VirtualHandle), sent);

    // Ended, the session drops what still comes.
    session->setDeviceMessageReceivedCallback(&Messages::record, &messages);
    ASSERT_TRUE(session->stopSession());
    EXPECT_EQ(writes(VirtualHandle).last(), QByteArray(":VE\r"));
    EXPECT_FALSE(session->stopSession());
    EXPECT_EQ(writes(VirtualHandle).last(), QByteArray(":VE\r"));
    inject(genericFromAna);
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    spinEvents(50);
    EXPECT_EQ(messages.size(), 2);
    EXPECT_EQ(signals, 1);
}

TEST_F(SimVirtualHub, GenericSessionRulesOnEachHubKind)
{
    // The signal's signature as the meta-object names it.
    const QMetaObject &meta = EnhancedGenericSession::staticMetaObject;
    const int index = meta.indexOfSignal(
        "deviceMessageReceived(Orvexsystem::EnhancedGenericSession*,quint32,QByteArray)");
    ASSERT_GE(index, 0);
    EXPECT_EQ(meta.method(index).parameterNames(),
              (QList<QByteArray>{"pSession", "uid", "message"}));

    // A 2.4 GHz hub: everything succeeds and nothing reaches the hub.
    EnhancedGenericSession *onRadio = radio->getEnhancedGenericSession();
    ASSERT_NE(onRadio, nullptr);
    EXPECT_TRUE(onRadio->startSession());
    EXPECT_TRUE(onRadio->sendAsyncMessage(Ana, "x"));
    EXPECT_TRUE(onRadio->stopSession());
    EXPECT_TRUE(writes(RadioHandle).isEmpty());

    // A session made separately sends but never receives.
    EnhancedGenericSession separate(hub);
    EXPECT_FALSE(separate.stopSession()); // not started: the hub is not contacted
    EXPECT_TRUE(writes(VirtualHandle).isEmpty());
    Messages own;
    Messages mine;
    separate.setDeviceMessageReceivedCallback(&Messages::record, &mine);
    hub->getEnhancedGenericSession()->setDeviceMessageReceivedCallback(&Messages::record, &own);
    ASSERT_TRUE(separate.startSession());
    ASSERT_TRUE(separate.sendAsyncMessage(Ana, "A"));
    inject(genericFromAna);
    ASSERT_TRUE(waitFor([&] { return own.size() == 1; }));
    EXPECT_EQ(mine.size(), 0);

    // Outside the generic session the packet takes the 2.4 GHz path.
    ASSERT_TRUE(separate.stopSession());
    inject(genericFromAna);
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    spinEvents(50);
    EXPECT_EQ(own.size(), 1);

    // Another session open: the generic one is refused, the other kept.
    ASSERT_TRUE(hub->startExpressionRegistrationSession(1, 1, 1, RegistrationCode()));
    EXPECT_FALSE(separate.startSession());
    EXPECT_EQ(hub->getLastError(), Hub::Error_CannotStartSessionBecauseCurrentlyInSession);
    EXPECT_TRUE(hub->stopExpressionRegistrationSession());

    // Disconnected: refused.
    ASSERT_EQ(orvexsim_unplug_hub(VirtualHandle), 0);
    ASSERT_TRUE(waitFor([&] { return !hub->isConnected(); }));
    EXPECT_FALSE(separate.startSession());
    EXPECT_EQ(hub->getLastError(), Hub::Error_NotConnected);
    EXPECT_EQ(hub->name(), QStringLiteral("???"));
}

TEST_F(SimVirtualHub, MessagesQueuedWhenTheSessionEndsAreDropped)
{
    // The first message holds the event thread while more queue up behind
    // it; the session then ends. None of the queued ones may be reported.
    struct Context
    {
        Gate gate;
        std::atomic<bool> ended{false};
        std::atomic<int> delivered{0};
        std::atomic<int> late{0};
    } context;
    EnhancedGenericSession *session = hub->getEnhancedGenericSession();
    session->setDeviceMessageReceivedCallback(
        [](EnhancedGenericSession *, unsigned int, const QByteArray &, void *c) {
            auto *ctx = static_cast<Context *>(c);
            if (ctx->ended.load())
                ctx->late.fetch_add(1);
            if (ctx->delivered.fetch_add(1) == 0)
                ctx->gate.block();
        },
        &context);
    ASSERT_TRUE(session->startSession());
    inject(genericFromAna);
    ASSERT_TRUE(context.gate.waitEntered());
    ASSERT_EQ(orvexsim_inject_repeated(VirtualHandle,
                                       reinterpret_cast<const uint8_t *>(genericFromAna.constData()),
                                       int(genericFromAna.size()), 200),
              0);
    ASSERT_EQ(orvexsim_wait_idle(5000), 0); // all of them queued for the event thread

    std::atomic<bool> stopResult{false};
    std::thread stopper([&] { stopResult.store(session->stopSession()); });
    // The session is over once its end command leaves.
    EXPECT_GE(orvexsim_wait_for_command(VirtualHandle, ":VE", 5000), 0);
    context.ended.store(true);
    context.gate.open();
    stopper.join();
    EXPECT_TRUE(stopResult.load());
    spinEvents(200);
    EXPECT_EQ(context.late.load(), 0);
    EXPECT_EQ(context.delivered.load(), 1);
}

TEST_F(SimVirtualHub, RegistersAnExpressionHandsetWithTheServersPin)
{
    server.script({{QByteArray("\x03\0\0\0" "CAB", 7)}});
    RegistrationCode code;
    ASSERT_TRUE(hub->asGetRegistrationPin(code));
    EXPECT_EQ(code.toString(), QStringLiteral("CAB"));
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests().first(), QByteArray(":RPRoom4@h:p2:p3:p4\r"));

    std::atomic<quint32> registered{0};
    QObject::connect(hub, &TwoPointFourGHzHub::expressionDeviceRegistered,
                     [&](QString, quint32 uid, Device::SubType) { registered.store(uid); });
    ASSERT_EQ(orvexsim_add_waiting_handset(VirtualHandle, ORVEXSIM_CLASS_EXPRESSION, Newcomer,
                                           0x0103, "Ben", nullptr),
              0);
    ASSERT_TRUE(hub->startExpressionRegistrationSession(1, 1, 1, code));
    ASSERT_EQ(orvexsim_set_waiting_pin(VirtualHandle, Newcomer, code.toString().toLatin1()), 0);
    ASSERT_EQ(orvexsim_register_waiting(VirtualHandle, Newcomer), 1);
    ASSERT_TRUE(waitFor([&] { return registered.load() == Newcomer; }));
    ASSERT_TRUE(hub->stopExpressionRegistrationSession());
    // The server hears of the end on the same connection.
    ASSERT_TRUE(waitFor([&] { return server.requests().size() == 2; }));
    EXPECT_EQ(server.requests().last(), QByteArray(":CS\r"));
    EXPECT_EQ(server.connections(), 1);

    // Three bytes that are no PIN: refused, the code kept.
    server.script({{QByteArray("\x03\0\0\0" "7K2", 7)}});
    EXPECT_FALSE(hub->asGetRegistrationPin(code));
    EXPECT_EQ(hub->getLastError(), Hub::Error_CommsFailure);
    EXPECT_EQ(code.toString(), QStringLiteral("CAB"));
}

TEST_F(SimVirtualHub, TheDriversThreadNeverWaitsForTheServer)
{
    // No announcement and nobody at the configured address: an attempt to
    // reach the server takes seconds. From a report on the driver's thread
    // the PIN request is refused at once, and the end of a registration is
    // handed to the link's own thread instead of being waited for.
    announcer.reset();
    struct Context
    {
        VirtualTwoPointFourGHzHub *hub;
        std::atomic<int> calls{0};
        std::atomic<bool> pinRefused{false};
        std::atomic<bool> stopped{false};
    } context{hub};
    ASSERT_TRUE(hub->startExpressionRegistrationSession(1, 1, 1, RegistrationCode()));
    hub->setHubBusyCallback(
        [](Hub *, bool, void *c) {
            auto *ctx = static_cast<Context *>(c);
            if (ctx->calls.fetch_add(1) != 0)
                return;
            RegistrationCode code;
            ctx->pinRefused.store(!ctx->hub->asGetRegistrationPin(code)
                                  && ctx->hub->getLastError() == Hub::Error_Failed);
            ctx->hub->stopExpressionRegistrationSession();
            ctx->stopped.store(true);
        },
        &context);
    ASSERT_EQ(orvexsim_set_hub_busy(VirtualHandle, 1), 0);
    // Well within the link's 3-second wait for an announcement.
    ASSERT_TRUE(waitFor([&] { return context.stopped.load(); }, 2000));
    EXPECT_TRUE(context.pinRefused.load());
}
