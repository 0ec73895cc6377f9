// Device messages on the simulated 2.4 GHz and virtual hubs: the
// asynchronous transport in both directions with exact bytes, an enhanced
// question round as a handset runs it, and the virtual hub's name, generic
// messages and PINs.
#include "simtest.h"

using namespace SimTest;

namespace {

constexpr uint32_t kAmelie = 0x09B20001;  // expression handset, address 0x0201
constexpr uint32_t kBen = 0x09B20002;     // expression handset, address 0x0202
constexpr uint32_t kV01 = 0x06A10001;     // voting handset

Bytes withBlock(const std::string &text, const Bytes &block) {
  Bytes b = command(text);
  b.insert(b.end(), block.begin(), block.end());
  return b;
}

Bytes notice(unsigned address, int index) {
  return withBlock(":XP00B", bytes({3, int(address >> 8), int(address & 0xFF), index}));
}

Bytes fragment(int index, int number, int count, const Bytes &data) {
  Bytes block = bytes({int(data.size()) + 4, index, number, count, int(data.size())});
  block.insert(block.end(), data.begin(), data.end());
  return withBlock(":XP00C", block);
}

Bytes request(unsigned address, std::initializer_list<int> data) {
  Bytes b = bytes({0x0C, 0x84, int(address >> 8), int(address & 0xFF)});
  for (int v : data) b.push_back(static_cast<uint8_t>(v));
  b.resize(12, 0);
  return b;
}

class RfMessaging : public SimFixture {
protected:
  void SetUp() override {
    SimFixture::SetUp();
    ASSERT_EQ(orvexsim_set_handset_delay_ms(ORVEXSIM_ALL_HUBS, ORVEXSIM_ALL_HANDSETS, 0, 0), 0);
    ASSERT_EQ(orvexsim_use_default_classroom(), 0);
    recorder.attach(1);
  }
  std::vector<Bytes> write(const Bytes &written, int32_t handle = 1) { return exchangeBytes(handle, written); }
  std::vector<Bytes> acted() {
    EXPECT_EQ(orvexsim_wait_idle(5000), 0);
    std::vector<Bytes> out;
    const auto all = recorder.packets();
    for (size_t i = mark_; i < all.size(); ++i) out.push_back(all[i].bytes);
    mark_ = all.size();
    return out;
  }
  void markNow() { mark_ = recorder.packetCount(); }
  // The host's side of handing one message of at most 49 bytes to Amélie
  // in buffer index: the notice, her data request, the fragment; returns
  // what the hub sent after the fragment.
  std::vector<Bytes> hand(int index, const Bytes &message) {
    EXPECT_EQ(write(notice(0x0201, index)), (std::vector<Bytes>{kOk, bytes({3, 0x85, index})}));
    return write(fragment(index, 1, 1, message));
  }
  OrvexSimEnhancedState state(uint32_t uid) {
    OrvexSimEnhancedState s{};
    EXPECT_EQ(orvexsim_get_enhanced_state(1, uid, &s), 0);
    return s;
  }
  Bytes message(uint32_t uid, int index) {
    Bytes b(4096);
    const int n = orvexsim_get_device_message(1, uid, index, b.data(), static_cast<int>(b.size()));
    b.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return b;
  }
  const Bytes open = withBlock(":XP00A", bytes({0}));
  size_t mark_ = 0;
};

}  // namespace

TEST_F(RfMessaging, RandomEnhancedAnswersHaveTheQuestionsShape) {
  orvexsim_set_handset_answers(1, ORVEXSIM_ALL_HANDSETS, 0);
  orvexsim_set_handset_answers(1, kAmelie, 1);
  ASSERT_EQ(write(open).size(), 2u);
  hand(1, bytes({1, 0, 3, 0, 0, 0}));
  // Multiple choice, six options, up to two answers, digits; Likert of 5;
  // text of at most 4 bytes.
  const auto choice = hand(2, bytes({2, 0, 9, 1, 1, 6 * 32 + 2 * 4 + 0, 0, 0, 1, 0, 0, 'Q'}));
  ASSERT_EQ(choice.size(), 3u);
  const Bytes &answer = choice[1];
  EXPECT_TRUE(answer[5] >= '1' && answer[5] <= '6') << int(answer[5]);
  EXPECT_TRUE(answer[6] == 0 || (answer[6] > answer[5] && answer[6] <= '6'));
  const auto likert = hand(3, bytes({2, 0, 10, 2, 4, 5, 0, 0, 1, 0, 0, 'Q'}));
  ASSERT_EQ(likert.size(), 3u);
  EXPECT_TRUE(likert[1][5] >= 1 && likert[1][5] <= 5);
  EXPECT_EQ(Bytes(likert[1].begin() + 6, likert[1].end()), Bytes(7, 0));
  const auto text = hand(4, bytes({2, 0, 9, 3, 6, 4, 0, 0, 1, 0, 0, 'Q'}));
  ASSERT_EQ(text.size(), 3u);
  EXPECT_NE(text[1][5], 0);
  EXPECT_EQ(text[1][9], 0) << "cut to four bytes";
  EXPECT_EQ(text[2], request(0x0201, {1, 0, 4}));
}

TEST_F(RfMessaging, VirtualHubsAnswerTheirCommandsAndCarryGenericMessages) {
  ASSERT_EQ(orvexsim_add_hub(ORVEXSIM_KIND_VIRTUAL_RF, 7, 0x77, ORVEXSIM_CONNECTION_USB, 0x0301, "p0://h:p2:p3:p4"),
            0);
  ASSERT_EQ(orvexsim_set_hub_name(7, "Room4"), 0);
  ASSERT_EQ(orvexsim_register_device(7, ORVEXSIM_CLASS_EXPRESSION, 0x09000001, 0x0102, "Ana"), 0);
  recorder.attach(7);
  EXPECT_TRUE(write(command(":GL")).empty()) << "a 2.4 GHz hub has no such command";
  EXPECT_TRUE(write(command(":AE001")).empty());
  EXPECT_EQ(write(command(":GL"), 7), std::vector<Bytes>{bytes({5, 0xA3, 'R', 'o', 'o', 'm', '4'})});

  const Bytes abc = withBlock(":AE002", bytes({1, 2, 0, 0, 3, 'A', 'B', 'C'}));
  EXPECT_TRUE(write(abc, 7).empty()) << "no generic session";
  EXPECT_EQ(orvexsim_generic_send(7, 0x09000001, abc.data(), 1), 0);
  EXPECT_EQ(write(command(":AE001"), 7), std::vector<Bytes>{kOk});
  EXPECT_EQ(write(abc, 7), std::vector<Bytes>{kOk}) << "silent by default";
  EXPECT_TRUE(write(withBlock(":AE002", bytes({1, 2, 0, 0, 4, 'A'})), 7).empty()) << "length disagrees";
  ASSERT_EQ(orvexsim_set_generic_reply(7, ORVEXSIM_ALL_HANDSETS, ORVEXSIM_GENERIC_ECHO, nullptr, 0), 0);
  EXPECT_EQ(write(abc, 7), (std::vector<Bytes>{kOk, bytes({0, 0, 0, 3, 0xE1, 1, 2, 'A', 'B', 'C'})}));
  ASSERT_EQ(orvexsim_set_generic_reply(7, 0x09000001, ORVEXSIM_GENERIC_FIXED, bytes({'o', 'k'}).data(), 2), 0);
  EXPECT_EQ(write(abc, 7), (std::vector<Bytes>{kOk, bytes({0, 0, 0, 2, 0xE1, 1, 2, 'o', 'k'})}));
  EXPECT_EQ(orvexsim_device_message_count(7, 0x09000001), 3);
  markNow();
  EXPECT_EQ(orvexsim_generic_send(7, 0x09000001, bytes({'H', 'I'}).data(), 2), 1);
  EXPECT_EQ(acted(), std::vector<Bytes>{bytes({0, 0, 0, 2, 0xE1, 1, 2, 'H', 'I'})});

  // Registration as on a 2.4 GHz hub, with the PIN handed out later.
  EXPECT_EQ(write(command(":VE"), 7), std::vector<Bytes>{kOk});
  ASSERT_EQ(orvexsim_add_waiting_handset(7, ORVEXSIM_CLASS_EXPRESSION, 0x09000002, 0x0103, "Bo", "ABC"), 0);
  EXPECT_EQ(orvexsim_set_waiting_pin(7, 0x09000002, "DEG"), -1);
  ASSERT_EQ(orvexsim_set_waiting_pin(7, 0x09000002, "DEF"), 0);
  EXPECT_EQ(write(withBlock(":XP001", bytes({9, 0x12, 0x34, 2, 3, 'D', 'E', 'F', 0})), 7),
            std::vector<Bytes>{bytes({4, 0x56, 0, 0x20})});
  markNow();
  EXPECT_EQ(orvexsim_register_waiting(7, 0x09000002), 1);
  const auto registered = acted();
  ASSERT_EQ(registered.size(), 1u);
  EXPECT_EQ(registered[0].size(), 23u);
  EXPECT_EQ(be32(registered[0], 2), 0x09000002u);
}
