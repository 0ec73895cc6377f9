// watch and record: events as they happen, and the traffic into a trace.
#include "commands.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonObject>
#include <QtCore/QSet>

#include <algorithm>

using namespace Orvexsystem;

namespace Orvexctl {

namespace {

QString penEventWord(Hub::PenEvent event)
{
    switch (event) {
    case Hub::PenEvent_Move:
        return QStringLiteral("move");
    case Hub::PenEvent_TipDown:
        return QStringLiteral("tip-down");
    case Hub::PenEvent_TipUp:
        return QStringLiteral("tip-up");
    case Hub::PenEvent_BarrelDown:
        return QStringLiteral("barrel-down");
    case Hub::PenEvent_BarrelUp:
        return QStringLiteral("barrel-up");
    default:
        return QStringLiteral("none");
    }
}

int checkNoArgument(const QCommandLineParser &parser, QString *error)
{
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());
        return Exit_Usage;
    }
    qint64 durationMs = 0;
    int count = 0;
    return durationOptions(parser, &durationMs, &count, error) ? Exit_Success : Exit_Usage;
}

// --- watch --------------------------------------------------------------

void addOptionsWatch(QCommandLineParser &parser)
{
    addHubOption(parser);
    parser.addOption({QStringLiteral("no-moves"), QStringLiteral("Leave out pen moves.")});
    addDurationOptions(parser, 0, QStringLiteral("n events have been shown"));
}

// Shows the events of the watched hubs. They are reported on the driver's
// thread (hub arrivals on the event thread) and reach this thread through
// queued connections, so the output is written here only.
class Watcher
{
public:
    Watcher(Context &context, bool moves) : m_context(context), m_moves(moves) {}

    int count() const { return m_count; }

    void watch(Hub *hub)
    {
        if (m_watched.contains(hub))
            return;
        m_watched.insert(hub);
        QObject::connect(hub, &Hub::penEventReceived, &m_receiver,
                         [this](Hub *h, Hub::PenEvent event, quint8 pen, int x, int y, bool tip, bool barrel) {
                             if (event == Hub::PenEvent_Move && !m_moves)
                                 return;
                             show(h, QStringLiteral("pen"),
                                  QJsonObject{{QStringLiteral("action"), penEventWord(event)},
                                              {QStringLiteral("pen"), int(pen)},
                                              {QStringLiteral("x"), x},
                                              {QStringLiteral("y"), y},
                                              {QStringLiteral("tip"), tip},
                                              {QStringLiteral("barrel"), barrel}},
                                  QStringLiteral("pen %1 %2 (%3, %4)%5%6")
                                      .arg(pen)
                                      .arg(penEventWord(event).leftJustified(11))
                                      .arg(x)
                                      .arg(y)
                                      .arg(tip ? QStringLiteral(" tip") : QString(),
                                           barrel ? QStringLiteral(" barrel") : QString()));
                         },
                         Qt::QueuedConnection);
        QObject::connect(hub, &Hub::touchEventReceived, &m_receiver,
                         [this](Hub *h, QList<Hub::TouchInfo> touches) {
                             QJsonArray contacts;
                             QStringList text;
                             for (const Hub::TouchInfo &t : std::as_const(touches)) {
                                 contacts.append(QJsonObject{{QStringLiteral("id"), t.nTouchId},
                                                             {QStringLiteral("x"), t.nX},
                                                             {QStringLiteral("y"), t.nY},
                                                             {QStringLiteral("radius"), t.nRadius},
                                                             {QStringLiteral("down"), t.bStatus}});
                                 text << QStringLiteral("#%1 (%2, %3) r %4 %5")
                                             .arg(t.nTouchId)
                                             .arg(t.nX)
                                             .arg(t.nY)
                                             .arg(t.nRadius)
                                             .arg(t.bStatus ? QStringLiteral("down") : QStringLiteral("up"));
                             }
                             show(h, QStringLiteral("touch"), QJsonObject{{QStringLiteral("contacts"), contacts}},
                                  QStringLiteral("touch %1").arg(text.join(QLatin1String("; "))));
                         },
                         Qt::QueuedConnection);
        QObject::connect(hub, &Hub::touchStatusEventReceived, &m_receiver,
                         [this](Hub *h, bool running) {
                             show(h, QStringLiteral("touch-status"), QJsonObject{{QStringLiteral("running"), running}},
                                  QStringLiteral("touch %1").arg(running ? QStringLiteral("running")
                                                                         : QStringLiteral("stopped")));
                         },
                         Qt::QueuedConnection);
    }

    void hubChanged(Hub *hub, bool connected)
    {
        show(hub, QStringLiteral("hub"), QJsonObject{{QStringLiteral("connected"), connected}},
             QStringLiteral("%1 %2").arg(hubKindText(hub), connected ? QStringLiteral("connected")
                                                                     : QStringLiteral("disconnected")));
    }

    QObject *receiver() { return &m_receiver; }

private:
    void show(Hub *hub, const QString &event, QJsonObject fields, const QString &text)
    {
        ++m_count;
        const qint64 time = m_context.elapsedMs();
        if (m_context.json()) {
            fields.insert(QStringLiteral("timeMs"), time);
            fields.insert(QStringLiteral("hub"), hub->handle());
            fields.insert(QStringLiteral("event"), event);
            m_context.printJsonLine(fields);
        } else {
            m_context.out() << QString::number(time / 1000.0, 'f', 3).rightJustified(9) << "  hub " << hub->handle()
                            << "  " << text << Qt::endl;
        }
        m_context.wake();
    }

    Context &m_context;
    bool m_moves;
    int m_count = 0;
    QSet<Hub *> m_watched;
    QObject m_receiver;
};

int runWatch(Context &context, const QCommandLineParser &parser)
{
    qint64 durationMs = -1;
    int goal = 0;
    QString error;
    durationOptions(parser, &durationMs, &goal, &error);
    Watcher watcher(context, !parser.isSet(QStringLiteral("no-moves")));

    const QString spec = parser.value(QStringLiteral("hub"));
    int watchedHandle = -1;
    if (!spec.isEmpty()) {
        int code = Exit_Success;
        Hub *hub = context.selectHub(spec, HubNeed::Any, &code);
        if (!hub)
            return code;
        watchedHandle = hub->handle();
        watcher.watch(hub);
    } else {
        QList<Hub *> hubs;
        context.system().getHubList(&hubs);
        for (Hub *hub : std::as_const(hubs))
            watcher.watch(hub);
    }
    // Hubs that come, go and come back while watching.
    OrvexSystem &system = context.system();
    QObject::connect(&system, &OrvexSystem::newHubConnected, watcher.receiver(), [&](Hub *hub) {
        if (watchedHandle >= 0 && hub->handle() != watchedHandle)
            return;
        watcher.watch(hub);
        watcher.hubChanged(hub, true);
    }, Qt::QueuedConnection);
    QObject::connect(&system, &OrvexSystem::hubDisconnected, watcher.receiver(), [&](Hub *hub) {
        if (watchedHandle < 0 || hub->handle() == watchedHandle)
            watcher.hubChanged(hub, false);
    }, Qt::QueuedConnection);

    if (!context.json() && !context.quiet())
        context.note(durationMs > 0 ? QStringLiteral("watching for %1 s").arg(durationMs / 1000)
                                    : QStringLiteral("watching until interrupted (Ctrl-C)"));
    const Context::End end = context.runUntil([&] { return goal > 0 && watcher.count() >= goal; }, durationMs);
    QObject::disconnect(&system, nullptr, watcher.receiver(), nullptr);
    // Interrupting a watch is its usual end.
    if (end == Context::End::Interrupted && goal <= 0)
        return Exit_Success;
    return endCode(context, end, goal, watcher.count(), QStringLiteral("events"));
}

// --- record -------------------------------------------------------------

void addOptionsRecord(QCommandLineParser &parser)
{
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The trace file to write (replaced)."));
    parser.addOption({QStringLiteral("duration"),
                      QStringLiteral("Seconds to record (default: until interrupted)."),
                      QStringLiteral("seconds"), QStringLiteral("0")});
}

int checkRecord(const QCommandLineParser &parser, QString *error)
{
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1) {
        *error = positional.isEmpty() ? QStringLiteral("which file should the trace go to?")
                                      : QStringLiteral("unexpected argument '%1'").arg(positional.at(1));
        return Exit_Usage;
    }
    if (parser.isSet(QStringLiteral("record"))) {
        *error = QStringLiteral("record takes its file as its argument, not with --record");
        return Exit_Usage;
    }
    int seconds = 0;
    return intOption(parser, QStringLiteral("duration"), 0, 86400, 0, &seconds, error) ? Exit_Success : Exit_Usage;
}

int runRecord(Context &context, const QCommandLineParser &parser)
{
    // The recorder started with the library (Context::start), before the
    // discovery, so that a replay gives a host the same hubs.
    int seconds = 0;
    QString error;
    intOption(parser, QStringLiteral("duration"), 0, 86400, 0, &seconds, &error);
    const QString path = parser.positionalArguments().first();
    const qint64 durationMs = seconds > 0 ? qint64(seconds) * 1000 : -1;

    QList<Hub *> hubs;
    context.system().getHubList(&hubs);
    std::sort(hubs.begin(), hubs.end(), [](Hub *a, Hub *b) { return a->handle() < b->handle(); });
    if (context.json()) {
        for (Hub *hub : std::as_const(hubs)) {
            QJsonObject line = hubReference(hub);
            line.insert(QStringLiteral("event"), QStringLiteral("hub"));
            context.printJsonLine(line);
        }
    } else if (!context.quiet()) {
        context.note(QStringLiteral("recording %1 hub(s) into %2%3")
                         .arg(hubs.size())
                         .arg(path, durationMs > 0 ? QStringLiteral(" for %1 s").arg(seconds)
                                                   : QStringLiteral(" until interrupted (Ctrl-C)")));
    }
    const qint64 begin = context.elapsedMs();
    qint64 lastLine = 0;
    context.runUntil([] { return false; }, durationMs, [&] {
        const qint64 elapsed = context.elapsedMs() - begin;
        context.progress(QStringLiteral("recording: %1 events, %2 s").arg(context.recordedEvents()).arg(elapsed / 1000));
        if (context.json() && elapsed - lastLine >= 1000) {
            lastLine = elapsed;
            context.printJsonLine(QJsonObject{{QStringLiteral("event"), QStringLiteral("progress")},
                                              {QStringLiteral("elapsedMs"), elapsed},
                                              {QStringLiteral("events"), context.recordedEvents()}});
        }
    });
    const qint64 elapsed = context.elapsedMs() - begin;
    context.endProgress();
    // The library stops first, so that the trace holds the whole shutdown.
    const bool written = context.finish();
    const qint64 events = context.recordedEvents();
    if (!written)
        return context.fail(Exit_FileError, QStringLiteral("the trace %1 was not written completely").arg(path));
    if (context.json())
        context.printJsonLine(QJsonObject{{QStringLiteral("event"), QStringLiteral("done")},
                                          {QStringLiteral("file"), path},
                                          {QStringLiteral("elapsedMs"), elapsed},
                                          {QStringLiteral("events"), events}});
    else
        context.out() << "recorded " << events << " events in " << QString::number(elapsed / 1000.0, 'f', 1)
                      << " s into " << path << Qt::endl;
    return Exit_Success;
}

} // namespace

Command watchCommand()
{
    return {"watch", "watch pen and touch events",
            "Shows pen, touch and touch-status events of the boards as they happen, and hubs\n"
            "coming and going; with --json one JSON object per line.",
            addOptionsWatch, checkNoArgument, runWatch};
}

Command recordCommand()
{
    return {"record", "record the traffic with the hubs into a trace file",
            "Records every packet and write between the library and the hubs into a trace file\n"
            "(docs/trace-format.md) that the simulated driver can replay. The global --record\n"
            "option records the run of any other command the same way.",
            addOptionsRecord, checkRecord, runRecord};
}

} // namespace Orvexctl
