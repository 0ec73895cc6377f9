// The simulated 2.4 GHz hub fed arbitrary writes and handset actions.
//
// Input: a series of steps, each an operation byte, a length byte and that
// many bytes. Operation (low 3 bits): 0 the bytes are written to the hub as
// one command; 1-5 handsets act (register, vote, report names, key PINs,
// change their radio fault); 6 the hub resets; 7 it is unplugged. After
// every step the handsets' pending actions fire at once. Every packet the
// hub sends must carry its own length in byte 0.

#include "rfhubmodel.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using namespace orvexsim;

namespace {

void checkFramed(const Bytes &packet) {
  if (packet.size() < 2 || packet[0] != packet.size()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  RfHubModel hub;
  hub.registerDevice(kClassVote, 0x06000001, 0x0101, "V1", 0);
  hub.registerDevice(kClassExpression, 0x09000001, 0x0201, "Émile", 0);
  hub.registerDevice(kClassSlate, 0x07000001, 0x0301, "S1", 0);
  hub.addWaiting(kClassVote, 0x06000002, 0x0102, "V2", "ABC");
  hub.addWaiting(kClassExpression, 0x09000002, 0x0202, "Zoë", "CAB");

  size_t at = 0;
  while (at + 2 <= size) {
    const uint8_t op = data[at];
    const size_t length = std::min<size_t>(data[at + 1], size - at - 2);
    const uint8_t *bytes = data + at + 2;
    at += 2 + length;
    const std::string text(reinterpret_cast<const char *>(bytes), length);
    const uint32_t uid = (op & 0x80) ? 0x06000001 : 0;

    std::vector<ReplyPacket> replies;
    switch (op & 7) {
    case 0: {
      const Command command = Command::parse(bytes, length);
      if (command.complete) hub.handleCommand(command, replies);
      break;
    }
    case 1: hub.registerWaitingClass(static_cast<uint8_t>(op >> 3)); break;
    case 2: hub.vote(uid, (op >> 3) % 7, 1 + (op >> 3) % 4, op & 0x40); break;
    case 3: hub.reportName(uid, length ? std::optional<std::string>(text) : std::nullopt); break;
    case 4: hub.keyPin(uid, length <= 4 ? std::optional<std::string>(text) : std::nullopt); break;
    case 5: hub.handsets().setFault(uid, static_cast<RadioFault>((op >> 3) % 5)); break;
    case 6: checkFramed(hub.reset()); break;
    case 7: hub.unplugged(); break;
    }
    for (const ReplyPacket &reply : replies) checkFramed(reply.bytes);
    for (const DeviceEvent &event : hub.takeDeviceEvents()) {
      std::vector<Bytes> packets;
      hub.fireDeviceEvent(event.id, packets);
      for (const Bytes &packet : packets) checkFramed(packet);
    }
  }
  return 0;
}
