// The control interface of scenario files, trace replay and answer
// distributions, and the environment variables that name a scenario or a
// trace at the simulator's start.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "orvexsim.h"
#include "rfhubmodel.h"
#include "scenario.h"
#include "simulator.h"
#include "textfile.h"
#include "tracefile.h"

using orvexsim::RfHubModel;
using orvexsim::Scenario;
using orvexsim::ScenarioStep;
using orvexsim::Simulator;

namespace {

constexpr size_t kMaxTraceFileBytes = size_t(1) << 30;

int failWith(const std::string &message, char *error, int errorCap) {
  if (error && errorCap > 0) {
    const size_t n = std::min(message.size(), static_cast<size_t>(errorCap) - 1);
    std::memcpy(error, message.data(), n);
    error[n] = '\0';
  }
  return -1;
}

const char *optionalText(const std::optional<std::string> &text) { return text ? text->c_str() : nullptr; }

int64_t numberOr(const ScenarioStep &step, const char *key, int64_t otherwise) {
  auto it = step.numbers.find(key);
  return it == step.numbers.end() ? otherwise : it->second;
}

// Carries out one step through the control interface; 0, or -1 with what
// the simulator refused in what.
int applyStep(const ScenarioStep &s, std::string &what) {
  const int32_t h = s.handle;
  auto refused = [&](const std::string &thing) {
    what = thing;
    return -1;
  };
  switch (s.kind) {
  case ScenarioStep::DriverVersion:
    return orvexsim_set_driver_version(s.text.c_str());
  case ScenarioStep::Hub:
    if (orvexsim_add_hub(s.hubKind, h, s.uid, s.connection, s.version, s.description.c_str()) != 0)
      return refused("the hub was refused");
    if (s.name && orvexsim_set_hub_name(h, s.name->c_str()) != 0) return refused("the hub's name was refused");
    return 0;
  case ScenarioStep::Device:
  case ScenarioStep::Waiting:
    for (int k = 0; k < s.count; ++k) {
      const uint32_t uid = static_cast<uint32_t>(s.uid) + static_cast<uint32_t>(k);
      const uint16_t address = static_cast<uint16_t>(s.address + k);
      const std::string name = s.name ? orvexsim::numberedName(*s.name, s.first + k) : std::string();
      const int result = s.kind == ScenarioStep::Device
                             ? orvexsim_register_device(h, s.deviceClass, uid, address, name.c_str())
                             : orvexsim_add_waiting_handset(h, s.deviceClass, uid, address, name.c_str(),
                                                            optionalText(s.pin));
      if (result != 0) {
        char text[96];
        std::snprintf(text, sizeof text, "device 0x%08X was refused (its uid is taken, or the hub is full)", uid);
        return refused(text);
      }
    }
    return 0;
  case ScenarioStep::Board:
    if (orvexsim_add_board(h, static_cast<uint32_t>(s.uid), s.address, s.name ? s.name->c_str() : "", s.version) != 0)
      return refused("the board was refused (the hub has no room for it, or its uid is taken)");
    return 0;
  case ScenarioStep::Touch:
    if (orvexsim_set_touch_status(h, static_cast<int>(numberOr(s, "status", 5)), static_cast<int>(numberOr(s, "touches", 4)),
                                  s.flag ? 1 : 0) != 0)
      return refused("touch needs a board with touch (version 850 or more)");
    return 0;
  case ScenarioStep::Capacity:
    return orvexsim_set_capacity(h, static_cast<int>(numberOr(s, "handsets", 512)), static_cast<int>(numberOr(s, "boards", 4)),
                                 static_cast<int>(numberOr(s, "slates", 64)));
  case ScenarioStep::Faults: {
    static const std::pair<const char *, int> faults[] = {
        {"refuse-writes", ORVEXSIM_FAULT_REFUSE_WRITES},         {"drop-replies", ORVEXSIM_FAULT_DROP_REPLIES},
        {"duplicate-replies", ORVEXSIM_FAULT_DUPLICATE_REPLIES}, {"corrupt-replies", ORVEXSIM_FAULT_CORRUPT_REPLIES},
        {"delay-replies-us", ORVEXSIM_FAULT_DELAY_REPLIES},      {"truncate-replies", ORVEXSIM_FAULT_TRUNCATE_REPLIES}};
    for (const auto &fault : faults)
      if (s.numbers.count(fault.first) && orvexsim_set_fault(h, fault.second, static_cast<int>(s.numbers.at(fault.first))) != 0)
        return refused(std::string(fault.first) + " was refused");
    return 0;
  }
  case ScenarioStep::Timing:
    if (s.numbers.count("reply-us") && orvexsim_set_reply_delay_us(h, static_cast<int>(s.numbers.at("reply-us"))) != 0)
      return -1;
    if (s.numbers.count("flash-us") && orvexsim_set_flash_delay_us(h, static_cast<int>(s.numbers.at("flash-us"))) != 0)
      return -1;
    if (s.numbers.count("gap-us") && orvexsim_set_packet_gap_us(h, static_cast<int>(s.numbers.at("gap-us"))) != 0)
      return -1;
    return 0;
  case ScenarioStep::PrefixPackets:
    return orvexsim_set_prefix_packets(h, s.flag ? 1 : 0);
  case ScenarioStep::Radio:
    return orvexsim_legacy_set_radio(h, static_cast<int>(numberOr(s, "vote", 1)), static_cast<int>(numberOr(s, "slate", 1)),
                                     static_cast<int>(numberOr(s, "band", 1)), static_cast<int>(numberOr(s, "board", 1)));
  case ScenarioStep::LegacyHandset:
    for (int k = 0; k < s.count; ++k)
      if (orvexsim_legacy_add_handset(h, static_cast<uint32_t>(s.uid) + static_cast<uint32_t>(k), s.version, s.flag ? 1 : 0) != 0)
        return refused("the handset was refused (its id is taken, or too large for a serial hub)");
    return 0;
  case ScenarioStep::LegacySlate:
    if (orvexsim_legacy_add_slate(h, static_cast<int>(s.uid), s.flag ? 1 : 0, optionalText(s.pin)) != 0)
      return refused("the slate was refused (its id is taken)");
    return 0;
  case ScenarioStep::VoteCopies:
    return orvexsim_legacy_set_vote_copies(h, s.count);
  case ScenarioStep::Learners:
    if (s.hubKind == ORVEXSIM_KIND_LEGACY_1 || s.hubKind == ORVEXSIM_KIND_LEGACY_2)
      return s.seed ? orvexsim_legacy_seed(h, *s.seed) : 0;
    if (s.seed && orvexsim_seed_handsets(h, *s.seed) != 0) return -1;
    if (s.delayMs && orvexsim_set_handset_delay_ms(h, s.learner, s.delayMs->first, s.delayMs->second) != 0) return -1;
    if (s.answers && orvexsim_set_handset_answers(h, s.learner, *s.answers ? 1 : 0) != 0) return -1;
    if (s.answer && orvexsim_set_handset_answer(h, s.learner, optionalText(*s.answer)) != 0) return -1;
    if (s.fault && orvexsim_set_handset_fault(h, s.learner, *s.fault) != 0) return -1;
    if (s.enhanced && orvexsim_set_handset_enhanced(h, s.learner, *s.enhanced ? 1 : 0) != 0) return -1;
    return 0;
  case ScenarioStep::Distribution:
    return orvexsim_set_answer_distribution(h, s.questionKind, s.text.c_str());
  }
  return -1;
}

int loadScenario(const std::string &text, char *error, int errorCap) {
  Scenario scenario;
  std::string message;
  orvexsim_use_empty_classroom();
  if (!orvexsim::parseScenario(text, scenario, message)) return failWith(message, error, errorCap);
  for (const ScenarioStep &step : scenario.steps) {
    std::string what;
    if (applyStep(step, what) != 0) {
      orvexsim_use_empty_classroom();
      return failWith("line " + std::to_string(step.line) + ": " + (what.empty() ? "the simulator refused this line" : what),
                      error, errorCap);
    }
  }
  return 0;
}

// "A=50,B=30" into answers and weights.
bool parseDistribution(const char *weights, std::vector<std::pair<std::string, int>> &choices) {
  const std::string text(weights);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    const std::string item = text.substr(start, end - start);
    const size_t equals = item.rfind('=');
    if (equals == std::string::npos || equals == 0 || equals > 255 || choices.size() >= 64) return false;
    const auto weight = orvexsim::parseInt(item.substr(equals + 1), 1, 1000000);
    if (!weight || item.find('=') != equals) return false;
    choices.emplace_back(item.substr(0, equals), static_cast<int>(*weight));
    start = end + 1;
  }
  return !choices.empty();
}

}  // namespace

namespace orvexsim {

// Called once by Simulator::instance() on the thread that made the
// simulator, before any other thread may use it.
void applyEnvironment() {
  char error[512];
  if (const char *wait = std::getenv("ORVEXSIM_REPLAY_WAIT_MS")) {
    const auto ms = parseInt(wait, 1, 3600000);
    if (ms) orvexsim_replay_set_write_wait_ms(static_cast<int>(*ms));
  }
  if (const char *path = std::getenv("ORVEXSIM_REPLAY"); path && *path) {
    if (orvexsim_replay_start(path, error, sizeof error) != 0) {
      std::fprintf(stderr, "orvexsim: ORVEXSIM_REPLAY=%s: %s\n", path, error);
      orvexsim_use_empty_classroom();
    }
    return;
  }
  if (const char *path = std::getenv("ORVEXSIM_SCENARIO"); path && *path) {
    if (orvexsim_load_scenario(path, error, sizeof error) != 0)
      std::fprintf(stderr, "orvexsim: ORVEXSIM_SCENARIO=%s: %s\n", path, error);
  }
}

}  // namespace orvexsim

extern "C" {

int orvexsim_set_answer_distribution(int32_t handle, int kind, const char *weights) {
  if (kind < ORVEXSIM_DISTRIBUTION_VOTES || kind > 7) return -1;
  std::vector<std::pair<std::string, int>> choices;
  if (weights && *weights && !parseDistribution(weights, choices)) return -1;
  return Simulator::instance().withRfModel(handle, [&](RfHubModel &model) {
    model.handsets().setDistribution(kind, std::move(choices));
    return 0;
  });
}

int orvexsim_load_scenario(const char *path, char *error, int errorCap) {
  if (!path) return failWith("no file named", error, errorCap);
  std::string text;
  std::string message;
  if (!orvexsim::readWholeFile(path, orvexsim::kScenarioMaxBytes, text, message)) {
    orvexsim_use_empty_classroom();
    return failWith("line 0: " + message, error, errorCap);
  }
  return loadScenario(text, error, errorCap);
}

int orvexsim_load_scenario_text(const char *text, char *error, int errorCap) {
  if (!text) return failWith("no text given", error, errorCap);
  return loadScenario(text, error, errorCap);
}

int orvexsim_replay_start(const char *path, char *error, int errorCap) {
  if (!path) return failWith("no file named", error, errorCap);
  std::string text;
  std::string message;
  if (!orvexsim::readWholeFile(path, kMaxTraceFileBytes, text, message))
    return failWith("line 0: " + message, error, errorCap);
  orvexsim::TraceData trace;
  if (!orvexsim::parseTrace(text, trace, message)) return failWith(message, error, errorCap);
  return Simulator::instance().startReplay(std::move(trace));
}

int orvexsim_replay_set_write_wait_ms(int ms) { return Simulator::instance().setReplayWriteWait(ms); }
int orvexsim_replay_status(OrvexSimReplayStatus *status) { return Simulator::instance().replayStatus(status); }
int orvexsim_replay_wait(int timeoutMs) { return Simulator::instance().replayWait(timeoutMs); }
int orvexsim_replay_stop(void) { return Simulator::instance().stopReplay(); }

}  // extern "C"
