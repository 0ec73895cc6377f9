// Hub errors, range checks, callbacks and the defaults of the operations a
// hub kind may leave unsupported.

#include "hubfixture.h"

#include <QtCore/QMetaType>

using namespace Orvexsystem;
using namespace OrvexTest;

using HubBase = HubFixture;

TEST_F(HubBase, RangeChecksAcceptTheirBoundsAndRecordOnlyFailures)
{
    EXPECT_EQ(hub->getLastError(), Hub::Error_Failed) << "a new hub";
    struct Case
    {
        bool (Hub::*check)(int);
        int low, high;
        Hub::Error error;
    };
    const Case cases[] = {
        {&Hub::isValidNumberOfOptions, 1, 6, Hub::Error_NumOfOptionsNotWithinTheRange},
        {&Hub::isValidNumberOfResponses, 1, 6, Hub::Error_NumOfResponsesNotWithinTheRange},
        {&Hub::isValidLikertScaleValue, 4, 9, Hub::Error_ScaleValueNotWithinTheRange},
        {&Hub::isValidMaxResponseSize, 0, 255, Hub::Error_ResponseSizeNotWithinTheRange},
        {&Hub::isValidMaxNameLength, 1, 14, Hub::Error_NameLengthNotWithinTheRange},
    };
    for (const Case &c : cases) {
        hub->recordError(Hub::Error_Failed);
        EXPECT_TRUE((hub.get()->*c.check)(c.low));
        EXPECT_TRUE((hub.get()->*c.check)(c.high));
        EXPECT_EQ(hub->getLastError(), Hub::Error_Failed) << "a success leaves the error in place";
        EXPECT_FALSE((hub.get()->*c.check)(c.low - 1));
        EXPECT_EQ(hub->getLastError(), c.error);
        hub->recordError(Hub::Error_Failed);
        EXPECT_FALSE((hub.get()->*c.check)(c.high + 1));
        EXPECT_EQ(hub->getLastError(), c.error);
    }
}

TEST(HubMeta, ErrorNamesAndQueuedSignalTypes)
{
    EXPECT_EQ(Hub::errorAsString(Hub::Error_CannotStartSessionBecauseCurrentlyInSession),
              "Error_CannotStartSessionBecauseCurrentlyInSession");
    EXPECT_EQ(Hub::errorAsString(Hub::Error(16)), QString());
    FakeDriver driver;
    TestSystem system(driver);
    TestHub hub(&system, 1);
    for (const char *name : {"Orvexsystem::Hub::YesNoResponse", "Orvexsystem::Hub::TrueFalseResponse",
                             "Orvexsystem::Hub::PenEvent", "Orvexsystem::Device::SubType",
                             "QList<Orvexsystem::Hub::TouchInfo>"})
        EXPECT_TRUE(QMetaType::fromName(name).isValid()) << name;
}

TEST_F(HubBase, UnsupportedOperationsAndSendFailuresRecordTheirErrors)
{
    EXPECT_FALSE(hub->startMessageSession(1, QStringLiteral("q"), TimeUnit_Seconds, 1, nullptr, nullptr));
    EXPECT_EQ(hub->getLastError(), Hub::Error_NotSupported);
    hub->recordError(Hub::Error_Failed);
    EXPECT_FALSE(hub->sendGenericAsyncMessage(1, "x"));
    EXPECT_EQ(hub->getLastError(), Hub::Error_NotSupported);

    // These answer false or null and leave the last error alone.
    hub->recordError(Hub::Error_Failed);
    EXPECT_FALSE(hub->asyncIsReadyToReceive(1));
    EXPECT_EQ(hub->enhancedQuestionSession(), nullptr);
    EXPECT_EQ(hub->getLastError(), Hub::Error_Failed);

    driver.setWriteResult(-1);
    EXPECT_FALSE(hub->setPenType(1, Hub::PenType_Normal));
    EXPECT_EQ(hub->getLastError(), Hub::Error_CommsFailure);
}

namespace {
void penA(Hub *, quint32, int, int, bool, bool, void *context) { *static_cast<char *>(context) = 'A'; }
void penB(Hub *, quint32, int, int, bool, bool, void *context) { *static_cast<char *>(context) = 'B'; }
} // namespace

TEST_F(HubBase, NullCallbackIsRefusedAndKeepsTheEarlierOne)
{
    char seen = 0;
    EXPECT_TRUE(hub->setPenEventCallback(&penA, &seen));
    EXPECT_FALSE(hub->setPenEventCallback(nullptr, nullptr));
    EXPECT_FALSE(hub->setTouchEventCallback(nullptr, nullptr));
    EXPECT_FALSE(hub->setTouchStatusEventCallback(nullptr, nullptr));
    hub->processPacket(penPacket8(1, 1, 1, false, false));
    EXPECT_EQ(seen, 'A');
    EXPECT_TRUE(hub->setPenEventCallback(&penB, &seen));
    hub->processPacket(penPacket8(1, 1, 1, false, false));
    EXPECT_EQ(seen, 'B');
}
