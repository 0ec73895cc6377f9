// orvexctl's commands against a simulated classroom: output, JSON shape and
// exit codes. Each run is a child process with its own classroom (the
// scenario below), its data and state folders in a scratch folder.
#include "tracefile.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Fast learners who all answer the same, so that tallies are exact. The
// legacy hub's handsets are %1: waiting to register, or registered in an
// earlier lesson.
const char *const Scenario = R"(orvexscenario 1
hub 1 rf uid=0x51C0A8E3 version=0x0301 name="Room 12"
  device vote 0x06A10001 address=0x0101 count=6 name="V{nn}"
  device expression 0x09B20001 address=0x0201 count=2 name="E{n}"
  device slate 0x07C30001 address=0x0301 name="Slate 1"
  waiting vote 0x06A10021 address=0x0121 count=3 first=7 name="V{nn}" pin=ABC
  board 0x08E50001 address=0x0501 name="Board 12" version=912
  learners delay=0..20 seed=42
  distribution votes B=100
  distribution yesno A=100
hub 2 legacy uid=0x4C3B2A19 connection=usb version=864
  board 0 address=0 name="Board" version=864
  handset 0x1A2B01 %1 version=3 count=2
  learners seed=7
)";

struct Result
{
    int code = -1;
    QByteArray out;
    QByteArray err;

    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
    // The lines of a JSON-lines output, each an object.
    QList<QJsonObject> jsonLines() const
    {
        QList<QJsonObject> lines;
        for (const QByteArray &line : out.split('\n'))
            if (!line.isEmpty())
                lines << QJsonDocument::fromJson(line).object();
        return lines;
    }
};

class OrvexctlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QDir(m_dir.path()).mkpath(QStringLiteral("data"));
        QDir(m_dir.path()).mkpath(QStringLiteral("state"));
        writeScenario(QStringLiteral("waiting"));
    }

    void writeScenario(const QString &legacyHandsets)
    {
        QFile file(path(QStringLiteral("classroom.scn")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QString::fromUtf8(Scenario).arg(legacyHandsets).toUtf8());
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Runs the tool (or, with classroom, the tool among acting learners).
    Result run(const QStringList &arguments, bool classroom = false, const QByteArray &input = QByteArray(),
               const QString &driverDir = QStringLiteral(ORVEX_SIM_DIR))
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LD_LIBRARY_PATH"), driverDir);
        environment.insert(QStringLiteral("XDG_DATA_DIRS"), path(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_STATE_HOME"), path(QStringLiteral("state")));
        environment.insert(QStringLiteral("ORVEXSIM_SCENARIO"), path(QStringLiteral("classroom.scn")));
        process.setProcessEnvironment(environment);
        process.start(QString::fromUtf8(classroom ? ORVEXCTL_CLASSROOM : ORVEXCTL), arguments);
        Result result;
        if (!process.waitForStarted(10000))
            return result;
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished(5000);
            return result;
        }
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        result.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        return result;
    }

    static int countOf(const QJsonArray &tally, const QString &answer)
    {
        for (const QJsonValue &row : tally)
            if (row[QStringLiteral("answer")].toString() == answer)
                return row[QStringLiteral("count")].toInt();
        return -1;
    }

    // Whether the trace holds a write to the hub that starts with first and,
    // later, one that starts with then.
    static bool wrote(const QString &file, int handle, const QByteArray &first, const QByteArray &then)
    {
        OrvexTrace::Trace trace;
        QString error;
        if (!OrvexTrace::readTraceFile(file, trace, &error))
            return false;
        bool seenFirst = false;
        for (const OrvexTrace::Event &event : std::as_const(trace.events)) {
            if (event.kind != OrvexTrace::Event::Write || event.handle != handle)
                continue;
            if (seenFirst && event.bytes.startsWith(then))
                return true;
            seenFirst = seenFirst || event.bytes.startsWith(first);
        }
        return false;
    }

    QTemporaryDir m_dir;
};

TEST_F(OrvexctlTest, ListsHubsAndTheirDevicesAsTextAndJson)
{
    const Result text = run({QStringLiteral("list")});
    ASSERT_EQ(text.code, 0) << text.err.constData();
    EXPECT_TRUE(text.out.contains("hub 1  2.4 GHz hub \"Room 12\"  uid 0x51C0A8E3"));
    EXPECT_TRUE(text.out.contains("0x06A10006  V06"));
    EXPECT_TRUE(text.out.contains("6 voting handsets, 2 expression handsets, 1 slate, 1 board"));

    const Result json = run({QStringLiteral("--json"), QStringLiteral("list")});
    ASSERT_EQ(json.code, 0) << json.err.constData();
    const QJsonArray hubs = json.json()[QStringLiteral("hubs")].toArray();
    ASSERT_EQ(hubs.size(), 2);
    const QJsonObject rf = hubs.at(0).toObject();
    EXPECT_EQ(rf[QStringLiteral("handle")].toInt(), 1);
    EXPECT_EQ(rf[QStringLiteral("kind")].toString(), QStringLiteral("rf"));
    EXPECT_EQ(rf[QStringLiteral("name")].toString(), QStringLiteral("Room 12"));
    EXPECT_EQ(rf[QStringLiteral("boards")].toInt(), 1);
    const QJsonArray devices = rf[QStringLiteral("devices")].toArray();
    ASSERT_EQ(devices.size(), 9);
    EXPECT_EQ(devices.at(6).toObject(), (QJsonObject{{QStringLiteral("type"), QStringLiteral("expression")},
                                                     {QStringLiteral("uid"), QStringLiteral("0x09B20001")},
                                                     {QStringLiteral("name"), QStringLiteral("E1")},
                                                     {QStringLiteral("subType"), QStringLiteral("expression")}}));
    EXPECT_EQ(hubs.at(1)[QStringLiteral("kind")].toString(), QStringLiteral("legacy"));
}

TEST_F(OrvexctlTest, ExitCodesForUsageNoDriverNoHubAndUnsupported)
{
    EXPECT_EQ(run({}).code, 2);
    EXPECT_EQ(run({QStringLiteral("fly")}).code, 2);
    EXPECT_EQ(run({QStringLiteral("vote"), QStringLiteral("--mode"), QStringLiteral("vz")}).code, 2);
    const Result usage = run({QStringLiteral("ask"), QStringLiteral("--json")});
    EXPECT_EQ(usage.code, 2);
    EXPECT_EQ(usage.json()[QStringLiteral("error")][QStringLiteral("kind")].toString(), QStringLiteral("usage"));
    EXPECT_EQ(run({QStringLiteral("ask"), QStringLiteral("sort"), QStringLiteral("--choices"), QStringLiteral("5")}).code,
              2);
    // Two hubs can be shown: which one is for the user to say.
    EXPECT_EQ(run({QStringLiteral("info")}).code, 2);

    QTemporaryDir noDriver;
    const Result missing = run({QStringLiteral("list"), QStringLiteral("--json")}, false, {}, noDriver.path());
    EXPECT_EQ(missing.code, 3);
    EXPECT_EQ(missing.json()[QStringLiteral("error")][QStringLiteral("code")].toInt(), 3);

    const Result noHub = run({QStringLiteral("info"), QStringLiteral("--hub"), QStringLiteral("9"), QStringLiteral("--json")});
    EXPECT_EQ(noHub.code, 4);
    EXPECT_EQ(noHub.json()[QStringLiteral("error")][QStringLiteral("kind")].toString(), QStringLiteral("no-such-hub"));
    EXPECT_EQ(run({QStringLiteral("name"), QStringLiteral("0x0BADBAD1"), QStringLiteral("X")}).code, 4);
    // Questions are for 2.4 GHz hubs.
    EXPECT_EQ(run({QStringLiteral("ask"), QStringLiteral("yesno"), QStringLiteral("--hub"), QStringLiteral("2")}).code, 7);
}

TEST_F(OrvexctlTest, InfoShowsStateRegistrationAndDevices)
{
    const Result info = run({QStringLiteral("info"), QStringLiteral("--hub"), QStringLiteral("room 12"), QStringLiteral("--json")});
    ASSERT_EQ(info.code, 0) << info.err.constData();
    const QJsonObject hub = info.json()[QStringLiteral("hub")].toObject();
    EXPECT_EQ(hub[QStringLiteral("handle")].toInt(), 1);
    EXPECT_EQ(hub[QStringLiteral("state")].toString(), QStringLiteral("idle"));
    EXPECT_EQ(hub[QStringLiteral("devices")][QStringLiteral("vote")].toInt(), 6);
    EXPECT_EQ(hub[QStringLiteral("devices")][QStringLiteral("board")].toInt(), 1);
    EXPECT_EQ(hub[QStringLiteral("registration")][QStringLiteral("handsets")][QStringLiteral("inUse")].toInt(), 8);
    EXPECT_TRUE(hub[QStringLiteral("touch")][QStringLiteral("running")].toBool());

    const Result byUid = run({QStringLiteral("info"), QStringLiteral("--hub"), QStringLiteral("0x51c0a8e3")});
    ASSERT_EQ(byUid.code, 0);
    EXPECT_TRUE(byUid.out.contains("handsets     8 of"));
}

TEST_F(OrvexctlTest, VoteTalliesEachHandsetUntilTheCountOrTimesOut)
{
    const QString trace = path(QStringLiteral("vote.otrace"));
    const Result vote = run({QStringLiteral("--record"), trace, QStringLiteral("vote"), QStringLiteral("--hub"), QStringLiteral("1"), QStringLiteral("--count"),
                             QStringLiteral("6"), QStringLiteral("--duration"), QStringLiteral("30"), QStringLiteral("--json")},
                            true);
    ASSERT_EQ(vote.code, 0) << vote.err.constData();
    const QJsonObject document = vote.json();
    EXPECT_EQ(document[QStringLiteral("session")].toString(), QStringLiteral("vote"));
    EXPECT_EQ(document[QStringLiteral("end")].toString(), QStringLiteral("count"));
    EXPECT_TRUE(document[QStringLiteral("complete")].toBool());
    EXPECT_EQ(document[QStringLiteral("expected")].toInt(), 6);
    EXPECT_EQ(document[QStringLiteral("respondents")].toInt(), 6);
    EXPECT_EQ(countOf(document[QStringLiteral("tally")].toArray(), QStringLiteral("2")), 6);
    EXPECT_EQ(countOf(document[QStringLiteral("tally")].toArray(), QStringLiteral("1")), 0);
    EXPECT_EQ(document[QStringLiteral("responses")].toArray().at(0)[QStringLiteral("name")].toString(), QStringLiteral("V01"));
    EXPECT_TRUE(wrote(trace, 1, ":VB", ":VE"));

    // Seven handsets are asked for and six exist: the time runs out.
    const Result shortOfCount = run({QStringLiteral("vote"), QStringLiteral("--hub"), QStringLiteral("1"), QStringLiteral("--count"),
                                     QStringLiteral("7"), QStringLiteral("--duration"), QStringLiteral("2")},
                                    true);
    EXPECT_EQ(shortOfCount.code, 6);
    EXPECT_TRUE(shortOfCount.out.contains("6 of 6 handsets answered")) << shortOfCount.out.constData();
    EXPECT_TRUE(shortOfCount.out.contains("   6 100%"));
}

TEST_F(OrvexctlTest, QuestionsOfEachFormAreTallied)
{
    const Result yesNo = run({QStringLiteral("ask"), QStringLiteral("yesno"), QStringLiteral("--hub"), QStringLiteral("1"),
                              QStringLiteral("--count"), QStringLiteral("8"), QStringLiteral("--json")});
    ASSERT_EQ(yesNo.code, 0) << yesNo.err.constData();
    const QJsonObject document = yesNo.json();
    EXPECT_EQ(document[QStringLiteral("question")][QStringLiteral("kind")].toString(), QStringLiteral("yesno"));
    EXPECT_EQ(countOf(document[QStringLiteral("tally")].toArray(), QStringLiteral("yes")), 8);
    EXPECT_EQ(countOf(document[QStringLiteral("tally")].toArray(), QStringLiteral("other")), 0);

    const Result likert = run({QStringLiteral("ask"), QStringLiteral("likert"), QStringLiteral("--hub"), QStringLiteral("1"),
                               QStringLiteral("--scale"), QStringLiteral("4"), QStringLiteral("--count"), QStringLiteral("8"),
                               QStringLiteral("--json")});
    ASSERT_EQ(likert.code, 0) << likert.err.constData();
    const QJsonArray tally = likert.json()[QStringLiteral("tally")].toArray();
    int total = 0;
    for (const QString &point : {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")}) {
        ASSERT_GE(countOf(tally, point), 0) << qPrintable(point);
        total += countOf(tally, point);
    }
    EXPECT_EQ(total, 8);

    // Text questions are for the expression handsets alone.
    const Result text = run({QStringLiteral("ask"), QStringLiteral("text"), QStringLiteral("--hub"), QStringLiteral("1"),
                             QStringLiteral("--text"), QStringLiteral("Why?"), QStringLiteral("--count"), QStringLiteral("2"),
                             QStringLiteral("--responses")});
    ASSERT_EQ(text.code, 0) << text.err.constData();
    EXPECT_TRUE(text.out.contains("2 of 2 handsets answered"));
    EXPECT_TRUE(text.out.contains("E1              0x09B20001  "));
}

// Each expression handset fetches the question when it is ready, answers,
// and is told there are no more.
TEST_F(OrvexctlTest, EnhancedQuestionsReachEachExpressionHandset)
{
    // A third expression handset, of the other sub-type.
    QFile scenario(path(QStringLiteral("classroom.scn")));
    ASSERT_TRUE(scenario.open(QIODevice::ReadWrite));
    QByteArray text = scenario.readAll();
    text.replace("  device slate", "  device expression 0x0CB20003 address=0x0203 name=\"E3\"\n  device slate");
    scenario.seek(0);
    scenario.write(text);
    scenario.close();

    const Result yesNo = run({QStringLiteral("ask"), QStringLiteral("yesno"), QStringLiteral("--enhanced"),
                              QStringLiteral("--hub"), QStringLiteral("1"), QStringLiteral("--count"),
                              QStringLiteral("3"), QStringLiteral("--duration"), QStringLiteral("30"),
                              QStringLiteral("--json")});
    ASSERT_EQ(yesNo.code, 0) << yesNo.err.constData();
    const QJsonObject document = yesNo.json();
    EXPECT_TRUE(document[QStringLiteral("question")][QStringLiteral("enhanced")].toBool());
    EXPECT_EQ(document[QStringLiteral("expected")].toInt(), 3);
    EXPECT_EQ(countOf(document[QStringLiteral("tally")].toArray(), QStringLiteral("yes")), 3);

    // Longer than a question session's text: the enhanced session takes it.
    const Result longText = run({QStringLiteral("ask"), QStringLiteral("text"), QStringLiteral("--enhanced"),
                             QStringLiteral("--hub"), QStringLiteral("1"), QStringLiteral("--text"),
                             QStringLiteral("Which of the planets would you visit first, and why?"),
                             QStringLiteral("--count"), QStringLiteral("3"), QStringLiteral("--duration"),
                             QStringLiteral("30")});
    ASSERT_EQ(longText.code, 0) << longText.err.constData();
    EXPECT_TRUE(longText.out.contains("3 of 3 handsets answered"));
    EXPECT_EQ(run({QStringLiteral("ask"), QStringLiteral("message"), QStringLiteral("--enhanced")}).code, 2);
}

TEST_F(OrvexctlTest, RegistersTheHandsetsThatKeyThePin)
{
    const QString trace = path(QStringLiteral("register.otrace"));
    const Result registered = run({QStringLiteral("--record"), trace, QStringLiteral("register"), QStringLiteral("--hub"), QStringLiteral("1"),
                                   QStringLiteral("--class"), QStringLiteral("vote"), QStringLiteral("--pin"),
                                   QStringLiteral("abc"), QStringLiteral("--count"), QStringLiteral("3"), QStringLiteral("--json")},
                                  true);
    ASSERT_EQ(registered.code, 0) << registered.err.constData();
    const QJsonObject document = registered.json();
    EXPECT_EQ(document[QStringLiteral("pin")].toString(), QStringLiteral("ABC"));
    EXPECT_TRUE(document[QStringLiteral("stopped")].toBool());
    const QJsonArray devices = document[QStringLiteral("registered")].toArray();
    ASSERT_EQ(devices.size(), 3);
    QStringList uids;
    for (const QJsonValue &device : devices)
        uids << device[QStringLiteral("uid")].toString();
    uids.sort();
    EXPECT_EQ(uids, (QStringList{QStringLiteral("0x06A10021"), QStringLiteral("0x06A10022"), QStringLiteral("0x06A10023")}));
    // The session was ended, which saves the registrations: ":VE" after ":VR".
    EXPECT_TRUE(wrote(trace, 1, ":VR", ":VE"));

    // Nobody keys this PIN.
    const Result wrongPin = run({QStringLiteral("register"), QStringLiteral("--hub"), QStringLiteral("1"),
                                 QStringLiteral("--class"), QStringLiteral("vote"), QStringLiteral("--pin"),
                                 QStringLiteral("FED"), QStringLiteral("--count"), QStringLiteral("1"),
                                 QStringLiteral("--duration"), QStringLiteral("1")},
                                true);
    EXPECT_EQ(wrongPin.code, 6);
    EXPECT_TRUE(wrongPin.out.contains("0 devices registered"));
}

// A legacy hub keeps no list: the library keeps its registrations in the
// machine-wide settings (here in the scratch folder), for the next lesson.
TEST_F(OrvexctlTest, LegacyHandsetsRegisterInOneLessonAndVoteInTheNext)
{
    const Result registered = run({QStringLiteral("register"), QStringLiteral("--hub"), QStringLiteral("2"),
                                   QStringLiteral("--class"), QStringLiteral("vote"), QStringLiteral("--count"),
                                   QStringLiteral("2"), QStringLiteral("--json")},
                                  true);
    ASSERT_EQ(registered.code, 0) << registered.err.constData();
    EXPECT_TRUE(registered.json()[QStringLiteral("pin")].isNull());
    EXPECT_EQ(registered.json()[QStringLiteral("registered")].toArray().size(), 2);

    writeScenario(QStringLiteral("registered"));
    const Result listed = run({QStringLiteral("list"), QStringLiteral("--json")});
    ASSERT_EQ(listed.code, 0);
    EXPECT_EQ(listed.json()[QStringLiteral("hubs")].toArray().at(1)[QStringLiteral("devices")].toArray().size(), 2);
    const Result vote = run({QStringLiteral("vote"), QStringLiteral("--hub"), QStringLiteral("2"), QStringLiteral("--count"),
                             QStringLiteral("2"), QStringLiteral("--json")},
                            true);
    ASSERT_EQ(vote.code, 0) << vote.err.constData();
    EXPECT_EQ(vote.json()[QStringLiteral("respondents")].toInt(), 2);
    EXPECT_EQ(vote.json()[QStringLiteral("responses")].toArray().at(0)[QStringLiteral("uid")].toString(),
              QStringLiteral("0x001A2B01"));
}

TEST_F(OrvexctlTest, NamesADeviceAndClearsOnlyWhenConfirmed)
{
    const Result named = run({QStringLiteral("name"), QStringLiteral("06a10002"), QStringLiteral("Ana"), QStringLiteral("--json")});
    ASSERT_EQ(named.code, 0) << named.err.constData();
    EXPECT_EQ(named.json()[QStringLiteral("device")][QStringLiteral("previousName")].toString(), QStringLiteral("V02"));
    EXPECT_EQ(named.json()[QStringLiteral("listedName")].toString(), QStringLiteral("Ana"));
    // A voting handset keeps four characters.
    EXPECT_EQ(run({QStringLiteral("name"), QStringLiteral("0x06A10002"), QStringLiteral("Anabel")}).code, 2);

    const QStringList clear{QStringLiteral("clear"), QStringLiteral("--hub"), QStringLiteral("1"), QStringLiteral("--what"),
                            QStringLiteral("votes"), QStringLiteral("--json")};
    EXPECT_EQ(run(clear, false, "n\n").code, 8);
    EXPECT_EQ(run(clear, false, QByteArray()).code, 8);
    const Result cleared = run(clear, false, "yes\n");
    ASSERT_EQ(cleared.code, 0) << cleared.err.constData();
    EXPECT_EQ(cleared.json()[QStringLiteral("cleared")].toString(), QStringLiteral("votes"));
    EXPECT_EQ(cleared.json()[QStringLiteral("devices")][QStringLiteral("vote")].toInt(), 0);
    EXPECT_EQ(cleared.json()[QStringLiteral("devices")][QStringLiteral("expression")].toInt(), 2);
}

TEST_F(OrvexctlTest, WatchWritesPenAndTouchEventsAsJsonLines)
{
    const Result watched = run({QStringLiteral("watch"), QStringLiteral("--hub"), QStringLiteral("1"), QStringLiteral("--count"),
                                QStringLiteral("40"), QStringLiteral("--duration"), QStringLiteral("30"), QStringLiteral("--json")},
                               true);
    ASSERT_EQ(watched.code, 0) << watched.err.constData();
    const QList<QJsonObject> lines = watched.jsonLines();
    ASSERT_GE(lines.size(), 40);
    QStringList kinds, actions;
    for (const QJsonObject &line : lines) {
        EXPECT_EQ(line[QStringLiteral("hub")].toInt(), 1);
        EXPECT_TRUE(line.contains(QStringLiteral("timeMs")));
        kinds << line[QStringLiteral("event")].toString();
        if (kinds.last() == QLatin1String("pen")) {
            EXPECT_TRUE(line.contains(QStringLiteral("x")) && line.contains(QStringLiteral("tip")));
            actions << line[QStringLiteral("action")].toString();
        }
    }
    EXPECT_TRUE(kinds.contains(QStringLiteral("pen")));
    EXPECT_TRUE(kinds.contains(QStringLiteral("touch")));
    // A stroke: moves in proximity, the tip down, moves, the tip up.
    EXPECT_TRUE(actions.contains(QStringLiteral("tip-down"))) << qPrintable(actions.join(QLatin1Char(' ')));
}

TEST_F(OrvexctlTest, RecordsATraceThatReadsBack)
{
    const QString file = path(QStringLiteral("session.otrace"));
    const Result recorded = run({QStringLiteral("record"), file, QStringLiteral("--duration"), QStringLiteral("1"),
                                 QStringLiteral("--json")});
    ASSERT_EQ(recorded.code, 0) << recorded.err.constData();
    const QList<QJsonObject> lines = recorded.jsonLines();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.first()[QStringLiteral("event")].toString(), QStringLiteral("hub"));
    EXPECT_EQ(lines.last()[QStringLiteral("event")].toString(), QStringLiteral("done"));
    OrvexTrace::Trace trace;
    QString error;
    ASSERT_TRUE(OrvexTrace::readTraceFile(file, trace, &error)) << qPrintable(error);
    EXPECT_EQ(trace.hubs.size(), 2);
    EXPECT_EQ(lines.last()[QStringLiteral("events")].toInteger(), trace.events.size());

    // Any command can be recorded; a trace that cannot be written fails.
    const QString listed = path(QStringLiteral("list.otrace"));
    ASSERT_EQ(run({QStringLiteral("--record"), listed, QStringLiteral("list")}).code, 0);
    ASSERT_TRUE(OrvexTrace::readTraceFile(listed, trace, &error)) << qPrintable(error);
    EXPECT_FALSE(trace.events.isEmpty());
    EXPECT_EQ(run({QStringLiteral("record"), path(QStringLiteral("missing/x.otrace"))}).code, 9);
}

} // namespace
