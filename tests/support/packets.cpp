#include "support/packets.h"

namespace OrvexTest {

QByteArray penPacket8(int penId, int x, int y, bool tip, bool barrel, bool proximity)
{
    QByteArray p(8, '\0');
    p[0] = 8;
    p[1] = 0x21;
    p[3] = char(x & 0xFF);
    p[4] = char((x >> 8) & 0xFF);
    p[5] = char(y & 0xFF);
    p[6] = char((y >> 8) & 0xFF);
    p[7] = char((tip ? 1 : 0) | (barrel ? 2 : 0) | (proximity ? 4 : 0) | ((penId & 3) << 3));
    return p;
}

QByteArray penPacketSerial(int penId, int x, int y, int button, bool proximity)
{
    QByteArray p(9, '\0');
    p[0] = 9;
    p[2] = 0x20; // bit 6 clear, bit 5 set
    p[3] = char(((x >> 14) & 3) | ((button & 3) << 2) | (proximity ? 0x20 : 0));
    p[4] = char((x >> 7) & 0x7F);
    p[5] = char(x & 0x7F);
    p[6] = char(((y >> 14) & 3) | ((penId & 0x0F) << 3));
    p[7] = char((y >> 7) & 0x7F);
    p[8] = char(y & 0x7F);
    return p;
}

QByteArray touchPacket(const QList<TouchSpec> &touches)
{
    QByteArray p;
    p.append(char(2 + 7 * touches.size()));
    p.append(char(0x45));
    for (const TouchSpec &t : touches) {
        p.append(char((t.id & 0x7F) | (t.status ? 0x80 : 0)));
        for (int v : {t.x, t.y, t.radius}) {
            p.append(char(v & 0xFF));
            p.append(char((v >> 8) & 0xFF));
        }
    }
    return p;
}

QByteArray touchStatusPacket(int status, int touchCount)
{
    QByteArray p(8, '\0');
    p[0] = 8;
    p[1] = char(0xA5);
    p[6] = char(status);
    p[7] = char(touchCount);
    return p;
}

} // namespace OrvexTest
