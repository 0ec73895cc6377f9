#include "sessions/asyncrequestbuffer.h"

namespace Orvexsystem {

AsyncRequestBuffer::AsyncRequestBuffer()
{
    reset();
}

void AsyncRequestBuffer::reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.clear();
    m_indexOf.clear();
    m_progress.clear();
    m_releasedIndexes.clear();
    m_freeIndexes.clear();
    for (unsigned int index = FirstIndex; index <= LastIndex; ++index)
        m_freeIndexes.append(index);
}

int AsyncRequestBuffer::fragmentCount(int size)
{
    return size <= 0 ? 0 : (size - 1) / FragmentSize + 1;
}

unsigned int AsyncRequestBuffer::storeMessage(const QByteArray &message, Refusal *refusal)
{
    Refusal why = Refusal::None;
    unsigned int index = 0;
    if (message.isEmpty()) {
        why = Refusal::Empty;
    } else if (message.size() > MaximumMessageSize) {
        why = Refusal::TooLong;
    } else {
        std::lock_guard<std::mutex> lock(m_mutex);
        index = m_indexOf.value(message, 0);
        if (index != 0) {
            // Held already: served as it is, and no longer free for reuse.
            m_releasedIndexes.removeOne(index);
        } else {
            if (!m_freeIndexes.isEmpty()) {
                index = m_freeIndexes.takeFirst();
            } else if (!m_releasedIndexes.isEmpty()) {
                index = m_releasedIndexes.takeFirst();
                m_indexOf.remove(m_messages.take(index));
                m_progress.remove(index);
            }
            if (index == 0) {
                why = Refusal::Full;
            } else {
                // A deep copy: the caller's array may share data with a
                // buffer that another thread reuses.
                const QByteArray copy(message.constData(), message.size());
                m_messages.insert(index, copy);
                m_indexOf.insert(copy, index);
                m_progress.insert(index, Progress{0, fragmentCount(int(copy.size()))});
            }
        }
    }
    if (refusal)
        *refusal = why;
    return index;
}

QByteArray AsyncRequestBuffer::nextFragment(unsigned int index, int *fragment, int *count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!isIndex(index))
        return QByteArray();
    const auto message = m_messages.constFind(index);
    if (message == m_messages.cend())
        return QByteArray();
    Progress &progress = m_progress[index];
    const QByteArray piece = message->mid(progress.next * FragmentSize, FragmentSize);
    if (fragment)
        *fragment = progress.next;
    if (count)
        *count = progress.count;
    if (++progress.next >= progress.count)
        progress.next = 0;
    QByteArray result;
    result.reserve(int(piece.size()) + 1);
    result.append(char(piece.size()));
    result.append(piece);
    return result;
}

void AsyncRequestBuffer::releaseIndex(unsigned int index)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Only a held message can be released: a free index in the released list
    // would later be handed out twice.
    if (isIndex(index) && m_messages.contains(index) && !m_releasedIndexes.contains(index))
        m_releasedIndexes.append(index);
}

int AsyncRequestBuffer::heldCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_messages.size());
}

QByteArray AsyncRequestBuffer::messageAt(unsigned int index) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages.value(index);
}

} // namespace Orvexsystem
