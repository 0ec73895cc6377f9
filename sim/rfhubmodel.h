// The 2.4 GHz hub (kinds 3 and 4): keeps the registrations of its devices,
// answers the 2.4 GHz command set as a hub does, and runs the sessions in
// which its handsets register, report names, answer questions and vote.
//
// Queries (answered in every session):
//   ":GI"      0B 51 handsets used/capacity (16-bit each), boards used/capacity,
//              slates used/capacity, mode byte (0 idle)
//   ":GN"      10 32 name (10 bytes, zero padded) free store (4 bytes)
//   ":GD" hh   04 53 count (16-bit); hh two lower-case hex digits (06, 0d)
//   ":GR" hh   one record per registered device of the class, then OK
// Registry:
//   ":CS" cc   cc one of 99 (all), 06, 07, 08, 09, 0D: clears the class and
//              restarts the hub: 03 A0 00 after the reply delay, then OK
//              after the flash write
//   ":RD" id   id the 12 upper-case hex digits of uid and address: removes
//              the device and enters removal mode until ":VE"; no reply
// Sessions (opened only when no session is open, unless stated):
//   ":VR"/":SR" digits PIN   vote / slate registration (at least 7 digits,
//              then three letters A-F); no reply
//   ":XP001" CR 09 xh xl y z c1 c2 c3 n   expression registration; n = 0
//              without naming, else bits 3-0 the longest name a handset's
//              user types while registering (0: 14)
//   ":XP002"   expression naming: OK after the reply delay
//   ":XP003" CR 11 ah al name(14)   names the expression handset with that
//              address (in no session or in expression naming): 04 82 ah al
//              after the reply delay; an unknown address is not answered
//   ":VN"      vote naming; no reply
//   ":VN" id name(4), ":NS" id name(10)   names that voting handset or
//              slate (in no session or in its naming session, which it
//              opens); no reply
//   ":VZ" count   PIN naming; no reply
//   ":VB", ":VM"  voting session (both alike); no reply
//   ":XP005" CR block   a question session, or end-user naming (kind 9);
//              no reply; a second start replaces a running one
//   ":XP004"   ends end-user naming: OK after the flash write
//   ":XP00A" CR 00   opens the asynchronous transport: OK after the reply
//              delay (again while it is open: the transport starts over)
//   ":XP00B" CR 03 ah al i, ":XP00C" CR L i n t f data   in the transport:
//              a message waiting in the host's buffer i (1-255) for the
//              handset at that address (OK), and a fragment of it (no
//              reply); the handsets' side is in rfmessaging.h
//   ":VE"      ends any session: OK after the flash write, idle again
// Virtual hubs (kind 4) also answer:
//   ":GL"      n A3 name: the name in ISO 8859-1, n its length in bytes
//   ":AE001"   opens the generic session: OK (again while it is open too)
//   ":AE002" CR ah al n2 n1 n0 message   in the generic session: OK; the
//              device at that address receives the message
// Numbers are big-endian; OK is 04 32 4F 4B. Other commands, and parameters
// in any other form, get no reply.
//
// Mode bytes (":GI" byte 10 and the notices 04 56 previous new) follow the
// hub's state tables: the sessions that change the registry use modes whose
// end makes the host re-read its lists: vote registration 0x01, slate
// registration 0x11, expression registration 0x20 (0x30 with naming), and
// removal 0x09 (leaving it schedules a re-read, entering it cancels none).
// The other sessions leave the hub idle (mode 0): a host may name an
// expression handset during expression naming, which needs an idle hub.
//
// Handsets act through device events (hubmodel.h), each after a delay drawn
// from its behaviour (rfhandsets.h) and only within the session that made
// it, unless its radio fault is "late".
#ifndef ORVEXSIM_RFHUBMODEL_H
#define ORVEXSIM_RFHUBMODEL_H

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "hubmodel.h"
#include "rfhandsets.h"
#include "rfmessaging.h"
#include "rfpackets.h"

namespace orvexsim {

class RfHubModel : public HubModel {
public:
  // A virtual hub (kind 4) answers its own commands besides the 2.4 GHz set.
  explicit RfHubModel(bool virtualHub = false) : virtual_(virtualHub) {}
  RfHubModel(const RfHubModel &) = delete;
  RfHubModel &operator=(const RfHubModel &) = delete;

  bool handleCommand(const Command &command, std::vector<ReplyPacket> &replies) override;
  bool hasBoard() const override;
  int boardVersion() const override;
  bool addBoard(uint32_t uid, uint16_t address, const std::string &name, int version) override;
  std::vector<DeviceEvent> takeDeviceEvents() override;
  void fireDeviceEvent(uint64_t id, std::vector<Bytes> &packets) override;
  void unplugged() override;

  bool registerDevice(uint8_t deviceClass, uint32_t uid, uint16_t address, const std::string &name,
                      int version);
  bool removeDevice(uint32_t uid);
  const RegisteredDevice *find(uint32_t uid) const;
  // Devices that ":GD" counts for the class; 0 counts all.
  int count(int deviceClass) const;

  void setName(const std::string &name) { name_ = name; }
  void setCapacity(int handsets, int boards, int slates);

  uint8_t mode() const { return mode_; }
  // Changes the mode byte; when it changes, *notice receives the
  // state-changed packet 04 56 previous new and the result is true.
  bool setMode(uint8_t mode, Bytes *notice);
  // The hub restarts: idle, no session, and the reset packet 03 A0 00 to send.
  Bytes reset();
  // 08 50 uid address for a registered device.
  bool lowBatteryPacket(uint32_t uid, Bytes *packet) const;

  RfHandsets &handsets() { return handsets_; }

  // What handsets do when their users act. Each returns how many handsets
  // will act (0 or 1 for one uid; uid 0 means every handset concerned), or
  // -1 when the uid names no such handset.
  bool addWaiting(uint8_t deviceClass, uint32_t uid, uint16_t address, const std::string &name,
                  const std::string &pin);
  int registerWaiting(uint32_t uid);
  int registerWaitingClass(uint8_t deviceClass);
  int vote(uint32_t uid, int key, int presses, bool batteryLow);
  int reportName(uint32_t uid, const std::optional<std::string> &name);
  int keyPin(uint32_t uid, const std::optional<std::string> &pin);

  // Device messages (rfmessaging.h): a handset acts only while the
  // transport is open, a device sends generic messages only in the
  // generic session; otherwise the result is 0. -1 for a uid that names no
  // device that can.
  int asyncRequest(uint32_t uid, const Bytes &deviceData);
  int asyncSend(uint32_t uid, const Bytes &message, const std::vector<int> *order);
  int switchHandset(uint32_t uid, bool on);
  int genericSend(uint32_t uid, const Bytes &message);
  const RfMessaging &messaging() const { return messaging_; }
  bool isVirtual() const { return virtual_; }

  static Bytes okReply() { return Bytes{0x04, 0x32, 0x4F, 0x4B}; }

  static constexpr uint8_t kModeVoteRegistration = 0x01;
  static constexpr uint8_t kModeRemoval = 0x09;
  static constexpr uint8_t kModeSlateRegistration = 0x11;
  static constexpr uint8_t kModeExpressionRegistration = 0x20;
  static constexpr uint8_t kModeNamingExpressionRegistration = 0x30;

private:
  enum class Session {
    None,
    Removal,
    VoteRegistration,
    SlateRegistration,
    ExpressionRegistration,
    ExpressionNaming,
    VoteNaming,
    SlateNaming,
    Question,
    EndUserNaming,
    PinNaming,
    Voting,
    Async,    // the asynchronous transport
    Generic,  // the virtual hub's generic session
  };
  struct SessionState {
    Session kind = Session::None;
    uint64_t id = 0;
    std::string pin;         // registration
    size_t nameLength = 0;   // expression registration with naming
    Question question;       // question sessions and end-user naming
    int pinCount = 0;        // PIN naming
  };
  // A device event waiting for its time.
  struct Pending {
    uint64_t session = 0;
    bool late = false;              // sent even after its session ended
    bool registers = false;         // device joins the registry first
    bool renames = false;           // device takes its new name first
    bool messaging = false;         // a send of rfmessaging.h, in its epoch
    uint64_t epoch = 0;
    RegisteredDevice device;
    std::vector<Bytes> packets;
  };

  enum class Group { Handset, Board, Slate, None };
  static Group groupOf(uint8_t deviceClass);
  static bool inQuery(int queryClass, uint8_t deviceClass);
  int groupCount(Group g) const;
  bool hasRoom(uint8_t deviceClass) const;
  void clearQuery(int queryClass);

  bool handleSessionCommand(const Command &c, std::vector<ReplyPacket> &replies);
  bool handleExtended(const Command &c, std::vector<ReplyPacket> &replies);
  bool handleVirtual(const Command &c, std::vector<ReplyPacket> &replies);
  // Opens a session (a new session id) and moves to its mode.
  // mode -1 leaves the mode byte as it is.
  void open(Session kind, int mode, std::vector<ReplyPacket> &replies);
  void startQuestion(const Question &q, std::vector<ReplyPacket> &replies);
  void schedule(const HandsetBehaviour &b, int64_t delayUs, Pending p);
  void schedule(std::vector<HandsetSend> &sends);
  // Registered devices the uid selects (0: all for which wanted is true).
  template <typename Pred>
  std::vector<const RegisteredDevice *> select(uint32_t uid, Pred wanted, bool *known) const;
  // The session in which the device reports a name, if the hub is in one.
  bool namesNow(uint8_t deviceClass) const;

  std::vector<RegisteredDevice> devices_;
  std::string name_ = "Hub";
  int handsetCapacity_ = 512;
  int boardCapacity_ = 4;
  int slateCapacity_ = 64;
  uint8_t mode_ = 0;
  SessionState session_;
  uint64_t sessions_ = 0;
  RfHandsets handsets_;
  std::map<uint64_t, Pending> pending_;
  std::vector<DeviceEvent> fresh_;
  uint64_t nextEvent_ = 1;
  bool virtual_ = false;
  RfMessaging messaging_{devices_, handsets_};
};

}  // namespace orvexsim

#endif
