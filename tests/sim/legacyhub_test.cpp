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
