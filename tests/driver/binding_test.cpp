// The driver binding, in three processes: with no driver module on the
// search path, with a module that lacks most functions, and with the
// simulated driver.

#include "driver/orvexwrapper.h"
#include "support/fakedriver.h"

#include <orvexsystem/hub.h>
#include <orvexsystem/system.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

using namespace Orvexsystem;

namespace {

// The system object of a test: the process-wide one.
OrvexSystem &sys() { return OrvexSystem::instance(); }

std::string minimalLog()
{
    void *module = dlopen(OrvexWrapper::ModuleName, RTLD_NOW | RTLD_NOLOAD);
    if (!module)
        return "<not loaded>";
    auto fn = reinterpret_cast<const char *(*)()>(dlsym(module, "minimalLog"));
    std::string log = fn ? fn() : "<no log>";
    dlclose(module);
    return log;
}

} // namespace

TEST(NoDriver, SystemReportsDriverNotInstalledAndStaysSo)
{
    EXPECT_EQ(sys().getLastError(), OrvexSystem::Error_Failed);
    int major = -1;
    EXPECT_FALSE(sys().getDriverVersion(&major, nullptr, nullptr));
    EXPECT_EQ(major, -1);
    EXPECT_EQ(sys().getLastError(), OrvexSystem::Error_DriverNotInstalled);
    EXPECT_FALSE(sys().isDriverInstalled());
    EXPECT_FALSE(sys().initialise());
    EXPECT_FALSE(sys().initialise());
    EXPECT_EQ(sys().getLastError(), OrvexSystem::Error_DriverNotInstalled);
    QList<Hub *> hubs;
    EXPECT_FALSE(sys().getHubList(&hubs));
    EXPECT_EQ(sys().getLastError(), OrvexSystem::Error_NotInitialised);
    EXPECT_TRUE(sys().shutdown());
}

TEST(NoDriver, BindingAnswersDefaultsWithoutCallingAnything)
{
    OrvexWrapper wrapper;
    EXPECT_FALSE(wrapper.isLoaded());
    EXPECT_EQ(wrapper.initialise(), 0);
    DriverDeviceInfo info = DriverDeviceInfo::empty();
    EXPECT_EQ(wrapper.writePacket(1, reinterpret_cast<const uint8_t *>(&info), 3), -1);
    EXPECT_EQ(wrapper.sendCommand(1, 2), -1);
    EXPECT_EQ(wrapper.getDeviceCount(), 0);
    EXPECT_FALSE(wrapper.enumDeviceInfo(0, &info));
    EXPECT_EQ(wrapper.getPointingDeviceDestination(1, 1, 0), 0xFF);
    EXPECT_EQ(wrapper.getTouchDestination(1), 0xFF);
    EXPECT_EQ(wrapper.getLATEDetection(1), 0xFF);
    EXPECT_TRUE(wrapper.getTouchEnabled(1));
    EXPECT_TRUE(wrapper.getTouchSystemRedirectionEnabled(1));
    EXPECT_EQ(wrapper.getHIDCoordinateReportMode(1), 0);
    EXPECT_EQ(wrapper.openSynchronousChannel(0, 0, 0), -1);
    EXPECT_EQ(wrapper.readSynchronousPacket(0, 0, 0, 0, 0), -1);
    EXPECT_FALSE(wrapper.isSomethingOnBoard(1));
    EXPECT_EQ(OrvexSystem::errorAsString(OrvexSystem::Error(9)), QStringLiteral("Unknown"));
}

TEST(NoDriver, PassThroughsWithoutBindingAnswerAbsentDefaults)
{
    // No binding exists yet: nothing is called and nothing crashes.
    sys().lockDriver();
    sys().unlockDriver();
    EXPECT_TRUE(sys().getTouchSystemRedirectionEnabled(nullptr));
    EXPECT_TRUE(sys().getLATEDetection(nullptr));
    EXPECT_EQ(sys().getPenMode(nullptr), 0);
    unsigned char mode = 0;
    sys().getPenReportMode(nullptr, 1, &mode);
    EXPECT_EQ(mode, 0xFF);
    mode = 0;
    sys().getTouchReportMode(nullptr, &mode);
    EXPECT_EQ(mode, 0xFF);
    EXPECT_TRUE(sys().sendTouchInfoToOS(nullptr, nullptr, 0));
    EXPECT_FALSE(sys().sendCommand(nullptr, QByteArray(":GI\r")));
    EXPECT_EQ(sys().getLastError(), OrvexSystem::Error_NotInitialised);
}

TEST(MinimalDriver, AbsentExFunctionsFallBackAndResultConversionsFollowTheContract)
{
    OrvexWrapper wrapper;
    ASSERT_TRUE(wrapper.isLoaded());
    wrapper.setPointingDeviceDestinationEx(4, 1, 0, 2, true);
    wrapper.setTouchDestinationEx(4, 3, true);
    const std::string log = minimalLog();
    EXPECT_NE(log.find("setPointingDeviceDestination(4,1,0,2)"), std::string::npos) << log;
    EXPECT_NE(log.find("setTouchDestination(4,3)"), std::string::npos) << log;

    // Only exactly 1 is true; an absent function is true.
    EXPECT_FALSE(wrapper.getTouchSystemRedirectionEnabled(1));
    EXPECT_TRUE(wrapper.getTouchEnabled(1));
    EXPECT_EQ(wrapper.getLATEDetection(1), 0xFF);
    // 0 is a successful write; only -1 fails.
    const uint8_t data[1] = {0};
    EXPECT_EQ(wrapper.writePacket(1, data, 1), 0);
    EXPECT_EQ(wrapper.getDeviceCount(), 0);
}

TEST(MinimalDriver, AttachDetachAndPnpClearUseTheDriverTable)
{
    // Held here so that the module and its log outlive each binding.
    void *module = dlopen(OrvexWrapper::ModuleName, RTLD_NOW);
    ASSERT_NE(module, nullptr);
    {
        OrvexWrapper wrapper;
        ASSERT_TRUE(wrapper.isLoaded());
        EXPECT_EQ(wrapper.initialise(), 7); // attach again, with the same module
        wrapper.clearPnpCallback(nullptr, nullptr);
        wrapper.detach();
    }
    // The destructor detaches a second time before unloading.
    OrvexWrapper again;
    const std::string log = minimalLog();
    EXPECT_NE(log.find("attach;attach;clearCallback(0);detach;detach;attach"), std::string::npos)
        << log;
    dlclose(module);
}

TEST(SimDriver, InitialiseAnnouncesTheDefaultClassroomBeforeReturning)
{
    // The driver version needs no initialise().
    int major = 0, minor = 0, build = 0;
    EXPECT_TRUE(sys().getDriverVersion(&major, &minor, &build));
    EXPECT_EQ(major, 6);
    QList<Hub *> announced;
    QList<int> handles;
    QObject::connect(&sys(), &OrvexSystem::newHubConnected, [&](Hub *hub) { announced << hub; });
    QObject::connect(&sys(), &OrvexSystem::newOrvexHubConnected, [&](int h) { handles << h; });
    QObject::connect(&sys(), &OrvexSystem::newLegacyHubConnected, [&](int h) { handles << h; });
    ASSERT_TRUE(sys().initialise());
    EXPECT_EQ(announced.size(), 2);
    EXPECT_EQ(handles.size(), 2);
    QList<Hub *> hubs;
    ASSERT_TRUE(sys().getHubList(&hubs));
    ASSERT_EQ(hubs.size(), 2);
    EXPECT_LT(hubs[0]->handle(), hubs[1]->handle());
    major = 0;
    EXPECT_TRUE(sys().getDriverVersion(&major, &minor, &build));
    EXPECT_EQ(major, 6);
    EXPECT_EQ(minor, 2);
    EXPECT_EQ(build, 14);
    EXPECT_TRUE(sys().shutdown());
    EXPECT_FALSE(sys().getHubList(&hubs));
    QMap<int, HubDisplayInfo> info;
    sys().getOrvexHubInfoMap(info);
    EXPECT_EQ(info.size(), 1);
}
