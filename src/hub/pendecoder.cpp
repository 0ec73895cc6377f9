#include "hub/pendecoder.h"

namespace Orvexsystem {

namespace {
inline quint8 byteOf(const QByteArray &packet, int offset)
{
    return quint8(packet.at(offset));
}
} // namespace

bool PenPacket8::isPenPacket(const QByteArray &packet)
{
    return packet.size() == Length && byteOf(packet, 0) == Length
           && byteOf(packet, Offset_Control) == Control;
}

bool PenPacket8::decode(const QByteArray &packet, PenSample &sample)
{
    sample = PenSample();
    if (packet.size() != Length)
        return false;
    sample.x = byteOf(packet, Offset_X) | (byteOf(packet, Offset_X + 1) << 8);
    sample.y = byteOf(packet, Offset_Y) | (byteOf(packet, Offset_Y + 1) << 8);
    const quint8 flags = byteOf(packet, Offset_Button);
    sample.tip = flags & 0x01;
    sample.barrel = flags & 0x02;
    sample.proximity = flags & 0x04;
    sample.penId = quint8((byteOf(packet, Offset_PenId) >> 3) & 0x03);
    return true;
}

bool PenPacketSerial::isPenPacket(const QByteArray &packet)
{
    if (packet.size() != Length || (byteOf(packet, 0) & 0x7F) != Length)
        return false;
    // Bit 6 of the control byte clear and bit 5 set.
    const quint8 control = byteOf(packet, Offset_Control);
    return ((control >> 5) & 0x03) + ((control >> 6) & 0x01) == 1;
}

bool PenPacketSerial::decode(const QByteArray &packet, PenSample &sample)
{
    sample = PenSample();
    if (packet.size() != Length)
        return false;
    const quint8 b3 = byteOf(packet, Offset_X);
    const quint8 b6 = byteOf(packet, Offset_Y);
    sample.x = ((b3 & 0x03) << 14) | ((byteOf(packet, 4) & 0x7F) << 7) | (byteOf(packet, 5) & 0x7F);
    sample.y = ((b6 & 0x03) << 14) | ((byteOf(packet, 7) & 0x7F) << 7) | (byteOf(packet, 8) & 0x7F);
    const int button = (byteOf(packet, Offset_Button) >> 2) & 0x03;
    sample.tip = button == 1;
    sample.barrel = button == 2;
    sample.proximity = byteOf(packet, Offset_Proximity) & 0x20;
    sample.penId = quint8((byteOf(packet, Offset_PenId) >> 3) & 0x0F);
    return true;
}

} // namespace Orvexsystem
