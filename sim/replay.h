// The state of a replay in progress (replay.cpp), kept by the simulator
// under its lock.
#ifndef ORVEXSIM_REPLAY_H
#define ORVEXSIM_REPLAY_H

#include <cstdint>
#include <map>
#include <vector>

#include "simtypes.h"
#include "tracefile.h"

namespace orvexsim {

struct ReplayState {
  enum WriteState : uint8_t { Open = 0, Matched = 1, GivenUp = 2 };
  TraceData trace;
  // The indices of each hub's recorded writes, in order, and the first of
  // them still open.
  std::map<int32_t, std::vector<size_t>> writesByHub;
  std::map<int32_t, size_t> firstOpen;
  std::vector<uint8_t> writeState;              // by event index
  std::vector<Clock::time_point> matchedAt;     // by event index
  size_t played = 0;
  int matched = 0;
  int missed = 0;
  int unexpected = 0;
  int delivered = 0;
  int pending = 0;     // replayed packets in the queue
  bool done = false;   // every event played (or the replay stopped)
  bool stop = false;
};

}  // namespace orvexsim

#endif
