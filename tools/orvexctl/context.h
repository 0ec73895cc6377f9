// What every orvexctl command shares: the exit codes, the output (text or
// JSON, progress on standard error), the library's start and stop, the
// choice of a hub, and an event loop bounded in time that Ctrl-C ends.
#ifndef ORVEXCTL_CONTEXT_H
#define ORVEXCTL_CONTEXT_H

#include <orvexsystem/orvexsystem.h>

#include <QtCore/QElapsedTimer>
#include <QtCore/QJsonObject>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QTextStream>

#include "reportqueue.h"

#include <functional>
#include <memory>
#include <vector>

namespace OrvexTrace {
class TraceRecorder;
}

namespace Orvexctl {

// Exit codes scripts can rely on (tools/orvexctl/README.md).
enum ExitCode {
    Exit_Success = 0,
    Exit_Failure = 1,      // anything not named below
    Exit_Usage = 2,        // bad command line, or a hub must be chosen
    Exit_NoDriver = 3,     // the driver module cannot be loaded
    Exit_NoSuchHub = 4,    // no such hub or device, or it is not connected
    Exit_HubError = 5,     // the hub refused or failed the operation
    Exit_TimeOut = 6,      // --count not reached within --duration
    Exit_NotSupported = 7, // the hub kind (or this library) cannot do it
    Exit_Cancelled = 8,    // a clear that was not confirmed
    Exit_FileError = 9,    // a file cannot be written
    Exit_Interrupted = 130 // Ctrl-C or SIGTERM before --count was reached
};

// The word for an exit code in JSON error documents, e.g. "no-such-hub".
QString exitCodeName(int code);

struct GlobalOptions
{
    bool json = false;
    bool quiet = false;
    QString recordPath; // --record: the whole run is traced to this file
};

// What kind of hub a command can work with.
enum class HubNeed {
    Any,          // every hub kind
    TwoPointFourGHz, // 2.4 GHz hubs, virtual ones included
    Voting,       // hubs with voting handsets
    Registration  // hubs that register devices
};

class Context
{
public:
    Context(const QString &command, const GlobalOptions &options);
    ~Context(); // shuts the library down

    bool json() const { return m_options.json; }
    bool quiet() const { return m_options.quiet; }
    const QString &command() const { return m_command; }
    QTextStream &out() { return m_out; }
    QTextStream &err() { return m_err; }

    // Starts the recorder (--record) and initialises the library. Returns
    // Exit_Success, or the code of the failure after reporting it.
    int start();
    Orvexsystem::OrvexSystem &system() { return Orvexsystem::OrvexSystem::instance(); }
    // Stops the recorder and shuts the library down; false when the trace
    // could not be written completely.
    bool finish();

    // Reports a failure on standard error (and as a JSON error document on
    // standard output in JSON mode); returns code.
    int fail(int code, const QString &message);
    // Reports that the hub failed "what": the exit code follows the hub's
    // last error (not connected, not supported, else a hub error).
    int hubFailure(Orvexsystem::Hub *hub, const QString &what);
    // A remark on standard error that is not the command's result.
    void note(const QString &message);
    // Events written to the trace so far (--record); 0 without a trace.
    qint64 recordedEvents() const;

    void printJson(const QJsonObject &document);
    void printJsonLine(const QJsonObject &line);

    // A progress line on standard error (not with --quiet): redrawn in place
    // on a terminal, else written at most once a second.
    void progress(const QString &text);
    void endProgress();
    // The live view of a long operation: a block of lines redrawn in place
    // on a terminal (standard output in text mode, else standard error);
    // where no terminal is, only its first line goes to progress().
    void showLive(const QStringList &lines);
    // Ends the live view; in text mode on a terminal the final lines
    // replace it, otherwise they are the caller's to print.
    bool liveOnStdout() const;
    void endLive();

    // The connected hub that the --hub argument names (a handle, a hub uid as 0x..., or a
    // 2.4 GHz hub's name), or without one the only connected hub the
    // command can use. Null after reporting the failure in *exitCode.
    Orvexsystem::Hub *selectHub(const QString &hubArgument, HubNeed need, int *exitCode);

    // Asks on standard error and reads the answer from standard input; true
    // for y or yes.
    bool confirm(const QString &question);

    // Runs the event loop until done() holds, timeoutMs passed (-1: never)
    // or the process is interrupted; tick() runs about every 100 ms.
    enum class End { Done, TimedOut, Interrupted };
    End runUntil(const std::function<bool()> &done, qint64 timeoutMs,
                 const std::function<void()> &tick = {});
    // Makes a running runUntil() look at done() at once (after a report).
    void wake();
    // A queue for the callbacks of the library. It lives until the library
    // has shut down: a callback set on a hub may still run until then.
    template <class T>
    std::shared_ptr<ReportQueue<T>> makeQueue()
    {
        auto queue = std::make_shared<ReportQueue<T>>();
        m_queues.push_back(queue);
        return queue;
    }

    // Keeps object (a callbacks' context) until the library has shut down.
    void keepUntilShutdown(std::shared_ptr<void> object) { m_queues.push_back(std::move(object)); }

    // Milliseconds since the command began.
    qint64 elapsedMs() const { return m_clock.elapsed(); }

private:
    bool hubCan(Orvexsystem::Hub *hub, HubNeed need, bool explicitChoice);

    QString m_command;
    GlobalOptions m_options;
    QTextStream m_out;
    QTextStream m_err;
    QElapsedTimer m_clock;
    bool m_started = false;
    bool m_stdoutTerminal = false;
    bool m_stderrTerminal = false;
    bool m_progressShown = false;
    qint64 m_lastProgressMs = -1000000;
    int m_liveLines = 0;
    std::function<void()> m_wake;
    std::vector<std::shared_ptr<void>> m_queues;
    std::unique_ptr<OrvexTrace::TraceRecorder> m_recorder;
    qint64 m_recordedEvents = 0; // once the recorder stopped
};

// Text helpers shared by the commands.
QString hexUid(quint64 uid);
// "rf", "virtual" or "legacy".
QString hubKindWord(Orvexsystem::Hub *hub);
// "2.4 GHz hub", "virtual 2.4 GHz hub", "legacy hub (USB)", ...
QString hubKindText(Orvexsystem::Hub *hub);
// "hub 1" with the hub's kind, e.g. for messages.
QString hubTitle(Orvexsystem::Hub *hub);
// A device uid as given on the command line: hexadecimal, 0x optional.
bool parseDeviceUid(const QString &text, quint32 *uid);

} // namespace Orvexctl

#endif
