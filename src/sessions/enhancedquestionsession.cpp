// The enhanced question session: messages to the handsets through the hub's
// asynchronous transport, their requests and answers back from it, and the
// simulation that answers locally.

#include <orvexsystem/enhancedquestionsession.h>
#include <orvexsystem/device.h>
#include <orvexsystem/system.h>

#include "hub/hub_p.h"
#include "sessions/enhancedmessages.h"
#include "sessions/enhancedquestionsession_p.h"
#include "system/orvexsystem_p.h"
#include "system/threadcontext.h"

#include <QtCore/QRandomGenerator>
#include <QtCore/QTime>

#include <vector>

namespace Orvexsystem {

namespace Messages = EnhancedMessages;

// ---------------------------------------------------------------------------
// Set-up, start and stop

EnhancedQuestionSession::EnhancedQuestionSession(Hub *hub)
    : QObject(nullptr), d(new EnhancedQuestionSessionPrivate(this, hub))
{
    qRegisterMetaType<YesNoQuestion::Answer>();
    qRegisterMetaType<TrueFalseQuestion::Answer>();
}

EnhancedQuestionSession::~EnhancedQuestionSession()
{
    d->stopSimulation();
}

Hub *EnhancedQuestionSession::getHub() const
{
    return d->hub;
}

void EnhancedQuestionSession::setCallbacks(CallbacksInfo callbacks)
{
    void *const user = callbacks.userData;
    d->getSessionParametersCallback.store(callbacks.getSessionParametersCallback, user);
    d->getQuestionCallback.store(callbacks.getQuestionCallback, user);
    d->deviceShutDownCallback.store(callbacks.deviceShutDownCallback, user);
    d->multichoiceAnswerCallback.store(callbacks.multichoiceAnswerCallback, user);
    d->yesNoAnswerCallback.store(callbacks.yesNoAnswerCallback, user);
    d->trueFalseAnswerCallback.store(callbacks.trueFalseAnswerCallback, user);
    d->likertAnswerCallback.store(callbacks.likertAnswerCallback, user);
    d->numericAnswerCallback.store(callbacks.numericAnswerCallback, user);
    d->textAnswerCallback.store(callbacks.textAnswerCallback, user);
    d->sortInOrderAnswerCallback.store(callbacks.sortInOrderAnswerCallback, user);
}

void EnhancedQuestionSession::setDefaultSessionparameters(int sessionValue1, int sessionValue2,
                                                          bool sessionFlag, QBitArray sessionBits)
{
    if (sessionBits.size() > Messages::MaximumSessionBits) {
        d->recordHubError(Hub::Error_StringTooLong);
        return;
    }
    std::lock_guard<std::mutex> lock(d->mutex);
    d->sessionValue1 = sessionValue1;
    d->sessionValue2 = sessionValue2;
    d->sessionFlag = sessionFlag;
    d->sessionBits = sessionBits;
    d->defaultsSet = true;
}

bool EnhancedQuestionSession::startSession(bool simulation)
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->simulation = simulation;
        // A hub reset closes the transport: the session is then over.
        if (d->started && d->hubInAsyncSession())
            return true;
    }
    if (!d->hub->startAsyncSession(&EnhancedQuestionSessionPrivate::getMsgCallback,
                                   &EnhancedQuestionSessionPrivate::responseCallback, nullptr))
        return false;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->started = true;
        d->simulating = simulation;
    }
    if (simulation) {
        EnhancedQuestionSessionPrivate::SimulationStep start;
        start.kind = EnhancedQuestionSessionPrivate::Step_Start;
        d->schedule(start);
    }
    return true;
}

bool EnhancedQuestionSession::stopSession()
{
    bool started = false;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        started = d->started;
    }
    bool result = false;
    if (started) {
        // A transport that is no longer open (the hub was reset, or its
        // session ended otherwise) leaves nothing to end: the hub may have
        // opened another session since, which is not this one to end.
        result = d->hubInAsyncSession() ? d->hub->stopSession() : true;
        std::lock_guard<std::mutex> lock(d->mutex);
        d->started = !result;
    }
    d->stopSimulation();
    return result;
}

bool EnhancedQuestionSessionPrivate::hubInAsyncSession() const
{
    return HubPrivate::get(hub)->inAsyncSession();
}

void EnhancedQuestionSessionPrivate::recordHubError(Hub::Error error)
{
    HubPrivate::get(hub)->lastError.store(error);
}

// ---------------------------------------------------------------------------
// Sending

bool EnhancedQuestionSession::sendSessionParameters(unsigned int uid, int sessionValue1,
                                                    int sessionValue2, bool sessionFlag,
                                                    const QBitArray &sessionBits)
{
    if (sessionBits.size() > Messages::MaximumSessionBits) {
        d->recordHubError(Hub::Error_StringTooLong);
        return false;
    }
    return d->hub->asyncSendMsg(
        uid, Messages::sessionParameters(sessionValue1, sessionValue2, sessionFlag, sessionBits));
}

namespace {

// The kind-specific part of a question's message.
struct QuestionParts
{
    quint8 option = 0;
    QString answer;
    int displayOption = 0;
};

template <class ChoiceQuestion>
bool choiceParts(Hub *hub, const ChoiceQuestion &choice, QuestionParts *parts)
{
    if (!hub->isValidNumberOfOptions(choice.numberOfOptions)
        || !hub->isValidNumberOfResponses(choice.numberOfResponses)
        || choice.numberOfResponses > choice.numberOfOptions)
        return false;
    parts->option = Messages::multichoiceOptionByte(choice.numberOfOptions,
                                                    choice.numberOfResponses, choice.displayOption);
    parts->answer = choice.answer;
    parts->displayOption = int(choice.displayOption);
    return true;
}

template <class SizedQuestion>
bool sizedParts(Hub *hub, const SizedQuestion &sized, QuestionParts *parts)
{
    if (!hub->isValidMaxResponseSize(sized.maxResponseSize))
        return false;
    parts->option = quint8(sized.maxResponseSize & 0xFF);
    parts->answer = sized.answer;
    return true;
}

// Calls fill with the question as the class its kind names; *readable is
// false when it is not of that class.
template <class Question, class Fill>
bool as(const EnhancedQuestion *question, bool *readable, Fill fill)
{
    const auto *typed = dynamic_cast<const Question *>(question);
    *readable = typed != nullptr;
    return typed && fill(*typed);
}

// The question's parts, checked against the hub's limits (which record
// their own errors); false when it cannot be sent.
bool questionParts(Hub *hub, const EnhancedQuestion *question, QuestionParts *parts,
                   bool *readable)
{
    *readable = false;
    switch (question->type()) {
    case Messages::Type_Multichoice:
        return as<MultichoiceQuestion>(question, readable, [&](const MultichoiceQuestion &q) {
            return choiceParts(hub, q, parts);
        });
    case Messages::Type_SortInOrder:
        return as<SortInOrderQuestion>(question, readable, [&](const SortInOrderQuestion &q) {
            return choiceParts(hub, q, parts);
        });
    case Messages::Type_YesNo:
        return as<YesNoQuestion>(question, readable, [&](const YesNoQuestion &q) {
            parts->option = Messages::singleChoiceOptionByte(q.option);
            parts->answer = Messages::yesNoAnswerText(q.answer);
            return true;
        });
    case Messages::Type_TrueFalse:
        return as<TrueFalseQuestion>(question, readable, [&](const TrueFalseQuestion &q) {
            parts->option = Messages::singleChoiceOptionByte(q.option);
            parts->answer = Messages::trueFalseAnswerText(q.answer);
            return true;
        });
    case Messages::Type_Likert:
        return as<LikertQuestion>(question, readable, [&](const LikertQuestion &q) {
            if (!hub->isValidLikertScaleValue(q.scaleValue))
                return false;
            parts->option = quint8(q.scaleValue);
            parts->answer = q.answer != 0 ? QString::number(q.answer) : QString();
            return true;
        });
    case Messages::Type_Numeric:
        return as<NumericQuestion>(question, readable, [&](const NumericQuestion &q) {
            return sizedParts(hub, q, parts);
        });
    case Messages::Type_Text:
        return as<TextQuestion>(question, readable, [&](const TextQuestion &q) {
            return sizedParts(hub, q, parts);
        });
    default:
        return false;
    }
}

} // namespace

bool EnhancedQuestionSession::sendQuestion(unsigned int uid, const EnhancedQuestion *question)
{
    QuestionParts parts;
    bool readable = false;
    if (!question || !questionParts(d->hub, question, &parts, &readable)) {
        // A question the handsets could not read is not sent as if it were
        // one; range errors are the hub's own.
        if (!readable)
            d->recordHubError(Hub::Error_Failed);
        return false;
    }
    const int type = question->type();
    const QByteArray message =
        Messages::question(quint8(type), question->questionNumber, question->text,
                           question->firstFlag, question->secondFlag, question->thirdFlag,
                           parts.answer, parts.option);
    EnhancedQuestionSessionPrivate::SentQuestion sent;
    sent.type = type;
    sent.questionNumber = quint16(question->questionNumber & 0xFFFF);
    sent.displayOption = parts.displayOption;
    bool simulation = false;
    {
        // In place before the message leaves: the answer may come at once.
        std::lock_guard<std::mutex> lock(d->mutex);
        d->sentQuestions.insert(uid, sent);
        simulation = d->simulation;
    }
    if (simulation) {
        EnhancedQuestionSessionPrivate::SimulationStep answer;
        answer.uid = uid;
        answer.kind = EnhancedQuestionSessionPrivate::Step_Answer;
        answer.questionType = type;
        d->schedule(answer);
        return true;
    }
    return d->hub->asyncSendMsg(uid, message);
}

bool EnhancedQuestionSession::sendMessage(unsigned int uid, bool flag, const QString &text)
{
    return d->hub->asyncSendMsg(uid, Messages::text(flag, text));
}

bool EnhancedQuestionSession::sendPopUpMessage(unsigned int uid, bool flag, const QString &text)
{
    return d->hub->asyncSendMsg(uid, Messages::popUp(flag, text));
}

bool EnhancedQuestionSession::sendNoMoreQuestionsNotification(unsigned int uid,
                                                              const QString &text)
{
    return d->hub->asyncSendMsg(uid, Messages::noMoreQuestions(text));
}

// ---------------------------------------------------------------------------
// Requests and answers (event thread)

void EnhancedQuestionSessionPrivate::getMsgCallback(Hub *hub, quint32 uid,
                                                    const QByteArray &deviceData, void *)
{
    if (EnhancedQuestionSession *session = hub ? hub->enhancedQuestionSession() : nullptr)
        get(session)->handleRequest(uid, deviceData);
}

void EnhancedQuestionSessionPrivate::responseCallback(Hub *hub, quint32 uid,
                                                      const QByteArray &message, void *)
{
    if (EnhancedQuestionSession *session = hub ? hub->enhancedQuestionSession() : nullptr)
        get(session)->handleAnswer(uid, message);
}

void EnhancedQuestionSessionPrivate::handleRequest(unsigned int uid, const QByteArray &deviceData)
{
    const Messages::Request request = Messages::parseRequest(deviceData);
    switch (request.kind) {
    case Messages::Request_ShutDown: {
        const auto slot = deviceShutDownCallback.load();
        if (slot.function)
            slot.function(q, uid, slot.context);
        else
            Q_EMIT q->deviceShutDown(q, uid);
        break;
    }
    case Messages::Request_SessionParameters: {
        int value1 = 0, value2 = 0;
        bool flag = false, defaults = false;
        QBitArray bits;
        {
            std::lock_guard<std::mutex> lock(mutex);
            defaults = defaultsSet;
            value1 = sessionValue1;
            value2 = sessionValue2;
            flag = sessionFlag;
            bits = sessionBits;
        }
        if (defaults) {
            q->sendSessionParameters(uid, value1, value2, flag, bits);
            break;
        }
        const auto slot = getSessionParametersCallback.load();
        if (slot.function)
            slot.function(q, uid, slot.context);
        else
            Q_EMIT q->getSessionParameters(q, uid);
        break;
    }
    case Messages::Request_Question: {
        const auto slot = getQuestionCallback.load();
        if (slot.function)
            slot.function(q, uid, request.questionNumber, slot.context);
        else
            Q_EMIT q->getQuestion(q, uid, request.questionNumber);
        break;
    }
    default:
        break;
    }
}

namespace {

template <class Callback, class Signal, class Value>
void report(const CallbackSlot<Callback> &slot, EnhancedQuestionSession *session, Signal signal,
            unsigned int uid, int number, const Value &value)
{
    const auto callback = slot.load();
    if (callback.function)
        callback.function(session, uid, number, value, callback.context);
    else
        Q_EMIT(session->*signal)(session, uid, number, value);
}

} // namespace

void EnhancedQuestionSessionPrivate::handleAnswer(unsigned int uid, const QByteArray &message)
{
    SentQuestion sent;
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = sentQuestions.constFind(uid);
        if (it == sentQuestions.cend())
            return;
        sent = *it;
    }
    const int number = sent.questionNumber;
    using S = EnhancedQuestionSession;
    switch (sent.type) {
    case Messages::Type_Multichoice:
        report(multichoiceAnswerCallback, q, &S::multichoiceAnswer, uid, number,
               Messages::multichoiceAnswer(message, sent.displayOption));
        break;
    case Messages::Type_YesNo:
        report(yesNoAnswerCallback, q, &S::yesNoAnswer, uid, number,
               Messages::yesNoAnswer(message));
        break;
    case Messages::Type_TrueFalse:
        report(trueFalseAnswerCallback, q, &S::trueFalseAnswer, uid, number,
               Messages::trueFalseAnswer(message));
        break;
    case Messages::Type_Likert:
        report(likertAnswerCallback, q, &S::likertAnswer, uid, number,
               Messages::likertAnswer(message));
        break;
    case Messages::Type_Numeric:
        report(numericAnswerCallback, q, &S::numericAnswer, uid, number,
               Messages::textAnswer(message));
        break;
    case Messages::Type_Text:
        report(textAnswerCallback, q, &S::textAnswer, uid, number, Messages::textAnswer(message));
        break;
    case Messages::Type_SortInOrder:
        report(sortInOrderAnswerCallback, q, &S::sortInOrderAnswer, uid, number,
               Messages::multichoiceAnswer(message, sent.displayOption));
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------
// Simulation: steps timed by the system's event thread

void EnhancedQuestionSessionPrivate::schedule(const SimulationStep &step)
{
    OrvexSystem *system = HubPrivate::get(hub)->system;
    if (!system)
        return;
    std::lock_guard<std::mutex> lock(mutex);
    if (!simulating)
        return;
    const quint64 key = ++nextStepKey;
    steps.insert(key, step);
    // The step cannot run before it is recorded: it takes this lock first.
    const quint64 timer = OrvexSystemPrivate::get(system)->startEventTimer(
        simulationStepMs.load(), [this, key] { runStep(key); });
    if (timer == 0)
        steps.remove(key);
    else
        stepTimers.insert(key, timer);
}

void EnhancedQuestionSessionPrivate::stopSimulation()
{
    std::vector<quint64> timers;
    {
        std::lock_guard<std::mutex> lock(mutex);
        simulating = false;
        for (quint64 timer : std::as_const(stepTimers))
            timers.push_back(timer);
        stepTimers.clear();
        steps.clear();
    }
    OrvexSystem *system = HubPrivate::get(hub)->system;
    if (!system)
        return;
    // Waits for a step that is running now (unless this is its thread).
    for (quint64 timer : timers)
        OrvexSystemPrivate::get(system)->cancelEventTimer(timer);
}

void EnhancedQuestionSessionPrivate::runStep(quint64 key)
{
    SimulationStep step;
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = steps.constFind(key);
        if (it == steps.cend() || !simulating)
            return;
        step = *it;
    }
    switch (step.kind) {
    case Step_Answer: {
        const QByteArray answer = simulatedAnswer(step.questionType);
        if (answer.isEmpty())
            break;
        handleAnswer(step.uid, answer);
        SimulationStep next;
        next.uid = step.uid;
        next.kind = Step_RequestQuestion;
        schedule(next);
        break;
    }
    case Step_RequestQuestion:
        handleRequest(step.uid, QByteArray("\x01\x00", 2));
        break;
    case Step_Start: {
        QList<Device *> handsets;
        hub->getDeviceList(Device::Type_TwoPointFourGHzOrvexexpression, &handsets);
        for (Device *handset : std::as_const(handsets)) {
            SimulationStep request;
            request.uid = handset->uid();
            request.kind = Step_RequestQuestion;
            schedule(request);
        }
        break;
    }
    }
    // Recorded until done, so that stopSimulation() waits for it.
    std::lock_guard<std::mutex> lock(mutex);
    steps.remove(key);
    stepTimers.remove(key);
}

namespace {

// The previous random choice of each group (type 1; types 2 and 3; type 4),
// 0 before the first: a choice does not repeat the previous one.
std::atomic<int> previousChoice[3] = {{0}, {0}, {0}};

int randomChoice(int group, int count)
{
    QRandomGenerator generator(quint32(QTime::currentTime().msecsSinceStartOfDay() + 1000));
    const int previous = previousChoice[group].load();
    int choice = 0;
    do {
        choice = int(generator.bounded(count));
    } while (previous != 0 && choice == previous);
    previousChoice[group].store(choice);
    return choice;
}

} // namespace

QByteArray EnhancedQuestionSessionPrivate::simulatedAnswer(int questionType)
{
    // Choices end with the two bytes the handsets put after them; a Likert
    // value is one byte, as the handsets send it.
    const QByteArray choiceEnd(2, '\0');
    switch (questionType) {
    case Messages::Type_Multichoice:
        return QByteArray(1, "ABCDEF"[randomChoice(0, 6)]) + choiceEnd;
    case Messages::Type_YesNo:
    case Messages::Type_TrueFalse:
        return QByteArray(1, "AB"[randomChoice(1, 2)]);
    case Messages::Type_Likert:
        return QByteArray(1, char(1 + randomChoice(2, 7)));
    case Messages::Type_Numeric:
        return QByteArrayLiteral("Numeric");
    case Messages::Type_Text:
        return QByteArrayLiteral("Text");
    case Messages::Type_SortInOrder:
        return QByteArrayLiteral("ABCDEF") + choiceEnd;
    default:
        return QByteArray();
    }
}

} // namespace Orvexsystem
