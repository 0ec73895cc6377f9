#include "rfmessaging.h"

#include <utility>

namespace orvexsim {

namespace {

constexpr uint8_t kFragmentSize = 49;
constexpr uint8_t kDataRequest = 0x85;

}  // namespace

const RegisteredDevice *RfMessaging::byUid(uint32_t uid) const {
  for (const RegisteredDevice &d : devices_)
    if (d.uid == uid) return &d;
  return nullptr;
}

const RegisteredDevice *RfMessaging::byAddress(uint16_t address, bool transport) const {
  for (const RegisteredDevice &d : devices_)
    if (d.address == address && (transport ? speaksTransport(d.deviceClass) : speaksGeneric(d.deviceClass))) return &d;
  return nullptr;
}

RfMessaging::Handset &RfMessaging::handset(uint32_t uid) {
  auto it = handsetStates_.find(uid);
  if (it == handsetStates_.end()) {
    it = handsetStates_.emplace(uid, Handset{}).first;
    it->second.epoch = ++epochs_;
  }
  return it->second;
}

HandsetSend RfMessaging::sendOf(const Handset &h, uint32_t uid, int64_t delayUs, std::vector<Bytes> packets,
                                bool radioFault) const {
  HandsetSend s;
  s.uid = uid;
  s.delayUs = delayUs;
  s.packets = std::move(packets);
  s.radioFault = radioFault;
  s.epoch = h.epoch;
  return s;
}

void RfMessaging::open(bool quiz, std::vector<HandsetSend> &sends) {
  askers_.clear();
  for (auto &entry : handsetStates_) {
    Handset &h = entry.second;
    h = Handset{};
    h.epoch = ++epochs_;
  }
  if (!quiz) return;
  for (const RegisteredDevice &d : devices_) {
    if (!speaksTransport(d.deviceClass)) continue;
    const HandsetBehaviour b = handsets_.behaviour(d.uid);
    if (b.answers && b.enhanced) startQuiz(d, handset(d.uid), sends);
  }
}

void RfMessaging::startQuiz(const RegisteredDevice &d, Handset &h, std::vector<HandsetSend> &sends) {
  h.state.phase = EnhancedPhase::WantsParameters;
  h.state.question = 0;
  const HandsetBehaviour b = handsets_.behaviour(d.uid);
  sends.push_back(sendOf(h, d.uid, handsets_.delayUs(b),
                         {getMessageRequest(d.address, enhancedRequest(kRequestSessionParameters))}, false));
}

// ---------------------------------------------------------------------------
// Host to handset
// ---------------------------------------------------------------------------

bool RfMessaging::messageWaiting(const Bytes &block, std::vector<HandsetSend> &sends) {
  if (block.size() != 4 || block[0] != 3 || block[3] == 0) return false;
  const uint16_t address = static_cast<uint16_t>(block[1] << 8 | block[2]);
  const uint8_t index = block[3];
  const RegisteredDevice *d = byAddress(address, true);
  if (!d) return true;  // the hub takes the notice; nobody hears it
  Handset &h = handset(d->uid);
  if (h.state.phase == EnhancedPhase::SwitchedOff || h.fetches.count(index)) return true;
  h.fetches[index] = Fetch{};
  sends.push_back(sendOf(h, d->uid, 0, {dataRequest(index)}, false));
  return true;
}

bool RfMessaging::dataFragment(const Bytes &block, std::vector<HandsetSend> &sends) {
  if (block.size() < 4 || static_cast<size_t>(block[0]) != block.size() - 1) return false;
  const uint8_t index = block[1];
  const uint8_t number = block[2];
  const uint8_t count = block[3];
  Bytes data;
  if (count == 0) {  // the buffer holds no message
    if (block.size() != 4 || number != 1) return false;
  } else {
    if (block.size() < 5 || block[4] > kFragmentSize || block[0] != block[4] + 4 || number < 1 || number > count)
      return false;
    data.assign(block.begin() + 5, block.end());
  }

  // The fragment answers the oldest data request for the buffer; every
  // handset fetching the buffer hears it.
  uint32_t asker = 0;
  auto queue = askers_.find(index);
  if (queue != askers_.end() && !queue->second.empty()) {
    asker = queue->second.front();
    queue->second.pop_front();
  }
  for (auto &entry : handsetStates_) {
    const uint32_t uid = entry.first;
    Handset &h = entry.second;
    auto f = h.fetches.find(index);
    const RegisteredDevice *d = byUid(uid);
    if (f == h.fetches.end() || !d) continue;
    if (count == 0) {
      h.fetches.erase(f);
      ++h.state.emptyFetches;
      continue;
    }
    Fetch &fetch = f->second;
    if (fetch.count != count) {  // another message under that index: start over
      fetch.count = count;
      fetch.fragments.clear();
    }
    fetch.fragments.emplace(number, data);
    if (fetch.fragments.size() == static_cast<size_t>(count)) {
      Bytes message;
      for (const auto &fragment : fetch.fragments) message.insert(message.end(), fragment.second.begin(), fragment.second.end());
      h.fetches.erase(f);
      sends.push_back(sendOf(h, uid, 0, {bufferRelease(index)}, false));
      onMessage(*d, h, message, sends);
    } else if (uid == asker) {
      sends.push_back(sendOf(h, uid, 0, {dataRequest(index)}, false));
    }
  }
  return true;
}

void RfMessaging::onMessage(const RegisteredDevice &d, Handset &h, const Bytes &message,
                            std::vector<HandsetSend> &sends) {
  h.received.push_back(message);
  const EnhancedMessage m = readEnhancedMessage(message);
  if (!m.valid) {
    ++h.state.malformed;
    return;
  }
  MessagingState &s = h.state;
  if (s.phase != EnhancedPhase::WantsParameters && s.phase != EnhancedPhase::WantsQuestion) return;
  const HandsetBehaviour b = handsets_.behaviour(d.uid);
  switch (m.type) {
  case kSessionParametersMessage:
    if (s.phase != EnhancedPhase::WantsParameters) break;
    s.phase = EnhancedPhase::WantsQuestion;
    s.question = 1;
    sends.push_back(sendOf(h, d.uid, 0, {getMessageRequest(d.address, enhancedRequest(kRequestQuestion, 1))}, false));
    break;
  case kQuestionMessage: {
    const EnhancedQuestionInfo &q = m.question;
    Question asked;
    asked.entity = q.number;
    asked.kind = q.type;
    asked.option = q.option;
    const Bytes answer = enhancedAnswer(q.type, q.option, handsets_.answer(b, asked), !b.fixed);
    const int64_t delay = handsets_.delayUs(b);
    const uint8_t next = static_cast<uint8_t>(q.number + 1);
    sends.push_back(sendOf(h, d.uid, delay, responsePackets(d.address, answer), true));
    sends.push_back(
        sendOf(h, d.uid, delay, {getMessageRequest(d.address, enhancedRequest(kRequestQuestion, next))}, false));
    s.phase = EnhancedPhase::WantsQuestion;
    s.question = next;
    ++s.answered;
    s.lastAnswered = q.number;
    break;
  }
  case kNoMoreQuestionsMessage: s.phase = EnhancedPhase::Finished; break;
  default: break;  // texts and pop-ups are shown, not answered
  }
}

void RfMessaging::sent(uint32_t uid, const std::vector<Bytes> &packets) {
  for (const Bytes &p : packets)
    if (p.size() == 3 && p[1] == kDataRequest) askers_[p[2]].push_back(uid);
}

bool RfMessaging::current(uint32_t uid, uint64_t epoch) const {
  auto it = handsetStates_.find(uid);
  return it != handsetStates_.end() && it->second.epoch == epoch;
}

// ---------------------------------------------------------------------------
// What handset users and tests ask for
// ---------------------------------------------------------------------------

int RfMessaging::request(uint32_t uid, const Bytes &deviceData, bool active, std::vector<HandsetSend> &sends) {
  const RegisteredDevice *d = byUid(uid);
  if (!d || !speaksTransport(d->deviceClass)) return -1;
  if (!active) return 0;
  Handset &h = handset(uid);
  if (h.state.phase == EnhancedPhase::SwitchedOff) return 0;
  const HandsetBehaviour b = handsets_.behaviour(uid);
  sends.push_back(sendOf(h, uid, handsets_.delayUs(b), {getMessageRequest(d->address, deviceData)}, false));
  return 1;
}

int RfMessaging::sendMessage(uint32_t uid, const Bytes &message, const std::vector<int> *order, bool active,
                             std::vector<HandsetSend> &sends) {
  const RegisteredDevice *d = byUid(uid);
  if (!d || !speaksTransport(d->deviceClass) || message.size() > kMaxResponsePackets * kResponseChunk) return -1;
  std::vector<Bytes> packets = responsePackets(d->address, message);
  if (order) {
    std::vector<Bytes> chosen;
    for (int number : *order) {
      if (number < 0 || static_cast<size_t>(number) >= packets.size()) return -1;
      chosen.push_back(packets[static_cast<size_t>(number)]);
    }
    packets = std::move(chosen);
  }
  if (!active) return 0;
  Handset &h = handset(uid);
  if (h.state.phase == EnhancedPhase::SwitchedOff || packets.empty()) return 0;
  const HandsetBehaviour b = handsets_.behaviour(uid);
  sends.push_back(sendOf(h, uid, handsets_.delayUs(b), std::move(packets), order == nullptr));
  return 1;
}

int RfMessaging::switchHandset(uint32_t uid, bool on, bool active, std::vector<HandsetSend> &sends) {
  const RegisteredDevice *d = byUid(uid);
  if (!d || !speaksTransport(d->deviceClass)) return -1;
  if (!active) return 0;
  Handset &h = handset(uid);
  const bool off = h.state.phase == EnhancedPhase::SwitchedOff;
  if (on == !off) return 0;
  // Whatever the handset was about to do is forgotten.
  h.epoch = ++epochs_;
  h.fetches.clear();
  const HandsetBehaviour b = handsets_.behaviour(uid);
  if (!on) {
    h.state.phase = EnhancedPhase::SwitchedOff;
    sends.push_back(sendOf(h, uid, handsets_.delayUs(b),
                           {getMessageRequest(d->address, enhancedRequest(kRequestShutDown))}, false));
  } else {
    h.state.phase = EnhancedPhase::Idle;
    if (b.answers && b.enhanced) startQuiz(*d, h, sends);
  }
  return 1;
}

// ---------------------------------------------------------------------------
// Generic messages
// ---------------------------------------------------------------------------

bool RfMessaging::genericMessage(const Bytes &block, std::vector<HandsetSend> &sends) {
  if (block.size() < 5) return false;
  const size_t length = static_cast<size_t>(block[2]) << 16 | static_cast<size_t>(block[3]) << 8 | block[4];
  if (block.size() != 5 + length) return false;
  const uint16_t address = static_cast<uint16_t>(block[0] << 8 | block[1]);
  const RegisteredDevice *d = byAddress(address, false);
  if (!d) return true;
  Handset &h = handset(d->uid);
  const Bytes message(block.begin() + 5, block.end());
  h.received.push_back(message);
  const HandsetBehaviour b = handsets_.behaviour(d->uid);
  if (b.genericReply == GenericReply::Silent) return true;
  const Bytes &reply = b.genericReply == GenericReply::Echo ? message : b.genericReplyBytes;
  sends.push_back(sendOf(h, d->uid, handsets_.delayUs(b), {genericPacket(address, reply)}, true));
  return true;
}

int RfMessaging::sendGeneric(uint32_t uid, const Bytes &message, bool active, std::vector<HandsetSend> &sends) {
  const RegisteredDevice *d = byUid(uid);
  if (!d || !speaksGeneric(d->deviceClass) || message.size() > 0xFFFFFF) return -1;
  if (!active) return 0;
  const Handset &h = handset(uid);
  const HandsetBehaviour b = handsets_.behaviour(uid);
  sends.push_back(sendOf(h, uid, handsets_.delayUs(b), {genericPacket(d->address, message)}, true));
  return 1;
}

// ---------------------------------------------------------------------------
// Inspection
// ---------------------------------------------------------------------------

bool RfMessaging::state(uint32_t uid, MessagingState *out) const {
  auto it = handsetStates_.find(uid);
  if (it == handsetStates_.end()) return false;
  if (out) *out = it->second.state;
  return true;
}

const std::vector<Bytes> *RfMessaging::received(uint32_t uid) const {
  auto it = handsetStates_.find(uid);
  return it == handsetStates_.end() ? nullptr : &it->second.received;
}

}  // namespace orvexsim
