#include "rfhubmodel.h"

#include <algorithm>

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

}  // namespace

RfHubModel::Group RfHubModel::groupOf(uint8_t deviceClass) {
  switch (deviceClass) {
  case 0x06: case 0x0A: case 0x09: case 0x0D: return Group::Handset;
  case 0x08: return Group::Board;
  case 0x07: return Group::Slate;
  default: return Group::None;
  }
}

bool RfHubModel::inQuery(int queryClass, uint8_t deviceClass) {
  if (queryClass == 0x06) return deviceClass == 0x06 || deviceClass == 0x0A;
  return deviceClass == queryClass;
}

int RfHubModel::groupCount(Group g) const {
  return static_cast<int>(std::count_if(devices_.begin(), devices_.end(),
                                        [g](const RegisteredDevice &d) { return groupOf(d.deviceClass) == g; }));
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
    if (d.deviceClass == 0x08) return d.version;
  return -1;
}

bool RfHubModel::addBoard(uint32_t uid, uint16_t address, const std::string &name, int version) {
  return registerDevice(0x08, uid, address, name, version);
}

bool RfHubModel::registerDevice(uint8_t deviceClass, uint32_t uid, uint16_t address,
                                const std::string &name, int version) {
  const Group g = groupOf(deviceClass);
  if (g == Group::None || find(uid)) return false;
  const int capacity = g == Group::Handset ? handsetCapacity_ : g == Group::Board ? boardCapacity_ : slateCapacity_;
  if (groupCount(g) >= capacity) return false;
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
  session_ = Session::None;
  return Bytes{0x03, 0xA0, 0x00};
}

bool RfHubModel::lowBatteryPacket(uint32_t uid, Bytes *packet) const {
  const RegisteredDevice *d = find(uid);
  if (!d) return false;
  Bytes b{0x08, 0x50};
  appendBe32(b, d->uid);
  appendBe16(b, d->address);
  *packet = b;
  return true;
}

Bytes RfHubModel::record(const RegisteredDevice &d) {
  Bytes b;
  switch (d.deviceClass) {
  case 0x06: case 0x0A:  // voting handset: 13 bytes, 4-byte ASCII name
    b = {13, 0x67};
    appendBe32(b, d.uid);
    appendBe16(b, d.address);
    b.push_back(d.deviceClass);
    appendField(b, toSingleByte(d.name, 0x7F), 4);
    break;
  case 0x09: case 0x0D:  // expression handset: 23 bytes, 14-byte ISO 8859-1 name
    b = {23, 0x80};
    appendBe32(b, d.uid);
    appendBe16(b, d.address);
    b.push_back(d.deviceClass);
    appendField(b, toSingleByte(d.name, 0xFF), 14);
    break;
  case 0x07:  // slate: 20 bytes, 10-byte ASCII name, one byte more
    b = {20, 0x67};
    appendBe32(b, d.uid);
    appendBe16(b, d.address);
    b.push_back(d.deviceClass);
    appendField(b, toSingleByte(d.name, 0x7F), 10);
    b.push_back(0);
    break;
  case 0x08:  // board: 23 bytes, 10-byte ASCII name, version at 20-21, pens
    b = {23, 0x90};
    appendBe32(b, d.uid);
    appendBe16(b, d.address);
    b.push_back(d.deviceClass);
    appendField(b, toSingleByte(d.name, 0x7F), 10);
    b.push_back(0);
    appendBe16(b, static_cast<unsigned>(std::min(std::max(d.version, 0), 0xFFFF)));
    b.push_back(2);
    break;
  default:
    break;
  }
  return b;
}

void RfHubModel::clearQuery(int queryClass) {
  devices_.erase(std::remove_if(devices_.begin(), devices_.end(),
                                [queryClass](const RegisteredDevice &d) {
                                  return queryClass == 0x99 || inQuery(queryClass, d.deviceClass);
                                }),
                 devices_.end());
}

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
        replies.push_back({record(d), timing});
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
    // Removal is a session: the hub is busy in removal mode until ":VE".
    if (session_ != Session::None && session_ != Session::Removal) return true;
    const RegisteredDevice *d = find(static_cast<uint32_t>(id >> 16));
    if (!d || d->address != (id & 0xFFFF)) return true;
    removeDevice(d->uid);
    session_ = Session::Removal;
    Bytes notice;
    if (setMode(kModeRemoval, &notice)) replies.push_back({notice, ReplyTiming::Reply});
    return true;
  }
  if (c.code == "VE" && c.params.empty()) {
    session_ = Session::None;
    replies.push_back({okReply(), ReplyTiming::Flash});
    Bytes notice;
    if (setMode(0, &notice)) replies.push_back({notice, ReplyTiming::Next});
    return true;
  }
  return false;
}

}  // namespace orvexsim
