#include "context.h"

#include "tracerecorder.h"

#include <QtCore/QEventLoop>
#include <QtCore/QJsonDocument>
#include <QtCore/QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

using namespace Orvexsystem;

namespace Orvexctl {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

// The first Ctrl-C (or SIGTERM) ends the running operation as its time
// would; a second one ends the process.
extern "C" void onInterrupt(int signal)
{
    g_interrupted = 1;
    std::signal(signal, SIG_DFL);
}

void installInterruptHandlers()
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a confirmation waiting on standard input ends too.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace

QString exitCodeName(int code)
{
    switch (code) {
    case Exit_Success:
        return QStringLiteral("success");
    case Exit_Usage:
        return QStringLiteral("usage");
    case Exit_NoDriver:
        return QStringLiteral("no-driver");
    case Exit_NoSuchHub:
        return QStringLiteral("no-such-hub");
    case Exit_HubError:
        return QStringLiteral("hub-error");
    case Exit_TimeOut:
        return QStringLiteral("time-out");
    case Exit_NotSupported:
        return QStringLiteral("not-supported");
    case Exit_Cancelled:
        return QStringLiteral("cancelled");
    case Exit_FileError:
        return QStringLiteral("file-error");
    case Exit_Interrupted:
        return QStringLiteral("interrupted");
    default:
        return QStringLiteral("failure");
    }
}

Context::Context(const QString &command, const GlobalOptions &options)
    : m_command(command), m_options(options), m_out(stdout), m_err(stderr)
{
    m_clock.start();
    m_stdoutTerminal = isatty(STDOUT_FILENO) == 1;
    m_stderrTerminal = isatty(STDERR_FILENO) == 1;
    installInterruptHandlers();
}

Context::~Context()
{
    finish();
}

int Context::start()
{
    if (!m_options.recordPath.isEmpty()) {
        // Before initialise(), so that the trace holds the discovery's own
        // exchanges and a replay gives a host the same hubs.
        m_recorder = std::make_unique<OrvexTrace::TraceRecorder>(system());
        QString error;
        if (!m_recorder->start(m_options.recordPath, &error)) {
            m_recorder.reset();
            return fail(Exit_FileError, error);
        }
    }
    if (!system().initialise()) {
        const OrvexSystem::Error error = system().getLastError();
        if (error == OrvexSystem::Error_DriverNotInstalled)
            return fail(Exit_NoDriver,
                        QStringLiteral("the driver liborvexboardex.so cannot be loaded "
                                       "(the loader's path, LD_LIBRARY_PATH, selects it)"));
        return fail(Exit_Failure,
                    QStringLiteral("the library did not start: %1").arg(OrvexSystem::errorAsString(error)));
    }
    m_started = true;
    return Exit_Success;
}

bool Context::finish()
{
    endLive();
    endProgress();
    bool ok = true;
    if (m_started) {
        system().shutdown();
        m_started = false;
    }
    // No callback runs any more.
    m_queues.clear();
    if (m_recorder) {
        ok = m_recorder->stop();
        m_recordedEvents = m_recorder->eventCount();
        m_recorder.reset();
    }
    m_out.flush();
    m_err.flush();
    return ok;
}

int Context::fail(int code, const QString &message)
{
    endLive();
    endProgress();
    m_err << "orvexctl " << m_command << ": " << message << Qt::endl;
    if (json()) {
        QJsonObject error{{QStringLiteral("code"), code},
                          {QStringLiteral("kind"), exitCodeName(code)},
                          {QStringLiteral("message"), message}};
        printJson(QJsonObject{{QStringLiteral("error"), error}});
    }
    return code;
}

int Context::hubFailure(Hub *hub, const QString &what)
{
    const Hub::Error error = hub->getLastError();
    int code = Exit_HubError;
    if (error == Hub::Error_NotSupported)
        code = Exit_NotSupported;
    else if (error == Hub::Error_NotConnected || !hub->isConnected())
        code = Exit_NoSuchHub;
    return fail(code, QStringLiteral("%1: %2 (%3)").arg(hubTitle(hub), what, Hub::errorAsString(error)));
}

void Context::note(const QString &message)
{
    endProgress();
    m_err << "orvexctl " << m_command << ": " << message << Qt::endl;
}

qint64 Context::recordedEvents() const
{
    return m_recorder ? m_recorder->eventCount() : m_recordedEvents;
}

void Context::printJson(const QJsonObject &document)
{
    m_out << QJsonDocument(document).toJson(QJsonDocument::Indented);
    m_out.flush();
}

void Context::printJsonLine(const QJsonObject &line)
{
    m_out << QJsonDocument(line).toJson(QJsonDocument::Compact) << '\n';
    m_out.flush();
}

void Context::progress(const QString &text)
{
    if (quiet())
        return;
    if (m_stderrTerminal) {
        m_err << "\r\033[K" << text;
        m_err.flush();
        m_progressShown = true;
        return;
    }
    if (elapsedMs() - m_lastProgressMs < 1000)
        return;
    m_lastProgressMs = elapsedMs();
    m_err << text << Qt::endl;
}

void Context::endProgress()
{
    if (m_progressShown) {
        m_err << "\r\033[K";
        m_err.flush();
        m_progressShown = false;
    }
}

bool Context::liveOnStdout() const
{
    return !json() && m_stdoutTerminal;
}

void Context::showLive(const QStringList &lines)
{
    const bool toStdout = liveOnStdout();
    if (!toStdout && (quiet() || !m_stderrTerminal)) {
        if (!lines.isEmpty())
            progress(lines.first());
        return;
    }
    QTextStream &stream = toStdout ? m_out : m_err;
    // Back to the first line of the previous view, then over it.
    if (m_liveLines > 0)
        stream << "\033[" << m_liveLines << 'A';
    stream << '\r';
    for (const QString &line : lines)
        stream << "\033[K" << line << '\n';
    for (int i = int(lines.size()); i < m_liveLines; ++i)
        stream << "\033[K\n";
    m_liveLines = std::max(m_liveLines, int(lines.size()));
    stream.flush();
}

void Context::endLive()
{
    if (m_liveLines == 0)
        return;
    QTextStream &stream = liveOnStdout() ? m_out : m_err;
    // The view is erased; the final output takes its place.
    stream << "\033[" << m_liveLines << 'A' << "\r\033[J";
    stream.flush();
    m_liveLines = 0;
}

bool Context::hubCan(Hub *hub, HubNeed need, bool explicitChoice)
{
    switch (need) {
    case HubNeed::Any:
        return true;
    case HubNeed::TwoPointFourGHz:
        return hub->type() == Hub::Type_TwoPointFourGHz;
    case HubNeed::Voting:
        return true;
    case HubNeed::Registration:
        // A legacy hub whose model is not known to register can still be
        // named explicitly: the hub's answers decide then.
        return hub->supportsRegistration() || explicitChoice;
    }
    return false;
}

Hub *Context::selectHub(const QString &hubArgument, HubNeed need, int *exitCode)
{
    QList<Hub *> hubs;
    system().getHubList(&hubs);
    std::sort(hubs.begin(), hubs.end(), [](Hub *a, Hub *b) { return a->handle() < b->handle(); });
    const auto unsuitable = [&](Hub *hub) {
        *exitCode = fail(Exit_NotSupported,
                         QStringLiteral("%1 cannot do this (%2)").arg(hubTitle(hub), need == HubNeed::TwoPointFourGHz
                                                                        ? QStringLiteral("2.4 GHz hubs only")
                                                                        : QStringLiteral("it does not register devices")));
        return nullptr;
    };
    if (!hubArgument.isEmpty()) {
        bool isNumber = false;
        const int handle = hubArgument.toInt(&isNumber, 10);
        bool isUid = false;
        const quint64 uid = hubArgument.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                                ? hubArgument.mid(2).toULongLong(&isUid, 16)
                                : 0;
        for (Hub *hub : std::as_const(hubs)) {
            bool match = false;
            if (isNumber)
                match = hub->handle() == handle;
            else if (isUid)
                match = hub->uid() == uid;
            else if (auto *rf = qobject_cast<TwoPointFourGHzHub *>(hub))
                match = rf->name().compare(hubArgument, Qt::CaseInsensitive) == 0;
            if (match)
                return hubCan(hub, need, true) ? hub : unsuitable(hub);
        }
        *exitCode = fail(Exit_NoSuchHub, QStringLiteral("no connected hub %1").arg(hubArgument));
        return nullptr;
    }
    QList<Hub *> suitable;
    for (Hub *hub : std::as_const(hubs))
        if (hubCan(hub, need, false))
            suitable << hub;
    if (suitable.size() == 1)
        return suitable.first();
    if (suitable.isEmpty()) {
        *exitCode = fail(Exit_NoSuchHub, hubs.isEmpty() ? QStringLiteral("no hub is connected")
                                                        : QStringLiteral("no connected hub can do this"));
        return nullptr;
    }
    QStringList names;
    for (Hub *hub : std::as_const(suitable))
        names << QString::number(hub->handle());
    *exitCode = fail(Exit_Usage, QStringLiteral("several hubs can do this (handles %1): choose one with --hub")
                                     .arg(names.join(QLatin1String(", "))));
    return nullptr;
}

bool Context::confirm(const QString &question)
{
    m_err << question << " [y/N] ";
    m_err.flush();
    char line[64] = {};
    if (!std::fgets(line, sizeof line, stdin)) {
        m_err << Qt::endl;
        return false;
    }
    const QString answer = QString::fromLocal8Bit(line).trimmed().toLower();
    return answer == QLatin1String("y") || answer == QLatin1String("yes");
}

Context::End Context::runUntil(const std::function<bool()> &done, qint64 timeoutMs,
                               const std::function<void()> &tick)
{
    if (done())
        return End::Done;
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    End end = End::Done;
    bool over = false;
    const auto check = [&] {
        if (over)
            return;
        if (done())
            end = End::Done;
        else if (g_interrupted)
            end = End::Interrupted;
        else if (timeoutMs >= 0 && clock.elapsed() >= timeoutMs)
            end = End::TimedOut;
        else
            return;
        over = true;
        loop.quit();
    };
    QTimer ticker;
    ticker.setInterval(100);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (tick)
            tick();
        check();
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, check);
    ticker.start();
    if (timeoutMs >= 0)
        deadline.start(int(std::min<qint64>(timeoutMs, 0x7FFFFFFF)));
    m_wake = check;
    loop.exec();
    m_wake = nullptr;
    return end;
}

void Context::wake()
{
    if (m_wake)
        m_wake();
}

QString hexUid(quint64 uid)
{
    return QStringLiteral("0x") + QString::number(uid, 16).toUpper().rightJustified(8, QLatin1Char('0'));
}

QString hubKindWord(Hub *hub)
{
    if (hub->isVirtualHub())
        return QStringLiteral("virtual");
    return hub->type() == Hub::Type_TwoPointFourGHz ? QStringLiteral("rf") : QStringLiteral("legacy");
}

QString hubKindText(Hub *hub)
{
    if (hub->isVirtualHub())
        return QStringLiteral("virtual 2.4 GHz hub");
    if (hub->type() == Hub::Type_TwoPointFourGHz)
        return QStringLiteral("2.4 GHz hub");
    return hub->connectionType() == Hub::ConnectionType_Serial ? QStringLiteral("legacy hub (serial)")
                                                                : QStringLiteral("legacy hub (USB)");
}

QString hubTitle(Hub *hub)
{
    return QStringLiteral("hub %1 (%2)").arg(hub->handle()).arg(hubKindText(hub));
}

bool parseDeviceUid(const QString &text, quint32 *uid)
{
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    if (digits.isEmpty() || digits.size() > 8)
        return false;
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    if (ok)
        *uid = value;
    return ok;
}

} // namespace Orvexctl
