// The legacy hub end to end: the library against the simulated driver's
// legacy hubs, a USB one (the default classroom's, handle 2, no board) and a
// serial one mounted in a board (handle 3).

#include "legacy/legacyhub_p.h"
#include "legacy/legacysettingsfile.h"
#include "support/votelog.h"
#include "support/wait.h"

#include <orvexsim.h>
#include <orvexsystem/legacyhub.h>
#include <orvexsystem/registrationcode.h>
#include <orvexsystem/system.h>

#include <QtCore/QFile>
#include <QtCore/QSettings>
#include <QtCore/QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <tuple>

using namespace Orvexsystem;
using namespace OrvexTest;

namespace {

const int Usb = ORVEXSIM_DEFAULT_LEGACY_HUB;
const int Serial = 3;
const quint64 SerialUid = 0x77; // a board's hub: its group is "119"
const QString UsbGroup = QStringLiteral("LegacyVoteHub");
const QString SerialGroup = QStringLiteral("119");
const quint32 Handsets[] = {0x1A2B01, 0x1A2B02, 0x1A2B03, 0x1A2B04};

QByteArray cmd(const char *text)
{
    return QByteArray(text) + '\r';
}

// The legacy commands written, without the pen commands every hub gets.
QList<QByteArray> commandsOf(int handle)
{
    QList<QByteArray> out;
    for (int i = 0; i < orvexsim_write_count(handle); ++i) {
        QByteArray w(256, '\0');
        w.resize(orvexsim_get_write(handle, i, reinterpret_cast<uint8_t *>(w.data()), 256));
        if (!w.startsWith(":PN") && !w.startsWith(":PK"))
            out << w;
    }
    return out;
}

class SimLegacyHub : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(data.isValid());
        qputenv("XDG_DATA_DIRS", data.path().toLocal8Bit());
        iniPath = data.path() + QStringLiteral("/Veltrane/OrvexSystem/OrvexSystem.ini");
        ASSERT_EQ(orvexsim_reset(), 0);
        ASSERT_EQ(orvexsim_use_default_classroom(), 0);
        ASSERT_EQ(orvexsim_add_hub(ORVEXSIM_KIND_LEGACY_1, Serial, SerialUid,
                                   ORVEXSIM_CONNECTION_SERIAL, 600, nullptr),
                  0);
    }
    void TearDown() override { OrvexSystem::instance().shutdown(); }

    // Initialises the system; the commands of the hubs' start are forgotten
    // unless keepWrites.
    void start(bool keepWrites = false)
    {
        ASSERT_TRUE(OrvexSystem::instance().initialise());
        usb = find(Usb);
        serial = find(Serial);
        ASSERT_TRUE(usb && serial);
        ASSERT_EQ(orvexsim_wait_idle(5000), 0);
        if (keepWrites)
            return;
        orvexsim_clear_writes(Usb);
        orvexsim_clear_writes(Serial);
    }
    static LegacyHub *find(int handle)
    {
        QList<Hub *> hubs;
        OrvexSystem::instance().getHubList(&hubs);
        for (Hub *h : hubs)
            if (h->handle() == handle)
                return qobject_cast<LegacyHub *>(h);
        return nullptr;
    }
    // Registrations as an earlier lesson left them: in the settings file and
    // tuned to the simulated hub (replacing a device of the classroom that
    // waits to register).
    static void registered(int handle, const QString &group, const QList<quint32> &votes,
                           const QList<LegacySettingsFile::Slate> &slates)
    {
        ASSERT_TRUE(LegacySettingsFile::write(group, &votes, &slates));
        for (quint32 id : votes) {
            orvexsim_legacy_remove_handset(handle, id);
            ASSERT_EQ(orvexsim_legacy_add_handset(handle, id, 3, 1), 0);
        }
        for (const auto &slate : slates) {
            orvexsim_legacy_remove_slate(handle, int(slate.id));
            ASSERT_EQ(orvexsim_legacy_add_slate(handle, int(slate.id), 1,
                                                slate.pin.toLatin1().constData()),
                      0);
        }
    }
    static LegacySettingsFile::Registrations stored(const QString &group)
    {
        LegacySettingsFile::Registrations r;
        EXPECT_TRUE(LegacySettingsFile::read(group, &r));
        return r;
    }
    static QList<quint32> uids(LegacyHub *hub, Device::Type type)
    {
        QList<DeviceDisplayInfo> list;
        EXPECT_TRUE(hub->getDeviceDisplayInfoList(type, &list));
        QList<quint32> out;
        for (const DeviceDisplayInfo &info : list)
            out << info.uid;
        return out;
    }
    static LegacyHubPrivate *internals(LegacyHub *hub) { return LegacyHubPrivate::get(hub); }
    using Radio = std::tuple<int, int, int, int>; // vote channel, slate channel, band, board id
    // What the hub object knows (0 for what it does not), and what the hub has.
    static Radio radio(LegacyHub *hub)
    {
        quint8 vote = 0, slate = 0, band = 0, board = 0;
        hub->getVoteChannel(vote), hub->getSlateChannel(slate), hub->getRFBand(band), hub->getBoardID(board);
        return Radio(vote, slate, band, board);
    }
    static Radio simRadio(int handle)
    {
        int vote = 0, slate = 0, band = 0, board = 0;
        orvexsim_legacy_get_radio(handle, &vote, &slate, &band, &board, nullptr);
        return Radio(vote, slate, band, board);
    }

    QTemporaryDir data;
    QString iniPath;
    LegacyHub *usb = nullptr;
    LegacyHub *serial = nullptr;
};

} // namespace

TEST(LegacyModel, FeaturesFollowTheFirmwareVersion)
{
    const auto features = [](int version) {
        LegacyHub hub(nullptr, 1, 1, true, false, Hub::ConnectionType_Usb, version);
        return std::make_tuple(hub.penCount(), hub.supportsRegistration(), hub.hasQX5Board());
    };
    EXPECT_EQ(features(395), std::make_tuple(2, true, false));
    EXPECT_EQ(features(850), std::make_tuple(2, false, true));
    EXPECT_EQ(features(799), std::make_tuple(1, true, false));
    EXPECT_EQ(features(900), std::make_tuple(1, true, false));
}

TEST_F(SimLegacyHub, ConnectingReadsTheRadioSettingsInBothForms)
{
    ASSERT_EQ(orvexsim_legacy_set_radio(Serial, 2, 2, 2, 99), 0);
    // A third hub that never answers.
    ASSERT_EQ(orvexsim_add_hub(ORVEXSIM_KIND_LEGACY_2, 4, 0x44, ORVEXSIM_CONNECTION_USB, 600, nullptr), 0);
    ASSERT_EQ(orvexsim_set_fault(4, ORVEXSIM_FAULT_DROP_REPLIES, -1), 0);
    start();
    EXPECT_EQ(radio(usb), Radio(1, 1, 1, 12));
    EXPECT_EQ(radio(serial), Radio(2, 2, 2, 99));

    LegacyHub *silent = find(4);
    ASSERT_NE(silent, nullptr);
    quint8 band = 0;
    EXPECT_FALSE(silent->getRFBand(band));
    EXPECT_FALSE(silent->configureHub());
    EXPECT_EQ(silent->getLastError(), Hub::Error_CommsFailure);
    EXPECT_EQ(commandsOf(4).last(), cmd(":VT"));
}

TEST_F(SimLegacyHub, AUsbSlateChannelOtherThanOneOrTwoIsSetToOneAndUnregistersAll)
{
    registered(Usb, UsbGroup, {Handsets[0]}, {{5, "316"}});
    ASSERT_EQ(orvexsim_legacy_set_radio(Usb, 1, 0, 1, 12), 0);
    start(true);
    // The change follows the reply to ":VT".
    EXPECT_EQ(commandsOf(Usb), QList<QByteArray>({cmd(":VT"), cmd(":AY1"), cmd(":AE")}));
    EXPECT_EQ(radio(usb), Radio(1, 1, 1, 12));
    EXPECT_EQ(simRadio(Usb), Radio(1, 1, 1, 12));
    EXPECT_TRUE(uids(usb, Device::Type_LegacyOrvexvote).isEmpty() && uids(usb, Device::Type_Legacyslate).isEmpty());
    EXPECT_TRUE(stored(UsbGroup).votes.isEmpty() && stored(UsbGroup).slates.isEmpty());
}

TEST_F(SimLegacyHub, ChannelAndBoardChangesSendTheirCommandsAndUnregisterEveryDevice)
{
    ASSERT_EQ(orvexsim_legacy_set_radio(Serial, 3, 1, 2, 5), 0);
    registered(Serial, SerialGroup, {0x101, 0x102}, {{7, "121"}});
    start();
    ASSERT_EQ(uids(serial, Device::Type_LegacyOrvexvote), QList<quint32>({0x101, 0x102}));

    // On band 2 channels travel 3 higher.
    ASSERT_TRUE(serial->changeVoteChannel(1));
    EXPECT_EQ(commandsOf(Serial), QList<QByteArray>({cmd(":VY4"), cmd(":AE")}));
    EXPECT_EQ(radio(serial), Radio(1, 1, 2, 5));
    EXPECT_EQ(simRadio(Serial), Radio(1, 1, 2, 5));
    EXPECT_TRUE(uids(serial, Device::Type_LegacyOrvexvote).isEmpty() && uids(serial, Device::Type_Legacyslate).isEmpty());
    EXPECT_TRUE(stored(SerialGroup).votes.isEmpty() && stored(SerialGroup).slates.isEmpty());

    orvexsim_clear_writes(Serial);
    ASSERT_TRUE(serial->changeSlateChannel(2));
    ASSERT_TRUE(serial->changeBoardID(7));
    EXPECT_EQ(commandsOf(Serial),
              QList<QByteArray>({cmd(":AY5"), cmd(":AE"), cmd(":UR07"), cmd(":AE")}));

    // A refused command changes nothing.
    ASSERT_EQ(orvexsim_set_fault(Serial, ORVEXSIM_FAULT_REFUSE_WRITES, 1), 0);
    EXPECT_FALSE(serial->changeBoardID(9));
    EXPECT_EQ(serial->getLastError(), Hub::Error_CommsFailure);
    EXPECT_EQ(radio(serial), Radio(1, 2, 2, 7));
    EXPECT_EQ(simRadio(Serial), Radio(1, 2, 2, 7));
}

TEST_F(SimLegacyHub, HandsetsRegisterOnceAndAreSavedWhenRegistrationStops)
{
    ASSERT_EQ(orvexsim_legacy_add_handset(Serial, 0x1ABCD, 9, 0), 0);
    ASSERT_EQ(orvexsim_legacy_set_handset(Serial, 0x1ABCD, 1, 1), 0);
    start();
    using Registration = std::tuple<LegacyHub *, quint32, bool, int>;
    QList<Registration> reports;
    for (LegacyHub *hub : {usb, serial})
        QObject::connect(hub, &LegacyHub::voteDeviceRegistered, hub,
                         [&reports, hub](quint32 id, bool low, int version) {
                             reports << Registration(hub, id, low, version);
                         });

    ASSERT_TRUE(usb->startVoteRegistrationSession());
    ASSERT_TRUE(serial->startVoteRegistrationSession());
    ASSERT_TRUE(waitFor([&] { return reports.size() == 5; }));
    // The same handset answering again is neither added nor reported.
    ASSERT_EQ(orvexsim_legacy_press_register(Usb, Handsets[2]), 0);
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    spinEvents(50);
    EXPECT_EQ(reports.size(), 5);
    EXPECT_TRUE(reports.contains(Registration(usb, Handsets[0], false, 3)));
    EXPECT_TRUE(reports.contains(Registration(serial, 0x1ABCD, true, 9)));
    EXPECT_EQ(uids(usb, Device::Type_LegacyOrvexvote).size(), 4);
    // Nothing is saved before the session stops, and a re-enumeration meanwhile
    // does not lose what is not saved yet.
    EXPECT_TRUE(stored(UsbGroup).votes.isEmpty());
    usb->readRegisteredDevicesLists();
    EXPECT_EQ(uids(usb, Device::Type_LegacyOrvexvote).size(), 4);

    ASSERT_TRUE(usb->stopVoteRegistrationSession());
    ASSERT_TRUE(serial->stopVoteRegistrationSession());
    EXPECT_EQ(commandsOf(Usb), QList<QByteArray>({cmd(":VR"), cmd(":VE")}));
    QSettings settings(iniPath, QSettings::IniFormat);
    EXPECT_EQ(settings.value("LegacyVoteHub/orvexvotes").toStringList().size(), 4);
    EXPECT_EQ(settings.value("119/orvexvotes").toStringList(), QStringList({"109517"}));
    EXPECT_EQ(orvexsim_legacy_session(Usb), ORVEXSIM_LEGACY_SESSION_NONE);
}

TEST_F(SimLegacyHub, SlatesRegisterWithTheirPinInBothForms)
{
    ASSERT_EQ(orvexsim_legacy_add_slate(Serial, 40, 0, nullptr), 0);
    ASSERT_EQ(orvexsim_legacy_add_slate(Usb, 6, 0, nullptr), 0);
    ASSERT_EQ(orvexsim_legacy_set_slate_typed_pin(Usb, 6, "111"), 0);
    start();
    QList<std::pair<LegacyHub *, int>> asked;
    QList<std::pair<LegacyHub *, int>> done;
    for (LegacyHub *hub : {usb, serial}) {
        QObject::connect(hub, &LegacyHub::generatePinforSlateRegistration, hub,
                         [&asked, hub](quint8 id) { asked << std::make_pair(hub, int(id)); });
        QObject::connect(hub, &LegacyHub::slateDeviceRegistered, hub,
                         [&done, hub](quint8 id) { done << std::make_pair(hub, int(id)); });
    }
    ASSERT_TRUE(usb->startSlateRegistrationSession());
    ASSERT_TRUE(serial->startSlateRegistrationSession());
    ASSERT_TRUE(waitFor([&] { return asked.size() == 3; }));
    EXPECT_TRUE(asked.contains(std::make_pair(usb, 5)) && asked.contains(std::make_pair(usb, 6)));
    EXPECT_TRUE(asked.contains(std::make_pair(serial, 40)));

    // C, A, F are the digits 3, 1, 6; slate 6's learner keys in 111.
    ASSERT_TRUE(usb->startSlatePINRegistration(5, RegistrationCode(QStringLiteral("CAF"))));
    ASSERT_TRUE(usb->startSlatePINRegistration(6, RegistrationCode(QStringLiteral("CAF"))));
    ASSERT_TRUE(serial->startSlatePINRegistration(40, RegistrationCode(QStringLiteral("FEB"))));
    ASSERT_TRUE(waitFor([&] { return done.size() == 2; }));
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    spinEvents(50);
    EXPECT_EQ(done, (QList<std::pair<LegacyHub *, int>>{{usb, 5}, {serial, 40}}));
    EXPECT_EQ(commandsOf(Usb).mid(1), QList<QByteArray>({cmd(":AP051316"), cmd(":AP061316")}));
    EXPECT_EQ(commandsOf(Serial).last(), cmd(":AP401652"));

    // A character outside A to F is the digit 0 at its place.
    orvexsim_clear_writes(Usb);
    ASSERT_TRUE(usb->startSlatePINRegistration(4, RegistrationCode(QStringLiteral("AxD"))));
    EXPECT_EQ(commandsOf(Usb), QList<QByteArray>({cmd(":AP041104")}));

    ASSERT_TRUE(usb->enableSlate(5));
    EXPECT_EQ(commandsOf(Usb).last(), cmd(":AB05316"));
    ASSERT_TRUE(usb->stopSlateRegistrationSession());
    ASSERT_TRUE(serial->stopSlateRegistrationSession());
    EXPECT_EQ(commandsOf(Usb).last(), cmd(":AO"));
    QSettings settings(iniPath, QSettings::IniFormat);
    EXPECT_EQ(settings.value("LegacyVoteHub/Slates/1/ID").toInt(), 5);
    EXPECT_EQ(settings.value("LegacyVoteHub/Slates/1/PIN").toString(), QStringLiteral("316"));
    EXPECT_EQ(settings.value("LegacyVoteHub/Slates/size").toInt(), 1);
    EXPECT_EQ(settings.value("119/Slates/1/PIN").toString(), QStringLiteral("652"));

    // A slate that is not registered is not enabled.
    orvexsim_clear_writes(Usb);
    EXPECT_FALSE(usb->enableSlate(6));
    EXPECT_EQ(usb->getLastError(), Hub::Error_CommsFailure);
    EXPECT_TRUE(commandsOf(Usb).isEmpty());
}

TEST_F(SimLegacyHub, ClearsAndRemovalsSendTheirCommandsAndRewriteTheFile)
{
    registered(Usb, UsbGroup, {Handsets[0], Handsets[1]}, {{5, "316"}, {7, "121"}});
    start();
    ASSERT_TRUE(usb->clearVoteWithID(Handsets[0]));
    ASSERT_TRUE(usb->clearVoteWithID(0x999999));
    ASSERT_TRUE(usb->removeSlate(5));
    ASSERT_TRUE(usb->removeSlate(9));
    EXPECT_EQ(commandsOf(Usb), QList<QByteArray>({cmd(":RD012B1A000000"), cmd(":RD999999000000"),
                                                  cmd(":AE"), cmd(":AE")}));
    EXPECT_EQ(stored(UsbGroup).votes, QList<quint32>({Handsets[1]}));
    EXPECT_EQ(stored(UsbGroup).slates, QList<LegacySettingsFile::Slate>({{7, "121"}}));
    EXPECT_EQ(orvexsim_legacy_handset_state(Usb, Handsets[0]) & ORVEXSIM_LEGACY_LISTENED, 0);

    // The slates are forgotten even when ":AE" is refused.
    orvexsim_clear_writes(Usb);
    ASSERT_EQ(orvexsim_set_fault(Usb, ORVEXSIM_FAULT_REFUSE_WRITES, 1), 0);
    EXPECT_TRUE(usb->clearHubOfSlates());
    EXPECT_TRUE(stored(UsbGroup).slates.isEmpty());
    EXPECT_EQ(stored(UsbGroup).votes, QList<quint32>({Handsets[1]}));
    ASSERT_TRUE(usb->clearHubOfVotes());
    EXPECT_TRUE(stored(UsbGroup).votes.isEmpty());
    ASSERT_TRUE(usb->clearHub());
    EXPECT_EQ(commandsOf(Usb), QList<QByteArray>({cmd(":VO"), cmd(":VO"), cmd(":AE")}));
}

TEST_F(SimLegacyHub, VotingEnablesEachHandsetAndDeliversEveryKeyPressOnce)
{
    registered(Usb, UsbGroup, {Handsets[0], Handsets[1], Handsets[2]}, {});
    registered(Serial, SerialGroup, {0x1FFFFF, 0x80}, {});
    ASSERT_EQ(orvexsim_legacy_set_handset(Usb, Handsets[1], 1, 1), 0);
    start();
    VoteLog log;
    ASSERT_TRUE(usb->startVotingSession(Hub::VotingMode_VB, &VoteLog::record, &log));
    EXPECT_EQ(commandsOf(Usb),
              QList<QByteArray>({cmd(":VO"), cmd(":VI012B1A000000"), cmd(":VI022B1A000000"),
                                 cmd(":VI032B1A000000"), cmd(":VB")}));

    // Every handset sends each key press three times.
    ASSERT_EQ(orvexsim_legacy_class_vote(Usb, 4), 3);
    ASSERT_TRUE(waitFor([&] { return log.size() >= 3; }));
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    const auto votes = log.take();
    EXPECT_EQ(votes.size(), 3);
    EXPECT_TRUE(votes.contains(VoteLog::Vote(Handsets[1], 4, true)));
    EXPECT_TRUE(votes.contains(VoteLog::Vote(Handsets[0], 4, false)));
    // The same key again is a repeat; another key is a new vote.
    ASSERT_EQ(orvexsim_legacy_vote(Usb, Handsets[0], 4), 0);
    ASSERT_EQ(orvexsim_legacy_vote(Usb, Handsets[0], 6), 0);
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    EXPECT_EQ(log.take(), QList<VoteLog::Vote>({VoteLog::Vote(Handsets[0], 6, false)}));

    // The serial form; without a callback votes are signals, in mode VM.
    QList<std::tuple<quint32, int, int>> signalled;
    QObject::connect(serial, &Hub::voteReceived, serial,
                     [&](Hub *, quint32 uid, int vote, int low) { signalled << std::make_tuple(uid, vote, low); });
    ASSERT_TRUE(serial->startVotingSession(Hub::VotingMode_VM, nullptr, nullptr));
    EXPECT_EQ(commandsOf(Serial).last(), cmd(":VM"));
    ASSERT_EQ(orvexsim_legacy_vote(Serial, 0x1FFFFF, 1), 0);
    ASSERT_EQ(orvexsim_legacy_vote(Serial, 0x80, 2), 0);
    ASSERT_TRUE(waitFor([&] { return signalled.size() >= 2; }));
    spinEvents(50);
    EXPECT_EQ(signalled, (QList<std::tuple<quint32, int, int>>{{0x1FFFFF, 1, 0}, {0x80, 2, 0}}));
    EXPECT_EQ(log.size(), 0);
}

TEST_F(SimLegacyHub, AVotingSessionDoesNotStartWhenAHandsetDoesNotAnswer)
{
    registered(Usb, UsbGroup, {Handsets[0], Handsets[1]}, {});
    ASSERT_EQ(orvexsim_legacy_set_handset(Usb, Handsets[1], 0, 0), 0);
    start();
    EXPECT_FALSE(usb->startVotingSession(Hub::VotingMode_VB, nullptr, nullptr));
    EXPECT_EQ(usb->getLastError(), Hub::Error_CommsFailure);
    EXPECT_EQ(commandsOf(Usb).last(), cmd(":VI022B1A000000"));

    // Without registered handsets only ":VO" goes first; mode 5 sends a lone
    // CR and still starts the session.
    orvexsim_clear_writes(Serial);
    ASSERT_TRUE(serial->startVotingSession(Hub::VotingMode(5), nullptr, nullptr));
    EXPECT_EQ(commandsOf(Serial), QList<QByteArray>({cmd(":VO"), cmd("")}));
}

TEST_F(SimLegacyHub, AVoteTestReportsTestVotesUntilTheSessionStops)
{
    registered(Usb, UsbGroup, {Handsets[0]}, {});
    start();
    std::atomic<int> received{0};
    QObject::connect(usb, &Hub::voteReceived, usb, [&](Hub *, quint32 uid, int vote, int) {
        EXPECT_EQ(uid, Handsets[0]);
        EXPECT_EQ(vote, 2);
        ++received;
    });
    ASSERT_TRUE(usb->startVoteTestSession());
    EXPECT_EQ(commandsOf(Usb).last(), cmd(":VB"));
    ASSERT_EQ(orvexsim_legacy_vote(Usb, Handsets[0], 2), 0);
    ASSERT_TRUE(waitFor([&] { return received == 1; }));
    ASSERT_TRUE(usb->stopSession());
    EXPECT_EQ(commandsOf(Usb).last(), cmd(":VE"));
    // Stopped: nothing more is sent and nothing is reported.
    orvexsim_clear_writes(Usb);
    EXPECT_TRUE(usb->stopSession());
    EXPECT_TRUE(commandsOf(Usb).isEmpty());
}

TEST_F(SimLegacyHub, PinNamingRepliesInBothForms)
{
    registered(Usb, UsbGroup, {Handsets[0]}, {});
    registered(Serial, SerialGroup, {0x1234}, {});
    start();
    struct Names
    {
        std::mutex mu;
        QList<std::pair<quint32, QString>> list;
        static void record(Hub *, quint32 uid, const QString &text, void *context)
        {
            auto *self = static_cast<Names *>(context);
            std::lock_guard<std::mutex> lock(self->mu);
            self->list.append({uid, text});
        }
    } names;
    ASSERT_TRUE(usb->startOrvexvotePinNamingSession(3, &Names::record, &names));
    ASSERT_TRUE(serial->startOrvexvotePinNamingSession(3, &Names::record, &names));
    EXPECT_EQ(commandsOf(Usb).last(), cmd(":VZ3"));
    ASSERT_EQ(orvexsim_legacy_pin_naming(Usb, Handsets[0], "ACF"), 0);
    ASSERT_EQ(orvexsim_legacy_pin_naming(Serial, 0x1234, "E B"), 0);
    ASSERT_EQ(orvexsim_legacy_pin_naming(Usb, Handsets[0], "D"), 0);
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    std::lock_guard<std::mutex> lock(names.mu);
    EXPECT_EQ(names.list, (QList<std::pair<quint32, QString>>{
                              {Handsets[0], "ACF"}, {0x1234, "E B"}, {Handsets[0], "D"}}));
}

TEST_F(SimLegacyHub, StoppingAnySessionSendsVEAndSavesNothing)
{
    start();
    ASSERT_TRUE(usb->startSlateRegistrationSession());
    ASSERT_TRUE(usb->startSlatePINRegistration(5, RegistrationCode(QStringLiteral("ABC"))));
    ASSERT_TRUE(waitFor([&] { return internals(usb)->lists.slateCount() == 1; }));
    ASSERT_TRUE(usb->stopSession());
    EXPECT_EQ(commandsOf(Usb).last(), cmd(":VE"));
    EXPECT_TRUE(stored(UsbGroup).slates.isEmpty());
    EXPECT_EQ(uids(usb, Device::Type_Legacyslate), QList<quint32>({5}));

    ASSERT_EQ(orvexsim_unplug_hub(Usb), 0);
    ASSERT_TRUE(waitFor([&] { return !usb->isConnected(); }));
    EXPECT_FALSE(usb->stopSession());
    EXPECT_EQ(usb->getLastError(), Hub::Error_NotConnected);
}

TEST_F(SimLegacyHub, ADisconnectionDropsTheHandsetsKeepsTheSlatesAndPointersStayValid)
{
    registered(Usb, UsbGroup, {Handsets[0], Handsets[1]}, {{5, "316"}});
    start();
    QList<Device *> before;
    ASSERT_TRUE(usb->getCompleteDeviceList(&before));
    ASSERT_EQ(before.size(), 3);
    usb->setConnected(false);
    EXPECT_EQ(internals(usb)->lists.voteCount(), 0);
    EXPECT_EQ(internals(usb)->lists.slateCount(), 1);
    int count = 0;
    EXPECT_FALSE(usb->getDeviceCount(Device::Type_LegacyOrvexvote, &count));
    EXPECT_EQ(usb->getLastError(), Hub::Error_NotConnected);
    // Retired, not freed.
    EXPECT_EQ(before.first()->uid(), Handsets[0]);

    usb->setConnected(true);
    EXPECT_EQ(uids(usb, Device::Type_LegacyOrvexvote), QList<quint32>({Handsets[0], Handsets[1]}));
}

TEST_F(SimLegacyHub, DeviceQueriesAndTheSystemsDisplayLists)
{
    registered(Usb, UsbGroup, {Handsets[0], Handsets[1]}, {{5, "316"}});
    // A second hub without a board shares the group.
    ASSERT_EQ(orvexsim_add_hub(ORVEXSIM_KIND_LEGACY_2, 4, 0x44, ORVEXSIM_CONNECTION_USB, 600, nullptr), 0);
    start();
    int count = -1;
    EXPECT_TRUE(usb->getDeviceCount(Device::Type(5), &count));
    EXPECT_EQ(count, 0);
    EXPECT_EQ(usb->orvexboardCount(), 0);
    EXPECT_EQ(serial->orvexboardCount(), 1);
    QList<Device *> list{nullptr};
    ASSERT_TRUE(serial->getCompleteDeviceList(&list));
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list.at(1)->type(), Device::Type_LegacyOrvexboard);
    ASSERT_TRUE(usb->getCompleteDeviceList(&list));
    ASSERT_EQ(list.size(), 5);
    EXPECT_EQ(list.at(2)->type(), Device::Type_LegacyOrvexvote);
    EXPECT_EQ(list.at(4)->type(), Device::Type_Legacyslate);

    QList<DeviceDisplayInfo> info;
    ASSERT_TRUE(OrvexSystem::instance().getLegacyVoteDisplayInfoList(4, info));
    EXPECT_EQ(info.size(), 2);
    ASSERT_TRUE(OrvexSystem::instance().getLegacySlateDisplayInfoList(Usb, info));
    ASSERT_EQ(info.size(), 1);
    EXPECT_EQ(info.first().uid, 5u);
    EXPECT_FALSE(OrvexSystem::instance().getLegacyVoteDisplayInfoList(ORVEXSIM_DEFAULT_RF_HUB, info));
    EXPECT_TRUE(info.isEmpty());
}

TEST_F(SimLegacyHub, RegistrationsArriveWhileOtherThreadsReadTheLists)
{
    // The packet thread adds handsets while host threads read the lists
    // through every query.
    const int count = 150 + 4; // and the default classroom's four
    for (int i = 1; i <= 150; ++i)
        ASSERT_EQ(orvexsim_legacy_add_handset(Usb, quint32(0x300000 + i), 1, 0), 0);
    start();
    std::atomic<bool> stop{false};
    auto reader = [&] {
        while (!stop.load()) {
            int n = 0;
            usb->getDeviceCount(Device::Type_LegacyOrvexvote, &n);
            QList<DeviceDisplayInfo> info;
            OrvexSystem::instance().getLegacyVoteDisplayInfoList(Usb, info);
            usb->getDeviceDisplayInfoList(Device::Type_Legacyslate, &info);
            std::this_thread::yield();
        }
    };
    std::thread a(reader);
    std::thread b(reader);
    ASSERT_TRUE(usb->startVoteRegistrationSession());
    const bool all = waitFor([&] { return internals(usb)->lists.voteCount() == count; }, 10000);
    stop = true;
    a.join();
    b.join();
    EXPECT_TRUE(all);
    ASSERT_TRUE(usb->stopVoteRegistrationSession());
    EXPECT_EQ(stored(UsbGroup).votes.size(), count);
}

TEST_F(SimLegacyHub, VotingSessionsAreReplacedWhileVotesArrive)
{
    // Votes flood in on the driver's thread while the host replaces the
    // session object again and again: no packet reaches a deleted session.
    start();
    VoteLog log;
    ASSERT_TRUE(usb->startVotingSession(Hub::VotingMode_VB, &VoteLog::record, &log));
    const QByteArray keyA = bytes({9, 0x65, 0x01, 0x2B, 0x1A, 0, 0, 0, 0x01});
    const QByteArray keyB = bytes({9, 0x65, 0x01, 0x2B, 0x1A, 0, 0, 0, 0x02});
    std::atomic<bool> stop{false};
    std::thread flood([&] {
        while (!stop.load()) {
            orvexsim_inject_repeated(Usb, reinterpret_cast<const uint8_t *>(keyA.constData()), 9, 50);
            orvexsim_inject_repeated(Usb, reinterpret_cast<const uint8_t *>(keyB.constData()), 9, 50);
            orvexsim_wait_idle(1000);
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (int i = 0; i < 200 || (log.size() < 50 && std::chrono::steady_clock::now() < deadline); ++i) {
        const bool withCallback = i % 2 == 0;
        ASSERT_TRUE(usb->startVotingSession(Hub::VotingMode_VB, withCallback ? &VoteLog::record : nullptr,
                                            withCallback ? &log : nullptr));
        if (i % 50 == 0) {
            ASSERT_TRUE(usb->stopSession());
        }
    }
    stop = true;
    flood.join();
    EXPECT_GT(log.size(), 0);
}
