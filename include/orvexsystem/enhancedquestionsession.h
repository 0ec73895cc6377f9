#ifndef ORVEXSYSTEM_ENHANCEDQUESTIONSESSION_H
#define ORVEXSYSTEM_ENHANCEDQUESTIONSESSION_H

#include <orvexsystem/enhancedquestion.h>
#include <orvexsystem/export.h>

#include <QtCore/QBitArray>
#include <QtCore/QObject>
#include <QtCore/QString>

#include <memory>

namespace Orvexsystem {

class Hub;
class EnhancedQuestionSessionPrivate;

// A self-paced question set on the expression handsets of one 2.4 GHz hub.
// Each handset asks for the session parameters, then for questions one by
// one by number; the host answers each request (sendSessionParameters,
// sendQuestion, the message operations) and the handset sends back the
// learner's answer, decoded by the kind of the question last sent to that
// handset. Everything travels as device messages of the hub's asynchronous
// transport (TwoPointFourGHzHub::startAsyncSession).
//
// Use the hub's own session, TwoPointFourGHzHub::enhancedQuestionSession():
// the transport's reports reach that one. Requests and answers go to the
// callbacks of setCallbacks() where set, otherwise to the signals.
//
// Simulation: startSession(true) opens the transport as usual but sends no
// question to the handsets. A second after the start every expression
// handset of the hub asks for question 0; each question sent to it is
// answered a second later with an invented answer in the handsets' own form
// (decoded as theirs are), and a second after that it asks again.
//
// Threads. Requests and answers, real and simulated, are reported on the
// system's event thread (callbacks called, signals emitted there); the
// host's thread needs no Qt event loop for the simulation. Every operation
// may be called from any thread but the driver's, also from a callback of
// this session. Once stopSession() has returned (on a host thread), no
// request or answer of the session is reported any more.
class ORVEXSYSTEM_EXPORT EnhancedQuestionSession : public QObject
{
    Q_OBJECT
public:
    typedef void (*DeviceCallback)(EnhancedQuestionSession *, unsigned int uid, void *userData);
    typedef void (*QuestionRequestCallback)(EnhancedQuestionSession *, unsigned int uid,
                                            int questionNumber, void *userData);
    typedef void (*TextAnswerCallback)(EnhancedQuestionSession *, unsigned int uid,
                                       int questionNumber, const QString &answer,
                                       void *userData);
    typedef void (*YesNoAnswerCallback)(EnhancedQuestionSession *, unsigned int uid,
                                        int questionNumber, YesNoQuestion::Answer,
                                        void *userData);
    typedef void (*TrueFalseAnswerCallback)(EnhancedQuestionSession *, unsigned int uid,
                                            int questionNumber, TrueFalseQuestion::Answer,
                                            void *userData);
    typedef void (*LikertAnswerCallback)(EnhancedQuestionSession *, unsigned int uid,
                                         int questionNumber, int likertValue, void *userData);

    // Each callback may be null (its signal is used); userData is passed
    // back to every one.
    struct CallbacksInfo
    {
        DeviceCallback getSessionParametersCallback = nullptr;
        QuestionRequestCallback getQuestionCallback = nullptr;
        DeviceCallback deviceShutDownCallback = nullptr;
        TextAnswerCallback multichoiceAnswerCallback = nullptr;
        YesNoAnswerCallback yesNoAnswerCallback = nullptr;
        TrueFalseAnswerCallback trueFalseAnswerCallback = nullptr;
        LikertAnswerCallback likertAnswerCallback = nullptr;
        TextAnswerCallback numericAnswerCallback = nullptr;
        TextAnswerCallback textAnswerCallback = nullptr;
        TextAnswerCallback sortInOrderAnswerCallback = nullptr;
        void *userData = nullptr;
    };

    explicit EnhancedQuestionSession(Hub *hub);
    ~EnhancedQuestionSession() override;

    Hub *getHub() const;

    // Replaces every callback and the user pointer.
    void setCallbacks(CallbacksInfo callbacks);
    // Parameters sent at once to every handset that asks for them, without
    // a report to the host. A bit array of more than 256 bits does not fit
    // the message: it is refused and the earlier defaults stay.
    void setDefaultSessionparameters(int sessionValue1, int sessionValue2, bool sessionFlag,
                                     QBitArray sessionBits);

    // Opens the hub's asynchronous transport (the hub's error stands when it
    // cannot). True at once while the session runs.
    bool startSession(bool simulation);
    // Ends the hub's session; false, the session going on, when the hub does
    // not confirm. False when not started. The questions sent are kept.
    bool stopSession();

    // Each returns whether the hub took the message for the handset (see
    // TwoPointFourGHzHub::asyncSendMsg): false outside the session, for an
    // unknown uid, for a message that cannot be sent, or without the hub's
    // confirmation. Values are sent as their low byte.
    // More than 256 session bits: false, Error_StringTooLong on the hub.
    bool sendSessionParameters(unsigned int uid, int sessionValue1, int sessionValue2,
                               bool sessionFlag, const QBitArray &sessionBits);
    // The handset's answer to it is decoded by its kind. False without
    // sending for: a null question, a kind other than 1-7 or an object that
    // is not of the class its kind names (Error_Failed on the hub), options
    // or responses outside 1-6, a Likert scale outside 4-9, an answer size
    // outside 0-255 (the hub's range errors), more responses than options.
    bool sendQuestion(unsigned int uid, const EnhancedQuestion *question);
    bool sendMessage(unsigned int uid, bool flag, const QString &text);
    bool sendPopUpMessage(unsigned int uid, bool flag, const QString &text);
    bool sendNoMoreQuestionsNotification(unsigned int uid, const QString &text);

Q_SIGNALS:
    void getSessionParameters(Orvexsystem::EnhancedQuestionSession *pEnhancedSession, quint32 uid);
    void getQuestion(Orvexsystem::EnhancedQuestionSession *pEnhancedSession, quint32 uid,
                     int questionNumber);
    void multichoiceAnswer(Orvexsystem::EnhancedQuestionSession *pEnhancedSession, quint32 uid,
                           int questionNumber, QString answer);
    void yesNoAnswer(Orvexsystem::EnhancedQuestionSession *pEnhancedSession, quint32 uid,
                     int questionNumber, Orvexsystem::YesNoQuestion::Answer answer);
    void trueFalseAnswer(Orvexsystem::EnhancedQuestionSession *pEnhancedSession, quint32 uid,
                         int questionNumber, Orvexsystem::TrueFalseQuestion::Answer answer);
    void likertAnswer(Orvexsystem::EnhancedQuestionSession *pEnhancedSession, quint32 uid,
                      int questionNumber, int likertValue);
    void numericAnswer(Orvexsystem::EnhancedQuestionSession *pEnhancedSession, quint32 uid,
                       int questionNumber, QString answer);
    void textAnswer(Orvexsystem::EnhancedQuestionSession *pEnhancedSession, quint32 uid,
                    int questionNumber, QString answer);
    void sortInOrderAnswer(Orvexsystem::EnhancedQuestionSession *pEnhancedSession, quint32 uid,
                           int questionNumber, QString answer);
    void deviceShutDown(Orvexsystem::EnhancedQuestionSession *pEnhancedSession, quint32 uid);

private:
    friend class EnhancedQuestionSessionPrivate;
    std::unique_ptr<EnhancedQuestionSessionPrivate> d;
};

} // namespace Orvexsystem

#endif
