// The simulated legacy hubs answer the legacy command set in the USB and in
// the serial form. Expected bytes are written out from the wire tables.
#include "simtest.h"

#include <functional>
#include <set>

using namespace SimTest;

namespace {

constexpr int32_t kUsb = ORVEXSIM_DEFAULT_LEGACY_HUB;
constexpr int32_t kSerial = 3;

// The 12-digit id of ":VI" and ":RD": six bytes, least significant first.
std::string idDigits(uint64_t id) {
  static const char hex[] = "0123456789ABCDEF";
  std::string s;
  for (int i = 0; i < 6; ++i) {
    const unsigned byte = (id >> (8 * i)) & 0xFF;
    s += hex[byte >> 4];
    s += hex[byte & 15];
  }
  return s;
}

class LegacyHubs : public SimFixture {
protected:
  void SetUp() override {
    SimFixture::SetUp();
    ASSERT_EQ(orvexsim_use_default_classroom(), 0);
    ASSERT_EQ(orvexsim_add_hub(ORVEXSIM_KIND_LEGACY_1, kSerial, 0x77, ORVEXSIM_CONNECTION_SERIAL, 600, nullptr), 0);
    recorder.attach(kUsb);
    recorder.attach(kSerial);
  }
  std::vector<Bytes> ask(int32_t handle, const std::string &text) { return exchange(handle, text); }

  // The packets of the hub that follow a control call, once all is sent.
  std::vector<Bytes> after(int32_t handle, const std::function<void()> &action) {
    const size_t before = recorder.packetCount();
    action();
    EXPECT_EQ(orvexsim_wait_idle(5000), 0);
    std::vector<Bytes> out;
    const auto all = recorder.packets();
    for (size_t i = before; i < all.size(); ++i)
      if (all[i].handle == handle) out.push_back(all[i].bytes);
    return out;
  }

  int radio(int32_t handle, int *vote, int *slate, int *band, int *board) {
    return orvexsim_legacy_get_radio(handle, vote, slate, band, board, nullptr);
  }
};

}  // namespace

TEST_F(LegacyHubs, RadioSettingsAndTheirChangesInBothForms) {
  // Vote channel in bits 2..1, band in 4..3, slate channel in 6..5; board id.
  EXPECT_EQ(ask(kUsb, ":VT"), std::vector<Bytes>{bytes({10, 0x68, 0x2A, 12, 0, 0, 0, 0, 0, 0})});
  ASSERT_EQ(orvexsim_legacy_set_radio(kSerial, 2, 3, 2, 99), 0);
  EXPECT_EQ(ask(kSerial, ":VT"), std::vector<Bytes>{bytes({0x8B, 0x74, 0x68, 99, 0, 0, 0, 0, 0, 0, 0})});

  // On band 2 a channel travels as channel + 3; the bare channel is no
  // channel of that band.
  int vote = 0, slate = 0, band = 0, board = 0;
  EXPECT_TRUE(ask(kSerial, ":VY1").empty());
  ASSERT_EQ(radio(kSerial, &vote, &slate, &band, &board), 0);
  EXPECT_EQ(vote, 2);
  ask(kSerial, ":VY4");
  ask(kSerial, ":AY5");
  ask(kSerial, ":UR07");
  ask(kSerial, ":UR200");  // more than the serial form's 7 bits
  ask(kSerial, ":UR3");    // the board id has at least two digits
  ASSERT_EQ(radio(kSerial, &vote, &slate, &band, &board), 0);
  EXPECT_EQ(vote, 1);
  EXPECT_EQ(slate, 2);
  EXPECT_EQ(board, 7);
  EXPECT_EQ(ask(kSerial, ":VT").at(0), bytes({0x8B, 0x52, 0x68, 7, 0, 0, 0, 0, 0, 0, 0}));

  int rfSlates = -1;
  ask(kUsb, ":AT1");
  ASSERT_EQ(orvexsim_legacy_get_radio(kUsb, nullptr, nullptr, nullptr, nullptr, &rfSlates), 0);
  EXPECT_EQ(rfSlates, 1);
  ask(kUsb, ":AE");
  ASSERT_EQ(orvexsim_legacy_get_radio(kUsb, nullptr, nullptr, nullptr, nullptr, &rfSlates), 0);
  EXPECT_EQ(rfSlates, 0);
  EXPECT_EQ(orvexsim_legacy_set_radio(kSerial, 1, 1, 1, 128), -1) << "7 bits on a serial hub";
  EXPECT_EQ(orvexsim_legacy_set_radio(1, 1, 1, 1, 1), -1) << "not a legacy hub";
}

TEST_F(LegacyHubs, WaitingHandsetsRegisterOnceAndAgainWhenPressed) {
  ASSERT_EQ(orvexsim_legacy_set_handset(kUsb, 0x1A2B02, 1, 1), 0);
  ASSERT_EQ(orvexsim_legacy_set_handset(kUsb, 0x1A2B04, 0, 0), 0);
  const auto replies = ask(kUsb, ":VR");
  ASSERT_EQ(replies.size(), 2u + 1u) << "the switched-off handset stays silent";
  EXPECT_EQ(replies[0], bytes({9, 0x67, 0x01, 0x2B, 0x1A, 0, 0, 0, 3}));
  EXPECT_EQ(replies[1], bytes({9, 0x67, 0x02, 0x2B, 0x1A, 0, 1, 0, 3})) << "battery low";
  EXPECT_EQ(orvexsim_legacy_session(kUsb), ORVEXSIM_LEGACY_SESSION_VOTE_REGISTRATION);
  EXPECT_EQ(orvexsim_legacy_handset_state(kUsb, 0x1A2B01), ORVEXSIM_LEGACY_REGISTERED | ORVEXSIM_LEGACY_LISTENED);
  EXPECT_TRUE(ask(kUsb, ":VR").empty()) << "nobody is waiting any more";

  // Switched on, or pressed again, during the session: answers at once.
  EXPECT_EQ(after(kUsb, [] { orvexsim_legacy_set_handset(kUsb, 0x1A2B04, 1, 0); }).size(), 1u);
  EXPECT_EQ(after(kUsb, [] { orvexsim_legacy_press_register(kUsb, 0x1A2B01); }).size(), 1u);
  ask(kUsb, ":VE");
  EXPECT_EQ(orvexsim_legacy_session(kUsb), ORVEXSIM_LEGACY_SESSION_NONE);
  EXPECT_TRUE(after(kUsb, [] { orvexsim_legacy_press_register(kUsb, 0x1A2B03); }).empty());
  EXPECT_EQ(ask(kUsb, ":VR").size(), 1u) << "the press waited for the next session";

  // Serial: the id in 7-bit groups in bytes 1, 3, 4; battery low is 16.
  ASSERT_EQ(orvexsim_legacy_add_handset(kSerial, 0x1A2B01, 5, 0), 0);
  ASSERT_EQ(orvexsim_legacy_set_handset(kSerial, 0x1A2B01, 1, 1), 0);
  EXPECT_EQ(ask(kSerial, ":VR"), std::vector<Bytes>{bytes({0x8A, 0x01, 0x67, 0x56, 0x68, 0, 0x10, 0, 0, 5})});
  EXPECT_EQ(orvexsim_legacy_add_handset(kSerial, 0x200000, 5, 0), -1) << "21 bits on a serial hub";
  EXPECT_EQ(orvexsim_legacy_add_handset(kSerial, 0x1A2B01, 5, 0), -1) << "already there";
}

TEST_F(LegacyHubs, SlatesAskForAPinAndRegisterWhenTheyEchoTheHostsPin) {
  EXPECT_EQ(ask(kUsb, ":AR"), std::vector<Bytes>{bytes({9, 0x07, 0, 0, 5, 0, 0, 0, 0})});
  EXPECT_EQ(orvexsim_legacy_slate_state(kUsb, 5), ORVEXSIM_LEGACY_ASKED_PIN);
  EXPECT_TRUE(ask(kUsb, ":AP052314").empty()) << "another slate channel";
  EXPECT_TRUE(ask(kUsb, ":AP051317").empty()) << "7 is no PIN digit";
  EXPECT_TRUE(ask(kUsb, ":AP061314").empty()) << "slate 6 did not ask";
  EXPECT_EQ(ask(kUsb, ":AP051314"), std::vector<Bytes>{bytes({9, 0x07, 5, 3, 1, 4, 0, 0, 0})});
  EXPECT_EQ(orvexsim_legacy_slate_state(kUsb, 5), ORVEXSIM_LEGACY_REGISTERED);
  EXPECT_EQ(orvexsim_legacy_session(kUsb), ORVEXSIM_LEGACY_SESSION_SLATE_PIN);

  ask(kUsb, ":AB05111");
  EXPECT_EQ(orvexsim_legacy_slate_state(kUsb, 5), ORVEXSIM_LEGACY_REGISTERED) << "wrong PIN, not enabled";
  ask(kUsb, ":AB05314");
  EXPECT_EQ(orvexsim_legacy_slate_state(kUsb, 5), ORVEXSIM_LEGACY_REGISTERED | ORVEXSIM_LEGACY_LISTENED);
  ask(kUsb, ":AE");
  EXPECT_EQ(orvexsim_legacy_slate_state(kUsb, 5), ORVEXSIM_LEGACY_REGISTERED);

  // A learner who keys in another PIN: the slate echoes it and stays out.
  ASSERT_EQ(orvexsim_legacy_add_slate(kUsb, 6, 0, nullptr), 0);
  ASSERT_EQ(orvexsim_legacy_set_slate_typed_pin(kUsb, 6, "111"), 0);
  EXPECT_EQ(after(kUsb, [] { orvexsim_legacy_press_slate_register(kUsb, 6); }).size(), 1u);
  EXPECT_EQ(ask(kUsb, ":AP061222").at(0), bytes({9, 0x07, 6, 1, 1, 1, 0, 0, 0}));
  EXPECT_EQ(orvexsim_legacy_slate_state(kUsb, 6), ORVEXSIM_LEGACY_ASKED_PIN);
  ask(kUsb, ":AO");
  EXPECT_EQ(orvexsim_legacy_session(kUsb), ORVEXSIM_LEGACY_SESSION_NONE);
  ask(kUsb, ":AY2");
  EXPECT_EQ(orvexsim_legacy_slate_state(kUsb, 5), 0) << "a new slate channel detunes the slates";

  // Serial: the id's low five bits in bits 6..2 of byte 4, the rest in byte
  // 5; the PIN reply is one 32-bit value (id, digit, digit, digit) in groups.
  ASSERT_EQ(orvexsim_legacy_add_slate(kSerial, 37, 0, nullptr), 0);
  EXPECT_EQ(ask(kSerial, ":AR"), std::vector<Bytes>{bytes({0x8A, 0, 0x07, 0, 0x14, 1, 0, 0, 0, 0})});
  EXPECT_EQ(ask(kSerial, ":AP371314"), std::vector<Bytes>{bytes({0x8A, 0x25, 0x07, 0x06, 0x04, 0x20, 0, 0, 0, 0})});
  EXPECT_EQ(orvexsim_legacy_add_slate(kSerial, 64, 0, nullptr), -1);
  EXPECT_EQ(orvexsim_legacy_add_slate(kSerial, 8, 1, "317"), -1);
}

TEST_F(LegacyHubs, EnableRepliesComeFromTunedSwitchedOnHandsetsOnly) {
  const uint32_t id = 0x154321;
  ASSERT_EQ(orvexsim_legacy_add_handset(kUsb, id, 2, 1), 0);
  EXPECT_EQ(idDigits(id), "214315000000");
  EXPECT_EQ(ask(kUsb, ":VI" + idDigits(id)), std::vector<Bytes>{bytes({10, 0x68, 0x21, 0x43, 0x15, 0, 0, 0, 0, 0})});
  EXPECT_TRUE(ask(kUsb, ":VI000000154321").empty()) << "most significant byte first names no handset";
  EXPECT_TRUE(ask(kUsb, ":VI" + idDigits(0x1A2B01)).empty()) << "waiting, not registered";
  EXPECT_TRUE(ask(kUsb, ":VI21431500000").empty()) << "eleven digits";

  ask(kUsb, ":VO");
  EXPECT_EQ(orvexsim_legacy_handset_state(kUsb, id), ORVEXSIM_LEGACY_REGISTERED);
  ask(kUsb, ":VI" + idDigits(id));
  EXPECT_EQ(orvexsim_legacy_handset_state(kUsb, id), ORVEXSIM_LEGACY_REGISTERED | ORVEXSIM_LEGACY_LISTENED);
  ask(kUsb, ":RD" + idDigits(id));
  EXPECT_EQ(orvexsim_legacy_handset_state(kUsb, id), ORVEXSIM_LEGACY_REGISTERED);

  ASSERT_EQ(orvexsim_legacy_set_handset(kUsb, id, 0, 0), 0);
  EXPECT_TRUE(ask(kUsb, ":VI" + idDigits(id)).empty()) << "switched off";
  ASSERT_EQ(orvexsim_legacy_set_handset(kUsb, id, 1, 0), 0);
  ask(kUsb, ":UR05");
  EXPECT_TRUE(ask(kUsb, ":VI" + idDigits(id)).empty()) << "a new board id detunes the handsets";

  ASSERT_EQ(orvexsim_legacy_add_handset(kSerial, id, 2, 1), 0);
  EXPECT_EQ(ask(kSerial, ":VI" + idDigits(id)),
            std::vector<Bytes>{bytes({0x8B, 0x21, 0x68, 0x06, 0x55, 0, 0, 0, 0, 0, 0})});
}

TEST_F(LegacyHubs, KeyPressesRepeatAndReachTheHostOnlyDuringVoting) {
  const uint32_t a = 0x154321, b = 0x154322;
  ASSERT_EQ(orvexsim_legacy_add_handset(kUsb, a, 2, 1), 0);
  ASSERT_EQ(orvexsim_legacy_add_handset(kUsb, b, 2, 1), 0);
  ASSERT_EQ(orvexsim_legacy_set_handset(kUsb, a, 1, 1), 0);
  EXPECT_EQ(orvexsim_legacy_vote(kUsb, a, 4), 1) << "no voting session";

  ask(kUsb, ":VB");
  EXPECT_EQ(orvexsim_legacy_session(kUsb), ORVEXSIM_LEGACY_SESSION_VOTING_VB);
  const Bytes four = bytes({9, 0x65, 0x21, 0x43, 0x15, 0, 1, 0, 0x08});
  EXPECT_EQ(after(kUsb, [&] { EXPECT_EQ(orvexsim_legacy_vote(kUsb, a, 4), 0); }), std::vector<Bytes>(3, four));

  // The whole class (the default hub's waiting handsets are not registered):
  // first copies of all, then second copies.
  ASSERT_EQ(orvexsim_legacy_set_vote_copies(kUsb, 2), 0);
  const auto all = after(kUsb, [] { EXPECT_EQ(orvexsim_legacy_class_vote(kUsb, 6), 2); });
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[0], bytes({9, 0x65, 0x21, 0x43, 0x15, 0, 1, 0, 0x20}));
  EXPECT_EQ(all[1], bytes({9, 0x65, 0x22, 0x43, 0x15, 0, 0, 0, 0x20}));
  EXPECT_EQ(all[2], all[0]);
  EXPECT_EQ(all[3], all[1]);

  // Random keys: one-hot vote bytes, the same again for the same seed.
  auto randomKeys = [&] {
    orvexsim_legacy_seed(kUsb, 7);
    std::vector<int> keys;
    for (int i = 0; i < 20; ++i)
      for (const Bytes &p : after(kUsb, [&] { orvexsim_legacy_vote(kUsb, a, 0); })) keys.push_back(p[8]);
    return keys;
  };
  const auto keys = randomKeys();
  ASSERT_EQ(keys.size(), 40u);
  const std::set<int> oneHot = {1, 2, 4, 8, 16, 32};
  for (int k : keys) EXPECT_TRUE(oneHot.count(k)) << k;
  EXPECT_GT(std::set<int>(keys.begin(), keys.end()).size(), 2u);
  EXPECT_EQ(randomKeys(), keys);

  ask(kUsb, ":VO");
  EXPECT_EQ(orvexsim_legacy_vote(kUsb, a, 1), 1) << "the hub listens to nobody after :VO";
  ask(kUsb, ":VI" + idDigits(a));
  ask(kUsb, ":VE");
  EXPECT_EQ(orvexsim_legacy_vote(kUsb, a, 1), 1) << "voting ended";
  EXPECT_EQ(orvexsim_legacy_vote(kUsb, a, 7), -1);

  ASSERT_EQ(orvexsim_legacy_add_handset(kSerial, a, 2, 1), 0);
  ASSERT_EQ(orvexsim_legacy_set_vote_copies(kSerial, 1), 0);
  ask(kSerial, ":VM");
  EXPECT_EQ(after(kSerial, [&] { orvexsim_legacy_vote(kSerial, a, 1); }),
            std::vector<Bytes>{bytes({0x8A, 0x21, 0x65, 0x06, 0x55, 0, 0, 0, 0, 0x01})});
}

TEST_F(LegacyHubs, PinNamingRepliesCarryThreeDigitsInBothForms) {
  const uint32_t id = 0x154321;
  ASSERT_EQ(orvexsim_legacy_add_handset(kUsb, id, 2, 1), 0);
  ASSERT_EQ(orvexsim_legacy_add_handset(kSerial, id, 2, 1), 0);
  EXPECT_EQ(orvexsim_legacy_pin_naming(kUsb, id, "ABC"), 1) << "no PIN naming session";
  ask(kUsb, ":VZ3");
  ask(kSerial, ":VZ3");
  EXPECT_EQ(orvexsim_legacy_session(kUsb), ORVEXSIM_LEGACY_SESSION_PIN_NAMING);

  auto named = [&](int32_t hub, const char *text) {
    return after(hub, [&] { EXPECT_EQ(orvexsim_legacy_pin_naming(hub, id, text), 0) << text; });
  };
  // USB: E B F = 5 2 6; the first digit's top bit is bit 7 of byte 4.
  EXPECT_EQ(named(kUsb, "EBF"), std::vector<Bytes>{bytes({9, 0x67, 0x21, 0x43, 0x95, 0x56, 0, 0, 0})});
  EXPECT_EQ(named(kUsb, "AB"), std::vector<Bytes>{bytes({9, 0x67, 0x21, 0x43, 0x15, 0x0A, 0, 0, 0})});
  EXPECT_EQ(named(kUsb, " ").at(0)[5], 7) << "a blank is digit 7";
  // Serial: first = bit 2 of byte 5 and bits 3..2 of byte 6, second = bits
  // 1..0 of byte 6 and bit 6 of byte 5, third = bits 5..3 of byte 5.
  EXPECT_EQ(named(kSerial, "EBF"), std::vector<Bytes>{bytes({0x8A, 0x21, 0x67, 0x06, 0x55, 0x34, 0x05, 0, 0, 0})});
  EXPECT_EQ(named(kSerial, "BAD"), std::vector<Bytes>{bytes({0x8A, 0x21, 0x67, 0x06, 0x55, 0x60, 0x08, 0, 0, 0})});
  EXPECT_EQ(orvexsim_legacy_pin_naming(kUsb, id, "G"), -1);
  EXPECT_EQ(orvexsim_legacy_pin_naming(kUsb, id, "ABCD"), -1);
}
