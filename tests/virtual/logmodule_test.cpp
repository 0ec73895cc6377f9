// The project's log module, loaded by bare name as the library loads it:
// what it writes, levels, rotation, bad handles; and the library's binding
// when the module is missing.

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

class LogModule : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(module.isLoaded()) << "liborvexlog.so not on LD_LIBRARY_PATH";
        resolve("log_createA", createA);
        resolve("log_createW", createW);
        resolve("log_logTextA", textA);
        resolve("log_logTextW", textW);
        resolve("log_logBinary", binary);
        resolve("log_close", close);
        resolve("log_isOpen", isOpen);
        resolve("log_setLevel", setLevel);
        resolve("log_setMaximumSize", setMaximumSize);
    }

    template <class Fn>
    void resolve(const char *name, Fn &fn)
    {
        fn = reinterpret_cast<Fn>(module.resolve(name));
        ASSERT_TRUE(fn) << name;
    }

    LinkScratch scratch;
    Platform::Module module{LogLibrary::ModuleName};
    decltype(&log_createA) createA = nullptr;
    decltype(&log_createW) createW = nullptr;
    decltype(&log_logTextA) textA = nullptr;
    decltype(&log_logTextW) textW = nullptr;
    decltype(&log_logBinary) binary = nullptr;
    decltype(&log_close) close = nullptr;
    decltype(&log_isOpen) isOpen = nullptr;
    decltype(&log_setLevel) setLevel = nullptr;
    decltype(&log_setMaximumSize) setMaximumSize = nullptr;
};

} // namespace

TEST_F(LogModule, WritesTextsAndBytesByLevel)
{
    const intptr_t log = createA(0, 0, 0, 2);
    ASSERT_NE(log, 0);
    EXPECT_EQ(isOpen(log), 1);
    EXPECT_EQ(textA(log, "Halvern: [x] addresses follow:\n", 2), 1);
    textA(log, "127.0.0.1", 2);
    textA(log, "::1", 1);
    textA(log, "\n", 2);
    EXPECT_EQ(textA(log, "too detailed\n", 3), 0);
    EXPECT_EQ(setLevel(log, 3), 1);
    textA(log, "bell\a\tand \x1b[31mred\n", 3);
    const uint8_t bytes[] = {'a', '\\', 0x01, 0xFF, '\n', 0};
    EXPECT_EQ(binary(log, bytes, 6, 2), 1);
    const uint16_t wide[] = {'C', 'a', 'f', 0xE9, ' ', 0xD83D, 0xDE00, ' ', 0xD800, '\n', 0};
    EXPECT_EQ(textW(log, wide, 2), 1);
    EXPECT_EQ(close(log), 1);

    EXPECT_EQ(scratch.logText(),
              QString::fromUtf8("Halvern: [x] addresses follow:\n127.0.0.1::1\n"
                                "bell\\x07\tand \\x1b[31mred\n"
                                "a\\\\\\x01\\xff\\x0a\\x00Caf\xC3\xA9 \xF0\x9F\x98\x80 \xEF\xBF\xBD\n"));
    // Every line carries the time and the process.
    QFile file(QString::fromLocal8Bit(qgetenv("XDG_STATE_HOME")) + "/orvexsystem1/orvexlog.log");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    EXPECT_EQ(lines.size(), 5);
    for (const QByteArray &line : lines.mid(0, 4))
        EXPECT_TRUE(line.contains(" [" + QByteArray::number(QCoreApplication::applicationPid()) + "] "))
            << line.constData();
}

TEST_F(LogModule, RotatesAtTheMaximumSize)
{
    const intptr_t log = createW(0, 0, 0, 2);
    ASSERT_EQ(setMaximumSize(log, 300), 1);
    const QString folder = QString::fromLocal8Bit(qgetenv("XDG_STATE_HOME")) + "/orvexsystem1/";
    for (int i = 0; i < 40; ++i) {
        textA(log, QByteArray("line " + QByteArray::number(i) + "\n").constData(), 2);
        EXPECT_LE(QFileInfo(folder + "orvexlog.log").size(), 300);
    }
    EXPECT_GT(QFileInfo(folder + "orvexlog.log.1").size(), 200);
    EXPECT_TRUE(scratch.logText().endsWith(QStringLiteral("line 38\nline 39\n")));
    close(log);
}

TEST_F(LogModule, RefusesBadHandlesAndArguments)
{
    const intptr_t log = createA(0, 0, 0, 2);
    EXPECT_EQ(setMaximumSize(log, 0), 0);
    EXPECT_EQ(binary(log, nullptr, 4, 2), 0);
    EXPECT_EQ(binary(log, reinterpret_cast<const uint8_t *>("x"), -1, 2), 0);
    EXPECT_EQ(textA(log, nullptr, 2), 0);
    EXPECT_EQ(close(log), 1);
    for (intptr_t bad : {intptr_t(0), log, intptr_t(12345)}) {
        EXPECT_EQ(isOpen(bad), 0);
        EXPECT_EQ(textA(bad, "x\n", 2), 0);
        EXPECT_EQ(setLevel(bad, 2), 0);
        EXPECT_EQ(close(bad), 0);
    }
    EXPECT_TRUE(scratch.logText().isEmpty());

    // No state folder can be made below a file: no log.
    QTemporaryDir dir;
    QFile blocker(dir.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    qputenv("XDG_STATE_HOME", blocker.fileName().toLocal8Bit());
    EXPECT_EQ(createA(0, 0, 0, 2), 0);
}

TEST_F(LogModule, LibraryBindingWritesAndSurvivesAMissingModule)
{
    {
        LogLibrary missing(2, "liborvexlog-missing.so");
        EXPECT_FALSE(missing.isOpen());
        missing.logText(QStringLiteral("nowhere\n"));
        missing.logBinary("nowhere");
    }
    {
        LogLibrary log(2);
        EXPECT_TRUE(log.isOpen());
        log.logText(QStringLiteral("text:"));
        log.logBinary(QByteArray("\x01", 1));
        log.logText(QStringLiteral("\n"));
    }
    EXPECT_EQ(scratch.logText(), QStringLiteral("text:\\x01\n"));
}
