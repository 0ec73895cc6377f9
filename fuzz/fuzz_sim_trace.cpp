// Feeds arbitrary bytes to the simulated driver's trace reader, which reads
// the file that ORVEXSIM_REPLAY names. A trace it accepts keeps to the
// format's limits, names only hubs it describes, and is in time order.

#include "tracefile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

using namespace orvexsim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  TraceData trace;
  std::string error;
  if (!parseTrace(std::string(reinterpret_cast<const char *>(data), size), trace, error)) {
    if (error.compare(0, 5, "line ") != 0 || !trace.hubs.empty() || !trace.events.empty()) std::abort();
    return 0;
  }
  std::set<int32_t> hubs;
  for (const TraceHub &hub : trace.hubs)
    if (hub.handle == 0 || hub.kind < 1 || hub.kind > 4 || !hubs.insert(hub.handle).second) std::abort();
  if (hubs.size() > kTraceMaxHubs) std::abort();
  for (size_t i = 0; i < trace.events.size(); ++i) {
    const TraceEvent &e = trace.events[i];
    if (!hubs.count(e.handle) || e.bytes.size() > kTraceMaxEventBytes ||
        (i > 0 && trace.events[i - 1].timeNs > e.timeNs) || !e.matches(e.bytes) ||
        (!e.freeBytes.empty() && e.freeBytes.size() != e.bytes.size()))
      std::abort();
  }
  return 0;
}
