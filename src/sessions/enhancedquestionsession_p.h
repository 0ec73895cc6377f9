#ifndef ORVEXSYSTEM_SESSIONS_ENHANCEDQUESTIONSESSION_P_H
#define ORVEXSYSTEM_SESSIONS_ENHANCEDQUESTIONSESSION_P_H

#include <orvexsystem/enhancedquestionsession.h>
#include <orvexsystem/hub.h>

#include "hub/callbackslot.h"

#include <QtCore/QHash>

#include <atomic>
#include <mutex>

namespace Orvexsystem {

// The state of an EnhancedQuestionSession. Host threads (sends, start,
// stop) and the event thread (the transport's requests and answers, the
// simulation's steps) share it under one mutex, held only to read or change
// it: never while sending, waiting or calling the host.
class EnhancedQuestionSessionPrivate
{
public:
    // What the session keeps of the last question sent to a handset.
    struct SentQuestion
    {
        int type = 0;
        quint16 questionNumber = 0;
        int displayOption = 0; // types 1 and 7
    };

    enum StepKind { Step_Answer = 1, Step_RequestQuestion = 2, Step_Start = 3 };
    struct SimulationStep
    {
        unsigned int uid = 0;
        StepKind kind = Step_Start;
        int questionType = 0;
    };
    static const int DefaultSimulationStepMs = 1000;

    EnhancedQuestionSessionPrivate(EnhancedQuestionSession *session, Hub *hub)
        : q(session), hub(hub)
    {
    }

    static EnhancedQuestionSessionPrivate *get(EnhancedQuestionSession *session)
    {
        return session->d.get();
    }

    // The transport's reports (event thread); they find their session
    // through the hub.
    static void getMsgCallback(Hub *hub, quint32 uid, const QByteArray &deviceData, void *);
    static void responseCallback(Hub *hub, quint32 uid, const QByteArray &message, void *);
    void handleRequest(unsigned int uid, const QByteArray &deviceData);
    void handleAnswer(unsigned int uid, const QByteArray &message);

    bool hubInAsyncSession() const;
    void recordHubError(Hub::Error error);

    // Simulation. schedule() starts a step's timer on the event thread
    // unless the simulation has stopped; runStep() is the timer's work.
    void schedule(const SimulationStep &step);
    void runStep(quint64 key);
    // Stops the simulation: no step runs once it returns (a step running on
    // another thread is waited for).
    void stopSimulation();
    // An answer as a handset of that question type would send it.
    static QByteArray simulatedAnswer(int questionType);

    EnhancedQuestionSession *const q;
    Hub *const hub;

    std::mutex mutex;
    QHash<unsigned int, SentQuestion> sentQuestions;
    int sessionValue1 = 0;
    int sessionValue2 = 0;
    bool sessionFlag = false;
    QBitArray sessionBits;
    bool started = false;
    bool defaultsSet = false;
    bool simulation = false;
    bool simulating = false;
    quint64 nextStepKey = 0;
    QHash<quint64, SimulationStep> steps;   // by step key
    QHash<quint64, quint64> stepTimers;     // step key -> event timer id
    // Time between simulation steps; tests shorten it.
    std::atomic<int> simulationStepMs{DefaultSimulationStepMs};

    CallbackSlot<EnhancedQuestionSession::DeviceCallback> getSessionParametersCallback;
    CallbackSlot<EnhancedQuestionSession::QuestionRequestCallback> getQuestionCallback;
    CallbackSlot<EnhancedQuestionSession::DeviceCallback> deviceShutDownCallback;
    CallbackSlot<EnhancedQuestionSession::TextAnswerCallback> multichoiceAnswerCallback;
    CallbackSlot<EnhancedQuestionSession::YesNoAnswerCallback> yesNoAnswerCallback;
    CallbackSlot<EnhancedQuestionSession::TrueFalseAnswerCallback> trueFalseAnswerCallback;
    CallbackSlot<EnhancedQuestionSession::LikertAnswerCallback> likertAnswerCallback;
    CallbackSlot<EnhancedQuestionSession::TextAnswerCallback> numericAnswerCallback;
    CallbackSlot<EnhancedQuestionSession::TextAnswerCallback> textAnswerCallback;
    CallbackSlot<EnhancedQuestionSession::TextAnswerCallback> sortInOrderAnswerCallback;
};

} // namespace Orvexsystem

#endif
