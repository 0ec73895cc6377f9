// The simulated driver: the classroom of hubs, the delivery thread that
// makes every callback, and the bookkeeping the control interface reads.
//
// One mutex guards all state. Contract and control calls take it briefly;
// the delivery thread holds it except while it runs a callback, so a
// callback may call any driver function. The thread starts when the first
// packet or notification is scheduled and is joined by orvexsim_reset and
// when the module is unloaded or the process exits.
#ifndef ORVEXSIM_SIMULATOR_H
#define ORVEXSIM_SIMULATOR_H

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <orvexsystem/orvexboardex.h>

#include "orvexsim.h"
#include "simhub.h"
#include "simtypes.h"
#include "tracefile.h"

namespace orvexsim {

class LegacyHubModel;
class RfHubModel;
struct ReplayState;

// Sets the classroom up as ORVEXSIM_REPLAY or ORVEXSIM_SCENARIO say, if
// they are set (filecontrol.cpp).
void applyEnvironment();

class Simulator {
public:
  // The one simulator of the process, made on first use and freed when the
  // module is unloaded or the process exits (its thread stopped first).
  static Simulator &instance();
  ~Simulator();  // replay.cpp, where the replay's state is complete
  // Stops the delivery thread for good; false when the caller is that
  // thread, which then still needs the simulator.
  bool shutdownForUnload();

  // --- contract -----------------------------------------------------------
  void countCall(const char *function, int32_t handle);
  int attach();
  int setCallback(int32_t handle, OrvexPacketCallback callback, void *context);
  int clearCallback(int32_t handle, OrvexPacketCallback callback, void *context);
  int setPnpCallback(OrvexPnpCallback callback, void *context);
  int writePacket(int32_t handle, const uint8_t *data, int32_t length);
  int deviceCount();
  int enumDeviceInfo(int32_t index, uint8_t *info);
  // Stores a value set through a pass-through function.
  void storeSetting(int32_t handle, int setting, int pen, int32_t value);
  // What a getter answers: the fixed answer, else the last value set, else
  // the default.
  int32_t answerSetting(int32_t handle, int setting, int pen, int32_t defaultValue);
  int sendTouchToSystem(int32_t handle, int32_t length, const uint8_t *data);
  int driverLock();
  int driverUnlock();
  int libraryVersionNumber();

  // --- classroom set-up ---------------------------------------------------
  int reset();
  int useDefaultClassroom();
  int useEmptyClassroom();
  int addHub(int kind, int32_t handle, uint64_t uid, int connection, int version,
             const std::string &description);
  int removeHub(int32_t handle);
  int unplugHub(int32_t handle);
  int plugHub(int32_t handle);
  int isHubPlugged(int32_t handle);
  int setDeviceRecordKind(int32_t handle, int kind);
  int setEnumFails(int32_t handle, bool fails);
  int setDriverVersion(const std::string &text);
  int notifyPnp();
  int setPrefixPackets(int32_t handle, bool on);

  // --- traffic and inspection --------------------------------------------
  int injectPacket(int32_t handle, const uint8_t *data, int length, int count);
  int writeCount(int32_t handle);
  int getWrite(int32_t handle, int index, uint8_t *buf, int cap);
  int clearWrites(int32_t handle);
  int waitForWrite(int32_t handle, const uint8_t *prefix, int prefixLength, int timeoutMs);
  int waitIdle(int timeoutMs);
  int deliveredCount(int32_t handle);
  int callCount(const std::string &function, int32_t handle);
  int waitForCallCount(const std::string &function, int32_t handle, int atLeast, int timeoutMs);
  int getSetting(int32_t handle, int setting, int pen, int32_t *value);
  int setAnswer(int32_t handle, int setting, int32_t value);
  int clearAnswer(int32_t handle, int setting);
  int touchToSystemCount(int32_t handle);
  int getTouchToSystem(int32_t handle, int index, uint8_t *buf, int cap);
  int driverLockHeld();

  // --- timing and faults --------------------------------------------------
  enum class Delay { Reply, Flash, Gap };
  int setDelay(int32_t handle, Delay which, int us);
  int setFault(int32_t handle, int fault, int value);
  int clearFaults(int32_t handle);

  // --- boards -------------------------------------------------------------
  int addBoard(int32_t handle, uint32_t uid, uint16_t address, const std::string &name, int version);
  int setTouchStatus(int32_t handle, int status, int touches, bool answers);
  int sendTouchStatus(int32_t handle);
  int injectPen(int32_t handle, int pen, int x, int y, bool tip, bool barrel, bool proximity);
  int injectTouch(int32_t handle, const std::vector<TouchContact> &touches);
  int startPenStream(int32_t handle, int pen, int rateHz, int packetCount);
  int stopPenStream(int32_t handle);
  int penCommand(int32_t handle, int pen, bool type);

  // --- legacy hubs --------------------------------------------------------
  // What a control call makes a legacy hub send: replies, timed and faulted
  // as replies to a command, and key presses, sent at once one packet gap
  // apart.
  struct LegacyOutput {
    std::vector<ReplyPacket> replies;
    std::vector<Bytes> presses;
  };
  using LegacyAction = std::function<int(LegacyHubModel &, LegacyOutput &)>;
  // Runs action on the legacy hub's model under the lock and schedules what
  // it produced; returns its result, or -1 when the handle names no legacy
  // hub or (sending) the hub is unplugged.
  int withLegacyHub(int32_t handle, bool sending, const LegacyAction &action);

  // --- 2.4 GHz hubs -------------------------------------------------------
  int registerDevice(int32_t handle, int deviceClass, uint32_t uid, uint16_t address,
                     const std::string &name, int version);
  int removeDevice(int32_t handle, uint32_t uid);
  int hasDevice(int32_t handle, uint32_t uid);
  int deviceClassCount(int32_t handle, int deviceClass);
  int setHubName(int32_t handle, const std::string &name);
  int setCapacity(int32_t handle, int handsets, int boards, int slates);
  int setHubMode(int32_t handle, int mode);
  int getHubMode(int32_t handle);
  int resetHub(int32_t handle);
  int reportLowBattery(int32_t handle, uint32_t uid);

  // Runs f(model) on the hub's 2.4 GHz model under the lock, then schedules
  // what its devices were set to do; -1 when the hub is not a 2.4 GHz hub.
  template <typename F>
  int withRfModel(int32_t handle, F f) {
    std::lock_guard<std::mutex> lock(mu_);
    SimHub *hub = hubLocked(handle);
    RfHubModel *model = rfModelLocked(handle);
    if (!model) return -1;
    const int result = f(*model);
    scheduleDeviceEventsLocked(*hub);
    return result;
  }
  // Waits until done(model) holds for the hub's 2.4 GHz model (checked
  // under the lock whenever the classroom changes); 0, or -1 on time-out
  // or when the hub is not a 2.4 GHz hub.
  int waitRfModel(int32_t handle, int timeoutMs, const std::function<bool(const RfHubModel &)> &done);
  // Sets the handset delay range of every hub and of hubs added later.
  int setAllHandsetDelays(int minMs, int maxMs);

  // --- replay of a trace (replay.cpp) ------------------------------------
  // Stops a replay in progress, builds the trace's classroom and starts
  // playing it on the replay thread.
  int startReplay(TraceData trace);
  int stopReplay();
  int setReplayWriteWait(int ms);
  int replayStatus(OrvexSimReplayStatus *status);
  int replayWait(int timeoutMs);

  // Stops the delivery thread for good (module unload, process exit).
  void shutdown();

private:
  Simulator() = default;
  Simulator(const Simulator &) = delete;
  Simulator &operator=(const Simulator &) = delete;

  struct Event {
    enum Kind { Packet, Pnp, PenTick, Device } kind = Packet;
    int32_t handle = 0;
    Bytes bytes;
    uint64_t generation = 0;  // pen ticks; the model's id of a device event
    bool countable = true;    // counts towards "not idle"
    bool replay = false;      // a packet of the trace being replayed
  };
  using EventKey = std::pair<Clock::time_point, uint64_t>;

  struct HandleState {
    OrvexPacketCallback callback = nullptr;
    void *context = nullptr;
    std::map<std::pair<int, int>, int32_t> settings;  // (setting, pen) -> value
    std::map<int, int32_t> answers;                    // setting -> fixed answer
    std::vector<Bytes> touchToSystem;
    int delivered = 0;
  };

  using AnyFunction = void (*)();
  struct InFlight {
    bool active = false;
    bool pnp = false;
    int32_t handle = 0;
    AnyFunction callback = nullptr;
  };

  // All ...Locked members expect mu_ to be held.
  void ensureConfiguredLocked();
  void buildDefaultClassroomLocked();
  void removeAllHubsLocked();
  SimHub *findLocked(int32_t handle);
  // findLocked after the default classroom has been made if needed.
  SimHub *hubLocked(int32_t handle);
  RfHubModel *rfModelLocked(int32_t handle);
  SimHub *addHubLocked(int kind, int32_t handle, uint64_t uid, int connection, int version,
                       const std::string &description);
  void unplugLocked(SimHub &hub);
  void purgeHubEventsLocked(int32_t handle);
  void purgePenTicksLocked(int32_t handle);

  void ensureThreadLocked();
  void pushEventLocked(Clock::time_point due, Event event);
  // Schedules a packet of the hub no earlier than due and not before the
  // packets already scheduled for it.
  void schedulePacketLocked(SimHub &hub, Bytes bytes, Clock::time_point due);
  void scheduleRepliesLocked(SimHub &hub, const std::vector<ReplyPacket> &replies);
  // Schedules the model's new device events, each the hub's reply delay
  // (the radio's latency) after its own delay.
  void scheduleDeviceEventsLocked(SimHub &hub);
  void fireDeviceEventLocked(const Event &event);
  void schedulePnpLocked();

  void run();
  // False when nobody was there to take the packet.
  bool deliverLocked(std::unique_lock<std::mutex> &lock, int32_t handle, Bytes bytes);
  void penTickLocked(std::unique_lock<std::mutex> &lock, const Event &event, Clock::time_point due);
  bool onDeliveryThread() const { return std::this_thread::get_id() == deliveryId_; }
  void stopThreadLocked(std::unique_lock<std::mutex> &lock);

  // Replay: the library wrote bytes to a hub of the trace; answers whether
  // the write is accepted.
  bool replayWriteLocked(SimHub &hub, const Bytes &bytes);
  // A replayed packet left the queue (delivered or dropped).
  void replayPacketDoneLocked(bool delivered);
  void replayRun();
  void stopReplayLocked(std::unique_lock<std::mutex> &lock);

  mutable std::mutex mu_;
  std::condition_variable cvWork_;    // wakes the delivery thread
  std::condition_variable cvChange_;  // wakes waiters of the control interface

  // classroom
  bool configured_ = false;
  std::vector<std::unique_ptr<SimHub>> hubs_;  // in the order they were added
  std::string driverVersion_ = "6.2.14.3";
  int64_t defaultReplyDelayUs_ = -1;  // -1: by hub kind
  int64_t defaultFlashDelayUs_ = 150000;
  int64_t defaultPacketGapUs_ = 200;
  std::pair<int, int> defaultHandsetDelayMs_{-1, -1};  // -1: the model's own

  // callbacks and bookkeeping
  std::map<int32_t, HandleState> handles_;
  OrvexPnpCallback pnpCallback_ = nullptr;
  void *pnpContext_ = nullptr;
  int pnpDelivered_ = 0;
  std::map<std::string, std::map<int32_t, int>> calls_;
  std::thread::id lockOwner_{};
  int lockDepth_ = 0;

  // delivery
  std::map<EventKey, Event> queue_;
  uint64_t sequence_ = 0;
  int countable_ = 0;
  InFlight inFlight_;
  std::thread thread_;
  std::thread::id deliveryId_{};
  bool stopping_ = false;
  bool shutdown_ = false;

  // replay
  std::unique_ptr<ReplayState> replay_;
  std::thread replayThread_;
  int replayWriteWaitMs_ = 5000;
};

}  // namespace orvexsim

#endif
