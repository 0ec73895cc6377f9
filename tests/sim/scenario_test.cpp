// Scenario files: the committed example classroom, the learners it
// describes, errors with their line, and ORVEXSIM_SCENARIO at the
// simulator's start (in a process of its own).

#include "simtest.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QProcess>

#include <set>

namespace {

using namespace SimTest;

const char *const Example = ORVEX_SOURCE_DIR "/sim/scenarios/classroom.scn";

std::string nameOf(int32_t hub, uint32_t uid) {
  char name[32] = "";
  orvexsim_get_device_name(hub, uid, name, sizeof name);
  return name;
}

std::string loadError(const std::string &text) {
  char error[256] = "";
  EXPECT_EQ(orvexsim_load_scenario_text(text.c_str(), error, sizeof error), -1) << text;
  EXPECT_EQ(orvexGetDeviceCount(), 0) << "a failed scenario leaves the classroom empty";
  return error;
}

class Scenario : public SimFixture {};

TEST_F(Scenario, TheExampleBuildsItsClassroom) {
  char error[256] = "";
  ASSERT_EQ(orvexsim_load_scenario(Example, error, sizeof error), 0) << error;
  EXPECT_EQ(orvexGetDeviceCount(), 2);
  EXPECT_EQ(orvexsim_device_count(1, ORVEXSIM_CLASS_VOTE), 32);
  EXPECT_EQ(orvexsim_device_count(1, ORVEXSIM_CLASS_EXPRESSION), 8);
  EXPECT_EQ(orvexsim_device_count(1, ORVEXSIM_CLASS_SLATE), 4);
  EXPECT_EQ(orvexsim_device_count(1, ORVEXSIM_CLASS_BOARD), 1);
  EXPECT_EQ(nameOf(1, 0x06A10020), "V32");
  EXPECT_EQ(nameOf(1, 0x07C30004), "Slate 4");
  EXPECT_EQ(nameOf(1, 0x09B20001), "Amélie");
  EXPECT_EQ(orvexsim_has_device(1, 0x06A10021), 0);  // waiting
  EXPECT_EQ(orvexsim_legacy_handset_state(2, 0x1A2B04), ORVEXSIM_LEGACY_WAITING);
  EXPECT_EQ(orvexsim_legacy_slate_state(2, 5), ORVEXSIM_LEGACY_WAITING);
  int vote = 0, slate = 0, band = 0, board = 0;
  ASSERT_EQ(orvexsim_legacy_get_radio(2, &vote, &slate, &band, &board, nullptr), 0);
  EXPECT_EQ(board, 12);

  // The hub loses its first reply; then it answers with its name.
  recorder.attach(1);
  orvexsim_set_reply_delay_us(1, 300);
  EXPECT_TRUE(exchange(1, ":GN").empty());
  const std::vector<Bytes> name = exchange(1, ":GN");
  ASSERT_EQ(name.size(), 1u);
  EXPECT_EQ(field(name[0], 2, 10), "Room 12");

  // The waiting handsets register with the PIN the file gave them.
  orvexsim_set_handset_delay_ms(1, ORVEXSIM_ALL_HANDSETS, 0, 0);
  exchange(1, ":VR0320505ABC");
  EXPECT_EQ(orvexsim_register_waiting_class(1, ORVEXSIM_CLASS_VOTE), 4);
  ASSERT_EQ(orvexsim_wait_idle(5000), 0);
  EXPECT_EQ(nameOf(1, 0x06A10024), "V36");
}

TEST_F(Scenario, VotesFollowTheDistributionAndTheAbsentStayQuiet) {
  ASSERT_EQ(orvexsim_load_scenario(Example, nullptr, 0), 0);
  orvexsim_set_fault(1, ORVEXSIM_FAULT_DROP_REPLIES, 0);
  orvexsim_set_reply_delay_us(1, 300);
  orvexsim_set_handset_delay_ms(1, ORVEXSIM_ALL_HANDSETS, 0, 0);
  recorder.attach(1);
  exchange(1, ":VB");
  recorder.clear();
  EXPECT_EQ(orvexsim_vote(1, ORVEXSIM_ALL_HANDSETS, 0, 1, 0), 31);  // V05 stays at home
  ASSERT_EQ(orvexsim_wait_idle(5000), 0);
  std::set<int> keys;
  for (const auto &packet : recorder.packets())
    if (packet.bytes.size() == 9 && packet.bytes[1] == 0x65) keys.insert(packet.bytes[8]);
  EXPECT_EQ(keys, (std::set<int>{0x01, 0x02, 0x04}));  // A, B, C only, all of them
  // Cleared, the distribution no longer holds: all six keys come.
  ASSERT_EQ(orvexsim_set_answer_distribution(1, ORVEXSIM_DISTRIBUTION_VOTES, nullptr), 0);
  recorder.clear();
  for (int round = 0; round < 4; ++round) orvexsim_vote(1, ORVEXSIM_ALL_HANDSETS, 0, 1, 0);
  ASSERT_EQ(orvexsim_wait_idle(5000), 0);
  keys.clear();
  for (const auto &packet : recorder.packets()) keys.insert(packet.bytes[8]);
  EXPECT_EQ(keys.size(), 6u);
  EXPECT_EQ(orvexsim_set_answer_distribution(1, 9, "A=1"), -1);
  EXPECT_EQ(orvexsim_set_answer_distribution(1, 1, "A=1,"), -1);
  EXPECT_EQ(orvexsim_set_answer_distribution(1, 1, "A=0"), -1);
  EXPECT_EQ(orvexsim_set_answer_distribution(2, 1, "A=1"), -1);  // a legacy hub
}

TEST_F(Scenario, ErrorsNameTheirLineAndLeaveTheClassroomEmpty) {
  ASSERT_EQ(orvexsim_use_default_classroom(), 0);
  EXPECT_EQ(loadError("orvexscenario 2\n"),
            "line 1: scenario format version 2 is not supported (this reader knows version 1)");
  EXPECT_EQ(loadError("hub 1 rf\n").substr(0, 22), "line 1: not a scenario");
  const std::string head = "orvexscenario 1\n# a comment\n\n";
  EXPECT_EQ(loadError(head + "device vote 1 address=1\n"), "line 4: device needs a hub line before it");
  EXPECT_EQ(loadError(head + "hub 2 legacy\n  device vote 1 address=1\n"),
            "line 5: device needs a 2.4 GHz hub (rf or virtual)");
  EXPECT_EQ(loadError(head + "hub 1 rf\n  waiting vote 1 address=1 pin=ABG\n"), "line 5: a PIN is three letters A to F");
  EXPECT_EQ(loadError(head + "hub 1 rf\n  device vote 1 address=1 colour=red\n"), "line 5: unknown key \"colour\"");
  EXPECT_EQ(loadError(head + "hub 1 rf\n  learners delay=9..3\n"),
            "line 5: delay is MIN..MAX in milliseconds, 0 to 600000");
  EXPECT_EQ(loadError(head + "hub 1 rf\nhub 1 virtual\n"), "line 5: hub 1 is described twice");
  EXPECT_EQ(loadError(head + "hub 1 rf\n  bounce 3\n"), "line 5: unknown statement \"bounce\"");
  EXPECT_EQ(loadError(head + "hub 1 rf\n  device vote 0xFFFFFFFF address=1 count=2\n"),
            "line 5: count runs past the largest uid or address");
  // Found when the line is carried out: the uid is taken.
  EXPECT_EQ(loadError(head + "hub 1 rf\n  device vote 7 address=1\n  device slate 7 address=2\n"),
            "line 6: device 0x00000007 was refused (its uid is taken, or the hub is full)");
  char error[64] = "";
  EXPECT_EQ(orvexsim_load_scenario(ORVEX_SOURCE_DIR "/no/such.scn", error, sizeof error), -1);
  EXPECT_EQ(std::string(error).substr(0, 21), "line 0: cannot open /");
}

// ORVEXSIM_SCENARIO names the classroom of a process from its start.
TEST(ScenarioAtStart, TheEnvironmentNamesTheClassroom) {
  if (qEnvironmentVariableIsSet("ORVEXSIM_SCENARIO")) {
    // The child: nothing configured, yet the file's classroom is there.
    EXPECT_EQ(orvexGetDeviceCount(), 2);
    EXPECT_EQ(orvexsim_device_count(1, ORVEXSIM_CLASS_EXPRESSION), 8);
    return;
  }
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("ORVEXSIM_SCENARIO"), QString::fromUtf8(Example));
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::ForwardedChannels);
  child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=ScenarioAtStart.*")});
  ASSERT_TRUE(child.waitForFinished(60000));
  EXPECT_EQ(child.exitCode(), 0);
}

}  // namespace
