// The scenario reader.
#include "scenario.h"

#include <limits>
#include <set>

#include "orvexsim.h"
#include "textfile.h"

namespace orvexsim {

namespace {

constexpr const char *kFormatName = "orvexscenario";
constexpr int kMaxCount = 512;

using Pairs = std::map<std::string, std::string>;

// Reads key=value pairs up to the end of the line; every key must be one of
// allowed, and none may come twice.
bool readPairs(LineCursor &in, const std::set<std::string> &allowed, Pairs &pairs, std::string &what) {
  while (!in.atEnd()) {
    const std::string key = in.word(true);
    if (!in.take('=')) {
      what = "expected key=value, found \"" + key.substr(0, 32) + "\"";
      return false;
    }
    if (!allowed.count(key)) {
      what = "unknown key \"" + key.substr(0, 32) + "\"";
      return false;
    }
    const auto value = in.value();
    if (!value) {
      what = key + " needs a value (a word, or a text in double quotes)";
      return false;
    }
    if (!pairs.emplace(key, *value).second) {
      what = key + " given twice";
      return false;
    }
  }
  return true;
}

struct Checker {
  std::string &what;

  bool integer(const Pairs &pairs, const std::string &key, int64_t low, int64_t high, int64_t &out) {
    auto it = pairs.find(key);
    if (it == pairs.end()) return true;
    const auto v = parseInt(it->second, low, high);
    if (!v) {
      what = key + " must be a number from " + std::to_string(low) + " to " + std::to_string(high);
      return false;
    }
    out = *v;
    return true;
  }
  bool required(const Pairs &pairs, const std::string &key) {
    if (pairs.count(key)) return true;
    what = key + "= is required";
    return false;
  }
  bool yesNo(const Pairs &pairs, const std::string &key, std::optional<bool> &out) {
    auto it = pairs.find(key);
    if (it == pairs.end()) return true;
    if (it->second != "yes" && it->second != "no") {
      what = key + " must be yes or no";
      return false;
    }
    out = it->second == "yes";
    return true;
  }
};

std::optional<int> hubKindOf(const std::string &word) {
  if (word == "legacy-board") return ORVEXSIM_KIND_LEGACY_1;
  if (word == "legacy") return ORVEXSIM_KIND_LEGACY_2;
  if (word == "rf") return ORVEXSIM_KIND_RF;
  if (word == "virtual") return ORVEXSIM_KIND_VIRTUAL_RF;
  return std::nullopt;
}

std::optional<int> deviceClassOf(const std::string &word) {
  if (word == "vote") return ORVEXSIM_CLASS_VOTE;
  if (word == "vote-alt") return ORVEXSIM_CLASS_VOTE_ALT;
  if (word == "slate") return ORVEXSIM_CLASS_SLATE;
  if (word == "expression") return ORVEXSIM_CLASS_EXPRESSION;
  if (word == "pen-expression") return ORVEXSIM_CLASS_PEN_EXPRESSION;
  return std::nullopt;
}

std::optional<int> questionKindOf(const std::string &word) {
  static const char *const names[] = {"votes",   "multichoice", "yesno", "truefalse",
                                      "likert",  "numeric",     "text",  "sort"};
  for (int i = 0; i < 8; ++i)
    if (word == names[i]) return i;
  return std::nullopt;
}

std::optional<int> radioFaultOf(const std::string &word) {
  if (word == "none") return ORVEXSIM_HANDSET_FAULT_NONE;
  if (word == "lose-last") return ORVEXSIM_HANDSET_FAULT_LOSE_LAST;
  if (word == "out-of-order") return ORVEXSIM_HANDSET_FAULT_OUT_OF_ORDER;
  if (word == "duplicate") return ORVEXSIM_HANDSET_FAULT_DUPLICATE;
  if (word == "late") return ORVEXSIM_HANDSET_FAULT_LATE;
  return std::nullopt;
}

bool isPin(const std::string &pin, char low, char high, size_t length) {
  if (pin.size() != length) return false;
  for (char c : pin)
    if (c < low || c > high) return false;
  return true;
}

// "<min>..<max>" in milliseconds.
std::optional<std::pair<int, int>> delayRange(const std::string &text) {
  const size_t dots = text.find("..");
  if (dots == std::string::npos) return std::nullopt;
  const auto low = parseInt(text.substr(0, dots), 0, 600000);
  const auto high = parseInt(text.substr(dots + 2), 0, 600000);
  if (!low || !high || *low > *high) return std::nullopt;
  return std::make_pair(static_cast<int>(*low), static_cast<int>(*high));
}

// A distribution's answer=weight words, checked and joined as the control
// function reads them.
bool distributionWeights(LineCursor &in, std::string &weights, std::string &what) {
  int answers = 0;
  while (!in.atEnd()) {
    const std::string word = in.word(true);
    if (!in.take('=') || word.empty() || word.size() > 255 || word.find(',') != std::string::npos) {
      what = "a distribution lists answer=weight, e.g. A=50 B=30 C=20";
      return false;
    }
    const auto weight = parseInt(in.word(), 1, 1000000);
    if (!weight) {
      what = "a weight is a number from 1 to 1000000";
      return false;
    }
    if (++answers > 64) {
      what = "a distribution has at most 64 answers";
      return false;
    }
    if (!weights.empty()) weights += ',';
    weights += word + "=" + std::to_string(*weight);
  }
  if (answers == 0) {
    what = "a distribution lists answer=weight, e.g. A=50 B=30 C=20";
    return false;
  }
  return true;
}

bool isRf(int kind) { return kind == ORVEXSIM_KIND_RF || kind == ORVEXSIM_KIND_VIRTUAL_RF; }

bool parseStatement(const std::string &verb, LineCursor &in, const ScenarioStep *hub, ScenarioStep &step,
                    std::set<int32_t> &handles, std::string &what) {
  Checker check{what};
  Pairs pairs;
  const auto needHub = [&](bool rfOnly, bool legacyOnly) {
    if (!hub) {
      what = verb + " needs a hub line before it";
      return false;
    }
    if (rfOnly && !isRf(hub->hubKind)) {
      what = verb + " needs a 2.4 GHz hub (rf or virtual)";
      return false;
    }
    if (legacyOnly && isRf(hub->hubKind)) {
      what = verb + " needs a legacy hub";
      return false;
    }
    step.handle = hub->handle;
    step.hubKind = hub->hubKind;
    return true;
  };
  const auto uidWord = [&](uint64_t high, const char *what_) -> bool {
    const auto uid = parseUnsigned(in.word(), high);
    if (!uid || *uid == 0) {
      what = what_;
      return false;
    }
    step.uid = *uid;
    return true;
  };

  if (verb == "driver-version") {
    step.kind = ScenarioStep::DriverVersion;
    const auto text = in.value();
    if (!text || !in.atEnd()) {
      what = "driver-version takes one text";
      return false;
    }
    step.text = *text;
    return true;
  }
  if (verb == "hub") {
    step.kind = ScenarioStep::Hub;
    const auto handle = parseInt(in.word(), std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    if (!handle || *handle == 0) {
      what = "a hub needs a non-zero handle";
      return false;
    }
    const auto kind = hubKindOf(in.word());
    if (!kind) {
      what = "a hub's kind is rf, virtual, legacy or legacy-board";
      return false;
    }
    if (!handles.insert(static_cast<int32_t>(*handle)).second) {
      what = "hub " + std::to_string(*handle) + " is described twice";
      return false;
    }
    step.handle = static_cast<int32_t>(*handle);
    step.hubKind = *kind;
    if (!readPairs(in, {"uid", "connection", "version", "name", "description"}, pairs, what)) return false;
    if (pairs.count("uid")) {
      const auto uid = parseUnsigned(pairs["uid"], std::numeric_limits<uint64_t>::max());
      if (!uid) {
        what = "bad uid";
        return false;
      }
      step.uid = *uid;
    }
    if (pairs.count("connection")) {
      const std::string &c = pairs["connection"];
      if (c != "usb" && c != "serial") {
        what = "connection is usb or serial";
        return false;
      }
      step.connection = c == "usb" ? ORVEXSIM_CONNECTION_USB : ORVEXSIM_CONNECTION_SERIAL;
    }
    int64_t version = 0;
    if (!check.integer(pairs, "version", 0, std::numeric_limits<int32_t>::max(), version)) return false;
    step.version = static_cast<int>(version);
    if (pairs.count("name")) {
      if (!isRf(step.hubKind)) {
        what = "only a 2.4 GHz hub (rf or virtual) has a name";
        return false;
      }
      step.name = pairs["name"];
    }
    if (pairs.count("description")) step.description = pairs["description"];
    return true;
  }
  if (verb == "device" || verb == "waiting") {
    if (!needHub(true, false)) return false;
    step.kind = verb == "device" ? ScenarioStep::Device : ScenarioStep::Waiting;
    const auto deviceClass = deviceClassOf(in.word());
    if (!deviceClass) {
      what = "a device's class is vote, vote-alt, slate, expression or pen-expression";
      return false;
    }
    step.deviceClass = *deviceClass;
    if (!uidWord(0xFFFFFFFFu, "a device needs a non-zero uid of 32 bits")) return false;
    std::set<std::string> keys{"address", "name", "count", "first"};
    if (verb == "waiting") keys.insert("pin");
    if (!readPairs(in, keys, pairs, what) || !check.required(pairs, "address")) return false;
    int64_t address = 0, count = 1, first = 1;
    if (!check.integer(pairs, "address", 0, 0xFFFF, address) || !check.integer(pairs, "count", 1, kMaxCount, count) ||
        !check.integer(pairs, "first", 0, 1000000, first))
      return false;
    step.first = static_cast<int>(first);
    if (step.uid + static_cast<uint64_t>(count) - 1 > 0xFFFFFFFFu || address + count - 1 > 0xFFFF) {
      what = "count runs past the largest uid or address";
      return false;
    }
    step.address = static_cast<uint16_t>(address);
    step.count = static_cast<int>(count);
    if (pairs.count("name")) step.name = pairs["name"];
    if (pairs.count("pin")) {
      if (!isPin(pairs["pin"], 'A', 'F', 3)) {
        what = "a PIN is three letters A to F";
        return false;
      }
      step.pin = pairs["pin"];
    }
    return true;
  }
  if (verb == "board") {
    if (!needHub(false, false)) return false;
    step.kind = ScenarioStep::Board;
    const auto uid = parseUnsigned(in.word(), 0xFFFFFFFFu);
    if (!uid) {
      what = "a board needs a uid of 32 bits";
      return false;
    }
    step.uid = *uid;
    if (!readPairs(in, {"address", "name", "version"}, pairs, what)) return false;
    int64_t address = 0, version = 850;
    if (!check.integer(pairs, "address", 0, 0xFFFF, address) ||
        !check.integer(pairs, "version", 0, 0xFFFF, version))
      return false;
    step.address = static_cast<uint16_t>(address);
    step.version = static_cast<int>(version);
    if (pairs.count("name")) step.name = pairs["name"];
    return true;
  }
  // Statements of numbers only.
  struct NumberKeys {
    const char *verb;
    ScenarioStep::Kind kind;
    int scope;  // 0 any hub, 1 2.4 GHz hubs, 2 legacy hubs
    std::vector<std::pair<const char *, std::pair<int64_t, int64_t>>> keys;
  };
  static const NumberKeys numberStatements[] = {
      {"touch", ScenarioStep::Touch, 0, {{"status", {0, 255}}, {"touches", {0, 255}}}},
      {"capacity", ScenarioStep::Capacity, 1, {{"handsets", {0, 65535}}, {"boards", {0, 255}}, {"slates", {0, 255}}}},
      {"faults",
       ScenarioStep::Faults,
       0,
       {{"refuse-writes", {-1, 1000000}},
        {"drop-replies", {-1, 1000000}},
        {"duplicate-replies", {-1, 1000000}},
        {"corrupt-replies", {-1, 1000000}},
        {"delay-replies-us", {0, 10000000}},
        {"truncate-replies", {0, 1000000}}}},
      {"timing", ScenarioStep::Timing, 0, {{"reply-us", {0, 10000000}}, {"flash-us", {0, 10000000}}, {"gap-us", {0, 10000000}}}},
      {"radio", ScenarioStep::Radio, 2, {{"vote", {0, 3}}, {"slate", {0, 3}}, {"band", {0, 3}}, {"board", {0, 255}}}},
  };
  for (const NumberKeys &statement : numberStatements) {
    if (verb != statement.verb) continue;
    if (!needHub(statement.scope == 1, statement.scope == 2)) return false;
    step.kind = statement.kind;
    std::set<std::string> keys;
    for (const auto &key : statement.keys) keys.insert(key.first);
    if (statement.kind == ScenarioStep::Touch) keys.insert("answers");
    if (!readPairs(in, keys, pairs, what)) return false;
    if (pairs.empty()) {
      what = verb + " needs at least one key=value";
      return false;
    }
    for (const auto &key : statement.keys) {
      int64_t value = 0;
      if (!pairs.count(key.first)) continue;
      if (!check.integer(pairs, key.first, key.second.first, key.second.second, value)) return false;
      step.numbers[key.first] = value;
    }
    if (statement.kind == ScenarioStep::Touch) {
      std::optional<bool> answers;
      if (!check.yesNo(pairs, "answers", answers)) return false;
      step.flag = answers.value_or(true);
    }
    return true;
  }
  if (verb == "prefix-packets") {
    if (!needHub(false, false)) return false;
    step.kind = ScenarioStep::PrefixPackets;
    const std::string w = in.word();
    if ((w != "yes" && w != "no") || !in.atEnd()) {
      what = "prefix-packets is yes or no";
      return false;
    }
    step.flag = w == "yes";
    return true;
  }
  if (verb == "handset") {
    if (!needHub(false, true)) return false;
    step.kind = ScenarioStep::LegacyHandset;
    if (!uidWord(0x7FFFFF, "a legacy handset needs an id from 1 to 0x7FFFFF")) return false;
    const std::string state = in.word();
    if (state != "registered" && state != "waiting") {
      what = "a legacy handset is registered or waiting";
      return false;
    }
    step.flag = state == "registered";
    if (!readPairs(in, {"version", "count"}, pairs, what)) return false;
    int64_t version = 0, count = 1;
    if (!check.integer(pairs, "version", 0, 127, version) || !check.integer(pairs, "count", 1, kMaxCount, count))
      return false;
    if (step.uid + static_cast<uint64_t>(count) - 1 > 0x7FFFFF) {
      what = "count runs past the largest id";
      return false;
    }
    step.version = static_cast<int>(version);
    step.count = static_cast<int>(count);
    return true;
  }
  if (verb == "slate") {
    if (!needHub(false, true)) return false;
    step.kind = ScenarioStep::LegacySlate;
    if (!uidWord(63, "a legacy slate needs an id from 1 to 63")) return false;
    const std::string state = in.word();
    if (state != "registered" && state != "waiting") {
      what = "a legacy slate is registered or waiting";
      return false;
    }
    step.flag = state == "registered";
    if (!readPairs(in, {"pin"}, pairs, what)) return false;
    if (pairs.count("pin")) {
      if (!isPin(pairs["pin"], '1', '6', 3)) {
        what = "a legacy slate's PIN is three digits 1 to 6";
        return false;
      }
      step.pin = pairs["pin"];
    }
    if (step.flag && !step.pin) {
      what = "a registered slate needs its pin=";
      return false;
    }
    return true;
  }
  if (verb == "vote-copies") {
    if (!needHub(false, true)) return false;
    step.kind = ScenarioStep::VoteCopies;
    const auto copies = parseInt(in.word(), 1, 20);
    if (!copies || !in.atEnd()) {
      what = "vote-copies is a number from 1 to 20";
      return false;
    }
    step.count = static_cast<int>(*copies);
    return true;
  }
  if (verb == "learners" || verb == "learner") {
    if (!needHub(false, false)) return false;
    step.kind = ScenarioStep::Learners;
    if (verb == "learner") {
      if (!uidWord(0xFFFFFFFFu, "learner needs the uid of a handset")) return false;
      step.learner = static_cast<uint32_t>(step.uid);
    }
    if (!readPairs(in, {"delay", "seed", "answers", "answer", "fault", "enhanced"}, pairs, what)) return false;
    if (pairs.empty()) {
      what = verb + " needs at least one key=value";
      return false;
    }
    if (!isRf(step.hubKind) && (pairs.size() > 1 || !pairs.count("seed"))) {
      what = "a legacy hub's learners take only seed=";
      return false;
    }
    if (pairs.count("seed") && step.learner != 0) {
      what = "seed= belongs to learners, the whole class";
      return false;
    }
    if (pairs.count("delay")) {
      step.delayMs = delayRange(pairs["delay"]);
      if (!step.delayMs) {
        what = "delay is MIN..MAX in milliseconds, 0 to 600000";
        return false;
      }
    }
    if (pairs.count("seed")) {
      const auto seed = parseUnsigned(pairs["seed"], 0xFFFFFFFFu);
      if (!seed) {
        what = "seed is a number of 32 bits";
        return false;
      }
      step.seed = static_cast<uint32_t>(*seed);
    }
    if (!check.yesNo(pairs, "answers", step.answers) || !check.yesNo(pairs, "enhanced", step.enhanced)) return false;
    if (pairs.count("answer")) {
      const std::string &a = pairs["answer"];
      step.answer = a == "random" ? std::optional<std::string>() : std::optional<std::string>(a);
    }
    if (pairs.count("fault")) {
      step.fault = radioFaultOf(pairs["fault"]);
      if (!step.fault) {
        what = "fault is none, lose-last, out-of-order, duplicate or late";
        return false;
      }
    }
    return true;
  }
  if (verb == "distribution") {
    if (!needHub(true, false)) return false;
    step.kind = ScenarioStep::Distribution;
    const auto kind = questionKindOf(in.word());
    if (!kind) {
      what = "a distribution is for votes, multichoice, yesno, truefalse, likert, numeric, text or sort";
      return false;
    }
    step.questionKind = *kind;
    return distributionWeights(in, step.text, what);
  }
  what = "unknown statement \"" + verb.substr(0, 32) + "\"";
  return false;
}

}  // namespace

std::string numberedName(const std::string &pattern, int n) {
  std::string out;
  for (size_t i = 0; i < pattern.size();) {
    if (pattern.compare(i, 4, "{nn}") == 0) {
      if (n < 10) out += '0';
      out += std::to_string(n);
      i += 4;
    } else if (pattern.compare(i, 3, "{n}") == 0) {
      out += std::to_string(n);
      i += 3;
    } else {
      out += pattern[i++];
    }
  }
  return out;
}

bool parseScenario(const std::string &text, Scenario &scenario, std::string &error) {
  scenario = Scenario();
  auto fail = [&](size_t line, const std::string &what) {
    error = "line " + std::to_string(line) + ": " + what;
    scenario = Scenario();
    return false;
  };
  if (text.size() > kScenarioMaxBytes) return fail(0, "larger than " + std::to_string(kScenarioMaxBytes) + " bytes");
  const std::vector<std::string> lines = splitLines(text);
  if (lines.empty()) return fail(1, "empty file: not a scenario");
  {
    LineCursor in(lines[0]);
    const std::string name = in.word();
    const auto version = parseInt(in.word(), 0, std::numeric_limits<int32_t>::max());
    if (name != kFormatName || !version || !in.atEnd())
      return fail(1, std::string("not a scenario: the first line must be \"") + kFormatName + " " +
                         std::to_string(kScenarioVersion) + "\"");
    if (*version != kScenarioVersion)
      return fail(1, "scenario format version " + std::to_string(*version) +
                         " is not supported (this reader knows version " + std::to_string(kScenarioVersion) + ")");
  }
  std::set<int32_t> handles;
  size_t currentHub = 0;
  bool haveHub = false;
  for (size_t i = 1; i < lines.size(); ++i) {
    LineCursor in(lines[i]);
    if (in.atEnd()) continue;
    const std::string verb = in.word();
    if (verb[0] == '#') continue;
    ScenarioStep step;
    step.line = i + 1;
    std::string what;
    const ScenarioStep *hub = haveHub ? &scenario.steps[currentHub] : nullptr;
    if (!parseStatement(verb, in, hub, step, handles, what)) return fail(i + 1, what);
    if (step.kind == ScenarioStep::Hub) {
      currentHub = scenario.steps.size();
      haveHub = true;
    }
    scenario.steps.push_back(std::move(step));
  }
  return true;
}

}  // namespace orvexsim
