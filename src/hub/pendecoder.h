#ifndef ORVEXSYSTEM_PENDECODER_H
#define ORVEXSYSTEM_PENDECODER_H

#include <QtCore/QByteArray>

namespace Orvexsystem {

// One pen report as the hubs send it.
struct PenSample
{
    quint8 penId = 0;
    int x = 0;
    int y = 0;
    bool tip = false;
    bool barrel = false;
    bool proximity = false;
};

// The 8-byte form (2.4 GHz hubs, legacy hubs on USB):
//   0 length 8, 1 control 0x21, 2 unused, 3-4 x and 5-6 y (low byte first),
//   7 bit 0 tip, bit 1 barrel, bit 2 proximity, bits 4..3 pen id.
namespace PenPacket8 {
const int Length = 8;
const quint8 Control = 0x21;
const int Offset_Control = 1;
const int Offset_X = 3;
const int Offset_Y = 5;
const int Offset_Button = 7;
const int Offset_PenId = 7;
// Size 8, byte 0 = 8, byte 1 = 0x21.
bool isPenPacket(const QByteArray &packet);
// Decodes a packet of the 8-byte form; a packet of any other size leaves
// the sample cleared and returns false.
bool decode(const QByteArray &packet, PenSample &sample);
} // namespace PenPacket8

// The 9-byte form of legacy hubs on a serial line; bytes 4, 5, 7 and 8
// carry 7 data bits each:
//   0 bits 6..0 length 9, 1 unused, 2 bits 6..5 = 0 and 1,
//   3 bits 1..0 x bits 15..14, bits 3..2 button (1 tip, 2 barrel), bit 5
//     proximity,
//   4 x bits 13..7, 5 x bits 6..0,
//   6 bits 1..0 y bits 15..14, bits 6..3 pen id,
//   7 y bits 13..7, 8 y bits 6..0.
namespace PenPacketSerial {
const int Length = 9;
const int Offset_Control = 2;
const int Offset_X = 3;
const int Offset_Y = 6;
const int Offset_Button = 3;
const int Offset_Proximity = 3;
const int Offset_PenId = 6;
bool isPenPacket(const QByteArray &packet);
bool decode(const QByteArray &packet, PenSample &sample);
} // namespace PenPacketSerial

} // namespace Orvexsystem

#endif
