#ifndef ORVEX_TESTS_PACKETS_H
#define ORVEX_TESTS_PACKETS_H

#include <QtCore/QByteArray>
#include <QtCore/QList>

namespace OrvexTest {

// Pen report, 8-byte form (2.4 GHz hubs, legacy hubs on USB).
QByteArray penPacket8(int penId, int x, int y, bool tip, bool barrel, bool proximity = true);
// Pen report, 9-byte form (legacy hubs on a serial line); button is the
// two-bit field: 1 tip, 2 barrel, 0 or 3 neither.
QByteArray penPacketSerial(int penId, int x, int y, int button, bool proximity = true);

struct TouchSpec
{
    int id;
    int x;
    int y;
    int radius;
    bool status;
};
// Touch report (control 0x45) with one 7-byte entry per touch.
QByteArray touchPacket(const QList<TouchSpec> &touches);
// Touch-status report/reply: 8 bytes, control 0xA5.
QByteArray touchStatusPacket(int status, int touchCount);

} // namespace OrvexTest

#endif
