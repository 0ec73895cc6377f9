// Fault injection and timing of the simulated hubs. Truncated, corrupted
// and cut-off replies are covered through the library in tests/rfhub.
#include "simtest.h"

using namespace SimTest;

namespace {

class Faults : public SimFixture {
protected:
  void SetUp() override {
    SimFixture::SetUp();
    ASSERT_EQ(orvexsim_use_default_classroom(), 0);
    recorder.attach(1);
    recorder.attachPnp();
    ASSERT_EQ(orvexsim_wait_idle(2000), 0);
  }
  std::vector<Bytes> ask(const std::string &text) { return exchange(1, text); }
  const Bytes gi = bytes({0x0B, 0x51, 0, 41, 0x02, 0x00, 1, 4, 4, 64, 0});
};

}  // namespace

TEST_F(Faults, RefusedWritesFailAndAreNotReceived) {
  ASSERT_EQ(orvexsim_set_fault(1, ORVEXSIM_FAULT_REFUSE_WRITES, 2), 0);
  const Bytes cmd = command(":GI");
  EXPECT_EQ(orvexWritePacket(1, cmd.data(), 4), -1);
  EXPECT_EQ(orvexWritePacket(1, cmd.data(), 4), -1);
  EXPECT_EQ(orvexsim_write_count(1), 0);
  EXPECT_EQ(ask(":GI"), std::vector<Bytes>{gi}) << "the count is used up";

  ASSERT_EQ(orvexsim_set_fault(1, ORVEXSIM_FAULT_REFUSE_WRITES, -1), 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(orvexWritePacket(1, cmd.data(), 4), -1);
  ASSERT_EQ(orvexsim_clear_faults(1), 0);
  EXPECT_EQ(orvexWritePacket(1, cmd.data(), 4), 0);
}

TEST_F(Faults, DroppedAndDuplicatedReplies) {
  ASSERT_EQ(orvexsim_set_fault(1, ORVEXSIM_FAULT_DROP_REPLIES, 1), 0);
  EXPECT_TRUE(ask(":GI").empty());
  EXPECT_EQ(ask(":GI"), std::vector<Bytes>{gi});

  ASSERT_EQ(orvexsim_set_fault(1, ORVEXSIM_FAULT_DUPLICATE_REPLIES, 1), 0);
  EXPECT_EQ(ask(":GI"), (std::vector<Bytes>{gi, gi}));
  EXPECT_EQ(ask(":GI"), std::vector<Bytes>{gi});

  // Dropping by packet lets a list lose one record in the middle.
  ASSERT_EQ(orvexsim_set_fault(1, ORVEXSIM_FAULT_DROP_REPLIES, 1), 0);
  const auto slates = ask(":GR07");
  ASSERT_EQ(slates.size(), 4u);
  EXPECT_EQ(be32(slates[0], 2), 0x07C30002u);
  EXPECT_EQ(slates.back(), kOk);
}

TEST_F(Faults, DefaultTimingIsRealistic) {
  ASSERT_EQ(orvexsim_reset(), 0);  // default delays, not the fixture's fast ones
  ASSERT_EQ(orvexsim_use_default_classroom(), 0);
  recorder.attach(1);
  ASSERT_EQ(orvexsim_add_hub(ORVEXSIM_KIND_LEGACY_1, 3, 3, ORVEXSIM_CONNECTION_SERIAL, 900, nullptr), 0);
  ASSERT_EQ(orvexsim_add_board(3, 0, 0, "B", 900), 0);
  recorder.attach(3);
  for (int32_t handle : {1, 3}) {
    recorder.clear();
    const Bytes qt = command(":QT");
    const auto start = Clock::now();
    ASSERT_EQ(orvexWritePacket(handle, qt.data(), 4), 0);
    ASSERT_TRUE(recorder.waitPackets(1));
    const auto elapsed = recorder.packets()[0].at - start;
    EXPECT_GE(elapsed, std::chrono::microseconds(handle == 1 ? 2000 : 8000));
    EXPECT_LT(elapsed, std::chrono::milliseconds(100)) << "well inside the library's 100 ms wait";
  }
  recorder.clear();
  const auto start = Clock::now();
  const auto r = exchange(1, ":CS0D");
  ASSERT_EQ(r, (std::vector<Bytes>{bytes({3, 0xA0, 0}), kOk})) << "a clear restarts the hub";
  EXPECT_GE(recorder.packets()[1].at - start, std::chrono::milliseconds(150));
}

