#ifndef ORVEXSYSTEM_RFHUB_TWOPOINTFOURGHZHUB_P_H
#define ORVEXSYSTEM_RFHUB_TWOPOINTFOURGHZHUB_P_H

#include <orvexsystem/twopointfourghzhub.h>

#include "hub/callbackslot.h"
#include "hub/hub_p.h"
#include "rfhub/deliverygate.h"
#include "rfhub/deviceregistry.h"
#include "rfhub/questionsession.h"
#include "sessions/asyncrequestbuffer.h"
#include "sessions/asyncresponse.h"
#include "sessions/messagereassembly.h"

#include <QtCore/QSet>

#include <atomic>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <vector>

namespace Orvexsystem {

class TwoPointFourGHzHubPrivate
{
public:
    using ListKind = DeviceRegistry::ListKind;
    using SessionState = TwoPointFourGHzHub::SessionState;

    explicit TwoPointFourGHzHubPrivate(TwoPointFourGHzHub *hub) : q(hub) {}

    static TwoPointFourGHzHubPrivate *get(TwoPointFourGHzHub *hub) { return hub->d.get(); }

    // The hub's turn for command exchanges (see Hub).
    std::mutex &exchangeMutex() { return HubPrivate::get(q)->exchangeMutex; }

    // List replies: one record packet per device, then the list terminator.
    // The Locked forms expect the caller to hold exchangeMutex().
    template <class T>
    bool sendAndCollect(const QByteArray &command, QList<T> *records);
    template <class T>
    bool sendAndCollectLocked(const QByteArray &command, QList<T> *records);

    static QByteArray listCommand(ListKind kind);
    // Reads a list from the hub and puts it in place of the held one.
    bool readList(ListKind kind);
    bool readListLocked(ListKind kind);
    bool collectDevices(ListKind kind, QList<Device *> &devices);
    Device *adoptDevice(Device *device);
    // Appends the handsets of the machine-wide virtual-vote file.
    void readVirtualVoteList(QList<Device *> &devices);
    // Reads the list when it is out of date; the flag is cleared either way.
    bool updateList(ListKind kind);
    // Marks the list read now and reads it, under the caller's exchange turn.
    void rereadLocked(ListKind kind);
    bool readPenCount();
    bool removeDevice(ListKind kind, unsigned int uid);
    bool stopRemoveDeviceSession(std::initializer_list<ListKind> reread);
    bool clearRegistrations(const char *command, std::initializer_list<ListKind> reread,
                            OKResponse *reply);

    // --- sessions (twopointfourghzsessions.cpp) ------------------------------
    // The turn of host-side session changes, held for a start or a stop. On
    // the driver's thread a busy turn is not waited for: the holder may be
    // waiting for a reply that this very thread has to deliver. Nor on the
    // event thread: the holder may be waiting for its report to finish.
    class SessionTurn
    {
    public:
        explicit SessionTurn(TwoPointFourGHzHubPrivate *d);
        ~SessionTurn();
        // False when refused (Error_Busy recorded).
        bool held() const { return m_held; }

    private:
        std::mutex &m_mutex;
        bool m_held;
    };

    bool startRegistration(SessionState target, const QByteArray &command);
    bool stopRegistration(SessionState expected, std::initializer_list<ListKind> reread,
                          bool expression);
    // Sends an end command and waits for the hub's store to be written; on
    // success ends the session (Session_None) and then re-reads the lists
    // named, clearing their flags. Failure records Error_CommsFailure.
    bool endSessionAndReread(const char *command, std::initializer_list<ListKind> reread);
    bool nameDevice(ListKind kind, SessionState namingState, const char *code, int width,
                    unsigned int uid, const QString &name);
    bool stopNaming(SessionState expected, std::initializer_list<ListKind> reread);

    struct QuestionStart
    {
        SessionState state;
        int kind;
        int questionId;
        quint8 time;
        quint8 option;
        bool withText;
        QByteArray text;
        DisplayOption display;
        QuestionSession::AnyCallback callback;
        void *context;
    };
    // Connected and a question number of at least 1.
    bool checkQuestionStart(int questionId);
    // Starts the question once the kind's own checks passed.
    bool startQuestion(const QuestionStart &start);
    // Whether a question text fits a block (Error_StringTooLong otherwise).
    bool checkQuestionText(const QString &text, QByteArray *utf8);

    // Packet thread, inside the delivery gate.
    void deliverByteAnswer(const QuestionSession &session, const QByteArray &packet);
    void deliverChoiceAnswer(const QuestionSession &session, const QByteArray &packet);
    // A numeric or text answer put together by the collector.
    void deliverBufferedAnswer(const QuestionSession &session,
                               const SessionBufferCollector::Answer &answer);
    // The collector's expiry on the event thread: delivered only while its
    // session is still the current one.
    void deliverExpiredAnswer(const QuestionSession *session,
                              const SessionBufferCollector::Answer &answer);

    // Takes the current question session out of use: it is freed once no
    // delivery can be reading it, at once on a host thread, later on the
    // event thread when called on the driver's or the event thread.
    void endQuestionSession();
    void retire(QuestionSession *session);
    void reclaimRetired();
    // Waits for the retired sessions' deliveries and frees them (host thread).
    void freeRetired();
    // DeliveryGate::waitForDeliveries(), except on the driver's thread.
    void waitForDeliveries();
    // The hub is going away: stop the collectors' timers, free every session.
    void destroySessions();

    // --- message transport (twopointfourghztransport.cpp) -------------------
    // Reports of the transport on the event thread: to the host only while
    // the transport is open, inside the delivery gate, so that a session's
    // end can wait for them.
    void deliverGetMessageRequest(quint32 uid, const QByteArray &deviceData);
    void deliverMessage(quint32 uid, const QByteArray &message);
    // A response packet (first or further) into the reassembly; a message
    // it completes is delivered.
    void addResponsePacket(const AsyncResponse &response, bool first);
    void markReadyToReceive(quint32 uid);
    // Frees the enhanced question session; the hub is going away.
    void destroyEnhancedSession();

    // Message transport file ids.
    static const unsigned int MaximumFileId = 0xFFFFFF;

    TwoPointFourGHzHub *const q;
    DeviceRegistry registry;

    // Host-side session changes take turns (see SessionTurn).
    std::mutex sessionMutex;
    // Clears in progress; a hub reset is ignored while one runs.
    std::atomic<int> clearsInProgress{0};
    std::atomic<int> penCount{0};
    std::atomic<quint8> entityIdCounter{1};

    CallbackSlot<Hub::HubBusyCallback> hubBusyCallback;
    CallbackSlot<Hub::BatteryLowCallback> batteryLowCallback;
    CallbackSlot<TwoPointFourGHzHub::DeviceNamedCallback> expressionNamedCallback;
    CallbackSlot<TwoPointFourGHzHub::DeviceNamedCallback> voteNamedCallback;

    // Reports that a session's end must wait for (see DeliveryGate).
    DeliveryGate deliveries;
    // The running question or end-user naming session; null for none.
    std::atomic<QuestionSession *> question{nullptr};
    // Sessions taken out of use, not yet freed, and the event thread's task
    // that frees them.
    std::mutex retiredMutex;
    std::vector<QuestionSession *> retired;
    quint64 reclaimTask = 0;
    // How long a multi-packet answer waits for its next packet; tests
    // shorten it.
    std::atomic<int> answerCompletionTimeMs{SessionBufferCollector::DefaultCompletionTimeMs};

    std::atomic<unsigned int> fileId{0};

    // Message transport: outgoing buffers and incoming reassembly (each with
    // its own lock), the devices ready to receive (host threads read it, the
    // event thread adds to it) and the host's callbacks.
    AsyncRequestBuffer requestBuffer;
    MessageReassembly reassembly;
    std::mutex readyMutex;
    QSet<quint32> readyToReceive;
    CallbackSlot<Hub::MessageDataCallback> getMsgCallback;
    CallbackSlot<Hub::MessageDataCallback> receiveMsgCallback;

    // The enhanced question session, made on first use.
    std::mutex enhancedMutex;
    std::atomic<EnhancedQuestionSession *> enhanced{nullptr};
};

} // namespace Orvexsystem

#endif
