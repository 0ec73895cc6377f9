// The simulated driver seen through the driver contract: device records,
// hub arrival and departure, the delivery thread and the callback rules,
// the pass-through functions and the driver lock.
#include "simtest.h"

#include <atomic>

using namespace SimTest;

namespace {

struct Record {
  Bytes raw = Bytes(ORVEX_DEVICE_INFO_SIZE, 0xEE);
  int ok = 0;

  int32_t i32(size_t at) const {
    return static_cast<int32_t>(raw[at] | raw[at + 1] << 8 | raw[at + 2] << 16 | static_cast<uint32_t>(raw[at + 3]) << 24);
  }
  uint64_t uid() const {
    return static_cast<uint32_t>(i32(ORVEX_DEVICE_INFO_OFFSET_UID)) |
           static_cast<uint64_t>(static_cast<uint32_t>(i32(ORVEX_DEVICE_INFO_OFFSET_UID + 4))) << 32;
  }
  // UTF-16LE units up to the NUL; -1 in front when no NUL before end.
  std::u16string text(size_t at, size_t end) const {
    std::u16string s;
    for (size_t i = at; i + 1 < end; i += 2) {
      const char16_t unit = static_cast<char16_t>(raw[i] | raw[i + 1] << 8);
      if (!unit) return s;
      s.push_back(unit);
    }
    return u"<unterminated>";
  }
};

Record enumRecord(int index) {
  Record r;
  r.raw[0] = ORVEX_DEVICE_INFO_HEADER;
  r.raw[1] = r.raw[2] = r.raw[3] = 0;
  r.ok = orvexEnumDeviceInfo(index, r.raw.data()) & 0xFF;
  return r;
}

}  // namespace

class DeviceRecords : public SimFixture {};

TEST_F(DeviceRecords, ConfiguredClassroomReplacesTheDefault) {
  ASSERT_EQ(orvexsim_add_hub(ORVEXSIM_KIND_LEGACY_1, 7, 0x1122334455667788ULL, ORVEXSIM_CONNECTION_SERIAL, 700,
                             nullptr),
            0);
  ASSERT_EQ(orvexGetDeviceCount(), 1);
  const Record r = enumRecord(0);
  EXPECT_EQ(r.i32(ORVEX_DEVICE_INFO_OFFSET_KIND), 1);
  EXPECT_EQ(r.i32(ORVEX_DEVICE_INFO_OFFSET_CONNECTION), 1);
  EXPECT_EQ(r.i32(ORVEX_DEVICE_INFO_OFFSET_HANDLE), 7);
  EXPECT_EQ(r.uid(), 0x1122334455667788ULL) << "64-bit uid, low word first";
  EXPECT_EQ(r.raw[24], 0x88);

  ASSERT_EQ(orvexsim_use_empty_classroom(), 0);
  EXPECT_EQ(orvexGetDeviceCount(), 0);
  EXPECT_EQ(enumRecord(0).ok, 0);
}

TEST_F(DeviceRecords, TextsAreUtf16AndAlwaysTerminatedWithinTheirField) {
  ASSERT_EQ(orvexsim_add_hub(4, 9, 1, 0, 1, "hrs://room:1:2:3 \xC3\xA9 \xF0\x9D\x84\x9E"), 0);
  Record r = enumRecord(0);
  ASSERT_NE(r.ok, 0);
  EXPECT_EQ(r.text(ORVEX_DEVICE_INFO_OFFSET_DESCRIPTION, ORVEX_DEVICE_INFO_OFFSET_DRIVER_VERSION),
            u"hrs://room:1:2:3 \u00E9 \U0001D11E");

  // Over-long texts are cut, never spill into the next field.
  ASSERT_EQ(orvexsim_use_empty_classroom(), 0);
  ASSERT_EQ(orvexsim_add_hub(4, 9, 1, 0, 1, std::string(400, 'd').c_str()), 0);
  ASSERT_EQ(orvexsim_set_driver_version("1.2.3.4.5.6.7.8.9.10.11"), 0);
  r = enumRecord(0);
  EXPECT_EQ(r.text(ORVEX_DEVICE_INFO_OFFSET_DESCRIPTION, ORVEX_DEVICE_INFO_OFFSET_DRIVER_VERSION),
            std::u16string(261, u'd'));
  EXPECT_EQ(r.text(ORVEX_DEVICE_INFO_OFFSET_DRIVER_VERSION, ORVEX_DEVICE_INFO_SIZE), u"1.2.3.4.5.6.7.8.9.1");
}

TEST_F(DeviceRecords, RefusedWithoutTheHeaderOutOfRangeOrWhenSetToFail) {
  orvexsim_use_default_classroom();
  Bytes raw(ORVEX_DEVICE_INFO_SIZE, 0xEE);
  raw[0] = 9;
  raw[1] = raw[2] = raw[3] = 0;
  EXPECT_EQ(orvexEnumDeviceInfo(0, raw.data()), 0);
  EXPECT_EQ(raw[4], 0xEE) << "a refused record is left alone";
  EXPECT_EQ(orvexEnumDeviceInfo(0, nullptr), 0);
  EXPECT_EQ(enumRecord(2).ok, 0);
  EXPECT_EQ(enumRecord(-1).ok, 0);

  ASSERT_EQ(orvexsim_set_enum_fails(1, 1), 0);
  EXPECT_EQ(enumRecord(0).ok, 0);
  EXPECT_NE(enumRecord(1).ok, 0);
}

class PlugAndPlay : public SimFixture {};

// The library's end-to-end tests see hubs leave and return; these are the
// details they do not reach.
TEST_F(PlugAndPlay, UnplugAndPlugKeepTheOrderAndNotifyOnTheDeliveryThread) {
  orvexsim_use_default_classroom();
  ASSERT_TRUE(orvexsim_wait_idle(2000) == 0);
  recorder.attachPnp();
  ASSERT_EQ(orvexsim_unplug_hub(1), 0);
  EXPECT_EQ(orvexsim_unplug_hub(1), -1) << "already unplugged";
  const Bytes gi = command(":GI");
  EXPECT_EQ(orvexWritePacket(1, gi.data(), 4), -1);
  ASSERT_TRUE(recorder.waitPnp(1));
  EXPECT_NE(recorder.pnpThreads()[0], std::this_thread::get_id());
  ASSERT_EQ(orvexsim_plug_hub(1), 0);
  ASSERT_TRUE(recorder.waitPnp(2));
  EXPECT_EQ(enumRecord(0).i32(ORVEX_DEVICE_INFO_OFFSET_HANDLE), 1) << "order of the list is kept";
}

class Delivery : public SimFixture {};

TEST_F(Delivery, RepliesComeOnTheDriversThreadAfterTheWriteReturned) {
  orvexsim_set_reply_delay_us(ORVEXSIM_ALL_HUBS, 3000);
  orvexsim_use_default_classroom();
  recorder.attach(1);
  const Bytes gi = command(":GI");
  const auto start = Clock::now();
  ASSERT_EQ(orvexWritePacket(1, gi.data(), static_cast<int32_t>(gi.size())), 0);
  const auto returned = Clock::now();
  EXPECT_EQ(recorder.packetCount(), 0u) << "nothing is delivered from inside the write";
  ASSERT_TRUE(recorder.waitPackets(1));
  const auto packet = recorder.packets()[0];
  EXPECT_NE(packet.thread, std::this_thread::get_id());
  EXPECT_GE(packet.at, returned);
  EXPECT_GE(packet.at - start, std::chrono::microseconds(3000));
  EXPECT_EQ(orvexsim_write_count(1), 1);
}

TEST_F(Delivery, PacketsOfOneHubKeepTheirOrder) {
  orvexsim_use_default_classroom();
  recorder.attach(1);
  recorder.attach(2);
  // A reply scheduled later than injected packets still keeps write order
  // with the packets injected after it.
  const Bytes gi = command(":GI");
  ASSERT_EQ(orvexWritePacket(1, gi.data(), 4), 0);
  for (int i = 0; i < 200; ++i) {
    const Bytes p = bytes({4, 0x99, i & 0xFF, i >> 8});
    ASSERT_EQ(orvexsim_inject_packet(1 + (i % 2), p.data(), 4), 0);
  }
  ASSERT_EQ(orvexsim_wait_idle(5000), 0);
  const auto packets = recorder.packets();
  ASSERT_EQ(packets.size(), 201u);
  int last[3] = {-1, -1, -1};
  bool replySeen = false;
  for (const auto &p : packets) {
    if (p.bytes[1] == 0x51) {
      replySeen = true;
      EXPECT_EQ(last[1], -1) << "the reply was scheduled before every injected packet";
      continue;
    }
    const int n = p.bytes[2] | p.bytes[3] << 8;
    EXPECT_GT(n, last[p.handle]);
    EXPECT_EQ(n % 2 + 1, p.handle);
    last[p.handle] = n;
  }
  EXPECT_TRUE(replySeen);
}

TEST_F(Delivery, PrefixedPacketsCarryTheDriversThreeBytes) {
  orvexsim_use_default_classroom();
  recorder.attach(1);
  ASSERT_EQ(orvexsim_set_prefix_packets(1, 1), 0);
  const auto replies = exchange(1, ":GD06");
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0], bytes({7, 0x41, 0, 4, 0x53, 0, 32}));
}

TEST_F(Delivery, CallbackMayCallTheDriver) {
  orvexsim_use_default_classroom();
  // Static: a failed assertion must not leave the callback pointing at a
  // dead stack frame.
  static struct Context {
    Recorder *recorder;
    std::atomic<int> writes{0};
  } context;
  context.recorder = &recorder;
  context.writes = 0;
  // On the first packet, the callback writes a command whose reply it then
  // receives as well.
  auto callback = [](int32_t handle, const uint8_t *data, uint32_t length, void *ctx) {
    auto *c = static_cast<Context *>(ctx);
    Recorder::onPacket(handle, data, length, c->recorder);
    if (c->writes++ == 0) {
      const Bytes gd = command(":GD07");
      orvexWritePacket(handle, gd.data(), static_cast<int32_t>(gd.size()));
    }
  };
  ASSERT_EQ(orvexSetCallback(1, callback, &context), 0);
  const Bytes p = bytes({2, 0x99});
  ASSERT_EQ(orvexsim_inject_packet(1, p.data(), 2), 0);
  ASSERT_TRUE(recorder.waitPackets(2));
  EXPECT_EQ(recorder.packets()[1].bytes, bytes({4, 0x53, 0, 4}));
  // The callback may still be running: clearing it waits, so that the
  // context can go.
  orvexClearCallback(1, callback, &context);
}

class ClearCallback : public SimFixture {};

TEST_F(ClearCallback, WaitsForTheCallbackInProgressAndStopsFurtherCalls) {
  orvexsim_use_default_classroom();
  struct Context : Gate {
    std::atomic<bool> cleared{false};
    std::atomic<int> calls{0};
    std::atomic<int> callsAfterClear{0};
  } gate;
  auto callback = [](int32_t, const uint8_t *, uint32_t, void *ctx) {
    auto *g = static_cast<Context *>(ctx);
    if (g->cleared) ++g->callsAfterClear;
    if (g->calls++ == 0) g->block();
  };
  ASSERT_EQ(orvexSetCallback(1, callback, &gate), 0);
  const Bytes p = bytes({2, 0x99});
  for (int i = 0; i < 5; ++i) ASSERT_EQ(orvexsim_inject_packet(1, p.data(), 2), 0);
  ASSERT_TRUE(gate.waitEntered());

  std::thread clearer([&] {
    orvexClearCallback(1, callback, &gate);
    gate.cleared = true;
  });
  ASSERT_EQ(orvexsim_wait_for_call_count("orvexClearCallback", 1, 1, 3000), 0);
  // Proving a negative: the clear has been entered but must not return
  // while the callback is still running.
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(gate.cleared);
  gate.open();
  clearer.join();
  EXPECT_TRUE(gate.cleared);
  for (int i = 0; i < 5; ++i) orvexsim_inject_packet(1, p.data(), 2);
  ASSERT_EQ(orvexsim_wait_idle(3000), 0);
  EXPECT_EQ(gate.callsAfterClear, 0);
  EXPECT_EQ(gate.calls, 1);
}

TEST_F(ClearCallback, FromInsideTheCallbackDoesNotDeadlock) {
  orvexsim_use_default_classroom();
  static std::atomic<int> calls;
  calls = 0;
  struct Self {
    static void callback(int32_t handle, const uint8_t *, uint32_t, void *ctx) {
      ++calls;
      orvexClearCallback(handle, &Self::callback, ctx);
    }
  };
  ASSERT_EQ(orvexSetCallback(1, &Self::callback, nullptr), 0);
  const Bytes p = bytes({2, 0x99});
  for (int i = 0; i < 3; ++i) ASSERT_EQ(orvexsim_inject_packet(1, p.data(), 2), 0);
  ASSERT_EQ(orvexsim_wait_idle(3000), 0);
  EXPECT_EQ(calls, 1);
}

TEST_F(ClearCallback, PlugAndPlayRegistrationIsClearedWithHandleZero) {
  orvexsim_use_default_classroom();
  ASSERT_EQ(orvexsim_wait_idle(2000), 0);
  struct Context : Gate {
    std::atomic<int> calls{0};
  } gate;
  auto pnp = [](void *ctx) {
    auto *g = static_cast<Context *>(ctx);
    ++g->calls;
    g->block();
  };
  ASSERT_EQ(orvexSetPnpCallback(pnp, &gate), 0);
  ASSERT_EQ(orvexsim_notify_pnp(), 0);
  ASSERT_TRUE(gate.waitEntered());
  std::atomic<bool> cleared{false};
  std::thread clearer([&] {
    // The contract passes the plug-and-play callback in the packet slot.
    EXPECT_EQ(orvexClearCallback(0, reinterpret_cast<OrvexPacketCallback>(reinterpret_cast<void (*)()>(+pnp)), &gate),
              1);
    cleared = true;
  });
  ASSERT_EQ(orvexsim_wait_for_call_count("orvexClearCallback", 0, 1, 3000), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(cleared);
  gate.open();
  clearer.join();
  orvexsim_notify_pnp();
  ASSERT_EQ(orvexsim_wait_idle(3000), 0);
  EXPECT_EQ(gate.calls, 1);
}

class PassThrough : public SimFixture {};

TEST_F(PassThrough, SettingsAreRecordedAndEchoedUnlessAnAnswerIsFixed) {
  orvexsim_use_default_classroom();
  int32_t v = 0;
  EXPECT_EQ(orvexsim_get_setting(2, ORVEXSIM_SETTING_XFER_MASK, 0, &v), -1);
  orvexSetXferMask(2, 0xFF);
  ASSERT_EQ(orvexsim_get_setting(2, ORVEXSIM_SETTING_XFER_MASK, 0, &v), 0);
  EXPECT_EQ(v, 0xFF);
  EXPECT_EQ(orvexsim_call_count("orvexSetXferMask", 2), 1);
  EXPECT_EQ(orvexsim_call_count("orvexSetXferMask", 1), 0);

  // Per pen: each pen keeps its own mode.
  orvexSetPointingDeviceDestination(1, 1, 0, 2);
  orvexSetPointingDeviceDestinationEx(1, 3, 1, 1, 1);
  EXPECT_EQ(orvexGetPointingDeviceDestination(1, 1, 0), 2);
  EXPECT_EQ(orvexGetPointingDeviceDestination(1, 2, 0), 0);
  EXPECT_EQ(orvexGetPointingDeviceDestination(1, 3, 0), 1);

  // Defaults, echo, fixed answers.
  EXPECT_EQ(orvexGetTouchSystemRedirectionEnabled(1), 1);
  EXPECT_EQ(orvexGetLATEDetection(1), 0);
  orvexSetLATEDetection(1, 1);
  EXPECT_EQ(orvexGetLATEDetection(1), 1);
  ASSERT_EQ(orvexsim_set_answer(1, ORVEXSIM_SETTING_TOUCH_REDIRECTION, 2), 0);
  orvexSetTouchSystemRedirectionEnabled(1, 1);
  EXPECT_EQ(orvexGetTouchSystemRedirectionEnabled(1), 2);
  ASSERT_EQ(orvexsim_get_setting(1, ORVEXSIM_SETTING_TOUCH_REDIRECTION, 0, &v), 0);
  EXPECT_EQ(v, 1) << "the value set is still recorded";
  ASSERT_EQ(orvexsim_clear_answer(1, ORVEXSIM_SETTING_TOUCH_REDIRECTION), 0);
  EXPECT_EQ(orvexGetTouchSystemRedirectionEnabled(1), 1);
  ASSERT_EQ(orvexsim_set_answer(1, ORVEXSIM_SETTING_SOMETHING_ON_BOARD, 1), 0);
  EXPECT_EQ(orvexIsSomethingOnBoard(1), 1);
  EXPECT_EQ(orvexIsSomethingOnBoard(2), 0);
}

TEST_F(PassThrough, WritesOfAnyLengthAreRecordedAndBadOnesRefused) {
  orvexsim_use_default_classroom();
  const uint8_t none = 0;
  EXPECT_EQ(orvexWritePacket(1, &none, 0), 0) << "an empty write succeeds";
  EXPECT_EQ(orvexWritePacket(1, nullptr, 3), -1);
  EXPECT_EQ(orvexWritePacket(1, &none, -1), -1);
  EXPECT_EQ(orvexWritePacket(99, &none, 1), -1) << "no such hub";
  EXPECT_EQ(orvexsim_write_count(1), 1);
  uint8_t buf[4];
  EXPECT_EQ(orvexsim_get_write(1, 0, buf, 4), 0);
  EXPECT_EQ(orvexsim_get_write(1, 1, buf, 4), -1);
}

TEST_F(PassThrough, VersionNumberIsPackedFromTheText) {
  EXPECT_EQ(orvexLibraryVersionNumber(0, 0, 0, 0), 0x06020E03);
  orvexsim_set_driver_version("7.1");
  EXPECT_EQ(orvexLibraryVersionNumber(0, 0, 0, 0), 0x07010000);
}

TEST_F(PassThrough, DriverLockExcludesOtherThreadsAndIsReentrant) {
  ASSERT_EQ(orvexLock(), 0);
  ASSERT_EQ(orvexLock(), 0);
  std::atomic<bool> taken{false};
  std::thread other([&] {
    EXPECT_EQ(orvexUnlock(), -1) << "only the owner unlocks";
    orvexLock();
    taken = true;
    orvexUnlock();
  });
  ASSERT_EQ(orvexsim_wait_for_call_count("orvexLock", 0, 3, 3000), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(taken);
  EXPECT_EQ(orvexUnlock(), 0);
  EXPECT_EQ(orvexsim_driver_lock_held(), 1);
  EXPECT_EQ(orvexUnlock(), 0);
  other.join();
  EXPECT_TRUE(taken);
  EXPECT_EQ(orvexsim_driver_lock_held(), 0);
  EXPECT_EQ(orvexsim_call_count("orvexUnlock", 0), 4);
}
