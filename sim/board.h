// A board on a hub: the packets it sends (pen, touch, touch status), the
// scripted pen stroke, and the board commands every hub passes to it
// (":QT" touch status, ":PN" pen hardware mode, ":PK" pen type).
#ifndef ORVEXSIM_BOARD_H
#define ORVEXSIM_BOARD_H

#include <cstdint>
#include <map>
#include <vector>

#include "simtypes.h"

namespace orvexsim {

struct PenSample {
  int x = 0;
  int y = 0;
  bool tip = false;
  bool barrel = false;
  bool proximity = false;
};

struct TouchContact {
  int id = 0;
  int x = 0;
  int y = 0;
  int radius = 0;
  bool status = false;
};

struct BoardState {
  uint8_t touchStatus = 5;       // 5 running, 0 stopped
  uint8_t touchesSupported = 4;
  bool answersQuery = true;      // answers ":QT"
  std::map<int, int> penType;    // pen digit -> value digit of the last ":PK"
  std::map<int, int> penMode;    // pen digit -> value digit of the last ":PN"
};

constexpr int kStrokePackets = 28;

// Sample number step (0..kStrokePackets-1) of stroke number stroke.
PenSample strokeSample(int stroke, int step);

// 8-byte pen packet: 08 21 00 x(LE) y(LE) flags (tip, barrel, proximity,
// pen id in bits 4..3).
Bytes encodePen(int pen, const PenSample &s);

// 9-byte pen packet of serial legacy hubs, 7 data bits per byte.
Bytes encodeSerialPen(int pen, const PenSample &s);

// Touch packet: length, 0x45, 7 bytes per contact.
Bytes encodeTouch(const std::vector<TouchContact> &touches);

// Touch-status report / reply: 08 A5 00 00 00 00 status touches.
Bytes encodeTouchStatus(uint8_t status, uint8_t touchesSupported);

// Handles ":QT", ":PN" and ":PK". Returns false for any other command.
bool handleBoardCommand(BoardState &board, bool boardPresent, const Command &command,
                        std::vector<ReplyPacket> &replies);

}  // namespace orvexsim

#endif
