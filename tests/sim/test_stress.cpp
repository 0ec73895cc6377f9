// Every entry of the simulator used from several threads at once: meant to
// run under ThreadSanitizer as well.
#include "simtest.h"

#include <atomic>

using namespace SimTest;

class Stress : public SimFixture {};

TEST_F(Stress, TrafficPlugAndPlayAndCallbackChangesTogether) {
  orvexsim_set_flash_delay_us(ORVEXSIM_ALL_HUBS, 500);
  orvexsim_use_default_classroom();
  std::atomic<bool> stop{false};
  std::atomic<int> pnpCalls{0};
  std::atomic<int> packets{0};
  struct Context {
    std::atomic<int> *packets;
  } context{&packets};
  auto onPacket = [](int32_t handle, const uint8_t *, uint32_t, void *ctx) {
    ++*static_cast<Context *>(ctx)->packets;
    // Driver calls from the delivery thread are allowed.
    orvexGetTouchSystemRedirectionEnabled(handle);
    orvexsim_write_count(handle);
  };
  auto onPnp = [](void *ctx) {
    ++*static_cast<std::atomic<int> *>(ctx);
    orvexAttach();
    const int n = orvexGetDeviceCount();
    uint8_t record[ORVEX_DEVICE_INFO_SIZE] = {ORVEX_DEVICE_INFO_HEADER};
    for (int i = 0; i < n; ++i) {
      record[0] = ORVEX_DEVICE_INFO_HEADER;
      orvexEnumDeviceInfo(i, record);
    }
  };
  ASSERT_EQ(orvexSetPnpCallback(onPnp, &pnpCalls), 0);

  std::vector<std::thread> threads;
  threads.emplace_back([&] {  // host commands
    const char *commands[] = {":GI", ":GN", ":GD06", ":GR07", ":QT", ":CS0D", ":PN11"};
    for (int i = 0; !stop; ++i) {
      const Bytes c = command(commands[i % 7]);
      orvexWritePacket(1 + i % 2, c.data(), static_cast<int32_t>(c.size()));
      if (i % 50 == 0) orvexsim_register_device(1, ORVEXSIM_CLASS_PEN_EXPRESSION, 0x0D000000u + i, 1, "P");
    }
  });
  threads.emplace_back([&] {  // hub traffic
    const Bytes p = bytes({3, 0x99, 0});
    for (int i = 0; !stop; ++i) {
      orvexsim_inject_packet(2, p.data(), 3);
      orvexsim_inject_pen(1, 1, i & 0xFFFF, 5, i & 1, 0, 1);
      if (i % 20 == 0) orvexsim_set_hub_busy(1, i % 40 == 0);
      if (i % 100 == 0) orvexsim_start_pen_stream(2, 1, 20000, 50);
    }
  });
  threads.emplace_back([&] {  // hubs coming and going
    for (int i = 0; !stop; ++i) {
      orvexsim_unplug_hub(2);
      std::this_thread::yield();
      orvexsim_plug_hub(2);
      if (i % 10 == 0) orvexsim_set_fault(1, ORVEXSIM_FAULT_DROP_REPLIES, 1);
    }
  });
  threads.emplace_back([&] {  // callbacks registered and removed
    while (!stop) {
      orvexSetCallback(1, onPacket, &context);
      orvexSetCallback(2, onPacket, &context);
      orvexClearCallback(2, onPacket, &context);
      orvexLock();
      orvexsim_write_count(1);
      orvexUnlock();
    }
  });

  const auto until = Clock::now() + std::chrono::milliseconds(300);
  while (Clock::now() < until && (packets < 200 || pnpCalls < 20)) std::this_thread::yield();
  stop = true;
  for (auto &t : threads) t.join();
  orvexClearCallback(1, onPacket, &context);
  orvexClearCallback(0, reinterpret_cast<OrvexPacketCallback>(reinterpret_cast<void (*)()>(+onPnp)), &pnpCalls);
  EXPECT_GT(packets.load(), 0);
  EXPECT_GT(pnpCalls.load(), 0);
  ASSERT_EQ(orvexsim_reset(), 0);
}

TEST_F(Stress, ResetStopsAnEndlessStreamAndTheThreadRestartsWhenNeeded) {
  orvexsim_use_default_classroom();
  recorder.attach(1);
  ASSERT_EQ(orvexsim_start_pen_stream(1, 1, 20000, 0), 0);
  ASSERT_TRUE(recorder.waitPackets(10));
  ASSERT_EQ(orvexsim_reset(), 0);
  const size_t count = recorder.packetCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(10));  // proving a negative
  EXPECT_EQ(recorder.packetCount(), count);

  orvexsim_use_default_classroom();
  recorder.attach(1);
  const Bytes p = bytes({2, 0x99});
  ASSERT_EQ(orvexsim_inject_packet(1, p.data(), 2), 0);
  EXPECT_TRUE(recorder.waitPackets(count + 1));
}
