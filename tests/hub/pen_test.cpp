// Pen decoders of both forms, the legacy hub's pens end to end, pen
// commands, the driver-kept settings and touch data sent to the system.

#include "hubfixture.h"

#include "hub/pendecoder.h"

#include <orvexsystem/legacyhub.h>

using namespace Orvexsystem;
using namespace OrvexTest;

TEST(PenDecoders, EightByteAndSerialForms)
{
    QByteArray p = penPacket8(0, 0x1234, 0xABCD, false, false);
    p[7] = 0x0B; // tip, barrel, no proximity, pen 1
    ASSERT_TRUE(PenPacket8::isPenPacket(p));
    PenSample s;
    ASSERT_TRUE(PenPacket8::decode(p, s));
    EXPECT_EQ(s.penId, 1);
    EXPECT_TRUE(s.tip);
    EXPECT_TRUE(s.barrel);
    EXPECT_FALSE(s.proximity);
    EXPECT_EQ(s.x, 0x1234);
    EXPECT_EQ(s.y, 0xABCD);

    EXPECT_FALSE(PenPacket8::isPenPacket(p.left(7)));
    EXPECT_FALSE(PenPacket8::isPenPacket(p + '\0'));
    QByteArray wrongLength = p;
    wrongLength[0] = 9;
    EXPECT_FALSE(PenPacket8::isPenPacket(wrongLength));
    EXPECT_FALSE(PenPacket8::decode(p.left(3), s));

    // The serial form spreads coordinates over seven-bit bytes.
    p = penPacketSerial(3, 0xC0FF, 0x8001, 1);
    ASSERT_TRUE(PenPacketSerial::isPenPacket(p));
    ASSERT_TRUE(PenPacketSerial::decode(p, s));
    EXPECT_EQ(s.penId, 3);
    EXPECT_EQ(s.x, 0xC0FF);
    EXPECT_EQ(s.y, 0x8001);

    QByteArray q = p;
    q[3] = 0x24; // button 1, proximity
    PenPacketSerial::decode(q, s);
    EXPECT_TRUE(s.tip);
    EXPECT_FALSE(s.barrel);
    EXPECT_TRUE(s.proximity);
    q[3] = 0x0C; // button 3: neither
    PenPacketSerial::decode(q, s);
    EXPECT_FALSE(s.tip);
    EXPECT_FALSE(s.barrel);
    EXPECT_FALSE(s.proximity);
    q[3] = 0x08; // button 2: barrel
    PenPacketSerial::decode(q, s);
    EXPECT_TRUE(s.barrel);

    // Length bit 7 is ignored; byte 2 must have bit 6 clear and bit 5 set.
    q = p;
    q[0] = char(0x89);
    EXPECT_TRUE(PenPacketSerial::isPenPacket(q));
    for (int control : {0x00, 0x40, 0x60})
        EXPECT_FALSE(PenPacketSerial::isPenPacket(q.left(2) + char(control) + q.mid(3)));
    EXPECT_TRUE(PenPacketSerial::isPenPacket(q.left(2) + char(0xBF) + q.mid(3)));
    EXPECT_FALSE(PenPacketSerial::isPenPacket(q.left(8)));
}

namespace {

class LegacyProbe : public LegacyHub
{
public:
    using LegacyHub::LegacyHub;
    using LegacyHub::getPenData;
    using LegacyHub::isPenPacket;
    using LegacyHub::isTouchSupported;
};

void onPen(Hub *, quint32 pen, int x, int y, bool tip, bool barrel, void *context)
{
    static_cast<QList<QList<int>> *>(context)->append({int(pen), x, y, tip, barrel});
}

Hub *onlyHub(TestSystem &system)
{
    QList<Hub *> hubs;
    return system.getHubList(&hubs) && hubs.size() == 1 ? hubs.first() : nullptr;
}

} // namespace

TEST(LegacyHubPens, EachConnectionRecognisesOnlyItsOwnForm)
{
    FakeDriver driver;
    TestSystem system(driver);
    LegacyProbe serial(&system, 1, 1, true, false, Hub::ConnectionType_Serial, 849);
    LegacyProbe usb(&system, 2, 2, true, false, Hub::ConnectionType_Usb, 850);
    // Any value the driver reports is kept, however far from 1 and 2.
    LegacyProbe other(&system, 3, 3, true, false, 77, 850);
    const QByteArray eight = penPacket8(1, 5, 6, true, false);
    const QByteArray nine = penPacketSerial(1, 5, 6, 1);
    EXPECT_TRUE(serial.isPenPacket(nine));
    EXPECT_FALSE(serial.isPenPacket(eight));
    EXPECT_TRUE(usb.isPenPacket(eight));
    EXPECT_FALSE(usb.isPenPacket(nine));
    EXPECT_FALSE(other.isPenPacket(eight));
    EXPECT_FALSE(other.isPenPacket(nine));
    EXPECT_EQ(int(other.connectionType()), 77);

    // A packet of the other form decodes to nothing, not to garbage.
    quint8 pen = 9;
    int x = 9, y = 9;
    bool tip = true, barrel = true, proximity = true;
    serial.getPenData(eight, pen, x, y, tip, barrel, proximity);
    EXPECT_FALSE(tip || barrel || proximity);

    EXPECT_FALSE(serial.isTouchSupported());
    EXPECT_TRUE(usb.isTouchSupported());
    EXPECT_EQ(serial.type(), Hub::Type_Legacy);
}

TEST(LegacyHubPens, ConstructionSendsEachPensCommandsInOrderAndSerialReportsReachTheHost)
{
    FakeDriver driver;
    driver.setHubs({{1, 1, 900, 4, 77, QString()}});
    TestSystem system(driver);
    ASSERT_TRUE(system.initialise());
    Hub *hub = onlyHub(system);
    ASSERT_NE(hub, nullptr);
    // Later commands of the hub kind may follow; these come first.
    EXPECT_EQ(driver.writes(4).mid(0, 6), (QList<QByteArray>{":PN11\r", ":PK01\r", ":PN21\r",
                                                             ":PK02\r", ":PN31\r", ":PK03\r"}));
    QStringList order;
    for (const QString &entry : driver.log())
        if (entry.startsWith("writePacket(4)") || entry.startsWith("setPointingDevice"))
            order << entry;
    QStringList expected;
    for (int pen = 1; pen <= 3; ++pen)
        expected << "writePacket(4)" << QString("setPointingDeviceDestination(4,%1,0,0)").arg(pen)
                 << "writePacket(4)";
    EXPECT_EQ(order.mid(0, 9), expected);

    // The recorded type and mode stay those of creation.
    Hub::PenType type = Hub::PenType_Alternate;
    Hub::PenHardwareMode mode = Hub::PenHardwareMode_0;
    EXPECT_TRUE(hub->setPenType(2, Hub::PenType_Alternate));
    hub->getPenType(2, &type);
    hub->getPenHardwareMode(2, &mode);
    EXPECT_EQ(type, Hub::PenType_Normal);
    EXPECT_EQ(mode, Hub::PenHardwareMode_1);
    // Pens without a state leave the output alone.
    type = Hub::PenType_Alternate;
    hub->getPenType(4, &type);
    EXPECT_EQ(type, Hub::PenType_Alternate);

    QList<QList<int>> calls;
    ASSERT_TRUE(hub->setPenEventCallback(&onPen, &calls));
    driver.deliverNow(4, penPacketSerial(2, 40000, 123, 0));
    driver.deliverNow(4, penPacketSerial(2, 40001, 124, 1));
    driver.deliverNow(4, penPacketSerial(5, 1, 1, 1)); // pen 5 has no state
    driver.deliverNow(4, penPacket8(1, 1, 1, true, false)); // not this hub's form
    EXPECT_EQ(calls, (QList<QList<int>>{{2, 40000, 123, 0, 0}, {2, 40001, 124, 1, 0}}));
}

using DriverSettings = HubFixture;

TEST_F(DriverSettings, PenCommandCharactersOfTypeModeAndPen)
{
    hub->setPenType(2, Hub::PenType_Alternate);
    hub->setPenType(5, Hub::PenType_Alternate); // unknown pen: pen character 1
    hub->setPenType(3, Hub::PenType(1234));     // unknown type: type character 0
    hub->setPenHardwareMode(2, Hub::PenHardwareMode_2);
    hub->setPenHardwareMode(0, Hub::PenHardwareMode(42));
    EXPECT_EQ(driver.writes(7), (QList<QByteArray>{":PK12\r", ":PK11\r", ":PK03\r", ":PN22\r", ":PN10\r"}));
}

TEST_F(DriverSettings, ReportModesMapOntoTheDriversBytes)
{
    hub->setPenReportMode(2, Hub::PenReportMode_2);
    hub->setPenReportMode(1, Hub::PenReportMode(7000));
    EXPECT_EQ(driver.count("setPointingDeviceDestination(7,2,0,2)"), 1);
    EXPECT_EQ(driver.count("setPointingDeviceDestination(7,1,0,0)"), 1);

    Hub::PenReportMode mode = Hub::PenReportMode_0;
    driver.setAnswer("getPointingDeviceDestination", 1);
    hub->getPenReportMode(1, &mode);
    EXPECT_EQ(mode, Hub::PenReportMode_1);
    driver.setAnswer("getPointingDeviceDestination", 9); // no such mode: unchanged
    hub->getPenReportMode(1, &mode);
    EXPECT_EQ(mode, Hub::PenReportMode_1);

    Hub::TouchReportMode touchMode = 0;
    driver.setAnswer("getTouchDestination", 3);
    hub->getTouchReportMode(&touchMode);
    EXPECT_EQ(touchMode, 3);
}

TEST_F(DriverSettings, TouchDataForTheSystemIsLaidOutByTouch)
{
    QList<Hub::TouchInfo> none;
    EXPECT_TRUE(hub->sendTouchInfoToOS(none, Hub::TouchInfoPacketType_Touch));
    EXPECT_EQ(driver.count("sendTouchPacketToSystem(7,2,0245)"), 1);

    Hub::TouchInfo t;
    t.nTouchId = 0x85; // beyond 7 bits: must not set the status bit
    t.nX = 0x11223;    // beyond 16 bits: the low 16 go out
    t.nY = 0x0102;
    t.nRadius = 0xFFFF;
    t.bStatus = false;
    QList<Hub::TouchInfo> one{t};
    EXPECT_TRUE(hub->sendTouchInfoToOS(one, Hub::TouchInfoPacketType_Pen));
    EXPECT_EQ(driver.count("sendTouchPacketToSystem(7,9,0921" "05" "2312" "0201" "ffff)"), 1);
    one[0].bStatus = true;
    EXPECT_TRUE(hub->sendTouchInfoToOS(one, Hub::TouchInfoPacketType(7)));
    EXPECT_EQ(driver.count("sendTouchPacketToSystem(7,9,0945" "85"), 1);
}

TEST_F(DriverSettings, MoreTouchesThanOneLengthByteHoldsAreRefused)
{
    QList<Hub::TouchInfo> touches(36);
    EXPECT_TRUE(hub->sendTouchInfoToOS(touches, Hub::TouchInfoPacketType_Touch));
    EXPECT_EQ(driver.count("sendTouchPacketToSystem(7,254,"), 1);
    touches.append(Hub::TouchInfo());
    EXPECT_FALSE(hub->sendTouchInfoToOS(touches, Hub::TouchInfoPacketType_Touch));
    EXPECT_EQ(driver.count("sendTouchPacketToSystem"), 1);
}
