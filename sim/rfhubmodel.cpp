#include "rfhubmodel.h"

#include <algorithm>
#include <utility>

#include "text.h"

namespace orvexsim {

namespace {

// The hub reads hexadecimal parameters in one form only: a product id as
// two lower-case digits (":GR0d"), a device identity as twelve upper-case
// digits (":RD06A100050105"). Anything else is not a command it knows.
bool isHexDigit(char c, bool upper) {
  return (c >= '0' && c <= '9') || (upper ? (c >= 'A' && c <= 'F') : (c >= 'a' && c <= 'f'));
}

long long parseHexExact(const std::string &s, size_t digits, bool upper) {
  if (s.size() != digits) return -1;
  long long v = 0;
  for (char c : s) {
    if (!isHexDigit(c, upper)) return -1;
    v = v * 16 + (c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
  }
  return v;
}

// The classes ":CS" clears, exactly as documented (0D in upper case).
int clearQueryOf(const std::string &s) {
  static const char *const forms[] = {"99", "06", "07", "08", "09", "0D"};
  for (const char *f : forms)
    if (s == f) return static_cast<int>(parseHexExact(s, 2, true));
  return -1;
}

uint8_t byteOf(int v) { return static_cast<uint8_t>(std::min(std::max(v, 0), 0xFF)); }

bool isPinLetter(uint8_t c) { return c >= 'A' && c <= 'F'; }

bool allDigits(const std::string &s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A fixed-width name field: its bytes up to the first zero byte.
std::string nameField(const std::string &bytes) { return bytes.substr(0, bytes.find('\0')); }

// Voting handsets answer the kinds of their keys; expression handsets every
// kind; other devices none.
bool answersKind(uint8_t deviceClass, uint8_t kind) {
  if (isVotingClass(deviceClass)) return kind >= kMultichoice && kind <= kLikert;
  return deviceClass == kClassExpression && kind >= kMultichoice && kind <= kEndUserNaming;
}

}  // namespace

RfHubModel::Group RfHubModel::groupOf(uint8_t deviceClass) {
  switch (deviceClass) {
  case kClassVote: case kClassVoteAlt: case kClassExpression: case kClassPenExpression: return Group::Handset;
  case kClassBoard: return Group::Board;
  case kClassSlate: return Group::Slate;
  default: return Group::None;
  }
}

bool RfHubModel::inQuery(int queryClass, uint8_t deviceClass) {
  if (queryClass == kClassVote) return isVotingClass(deviceClass);
  return deviceClass == queryClass;
}

int RfHubModel::groupCount(Group g) const {
  return static_cast<int>(std::count_if(devices_.begin(), devices_.end(),
                                        [g](const RegisteredDevice &d) { return groupOf(d.deviceClass) == g; }));
}

bool RfHubModel::hasRoom(uint8_t deviceClass) const {
  const Group g = groupOf(deviceClass);
  if (g == Group::None) return false;
  const int capacity = g == Group::Handset ? handsetCapacity_ : g == Group::Board ? boardCapacity_ : slateCapacity_;
  return groupCount(g) < capacity;
}

int RfHubModel::count(int deviceClass) const {
  if (deviceClass == 0) return static_cast<int>(devices_.size());
  return static_cast<int>(std::count_if(devices_.begin(), devices_.end(), [deviceClass](const RegisteredDevice &d) {
    return inQuery(deviceClass, d.deviceClass);
  }));
}

bool RfHubModel::hasBoard() const { return groupCount(Group::Board) > 0; }

int RfHubModel::boardVersion() const {
  for (const RegisteredDevice &d : devices_)
    if (d.deviceClass == kClassBoard) return d.version;
  return -1;
}

bool RfHubModel::addBoard(uint32_t uid, uint16_t address, const std::string &name, int version) {
  return registerDevice(kClassBoard, uid, address, name, version);
}

bool RfHubModel::registerDevice(uint8_t deviceClass, uint32_t uid, uint16_t address,
                                const std::string &name, int version) {
  if (find(uid) || !hasRoom(deviceClass)) return false;
  devices_.push_back(RegisteredDevice{deviceClass, uid, address, name, version});
  return true;
}

bool RfHubModel::removeDevice(uint32_t uid) {
  auto it = std::find_if(devices_.begin(), devices_.end(), [uid](const RegisteredDevice &d) { return d.uid == uid; });
  if (it == devices_.end()) return false;
  devices_.erase(it);
  return true;
}

const RegisteredDevice *RfHubModel::find(uint32_t uid) const {
  for (const RegisteredDevice &d : devices_)
    if (d.uid == uid) return &d;
  return nullptr;
}

void RfHubModel::setCapacity(int handsets, int boards, int slates) {
  handsetCapacity_ = std::min(std::max(handsets, 0), 0xFFFF);
  boardCapacity_ = byteOf(boards);
  slateCapacity_ = byteOf(slates);
}

bool RfHubModel::setMode(uint8_t mode, Bytes *notice) {
  if (mode == mode_) return false;
  if (notice) *notice = Bytes{0x04, 0x56, mode_, mode};
  mode_ = mode;
  return true;
}

Bytes RfHubModel::reset() {
  mode_ = 0;
  session_ = SessionState{};
  session_.id = ++sessions_;
  return Bytes{0x03, 0xA0, 0x00};
}

void RfHubModel::unplugged() {
  reset();
  pending_.clear();
  fresh_.clear();
}

bool RfHubModel::lowBatteryPacket(uint32_t uid, Bytes *packet) const {
  const RegisteredDevice *d = find(uid);
  if (!d) return false;
  *packet = orvexsim::lowBatteryPacket(d->uid, d->address);
  return true;
}

void RfHubModel::clearQuery(int queryClass) {
  devices_.erase(std::remove_if(devices_.begin(), devices_.end(),
                                [queryClass](const RegisteredDevice &d) {
                                  return queryClass == 0x99 || inQuery(queryClass, d.deviceClass);
                                }),
                 devices_.end());
}

// ---------------------------------------------------------------------------
// Commands
// ---------------------------------------------------------------------------

bool RfHubModel::handleCommand(const Command &c, std::vector<ReplyPacket> &replies) {
  if (c.code == "GI" && c.params.empty()) {
    Bytes b{0x0B, 0x51};
    appendBe16(b, static_cast<unsigned>(groupCount(Group::Handset)));
    appendBe16(b, static_cast<unsigned>(handsetCapacity_));
    b.push_back(byteOf(groupCount(Group::Board)));
    b.push_back(byteOf(boardCapacity_));
    b.push_back(byteOf(groupCount(Group::Slate)));
    b.push_back(byteOf(slateCapacity_));
    b.push_back(mode_);
    replies.push_back({b, ReplyTiming::Reply});
    return true;
  }
  if (c.code == "GN" && c.params.empty()) {
    Bytes b{0x10, 0x32};
    appendField(b, toSingleByte(name_, 0x7F), 10);
    appendBe32(b, static_cast<uint32_t>(std::max(handsetCapacity_ - groupCount(Group::Handset), 0)));
    replies.push_back({b, ReplyTiming::Reply});
    return true;
  }
  if (c.code == "GD" || c.code == "GR") {
    const long long query = parseHexExact(c.params, 2, false);
    if (query < 0) return false;
    if (c.code == "GD") {
      Bytes b{0x04, 0x53};
      appendBe16(b, static_cast<unsigned>(count(static_cast<int>(query))));
      replies.push_back({b, ReplyTiming::Reply});
    } else {
      ReplyTiming timing = ReplyTiming::Reply;
      for (const RegisteredDevice &d : devices_) {
        if (!inQuery(static_cast<int>(query), d.deviceClass)) continue;
        replies.push_back({listRecord(d), timing});
        timing = ReplyTiming::Next;
      }
      replies.push_back({okReply(), timing});
    }
    return true;
  }
  if (c.code == "CS") {
    // A clear restarts the hub: its reset packet comes while the clear is
    // still writing, before the clear's OK.
    const int query = clearQueryOf(c.params);
    if (query < 0) return false;
    clearQuery(query);
    replies.push_back({reset(), ReplyTiming::Reply});
    replies.push_back({okReply(), ReplyTiming::Flash});
    return true;
  }
  if (c.code == "RD") {
    const long long id = parseHexExact(c.params, 12, true);
    if (id < 0) return false;
    if (session_.kind != Session::None && session_.kind != Session::Removal) return true;
    const RegisteredDevice *d = find(static_cast<uint32_t>(id >> 16));
    if (!d || d->address != (id & 0xFFFF)) return true;
    removeDevice(d->uid);
    if (session_.kind == Session::None) open(Session::Removal, kModeRemoval, replies);
    return true;
  }
  if (virtual_ && (c.code == "GL" || c.code == "AE")) return handleVirtual(c, replies);
  return handleSessionCommand(c, replies);
}

bool RfHubModel::handleVirtual(const Command &c, std::vector<ReplyPacket> &replies) {
  const bool idle = session_.kind == Session::None;
  if (c.code == "GL") {
    if (!c.params.empty() || !c.block.empty()) return false;
    replies.push_back({enhancedNameReply(toSingleByte(name_, 0xFF)), ReplyTiming::Reply});
    return true;
  }
  if (c.params == "001" && c.block.empty()) {
    if (!idle && session_.kind != Session::Generic) return true;
    open(Session::Generic, -1, replies);
    replies.push_back({okReply(), ReplyTiming::Reply});
    std::vector<HandsetSend> sends;
    messaging_.open(false, sends);
    return true;
  }
  if (c.params == "002") {
    if (session_.kind != Session::Generic) return true;  // not answered out of its session
    std::vector<HandsetSend> sends;
    if (!messaging_.genericMessage(c.block, sends)) return false;
    replies.push_back({okReply(), ReplyTiming::Reply});
    schedule(sends);
    return true;
  }
  return false;
}

void RfHubModel::open(Session kind, int mode, std::vector<ReplyPacket> &replies) {
  session_ = SessionState{};
  session_.kind = kind;
  session_.id = ++sessions_;
  Bytes notice;
  if (mode >= 0 && setMode(static_cast<uint8_t>(mode), &notice)) replies.push_back({notice, ReplyTiming::Reply});
}

bool RfHubModel::handleSessionCommand(const Command &c, std::vector<ReplyPacket> &replies) {
  const std::string &p = c.params;
  const bool idle = session_.kind == Session::None;
  if (c.code == "VE" && p.empty()) {
    replies.push_back({okReply(), ReplyTiming::Flash});
    session_ = SessionState{};
    session_.id = ++sessions_;
    Bytes notice;
    if (setMode(0, &notice)) replies.push_back({notice, ReplyTiming::Next});
    return true;
  }
  if (c.code == "VR" || c.code == "SR") {
    // Three numbers (3, 2 and 2 digits at least), then the PIN.
    if (p.size() < 10 || !allDigits(p.substr(0, p.size() - 3)) ||
        !std::all_of(p.end() - 3, p.end(), [](char ch) { return isPinLetter(static_cast<uint8_t>(ch)); }))
      return false;
    if (!idle) return true;
    const bool votes = c.code == "VR";
    open(votes ? Session::VoteRegistration : Session::SlateRegistration,
         votes ? kModeVoteRegistration : kModeSlateRegistration, replies);
    session_.pin = p.substr(p.size() - 3);
    return true;
  }
  if (c.code == "VN" || c.code == "NS") {
    const bool votes = c.code == "VN";
    const Session naming = votes ? Session::VoteNaming : Session::SlateNaming;
    if (votes && p.empty()) {
      if (idle) open(naming, -1, replies);
      return true;
    }
    const size_t width = votes ? 4 : 10;
    const long long id = p.size() == 12 + width ? parseHexExact(p.substr(0, 12), 12, true) : -1;
    if (id < 0) return false;
    if (!idle && session_.kind != naming) return true;
    if (idle) open(naming, -1, replies);
    for (RegisteredDevice &d : devices_) {
      if (d.uid != static_cast<uint32_t>(id >> 16) || d.address != (id & 0xFFFF)) continue;
      if (votes ? isVotingClass(d.deviceClass) : d.deviceClass == kClassSlate)
        d.name = toSingleByte(nameField(p.substr(12)), 0x7F);
    }
    return true;
  }
  if (c.code == "VZ") {
    if (!allDigits(p) || p.size() > 3) return false;
    if (!idle) return true;
    open(Session::PinNaming, -1, replies);
    session_.pinCount = std::stoi(p);
    return true;
  }
  if ((c.code == "VB" || c.code == "VM") && p.empty()) {
    if (idle || session_.kind == Session::Voting) open(Session::Voting, -1, replies);
    return true;
  }
  if (c.code == "XP") return handleExtended(c, replies);
  return false;
}

bool RfHubModel::handleExtended(const Command &c, std::vector<ReplyPacket> &replies) {
  const Bytes &b = c.block;
  const bool idle = session_.kind == Session::None;
  if (c.params == "001") {
    if (b.size() != 9 || b[0] != 9 || !isPinLetter(b[5]) || !isPinLetter(b[6]) || !isPinLetter(b[7])) return false;
    if (!idle) return true;
    const uint8_t naming = b[8];
    open(Session::ExpressionRegistration, naming ? kModeNamingExpressionRegistration : kModeExpressionRegistration,
         replies);
    session_.pin.assign(b.begin() + 5, b.begin() + 8);
    if (naming) session_.nameLength = (naming & 0x0F) ? std::min(naming & 0x0F, 14) : 14;
    return true;
  }
  if (c.params == "002" && b.empty()) {
    if (idle) open(Session::ExpressionNaming, -1, replies);
    if (session_.kind == Session::ExpressionNaming) replies.push_back({okReply(), ReplyTiming::Reply});
    return true;
  }
  if (c.params == "003") {
    if (b.size() != 0x11 || b[0] != 0x11) return false;
    if (!idle && session_.kind != Session::ExpressionNaming) return true;
    const uint16_t address = static_cast<uint16_t>(b[1] << 8 | b[2]);
    for (RegisteredDevice &d : devices_) {
      if (d.address != address || !isExpressionClass(d.deviceClass)) continue;
      d.name = latin1ToUtf8(nameField(std::string(b.begin() + 3, b.end())));
      replies.push_back({expressionNameReply(address), ReplyTiming::Reply});
      break;
    }
    return true;
  }
  if (c.params == "004" && b.empty()) {
    if (session_.kind == Session::EndUserNaming) open(Session::None, -1, replies);
    replies.push_back({okReply(), ReplyTiming::Flash});
    return true;
  }
  if (c.params == "00A") {
    if (b.size() != 1 || b[0] != 0) return false;
    if (!idle && session_.kind != Session::Async) return true;
    open(Session::Async, -1, replies);
    replies.push_back({okReply(), ReplyTiming::Reply});
    std::vector<HandsetSend> sends;
    messaging_.open(true, sends);
    schedule(sends);
    return true;
  }
  if (c.params == "00B" || c.params == "00C") {
    if (session_.kind != Session::Async) return true;  // not answered out of the transport
    std::vector<HandsetSend> sends;
    if (c.params == "00B") {
      if (!messaging_.messageWaiting(b, sends)) return false;
      replies.push_back({okReply(), ReplyTiming::Reply});
    } else if (!messaging_.dataFragment(b, sends)) {
      return false;
    }
    schedule(sends);
    return true;
  }
  if (c.params == "005") {
    // 0: block length, 1: 01, 2: entity, 4: time, 5: kind, 6: option,
    // 8: length of the text that ends the block.
    if (b.size() < 9 || b[0] != b.size() || b[1] != 0x01 || b[8] != b.size() - 9 || b[5] < kMultichoice ||
        b[5] > kEndUserNaming)
      return false;
    if (!idle && session_.kind != Session::Question && session_.kind != Session::EndUserNaming) return true;
    Question q;
    q.entity = b[2];
    q.kind = b[5];
    q.option = b[6];
    startQuestion(q, replies);
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Handsets
// ---------------------------------------------------------------------------

void RfHubModel::startQuestion(const Question &q, std::vector<ReplyPacket> &replies) {
  open(q.kind == kEndUserNaming ? Session::EndUserNaming : Session::Question, -1, replies);
  session_.question = q;
  for (const RegisteredDevice &d : devices_) {
    if (!answersKind(d.deviceClass, q.kind)) continue;
    const HandsetBehaviour b = handsets_.behaviour(d.uid);
    if (!b.answers) continue;
    const Bytes value = handsets_.answer(b, q);
    Pending p;
    p.device = d;
    if (q.kind == kEndUserNaming) {
      p.renames = true;
      p.device.name.assign(value.begin(), value.end());
      p.packets.push_back(listRecord(p.device));
    } else {
      p.packets = answerPackets(d.address, q, value);
    }
    schedule(b, handsets_.delayUs(b), std::move(p));
  }
}

void RfHubModel::schedule(const HandsetBehaviour &b, int64_t delayUs, Pending p) {
  p.session = session_.id;
  p.late = b.fault == RadioFault::Late;
  RfHandsets::applyFault(b.fault, p.packets);
  if (p.packets.empty()) return;  // the handset's only packet was lost
  const uint64_t id = nextEvent_++;
  pending_.emplace(id, std::move(p));
  fresh_.push_back(DeviceEvent{delayUs, id});
}

void RfHubModel::schedule(std::vector<HandsetSend> &sends) {
  for (HandsetSend &send : sends) {
    const RegisteredDevice *d = find(send.uid);
    if (!d) continue;
    HandsetBehaviour b = handsets_.behaviour(send.uid);
    // Radio faults strike the handset's messages, not the transport's
    // control packets (requests, data requests, releases).
    if (!send.radioFault) b.fault = RadioFault::None;
    Pending p;
    p.messaging = true;
    p.epoch = send.epoch;
    p.device = *d;
    p.packets = std::move(send.packets);
    schedule(b, send.delayUs, std::move(p));
  }
  sends.clear();
}

std::vector<DeviceEvent> RfHubModel::takeDeviceEvents() { return std::exchange(fresh_, {}); }

void RfHubModel::fireDeviceEvent(uint64_t id, std::vector<Bytes> &packets) {
  auto it = pending_.find(id);
  if (it == pending_.end()) return;
  Pending p = std::move(it->second);
  pending_.erase(it);
  if (p.session != session_.id && !p.late) return;
  if (p.messaging && !messaging_.current(p.device.uid, p.epoch)) return;
  if (p.registers) {
    if (find(p.device.uid) || !hasRoom(p.device.deviceClass)) return;
    devices_.push_back(p.device);
    handsets_.removeWaiting(p.device.uid);
  } else {
    auto d = std::find_if(devices_.begin(), devices_.end(),
                          [&](const RegisteredDevice &r) { return r.uid == p.device.uid; });
    if (d == devices_.end()) return;  // no longer registered: no longer heard
    if (p.renames) d->name = p.device.name;
  }
  if (p.messaging) messaging_.sent(p.device.uid, p.packets);
  packets = std::move(p.packets);
}

template <typename Pred>
std::vector<const RegisteredDevice *> RfHubModel::select(uint32_t uid, Pred wanted, bool *known) const {
  std::vector<const RegisteredDevice *> out;
  *known = uid == 0;
  for (const RegisteredDevice &d : devices_) {
    if (uid != 0 && d.uid != uid) continue;
    if (uid != 0) *known = true;
    if (wanted(d) && (uid != 0 || handsets_.behaviour(d.uid).answers)) out.push_back(&d);
  }
  return out;
}

bool RfHubModel::addWaiting(uint8_t deviceClass, uint32_t uid, uint16_t address, const std::string &name,
                            const std::string &pin) {
  if (groupOf(deviceClass) == Group::None || deviceClass == kClassBoard || find(uid)) return false;
  return handsets_.addWaiting(WaitingHandset{RegisteredDevice{deviceClass, uid, address, name, 0}, pin});
}

int RfHubModel::registerWaiting(uint32_t uid) {
  const WaitingHandset *w = handsets_.findWaiting(uid);
  if (!w) return -1;
  const uint8_t c = w->device.deviceClass;
  const Session wanted = isVotingClass(c)       ? Session::VoteRegistration
                         : c == kClassSlate      ? Session::SlateRegistration
                         : isExpressionClass(c)  ? Session::ExpressionRegistration
                                                 : Session::None;
  if (wanted == Session::None || session_.kind != wanted || w->pin != session_.pin || !hasRoom(c) || find(uid))
    return 0;
  const HandsetBehaviour b = handsets_.behaviour(uid);
  Pending p;
  p.registers = true;
  p.device = w->device;
  if (session_.nameLength) p.device.name = handsets_.name(b, w->device.name, session_.nameLength);
  p.packets.push_back(listRecord(p.device));
  schedule(b, handsets_.delayUs(b), std::move(p));
  return 1;
}

int RfHubModel::registerWaitingClass(uint8_t deviceClass) {
  std::vector<uint32_t> uids;
  for (const WaitingHandset &w : handsets_.waiting())
    if ((deviceClass == 0 || inQuery(deviceClass, w.device.deviceClass)) && handsets_.behaviour(w.device.uid).answers)
      uids.push_back(w.device.uid);
  int count = 0;
  for (uint32_t uid : uids) count += registerWaiting(uid);
  return count;
}

int RfHubModel::vote(uint32_t uid, int key, int presses, bool batteryLow) {
  bool known = false;
  const auto voters = select(uid, [](const RegisteredDevice &d) { return isVotingClass(d.deviceClass); }, &known);
  if (!known) return -1;
  if (session_.kind != Session::Voting) return 0;
  for (const RegisteredDevice *d : voters) {
    const HandsetBehaviour b = handsets_.behaviour(d->uid);
    const int k = handsets_.key(b, key);
    const int64_t delay = handsets_.delayUs(b);
    if (batteryLow) {  // the hub reports the battery just before the press
      HandsetBehaviour lowBattery = b;
      if (lowBattery.fault != RadioFault::Late) lowBattery.fault = RadioFault::None;
      Pending low;
      low.device = *d;
      low.packets.push_back(orvexsim::lowBatteryPacket(d->uid, d->address));
      schedule(lowBattery, delay, std::move(low));
    }
    // Repeated presses of one key go out back to back, as one transmission.
    Pending p;
    p.device = *d;
    for (int i = 0; i < presses; ++i)
      p.packets.push_back(votePacket(d->uid, d->address, static_cast<uint8_t>(1u << (k - 1))));
    schedule(b, delay, std::move(p));
  }
  return static_cast<int>(voters.size());
}

bool RfHubModel::namesNow(uint8_t deviceClass) const {
  switch (session_.kind) {
  case Session::VoteNaming: return isVotingClass(deviceClass);
  case Session::SlateNaming: return deviceClass == kClassSlate;
  case Session::ExpressionNaming:
  case Session::EndUserNaming: return isExpressionClass(deviceClass);
  default: return false;
  }
}

int RfHubModel::reportName(uint32_t uid, const std::optional<std::string> &name) {
  bool known = false;
  const auto namers = select(uid, [this](const RegisteredDevice &d) { return namesNow(d.deviceClass); }, &known);
  if (!known) return -1;
  const Question &q = session_.question;
  for (const RegisteredDevice *d : namers) {
    const HandsetBehaviour b = handsets_.behaviour(d->uid);
    size_t width = isVotingClass(d->deviceClass) ? 4 : d->deviceClass == kClassSlate ? 10 : 14;
    uint8_t characterType = 0;
    if (session_.kind == Session::EndUserNaming) {
      if (q.option & 0x0F) width = std::min<size_t>(q.option & 0x0F, 14);
      characterType = static_cast<uint8_t>(q.option >> 5);
    }
    Pending p;
    p.renames = true;
    p.device = *d;
    p.device.name = handsets_.name(b, name, width, characterType);
    p.packets.push_back(listRecord(p.device));
    schedule(b, handsets_.delayUs(b), std::move(p));
  }
  return static_cast<int>(namers.size());
}

int RfHubModel::keyPin(uint32_t uid, const std::optional<std::string> &pin) {
  bool known = false;
  const auto keyers = select(uid, [](const RegisteredDevice &d) { return isVotingClass(d.deviceClass); }, &known);
  if (!known) return -1;
  if (session_.kind != Session::PinNaming) return 0;
  for (const RegisteredDevice *d : keyers) {
    const HandsetBehaviour b = handsets_.behaviour(d->uid);
    Pending p;
    p.device = *d;
    p.packets.push_back(pinNamingReport(d->uid, d->address, handsets_.pin(pin, session_.pinCount)));
    schedule(b, handsets_.delayUs(b), std::move(p));
  }
  return static_cast<int>(keyers.size());
}

// ---------------------------------------------------------------------------
// Device messages
// ---------------------------------------------------------------------------

int RfHubModel::asyncRequest(uint32_t uid, const Bytes &deviceData) {
  std::vector<HandsetSend> sends;
  const int result = messaging_.request(uid, deviceData, session_.kind == Session::Async, sends);
  schedule(sends);
  return result;
}

int RfHubModel::asyncSend(uint32_t uid, const Bytes &message, const std::vector<int> *order) {
  std::vector<HandsetSend> sends;
  const int result = messaging_.sendMessage(uid, message, order, session_.kind == Session::Async, sends);
  schedule(sends);
  return result;
}

int RfHubModel::switchHandset(uint32_t uid, bool on) {
  std::vector<HandsetSend> sends;
  const int result = messaging_.switchHandset(uid, on, session_.kind == Session::Async, sends);
  schedule(sends);
  return result;
}

int RfHubModel::genericSend(uint32_t uid, const Bytes &message) {
  std::vector<HandsetSend> sends;
  const int result = messaging_.sendGeneric(uid, message, session_.kind == Session::Generic, sends);
  schedule(sends);
  return result;
}

}  // namespace orvexsim
