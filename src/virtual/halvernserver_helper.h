#ifndef ORVEXSYSTEM_VIRTUAL_HALVERNSERVER_HELPER_H
#define ORVEXSYSTEM_VIRTUAL_HALVERNSERVER_HELPER_H

#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtNetwork/QHostAddress>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QAbstractEventDispatcher;
class QTcpSocket;

namespace Orvexsystem {

class LogLibrary;

// The link of a virtual hub to its response server, which hands out
// registration PINs and is told when a registration ends. The link finds the
// server (by its UDP announcement when no address is given, else or then by
// the configured address), keeps one TCP connection to it and exchanges the
// requests and replies of halvernprotocol.h. Every step of finding and
// connecting is written to the log module (loglibrary.h) at level 2.
//
// Threads: the link owns a private worker thread with a Qt event dispatcher
// of its own. Its TCP and UDP sockets are created, used and destroyed on
// that thread only. Every operation may be called from any thread: it hands
// a job to the worker and blocks until the job is done, at most
// CallDeadlineMs (a call that runs out answers false; its job still ends
// within its own time limits). Jobs run one at a time in the order they were
// given, so requests from several threads never interleave on the
// connection. Between jobs the worker watches the connection, so a server
// that closes it is noticed at once. Destroying the link waits for the job
// in progress.
//
// Settings, read once by the constructor: system scope, INI format,
// organisation "Veltrane", application "halvernserver", group "Server";
// "address" (default "localhost"), "use_tcp_port" and "use_udp_port"
// (default 8080 each; a value that is no port from 1 to 65535 counts as
// missing).
class halvernserver_helper : public QObject
{
    Q_OBJECT
public:
    static const char *const DefaultAddress;
    static constexpr int DefaultPort = 8080;
    static constexpr int LogLevel = 2;
    // Connection attempts begin at least this far apart.
    static constexpr int AttemptSpacingMs = 10000;
    // Wait for one address to accept the connection.
    static constexpr int ConnectWaitMs = 1500;
    // Wait for an announcement datagram.
    static constexpr int DiscoveryWaitMs = 3000;
    // Wait for a whole reply, its length included; also for a request to be
    // written.
    static constexpr int ReplyWaitMs = 3000;
    // IPv4 addresses tried per attempt, from an announcement or a name
    // lookup: an attempt takes at most DiscoveryWaitMs + the lookup +
    // MaxCandidates * ConnectWaitMs.
    static constexpr int MaxCandidates = 4;
    // Longest that a caller is blocked by one operation, whatever happens on
    // the network or in the name lookup.
    static constexpr int CallDeadlineMs = 30000;

    // A monotonic clock in milliseconds.
    using Clock = std::function<qint64()>;

    halvernserver_helper();
    ~halvernserver_helper() override;
    halvernserver_helper(const halvernserver_helper &) = delete;
    halvernserver_helper &operator=(const halvernserver_helper &) = delete;

    // Connects unless connected (then true at once). An empty address finds
    // the server by its announcement first, then falls back to the
    // configured address; a non-empty address replaces the configured one
    // and is looked up. A port from 1 to 65535 replaces the configured TCP
    // port. Refused (false) when the previous attempt began less than
    // AttemptSpacingMs ago.
    bool connectToServer(const QString &address, int port);
    // Asks for a registration PIN, sending text (the hub's details);
    // connects first when needed. True with reply set to the three
    // characters of the PIN; false with reply empty otherwise.
    bool requestPin(QString &reply, const QString &text);
    // Tells the server that a registration ended (the text is not sent);
    // connects first when needed; nothing is read.
    void endRegistration(const QString &text);
    // As endRegistration(), without waiting: the notice is queued behind
    // the link's other jobs and the caller goes on at once. For threads that
    // must not block on the network (the driver's delivery thread). A notice
    // still queued when the link is destroyed is dropped.
    void postEndRegistration();

    bool isConnected() const { return m_bConnected.load(); }
    // "address:port" of the current connection; empty when none.
    QString connectedTo() const;

    // Replaces the clock that spaces connection attempts (for tests).
    void setClock(Clock clock);

private Q_SLOTS:
    // The connection was closed (by the server, or by the link after a
    // broken reply); runs on the worker thread.
    void on_disconnected();

private:
    struct Job;
    using Work = std::function<bool(QString &reply)>;

    bool call(Work work, QString *reply = nullptr);
    // Queues work without waiting for it.
    void post(Work work);
    void wakeWorker(); // under m_queueMutex
    void workerMain();
    void runJob(const std::shared_ptr<Job> &job);
    qint64 now() const;
    void setConnectedTo(const QString &text);

    // The worker thread's side.
    bool connectNow(const QString &address, int port);
    bool ensureConnected();
    bool findServer(QList<QHostAddress> &addresses, int &port);
    QList<QHostAddress> lookUp(const QString &name);
    bool writeRequest(const QByteArray &request);
    bool readResponse(QByteArray &reply);
    void dropConnection();
    void deleteClosedSockets();
    void log(const QString &text);

    // Read by the constructor, then used by the worker only.
    QString m_strAddress;
    int m_nTcpPort;
    quint16 m_nUdpPort;
    std::unique_ptr<LogLibrary> m_pLog;
    QTcpSocket *m_pSocket = nullptr;
    // Sockets whose connection closed, deleted by the worker loop outside
    // their own signal emission.
    QList<QTcpSocket *> m_closedSockets;
    bool m_bAttempted = false;
    qint64 m_nLastAttempt = 0;

    // Shared with callers.
    std::atomic<bool> m_bConnected{false};
    mutable std::mutex m_stateMutex;
    QString m_strConnectedTo;
    Clock m_clock;

    // The job queue.
    std::mutex m_queueMutex;
    std::condition_variable m_queueChanged;
    std::deque<std::shared_ptr<Job>> m_jobs;
    bool m_bWorkerStarted = false;
    bool m_bStopping = false;
    // The worker's dispatcher, set before the constructor returns and cleared
    // when the worker stops; null when the process has no application object.
    QAbstractEventDispatcher *m_pDispatcher = nullptr;
    std::thread m_worker;
};

} // namespace Orvexsystem

#endif
