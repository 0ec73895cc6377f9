#include "driver/orvexwrapper.h"

#include "platform/platform.h"

namespace Orvexsystem {

AbstractHardwareWrapper::~AbstractHardwareWrapper() = default;

const char *const OrvexWrapper::ModuleName = "liborvexboardex.so";

const char *const OrvexWrapper::FunctionNames[FunctionCount] = {
    "orvexAttach", "orvexDetach", "orvexInterface", "orvexSetCallback", "orvexClearCallback",
    "orvexSendCommand", "orvexWritePacket", "orvexSetXferMask", "orvexGetDeviceCount",
    "orvexEnumDeviceInfo", "orvexSetPnpCallback", "orvexSetPointingDeviceDestination",
    "orvexSetPointingDeviceDestinationEx", "orvexGetPointingDeviceDestination",
    "orvexSetTouchDestination", "orvexSetTouchDestinationEx", "orvexGetTouchDestination",
    "orvexSetTouchEnabled", "orvexGetTouchEnabled", "orvexSetTouchSystemRedirectionEnabled",
    "orvexGetTouchSystemRedirectionEnabled", "orvexOpenSynchronousChannel",
    "orvexCloseSynchronousChannel", "orvexReadSynchronousPacket", "orvexSetCalibrationMode",
    "orvexSetCalibrationData", "orvexSetWirelessCalibrationData", "orvexGetCalibrationPoints",
    "orvexGetHIDCoordinateReportMode", "orvexSetHIDCoordinateReportMode",
    "orvexLibraryVersionNumber", "orvexLock", "orvexUnlock", "orvexSerialGetConnected",
    "orvexSerialConnect", "orvexSerialDisconnect", "orvexSerialSetStartupMode",
    "orvexSerialGetStartupMode", "orvexSetDoubleClickDistance", "orvexSetDriverDebugMode",
    "orvexEcho", "orvexInject", "orvexSendTouchPacketToSystem", "orvexSetLATEDetection",
    "orvexGetLATEDetection", "orvexIsSomethingOnBoard", "orvexSetTwoFingerScroll",
};

namespace {
// Driver function shapes.
typedef int32_t (*Fn0)();
typedef int32_t (*FnP1)(intptr_t);
typedef int32_t (*FnP2)(intptr_t, intptr_t);
typedef int32_t (*FnP3)(intptr_t, intptr_t, intptr_t);
typedef int32_t (*FnP4)(intptr_t, intptr_t, intptr_t, intptr_t);
typedef int32_t (*FnP5)(intptr_t, intptr_t, intptr_t, intptr_t, intptr_t);
typedef int32_t (*FnH)(int32_t);
typedef int32_t (*FnHI)(int32_t, int32_t);
typedef int32_t (*FnHII)(int32_t, int32_t, int32_t);
typedef int32_t (*FnHIII)(int32_t, int32_t, int32_t, int32_t);
typedef int32_t (*FnCallback)(int32_t, OrvexPacketCallback, void *);
typedef int32_t (*FnPnp)(OrvexPnpCallback, void *);
typedef int32_t (*FnWrite)(int32_t, const uint8_t *, int32_t);
typedef int32_t (*FnEnum)(int32_t, uint8_t *);
typedef int32_t (*FnPdEx)(int32_t, intptr_t, intptr_t, intptr_t, int32_t);
typedef int32_t (*FnTouchToSystem)(int32_t, int32_t, const uint8_t *);

uint8_t lowByte(int32_t v) { return uint8_t(uint32_t(v) & 0xFFu); }
} // namespace

OrvexWrapper::OrvexWrapper() : m_module(nullptr)
{
    for (auto &f : m_functions)
        f.store(nullptr, std::memory_order_relaxed);
    initialise();
}

OrvexWrapper::~OrvexWrapper()
{
    Platform::Module *module = m_module.load();
    if (!module)
        return;
    if (Fn0 detachFn = function<Fn0>(F_Detach))
        detachFn();
    for (auto &f : m_functions)
        f.store(nullptr);
    m_module.store(nullptr);
    delete module;
}

int32_t OrvexWrapper::initialise()
{
    Platform::Module *module = m_module.load();
    if (!module) {
        // Loaded once: the constructor makes the first call, before the
        // binding is shared with any other thread.
        auto loaded = std::make_unique<Platform::Module>(ModuleName);
        if (!loaded->isLoaded())
            return 0;
        module = loaded.release();
        m_module.store(module);
    }
    // Refreshed on every call; a pointer that does not change is rewritten
    // with the same value.
    for (int i = 0; i < FunctionCount; ++i)
        m_functions[i].store(module->resolve(FunctionNames[i]), std::memory_order_release);
    return call<Fn0>(F_Attach, 0);
}

int32_t OrvexWrapper::detach() { return call<Fn0>(F_Detach, 0); }
int32_t OrvexWrapper::getInterface() { return call<Fn0>(F_Interface, 0); }

int32_t OrvexWrapper::setCallback(int32_t handle, OrvexPacketCallback callback, void *context)
{
    return call<FnCallback>(F_SetCallback, 0, handle, callback, context);
}

int32_t OrvexWrapper::clearCallback(int32_t handle, OrvexPacketCallback callback, void *context)
{
    return call<FnCallback>(F_ClearCallback, 0, handle, callback, context);
}

int32_t OrvexWrapper::setPnpCallback(OrvexPnpCallback callback, void *context)
{
    return call<FnPnp>(F_SetPnpCallback, 0, callback, context);
}

int32_t OrvexWrapper::clearPnpCallback(OrvexPnpCallback callback, void *context)
{
    // Handle 0 stands for the plug-and-play registration.
    auto asPacketCallback =
        reinterpret_cast<OrvexPacketCallback>(reinterpret_cast<void (*)()>(callback));
    return call<FnCallback>(F_ClearCallback, 0, 0, asPacketCallback, context);
}

int32_t OrvexWrapper::sendCommand(intptr_t a, intptr_t b)
{
    return call<FnP2>(F_SendCommand, -1, a, b);
}

int32_t OrvexWrapper::writePacket(int32_t handle, const uint8_t *data, int32_t length)
{
    return call<FnWrite>(F_WritePacket, -1, handle, data, length);
}

int32_t OrvexWrapper::setXferMask(int32_t handle, int32_t mask)
{
    return call<FnHI>(F_SetXferMask, 0, handle, mask);
}

int32_t OrvexWrapper::getDeviceCount() { return call<Fn0>(F_GetDeviceCount, 0); }

bool OrvexWrapper::enumDeviceInfo(int32_t index, DriverDeviceInfo *info)
{
    return lowByte(call<FnEnum>(F_EnumDeviceInfo, 0, index, reinterpret_cast<uint8_t *>(info)))
        != 0;
}

int32_t OrvexWrapper::setPointingDeviceDestination(int32_t handle, int32_t a, int32_t b,
                                                   int32_t c)
{
    return call<FnHIII>(F_SetPointingDeviceDestination, 0, handle, a, b, c);
}

int32_t OrvexWrapper::setPointingDeviceDestinationEx(int32_t handle, int32_t a, int32_t b,
                                                     int32_t c, bool flag)
{
    if (function<FnPdEx>(F_SetPointingDeviceDestinationEx))
        return call<FnPdEx>(F_SetPointingDeviceDestinationEx, 0, handle, intptr_t(a),
                            intptr_t(b), intptr_t(c), int32_t(flag ? 1 : 0));
    return setPointingDeviceDestination(handle, a, b, c);
}

uint8_t OrvexWrapper::getPointingDeviceDestination(int32_t handle, int32_t a, int32_t b)
{
    return lowByte(call<FnHII>(F_GetPointingDeviceDestination, 0xFF, handle, a, b));
}

int32_t OrvexWrapper::setTouchDestination(int32_t handle, int32_t mode)
{
    return call<FnHI>(F_SetTouchDestination, 0, handle, mode);
}

int32_t OrvexWrapper::setTouchDestinationEx(int32_t handle, int32_t mode, bool flag)
{
    if (function<FnHII>(F_SetTouchDestinationEx))
        return call<FnHII>(F_SetTouchDestinationEx, 0, handle, mode, int32_t(flag ? 1 : 0));
    return setTouchDestination(handle, mode);
}

uint8_t OrvexWrapper::getTouchDestination(int32_t handle)
{
    return lowByte(call<FnH>(F_GetTouchDestination, 0xFF, handle));
}

int32_t OrvexWrapper::setTouchEnabled(int32_t handle, bool enabled)
{
    return call<FnHI>(F_SetTouchEnabled, 0, handle, int32_t(enabled ? 1 : 0));
}

bool OrvexWrapper::getTouchEnabled(int32_t handle)
{
    return lowByte(call<FnH>(F_GetTouchEnabled, 1, handle)) == 1;
}

int32_t OrvexWrapper::setTouchSystemRedirectionEnabled(int32_t handle, bool enabled)
{
    return call<FnHI>(F_SetTouchSystemRedirectionEnabled, 0, handle, int32_t(enabled ? 1 : 0));
}

bool OrvexWrapper::getTouchSystemRedirectionEnabled(int32_t handle)
{
    return lowByte(call<FnH>(F_GetTouchSystemRedirectionEnabled, 1, handle)) == 1;
}

int32_t OrvexWrapper::setLATEDetection(int32_t handle, int32_t enabled)
{
    return call<FnHI>(F_SetLATEDetection, 0, handle, enabled);
}

uint8_t OrvexWrapper::getLATEDetection(int32_t handle)
{
    return lowByte(call<FnH>(F_GetLATEDetection, 0xFF, handle));
}

bool OrvexWrapper::isSomethingOnBoard(int32_t handle)
{
    return lowByte(call<FnH>(F_IsSomethingOnBoard, 0, handle)) != 0;
}

int32_t OrvexWrapper::setTwoFingerScroll(intptr_t a, intptr_t b)
{
    return call<FnP2>(F_SetTwoFingerScroll, 0, a, b);
}

int32_t OrvexWrapper::openSynchronousChannel(intptr_t a, intptr_t b, intptr_t c)
{
    return call<FnP3>(F_OpenSynchronousChannel, -1, a, b, c);
}

int32_t OrvexWrapper::closeSynchronousChannel(intptr_t a, intptr_t b)
{
    return call<FnP2>(F_CloseSynchronousChannel, 0, a, b);
}

int32_t OrvexWrapper::readSynchronousPacket(intptr_t a, intptr_t b, intptr_t c, intptr_t d,
                                            intptr_t e)
{
    return call<FnP5>(F_ReadSynchronousPacket, -1, a, b, c, d, e);
}

bool OrvexWrapper::setCalibrationMode(intptr_t a, intptr_t b)
{
    return lowByte(call<FnP2>(F_SetCalibrationMode, 0, a, b)) != 0;
}

int32_t OrvexWrapper::setCalibrationData(intptr_t a, intptr_t b)
{
    return call<FnP2>(F_SetCalibrationData, 0, a, b);
}

int32_t OrvexWrapper::setWirelessCalibrationData(intptr_t a, intptr_t b)
{
    return call<FnP2>(F_SetWirelessCalibrationData, 0, a, b);
}

int32_t OrvexWrapper::getCalibrationPoints(intptr_t a, intptr_t b, intptr_t c)
{
    return call<FnP3>(F_GetCalibrationPoints, 0, a, b, c);
}

uint8_t OrvexWrapper::getHIDCoordinateReportMode(int32_t handle)
{
    return lowByte(call<FnH>(F_GetHIDCoordinateReportMode, 0, handle));
}

int32_t OrvexWrapper::setHIDCoordinateReportMode(int32_t handle, int32_t mode)
{
    return call<FnHI>(F_SetHIDCoordinateReportMode, 0, handle, mode);
}

int32_t OrvexWrapper::libraryVersionNumber(intptr_t a, intptr_t b, intptr_t c, intptr_t d)
{
    return call<FnP4>(F_LibraryVersionNumber, 0, a, b, c, d);
}

int32_t OrvexWrapper::lock() { return call<Fn0>(F_Lock, 0); }
int32_t OrvexWrapper::unlock() { return call<Fn0>(F_Unlock, 0); }

bool OrvexWrapper::serialConnect(intptr_t a)
{
    return lowByte(call<FnP1>(F_SerialConnect, 0, a)) != 0;
}

bool OrvexWrapper::serialDisconnect() { return lowByte(call<Fn0>(F_SerialDisconnect, 0)) != 0; }

bool OrvexWrapper::serialGetConnected(intptr_t a)
{
    return lowByte(call<FnP1>(F_SerialGetConnected, 0, a)) != 0;
}

int32_t OrvexWrapper::serialSetStartupMode(intptr_t a)
{
    return call<FnP1>(F_SerialSetStartupMode, 0, a);
}

int32_t OrvexWrapper::serialGetStartupMode() { return call<Fn0>(F_SerialGetStartupMode, 0); }

int32_t OrvexWrapper::setDoubleClickDistance(intptr_t a, intptr_t b)
{
    return call<FnP2>(F_SetDoubleClickDistance, 0, a, b);
}

int32_t OrvexWrapper::setDriverDebugMode(intptr_t a, intptr_t b, intptr_t c)
{
    return call<FnP3>(F_SetDriverDebugMode, 0, a, b, c);
}

int32_t OrvexWrapper::echo(intptr_t a, intptr_t b, intptr_t c)
{
    return call<FnP3>(F_Echo, 0, a, b, c);
}

int32_t OrvexWrapper::inject(intptr_t a, intptr_t b, intptr_t c)
{
    return call<FnP3>(F_Inject, 0, a, b, c);
}

int32_t OrvexWrapper::sendTouchPacketToSystem(int32_t handle, uint8_t length,
                                              const uint8_t *data)
{
    return call<FnTouchToSystem>(F_SendTouchPacketToSystem, 0, handle, int32_t(length), data);
}

} // namespace Orvexsystem
