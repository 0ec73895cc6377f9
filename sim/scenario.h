// Scenario files: a classroom in readable text (format in sim/README.md,
// "Scenario files"). parseScenario checks a file and turns it into steps;
// applyScenario carries them out through the control interface.
#ifndef ORVEXSIM_SCENARIO_H
#define ORVEXSIM_SCENARIO_H

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvexsim {

constexpr int kScenarioVersion = 1;
constexpr size_t kScenarioMaxBytes = 4 * 1024 * 1024;

struct ScenarioStep {
  enum Kind {
    DriverVersion,  // text
    Hub,            // hubKind, handle, uid, connection, version, name, description
    Device,         // deviceClass, uid, address, name, count, first
    Waiting,        // deviceClass, uid, address, name, pin, count, first
    Board,          // uid, address, name, version
    Touch,          // numbers: status, touches; flag: answers
    Capacity,       // numbers: handsets, boards, slates
    Faults,         // numbers: refuse-writes, drop-replies, ...
    Timing,         // numbers: reply-us, flash-us, gap-us
    PrefixPackets,  // flag
    Radio,          // numbers: vote, slate, band, board
    LegacyHandset,  // uid (id), version, flag: registered, count
    LegacySlate,    // uid (id), flag: registered, pin
    VoteCopies,     // count
    Learners,       // learner (0 = all) and the behaviour fields
    Distribution,   // questionKind, text (the weights "A=50,B=30")
  };
  Kind kind = Hub;
  size_t line = 0;
  int32_t handle = 0;  // the hub it belongs to
  int hubKind = 0;     // 1..4, of that hub

  uint64_t uid = 0;
  int connection = 2;
  int version = 0;
  std::optional<std::string> name;
  std::string description;
  std::string text;
  int deviceClass = 0;
  uint16_t address = 0;
  int count = 1;
  int first = 1;  // the number "{n}" gives the first of counted devices
  std::optional<std::string> pin;
  bool flag = false;
  std::map<std::string, int64_t> numbers;

  // Learners
  uint32_t learner = 0;
  std::optional<bool> answers;
  std::optional<bool> enhanced;
  std::optional<std::optional<std::string>> answer;  // inner nullopt: random
  std::optional<int> fault;
  std::optional<std::pair<int, int>> delayMs;
  std::optional<uint32_t> seed;
  int questionKind = 0;
};

struct Scenario {
  std::vector<ScenarioStep> steps;  // in file order
};

// Checks the text; false with "line N: what" in error.
bool parseScenario(const std::string &text, Scenario &scenario, std::string &error);

// The name of a counted device numbered n: "{n}" becomes n, "{nn}" n in
// at least two digits.
std::string numberedName(const std::string &pattern, int n);

}  // namespace orvexsim

#endif
