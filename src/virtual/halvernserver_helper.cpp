#include "virtual/halvernserver_helper.h"

#include "virtual/halvernprotocol.h"
#include "virtual/loglibrary.h"

#include <QtCore/QAbstractEventDispatcher>
#include <QtCore/QDeadlineTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QSettings>
#include <QtNetwork/QHostInfo>
#include <QtNetwork/QNetworkProxy>
#include <QtNetwork/QTcpSocket>
#include <QtNetwork/QUdpSocket>

#include <chrono>

namespace Orvexsystem {

using namespace HalvernProtocol;

const char *const halvernserver_helper::DefaultAddress = "localhost";

namespace {

// What Qt reads ahead from the server between requests: no reply is longer,
// and a server that floods the connection cannot grow the buffer.
constexpr qint64 ReadBufferSize = 256;

int portSetting(const QSettings &settings, const char *key)
{
    bool ok = false;
    const int port = settings.value(QLatin1String(key)).toInt(&ok);
    return ok && port >= 1 && port <= 0xFFFF ? port : halvernserver_helper::DefaultPort;
}

int remainingMs(const QDeadlineTimer &deadline)
{
    return int(deadline.remainingTime());
}

} // namespace

// One operation handed to the worker; the caller waits on it.
struct halvernserver_helper::Job
{
    std::mutex mutex;
    std::condition_variable done;
    Work work;
    bool finished = false;
    bool abandoned = false;
    bool result = false;
    QString reply;

    void finish(bool ok, const QString &text)
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            finished = true;
            result = ok;
            reply = text;
        }
        done.notify_all();
    }
};

halvernserver_helper::halvernserver_helper()
{
    QSettings settings(QSettings::IniFormat, QSettings::SystemScope, QStringLiteral("Veltrane"),
                       QStringLiteral("halvernserver"));
    settings.beginGroup(QStringLiteral("Server"));
    m_strAddress = settings.value(QStringLiteral("address")).toString();
    if (m_strAddress.isEmpty())
        m_strAddress = QString::fromLatin1(DefaultAddress);
    m_nTcpPort = portSetting(settings, "use_tcp_port");
    m_nUdpPort = quint16(portSetting(settings, "use_udp_port"));

    m_pLog = std::make_unique<LogLibrary>(LogLevel);

    m_worker = std::thread([this] { workerMain(); });
    std::unique_lock<std::mutex> lock(m_queueMutex);
    m_queueChanged.wait(lock, [this] { return m_bWorkerStarted; });
}

halvernserver_helper::~halvernserver_helper()
{
    std::deque<std::shared_ptr<Job>> pending;
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        m_bStopping = true;
        pending.swap(m_jobs);
        wakeWorker();
    }
    for (const auto &job : pending)
        job->finish(false, QString());
    m_worker.join();
}

bool halvernserver_helper::connectToServer(const QString &address, int port)
{
    return call([this, address, port](QString &) { return connectNow(address, port); });
}

bool halvernserver_helper::requestPin(QString &reply, const QString &text)
{
    const QByteArray request = pinRequest(text);
    QString pin;
    const bool ok = call(
        [this, request](QString &out) {
            if (!ensureConnected() || !writeRequest(request))
                return false;
            QByteArray bytes;
            // Any other length is no PIN.
            if (!readResponse(bytes) || bytes.size() != PinLength)
                return false;
            out = QString::fromLatin1(bytes);
            return true;
        },
        &pin);
    reply = ok ? pin : QString();
    return ok;
}

void halvernserver_helper::endRegistration(const QString &)
{
    call([this](QString &) {
        return ensureConnected() && writeRequest(endRegistrationRequest());
    });
}

void halvernserver_helper::postEndRegistration()
{
    post([this](QString &) {
        return ensureConnected() && writeRequest(endRegistrationRequest());
    });
}

QString halvernserver_helper::connectedTo() const
{
    std::lock_guard<std::mutex> lock(m_stateMutex);
    return m_strConnectedTo;
}

void halvernserver_helper::setClock(Clock clock)
{
    std::lock_guard<std::mutex> lock(m_stateMutex);
    m_clock = std::move(clock);
}

qint64 halvernserver_helper::now() const
{
    Clock clock;
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        clock = m_clock;
    }
    if (clock)
        return clock();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void halvernserver_helper::setConnectedTo(const QString &text)
{
    std::lock_guard<std::mutex> lock(m_stateMutex);
    m_strConnectedTo = text;
}

bool halvernserver_helper::call(Work work, QString *reply)
{
    auto job = std::make_shared<Job>();
    job->work = std::move(work);
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        if (m_bStopping)
            return false;
        m_jobs.push_back(job);
        wakeWorker();
    }

    std::unique_lock<std::mutex> lock(job->mutex);
    if (!job->done.wait_for(lock, std::chrono::milliseconds(CallDeadlineMs),
                            [&job] { return job->finished; })) {
        // Not started yet: it never will be. Running: its result is dropped.
        job->abandoned = true;
        return false;
    }
    if (reply)
        *reply = job->reply;
    return job->result;
}

void halvernserver_helper::post(Work work)
{
    auto job = std::make_shared<Job>();
    job->work = std::move(work);
    std::lock_guard<std::mutex> lock(m_queueMutex);
    if (m_bStopping)
        return;
    m_jobs.push_back(std::move(job));
    wakeWorker();
}

void halvernserver_helper::wakeWorker()
{
    // Called under m_queueMutex, so the worker cannot be tearing its
    // dispatcher down meanwhile: it lets go of it under the same lock.
    m_queueChanged.notify_all();
    // Thread-safe, and remembered when the worker is not waiting yet.
    if (m_pDispatcher)
        m_pDispatcher->wakeUp();
}

void halvernserver_helper::workerMain()
{
    // The loop object gives this thread its event dispatcher; the loop itself
    // is never entered: the worker waits for events or jobs below. Without
    // an application object there is no dispatcher: the worker then waits
    // for jobs alone, and a closed connection is noticed by the next request.
    QEventLoop loop;
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        m_pDispatcher = QAbstractEventDispatcher::instance();
        m_bWorkerStarted = true;
    }
    m_queueChanged.notify_all();

    for (;;) {
        deleteClosedSockets();
        std::shared_ptr<Job> job;
        {
            std::unique_lock<std::mutex> lock(m_queueMutex);
            if (!m_pDispatcher)
                m_queueChanged.wait(lock, [this] { return !m_jobs.empty() || m_bStopping; });
            if (!m_jobs.empty()) {
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
            } else if (m_bStopping) {
                m_pDispatcher = nullptr;
                break;
            }
        }
        if (job)
            runJob(job);
        else
            loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    dropConnection();
    deleteClosedSockets();
}

void halvernserver_helper::runJob(const std::shared_ptr<Job> &job)
{
    Work work;
    {
        std::lock_guard<std::mutex> lock(job->mutex);
        if (job->abandoned)
            return;
        work = std::move(job->work);
    }
    QString reply;
    const bool ok = work(reply);
    job->finish(ok, reply);
}

bool halvernserver_helper::ensureConnected()
{
    return m_bConnected.load() || connectNow(QString(), 0);
}

bool halvernserver_helper::connectNow(const QString &address, int port)
{
    if (m_bConnected.load()) {
        log(QStringLiteral("Halvern: Already connected.\n"));
        return true;
    }
    const qint64 attempt = now();
    if (m_bAttempted && attempt - m_nLastAttempt < AttemptSpacingMs) {
        log(QStringLiteral("Halvern: too early.\n"));
        return false;
    }
    if (!address.isEmpty())
        m_strAddress = address;
    if (port >= 1 && port <= 0xFFFF)
        m_nTcpPort = port;
    setConnectedTo(QString());
    m_bAttempted = true;
    m_nLastAttempt = attempt;

    int usePort = m_nTcpPort;
    QList<QHostAddress> candidates;
    if (!(address.isEmpty() && findServer(candidates, usePort)))
        candidates = lookUp(m_strAddress);

    auto socket = std::make_unique<QTcpSocket>();
    // The server is reached directly: no proxy of the system's configuration
    // belongs between a hub and its server on the local network.
    socket->setProxy(QNetworkProxy::NoProxy);
    socket->setReadBufferSize(ReadBufferSize);
    int tried = 0;
    for (const QHostAddress &candidate : std::as_const(candidates)) {
        if (candidate.protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        if (tried++ == MaxCandidates)
            break;
        socket->connectToHost(candidate, quint16(usePort));
        if (socket->waitForConnected(ConnectWaitMs)) {
            log(QStringLiteral("Halvern: connected ") + candidate.toString() + QLatin1Char('\n'));
            m_pSocket = socket.release();
            connect(m_pSocket, &QAbstractSocket::disconnected, this,
                    &halvernserver_helper::on_disconnected, Qt::DirectConnection);
            setConnectedTo(candidate.toString() + QLatin1Char(':') + QString::number(usePort));
            m_bConnected.store(true);
            return true;
        }
        log(QStringLiteral("Halvern: not connected ") + candidate.toString() + QLatin1Char('\n'));
        socket->abort();
    }
    log(QStringLiteral("Halvern: not found\n"));
    return false;
}

bool halvernserver_helper::findServer(QList<QHostAddress> &addresses, int &port)
{
    addresses.clear();
    QUdpSocket udp;
    udp.setProxy(QNetworkProxy::NoProxy);
    if (!udp.bind(QHostAddress::AnyIPv4, m_nUdpPort,
                  QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint))
        log(QStringLiteral("Halvern: ERROR: could not bind boadcast socket\n"));
    if (!udp.waitForReadyRead(DiscoveryWaitMs)) {
        log(QStringLiteral("Halvern: broadcaster did not receive anything\n"));
        return false;
    }
    // A longer datagram is cut; its rest is dropped by the read.
    QByteArray datagram(MaxDatagramSize, '\0');
    const qint64 size = udp.readDatagram(datagram.data(), datagram.size());
    if (size <= 0)
        return false;
    datagram.truncate(size);

    const Announcement announcement = parseAnnouncement(datagram);
    if (!announcement.matched) {
        log(QStringLiteral("Halvern: Halvern Data found, but incorrect:"));
        m_pLog->logBinary(datagram);
        log(QStringLiteral("\n"));
        return false;
    }
    port = announcement.port;
    addresses = announcement.addresses;
    return !addresses.isEmpty();
}

QList<QHostAddress> halvernserver_helper::lookUp(const QString &name)
{
    const QList<QHostAddress> addresses = QHostInfo::fromName(name).addresses();
    log(QStringLiteral("Halvern: [%1] addresses follow:\n").arg(name));
    for (const QHostAddress &address : addresses)
        log(address.toString());
    log(QStringLiteral("\n"));
    return addresses;
}

bool halvernserver_helper::writeRequest(const QByteArray &request)
{
    QTcpSocket *socket = m_pSocket;
    if (!socket)
        return false;
    // Bytes that no request of this one asked for (an unsolicited or late
    // reply) must not be read as its reply.
    socket->skip(socket->bytesAvailable());
    bool whole = socket->write(request) == request.size();
    const QDeadlineTimer deadline(ReplyWaitMs);
    while (whole && socket->bytesToWrite() > 0
           && socket->waitForBytesWritten(remainingMs(deadline))) {
    }
    whole = whole && socket->bytesToWrite() == 0 && socket->state() == QAbstractSocket::ConnectedState;
    if (!whole) {
        // The server holds part of a request: the next one would run into
        // it, so the connection is given up.
        log(QStringLiteral("[lrs:write] Partial write\n"));
        dropConnection();
    }
    return whole;
}

bool halvernserver_helper::readResponse(QByteArray &reply)
{
    reply.clear();
    QTcpSocket *socket = m_pSocket;
    if (!socket)
        return false;
    // One deadline for the whole reply: a server that sends it byte by byte,
    // or stops inside the length, cannot hold the caller longer.
    const QDeadlineTimer deadline(ReplyWaitMs);
    if (socket->bytesAvailable() <= 0 && !socket->waitForReadyRead(remainingMs(deadline))) {
        log(QStringLiteral("Halvern: Read from Halvern server: no data after 3 secs\n"));
        // A reply arriving later would be taken for the next request's.
        dropConnection();
        return false;
    }
    ReplyReader reader;
    while (reader.status() == ReplyReader::Status_NeedMore) {
        if (socket->bytesAvailable() > 0) {
            const QByteArray chunk = socket->read(reader.missing());
            reader.feed(chunk.constData(), chunk.size());
        } else if (deadline.hasExpired() || !socket->waitForReadyRead(remainingMs(deadline))) {
            break;
        }
    }
    if (reader.status() != ReplyReader::Status_Complete) {
        // The rest of this reply would be read as the next one.
        dropConnection();
        return false;
    }
    reply = reader.body();
    return true;
}

void halvernserver_helper::dropConnection()
{
    if (m_pSocket)
        m_pSocket->abort(); // a connected socket reports disconnected() here
    if (m_pSocket)
        on_disconnected();
}

void halvernserver_helper::on_disconnected()
{
    if (m_pSocket) {
        m_closedSockets.append(m_pSocket);
        m_pSocket = nullptr;
    }
    m_bConnected.store(false);
    setConnectedTo(QString());
}

void halvernserver_helper::deleteClosedSockets()
{
    qDeleteAll(m_closedSockets);
    m_closedSockets.clear();
}

void halvernserver_helper::log(const QString &text)
{
    m_pLog->logText(text);
}

} // namespace Orvexsystem
