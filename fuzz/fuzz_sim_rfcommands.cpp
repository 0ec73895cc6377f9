// The simulated 2.4 GHz hub (a virtual one, which answers every 2.4 GHz
// command and its own) fed arbitrary writes and handset actions.
//
// Input: a series of steps, each an operation byte, a length byte and that
// many bytes. Operation (low 3 bits): 0 device messages, below; 1-5
// handsets act (register, vote, report names, key PINs, change their
// radio fault); 6 the hub resets; 7 it is unplugged. Operation 0 by bits
// 6-3: 0 the bytes are written to the hub as one command; 1 the bytes are
// a host message handed to the expression handset through the transport
// (notice, then every fragment); 2-9 device messages: send a message,
// send chosen packets, send a get-message request, switch off or on, send
// a generic message, set the generic reply, set a waiting handset's PIN,
// run enhanced sessions or not (bit 7: the expression handset, else a
// voting one). After every step the handsets' pending actions fire at
// once. Every packet the hub sends must carry its own length in byte 0,
// except the name reply (the name's length) and generic packets (00, the
// message's length in bytes 1-3).

#include "rfhubmodel.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using namespace orvexsim;

namespace {

void checkFramed(const Bytes &packet) {
  if (packet.size() < 2) __builtin_trap();
  if (packet[1] == 0xA3 && packet[0] == 0 && packet.size() == 2) return;  // an empty name
  if (packet[1] == 0xA3 && packet[0] + 2u == packet.size()) return;
  if (packet[0] == 0) {
    const size_t length = static_cast<size_t>(packet[1]) << 16 | static_cast<size_t>(packet[2]) << 8 | packet[3];
    if (packet.size() < 7 || packet[4] != 0xE1 || length + 7 != packet.size()) __builtin_trap();
    return;
  }
  if (packet[0] != packet.size()) __builtin_trap();
}

void fire(RfHubModel &hub) {
  for (const DeviceEvent &event : hub.takeDeviceEvents()) {
    std::vector<Bytes> packets;
    hub.fireDeviceEvent(event.id, packets);
    for (const Bytes &packet : packets) checkFramed(packet);
  }
}

void write(RfHubModel &hub, const Bytes &bytes) {
  const Command command = Command::parse(bytes.data(), bytes.size());
  std::vector<ReplyPacket> replies;
  if (command.complete) hub.handleCommand(command, replies);
  for (const ReplyPacket &reply : replies) checkFramed(reply.bytes);
  fire(hub);
}

// The host's side of the transport: buffer 1 holds the message for the
// expression handset at 0x0201; every fragment follows its notice.
void handOver(RfHubModel &hub, const Bytes &message) {
  const Bytes start{':', 'X', 'P', '0', '0', 'A', 0x0D, 0x00};
  const Bytes notice{':', 'X', 'P', '0', '0', 'B', 0x0D, 0x03, 0x02, 0x01, 0x01};
  write(hub, start);
  write(hub, notice);
  const size_t count = message.empty() ? 1 : (message.size() + 48) / 49;
  for (size_t n = 0; n < count; ++n) {
    const size_t size = std::min<size_t>(49, message.size() - n * 49);
    Bytes fragment{':', 'X', 'P', '0', '0', 'C', 0x0D, static_cast<uint8_t>(size + 4), 0x01,
                   static_cast<uint8_t>(n + 1), static_cast<uint8_t>(count), static_cast<uint8_t>(size)};
    fragment.insert(fragment.end(), message.begin() + static_cast<std::ptrdiff_t>(n * 49),
                    message.begin() + static_cast<std::ptrdiff_t>(n * 49 + size));
    write(hub, fragment);
  }
}

void deviceMessages(RfHubModel &hub, uint8_t op, const Bytes &bytes, const std::string &text) {
  const uint32_t uid = (op & 0x80) ? 0x09000001 : 0x06000001;
  switch ((op >> 3) & 0x0F) {
  case 0: write(hub, bytes); return;
  case 1: handOver(hub, bytes); return;
  case 2: hub.asyncSend(uid, bytes, nullptr); break;
  case 3: {
    std::vector<int> order;
    for (uint8_t b : bytes) order.push_back(b % 8);
    hub.asyncSend(uid, Bytes(bytes.size() % 40, 0x5A), &order);
    break;
  }
  case 4: hub.asyncRequest(uid, Bytes(bytes.begin(), bytes.begin() + std::min<std::ptrdiff_t>(bytes.size(), 8))); break;
  case 5: hub.switchHandset(uid, bytes.size() & 1); break;
  case 6: hub.genericSend(uid, bytes); break;
  case 7: hub.handsets().setGenericReply(uid, static_cast<GenericReply>(bytes.size() % 3), bytes); break;
  case 8: hub.handsets().setWaitingPin(0x09000002, text); break;
  case 9: hub.handsets().setEnhanced(uid, bytes.size() & 1); break;
  default: break;
  }
  fire(hub);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  RfHubModel hub(true);
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
    case 0: deviceMessages(hub, op, Bytes(bytes, bytes + length), text); continue;
    case 1: hub.registerWaitingClass(static_cast<uint8_t>(op >> 3)); break;
    case 2: hub.vote(uid, (op >> 3) % 7, 1 + (op >> 3) % 4, op & 0x40); break;
    case 3: hub.reportName(uid, length ? std::optional<std::string>(text) : std::nullopt); break;
    case 4: hub.keyPin(uid, length <= 4 ? std::optional<std::string>(text) : std::nullopt); break;
    case 5: hub.handsets().setFault(uid, static_cast<RadioFault>((op >> 3) % 5)); break;
    case 6: checkFramed(hub.reset()); break;
    case 7: hub.unplugged(); break;
    }
    for (const ReplyPacket &reply : replies) checkFramed(reply.bytes);
    fire(hub);
  }
  return 0;
}
