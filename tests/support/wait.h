#ifndef ORVEX_TESTS_WAIT_H
#define ORVEX_TESTS_WAIT_H

#include <QtCore/QByteArray>
#include <QtCore/QCoreApplication>

#include <chrono>
#include <condition_variable>
#include <initializer_list>
#include <mutex>
#include <thread>

namespace OrvexTest {

// Waits until pred() holds, running the calling thread's Qt events
// meanwhile; false when timeoutMs passed first.
template <class Pred>
bool waitFor(Pred pred, int timeoutMs = 5000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return pred();
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return true;
}

// Runs the calling thread's Qt events for ms milliseconds: only for proving
// that something does NOT happen.
inline void spinEvents(int ms)
{
    waitFor([] { return false; }, ms);
}

// A gate that a callback waits at, in block(), until the test opens it; once
// open, block() returns at once.
struct Gate
{
    std::mutex mu;
    std::condition_variable cv;
    bool entered = false;
    bool released = false;
    void block()
    {
        std::unique_lock<std::mutex> lock(mu);
        entered = true;
        cv.notify_all();
        cv.wait(lock, [this] { return released; });
    }
    bool waitEntered(int timeoutMs = 5000)
    {
        std::unique_lock<std::mutex> lock(mu);
        return cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return entered; });
    }
    void open()
    {
        std::lock_guard<std::mutex> lock(mu);
        released = true;
        cv.notify_all();
    }
};

inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v & 0xFF));
    return out;
}

} // namespace OrvexTest

#endif
