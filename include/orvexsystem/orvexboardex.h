/** @file
 * The board driver contract.
 *
 * Any module named liborvexboardex.so that exports these C functions can
 * stand in for the hardware driver. The library loads it at run time by bare
 * name through the platform loader's default search (LD_LIBRARY_PATH, then
 * the system library path) and resolves each name below exactly as written.
 * A missing function is never called: the library answers the documented
 * default instead.
 *
 * Every function returns one int32_t word; where an 8-bit result is meant,
 * it is the word's low byte. Arguments that the library gives no meaning to
 * are intptr_t, so that a driver may pass pointers through them.
 *
 * Threads: the driver calls the packet and plug-and-play callbacks on
 * threads of its own, never from inside a call the library makes. Once
 * orvexClearCallback(handle, ...) has returned, the driver makes no further
 * call of that callback for that handle.
 */
#ifndef ORVEXSYSTEM_ORVEXBOARDEX_H
#define ORVEXSYSTEM_ORVEXBOARDEX_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/** One packet from the hub with that handle: data holds length bytes. */
typedef void (*OrvexPacketCallback)(int32_t handle, const uint8_t *data,
                                    uint32_t length, void *context);
/** Devices arrived or left. */
typedef void (*OrvexPnpCallback)(void *context);

/** Size of the record that orvexEnumDeviceInfo fills. */
#define ORVEX_DEVICE_INFO_SIZE 596
/** Value the caller writes into the record's header before each call. */
#define ORVEX_DEVICE_INFO_HEADER 8

/**
 * Device record, little-endian, byte offsets:
 *   0   int32   header, written as 8 by the caller
 *   4   int32   kind: 1, 2 legacy hub; 3 2.4 GHz hub; 4 virtual 2.4 GHz hub
 *   8   int32   connection type (legacy hubs): 1 serial, 2 USB
 *   12  int32   hub version number
 *   16  int32   reserved
 *   20  int32   hub handle
 *   24  uint64  hub uid (low 32 bits first)
 *   32  UTF-16  description, NUL-terminated (virtual hubs), up to offset 556
 *   556 UTF-16  driver version text, NUL-terminated, up to offset 596
 */
#define ORVEX_DEVICE_INFO_OFFSET_HEADER 0
#define ORVEX_DEVICE_INFO_OFFSET_KIND 4
#define ORVEX_DEVICE_INFO_OFFSET_CONNECTION 8
#define ORVEX_DEVICE_INFO_OFFSET_VERSION 12
#define ORVEX_DEVICE_INFO_OFFSET_HANDLE 20
#define ORVEX_DEVICE_INFO_OFFSET_UID 24
#define ORVEX_DEVICE_INFO_OFFSET_DESCRIPTION 32
#define ORVEX_DEVICE_INFO_OFFSET_DRIVER_VERSION 556

int32_t orvexAttach(void);
int32_t orvexDetach(void);
int32_t orvexInterface(void);
/** Registers the packet callback of one hub. */
int32_t orvexSetCallback(int32_t handle, OrvexPacketCallback callback, void *context);
/** Removes a callback; with handle 0 the callback is the plug-and-play one. */
int32_t orvexClearCallback(int32_t handle, OrvexPacketCallback callback, void *context);
int32_t orvexSendCommand(intptr_t a, intptr_t b);
/** Writes length bytes to the hub; -1 means failure, anything else success. */
int32_t orvexWritePacket(int32_t handle, const uint8_t *data, int32_t length);
int32_t orvexSetXferMask(int32_t handle, int32_t mask);
int32_t orvexGetDeviceCount(void);
/** Fills a 596-byte record for device index; low byte non-zero = filled. */
int32_t orvexEnumDeviceInfo(int32_t index, uint8_t *info);
int32_t orvexSetPnpCallback(OrvexPnpCallback callback, void *context);
int32_t orvexSetPointingDeviceDestination(int32_t handle, int32_t pen, int32_t flag, int32_t mode);
int32_t orvexSetPointingDeviceDestinationEx(int32_t handle, intptr_t a, intptr_t b, intptr_t c, int32_t flag);
int32_t orvexGetPointingDeviceDestination(int32_t handle, int32_t pen, int32_t b);
int32_t orvexSetTouchDestination(int32_t handle, int32_t mode);
int32_t orvexSetTouchDestinationEx(int32_t handle, int32_t mode, int32_t flag);
int32_t orvexGetTouchDestination(int32_t handle);
int32_t orvexSetTouchEnabled(int32_t handle, int32_t enabled);
int32_t orvexGetTouchEnabled(int32_t handle);
int32_t orvexSetTouchSystemRedirectionEnabled(int32_t handle, int32_t enabled);
int32_t orvexGetTouchSystemRedirectionEnabled(int32_t handle);
int32_t orvexOpenSynchronousChannel(intptr_t a, intptr_t b, intptr_t c);
int32_t orvexCloseSynchronousChannel(intptr_t a, intptr_t b);
int32_t orvexReadSynchronousPacket(intptr_t a, intptr_t b, intptr_t c, intptr_t d, intptr_t e);
int32_t orvexSetCalibrationMode(intptr_t a, intptr_t b);
int32_t orvexSetCalibrationData(intptr_t a, intptr_t b);
int32_t orvexSetWirelessCalibrationData(intptr_t a, intptr_t b);
int32_t orvexGetCalibrationPoints(intptr_t a, intptr_t b, intptr_t c);
int32_t orvexGetHIDCoordinateReportMode(int32_t handle);
int32_t orvexSetHIDCoordinateReportMode(int32_t handle, int32_t mode);
int32_t orvexLibraryVersionNumber(intptr_t a, intptr_t b, intptr_t c, intptr_t d);
/** The driver's lock, taken and released by one thread around a run of
 * commands. It excludes other callers of orvexLock only: writes and queries
 * from other threads must not wait for it, since the library may hold its
 * own per-hub locks while it writes. */
int32_t orvexLock(void);
int32_t orvexUnlock(void);
int32_t orvexSerialGetConnected(intptr_t a);
int32_t orvexSerialConnect(intptr_t a);
int32_t orvexSerialDisconnect(void);
int32_t orvexSerialSetStartupMode(intptr_t a);
int32_t orvexSerialGetStartupMode(void);
int32_t orvexSetDoubleClickDistance(intptr_t a, intptr_t b);
int32_t orvexSetDriverDebugMode(intptr_t a, intptr_t b, intptr_t c);
int32_t orvexEcho(intptr_t a, intptr_t b, intptr_t c);
int32_t orvexInject(intptr_t a, intptr_t b, intptr_t c);
/** Hands touch data back to the operating system: length bytes at data. */
int32_t orvexSendTouchPacketToSystem(int32_t handle, int32_t length, const uint8_t *data);
int32_t orvexSetLATEDetection(int32_t handle, int32_t enabled);
int32_t orvexGetLATEDetection(int32_t handle);
int32_t orvexIsSomethingOnBoard(int32_t handle);
int32_t orvexSetTwoFingerScroll(intptr_t a, intptr_t b);

#ifdef __cplusplus
}
#endif

#endif
