// The C control interface of orvexsim.h over the simulator.
#include "orvexsim.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "rfhubmodel.h"
#include "simulator.h"
#include "text.h"

using orvexsim::RfHubModel;
using orvexsim::Simulator;
using orvexsim::safeText;

namespace {
Simulator &sim() { return Simulator::instance(); }

std::optional<std::string> optionalText(const char *text) {
  return text ? std::optional<std::string>(text) : std::nullopt;
}

// Each character one of allowed; length within [minLength, maxLength].
bool spelled(const char *text, const char *allowed, size_t minLength, size_t maxLength) {
  const size_t n = std::strlen(text);
  return n >= minLength && n <= maxLength && std::strspn(text, allowed) == n;
}
}  // namespace

extern "C" {

int orvexsim_reset(void) { return sim().reset(); }
int orvexsim_use_default_classroom(void) { return sim().useDefaultClassroom(); }
int orvexsim_use_empty_classroom(void) { return sim().useEmptyClassroom(); }

int orvexsim_add_hub(int kind, int32_t handle, uint64_t uid, int connectionType, int version,
                     const char *description) {
  return sim().addHub(kind, handle, uid, connectionType, version, safeText(description));
}

int orvexsim_remove_hub(int32_t handle) { return sim().removeHub(handle); }
int orvexsim_unplug_hub(int32_t handle) { return sim().unplugHub(handle); }
int orvexsim_plug_hub(int32_t handle) { return sim().plugHub(handle); }
int orvexsim_is_hub_plugged(int32_t handle) { return sim().isHubPlugged(handle); }
int orvexsim_set_device_record_kind(int32_t handle, int kind) { return sim().setDeviceRecordKind(handle, kind); }
int orvexsim_set_enum_fails(int32_t handle, int fails) { return sim().setEnumFails(handle, fails != 0); }
int orvexsim_set_driver_version(const char *text) { return sim().setDriverVersion(safeText(text)); }
int orvexsim_notify_pnp(void) { return sim().notifyPnp(); }
int orvexsim_set_prefix_packets(int32_t handle, int on) { return sim().setPrefixPackets(handle, on != 0); }

int orvexsim_inject_packet(int32_t handle, const uint8_t *data, int length) {
  return sim().injectPacket(handle, data, length, 1);
}

int orvexsim_inject_repeated(int32_t handle, const uint8_t *data, int length, int count) {
  return sim().injectPacket(handle, data, length, count);
}

int orvexsim_write_count(int32_t handle) { return sim().writeCount(handle); }
int orvexsim_get_write(int32_t handle, int index, uint8_t *buf, int cap) {
  return sim().getWrite(handle, index, buf, cap);
}
int orvexsim_clear_writes(int32_t handle) { return sim().clearWrites(handle); }

int orvexsim_wait_for_write(int32_t handle, const uint8_t *prefix, int prefixLength, int timeoutMs) {
  return sim().waitForWrite(handle, prefix, prefixLength, timeoutMs);
}

int orvexsim_wait_for_command(int32_t handle, const char *text, int timeoutMs) {
  if (!text) return -1;
  return sim().waitForWrite(handle, reinterpret_cast<const uint8_t *>(text), static_cast<int>(std::strlen(text)),
                            timeoutMs);
}

int orvexsim_wait_idle(int timeoutMs) { return sim().waitIdle(timeoutMs); }
int orvexsim_delivered_count(int32_t handle) { return sim().deliveredCount(handle); }

int orvexsim_call_count(const char *function, int32_t handle) {
  return function ? sim().callCount(function, handle) : -1;
}

int orvexsim_wait_for_call_count(const char *function, int32_t handle, int atLeast, int timeoutMs) {
  return function ? sim().waitForCallCount(function, handle, atLeast, timeoutMs) : -1;
}

int orvexsim_get_setting(int32_t handle, int setting, int pen, int32_t *value) {
  return sim().getSetting(handle, setting, pen, value);
}
int orvexsim_set_answer(int32_t handle, int setting, int32_t value) { return sim().setAnswer(handle, setting, value); }
int orvexsim_clear_answer(int32_t handle, int setting) { return sim().clearAnswer(handle, setting); }
int orvexsim_touch_to_system_count(int32_t handle) { return sim().touchToSystemCount(handle); }
int orvexsim_get_touch_to_system(int32_t handle, int index, uint8_t *buf, int cap) {
  return sim().getTouchToSystem(handle, index, buf, cap);
}
int orvexsim_driver_lock_held(void) { return sim().driverLockHeld(); }

int orvexsim_set_reply_delay_us(int32_t handle, int us) { return sim().setDelay(handle, Simulator::Delay::Reply, us); }
int orvexsim_set_flash_delay_us(int32_t handle, int us) { return sim().setDelay(handle, Simulator::Delay::Flash, us); }
int orvexsim_set_packet_gap_us(int32_t handle, int us) { return sim().setDelay(handle, Simulator::Delay::Gap, us); }
int orvexsim_set_fault(int32_t handle, int fault, int value) { return sim().setFault(handle, fault, value); }
int orvexsim_clear_faults(int32_t handle) { return sim().clearFaults(handle); }

int orvexsim_add_board(int32_t handle, uint32_t uid, uint16_t address, const char *name, int version) {
  return sim().addBoard(handle, uid, address, safeText(name), version);
}

int orvexsim_set_touch_status(int32_t handle, int statusByte, int touchesSupported, int answersQuery) {
  return sim().setTouchStatus(handle, statusByte, touchesSupported, answersQuery != 0);
}

int orvexsim_send_touch_status(int32_t handle) { return sim().sendTouchStatus(handle); }

int orvexsim_inject_pen(int32_t handle, int pen, int x, int y, int tip, int barrel, int proximity) {
  return sim().injectPen(handle, pen, x, y, tip != 0, barrel != 0, proximity != 0);
}

int orvexsim_inject_touch(int32_t handle, const OrvexSimTouch *touches, int count) {
  if (count < 0 || (count > 0 && !touches)) return -1;
  std::vector<orvexsim::TouchContact> contacts;
  for (int i = 0; i < count; ++i) {
    const OrvexSimTouch &t = touches[i];
    if (t.id < 0 || t.id > 127 || t.x < 0 || t.x > 0xFFFF || t.y < 0 || t.y > 0xFFFF || t.radius < 0 ||
        t.radius > 0xFFFF)
      return -1;
    orvexsim::TouchContact c;
    c.id = t.id;
    c.x = t.x;
    c.y = t.y;
    c.radius = t.radius;
    c.status = t.status != 0;
    contacts.push_back(c);
  }
  return sim().injectTouch(handle, contacts);
}

int orvexsim_start_pen_stream(int32_t handle, int pen, int rateHz, int packetCount) {
  return sim().startPenStream(handle, pen, rateHz, packetCount);
}
int orvexsim_stop_pen_stream(int32_t handle) { return sim().stopPenStream(handle); }
int orvexsim_get_pen_type(int32_t handle, int pen) { return sim().penCommand(handle, pen, true); }
int orvexsim_get_pen_hardware_mode(int32_t handle, int pen) { return sim().penCommand(handle, pen, false); }

int orvexsim_register_device(int32_t handle, int deviceClass, uint32_t uid, uint16_t address, const char *name) {
  return sim().registerDevice(handle, deviceClass, uid, address, safeText(name), 850);
}
int orvexsim_remove_device(int32_t handle, uint32_t uid) { return sim().removeDevice(handle, uid); }
int orvexsim_has_device(int32_t handle, uint32_t uid) { return sim().hasDevice(handle, uid); }
int orvexsim_device_count(int32_t handle, int deviceClass) { return sim().deviceClassCount(handle, deviceClass); }
int orvexsim_set_hub_name(int32_t handle, const char *name) { return sim().setHubName(handle, safeText(name)); }
int orvexsim_set_capacity(int32_t handle, int handsets, int boards, int slates) {
  return sim().setCapacity(handle, handsets, boards, slates);
}
int orvexsim_set_hub_mode(int32_t handle, int mode) { return sim().setHubMode(handle, mode); }
int orvexsim_set_hub_busy(int32_t handle, int busy) { return sim().setHubMode(handle, busy ? 0x01 : 0x00); }
int orvexsim_get_hub_mode(int32_t handle) { return sim().getHubMode(handle); }
int orvexsim_reset_hub(int32_t handle) { return sim().resetHub(handle); }
int orvexsim_report_low_battery(int32_t handle, uint32_t uid) { return sim().reportLowBattery(handle, uid); }

int orvexsim_get_device_name(int32_t handle, uint32_t uid, char *buf, int cap) {
  return sim().withRfModel(handle, [&](RfHubModel &m) {
    const orvexsim::RegisteredDevice *d = m.find(uid);
    if (!d) return -1;
    if (buf && cap > 0) {
      const size_t n = std::min(d->name.size(), static_cast<size_t>(cap - 1));
      std::memcpy(buf, d->name.data(), n);
      buf[n] = '\0';
    }
    return static_cast<int>(d->name.size());
  });
}

int orvexsim_set_handset_answers(int32_t handle, uint32_t uid, int answers) {
  return sim().withRfModel(handle, [&](RfHubModel &m) {
    m.handsets().setAnswers(uid, answers != 0);
    return 0;
  });
}

int orvexsim_set_handset_answer(int32_t handle, uint32_t uid, const char *answer) {
  return sim().withRfModel(handle, [&](RfHubModel &m) {
    m.handsets().setAnswer(uid, optionalText(answer));
    return 0;
  });
}

int orvexsim_set_handset_delay_ms(int32_t handle, uint32_t uid, int minMs, int maxMs) {
  if (minMs < 0 || maxMs < minMs || maxMs > 600000) return -1;
  if (handle == ORVEXSIM_ALL_HUBS) return uid == ORVEXSIM_ALL_HANDSETS ? sim().setAllHandsetDelays(minMs, maxMs) : -1;
  return sim().withRfModel(handle, [&](RfHubModel &m) {
    m.handsets().setDelay(uid, minMs, maxMs);
    return 0;
  });
}

int orvexsim_set_handset_fault(int32_t handle, uint32_t uid, int fault) {
  if (fault < ORVEXSIM_HANDSET_FAULT_NONE || fault > ORVEXSIM_HANDSET_FAULT_LATE) return -1;
  return sim().withRfModel(handle, [&](RfHubModel &m) {
    m.handsets().setFault(uid, static_cast<orvexsim::RadioFault>(fault));
    return 0;
  });
}

int orvexsim_seed_handsets(int32_t handle, uint32_t seed) {
  return sim().withRfModel(handle, [&](RfHubModel &m) {
    m.handsets().seed(seed);
    return 0;
  });
}

int orvexsim_clear_handset_settings(int32_t handle) {
  return sim().withRfModel(handle, [&](RfHubModel &m) {
    m.handsets().clearSettings();
    return 0;
  });
}

int orvexsim_add_waiting_handset(int32_t handle, int deviceClass, uint32_t uid, uint16_t address, const char *name,
                                 const char *pin) {
  if (deviceClass < 0 || deviceClass > 0xFF || (pin && !spelled(pin, "ABCDEF", 3, 3))) return -1;
  return sim().withRfModel(handle, [&](RfHubModel &m) {
    return m.addWaiting(static_cast<uint8_t>(deviceClass), uid, address, safeText(name), safeText(pin)) ? 0 : -1;
  });
}

int orvexsim_register_waiting(int32_t handle, uint32_t uid) {
  return sim().withRfModel(handle, [&](RfHubModel &m) { return m.registerWaiting(uid); });
}

int orvexsim_register_waiting_class(int32_t handle, int deviceClass) {
  if (deviceClass < 0 || deviceClass > 0xFF) return -1;
  return sim().withRfModel(handle,
                           [&](RfHubModel &m) { return m.registerWaitingClass(static_cast<uint8_t>(deviceClass)); });
}

int orvexsim_vote(int32_t handle, uint32_t uid, int key, int presses, int batteryLow) {
  if (key < 0 || key > 6 || presses < 1 || presses > 100) return -1;
  return sim().withRfModel(handle, [&](RfHubModel &m) { return m.vote(uid, key, presses, batteryLow != 0); });
}

int orvexsim_report_name(int32_t handle, uint32_t uid, const char *name) {
  return sim().withRfModel(handle, [&](RfHubModel &m) { return m.reportName(uid, optionalText(name)); });
}

int orvexsim_key_pin(int32_t handle, uint32_t uid, const char *pin) {
  if (pin && !spelled(pin, "ABCDEF ", 0, 4)) return -1;
  return sim().withRfModel(handle, [&](RfHubModel &m) { return m.keyPin(uid, optionalText(pin)); });
}

}  // extern "C"

// ---------------------------------------------------------------------------
// Device messages
// ---------------------------------------------------------------------------

namespace {

// length bytes of data as Bytes; false for a length outside 0..maxLength or
// missing data.
bool bytesArg(const uint8_t *data, int length, int maxLength, orvexsim::Bytes *out) {
  if (length < 0 || length > maxLength || (length > 0 && !data)) return false;
  out->assign(data, data + length);
  return true;
}

}  // namespace

extern "C" {

int orvexsim_set_handset_enhanced(int32_t handle, uint32_t uid, int on) {
  return sim().withRfModel(handle, [&](RfHubModel &m) {
    m.handsets().setEnhanced(uid, on != 0);
    return 0;
  });
}

int orvexsim_set_generic_reply(int32_t handle, uint32_t uid, int mode, const uint8_t *data, int length) {
  orvexsim::Bytes reply;
  if (mode < ORVEXSIM_GENERIC_SILENT || mode > ORVEXSIM_GENERIC_FIXED || !bytesArg(data, length, 0xFFFF, &reply))
    return -1;
  return sim().withRfModel(handle, [&](RfHubModel &m) {
    m.handsets().setGenericReply(uid, static_cast<orvexsim::GenericReply>(mode), reply);
    return 0;
  });
}

int orvexsim_set_waiting_pin(int32_t handle, uint32_t uid, const char *pin) {
  if (!pin || !spelled(pin, "ABCDEF", 3, 3)) return -1;
  return sim().withRfModel(handle, [&](RfHubModel &m) { return m.handsets().setWaitingPin(uid, pin) ? 0 : -1; });
}

int orvexsim_async_request(int32_t handle, uint32_t uid, const uint8_t *data, int length) {
  orvexsim::Bytes deviceData;
  if (!bytesArg(data, length, 8, &deviceData)) return -1;
  deviceData.resize(8, 0);
  return sim().withRfModel(handle, [&](RfHubModel &m) { return m.asyncRequest(uid, deviceData); });
}

int orvexsim_async_send(int32_t handle, uint32_t uid, const uint8_t *data, int length) {
  orvexsim::Bytes message;
  if (!bytesArg(data, length, 2040, &message)) return -1;
  return sim().withRfModel(handle, [&](RfHubModel &m) { return m.asyncSend(uid, message, nullptr); });
}

int orvexsim_async_send_packets(int32_t handle, uint32_t uid, const uint8_t *data, int length, const int *order,
                                int count) {
  orvexsim::Bytes message;
  if (!bytesArg(data, length, 2040, &message) || !order || count < 1 || count > 1000) return -1;
  const std::vector<int> packets(order, order + count);
  return sim().withRfModel(handle, [&](RfHubModel &m) { return m.asyncSend(uid, message, &packets); });
}

int orvexsim_async_switch(int32_t handle, uint32_t uid, int on) {
  return sim().withRfModel(handle, [&](RfHubModel &m) { return m.switchHandset(uid, on != 0); });
}

int orvexsim_generic_send(int32_t handle, uint32_t uid, const uint8_t *data, int length) {
  orvexsim::Bytes message;
  if (!bytesArg(data, length, 0xFFFF, &message)) return -1;
  return sim().withRfModel(handle, [&](RfHubModel &m) { return m.genericSend(uid, message); });
}

int orvexsim_get_enhanced_state(int32_t handle, uint32_t uid, OrvexSimEnhancedState *state) {
  return sim().withRfModel(handle, [&](RfHubModel &m) {
    orvexsim::MessagingState s;
    if (!m.messaging().state(uid, &s)) return -1;
    if (state) {
      state->phase = static_cast<int>(s.phase);
      state->question = s.question;
      state->answered = s.answered;
      state->lastAnswered = s.lastAnswered;
      state->malformed = s.malformed;
      state->emptyFetches = s.emptyFetches;
    }
    return 0;
  });
}

int orvexsim_device_message_count(int32_t handle, uint32_t uid) {
  return sim().withRfModel(handle, [&](RfHubModel &m) {
    const std::vector<orvexsim::Bytes> *received = m.messaging().received(uid);
    return received ? static_cast<int>(received->size()) : 0;
  });
}

int orvexsim_get_device_message(int32_t handle, uint32_t uid, int index, uint8_t *buf, int cap) {
  return sim().withRfModel(handle, [&](RfHubModel &m) {
    const std::vector<orvexsim::Bytes> *received = m.messaging().received(uid);
    if (!received || index < 0 || static_cast<size_t>(index) >= received->size()) return -1;
    const orvexsim::Bytes &message = (*received)[static_cast<size_t>(index)];
    if (buf && cap > 0) std::memcpy(buf, message.data(), std::min(message.size(), static_cast<size_t>(cap)));
    return static_cast<int>(message.size());
  });
}

int orvexsim_wait_device_messages(int32_t handle, uint32_t uid, int count, int timeoutMs) {
  return sim().waitRfModel(handle, timeoutMs, [&](const RfHubModel &m) {
    const std::vector<orvexsim::Bytes> *received = m.messaging().received(uid);
    return (received ? static_cast<int>(received->size()) : 0) >= count;
  });
}

}  // extern "C"
