// Replay of recorded traces by the simulated driver, seen through the driver
// contract as the library sees it: the committed example trace (which the
// library-side reader is tested with too), writes as synchronisation points,
// free bytes, refused writes, hubs that arrive and leave, and bad files.

#include "simtest.h"

#include <QtCore/QTemporaryDir>

#include <fstream>

namespace {

using namespace SimTest;

const char *const ExampleTrace = ORVEX_SOURCE_DIR "/docs/trace-example.otrace";

class SimReplay : public SimFixture {
protected:
  static std::string record(int32_t handle) {
    uint8_t info[ORVEX_DEVICE_INFO_SIZE] = {ORVEX_DEVICE_INFO_HEADER};
    for (int i = 0; i < orvexGetDeviceCount(); ++i) {
      info[0] = ORVEX_DEVICE_INFO_HEADER;
      if (orvexEnumDeviceInfo(i, info) != 1 || info[ORVEX_DEVICE_INFO_OFFSET_HANDLE] != handle) continue;
      std::string driver;
      for (int k = ORVEX_DEVICE_INFO_OFFSET_DRIVER_VERSION; info[k]; k += 2) driver.push_back(static_cast<char>(info[k]));
      char uid[16];
      std::snprintf(uid, sizeof uid, "%02x%02x", info[ORVEX_DEVICE_INFO_OFFSET_UID + 1], info[ORVEX_DEVICE_INFO_OFFSET_UID]);
      return "kind " + std::to_string(info[ORVEX_DEVICE_INFO_OFFSET_KIND]) + " uid " + uid + " driver " + driver;
    }
    return "absent";
  }

  int write(int32_t handle, const Bytes &bytes) {
    return orvexWritePacket(handle, bytes.data(), static_cast<int32_t>(bytes.size()));
  }

  std::string traceFile(const std::string &text) {
    const std::string path = dir.filePath(QStringLiteral("t.otrace")).toStdString();
    std::ofstream(path) << text;
    return path;
  }

  OrvexSimReplayStatus status() {
    OrvexSimReplayStatus s;
    EXPECT_EQ(orvexsim_replay_status(&s), 0);
    return s;
  }

  QTemporaryDir dir;
};

TEST_F(SimReplay, PlaysTheExampleTraceInStepWithTheWrites) {
  char error[256] = "";
  ASSERT_EQ(orvexsim_replay_start(ExampleTrace, error, sizeof error), 0) << error;
  // The trace's classroom: hub 5 arrives later.
  EXPECT_EQ(orvexGetDeviceCount(), 2);
  EXPECT_EQ(record(1), "kind 3 uid a8e3 driver 6.2.14.3");
  EXPECT_EQ(record(2), "kind 2 uid 2a19 driver 6.2.14.3");
  EXPECT_EQ(record(5), "absent");
  recorder.attach(1);
  recorder.attach(2);

  // Nothing comes before the library makes the first recorded write.
  ASSERT_EQ(orvexsim_wait_idle(1000), 0);
  EXPECT_EQ(recorder.packetCount(), 0u);
  ASSERT_EQ(write(1, command(":GR06")), 0);
  ASSERT_TRUE(recorder.waitPackets(9));
  EXPECT_EQ(recorder.packets()[0].bytes, bytes({0x0d, 0x67, 0x06, 0xa1, 0x00, 0x01, 0x01, 0x01, 0x06, 0x56, 0x30, 0x31, 0x00}));
  EXPECT_EQ(recorder.packets()[8].bytes, bytes({0x08, 0x50, 0x06, 0xa1, 0x00, 0x07, 0x01, 0x07}));

  // The question's entity id is free: another value matches.
  Bytes question = command(":XP005");
  for (int b : {0x09, 0x01, 0x77, 0x00, 0x1e, 0x01, 0x24, 0x00, 0x00}) question.push_back(static_cast<uint8_t>(b));
  ASSERT_EQ(write(1, question), 0);
  ASSERT_TRUE(recorder.waitPackets(10));
  // Refused in the session, refused again.
  EXPECT_EQ(write(2, command(":VT")), -1);

  ASSERT_TRUE(OrvexTest::waitFor([] { return orvexsim_is_hub_plugged(5) == 1; }));
  EXPECT_EQ(record(5), "kind 3 uid feed driver 6.2.14.3");
  recorder.attach(5);
  ASSERT_EQ(write(5, command(":GR06")), 0);
  ASSERT_EQ(orvexsim_replay_wait(5000), 0);
  EXPECT_EQ(recorder.packets().back().handle, 5);
  EXPECT_EQ(orvexsim_is_hub_plugged(5), 0);

  const OrvexSimReplayStatus s = status();
  EXPECT_EQ(s.active, 0);
  EXPECT_EQ(s.events, 17);
  EXPECT_EQ(s.played, 17);
  EXPECT_EQ(s.writesMatched, 4);
  EXPECT_EQ(s.writesMissed, 0);
  EXPECT_EQ(s.writesUnexpected, 0);
  EXPECT_EQ(s.packetsDelivered, 11);
  EXPECT_EQ(orvexsim_write_count(1), 2);
}

TEST_F(SimReplay, AWriteThatDiffersIsUnexpectedAndTheRecordedOneIsGivenUp) {
  ASSERT_EQ(orvexsim_replay_set_write_wait_ms(500), 0);
  const std::string path = traceFile(
      "orvextrace 1\n"
      "hub 3 kind=3 uid=1\n"
      "1000 write 3 ok 3a 47 4e ~00 0d\n"
      "2000 packet 3 04 32 4f 4b\n"
      "3000 write 3 ok 3a 47 49 0d\n"
      "4000 packet 3 04 32 4f 4b\n"
      "5000 unplug 3\n"
      "6000 write 3 refused 3a 56 45 0d\n");
  ASSERT_EQ(orvexsim_replay_start(path.c_str(), nullptr, 0), 0);
  recorder.attach(3);
  ASSERT_EQ(write(3, bytes({':', 'G', 'N', 0x55, 0x0d})), 0);  // matches: the fourth byte is free
  ASSERT_EQ(write(3, command(":GX")), 0);                        // matches nothing
  // Written to the unplugged hub, as in the session: refused, and matched.
  ASSERT_TRUE(OrvexTest::waitFor([] { return orvexsim_is_hub_plugged(3) == 0; }));
  EXPECT_EQ(write(3, command(":VE")), -1);
  ASSERT_EQ(orvexsim_replay_wait(5000), 0);
  const OrvexSimReplayStatus s = status();
  EXPECT_EQ(s.writesMatched, 2);
  EXPECT_EQ(s.writesUnexpected, 1);
  EXPECT_EQ(s.writesMissed, 1);
  // The replay went on after the missed write.
  EXPECT_EQ(s.packetsDelivered, 2);
  EXPECT_EQ(recorder.packetCount(), 2u);
}

TEST_F(SimReplay, RefusesBadTracesWithTheLineAndKeepsTheClassroom) {
  ASSERT_EQ(orvexsim_use_default_classroom(), 0);
  char error[256] = "";
  EXPECT_EQ(orvexsim_replay_start(traceFile("orvextrace 7\n").c_str(), error, sizeof error), -1);
  EXPECT_STREQ(error, "line 1: trace format version 7 is not supported (this reader knows version 1)");
  EXPECT_EQ(orvexsim_replay_start(traceFile("orvextrace 1\nhub 1 kind=3 uid=1\n\n10 packet 1 0x1\n").c_str(), error,
                                  sizeof error),
            -1);
  EXPECT_STREQ(error, "line 4: bad byte \"0x1\": two hexadecimal digits expected");
  EXPECT_EQ(orvexsim_replay_start(traceFile("orvextrace 1\n10 unplug 4\n").c_str(), error, sizeof error), -1);
  EXPECT_STREQ(error, "line 2: no hub line describes hub 4");
  EXPECT_EQ(orvexsim_replay_start((dir.path().toStdString() + "/missing").c_str(), error, 8), -1);
  EXPECT_STREQ(error, "line 0:");  // cut to the caller's buffer
  EXPECT_EQ(orvexGetDeviceCount(), 2);
  EXPECT_EQ(orvexsim_replay_wait(10), -1);  // no replay
}

}  // namespace
