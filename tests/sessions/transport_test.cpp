// The message transport's parts on their own: the outgoing buffers and the
// fragments they serve byte for byte, packet parsing, and the reassembly of
// device messages.

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

TEST(AsyncRequestBuffer, IndexesAreSharedReusedOldestReleasedFirstAndRefusedWhenNoneIsLeft)
{
    using Refusal = AsyncRequestBuffer::Refusal;
    AsyncRequestBuffer buffer;
    Refusal refusal = Refusal::None;
    EXPECT_EQ(buffer.storeMessage(QByteArray(), &refusal), 0u);
    EXPECT_EQ(refusal, Refusal::Empty);
    EXPECT_EQ(buffer.storeMessage(QByteArray(12496, 'x'), &refusal), 0u);
    EXPECT_EQ(refusal, Refusal::TooLong);
    // Releasing an index that holds nothing frees nothing.
    buffer.releaseIndex(1);
    for (int i = 1; i <= 255; ++i)
        ASSERT_EQ(buffer.storeMessage(QByteArray::number(i)), unsigned(i));
    EXPECT_EQ(buffer.storeMessage("2"), 2u); // identical messages share
    EXPECT_EQ(buffer.storeMessage("new", &refusal), 0u);
    EXPECT_EQ(refusal, Refusal::Full);

    buffer.releaseIndex(9);
    buffer.releaseIndex(7);
    buffer.releaseIndex(9); // once is enough
    EXPECT_EQ(buffer.storeMessage("7"), 7u); // held again, not for reuse
    EXPECT_EQ(buffer.storeMessage("new"), 9u);
    EXPECT_EQ(buffer.messageAt(9), QByteArray("new"));
    EXPECT_EQ(buffer.storeMessage("newer"), 0u);
    buffer.reset();
    EXPECT_EQ(buffer.storeMessage(QByteArray(12495, 'x')), 1u); // 255 fragments
}

TEST(AsyncRequestBuffer, FragmentsAreServedByteForByteAndStartAgainAfterTheLast)
{
    EXPECT_EQ(AsyncRequestBuffer::fragmentCount(49), 1);
    EXPECT_EQ(AsyncRequestBuffer::fragmentCount(50), 2);
    EXPECT_EQ(AsyncRequestBuffer::fragmentCount(98), 2);
    AsyncRequestBuffer buffer;
    const auto serve = [&](quint8 index) {
        int fragment = 0, count = 0;
        const QByteArray piece = buffer.nextFragment(index, &fragment, &count);
        return AsyncCommands::dataFragment(index, quint8(fragment + 1), quint8(count), piece);
    };
    const QByteArray message = filled(60, 'A');
    ASSERT_EQ(buffer.storeMessage(message), 1u);
    const QByteArray head(":XP00C\r", 7);
    const QByteArray first = head + bytes({0x35, 1, 1, 2, 0x31}) + message.left(49);
    const QByteArray second = head + bytes({0x0F, 1, 2, 2, 0x0B}) + message.mid(49);
    EXPECT_EQ(serve(1), first);
    EXPECT_EQ(serve(1), second);
    EXPECT_EQ(serve(1), first);
    // Stored again: its fragments go on where they were.
    EXPECT_EQ(buffer.storeMessage(message), 1u);
    EXPECT_EQ(serve(1), second);
    // No message under the index: fragment 1 of 0, no data.
    EXPECT_EQ(serve(200), head + bytes({3, 200, 1, 0}));
}

TEST(AsyncResponse, FieldsAreReadWithinThePacketsLength)
{
    const AsyncResponse request(bytes({0x0C, 0x84, 0x12, 0xC4, 1, 2, 3, 4, 5, 6, 7, 8, 99}));
    ASSERT_EQ(request.kind(), AsyncResponse::Kind_GetMessageRequest);
    EXPECT_EQ(request.address(), 4804);
    EXPECT_EQ(request.deviceData(), bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    const AsyncResponse next(bytes({0x0D, 0x88, 0x01, 0x23, 2, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(next.sequenceByte(), 2);
    EXPECT_EQ(next.messageData(), bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(AsyncResponse(bytes({3, 0x86, 255})).index(), 255);
    // Shorter than its length byte says.
    EXPECT_FALSE(AsyncResponse(bytes({0x0D, 0x87, 0, 5, 1})).isValidResponse());
}

// Feeds response packets; keeps the messages completed.
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
    // Packet 0's bytes first, complete with the third packet.
    r.add(0x0123, false, 2, filled(8, 16));
    r.add(0x0123, false, 1, filled(8, 8));
    r.add(0x0123, true, 3, filled(8, 0));
    // Two addresses at once.
    r.add(1, true, 2, filled(8, 0));
    r.add(2, true, 2, filled(8, 50));
    r.add(2, false, 1, filled(8, 58));
    r.add(1, false, 1, filled(8, 8));
    EXPECT_EQ(r.completed,
              QList<QByteArray>({filled(8, 'a'), filled(24), filled(16, 50), filled(16)}));
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
    // The last packet of the next message is lost: the one after replaces it.
    r.add(7, true, 2, filled(8, 'x'));
    r.add(7, true, 2, filled(8, 'a'));
    r.add(7, false, 1, filled(8, 'i'));
    EXPECT_EQ(r.completed, QList<QByteArray>({filled(24), filled(16, 'a')}));
}

TEST(MessageReassembly, StrayPacketsAreDroppedAndUnfinishedMessagesBounded)
{
    Reassembler r;
    r.add(3, true, 0, filled(8));    // no packets
    r.add(3, false, 0, filled(8));   // a further packet numbered 0
    r.add(3, false, 255, filled(8)); // beyond any count
    EXPECT_EQ(r.reassembly.messagesInProgress(), 0);
    // Beyond the count, before and after it is known.
    r.add(3, false, 5, filled(8, 'z'));
    r.add(3, true, 2, filled(8));
    r.add(3, false, 4, filled(8, 'y'));
    r.add(3, false, 1, filled(8, 8));
    EXPECT_EQ(r.completed, QList<QByteArray>({filled(16)}));

    // Messages that never finish, the first with packet numbers far apart:
    // at the cap, the one waiting longest is dropped for a new one.
    const int cap = MessageReassembly::MaximumMessagesInProgress;
    r.add(0, true, 255, filled(8));
    r.add(0, false, 254, filled(8));
    for (int address = 1; address <= cap + 10; ++address)
        r.add(quint16(address), true, 2, filled(8));
    EXPECT_EQ(r.reassembly.messagesInProgress(), cap);
    r.add(0, false, 1, filled(8));
    EXPECT_EQ(r.completed.size(), 1);
    r.add(quint16(cap + 10), false, 1, filled(8, 8));
    EXPECT_EQ(r.completed.size(), 2);
}

} // namespace
