// The enhanced question session against the simulated expression handsets:
// a self-paced set, requests through signals, the simulation that answers
// locally, the questions it refuses, and host threads sharing it with the
// event thread.

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

// Reports of the session as "uid" -> "number:answer" texts, with threads.
struct Heard : Reports
{
    void answer(unsigned int uid, int number, const QString &text)
    {
        add(uid, QByteArray::number(number) + ':' + text.toUtf8());
    }
};

void heardText(EnhancedQuestionSession *, unsigned int uid, int n, const QString &a, void *c)
{
    static_cast<Heard *>(c)->answer(uid, n, a);
}
void heardYesNo(EnhancedQuestionSession *, unsigned int uid, int n, YesNoQuestion::Answer a,
                void *c)
{
    static_cast<Heard *>(c)->answer(uid, n, QString::number(int(a)));
}
void heardLikert(EnhancedQuestionSession *, unsigned int uid, int n, int value, void *c)
{
    static_cast<Heard *>(c)->answer(uid, n, QString::number(value));
}

// The question set of these tests: multiple choice, yes/no, text. The
// callbacks' user pointer is the Heard part.
struct QuestionSet : Heard
{
    static QuestionSet *from(void *context)
    {
        return static_cast<QuestionSet *>(static_cast<Heard *>(context));
    }
    MultichoiceQuestion choice;
    YesNoQuestion yesNo;
    TextQuestion text;
    std::atomic<int> parameterRequests{0};
    QuestionSet()
    {
        choice.questionNumber = 1;
        choice.text = QStringLiteral("Largest planet?");
        choice.numberOfOptions = 4;
        choice.numberOfResponses = 1;
        choice.displayOption = DisplayOption_UpperCase;
        choice.answer = QStringLiteral("B");
        yesNo.questionNumber = 2;
        yesNo.text = QStringLiteral("Is water wet?");
        yesNo.answer = YesNoQuestion::Answer_Yes;
        text.questionNumber = 3;
        text.text = QStringLiteral("What did you learn?");
        text.maxResponseSize = 20;
    }
    const EnhancedQuestion *question(int n) const
    {
        switch (n) {
        case 1: return &choice;
        case 2: return &yesNo;
        case 3: return &text;
        default: return nullptr;
        }
    }
    // Sends question n, or the end after the last one.
    static void onQuestion(EnhancedQuestionSession *s, unsigned int uid, int n, void *c)
    {
        if (const EnhancedQuestion *q = from(c)->question(n))
            s->sendQuestion(uid, q);
        else
            s->sendNoMoreQuestionsNotification(uid, QStringLiteral("Well done"));
    }
    static void onParameters(EnhancedQuestionSession *, unsigned int, void *c)
    {
        ++from(c)->parameterRequests;
    }
    EnhancedQuestionSession::CallbacksInfo callbacks()
    {
        EnhancedQuestionSession::CallbacksInfo info;
        info.getSessionParametersCallback = onParameters;
        info.getQuestionCallback = onQuestion;
        info.multichoiceAnswerCallback = heardText;
        info.yesNoAnswerCallback = heardYesNo;
        info.likertAnswerCallback = heardLikert;
        info.textAnswerCallback = heardText;
        info.userData = static_cast<Heard *>(this);
        return info;
    }
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
        ASSERT_EQ(orvexsim_set_handset_enhanced(1, ORVEXSIM_ALL_HANDSETS, 0), 0);
    }
    static int phase(quint32 uid)
    {
        OrvexSimEnhancedState state{};
        return orvexsim_get_enhanced_state(1, uid, &state) == 0 ? state.phase : -1;
    }
    EnhancedQuestionSession *session = nullptr;
};

TEST_F(EnhancedOnSim, ASelfPacedSetRunsOnTheHandsetsMessageByMessage)
{
    EXPECT_TRUE(QMetaType::fromName("Orvexsystem::YesNoQuestion::Answer").isValid());
    EXPECT_TRUE(QMetaType::fromName("Orvexsystem::TrueFalseQuestion::Answer").isValid());
    QuestionSet set;
    session->setCallbacks(set.callbacks());
    session->setDefaultSessionparameters(3, 0, true, QBitArray());
    orvexsim_set_handset_enhanced(1, Amelie, 1);
    orvexsim_set_handset_enhanced(1, Ben, 1);
    orvexsim_set_handset_answer(1, Amelie, "B");
    orvexsim_set_handset_answer(1, Ben, "A");
    ASSERT_TRUE(session->startSession(false));
    ASSERT_TRUE(waitFor([&] { return phase(Amelie) == ORVEXSIM_ENHANCED_FINISHED
                                     && phase(Ben) == ORVEXSIM_ENHANCED_FINISHED; }, 10000));
    // Defaults answer the parameter requests without a report.
    EXPECT_EQ(set.parameterRequests.load(), 0);
    EXPECT_EQ(set.of(Amelie), QList<QByteArray>({"1:B", "2:1", "3:B"}));
    EXPECT_EQ(set.of(Ben), QList<QByteArray>({"1:A", "2:2", "3:A"}));
    EXPECT_TRUE(set.allElsewhere());
    const QList<QByteArray> expected = {
        M::sessionParameters(3, 0, true, QBitArray()),
        M::question(1, 1, "Largest planet?", false, false, false, "B", 0x86),
        M::question(2, 2, "Is water wet?", false, false, false, "A", 0),
        M::question(6, 3, "What did you learn?", false, false, false, "", 20),
        M::noMoreQuestions("Well done")};
    EXPECT_EQ(received(Amelie), expected);
    EXPECT_TRUE(session->stopSession());
    EXPECT_FALSE(session->stopSession()); // not started any more
}

TEST_F(EnhancedOnSim, WithoutCallbacksTheSignalsReportAndUnaskedAnswersAreDropped)
{
    Heard heard;
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
    orvexsim_set_handset_enhanced(1, Amelie, 1);
    ASSERT_TRUE(session->startSession(false));
    ASSERT_TRUE(waitFor([&] { return heard.size() == 1; }));
    EXPECT_EQ(orvexsim_async_switch(1, Amelie, 0), 1);
    const uint8_t answer[] = {'A', 0, 0};
    EXPECT_EQ(orvexsim_async_send(1, Ben, answer, 3), 1);
    ASSERT_TRUE(waitFor([&] { return heard.size() == 2; }));
    ASSERT_EQ(orvexsim_wait_idle(5000), 0);
    spinEvents(50);
    EXPECT_EQ(heard.of(Amelie), QList<QByteArray>({"parameters", "off"}));
    EXPECT_TRUE(heard.of(Ben).isEmpty());
}

// Waits without running any Qt event loop on this thread.
template <class Pred>
bool waitPlain(Pred pred, int timeoutMs = 10000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return pred();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST_F(EnhancedOnSim, TheSimulationAnswersOnTheEventThreadWithoutAnEventLoopHere)
{
    struct Simulated : Heard
    {
        MultichoiceQuestion choice;
        LikertQuestion likert;
        YesNoQuestion yesNo;
        std::atomic<int> requests{0};
        static void onQuestion(EnhancedQuestionSession *s, unsigned int uid, int n, void *c)
        {
            auto *sim = static_cast<Simulated *>(static_cast<Heard *>(c));
            ++sim->requests;
            EXPECT_EQ(n, 0);
            const EnhancedQuestion *q = &sim->yesNo;
            if (uid == Amelie)
                q = &sim->choice;
            else if (uid == Ben)
                q = &sim->likert;
            s->sendQuestion(uid, q);
        }
    } sim;
    sim.choice.numberOfOptions = 6;
    sim.choice.numberOfResponses = 1;
    sim.choice.displayOption = DisplayOption_UpperCase;
    sim.likert.scaleValue = 7;
    EnhancedQuestionSession::CallbacksInfo info;
    info.getQuestionCallback = Simulated::onQuestion;
    info.multichoiceAnswerCallback = heardText;
    info.likertAnswerCallback = heardLikert;
    info.yesNoAnswerCallback = heardYesNo;
    info.userData = static_cast<Heard *>(&sim);
    session->setCallbacks(info);
    EnhancedQuestionSessionPrivate::get(session)->simulationStepMs = 5;
    ASSERT_TRUE(session->startSession(true));
    ASSERT_TRUE(waitPlain([&] {
        return sim.of(Amelie).size() >= 3 && sim.of(Ben).size() >= 3;
    }));
    for (const QByteArray &a : sim.of(Amelie)) {
        ASSERT_EQ(a.size(), 3) << a.constData();
        EXPECT_TRUE(QByteArray("ABCDEF").contains(a.at(2))) << a.constData();
    }
    for (const QByteArray &a : sim.of(Ben)) {
        const int value = a.mid(2).toInt();
        EXPECT_TRUE(value >= 1 && value <= 7) << a.constData();
    }
    EXPECT_TRUE(sim.allElsewhere());
    // Nothing went to the handsets.
    EXPECT_TRUE(writesStartingWith(QByteArray(":XP00B")).isEmpty());

    ASSERT_TRUE(session->stopSession());
    const int requests = sim.requests.load();
    const int answers = sim.size();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(sim.requests.load(), requests);
    EXPECT_EQ(sim.size(), answers);
}

// A question that claims a kind it is not of.
struct Impostor : EnhancedQuestion
{
    int type() const override { return 1; }
};

TEST_F(EnhancedOnSim, QuestionsAndParametersThatCannotBeSentAreRefused)
{
    QuestionSet set;
    session->setCallbacks(set.callbacks());
    ASSERT_TRUE(session->startSession(false));
    MultichoiceQuestion tooMany;
    tooMany.numberOfOptions = 2;
    tooMany.numberOfResponses = 3;
    EXPECT_FALSE(session->sendQuestion(Amelie, &tooMany));
    Impostor impostor;
    EXPECT_FALSE(session->sendQuestion(Amelie, &impostor));
    EXPECT_EQ(hub->getLastError(), Hub::Error_Failed);
    LikertQuestion likert;
    likert.scaleValue = 3;
    EXPECT_FALSE(session->sendQuestion(Amelie, &likert));
    EXPECT_EQ(hub->getLastError(), Hub::Error_ScaleValueNotWithinTheRange);
    EnhancedQuestion none;
    EXPECT_FALSE(session->sendQuestion(Amelie, &none));
    EXPECT_FALSE(session->sendQuestion(Amelie, nullptr));
    EXPECT_FALSE(session->sendSessionParameters(Amelie, 1, 1, false, QBitArray(257)));
    EXPECT_EQ(hub->getLastError(), Hub::Error_StringTooLong);
    EXPECT_TRUE(writesStartingWith(QByteArray(":XP00B")).isEmpty());
    EXPECT_TRUE(session->sendSessionParameters(Amelie, 1, 1, false, QBitArray(256)));

    // Defaults that do not fit are not taken: the request is reported.
    session->setDefaultSessionparameters(1, 1, false, QBitArray(257));
    const uint8_t request[] = {0};
    EXPECT_EQ(orvexsim_async_request(1, Ben, request, 1), 1);
    ASSERT_TRUE(waitFor([&] { return set.parameterRequests.load() == 1; }));
}

TEST_F(EnhancedOnSim, HostThreadsShareTheSessionWithTheEventThread)
{
    QuestionSet set;
    session->setCallbacks(set.callbacks());
    session->setDefaultSessionparameters(1, 2, false, QBitArray(12, true));
    orvexsim_set_handset_enhanced(1, ORVEXSIM_ALL_HANDSETS, 1);
    ASSERT_TRUE(session->startSession(false));
    std::atomic<bool> done{false};
    std::thread host([&] {
        MultichoiceQuestion unanswered;
        unanswered.numberOfOptions = 2;
        unanswered.numberOfResponses = 1;
        while (!done.load()) {
            for (quint32 uid : Expressions) {
                if (hub->asyncIsReadyToReceive(uid))
                    session->sendPopUpMessage(uid, false, QStringLiteral("Keep going"));
            }
            // A voting handset never fetches: its record and buffer stay.
            session->sendQuestion(V01, &unanswered);
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
    EXPECT_TRUE(finished);
    EXPECT_EQ(set.size(), 8 * 3);
    EXPECT_TRUE(session->stopSession());
}

} // namespace
