// Helpers of the simulated driver's tests: a fixture that resets the
// simulator, a recorder for the driver's callbacks, and command exchanges.
#ifndef ORVEX_TESTS_SIM_SIMTEST_H
#define ORVEX_TESTS_SIM_SIMTEST_H

#include "support/wait.h"

#include <gtest/gtest.h>

#include <orvexsim.h>
#include <orvexsystem/orvexboardex.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace SimTest {

using OrvexTest::Gate;

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

inline Bytes bytes(std::initializer_list<int> values) {
  Bytes out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

inline Bytes command(const std::string &text) {
  Bytes out(text.begin(), text.end());
  out.push_back(0x0D);
  return out;
}

inline const Bytes kOk = {0x04, 0x32, 0x4F, 0x4B};

// Records every packet and plug-and-play callback with the thread it ran on.
class Recorder {
public:
  struct Packet {
    int32_t handle;
    Bytes bytes;
    std::thread::id thread;
    Clock::time_point at;
  };

  static void onPacket(int32_t handle, const uint8_t *data, uint32_t length, void *context) {
    auto *self = static_cast<Recorder *>(context);
    std::lock_guard<std::mutex> lock(self->mu_);
    self->packets_.push_back(Packet{handle, Bytes(data, data + length), std::this_thread::get_id(), Clock::now()});
    self->cv_.notify_all();
  }

  static void onPnp(void *context) {
    auto *self = static_cast<Recorder *>(context);
    std::lock_guard<std::mutex> lock(self->mu_);
    self->pnpThreads_.push_back(std::this_thread::get_id());
    self->cv_.notify_all();
  }

  void attach(int32_t handle) { ASSERT_EQ(orvexSetCallback(handle, &Recorder::onPacket, this), 0); }
  void attachPnp() { ASSERT_EQ(orvexSetPnpCallback(&Recorder::onPnp, this), 0); }

  bool waitPackets(size_t count, int timeoutMs = 3000) {
    std::unique_lock<std::mutex> lock(mu_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return packets_.size() >= count; });
  }

  bool waitPnp(size_t count, int timeoutMs = 3000) {
    std::unique_lock<std::mutex> lock(mu_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return pnpThreads_.size() >= count; });
  }

  std::vector<Packet> packets() {
    std::lock_guard<std::mutex> lock(mu_);
    return packets_;
  }

  size_t packetCount() {
    std::lock_guard<std::mutex> lock(mu_);
    return packets_.size();
  }

  std::vector<std::thread::id> pnpThreads() {
    std::lock_guard<std::mutex> lock(mu_);
    return pnpThreads_;
  }

  void clear() {
    std::lock_guard<std::mutex> lock(mu_);
    packets_.clear();
  }

private:
  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<Packet> packets_;
  std::vector<std::thread::id> pnpThreads_;
};

// Every test starts from and leaves an unconfigured simulator with fast
// replies, so that no callback reaches a recorder of an earlier test.
class SimFixture : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(orvexsim_reset(), 0);
    orvexsim_set_reply_delay_us(ORVEXSIM_ALL_HUBS, 300);
    orvexsim_set_flash_delay_us(ORVEXSIM_ALL_HUBS, 2000);
    orvexsim_set_packet_gap_us(ORVEXSIM_ALL_HUBS, 0);
  }
  void TearDown() override { orvexsim_reset(); }

  // Writes a command (text and CR) and returns the packets that follow it
  // once the simulator is idle again.
  std::vector<Bytes> exchange(int32_t handle, const std::string &text) {
    const size_t before = recorder.packetCount();
    const Bytes cmd = command(text);
    EXPECT_NE(orvexWritePacket(handle, cmd.data(), static_cast<int32_t>(cmd.size())), -1) << text;
    EXPECT_EQ(orvexsim_wait_idle(5000), 0);
    std::vector<Bytes> out;
    const auto all = recorder.packets();
    for (size_t i = before; i < all.size(); ++i)
      if (all[i].handle == handle) out.push_back(all[i].bytes);
    return out;
  }

  // Writes raw bytes (a command with its block) and returns the packets of
  // the hub that follow once the simulator is idle. Each came on the
  // delivery thread, no sooner than the reply delay of 300 us after the
  // write began.
  std::vector<Bytes> exchangeBytes(int32_t handle, const Bytes &written) {
    const size_t before = recorder.packetCount();
    const auto start = Clock::now();
    EXPECT_EQ(orvexWritePacket(handle, written.data(), static_cast<int32_t>(written.size())), 0);
    EXPECT_EQ(orvexsim_wait_idle(5000), 0);
    std::vector<Bytes> out;
    const auto all = recorder.packets();
    for (size_t i = before; i < all.size(); ++i) {
      if (all[i].handle != handle) continue;
      EXPECT_NE(all[i].thread, std::this_thread::get_id());
      EXPECT_GE(all[i].at - start, std::chrono::microseconds(300));
      out.push_back(all[i].bytes);
    }
    return out;
  }

  Recorder recorder;
};

inline uint32_t be32(const Bytes &b, size_t at) {
  return static_cast<uint32_t>(b[at]) << 24 | static_cast<uint32_t>(b[at + 1]) << 16 |
         static_cast<uint32_t>(b[at + 2]) << 8 | b[at + 3];
}
inline unsigned be16(const Bytes &b, size_t at) { return static_cast<unsigned>(b[at]) << 8 | b[at + 1]; }
inline unsigned le16(const Bytes &b, size_t at) { return b[at] | static_cast<unsigned>(b[at + 1]) << 8; }

// A zero-terminated text field.
inline std::string field(const Bytes &b, size_t at, size_t width) {
  std::string s;
  for (size_t i = at; i < at + width && b[i]; ++i) s.push_back(static_cast<char>(b[i]));
  return s;
}

}  // namespace SimTest

#endif
