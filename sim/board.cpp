#include "board.h"

#include <algorithm>

namespace orvexsim {

namespace {

uint16_t clamp16(int v) { return static_cast<uint16_t>(std::min(std::max(v, 0), 0xFFFF)); }

int digitValue(char c) { return (c >= '0' && c <= '9') ? c - '0' : static_cast<uint8_t>(c); }

}  // namespace

PenSample strokeSample(int stroke, int step) {
  const int x0 = 6000 + (stroke % 8) * 2500;
  const int y0 = 8000 + (stroke % 6) * 5000;
  PenSample s;
  s.proximity = true;
  if (step < 3) {  // hovering towards the start of the line
    s.x = x0 + step * 300;
    s.y = y0;
  } else if (step < 24) {  // tip down, then a curved line
    const int k = step - 3;
    s.x = x0 + 900 + k * 400;
    s.y = y0 + k * k * 15;
    s.tip = true;
  } else {  // tip up, barrel click, leave
    const int k = 20;
    s.x = x0 + 900 + k * 400;
    s.y = y0 + k * k * 15;
    s.barrel = (step == 25);
    s.proximity = (step != kStrokePackets - 1);
  }
  return s;
}

Bytes encodePen(int pen, const PenSample &s) {
  const uint16_t x = clamp16(s.x);
  const uint16_t y = clamp16(s.y);
  Bytes b{8, 0x21, 0};
  appendLe16(b, x);
  appendLe16(b, y);
  uint8_t flags = static_cast<uint8_t>((pen & 3) << 3);
  if (s.tip) flags |= 0x01;
  if (s.barrel) flags |= 0x02;
  if (s.proximity) flags |= 0x04;
  b.push_back(flags);
  return b;
}

Bytes encodeSerialPen(int pen, const PenSample &s) {
  const uint16_t x = clamp16(s.x);
  const uint16_t y = clamp16(s.y);
  const uint8_t button = s.tip ? 1 : (s.barrel ? 2 : 0);
  Bytes b(9);
  b[0] = 0x80 | 9;  // the sync bit on the first byte of a serial frame
  b[1] = 0;
  b[2] = 0x20;      // bits 6..5 = 0, 1: a pen frame
  b[3] = static_cast<uint8_t>(((x >> 14) & 3) | (button << 2) | (s.proximity ? 0x20 : 0));
  b[4] = static_cast<uint8_t>((x >> 7) & 0x7F);
  b[5] = static_cast<uint8_t>(x & 0x7F);
  b[6] = static_cast<uint8_t>(((y >> 14) & 3) | ((pen & 0x0F) << 3));
  b[7] = static_cast<uint8_t>((y >> 7) & 0x7F);
  b[8] = static_cast<uint8_t>(y & 0x7F);
  return b;
}

Bytes encodeTouch(const std::vector<TouchContact> &touches) {
  Bytes b;
  b.push_back(static_cast<uint8_t>(2 + 7 * touches.size()));
  b.push_back(0x45);
  for (const TouchContact &t : touches) {
    b.push_back(static_cast<uint8_t>((t.id & 0x7F) | (t.status ? 0x80 : 0)));
    appendLe16(b, clamp16(t.x));
    appendLe16(b, clamp16(t.y));
    appendLe16(b, clamp16(t.radius));
  }
  return b;
}

Bytes encodeTouchStatus(uint8_t status, uint8_t touchesSupported) {
  return Bytes{8, 0xA5, 0, 0, 0, 0, status, touchesSupported};
}

bool handleBoardCommand(BoardState &board, bool boardPresent, const Command &command,
                        std::vector<ReplyPacket> &replies) {
  if (command.code == "QT") {
    if (boardPresent && board.answersQuery)
      replies.push_back({encodeTouchStatus(board.touchStatus, board.touchesSupported),
                         ReplyTiming::Reply});
    return true;
  }
  // ":PN" pen value and ":PK" value pen: recorded, never answered.
  if (command.code == "PN") {
    if (command.params.size() >= 2)
      board.penMode[digitValue(command.params[0])] = digitValue(command.params[1]);
    return true;
  }
  if (command.code == "PK") {
    if (command.params.size() >= 2)
      board.penType[digitValue(command.params[1])] = digitValue(command.params[0]);
    return true;
  }
  return false;
}

}  // namespace orvexsim
