#ifndef ORVEXSYSTEM_RFHUB_SESSIONBUFFERCOLLECTOR_H
#define ORVEXSYSTEM_RFHUB_SESSIONBUFFERCOLLECTOR_H

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace Orvexsystem {

class OrvexSystem;

// Puts together the numeric and text answers of a question session, which
// handsets send in several 12-byte answer packets (0C 83, 2-3 the radio
// address, 4 the packet number):
//   packet 0:     5 the tag kept with the answer, 6 the answer's length in
//                 bytes, 7-11 its first five bytes;
//   packet n > 0: 5-11 the next seven bytes, from byte 5 + 7 (n - 1).
// An answer is complete when every packet its length needs has arrived; a
// packet that comes again replaces its piece and counts once. An answer
// whose packets stop coming is handed over incomplete, with what arrived,
// once no packet of it came for the completion time (5000 ms).
//
// Bounds: one answer holds at most the 255 bytes a length byte can announce
// (packets 0 to 36); a packet numbered beyond that is dropped. At most
// MaximumAnswersInProgress answers are collected at once; packets that would
// start another are dropped.
//
// Threads. addPacket() runs on the driver's packet thread and returns a
// completed answer to its caller. The completion time is kept by the
// system's event thread (a timer that needs no Qt event loop anywhere), which
// hands timed-out answers to the expiry function given at construction.
// Without a running system no timer runs; expireAll() then hands over what is
// left. Destruction waits for a running expiry (unless it runs on the event
// thread itself) and discards the answers still being collected.
class SessionBufferCollector
{
public:
    static const int DefaultCompletionTimeMs = 5000;
    static const int FirstChunkLength = 5;
    static const int ChunkLength = 7;
    static const int MaximumPacketNumber = 36;
    static const int MaximumAnswerLength = FirstChunkLength + MaximumPacketNumber * ChunkLength;
    static const int MaximumAnswersInProgress = 4096;

    struct Answer
    {
        quint16 address = 0;
        quint8 tag = 0;
        QString text;
        bool complete = false;
    };
    using ExpiryFunction = std::function<void(const Answer &)>;

    // system may be null: no completion timer then.
    SessionBufferCollector(OrvexSystem *system, ExpiryFunction onExpired,
                           int completionTimeMs = DefaultCompletionTimeMs);
    ~SessionBufferCollector();
    SessionBufferCollector(const SessionBufferCollector &) = delete;
    SessionBufferCollector &operator=(const SessionBufferCollector &) = delete;

    // Takes one answer packet; true with *completed filled when it completed
    // an answer. Anything but a 12-byte answer packet is ignored.
    bool addPacket(const QByteArray &packet, Answer *completed);
    // Hands every answer still being collected to the expiry function,
    // marked incomplete.
    void expireAll();
    int answersInProgress() const;

    // The packets an answer of this length needs (0 for an unknown length).
    static int packetsNeeded(int length);

private:
    struct InProgress
    {
        quint8 tag = 0;
        quint8 expectedLength = 0;
        quint64 received = 0; // bit n: packet n arrived
        std::chrono::steady_clock::time_point deadline;
        char bytes[MaximumAnswerLength] = {};
    };
    static bool isComplete(const InProgress &answer);
    static QString textOf(const InProgress &answer, bool complete);
    // Timer fn on the event thread.
    void expireDue();
    // Starts the timer for the earliest deadline, if none runs; under m_mutex.
    void armLocked(std::chrono::steady_clock::time_point due);

    OrvexSystem *const m_system;
    const ExpiryFunction m_onExpired;
    const std::chrono::milliseconds m_completionTime;

    mutable std::mutex m_mutex;
    std::condition_variable m_expiryDone;
    QHash<quint16, InProgress> m_answers;
    quint64 m_timerId = 0;
    bool m_expiring = false;
    bool m_closing = false;
};

} // namespace Orvexsystem

#endif
