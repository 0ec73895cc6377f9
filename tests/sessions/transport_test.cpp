// The message transport's parts on their own: the outgoing buffers, the
// fragments they serve byte for byte, the parsing of the transport's packets
// and the reassembly of device messages.

#include "support/wait.h"

#include "sessions/asynccommands.h"
#include "sessions/asyncrequestbuffer.h"
#include "sessions/asyncresponse.h"
#include "sessions/messagereassembly.h"

#include <gtest/gtest.h>

using namespace Orvexsystem;
using namespace OrvexTest;

namespace {

QByteArray filled(int size, char first = 0)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(first + i);
    return bytes;
}

// The fragment command that a data request for index gets.
QByteArray serve(AsyncRequestBuffer &buffer, quint8 index)
{
    int fragment = 0, count = 0;
    const QByteArray piece = buffer.nextFragment(index, &fragment, &count);
    return AsyncCommands::dataFragment(index, quint8(fragment + 1), quint8(count), piece);
}

TEST(AsyncRequestBuffer, IndexesAreTakenInOrderAndSharedByIdenticalMessages)
{
    AsyncRequestBuffer buffer;
    EXPECT_EQ(buffer.storeMessage("one"), 1u);
    EXPECT_EQ(buffer.storeMessage("two"), 2u);
    EXPECT_EQ(buffer.storeMessage("three"), 3u);
    EXPECT_EQ(buffer.storeMessage("two"), 2u);
    EXPECT_EQ(buffer.heldCount(), 3);
    buffer.reset();
    EXPECT_EQ(buffer.storeMessage("three"), 1u);
}

TEST(AsyncRequestBuffer, AFullStoreReusesTheOldestReleasedIndexAndRefusesOtherwise)
{
    AsyncRequestBuffer buffer;
    for (int i = 1; i <= 255; ++i)
        ASSERT_EQ(buffer.storeMessage("message " + QByteArray::number(i)), unsigned(i));
    AsyncRequestBuffer::Refusal refusal = AsyncRequestBuffer::Refusal::None;
    EXPECT_EQ(buffer.storeMessage("one more", &refusal), 0u);
    EXPECT_EQ(refusal, AsyncRequestBuffer::Refusal::Full);

    buffer.releaseIndex(7);
    buffer.releaseIndex(9);
    buffer.releaseIndex(7); // a second release changes nothing
    // A released message stored again is held again, not reused.
    EXPECT_EQ(buffer.storeMessage("message 7"), 7u);
    EXPECT_EQ(buffer.storeMessage("new"), 9u);
    EXPECT_EQ(buffer.messageAt(9), QByteArray("new"));
    EXPECT_EQ(buffer.storeMessage("newer", &refusal), 0u);

    // Releasing an index that holds nothing, or 0, frees nothing.
    AsyncRequestBuffer empty;
    empty.releaseIndex(0);
    empty.releaseIndex(1);
    EXPECT_EQ(empty.storeMessage("a"), 1u);
    EXPECT_EQ(empty.storeMessage("b"), 2u);
}

TEST(AsyncRequestBuffer, EmptyAndOverlongMessagesAreRefused)
{
    AsyncRequestBuffer buffer;
    AsyncRequestBuffer::Refusal refusal = AsyncRequestBuffer::Refusal::None;
    EXPECT_EQ(buffer.storeMessage(QByteArray(), &refusal), 0u);
    EXPECT_EQ(refusal, AsyncRequestBuffer::Refusal::Empty);
    EXPECT_EQ(buffer.storeMessage(QByteArray(12496, 'x'), &refusal), 0u);
    EXPECT_EQ(refusal, AsyncRequestBuffer::Refusal::TooLong);
    // 255 fragments of 49 bytes: the longest a fragment count can describe.
    EXPECT_EQ(buffer.storeMessage(QByteArray(12495, 'x'), &refusal), 1u);
    EXPECT_EQ(refusal, AsyncRequestBuffer::Refusal::None);
    int fragment = -1, count = -1;
    buffer.nextFragment(1, &fragment, &count);
    EXPECT_EQ(count, 255);
    EXPECT_EQ(buffer.heldCount(), 1);
}

TEST(AsyncRequestBuffer, FragmentsAreServedByteForByteAndStartAgainAfterTheLast)
{
    EXPECT_EQ(AsyncRequestBuffer::fragmentCount(49), 1);
    EXPECT_EQ(AsyncRequestBuffer::fragmentCount(50), 2);
    EXPECT_EQ(AsyncRequestBuffer::fragmentCount(98), 2);

    AsyncRequestBuffer buffer;
    const QByteArray message = filled(60, 'A');
    const unsigned index = buffer.storeMessage(message);
    const QByteArray head(":XP00C\r", 7);
    const QByteArray first = head + bytes({0x35, int(index), 1, 2, 0x31}) + message.left(49);
    const QByteArray second = head + bytes({0x0F, int(index), 2, 2, 0x0B}) + message.mid(49);
    EXPECT_EQ(serve(buffer, quint8(index)), first);
    EXPECT_EQ(serve(buffer, quint8(index)), second);
    EXPECT_EQ(serve(buffer, quint8(index)), first);

    // An index without a message: fragment 1 of 0, no data.
    EXPECT_EQ(serve(buffer, 200), head + bytes({3, 200, 1, 0}));
    EXPECT_EQ(serve(buffer, 0), head + bytes({3, 0, 1, 0}));

    // A message stored again does not restart its fragments.
    EXPECT_EQ(serve(buffer, quint8(index)), second);
    EXPECT_EQ(buffer.storeMessage(message), index);
    EXPECT_EQ(serve(buffer, quint8(index)), first);
}

TEST(AsyncCommands, StartAndNoticeBytes)
{
    EXPECT_EQ(AsyncCommands::start(), QByteArray(":XP00A\r", 7) + bytes({0}));
    EXPECT_EQ(AsyncCommands::messageWaiting(0x0201, 7),
              QByteArray(":XP00B\r", 7) + bytes({3, 0x02, 0x01, 7}));
}

TEST(AsyncResponse, EveryKindIsParsedWithinItsLength)
{
    const AsyncResponse request(bytes({0x0C, 0x84, 0x12, 0xC4, 1, 2, 3, 4, 5, 6, 7, 8}));
    ASSERT_TRUE(request.isValidResponse());
    EXPECT_EQ(request.kind(), AsyncResponse::Kind_GetMessageRequest);
    EXPECT_EQ(request.address(), 4804);
    EXPECT_EQ(request.deviceData(), bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_TRUE(request.messageData().isEmpty());
    EXPECT_EQ(request.sequenceByte(), 0);

    const AsyncResponse data(bytes({3, 0x85, 9}));
    EXPECT_EQ(data.kind(), AsyncResponse::Kind_DataRequest);
    EXPECT_EQ(data.index(), 9);
    EXPECT_EQ(AsyncResponse(bytes({3, 0x86, 255})).kind(), AsyncResponse::Kind_BufferRelease);

    // Bytes beyond the length byte are not part of the packet.
    const AsyncResponse next(bytes({0x0D, 0x88, 0x01, 0x23, 2, 1, 2, 3, 4, 5, 6, 7, 8, 99}));
    EXPECT_EQ(next.kind(), AsyncResponse::Kind_NextResponse);
    EXPECT_EQ(next.address(), 0x0123);
    EXPECT_EQ(next.sequenceByte(), 2);
    EXPECT_EQ(next.messageData(), bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(AsyncResponse(bytes({0x0D, 0x87, 0, 5, 1, 0, 0, 0, 0, 0, 0, 0, 0})).kind(),
              AsyncResponse::Kind_FirstResponse);

    // Shorter than the length byte says, another pair, or too short.
    EXPECT_FALSE(AsyncResponse::isAsyncPacket(bytes({0x0C, 0x84, 0x12})));
    EXPECT_FALSE(AsyncResponse(bytes({0x0D, 0x87, 0, 5, 1})).isValidResponse());
    EXPECT_FALSE(AsyncResponse::isAsyncPacket(bytes({0x0C, 0x85, 1})));
    EXPECT_FALSE(AsyncResponse::isAsyncPacket(bytes({3})));
    EXPECT_EQ(AsyncResponse(bytes({4, 0x32, 0x4F, 0x4B})).kind(), AsyncResponse::Kind_None);
}

// Feeds response packets of one address; returns the messages completed.
struct Reassembler
{
    MessageReassembly reassembly;
    QList<QByteArray> completed;
    void add(quint16 address, bool first, int sequence, const QByteArray &data)
    {
        MessageReassembly::Completed done;
        if (reassembly.addPacket(address, first, quint8(sequence), data, &done)) {
            EXPECT_EQ(done.address, address);
            completed << done.message;
        }
    }
};

TEST(MessageReassembly, MessagesArePutTogetherInOrderAndOutOfOrder)
{
    Reassembler r;
    r.add(5, true, 1, filled(8, 'a'));
    ASSERT_EQ(r.completed.size(), 1);
    EXPECT_EQ(r.completed[0], filled(8, 'a'));

    // Out of order: packet 0's bytes first, complete with the third packet.
    r.add(0x0123, false, 2, filled(8, 16));
    r.add(0x0123, false, 1, filled(8, 8));
    EXPECT_EQ(r.completed.size(), 1);
    r.add(0x0123, true, 3, filled(8, 0));
    ASSERT_EQ(r.completed.size(), 2);
    EXPECT_EQ(r.completed[1], filled(24, 0));

    // In order, from two addresses at once.
    r.add(1, true, 2, filled(8, 0));
    r.add(2, true, 2, filled(8, 50));
    r.add(2, false, 1, filled(8, 58));
    r.add(1, false, 1, filled(8, 8));
    ASSERT_EQ(r.completed.size(), 4);
    EXPECT_EQ(r.completed[2], filled(16, 50));
    EXPECT_EQ(r.completed[3], filled(16, 0));
    EXPECT_EQ(r.reassembly.messagesInProgress(), 0);
}

TEST(MessageReassembly, RepeatedPacketsCountOnceAndOtherBytesStartANewMessage)
{
    Reassembler r;
    r.add(7, true, 3, filled(8, 0));
    r.add(7, true, 3, filled(8, 0));
    r.add(7, false, 1, filled(8, 8));
    r.add(7, false, 1, filled(8, 8));
    EXPECT_TRUE(r.completed.isEmpty());
    r.add(7, false, 2, filled(8, 16));
    ASSERT_EQ(r.completed.size(), 1);
    EXPECT_EQ(r.completed[0], filled(24, 0));

    // A message whose last packet was lost gives way to the next one.
    r.add(7, true, 2, filled(8, 'x'));
    r.add(7, true, 2, filled(8, 'a'));
    r.add(7, false, 1, filled(8, 'i'));
    ASSERT_EQ(r.completed.size(), 2);
    EXPECT_EQ(r.completed[1], filled(16, 'a'));
}

TEST(MessageReassembly, PacketsOutsideAnyMessageAreDropped)
{
    Reassembler r;
    r.add(3, true, 0, filled(8));          // no packets
    r.add(3, false, 0, filled(8));         // a further packet numbered 0
    r.add(3, false, 255, filled(8));       // beyond any count
    EXPECT_EQ(r.reassembly.messagesInProgress(), 0);

    // Packets beyond the count, before and after it is known.
    r.add(3, false, 5, filled(8, 'z'));
    r.add(3, true, 2, filled(8, 0));
    r.add(3, false, 4, filled(8, 'y'));
    EXPECT_TRUE(r.completed.isEmpty());
    r.add(3, false, 1, filled(8, 8));
    ASSERT_EQ(r.completed.size(), 1);
    EXPECT_EQ(r.completed[0], filled(16, 0));
}

TEST(MessageReassembly, MessagesThatNeverFinishAreBoundedAndTheLongestWaitingDropped)
{
    Reassembler r;
    const int cap = MessageReassembly::MaximumMessagesInProgress;
    // Every address starts a message and never finishes it, the first one
    // with packet numbers far apart.
    r.add(0, true, 255, filled(8));
    r.add(0, false, 254, filled(8));
    for (int address = 1; address <= cap + 10; ++address)
        r.add(quint16(address), true, 2, filled(8));
    EXPECT_EQ(r.reassembly.messagesInProgress(), cap);
    // Address 0 waited longest: its message is gone, its last packet alone
    // does not complete anything.
    r.add(0, false, 1, filled(8));
    EXPECT_TRUE(r.completed.isEmpty());
    // The newest ones are still being put together.
    r.add(quint16(cap + 10), false, 1, filled(8, 8));
    ASSERT_EQ(r.completed.size(), 1);
    EXPECT_LE(r.reassembly.messagesInProgress(), cap);
    r.reassembly.reset();
    EXPECT_EQ(r.reassembly.messagesInProgress(), 0);
}

} // namespace
