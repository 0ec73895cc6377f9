#ifndef ORVEXSYSTEM_ABSTRACTHARDWAREWRAPPER_H
#define ORVEXSYSTEM_ABSTRACTHARDWAREWRAPPER_H

#include <orvexsystem/driverdeviceinfo.h>
#include <orvexsystem/export.h>
#include <orvexsystem/orvexboardex.h>

#include <cstdint>

namespace Orvexsystem {

/// The seam between the system and the board driver: one operation per driver
/// function. The system's own implementation forwards to the driver module
/// loaded at run time; another implementation may stand in for it (see
/// OrvexSystem::createWrapper). Results are the driver's 32-bit words; where a
/// result is an 8-bit value it is returned as such.
///
/// Threads: the system calls it from host threads, the event thread and the
/// driver's delivery thread; an implementation calls the packet and
/// plug-and-play callbacks on threads of its own, never from inside a call.
class ORVEXSYSTEM_EXPORT AbstractHardwareWrapper
{
public:
    virtual ~AbstractHardwareWrapper();

    /// Loads the driver if needed, resolves its functions and attaches.
    virtual int32_t initialise() = 0;
    virtual int32_t detach() = 0;
    virtual int32_t getInterface() = 0;
    virtual int32_t setCallback(int32_t handle, OrvexPacketCallback callback, void *context) = 0;
    virtual int32_t clearCallback(int32_t handle, OrvexPacketCallback callback, void *context) = 0;
    virtual int32_t setPnpCallback(OrvexPnpCallback callback, void *context) = 0;
    virtual int32_t clearPnpCallback(OrvexPnpCallback callback, void *context) = 0;
    virtual int32_t sendCommand(intptr_t a, intptr_t b) = 0;
    /// -1 means failure; any other value success.
    virtual int32_t writePacket(int32_t handle, const uint8_t *data, int32_t length) = 0;
    virtual int32_t setXferMask(int32_t handle, int32_t mask) = 0;
    virtual int32_t getDeviceCount() = 0;
    /// Fills the record of the device at index; true when filled. The caller
    /// writes the header first.
    virtual bool enumDeviceInfo(int32_t index, DriverDeviceInfo *info) = 0;
    virtual int32_t setPointingDeviceDestination(int32_t handle, int32_t a, int32_t b,
                                                 int32_t c) = 0;
    virtual int32_t setPointingDeviceDestinationEx(int32_t handle, int32_t a, int32_t b,
                                                   int32_t c, bool flag) = 0;
    virtual uint8_t getPointingDeviceDestination(int32_t handle, int32_t a, int32_t b) = 0;
    virtual int32_t setTouchDestination(int32_t handle, int32_t mode) = 0;
    virtual int32_t setTouchDestinationEx(int32_t handle, int32_t mode, bool flag) = 0;
    virtual uint8_t getTouchDestination(int32_t handle) = 0;
    virtual int32_t setTouchEnabled(int32_t handle, bool enabled) = 0;
    virtual bool getTouchEnabled(int32_t handle) = 0;
    virtual int32_t setTouchSystemRedirectionEnabled(int32_t handle, bool enabled) = 0;
    virtual bool getTouchSystemRedirectionEnabled(int32_t handle) = 0;
    virtual int32_t setLATEDetection(int32_t handle, int32_t enabled) = 0;
    virtual uint8_t getLATEDetection(int32_t handle) = 0;
    virtual bool isSomethingOnBoard(int32_t handle) = 0;
    virtual int32_t setTwoFingerScroll(intptr_t a, intptr_t b) = 0;
    virtual int32_t openSynchronousChannel(intptr_t a, intptr_t b, intptr_t c) = 0;
    virtual int32_t closeSynchronousChannel(intptr_t a, intptr_t b) = 0;
    virtual int32_t readSynchronousPacket(intptr_t a, intptr_t b, intptr_t c, intptr_t d,
                                          intptr_t e) = 0;
    virtual bool setCalibrationMode(intptr_t a, intptr_t b) = 0;
    virtual int32_t setCalibrationData(intptr_t a, intptr_t b) = 0;
    virtual int32_t setWirelessCalibrationData(intptr_t a, intptr_t b) = 0;
    virtual int32_t getCalibrationPoints(intptr_t a, intptr_t b, intptr_t c) = 0;
    virtual uint8_t getHIDCoordinateReportMode(int32_t handle) = 0;
    virtual int32_t setHIDCoordinateReportMode(int32_t handle, int32_t mode) = 0;
    virtual int32_t libraryVersionNumber(intptr_t a, intptr_t b, intptr_t c, intptr_t d) = 0;
    virtual int32_t lock() = 0;
    virtual int32_t unlock() = 0;
    virtual bool serialConnect(intptr_t a) = 0;
    virtual bool serialDisconnect() = 0;
    virtual bool serialGetConnected(intptr_t a) = 0;
    virtual int32_t serialSetStartupMode(intptr_t a) = 0;
    virtual int32_t serialGetStartupMode() = 0;
    virtual int32_t setDoubleClickDistance(intptr_t a, intptr_t b) = 0;
    virtual int32_t setDriverDebugMode(intptr_t a, intptr_t b, intptr_t c) = 0;
    virtual int32_t echo(intptr_t a, intptr_t b, intptr_t c) = 0;
    virtual int32_t inject(intptr_t a, intptr_t b, intptr_t c) = 0;
    /// Sends length bytes of touch data to the operating system.
    virtual int32_t sendTouchPacketToSystem(int32_t handle, uint8_t length,
                                            const uint8_t *data) = 0;

    /// True when the driver module is loaded: the binding is usable. A
    /// binding that answers false makes OrvexSystem report
    /// Error_DriverNotInstalled.
    virtual bool isLoaded() const = 0;
};

} // namespace Orvexsystem

#endif
