// Registration, naming and PIN naming on the simulated 2.4 GHz hub: the
// commands that open the sessions, and what handsets report in them.
#include "simtest.h"

using namespace SimTest;

namespace {

constexpr uint32_t kV01 = 0x06A10001;     // registered, address 0x0101
constexpr uint32_t kV33 = 0x06A10021;     // waiting, PIN ABC, address 0x0121
constexpr uint32_t kAmelie = 0x09B20001;  // expression handset, address 0x0201

class RfRegistration : public SimFixture {
protected:
  void SetUp() override {
    SimFixture::SetUp();
    ASSERT_EQ(orvexsim_set_handset_delay_ms(ORVEXSIM_ALL_HUBS, ORVEXSIM_ALL_HANDSETS, 0, 0), 0);
    ASSERT_EQ(orvexsim_use_default_classroom(), 0);
    recorder.attach(1);
  }
  std::vector<Bytes> ask(const std::string &text, const Bytes &block = {}) {
    Bytes written = command(text);
    written.insert(written.end(), block.begin(), block.end());
    return exchangeBytes(1, written);
  }
  // What the hub sent once the handsets asked to act have done so.
  std::vector<Bytes> acted() {
    EXPECT_EQ(orvexsim_wait_idle(5000), 0);
    std::vector<Bytes> out;
    const auto all = recorder.packets();
    for (size_t i = mark_; i < all.size(); ++i) out.push_back(all[i].bytes);
    mark_ = all.size();
    return out;
  }
  void markNow() { mark_ = recorder.packetCount(); }
  std::string name(uint32_t uid) {
    char buf[64] = {};
    return orvexsim_get_device_name(1, uid, buf, sizeof buf) >= 0 ? buf : "<none>";
  }

  size_t mark_ = 0;
};

Bytes voteRecord(uint32_t uid, unsigned address, const char *name) {
  Bytes b = bytes({13, 0x67, int(uid >> 24), int(uid >> 16 & 0xFF), int(uid >> 8 & 0xFF), int(uid & 0xFF),
                   int(address >> 8), int(address & 0xFF), 0x06});
  for (size_t i = 0; i < 4; ++i) b.push_back(i < std::strlen(name) ? static_cast<uint8_t>(name[i]) : 0);
  return b;
}

}  // namespace

TEST_F(RfRegistration, HandsetsKeyingTheSessionsPinRegisterAndAreListed) {
  ASSERT_EQ(orvexsim_add_waiting_handset(1, ORVEXSIM_CLASS_VOTE, 0x06FF0001, 0x0F01, "Odd", "FED"), 0);
  ASSERT_EQ(orvexsim_add_waiting_handset(1, ORVEXSIM_CLASS_SLATE, 0x07FF0001, 0x0F02, "S9", "ABC"), 0);
  EXPECT_EQ(orvexsim_register_waiting(1, kV33), 0) << "no registration session";
  EXPECT_TRUE(ask(":VR0050112AB").empty()) << "a PIN of two letters is no command";
  EXPECT_EQ(ask(":VR0050112ABC"), std::vector<Bytes>{bytes({4, 0x56, 0x00, 0x01})});
  EXPECT_EQ(ask(":GI").at(0)[10], 0x01);

  markNow();
  EXPECT_EQ(orvexsim_register_waiting(1, kV33), 1);
  EXPECT_EQ(acted(), std::vector<Bytes>{voteRecord(kV33, 0x0121, "V33")});
  EXPECT_EQ(ask(":GD06").at(0), bytes({4, 0x53, 0, 33}));
  EXPECT_EQ(ask(":GR06").at(32), voteRecord(kV33, 0x0121, "V33"));
  EXPECT_EQ(orvexsim_register_waiting(1, kV33), -1) << "no longer waiting";
  EXPECT_EQ(orvexsim_register_waiting(1, 0x06FF0001), 0) << "another PIN";
  EXPECT_EQ(orvexsim_register_waiting(1, 0x07FF0001), 0) << "a slate in vote registration";
  markNow();
  EXPECT_EQ(orvexsim_register_waiting_class(1, ORVEXSIM_CLASS_VOTE), 3) << "V34-V36, not the odd PIN";
  EXPECT_EQ(acted().size(), 3u);
  EXPECT_EQ(orvexsim_device_count(1, ORVEXSIM_CLASS_VOTE), 36);

  const auto end = ask(":VE");
  EXPECT_EQ(end, (std::vector<Bytes>{kOk, bytes({4, 0x56, 0x01, 0x00})}));
  EXPECT_EQ(orvexsim_register_waiting(1, 0x07FF0001), 0);

  // Expression registration with naming: the name is cut to bits 3-0.
  ASSERT_EQ(orvexsim_add_waiting_handset(1, ORVEXSIM_CLASS_EXPRESSION, 0x09FF0001, 0x0F03, "Dominique", "CAB"), 0);
  EXPECT_EQ(ask(":XP001", bytes({9, 0x00, 0x10, 2, 3, 'C', 'A', 'B', 0x24})),
            std::vector<Bytes>{bytes({4, 0x56, 0x00, 0x30})});
  EXPECT_TRUE(ask(":VR0050112ABC").empty()) << "no second session";
  markNow();
  ASSERT_EQ(orvexsim_register_waiting(1, 0x09FF0001), 1);
  const auto record = acted();
  ASSERT_EQ(record.size(), 1u);
  EXPECT_EQ(record[0].size(), 23u);
  EXPECT_EQ(record[0][1], 0x80);
  EXPECT_EQ(be32(record[0], 2), 0x09FF0001u);
  EXPECT_EQ(field(record[0], 9, 14), "Domi");
  ask(":VE");
}

TEST_F(RfRegistration, NamingSessionsCarryTheNamesHandsetsAndHostGive) {
  EXPECT_EQ(orvexsim_report_name(1, kV01, "Zoe"), 0) << "no naming session";
  EXPECT_TRUE(ask(":VN").empty());
  markNow();
  EXPECT_EQ(orvexsim_report_name(1, kV01, "Zoe"), 1);
  EXPECT_EQ(orvexsim_report_name(1, kAmelie, "Zoe"), 0) << "not named in vote naming";
  EXPECT_EQ(acted(), std::vector<Bytes>{voteRecord(kV01, 0x0101, "Zoe")});
  EXPECT_EQ(name(kV01), "Zoe");

  // The host names a handset: ":VN", its identity, four name bytes.
  Bytes vn = command(":VN06A10002");
  vn.insert(vn.end() - 1, {'0', '1', '0', '2', 'M', 'a', 'x', 0});
  EXPECT_TRUE(exchangeBytes(1, vn).empty());
  EXPECT_EQ(name(0x06A10002), "Max");
  EXPECT_EQ(ask(":VE"), std::vector<Bytes>{kOk}) << "naming leaves the hub idle";

  // Expression naming: ":XP002" is confirmed; ":XP003" names by address.
  EXPECT_EQ(ask(":XP002"), std::vector<Bytes>{kOk});
  Bytes xp3 = bytes({0x11, 0x02, 0x01, 'Z', 'o', 0xEB});
  xp3.resize(0x11, 0);
  EXPECT_EQ(ask(":XP003", xp3), std::vector<Bytes>{bytes({4, 0x82, 0x02, 0x01})});
  EXPECT_EQ(name(kAmelie), "Zo\xC3\xAB") << "Latin-1 on the wire";
  xp3[2] = 0x77;
  EXPECT_TRUE(ask(":XP003", xp3).empty()) << "no handset at that address";
  markNow();
  EXPECT_EQ(orvexsim_report_name(1, kAmelie, "Mélodie"), 1);
  const auto named = acted();
  ASSERT_EQ(named.size(), 1u);
  EXPECT_EQ(field(named[0], 9, 14), "M\xE9lodie");
  ask(":VE");

  // PIN naming: four 3-bit codes in bytes 8 and 9.
  EXPECT_TRUE(ask(":VZ3").empty());
  markNow();
  EXPECT_EQ(orvexsim_key_pin(1, kV01, "ADCB"), 1);
  EXPECT_EQ(orvexsim_key_pin(1, kV01, "ABCG"), -1) << "not a PIN letter";
  EXPECT_EQ(acted(), std::vector<Bytes>{bytes({11, 0x67, 0x06, 0xA1, 0x00, 0x01, 0x01, 0x01, 0x03, 0x1A, 0x00})});
  EXPECT_EQ(orvexsim_key_pin(1, ORVEXSIM_ALL_HANDSETS, nullptr), 32);
  for (const Bytes &report : acted()) {
    ASSERT_EQ(report.size(), 11u);
    EXPECT_NE(report[8] & 0x0E, 0) << "three letters";
    EXPECT_NE(report[9] & 0x38, 0);
    EXPECT_EQ(report[9] & 0x07, 0) << "no fourth";
  }
}
