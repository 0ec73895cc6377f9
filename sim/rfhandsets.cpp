#include "rfhandsets.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "text.h"

namespace orvexsim {

namespace {

const char *const kTexts[] = {"Paris",       "photosynthesis", "I don't know", "the mitochondria",
                              "Ça dépend",   "Straße",         "42",           "because gravity pulls",
                              "Ωmega point", "yes, twice"};
const char *const kNames[] = {"Ada",   "Bruno", "Chiara", "Dara", "Emeka",  "Fatima", "Goran", "Hana",
                              "Inès",  "Jonas", "Kofi",   "Léa",  "Mateo",  "Noor",   "Oskar", "Priya",
                              "Quinn", "Rosa",  "Søren",  "Tomás"};

template <typename T, size_t N>
constexpr size_t countOf(T (&)[N]) {
  return N;
}

Bytes bytesOf(const std::string &s) { return Bytes(s.begin(), s.end()); }

// A name of ISO 8859-1 letters in upper or lower case.
std::string recase(const std::string &utf8, bool upper) {
  std::string latin1;
  for (char32_t cp : decodeUtf8(utf8)) {
    if (upper && ((cp >= 'a' && cp <= 'z') || (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7)))
      cp -= 0x20;
    else if (!upper && ((cp >= 'A' && cp <= 'Z') || (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7)))
      cp += 0x20;
    latin1.push_back(cp <= 0xFF ? static_cast<char>(cp) : '?');
  }
  return latin1ToUtf8(latin1);
}

// The number a Likert answer's text gives, else the code of its first
// character.
uint8_t likertValue(const std::string &text) {
  if (text.empty()) return 0;
  if (std::isdigit(static_cast<unsigned char>(text[0])))
    return static_cast<uint8_t>(std::min(std::atoi(text.c_str()), 0xFF));
  return static_cast<uint8_t>(text[0]);
}

}  // namespace

// ---------------------------------------------------------------------------
// Settings
// ---------------------------------------------------------------------------

void RfHandsets::setAnswers(uint32_t uid, bool answers) {
  if (uid == 0)
    all_.answers = answers;
  else
    own_[uid].answers = answers;
}

void RfHandsets::setAnswer(uint32_t uid, const std::optional<std::string> &answer) {
  if (uid == 0) {
    all_.fixed = answer.has_value();
    all_.answer = answer.value_or(std::string());
  } else {
    own_[uid].answer = answer;
  }
}

void RfHandsets::setDelay(uint32_t uid, int minMs, int maxMs) {
  if (uid == 0) {
    all_.minDelayMs = minMs;
    all_.maxDelayMs = maxMs;
  } else {
    own_[uid].delay = std::make_pair(minMs, maxMs);
  }
}

void RfHandsets::setFault(uint32_t uid, RadioFault fault) {
  if (uid == 0)
    all_.fault = fault;
  else
    own_[uid].fault = fault;
}

void RfHandsets::setEnhanced(uint32_t uid, bool enhanced) {
  if (uid == 0)
    all_.enhanced = enhanced;
  else
    own_[uid].enhanced = enhanced;
}

void RfHandsets::setGenericReply(uint32_t uid, GenericReply reply, const Bytes &bytes) {
  if (uid == 0) {
    all_.genericReply = reply;
    all_.genericReplyBytes = bytes;
  } else {
    own_[uid].genericReply = std::make_pair(reply, bytes);
  }
}

void RfHandsets::clearSettings() {
  all_ = base_;
  own_.clear();
  distributions_.clear();
}

void RfHandsets::setDistribution(int kind, std::vector<std::pair<std::string, int>> choices) {
  if (choices.empty())
    distributions_.erase(kind);
  else
    distributions_[kind] = std::move(choices);
}

std::optional<std::string> RfHandsets::drawDistribution(int kind) {
  auto it = distributions_.find(kind);
  if (it == distributions_.end()) return std::nullopt;
  int total = 0;
  for (const auto &choice : it->second) total += choice.second;
  int ticket = uniform(1, total);
  for (const auto &choice : it->second) {
    ticket -= choice.second;
    if (ticket <= 0) return choice.first;
  }
  return it->second.back().first;
}

void RfHandsets::setBaseDelay(int minMs, int maxMs) {
  base_.minDelayMs = all_.minDelayMs = minMs;
  base_.maxDelayMs = all_.maxDelayMs = maxMs;
}

HandsetBehaviour RfHandsets::behaviour(uint32_t uid) const {
  HandsetBehaviour b = all_;
  auto it = own_.find(uid);
  if (it == own_.end()) return b;
  const Own &own = it->second;
  if (own.answers) b.answers = *own.answers;
  if (own.answer) {
    b.fixed = own.answer->has_value();
    b.answer = own.answer->value_or(std::string());
  }
  if (own.delay) std::tie(b.minDelayMs, b.maxDelayMs) = *own.delay;
  if (own.fault) b.fault = *own.fault;
  if (own.enhanced) b.enhanced = *own.enhanced;
  if (own.genericReply) std::tie(b.genericReply, b.genericReplyBytes) = *own.genericReply;
  return b;
}

// ---------------------------------------------------------------------------
// Random draws
// ---------------------------------------------------------------------------

int RfHandsets::uniform(int low, int high) {
  if (high <= low) return low;
  return low + static_cast<int>(random_() % static_cast<uint32_t>(high - low + 1));
}

std::string RfHandsets::pick(const char *const *list, size_t count) {
  return list[uniform(0, static_cast<int>(count) - 1)];
}

int64_t RfHandsets::delayUs(const HandsetBehaviour &b) {
  return static_cast<int64_t>(uniform(b.minDelayMs, b.maxDelayMs)) * 1000;
}

Bytes RfHandsets::answer(const HandsetBehaviour &b, const Question &q) {
  if (!b.fixed) {
    if (const std::optional<std::string> drawn = drawDistribution(q.kind)) {
      HandsetBehaviour chosen = b;
      chosen.fixed = true;
      chosen.answer = *drawn;
      return answer(chosen, q);
    }
  }
  switch (q.kind) {
  case kMultichoice:
  case kSortInOrder: {
    if (b.fixed) return bytesOf(b.answer.substr(0, 6));
    // Option byte: options in bits 7-5, responses allowed in bits 4-2.
    const int options = std::min(std::max(q.option >> 5, 1), 6);
    std::string letters;
    for (int i = 0; i < options; ++i) letters.push_back(static_cast<char>('A' + i));
    for (int i = options - 1; i > 0; --i) std::swap(letters[static_cast<size_t>(i)], letters[static_cast<size_t>(uniform(0, i))]);
    if (q.kind == kSortInOrder) return bytesOf(letters);
    const int responses = std::min(std::max((q.option >> 2) & 7, 1), options);
    std::string chosen = letters.substr(0, static_cast<size_t>(uniform(1, responses)));
    std::sort(chosen.begin(), chosen.end());
    return bytesOf(chosen);
  }
  case kYesNo:
  case kTrueFalse:
    // 'A' yes or true, 'B' no or false; with the option bit set a handset
    // may also answer 'C' (neither).
    if (b.fixed) return Bytes{static_cast<uint8_t>(b.answer.empty() ? 0 : b.answer[0])};
    return Bytes{static_cast<uint8_t>('A' + uniform(0, q.option ? 2 : 1))};
  case kLikert:
    if (b.fixed) return Bytes{likertValue(b.answer)};
    return Bytes{static_cast<uint8_t>(uniform(1, std::min(std::max<int>(q.option, 1), 9)))};
  case kNumeric:
  case kText: {
    const size_t maxSize = q.option ? q.option : 0xFF;
    std::string text = b.answer;
    if (!b.fixed) {
      if (q.kind == kText) {
        text = pick(kTexts, countOf(kTexts));
      } else {
        const int form = uniform(0, 4);
        text = std::to_string(form == 0 ? -uniform(1, 99) : uniform(0, 99999));
        if (form == 1) text += "." + std::to_string(uniform(0, 99));
      }
    }
    return bytesOf(cutUtf8Bytes(text, maxSize));
  }
  case kMessage:
    return Bytes{0};  // an acknowledgement carries no answer
  case kEndUserNaming: {
    // Option byte: character type in bits 7-5, name length in bits 3-0.
    const size_t length = (q.option & 0x0F) ? std::min(q.option & 0x0F, 14) : 14;
    return bytesOf(name(b, std::nullopt, length, static_cast<uint8_t>(q.option >> 5)));
  }
  default:
    return Bytes{};
  }
}

int RfHandsets::key(const HandsetBehaviour &b, int key) {
  if (key >= 1 && key <= 6) return key;
  if (!b.fixed) {
    if (const std::optional<std::string> drawn = drawDistribution(0)) {
      HandsetBehaviour chosen = b;
      chosen.fixed = true;
      chosen.answer = *drawn;
      return this->key(chosen, 0);
    }
  }
  if (b.fixed && !b.answer.empty()) {
    const char c = b.answer[0];
    if (c >= 'A' && c <= 'F') return c - 'A' + 1;
    if (c >= '1' && c <= '6') return c - '0';
  }
  return uniform(1, 6);
}

std::string RfHandsets::name(const HandsetBehaviour &b, const std::optional<std::string> &given, size_t maxChars,
                             uint8_t characterType) {
  std::string text;
  if (given) {
    text = *given;
  } else if (b.fixed) {
    text = b.answer;
  } else {
    // Random names follow the character type: 1 upper case, 2 lower case.
    text = pick(kNames, countOf(kNames));
    if (characterType == 1 || characterType == 2) text = recase(text, characterType == 1);
  }
  return cutUtf8Chars(text, maxChars);
}

std::string RfHandsets::pin(const std::optional<std::string> &given, int count) {
  if (given) return given->substr(0, 4);
  std::string pin;
  for (int i = 0, n = std::min(std::max(count, 1), 4); i < n; ++i) pin.push_back(static_cast<char>('A' + uniform(0, 5)));
  return pin;
}

void RfHandsets::applyFault(RadioFault fault, std::vector<Bytes> &packets) {
  if (packets.empty()) return;
  switch (fault) {
  case RadioFault::LoseLast: packets.pop_back(); break;
  case RadioFault::OutOfOrder: std::reverse(packets.begin(), packets.end()); break;
  case RadioFault::Duplicate: {
    Bytes first = packets.front();
    packets.insert(packets.begin() + 1, std::move(first));
    break;
  }
  case RadioFault::None:
  case RadioFault::Late: break;
  }
}

// ---------------------------------------------------------------------------
// Handsets waiting to register
// ---------------------------------------------------------------------------

bool RfHandsets::addWaiting(const WaitingHandset &w) {
  if (findWaiting(w.device.uid)) return false;
  waiting_.push_back(w);
  return true;
}

const WaitingHandset *RfHandsets::findWaiting(uint32_t uid) const {
  for (const WaitingHandset &w : waiting_)
    if (w.device.uid == uid) return &w;
  return nullptr;
}

bool RfHandsets::setWaitingPin(uint32_t uid, const std::string &pin) {
  bool found = false;
  for (WaitingHandset &w : waiting_) {
    if (uid != 0 && w.device.uid != uid) continue;
    w.pin = pin;
    found = true;
  }
  return found || uid == 0;
}

void RfHandsets::removeWaiting(uint32_t uid) {
  waiting_.erase(std::remove_if(waiting_.begin(), waiting_.end(),
                                [uid](const WaitingHandset &w) { return w.device.uid == uid; }),
                 waiting_.end());
}

}  // namespace orvexsim
