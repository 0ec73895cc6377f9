// The simulator's core: callbacks, writes, device records, scheduling and
// the delivery thread.
#include "simulator.h"

#include <algorithm>
#include <cstring>

#include "orvexsim.h"
#include "replay.h"
#include "rfhubmodel.h"
#include "text.h"

#include <atomic>

namespace orvexsim {

namespace {

using std::chrono::microseconds;

constexpr int64_t kPnpDelayUs = 1000;

// The simulator of the process; both are constant-initialised, so they are
// usable whatever the order of static construction and destruction.
std::atomic<Simulator *> g_simulator{nullptr};
std::mutex g_instanceMutex;
// Set once the first simulator of the process has read the environment.
std::atomic<bool> g_ready{false};

// Stops the delivery thread and frees the classroom before the module's
// code goes away, at dlclose() or at process exit: a host that loads and
// unloads the driver again and again leaves nothing behind. A call made
// after that (by another static destructor at exit) gets a fresh, empty
// simulator.
struct ShutdownGuard {
  ~ShutdownGuard() {
    Simulator *simulator = g_simulator.exchange(nullptr);
    if (simulator && simulator->shutdownForUnload()) delete simulator;
  }
};
ShutdownGuard shutdownGuard;

void putLe32(uint8_t *p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// Writes text as UTF-16LE with its NUL into units code units at most; a
// surrogate pair that does not fit is left out whole.
void putUtf16(uint8_t *p, size_t units, const std::u16string &text) {
  size_t n = std::min(text.size(), units - 1);
  if (n > 0 && n < text.size() && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
  for (size_t i = 0; i < n; ++i) {
    p[2 * i] = static_cast<uint8_t>(text[i]);
    p[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
  }
  p[2 * n] = 0;
  p[2 * n + 1] = 0;
}

template <typename F>
void (*anyFunction(F f))() {
  return reinterpret_cast<void (*)()>(f);
}

}  // namespace

Simulator &Simulator::instance() {
  // The thread that makes the simulator sets it up from the environment
  // (applyEnvironment) through the control interface, which comes back
  // here; other threads wait until the set-up is done.
  static thread_local bool settingUp = false;
  Simulator *simulator = g_simulator.load(std::memory_order_acquire);
  if (simulator && (g_ready.load(std::memory_order_acquire) || settingUp)) return *simulator;
  std::lock_guard<std::mutex> lock(g_instanceMutex);
  simulator = g_simulator.load(std::memory_order_acquire);
  if (!simulator) {
    simulator = new Simulator;
    g_simulator.store(simulator, std::memory_order_release);
    if (!g_ready.load()) {
      settingUp = true;
      applyEnvironment();
      settingUp = false;
      g_ready.store(true, std::memory_order_release);
    }
  }
  return *simulator;
}

bool Simulator::shutdownForUnload() {
  // A process that exits from inside a callback keeps the simulator: its
  // delivery thread, detached, still runs on it.
  const bool onThread = onDeliveryThread();
  shutdown();
  return !onThread;
}

// ---------------------------------------------------------------------------
// Contract
// ---------------------------------------------------------------------------

void Simulator::countCall(const char *function, int32_t handle) {
  std::lock_guard<std::mutex> lock(mu_);
  ++calls_[function][handle];
  cvChange_.notify_all();
}

int Simulator::attach() {
  std::lock_guard<std::mutex> lock(mu_);
  ensureConfiguredLocked();
  return 0;
}

int Simulator::setCallback(int32_t handle, OrvexPacketCallback callback, void *context) {
  if (handle == 0 || !callback) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  HandleState &state = handles_[handle];
  state.callback = callback;
  state.context = context;
  cvChange_.notify_all();  // a replay may wait for it
  return 0;
}

int Simulator::clearCallback(int32_t handle, OrvexPacketCallback callback, void *context) {
  (void)context;  // a callback is identified by its function and handle
  std::unique_lock<std::mutex> lock(mu_);
  const AnyFunction wanted = anyFunction(callback);
  int removed = 0;
  if (handle == 0) {
    if (pnpCallback_ && (!callback || anyFunction(pnpCallback_) == wanted)) {
      pnpCallback_ = nullptr;
      pnpContext_ = nullptr;
      removed = 1;
    }
  } else {
    auto it = handles_.find(handle);
    if (it != handles_.end() && it->second.callback && (!callback || it->second.callback == callback)) {
      it->second.callback = nullptr;
      it->second.context = nullptr;
      removed = 1;
    }
  }
  // A call of this callback for this handle may be running on the delivery
  // thread: wait for it, unless this is that thread.
  if (!onDeliveryThread()) {
    cvChange_.wait(lock, [&] {
      return !(inFlight_.active && inFlight_.handle == handle && inFlight_.pnp == (handle == 0) &&
               (!callback || inFlight_.callback == wanted));
    });
  }
  return removed;
}

int Simulator::setPnpCallback(OrvexPnpCallback callback, void *context) {
  std::lock_guard<std::mutex> lock(mu_);
  pnpCallback_ = callback;
  pnpContext_ = callback ? context : nullptr;
  return 0;
}

int Simulator::writePacket(int32_t handle, const uint8_t *data, int32_t length) {
  std::lock_guard<std::mutex> lock(mu_);
  ensureConfiguredLocked();
  SimHub *hub = findLocked(handle);
  if (!hub || length < 0 || (length > 0 && !data)) return -1;
  Bytes bytes;
  if (length > 0) bytes.assign(data, data + length);
  if (hub->replayed) {
    // The trace answers, not a model; a write made while the hub is
    // unplugged still meets its recorded (refused) twin.
    const bool accepted = replayWriteLocked(*hub, bytes) && hub->plugged;
    if (accepted) hub->writes.push_back(std::move(bytes));
    cvChange_.notify_all();
    return accepted ? 0 : -1;
  }
  if (!hub->plugged) return -1;
  Faults &faults = hub->faults;
  if (faults.refuseWrites != 0) {
    if (faults.refuseWrites > 0) --faults.refuseWrites;
    return -1;
  }
  hub->writes.push_back(bytes);
  cvChange_.notify_all();

  if (faults.detachNextWrite) {
    faults.detachNextWrite = false;
    unplugLocked(*hub);
    return 0;
  }
  const Command command = Command::parse(bytes.data(), bytes.size());
  if (!command.complete) return 0;  // a hub acts on a command only at its CR
  std::vector<ReplyPacket> replies;
  if (!handleBoardCommand(hub->board, hub->model->hasBoard(), command, replies))
    hub->model->handleCommand(command, replies);
  scheduleRepliesLocked(*hub, replies);
  scheduleDeviceEventsLocked(*hub);
  return 0;
}

int Simulator::deviceCount() {
  std::lock_guard<std::mutex> lock(mu_);
  ensureConfiguredLocked();
  return static_cast<int>(std::count_if(hubs_.begin(), hubs_.end(),
                                        [](const std::unique_ptr<SimHub> &h) { return h->plugged; }));
}

int Simulator::enumDeviceInfo(int32_t index, uint8_t *info) {
  if (!info || index < 0) return 0;
  const uint32_t header = static_cast<uint32_t>(info[0]) | static_cast<uint32_t>(info[1]) << 8 |
                          static_cast<uint32_t>(info[2]) << 16 | static_cast<uint32_t>(info[3]) << 24;
  if (header != ORVEX_DEVICE_INFO_HEADER) return 0;  // not a record of the size we fill
  std::lock_guard<std::mutex> lock(mu_);
  ensureConfiguredLocked();
  const SimHub *hub = nullptr;
  int position = 0;
  for (const auto &h : hubs_) {
    if (!h->plugged) continue;
    if (position++ == index) {
      hub = h.get();
      break;
    }
  }
  if (!hub || hub->enumFails) return 0;

  std::memset(info, 0, ORVEX_DEVICE_INFO_SIZE);
  putLe32(info + ORVEX_DEVICE_INFO_OFFSET_HEADER, ORVEX_DEVICE_INFO_HEADER);
  putLe32(info + ORVEX_DEVICE_INFO_OFFSET_KIND, static_cast<uint32_t>(hub->recordKind ? hub->recordKind : hub->kind));
  putLe32(info + ORVEX_DEVICE_INFO_OFFSET_CONNECTION, static_cast<uint32_t>(hub->connection));
  putLe32(info + ORVEX_DEVICE_INFO_OFFSET_VERSION, static_cast<uint32_t>(hub->version));
  putLe32(info + ORVEX_DEVICE_INFO_OFFSET_HANDLE, static_cast<uint32_t>(hub->handle));
  putLe32(info + ORVEX_DEVICE_INFO_OFFSET_UID, static_cast<uint32_t>(hub->uid));
  putLe32(info + ORVEX_DEVICE_INFO_OFFSET_UID + 4, static_cast<uint32_t>(hub->uid >> 32));
  putUtf16(info + ORVEX_DEVICE_INFO_OFFSET_DESCRIPTION,
           (ORVEX_DEVICE_INFO_OFFSET_DRIVER_VERSION - ORVEX_DEVICE_INFO_OFFSET_DESCRIPTION) / 2,
           toUtf16(hub->description));
  putUtf16(info + ORVEX_DEVICE_INFO_OFFSET_DRIVER_VERSION,
           (ORVEX_DEVICE_INFO_SIZE - ORVEX_DEVICE_INFO_OFFSET_DRIVER_VERSION) / 2, toUtf16(driverVersion_));
  return 1;
}

namespace {
bool isPerPen(int setting) {
  return setting == ORVEXSIM_SETTING_POINTING_DESTINATION || setting == ORVEXSIM_SETTING_POINTING_FLAG ||
         setting == ORVEXSIM_SETTING_POINTING_EX_FLAG;
}
}  // namespace

void Simulator::storeSetting(int32_t handle, int setting, int pen, int32_t value) {
  std::lock_guard<std::mutex> lock(mu_);
  handles_[handle].settings[{setting, isPerPen(setting) ? pen : 0}] = value;
  cvChange_.notify_all();
}

int32_t Simulator::answerSetting(int32_t handle, int setting, int pen, int32_t defaultValue) {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return defaultValue;
  auto answer = it->second.answers.find(setting);
  if (answer != it->second.answers.end()) return answer->second;
  auto value = it->second.settings.find({setting, isPerPen(setting) ? pen : 0});
  return value != it->second.settings.end() ? value->second : defaultValue;
}

int Simulator::sendTouchToSystem(int32_t handle, int32_t length, const uint8_t *data) {
  const int count = length & 0xFF;  // the length travels as one byte
  if (count > 0 && !data) return -1;
  std::lock_guard<std::mutex> lock(mu_);
  handles_[handle].touchToSystem.emplace_back(data, data + count);
  cvChange_.notify_all();
  return 0;
}

int Simulator::driverLock() {
  std::unique_lock<std::mutex> lock(mu_);
  const std::thread::id me = std::this_thread::get_id();
  if (lockDepth_ > 0 && lockOwner_ != me) {
    if (onDeliveryThread()) return -1;  // the delivery thread never waits for a caller
    cvChange_.wait(lock, [&] { return lockDepth_ == 0; });
  }
  lockOwner_ = me;
  ++lockDepth_;
  return 0;
}

int Simulator::driverUnlock() {
  std::lock_guard<std::mutex> lock(mu_);
  if (lockDepth_ == 0 || lockOwner_ != std::this_thread::get_id()) return -1;
  if (--lockDepth_ == 0) lockOwner_ = std::thread::id();
  cvChange_.notify_all();
  return 0;
}

int Simulator::libraryVersionNumber() {
  std::lock_guard<std::mutex> lock(mu_);
  uint32_t packed = 0;
  int parts = 0;
  unsigned current = 0;
  for (char c : driverVersion_ + ".") {
    if (c >= '0' && c <= '9') {
      current = std::min(current * 10 + static_cast<unsigned>(c - '0'), 255u);
    } else {
      if (parts < 4) packed |= current << (24 - 8 * parts);
      ++parts;
      current = 0;
    }
  }
  return static_cast<int>(packed);
}

// ---------------------------------------------------------------------------
// Hubs
// ---------------------------------------------------------------------------

void Simulator::ensureConfiguredLocked() {
  if (configured_) return;
  configured_ = true;
  buildDefaultClassroomLocked();
}

SimHub *Simulator::findLocked(int32_t handle) {
  for (auto &h : hubs_)
    if (h->handle == handle) return h.get();
  return nullptr;
}

SimHub *Simulator::hubLocked(int32_t handle) {
  ensureConfiguredLocked();
  return findLocked(handle);
}

RfHubModel *Simulator::rfModelLocked(int32_t handle) {
  SimHub *hub = hubLocked(handle);
  return hub ? dynamic_cast<RfHubModel *>(hub->model.get()) : nullptr;
}

void Simulator::unplugLocked(SimHub &hub) {
  hub.plugged = false;
  hub.model->unplugged();
  hub.penStream.active = false;
  ++hub.penStream.generation;
  hub.lastDue = Clock::time_point();
  purgeHubEventsLocked(hub.handle);
  schedulePnpLocked();
}

void Simulator::purgeHubEventsLocked(int32_t handle) {
  for (auto it = queue_.begin(); it != queue_.end();) {
    if (it->second.kind != Event::Pnp && it->second.handle == handle) {
      if (it->second.countable) --countable_;
      if (it->second.replay) replayPacketDoneLocked(false);
      it = queue_.erase(it);
    } else {
      ++it;
    }
  }
  cvChange_.notify_all();
}

void Simulator::purgePenTicksLocked(int32_t handle) {
  for (auto it = queue_.begin(); it != queue_.end();) {
    if (it->second.kind == Event::PenTick && it->second.handle == handle) {
      if (it->second.countable) --countable_;
      it = queue_.erase(it);
    } else {
      ++it;
    }
  }
  cvChange_.notify_all();
}

void Simulator::removeAllHubsLocked() {
  for (auto &h : hubs_) purgeHubEventsLocked(h->handle);
  hubs_.clear();
}

// ---------------------------------------------------------------------------
// Scheduling and delivery
// ---------------------------------------------------------------------------

void Simulator::ensureThreadLocked() {
  if (thread_.joinable() || stopping_ || shutdown_) return;
  thread_ = std::thread([this] { run(); });
  deliveryId_ = thread_.get_id();
}

void Simulator::pushEventLocked(Clock::time_point due, Event event) {
  if (event.countable) ++countable_;
  queue_.emplace(EventKey(due, sequence_++), std::move(event));
  ensureThreadLocked();
  cvWork_.notify_one();
}

void Simulator::schedulePacketLocked(SimHub &hub, Bytes bytes, Clock::time_point due) {
  if (!hub.plugged) return;
  const Clock::time_point at = std::max(due, hub.lastDue);
  hub.lastDue = at;
  Event event;
  event.kind = Event::Packet;
  event.handle = hub.handle;
  event.bytes = std::move(bytes);
  pushEventLocked(at, std::move(event));
}

void Simulator::scheduleRepliesLocked(SimHub &hub, const std::vector<ReplyPacket> &replies) {
  Faults &faults = hub.faults;
  size_t count = replies.size();
  if (faults.truncateReplies > 0 && count > static_cast<size_t>(faults.truncateReplies))
    count = static_cast<size_t>(faults.truncateReplies);
  const Clock::time_point now = Clock::now();
  const Clock::time_point base = now + microseconds(faults.extraDelayUs);
  Clock::time_point at = now;
  for (size_t i = 0; i < count; ++i) {
    const ReplyPacket &reply = replies[i];
    if (reply.timing == ReplyTiming::Next && i > 0)
      at += microseconds(hub.packetGapUs);
    else
      at = std::max(at, base + microseconds(reply.timing == ReplyTiming::Flash ? hub.flashDelayUs : hub.replyDelayUs));

    if (faults.dropReplies != 0) {
      if (faults.dropReplies > 0) --faults.dropReplies;
      continue;
    }
    Bytes bytes = reply.bytes;
    if (faults.corruptReplies != 0) {
      if (faults.corruptReplies > 0) --faults.corruptReplies;
      for (size_t k = 1; k < bytes.size(); ++k) bytes[k] = static_cast<uint8_t>(~bytes[k]);
    }
    if (faults.duplicateReplies != 0) {
      if (faults.duplicateReplies > 0) --faults.duplicateReplies;
      schedulePacketLocked(hub, bytes, at);
    }
    schedulePacketLocked(hub, std::move(bytes), at);
  }
}

void Simulator::scheduleDeviceEventsLocked(SimHub &hub) {
  const std::vector<DeviceEvent> events = hub.model->takeDeviceEvents();
  if (events.empty()) return;
  if (!hub.plugged) {  // nobody hears a hub without power
    hub.model->unplugged();
    return;
  }
  const Clock::time_point now = Clock::now();
  for (const DeviceEvent &e : events) {
    Event event;
    event.kind = Event::Device;
    event.handle = hub.handle;
    event.generation = e.id;
    pushEventLocked(now + microseconds(hub.replyDelayUs + std::max<int64_t>(e.delayUs, 0)), std::move(event));
  }
}

void Simulator::fireDeviceEventLocked(const Event &event) {
  SimHub *hub = findLocked(event.handle);
  if (!hub || !hub->plugged) return;
  std::vector<Bytes> packets;
  hub->model->fireDeviceEvent(event.generation, packets);
  Clock::time_point at = Clock::now();
  for (Bytes &packet : packets) {
    schedulePacketLocked(*hub, std::move(packet), at);
    at += microseconds(hub->packetGapUs);
  }
}

void Simulator::schedulePnpLocked() {
  Event event;
  event.kind = Event::Pnp;
  pushEventLocked(Clock::now() + microseconds(kPnpDelayUs), std::move(event));
}

void Simulator::run() {
  std::unique_lock<std::mutex> lock(mu_);
  while (!stopping_ && !shutdown_) {
    if (queue_.empty()) {
      cvWork_.wait(lock);
      continue;
    }
    auto it = queue_.begin();
    const Clock::time_point due = it->first.first;
    if (due > Clock::now()) {
      cvWork_.wait_until(lock, due);
      continue;
    }
    Event event = std::move(it->second);
    queue_.erase(it);
    if (event.countable) --countable_;
    switch (event.kind) {
    case Event::Packet: {
      const bool delivered = deliverLocked(lock, event.handle, std::move(event.bytes));
      if (event.replay) replayPacketDoneLocked(delivered);
      break;
    }
    case Event::PenTick:
      penTickLocked(lock, event, due);
      break;
    case Event::Device:
      fireDeviceEventLocked(event);
      break;
    case Event::Pnp:
      if (pnpCallback_) {
        const OrvexPnpCallback callback = pnpCallback_;
        void *context = pnpContext_;
        ++pnpDelivered_;
        inFlight_ = InFlight{true, true, 0, anyFunction(callback)};
        lock.unlock();
        callback(context);
        lock.lock();
        inFlight_ = InFlight{};
      }
      break;
    }
    cvChange_.notify_all();
  }
}

bool Simulator::deliverLocked(std::unique_lock<std::mutex> &lock, int32_t handle, Bytes bytes) {
  SimHub *hub = findLocked(handle);
  if (!hub || !hub->plugged) return false;
  auto it = handles_.find(handle);
  if (it == handles_.end() || !it->second.callback) return false;
  if (hub->prefixPackets) {
    Bytes framed{static_cast<uint8_t>(std::min<size_t>(bytes.size() + 3, 0xFF)), 0x41, 0x00};
    framed.insert(framed.end(), bytes.begin(), bytes.end());
    bytes.swap(framed);
  }
  const OrvexPacketCallback callback = it->second.callback;
  void *context = it->second.context;
  ++it->second.delivered;
  inFlight_ = InFlight{true, false, handle, anyFunction(callback)};
  lock.unlock();
  callback(handle, bytes.data(), static_cast<uint32_t>(bytes.size()), context);
  lock.lock();
  inFlight_ = InFlight{};
  return true;
}

void Simulator::penTickLocked(std::unique_lock<std::mutex> &lock, const Event &event, Clock::time_point due) {
  SimHub *hub = findLocked(event.handle);
  if (!hub || !hub->plugged) return;
  PenStream &stream = hub->penStream;
  if (!stream.active || stream.generation != event.generation) return;
  const PenSample sample = strokeSample(stream.position / kStrokePackets, stream.position % kStrokePackets);
  ++stream.position;
  Bytes packet = hub->usesSerialPen() ? encodeSerialPen(stream.pen, sample) : encodePen(stream.pen, sample);
  if (stream.remaining > 0) --stream.remaining;
  if (stream.remaining == 0) {
    stream.active = false;
  } else {
    Event next;
    next.kind = Event::PenTick;
    next.handle = event.handle;
    next.generation = event.generation;
    next.countable = stream.remaining > 0;
    // A stream that falls behind its rate slows down instead of bursting.
    pushEventLocked(std::max(due + microseconds(stream.periodUs), Clock::now()), std::move(next));
  }
  deliverLocked(lock, event.handle, std::move(packet));
}

void Simulator::stopThreadLocked(std::unique_lock<std::mutex> &lock) {
  cvChange_.wait(lock, [&] { return !stopping_; });  // another stop in progress
  if (!thread_.joinable()) return;
  stopping_ = true;
  cvWork_.notify_all();
  std::thread thread = std::move(thread_);
  lock.unlock();
  thread.join();
  lock.lock();
  stopping_ = false;
  deliveryId_ = std::thread::id();
  cvChange_.notify_all();
  if (!queue_.empty()) ensureThreadLocked();
}

void Simulator::shutdown() {
  std::unique_lock<std::mutex> lock(mu_);
  shutdown_ = true;
  stopReplayLocked(lock);
  if (!thread_.joinable()) return;
  if (onDeliveryThread()) {  // the process exits from inside a callback
    cvWork_.notify_all();
    thread_.detach();
    return;
  }
  stopThreadLocked(lock);
}

int Simulator::reset() {
  std::unique_lock<std::mutex> lock(mu_);
  if (onDeliveryThread()) return -1;
  stopReplayLocked(lock);
  replay_.reset();
  replayWriteWaitMs_ = 5000;
  stopThreadLocked(lock);
  queue_.clear();
  countable_ = 0;
  hubs_.clear();
  handles_.clear();
  pnpCallback_ = nullptr;
  pnpContext_ = nullptr;
  pnpDelivered_ = 0;
  calls_.clear();
  lockOwner_ = std::thread::id();
  lockDepth_ = 0;
  configured_ = false;
  driverVersion_ = "6.2.14.3";
  defaultReplyDelayUs_ = -1;
  defaultFlashDelayUs_ = 150000;
  defaultPacketGapUs_ = 200;
  defaultHandsetDelayMs_ = {-1, -1};
  cvChange_.notify_all();
  return 0;
}

}  // namespace orvexsim
