// The simulated 2.4 GHz hub answers its command set from its registry.
#include "simtest.h"

using namespace SimTest;

namespace {

class RfHub : public SimFixture {
protected:
  void SetUp() override {
    SimFixture::SetUp();
    ASSERT_EQ(orvexsim_use_default_classroom(), 0);
    recorder.attach(ORVEXSIM_DEFAULT_RF_HUB);
  }
  std::vector<Bytes> ask(const std::string &text) { return exchange(ORVEXSIM_DEFAULT_RF_HUB, text); }
};

}  // namespace

TEST_F(RfHub, InformationCountsEveryClassAndTheMode) {
  const auto r = ask(":GI");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0], bytes({0x0B, 0x51, 0, 41, 0x02, 0x00, 1, 4, 4, 64, 0}));

  ASSERT_EQ(orvexsim_set_hub_busy(1, 1), 0);
  ASSERT_EQ(orvexsim_wait_idle(2000), 0);
  EXPECT_EQ(ask(":GI").at(0).at(10), 0x01);
}

TEST_F(RfHub, NameIsZeroPaddedWithTheFreeStoreAfterIt) {
  const auto r = ask(":GN");
  ASSERT_EQ(r.size(), 1u);
  ASSERT_EQ(r[0].size(), 16u);
  EXPECT_EQ(r[0][0], 0x10);
  EXPECT_EQ(r[0][1], 0x32);
  EXPECT_EQ(field(r[0], 2, 10), "Room 12");
  EXPECT_EQ(r[0][11], 0);
  EXPECT_EQ(be32(r[0], 12), 512u - 41u);

  ASSERT_EQ(orvexsim_set_hub_name(1, "A very long hub name"), 0);
  EXPECT_EQ(field(ask(":GN").at(0), 2, 10), "A very lon");
}

TEST_F(RfHub, CountsPerClassAcceptEitherCaseOfHex) {
  const std::pair<const char *, unsigned> expected[] = {
      {":GD06", 32}, {":GD07", 4}, {":GD08", 1}, {":GD09", 8}, {":GD0d", 1}, {":GD0D", 1}, {":GD01", 0}};
  for (const auto &e : expected) {
    const auto r = ask(e.first);
    ASSERT_EQ(r.size(), 1u) << e.first;
    EXPECT_EQ(r[0].size(), 4u);
    EXPECT_EQ(r[0][1], 0x53);
    EXPECT_EQ(be16(r[0], 2), e.second) << e.first;
  }
}

TEST_F(RfHub, VoteListIsOneThirteenByteRecordPerHandsetThenOk) {
  const auto r = ask(":GR06");
  ASSERT_EQ(r.size(), 33u);
  EXPECT_EQ(r.back(), kOk);
  for (size_t i = 0; i < 32; ++i) {
    const Bytes &rec = r[i];
    ASSERT_EQ(rec.size(), 13u);
    EXPECT_EQ(rec[0], 13);
    EXPECT_EQ(rec[1], 0x67);
    EXPECT_EQ(be32(rec, 2), 0x06A10001u + i);
    EXPECT_EQ(be16(rec, 6), 0x0101u + i);
    EXPECT_EQ(rec[8], 6);
  }
  EXPECT_EQ(field(r[0], 9, 4), "V01");
  EXPECT_EQ(field(r[31], 9, 4), "V32");

  // A handset listed with class 10 comes with the voting handsets.
  ASSERT_EQ(orvexsim_register_device(1, ORVEXSIM_CLASS_VOTE_ALT, 0x0AA10001, 0x0AA1, "Alt"), 0);
  const auto withAlt = ask(":GR06");
  ASSERT_EQ(withAlt.size(), 34u);
  EXPECT_EQ(withAlt[32][8], 10);
}

TEST_F(RfHub, ExpressionListsUseLatin1NamesAndSeparatePenExpressions) {
  const auto r = ask(":GR09");
  ASSERT_EQ(r.size(), 9u);
  EXPECT_EQ(r.back(), kOk);
  for (size_t i = 0; i < 8; ++i) {
    ASSERT_EQ(r[i].size(), 23u);
    EXPECT_EQ(r[i][1], 0x80);
    EXPECT_EQ(r[i][8], 9);
  }
  EXPECT_EQ(field(r[0], 9, 14), "Am\xE9lie") << "ISO 8859-1, not UTF-8";
  EXPECT_EQ(r[0][2], 0x09);
  EXPECT_EQ(r[7][2], 0x0C) << "the later series has 0x0C in the uid's top byte";

  const auto pen = ask(":GR0d");
  ASSERT_EQ(pen.size(), 2u);
  EXPECT_EQ(pen[0][8], 13);
  EXPECT_EQ(field(pen[0], 9, 14), "Pen pad 1");
}

TEST_F(RfHub, SlateAndBoardRecords) {
  const auto slates = ask(":GR07");
  ASSERT_EQ(slates.size(), 5u);
  EXPECT_EQ(slates[0].size(), 20u);
  EXPECT_EQ(slates[0][0], 20);
  EXPECT_EQ(slates[0][1], 0x67);
  EXPECT_EQ(slates[0][8], 7);
  EXPECT_EQ(field(slates[0], 9, 10), "Slate 1");

  const auto boards = ask(":GR08");
  ASSERT_EQ(boards.size(), 2u);
  const Bytes &b = boards[0];
  ASSERT_EQ(b.size(), 23u);
  EXPECT_EQ(b[0], 23);
  EXPECT_EQ(b[1], 0x90);
  EXPECT_EQ(b[8], 8);
  EXPECT_EQ(field(b, 9, 10), "Board 12");
  EXPECT_EQ(be16(b, 20), 912u);
  EXPECT_EQ(boards[1], kOk);

  EXPECT_EQ(ask(":GR01"), std::vector<Bytes>{kOk}) << "an empty class is only the OK";
}

TEST_F(RfHub, ClearsTakeTheFlashWriteAndEmptyOnlyTheirClass) {
  orvexsim_set_flash_delay_us(1, 20000);
  const auto start = Clock::now();
  const auto r = ask(":CS06");
  ASSERT_EQ(r, std::vector<Bytes>{kOk});
  EXPECT_GE(recorder.packets().back().at - start, std::chrono::milliseconds(20));
  EXPECT_EQ(orvexsim_device_count(1, ORVEXSIM_CLASS_VOTE), 0);
  EXPECT_EQ(orvexsim_device_count(1, ORVEXSIM_CLASS_EXPRESSION), 8);

  orvexsim_set_flash_delay_us(1, 0);
  EXPECT_EQ(ask(":CS0D"), std::vector<Bytes>{kOk});
  EXPECT_EQ(orvexsim_device_count(1, ORVEXSIM_CLASS_PEN_EXPRESSION), 0);
  EXPECT_EQ(orvexsim_device_count(1, ORVEXSIM_CLASS_EXPRESSION), 8);
  EXPECT_TRUE(ask(":CS42").empty()) << "no such class: no answer";
  EXPECT_EQ(ask(":CS99"), std::vector<Bytes>{kOk});
  EXPECT_EQ(orvexsim_device_count(1, 0), 0);
  EXPECT_EQ(ask(":GI").at(0), bytes({0x0B, 0x51, 0, 0, 0x02, 0x00, 0, 4, 0, 64, 0}));
}

TEST_F(RfHub, RemovalNeedsUidAndAddressAndIsNotAnswered) {
  EXPECT_TRUE(ask(":RD06A100050106").empty()) << "address of another handset";
  EXPECT_EQ(orvexsim_has_device(1, 0x06A10005), 1);
  EXPECT_TRUE(ask(":RD06a100050105").empty());
  EXPECT_EQ(orvexsim_has_device(1, 0x06A10005), 0);
  EXPECT_EQ(orvexsim_device_count(1, ORVEXSIM_CLASS_VOTE), 31);
  EXPECT_EQ(ask(":VE"), std::vector<Bytes>{kOk});
}

TEST_F(RfHub, SessionEndReturnsABusyHubToIdle) {
  ASSERT_EQ(orvexsim_set_hub_mode(1, 0x11), 0);
  ASSERT_EQ(orvexsim_wait_idle(2000), 0);
  recorder.clear();
  const auto r = ask(":VE");
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0], kOk);
  EXPECT_EQ(r[1], bytes({4, 0x56, 0x11, 0x00}));
  EXPECT_EQ(orvexsim_get_hub_mode(1), 0);
}

TEST_F(RfHub, BusyIdleResetAndLowBatteryNotices) {
  ASSERT_EQ(orvexsim_set_hub_busy(1, 1), 0);
  ASSERT_EQ(orvexsim_set_hub_busy(1, 1), 0);  // no change, no packet
  ASSERT_EQ(orvexsim_set_hub_mode(1, 0x20), 0);
  ASSERT_EQ(orvexsim_set_hub_busy(1, 0), 0);
  ASSERT_EQ(orvexsim_reset_hub(1), 0);
  EXPECT_EQ(orvexsim_get_hub_mode(1), 0);
  ASSERT_EQ(orvexsim_report_low_battery(1, 0x0CB20007), 0);
  EXPECT_EQ(orvexsim_report_low_battery(1, 0x12345678), -1) << "not registered";
  EXPECT_EQ(orvexsim_report_low_battery(2, 0x0CB20007), -1) << "a legacy hub";
  ASSERT_EQ(orvexsim_wait_idle(2000), 0);
  std::vector<Bytes> got;
  for (const auto &p : recorder.packets()) got.push_back(p.bytes);
  EXPECT_EQ(got, (std::vector<Bytes>{bytes({4, 0x56, 0, 1}), bytes({4, 0x56, 1, 0x20}), bytes({4, 0x56, 0x20, 0}),
                                     bytes({3, 0xA0, 0}), bytes({8, 0x50, 0x0C, 0xB2, 0, 7, 0x02, 0x07})}));
}

TEST_F(RfHub, UnknownOrUnfinishedCommandsAreRecordedButNotAnswered) {
  EXPECT_TRUE(ask(":ZZ").empty());
  EXPECT_TRUE(ask(":GD6").empty());
  const Bytes noCr = {':', 'G', 'I'};
  ASSERT_EQ(orvexWritePacket(1, noCr.data(), 3), 0);
  ASSERT_EQ(orvexsim_wait_idle(2000), 0);
  EXPECT_EQ(recorder.packetCount(), 0u);
  EXPECT_EQ(orvexsim_write_count(1), 3);
  const uint8_t prefix[] = {':', 'G', 'D'};
  EXPECT_EQ(orvexsim_wait_for_write(1, prefix, 3, 0), 1);
  EXPECT_EQ(orvexsim_wait_for_command(1, ":QQ", 0), -1);
}

TEST_F(RfHub, RegistrationRespectsCapacityAndUniqueUids) {
  ASSERT_EQ(orvexsim_set_capacity(1, 42, 1, 4), 0);
  EXPECT_EQ(orvexsim_register_device(1, ORVEXSIM_CLASS_VOTE, 0x06FF0001, 0x0F01, "N1"), 0);
  EXPECT_EQ(orvexsim_register_device(1, ORVEXSIM_CLASS_EXPRESSION, 0x09FF0002, 0x0F02, "N2"), -1) << "handsets full";
  EXPECT_EQ(orvexsim_register_device(1, ORVEXSIM_CLASS_SLATE, 0x07FF0003, 0x0F03, "N3"), -1) << "slates full";
  EXPECT_EQ(orvexsim_add_board(1, 0x08FF0004, 0x0F04, "B2", 900), -1) << "boards full";
  EXPECT_EQ(orvexsim_register_device(1, ORVEXSIM_CLASS_VOTE, 0x06A10001, 0x0F05, "Dup"), -1);
  EXPECT_EQ(orvexsim_register_device(1, 0x55, 0x55FF0001, 0x0F06, "Bad"), -1);
  EXPECT_EQ(orvexsim_register_device(2, ORVEXSIM_CLASS_VOTE, 0x06FF0009, 0x0F07, "Leg"), -1) << "a legacy hub";
  EXPECT_EQ(orvexsim_remove_device(1, 0x06FF0001), 0);
  EXPECT_EQ(orvexsim_remove_device(1, 0x06FF0001), -1);
}

class RfHubScale : public SimFixture {};

TEST_F(RfHubScale, FourHundredDevicesAreListedInOrder) {
  orvexsim_set_reply_delay_us(ORVEXSIM_ALL_HUBS, 2000);
  orvexsim_set_packet_gap_us(ORVEXSIM_ALL_HUBS, 200);
  ASSERT_EQ(orvexsim_add_hub(ORVEXSIM_KIND_RF, 5, 0x99, ORVEXSIM_CONNECTION_USB, 0x0301, nullptr), 0);
  for (uint32_t i = 0; i < 400; ++i)
    ASSERT_EQ(orvexsim_register_device(5, ORVEXSIM_CLASS_VOTE, 0x06000000u + i, static_cast<uint16_t>(i + 1),
                                       ("H" + std::to_string(i)).c_str()),
              0);
  recorder.attach(5);
  const Bytes gr = command(":GR06");
  const auto start = Clock::now();
  ASSERT_EQ(orvexWritePacket(5, gr.data(), static_cast<int32_t>(gr.size())), 0);
  ASSERT_TRUE(recorder.waitPackets(401, 10000));
  const auto elapsed = Clock::now() - start;
  const auto packets = recorder.packets();
  for (uint32_t i = 0; i < 400; ++i) ASSERT_EQ(be32(packets[i].bytes, 2), 0x06000000u + i);
  EXPECT_EQ(packets[400].bytes, kOk);
  // 2 ms to the first record, 200 us between records by default.
  EXPECT_GE(elapsed, std::chrono::milliseconds(80));
  EXPECT_LT(elapsed, std::chrono::seconds(5));
}

class LegacyHub : public SimFixture {};

TEST_F(LegacyHub, RecordsCommandsItDoesNotYetAnswer) {
  orvexsim_use_default_classroom();
  recorder.attach(2);
  const Bytes gi = command(":GI");
  ASSERT_EQ(orvexWritePacket(2, gi.data(), 4), 0);
  EXPECT_EQ(orvexsim_wait_for_command(2, ":GI", 1000), 0);
  ASSERT_EQ(orvexsim_wait_idle(2000), 0);
  EXPECT_EQ(recorder.packetCount(), 0u);
  EXPECT_EQ(orvexsim_device_count(2, 0), -1) << "no 2.4 GHz registry";
}
