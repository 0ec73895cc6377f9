// A small host of the library, run against the simulated driver's default
// classroom: it shows hubs as they are announced, the 2.4 GHz hub's
// registrations, a handset registered with a PIN and named, questions asked
// of the class with the answers tallied as they arrive, a self-paced
// question set on the expression handsets, a pen stroke and a two-finger
// touch from a board, the board's touch status, a hub reset and a busy
// change, handsets and a slate registering with the legacy hub, a vote on
// the legacy and the 2.4 GHz hub side by side, a hub unplugged (its
// registration session answering failure) and plugged back, and a clean
// shutdown. Registration and naming go through the session objects that
// the system hands out.

#include <orvexsystem/orvexsystem.h>

#include "orvexsim.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QHash>
#include <QtCore/QMap>
#include <QtCore/QPoint>
#include <QtCore/QSet>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTextStream>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <mutex>

using namespace Orvexsystem;

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QString kindText(Hub *hub)
{
    if (hub->isVirtualHub())
        return QStringLiteral("virtual 2.4 GHz hub");
    if (hub->type() == Hub::Type_TwoPointFourGHz)
        return QStringLiteral("2.4 GHz hub");
    return hub->connectionType() == Hub::ConnectionType_Serial ? QStringLiteral("legacy hub (serial)")
                                                                : QStringLiteral("legacy hub (USB)");
}

void printHub(const char *what, Hub *hub)
{
    out() << what << ' ' << kindText(hub) << ": handle " << hub->handle() << ", uid 0x"
          << QString::number(hub->uid(), 16).toUpper() << ", version " << hub->getVersion()
          << Qt::endl;
}

// Runs the Qt event loop until done() holds or the time runs out.
bool waitUntil(const std::function<bool()> &done, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

QString hexUid(quint64 uid) { return QStringLiteral("0x%1").arg(uid, 8, 16, QLatin1Char('0')).toUpper().replace(QLatin1String("0X"), QLatin1String("0x")); }

QString subTypeText(Device::SubType subType)
{
    switch (subType) {
    case Device::SubType_Expression:
        return QStringLiteral("expression");
    case Device::SubType_Expression0C:
        return QStringLiteral("expression 0C");
    default:
        return QStringLiteral("-");
    }
}

QString deviceKind(Device *device)
{
    switch (device->type()) {
    case Device::Type_TwoPointFourGHzOrvexvote:
        return QStringLiteral("voting handset");
    case Device::Type_TwoPointFourGHzOrvexexpression:
        return QStringLiteral("expression handset");
    case Device::Type_TwoPointFourGHzOrvexSlate:
        return QStringLiteral("slate");
    case Device::Type_PenExpression:
        return QStringLiteral("pen expression");
    default:
        return QStringLiteral("device");
    }
}

void showRegistrations(TwoPointFourGHzHub *hub)
{
    const TwoPointFourGHzHub::State state = hub->state();
    out() << "2.4 GHz hub \"" << hub->name() << "\", state "
          << (state == TwoPointFourGHzHub::State_Idle ? "idle" : state == TwoPointFourGHzHub::State_Busy ? "busy" : "unknown")
          << Qt::endl;
    InformationResponse info;
    if (hub->getRegistrationInfo(&info))
        out() << "  registered: " << info.handsetsInUse() << " of " << info.handsetCapacity()
              << " handsets, " << info.slatesInUse() << " of " << info.slateCapacity() << " slates, "
              << info.boardsInUse() << " of " << info.boardCapacity() << " boards" << Qt::endl;
    QList<Device *> devices;
    if (!hub->getCompleteDeviceList(&devices)) {
        out() << "  devices could not be read: " << Hub::errorAsString(hub->getLastError()) << Qt::endl;
        return;
    }
    for (Device *device : std::as_const(devices)) {
        auto *rf = dynamic_cast<TwoPointFourGHzDevice *>(device);
        out() << "  " << deviceKind(device).leftJustified(19) << device->name().leftJustified(15)
              << hexUid(device->uid()) << "  " << (rf ? QString::fromLatin1(rf->hexId()) : QString())
              << "  " << subTypeText(device->subType()) << Qt::endl;
    }
}

// Draws pen positions (0..65535 each way) on a small text canvas.
void drawCanvas(const QList<QPoint> &points, int minX, int maxX, int minY, int maxY)
{
    const int width = 48, height = 10;
    QList<QString> rows(height, QString(width, QLatin1Char('.')));
    for (const QPoint &p : points) {
        const int cx = maxX > minX ? (p.x() - minX) * (width - 1) / (maxX - minX) : 0;
        const int cy = maxY > minY ? (p.y() - minY) * (height - 1) / (maxY - minY) : 0;
        rows[cy][cx] = QLatin1Char('#');
    }
    for (const QString &row : std::as_const(rows))
        out() << "    " << row << Qt::endl;
}

const char *penEventText(Hub::PenEvent event)
{
    switch (event) {
    case Hub::PenEvent_Move:
        return "move";
    case Hub::PenEvent_TipDown:
        return "tip down";
    case Hub::PenEvent_TipUp:
        return "tip up";
    case Hub::PenEvent_BarrelDown:
        return "barrel down";
    case Hub::PenEvent_BarrelUp:
        return "barrel up";
    default:
        return "none";
    }
}

void showBoard(QCoreApplication &app, Hub *hub)
{
    out() << "board on handle " << hub->handle() << ": touch "
          << (hub->isTouchRunning() ? "running" : "not running") << ", "
          << hub->getNumTouchesSupported() << " touches supported" << Qt::endl;

    // A pen stroke: the reports arrive on the driver's thread and reach this
    // thread through the signal's queued connection.
    QList<QPoint> points;
    int events = 0;
    int minX = 65535, maxX = 0, minY = 65535, maxY = 0;
    auto pen = QObject::connect(hub, &Hub::penEventReceived, &app,
        [&](Hub *, Hub::PenEvent event, quint8 penId, int x, int y, bool tip, bool) {
            ++events;
            if (event != Hub::PenEvent_Move)
                out() << "  pen " << penId << ' ' << penEventText(event) << " at (" << x << ", " << y << ")"
                      << Qt::endl;
            if (tip) {
                points << QPoint(x, y);
                minX = qMin(minX, x); maxX = qMax(maxX, x);
                minY = qMin(minY, y); maxY = qMax(maxY, y);
            }
        });
    const int strokePackets = 28;
    orvexsim_start_pen_stream(hub->handle(), 1, 500, strokePackets);
    waitUntil([&] { return events >= strokePackets; });
    out() << "  " << events << " pen reports, " << points.size() << " with the tip down:" << Qt::endl;
    if (!points.isEmpty())
        drawCanvas(points, minX, maxX, minY, maxY);
    QObject::disconnect(pen);

    // Two fingers on the board.
    bool touched = false;
    auto touch = QObject::connect(hub, &Hub::touchEventReceived, &app,
        [&](Hub *, QList<Hub::TouchInfo> touches) {
            touched = true;
            out() << "  touch report with " << touches.size() << " contacts:" << Qt::endl;
            for (const Hub::TouchInfo &t : std::as_const(touches))
                out() << "    contact " << t.nTouchId << " at (" << t.nX << ", " << t.nY << "), radius "
                      << t.nRadius << (t.bStatus ? ", down" : ", up") << Qt::endl;
        });
    const OrvexSimTouch fingers[2] = {{1, 12000, 20000, 180, 1}, {2, 15500, 20400, 175, 1}};
    orvexsim_inject_touch(hub->handle(), fingers, 2);
    waitUntil([&] { return touched; });
    QObject::disconnect(touch);

    // The board reports a change of its touch status by itself.
    bool statusSeen = false;
    auto status = QObject::connect(hub, &Hub::touchStatusEventReceived, &app, [&](Hub *, bool running) {
        statusSeen = true;
        out() << "  touch status report: touch " << (running ? "running" : "stopped") << Qt::endl;
    });
    orvexsim_set_touch_status(hub->handle(), 0, 4, 1);
    orvexsim_send_touch_status(hub->handle());
    waitUntil([&] { return statusSeen; });
    orvexsim_set_touch_status(hub->handle(), 5, 4, 1);
    QObject::disconnect(status);
}

void showHubEvents(QCoreApplication &app, TwoPointFourGHzHub *hub)
{
    int busyReports = 0;
    bool reset = false;
    bool lowBattery = false;
    auto busy = QObject::connect(hub, qOverload<Hub *, bool>(&TwoPointFourGHzHub::hubBusy), &app,
                                 [&](Hub *, bool isBusy) {
                                     ++busyReports;
                                     out() << "  hub reports " << (isBusy ? "busy" : "idle") << Qt::endl;
                                 });
    auto resetConnection = QObject::connect(hub, &Hub::hubReset, &app, [&](Hub *) {
        reset = true;
        out() << "  hub reset: its device lists are read again when next asked for" << Qt::endl;
    });
    auto battery = QObject::connect(hub, &Hub::batteryLow, &app, [&](Hub *, quint32 uid) {
        lowBattery = true;
        out() << "  low battery in device " << hexUid(uid) << Qt::endl;
    });
    orvexsim_set_hub_busy(hub->handle(), 1);
    waitUntil([&] { return busyReports == 1; });
    orvexsim_set_hub_busy(hub->handle(), 0);
    waitUntil([&] { return busyReports == 2; });
    orvexsim_report_low_battery(hub->handle(), 0x06A10007);
    waitUntil([&] { return lowBattery; });
    orvexsim_reset_hub(hub->handle());
    waitUntil([&] { return reset; });
    QList<Device *> votes;
    if (hub->getDeviceList(Device::Type_TwoPointFourGHzOrvexvote, &votes))
        out() << "  after the reset the hub lists " << votes.size() << " voting handsets" << Qt::endl;
    QObject::disconnect(busy);
    QObject::disconnect(resetConnection);
    QObject::disconnect(battery);
}

// Registration with the legacy hub goes through the system's registration
// session, which answers failure instead of reaching a hub that has gone.
// The hub keeps no list of its own: registered handsets and slates are
// remembered in the machine-wide settings file. The session stays open for
// the unplugging at the end.
const LegacyhubRegistrationSession *registerWithLegacyHub(QCoreApplication &app, LegacyHub *hub)
{
    out() << "registering with the legacy hub on handle " << hub->handle() << ':' << Qt::endl;
    const LegacyhubRegistrationSession *session =
        OrvexSystem::instance().startLegacyhubRegistrationSession(hub->handle());
    if (!session)
        return nullptr;
    int handsets = 0;
    auto registered = QObject::connect(session, &LegacyhubRegistrationSession::voteDeviceRegistered,
                                       &app, [&](quint32 id, bool, int version) {
            ++handsets;
            out() << "  voting handset " << hexUid(id) << " registered (version " << version << ')'
                  << Qt::endl;
        });
    session->startVoteRegistrationSession();
    waitUntil([&] { return handsets == 4; });
    session->stopVoteRegistrationSession();
    QObject::disconnect(registered);

    // A slate asks for a PIN; the learner keys in the one the host shows.
    bool slateDone = false;
    const RegistrationCode pin(QStringLiteral("CAF"));
    auto asked = QObject::connect(session, &LegacyhubRegistrationSession::generatePinforSlateRegistration,
                                  &app, [&](quint8 id) {
            out() << "  slate " << id << " asks for a PIN: showing " << pin.toString() << Qt::endl;
            session->startSlatePINRegistration(id, pin);
        });
    auto slate = QObject::connect(session, &LegacyhubRegistrationSession::slateDeviceRegistered, &app,
                                  [&](quint8 id) {
                                      slateDone = true;
                                      out() << "  slate " << id << " registered with its PIN" << Qt::endl;
                                  });
    session->startSlateRegistrationSession();
    waitUntil([&] { return slateDone; });
    session->stopSlateRegistrationSession();
    QObject::disconnect(asked);
    QObject::disconnect(slate);
    QList<DeviceDisplayInfo> votes;
    if (session->getListOfRegisteredVotes(votes))
        out() << "  the hub now lists " << votes.size() << " voting handsets" << Qt::endl;
    return session;
}

// One hub's votes: each handset's last option, and the handsets whose
// battery is low. Filled on the driver's thread.
struct Tally
{
    std::mutex mu;
    QHash<quint32, int> lastOption;
    QSet<quint32> lowBattery;

    static void vote(Hub *, quint32 uid, int option, bool batteryLow, void *context)
    {
        auto *tally = static_cast<Tally *>(context);
        std::lock_guard<std::mutex> lock(tally->mu);
        tally->lastOption.insert(uid, option);
        if (batteryLow)
            tally->lowBattery.insert(uid);
    }
    static void battery(Hub *, quint32 uid, void *context)
    {
        auto *tally = static_cast<Tally *>(context);
        std::lock_guard<std::mutex> lock(tally->mu);
        tally->lowBattery.insert(uid);
    }
    int voters()
    {
        std::lock_guard<std::mutex> lock(mu);
        return int(lastOption.size());
    }
    int count(int option)
    {
        std::lock_guard<std::mutex> lock(mu);
        return int(std::count(lastOption.cbegin(), lastOption.cend(), option));
    }
    bool hasWarnings()
    {
        std::lock_guard<std::mutex> lock(mu);
        return !lowBattery.isEmpty();
    }
    QString warnings()
    {
        std::lock_guard<std::mutex> lock(mu);
        QStringList uids;
        for (quint32 uid : std::as_const(lowBattery))
            uids << hexUid(uid);
        uids.sort();
        return uids.isEmpty() ? QStringLiteral("none") : uids.join(QLatin1String(", "));
    }
};

void voteSideBySide(LegacyHub *legacy, TwoPointFourGHzHub *rf)
{
    Tally legacyTally;
    Tally rfTally;
    // The 2.4 GHz hub reports a low battery apart from the votes.
    rf->setBatteryLowCallback(&Tally::battery, &rfTally);
    if (!legacy->startVotingSession(Hub::VotingMode_VB, &Tally::vote, &legacyTally)
        || !rf->startVotingSession(Hub::VotingMode_VB, &Tally::vote, &rfTally)) {
        out() << "a voting session did not start" << Qt::endl;
        return;
    }
    // The learners press keys of their own choosing; two batteries are low.
    orvexsim_legacy_seed(legacy->handle(), 7);
    orvexsim_legacy_set_handset(legacy->handle(), 0x1A2B03, 1, 1);
    const int legacyVoters = orvexsim_legacy_class_vote(legacy->handle(), 0);
    orvexsim_seed_handsets(rf->handle(), 7);
    orvexsim_set_handset_delay_ms(rf->handle(), ORVEXSIM_ALL_HANDSETS, 0, 300);
    orvexsim_vote(rf->handle(), 0x06A1000C, 0, 1, 1);
    const int rfVoters = orvexsim_vote(rf->handle(), ORVEXSIM_ALL_HANDSETS, 0, 1, 0);
    waitUntil([&] {
        return legacyTally.voters() >= legacyVoters && rfTally.voters() >= rfVoters
               && rfTally.hasWarnings();
    });
    legacy->stopSession();
    rf->stopSession();

    out() << "vote:    option  legacy hub  2.4 GHz hub" << Qt::endl;
    for (int option = 1; option <= 6; ++option)
        out() << "              " << QChar(QLatin1Char(char('A' + option - 1)))
              << QString::number(legacyTally.count(option)).rightJustified(12)
              << QString::number(rfTally.count(option)).rightJustified(13) << Qt::endl;
    out() << "  battery low: legacy hub " << legacyTally.warnings() << "; 2.4 GHz hub "
          << rfTally.warnings() << Qt::endl;
}

// Registers a waiting voting handset with the PIN it keys, names it, then
// asks the class a yes/no, a multiple-choice and a short text question. The
// reports arrive on the driver's thread and reach this thread through the
// signals' queued connections.
void runClassroom(QCoreApplication &app, TwoPointFourGHzHub *hub)
{
    // Registration and naming go through the system's session objects.
    OrvexSystem &system = OrvexSystem::instance();
    const quint32 newcomer = 0x06A10021; // waits to register with the PIN ABC
    quint32 registered = 0;
    if (const auto *session = system.startOrvexhubRegistrationSession(hub->handle())) {
        auto reg = QObject::connect(session, &OrvexhubRegistrationSession::voteDeviceRegistered, &app,
                                    [&](QString name, quint32 uid) {
                                        registered = uid;
                                        out() << "  registered " << name << ' ' << hexUid(uid) << Qt::endl;
                                    });
        if (session->startVoteRegistrationSession(0, 0, 0, RegistrationCode(QStringLiteral("ABC")))) {
            orvexsim_register_waiting(hub->handle(), newcomer);
            waitUntil([&] { return registered != 0; });
            session->stopVoteRegistrationSession();
        }
        QObject::disconnect(reg);
        const OrvexhubRegistrationSession::RegistrationInfo info = session->registrationInfo();
        out() << "  " << info.numHandsets << " handsets listed, room for " << info.handsetsFree
              << " more" << Qt::endl;
        system.stopOrvexhubRegistrationSession();
    }
    if (const auto *naming = system.startOrvexhubVoteNamingSession(hub->handle())) {
        if (registered && naming->nameOrvexvote(registered, QStringLiteral("Ana"))
            && naming->stopOrvexvoteNamingSession())
            out() << "  named it \"Ana\"" << Qt::endl;
        system.stopOrvexhubVoteNamingSession();
    }

    QMap<quint32, QString> names;
    QList<Device *> devices;
    hub->getCompleteDeviceList(&devices);
    for (Device *device : std::as_const(devices))
        names.insert(device->uid(), device->name());
    orvexsim_set_handset_delay_ms(hub->handle(), ORVEXSIM_ALL_HANDSETS, 100, 1500);

    // Answers come in over a second or so; the tally is shown as they do.
    QMap<QString, int> tally;
    int answers = 0;
    auto count = [&](const QString &answer) {
        ++tally[answer];
        if (++answers % 10 == 0) {
            out() << "    after " << answers << " answers:";
            for (auto it = tally.cbegin(); it != tally.cend(); ++it)
                out() << ' ' << it.key() << ' ' << it.value();
            out() << Qt::endl;
        }
    };
    auto ask = [&](const char *question, int handsets, const std::function<bool()> &start) {
        tally.clear();
        answers = 0;
        out() << "  question: " << question << Qt::endl;
        if (!start()) {
            out() << "  not started: " << Hub::errorAsString(hub->getLastError()) << Qt::endl;
            return;
        }
        waitUntil([&] { return answers == handsets; }, 8000);
        hub->stopSession();
        out() << "    final:";
        for (auto it = tally.cbegin(); it != tally.cend(); ++it)
            out() << ' ' << it.key() << ' ' << it.value();
        out() << " (" << answers << " answers)" << Qt::endl;
    };
    const int handsets = int(names.size()) - 5; // slates and the pen expression do not answer
    auto yesNo = QObject::connect(hub, &Hub::yesNoSessionResponse, &app,
        [&](Hub *, quint32, int, Hub::YesNoResponse r) {
            count(r == Hub::YesNoResponse_Yes ? QStringLiteral("yes")
                  : r == Hub::YesNoResponse_No ? QStringLiteral("no") : QStringLiteral("other"));
        });
    ask("Is water wet? (yes/no)", handsets,
        [&] { return hub->startYesNoSession(1, false, TimeUnit_Seconds, 30, nullptr, nullptr); });
    QObject::disconnect(yesNo);
    auto choice = QObject::connect(hub, &Hub::multichoiceSessionResponse, &app,
                                   [&](Hub *, quint32, int, QString answer) { count(answer); });
    ask("Which planet is largest? A Mars, B Jupiter, C Venus, D Earth", handsets, [&] {
        return hub->startMultichoiceSession(2, 4, 1, DisplayOption_UpperCase, TimeUnit_Seconds, 30,
                                            nullptr, nullptr);
    });
    QObject::disconnect(choice);

    QStringList texts;
    auto text = QObject::connect(hub, &Hub::textSessionResponse, &app,
                                 [&](Hub *, quint32 uid, int, QString answer) {
                                     texts << names.value(uid).leftJustified(12) + answer;
                                 });
    out() << "  question: What did you learn today? (expression handsets)" << Qt::endl;
    if (hub->startTextSession(3, QStringLiteral("What did you learn today?"), 20, TimeUnit_Seconds,
                              30, nullptr, nullptr)) {
        waitUntil([&] { return texts.size() == 8; }, 8000);
        hub->stopSession();
    }
    QObject::disconnect(text);
    for (const QString &line : std::as_const(texts))
        out() << "    " << line << Qt::endl;
}

// A self-paced set of three questions on the expression handsets: each asks
// for the next question once it has answered one. The session reports on
// its event thread; its signals reach this thread queued, where the
// requests are answered and each answer is printed as it arrives.
void runSelfPacedSet(QCoreApplication &app, TwoPointFourGHzHub *hub)
{
    QMap<quint32, QString> names;
    QList<DeviceDisplayInfo> handsets;
    hub->readDeviceDisplayInfoList(Device::Type_TwoPointFourGHzOrvexexpression, &handsets);
    for (const DeviceDisplayInfo &handset : std::as_const(handsets))
        names.insert(handset.uid, handset.name);

    MultichoiceQuestion planet;
    planet.questionNumber = 1;
    planet.text = QStringLiteral("Largest planet? A Mars, B Jupiter, C Venus, D Earth");
    planet.numberOfOptions = 4;
    planet.numberOfResponses = 1;
    planet.displayOption = DisplayOption_UpperCase;
    YesNoQuestion water;
    water.questionNumber = 2;
    water.text = QStringLiteral("Is water wet?");
    LikertQuestion enjoyed;
    enjoyed.questionNumber = 3;
    enjoyed.text = QStringLiteral("Did you enjoy it? (1-5)");
    enjoyed.scaleValue = 5;
    const EnhancedQuestion *questions[] = {&planet, &water, &enjoyed};

    EnhancedQuestionSession *session = hub->enhancedQuestionSession();
    int finished = 0;
    auto print = [&](quint32 uid, int number, const QString &answer) {
        out() << "    " << names.value(uid).leftJustified(10) << " Q" << number << ": " << answer
              << Qt::endl;
    };
    const QList<QMetaObject::Connection> connections = {
        QObject::connect(session, &EnhancedQuestionSession::getQuestion, &app,
                         [&](EnhancedQuestionSession *s, quint32 uid, int number) {
                             if (number >= 1 && number <= 3)
                                 s->sendQuestion(uid, questions[number - 1]);
                             else if (s->sendNoMoreQuestionsNotification(uid, QStringLiteral("Done!")))
                                 ++finished;
                         }),
        QObject::connect(session, &EnhancedQuestionSession::multichoiceAnswer, &app,
                         [&](EnhancedQuestionSession *, quint32 uid, int n, QString a) { print(uid, n, a); }),
        QObject::connect(session, &EnhancedQuestionSession::yesNoAnswer, &app,
                         [&](EnhancedQuestionSession *, quint32 uid, int n, YesNoQuestion::Answer a) {
                             print(uid, n, a == YesNoQuestion::Answer_Yes ? QStringLiteral("yes")
                                           : a == YesNoQuestion::Answer_No ? QStringLiteral("no")
                                                                           : QStringLiteral("other"));
                         }),
        QObject::connect(session, &EnhancedQuestionSession::likertAnswer, &app,
                         [&](EnhancedQuestionSession *, quint32 uid, int n, int value) {
                             print(uid, n, QString::number(value));
                         })};
    // The parameters go to every handset that asks, without a report.
    session->setDefaultSessionparameters(1, 0, false, QBitArray());
    orvexsim_set_handset_delay_ms(hub->handle(), ORVEXSIM_ALL_HANDSETS, 100, 800);
    out() << "  a self-paced set of 3 questions on " << names.size() << " expression handsets:"
          << Qt::endl;
    if (!session->startSession(false)) {
        out() << "  not started: " << Hub::errorAsString(hub->getLastError()) << Qt::endl;
    } else {
        waitUntil([&] { return finished == int(names.size()); }, 15000);
        session->stopSession();
        out() << "  " << finished << " handsets finished the set" << Qt::endl;
    }
    for (const QMetaObject::Connection &connection : connections)
        QObject::disconnect(connection);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Machine-wide data, such as the legacy hubs' registrations, goes to a
    // scratch folder instead of the system's.
    QTemporaryDir data;
    qputenv("XDG_DATA_DIRS", data.path().toLocal8Bit());
    OrvexSystem &system = OrvexSystem::instance();

    Hub *lastConnected = nullptr;
    Hub *lastDisconnected = nullptr;
    QObject::connect(&system, &OrvexSystem::newHubConnected, &app, [&](Hub *hub) {
        lastConnected = hub;
        printHub("connected   ", hub);
    });
    QObject::connect(&system, &OrvexSystem::hubDisconnected, &app, [&](Hub *hub) {
        lastDisconnected = hub;
        printHub("disconnected", hub);
    });

    out() << "orvexsystem library version 0x" << QString::number(OrvexSystem::getLibraryVersion(), 16)
          << Qt::endl;
    if (!system.initialise()) {
        out() << "initialise failed: " << OrvexSystem::errorAsString(system.getLastError())
              << Qt::endl;
        return 1;
    }
    int major = 0, minor = 0, build = 0;
    if (system.getDriverVersion(&major, &minor, &build))
        out() << "driver version " << major << '.' << minor << '.' << build << Qt::endl;
    // Hubs found by initialise() were announced on this thread already.
    waitUntil([&] { return lastConnected != nullptr; }, 1000);

    QList<Hub *> hubs;
    system.getHubList(&hubs);
    out() << hubs.size() << " hub(s) connected" << Qt::endl;

    for (Hub *hub : std::as_const(hubs))
        if (auto *rf = dynamic_cast<TwoPointFourGHzHub *>(hub))
            showRegistrations(rf);
    for (Hub *hub : std::as_const(hubs))
        if (auto *rf = dynamic_cast<TwoPointFourGHzHub *>(hub)) {
            out() << "a lesson on the 2.4 GHz hub on handle " << rf->handle() << ':' << Qt::endl;
            runClassroom(app, rf);
            runSelfPacedSet(app, rf);
        }
    for (Hub *hub : std::as_const(hubs))
        showBoard(app, hub);
    for (Hub *hub : std::as_const(hubs))
        if (auto *rf = dynamic_cast<TwoPointFourGHzHub *>(hub)) {
            out() << "events of the 2.4 GHz hub on handle " << rf->handle() << ':' << Qt::endl;
            showHubEvents(app, rf);
        }

    LegacyHub *legacy = nullptr;
    TwoPointFourGHzHub *rf = nullptr;
    for (Hub *hub : std::as_const(hubs)) {
        if (auto *l = qobject_cast<LegacyHub *>(hub))
            legacy = l;
        else if (auto *r = qobject_cast<TwoPointFourGHzHub *>(hub); r && !r->isVirtualHub())
            rf = r;
    }
    const LegacyhubRegistrationSession *legacySession = nullptr;
    if (legacy)
        legacySession = registerWithLegacyHub(app, legacy);
    if (legacy && rf)
        voteSideBySide(legacy, rf);

    // Unplug the legacy hub and plug it back: the same object comes back.
    if (legacy) {
        out() << "unplugging handle " << legacy->handle() << Qt::endl;
        lastConnected = nullptr;
        orvexsim_unplug_hub(legacy->handle());
        if (!waitUntil([&] { return lastDisconnected == legacy; }))
            out() << "no disconnection reported" << Qt::endl;
        // The registration session outlives its hub and answers failure
        // until it is stopped.
        unsigned char channel = 0;
        if (legacySession && !legacySession->getVoteChannel(channel))
            out() << "the legacy registration session answers failure: its hub is gone" << Qt::endl;
        system.stopLegacyhubRegistrationSession();
        out() << "plugging handle " << legacy->handle() << " back" << Qt::endl;
        orvexsim_plug_hub(legacy->handle());
        if (!waitUntil([&] { return lastConnected == legacy; }))
            out() << "no reconnection reported" << Qt::endl;
        else
            out() << "the same hub object came back" << Qt::endl;
    }

    system.shutdown();
    out() << "shut down" << Qt::endl;
    return 0;
}
