#include "legacyhubmodel.h"

#include <algorithm>

namespace orvexsim {

namespace {

// Reply codes: byte 1 of the USB form, byte 2 of the serial form.
constexpr uint8_t kCodeSettings = 0x68;      // radio settings, enable replies
constexpr uint8_t kCodeRegistration = 0x67;  // vote registration, PIN naming
constexpr uint8_t kCodeSlate = 0x07;         // slate registration and PIN
constexpr uint8_t kCodeVote = 0x65;
// The serial form marks the first byte of a frame with bit 7.
constexpr uint8_t kSerialSync = 0x80;
// Serial vote registration: byte 6 holds this value when the battery is low.
constexpr uint8_t kSerialBatteryLow = 16;

// Decimal digits only, at most maxValue; -1 otherwise.
int parseDecimal(const std::string &s, int maxValue) {
  if (s.empty() || s.size() > 6) return -1;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v <= maxValue ? v : -1;
}

// The 12-digit device id: six bytes, least significant first, each as two
// hexadecimal digits. -1 when malformed.
long long parseDeviceId(const std::string &s) {
  if (s.size() != 12) return -1;
  long long v = 0;
  for (size_t i = 0; i < 12; i += 2) {
    int byte = 0;
    for (size_t k = i; k < i + 2; ++k) {
      const char c = s[k];
      int d;
      if (c >= '0' && c <= '9') d = c - '0';
      else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
      else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
      else return -1;
      byte = byte * 16 + d;
    }
    v |= static_cast<long long>(byte) << (4 * i);
  }
  return v;
}

// Three digits 1..6: the PIN as the hub and the slates carry it.
bool isPin(const std::string &pin) {
  return pin.size() == 3 && std::all_of(pin.begin(), pin.end(), [](char c) { return c >= '1' && c <= '6'; });
}

uint8_t low7(uint32_t v) { return static_cast<uint8_t>(v & 0x7F); }

// Vote byte of key 1..6: one bit per key.
uint8_t voteByteOf(int key) { return static_cast<uint8_t>(1u << (key - 1)); }

}  // namespace

bool LegacyHubModel::addBoard(uint32_t uid, uint16_t address, const std::string &name, int version) {
  board_ = true;
  boardUid_ = uid;
  boardAddress_ = address;
  boardName_ = name;
  boardVersion_ = version;
  return true;
}

bool LegacyHubModel::setRadio(int voteChannel, int slateChannel, int band, int boardId) {
  if (voteChannel < 0 || voteChannel > 3 || slateChannel < 0 || slateChannel > 3 || band < 0 || band > 3 ||
      boardId < 0 || boardId > (serial_ ? 0x7F : 0xFF))
    return false;
  radio_.voteChannel = voteChannel;
  radio_.slateChannel = slateChannel;
  radio_.band = band;
  radio_.boardId = boardId;
  return true;
}

// ---------------------------------------------------------------------------
// Commands
// ---------------------------------------------------------------------------

bool LegacyHubModel::handleCommand(const Command &command, std::vector<ReplyPacket> &replies) {
  const std::string &code = command.code;
  const std::string &params = command.params;
  if (code == "VT") {
    replies.push_back({settingsReply(), ReplyTiming::Reply});
  } else if (code == "VR") {
    session_ = SessionVoteRegistration;
    for (Handset &h : handsets_)
      if (h.waiting && h.on) registerHandset(h, replies);
  } else if (code == "VE") {
    session_ = SessionNone;
  } else if (code == "VO") {
    for (Handset &h : handsets_) h.listened = false;
  } else if (code == "VI") {
    const long long id = parseDeviceId(params);
    Handset *h = id > 0 && id <= maxHandsetId() ? findHandset(static_cast<uint32_t>(id)) : nullptr;
    if (h && h->registered && h->on) {
      h->listened = true;
      replies.push_back({enableReply(h->id), replies.empty() ? ReplyTiming::Reply : ReplyTiming::Next});
    }
  } else if (code == "VB" || code == "VM") {
    session_ = code == "VB" ? SessionVotingVB : SessionVotingVM;
  } else if (code == "VZ") {
    if (parseDecimal(params, 999999) >= 0) session_ = SessionPinNaming;
  } else if (code == "RD") {
    const long long id = parseDeviceId(params);
    Handset *h = id > 0 && id <= maxHandsetId() ? findHandset(static_cast<uint32_t>(id)) : nullptr;
    if (h) h->listened = false;
  } else if (code == "VY") {
    if (setChannel(params, radio_.voteChannel)) detuneHandsets();
  } else if (code == "AY") {
    if (setChannel(params, radio_.slateChannel)) detuneSlates();
  } else if (code == "UR") {
    const int id = params.size() >= 2 ? parseDecimal(params, serial_ ? 0x7F : 0xFF) : -1;
    if (id >= 0 && id != radio_.boardId) {
      radio_.boardId = id;
      detuneHandsets();
      detuneSlates();
    }
  } else if (code == "AR") {
    session_ = SessionSlateRegistration;
    for (Slate &s : slates_)
      if (s.waiting) askForPin(s, replies);
  } else if (code == "AP") {
    answerSlatePin(params, replies);
  } else if (code == "AO") {
    if (session_ == SessionSlateRegistration || session_ == SessionSlatePin) session_ = SessionNone;
  } else if (code == "AB") {
    enableSlate(params);
  } else if (code == "AE") {
    radio_.rfSlates = false;
    for (Slate &s : slates_) s.enabled = false;
  } else if (code == "AT") {
    if (params == "1") radio_.rfSlates = true;
  } else {
    return false;
  }
  return true;
}

// ":VY"/":AY": the channel travels as channel + 3 on band 2. A value outside
// the band's channels leaves the channel as it was. True when it changed.
bool LegacyHubModel::setChannel(const std::string &params, int &channel) {
  const int value = parseDecimal(params, 255);
  const int offset = radio_.band == 2 ? 3 : 0;
  if (value < 1 + offset || value > 3 + offset || value - offset == channel) return false;
  channel = value - offset;
  return true;
}

void LegacyHubModel::detuneHandsets() {
  for (Handset &h : handsets_) {
    h.registered = false;
    h.listened = false;
  }
}

void LegacyHubModel::detuneSlates() {
  for (Slate &s : slates_) {
    s.registered = false;
    s.enabled = false;
    s.askedPin = false;
    s.pin.clear();
  }
}

void LegacyHubModel::registerHandset(Handset &h, std::vector<ReplyPacket> &replies) {
  h.waiting = false;
  h.registered = true;
  h.listened = true;
  replies.push_back({registrationReply(h), replies.empty() ? ReplyTiming::Reply : ReplyTiming::Next});
}

void LegacyHubModel::askForPin(Slate &s, std::vector<ReplyPacket> &replies) {
  s.waiting = false;
  s.askedPin = true;
  replies.push_back({slateRegistrationReply(s.id), replies.empty() ? ReplyTiming::Reply : ReplyTiming::Next});
}

// ":AP" slate id (two digits), slate channel (decimal), three PIN digits.
// Only a slate that asked for a PIN, on the hub's slate channel, hears it;
// it echoes what its learner keys in and is registered when that is the
// PIN the host sent.
void LegacyHubModel::answerSlatePin(const std::string &params, std::vector<ReplyPacket> &replies) {
  if (params.size() < 6) return;
  const int id = parseDecimal(params.substr(0, 2), kMaxSlateId);
  const int channel = parseDecimal(params.substr(2, params.size() - 5), 255);
  const std::string pin = params.substr(params.size() - 3);
  Slate *s = id > 0 ? findSlate(id) : nullptr;
  if (!s || !s->askedPin || channel != radio_.slateChannel || !isPin(pin)) return;
  if (session_ != SessionSlateRegistration && session_ != SessionSlatePin) return;
  session_ = SessionSlatePin;
  const std::string typed = s->typedPin.empty() ? pin : s->typedPin;
  replies.push_back({slatePinReply(s->id, typed), ReplyTiming::Reply});
  if (typed == pin) {
    s->askedPin = false;
    s->registered = true;
    s->pin = pin;
  }
}

// ":AB" slate id (its last two digits), then the slate's PIN.
void LegacyHubModel::enableSlate(const std::string &params) {
  if (params.size() < 2) return;
  const int id = parseDecimal(params.substr(0, 2), 99);
  Slate *s = id > 0 ? findSlate(id) : nullptr;
  if (s && s->registered && s->pin == params.substr(2)) s->enabled = true;
}

// ---------------------------------------------------------------------------
// Devices
// ---------------------------------------------------------------------------

LegacyHubModel::Handset *LegacyHubModel::findHandset(uint32_t id) {
  for (Handset &h : handsets_)
    if (h.id == id) return &h;
  return nullptr;
}

const LegacyHubModel::Handset *LegacyHubModel::findHandset(uint32_t id) const {
  return const_cast<LegacyHubModel *>(this)->findHandset(id);
}

LegacyHubModel::Slate *LegacyHubModel::findSlate(int id) {
  for (Slate &s : slates_)
    if (s.id == id) return &s;
  return nullptr;
}

const LegacyHubModel::Slate *LegacyHubModel::findSlate(int id) const {
  return const_cast<LegacyHubModel *>(this)->findSlate(id);
}

bool LegacyHubModel::addHandset(uint32_t id, int version, bool registered) {
  if (id == 0 || id > maxHandsetId() || version < 0 || version > 127 || findHandset(id)) return false;
  Handset h;
  h.id = id;
  h.version = version;
  h.registered = registered;
  h.listened = registered;
  h.waiting = !registered;
  handsets_.push_back(h);
  return true;
}

bool LegacyHubModel::removeHandset(uint32_t id) {
  auto it = std::find_if(handsets_.begin(), handsets_.end(), [id](const Handset &h) { return h.id == id; });
  if (it == handsets_.end()) return false;
  handsets_.erase(it);
  return true;
}

bool LegacyHubModel::setHandset(uint32_t id, bool on, bool batteryLow, std::vector<ReplyPacket> &replies) {
  Handset *h = findHandset(id);
  if (!h) return false;
  const bool switchedOn = on && !h->on;
  h->on = on;
  h->batteryLow = batteryLow;
  // A learner who pressed "register" while the handset was off.
  if (switchedOn && h->waiting && session_ == SessionVoteRegistration) registerHandset(*h, replies);
  return true;
}

bool LegacyHubModel::pressRegister(uint32_t id, std::vector<ReplyPacket> &replies) {
  Handset *h = findHandset(id);
  if (!h) return false;
  h->waiting = true;
  if (h->on && session_ == SessionVoteRegistration) registerHandset(*h, replies);
  return true;
}

int LegacyHubModel::handsetState(uint32_t id) const {
  const Handset *h = findHandset(id);
  if (!h) return -1;
  return (h->registered ? Registered : 0) | (h->listened ? Listened : 0) | (h->waiting ? Waiting : 0) |
         (h->on ? 0 : SwitchedOff);
}

bool LegacyHubModel::addSlate(int id, bool registered, const std::string &pin) {
  if (id < 1 || id > kMaxSlateId || findSlate(id) || (registered && !isPin(pin))) return false;
  Slate s;
  s.id = id;
  s.registered = registered;
  s.waiting = !registered;
  if (registered) s.pin = pin;
  slates_.push_back(s);
  return true;
}

bool LegacyHubModel::removeSlate(int id) {
  auto it = std::find_if(slates_.begin(), slates_.end(), [id](const Slate &s) { return s.id == id; });
  if (it == slates_.end()) return false;
  slates_.erase(it);
  return true;
}

bool LegacyHubModel::pressSlateRegister(int id, std::vector<ReplyPacket> &replies) {
  Slate *s = findSlate(id);
  if (!s) return false;
  s->waiting = true;
  if (session_ == SessionSlateRegistration || session_ == SessionSlatePin) askForPin(*s, replies);
  return true;
}

bool LegacyHubModel::setSlateTypedPin(int id, const std::string &pin) {
  Slate *s = findSlate(id);
  if (!s || (!pin.empty() && !isPin(pin))) return false;
  s->typedPin = pin;
  return true;
}

int LegacyHubModel::slateState(int id) const {
  const Slate *s = findSlate(id);
  if (!s) return -1;
  return (s->registered ? Registered : 0) | (s->enabled ? Listened : 0) | (s->waiting ? Waiting : 0) |
         (s->askedPin ? AskedPin : 0);
}

// ---------------------------------------------------------------------------
// Key presses
// ---------------------------------------------------------------------------

bool LegacyHubModel::setVoteCopies(int copies) {
  if (copies < 1 || copies > 20) return false;
  voteCopies_ = copies;
  return true;
}

int LegacyHubModel::vote(uint32_t id, int key, std::vector<Bytes> &out) {
  const Handset *h = findHandset(id);
  if (!h || key < 0 || key > 6) return -1;
  const bool voting = session_ == SessionVotingVB || session_ == SessionVotingVM;
  if (!voting || !h->on || !h->listened) return 1;
  if (key == 0) key = static_cast<int>(random_() % 6) + 1;
  for (int i = 0; i < voteCopies_; ++i) out.push_back(votePacket(*h, voteByteOf(key)));
  return 0;
}

int LegacyHubModel::classVote(int key, std::vector<Bytes> &out) {
  if (key < 0 || key > 6) return -1;
  std::vector<Bytes> firsts;
  for (const Handset &h : handsets_) {
    std::vector<Bytes> copies;
    if (vote(h.id, key, copies) == 0) firsts.push_back(copies.front());
  }
  for (int i = 0; i < voteCopies_; ++i) out.insert(out.end(), firsts.begin(), firsts.end());
  return static_cast<int>(firsts.size());
}

int LegacyHubModel::pinNaming(uint32_t id, const std::string &text, Bytes &out) {
  const Handset *h = findHandset(id);
  if (!h || text.size() > 3) return -1;
  // Keys fill the last places; an unused place is digit 0.
  int digits[3] = {0, 0, 0};
  const size_t first = 3 - text.size();
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= 'A' && c <= 'F') digits[first + i] = c - 'A' + 1;
    else if (c == ' ') digits[first + i] = 7;
    else return -1;
  }
  if (session_ != SessionPinNaming || !h->on || !h->registered) return 1;
  out = pinNamingReply(h->id, digits);
  return 0;
}

// ---------------------------------------------------------------------------
// Wire forms
// ---------------------------------------------------------------------------
//
// USB: byte 0 the length, byte 1 the code, then the data.
// Serial: byte 0 is 0x80 | length, byte 2 the code; bytes 1, 3, 4, ... carry
// 7 bits each, and an id travels as three 7-bit groups in bytes 1, 3, 4.

Bytes LegacyHubModel::settingsReply() const {
  // Vote channel in bits 2..1, band in bits 4..3, slate channel in bits 6..5.
  const uint8_t settings = static_cast<uint8_t>((radio_.voteChannel & 3) << 1 | (radio_.band & 3) << 3 |
                                                (radio_.slateChannel & 3) << 5);
  const uint8_t boardId = static_cast<uint8_t>(radio_.boardId);
  if (serial_) return Bytes{kSerialSync | 11, settings, kCodeSettings, low7(boardId), 0, 0, 0, 0, 0, 0, 0};
  return Bytes{10, kCodeSettings, settings, boardId, 0, 0, 0, 0, 0, 0};
}

Bytes LegacyHubModel::enableReply(uint32_t id) const {
  if (serial_) return Bytes{kSerialSync | 11, low7(id), kCodeSettings, low7(id >> 7), low7(id >> 14), 0, 0, 0, 0, 0, 0};
  return Bytes{10, kCodeSettings, static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8), static_cast<uint8_t>(id >> 16),
               0, 0, 0, 0, 0};
}

Bytes LegacyHubModel::registrationReply(const Handset &h) const {
  const uint8_t version = static_cast<uint8_t>(h.version);
  if (serial_)
    return Bytes{kSerialSync | 10, low7(h.id), kCodeRegistration, low7(h.id >> 7), low7(h.id >> 14), 0,
                 h.batteryLow ? kSerialBatteryLow : uint8_t{0}, 0, 0, version};
  return Bytes{9, kCodeRegistration, static_cast<uint8_t>(h.id), static_cast<uint8_t>(h.id >> 8), low7(h.id >> 16), 0,
               static_cast<uint8_t>(h.batteryLow ? 1 : 0), 0, version};
}

Bytes LegacyHubModel::slateRegistrationReply(int id) const {
  const uint32_t v = static_cast<uint32_t>(id);
  // Serial: the id's low five bits in bits 6..2 of byte 4, the rest in
  // bits 1..0 of byte 5.
  if (serial_) return Bytes{kSerialSync | 10, 0, kCodeSlate, 0, low7((v & 0x1F) << 2), low7((v >> 5) & 3), 0, 0, 0, 0};
  return Bytes{9, kCodeSlate, 0, 0, low7(v), 0, 0, 0, 0};
}

Bytes LegacyHubModel::slatePinReply(int id, const std::string &pin) const {
  const uint32_t d1 = static_cast<uint32_t>(pin[0] - '0');
  const uint32_t d2 = static_cast<uint32_t>(pin[1] - '0');
  const uint32_t d3 = static_cast<uint32_t>(pin[2] - '0');
  if (serial_) {
    // One 32-bit value, id in bits 7..0 and a digit in each following byte,
    // sent as 7-bit groups in bytes 1, 3, 4, 5 and the last four bits in 6.
    const uint32_t v = static_cast<uint32_t>(id) | d1 << 8 | d2 << 16 | d3 << 24;
    return Bytes{kSerialSync | 10, low7(v), kCodeSlate, low7(v >> 7), low7(v >> 14), low7(v >> 21),
                 static_cast<uint8_t>((v >> 28) & 0x0F), 0, 0, 0};
  }
  return Bytes{9, kCodeSlate, low7(static_cast<uint32_t>(id)), static_cast<uint8_t>(d1), static_cast<uint8_t>(d2),
               static_cast<uint8_t>(d3), 0, 0, 0};
}

Bytes LegacyHubModel::votePacket(const Handset &h, uint8_t voteByte) const {
  const uint8_t battery = h.batteryLow ? 1 : 0;
  if (serial_)
    return Bytes{kSerialSync | 10, low7(h.id), kCodeVote, low7(h.id >> 7), low7(h.id >> 14), 0, battery, 0, 0, voteByte};
  return Bytes{9, kCodeVote, static_cast<uint8_t>(h.id), static_cast<uint8_t>(h.id >> 8), low7(h.id >> 16), 0, battery,
               0, voteByte};
}

Bytes LegacyHubModel::pinNamingReply(uint32_t id, const int digits[3]) const {
  const uint32_t d1 = static_cast<uint32_t>(digits[0]);
  const uint32_t d2 = static_cast<uint32_t>(digits[1]);
  const uint32_t d3 = static_cast<uint32_t>(digits[2]);
  if (serial_) {
    // First digit: bit 2 of byte 5 and bits 3..2 of byte 6; second: bits
    // 1..0 of byte 6 and bit 6 of byte 5; third: bits 5..3 of byte 5.
    const uint8_t b5 = static_cast<uint8_t>((d1 >> 2 & 1) << 2 | (d3 & 7) << 3 | (d2 & 1) << 6);
    const uint8_t b6 = static_cast<uint8_t>((d1 & 3) << 2 | (d2 >> 1 & 3));
    return Bytes{kSerialSync | 10, low7(id), kCodeRegistration, low7(id >> 7), low7(id >> 14), b5, b6, 0, 0, 0};
  }
  // First digit: bit 7 of byte 4 and bits 7..6 of byte 5; second: bits
  // 5..3 of byte 5; third: bits 2..0 of byte 5.
  const uint8_t b4 = static_cast<uint8_t>(low7(id >> 16) | (d1 >> 2 & 1) << 7);
  const uint8_t b5 = static_cast<uint8_t>((d1 & 3) << 6 | (d2 & 7) << 3 | (d3 & 7));
  return Bytes{9, kCodeRegistration, static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8), b4, b5, 0, 0, 0};
}

}  // namespace orvexsim
