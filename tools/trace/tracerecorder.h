// Records a session through the system's tap into a trace file (see
// docs/trace-format.md), for the simulated driver to replay.
#ifndef ORVEXTRACE_TRACERECORDER_H
#define ORVEXTRACE_TRACERECORDER_H

#include "tracefile.h"

#include <orvexsystem/system.h>

#include <QtCore/QString>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace OrvexTrace {

// Sets the system's tap while recording. The tap only copies each event
// into a queue (a short lock, no input or output); a thread of the
// recorder writes the queue to the file every few milliseconds and flushes
// it, so that a trace survives a crash of the host but for its last
// moments. Timestamps count from start().
//
// Start before OrvexSystem::initialise() to record the discovery's own
// exchanges too (what a replay needs to give the host the same hubs and
// lists); started later, the recorder writes the hubs connected at that
// moment as present from the start. The tap belongs to the recorder while
// it records: do not set another one meanwhile.
class TraceRecorder
{
public:
    explicit TraceRecorder(Orvexsystem::OrvexSystem &system);
    ~TraceRecorder(); // stops

    // Creates (or replaces) the file, writes the header and the hubs
    // connected now, and sets the tap. False, with the reason in *error,
    // when the file cannot be written or the recorder already records.
    bool start(const QString &path, QString *error = nullptr);
    // Clears the tap, writes what is queued and closes the file. False when
    // a write to the file failed at any point. Waits for a tap call that is
    // running; never call it from inside a driver callback.
    bool stop();
    bool isRecording() const { return m_file != nullptr; }
    // Events written or queued so far.
    qint64 eventCount() const { return m_count.load(); }

private:
    struct Item
    {
        Event event;
        bool isHub = false; // a hub taken in: hub then describes it
        bool plug = false;  // a hub that arrived later: a plug event follows
        HubRecord hub;
    };

    static void onTap(const Orvexsystem::OrvexSystem::TapEvent &event, void *context);
    void tap(const Orvexsystem::OrvexSystem::TapEvent &event);
    void writerLoop();
    // Writes a batch; on the writer thread, or in stop() once it ended.
    void writeItems(std::vector<Item> &items);
    void put(const QByteArray &line);

    Orvexsystem::OrvexSystem &m_system;
    std::FILE *m_file = nullptr;
    qint64 m_startNs = 0;
    bool m_writeFailed = false;
    QList<qint32> m_described; // hubs with a hub line; writer side only
    std::atomic<qint64> m_count{0};

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<Item> m_queue;
    bool m_stopWriter = false;
    std::thread m_writer;
};

} // namespace OrvexTrace

#endif
