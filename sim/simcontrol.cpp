// The simulator's side of the control interface: classroom set-up,
// inspection, timing, faults, boards and 2.4 GHz hubs.
#include <algorithm>
#include <cstdio>

#include "legacyhubmodel.h"
#include "orvexsim.h"
#include "rfhubmodel.h"
#include "simulator.h"

namespace orvexsim {

namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

Clock::time_point deadlineAfter(int timeoutMs) { return Clock::now() + milliseconds(std::max(timeoutMs, 0)); }

int copyOut(const Bytes &bytes, uint8_t *buf, int cap) {
  if (buf && cap > 0) std::copy_n(bytes.begin(), std::min(bytes.size(), static_cast<size_t>(cap)), buf);
  return static_cast<int>(bytes.size());
}

bool validSetting(int setting) {
  return setting >= ORVEXSIM_SETTING_XFER_MASK && setting <= ORVEXSIM_SETTING_SOMETHING_ON_BOARD;
}

}  // namespace

// ---------------------------------------------------------------------------
// Classroom set-up
// ---------------------------------------------------------------------------

SimHub *Simulator::addHubLocked(int kind, int32_t handle, uint64_t uid, int connection, int version,
                                const std::string &description) {
  auto hub = std::make_unique<SimHub>();
  hub->kind = kind;
  hub->handle = handle;
  hub->uid = uid;
  hub->connection = connection;
  hub->version = version;
  hub->description = description;
  hub->replyDelayUs = defaultReplyDelayUs_ >= 0 ? defaultReplyDelayUs_ : (hub->usesSerialPen() ? 8000 : 2000);
  hub->flashDelayUs = defaultFlashDelayUs_;
  hub->packetGapUs = defaultPacketGapUs_;
  if (hub->isLegacy()) {
    hub->model = std::make_unique<LegacyHubModel>(connection == ORVEXSIM_CONNECTION_SERIAL);
  } else {
    auto model = std::make_unique<RfHubModel>(kind == ORVEXSIM_KIND_VIRTUAL_RF);
    if (defaultHandsetDelayMs_.first >= 0)
      model->handsets().setBaseDelay(defaultHandsetDelayMs_.first, defaultHandsetDelayMs_.second);
    hub->model = std::move(model);
  }
  hubs_.push_back(std::move(hub));
  return hubs_.back().get();
}

void Simulator::buildDefaultClassroomLocked() {
  SimHub *rf = addHubLocked(ORVEXSIM_KIND_RF, ORVEXSIM_DEFAULT_RF_HUB, 0x0000000051C0A8E3ULL,
                            ORVEXSIM_CONNECTION_USB, 0x0301, std::string());
  auto *model = static_cast<RfHubModel *>(rf->model.get());
  model->setName("Room 12");
  for (int i = 1; i <= 32; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "V%02d", i);
    model->registerDevice(ORVEXSIM_CLASS_VOTE, 0x06A10000u + static_cast<uint32_t>(i),
                          static_cast<uint16_t>(0x0100 + i), name, 0);
  }
  static const char *const expressionNames[8] = {"Amélie", "Ben",    "Chloé", "Dmitri",
                                                 "Elif",   "Farouk", "Grace", "Hiroshi"};
  for (int i = 1; i <= 8; ++i) {
    // Handsets of the later series carry 0x0C in the uid's top byte.
    const uint32_t series = i <= 5 ? 0x09B20000u : 0x0CB20000u;
    model->registerDevice(ORVEXSIM_CLASS_EXPRESSION, series + static_cast<uint32_t>(i),
                          static_cast<uint16_t>(0x0200 + i), expressionNames[i - 1], 0);
  }
  for (int i = 1; i <= 4; ++i) {
    model->registerDevice(ORVEXSIM_CLASS_SLATE, 0x07C30000u + static_cast<uint32_t>(i),
                          static_cast<uint16_t>(0x0300 + i), "Slate " + std::to_string(i), 0);
  }
  model->registerDevice(ORVEXSIM_CLASS_PEN_EXPRESSION, 0x0DD40001u, 0x0401, "Pen pad 1", 0);
  // Handsets not yet registered, whose users key the PIN ABC when asked.
  for (int i = 33; i <= 36; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "V%02d", i);
    model->addWaiting(ORVEXSIM_CLASS_VOTE, 0x06A10000u + static_cast<uint32_t>(i), static_cast<uint16_t>(0x0100 + i),
                      name, "ABC");
  }
  model->addBoard(0x08E50001u, 0x0501, "Board 12", 912);

  SimHub *legacy = addHubLocked(ORVEXSIM_KIND_LEGACY_2, ORVEXSIM_DEFAULT_LEGACY_HUB, 0x000000004C3B2A19ULL,
                                ORVEXSIM_CONNECTION_USB, 864, std::string());
  legacy->model->addBoard(0, 0, "Board", 864);
  auto *legacyModel = static_cast<LegacyHubModel *>(legacy->model.get());
  legacyModel->setRadio(1, 1, 1, 12);
  for (uint32_t i = 1; i <= 4; ++i) legacyModel->addHandset(0x1A2B00u + i, 3, false);
  legacyModel->addSlate(5, false, std::string());
}

int Simulator::useDefaultClassroom() {
  std::lock_guard<std::mutex> lock(mu_);
  removeAllHubsLocked();
  configured_ = true;
  buildDefaultClassroomLocked();
  schedulePnpLocked();
  return 0;
}

int Simulator::useEmptyClassroom() {
  std::lock_guard<std::mutex> lock(mu_);
  const bool hadHubs = !hubs_.empty();
  removeAllHubsLocked();
  configured_ = true;
  if (hadHubs) schedulePnpLocked();
  return 0;
}

int Simulator::addHub(int kind, int32_t handle, uint64_t uid, int connection, int version,
                      const std::string &description) {
  if (kind < ORVEXSIM_KIND_LEGACY_1 || kind > ORVEXSIM_KIND_VIRTUAL_RF || handle == 0) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  if (findLocked(handle)) return -1;
  configured_ = true;
  addHubLocked(kind, handle, uid, connection, version, description);
  schedulePnpLocked();
  return 0;
}

int Simulator::removeHub(int32_t handle) {
  std::lock_guard<std::mutex> lock(mu_);
  if (!hubLocked(handle)) return -1;
  purgeHubEventsLocked(handle);
  hubs_.erase(std::remove_if(hubs_.begin(), hubs_.end(),
                             [handle](const std::unique_ptr<SimHub> &h) { return h->handle == handle; }),
              hubs_.end());
  schedulePnpLocked();
  return 0;
}

int Simulator::unplugHub(int32_t handle) {
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  if (!hub || !hub->plugged) return -1;
  unplugLocked(*hub);
  return 0;
}

int Simulator::plugHub(int32_t handle) {
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  if (!hub || hub->plugged) return -1;
  hub->plugged = true;
  schedulePnpLocked();
  return 0;
}

int Simulator::isHubPlugged(int32_t handle) {
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  return hub ? (hub->plugged ? 1 : 0) : -1;
}

int Simulator::setDeviceRecordKind(int32_t handle, int kind) {
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  if (!hub || kind < 0) return -1;
  hub->recordKind = kind;
  schedulePnpLocked();
  return 0;
}

int Simulator::setEnumFails(int32_t handle, bool fails) {
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  if (!hub) return -1;
  hub->enumFails = fails;
  return 0;
}

int Simulator::setDriverVersion(const std::string &text) {
  std::lock_guard<std::mutex> lock(mu_);
  driverVersion_ = text;
  return 0;
}

int Simulator::notifyPnp() {
  std::lock_guard<std::mutex> lock(mu_);
  schedulePnpLocked();
  return 0;
}

int Simulator::setPrefixPackets(int32_t handle, bool on) {
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  if (!hub) return -1;
  hub->prefixPackets = on;
  return 0;
}

// ---------------------------------------------------------------------------
// Traffic and inspection
// ---------------------------------------------------------------------------

int Simulator::injectPacket(int32_t handle, const uint8_t *data, int length, int count) {
  if (!data || length < 1 || count < 1 || count > 1000000) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  if (!hub || !hub->plugged) return -1;
  const Clock::time_point now = Clock::now();
  for (int i = 0; i < count; ++i) schedulePacketLocked(*hub, Bytes(data, data + length), now);
  return 0;
}

int Simulator::writeCount(int32_t handle) {
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  return hub ? static_cast<int>(hub->writes.size()) : -1;
}

int Simulator::getWrite(int32_t handle, int index, uint8_t *buf, int cap) {
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  if (!hub || index < 0 || static_cast<size_t>(index) >= hub->writes.size()) return -1;
  return copyOut(hub->writes[static_cast<size_t>(index)], buf, cap);
}

int Simulator::clearWrites(int32_t handle) {
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  if (!hub) return -1;
  hub->writes.clear();
  return 0;
}

int Simulator::waitForWrite(int32_t handle, const uint8_t *prefix, int prefixLength, int timeoutMs) {
  if (prefixLength < 0 || (prefixLength > 0 && !prefix)) return -1;
  const size_t n = static_cast<size_t>(prefixLength);
  std::unique_lock<std::mutex> lock(mu_);
  if (!hubLocked(handle)) return -1;
  int found = -1;
  cvChange_.wait_until(lock, deadlineAfter(timeoutMs), [&] {
    SimHub *hub = findLocked(handle);
    if (!hub) return false;
    for (size_t i = 0; i < hub->writes.size(); ++i) {
      const Bytes &w = hub->writes[i];
      if (w.size() >= n && std::equal(prefix, prefix + n, w.begin())) {
        found = static_cast<int>(i);
        return true;
      }
    }
    return false;
  });
  return found;
}

int Simulator::waitIdle(int timeoutMs) {
  std::unique_lock<std::mutex> lock(mu_);
  if (onDeliveryThread()) return -1;
  const bool idle =
      cvChange_.wait_until(lock, deadlineAfter(timeoutMs), [&] { return countable_ == 0 && !inFlight_.active; });
  return idle ? 0 : -1;
}

int Simulator::deliveredCount(int32_t handle) {
  std::lock_guard<std::mutex> lock(mu_);
  if (handle == 0) return pnpDelivered_;
  auto it = handles_.find(handle);
  return it == handles_.end() ? 0 : it->second.delivered;
}

int Simulator::callCount(const std::string &function, int32_t handle) {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = calls_.find(function);
  if (it == calls_.end()) return 0;
  if (handle != ORVEXSIM_ANY_HANDLE) {
    auto h = it->second.find(handle);
    return h == it->second.end() ? 0 : h->second;
  }
  int total = 0;
  for (const auto &entry : it->second) total += entry.second;
  return total;
}

int Simulator::waitForCallCount(const std::string &function, int32_t handle, int atLeast, int timeoutMs) {
  std::unique_lock<std::mutex> lock(mu_);
  const bool reached = cvChange_.wait_until(lock, deadlineAfter(timeoutMs), [&] {
    auto it = calls_.find(function);
    if (it == calls_.end()) return atLeast <= 0;
    int total = 0;
    for (const auto &entry : it->second)
      if (handle == ORVEXSIM_ANY_HANDLE || entry.first == handle) total += entry.second;
    return total >= atLeast;
  });
  return reached ? 0 : -1;
}

int Simulator::getSetting(int32_t handle, int setting, int pen, int32_t *value) {
  if (!validSetting(setting) || !value) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return -1;
  const bool perPen = setting == ORVEXSIM_SETTING_POINTING_DESTINATION || setting == ORVEXSIM_SETTING_POINTING_FLAG ||
                      setting == ORVEXSIM_SETTING_POINTING_EX_FLAG;
  auto v = it->second.settings.find({setting, perPen ? pen : 0});
  if (v == it->second.settings.end()) return -1;
  *value = v->second;
  return 0;
}

int Simulator::setAnswer(int32_t handle, int setting, int32_t value) {
  if (!validSetting(setting)) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  handles_[handle].answers[setting] = value;
  return 0;
}

int Simulator::clearAnswer(int32_t handle, int setting) {
  if (!validSetting(setting)) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  auto it = handles_.find(handle);
  if (it != handles_.end()) it->second.answers.erase(setting);
  return 0;
}

int Simulator::touchToSystemCount(int32_t handle) {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = handles_.find(handle);
  return it == handles_.end() ? 0 : static_cast<int>(it->second.touchToSystem.size());
}

int Simulator::getTouchToSystem(int32_t handle, int index, uint8_t *buf, int cap) {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = handles_.find(handle);
  if (it == handles_.end() || index < 0 || static_cast<size_t>(index) >= it->second.touchToSystem.size())
    return -1;
  return copyOut(it->second.touchToSystem[static_cast<size_t>(index)], buf, cap);
}

int Simulator::driverLockHeld() {
  std::lock_guard<std::mutex> lock(mu_);
  return lockDepth_ > 0 ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Timing and faults
// ---------------------------------------------------------------------------

int Simulator::setDelay(int32_t handle, Delay which, int us) {
  if (us < 0) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  auto apply = [which, us](SimHub &hub) {
    (which == Delay::Reply ? hub.replyDelayUs : which == Delay::Flash ? hub.flashDelayUs : hub.packetGapUs) = us;
  };
  if (handle == ORVEXSIM_ALL_HUBS) {
    for (auto &hub : hubs_) apply(*hub);
    (which == Delay::Reply ? defaultReplyDelayUs_ : which == Delay::Flash ? defaultFlashDelayUs_ : defaultPacketGapUs_) =
        us;
    return 0;
  }
  SimHub *hub = hubLocked(handle);
  if (!hub) return -1;
  apply(*hub);
  return 0;
}

int Simulator::setFault(int32_t handle, int fault, int value) {
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  if (!hub) return -1;
  Faults &f = hub->faults;
  const bool counted = value >= -1;
  switch (fault) {
  case ORVEXSIM_FAULT_REFUSE_WRITES: if (!counted) return -1; f.refuseWrites = value; break;
  case ORVEXSIM_FAULT_DROP_REPLIES: if (!counted) return -1; f.dropReplies = value; break;
  case ORVEXSIM_FAULT_DUPLICATE_REPLIES: if (!counted) return -1; f.duplicateReplies = value; break;
  case ORVEXSIM_FAULT_CORRUPT_REPLIES: if (!counted) return -1; f.corruptReplies = value; break;
  case ORVEXSIM_FAULT_DELAY_REPLIES: if (value < 0) return -1; f.extraDelayUs = value; break;
  case ORVEXSIM_FAULT_TRUNCATE_REPLIES: if (value < 0) return -1; f.truncateReplies = value; break;
  case ORVEXSIM_FAULT_DETACH_MID_EXCHANGE: f.detachNextWrite = value != 0; break;
  default: return -1;
  }
  return 0;
}

int Simulator::clearFaults(int32_t handle) {
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  if (!hub) return -1;
  hub->faults = Faults{};
  return 0;
}

// ---------------------------------------------------------------------------
// Boards
// ---------------------------------------------------------------------------

int Simulator::addBoard(int32_t handle, uint32_t uid, uint16_t address, const std::string &name, int version) {
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  if (!hub || version < 0) return -1;
  return hub->model->addBoard(uid, address, name, version) ? 0 : -1;
}

int Simulator::setTouchStatus(int32_t handle, int status, int touches, bool answers) {
  if (status < 0 || status > 0xFF || touches < 0 || touches > 0xFF) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  if (!hub) return -1;
  hub->board.touchStatus = static_cast<uint8_t>(status);
  hub->board.touchesSupported = static_cast<uint8_t>(touches);
  hub->board.answersQuery = answers;
  return 0;
}

int Simulator::sendTouchStatus(int32_t handle) {
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  if (!hub || !hub->plugged || !hub->model->hasBoard()) return -1;
  schedulePacketLocked(*hub, encodeTouchStatus(hub->board.touchStatus, hub->board.touchesSupported), Clock::now());
  return 0;
}

int Simulator::injectPen(int32_t handle, int pen, int x, int y, bool tip, bool barrel, bool proximity) {
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  if (!hub || !hub->plugged || !hub->model->hasBoard()) return -1;
  const int maxPen = hub->usesSerialPen() ? 15 : 3;
  if (pen < 0 || pen > maxPen || x < 0 || x > 0xFFFF || y < 0 || y > 0xFFFF) return -1;
  PenSample s;
  s.x = x;
  s.y = y;
  s.tip = tip;
  s.barrel = barrel;
  s.proximity = proximity;
  schedulePacketLocked(*hub, hub->usesSerialPen() ? encodeSerialPen(pen, s) : encodePen(pen, s), Clock::now());
  return 0;
}

int Simulator::injectTouch(int32_t handle, const std::vector<TouchContact> &touches) {
  if (touches.size() > 36) return -1;  // the length byte holds 2 + 7 * 36 at most
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  if (!hub || !hub->plugged || hub->model->boardVersion() < 850) return -1;
  schedulePacketLocked(*hub, encodeTouch(touches), Clock::now());
  return 0;
}

int Simulator::startPenStream(int32_t handle, int pen, int rateHz, int packetCount) {
  if (rateHz < 1 || rateHz > 100000 || packetCount < 0) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  if (!hub || !hub->plugged || !hub->model->hasBoard()) return -1;
  if (pen < 0 || pen > (hub->usesSerialPen() ? 15 : 3)) return -1;
  purgePenTicksLocked(handle);
  PenStream &stream = hub->penStream;
  stream.active = true;
  ++stream.generation;
  stream.pen = pen;
  stream.periodUs = 1000000 / rateHz;
  stream.remaining = packetCount > 0 ? packetCount : -1;
  stream.position = 0;
  Event tick;
  tick.kind = Event::PenTick;
  tick.handle = handle;
  tick.generation = stream.generation;
  tick.countable = packetCount > 0;
  pushEventLocked(Clock::now(), std::move(tick));
  return 0;
}

int Simulator::stopPenStream(int32_t handle) {
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  if (!hub) return -1;
  hub->penStream.active = false;
  ++hub->penStream.generation;
  purgePenTicksLocked(handle);
  return 0;
}

int Simulator::penCommand(int32_t handle, int pen, bool type) {
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  if (!hub) return -1;
  const std::map<int, int> &values = type ? hub->board.penType : hub->board.penMode;
  auto it = values.find(pen);
  return it == values.end() ? -1 : it->second;
}

// ---------------------------------------------------------------------------
// 2.4 GHz hubs
// ---------------------------------------------------------------------------

int Simulator::registerDevice(int32_t handle, int deviceClass, uint32_t uid, uint16_t address,
                              const std::string &name, int version) {
  if (deviceClass < 0 || deviceClass > 0xFF) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  RfHubModel *model = rfModelLocked(handle);
  if (!model) return -1;
  return model->registerDevice(static_cast<uint8_t>(deviceClass), uid, address, name, version) ? 0 : -1;
}

int Simulator::removeDevice(int32_t handle, uint32_t uid) {
  std::lock_guard<std::mutex> lock(mu_);
  RfHubModel *model = rfModelLocked(handle);
  return model && model->removeDevice(uid) ? 0 : -1;
}

int Simulator::hasDevice(int32_t handle, uint32_t uid) {
  std::lock_guard<std::mutex> lock(mu_);
  RfHubModel *model = rfModelLocked(handle);
  if (!model) return -1;
  return model->find(uid) ? 1 : 0;
}

int Simulator::deviceClassCount(int32_t handle, int deviceClass) {
  std::lock_guard<std::mutex> lock(mu_);
  RfHubModel *model = rfModelLocked(handle);
  return model ? model->count(deviceClass) : -1;
}

int Simulator::setHubName(int32_t handle, const std::string &name) {
  std::lock_guard<std::mutex> lock(mu_);
  RfHubModel *model = rfModelLocked(handle);
  if (!model) return -1;
  model->setName(name);
  return 0;
}

int Simulator::setCapacity(int32_t handle, int handsets, int boards, int slates) {
  if (handsets < 0 || handsets > 0xFFFF || boards < 0 || boards > 0xFF || slates < 0 || slates > 0xFF) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  RfHubModel *model = rfModelLocked(handle);
  if (!model) return -1;
  model->setCapacity(handsets, boards, slates);
  return 0;
}

int Simulator::setHubMode(int32_t handle, int mode) {
  if (mode < 0 || mode > 0xFF) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  RfHubModel *model = rfModelLocked(handle);
  if (!model) return -1;
  Bytes notice;
  if (model->setMode(static_cast<uint8_t>(mode), &notice)) schedulePacketLocked(*hub, notice, Clock::now());
  return 0;
}

int Simulator::getHubMode(int32_t handle) {
  std::lock_guard<std::mutex> lock(mu_);
  RfHubModel *model = rfModelLocked(handle);
  return model ? model->mode() : -1;
}

int Simulator::resetHub(int32_t handle) {
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  RfHubModel *model = rfModelLocked(handle);
  if (!model || !hub->plugged) return -1;
  schedulePacketLocked(*hub, model->reset(), Clock::now());
  return 0;
}

int Simulator::reportLowBattery(int32_t handle, uint32_t uid) {
  std::lock_guard<std::mutex> lock(mu_);
  SimHub *hub = hubLocked(handle);
  RfHubModel *model = rfModelLocked(handle);
  Bytes packet;
  if (!model || !hub->plugged || !model->lowBatteryPacket(uid, &packet)) return -1;
  schedulePacketLocked(*hub, packet, Clock::now());
  return 0;
}

int Simulator::waitRfModel(int32_t handle, int timeoutMs, const std::function<bool(const RfHubModel &)> &done) {
  std::unique_lock<std::mutex> lock(mu_);
  if (onDeliveryThread() || !rfModelLocked(handle)) return -1;
  const bool met = cvChange_.wait_until(lock, deadlineAfter(timeoutMs), [&] {
    const RfHubModel *model = rfModelLocked(handle);
    return model && done(*model);
  });
  return met ? 0 : -1;
}

int Simulator::setAllHandsetDelays(int minMs, int maxMs) {
  std::lock_guard<std::mutex> lock(mu_);
  defaultHandsetDelayMs_ = {minMs, maxMs};
  for (auto &hub : hubs_)
    if (auto *model = dynamic_cast<RfHubModel *>(hub->model.get())) model->handsets().setBaseDelay(minMs, maxMs);
  return 0;
}

}  // namespace orvexsim
