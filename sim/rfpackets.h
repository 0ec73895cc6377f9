// The packets a 2.4 GHz hub sends about its devices: list records (which
// also report registrations and names), answers to questions, votes, PIN
// naming reports and the reply to naming one expression handset. Numbers
// are big-endian; byte 0 is the packet's length, byte 1 its kind.
#ifndef ORVEXSIM_RFPACKETS_H
#define ORVEXSIM_RFPACKETS_H

#include <cstdint>
#include <string>
#include <vector>

#include "simtypes.h"

namespace orvexsim {

// Device classes as the wire names them (byte 8 of a record).
constexpr uint8_t kClassVote = 0x06;
constexpr uint8_t kClassSlate = 0x07;
constexpr uint8_t kClassBoard = 0x08;
constexpr uint8_t kClassExpression = 0x09;
constexpr uint8_t kClassVoteAlt = 0x0A;
constexpr uint8_t kClassPenExpression = 0x0D;

inline bool isVotingClass(uint8_t c) { return c == kClassVote || c == kClassVoteAlt; }
inline bool isExpressionClass(uint8_t c) { return c == kClassExpression || c == kClassPenExpression; }

struct RegisteredDevice {
  uint8_t deviceClass = 0;
  uint32_t uid = 0;
  uint16_t address = 0;
  std::string name;  // UTF-8
  int version = 0;   // boards only
};

// Question kinds of ":XP005" (block byte 5).
enum QuestionKind : uint8_t {
  kMultichoice = 1,
  kYesNo = 2,
  kTrueFalse = 3,
  kLikert = 4,
  kNumeric = 5,
  kText = 6,
  kSortInOrder = 7,
  kMessage = 8,
  kEndUserNaming = 9,
};

// What a question session asks, as read from the ":XP005" block.
struct Question {
  uint8_t entity = 0;  // block byte 2, echoed in every answer
  uint8_t kind = 0;
  uint8_t option = 0;  // block byte 6: the kind's option byte
};

// The list record of a device: voting handsets 13 bytes (0x67, 4-byte ASCII
// name), slates 20 (0x67, 10-byte ASCII name, one spare byte), expression
// and pen-expression handsets 23 (0x80, 14-byte ISO 8859-1 name), boards
// 23 (0x90, 10-byte ASCII name, spare, version at 20-21, pen count).
Bytes listRecord(const RegisteredDevice &d);

// The packets of one answer (0C 83 address ...):
//  - yes/no, true/false, Likert, message: one packet, byte 4 the entity,
//    byte 5 the kind, byte 6 value;
//  - multiple choice, sort in order: one packet, bytes 6-11 the six answer
//    bytes (unused: FF for multiple choice, 00 for sort in order);
//  - numeric, text: packet 0 holds byte 4 = 0, the tag (the entity), the
//    total length and the first five bytes; packet k holds byte 4 = k and
//    the next seven bytes, zero padded.
// value holds the answer bytes (one byte for the one-byte kinds).
std::vector<Bytes> answerPackets(uint16_t address, const Question &q, const Bytes &value);

// 09 65 uid address key: one key press, key the one-hot byte of keys 1-6.
Bytes votePacket(uint32_t uid, uint16_t address, uint8_t keyByte);

// 08 50 uid address: the device's battery is low.
Bytes lowBatteryPacket(uint32_t uid, uint16_t address);

// 0B 67 uid address b8 b9 00: a PIN naming report (11 bytes); the PIN (A-F
// and space, at most four) packed as four 3-bit codes (A = 1 ... F = 6,
// space 7, none 0).
Bytes pinNamingReport(uint32_t uid, uint16_t address, const std::string &pin);

// 04 82 address: the hub took the name sent by ":XP003".
Bytes expressionNameReply(uint16_t address);

// Packets of the asynchronous message transport (a handset and the host):
// 0C 84 address d0..d7: a get-message request with 8 bytes of device data;
Bytes getMessageRequest(uint16_t address, const Bytes &deviceData);
// 03 85 index: a data request for the host's buffer index;
Bytes dataRequest(uint8_t index);
// 03 86 index: the handset releases the buffer.
Bytes bufferRelease(uint8_t index);

// Bytes of a device message that one response packet carries, and the most
// packets one message may take (the count travels in one byte).
constexpr size_t kResponseChunk = 8;
constexpr size_t kMaxResponsePackets = 255;

// A device message in response packets: packet 0 is 0D 87 address count
// and bytes 0-7, packet p (1, 2, ...) 0D 88 address p and bytes 8p to
// 8p+7; the last is padded with zero bytes. An empty message takes one
// packet of zero bytes. Messages of more than 255 packets are cut.
std::vector<Bytes> responsePackets(uint16_t address, const Bytes &message);

// 00 n2 n1 n0 E1 address message: a virtual hub's generic device message;
// n is the message's length in 24 bits.
Bytes genericPacket(uint16_t address, const Bytes &message);

// n A3 name: the virtual hub's name reply; byte 0 counts the name's bytes
// (ISO 8859-1), not the packet's.
Bytes enhancedNameReply(const std::string &latin1Name);

}  // namespace orvexsim

#endif
