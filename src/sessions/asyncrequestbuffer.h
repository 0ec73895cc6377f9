#ifndef ORVEXSYSTEM_SESSIONS_ASYNCREQUESTBUFFER_H
#define ORVEXSYSTEM_SESSIONS_ASYNCREQUESTBUFFER_H

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QList>

#include <mutex>

namespace Orvexsystem {

// The host's outgoing device messages of a 2.4 GHz hub: 255 numbered
// buffers (indexes 1 to 255) that devices fetch 49 bytes at a time.
//
// An index is free (never used since the last reset), held (a message waits
// in it) or released (the device that fetched it said so; the message is
// kept and can still be served). A new message takes the lowest free index,
// else the index released longest ago, whose old message is then forgotten.
// Identical messages share one buffer: storing a message that is held
// already gives its index again (taking it back from the released ones)
// without restarting its fragments.
//
// The fragment number and count travel as single bytes, so a message has at
// most 255 fragments (12,495 bytes); a longer one, an empty one, or one for
// which no index is free or released is refused.
//
// Threads: every operation may be called from any thread; the store has a
// lock of its own, held only for the operation.
class AsyncRequestBuffer
{
public:
    static const unsigned int FirstIndex = 1;
    static const unsigned int LastIndex = 255;
    static const int FragmentSize = 49;
    static const int MaximumFragments = 255;
    static const int MaximumMessageSize = FragmentSize * MaximumFragments;

    enum class Refusal { None, Empty, TooLong, Full };

    AsyncRequestBuffer();

    // Every index free, every message forgotten.
    void reset();
    // The index the message is held under, or 0 when it is refused (the
    // reason in *refusal when given).
    unsigned int storeMessage(const QByteArray &message, Refusal *refusal = nullptr);
    // The next fragment of the message under index, with its length as one
    // byte in front; *fragment is its number counted from 0 and *count the
    // message's fragment count. After the last fragment the message starts
    // again. An index without a message gives an empty array and leaves
    // *fragment and *count alone.
    QByteArray nextFragment(unsigned int index, int *fragment, int *count);
    // A device has the message under index whole; a second release, or one
    // of an index that holds no message, changes nothing.
    void releaseIndex(unsigned int index);

    // Fragments a message of this size needs (0 for an empty one).
    static int fragmentCount(int size);

    // For diagnostics and tests.
    int heldCount() const;
    QByteArray messageAt(unsigned int index) const;

private:
    struct Progress
    {
        int next = 0;
        int count = 0;
    };
    static bool isIndex(unsigned int index) { return index >= FirstIndex && index <= LastIndex; }

    mutable std::mutex m_mutex;
    QHash<unsigned int, QByteArray> m_messages;
    QHash<QByteArray, unsigned int> m_indexOf;
    QHash<unsigned int, Progress> m_progress;
    QList<unsigned int> m_freeIndexes;     // ascending
    QList<unsigned int> m_releasedIndexes; // oldest release first
};

} // namespace Orvexsystem

#endif
