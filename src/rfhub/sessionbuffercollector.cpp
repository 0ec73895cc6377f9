#include "rfhub/sessionbuffercollector.h"

#include <orvexsystem/twopointfourghzresponses.h>

#include "system/orvexsystem_p.h"
#include "system/threadcontext.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace Orvexsystem {

// Out-of-class definitions, so that the constants may be bound to references.
const int SessionBufferCollector::DefaultCompletionTimeMs;
const int SessionBufferCollector::FirstChunkLength;
const int SessionBufferCollector::ChunkLength;
const int SessionBufferCollector::MaximumPacketNumber;
const int SessionBufferCollector::MaximumAnswerLength;
const int SessionBufferCollector::MaximumAnswersInProgress;

namespace {

const int AddressOffset = 2;
const int PacketNumberOffset = 4;
const int TagOffset = 5;
const int LengthOffset = 6;
const int FirstChunkOffset = 7;
const int ChunkOffset = 5;

} // namespace

SessionBufferCollector::SessionBufferCollector(OrvexSystem *system, ExpiryFunction onExpired,
                                               int completionTimeMs)
    : m_system(system),
      m_onExpired(std::move(onExpired)),
      m_completionTime(completionTimeMs < 0 ? 0 : completionTimeMs)
{
}

SessionBufferCollector::~SessionBufferCollector()
{
    quint64 timer = 0;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_closing = true;
        // An expiry that is handing answers over still uses this object.
        if (!ThreadContext::onEventThread())
            m_expiryDone.wait(lock, [this] { return !m_expiring; });
        timer = m_timerId;
        m_timerId = 0;
    }
    // Not under m_mutex: the cancel waits for a timer fn that is starting,
    // which takes m_mutex, sees m_closing and returns.
    if (timer != 0 && m_system)
        OrvexSystemPrivate::get(m_system)->cancelEventTimer(timer);
}

int SessionBufferCollector::packetsNeeded(int length)
{
    if (length <= 0)
        return 0;
    if (length <= FirstChunkLength)
        return 1;
    return 1 + (length - FirstChunkLength + ChunkLength - 1) / ChunkLength;
}

bool SessionBufferCollector::isComplete(const InProgress &answer)
{
    const int needed = packetsNeeded(answer.expectedLength);
    if (needed == 0)
        return false;
    const quint64 all = needed >= 64 ? ~quint64(0) : (quint64(1) << needed) - 1;
    return (answer.received & all) == all;
}

QString SessionBufferCollector::textOf(const InProgress &answer, bool complete)
{
    // A complete answer is its announced length; an incomplete one is what
    // arrived, in packet order, the gaps left out.
    if (complete) {
        const void *end = std::memchr(answer.bytes, 0, answer.expectedLength);
        const int length = end ? int(static_cast<const char *>(end) - answer.bytes)
                               : int(answer.expectedLength);
        return QString::fromUtf8(answer.bytes, length);
    }
    QByteArray bytes;
    for (int n = 0; n <= MaximumPacketNumber; ++n) {
        if (!(answer.received & (quint64(1) << n)))
            continue;
        if (n == 0)
            bytes.append(answer.bytes, FirstChunkLength);
        else
            bytes.append(answer.bytes + FirstChunkLength + (n - 1) * ChunkLength, ChunkLength);
    }
    const int end = bytes.indexOf('\0');
    if (end >= 0)
        bytes.truncate(end);
    return QString::fromUtf8(bytes);
}

bool SessionBufferCollector::addPacket(const QByteArray &packet, Answer *completed)
{
    if (!SessionAnswerResponse::isValid(packet))
        return false;
    const char *p = packet.constData();
    const quint16 address = quint16(quint8(p[AddressOffset]) << 8 | quint8(p[AddressOffset + 1]));
    const int number = quint8(p[PacketNumberOffset]);
    if (number > MaximumPacketNumber)
        return false;

    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_closing)
        return false;
    auto it = m_answers.find(address);
    if (it == m_answers.end()) {
        if (m_answers.size() >= MaximumAnswersInProgress)
            return false;
        it = m_answers.insert(address, InProgress());
    }
    InProgress &answer = *it;
    if (number == 0) {
        answer.tag = quint8(p[TagOffset]);
        answer.expectedLength = quint8(p[LengthOffset]);
        std::memcpy(answer.bytes, p + FirstChunkOffset, FirstChunkLength);
    } else {
        std::memcpy(answer.bytes + FirstChunkLength + (number - 1) * ChunkLength, p + ChunkOffset,
                    ChunkLength);
    }
    answer.received |= quint64(1) << number;

    if (isComplete(answer)) {
        if (completed) {
            completed->address = address;
            completed->tag = answer.tag;
            completed->text = textOf(answer, true);
            completed->complete = true;
        }
        m_answers.erase(it);
        return true;
    }
    answer.deadline = std::chrono::steady_clock::now() + m_completionTime;
    armLocked(answer.deadline);
    return false;
}

void SessionBufferCollector::armLocked(std::chrono::steady_clock::time_point due)
{
    if (m_timerId != 0 || m_closing || !m_system)
        return;
    const auto wait =
        std::chrono::duration_cast<std::chrono::milliseconds>(due - std::chrono::steady_clock::now());
    // Rounded up, so that the timer never fires before the deadline it is for.
    const int ms = wait.count() < 0 ? 0 : int(wait.count()) + 1;
    m_timerId = OrvexSystemPrivate::get(m_system)->startEventTimer(ms, [this] { expireDue(); });
}

void SessionBufferCollector::expireDue()
{
    std::vector<Answer> expired;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_closing)
            return;
        m_timerId = 0;
        const auto now = std::chrono::steady_clock::now();
        auto earliest = std::chrono::steady_clock::time_point::max();
        for (auto it = m_answers.begin(); it != m_answers.end();) {
            if (it->deadline <= now) {
                expired.push_back(Answer{it.key(), it->tag, textOf(*it, false), false});
                it = m_answers.erase(it);
            } else {
                earliest = std::min(earliest, it->deadline);
                ++it;
            }
        }
        // Every later packet's deadline lies beyond the earliest remaining
        // one, so one timer for that serves them all.
        if (earliest != std::chrono::steady_clock::time_point::max())
            armLocked(earliest);
        if (expired.empty())
            return;
        m_expiring = true;
    }
    for (const Answer &answer : expired)
        m_onExpired(answer);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_expiring = false;
    m_expiryDone.notify_all();
}

void SessionBufferCollector::expireAll()
{
    std::vector<Answer> expired;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_answers.cbegin(); it != m_answers.cend(); ++it)
            expired.push_back(Answer{it.key(), it->tag, textOf(*it, false), false});
        m_answers.clear();
    }
    for (const Answer &answer : expired)
        m_onExpired(answer);
}

int SessionBufferCollector::answersInProgress() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_answers.size());
}

} // namespace Orvexsystem
