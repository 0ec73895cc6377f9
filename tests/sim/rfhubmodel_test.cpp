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

// The library's end-to-end tests (tests/rfhub) read the default registry
// through :GI, :GN, :GD and :GR; these cover what they do not reach.
TEST_F(RfHub, ReplyDetailsTheLibraryDoesNotRead) {
  ASSERT_EQ(orvexsim_set_hub_name(1, "A very long hub name"), 0);
  const auto name = ask(":GN");
  ASSERT_EQ(name.size(), 1u);
  EXPECT_EQ(field(name[0], 2, 10), "A very lon") << "cut to its field";
  EXPECT_EQ(be32(name[0], 12), 512u - 41u) << "the free store follows the name";

  EXPECT_EQ(ask(":GD0d").at(0), bytes({4, 0x53, 0, 1}));
  EXPECT_EQ(ask(":GD01").at(0), bytes({4, 0x53, 0, 0}));
  EXPECT_EQ(ask(":GR01"), std::vector<Bytes>{kOk}) << "an empty class is only the OK";
  EXPECT_EQ(field(ask(":GR09").at(0), 9, 14), "Am\xE9lie") << "ISO 8859-1, not UTF-8";
  const auto boards = ask(":GR08");
  ASSERT_EQ(boards.size(), 2u);
  EXPECT_EQ(be16(boards[0], 20), 912u) << "the board version";

  // A handset listed with class 10 comes with the voting handsets.
  ASSERT_EQ(orvexsim_register_device(1, ORVEXSIM_CLASS_VOTE_ALT, 0x0AA10001, 0x0AA1, "Alt"), 0);
  const auto withAlt = ask(":GR06");
  ASSERT_EQ(withAlt.size(), 34u);
  EXPECT_EQ(withAlt[32][8], 10);
}

TEST_F(RfHub, AClearResetsTheHubBeforeItsOkAfterTheFlashWrite) {
  orvexsim_set_flash_delay_us(1, 20000);
  ASSERT_EQ(orvexsim_set_hub_mode(1, 0x11), 0);
  ASSERT_EQ(orvexsim_wait_idle(2000), 0);
  recorder.clear();
  const auto start = Clock::now();
  ASSERT_EQ(ask(":CS06"), (std::vector<Bytes>{bytes({3, 0xA0, 0}), kOk}));
  const auto packets = recorder.packets();
  EXPECT_LT(packets[0].at - start, std::chrono::milliseconds(20)) << "the reset comes during the clear";
  EXPECT_GE(packets[1].at - start, std::chrono::milliseconds(20));
  EXPECT_EQ(orvexsim_get_hub_mode(1), 0) << "a reset hub is idle, without a notice";
  EXPECT_EQ(orvexsim_device_count(1, ORVEXSIM_CLASS_VOTE), 0);
  EXPECT_EQ(orvexsim_device_count(1, ORVEXSIM_CLASS_EXPRESSION), 8) << "only its class";
}

// Hexadecimal parameters are read in the one form the hub documents;
// every other form is a command it does not know.
TEST_F(RfHub, HexParametersOnlyInTheirDocumentedForm) {
  orvexsim_set_flash_delay_us(1, 0);
  for (const char *c : {":GD0D", ":GD6", ":GD006", ":GDx6", ":GR0D", ":GR 6", ":CS0d", ":CS9", ":CS42",
                        ":CS099", ":RD06a100050105", ":RD06A10005010", ":RD06A1000501050", ":RD06A10005010G"})
    EXPECT_TRUE(ask(c).empty()) << c;
  EXPECT_EQ(orvexsim_device_count(1, 0), 46) << "nothing cleared or removed";
  EXPECT_EQ(ask(":GD0d").at(0), bytes({4, 0x53, 0, 1}));
  EXPECT_EQ(ask(":GR0d").size(), 2u);
  EXPECT_EQ(ask(":CS0D").size(), 2u);
  EXPECT_EQ(orvexsim_device_count(1, ORVEXSIM_CLASS_PEN_EXPRESSION), 0);
}

TEST_F(RfHub, RemovalKeepsTheHubBusyUntilTheSessionEnds) {
  EXPECT_TRUE(ask(":RD06A100050106").empty()) << "address of another handset";
  EXPECT_EQ(orvexsim_has_device(1, 0x06A10005), 1);
  EXPECT_EQ(orvexsim_get_hub_mode(1), 0) << "nothing removed, no removal mode";
  EXPECT_EQ(ask(":RD06A100050105"), std::vector<Bytes>{bytes({4, 0x56, 0x00, 0x09})});
  EXPECT_EQ(orvexsim_has_device(1, 0x06A10005), 0);
  EXPECT_EQ(ask(":GI").at(0)[10], 0x09) << ":GI reports the removal mode";
  EXPECT_TRUE(ask(":RD06A100060106").empty()) << "a second removal in the same session";
  EXPECT_EQ(orvexsim_has_device(1, 0x06A10006), 0);

  const auto r = ask(":VE");
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0], kOk);
  EXPECT_EQ(r[1], bytes({4, 0x56, 0x09, 0x00}));
  EXPECT_EQ(orvexsim_get_hub_mode(1), 0);
  EXPECT_EQ(ask(":VE"), std::vector<Bytes>{kOk}) << "idle already: OK alone";
}

TEST_F(RfHub, UnchangedBusyStatesAndUnknownLowBatteriesSendNothing) {
  ASSERT_EQ(orvexsim_set_hub_busy(1, 1), 0);
  ASSERT_EQ(orvexsim_set_hub_busy(1, 1), 0);  // no change, no packet
  EXPECT_EQ(orvexsim_report_low_battery(1, 0x12345678), -1) << "not registered";
  EXPECT_EQ(orvexsim_report_low_battery(2, 0x0CB20007), -1) << "a legacy hub";
  ASSERT_EQ(orvexsim_wait_idle(2000), 0);
  ASSERT_EQ(recorder.packetCount(), 1u);
  EXPECT_EQ(recorder.packets()[0].bytes, bytes({4, 0x56, 0, 1}));
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
