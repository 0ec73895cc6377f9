// Record and replay end to end: a host session on the simulated default
// classroom is recorded through the tap; a fresh process of this binary
// replays the trace through the simulator's ORVEXSIM_REPLAY and runs the
// same host, which must see the same callbacks and signals, in the same
// order, with the same arguments.

#include "support/wait.h"
#include "tracerecorder.h"

#include <orvexsim.h>
#include <orvexsystem/hub.h>
#include <orvexsystem/system.h>
#include <orvexsystem/twopointfourghzhub.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

using namespace Orvexsystem;
using OrvexTest::waitFor;

namespace {

const int RfHub = ORVEXSIM_DEFAULT_RF_HUB;
const int LegacyHub = ORVEXSIM_DEFAULT_LEGACY_HUB;
const int LateHub = 5; // arrives during the session and leaves again

// What the host sees, one line per callback or signal, in order. Lines are
// kept as standard strings: a Qt container shared between threads would be
// copied and freed inside Qt, where the thread checker cannot see it.
class HostLog
{
public:
    void add(const QString &line)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lines.push_back(line.toStdString());
    }
    QStringList lines()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        QStringList out;
        for (const std::string &line : m_lines)
            out << QString::fromStdString(line);
        return out;
    }
    bool waitFor(const QString &line, int timeoutMs = 5000)
    {
        return OrvexTest::waitFor([&] { return lines().contains(line); }, timeoutMs);
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

// The callbacks and signals the host receives, and, apart from them, the
// results of its own calls (which run on its own thread and so are not
// ordered against the reports).
HostLog g_log;
HostLog g_results;

void onPen(Hub *hub, quint32 pen, int x, int y, bool tip, bool barrel, void *)
{
    g_log.add(QStringLiteral("pen %1 %2 %3 %4 %5 %6").arg(hub->handle()).arg(pen).arg(x).arg(y).arg(tip).arg(barrel));
}

void onBatteryLow(Hub *hub, quint32 uid, void *)
{
    g_log.add(QStringLiteral("battery %1 %2").arg(hub->handle()).arg(uid, 0, 16));
}

// Callbacks on the 2.4 GHz hubs, signals on the legacy hub: both ways of
// reporting are covered.
void watchHub(Hub *hub)
{
    const int h = hub->handle();
    g_log.add(QStringLiteral("hub %1 type=%2 uid=%3 version=%4 virtual=%5")
                  .arg(h)
                  .arg(int(hub->type()))
                  .arg(hub->uid(), 0, 16)
                  .arg(hub->getVersion())
                  .arg(hub->isVirtualHub()));
    QObject::connect(hub, &Hub::touchStatusEventReceived, hub, [h](Hub *, bool running) {
        g_log.add(QStringLiteral("touchStatus %1 %2").arg(h).arg(running));
    }, Qt::DirectConnection);
    QObject::connect(hub, &Hub::hubReset, hub, [h](Hub *) {
        g_log.add(QStringLiteral("reset %1").arg(h));
    }, Qt::DirectConnection);
    QObject::connect(hub, &Hub::reenumerateAfterTimeout, hub, [h](int ms) {
        g_log.add(QStringLiteral("reenumerate %1 %2").arg(h).arg(ms));
    }, Qt::DirectConnection);
    if (auto *rf = qobject_cast<TwoPointFourGHzHub *>(hub)) {
        hub->setPenEventCallback(&onPen, nullptr);
        hub->setBatteryLowCallback(&onBatteryLow, nullptr);
        QObject::connect(rf, &TwoPointFourGHzHub::hubBusy, rf, [h](Hub *, bool busy) {
            g_log.add(QStringLiteral("busy %1 %2").arg(h).arg(busy));
        }, Qt::DirectConnection);
    } else {
        QObject::connect(hub, &Hub::penEventReceived, hub,
                         [h](Hub *, Hub::PenEvent event, quint8 pen, int x, int y, bool tip, bool barrel) {
                             g_log.add(QStringLiteral("penSignal %1 %2 %3 %4 %5 %6 %7")
                                           .arg(h).arg(int(event)).arg(pen).arg(x).arg(y).arg(tip).arg(barrel));
                         }, Qt::DirectConnection);
    }
}

void watchSystem()
{
    OrvexSystem &system = OrvexSystem::instance();
    QObject::connect(&system, &OrvexSystem::newHubConnected, &system, [](Hub *hub) {
        g_log.add(QStringLiteral("connected %1").arg(hub->handle()));
        watchHub(hub);
    }, Qt::DirectConnection);
    QObject::connect(&system, &OrvexSystem::hubDisconnected, &system, [](Hub *hub) {
        g_log.add(QStringLiteral("disconnected %1").arg(hub->handle()));
    }, Qt::DirectConnection);
    QObject::connect(&system, &OrvexSystem::newOrvexHubConnected, &system, [](HubHandle_t h) {
        g_log.add(QStringLiteral("orvexHubConnected %1").arg(h));
    }, Qt::DirectConnection);
    QObject::connect(&system, &OrvexSystem::orvexHubDisconnected, &system, [](HubHandle_t h) {
        g_log.add(QStringLiteral("orvexHubDisconnected %1").arg(h));
    }, Qt::DirectConnection);
}

Hub *hubOf(int handle)
{
    QList<Hub *> hubs;
    OrvexSystem::instance().getHubList(&hubs);
    for (Hub *hub : hubs)
        if (hub->handle() == handle)
            return hub;
    return nullptr;
}

// The host's own operations: start-up and list reads. The same in both runs.
void hostStartsAndReadsLists()
{
    watchSystem();
    ASSERT_TRUE(OrvexSystem::instance().initialise());
    Hub *rf = hubOf(RfHub);
    ASSERT_NE(rf, nullptr);
    rf->readRegisteredDevicesLists();
    for (Device::Type type : {Device::Type_TwoPointFourGHzOrvexvote, Device::Type_TwoPointFourGHzOrvexexpression,
                              Device::Type_TwoPointFourGHzOrvexSlate}) {
        QList<Device *> devices;
        ASSERT_TRUE(rf->getDeviceList(type, &devices));
        QStringList names;
        for (Device *d : devices)
            names << d->name();
        g_results.add(QStringLiteral("list %1 %2: %3").arg(RfHub).arg(int(type)).arg(names.join(',')));
    }
    QList<DeviceDisplayInfo> votes;
    ASSERT_TRUE(OrvexSystem::instance().getOrvexVoteDisplayInfoList(RfHub, votes));
    g_results.add(QStringLiteral("voteDisplayList %1 %2").arg(RfHub).arg(votes.size()));
    g_results.add(QStringLiteral("touch %1 %2 %3").arg(RfHub).arg(rf->isTouchRunning()).arg(rf->getNumTouchesSupported()));
}

void onYesNo(Hub *hub, quint32 uid, int question, Hub::YesNoResponse answer, void *)
{
    g_log.add(QStringLiteral("yesno %1 %2 %3 %4").arg(hub->handle()).arg(uid, 0, 16).arg(question).arg(int(answer)));
}

// A question to the class: its entity id is random, so the replay meets a
// write that differs from the recorded one in that byte.
void hostAsksAQuestion()
{
    Hub *rf = hubOf(RfHub);
    ASSERT_NE(rf, nullptr);
    ASSERT_TRUE(rf->startYesNoSession(7, false, TimeUnit_Seconds, 30, &onYesNo, nullptr));
    // Every voting and expression handset answers.
    ASSERT_TRUE(waitFor([] { return g_log.lines().filter(QStringLiteral("yesno ")).size() == 40; }));
    g_results.add(QStringLiteral("stopped %1").arg(rf->stopSession()));
}

// The host's last look, after the session.
void hostFinishes()
{
    QList<Hub *> hubs;
    ASSERT_TRUE(OrvexSystem::instance().getHubList(&hubs));
    QStringList handles;
    for (Hub *hub : hubs)
        handles << QString::number(hub->handle());
    handles.sort();
    g_results.add(QStringLiteral("hubs at the end: %1").arg(handles.join(',')));
    ASSERT_TRUE(OrvexSystem::instance().shutdown());
}

// The classroom's part in the recorded session: each step waits until the
// host has seen it, so that the recording has one order.
void classroomActs()
{
    ASSERT_EQ(orvexsim_start_pen_stream(RfHub, 1, 1000, ORVEXSIM_PEN_STROKE_PACKETS), 0);
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    ASSERT_EQ(orvexsim_send_touch_status(RfHub), 0);
    ASSERT_TRUE(g_log.waitFor(QStringLiteral("touchStatus %1 1").arg(RfHub)));
    ASSERT_EQ(orvexsim_set_hub_mode(RfHub, 0x05), 0);
    ASSERT_TRUE(g_log.waitFor(QStringLiteral("busy %1 1").arg(RfHub)));
    ASSERT_EQ(orvexsim_set_hub_mode(RfHub, 0), 0);
    ASSERT_TRUE(g_log.waitFor(QStringLiteral("busy %1 0").arg(RfHub)));
    ASSERT_EQ(orvexsim_report_low_battery(RfHub, 0x06A10007), 0);
    ASSERT_TRUE(g_log.waitFor(QStringLiteral("battery %1 6a10007").arg(RfHub)));
    ASSERT_EQ(orvexsim_inject_pen(LegacyHub, 2, 1000, 2000, 1, 0, 1), 0);
    ASSERT_EQ(orvexsim_inject_pen(LegacyHub, 2, 1100, 2100, 0, 0, 1), 0);
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    // A hub arrives, is set up by the event thread, and leaves.
    ASSERT_EQ(orvexsim_add_hub(ORVEXSIM_KIND_RF, LateHub, 0xFEED, ORVEXSIM_CONNECTION_USB, 0x0302, nullptr), 0);
    ASSERT_TRUE(g_log.waitFor(QStringLiteral("orvexHubConnected %1").arg(LateHub)));
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    ASSERT_EQ(orvexsim_unplug_hub(LateHub), 0);
    ASSERT_TRUE(g_log.waitFor(QStringLiteral("disconnected %1").arg(LateHub)));
}

void writeLines(const QString &path, const QStringList &lines)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(lines.join('\n').toUtf8());
}

QStringList readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n');
}

TEST(Replay, ASessionReplayedInAFreshProcessGivesTheHostTheSameReports)
{
    ASSERT_EQ(orvexsim_reset(), 0);
    ASSERT_EQ(orvexsim_set_handset_delay_ms(ORVEXSIM_ALL_HUBS, ORVEXSIM_ALL_HANDSETS, 0, 0), 0);
    ASSERT_EQ(orvexsim_use_default_classroom(), 0);
    QTemporaryDir dir;
    const QString tracePath = dir.filePath(QStringLiteral("session.otrace"));
    OrvexTrace::TraceRecorder recorder(OrvexSystem::instance());
    QString error;
    ASSERT_TRUE(recorder.start(tracePath, &error)) << error.toStdString();

    hostStartsAndReadsLists();
    hostAsksAQuestion();
    classroomActs();
    hostFinishes();
    ASSERT_TRUE(recorder.stop());
    const QStringList recorded = g_log.lines();
    const QStringList results = g_results.lines();
    ASSERT_GT(recorded.filter(QStringLiteral("pen ")).size(), 20);
    QFile trace(tracePath);
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
    ASSERT_TRUE(trace.readAll().contains(" ~")) << "the question's entity id is marked free";

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ORVEXSIM_REPLAY"), tracePath);
    env.insert(QStringLiteral("ORVEX_REPLAY_LOG"), dir.filePath(QStringLiteral("replayed.log")));
    env.insert(QStringLiteral("ORVEX_REPLAY_REPORTS"), QString::number(recorded.size()));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=ReplayChild.*")});
    ASSERT_TRUE(child.waitForFinished(90000));
    EXPECT_EQ(child.exitCode(), 0);

    const QStringList replayed = readLines(dir.filePath(QStringLiteral("replayed.log")));
    EXPECT_EQ(replayed, recorded) << "recorded:\n"
                                  << recorded.join('\n').toStdString() << "\nreplayed:\n"
                                  << replayed.join('\n').toStdString();
    EXPECT_EQ(readLines(dir.filePath(QStringLiteral("replayed.log.results"))), results);
}

// The replaying process: runs only when the test above starts it.
TEST(ReplayChild, HostRunsAgainstTheReplay)
{
    const QString logPath = qEnvironmentVariable("ORVEX_REPLAY_LOG");
    if (logPath.isEmpty())
        GTEST_SKIP() << "started by Replay.ASessionReplayedInAFreshProcessGivesTheHostTheSameReports";
    hostStartsAndReadsLists();
    hostAsksAQuestion();
    ASSERT_EQ(orvexsim_replay_wait(30000), 0);
    // The last events' consequences (a departure's discovery pass) follow
    // the replay's end.
    const int expected = qEnvironmentVariableIntValue("ORVEX_REPLAY_REPORTS");
    waitFor([&] { return g_log.lines().size() >= expected; }, 10000);
    hostFinishes();
    writeLines(logPath, g_log.lines());
    writeLines(logPath + QStringLiteral(".results"), g_results.lines());

    OrvexSimReplayStatus status;
    ASSERT_EQ(orvexsim_replay_status(&status), 0);
    EXPECT_EQ(status.played, status.events);
    EXPECT_GT(status.writesMatched, 0);
    EXPECT_EQ(status.writesMissed, 0);
    EXPECT_EQ(status.writesUnexpected, 0);
}

} // namespace
