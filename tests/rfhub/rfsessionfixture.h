#ifndef ORVEX_TESTS_RFHUB_RFSESSIONFIXTURE_H
#define ORVEX_TESTS_RFHUB_RFSESSIONFIXTURE_H

// A 2.4 GHz hub on the fake driver with a small registry: the hub answers
// ":GI" (idle unless told otherwise), the list queries, the session ends and
// the naming of an expression handset; packets reach the hub on the fake
// driver's delivery thread, marked as the driver's thread.

#include "support/fakedriver.h"
#include "support/wait.h"

#include "rfhub/twopointfourghzhub_p.h"
#include "system/threadcontext.h"

#include <orvexsystem/twopointfourghzhub.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace OrvexTest {

inline QByteArray be16(int v)
{
    return bytes({(v >> 8) & 0xFF, v & 0xFF});
}

inline QByteArray be32(quint32 v)
{
    return be16(int(v >> 16)) + be16(int(v & 0xFFFF));
}

// List records as ":GR" brings them, and as registration and naming reports.
inline QByteArray voteRecord(quint32 uid, quint16 address, const QByteArray &name)
{
    return bytes({13, 0x67}) + be32(uid) + be16(address) + bytes({6}) +
           name.leftJustified(4, '\0', true);
}
inline QByteArray expressionRecord(quint32 uid, quint16 address, const QByteArray &name,
                                   int product = 9)
{
    return bytes({23, 0x80}) + be32(uid) + be16(address) + bytes({product}) +
           name.leftJustified(14, '\0', true);
}
inline QByteArray slateRecord(quint32 uid, quint16 address, const QByteArray &name)
{
    return bytes({20, 0x67}) + be32(uid) + be16(address) + bytes({7}) +
           name.leftJustified(10, '\0', true) + bytes({0});
}
// A question session's answer packet: 0C 83 address, then bytes 4-11.
inline QByteArray answerPacket(quint16 address, const QByteArray &rest)
{
    return bytes({12, 0x83}) + be16(address) + rest.leftJustified(8, '\0', true);
}

class SessionHub : public Orvexsystem::TwoPointFourGHzHub
{
public:
    using TwoPointFourGHzHub::TwoPointFourGHzHub;
    using TwoPointFourGHzHub::getNextFileId;
    using TwoPointFourGHzHub::resetFileId;
    using TwoPointFourGHzHub::SessionState;
    using TwoPointFourGHzHub::sessionState;
    using TwoPointFourGHzHub::setSessionState;
    using TwoPointFourGHzHub::Session_Async;
    using TwoPointFourGHzHub::Session_EnhancedGeneric;
    using TwoPointFourGHzHub::Session_ExpressionEndUserNaming;
    using TwoPointFourGHzHub::Session_ExpressionRegistration;
    using TwoPointFourGHzHub::Session_None;
    using TwoPointFourGHzHub::Session_OrvexvoteNaming;
    using TwoPointFourGHzHub::Session_VoteRegistration;
    using TwoPointFourGHzHub::Session_YesNo;

    void asEndExpressionRegSession() override { ++registrationEnds; }
    std::atomic<int> registrationEnds{0};
};

class RfSessionFixture : public ::testing::Test
{
protected:
    static constexpr int Handle = 4;
    static constexpr quint32 Vote1 = 0x06A10001;
    static constexpr quint16 Vote1Address = 0x0101;
    static constexpr quint32 Vote2 = 0x06A10002;
    static constexpr quint16 Vote2Address = 0x0102;
    static constexpr quint32 Expression1 = 0x09B20001;
    static constexpr quint16 Expression1Address = 0x0201;
    static constexpr quint32 Slate1 = 0x07C30001;
    static constexpr quint16 Slate1Address = 0x0301;

    void SetUp() override
    {
        driver.setResponder([this](int, const QByteArray &command) { return respond(command); });
        ASSERT_TRUE(system.initialise());
        hub = std::make_unique<SessionHub>(&system, Handle, 0x51C0A8E3, true, 0x301);
        driver.setCallback(Handle, &RfSessionFixture::deliver, hub.get());
        ASSERT_TRUE(hub->getCompleteDeviceList(nullptr)); // every list read and up to date
        driver.clearLog();
    }
    void TearDown() override
    {
        driver.clearCallback(Handle);
        system.shutdown();
        hub.reset();
    }

    static void deliver(int32_t, const uint8_t *data, uint32_t length, void *context)
    {
        Orvexsystem::ThreadContext::DriverCallback mark;
        static_cast<SessionHub *>(context)->processPacket(
            QByteArray(reinterpret_cast<const char *>(data), int(length)));
    }

    QList<QByteArray> respond(const QByteArray &command)
    {
        const QByteArray ok = bytes({4, 0x32, 0x4F, 0x4B});
        if (command == ":GI\r")
            return {bytes({11, 0x51, 0, 2, 2, 0, 0, 1, 0, 4, busyMode.load()})};
        if (command == ":GR06\r")
            return {voteRecord(Vote1, Vote1Address, "V1"), voteRecord(Vote2, Vote2Address, "V2"),
                    ok};
        if (command == ":GR09\r")
            return {expressionRecord(Expression1, Expression1Address, "Ana"), ok};
        if (command == ":GR07\r")
            return {slateRecord(Slate1, Slate1Address, "S1"), ok};
        if (command.startsWith(":GR"))
            return {ok};
        if (command == ":VE\r" || command == ":XP002\r" || command == ":XP004\r")
            return answerEnds.load() ? QList<QByteArray>{ok} : QList<QByteArray>{};
        if (command.startsWith(":XP003\r"))
            return {bytes({4, 0x82, 0x12, 0x34})};
        return {};
    }

    // Every command written since the last clear, the first of each list
    // query included.
    QList<QByteArray> writes() const { return driver.writes(Handle); }
    QByteArray lastWrite() const
    {
        const QList<QByteArray> w = writes();
        return w.isEmpty() ? QByteArray() : w.last();
    }
    // Delivers packets on the driver's thread and waits until they are in.
    void fromHub(const QList<QByteArray> &packets)
    {
        for (const QByteArray &p : packets)
            driver.deliverLater(Handle, p);
        ASSERT_TRUE(driver.waitIdle());
    }
    Orvexsystem::TwoPointFourGHzHubPrivate *hubPrivate() const
    {
        return Orvexsystem::TwoPointFourGHzHubPrivate::get(hub.get());
    }

    std::atomic<int> busyMode{0};
    std::atomic<bool> answerEnds{true};
    FakeDriver driver;
    TestSystem system{driver};
    std::unique_ptr<SessionHub> hub;
};

} // namespace OrvexTest

#endif
