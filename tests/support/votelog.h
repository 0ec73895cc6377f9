#ifndef ORVEX_TESTS_VOTELOG_H
#define ORVEX_TESTS_VOTELOG_H

// Records the votes a hub reports through its vote callback, which runs on
// the driver's thread.

#include <orvexsystem/hub.h>

#include <QtCore/QList>

#include <mutex>
#include <tuple>
#include <utility>

namespace OrvexTest {

struct VoteLog
{
    using Vote = std::tuple<quint32, int, bool>; // uid, option, battery low
    std::mutex mu;
    QList<Vote> votes;

    static void record(Orvexsystem::Hub *, quint32 uid, int vote, bool low, void *context)
    {
        auto *self = static_cast<VoteLog *>(context);
        std::lock_guard<std::mutex> lock(self->mu);
        self->votes.append(Vote(uid, vote, low));
    }
    QList<Vote> take()
    {
        std::lock_guard<std::mutex> lock(mu);
        return std::exchange(votes, {});
    }
    int size()
    {
        std::lock_guard<std::mutex> lock(mu);
        return int(votes.size());
    }
};

} // namespace OrvexTest

#endif
