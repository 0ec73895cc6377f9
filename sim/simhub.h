// The state of one simulated hub as the driver sees it.
#ifndef ORVEXSIM_SIMHUB_H
#define ORVEXSIM_SIMHUB_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "board.h"
#include "hubmodel.h"
#include "simtypes.h"

namespace orvexsim {

struct Faults {
  int refuseWrites = 0;      // counted: N > 0 next N, -1 always
  int dropReplies = 0;       // counted per packet
  int duplicateReplies = 0;  // counted per packet
  int corruptReplies = 0;    // counted per packet
  int truncateReplies = 0;   // N > 0: replies cut after N packets
  int64_t extraDelayUs = 0;
  bool detachNextWrite = false;
};

struct PenStream {
  bool active = false;
  uint64_t generation = 0;  // ticks of older streams are ignored
  int pen = 1;
  int64_t periodUs = 10000;
  int remaining = -1;       // packets still to send; -1 without end
  int position = 0;         // packets sent since the stream started
};

struct SimHub {
  int kind = 0;
  int32_t handle = 0;
  uint64_t uid = 0;
  int connection = 0;
  int version = 0;
  std::string description;  // UTF-8
  int recordKind = 0;       // kind reported in the device record; 0 = own kind
  bool plugged = true;
  bool enumFails = false;
  bool prefixPackets = false;
  bool replayed = false;  // a hub of a trace: says only what the trace says

  int64_t replyDelayUs = 2000;
  int64_t flashDelayUs = 150000;
  int64_t packetGapUs = 200;
  Faults faults;

  std::vector<Bytes> writes;
  BoardState board;
  PenStream penStream;
  Clock::time_point lastDue{};  // keeps this hub's packets in order
  std::unique_ptr<HubModel> model;

  bool isLegacy() const { return kind == 1 || kind == 2; }
  bool usesSerialPen() const { return isLegacy() && connection == 1; }
};

}  // namespace orvexsim

#endif
