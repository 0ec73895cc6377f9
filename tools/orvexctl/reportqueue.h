// Reports that the library makes on its own threads (the driver's packet
// thread, its event thread), queued for the main thread, which takes them
// when it looks. The callbacks that fill a queue do no more than append
// under a short lock, as a callback on the packet path must.
#ifndef ORVEXCTL_REPORTQUEUE_H
#define ORVEXCTL_REPORTQUEUE_H

#include <mutex>
#include <utility>
#include <vector>

namespace Orvexctl {

template <class T>
class ReportQueue
{
public:
    void push(T report)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_reports.push_back(std::move(report));
    }

    // Everything queued so far, oldest first.
    std::vector<T> take()
    {
        std::vector<T> reports;
        std::lock_guard<std::mutex> lock(m_mutex);
        reports.swap(m_reports);
        return reports;
    }

private:
    std::mutex m_mutex;
    std::vector<T> m_reports;
};

} // namespace Orvexctl

#endif
