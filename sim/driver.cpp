// The 47 functions of the driver contract. Every call is counted under its
// name and handle (see orvexsim_call_count); the functions that the
// simulator gives no behaviour answer a fixed, documented value and never
// read the untyped arguments, which may be pointers of any kind.
#pragma GCC visibility push(default)
#include <orvexsystem/orvexboardex.h>
#pragma GCC visibility pop

#include "orvexsim.h"
#include "simulator.h"

using orvexsim::Simulator;

namespace {

Simulator &counted(const char *function, int32_t handle) {
  Simulator &sim = Simulator::instance();
  sim.countCall(function, handle);
  return sim;
}

}  // namespace

#define SIM(handle) counted(__func__, (handle))

extern "C" {

int32_t orvexAttach(void) { return SIM(0).attach(); }

int32_t orvexDetach(void) {
  SIM(0);
  return 0;
}

int32_t orvexInterface(void) {
  SIM(0);
  return 1;
}

int32_t orvexSetCallback(int32_t handle, OrvexPacketCallback callback, void *context) {
  return SIM(handle).setCallback(handle, callback, context);
}

int32_t orvexClearCallback(int32_t handle, OrvexPacketCallback callback, void *context) {
  return SIM(handle).clearCallback(handle, callback, context);
}

int32_t orvexSendCommand(intptr_t, intptr_t) {
  SIM(0);
  return 0;
}

int32_t orvexWritePacket(int32_t handle, const uint8_t *data, int32_t length) {
  return SIM(handle).writePacket(handle, data, length);
}

int32_t orvexSetXferMask(int32_t handle, int32_t mask) {
  SIM(handle).storeSetting(handle, ORVEXSIM_SETTING_XFER_MASK, 0, mask);
  return 0;
}

int32_t orvexGetDeviceCount(void) { return SIM(0).deviceCount(); }

int32_t orvexEnumDeviceInfo(int32_t index, uint8_t *info) { return SIM(0).enumDeviceInfo(index, info); }

int32_t orvexSetPnpCallback(OrvexPnpCallback callback, void *context) {
  return SIM(0).setPnpCallback(callback, context);
}

int32_t orvexSetPointingDeviceDestination(int32_t handle, int32_t pen, int32_t flag, int32_t mode) {
  Simulator &sim = SIM(handle);
  sim.storeSetting(handle, ORVEXSIM_SETTING_POINTING_FLAG, pen, flag);
  sim.storeSetting(handle, ORVEXSIM_SETTING_POINTING_DESTINATION, pen, mode);
  return 0;
}

int32_t orvexSetPointingDeviceDestinationEx(int32_t handle, intptr_t pen, intptr_t flag, intptr_t mode,
                                            int32_t exFlag) {
  Simulator &sim = SIM(handle);
  const int p = static_cast<int>(pen);
  sim.storeSetting(handle, ORVEXSIM_SETTING_POINTING_FLAG, p, static_cast<int32_t>(flag));
  sim.storeSetting(handle, ORVEXSIM_SETTING_POINTING_DESTINATION, p, static_cast<int32_t>(mode));
  sim.storeSetting(handle, ORVEXSIM_SETTING_POINTING_EX_FLAG, p, exFlag);
  return 0;
}

int32_t orvexGetPointingDeviceDestination(int32_t handle, int32_t pen, int32_t) {
  return SIM(handle).answerSetting(handle, ORVEXSIM_SETTING_POINTING_DESTINATION, pen, 0);
}

int32_t orvexSetTouchDestination(int32_t handle, int32_t mode) {
  SIM(handle).storeSetting(handle, ORVEXSIM_SETTING_TOUCH_DESTINATION, 0, mode);
  return 0;
}

int32_t orvexSetTouchDestinationEx(int32_t handle, int32_t mode, int32_t flag) {
  Simulator &sim = SIM(handle);
  sim.storeSetting(handle, ORVEXSIM_SETTING_TOUCH_DESTINATION, 0, mode);
  sim.storeSetting(handle, ORVEXSIM_SETTING_TOUCH_DESTINATION_FLAG, 0, flag);
  return 0;
}

int32_t orvexGetTouchDestination(int32_t handle) {
  return SIM(handle).answerSetting(handle, ORVEXSIM_SETTING_TOUCH_DESTINATION, 0, 0);
}

int32_t orvexSetTouchEnabled(int32_t handle, int32_t enabled) {
  SIM(handle).storeSetting(handle, ORVEXSIM_SETTING_TOUCH_ENABLED, 0, enabled);
  return 0;
}

int32_t orvexGetTouchEnabled(int32_t handle) {
  return SIM(handle).answerSetting(handle, ORVEXSIM_SETTING_TOUCH_ENABLED, 0, 1);
}

int32_t orvexSetTouchSystemRedirectionEnabled(int32_t handle, int32_t enabled) {
  SIM(handle).storeSetting(handle, ORVEXSIM_SETTING_TOUCH_REDIRECTION, 0, enabled);
  return 0;
}

int32_t orvexGetTouchSystemRedirectionEnabled(int32_t handle) {
  return SIM(handle).answerSetting(handle, ORVEXSIM_SETTING_TOUCH_REDIRECTION, 0, 1);
}

// The simulator has no synchronous channel: opening and reading fail.
int32_t orvexOpenSynchronousChannel(intptr_t, intptr_t, intptr_t) {
  SIM(0);
  return -1;
}

int32_t orvexCloseSynchronousChannel(intptr_t, intptr_t) {
  SIM(0);
  return 0;
}

int32_t orvexReadSynchronousPacket(intptr_t, intptr_t, intptr_t, intptr_t, intptr_t) {
  SIM(0);
  return -1;
}

// Calibration is the board's business; the simulated boards need none.
int32_t orvexSetCalibrationMode(intptr_t, intptr_t) {
  SIM(0);
  return 0;
}

int32_t orvexSetCalibrationData(intptr_t, intptr_t) {
  SIM(0);
  return 0;
}

int32_t orvexSetWirelessCalibrationData(intptr_t, intptr_t) {
  SIM(0);
  return 0;
}

int32_t orvexGetCalibrationPoints(intptr_t, intptr_t, intptr_t) {
  SIM(0);
  return 0;
}

int32_t orvexGetHIDCoordinateReportMode(int32_t handle) {
  return SIM(handle).answerSetting(handle, ORVEXSIM_SETTING_HID_REPORT_MODE, 0, 0);
}

int32_t orvexSetHIDCoordinateReportMode(int32_t handle, int32_t mode) {
  SIM(handle).storeSetting(handle, ORVEXSIM_SETTING_HID_REPORT_MODE, 0, mode);
  return 0;
}

// The driver version packed one byte per part: 6.2.14.3 is 0x06020E03.
int32_t orvexLibraryVersionNumber(intptr_t, intptr_t, intptr_t, intptr_t) {
  return SIM(0).libraryVersionNumber();
}

int32_t orvexLock(void) { return SIM(0).driverLock(); }

int32_t orvexUnlock(void) { return SIM(0).driverUnlock(); }

// No serial port is simulated apart from the hubs themselves.
int32_t orvexSerialGetConnected(intptr_t) {
  SIM(0);
  return 0;
}

int32_t orvexSerialConnect(intptr_t) {
  SIM(0);
  return 0;
}

int32_t orvexSerialDisconnect(void) {
  SIM(0);
  return 0;
}

int32_t orvexSerialSetStartupMode(intptr_t) {
  SIM(0);
  return 0;
}

int32_t orvexSerialGetStartupMode(void) {
  SIM(0);
  return 0;
}

int32_t orvexSetDoubleClickDistance(intptr_t, intptr_t) {
  SIM(0);
  return 0;
}

int32_t orvexSetDriverDebugMode(intptr_t, intptr_t, intptr_t) {
  SIM(0);
  return 0;
}

int32_t orvexEcho(intptr_t, intptr_t, intptr_t) {
  SIM(0);
  return 0;
}

int32_t orvexInject(intptr_t, intptr_t, intptr_t) {
  SIM(0);
  return 0;
}

int32_t orvexSendTouchPacketToSystem(int32_t handle, int32_t length, const uint8_t *data) {
  return SIM(handle).sendTouchToSystem(handle, length, data);
}

int32_t orvexSetLATEDetection(int32_t handle, int32_t enabled) {
  SIM(handle).storeSetting(handle, ORVEXSIM_SETTING_LATE_DETECTION, 0, enabled);
  return 0;
}

int32_t orvexGetLATEDetection(int32_t handle) {
  return SIM(handle).answerSetting(handle, ORVEXSIM_SETTING_LATE_DETECTION, 0, 0);
}

int32_t orvexIsSomethingOnBoard(int32_t handle) {
  return SIM(handle).answerSetting(handle, ORVEXSIM_SETTING_SOMETHING_ON_BOARD, 0, 0);
}

int32_t orvexSetTwoFingerScroll(intptr_t, intptr_t) {
  SIM(0);
  return 0;
}

}  // extern "C"
