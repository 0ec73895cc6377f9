// register, name and clear: the devices registered with a hub.
#include "commands.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonObject>
#include <QtCore/QRegularExpression>

#include <functional>

using namespace Orvexsystem;

namespace Orvexctl {

namespace {

bool validPin(const QString &pin)
{
    static const QRegularExpression form(QStringLiteral("^[A-Fa-f]{3}$"));
    return form.match(pin).hasMatch();
}

// --- register -----------------------------------------------------------

const QStringList RegistrationClasses{QStringLiteral("vote"), QStringLiteral("slate"), QStringLiteral("expression")};

void addOptionsRegister(QCommandLineParser &parser)
{
    addHubOption(parser);
    parser.addOption({QStringLiteral("class"),
                      QStringLiteral("What registers: vote (voting handsets), slate, or expression "
                                     "(expression handsets and pen-expression devices)."),
                      QStringLiteral("class")});
    parser.addOption({QStringLiteral("pin"),
                      QStringLiteral("The PIN the learners key in: three letters A to F (not for a legacy "
                                     "hub's voting handsets)."),
                      QStringLiteral("pin")});
    parser.addOption({QStringLiteral("naming"),
                      QStringLiteral("expression: each handset also takes a name as it registers.")});
    parser.addOption({QStringLiteral("name-length"),
                      QStringLiteral("expression with --naming: longest name (1-14, default 14)."),
                      QStringLiteral("n"), QStringLiteral("14")});
    parser.addOption({QStringLiteral("characters"),
                      QStringLiteral("expression with --naming: the character type the handsets offer "
                                     "(0-4, default 0)."),
                      QStringLiteral("n"), QStringLiteral("0")});
    addDurationOptions(parser, 60, QStringLiteral("n devices have registered"));
}

int checkRegister(const QCommandLineParser &parser, QString *error)
{
    QString deviceClass;
    int value = 0;
    qint64 durationMs = 0;
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());
        return Exit_Usage;
    }
    if (!parser.isSet(QStringLiteral("class"))) {
        *error = QStringLiteral("--class is needed (%1)").arg(RegistrationClasses.join(QLatin1String(", ")));
        return Exit_Usage;
    }
    if (!choiceOption(parser, QStringLiteral("class"), RegistrationClasses, &deviceClass, error)
        || !intOption(parser, QStringLiteral("name-length"), 1, Hub::maxEndUserNameLength, 14, &value, error)
        || !intOption(parser, QStringLiteral("characters"), 0, 4, 0, &value, error)
        || !durationOptions(parser, &durationMs, &value, error))
        return Exit_Usage;
    if (parser.isSet(QStringLiteral("pin")) && !validPin(parser.value(QStringLiteral("pin")))) {
        *error = QStringLiteral("--pin must be three letters A to F");
        return Exit_Usage;
    }
    if (parser.isSet(QStringLiteral("naming")) && deviceClass != QLatin1String("expression")) {
        *error = QStringLiteral("--naming is for expression handsets");
        return Exit_Usage;
    }
    if (durationMs <= 0) {
        *error = QStringLiteral("--duration must be at least 1 second");
        return Exit_Usage;
    }
    return Exit_Success;
}

// Waits for the registrations (reported by the hub kind's own signals into
// registered, on this thread), ends the session and shows the result.
int awaitRegistrations(Context &context, Hub *hub, const QString &deviceClass, const QString &pin,
                       const QJsonArray &registered, int goal, qint64 durationMs, const std::function<bool()> &stop)
{
    if (!context.json() && !context.quiet())
        context.note(pin.isEmpty() ? QStringLiteral("registering on %1").arg(hubTitle(hub))
                                   : QStringLiteral("registering on %1: learners key %2").arg(hubTitle(hub), pin));
    const qint64 begin = context.elapsedMs();
    const Context::End end = context.runUntil([&] { return goal > 0 && registered.size() >= goal; }, durationMs, [&] {
        context.progress(QStringLiteral("%1 registered, %2 s left")
                             .arg(registered.size())
                             .arg((durationMs - (context.elapsedMs() - begin) + 999) / 1000));
    });
    const qint64 elapsed = context.elapsedMs() - begin;
    context.endProgress();
    const bool stopped = stop();

    if (context.json()) {
        context.printJson(QJsonObject{{QStringLiteral("hub"), hubReference(hub)},
                                      {QStringLiteral("class"), deviceClass},
                                      {QStringLiteral("pin"), pin.isEmpty() ? QJsonValue() : QJsonValue(pin)},
                                      {QStringLiteral("registered"), registered},
                                      {QStringLiteral("elapsedMs"), elapsed},
                                      {QStringLiteral("end"), endWord(end)},
                                      {QStringLiteral("goal"), goal > 0 ? QJsonValue(goal) : QJsonValue()},
                                      {QStringLiteral("complete"), goal <= 0 || registered.size() >= goal},
                                      {QStringLiteral("stopped"), stopped}});
    } else {
        context.out() << registered.size() << ' ' << (registered.size() == 1 ? "device" : "devices")
                      << " registered in " << QString::number(elapsed / 1000.0, 'f', 1) << " s" << Qt::endl;
    }
    if (!stopped)
        return context.hubFailure(hub, QStringLiteral("the registration did not end cleanly; "
                                                      "registrations may not be saved"));
    return endCode(context, end, goal, int(registered.size()), QStringLiteral("registrations"));
}

int runRegister(Context &context, const QCommandLineParser &parser)
{
    int code = Exit_Success;
    Hub *hub = context.selectHub(parser.value(QStringLiteral("hub")), HubNeed::Registration, &code);
    if (!hub)
        return code;
    QString deviceClass, error;
    int goal = 0, nameLength = 14, characters = 0;
    qint64 durationMs = 0;
    choiceOption(parser, QStringLiteral("class"), RegistrationClasses, &deviceClass, &error);
    intOption(parser, QStringLiteral("name-length"), 1, Hub::maxEndUserNameLength, 14, &nameLength, &error);
    intOption(parser, QStringLiteral("characters"), 0, 4, 0, &characters, &error);
    durationOptions(parser, &durationMs, &goal, &error);
    QString pin = parser.value(QStringLiteral("pin")).toUpper();
    const RegistrationCode code3(pin);
    auto *rf = qobject_cast<TwoPointFourGHzHub *>(hub);
    auto *legacy = qobject_cast<LegacyHub *>(hub);
    const bool legacyVotes = legacy && deviceClass == QLatin1String("vote");
    if (legacy && deviceClass == QLatin1String("expression"))
        return context.fail(Exit_NotSupported, QStringLiteral("%1 has no expression handsets").arg(hubTitle(hub)));
    if (legacyVotes)
        pin.clear(); // legacy handsets register without one
    else if (pin.isEmpty())
        return context.fail(Exit_Usage, QStringLiteral("--pin is needed: the PIN the learners key in"));

    // Each registration reaches this thread through a queued connection.
    QJsonArray registered;
    QObject receiver;
    const auto report = [&](const QString &type, const QString &name, quint32 uid) {
        registered.append(QJsonObject{{QStringLiteral("type"), type},
                                      {QStringLiteral("uid"), hexUid(uid)},
                                      {QStringLiteral("name"), name}});
        if (!context.json())
            context.out() << "registered " << type << ' ' << hexUid(uid) << (name.isEmpty() ? QString() : QStringLiteral("  ") + name)
                          << Qt::endl;
        context.wake();
    };
    std::function<bool()> start, stop;
    if (legacy && legacyVotes) {
        QObject::connect(legacy, &LegacyHub::voteDeviceRegistered, &receiver,
                         [report](quint32 uid, bool, int) { report(QStringLiteral("vote"), QString(), uid); },
                         Qt::QueuedConnection);
        start = [legacy] { return legacy->startVoteRegistrationSession(); };
        stop = [legacy] { return legacy->stopVoteRegistrationSession(); };
    } else if (legacy) {
        // Each slate asks for a PIN and is registered when its learner keys
        // in the one given.
        QObject::connect(legacy, &LegacyHub::generatePinforSlateRegistration, &receiver,
                         [legacy, code3, &context](quint8 id) {
                             if (!legacy->startSlatePINRegistration(id, code3))
                                 context.note(QStringLiteral("slate %1 asked for a PIN that could not be sent (%2)")
                                                  .arg(id)
                                                  .arg(Hub::errorAsString(legacy->getLastError())));
                         },
                         Qt::QueuedConnection);
        QObject::connect(legacy, &LegacyHub::slateDeviceRegistered, &receiver,
                         [report](quint8 id) { report(QStringLiteral("slate"), QString(), id); }, Qt::QueuedConnection);
        start = [legacy] { return legacy->startSlateRegistrationSession(); };
        stop = [legacy] { return legacy->stopSlateRegistrationSession(); };
    } else if (deviceClass == QLatin1String("vote")) {
        QObject::connect(rf, &TwoPointFourGHzHub::voteDeviceRegistered, &receiver,
                         [report](QString name, quint32 uid) { report(QStringLiteral("vote"), name, uid); },
                         Qt::QueuedConnection);
        start = [&] { return rf->startVoteRegistrationSession(0, 0, 0, code3); };
        stop = [&] { return rf->stopVoteRegistrationSession(); };
    } else if (deviceClass == QLatin1String("slate")) {
        QObject::connect(rf, &TwoPointFourGHzHub::slateDeviceRegistered, &receiver,
                         [report](QString name, quint32 uid) { report(QStringLiteral("slate"), name, uid); },
                         Qt::QueuedConnection);
        start = [&] { return rf->startSlateRegistrationSession(0, 0, 0, code3); };
        stop = [&] { return rf->stopSlateRegistrationSession(); };
    } else {
        QObject::connect(rf, &TwoPointFourGHzHub::expressionDeviceRegistered, &receiver,
                         [report](QString name, quint32 uid, Device::SubType) {
                             report(QStringLiteral("expression"), name, uid);
                         },
                         Qt::QueuedConnection);
        if (parser.isSet(QStringLiteral("naming")))
            start = [&] {
                return rf->startNamingExpressionRegistrationSession(0, 0, 0, code3, CharacterType(characters), false,
                                                                    quint8(nameLength));
            };
        else
            start = [&] { return rf->startExpressionRegistrationSession(0, 0, 0, code3); };
        stop = [&] { return rf->stopExpressionRegistrationSession(); };
    }

    if (!start()) {
        // A 2.4 GHz start refused without an error of its own: a session is
        // open or the hub is busy.
        if (rf && rf->isConnected() && rf->state() != TwoPointFourGHzHub::State_Idle)
            return context.fail(Exit_HubError, QStringLiteral("%1 is busy: registration did not start").arg(hubTitle(hub)));
        return context.hubFailure(hub, QStringLiteral("registration did not start"));
    }
    return awaitRegistrations(context, hub, deviceClass, pin, registered, goal, durationMs, stop);
}

// --- name ---------------------------------------------------------------

void addOptionsName(QCommandLineParser &parser)
{
    parser.addPositionalArgument(QStringLiteral("uid"), QStringLiteral("The device's uid (hexadecimal, as list shows it)."));
    parser.addPositionalArgument(QStringLiteral("name"),
                                 QStringLiteral("The new name: voting handsets 4 ASCII characters, slates 10, "
                                                "expression handsets 14 Latin-1."));
    addHubOption(parser);
}

int checkName(const QCommandLineParser &parser, QString *error)
{
    const QStringList positional = parser.positionalArguments();
    quint32 uid = 0;
    if (positional.size() != 2) {
        *error = positional.size() < 2 ? QStringLiteral("give the device's uid and its new name")
                                       : QStringLiteral("unexpected argument '%1' (quote a name with blanks)").arg(positional.at(2));
        return Exit_Usage;
    }
    if (!parseDeviceUid(positional.at(0), &uid)) {
        *error = QStringLiteral("'%1' is not a device uid (hexadecimal, e.g. 0x06A10001)").arg(positional.at(0));
        return Exit_Usage;
    }
    if (positional.at(1).isEmpty()) {
        *error = QStringLiteral("the name is empty");
        return Exit_Usage;
    }
    return Exit_Success;
}

// The longest name a device type keeps, and whether it must be ASCII.
bool nameFits(Device::Type type, const QString &name, QString *error)
{
    const bool expression = type == Device::Type_TwoPointFourGHzOrvexexpression;
    const int longest = type == Device::Type_TwoPointFourGHzOrvexvote ? 4 : type == Device::Type_TwoPointFourGHzOrvexSlate ? 10 : 14;
    for (const QChar c : name)
        if (c.unicode() > (expression ? 0xFF : 0x7F) || c.unicode() < 0x20) {
            *error = QStringLiteral("a %1 takes %2 characters only").arg(deviceTypeText(type, 1),
                                                                         expression ? QStringLiteral("Latin-1")
                                                                                    : QStringLiteral("ASCII"));
            return false;
        }
    if (name.size() > longest) {
        *error = QStringLiteral("a %1 keeps names of at most %2 characters").arg(deviceTypeText(type, 1)).arg(longest);
        return false;
    }
    return true;
}

int runName(Context &context, const QCommandLineParser &parser)
{
    quint32 uid = 0;
    parseDeviceUid(parser.positionalArguments().at(0), &uid);
    const QString name = parser.positionalArguments().at(1);

    // The device's hub: the one given, else the first that lists it.
    QList<Hub *> hubs;
    if (parser.isSet(QStringLiteral("hub"))) {
        int code = Exit_Success;
        Hub *hub = context.selectHub(parser.value(QStringLiteral("hub")), HubNeed::Any, &code);
        if (!hub)
            return code;
        hubs << hub;
    } else {
        context.system().getHubList(&hubs);
    }
    Hub *hub = nullptr;
    DeviceEntry device;
    for (Hub *candidate : std::as_const(hubs)) {
        QList<DeviceEntry> devices;
        registeredDevices(candidate, &devices);
        for (const DeviceEntry &entry : std::as_const(devices))
            if (entry.uid == uid) {
                hub = candidate;
                device = entry;
            }
        if (hub)
            break;
    }
    if (!hub)
        return context.fail(Exit_NoSuchHub, QStringLiteral("no hub lists the device %1").arg(hexUid(uid)));
    auto *rf = qobject_cast<TwoPointFourGHzHub *>(hub);
    if (!rf || device.type == Device::Type_PenExpression)
        return context.fail(Exit_NotSupported, QStringLiteral("a %1 on a %2 cannot be named")
                                                   .arg(deviceTypeText(device.type, 1), hubKindText(hub)));
    QString error;
    if (!nameFits(device.type, name, &error))
        return context.fail(Exit_Usage, error);

    bool named = false;
    bool reread = true;
    switch (device.type) {
    case Device::Type_TwoPointFourGHzOrvexvote:
        // Naming opens a naming session; ending it saves and re-reads the list.
        named = rf->nameOrvexvote(uid, name) && rf->stopOrvexvoteNamingSession();
        break;
    case Device::Type_TwoPointFourGHzOrvexSlate:
        named = rf->nameSlate(uid, name) && rf->stopSlateNamingSession();
        break;
    default: {
        ExpressionNameReceivedResponse reply;
        named = rf->nameExpression(uid, name, &reply) && reply.isValidResponse();
        reread = false;
        break;
    }
    }
    if (!named)
        return context.hubFailure(hub, QStringLiteral("%1 %2 was not named").arg(deviceTypeText(device.type, 1), hexUid(uid)));

    // The name as the hub now lists it, where the list was read again.
    QString listed;
    if (reread) {
        QList<DeviceEntry> devices;
        registeredDevices(hub, &devices);
        for (const DeviceEntry &entry : std::as_const(devices))
            if (entry.uid == uid)
                listed = entry.name;
    }
    if (context.json()) {
        QJsonObject document{{QStringLiteral("hub"), hubReference(hub)},
                             {QStringLiteral("device"), QJsonObject{{QStringLiteral("type"), deviceTypeWord(device.type)},
                                                                    {QStringLiteral("uid"), hexUid(uid)},
                                                                    {QStringLiteral("previousName"), device.name},
                                                                    {QStringLiteral("name"), name}}}};
        if (reread)
            document.insert(QStringLiteral("listedName"), listed);
        context.printJson(document);
    } else {
        context.out() << "named " << deviceTypeText(device.type, 1) << ' ' << hexUid(uid) << " \"" << name << "\" (was \""
                      << device.name << "\")" << Qt::endl;
    }
    return Exit_Success;
}

// --- clear --------------------------------------------------------------

const QStringList ClearWhat{QStringLiteral("all"),   QStringLiteral("votes"),       QStringLiteral("slates"),
                            QStringLiteral("boards"), QStringLiteral("expressions"), QStringLiteral("pen-expressions")};

void addOptionsClear(QCommandLineParser &parser)
{
    addHubOption(parser);
    parser.addOption({QStringLiteral("what"),
                      QStringLiteral("What to clear: all, votes, slates, boards, expressions or "
                                     "pen-expressions (default all)."),
                      QStringLiteral("what"), QStringLiteral("all")});
    parser.addOption({{QStringLiteral("y"), QStringLiteral("yes")}, QStringLiteral("Do not ask for confirmation.")});
}

int checkClear(const QCommandLineParser &parser, QString *error)
{
    QString what;
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());
        return Exit_Usage;
    }
    return choiceOption(parser, QStringLiteral("what"), ClearWhat, &what, error) ? Exit_Success : Exit_Usage;
}

int runClear(Context &context, const QCommandLineParser &parser)
{
    int code = Exit_Success;
    Hub *hub = context.selectHub(parser.value(QStringLiteral("hub")), HubNeed::Registration, &code);
    if (!hub)
        return code;
    QString what, error;
    choiceOption(parser, QStringLiteral("what"), ClearWhat, &what, &error);
    auto *rf = qobject_cast<TwoPointFourGHzHub *>(hub);
    auto *legacy = qobject_cast<LegacyHub *>(hub);
    const QStringList legacyWhat{QStringLiteral("all"), QStringLiteral("votes"), QStringLiteral("slates")};
    if (!rf && !(legacy && legacyWhat.contains(what)))
        return context.fail(Exit_NotSupported,
                            QStringLiteral("%1 has no %2 to clear").arg(hubTitle(hub), what));

    const QString subject = what == QLatin1String("all") ? QStringLiteral("every registration")
                                                          : QStringLiteral("the registered %1").arg(what);
    const QString name = rf ? QStringLiteral(" \"%1\"").arg(rf->name()) : QString();
    if (!parser.isSet(QStringLiteral("yes"))
        && !context.confirm(QStringLiteral("Clear %1 from %2%3? The devices will have to register again.")
                                .arg(subject, hubTitle(hub), name)))
        return context.fail(Exit_Cancelled, QStringLiteral("not confirmed: nothing cleared"));

    context.progress(QStringLiteral("clearing %1").arg(subject));
    bool cleared = false;
    QJsonObject left;
    if (rf) {
        // The hub confirms once it has written its store.
        OKResponse reply;
        if (what == QLatin1String("all"))
            cleared = rf->clearHub(&reply);
        else if (what == QLatin1String("votes"))
            cleared = rf->clearHubOfVotes(&reply);
        else if (what == QLatin1String("slates"))
            cleared = rf->clearHubOfSlates(&reply);
        else if (what == QLatin1String("boards"))
            cleared = rf->clearHubOfBoards(&reply);
        else if (what == QLatin1String("expressions"))
            cleared = rf->clearHubOfExpressions(&reply);
        else
            cleared = rf->clearHubOfPenExpressions(&reply);
        cleared = cleared && reply.isValidResponse();
        // What is left, as the hub counts it.
        if (cleared)
            left = QJsonObject{{QStringLiteral("vote"), rf->orvexvoteCount()},
                               {QStringLiteral("expression"), rf->orvexexpressionCount()},
                               {QStringLiteral("slate"), rf->orvexSlateCount()},
                               {QStringLiteral("pen-expression"), rf->penExpressionCount()},
                               {QStringLiteral("board"), rf->orvexBoardCount()}};
    } else {
        if (what == QLatin1String("all"))
            cleared = legacy->clearHub();
        else if (what == QLatin1String("votes"))
            cleared = legacy->clearHubOfVotes();
        else
            cleared = legacy->clearHubOfSlates();
        int votes = 0, slates = 0;
        legacy->getDeviceCount(Device::Type_LegacyOrvexvote, &votes);
        legacy->getDeviceCount(Device::Type_Legacyslate, &slates);
        left = QJsonObject{{QStringLiteral("vote"), votes}, {QStringLiteral("slate"), slates}};
    }
    context.endProgress();
    if (!cleared)
        return context.hubFailure(hub, QStringLiteral("%1 was not cleared").arg(subject));

    if (context.json()) {
        context.printJson(QJsonObject{{QStringLiteral("hub"), hubReference(hub)},
                                      {QStringLiteral("cleared"), what},
                                      {QStringLiteral("devices"), left}});
    } else {
        QStringList parts;
        for (auto it = left.constBegin(); it != left.constEnd(); ++it)
            parts << QStringLiteral("%1 %2").arg(it.value().toInt()).arg(it.key());
        context.out() << "cleared " << subject << " from " << hubTitle(hub) << "; left: " << parts.join(QLatin1String(", "))
                      << Qt::endl;
    }
    return Exit_Success;
}

} // namespace

Command registerCommand()
{
    return {"register", "register handsets with a PIN",
            "Opens a registration session: every device of the class whose learner keys the PIN\n"
            "registers, and is shown as it does. Ending the session saves the registrations.",
            addOptionsRegister, checkRegister, runRegister};
}

Command nameCommand()
{
    return {"name", "give a registered device a name",
            "Gives a registered voting handset, slate or expression handset a name, kept in the hub.",
            addOptionsName, checkName, runName};
}

Command clearCommand()
{
    return {"clear", "clear a hub's registrations",
            "Clears registrations from a hub: every one, or those of one kind of device. Asks for\n"
            "confirmation on the terminal unless --yes is given.",
            addOptionsClear, checkClear, runClear};
}

} // namespace Orvexctl
