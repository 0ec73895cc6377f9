// The library-side trace reader and writer, on the committed example trace
// that the simulator's reader is tested with too.

#include "tracefile.h"

#include <QtCore/QBuffer>

#include <gtest/gtest.h>

using namespace OrvexTrace;

namespace {

const QString ExamplePath = QStringLiteral(ORVEX_SOURCE_DIR "/docs/trace-example.otrace");

QString readError(const QByteArray &text)
{
    Trace trace;
    QString error;
    EXPECT_FALSE(readTrace(text, trace, &error)) << text.toStdString();
    EXPECT_TRUE(trace.hubs.isEmpty() && trace.events.isEmpty());
    return error;
}

TEST(TraceFile, ReadsTheExampleAndWritesItBackTheSame)
{
    Trace trace;
    QString error;
    ASSERT_TRUE(readTraceFile(ExamplePath, trace, &error)) << error.toStdString();
    ASSERT_EQ(trace.hubs.size(), 3);
    EXPECT_EQ(trace.hubs[0].kind, 3);
    EXPECT_EQ(trace.hubs[0].uid, 0x51C0A8E3u);
    EXPECT_EQ(trace.hubs[0].driverVersion, QStringLiteral("6.2.14.3"));
    EXPECT_EQ(trace.hubs[1].kind, 2);
    EXPECT_EQ(trace.events.size(), 17);

    const Event &question = trace.events[10];
    ASSERT_EQ(question.kind, Event::Write);
    EXPECT_TRUE(question.bytes.startsWith(":XP005\r"));
    for (int i = 0; i < question.bytes.size(); ++i)
        EXPECT_EQ(question.isFree(i), i == 9) << i;
    EXPECT_EQ(freeBytesOf(question.bytes), question.freeBytes);
    EXPECT_FALSE(trace.events[12].accepted);
    EXPECT_EQ(trace.events[13].kind, Event::Plug);
    EXPECT_EQ(trace.events.last().kind, Event::Unplug);

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(writeTrace(buffer, trace));
    Trace again;
    ASSERT_TRUE(readTrace(buffer.data(), again, &error)) << error.toStdString();
    ASSERT_EQ(again.hubs.size(), trace.hubs.size());
    for (int i = 0; i < trace.hubs.size(); ++i)
        EXPECT_TRUE(again.hubs[i] == trace.hubs[i]);
    ASSERT_EQ(again.events.size(), trace.events.size());
    for (int i = 0; i < trace.events.size(); ++i) {
        EXPECT_EQ(eventLine(again.events[i]), eventLine(trace.events[i]));
        EXPECT_EQ(again.events[i].freeBytes, trace.events[i].freeBytes);
    }
}

TEST(TraceFile, RefusesUnknownVersionsAndBadLinesWithTheirLineNumber)
{
    const QByteArray hub = "hub 1 kind=3 uid=0x10\n";
    EXPECT_EQ(readError("orvextrace 2\n"),
              QStringLiteral("line 1: trace format version 2 is not supported (this reader knows version 1)"));
    EXPECT_TRUE(readError("# a comment first\norvextrace 1\n").startsWith(QStringLiteral("line 1: not a trace")));
    EXPECT_TRUE(readError("").startsWith(QStringLiteral("line 1: empty file")));
    EXPECT_TRUE(readError("orvextrace 1\n" + hub + "\n5 packet 1 0g\n").startsWith(QStringLiteral("line 4: bad byte")));
    EXPECT_TRUE(readError("orvextrace 1\n" + hub + "5 packet 1 ~01\n").startsWith(QStringLiteral("line 3: only a write")));
    EXPECT_TRUE(readError("orvextrace 1\n" + hub + "5 write 1 maybe 01\n").startsWith(QStringLiteral("line 3:")));
    EXPECT_EQ(readError("orvextrace 1\n5 packet 7 01\n" + hub + "6 packet 7 02\n"),
              QStringLiteral("line 2: no hub line describes hub 7"));
    EXPECT_EQ(readError("orvextrace 1\n" + hub + hub), QStringLiteral("line 3: hub 1 is described twice"));
    EXPECT_TRUE(readError("orvextrace 1\nhub 1 kind=3\n").contains(QStringLiteral("needs kind= and uid=")));
    EXPECT_TRUE(readError("orvextrace 1\nhub 1 kind=3 uid=1 colour=2\n").contains(QStringLiteral("unknown key")));
    EXPECT_TRUE(readError("orvextrace 1\nhub 1 kind=9 uid=1\n").contains(QStringLiteral("kind must be")));
    EXPECT_TRUE(readError("orvextrace 1\nhub 0 kind=3 uid=1\n").contains(QStringLiteral("non-zero handle")));
    EXPECT_TRUE(readError("orvextrace 1\nhub 1 kind=3 uid=1 description=\"open\n").contains(QStringLiteral("quoted")));
    EXPECT_TRUE(readError("orvextrace 1\n" + hub + "-5 packet 1 01\n").startsWith(QStringLiteral("line 3:")));
    EXPECT_TRUE(readError("orvextrace 1\n" + hub + "5 jump 1\n").contains(QStringLiteral("unknown event")));
}

TEST(TraceFile, KeepsToItsLimitsAndOrdersEventsByTime)
{
    QByteArray hubs = "orvextrace 1\n";
    for (int h = 1; h <= MaximumHubs + 1; ++h)
        hubs += "hub " + QByteArray::number(h) + " kind=3 uid=" + QByteArray::number(h) + '\n';
    EXPECT_EQ(readError(hubs), QStringLiteral("line %1: more than 64 hubs").arg(MaximumHubs + 2));

    QByteArray full = "orvextrace 1\nhub 1 kind=3 uid=1\n1 packet 1";
    for (int i = 0; i < MaximumEventBytes; ++i)
        full += " ab";
    Trace trace;
    QString error;
    ASSERT_TRUE(readTrace(full, trace, &error)) << error.toStdString();
    EXPECT_EQ(trace.events[0].bytes.size(), MaximumEventBytes);
    EXPECT_EQ(readError(full + " ab"), QStringLiteral("line 3: more than 65536 bytes"));

    // A write reported after the reply it caused is put back before it;
    // equal times keep their order. Texts keep their escapes.
    ASSERT_TRUE(readTrace("orvextrace 1\r\nhub 9 kind=4 uid=0x9 description=\"a \\\"b\\\" \\x01\"\r\n"
                          "20 packet 9 04\r\n10 write 9 ok 3a\r\n20 packet 9 05\r\n",
                          trace, &error))
        << error.toStdString();
    EXPECT_EQ(trace.hubs[0].description, QStringLiteral("a \"b\" \x01"));
    EXPECT_TRUE(hubLine(trace.hubs[0]).contains("description=\"a \\\"b\\\" \\x01\""));
    ASSERT_EQ(trace.events.size(), 3);
    EXPECT_EQ(trace.events[0].kind, Event::Write);
    EXPECT_EQ(trace.events[1].bytes, QByteArray("\x04"));
    EXPECT_EQ(trace.events[2].bytes, QByteArray("\x05"));
}

} // namespace
