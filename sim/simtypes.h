// Types shared by the parts of the simulated driver.
#ifndef ORVEXSIM_SIMTYPES_H
#define ORVEXSIM_SIMTYPES_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvexsim {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

// When a reply packet leaves the hub, counted from the command's write.
enum class ReplyTiming {
  Reply,  // after the hub's reply delay
  Flash,  // after the hub's flash-write delay
  Next,   // one packet gap after the previous packet of the same reply
};

struct ReplyPacket {
  Bytes bytes;
  ReplyTiming timing = ReplyTiming::Reply;
};

// One write as a hub reads it: ":" two letters, parameters, CR, and an
// optional raw block after the CR.
struct Command {
  bool complete = false;  // starts with ':' and has a CR after the code
  std::string code;       // the two letters
  std::string params;     // the ASCII text between the code and the CR
  Bytes block;            // bytes after the CR

  static Command parse(const uint8_t *data, size_t length);
};

inline Command Command::parse(const uint8_t *data, size_t length) {
  Command c;
  size_t cr = 0;
  while (cr < length && data[cr] != 0x0D) ++cr;
  if (cr >= length || cr < 3 || data[0] != ':') return c;
  c.complete = true;
  c.code.assign(reinterpret_cast<const char *>(data) + 1, 2);
  c.params.assign(reinterpret_cast<const char *>(data) + 3, cr - 3);
  c.block.assign(data + cr + 1, data + length);
  return c;
}

inline void appendBe16(Bytes &b, unsigned v) {
  b.push_back(static_cast<uint8_t>(v >> 8));
  b.push_back(static_cast<uint8_t>(v));
}

inline void appendBe32(Bytes &b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v >> 24));
  b.push_back(static_cast<uint8_t>(v >> 16));
  b.push_back(static_cast<uint8_t>(v >> 8));
  b.push_back(static_cast<uint8_t>(v));
}

inline void appendLe16(Bytes &b, unsigned v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

// Appends text as a fixed-width field, cut or padded with zero bytes.
inline void appendField(Bytes &b, const std::string &text, size_t width) {
  for (size_t i = 0; i < width; ++i)
    b.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
}

}  // namespace orvexsim

#endif
