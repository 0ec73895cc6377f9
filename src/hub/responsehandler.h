#ifndef ORVEXSYSTEM_HUB_RESPONSEHANDLER_H
#define ORVEXSYSTEM_HUB_RESPONSEHANDLER_H

#include "hub/boundedlock.h"

#include <QtCore/QByteArray>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <type_traits>

namespace Orvexsystem {

// Collects the replies of one type for a hub command that waits for them.
// addPacket runs on the driver's packet thread; reset and getNextPacket on
// the thread that waits for the reply; abort on the thread that shuts the
// system down.
class IResponseHandler
{
public:
    virtual ~IResponseHandler();
    // Forgets every reply queued so far.
    virtual void reset() = 0;
    // Takes the oldest queued reply, waiting up to waitMs for one; false when
    // none arrived in time or the handler was aborted. With a null packet the
    // reply is still removed.
    virtual bool getNextPacket(QByteArray *packet, int waitMs) = 0;
    // Offers a packet from the hub; the handler keeps a copy only if it is a
    // reply of its type.
    virtual void addPacket(const QByteArray &packet) = 0;
    // Wakes a waiting getNextPacket and makes every later one fail at once.
    virtual void abort() = 0;
};

namespace detail {
// Reply types that arrive as a list (one packet per record, ended by the
// hub's OK reply) provide `static QByteArray listTerminator()` and
// `static bool isListEnd(const QByteArray&)`: their handler queues the
// terminator in place of the packet that ends the list.
template <class T, class = void>
struct ListReplyTraits
{
    static bool isEnd(const QByteArray &) { return false; }
    static QByteArray terminator() { return QByteArray(); }
};
template <class T>
struct ListReplyTraits<T, std::void_t<decltype(T::listTerminator())>>
{
    static bool isEnd(const QByteArray &packet) { return T::isListEnd(packet); }
    static QByteArray terminator() { return T::listTerminator(); }
};
} // namespace detail

template <class T>
class ResponseHandler : public IResponseHandler
{
public:
    // Longest wait for the queue's lock; the lock is only ever held for a
    // queue operation, so this bound is never reached in practice.
    static constexpr std::chrono::milliseconds LockTimeout{10000};

    void reset() override
    {
        std::unique_lock<std::mutex> lock(m_mutex, std::defer_lock);
        if (detail::lockWithin(lock, LockTimeout))
            m_packets.clear();
    }

    bool getNextPacket(QByteArray *packet, int waitMs) override
    {
        std::unique_lock<std::mutex> lock(m_mutex, std::defer_lock);
        if (!detail::lockWithin(lock, LockTimeout))
            return false;
        // Waits for a reply, not for a wake-up: a spurious wake-up with an
        // empty queue goes on waiting until the deadline.
        if (!m_waitCondition.wait_for(lock, std::chrono::milliseconds(waitMs < 0 ? 0 : waitMs),
                                      [this] { return m_aborted || !m_packets.empty(); })
            || m_aborted)
            return false;
        if (packet)
            *packet = m_packets.front();
        m_packets.pop_front();
        return true;
    }

    void addPacket(const QByteArray &packet) override
    {
        QByteArray queued;
        // A deep copy: the packet may be the packet thread's reused buffer.
        if (T::isValid(packet))
            queued = QByteArray(packet.constData(), packet.size());
        else if (detail::ListReplyTraits<T>::isEnd(packet))
            queued = detail::ListReplyTraits<T>::terminator();
        else
            return;
        std::unique_lock<std::mutex> lock(m_mutex, std::defer_lock);
        if (!detail::lockWithin(lock, LockTimeout))
            return;
        m_packets.push_back(queued);
        lock.unlock();
        m_waitCondition.notify_all();
    }

    void abort() override
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_aborted = true;
        }
        m_waitCondition.notify_all();
    }

    // Number of replies waiting; for diagnostics and tests.
    int queuedCount()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return int(m_packets.size());
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_waitCondition;
    std::deque<QByteArray> m_packets;
    bool m_aborted = false;
};

} // namespace Orvexsystem

#endif
