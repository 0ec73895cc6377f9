// Boards on simulated hubs: pen and touch packets, the scripted pen, the
// touch status and the recorded pen commands.
#include "simtest.h"

#include "hub/pendecoder.h"

using namespace SimTest;

namespace {

// The library's decoders, tested on their own in tests/hub.
Orvexsystem::PenSample decodePen8(const Bytes &b) {
  const QByteArray p(reinterpret_cast<const char *>(b.data()), static_cast<int>(b.size()));
  Orvexsystem::PenSample s;
  EXPECT_TRUE(Orvexsystem::PenPacket8::isPenPacket(p) && Orvexsystem::PenPacket8::decode(p, s));
  return s;
}

Orvexsystem::PenSample decodeSerialPen(const Bytes &b) {
  const QByteArray p(reinterpret_cast<const char *>(b.data()), static_cast<int>(b.size()));
  Orvexsystem::PenSample s;
  EXPECT_TRUE(Orvexsystem::PenPacketSerial::isPenPacket(p) && Orvexsystem::PenPacketSerial::decode(p, s));
  return s;
}

class Boards : public SimFixture {
protected:
  void SetUp() override {
    SimFixture::SetUp();
    ASSERT_EQ(orvexsim_use_default_classroom(), 0);
    ASSERT_EQ(orvexsim_add_hub(ORVEXSIM_KIND_LEGACY_1, 3, 0x77, ORVEXSIM_CONNECTION_SERIAL, 600, nullptr), 0);
    ASSERT_EQ(orvexsim_add_board(3, 0, 0, "Serial board", 600), 0);
    recorder.attach(1);
    recorder.attach(2);
    recorder.attach(3);
  }
  std::vector<Bytes> packetsOf(int32_t handle) {
    std::vector<Bytes> out;
    for (const auto &p : recorder.packets())
      if (p.handle == handle) out.push_back(p.bytes);
    return out;
  }
};

}  // namespace

TEST_F(Boards, PenPacketsTakeTheHubsForm) {
  ASSERT_EQ(orvexsim_inject_pen(1, 2, 0x1234, 0xABCD, 1, 1, 1), 0);
  ASSERT_EQ(orvexsim_inject_pen(2, 1, 100, 200, 0, 0, 1), 0);
  ASSERT_EQ(orvexsim_inject_pen(3, 9, 0xC123, 0x8765, 0, 1, 0), 0);
  ASSERT_EQ(orvexsim_wait_idle(2000), 0);

  EXPECT_EQ(packetsOf(1).at(0), bytes({8, 0x21, 0, 0x34, 0x12, 0xCD, 0xAB, 0x17}));
  const auto usb = decodePen8(packetsOf(2).at(0));
  EXPECT_EQ(usb.penId, 1);
  EXPECT_TRUE(usb.proximity && !usb.tip && !usb.barrel);

  const auto serial = decodeSerialPen(packetsOf(3).at(0));
  EXPECT_EQ(serial.penId, 9);
  EXPECT_EQ(serial.x, 0xC123);
  EXPECT_EQ(serial.y, 0x8765);
  EXPECT_TRUE(serial.barrel);
  EXPECT_FALSE(serial.tip);
  EXPECT_FALSE(serial.proximity);

  EXPECT_EQ(orvexsim_inject_pen(1, 4, 0, 0, 0, 0, 0), -1) << "the 8-byte form holds pens 0 to 3";
  EXPECT_EQ(orvexsim_inject_pen(1, 1, 0x10000, 0, 0, 0, 0), -1);
}

TEST_F(Boards, ScriptedStrokeDrawsALineAndClicksTheBarrel) {
  ASSERT_EQ(orvexsim_start_pen_stream(1, 1, 5000, ORVEXSIM_PEN_STROKE_PACKETS + 3), 0);
  ASSERT_EQ(orvexsim_start_pen_stream(3, 2, 5000, ORVEXSIM_PEN_STROKE_PACKETS), 0);
  ASSERT_EQ(orvexsim_wait_idle(5000), 0);
  const auto rf = packetsOf(1);
  const auto serial = packetsOf(3);
  ASSERT_EQ(rf.size(), static_cast<size_t>(ORVEXSIM_PEN_STROKE_PACKETS + 3));
  ASSERT_EQ(serial.size(), static_cast<size_t>(ORVEXSIM_PEN_STROKE_PACKETS));

  for (int form = 0; form < 2; ++form) {
    std::vector<Orvexsystem::PenSample> pens;
    for (const Bytes &b : form == 0 ? rf : serial) pens.push_back(form == 0 ? decodePen8(b) : decodeSerialPen(b));
    for (int i = 0; i < ORVEXSIM_PEN_STROKE_PACKETS; ++i) {
      SCOPED_TRACE(testing::Message() << "form " << form << " packet " << i);
      EXPECT_EQ(pens[i].penId, form == 0 ? 1 : 2);
      EXPECT_EQ(pens[i].tip, i >= 3 && i <= 23);
      EXPECT_EQ(pens[i].barrel, i == 25);
      EXPECT_EQ(pens[i].proximity, i != ORVEXSIM_PEN_STROKE_PACKETS - 1);
      if (i >= 4 && i <= 23) {
        EXPECT_GT(pens[i].x, pens[i - 1].x) << "the tip moves";
      }
    }
    if (form == 0) {
      EXPECT_TRUE(pens[ORVEXSIM_PEN_STROKE_PACKETS].proximity);
      EXPECT_NE(pens[ORVEXSIM_PEN_STROKE_PACKETS].x, pens[0].x) << "the next stroke starts elsewhere";
    }
  }
}

TEST_F(Boards, StoppedStreamSendsNothingMore) {
  ASSERT_EQ(orvexsim_start_pen_stream(1, 1, 2000, 0), 0);
  ASSERT_TRUE(recorder.waitPackets(5));
  ASSERT_EQ(orvexsim_stop_pen_stream(1), 0);
  ASSERT_EQ(orvexsim_wait_idle(2000), 0);
  const size_t count = recorder.packetCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // proving a negative
  EXPECT_EQ(recorder.packetCount(), count);

  // Unplugging ends a stream too.
  ASSERT_EQ(orvexsim_start_pen_stream(1, 1, 2000, 0), 0);
  ASSERT_TRUE(recorder.waitPackets(count + 3));
  ASSERT_EQ(orvexsim_unplug_hub(1), 0);
  ASSERT_EQ(orvexsim_plug_hub(1), 0);
  ASSERT_EQ(orvexsim_wait_idle(2000), 0);
  const size_t after = recorder.packetCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(recorder.packetCount(), after);
}

TEST_F(Boards, TouchPacketsCarrySevenBytesPerContact) {
  const OrvexSimTouch touches[2] = {{3, 0x1234, 0x5678, 40, 1}, {127, 65535, 0, 0, 0}};
  ASSERT_EQ(orvexsim_inject_touch(1, touches, 2), 0);
  ASSERT_EQ(orvexsim_inject_touch(2, touches, 0), 0);
  ASSERT_EQ(orvexsim_wait_idle(2000), 0);
  EXPECT_EQ(packetsOf(1).at(0), bytes({16, 0x45, 0x83, 0x34, 0x12, 0x78, 0x56, 40, 0, 0x7F, 0xFF, 0xFF, 0, 0, 0, 0}));
  EXPECT_EQ(packetsOf(2).at(0), bytes({2, 0x45}));

  std::vector<OrvexSimTouch> many(37, OrvexSimTouch{1, 1, 1, 1, 1});
  EXPECT_EQ(orvexsim_inject_touch(1, many.data(), 37), -1) << "more than one length byte holds";
  EXPECT_EQ(orvexsim_inject_touch(1, many.data(), 36), 0);
  EXPECT_EQ(orvexsim_inject_touch(3, touches, 1), -1) << "a board without touch";
}

TEST_F(Boards, TouchStatusAnswersQueryAndCanBeReportedOrWithheld) {
  EXPECT_EQ(exchange(1, ":QT"), std::vector<Bytes>{bytes({8, 0xA5, 0, 0, 0, 0, 5, 4})});
  ASSERT_EQ(orvexsim_set_touch_status(2, 0, 10, 1), 0);
  EXPECT_EQ(exchange(2, ":QT"), std::vector<Bytes>{bytes({8, 0xA5, 0, 0, 0, 0, 0, 10})});
  ASSERT_EQ(orvexsim_set_touch_status(2, 3, 10, 0), 0);
  EXPECT_TRUE(exchange(2, ":QT").empty()) << "a board that does not answer";
  ASSERT_EQ(orvexsim_send_touch_status(2), 0);
  ASSERT_EQ(orvexsim_wait_idle(2000), 0);
  EXPECT_EQ(packetsOf(2).back(), bytes({8, 0xA5, 0, 0, 0, 0, 3, 10}));

  ASSERT_EQ(orvexsim_add_hub(ORVEXSIM_KIND_RF, 4, 1, 2, 1, nullptr), 0);
  recorder.attach(4);
  EXPECT_TRUE(exchange(4, ":QT").empty()) << "no board";
  EXPECT_EQ(orvexsim_inject_pen(4, 1, 1, 1, 0, 0, 1), -1);
}

TEST_F(Boards, PenCommandsAreRecordedPerPenAndNotAnswered) {
  EXPECT_EQ(orvexsim_get_pen_type(1, 2), -1);
  EXPECT_TRUE(exchange(1, ":PN21").empty());
  EXPECT_TRUE(exchange(1, ":PK12").empty());
  EXPECT_TRUE(exchange(1, ":PN32").empty());
  EXPECT_EQ(orvexsim_get_pen_hardware_mode(1, 2), 1);
  EXPECT_EQ(orvexsim_get_pen_type(1, 2), 1);
  EXPECT_EQ(orvexsim_get_pen_hardware_mode(1, 3), 2);
  EXPECT_EQ(orvexsim_get_pen_type(1, 3), -1);
  EXPECT_EQ(orvexsim_get_pen_hardware_mode(2, 2), -1) << "per hub";
}
