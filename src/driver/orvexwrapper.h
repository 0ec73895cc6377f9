#ifndef ORVEXSYSTEM_DRIVER_ORVEXWRAPPER_H
#define ORVEXSYSTEM_DRIVER_ORVEXWRAPPER_H

#include <orvexsystem/abstracthardwarewrapper.h>

#include <atomic>
#include <memory>

namespace Orvexsystem {

namespace Platform {
class Module;
}

// The binding to the driver module: loads liborvexboardex.so by bare name
// through the loader's default search, resolves its functions and forwards
// each operation to one of them. A function the module lacks is never
// called; its operation answers the documented default instead.
class OrvexWrapper : public AbstractHardwareWrapper
{
public:
    // The module name looked up by the platform loader.
    static const char *const ModuleName;

    OrvexWrapper();
    ~OrvexWrapper() override;
    OrvexWrapper(const OrvexWrapper &) = delete;
    OrvexWrapper &operator=(const OrvexWrapper &) = delete;

    int32_t initialise() override;
    int32_t detach() override;
    int32_t getInterface() override;
    int32_t setCallback(int32_t handle, OrvexPacketCallback callback, void *context) override;
    int32_t clearCallback(int32_t handle, OrvexPacketCallback callback, void *context) override;
    int32_t setPnpCallback(OrvexPnpCallback callback, void *context) override;
    int32_t clearPnpCallback(OrvexPnpCallback callback, void *context) override;
    int32_t sendCommand(intptr_t a, intptr_t b) override;
    int32_t writePacket(int32_t handle, const uint8_t *data, int32_t length) override;
    int32_t setXferMask(int32_t handle, int32_t mask) override;
    int32_t getDeviceCount() override;
    bool enumDeviceInfo(int32_t index, DriverDeviceInfo *info) override;
    int32_t setPointingDeviceDestination(int32_t handle, int32_t a, int32_t b,
                                         int32_t c) override;
    int32_t setPointingDeviceDestinationEx(int32_t handle, int32_t a, int32_t b, int32_t c,
                                           bool flag) override;
    uint8_t getPointingDeviceDestination(int32_t handle, int32_t a, int32_t b) override;
    int32_t setTouchDestination(int32_t handle, int32_t mode) override;
    int32_t setTouchDestinationEx(int32_t handle, int32_t mode, bool flag) override;
    uint8_t getTouchDestination(int32_t handle) override;
    int32_t setTouchEnabled(int32_t handle, bool enabled) override;
    bool getTouchEnabled(int32_t handle) override;
    int32_t setTouchSystemRedirectionEnabled(int32_t handle, bool enabled) override;
    bool getTouchSystemRedirectionEnabled(int32_t handle) override;
    int32_t setLATEDetection(int32_t handle, int32_t enabled) override;
    uint8_t getLATEDetection(int32_t handle) override;
    bool isSomethingOnBoard(int32_t handle) override;
    int32_t setTwoFingerScroll(intptr_t a, intptr_t b) override;
    int32_t openSynchronousChannel(intptr_t a, intptr_t b, intptr_t c) override;
    int32_t closeSynchronousChannel(intptr_t a, intptr_t b) override;
    int32_t readSynchronousPacket(intptr_t a, intptr_t b, intptr_t c, intptr_t d,
                                  intptr_t e) override;
    bool setCalibrationMode(intptr_t a, intptr_t b) override;
    int32_t setCalibrationData(intptr_t a, intptr_t b) override;
    int32_t setWirelessCalibrationData(intptr_t a, intptr_t b) override;
    int32_t getCalibrationPoints(intptr_t a, intptr_t b, intptr_t c) override;
    uint8_t getHIDCoordinateReportMode(int32_t handle) override;
    int32_t setHIDCoordinateReportMode(int32_t handle, int32_t mode) override;
    int32_t libraryVersionNumber(intptr_t a, intptr_t b, intptr_t c, intptr_t d) override;
    int32_t lock() override;
    int32_t unlock() override;
    bool serialConnect(intptr_t a) override;
    bool serialDisconnect() override;
    bool serialGetConnected(intptr_t a) override;
    int32_t serialSetStartupMode(intptr_t a) override;
    int32_t serialGetStartupMode() override;
    int32_t setDoubleClickDistance(intptr_t a, intptr_t b) override;
    int32_t setDriverDebugMode(intptr_t a, intptr_t b, intptr_t c) override;
    int32_t echo(intptr_t a, intptr_t b, intptr_t c) override;
    int32_t inject(intptr_t a, intptr_t b, intptr_t c) override;
    int32_t sendTouchPacketToSystem(int32_t handle, uint8_t length,
                                    const uint8_t *data) override;

    bool isLoaded() const override { return m_module.load() != nullptr; }

private:
    // One slot per driver function, in the driver's table order. A slot is
    // an atomic word: initialise() refreshes it while other threads call
    // through it.
    enum Function {
        F_Attach, F_Detach, F_Interface, F_SetCallback, F_ClearCallback, F_SendCommand,
        F_WritePacket, F_SetXferMask, F_GetDeviceCount, F_EnumDeviceInfo, F_SetPnpCallback,
        F_SetPointingDeviceDestination, F_SetPointingDeviceDestinationEx,
        F_GetPointingDeviceDestination, F_SetTouchDestination, F_SetTouchDestinationEx,
        F_GetTouchDestination, F_SetTouchEnabled, F_GetTouchEnabled,
        F_SetTouchSystemRedirectionEnabled, F_GetTouchSystemRedirectionEnabled,
        F_OpenSynchronousChannel, F_CloseSynchronousChannel, F_ReadSynchronousPacket,
        F_SetCalibrationMode, F_SetCalibrationData, F_SetWirelessCalibrationData,
        F_GetCalibrationPoints, F_GetHIDCoordinateReportMode, F_SetHIDCoordinateReportMode,
        F_LibraryVersionNumber, F_Lock, F_Unlock, F_SerialGetConnected, F_SerialConnect,
        F_SerialDisconnect, F_SerialSetStartupMode, F_SerialGetStartupMode,
        F_SetDoubleClickDistance, F_SetDriverDebugMode, F_Echo, F_Inject,
        F_SendTouchPacketToSystem, F_SetLATEDetection, F_GetLATEDetection,
        F_IsSomethingOnBoard, F_SetTwoFingerScroll,
        FunctionCount
    };
    static const char *const FunctionNames[FunctionCount];

    template <class Fn>
    Fn function(Function f) const
    {
        return reinterpret_cast<Fn>(m_functions[f].load(std::memory_order_acquire));
    }
    // Calls the driver function f with args, or answers fallback when the
    // module lacks it.
    template <class Fn, class... Args>
    int32_t call(Function f, int32_t fallback, Args... args) const
    {
        Fn fn = function<Fn>(f);
        return fn ? fn(args...) : fallback;
    }

    std::atomic<Platform::Module *> m_module;
    std::atomic<void *> m_functions[FunctionCount];
};

} // namespace Orvexsystem

#endif
