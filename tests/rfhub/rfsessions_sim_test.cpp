// Registration, naming and question sessions end to end: the library's own
// driver binding against the simulated 2.4 GHz hub and its handsets.

#include "support/wait.h"

#include "rfhub/twopointfourghzhub_p.h"

#include <orvexsim.h>
#include <orvexsystem/system.h>
#include <orvexsystem/twopointfourghzhub.h>

#include <gtest/gtest.h>

#include <mutex>

using namespace Orvexsystem;
using namespace OrvexTest;

namespace {

const quint32 V01 = 0x06A10001;
const quint32 V02 = 0x06A10002;
const quint32 V33 = 0x06A10021; // waiting to register with the PIN ABC
const quint32 Amelie = 0x09B20001;
const quint32 Expression2 = 0x09B20002;
const quint32 Expression3 = 0x09B20003;
const quint32 Slate1 = 0x07C30001;

// Reports as "uid text", from whichever thread made them.
struct Heard
{
    std::mutex mutex;
    QMap<quint32, QStringList> byUid;
    int count = 0;
    void add(quint32 uid, const QString &text)
    {
        std::lock_guard<std::mutex> lock(mutex);
        byUid[uid] << text;
        ++count;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex);
        byUid.clear();
        count = 0;
    }
    int size()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return count;
    }
    QStringList of(quint32 uid)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return byUid.value(uid);
    }
};

void heardText(Hub *, quint32 uid, int, const QString &text, void *c)
{
    static_cast<Heard *>(c)->add(uid, text);
}
void heardYesNo(Hub *, quint32 uid, int, Hub::YesNoResponse r, void *c)
{
    static_cast<Heard *>(c)->add(uid, QString::number(int(r)));
}
void heardTrueFalse(Hub *, quint32 uid, int, Hub::TrueFalseResponse r, void *c)
{
    static_cast<Heard *>(c)->add(uid, QString::number(int(r)));
}
void heardLikert(Hub *, quint32 uid, int, int value, void *c)
{
    static_cast<Heard *>(c)->add(uid, QString::number(value));
}
void heardMessage(Hub *, quint32 uid, int id, void *c)
{
    static_cast<Heard *>(c)->add(uid, QString::number(id));
}
void heardName(TwoPointFourGHzHub *, unsigned int uid, const QString &name, void *c)
{
    static_cast<Heard *>(c)->add(uid, name);
}
void heardPin(Hub *, quint32 uid, const QString &text, void *c)
{
    static_cast<Heard *>(c)->add(uid, text);
}

QString simName(quint32 uid)
{
    char name[64] = {};
    return orvexsim_get_device_name(1, uid, name, sizeof name) < 0 ? QString()
                                                                    : QString::fromUtf8(name);
}

class SimSessions : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(orvexsim_reset(), 0);
        ASSERT_EQ(orvexsim_set_handset_delay_ms(ORVEXSIM_ALL_HUBS, ORVEXSIM_ALL_HANDSETS, 0, 0), 0);
        ASSERT_EQ(orvexsim_use_default_classroom(), 0);
        ASSERT_TRUE(OrvexSystem::instance().initialise());
        QList<Hub *> hubs;
        OrvexSystem::instance().getHubList(&hubs);
        for (Hub *h : hubs)
            if (h->handle() == 1)
                hub = qobject_cast<TwoPointFourGHzHub *>(h);
        ASSERT_NE(hub, nullptr);
    }
    void TearDown() override { OrvexSystem::instance().shutdown(); }

    // Only these handsets answer, each with its answer.
    void onlyThese(const QMap<quint32, const char *> &answers)
    {
        orvexsim_clear_handset_settings(1);
        orvexsim_set_handset_answers(1, ORVEXSIM_ALL_HANDSETS, 0);
        for (auto it = answers.cbegin(); it != answers.cend(); ++it) {
            orvexsim_set_handset_answers(1, it.key(), 1);
            orvexsim_set_handset_answer(1, it.key(), it.value());
        }
    }
    QList<Device *> votes()
    {
        QList<Device *> list;
        EXPECT_TRUE(hub->getDeviceList(Device::Type_TwoPointFourGHzOrvexvote, &list));
        return list;
    }

    TwoPointFourGHzHub *hub = nullptr;
    Heard heard;
};

} // namespace

TEST_F(SimSessions, HandsetsThatKeyThePinRegisterAndAreListedAfterTheEnd)
{
    QObject::connect(hub, &TwoPointFourGHzHub::voteDeviceRegistered, hub,
                     [&](QString name, quint32 uid) { heard.add(uid, name); }, Qt::DirectConnection);
    QObject::connect(hub, &TwoPointFourGHzHub::expressionDeviceRegistered, hub,
                     [&](QString name, quint32 uid, Device::SubType type) {
                         heard.add(uid, name + QString::number(int(type)));
                     }, Qt::DirectConnection);
    QObject::connect(hub, &TwoPointFourGHzHub::slateDeviceRegistered, hub,
                     [&](QString name, quint32 uid) { heard.add(uid, name); }, Qt::DirectConnection);

    ASSERT_TRUE(hub->startVoteRegistrationSession(1, 0, 0, RegistrationCode(QStringLiteral("ABD"))));
    orvexsim_register_waiting(1, V33); // keys ABC: not this session's PIN
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    ASSERT_TRUE(hub->stopVoteRegistrationSession());
    EXPECT_EQ(heard.size(), 0);
    EXPECT_EQ(votes().size(), 32);

    ASSERT_TRUE(hub->startVoteRegistrationSession(1, 0, 0, RegistrationCode(QStringLiteral("ABC"))));
    EXPECT_EQ(orvexsim_register_waiting_class(1, ORVEXSIM_CLASS_VOTE), 4);
    ASSERT_TRUE(waitFor([&] { return heard.size() == 4; }));
    EXPECT_EQ(heard.of(V33), QStringList({"V33"}));
    ASSERT_TRUE(hub->stopVoteRegistrationSession());
    EXPECT_EQ(votes().size(), 36);
    EXPECT_EQ(hub->getDeviceId(0x0121), V33);
    EXPECT_EQ(heard.size(), 4); // the re-read announced nothing

    // Expression registration with naming: names cut to the length asked.
    orvexsim_add_waiting_handset(1, ORVEXSIM_CLASS_EXPRESSION, 0x0C000077, 0x0277, "Zoe Martin", "CAB");
    ASSERT_TRUE(hub->startNamingExpressionRegistrationSession(
        0, 0, 0, RegistrationCode(QStringLiteral("CAB")), CharacterType_Type1, false, 3));
    EXPECT_EQ(orvexsim_register_waiting(1, 0x0C000077), 1);
    ASSERT_TRUE(waitFor([&] { return heard.size() == 5; }));
    EXPECT_EQ(heard.of(0x0C000077), QStringList({"Zoe2"}));
    ASSERT_TRUE(hub->stopExpressionRegistrationSession());
    QList<Device *> expressions;
    ASSERT_TRUE(hub->getDeviceList(Device::Type_TwoPointFourGHzOrvexexpression, &expressions));
    EXPECT_EQ(expressions.size(), 9);

    orvexsim_add_waiting_handset(1, ORVEXSIM_CLASS_SLATE, 0x07C30077, 0x0377, "Desk", "FED");
    ASSERT_TRUE(hub->startSlateRegistrationSession(0, 0, 0, RegistrationCode(QStringLiteral("FED"))));
    EXPECT_EQ(orvexsim_register_waiting(1, 0x07C30077), 1);
    ASSERT_TRUE(waitFor([&] { return heard.size() == 6; }));
    EXPECT_EQ(heard.of(0x07C30077), QStringList({"Desk"}));
    ASSERT_TRUE(hub->stopSlateRegistrationSession());
}

TEST_F(SimSessions, NamesComeFromHandsetsOrAreGivenToOneDevice)
{
    hub->setVoteDeviceNamedCallback(heardName, &heard);
    ASSERT_TRUE(hub->startOrvexvoteNamingSession());
    EXPECT_EQ(orvexsim_report_name(1, V01, "Kim"), 1);
    ASSERT_TRUE(waitFor([&] { return heard.size() == 1; }));
    EXPECT_EQ(heard.of(V01), QStringList({"Kim"}));
    ASSERT_TRUE(hub->nameOrvexvote(V02, QStringLiteral("Leonardo")));
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    EXPECT_EQ(simName(V02), QStringLiteral("Leon"));
    ASSERT_TRUE(hub->stopOrvexvoteNamingSession());
    EXPECT_EQ(votes()[1]->name(), QStringLiteral("Leon")); // read again at the end

    ASSERT_TRUE(hub->nameSlate(Slate1, QStringLiteral("Window desk")));
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    EXPECT_EQ(simName(Slate1), QStringLiteral("Window des"));
    ASSERT_TRUE(hub->stopSlateNamingSession());

    ExpressionNameReceivedResponse reply;
    ASSERT_TRUE(hub->nameExpression(Amelie, QStringLiteral("Amélie Poulain-Long"), &reply));
    EXPECT_TRUE(reply.isValidResponse());
    EXPECT_EQ(simName(Amelie), QStringLiteral("Amélie Poulain"));

    hub->setExpressionDeviceNamedCallback(heardName, &heard);
    ASSERT_TRUE(hub->startExpressionNamingSession());
    EXPECT_EQ(orvexsim_report_name(1, Expression2, "Éva"), 1);
    ASSERT_TRUE(waitFor([&] { return heard.size() == 2; }));
    EXPECT_EQ(heard.of(Expression2), QStringList({"Éva"}));
    ASSERT_TRUE(hub->stopExpressionNamingSession());
}

TEST_F(SimSessions, PinNamingReportsTheKeyedTextAndEndsWithStopSession)
{
    ASSERT_TRUE(hub->startOrvexvotePinNamingSession(3, heardPin, &heard));
    EXPECT_EQ(orvexsim_key_pin(1, V01, "FAD"), 1);
    EXPECT_EQ(orvexsim_key_pin(1, V02, "B E"), 1);
    ASSERT_TRUE(waitFor([&] { return heard.size() == 2; }));
    EXPECT_EQ(heard.of(V01), QStringList({"FAD"}));
    EXPECT_EQ(heard.of(V02), QStringList({"B E"}));
    ASSERT_TRUE(hub->stopSession());
    EXPECT_FALSE(hub->isInSession());
    ASSERT_TRUE(hub->removeOrvexvote(V02)); // nothing left blocking
    ASSERT_TRUE(hub->stopRemoveVoteDeviceSession());
}

TEST_F(SimSessions, EveryKindOfQuestionIsAnsweredByTheClass)
{
    // Every voting and expression handset answers the choice kinds.
    orvexsim_set_handset_answer(1, V01, "A");
    orvexsim_set_handset_answer(1, V02, "B");
    ASSERT_TRUE(hub->startYesNoSession(1, false, TimeUnit_Seconds, 30, heardYesNo, &heard));
    ASSERT_TRUE(waitFor([&] { return heard.size() == 40; }));
    EXPECT_EQ(heard.of(V01), QStringList({"1"}));
    EXPECT_EQ(heard.of(V02), QStringList({"0"}));
    ASSERT_TRUE(hub->stopSession());

    auto ask = [&](auto start, int expected) {
        heard.clear();
        ASSERT_TRUE(start());
        ASSERT_TRUE(waitFor([&] { return heard.size() >= expected; }));
        spinEvents(20);
        EXPECT_EQ(heard.size(), expected);
        ASSERT_TRUE(hub->stopSession());
    };
    onlyThese({{V01, "AC"}, {Amelie, "D"}});
    ask([&] { return hub->startMultichoiceSession(2, 4, 2, DisplayOption_Numeric, TimeUnit_Seconds,
                                                  30, heardText, &heard); }, 2);
    EXPECT_EQ(heard.of(V01), QStringList({"13"}));
    EXPECT_EQ(heard.of(Amelie), QStringList({"4"}));
    onlyThese({{V01, "B"}});
    ask([&] { return hub->startTrueFalseSession(3, false, TimeUnit_Seconds, 30, heardTrueFalse, &heard); }, 1);
    EXPECT_EQ(heard.of(V01), QStringList({"0"}));
    onlyThese({{V02, "4"}});
    ask([&] { return hub->startLikertSession(4, 5, TimeUnit_Seconds, 30, heardLikert, &heard); }, 1);
    EXPECT_EQ(heard.of(V02), QStringList({"4"}));
    onlyThese({{V01, "CAB"}, {Amelie, "CAB"}}); // expression handsets only
    ask([&] { return hub->startSortInOrderSession(5, 3, 3, DisplayOption_UpperCase, TimeUnit_Seconds,
                                                  30, heardText, &heard); }, 1);
    EXPECT_EQ(heard.of(Amelie), QStringList({"CAB"}));

    // Numbers and texts of several packets come from expression handsets.
    onlyThese({{Amelie, "3.14159265358979"}, {Expression2, "-12"}});
    ask([&] { return hub->startNumericSession(6, QStringLiteral("π?"), 40, TimeUnit_Seconds, 30,
                                              heardText, &heard); }, 2);
    EXPECT_EQ(heard.of(Amelie), QStringList({"3.14159265358979"}));
    EXPECT_EQ(heard.of(Expression2), QStringList({"-12"}));
    const char *text = "La photosynthèse a besoin de lumière";
    onlyThese({{Amelie, text}});
    ask([&] { return hub->startTextSession(7, QStringLiteral("Why?"), 200, TimeUnit_Seconds, 30,
                                           heardText, &heard); }, 1);
    EXPECT_EQ(heard.of(Amelie), QStringList({QString::fromUtf8(text)}));

    orvexsim_clear_handset_settings(1);
    ask([&] { return hub->startMessageSession(8, QStringLiteral("Look up"), TimeUnit_Seconds, 30,
                                              heardMessage, &heard); }, 8);
    EXPECT_EQ(heard.of(Amelie), QStringList({"8"}));
    onlyThese({{Expression3, "Noor"}});
    heard.clear();
    ASSERT_TRUE(hub->startExpressionEnduserNamingSession(9, CharacterType_None, 10, false, heardText,
                                                         &heard));
    ASSERT_TRUE(waitFor([&] { return heard.size() == 1; }));
    EXPECT_EQ(heard.of(Expression3), QStringList({"Noor"}));
    ASSERT_TRUE(hub->stopExpressionEndUserNamingSession());
}

TEST_F(SimSessions, LongAnswersSurviveLossReorderingAndRepeats)
{
    TwoPointFourGHzHubPrivate::get(hub)->answerCompletionTimeMs = 300;
    const char *lost = "The answer whose last piece is lost";   // 35 bytes: 5 packets
    const char *shuffled = "An answer whose pieces come last first";
    const char *repeated = "An answer whose first piece comes twice";
    onlyThese({{Amelie, lost}, {Expression2, shuffled}, {Expression3, repeated}});
    orvexsim_set_handset_fault(1, Amelie, ORVEXSIM_HANDSET_FAULT_LOSE_LAST);
    orvexsim_set_handset_fault(1, Expression2, ORVEXSIM_HANDSET_FAULT_OUT_OF_ORDER);
    orvexsim_set_handset_fault(1, Expression3, ORVEXSIM_HANDSET_FAULT_DUPLICATE);
    ASSERT_TRUE(hub->startTextSession(1, QStringLiteral("Tell"), 100, TimeUnit_Seconds, 30,
                                      heardText, &heard));
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    EXPECT_EQ(heard.of(Expression2), QStringList({shuffled}));
    EXPECT_EQ(heard.of(Expression3), QStringList({repeated})); // once
    EXPECT_TRUE(heard.of(Amelie).isEmpty());
    ASSERT_TRUE(waitFor([&] { return heard.size() == 3; }));
    EXPECT_EQ(heard.of(Amelie), QStringList({QString::fromLatin1(lost).left(33)}));
    EXPECT_EQ(hub->getLastError(), Hub::Error_InCompleteAnswer);
    ASSERT_TRUE(hub->stopSession());
}
