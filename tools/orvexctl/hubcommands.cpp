// list and info: the hubs, their registered devices and their state.
#include "commands.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonObject>

#include <algorithm>

using namespace Orvexsystem;

namespace Orvexctl {

namespace {

const QList<Device::Type> TwoPointFourGHzLists{Device::Type_TwoPointFourGHzOrvexvote,
                                               Device::Type_TwoPointFourGHzOrvexexpression,
                                               Device::Type_TwoPointFourGHzOrvexSlate,
                                               Device::Type_PenExpression};
const QList<Device::Type> LegacyLists{Device::Type_LegacyOrvexvote, Device::Type_Legacyslate};

QString subTypeWord(Device::SubType subType)
{
    switch (subType) {
    case Device::SubType_Expression:
        return QStringLiteral("expression");
    case Device::SubType_Expression0C:
        return QStringLiteral("expression-0c");
    default:
        return QStringLiteral("none");
    }
}

QList<Hub *> connectedHubs(Context &context)
{
    QList<Hub *> hubs;
    context.system().getHubList(&hubs);
    std::sort(hubs.begin(), hubs.end(), [](Hub *a, Hub *b) { return a->handle() < b->handle(); });
    return hubs;
}

int boardCount(Hub *hub)
{
    if (auto *rf = qobject_cast<TwoPointFourGHzHub *>(hub))
        return rf->orvexBoardCount();
    if (auto *legacy = qobject_cast<LegacyHub *>(hub))
        return legacy->orvexboardCount();
    return 0;
}

QString hubName(Hub *hub)
{
    auto *rf = qobject_cast<TwoPointFourGHzHub *>(hub);
    return rf ? rf->name() : QString();
}

QString versionText(Hub *hub)
{
    // 2.4 GHz hubs number their firmware in hexadecimal (0x0301).
    return hub->type() == Hub::Type_TwoPointFourGHz
               ? QStringLiteral("0x%1").arg(hub->getVersion(), 4, 16, QLatin1Char('0'))
               : QString::number(hub->getVersion());
}

QJsonObject hubJson(Hub *hub)
{
    QJsonObject object = hubReference(hub);
    object.insert(QStringLiteral("version"), hub->getVersion());
    object.insert(QStringLiteral("connected"), hub->isConnected());
    if (hub->type() == Hub::Type_TwoPointFourGHz)
        object.insert(QStringLiteral("name"), hubName(hub));
    else
        object.insert(QStringLiteral("connection"), hub->connectionType() == Hub::ConnectionType_Serial
                                                        ? QStringLiteral("serial")
                                                        : QStringLiteral("usb"));
    return object;
}

QString hubLine(Hub *hub)
{
    QString line = QStringLiteral("hub %1  %2").arg(hub->handle()).arg(hubKindText(hub));
    const QString name = hubName(hub);
    if (!name.isEmpty())
        line += QStringLiteral(" \"%1\"").arg(name);
    return line + QStringLiteral("  uid %1  version %2").arg(hexUid(hub->uid()), versionText(hub));
}

// "32 voting handsets, 8 expression handsets, 1 board"
QString countsText(const QList<QPair<Device::Type, int>> &counts)
{
    QStringList parts;
    for (const auto &count : counts)
        if (count.second > 0)
            parts << QStringLiteral("%1 %2").arg(count.second).arg(deviceTypeText(count.first, count.second));
    return parts.isEmpty() ? QStringLiteral("no devices") : parts.join(QLatin1String(", "));
}

void addOptionsList(QCommandLineParser &parser)
{
    parser.addOption({QStringLiteral("brief"), QStringLiteral("Hubs only, without their devices.")});
}

int checkNothing(const QCommandLineParser &parser, QString *error)
{
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());
        return Exit_Usage;
    }
    return Exit_Success;
}

int runList(Context &context, const QCommandLineParser &parser)
{
    const bool brief = parser.isSet(QStringLiteral("brief"));
    QJsonArray hubsJson;
    const QList<Hub *> hubs = connectedHubs(context);
    for (Hub *hub : hubs) {
        QList<DeviceEntry> devices;
        const bool listed = brief || registeredDevices(hub, &devices);
        const int boards = brief ? 0 : boardCount(hub);
        if (context.json()) {
            QJsonObject object = hubJson(hub);
            if (!brief) {
                QJsonArray array;
                for (const DeviceEntry &device : std::as_const(devices))
                    array.append(deviceJson(device));
                object.insert(QStringLiteral("devices"), array);
                object.insert(QStringLiteral("boards"), boards);
                if (!listed)
                    object.insert(QStringLiteral("error"), Hub::errorAsString(hub->getLastError()));
            }
            hubsJson.append(object);
            continue;
        }
        context.out() << hubLine(hub) << Qt::endl;
        if (brief)
            continue;
        if (!listed) {
            context.out() << "  devices cannot be read: " << Hub::errorAsString(hub->getLastError()) << Qt::endl;
            continue;
        }
        QList<QPair<Device::Type, int>> counts;
        for (const DeviceEntry &device : std::as_const(devices)) {
            context.out() << "  " << deviceTypeWord(device.type).leftJustified(15) << hexUid(device.uid)
                          << (device.name.isEmpty() ? QString() : QStringLiteral("  ") + device.name) << Qt::endl;
            auto it = std::find_if(counts.begin(), counts.end(),
                                   [&](const QPair<Device::Type, int> &c) { return c.first == device.type; });
            if (it == counts.end())
                counts.append({device.type, 1});
            else
                ++it->second;
        }
        counts.append({hub->type() == Hub::Type_TwoPointFourGHz ? Device::Type_TwoPointFourGHzOrvexboard
                                                                 : Device::Type_LegacyOrvexboard,
                       boards});
        context.out() << "  " << countsText(counts) << Qt::endl;
    }
    if (context.json()) {
        QJsonObject document{{QStringLiteral("hubs"), hubsJson}};
        int major = 0, minor = 0, build = 0;
        if (context.system().getDriverVersion(&major, &minor, &build))
            document.insert(QStringLiteral("driverVersion"),
                            QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(build));
        context.printJson(document);
    } else if (hubs.isEmpty()) {
        context.out() << "no hub is connected" << Qt::endl;
    }
    return Exit_Success;
}

QString stateWord(TwoPointFourGHzHub::State state)
{
    switch (state) {
    case TwoPointFourGHzHub::State_Idle:
        return QStringLiteral("idle");
    case TwoPointFourGHzHub::State_Busy:
        return QStringLiteral("busy");
    case TwoPointFourGHzHub::State_Disconnected:
        return QStringLiteral("disconnected");
    default:
        return QStringLiteral("no-answer");
    }
}

void addOptionsInfo(QCommandLineParser &parser)
{
    addHubOption(parser);
}

int runInfo(Context &context, const QCommandLineParser &parser)
{
    int code = Exit_Success;
    Hub *hub = context.selectHub(parser.value(QStringLiteral("hub")), HubNeed::Any, &code);
    if (!hub)
        return code;
    QJsonObject object = hubJson(hub);
    QStringList lines{hubLine(hub)};
    const auto row = [&](const QString &label, const QString &value) {
        lines << QStringLiteral("  %1 %2").arg(label.leftJustified(12), value);
    };

    QList<QPair<Device::Type, int>> counts;
    QJsonObject countsJson;
    if (auto *rf = qobject_cast<TwoPointFourGHzHub *>(hub)) {
        const QString state = stateWord(rf->state());
        object.insert(QStringLiteral("state"), state);
        row(QStringLiteral("state"), state);
        InformationResponse info;
        if (rf->getRegistrationInfo(&info)) {
            const auto pair = [](int inUse, int capacity) {
                return QJsonObject{{QStringLiteral("inUse"), inUse},
                                   {QStringLiteral("capacity"), capacity},
                                   {QStringLiteral("free"), std::max(0, capacity - inUse)}};
            };
            object.insert(QStringLiteral("registration"),
                          QJsonObject{{QStringLiteral("handsets"), pair(info.handsetsInUse(), info.handsetCapacity())},
                                      {QStringLiteral("boards"), pair(info.boardsInUse(), info.boardCapacity())},
                                      {QStringLiteral("slates"), pair(info.slatesInUse(), info.slateCapacity())},
                                      {QStringLiteral("mode"), info.hubMode()}});
            const auto text = [](int inUse, int capacity) {
                return QStringLiteral("%1 of %2 registered").arg(inUse).arg(capacity);
            };
            row(QStringLiteral("handsets"), text(info.handsetsInUse(), info.handsetCapacity()));
            row(QStringLiteral("boards"), text(info.boardsInUse(), info.boardCapacity()));
            row(QStringLiteral("slates"), text(info.slatesInUse(), info.slateCapacity()));
            row(QStringLiteral("mode"), QString::number(info.hubMode()) + (info.hubMode() == 1 ? QStringLiteral(" (idle)")
                                                                                                : QString()));
        } else {
            row(QStringLiteral("registration"), QStringLiteral("cannot be read: ") + Hub::errorAsString(hub->getLastError()));
        }
        counts = {{Device::Type_TwoPointFourGHzOrvexvote, rf->orvexvoteCount()},
                  {Device::Type_TwoPointFourGHzOrvexexpression, rf->orvexexpressionCount()},
                  {Device::Type_TwoPointFourGHzOrvexSlate, rf->orvexSlateCount()},
                  {Device::Type_PenExpression, rf->penExpressionCount()},
                  {Device::Type_TwoPointFourGHzOrvexboard, rf->orvexBoardCount()}};
    } else if (auto *legacy = qobject_cast<LegacyHub *>(hub)) {
        // The radio settings the hub reported when it connected.
        QJsonObject radio;
        QStringList radioText;
        const auto setting = [&](const QString &key, const QString &label, bool (LegacyHub::*get)(quint8 &)) {
            quint8 value = 0;
            const bool known = (legacy->*get)(value);
            radio.insert(key, known ? QJsonValue(int(value)) : QJsonValue());
            radioText << QStringLiteral("%1 %2").arg(label, known ? QString::number(value) : QStringLiteral("?"));
        };
        setting(QStringLiteral("voteChannel"), QStringLiteral("vote channel"), &LegacyHub::getVoteChannel);
        setting(QStringLiteral("slateChannel"), QStringLiteral("slate channel"), &LegacyHub::getSlateChannel);
        setting(QStringLiteral("band"), QStringLiteral("band"), &LegacyHub::getRFBand);
        setting(QStringLiteral("boardId"), QStringLiteral("board id"), &LegacyHub::getBoardID);
        object.insert(QStringLiteral("radio"), radio);
        row(QStringLiteral("radio"), radioText.join(QLatin1String(", ")));
        for (Device::Type type : {Device::Type_LegacyOrvexvote, Device::Type_Legacyslate}) {
            int count = 0;
            hub->getDeviceCount(type, &count);
            counts.append({type, count});
        }
        counts.append({Device::Type_LegacyOrvexboard, legacy->orvexboardCount()});
    }
    for (const auto &count : std::as_const(counts))
        countsJson.insert(deviceTypeWord(count.first), count.second);
    object.insert(QStringLiteral("devices"), countsJson);
    row(QStringLiteral("devices"), countsText(counts));

    object.insert(QStringLiteral("busy"), hub->isHubBusy());
    object.insert(QStringLiteral("registers"), hub->supportsRegistration());
    object.insert(QStringLiteral("pens"), hub->penCount());
    row(QStringLiteral("pens"), QString::number(hub->penCount()));
    const bool touch = hub->isTouchRunning();
    const int touches = hub->getNumTouchesSupported();
    object.insert(QStringLiteral("touch"), QJsonObject{{QStringLiteral("running"), touch},
                                                       {QStringLiteral("touches"), touches}});
    row(QStringLiteral("touch"), QStringLiteral("%1, %2 touches").arg(touch ? QStringLiteral("running")
                                                                              : QStringLiteral("not running"))
                                     .arg(touches));

    if (context.json())
        context.printJson(QJsonObject{{QStringLiteral("hub"), object}});
    else
        for (const QString &line : std::as_const(lines))
            context.out() << line << Qt::endl;
    return Exit_Success;
}

} // namespace

bool registeredDevices(Hub *hub, QList<DeviceEntry> *devices)
{
    devices->clear();
    auto *rf = qobject_cast<TwoPointFourGHzHub *>(hub);
    bool ok = true;
    for (Device::Type type : rf ? TwoPointFourGHzLists : LegacyLists) {
        // Brings an out-of-date list up to date; the pointers are not used,
        // as another thread may rebuild a list at any time.
        QList<Device *> pointers;
        if (!hub->getDeviceList(type, &pointers)) {
            ok = false;
            continue;
        }
        QList<DeviceDisplayInfo> infos;
        if (rf)
            rf->readDeviceDisplayInfoList(type, &infos);
        else if (auto *legacy = qobject_cast<LegacyHub *>(hub))
            legacy->getDeviceDisplayInfoList(type, &infos);
        for (const DeviceDisplayInfo &info : std::as_const(infos))
            devices->append(DeviceEntry{type, info.uid, info.name, info.subType});
    }
    return ok;
}

QString deviceTypeWord(Device::Type type)
{
    switch (type) {
    case Device::Type_TwoPointFourGHzOrvexvote:
    case Device::Type_LegacyOrvexvote:
        return QStringLiteral("vote");
    case Device::Type_TwoPointFourGHzOrvexexpression:
        return QStringLiteral("expression");
    case Device::Type_TwoPointFourGHzOrvexSlate:
    case Device::Type_Legacyslate:
        return QStringLiteral("slate");
    case Device::Type_PenExpression:
        return QStringLiteral("pen-expression");
    case Device::Type_TwoPointFourGHzOrvexboard:
    case Device::Type_LegacyOrvexboard:
        return QStringLiteral("board");
    }
    return QStringLiteral("device");
}

QString deviceTypeText(Device::Type type, int count)
{
    const QString word = deviceTypeWord(type);
    QString text = word == QLatin1String("vote")         ? QStringLiteral("voting handset")
                   : word == QLatin1String("expression") ? QStringLiteral("expression handset")
                   : word == QLatin1String("pen-expression") ? QStringLiteral("pen-expression device")
                                                             : word;
    return count == 1 ? text : text + QLatin1Char('s');
}

QJsonObject deviceJson(const DeviceEntry &device)
{
    QJsonObject object{{QStringLiteral("type"), deviceTypeWord(device.type)},
                       {QStringLiteral("uid"), hexUid(device.uid)},
                       {QStringLiteral("name"), device.name}};
    if (device.subType != Device::SubType_None)
        object.insert(QStringLiteral("subType"), subTypeWord(device.subType));
    return object;
}

Command listCommand()
{
    return {"list", "list the hubs and the devices registered with them",
            "Lists the connected hubs and the devices registered with each.",
            addOptionsList, checkNothing, runList};
}

Command infoCommand()
{
    return {"info", "show a hub's state and registration information",
            "Shows a hub's state, registration counts and capacities, devices, pens and touch.",
            addOptionsInfo, checkNothing, runInfo};
}

} // namespace Orvexctl
