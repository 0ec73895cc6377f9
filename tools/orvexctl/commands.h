// The commands of orvexctl. Each adds its options to a parser, and runs
// with the parsed command line once the library has started.
#ifndef ORVEXCTL_COMMANDS_H
#define ORVEXCTL_COMMANDS_H

#include "context.h"

#include <QtCore/QCommandLineParser>
#include <QtCore/QString>

namespace Orvexctl {

struct Command
{
    const char *name;
    const char *summary;     // one line, for the command list
    const char *description; // for the command's --help
    void (*addOptions)(QCommandLineParser &parser);
    // Checks the command line before the library starts: Exit_Success, or
    // Exit_Usage with the reason in *error.
    int (*check)(const QCommandLineParser &parser, QString *error);
    int (*run)(Context &context, const QCommandLineParser &parser);
};

// Every command, in the order the help lists them.
const QList<Command> &commands();

// The commands, by file.
Command listCommand();
Command infoCommand();
Command voteCommand();
Command askCommand();
Command registerCommand();
Command nameCommand();
Command clearCommand();
Command watchCommand();
Command recordCommand();

// A registered device, copied out of the hub's lists.
struct DeviceEntry
{
    Orvexsystem::Device::Type type = Orvexsystem::Device::Type_TwoPointFourGHzOrvexvote;
    quint32 uid = 0;
    QString name;
    Orvexsystem::Device::SubType subType = Orvexsystem::Device::SubType_None;
};
// The devices registered with the hub (read from the hub where its lists
// are out of date), boards aside; false when a list cannot be read.
bool registeredDevices(Orvexsystem::Hub *hub, QList<DeviceEntry> *devices);
// "vote", "expression", "slate", "pen-expression", "board".
QString deviceTypeWord(Orvexsystem::Device::Type type);
// "voting handset", "expression handset", ... (plural for count != 1).
QString deviceTypeText(Orvexsystem::Device::Type type, int count);
QJsonObject deviceJson(const DeviceEntry &device);

// Option helpers shared by the commands.
void addHubOption(QCommandLineParser &parser);
// --duration SECONDS (defaultSeconds; 0: none) and --count N.
void addDurationOptions(QCommandLineParser &parser, int defaultSeconds, const QString &countWhat);
// An integer option within [minimum, maximum]; the default when absent.
bool intOption(const QCommandLineParser &parser, const QString &name, int minimum, int maximum,
               int defaultValue, int *value, QString *error);
// --duration in milliseconds (-1: none) and --count (0: none).
bool durationOptions(const QCommandLineParser &parser, qint64 *durationMs, int *count, QString *error);
// One of words, as the option gives it (lower case); the default when absent.
bool choiceOption(const QCommandLineParser &parser, const QString &name, const QStringList &words,
                  QString *value, QString *error);

// The hub as JSON: handle, kind and uid.
QJsonObject hubReference(Orvexsystem::Hub *hub);
// How a timed operation ended, for JSON: "count", "duration", "interrupted".
QString endWord(Context::End end);
// The exit code of a timed operation that counted towards a goal.
int endCode(Context &context, Context::End end, int goal, int reached, const QString &what);

} // namespace Orvexctl

#endif
