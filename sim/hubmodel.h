// The behaviour of one kind of hub: what it answers to the commands written
// to it. Each simulated hub owns one model; the simulator records every
// write, lets the board answer its own commands (board.h) and hands the rest
// to the model, then schedules the replies the model produced with the
// hub's delays and faults.
//
// A model is called with the simulator's lock held, on the writing thread.
// It must not block and must not call into the driver; it only turns a
// command into reply packets and changes its own state.
#ifndef ORVEXSIM_HUBMODEL_H
#define ORVEXSIM_HUBMODEL_H

#include <cstdint>
#include <string>
#include <vector>

#include "simtypes.h"

namespace orvexsim {

// Something a device of the hub does on its own after delayUs (a handset
// answers, votes, registers): the simulator calls fireDeviceEvent(id) when
// the time has come, and sends the packets it gives, in order.
struct DeviceEvent {
  int64_t delayUs = 0;
  uint64_t id = 0;
};

class HubModel {
public:
  virtual ~HubModel() = default;

  // Appends the replies to a complete command; returns false when the hub
  // does not know the command (it then stays silent).
  virtual bool handleCommand(const Command &command, std::vector<ReplyPacket> &replies) = 0;

  // The board attached to the hub, if any.
  virtual bool hasBoard() const = 0;
  virtual int boardVersion() const = 0;
  virtual bool addBoard(uint32_t uid, uint16_t address, const std::string &name, int version) = 0;

  // The device events scheduled since the last call.
  virtual std::vector<DeviceEvent> takeDeviceEvents() { return {}; }
  // The packets the event sends now (none when it no longer applies).
  virtual void fireDeviceEvent(uint64_t id, std::vector<Bytes> &packets) {
    (void)id;
    (void)packets;
  }
  // The hub lost power: whatever it was doing ends, pending events with it.
  virtual void unplugged() {}
};

}  // namespace orvexsim

#endif
