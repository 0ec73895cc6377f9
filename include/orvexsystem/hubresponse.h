#ifndef ORVEXSYSTEM_HUBRESPONSE_H
#define ORVEXSYSTEM_HUBRESPONSE_H

#include <orvexsystem/export.h>

#include <QtCore/QByteArray>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <type_traits>

namespace Orvexsystem {

// Base of every reply type. A reply type T provides a default constructor
// (not valid), a constructor from a packet that parses it and sets the
// validity flag, copy assignment, and `static bool isValid(const QByteArray&)`
// that decides from length and control bytes alone whether a packet is a
// reply of type T.
class ORVEXSYSTEM_EXPORT HubResponse
{
public:
    HubResponse() = default;
    HubResponse(const HubResponse &) = default;
    HubResponse &operator=(const HubResponse &) = default;
    virtual ~HubResponse();

    bool isValidResponse() const { return m_bValid; }

protected:
    bool m_bValid = false;
};

// Collects the replies of one type for a hub command that waits for them.
// addPacket runs on the driver's packet thread; reset and getNextPacket on
// the thread that waits for the reply.
class ORVEXSYSTEM_EXPORT IResponseHandler
{
public:
    virtual ~IResponseHandler();
    // Forgets every reply queued so far.
    virtual void reset() = 0;
    // Takes the oldest queued reply, waiting up to waitMs for one; false when
    // none arrived in time. With a null packet the reply is still removed.
    virtual bool getNextPacket(QByteArray *packet, int waitMs) = 0;
    // Offers a packet from the hub; the handler keeps it only if it is a
    // reply of its type.
    virtual void addPacket(const QByteArray &packet) = 0;
};

namespace detail {
// Takes the lock, trying for at most limit. Built on try_lock so that thread
// checkers see every acquisition (timed locks are not seen by all of them).
inline bool lockWithin(std::unique_lock<std::mutex> &lock, std::chrono::milliseconds limit)
{
    if (lock.try_lock())
        return true;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!lock.try_lock()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

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
                                      [this] { return !m_packets.empty(); }))
            return false;
        if (packet)
            *packet = m_packets.front();
        m_packets.pop_front();
        return true;
    }

    void addPacket(const QByteArray &packet) override
    {
        QByteArray queued;
        if (T::isValid(packet))
            queued = packet;
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
};

} // namespace Orvexsystem

#endif
