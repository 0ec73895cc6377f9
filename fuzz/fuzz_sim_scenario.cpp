// Feeds arbitrary bytes to the simulated driver's scenario reader, which
// reads the file that ORVEXSIM_SCENARIO names. The steps of a scenario it
// accepts are what the control functions under them take.

#include "scenario.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace orvexsim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Scenario scenario;
  std::string error;
  if (!parseScenario(std::string(reinterpret_cast<const char *>(data), size), scenario, error)) {
    if (error.compare(0, 5, "line ") != 0 || !scenario.steps.empty()) std::abort();
    return 0;
  }
  for (const ScenarioStep &step : scenario.steps) {
    if (step.line < 2 || step.count < 1 || step.count > 512) std::abort();
    if (step.kind != ScenarioStep::DriverVersion && (step.handle == 0 || step.hubKind < 1 || step.hubKind > 4))
      std::abort();
    if (step.kind == ScenarioStep::Device || step.kind == ScenarioStep::Waiting) {
      if (step.uid == 0 || step.uid + static_cast<uint64_t>(step.count) - 1 > 0xFFFFFFFFu) std::abort();
      // Counted names are built for every device of the line.
      if (step.name) numberedName(*step.name, step.first + step.count - 1);
    }
    if (step.delayMs && (step.delayMs->first < 0 || step.delayMs->first > step.delayMs->second)) std::abort();
  }
  return 0;
}
