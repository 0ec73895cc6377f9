// Question sessions and votes on the simulated 2.4 GHz hub: the shape of
// every kind of answer, the radio faults of a long answer, repeatable
// random answers, the end of answering, and key presses.
#include "simtest.h"

using namespace SimTest;

namespace {

constexpr uint32_t kV01 = 0x06A10001;     // voting handset, address 0x0101
constexpr uint32_t kV02 = 0x06A10002;
constexpr uint32_t kAmelie = 0x09B20001;  // expression handset, address 0x0201

// ":XP005" CR and its block: length, 01, entity, 00, time, kind, option,
// 00, text length, text and its zero byte.
Bytes question(int entity, int kind, int option, const std::string &text = "") {
  Bytes b = command(":XP005");
  const int n = text.empty() ? 0 : static_cast<int>(text.size()) + 1;
  b.insert(b.end(), {static_cast<uint8_t>(9 + n), 0x01, static_cast<uint8_t>(entity), 0x00, 0x1E,
                     static_cast<uint8_t>(kind), static_cast<uint8_t>(option), 0x00, static_cast<uint8_t>(n)});
  if (n) {
    b.insert(b.end(), text.begin(), text.end());
    b.push_back(0);
  }
  return b;
}

class RfQuestions : public SimFixture {
protected:
  void SetUp() override {
    SimFixture::SetUp();
    ASSERT_EQ(orvexsim_set_handset_delay_ms(ORVEXSIM_ALL_HUBS, ORVEXSIM_ALL_HANDSETS, 0, 0), 0);
    ASSERT_EQ(orvexsim_use_default_classroom(), 0);
    recorder.attach(1);
  }
  std::vector<Bytes> ask(const Bytes &written) { return exchangeBytes(1, written); }
  std::vector<Bytes> ask(const std::string &text) { return exchange(1, text); }
  // Only V01 and Amélie answer, with these answers.
  void onlyTwo(const char *v01, const char *amelie) {
    orvexsim_set_handset_answers(1, ORVEXSIM_ALL_HANDSETS, 0);
    orvexsim_set_handset_answers(1, kV01, 1);
    orvexsim_set_handset_answers(1, kAmelie, 1);
    orvexsim_set_handset_answer(1, kV01, v01);
    orvexsim_set_handset_answer(1, kAmelie, amelie);
  }
  // Writes a start without waiting for anything.
  void start(int entity, int kind) {
    const Bytes b = question(entity, kind, 0);
    ASSERT_EQ(orvexWritePacket(1, b.data(), static_cast<int32_t>(b.size())), 0);
  }
  std::vector<Bytes> acted() {
    EXPECT_EQ(orvexsim_wait_idle(5000), 0);
    std::vector<Bytes> out;
    const auto all = recorder.packets();
    for (size_t i = mark_; i < all.size(); ++i) out.push_back(all[i].bytes);
    mark_ = all.size();
    return out;
  }
  void markNow() { mark_ = recorder.packetCount(); }

  size_t mark_ = 0;
};

}  // namespace

TEST_F(RfQuestions, RandomAnswersAreValidAndRepeatWithTheSeed) {
  std::vector<Bytes> runs[2];
  for (auto &run : runs) {
    ASSERT_EQ(orvexsim_seed_handsets(1, 7), 0);
    run = ask(question(9, 1, 6 * 32 + 2 * 4));  // six options, up to two responses
    ask(":VE");
  }
  ASSERT_EQ(runs[0].size(), 40u) << "32 voting and 8 expression handsets";
  EXPECT_EQ(runs[0], runs[1]);
  bool someChoseTwo = false;
  for (const Bytes &a : runs[0]) {
    ASSERT_TRUE(a[6] >= 'A' && a[6] <= 'F');
    ASSERT_TRUE(a[7] == 0xFF || (a[7] > a[6] && a[7] <= 'F'));
    someChoseTwo |= a[7] != 0xFF;
    EXPECT_EQ(Bytes(a.begin() + 8, a.end()), Bytes(4, 0xFF));
  }
  EXPECT_TRUE(someChoseTwo);
  ASSERT_EQ(orvexsim_seed_handsets(1, 8), 0);
  EXPECT_NE(ask(question(9, 1, 6 * 32 + 2 * 4)), runs[0]);
}

TEST_F(RfQuestions, AnsweringStopsWhenTheSessionEnds) {
  orvexsim_set_handset_delay_ms(1, ORVEXSIM_ALL_HANDSETS, 30, 30);
  EXPECT_EQ(ask(question(1, 2, 0)).size(), 40u);
  // Written at once, ":VE" ends the session before anyone answers.
  start(2, 2);
  EXPECT_EQ(ask(":VE"), std::vector<Bytes>{kOk});

  // ... unless a handset answers late.
  orvexsim_set_handset_fault(1, kV02, ORVEXSIM_HANDSET_FAULT_LATE);
  const auto begun = Clock::now();
  start(3, 2);
  const auto late = ask(":VE");
  ASSERT_EQ(late.size(), 2u);
  EXPECT_EQ(late[0], kOk);
  EXPECT_EQ(be16(late[1], 2), 0x0102u);
  EXPECT_GE(recorder.packets().back().at - begun, std::chrono::milliseconds(30)) << "its delay";
  orvexsim_set_handset_fault(1, kV02, ORVEXSIM_HANDSET_FAULT_NONE);

  // A second start, a reset and an unplug end the answering as well.
  start(4, 2);
  const auto second = ask(question(5, 3, 0));
  ASSERT_EQ(second.size(), 40u);
  for (const Bytes &a : second) EXPECT_EQ(a[4], 5);
  markNow();
  start(6, 2);
  ASSERT_EQ(orvexsim_reset_hub(1), 0);
  EXPECT_EQ(acted(), std::vector<Bytes>{bytes({3, 0xA0, 0})});
  start(7, 2);
  ASSERT_EQ(orvexsim_unplug_hub(1), 0);
  ASSERT_EQ(orvexsim_plug_hub(1), 0);
  EXPECT_TRUE(acted().empty());
}
