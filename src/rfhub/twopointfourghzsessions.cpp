// The 2.4 GHz hub's sessions: registration, naming, question sessions and
// end-user naming, and the reports they bring on the packet thread.
//
// Shared between threads: the session state (Hub), the current question
// session, the naming callbacks. Host threads change them under the session
// turn; the packet thread (and the event thread, for timed-out answers) reads
// them inside the delivery gate, so that an end of session can wait until no
// report of the ended session is still on its way to the host.

#include <orvexsystem/system.h>
#include <orvexsystem/twopointfourghzhub.h>

#include "rfhub/answerdecoders.h"
#include "rfhub/sessioncommands.h"
#include "rfhub/twopointfourghzhub_p.h"
#include "system/orvexsystem_p.h"
#include "system/threadcontext.h"

namespace Orvexsystem {

namespace Commands = SessionCommands;

// ---------------------------------------------------------------------------
// Session turn, retiring and freeing question sessions

TwoPointFourGHzHubPrivate::SessionTurn::SessionTurn(TwoPointFourGHzHubPrivate *d)
    : m_mutex(d->sessionMutex)
{
    // Nor does the event thread wait: a host thread that ends a session may
    // hold the turn while it waits for the event thread's report to finish.
    if (ThreadContext::inDriverCallback() || ThreadContext::onEventThread()) {
        m_held = m_mutex.try_lock();
        if (!m_held)
            d->q->recordError(Hub::Error_Busy);
    } else {
        m_mutex.lock();
        m_held = true;
    }
}

TwoPointFourGHzHubPrivate::SessionTurn::~SessionTurn()
{
    if (m_held)
        m_mutex.unlock();
}

void TwoPointFourGHzHubPrivate::waitForDeliveries()
{
    // The driver's thread delivers the reports itself; a host callback on it
    // that ends a session is not kept waiting for the event thread.
    if (!ThreadContext::inDriverCallback())
        deliveries.waitForDeliveries();
}

void TwoPointFourGHzHubPrivate::retire(QuestionSession *session)
{
    if (!session)
        return;
    std::lock_guard<std::mutex> lock(retiredMutex);
    retired.push_back(session);
}

void TwoPointFourGHzHubPrivate::freeRetired()
{
    std::vector<QuestionSession *> doomed;
    {
        std::lock_guard<std::mutex> lock(retiredMutex);
        doomed.swap(retired);
    }
    if (doomed.empty())
        return;
    deliveries.waitForDeliveries();
    for (QuestionSession *session : doomed)
        delete session;
}

void TwoPointFourGHzHubPrivate::reclaimRetired()
{
    if (!ThreadContext::inDriverCallback() && !ThreadContext::onEventThread()) {
        freeRetired();
        return;
    }
    // The driver's thread must not wait for deliveries, and the event thread
    // may be inside a delivery of the session being freed: a task of the
    // event thread frees it afterwards. Without a running system it waits
    // for the next host-side end or the hub's destruction.
    OrvexSystem *system = q->orvexSystem();
    std::lock_guard<std::mutex> lock(retiredMutex);
    if (reclaimTask != 0 || retired.empty() || !system)
        return;
    reclaimTask = OrvexSystemPrivate::get(system)->startEventTimer(0, [this] {
        // The task stays registered until nothing is left, so that the hub's
        // destruction waits for it.
        for (;;) {
            std::vector<QuestionSession *> doomed;
            {
                std::lock_guard<std::mutex> lock(retiredMutex);
                if (retired.empty()) {
                    reclaimTask = 0;
                    return;
                }
                doomed.swap(retired);
            }
            deliveries.waitForDeliveries();
            for (QuestionSession *session : doomed)
                delete session;
        }
    });
}

void TwoPointFourGHzHubPrivate::endQuestionSession()
{
    retire(question.exchange(nullptr));
    waitForDeliveries();
    reclaimRetired();
}

void TwoPointFourGHzHubPrivate::destroySessions()
{
    quint64 task = 0;
    {
        std::lock_guard<std::mutex> lock(retiredMutex);
        task = reclaimTask;
    }
    if (task != 0 && q->orvexSystem())
        OrvexSystemPrivate::get(q->orvexSystem())->cancelEventTimer(task);
    retire(question.exchange(nullptr));
    std::lock_guard<std::mutex> lock(retiredMutex);
    for (QuestionSession *session : retired)
        delete session;
    retired.clear();
    reclaimTask = 0;
}

// ---------------------------------------------------------------------------
// Registration

bool TwoPointFourGHzHubPrivate::startRegistration(SessionState target, const QByteArray &command)
{
    SessionTurn turn(this);
    if (!turn.held() || q->sessionState() != TwoPointFourGHzHub::Session_None)
        return false;
    if (q->state() != TwoPointFourGHzHub::State_Idle)
        return false;
    // In place before the command leaves: the first report may come at once.
    q->setSessionState(target);
    if (q->send(command))
        return true;
    q->setSessionState(TwoPointFourGHzHub::Session_None);
    return false;
}

bool TwoPointFourGHzHubPrivate::endSessionAndReread(const char *command,
                                                    std::initializer_list<ListKind> reread)
{
    if (!q->isConnected()) {
        q->recordError(Hub::Error_NotConnected);
        return false;
    }
    if (!HubPrivate::get(q)->mayExchange(q))
        return false;
    std::lock_guard<std::mutex> turn(exchangeMutex());
    OKResponse reply;
    if (!q->sendAndWaitLocked(q->responseHandler<OKResponse>(), QByteArray(command), reply,
                              Hub::m_nFlashWriteResponseMaximumWaitTime)) {
        q->recordError(Hub::Error_CommsFailure);
        return false;
    }
    // The session is over before the lists are read again: read during a
    // registration, each listed device would be announced as registered.
    q->setSessionState(TwoPointFourGHzHub::Session_None);
    for (ListKind kind : reread)
        rereadLocked(kind);
    return true;
}

bool TwoPointFourGHzHubPrivate::stopRegistration(SessionState expected,
                                                 std::initializer_list<ListKind> reread,
                                                 bool expression)
{
    SessionTurn turn(this);
    if (!turn.held())
        return false;
    const SessionState current = q->sessionState();
    if (current == TwoPointFourGHzHub::Session_None)
        return true;
    if (current != expected)
        return false;
    const bool ended = endSessionAndReread(Commands::EndSession, reread);
    if (expression)
        q->asEndExpressionRegSession();
    q->setSessionState(TwoPointFourGHzHub::Session_None);
    return ended;
}

bool TwoPointFourGHzHub::startVoteRegistrationSession(unsigned short value1,
                                                      unsigned char value2,
                                                      unsigned char value3, RegistrationCode code)
{
    return d->startRegistration(Session_VoteRegistration,
                                Commands::registration(":VR", value1, value2, value3, code));
}

bool TwoPointFourGHzHub::startSlateRegistrationSession(unsigned short value1,
                                                       unsigned char value2,
                                                       unsigned char value3,
                                                       RegistrationCode code)
{
    return d->startRegistration(Session_SlateRegistration,
                                Commands::registration(":SR", value1, value2, value3, code));
}

bool TwoPointFourGHzHub::startExpressionRegistrationSession(unsigned short value1,
                                                            unsigned char value2,
                                                            unsigned char value3,
                                                            RegistrationCode code)
{
    return d->startRegistration(
        Session_ExpressionRegistration,
        Commands::expressionRegistration(value1, value2, value3, code, 0x00));
}

bool TwoPointFourGHzHub::startNamingExpressionRegistrationSession(
    unsigned short value1, unsigned char value2, unsigned char value3, RegistrationCode code,
    CharacterType type, bool flag, unsigned char value)
{
    return d->startRegistration(
        Session_ExpressionRegistration,
        Commands::expressionRegistration(value1, value2, value3, code,
                                         Commands::namingByte(type, flag, value)));
}

bool TwoPointFourGHzHub::stopVoteRegistrationSession()
{
    return d->stopRegistration(Session_VoteRegistration, {DeviceRegistry::VoteList}, false);
}

bool TwoPointFourGHzHub::stopSlateRegistrationSession()
{
    return d->stopRegistration(Session_SlateRegistration, {DeviceRegistry::SlateList}, false);
}

bool TwoPointFourGHzHub::stopExpressionRegistrationSession()
{
    return d->stopRegistration(Session_ExpressionRegistration,
                               {DeviceRegistry::ExpressionList, DeviceRegistry::PenExpressionList},
                               true);
}

void TwoPointFourGHzHub::asEndExpressionRegSession() {}

// ---------------------------------------------------------------------------
// Naming

bool TwoPointFourGHzHub::startExpressionNamingSession()
{
    TwoPointFourGHzHubPrivate::SessionTurn turn(d.get());
    if (!turn.held() || sessionState() != Session_None)
        return false;
    if (!hubPrivate()->mayExchange(this))
        return false;
    // Open from now on, whether or not the hub confirms.
    setSessionState(Session_ExpressionNaming);
    OKResponse reply;
    if (!sendAndWait(QByteArray(Commands::OpenExpressionNaming), reply, responseWaitTime())) {
        recordError(Error_CommsFailure);
        return false;
    }
    return true;
}

bool TwoPointFourGHzHub::startOrvexvoteNamingSession()
{
    TwoPointFourGHzHubPrivate::SessionTurn turn(d.get());
    if (!turn.held())
        return false;
    if (sessionState() != Session_None) {
        recordError(Error_Busy);
        return false;
    }
    setSessionState(Session_OrvexvoteNaming);
    if (send(QByteArray(Commands::OpenVoteNaming)))
        return true;
    setSessionState(Session_None);
    return false;
}

bool TwoPointFourGHzHubPrivate::stopNaming(SessionState expected,
                                           std::initializer_list<ListKind> reread)
{
    SessionTurn turn(this);
    if (!turn.held())
        return false;
    const SessionState current = q->sessionState();
    if (current == TwoPointFourGHzHub::Session_None)
        return true;
    if (current != expected)
        return false;
    q->setSessionState(TwoPointFourGHzHub::Session_None);
    const bool ended = endSessionAndReread(Commands::EndSession, reread);
    if (expected == TwoPointFourGHzHub::Session_ExpressionNaming) {
        expressionNamedCallback.clear();
        waitForDeliveries();
    }
    return ended;
}

bool TwoPointFourGHzHub::stopExpressionNamingSession()
{
    return d->stopNaming(Session_ExpressionNaming,
                         {DeviceRegistry::ExpressionList, DeviceRegistry::PenExpressionList});
}

bool TwoPointFourGHzHub::stopOrvexvoteNamingSession()
{
    return d->stopNaming(Session_OrvexvoteNaming, {DeviceRegistry::VoteList});
}

bool TwoPointFourGHzHub::stopSlateNamingSession()
{
    return d->stopNaming(Session_SlateNaming, {DeviceRegistry::SlateList});
}

bool TwoPointFourGHzHub::nameExpression(unsigned int uid, const QString &name,
                                        ExpressionNameReceivedResponse *reply)
{
    const SessionState current = sessionState();
    if (current != Session_None && current != Session_ExpressionNaming)
        return false;
    QByteArray hexId;
    unsigned short address = 0;
    if (!d->registry.findDevice(DeviceRegistry::ExpressionList, uid, &hexId, &address))
        return false;
    if (state() != State_Idle)
        return false;
    // The address as the last four characters of the device's identity.
    const QByteArray tail = QByteArray::fromHex(hexId.right(4).toUpper());
    if (tail.size() == 2)
        address = quint16(quint8(tail.at(0)) << 8 | quint8(tail.at(1)));
    ExpressionNameReceivedResponse received;
    if (!sendAndWait(Commands::nameExpression(address, name), received, responseWaitTime())) {
        recordError(Error_CommsFailure);
        return false;
    }
    if (reply)
        *reply = received;
    return true;
}

bool TwoPointFourGHzHubPrivate::nameDevice(ListKind kind, SessionState namingState,
                                           const char *code, int width, unsigned int uid,
                                           const QString &name)
{
    SessionTurn turn(this);
    if (!turn.held())
        return false;
    const SessionState current = q->sessionState();
    if (current != TwoPointFourGHzHub::Session_None && current != namingState)
        return false;
    QByteArray hexId;
    if (!registry.findDevice(kind, uid, &hexId, nullptr))
        return false;
    q->setSessionState(namingState);
    if (q->send(Commands::nameDevice(code, hexId, name, width)))
        return true;
    q->setSessionState(current);
    return false;
}

bool TwoPointFourGHzHub::nameOrvexvote(unsigned int uid, const QString &name)
{
    return d->nameDevice(DeviceRegistry::VoteList, Session_OrvexvoteNaming, ":VN",
                         Commands::NameVoteLength, uid, name);
}

bool TwoPointFourGHzHub::nameSlate(unsigned int uid, const QString &name)
{
    return d->nameDevice(DeviceRegistry::SlateList, Session_SlateNaming, ":NS",
                         Commands::NameSlateLength, uid, name);
}

void TwoPointFourGHzHub::setExpressionDeviceNamedCallback(DeviceNamedCallback callback,
                                                          void *userData)
{
    d->expressionNamedCallback.store(callback, userData);
}

void TwoPointFourGHzHub::setVoteDeviceNamedCallback(DeviceNamedCallback callback, void *userData)
{
    d->voteNamedCallback.store(callback, userData);
}

bool TwoPointFourGHzHub::processPinNamingSessionResponse(const QByteArray &packet, quint32 &uid,
                                                         QString &response)
{
    if (!TwoPointFourGHzPinNamingResponse::isValid(packet))
        return false;
    const TwoPointFourGHzPinNamingResponse report(packet);
    response = report.text();
    uid = report.uid();
    return true;
}

// ---------------------------------------------------------------------------
// Question sessions

bool TwoPointFourGHzHubPrivate::checkQuestionStart(int questionId)
{
    if (!q->isConnected()) {
        q->recordError(Hub::Error_NotConnected);
        return false;
    }
    if (questionId < 1) {
        q->recordError(Hub::Error_BadQuestionId);
        return false;
    }
    return true;
}

bool TwoPointFourGHzHubPrivate::checkQuestionText(const QString &text, QByteArray *utf8)
{
    *utf8 = text.toUtf8();
    if (utf8->size() > Commands::MaximumQuestionTextLength) {
        q->recordError(Hub::Error_StringTooLong);
        return false;
    }
    return true;
}

bool TwoPointFourGHzHubPrivate::startQuestion(const QuestionStart &start)
{
    SessionTurn turn(this);
    if (!turn.held())
        return false;
    const SessionState previousState = q->sessionState();
    if (start.state != TwoPointFourGHzHub::Session_ExpressionEndUserNaming
        && previousState != TwoPointFourGHzHub::Session_None) {
        q->recordError(Hub::Error_CannotStartSessionBecauseCurrentlyInSession);
        return false;
    }
    auto *session = new QuestionSession;
    session->state = start.state;
    session->questionId = start.questionId;
    session->display = start.display;
    session->callback = start.callback;
    session->context = start.context;
    if (start.state == TwoPointFourGHzHub::Session_Numeric
        || start.state == TwoPointFourGHzHub::Session_Text) {
        session->collector = std::make_unique<SessionBufferCollector>(
            q->orvexSystem(),
            [this, session](const SessionBufferCollector::Answer &answer) {
                deliverExpiredAnswer(session, answer);
            },
            answerCompletionTimeMs.load());
    }
    const QByteArray command =
        Commands::question(q->generateEntityId(), start.time,
                           Commands::QuestionKind(start.kind), start.option, start.withText,
                           start.text);
    // In place before the command leaves: the first answer may come at once.
    QuestionSession *previous = question.exchange(session);
    q->setSessionState(start.state);
    if (!q->send(command)) {
        q->setSessionState(previousState);
        retire(question.exchange(previous));
        reclaimRetired();
        return false;
    }
    // End-user naming may replace a running session.
    retire(previous);
    reclaimRetired();
    return true;
}

bool TwoPointFourGHzHub::startMultichoiceSession(int questionId, int options, int responses,
                                                 DisplayOption display, TimeUnit unit,
                                                 int duration, TextResponseCallback callback,
                                                 void *userData)
{
    if (!d->checkQuestionStart(questionId) || !isValidNumberOfOptions(options)
        || !isValidNumberOfResponses(responses))
        return false;
    if (responses > options) {
        recordError(Error_NumOfResponsesExceedsNumOfOptions);
        return false;
    }
    return d->startQuestion({Session_Multichoice, Commands::Kind_Multichoice, questionId,
                             Commands::timeByte(duration, unit),
                             Commands::choiceOptionByte(options, responses, display), false,
                             QByteArray(), display,
                             reinterpret_cast<QuestionSession::AnyCallback>(callback), userData});
}

bool TwoPointFourGHzHub::startSortInOrderSession(int questionId, int options, int responses,
                                                 DisplayOption display, TimeUnit unit,
                                                 int duration, TextResponseCallback callback,
                                                 void *userData)
{
    if (!d->checkQuestionStart(questionId) || !isValidNumberOfOptions(options)
        || !isValidNumberOfResponses(responses))
        return false;
    if (responses > options) {
        recordError(Error_NumOfResponsesExceedsNumOfOptions);
        return false;
    }
    return d->startQuestion({Session_SortInOrder, Commands::Kind_SortInOrder, questionId,
                             Commands::timeByte(duration, unit),
                             Commands::choiceOptionByte(options, responses, display), false,
                             QByteArray(), display,
                             reinterpret_cast<QuestionSession::AnyCallback>(callback), userData});
}

bool TwoPointFourGHzHub::startYesNoSession(int questionId, bool flag, TimeUnit unit,
                                           int duration, YesNoCallback callback, void *userData)
{
    if (!d->checkQuestionStart(questionId))
        return false;
    return d->startQuestion({Session_YesNo, Commands::Kind_YesNo, questionId,
                             Commands::timeByte(duration, unit), quint8(flag ? 1 : 0), false,
                             QByteArray(), DisplayOption_Numeric,
                             reinterpret_cast<QuestionSession::AnyCallback>(callback), userData});
}

bool TwoPointFourGHzHub::startTrueFalseSession(int questionId, bool flag, TimeUnit unit,
                                               int duration, TrueFalseCallback callback,
                                               void *userData)
{
    if (!d->checkQuestionStart(questionId))
        return false;
    return d->startQuestion({Session_TrueFalse, Commands::Kind_TrueFalse, questionId,
                             Commands::timeByte(duration, unit), quint8(flag ? 1 : 0), false,
                             QByteArray(), DisplayOption_Numeric,
                             reinterpret_cast<QuestionSession::AnyCallback>(callback), userData});
}

bool TwoPointFourGHzHub::startLikertSession(int questionId, int scale, TimeUnit unit,
                                            int duration, LikertCallback callback, void *userData)
{
    if (!d->checkQuestionStart(questionId) || !isValidLikertScaleValue(scale))
        return false;
    return d->startQuestion({Session_Likert, Commands::Kind_Likert, questionId,
                             Commands::timeByte(duration, unit), quint8(scale), false,
                             QByteArray(), DisplayOption_Numeric,
                             reinterpret_cast<QuestionSession::AnyCallback>(callback), userData});
}

bool TwoPointFourGHzHub::startNumericSession(int questionId, const QString &text, int maxSize,
                                             TimeUnit unit, int duration,
                                             TextResponseCallback callback, void *userData)
{
    QByteArray utf8;
    if (!d->checkQuestionStart(questionId) || !isValidMaxResponseSize(maxSize)
        || !d->checkQuestionText(text, &utf8))
        return false;
    return d->startQuestion({Session_Numeric, Commands::Kind_Numeric, questionId,
                             Commands::timeByte(duration, unit), quint8(maxSize), true, utf8,
                             DisplayOption_Numeric,
                             reinterpret_cast<QuestionSession::AnyCallback>(callback), userData});
}

bool TwoPointFourGHzHub::startTextSession(int questionId, const QString &text, int maxSize,
                                          TimeUnit unit, int duration,
                                          TextResponseCallback callback, void *userData)
{
    QByteArray utf8;
    if (!d->checkQuestionStart(questionId) || !isValidMaxResponseSize(maxSize)
        || !d->checkQuestionText(text, &utf8))
        return false;
    return d->startQuestion({Session_Text, Commands::Kind_Text, questionId,
                             Commands::timeByte(duration, unit), quint8(maxSize), true, utf8,
                             DisplayOption_Numeric,
                             reinterpret_cast<QuestionSession::AnyCallback>(callback), userData});
}

bool TwoPointFourGHzHub::startMessageSession(int questionId, const QString &text, TimeUnit unit,
                                             int duration, MessageCallback callback,
                                             void *userData)
{
    QByteArray utf8;
    if (!d->checkQuestionStart(questionId) || !d->checkQuestionText(text, &utf8))
        return false;
    return d->startQuestion({Session_Message, Commands::Kind_Message, questionId,
                             Commands::timeByte(duration, unit), 0, true, utf8,
                             DisplayOption_Numeric,
                             reinterpret_cast<QuestionSession::AnyCallback>(callback), userData});
}

bool TwoPointFourGHzHub::startExpressionEnduserNamingSession(int questionId, CharacterType type,
                                                             int maxLength, bool flag,
                                                             TextResponseCallback callback,
                                                             void *userData)
{
    if (!d->checkQuestionStart(questionId) || !isValidMaxNameLength(maxLength))
        return false;
    return d->startQuestion({Session_ExpressionEndUserNaming, Commands::Kind_EndUserNaming,
                             questionId, 0,
                             Commands::endUserNamingOptionByte(type, flag, maxLength), false,
                             QByteArray(), DisplayOption_Numeric,
                             reinterpret_cast<QuestionSession::AnyCallback>(callback), userData});
}

bool TwoPointFourGHzHub::stopSession()
{
    if (!isConnected()) {
        recordError(Error_NotConnected);
        return false;
    }
    TwoPointFourGHzHubPrivate::SessionTurn turn(d.get());
    if (!turn.held())
        return false;
    const SessionState ending = sessionState();
    if (ending == Session_None)
        return true;
    if (!hubPrivate()->mayExchange(this))
        return false;
    // Answers that come while the hub confirms belong to no session.
    setSessionState(Session_None);
    OKResponse reply;
    if (!sendAndWait(QByteArray(Commands::EndSession), reply,
                     m_nFlashWriteResponseMaximumWaitTime)) {
        // Not ended: the session goes on, collector and callbacks included.
        setSessionState(ending);
        recordError(Error_CommsFailure);
        return false;
    }
    if (ending == Session_Voting)
        setSession(nullptr);
    d->endQuestionSession();
    resetFileId();
    return true;
}

bool TwoPointFourGHzHub::stopExpressionEndUserNamingSession()
{
    TwoPointFourGHzHubPrivate::SessionTurn turn(d.get());
    if (!turn.held())
        return false;
    const SessionState current = sessionState();
    if (current == Session_None)
        return true;
    if (current != Session_ExpressionEndUserNaming)
        return false;
    setSessionState(Session_None);
    OKResponse reply;
    const bool ended = sendAndWait(QByteArray(Commands::EndEndUserNaming), reply,
                                   m_nFlashWriteResponseMaximumWaitTime);
    if (!ended)
        recordError(Error_CommsFailure);
    d->endQuestionSession();
    d->updateList(DeviceRegistry::ExpressionList);
    return ended;
}

// ---------------------------------------------------------------------------
// Message transport file ids

unsigned int TwoPointFourGHzHub::getNextFileId()
{
    unsigned int current = d->fileId.load();
    unsigned int next = 0;
    do {
        next = current >= TwoPointFourGHzHubPrivate::MaximumFileId ? 1 : current + 1;
    } while (!d->fileId.compare_exchange_weak(current, next));
    return next;
}

void TwoPointFourGHzHub::resetFileId()
{
    d->fileId.store(0);
}

// ---------------------------------------------------------------------------
// Reports (packet thread)

void TwoPointFourGHzHubPrivate::deliverByteAnswer(const QuestionSession &session,
                                                  const QByteArray &packet)
{
    const SessionByteResponse answer(packet);
    const quint32 uid = registry.uidAt(answer.address());
    if (uid == 0)
        return;
    const int id = session.questionId;
    switch (session.state) {
    case TwoPointFourGHzHub::Session_YesNo: {
        const Hub::YesNoResponse value = AnswerDecoder::yesNo(answer.answer());
        if (auto callback = session.callbackAs<Hub::YesNoCallback>())
            callback(q, uid, id, value, session.context);
        else
            Q_EMIT q->yesNoSessionResponse(q, uid, id, value);
        break;
    }
    case TwoPointFourGHzHub::Session_TrueFalse: {
        const Hub::TrueFalseResponse value = AnswerDecoder::trueFalse(answer.answer());
        if (auto callback = session.callbackAs<Hub::TrueFalseCallback>())
            callback(q, uid, id, value, session.context);
        else
            Q_EMIT q->trueFalseSessionResponse(q, uid, id, value);
        break;
    }
    case TwoPointFourGHzHub::Session_Likert:
        if (auto callback = session.callbackAs<Hub::LikertCallback>())
            callback(q, uid, id, answer.answer(), session.context);
        else
            Q_EMIT q->likertSessionResponse(q, uid, id, answer.answer());
        break;
    case TwoPointFourGHzHub::Session_Message:
        if (auto callback = session.callbackAs<Hub::MessageCallback>())
            callback(q, uid, id, session.context);
        else
            Q_EMIT q->messageSessionResponse(q, uid, id);
        break;
    default:
        break;
    }
}

void TwoPointFourGHzHubPrivate::deliverChoiceAnswer(const QuestionSession &session,
                                                    const QByteArray &packet)
{
    const SessionSortInOrderResponse answer(packet);
    const quint32 uid = registry.uidAt(answer.address());
    if (uid == 0)
        return;
    const bool multichoice = session.state == TwoPointFourGHzHub::Session_Multichoice;
    const QString text = multichoice ? AnswerDecoder::multichoice(answer.answers(), session.display)
                                     : AnswerDecoder::sortInOrder(answer.answers());
    if (auto callback = session.callbackAs<Hub::TextResponseCallback>())
        callback(q, uid, session.questionId, text, session.context);
    else if (multichoice)
        Q_EMIT q->multichoiceSessionResponse(q, uid, session.questionId, text);
    else
        Q_EMIT q->sortInOrderSessionResponse(q, uid, session.questionId, text);
}

void TwoPointFourGHzHubPrivate::deliverBufferedAnswer(const QuestionSession &session,
                                                      const SessionBufferCollector::Answer &answer)
{
    if (!answer.complete)
        q->recordError(Hub::Error_InCompleteAnswer);
    const quint32 uid = registry.uidAt(answer.address);
    if (uid == 0)
        return;
    const int id = session.questionId;
    auto callback = session.callbackAs<Hub::TextResponseCallback>();
    if (callback)
        callback(q, uid, id, answer.text, session.context);
    else if (session.state == TwoPointFourGHzHub::Session_Numeric)
        Q_EMIT q->numericSessionResponse(q, uid, id, answer.text);
    else
        Q_EMIT q->textSessionResponse(q, uid, id, answer.text);
}

void TwoPointFourGHzHubPrivate::deliverExpiredAnswer(const QuestionSession *session,
                                                     const SessionBufferCollector::Answer &answer)
{
    DeliveryGate::Scope scope(deliveries);
    if (question.load() != session || q->sessionState() != session->state)
        return;
    deliverBufferedAnswer(*session, answer);
}

void TwoPointFourGHzHub::processQuestionAnswerPacket(const QByteArray &packet)
{
    if (!SessionAnswerResponse::isValid(packet))
        return;
    DeliveryGate::Scope scope(d->deliveries);
    const QuestionSession *session = d->question.load();
    // Examined under the state of now: a session that is ending or ended
    // takes no more answers.
    if (!session || session->state != sessionState())
        return;
    switch (session->state) {
    case Session_Multichoice:
    case Session_SortInOrder:
        d->deliverChoiceAnswer(*session, packet);
        break;
    case Session_YesNo:
    case Session_TrueFalse:
    case Session_Likert:
    case Session_Message:
        d->deliverByteAnswer(*session, packet);
        break;
    case Session_Numeric:
    case Session_Text:
        if (session->collector) {
            SessionBufferCollector::Answer answer;
            if (session->collector->addPacket(packet, &answer))
                d->deliverBufferedAnswer(*session, answer);
        }
        break;
    default:
        break;
    }
}

void TwoPointFourGHzHub::processRegistrationReport(SessionState state, const QByteArray &packet)
{
    switch (state) {
    case Session_ExpressionRegistration:
        if (RegisteredExpressionResponse::isValid(packet)) {
            const RegisteredExpressionResponse record(packet);
            d->registry.setOutOfDate(DeviceRegistry::ExpressionList, true);
            d->registry.setOutOfDate(DeviceRegistry::PenExpressionList, true);
            Q_EMIT expressionDeviceRegistered(record.name(), record.uid(), record.subType());
        }
        break;
    case Session_VoteRegistration:
        if (RegisteredVoteResponse::isValid(packet)) {
            const RegisteredVoteResponse record(packet);
            d->registry.setOutOfDate(DeviceRegistry::VoteList, true);
            Q_EMIT voteDeviceRegistered(record.name(), record.uid());
        }
        break;
    case Session_SlateRegistration:
        if (RegisteredSlateResponse::isValid(packet)) {
            const RegisteredSlateResponse record(packet);
            d->registry.setOutOfDate(DeviceRegistry::SlateList, true);
            Q_EMIT slateDeviceRegistered(record.name(), record.uid());
        }
        break;
    default:
        break;
    }
}

void TwoPointFourGHzHub::processNamingReport(SessionState state, const QByteArray &packet)
{
    switch (state) {
    case Session_ExpressionNaming: {
        if (!RegisteredExpressionResponse::isValid(packet))
            return;
        const RegisteredExpressionResponse record(packet);
        DeliveryGate::Scope scope(d->deliveries);
        if (sessionState() != Session_ExpressionNaming)
            return;
        const auto slot = d->expressionNamedCallback.load();
        if (slot.function)
            slot.function(this, record.uid(), record.name(), slot.context);
        else
            Q_EMIT expressionDeviceNamed(record.name(), record.uid());
        break;
    }
    case Session_OrvexvoteNaming: {
        if (!RegisteredVoteResponse::isValid(packet))
            return;
        const RegisteredVoteResponse record(packet);
        DeliveryGate::Scope scope(d->deliveries);
        if (sessionState() != Session_OrvexvoteNaming)
            return;
        const auto slot = d->voteNamedCallback.load();
        if (slot.function)
            slot.function(this, record.uid(), record.name(), slot.context);
        else
            Q_EMIT voteDeviceNamed(record.name(), record.uid());
        break;
    }
    case Session_SlateNaming:
        if (RegisteredSlateResponse::isValid(packet)) {
            const RegisteredSlateResponse record(packet);
            Q_EMIT slateDeviceNamed(record.name(), record.uid());
        }
        break;
    default:
        break;
    }
}

void TwoPointFourGHzHub::processEndUserNamingReport(const QByteArray &packet)
{
    if (!RegisteredExpressionResponse::isValid(packet))
        return;
    const RegisteredExpressionResponse record(packet);
    DeliveryGate::Scope scope(d->deliveries);
    const QuestionSession *session = d->question.load();
    if (!session || session->state != Session_ExpressionEndUserNaming
        || sessionState() != Session_ExpressionEndUserNaming)
        return;
    // A handset the hub object does not know yet is reported with uid 0.
    const quint32 uid = d->registry.uidAt(record.address());
    d->registry.setOutOfDate(DeviceRegistry::ExpressionList, true);
    d->registry.setOutOfDate(DeviceRegistry::PenExpressionList, true);
    if (auto callback = session->callbackAs<TextResponseCallback>())
        callback(this, uid, session->questionId, record.name(), session->context);
    else
        Q_EMIT endUserNamingSessionResponse(this, uid, session->questionId, record.name());
}

} // namespace Orvexsystem
