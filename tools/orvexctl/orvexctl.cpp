#include "orvexctl.h"

#include "commands.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QJsonDocument>
#include <QtCore/QRegularExpression>

#include <cstdio>

using namespace Orvexsystem;

namespace Orvexctl {

namespace {

const char *const GlobalHelp =
    "Usage: orvexctl [--json] [--quiet] [--record FILE] COMMAND [options] [arguments]\n"
    "\n"
    "Lists, inspects and drives classroom hubs and handsets through orvexsystem1.\n"
    "The driver is whatever liborvexboardex.so the loader finds: the hardware\n"
    "driver, or the simulated one (LD_LIBRARY_PATH=<prefix>/lib/orvexsystem1/sim).\n"
    "\n"
    "Commands:\n"
    "%1"
    "\n"
    "Options of every command:\n"
    "  --json           machine-readable output: one JSON document on standard\n"
    "                   output (JSON lines for watch and record)\n"
    "  --quiet          no progress on standard error\n"
    "  --record FILE    record all traffic with the hubs into a trace file\n"
    "  -h, --help       describe the command\n"
    "  --version        the versions of orvexctl, the library and the driver\n"
    "\n"
    "Exit codes: 0 success, 1 other failure, 2 usage error, 3 no driver, 4 no such\n"
    "hub or device, 5 hub error, 6 time-out, 7 not supported, 8 cancelled, 9 file\n"
    "error, 130 interrupted. 'orvexctl COMMAND --help' describes a command.\n";

QString commandList()
{
    QString text;
    for (const Command &command : commands())
        text += QStringLiteral("  %1 %2\n").arg(QString::fromLatin1(command.name).leftJustified(10),
                                                QString::fromUtf8(command.summary));
    return text;
}

void addGlobalOptions(QCommandLineParser &parser)
{
    parser.addOption({QStringLiteral("json"), QStringLiteral("Machine-readable output.")});
    parser.addOption({QStringLiteral("quiet"), QStringLiteral("No progress on standard error.")});
    parser.addOption({QStringLiteral("record"),
                      QStringLiteral("Record all traffic with the hubs into this trace file."),
                      QStringLiteral("file")});
    parser.addOption({{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Describe the command.")});
}

int versionInfo(bool json)
{
    const int library = OrvexSystem::getLibraryVersion();
    const QString libraryText = QStringLiteral("%1.%2.%3").arg(library >> 16).arg((library >> 8) & 0xFF).arg(library & 0xFF);
    // The driver's version comes from the driver, which the library loads
    // as it starts.
    QString driverText;
    OrvexSystem &system = OrvexSystem::instance();
    if (system.initialise()) {
        int major = 0, minor = 0, build = 0;
        if (system.getDriverVersion(&major, &minor, &build))
            driverText = QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(build);
        system.shutdown();
    }
    QTextStream out(stdout);
    if (json) {
        QJsonObject document{{QStringLiteral("orvexctl"), QStringLiteral(ORVEX_VERSION)},
                             {QStringLiteral("library"), libraryText},
                             {QStringLiteral("driver"), driverText.isEmpty() ? QJsonValue() : QJsonValue(driverText)}};
        out << QJsonDocument(document).toJson(QJsonDocument::Indented);
    } else {
        out << "orvexctl " << ORVEX_VERSION << "\nlibrary orvexsystem1 " << libraryText << "\ndriver "
            << (driverText.isEmpty() ? QStringLiteral("not loaded") : driverText) << '\n';
    }
    return Exit_Success;
}

// A usage error before a context exists: on standard error, and as a JSON
// error document when --json was given.
int usageError(const QString &command, const QString &message, bool json)
{
    QTextStream err(stderr);
    const QString prefix = command.isEmpty() ? QStringLiteral("orvexctl") : QStringLiteral("orvexctl ") + command;
    err << prefix << ": " << message << "\nTry '" << prefix << " --help'.\n";
    if (json) {
        QJsonObject error{{QStringLiteral("code"), int(Exit_Usage)},
                          {QStringLiteral("kind"), exitCodeName(Exit_Usage)},
                          {QStringLiteral("message"), message}};
        QTextStream(stdout) << QJsonDocument(QJsonObject{{QStringLiteral("error"), error}}).toJson(QJsonDocument::Indented);
    }
    return Exit_Usage;
}

} // namespace

const QList<Command> &commands()
{
    static const QList<Command> all{listCommand(),     infoCommand(), voteCommand(),
                                    askCommand(),      registerCommand(), nameCommand(),
                                    clearCommand(),    watchCommand(), recordCommand()};
    return all;
}

int run(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvexctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVEX_VERSION));

    // The command is the first word that is neither an option nor the
    // value of --record.
    QStringList arguments = app.arguments();
    QString commandName;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--record")) {
            ++i;
            continue;
        }
        if (argument == QLatin1String("--"))
            break;
        if (!argument.startsWith(QLatin1Char('-'))) {
            commandName = argument;
            arguments.removeAt(i);
            break;
        }
    }
    const bool jsonAsked = arguments.contains(QStringLiteral("--json"));

    if (commandName.isEmpty()) {
        if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
            std::fputs(qPrintable(QString::fromLatin1(GlobalHelp).arg(commandList())), stdout);
            return Exit_Success;
        }
        if (arguments.contains(QStringLiteral("--version")))
            return versionInfo(jsonAsked);
        return usageError(QString(), QStringLiteral("no command given"), jsonAsked);
    }
    const Command *command = nullptr;
    for (const Command &candidate : commands())
        if (commandName == QLatin1String(candidate.name))
            command = &candidate;
    if (!command)
        return usageError(QString(), QStringLiteral("unknown command '%1'").arg(commandName), jsonAsked);

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(command->description));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    addGlobalOptions(parser);
    command->addOptions(parser);
    if (!parser.parse(arguments))
        return usageError(commandName, parser.errorText(), jsonAsked);
    if (parser.isSet(QStringLiteral("help"))) {
        QString help = parser.helpText();
        help.replace(QRegularExpression(QStringLiteral("^Usage: \\S+")),
                     QStringLiteral("Usage: orvexctl %1").arg(commandName));
        std::fputs(qPrintable(help), stdout);
        return Exit_Success;
    }
    QString error;
    if (command->check(parser, &error) != Exit_Success)
        return usageError(commandName, error, jsonAsked);

    GlobalOptions options;
    options.json = parser.isSet(QStringLiteral("json"));
    options.quiet = parser.isSet(QStringLiteral("quiet"));
    options.recordPath = parser.value(QStringLiteral("record"));
    if (commandName == QLatin1String("record"))
        options.recordPath = parser.positionalArguments().value(0);
    Context context(commandName, options);
    int code = context.start();
    if (code == Exit_Success)
        code = command->run(context, parser);
    if (!context.finish() && code == Exit_Success) {
        // The command's own output is out already: say it on standard error.
        context.note(QStringLiteral("the trace %1 was not written completely").arg(options.recordPath));
        code = Exit_FileError;
    }
    return code;
}

} // namespace Orvexctl
