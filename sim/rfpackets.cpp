#include "rfpackets.h"

#include <algorithm>

#include "text.h"

namespace orvexsim {

namespace {

constexpr uint8_t kAnswerLength = 12;
constexpr uint8_t kAnswerControl = 0x83;
constexpr size_t kFirstChunk = 5;  // answer bytes in packet 0 of a long answer
constexpr size_t kNextChunk = 7;   // in every later packet

Bytes recordHead(uint8_t length, uint8_t control, const RegisteredDevice &d) {
  Bytes b{length, control};
  appendBe32(b, d.uid);
  appendBe16(b, d.address);
  b.push_back(d.deviceClass);
  return b;
}

Bytes answerHead(uint16_t address) {
  Bytes b{kAnswerLength, kAnswerControl};
  appendBe16(b, address);
  return b;
}

uint8_t pinCode(char c) {
  if (c >= 'A' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 1);
  return c == ' ' ? 7 : 0;
}

}  // namespace

Bytes listRecord(const RegisteredDevice &d) {
  Bytes b;
  switch (d.deviceClass) {
  case kClassVote:
  case kClassVoteAlt:
    b = recordHead(13, 0x67, d);
    appendField(b, toSingleByte(d.name, 0x7F), 4);
    break;
  case kClassExpression:
  case kClassPenExpression:
    b = recordHead(23, 0x80, d);
    appendField(b, toSingleByte(d.name, 0xFF), 14);
    break;
  case kClassSlate:
    b = recordHead(20, 0x67, d);
    appendField(b, toSingleByte(d.name, 0x7F), 10);
    b.push_back(0);
    break;
  case kClassBoard:
    b = recordHead(23, 0x90, d);
    appendField(b, toSingleByte(d.name, 0x7F), 10);
    b.push_back(0);
    appendBe16(b, static_cast<unsigned>(std::min(std::max(d.version, 0), 0xFFFF)));
    b.push_back(2);
    break;
  default:
    break;
  }
  return b;
}

std::vector<Bytes> answerPackets(uint16_t address, const Question &q, const Bytes &value) {
  std::vector<Bytes> packets;
  if (q.kind == kNumeric || q.kind == kText) {
    const size_t total = std::min<size_t>(value.size(), 0xFF);
    Bytes first = answerHead(address);
    first.push_back(0);
    first.push_back(q.entity);
    first.push_back(static_cast<uint8_t>(total));
    for (size_t i = 0; i < kFirstChunk; ++i) first.push_back(i < total ? value[i] : 0);
    packets.push_back(first);
    uint8_t number = 1;
    for (size_t at = kFirstChunk; at < total; at += kNextChunk, ++number) {
      Bytes next = answerHead(address);
      next.push_back(number);
      for (size_t i = at; i < at + kNextChunk; ++i) next.push_back(i < total ? value[i] : 0);
      packets.push_back(next);
    }
    return packets;
  }
  Bytes b = answerHead(address);
  b.push_back(q.entity);
  b.push_back(q.kind);
  const bool sixBytes = q.kind == kMultichoice || q.kind == kSortInOrder;
  const uint8_t unused = q.kind == kMultichoice ? 0xFF : 0x00;
  for (size_t i = 0; i < 6; ++i) {
    if (!sixBytes && i > 0)
      b.push_back(0);
    else
      b.push_back(i < value.size() ? value[i] : unused);
  }
  packets.push_back(b);
  return packets;
}

Bytes votePacket(uint32_t uid, uint16_t address, uint8_t keyByte) {
  Bytes b{0x09, 0x65};
  appendBe32(b, uid);
  appendBe16(b, address);
  b.push_back(keyByte);
  return b;
}

Bytes lowBatteryPacket(uint32_t uid, uint16_t address) {
  Bytes b{0x08, 0x50};
  appendBe32(b, uid);
  appendBe16(b, address);
  return b;
}

Bytes pinNamingReport(uint32_t uid, uint16_t address, const std::string &pin) {
  uint8_t codes[4] = {0, 0, 0, 0};
  for (size_t i = 0; i < 4 && i < pin.size(); ++i) codes[i] = pinCode(pin[i]);
  Bytes b{0x0B, 0x67};
  appendBe32(b, uid);
  appendBe16(b, address);
  b.push_back(static_cast<uint8_t>(codes[0] << 1 | codes[1] >> 2));
  b.push_back(static_cast<uint8_t>((codes[1] & 3) << 6 | codes[2] << 3 | codes[3]));
  b.push_back(0);  // byte 10 carries nothing the host reads
  return b;
}

Bytes expressionNameReply(uint16_t address) {
  Bytes b{0x04, 0x82};
  appendBe16(b, address);
  return b;
}

Bytes getMessageRequest(uint16_t address, const Bytes &deviceData) {
  Bytes b{0x0C, 0x84};
  appendBe16(b, address);
  for (size_t i = 0; i < 8; ++i) b.push_back(i < deviceData.size() ? deviceData[i] : 0);
  return b;
}

Bytes dataRequest(uint8_t index) { return Bytes{0x03, 0x85, index}; }

Bytes bufferRelease(uint8_t index) { return Bytes{0x03, 0x86, index}; }

std::vector<Bytes> responsePackets(uint16_t address, const Bytes &message) {
  const size_t count =
      std::min(std::max<size_t>((message.size() + kResponseChunk - 1) / kResponseChunk, 1), kMaxResponsePackets);
  std::vector<Bytes> packets;
  for (size_t p = 0; p < count; ++p) {
    Bytes b{0x0D, static_cast<uint8_t>(p == 0 ? 0x87 : 0x88)};
    appendBe16(b, address);
    b.push_back(static_cast<uint8_t>(p == 0 ? count : p));
    for (size_t i = p * kResponseChunk; i < (p + 1) * kResponseChunk; ++i)
      b.push_back(i < message.size() ? message[i] : 0);
    packets.push_back(std::move(b));
  }
  return packets;
}

Bytes genericPacket(uint16_t address, const Bytes &message) {
  const size_t n = std::min<size_t>(message.size(), 0xFFFFFF);
  Bytes b{0x00, static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n), 0xE1};
  appendBe16(b, address);
  for (size_t i = 0; i < n; ++i) b.push_back(message[i]);
  return b;
}

Bytes enhancedNameReply(const std::string &latin1Name) {
  const size_t n = std::min<size_t>(latin1Name.size(), 0xFF);
  Bytes b{static_cast<uint8_t>(n), 0xA3};
  for (size_t i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(latin1Name[i]));
  return b;
}

}  // namespace orvexsim
