// Option helpers shared by the commands.
#include "commands.h"

#include <QtCore/QJsonObject>

using namespace Orvexsystem;

namespace Orvexctl {

void addHubOption(QCommandLineParser &parser)
{
    parser.addOption({QStringLiteral("hub"),
                      QStringLiteral("The hub: its handle, its uid (0x...) or a 2.4 GHz hub's name. "
                                     "Needed only when several hubs could do it."),
                      QStringLiteral("hub")});
}

void addDurationOptions(QCommandLineParser &parser, int defaultSeconds, const QString &countWhat)
{
    parser.addOption({QStringLiteral("duration"),
                      defaultSeconds > 0
                          ? QStringLiteral("Seconds to run (default %1).").arg(defaultSeconds)
                          : QStringLiteral("Seconds to run (default: until interrupted)."),
                      QStringLiteral("seconds"), QString::number(defaultSeconds)});
    parser.addOption({QStringLiteral("count"),
                      QStringLiteral("End once %1; the duration still bounds the wait, and "
                                     "ending at it first is a time-out (exit 6).")
                          .arg(countWhat),
                      QStringLiteral("n")});
}

bool intOption(const QCommandLineParser &parser, const QString &name, int minimum, int maximum,
               int defaultValue, int *value, QString *error)
{
    if (!parser.isSet(name)) {
        *value = defaultValue;
        return true;
    }
    bool ok = false;
    const QString text = parser.value(name);
    const int number = text.toInt(&ok, 10);
    if (!ok || number < minimum || number > maximum) {
        *error = QStringLiteral("--%1 must be a number from %2 to %3, not '%4'")
                     .arg(name)
                     .arg(minimum)
                     .arg(maximum)
                     .arg(text);
        return false;
    }
    *value = number;
    return true;
}

bool durationOptions(const QCommandLineParser &parser, qint64 *durationMs, int *count, QString *error)
{
    int seconds = 0;
    // A day at most: enough for any lesson, and far from overflowing.
    if (!intOption(parser, QStringLiteral("duration"), 0, 86400,
                   parser.value(QStringLiteral("duration")).toInt(), &seconds, error))
        return false;
    *durationMs = seconds > 0 ? qint64(seconds) * 1000 : -1;
    return intOption(parser, QStringLiteral("count"), 1, 1000000, 0, count, error);
}

bool choiceOption(const QCommandLineParser &parser, const QString &name, const QStringList &words,
                  QString *value, QString *error)
{
    const QString text = parser.value(name).toLower();
    if (!words.contains(text)) {
        *error = QStringLiteral("--%1 must be one of %2, not '%3'")
                     .arg(name, words.join(QLatin1String(", ")), parser.value(name));
        return false;
    }
    *value = text;
    return true;
}

QJsonObject hubReference(Hub *hub)
{
    return QJsonObject{{QStringLiteral("handle"), hub->handle()},
                       {QStringLiteral("kind"), hubKindWord(hub)},
                       {QStringLiteral("uid"), hexUid(hub->uid())}};
}

QString endWord(Context::End end)
{
    switch (end) {
    case Context::End::Done:
        return QStringLiteral("count");
    case Context::End::TimedOut:
        return QStringLiteral("duration");
    case Context::End::Interrupted:
        return QStringLiteral("interrupted");
    }
    return QString();
}

int endCode(Context &context, Context::End end, int goal, int reached, const QString &what)
{
    if (goal <= 0 || reached >= goal)
        return Exit_Success;
    if (end == Context::End::Interrupted) {
        context.note(QStringLiteral("interrupted after %1 of %2 %3").arg(reached).arg(goal).arg(what));
        return Exit_Interrupted;
    }
    context.note(QStringLiteral("time-out: %1 of %2 %3").arg(reached).arg(goal).arg(what));
    return Exit_TimeOut;
}

} // namespace Orvexctl
