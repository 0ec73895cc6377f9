// A legacy hub answers a session's command at once: the reply must find the
// session already entered, or a handset's one registration is lost.
#include "hub/hub_p.h"
#include "support/fakedriver.h"

#include <orvexsystem/legacyhub.h>

#include <gtest/gtest.h>

#include <QtCore/QTemporaryDir>

using namespace Orvexsystem;
using namespace OrvexTest;

TEST(LegacySessionStart, ARegistrationRepliedInsideTheWriteIsKept)
{
    QTemporaryDir data;
    qputenv("XDG_DATA_DIRS", data.path().toLocal8Bit());
    FakeDriver driver;
    driver.setHubs({{2, 1, 900, 4, 77, QString()}}); // a serial legacy hub
    TestSystem system(driver);
    ASSERT_TRUE(system.initialise());
    QList<Hub *> hubs;
    ASSERT_TRUE(system.getHubList(&hubs));
    ASSERT_EQ(hubs.size(), 1);
    auto *hub = qobject_cast<LegacyHub *>(hubs.first());
    ASSERT_NE(hub, nullptr);

    // Handset 5 answers ":VR" before the write returns.
    driver.setResponder([](int, const QByteArray &command) {
        if (!command.startsWith(":VR"))
            return QList<QByteArray>();
        return QList<QByteArray>{QByteArray::fromHex("8a056700000000000001")};
    });
    driver.setSynchronousReplies(true);
    ASSERT_TRUE(hub->startVoteRegistrationSession());
    int count = 0;
    EXPECT_TRUE(hub->getDeviceCount(Device::Type_LegacyOrvexvote, &count));
    EXPECT_EQ(count, 1);

    // A refused write leaves the hub out of the session.
    driver.setSynchronousReplies(false);
    ASSERT_TRUE(hub->stopVoteRegistrationSession());
    driver.setWriteResult(-1);
    EXPECT_FALSE(hub->startSlateRegistrationSession());
    EXPECT_EQ(HubPrivate::get(hub)->sessionState.load(), 0); // no session
    system.shutdown();
}
