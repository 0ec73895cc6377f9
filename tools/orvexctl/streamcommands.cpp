// watch and record: events as they happen, and the traffic into a trace.
#include "commands.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonObject>
#include <QtCore/QElapsedTimer>
#include <QtCore/QMap>
#include <QtCore/QPair>
#include <QtCore/QSet>

#include <algorithm>
#include <memory>

using namespace Orvexsystem;

namespace Orvexctl {

namespace {

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

// Shows the events of the watched hubs. The hubs report on the driver's
// thread (arrivals on the thread that runs discovery) through callbacks
// that only queue the event; this (the main) thread takes the queue and
// writes the output.
class Watcher
{
public:
    struct Event
    {
        enum Kind { Pen, Touch, TouchStatus, HubCame, HubLeft } kind = Pen;
        Hub *hub = nullptr;
        qint64 timeMs = 0;
        quint32 pen = 0;
        int x = 0;
        int y = 0;
        bool tip = false;
        bool barrel = false;
        bool running = false;
        QList<Hub::TouchInfo> touches;
    };

    Watcher(Context &context, bool moves, int handle)
        : m_context(context), m_moves(moves), m_handle(handle), m_queue(context.makeQueue<Event>())
    {
        m_clock.start();
    }

    int count() const { return m_count; }

    void watch(Hub *hub)
    {
        if (m_watched.contains(hub))
            return;
        m_watched.insert(hub);
        void *const context = this;
        hub->setPenEventCallback([](Hub *h, quint32 pen, int x, int y, bool tip, bool barrel, void *c) {
            Event event;
            event.pen = pen;
            event.x = x;
            event.y = y;
            event.tip = tip;
            event.barrel = barrel;
            static_cast<Watcher *>(c)->post(h, event);
        }, context);
        hub->setTouchEventCallback([](Hub *h, QList<Hub::TouchInfo> touches, void *c) {
            Event event;
            event.kind = Event::Touch;
            event.touches = touches;
            static_cast<Watcher *>(c)->post(h, event);
        }, context);
        hub->setTouchStatusEventCallback([](Hub *h, bool running, void *c) {
            Event event;
            event.kind = Event::TouchStatus;
            event.running = running;
            static_cast<Watcher *>(c)->post(h, event);
        }, context);
    }

    // Hubs that come, go and come back while watching.
    static void onHub(Hub *hub, bool connected, void *c)
    {
        Event event;
        event.kind = connected ? Event::HubCame : Event::HubLeft;
        static_cast<Watcher *>(c)->post(hub, event);
    }

    // Writes out what was queued.
    void show()
    {
        for (const Event &event : m_queue->take())
            show(event);
    }

private:
    // Any thread: the queue is the one thing shared.
    void post(Hub *hub, Event event)
    {
        event.hub = hub;
        event.timeMs = m_clock.elapsed();
        m_queue->push(std::move(event));
    }

    // The action of a pen report, from the pen's last tip and barrel: a
    // barrel change outranks a tip change in one report.
    QString penAction(const Event &event)
    {
        QPair<bool, bool> &last = m_pens[qMakePair(event.hub->handle(), event.pen)];
        QString action = QStringLiteral("move");
        if (event.tip != last.first)
            action = event.tip ? QStringLiteral("tip-down") : QStringLiteral("tip-up");
        if (event.barrel != last.second)
            action = event.barrel ? QStringLiteral("barrel-down") : QStringLiteral("barrel-up");
        last = qMakePair(event.tip, event.barrel);
        return action;
    }

    void show(const Event &event)
    {
        if (m_handle >= 0 && event.hub->handle() != m_handle)
            return;
        QJsonObject fields;
        QString text;
        QString kind;
        switch (event.kind) {
        case Event::Pen: {
            const QString action = penAction(event);
            if (action == QLatin1String("move") && !m_moves)
                return;
            kind = QStringLiteral("pen");
            fields = QJsonObject{{QStringLiteral("action"), action},
                                 {QStringLiteral("pen"), int(event.pen)},
                                 {QStringLiteral("x"), event.x},
                                 {QStringLiteral("y"), event.y},
                                 {QStringLiteral("tip"), event.tip},
                                 {QStringLiteral("barrel"), event.barrel}};
            text = QStringLiteral("pen %1 %2 (%3, %4)%5%6")
                       .arg(event.pen)
                       .arg(action.leftJustified(11))
                       .arg(event.x)
                       .arg(event.y)
                       .arg(event.tip ? QStringLiteral(" tip") : QString(),
                            event.barrel ? QStringLiteral(" barrel") : QString());
            break;
        }
        case Event::Touch: {
            kind = QStringLiteral("touch");
            QJsonArray contacts;
            QStringList parts;
            for (const Hub::TouchInfo &t : event.touches) {
                contacts.append(QJsonObject{{QStringLiteral("id"), t.nTouchId},
                                            {QStringLiteral("x"), t.nX},
                                            {QStringLiteral("y"), t.nY},
                                            {QStringLiteral("radius"), t.nRadius},
                                            {QStringLiteral("down"), t.bStatus}});
                parts << QStringLiteral("#%1 (%2, %3) r %4 %5")
                             .arg(t.nTouchId)
                             .arg(t.nX)
                             .arg(t.nY)
                             .arg(t.nRadius)
                             .arg(t.bStatus ? QStringLiteral("down") : QStringLiteral("up"));
            }
            fields.insert(QStringLiteral("contacts"), contacts);
            text = QStringLiteral("touch ") + parts.join(QLatin1String("; "));
            break;
        }
        case Event::TouchStatus:
            kind = QStringLiteral("touch-status");
            fields.insert(QStringLiteral("running"), event.running);
            text = event.running ? QStringLiteral("touch running") : QStringLiteral("touch stopped");
            break;
        case Event::HubCame:
        case Event::HubLeft: {
            const bool connected = event.kind == Event::HubCame;
            // A hub that comes (back) is watched from now on.
            if (connected)
                watch(event.hub);
            kind = QStringLiteral("hub");
            fields.insert(QStringLiteral("connected"), connected);
            text = QStringLiteral("%1 %2").arg(hubKindText(event.hub), connected ? QStringLiteral("connected")
                                                                                  : QStringLiteral("disconnected"));
            break;
        }
        }
        ++m_count;
        if (m_context.json()) {
            fields.insert(QStringLiteral("timeMs"), event.timeMs);
            fields.insert(QStringLiteral("hub"), event.hub->handle());
            fields.insert(QStringLiteral("event"), kind);
            m_context.printJsonLine(fields);
        } else {
            m_context.out() << QString::number(event.timeMs / 1000.0, 'f', 3).rightJustified(9) << "  hub "
                            << event.hub->handle() << "  " << text << Qt::endl;
        }
    }

    Context &m_context;
    const bool m_moves;
    const int m_handle; // the one hub watched, or -1 for all
    QElapsedTimer m_clock;
    int m_count = 0;
    QSet<Hub *> m_watched;
    QMap<QPair<int, quint32>, QPair<bool, bool>> m_pens; // tip, barrel
    std::shared_ptr<ReportQueue<Event>> m_queue;
};

int runWatch(Context &context, const QCommandLineParser &parser)
{
    qint64 durationMs = -1;
    int goal = 0;
    QString error;
    durationOptions(parser, &durationMs, &goal, &error);

    const QString hubArgument = parser.value(QStringLiteral("hub"));
    QList<Hub *> hubs;
    int handle = -1;
    if (!hubArgument.isEmpty()) {
        int code = Exit_Success;
        Hub *hub = context.selectHub(hubArgument, HubNeed::Any, &code);
        if (!hub)
            return code;
        handle = hub->handle();
        hubs << hub;
    } else {
        context.system().getHubList(&hubs);
    }
    // The watcher lives as long as the library's callbacks may run: a
    // callback set on a hub stays until the hub is destroyed.
    auto watcher = std::make_shared<Watcher>(context, !parser.isSet(QStringLiteral("no-moves")), handle);
    context.keepUntilShutdown(watcher);
    for (Hub *hub : std::as_const(hubs))
        watcher->watch(hub);
    context.system().setHubConnectedCallback(&Watcher::onHub, watcher.get());

    if (!context.json() && !context.quiet())
        context.note(durationMs > 0 ? QStringLiteral("watching for %1 s").arg(durationMs / 1000)
                                    : QStringLiteral("watching until interrupted (Ctrl-C)"));
    const Context::End end = context.runUntil([&] {
        watcher->show();
        return goal > 0 && watcher->count() >= goal;
    }, durationMs, [&] { watcher->show(); });
    // Interrupting a watch is its usual end.
    if (end == Context::End::Interrupted && goal <= 0)
        return Exit_Success;
    return endCode(context, end, goal, watcher->count(), QStringLiteral("events"));
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
