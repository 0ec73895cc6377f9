// The project's log module, loaded by bare name as the library loads it.
// The library's binding writes every log line of the link tests.

#include "responseserverfake.h"

#include "platform/platform.h"
#include "virtual/loglibrary.h"

#include <orvexsystem/orvexlog.h>

#include <gtest/gtest.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTemporaryDir>

using namespace Orvexsystem;
using namespace OrvexTest;

namespace {

struct LogModule : ::testing::Test
{
    void SetUp() override
    {
        ASSERT_TRUE(module.isLoaded()) << "liborvexlog.so not on LD_LIBRARY_PATH";
    }
    template <class Fn>
    Fn fn(const char *name) const
    {
        return reinterpret_cast<Fn>(module.resolve(name));
    }
    QString folder() const
    {
        return QString::fromLocal8Bit(qgetenv("XDG_STATE_HOME")) + "/orvexsystem1/";
    }

    LinkScratch scratch;
    Platform::Module module{LogLibrary::ModuleName};
    decltype(&log_createA) createA = fn<decltype(&log_createA)>("log_createA");
    decltype(&log_logTextA) textA = fn<decltype(&log_logTextA)>("log_logTextA");
    decltype(&log_close) close = fn<decltype(&log_close)>("log_close");
};

} // namespace

TEST_F(LogModule, WritesTextsAndBytesByLevel)
{
    const intptr_t log = createA(0, 0, 0, 2);
    ASSERT_NE(log, 0);
    EXPECT_EQ(textA(log, "Halvern: [x] addresses follow:\n", 2), 1);
    textA(log, "127.0.0.1", 2);
    textA(log, "::1", 1);
    textA(log, "\n", 2);
    EXPECT_EQ(textA(log, "too detailed\n", 3), 0);
    EXPECT_EQ(fn<decltype(&log_setLevel)>("log_setLevel")(log, 3), 1);
    textA(log, "bell\a\tand \x1b[31mred\n", 3);
    const uint8_t bytes[] = {'a', '\\', 0x01, 0xFF, '\n', 0};
    EXPECT_EQ(fn<decltype(&log_logBinary)>("log_logBinary")(log, bytes, 6, 2), 1);
    const uint16_t wide[] = {'C', 'a', 'f', 0xE9, ' ', 0xD83D, 0xDE00, ' ', 0xD800, '\n', 0};
    EXPECT_EQ(fn<decltype(&log_logTextW)>("log_logTextW")(log, wide, 2), 1);
    EXPECT_EQ(close(log), 1);
    // A closed, unknown or zero handle is refused.
    for (intptr_t bad : {intptr_t(0), log, intptr_t(12345)})
        EXPECT_EQ(textA(bad, "x\n", 2) + close(bad), 0);

    EXPECT_EQ(scratch.logText(),
              QString::fromUtf8("Halvern: [x] addresses follow:\n127.0.0.1::1\n"
                                "bell\\x07\tand \\x1b[31mred\n"
                                "a\\\\\\x01\\xff\\x0a\\x00Caf\xC3\xA9 \xF0\x9F\x98\x80 \xEF\xBF\xBD\n"));
    // Every line carries the time and the process.
    QFile file(folder() + "orvexlog.log");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray pid = " [" + QByteArray::number(QCoreApplication::applicationPid()) + "] ";
    for (const QByteArray &line : file.readAll().trimmed().split('\n'))
        EXPECT_TRUE(line.contains(pid)) << line.constData();
}

TEST_F(LogModule, RotatesAtTheMaximumSizeOrGivesNoLog)
{
    const intptr_t log = fn<decltype(&log_createW)>("log_createW")(0, 0, 0, 2);
    ASSERT_EQ(fn<decltype(&log_setMaximumSize)>("log_setMaximumSize")(log, 300), 1);
    for (int i = 0; i < 40; ++i) {
        textA(log, QByteArray("line " + QByteArray::number(i) + "\n").constData(), 2);
        EXPECT_LE(QFileInfo(folder() + "orvexlog.log").size(), 300);
    }
    EXPECT_GT(QFileInfo(folder() + "orvexlog.log.1").size(), 200);
    EXPECT_TRUE(scratch.logText().endsWith(QStringLiteral("line 38\nline 39\n")));
    close(log);

    // No state folder can be made below a file: no log.
    QTemporaryDir dir;
    QFile blocker(dir.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    qputenv("XDG_STATE_HOME", blocker.fileName().toLocal8Bit());
    EXPECT_EQ(createA(0, 0, 0, 2), 0);

    // The library's binding: a missing module only silences the log.
    LogLibrary missing(2, "liborvexlog-missing.so");
    EXPECT_FALSE(missing.isOpen());
    missing.logText(QStringLiteral("nowhere\n"));
    missing.logBinary("nowhere");
}
