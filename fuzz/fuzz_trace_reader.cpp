// Feeds arbitrary bytes to the trace reader of tools/trace. A trace it
// accepts keeps to the format's limits, is in time order, and reads back
// the same once written.

#include "tracefile.h"

#include <QtCore/QBuffer>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace OrvexTrace;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Trace trace;
    QString error;
    if (!readTrace(QByteArray(reinterpret_cast<const char *>(data), int(size)), trace, &error)) {
        if (!error.startsWith(QLatin1String("line ")) || !trace.hubs.isEmpty() || !trace.events.isEmpty())
            std::abort();
        return 0;
    }
    if (trace.hubs.size() > MaximumHubs)
        std::abort();
    for (int i = 0; i < trace.events.size(); ++i) {
        const Event &e = trace.events[i];
        if (e.bytes.size() > MaximumEventBytes || (i > 0 && trace.events[i - 1].timeNs > e.timeNs)
            || (!e.freeBytes.isEmpty() && e.freeBytes.size() != e.bytes.size()))
            std::abort();
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    Trace again;
    if (!writeTrace(buffer, trace) || !readTrace(buffer.data(), again, &error)
        || again.hubs.size() != trace.hubs.size() || again.events.size() != trace.events.size())
        std::abort();
    for (int i = 0; i < trace.events.size(); ++i)
        if (eventLine(again.events[i]) != eventLine(trace.events[i]))
            std::abort();
    return 0;
}
