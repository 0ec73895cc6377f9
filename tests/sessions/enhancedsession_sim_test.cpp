// The enhanced question session against the simulated expression handsets:
// a self-paced set shared with a host thread, the simulation that answers
// locally, and what the session refuses or drops.

#include "sessions/transportfixture.h"

#include "sessions/enhancedmessages.h"
#include "sessions/enhancedquestionsession_p.h"

#include <orvexsystem/enhancedquestionsession.h>

#include <QtCore/QMetaType>

#include <atomic>

using namespace Orvexsystem;
using namespace OrvexTest;
namespace M = Orvexsystem::EnhancedMessages;

namespace {

const quint32 Expressions[] = {0x09B20001, 0x09B20002, 0x09B20003, 0x09B20004,
                               0x09B20005, 0x0CB20006, 0x0CB20007, 0x0CB20008};
const quint32 V01 = 0x06A10001;

// A question set and what the session reported; the callbacks' user
// pointer is the Reports part.
struct QuestionSet : Reports
{
    static QuestionSet *from(void *c) { return static_cast<QuestionSet *>(static_cast<Reports *>(c)); }
    static void answer(void *c, unsigned int uid, int n, const QString &text)
    {
        from(c)->add(uid, QByteArray::number(n) + ':' + text.toUtf8());
    }
    static void onText(EnhancedQuestionSession *, unsigned int uid, int n, const QString &a, void *c)
    {
        answer(c, uid, n, a);
    }
    static void onYesNo(EnhancedQuestionSession *, unsigned int uid, int n, YesNoQuestion::Answer a,
                        void *c)
    {
        answer(c, uid, n, QString::number(int(a)));
    }
    static void onLikert(EnhancedQuestionSession *, unsigned int uid, int n, int value, void *c)
    {
        answer(c, uid, n, QString::number(value));
    }
    // Question n, or the end after the last one.
    static void onQuestion(EnhancedQuestionSession *s, unsigned int uid, int n, void *c)
    {
        QuestionSet *set = from(c);
        ++set->questionRequests;
        if (set->simulation)
            s->sendQuestion(uid, uid == Amelie ? static_cast<EnhancedQuestion *>(&set->choice)
                                               : &set->likert);
        else if (n >= 1 && n <= 3)
            s->sendQuestion(uid, n == 1 ? static_cast<EnhancedQuestion *>(&set->choice)
                                 : n == 2 ? static_cast<EnhancedQuestion *>(&set->yesNo)
                                          : &set->text);
        else
            s->sendNoMoreQuestionsNotification(uid, QStringLiteral("Well done"));
    }
    static void onParameters(EnhancedQuestionSession *, unsigned int uid, void *c)
    {
        from(c)->add(uid, "parameters");
    }

    QuestionSet()
    {
        choice.questionNumber = 1;
        choice.text = QStringLiteral("Largest planet?");
        choice.numberOfOptions = 6;
        choice.numberOfResponses = 1;
        choice.displayOption = DisplayOption_UpperCase;
        choice.answer = QStringLiteral("B");
        yesNo.questionNumber = 2;
        yesNo.text = QStringLiteral("Is water wet?");
        yesNo.answer = YesNoQuestion::Answer_Yes;
        text.questionNumber = 3;
        text.text = QStringLiteral("What did you learn?");
        text.maxResponseSize = 20;
        likert.scaleValue = 7;
    }
    EnhancedQuestionSession::CallbacksInfo callbacks()
    {
        EnhancedQuestionSession::CallbacksInfo info;
        info.getSessionParametersCallback = onParameters;
        info.getQuestionCallback = onQuestion;
        info.multichoiceAnswerCallback = onText;
        info.yesNoAnswerCallback = onYesNo;
        info.likertAnswerCallback = onLikert;
        info.textAnswerCallback = onText;
        info.userData = static_cast<Reports *>(this);
        return info;
    }

    MultichoiceQuestion choice;
    YesNoQuestion yesNo;
    TextQuestion text;
    LikertQuestion likert;
    bool simulation = false;
    std::atomic<int> questionRequests{0};
};

class EnhancedOnSim : public SimTransport
{
protected:
    void SetUp() override
    {
        SimTransport::SetUp();
        session = hub->enhancedQuestionSession();
        ASSERT_NE(session, nullptr);
        ASSERT_EQ(session, hub->enhancedQuestionSession());
        session->setCallbacks(set.callbacks());
    }
    static int phase(quint32 uid)
    {
        OrvexSimEnhancedState state{};
        return orvexsim_get_enhanced_state(1, uid, &state) == 0 ? state.phase : -1;
    }
    EnhancedQuestionSession *session = nullptr;
    QuestionSet set;
};

TEST_F(EnhancedOnSim, ASelfPacedSetRunsOnEveryHandsetWhileAHostThreadSendsToo)
{
    EXPECT_TRUE(QMetaType::fromName("Orvexsystem::YesNoQuestion::Answer").isValid());
    EXPECT_TRUE(QMetaType::fromName("Orvexsystem::TrueFalseQuestion::Answer").isValid());
    session->setDefaultSessionparameters(3, 0, true, QBitArray());
    orvexsim_set_handset_enhanced(1, ORVEXSIM_ALL_HANDSETS, 1);
    orvexsim_set_handset_answer(1, Amelie, "B");
    orvexsim_set_handset_answer(1, Ben, "A");
    ASSERT_TRUE(session->startSession(false));
    // Host threads share buffers, readiness and the sent questions with the
    // event thread's requests and answers.
    std::atomic<bool> done{false};
    std::thread host([&] {
        while (!done.load()) {
            for (quint32 uid : Expressions)
                if (hub->asyncIsReadyToReceive(uid))
                    session->sendPopUpMessage(uid, false, QStringLiteral("Keep going"));
            session->sendQuestion(V01, &set.choice); // a voting handset never fetches
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const bool finished = waitFor([&] {
        for (quint32 uid : Expressions)
            if (phase(uid) != ORVEXSIM_ENHANCED_FINISHED)
                return false;
        return true;
    }, 20000);
    done = true;
    host.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(set.size(), 8 * 3); // the defaults answered every parameter request
    EXPECT_EQ(set.of(Amelie), QList<QByteArray>({"1:B", "2:1", "3:B"}));
    EXPECT_EQ(set.of(Ben), QList<QByteArray>({"1:A", "2:2", "3:A"}));
    EXPECT_TRUE(set.allElsewhere);
    QList<QByteArray> questions;
    for (const QByteArray &m : received(Amelie))
        if (!m.startsWith(char(M::Message_PopUp)))
            questions << m;
    EXPECT_EQ(questions, QList<QByteArray>(
                             {M::sessionParameters(3, 0, true, QBitArray()),
                              M::question(1, 1, "Largest planet?", false, false, false, "B", 0xC6),
                              M::question(2, 2, "Is water wet?", false, false, false, "A", 0),
                              M::question(6, 3, "What did you learn?", false, false, false, "", 20),
                              M::noMoreQuestions("Well done")}));
    EXPECT_TRUE(session->stopSession());
    EXPECT_FALSE(session->stopSession()); // not started any more
}

TEST_F(EnhancedOnSim, TheSimulationAnswersOnTheEventThreadWithoutAnEventLoopHere)
{
    set.simulation = true;
    EnhancedQuestionSessionPrivate::get(session)->simulationStepMs = 5;
    ASSERT_TRUE(session->startSession(true));
    // No Qt event loop runs on this thread meanwhile.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((set.of(Amelie).size() < 3 || set.of(Ben).size() < 3)
           && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GE(set.of(Ben).size(), 3);
    for (const QByteArray &a : set.of(Amelie)) // a letter, as a handset keys it
        EXPECT_TRUE(a.size() == 3 && QByteArray("ABCDEF").contains(a.at(2))) << a.constData();
    for (const QByteArray &a : set.of(Ben)) // a value, not a character code
        EXPECT_TRUE(a.mid(2).toInt() >= 1 && a.mid(2).toInt() <= 7) << a.constData();
    EXPECT_TRUE(set.allElsewhere);
    EXPECT_TRUE(writesStartingWith(QByteArray(":XP00B")).isEmpty()); // nothing sent

    ASSERT_TRUE(session->stopSession());
    const int requests = set.questionRequests.load();
    const int answers = set.size();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(set.questionRequests.load(), requests);
    EXPECT_EQ(set.size(), answers);
}

// A question that claims a kind it is not of.
struct Impostor : EnhancedQuestion
{
    int type() const override { return 1; }
};

TEST_F(EnhancedOnSim, WhatCannotBeSentIsRefusedAndWhatWasNotAskedIsDropped)
{
    ASSERT_TRUE(session->startSession(false));
    MultichoiceQuestion tooMany;
    tooMany.numberOfOptions = 2;
    tooMany.numberOfResponses = 3;
    EXPECT_FALSE(session->sendQuestion(Amelie, &tooMany));
    Impostor impostor;
    EXPECT_FALSE(session->sendQuestion(Amelie, &impostor));
    EXPECT_EQ(hub->getLastError(), Hub::Error_Failed);
    set.likert.scaleValue = 3;
    EXPECT_FALSE(session->sendQuestion(Amelie, &set.likert));
    EXPECT_EQ(hub->getLastError(), Hub::Error_ScaleValueNotWithinTheRange);
    EXPECT_FALSE(session->sendQuestion(Amelie, nullptr));
    EXPECT_FALSE(session->sendSessionParameters(Amelie, 1, 1, false, QBitArray(257)));
    EXPECT_EQ(hub->getLastError(), Hub::Error_StringTooLong);
    EXPECT_TRUE(writesStartingWith(QByteArray(":XP00B")).isEmpty());

    // Defaults that do not fit are not taken: the request is reported, by
    // the signal when no callback is set.
    session->setDefaultSessionparameters(1, 1, false, QBitArray(257));
    session->setCallbacks(EnhancedQuestionSession::CallbacksInfo());
    Reports heard;
    QObject::connect(session, &EnhancedQuestionSession::getSessionParameters, session,
                     [&](EnhancedQuestionSession *, quint32 uid) { heard.add(uid, "parameters"); },
                     Qt::DirectConnection);
    QObject::connect(session, &EnhancedQuestionSession::deviceShutDown, session,
                     [&](EnhancedQuestionSession *, quint32 uid) { heard.add(uid, "off"); },
                     Qt::DirectConnection);
    QObject::connect(session, &EnhancedQuestionSession::multichoiceAnswer, session,
                     [&](EnhancedQuestionSession *, quint32 uid, int, QString a) {
                         heard.add(uid, a.toUtf8());
                     }, Qt::DirectConnection);
    const uint8_t request[] = {0};
    EXPECT_EQ(orvexsim_async_request(1, Amelie, request, 1), 1);
    const uint8_t off[] = {0xFF};
    EXPECT_EQ(orvexsim_async_request(1, Amelie, off, 1), 1);
    // An answer from a handset that was asked nothing.
    const uint8_t answer[] = {'A', 0, 0};
    EXPECT_EQ(orvexsim_async_send(1, Ben, answer, 3), 1);
    ASSERT_TRUE(waitFor([&] { return heard.size() == 2; }));
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    spinEvents(50);
    EXPECT_EQ(heard.of(Amelie), QList<QByteArray>({"parameters", "off"}));
    EXPECT_TRUE(heard.of(Ben).isEmpty());
}

} // namespace
