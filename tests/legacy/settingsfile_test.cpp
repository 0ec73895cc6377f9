// The settings file of the legacy hubs: its exact layout, read back with
// QSettings and as text; what is kept of the rest of the file; garbage;
// atomic replacement and writers in two processes at once.

#include "legacy/legacysettingsfile.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QSettings>
#include <QtCore/QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Orvexsystem;

namespace {

using Slate = LegacySettingsFile::Slate;
const QString Board = QStringLiteral("1278945817");
const QString NoBoard = QStringLiteral("LegacyVoteHub");

class SettingsFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(data.isValid());
        qputenv("XDG_DATA_DIRS", data.path().toLocal8Bit());
        path = data.path() + QStringLiteral("/Veltrane/OrvexSystem/OrvexSystem.ini");
        folder = data.path() + QStringLiteral("/Veltrane/OrvexSystem");
    }
    QByteArray text() const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void put(const QByteArray &bytes) const
    {
        QDir().mkpath(folder);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    static bool write(const QString &group, QList<quint32> votes, QList<Slate> slates)
    {
        return LegacySettingsFile::write(group, &votes, &slates);
    }
    static LegacySettingsFile::Registrations read(const QString &group)
    {
        LegacySettingsFile::Registrations r;
        EXPECT_TRUE(LegacySettingsFile::read(group, &r));
        return r;
    }

    QTemporaryDir data;
    QString path;
    QString folder;
};

// A child process running fn; killed if the test leaves before it ends.
class Child
{
public:
    template <class Fn>
    explicit Child(Fn fn) : m_pid(fork())
    {
        if (m_pid == 0) {
            fn();
            _exit(0);
        }
    }
    ~Child()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    bool started() const { return m_pid > 0; }
    void kill9() { kill(m_pid, SIGKILL); }
    // The exit status; the child is gone afterwards.
    int wait()
    {
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return status;
    }

private:
    pid_t m_pid;
};

} // namespace

TEST_F(SettingsFile, WritesTheLayoutThatQSettingsReads)
{
    ASSERT_TRUE(write(NoBoard, {1715969, 1715970}, {{5, "314"}, {7, "625"}}));
    EXPECT_EQ(text(), QByteArray("[LegacyVoteHub]\n"
                                 "orvexvotes=1715969, 1715970\n"
                                 "Slates\\1\\ID=5\n"
                                 "Slates\\1\\PIN=314\n"
                                 "Slates\\2\\ID=7\n"
                                 "Slates\\2\\PIN=625\n"
                                 "Slates\\size=2\n"));
    // A board's group, empty: the forms QSettings gives an empty list and array.
    ASSERT_TRUE(write(Board, {}, {}));
    EXPECT_TRUE(text().endsWith("Slates\\size=2\n\n[1278945817]\norvexvotes=@Invalid()\nSlates\\size=0\n"));

    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(NoBoard);
    EXPECT_EQ(settings.value("orvexvotes").toStringList(), QStringList({"1715969", "1715970"}));
    ASSERT_EQ(settings.beginReadArray("Slates"), 2);
    settings.setArrayIndex(1);
    EXPECT_EQ(settings.value("ID").toInt(), 7);
    EXPECT_EQ(settings.value("PIN").toString(), QStringLiteral("625"));
    settings.endArray();
    settings.endGroup();
    settings.beginGroup(Board);
    EXPECT_TRUE(settings.value("orvexvotes").toStringList().isEmpty());
    EXPECT_EQ(settings.beginReadArray("Slates"), 0);

    EXPECT_EQ(read(NoBoard).votes, QList<quint32>({1715969, 1715970}));
    EXPECT_EQ(read(NoBoard).slates, QList<Slate>({{5, "314"}, {7, "625"}}));
    EXPECT_TRUE(read(Board).votes.isEmpty());
}

TEST_F(SettingsFile, ReadsWhatQSettingsWroteAndKeepsEverythingElse)
{
    QDir().mkpath(folder);
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue("Other/names", QStringList({"a, b", "c"}));
        settings.beginGroup(NoBoard);
        settings.setValue("orvexvotes", QStringList({"42"}));
        settings.setValue("colour", "blue");
        settings.beginWriteArray("Slates");
        settings.setArrayIndex(0);
        settings.setValue("ID", 9);
        settings.setValue("PIN", "141");
        settings.endArray();
    }
    put(text() + "; a comment\n");
    EXPECT_EQ(read(NoBoard).votes, QList<quint32>({42}));
    EXPECT_EQ(read(NoBoard).slates, QList<Slate>({{9, "141"}}));

    // Only the handsets are replaced.
    QList<quint32> votes{42, 43};
    ASSERT_TRUE(LegacySettingsFile::write(NoBoard, &votes, nullptr));
    EXPECT_TRUE(text().contains("; a comment\n"));
    EXPECT_EQ(read(NoBoard).slates, QList<Slate>({{9, "141"}}));
    QSettings settings(path, QSettings::IniFormat);
    EXPECT_EQ(settings.value("Other/names").toStringList(), QStringList({"a, b", "c"}));
    EXPECT_EQ(settings.value("LegacyVoteHub/colour").toString(), QStringLiteral("blue"));
    EXPECT_EQ(settings.value("LegacyVoteHub/orvexvotes").toStringList(), QStringList({"42", "43"}));
    EXPECT_EQ(settings.value("LegacyVoteHub/Slates/1/PIN").toString(), QStringLiteral("141"));
}

TEST(SettingsText, ReplacingOneListLeavesWhatTheRestSays)
{
    using F = LegacySettingsFile;
    const QList<quint32> votes{9};
    const QList<Slate> slates{{3, "123"}};
    // A kept value ending in an escaped line break keeps its own break.
    const QByteArray escaped = "[LegacyVoteHub]\norvexvotes=1, 2\\\r\r";
    EXPECT_EQ(F::parseGroup(F::updateGroup(escaped, NoBoard, nullptr, &slates), NoBoard).votes,
              QList<quint32>({1, 2}));
    // Text ending inside quotes, or in an escaped line break, takes in
    // nothing written after it.
    for (const QByteArray &open : {QByteArray("[1278945817]\norvexvotes=\"5, 6"),
                                   QByteArray("[1278945817]\norvexvotes=5, 6\\\n"),
                                   QByteArray("[LegacyVoteHub]\\\n")}) {
        const QByteArray updated = F::updateGroup(open, NoBoard, &votes, &slates);
        EXPECT_EQ(F::parseGroup(updated, NoBoard).votes, votes) << open.constData();
        EXPECT_EQ(F::parseGroup(updated, NoBoard).slates, slates) << open.constData();
        EXPECT_EQ(F::parseGroup(updated, Board).votes, F::parseGroup(open, Board).votes);
    }
}

TEST_F(SettingsFile, GarbageGivesABoundedResult)
{
    // Ids that are no plain number, zero, too large or repeated are left
    // out; slates need an id of 1 to 255 and a three-digit PIN; only entries
    // up to the array's size count, however large it claims to be.
    put("[LegacyVoteHub]\n"
        "orvexvotes=12, abc, -3, 0, 12, 99999999999, \"7\", 5 ; trailing\n"
        "Slates\\size=2000000000\n"
        "Slates\\1\\ID=x\nSlates\\1\\PIN=123\n"
        "Slates\\2\\ID=9\nSlates\\2\\PIN=12\n"
        "Slates\\3\\ID=300\nSlates\\3\\PIN=111\n"
        "Slates\\4\\ID=4\nSlates\\4\\PIN=222\n"
        "Slates\\5\\PIN=333\n"
        "Slates\\4000000000\\ID=6\nSlates\\4000000000\\PIN=333\n");
    EXPECT_EQ(read(NoBoard).votes, QList<quint32>({12, 7, 5}));
    EXPECT_EQ(read(NoBoard).slates, QList<Slate>({{4, "222"}}));
    put(QByteArray("\0\xff[\n=\\", 6) + QByteArray(1000, '"'));
    EXPECT_TRUE(read(NoBoard).votes.isEmpty());

    // Too large to be read: empty lists, and never written over.
    const QByteArray huge = "[LegacyVoteHub]\norvexvotes=1" + QByteArray(LegacySettingsFile::MaximumFileSize, ' ');
    put(huge);
    LegacySettingsFile::Registrations r;
    EXPECT_FALSE(LegacySettingsFile::read(NoBoard, &r));
    EXPECT_TRUE(r.votes.isEmpty());
    EXPECT_FALSE(write(NoBoard, {1}, {}));
    EXPECT_EQ(text().size(), huge.size());

    // A folder where the file should be.
    QFile::remove(path);
    ASSERT_TRUE(QDir().mkpath(path));
    EXPECT_FALSE(LegacySettingsFile::read(NoBoard, &r));
    EXPECT_FALSE(write(NoBoard, {1}, {}));
    ASSERT_TRUE(QDir(path).removeRecursively());

    // A pipe: nothing waits for a writer that never comes.
    ASSERT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    auto reading = std::async(std::launch::async, [] {
        LegacySettingsFile::Registrations r;
        return LegacySettingsFile::read(NoBoard, &r) || write(NoBoard, {1}, {});
    });
    if (reading.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        // Unblock the reader before failing.
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY);
        ::close(fd);
        FAIL() << "reading the settings file waited on a pipe";
    }
    EXPECT_FALSE(reading.get());
}

TEST_F(SettingsFile, WritersInTwoProcessesKeepEachOthersGroups)
{
    // Each process rewrites its own group with a growing number and checks
    // that it still finds its last number there: a write of the other
    // process that did not read the file afresh under the lock would have
    // put back an older one.
    const quint32 rounds = 80;
    const auto number = [](const QString &group) {
        const QList<quint32> votes = read(group).votes;
        return votes.size() == 1 ? votes.first() : 0;
    };
    ASSERT_TRUE(write(NoBoard, {1000}, {}));
    ASSERT_TRUE(write(Board, {1000}, {}));
    Child child([&] {
        for (quint32 i = 1; i <= rounds; ++i) {
            if (number(Board) != 1000 + i - 1)
                _exit(2);
            if (!write(Board, {1000 + i}, {}))
                _exit(1);
        }
    });
    ASSERT_TRUE(child.started());
    for (quint32 i = 1; i <= rounds; ++i) {
        ASSERT_EQ(number(NoBoard), 1000 + i - 1) << "round " << i;
        ASSERT_TRUE(write(NoBoard, {1000 + i}, {{i % 200 + 1, "123"}}));
    }
    const int status = child.wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(number(Board), 1000 + rounds);
    EXPECT_EQ(number(NoBoard), 1000 + rounds);
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".lock")));
}

TEST_F(SettingsFile, ReadersAndAKilledWriterOnlyEverSeeWholeVersions)
{
    // Two versions of a large group: every read sees one or the other whole,
    // while another process replaces the file over and over and is killed in
    // the middle of it.
    QList<quint32> first;
    QList<quint32> second;
    for (quint32 i = 1; i <= 3000; ++i) {
        first.append(1000000 + i);
        second.append(2000000 + i);
    }
    ASSERT_TRUE(write(NoBoard, first, {}));
    Child child([&] {
        for (int i = 0;; ++i)
            write(NoBoard, i % 2 ? first : second, {});
    });
    ASSERT_TRUE(child.started());
    const auto whole = [&](const QList<quint32> &votes) { return votes == first || votes == second; };
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(whole(read(NoBoard).votes)) << "read " << i;
    child.kill9();
    child.wait();
    EXPECT_TRUE(whole(read(NoBoard).votes));
    // The dead writer's lock does not keep the next writer out.
    EXPECT_TRUE(write(NoBoard, {77}, {}));
    EXPECT_EQ(read(NoBoard).votes, QList<quint32>({77}));
}
