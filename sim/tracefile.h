// The reader of recorded traces (docs/trace-format.md): the hubs a session
// had and every packet and write, in order, with their times. The library's
// tools write them; the simulator replays them (replay.cpp).
#ifndef ORVEXSIM_TRACEFILE_H
#define ORVEXSIM_TRACEFILE_H

#include <cstdint>
#include <string>
#include <vector>

#include "simtypes.h"

namespace orvexsim {

constexpr int kTraceVersion = 1;
constexpr size_t kTraceMaxEventBytes = 65536;
constexpr size_t kTraceMaxHubs = 64;
constexpr size_t kTraceMaxEvents = 5000000;
constexpr int64_t kTraceMaxTimeNs = int64_t(1) << 62;

struct TraceHub {
  int32_t handle = 0;
  int kind = 0;
  int connection = 2;
  int version = 0;
  uint64_t uid = 0;
  std::string description;    // UTF-8
  std::string driverVersion;  // UTF-8
};

struct TraceEvent {
  enum Kind { Packet, Write, Plug, Unplug };
  Kind kind = Packet;
  int64_t timeNs = 0;
  int32_t handle = 0;
  Bytes bytes;
  std::vector<bool> freeBytes;  // writes: true where the byte is not compared; may be empty
  bool accepted = true;         // writes

  // The write's bytes equal data except where marked free.
  bool matches(const Bytes &data) const;
};

struct TraceData {
  std::vector<TraceHub> hubs;
  std::vector<TraceEvent> events;  // by time; equal times in file order
};

// Reads a trace from its text. On failure returns false with "line N: what"
// in error (N from 1).
bool parseTrace(const std::string &text, TraceData &trace, std::string &error);

}  // namespace orvexsim

#endif
