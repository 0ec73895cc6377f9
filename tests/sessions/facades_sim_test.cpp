// The session façades against the simulated driver's default classroom:
// every operation's forwarding, the relays, the starts and stops, and the
// switch to the error implementations when a hub vanishes or the system
// shuts down.

#include "sessions/sessionfacades.h"
#include "sessions/sessionimplslot.h"
#include "support/wait.h"

#include <orvexsim.h>
#include <orvexsystem/orvexsystem.h>

#include <QtCore/QMetaMethod>
#include <QtCore/QTemporaryDir>
#include <QtCore/QThread>
#include <QtCore/QVariant>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

using namespace Orvexsystem;
using namespace OrvexTest;

namespace {

const int Rf = ORVEXSIM_DEFAULT_RF_HUB;
const int Legacy = ORVEXSIM_DEFAULT_LEGACY_HUB;
const RegistrationCode ABC(QStringLiteral("ABC"));

// What the library wrote to the hub since the last clear, without the
// queries that operations make on their way (state, counts, list re-reads)
// and the pen commands every hub gets.
QList<QByteArray> sent(int handle)
{
    QList<QByteArray> out;
    for (int i = 0; i < orvexsim_write_count(handle); ++i) {
        QByteArray w(256, '\0');
        w.resize(orvexsim_get_write(handle, i, reinterpret_cast<uint8_t *>(w.data()), 256));
        static const char *const queries[] = {":GI", ":GD", ":GR", ":GN", ":PN", ":PK", ":QT"};
        if (std::none_of(std::begin(queries), std::end(queries),
                         [&](const char *q) { return w.startsWith(q); }))
            out << w;
    }
    return out;
}

QByteArray cmd(const char *text) { return QByteArray(text) + '\r'; }

// The arguments of every emission of a signal, recorded on the emitting
// thread (a hub's: the driver's; a façade's: this one).
struct Recorded
{
    std::mutex mu;
    QList<QVariantList> calls;
    void add(const QVariantList &call)
    {
        std::lock_guard<std::mutex> lock(mu);
        calls.append(call);
    }
    int size()
    {
        std::lock_guard<std::mutex> lock(mu);
        return int(calls.size());
    }
    bool isEmpty() { return size() == 0; }
    QVariantList operator[](int i)
    {
        std::lock_guard<std::mutex> lock(mu);
        return calls.value(i);
    }
};

template <class Sender, class... Args>
std::shared_ptr<Recorded> record(const Sender *sender, void (Sender::*signal)(Args...))
{
    auto calls = std::make_shared<Recorded>();
    QObject::connect(
        sender, signal, sender, [calls](Args... args) { calls->add({QVariant::fromValue(args)...}); },
        Qt::DirectConnection);
    return calls;
}

// A naming callback's reports, made on the driver's thread.
struct Named
{
    std::mutex mu;
    QList<std::pair<QString, unsigned int>> names;
    static void callback(Hub *, const QString &name, unsigned int uid, void *context)
    {
        auto *self = static_cast<Named *>(context);
        std::lock_guard<std::mutex> lock(self->mu);
        self->names.append({name, uid});
    }
    int count()
    {
        std::lock_guard<std::mutex> lock(mu);
        return int(names.size());
    }
};

class SimFacades : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(data.isValid());
        qputenv("XDG_DATA_DIRS", data.path().toLocal8Bit());
        ASSERT_EQ(orvexsim_reset(), 0);
        orvexsim_set_handset_delay_ms(ORVEXSIM_ALL_HUBS, ORVEXSIM_ALL_HANDSETS, 0, 0);
        orvexsim_set_flash_delay_us(ORVEXSIM_ALL_HUBS, 1000);
        ASSERT_EQ(orvexsim_use_default_classroom(), 0);
        ASSERT_TRUE(system.initialise());
        rf = qobject_cast<TwoPointFourGHzHub *>(hub(Rf));
        ASSERT_NE(rf, nullptr);
    }
    void TearDown() override { system.shutdown(); }

    Hub *hub(int handle)
    {
        QList<Hub *> hubs;
        system.getHubList(&hubs);
        for (Hub *h : hubs)
            if (h->handle() == handle)
                return h;
        return nullptr;
    }
    // Unplugs a hub and waits until discovery has taken it away (the
    // façades are switched before the handle's signal).
    void unplug(int handle)
    {
        std::atomic<bool> gone{false};
        auto watch = [&](HubHandle_t h) { gone = gone || h == handle; };
        auto a = QObject::connect(&system, &OrvexSystem::orvexHubDisconnected, watch);
        auto b = QObject::connect(&system, &OrvexSystem::legacyHubDisconnected, watch);
        ASSERT_EQ(orvexsim_unplug_hub(handle), 0);
        ASSERT_TRUE(waitFor([&] { return gone.load(); }));
        QObject::disconnect(a);
        QObject::disconnect(b);
    }
    // Plugs a hub back in and waits until discovery has taken it in again.
    void plug(int handle)
    {
        std::atomic<bool> back{false};
        auto watch = [&](HubHandle_t h) { back = back || h == handle; };
        auto a = QObject::connect(&system, &OrvexSystem::newOrvexHubConnected, watch);
        auto b = QObject::connect(&system, &OrvexSystem::newLegacyHubConnected, watch);
        ASSERT_EQ(orvexsim_plug_hub(handle), 0);
        ASSERT_TRUE(waitFor([&] { return back.load(); }));
        QObject::disconnect(a);
        QObject::disconnect(b);
    }

    QTemporaryDir data;
    OrvexSystem &system = OrvexSystem::instance();
    TwoPointFourGHzHub *rf = nullptr;
};

struct Row
{
    const char *what;
    std::function<bool()> run;
    bool result;
    QList<QByteArray> commands;
};

void runRows(int handle, const std::vector<Row> &rows)
{
    for (const Row &row : rows) {
        orvexsim_clear_writes(handle);
        EXPECT_EQ(row.run(), row.result) << row.what;
        EXPECT_EQ(sent(handle), row.commands) << row.what;
    }
}

} // namespace

TEST(Facades, MetaObjectsCarryTheSignalSignaturesHostsConnectTo)
{
    struct Expected
    {
        const QMetaObject *mo;
        const char *className;
        QList<std::pair<const char *, QList<QByteArray>>> signalsWithNames;
    };
    const QList<Expected> table = {
        {&OrvexhubRegistrationSession::staticMetaObject, "Orvexsystem::OrvexhubRegistrationSession",
         {{"expressionDeviceRegistered(QString,quint32,Orvexsystem::Device::SubType)",
           {"name", "uid", "subType"}},
          {"voteDeviceRegistered(QString,quint32)", {"name", "uid"}},
          {"slateDeviceRegistered(QString,quint32)", {"name", "uid"}}}},
        {&OrvexhubExpressionNamingSession::staticMetaObject,
         "Orvexsystem::OrvexhubExpressionNamingSession",
         {{"expressionDeviceNamed(QString,quint32)", {"name", "uid"}}}},
        {&OrvexhubVoteNamingSession::staticMetaObject, "Orvexsystem::OrvexhubVoteNamingSession",
         {{"orvexvoteDeviceNamed(QString,quint32)", {"name", "uid"}}}},
        {&OrvexhubSlateNamingSession::staticMetaObject, "Orvexsystem::OrvexhubSlateNamingSession",
         {{"slateDeviceNamed(QString,quint32)", {"name", "uid"}}}},
        {&LegacyhubRegistrationSession::staticMetaObject,
         "Orvexsystem::LegacyhubRegistrationSession",
         {{"voteDeviceRegistered(quint32,bool,int)", {"uid", "batteryIsLow", "deviceVersion"}},
          {"generatePinforSlateRegistration(quint8)", {"Id"}},
          {"slateDeviceRegistered(quint8)", {"Id"}},
          {"voteTestResponse(quint32,int,int)", {"uid", "answer", "batterylow"}}}},
    };
    for (const Expected &e : table) {
        EXPECT_STREQ(e.mo->className(), e.className);
        for (const auto &[signature, names] : e.signalsWithNames) {
            const int index = e.mo->indexOfSignal(signature);
            ASSERT_GE(index, 0) << signature;
            EXPECT_EQ(e.mo->method(index).parameterNames(), names) << signature;
        }
    }
    const QMetaObject &legacy = LegacyhubRegistrationSession::staticMetaObject;
    const int slot = legacy.indexOfSlot("voteTestReceived(Orvexsystem::Hub*,quint32,int,int)");
    ASSERT_GE(slot, 0);
    EXPECT_EQ(legacy.method(slot).access(), QMetaMethod::Private);
}

TEST(Facades, AReplacedImplementationLivesUntilTheOperationInsideItEnds)
{
    struct Impl
    {
        explicit Impl(std::atomic<int> *freed) : freed(freed) {}
        ~Impl() { ++*freed; }
        std::atomic<int> *freed;
    };
    std::atomic<int> freed{0};
    SessionImplSlot<Impl> slot;
    slot.exchange(std::make_shared<Impl>(&freed));
    {
        // An operation is inside the first implementation while a swap
        // replaces it: the swap neither frees it nor waits.
        SessionLease<Impl> inside(&slot);
        EXPECT_TRUE(SessionFacades::inFacadeCall());
        slot.exchange(std::make_shared<Impl>(&freed)).reset();
        EXPECT_EQ(freed.load(), 0);
        EXPECT_EQ(inside->freed, &freed);
    }
    EXPECT_EQ(freed.load(), 1);
    EXPECT_FALSE(SessionFacades::inFacadeCall());
}

TEST_F(SimFacades, RegistrationFacadeForwardsEveryOperation)
{
    const OrvexhubRegistrationSession *reg = system.startOrvexhubRegistrationSession(Rf);
    ASSERT_NE(reg, nullptr);

    InformationResponse hubInfo;
    ASSERT_TRUE(rf->getRegistrationInfo(&hubInfo));
    const auto info = reg->registrationInfo();
    EXPECT_EQ(info.numHandsets, 40); // 8 expression and 32 voting handsets
    EXPECT_EQ(info.handsetsInUse, hubInfo.handsetsInUse());
    EXPECT_EQ(info.handsetsFree, hubInfo.handsetCapacity() - hubInfo.handsetsInUse());
    EXPECT_EQ(info.numBoards, 1);
    EXPECT_EQ(info.boardsFree, hubInfo.boardCapacity() - hubInfo.boardsInUse());
    EXPECT_EQ(info.numSlates, 4);
    EXPECT_EQ(info.slatesFree, hubInfo.slateCapacity() - hubInfo.slatesInUse());
    EXPECT_EQ(info.hubMode, 1);

    QList<DeviceDisplayInfo> list;
    ASSERT_TRUE(reg->getListOfRegisteredVotes(list));
    ASSERT_EQ(list.size(), 32);
    EXPECT_EQ(list[0].name, QStringLiteral("V01"));
    EXPECT_EQ(list[0].uid, 0x06A10001u);
    ASSERT_TRUE(reg->getListOfRegisteredExpressions(list));
    EXPECT_EQ(list.size(), 8);
    ASSERT_TRUE(reg->getListOfRegisteredSlates(list));
    EXPECT_EQ(list.size(), 4);
    ASSERT_TRUE(reg->getListOfRegisteredPenExpressions(list));
    EXPECT_EQ(list.size(), 1);
    // Boards are only counted: the list is emptied and the hub not asked.
    orvexsim_clear_writes(Rf);
    EXPECT_FALSE(reg->getListOfRegisteredBoards(list));
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(orvexsim_write_count(Rf), 0);

    const QByteArray block = QByteArray(":XP001\r") + bytes({9, 0x12, 0x34, 2, 3, 'A', 'B', 'C'});
    runRows(Rf, {
        {"vote registration", [&] { return reg->startVoteRegistrationSession(5, 1, 12, ABC); },
         true, {cmd(":VR0050112ABC")}},
        // The expression starts end the running session first ...
        {"expression registration",
         [&] { return reg->startExpressionRegistrationSession(0x1234, 2, 3, ABC); }, true,
         {cmd(":VE"), block + bytes({0})}},
        // ... the vote and slate starts do not.
        {"vote registration in another", [&] { return reg->startVoteRegistrationSession(5, 1, 12, ABC); },
         false, {}},
        {"stop expression registration", [&] { return reg->stopExpressionRegistrationSession(); },
         true, {cmd(":VE")}},
        {"slate registration", [&] { return reg->startSlateRegistrationSession(1, 2, 3, ABC); },
         true, {cmd(":SR0010203ABC")}},
        {"stop slate registration", [&] { return reg->stopSlateRegistrationSession(); }, true,
         {cmd(":VE")}},
        {"naming expression registration",
         [&] {
             return reg->startNamingExpressionRegistrationSession(0x1234, 2, 3, ABC,
                                                                  CharacterType_Type2, true, 10);
         },
         true, {block + bytes({0x5A})}},
        {"stop naming expression registration",
         [&] { return reg->stopExpressionRegistrationSession(); }, true, {cmd(":VE")}},
        {"stop vote registration, none open", [&] { return reg->stopVoteRegistrationSession(); },
         true, {}},
        {"remove a voting handset", [&] { return reg->removeOrvexvote(0x06A10005); }, true,
         {cmd(":RD06A100050105"), cmd(":VE")}},
        {"remove an expression handset", [&] { return reg->removeOrvexexpression(0x09B20001); },
         true, {cmd(":RD09B200010201"), cmd(":VE")}},
        {"remove a slate", [&] { return reg->removeSlate(0x07C30001); }, true,
         {cmd(":RD07C300010301"), cmd(":VE")}},
        {"remove a pen expression", [&] { return reg->removePenExpression(0x0DD40001); }, true,
         {cmd(":RD0DD400010401"), cmd(":VE")}},
        {"remove an unknown uid", [&] { return reg->removeOrvexvote(0x1234); }, false, {}},
        {"clear votes", [&] { return reg->clearHubOfVotes(); }, true, {cmd(":CS06")}},
        {"clear slates", [&] { return reg->clearHubOfSlates(); }, true, {cmd(":CS07")}},
        {"clear boards", [&] { return reg->clearHubOfBoards(); }, true, {cmd(":CS08")}},
        {"clear expressions", [&] { return reg->clearHubOfExpressions(); }, true, {cmd(":CS09")}},
        {"clear pen expressions", [&] { return reg->clearHubOfPenExpressions(); }, true,
         {cmd(":CS0D")}},
        {"clear all", [&] { return reg->clearHub(); }, true, {cmd(":CS99")}},
    });
    EXPECT_EQ(orvexsim_has_device(Rf, 0x06A10005), 0);
    ASSERT_TRUE(reg->getListOfRegisteredVotes(list));
    EXPECT_TRUE(list.isEmpty());
}

TEST_F(SimFacades, NamingFacadesForwardAndRelayNamesToCallbackOrSignal)
{
    const auto *expression = system.startOrvexhubExpressionNamingSession(Rf);
    const auto *vote = system.startOrvexhubVoteNamingSession(Rf);
    const auto *slate = system.startOrvexhubSlateNamingSession(Rf);
    ASSERT_TRUE(expression && vote && slate);
    Named named;

    runRows(Rf, {
        {"name an expression handset",
         [&] { return expression->nameExpression(0x09B20001, QStringLiteral("Zoé")); }, true,
         {QByteArray(":XP003\r") + bytes({0x11, 0x02, 0x01}) + QByteArray("Zo\xE9", 3)
          + QByteArray(11, '\0')}},
        {"open expression naming", [&] { return expression->startExpressionNamingSession(); },
         true, {cmd(":XP002")}},
    });
    // The host's callback takes the name before the uid.
    expression->setCallback(&Named::callback, &named);
    ASSERT_EQ(orvexsim_report_name(Rf, 0x09B20002, "Bea"), 1);
    ASSERT_TRUE(waitFor([&] { return named.count() == 1; }));
    EXPECT_EQ(named.names[0], std::make_pair(QStringLiteral("Bea"), 0x09B20002u));

    // Without a callback the name is the façade's signal, in the façade's
    // thread; with one, only the callback hears it.
    auto voteNames = record(vote, &OrvexhubVoteNamingSession::orvexvoteDeviceNamed);
    QThread *signalThread = nullptr;
    QObject::connect(vote, &OrvexhubVoteNamingSession::orvexvoteDeviceNamed, vote,
                     [&] { signalThread = QThread::currentThread(); }, Qt::DirectConnection);
    runRows(Rf, {
        {"stop expression naming", [&] { return expression->stopExpressionNamingSession(); },
         true, {cmd(":VE")}},
        {"open vote naming", [&] { return vote->startOrvexvoteNamingSession(); }, true,
         {cmd(":VN")}},
    });
    ASSERT_EQ(orvexsim_report_name(Rf, 0x06A10002, "Ana"), 1);
    ASSERT_TRUE(waitFor([&] { return voteNames->size() == 1; }));
    EXPECT_EQ((*voteNames)[0], QVariantList({QStringLiteral("Ana"), 0x06A10002u}));
    EXPECT_EQ(signalThread, QThread::currentThread());
    vote->setCallback(&Named::callback, &named);
    ASSERT_EQ(orvexsim_report_name(Rf, 0x06A10003, "Bo"), 1);
    ASSERT_TRUE(waitFor([&] { return named.count() == 2; }));
    EXPECT_EQ(named.names[1], std::make_pair(QStringLiteral("Bo"), 0x06A10003u));
    // A null callback gives the names back to the signal.
    vote->setCallback(nullptr, nullptr);
    ASSERT_EQ(orvexsim_report_name(Rf, 0x06A10004, "Cy"), 1);
    ASSERT_TRUE(waitFor([&] { return voteNames->size() == 2; }));
    EXPECT_EQ(named.count(), 2);

    auto slateNames = record(slate, &OrvexhubSlateNamingSession::slateDeviceNamed);
    runRows(Rf, {
        {"name a voting handset", [&] { return vote->nameOrvexvote(0x06A10001, "Benedict"); },
         true, {cmd(":VN06A100010101Bene")}},
        {"stop vote naming", [&] { return vote->stopOrvexvoteNamingSession(); }, true,
         {cmd(":VE")}},
        {"name a slate", [&] { return slate->nameSlate(0x07C30001, QStringLiteral("Table")); },
         true, {QByteArray(":NS07C300010301Table") + QByteArray(5, '\0') + '\r'}},
    });
    ASSERT_EQ(orvexsim_report_name(Rf, 0x07C30002, "Window"), 1);
    ASSERT_TRUE(waitFor([&] { return slateNames->size() == 1; }));
    EXPECT_EQ((*slateNames)[0], QVariantList({QStringLiteral("Window"), 0x07C30002u}));
    runRows(Rf, {{"stop slate naming", [&] { return slate->stopSlateNamingSession(); }, true,
                  {cmd(":VE")}}});
}

TEST_F(SimFacades, LegacyFacadeForwardsEveryOperationAndRelaysItsReports)
{
    const LegacyhubRegistrationSession *reg = system.startLegacyhubRegistrationSession(Legacy);
    ASSERT_NE(reg, nullptr);
    unsigned char vote = 0, slateChannel = 0, board = 0, band = 0;
    EXPECT_TRUE(reg->getVoteChannel(vote) && reg->getSlateChannel(slateChannel)
                && reg->getBoardID(board) && reg->getRFBand(band));
    EXPECT_EQ(QList<int>({vote, slateChannel, board, band}), QList<int>({1, 1, 12, 1}));

    auto registered = record(reg, &LegacyhubRegistrationSession::voteDeviceRegistered);
    auto asked = record(reg, &LegacyhubRegistrationSession::generatePinforSlateRegistration);
    auto slates = record(reg, &LegacyhubRegistrationSession::slateDeviceRegistered);
    auto tests = record(reg, &LegacyhubRegistrationSession::voteTestResponse);
    runRows(Legacy, {
        {"configure", [&] { return reg->configureHub(); }, true, {cmd(":VT")}},
        {"vote registration", [&] { return reg->startVoteRegistrationSession(); }, true,
         {cmd(":VR")}},
    });
    ASSERT_TRUE(waitFor([&] { return registered->size() == 4; }));
    EXPECT_EQ((*registered)[0], QVariantList({0x1A2B01u, false, 3}));
    runRows(Legacy, {
        {"stop vote registration", [&] { return reg->stopVoteRegistrationSession(); }, true,
         {cmd(":VE")}},
        {"slate registration", [&] { return reg->startSlateRegistrationSession(); }, true,
         {cmd(":AR")}},
    });
    ASSERT_TRUE(waitFor([&] { return asked->size() == 1; }));
    EXPECT_EQ((*asked)[0], QVariantList({QVariant::fromValue<quint8>(5)}));
    runRows(Legacy, {{"slate PIN",
                      [&] { return reg->startSlatePINRegistration(5, RegistrationCode(QStringLiteral("CAF"))); },
                      true, {cmd(":AP051316")}}});
    ASSERT_TRUE(waitFor([&] { return slates->size() == 1; }));
    QList<DeviceDisplayInfo> list;
    runRows(Legacy, {
        {"stop slate registration", [&] { return reg->stopSlateRegistrationSession(); }, true,
         {cmd(":AO")}},
        {"enable slate", [&] { return reg->enableSlate(5); }, true, {cmd(":AB05316")}},
        {"list votes", [&] { return reg->getListOfRegisteredVotes(list) && list.size() == 4; },
         true, {}},
        {"list slates", [&] { return reg->getListOfRegisteredSlates(list) && list.size() == 1; },
         true, {}},
        {"vote test", [&] { return reg->startVoteTestSession(); }, true,
         {cmd(":VO"), cmd(":VI012B1A000000"), cmd(":VI022B1A000000"), cmd(":VI032B1A000000"),
          cmd(":VI042B1A000000"), cmd(":VB")}},
    });
    ASSERT_EQ(orvexsim_legacy_vote(Legacy, 0x1A2B02, 3), 0);
    ASSERT_TRUE(waitFor([&] { return tests->size() >= 1; }));
    EXPECT_EQ((*tests)[0], QVariantList({0x1A2B02u, 3, 0}));
    hub(Legacy)->stopSession();
    runRows(Legacy, {
        {"forget a handset", [&] { return reg->clearVoteWithID(0x1A2B01); }, true,
         {cmd(":RD012B1A000000")}},
        {"remove a slate", [&] { return reg->removeSlate(5); }, true, {cmd(":AE")}},
        {"radio slates", [&] { return reg->useRFSlates(); }, true, {cmd(":AT1")}},
        {"disable slates", [&] { return reg->disableSlates(); }, true, {cmd(":AE")}},
        // A radio change detunes the slates too.
        {"vote channel", [&] { return reg->changeVoteChannel(2); }, true,
         {cmd(":VY2"), cmd(":AE")}},
        {"slate channel", [&] { return reg->changeSlateChannel(2); }, true,
         {cmd(":AY2"), cmd(":AE")}},
        {"board id", [&] { return reg->changeBoardID(14); }, true, {cmd(":UR14"), cmd(":AE")}},
        {"clear votes", [&] { return reg->clearHubOfVotes(); }, true, {cmd(":VO")}},
        {"clear slates", [&] { return reg->clearHubOfSlates(); }, true, {cmd(":AE")}},
        {"clear all", [&] { return reg->clearHub(); }, true, {cmd(":VO"), cmd(":AE")}},
    });
}

TEST_F(SimFacades, FacadesOfAVanishedHubAnswerFailureUntilStopped)
{
    const auto *reg = system.startOrvexhubRegistrationSession(Rf);
    const auto *legacy = system.startLegacyhubRegistrationSession(Legacy);
    ASSERT_TRUE(reg && legacy);
    unplug(Rf);
    unplug(Legacy);

    const auto info = reg->registrationInfo();
    EXPECT_EQ(QList<int>({info.numHandsets, info.handsetsInUse, info.handsetCapacity,
                          info.handsetsFree, info.numBoards, info.boardsInUse, info.boardCapacity,
                          info.boardsFree, info.numSlates, info.slatesInUse, info.slateCapacity,
                          info.slatesFree, info.hubMode}),
              QList<int>({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 15}));
    QList<DeviceDisplayInfo> list{DeviceDisplayInfo(QStringLiteral("kept"), 1, Device::SubType_None)};
    EXPECT_FALSE(legacy->getListOfRegisteredVotes(list));
    EXPECT_EQ(list.size(), 1); // the legacy façade leaves the list alone
    EXPECT_FALSE(reg->getListOfRegisteredVotes(list));
    EXPECT_TRUE(list.isEmpty());
    EXPECT_FALSE(reg->startVoteRegistrationSession(0, 0, 0, ABC));
    EXPECT_FALSE(reg->clearHub());
    EXPECT_FALSE(legacy->configureHub());
    unsigned char channel = 0;
    EXPECT_FALSE(legacy->getVoteChannel(channel));

    // The same kind starts again only once the host has stopped the old one,
    // and the reports of the hub, back again, do not reach the old one.
    plug(Rf);
    plug(Legacy);
    auto oldReports = record(reg, &OrvexhubRegistrationSession::voteDeviceRegistered);
    auto hubReports = record(rf, &TwoPointFourGHzHub::voteDeviceRegistered);
    ASSERT_TRUE(rf->startVoteRegistrationSession(0, 0, 0, ABC));
    ASSERT_GE(orvexsim_register_waiting(Rf, 0x06A10021), 0);
    ASSERT_TRUE(waitFor([&] { return hubReports->size() == 1; }));
    spinEvents(100);
    EXPECT_TRUE(oldReports->isEmpty());
    ASSERT_TRUE(rf->stopVoteRegistrationSession());
    EXPECT_EQ(system.startOrvexhubRegistrationSession(Rf), nullptr);
    EXPECT_EQ(system.startLegacyhubRegistrationSession(Legacy), nullptr);
    system.stopOrvexhubRegistrationSession();
    system.stopLegacyhubRegistrationSession();
    reg = system.startOrvexhubRegistrationSession(Rf);
    legacy = system.startLegacyhubRegistrationSession(Legacy);
    ASSERT_TRUE(reg && legacy);
    EXPECT_EQ(reg->registrationInfo().numSlates, 4);
    EXPECT_TRUE(legacy->getVoteChannel(channel));
}

TEST_F(SimFacades, StartsAreRefusedAndEachKindKeepsItsOwnRecord)
{
    // Handles of the wrong kind or of no hub.
    EXPECT_EQ(system.startOrvexhubRegistrationSession(Legacy), nullptr);
    EXPECT_EQ(system.startOrvexhubVoteNamingSession(Legacy), nullptr);
    EXPECT_EQ(system.startLegacyhubRegistrationSession(Rf), nullptr);
    EXPECT_EQ(system.startOrvexhubSlateNamingSession(99), nullptr);

    const auto *reg = system.startOrvexhubRegistrationSession(Rf);
    ASSERT_NE(reg, nullptr);
    EXPECT_EQ(system.startOrvexhubRegistrationSession(Rf), nullptr);
    // Other kinds open beside it, each with a record of its own.
    const auto *expression = system.startOrvexhubExpressionNamingSession(Rf);
    const auto *vote = system.startOrvexhubVoteNamingSession(Rf);
    const auto *slate = system.startOrvexhubSlateNamingSession(Rf);
    const auto *legacy = system.startLegacyhubRegistrationSession(Legacy);
    ASSERT_TRUE(expression && vote && slate && legacy);

    // Stopping one kind leaves the others working, and their stops still
    // reach their hubs.
    ASSERT_TRUE(reg->startVoteRegistrationSession(5, 1, 12, ABC));
    system.stopOrvexhubVoteNamingSession();
    system.stopOrvexhubSlateNamingSession();
    system.stopOrvexhubExpressionNamingSession();
    system.stopLegacyhubRegistrationSession();
    EXPECT_EQ(reg->registrationInfo().numSlates, 4);
    orvexsim_clear_writes(Rf);
    system.stopOrvexhubRegistrationSession();
    EXPECT_EQ(sent(Rf), QList<QByteArray>({cmd(":VE")}));
    EXPECT_NE(system.startOrvexhubRegistrationSession(Rf), nullptr);
    system.stopOrvexhubRegistrationSession();

    // Nothing starts while the system is not initialised.
    system.shutdown();
    EXPECT_EQ(system.startOrvexhubRegistrationSession(Rf), nullptr);
    EXPECT_EQ(system.startLegacyhubRegistrationSession(Legacy), nullptr);
}

TEST_F(SimFacades, ShutdownSwitchesEveryOpenFacadeAndTheHostsStopDeletesIt)
{
    const auto *reg = system.startOrvexhubRegistrationSession(Rf);
    const auto *expression = system.startOrvexhubExpressionNamingSession(Rf);
    const auto *vote = system.startOrvexhubVoteNamingSession(Rf);
    const auto *slate = system.startOrvexhubSlateNamingSession(Rf);
    const auto *legacy = system.startLegacyhubRegistrationSession(Legacy);
    ASSERT_TRUE(reg && expression && vote && slate && legacy);
    Named named;
    vote->setCallback(&Named::callback, &named);

    ASSERT_TRUE(system.shutdown());
    // The hubs are deleted; the façades still answer, with failure.
    EXPECT_EQ(reg->registrationInfo().hubMode, 15);
    EXPECT_FALSE(expression->startExpressionNamingSession());
    EXPECT_FALSE(vote->startOrvexvoteNamingSession());
    vote->setCallback(&Named::callback, &named);
    EXPECT_FALSE(slate->nameSlate(0x07C30001, QStringLiteral("x")));
    EXPECT_FALSE(legacy->clearHub());

    // A new run: the kinds left open start again only once stopped.
    ASSERT_TRUE(system.initialise());
    EXPECT_EQ(system.startOrvexhubRegistrationSession(Rf), nullptr);
    system.stopOrvexhubRegistrationSession();
    system.stopOrvexhubExpressionNamingSession();
    system.stopOrvexhubVoteNamingSession();
    system.stopOrvexhubSlateNamingSession();
    EXPECT_NE(system.startOrvexhubRegistrationSession(Rf), nullptr);
    // The legacy façade stays open: the system frees it when it is destroyed.
}

TEST_F(SimFacades, ANamingCallbackIsWithdrawnBeforeItsImplementationGoes)
{
    Named named;
    auto hubNames = record(rf, &TwoPointFourGHzHub::voteDeviceNamed);
    auto hubNamingReport = [&](const char *name) {
        rf = qobject_cast<TwoPointFourGHzHub *>(hub(Rf));
        ASSERT_TRUE(rf->startOrvexvoteNamingSession());
        const int before = int(hubNames->size());
        ASSERT_EQ(orvexsim_report_name(Rf, 0x06A10002, name), 1);
        ASSERT_TRUE(waitFor([&] { return hubNames->size() == before + 1; })) << named.count();
        ASSERT_TRUE(rf->stopOrvexvoteNamingSession());
    };

    // Stopped: the hub's own naming session reports by its signal.
    const auto *vote = system.startOrvexhubVoteNamingSession(Rf);
    vote->setCallback(&Named::callback, &named);
    system.stopOrvexhubVoteNamingSession();
    hubNamingReport("Ana");

    // Switched when the hub vanished, and freed: after the hub is back, no
    // report goes through the freed relay.
    vote = system.startOrvexhubVoteNamingSession(Rf);
    vote->setCallback(&Named::callback, &named);
    unplug(Rf);
    plug(Rf);
    hubNamingReport("Bo");
    system.stopOrvexhubVoteNamingSession();
    EXPECT_EQ(named.count(), 0);
}

TEST_F(SimFacades, AHostThreadInsideAFacadeWhileTheHubVanishes)
{
    const auto *reg = system.startOrvexhubRegistrationSession(Rf);
    const auto *vote = system.startOrvexhubVoteNamingSession(Rf);
    ASSERT_TRUE(reg && vote);
    Named named;
    std::atomic<bool> stop{false};
    std::atomic<int> calls{0};
    std::atomic<bool> failing{false};
    std::thread host([&] {
        while (!stop) {
            QList<DeviceDisplayInfo> list;
            const bool listed = reg->getListOfRegisteredVotes(list);
            vote->setCallback(&Named::callback, &named);
            const bool gone = reg->registrationInfo().hubMode == 15;
            failing = failing || (gone && !listed);
            ++calls;
        }
    });
    ASSERT_TRUE(waitFor([&] { return calls > 3; }));
    unplug(Rf);
    EXPECT_TRUE(waitFor([&] { return failing.load(); }));
    stop = true;
    host.join();
    system.stopOrvexhubRegistrationSession();
    system.stopOrvexhubVoteNamingSession();
}
