// Reply parsers of the 2.4 GHz hub: match tests at their boundaries, the
// fields they read, and the list terminators.

#include "support/wait.h"

#include <orvexsystem/hubresponse.h>
#include <orvexsystem/twopointfourghzresponses.h>

#include "hub/responsehandler.h"

#include <gtest/gtest.h>

using namespace Orvexsystem;
using namespace OrvexTest;

namespace {

QByteArray be16(int v)
{
    return bytes({(v >> 8) & 0xFF, v & 0xFF});
}

// A list record: length, kind, uid, address, product id, zero-padded name.
QByteArray record(int length, int kind, quint32 uid, quint16 address, int product,
                  const QByteArray &name, int nameWidth)
{
    return bytes({length, kind}) + be16(int(uid >> 16)) + be16(int(uid & 0xFFFF)) +
           be16(address) + bytes({product}) + name.leftJustified(nameWidth, '\0', true);
}

QByteArray vote(quint32 uid, const QByteArray &name, int product = 6)
{
    return record(13, 0x67, uid, 0xBEEF, product, name, 4);
}

QByteArray expression(quint32 uid, const QByteArray &name, int product = 9)
{
    return record(23, 0x80, uid, 0x0206, product, name, 14);
}

QByteArray slate(int length, int extra = 0)
{
    const QByteArray p = record(length, 0x67, 7, 8, 7, "Slate", 10);
    return length == 20 ? p + bytes({extra}) : p;
}

QByteArray board(int version)
{
    return record(23, 0x90, 0x08E50001, 0x0501, 8, "Board 12", 10) + bytes({0}) + be16(version) +
           bytes({2});
}

const QByteArray ok = bytes({0x04, 0x32, 0x4F, 0x4B});

} // namespace

TEST(RfResponses, FixedRepliesAndTheirBoundaries)
{
    EXPECT_TRUE(OKResponse(ok).isValidResponse());
    EXPECT_FALSE(OKResponse::isValid(bytes({0x05, 0x32, 0x4F, 0x4B, 0x00})));
    EXPECT_FALSE(OKResponse::isValid(ok.left(3)));

    const QByteArray infoBytes = bytes({0x0B, 0x51, 0, 40, 2, 0, 1, 4, 2, 64, 0});
    InformationResponse info(infoBytes);
    ASSERT_TRUE(info.isValidResponse());
    EXPECT_EQ(info.handsetsInUse(), 40);
    EXPECT_EQ(info.handsetCapacity(), 0x0200);
    EXPECT_EQ(info.boardCapacity(), 4);
    EXPECT_EQ(info.slatesInUse(), 2);
    EXPECT_EQ(info.hubMode(), 1);
    EXPECT_FALSE(InformationResponse::isValid(infoBytes.left(10)));
    QByteArray shortClaim = infoBytes;
    shortClaim[0] = 10;
    EXPECT_FALSE(InformationResponse::isValid(shortClaim));
    const int modeBytes[] = {0, 1, 3, 5, 8, 9, 12, 13, 17, 18, 32, 33, 35, 48};
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ(InformationResponse::hubModeOf(quint8(modeBytes[i])), i + 1);
    for (int other : {2, 4, 49, 255})
        EXPECT_EQ(InformationResponse::hubModeOf(quint8(other)), 0) << other;

    NameAndFreeStoreResponse name(bytes({0x10, 0x32}) + QByteArray("Library\0\0\0", 10) +
                                  bytes({1, 2, 3, 4}));
    EXPECT_EQ(name.name(), QStringLiteral("Library"));
    EXPECT_EQ(name.freeStore(), bytes({1, 2, 3, 4}));
    EXPECT_EQ(DeviceCountResponse(bytes({0x04, 0x53, 0x01, 0x02})).count(), 0x0102);
    EXPECT_FALSE(DeviceCountResponse::isValid(bytes({0x03, 0x53, 0x01})));

    EXPECT_EQ(BoardInfoResponse(board(850)).boardVersion(), 850);
    EXPECT_EQ(BoardInfoResponse(board(0x0351)).boardVersion(), 849);
    EXPECT_EQ(BoardInfoResponse(board(850)).trailingByte(), 2);
    EXPECT_FALSE(BoardInfoResponse::isValid(board(850) + "x")); // exactly 23 bytes

    BatteryLowResponse low(bytes({0x08, 0x50, 0x06, 0xA1, 0x00, 0x01, 0x01, 0x02}));
    EXPECT_EQ(low.uid(), 0x06A10001u);
    EXPECT_EQ(low.address(), 0x0102);
    EXPECT_FALSE(BatteryLowResponse::isValid(bytes({0x07, 0x50, 0, 0, 0, 0, 0})));
}

TEST(RfResponses, ListRecordsByKind)
{
    RegisteredVoteResponse desk(vote(0x0012AB34, "Desk"));
    ASSERT_TRUE(desk.isValidResponse());
    EXPECT_EQ(desk.name(), QStringLiteral("Desk"));
    EXPECT_EQ(desk.hexId(), QByteArray("0012AB34BEEF"));
    EXPECT_EQ(RegisteredVoteResponse(vote(1, "AB")).name(), QStringLiteral("AB"));
    EXPECT_TRUE(RegisteredVoteResponse::isValid(vote(1, "A", 10)));
    EXPECT_FALSE(RegisteredVoteResponse::isValid(vote(1, "A", 9)));
    EXPECT_FALSE(RegisteredVoteResponse::isValid(vote(1, "A") + "x"));

    RegisteredExpressionResponse newer(expression(0x0CB20006, "Ren\xE9"));
    EXPECT_EQ(newer.subType(), Device::SubType_Expression0C);
    EXPECT_EQ(newer.name(), QString::fromUtf8("Ren\xC3\xA9")); // ISO 8859-1
    EXPECT_EQ(RegisteredExpressionResponse(expression(0x09B20001, "A")).subType(),
              Device::SubType_Expression);
    EXPECT_EQ(RegisteredExpressionResponse(expression(0x0DD40001, "P", 13)).subType(),
              Device::SubType_None);
    EXPECT_FALSE(RegisteredExpressionResponse::isValid(expression(1, "A", 6)));
    EXPECT_FALSE(RegisteredExpressionResponse::isValid(expression(1, "A").left(22)));

    EXPECT_EQ(RegisteredSlateResponse(slate(20, -3)).extra(), -3);
    EXPECT_TRUE(RegisteredSlateResponse(slate(19)).isValidResponse());
    EXPECT_EQ(RegisteredSlateResponse(slate(19)).extra(), 0);
    QByteArray tooLong = slate(20) + "x";
    tooLong[0] = 21;
    EXPECT_FALSE(RegisteredSlateResponse::isValid(tooLong));
    // A 19-byte packet that claims 20 has no extra byte to read.
    QByteArray lying = slate(19);
    lying[0] = 20;
    EXPECT_EQ(RegisteredSlateResponse(lying).extra(), 0);

    EXPECT_EQ(RegisteredBoardResponse(board(912)).name(), QStringLiteral("Board 12"));
    EXPECT_FALSE(RegisteredBoardResponse::isValid(expression(1, "A")));
}

template <class T>
void expectTerminatorBehaviour(const QByteArray &record)
{
    const QByteArray end = T::listTerminator();
    EXPECT_FALSE(T::isValid(end));
    ResponseHandler<T> handler;
    handler.addPacket(bytes({0x07, 0x67, 1, 2, 3}));
    handler.addPacket(record);
    handler.addPacket(ok);
    QByteArray a, b;
    ASSERT_TRUE(handler.getNextPacket(&a, 0));
    ASSERT_TRUE(handler.getNextPacket(&b, 0));
    EXPECT_EQ(a, record);
    EXPECT_EQ(b, end);
    EXPECT_FALSE(handler.getNextPacket(nullptr, 0));
}

TEST(RfResponses, ListHandlersQueueTheTerminatorForTheOkReplyAndNothingElse)
{
    // Records of uid 0 with an empty name, as a hub sends for blank
    // entries, must never end a list.
    expectTerminatorBehaviour<RegisteredVoteResponse>(vote(0, ""));
    expectTerminatorBehaviour<RegisteredExpressionResponse>(expression(0, ""));
    expectTerminatorBehaviour<RegisteredSlateResponse>(slate(20));
    expectTerminatorBehaviour<RegisteredBoardResponse>(board(0));
}

TEST(RfResponses, SessionNamingAndGenericReplies)
{
    const QByteArray answer = bytes({12, 0x83, 0x01, 0x02, 0x05, 0xFF, 0xFE, 1, 2, 3, 4, 5});
    SessionByteResponse one(answer);
    EXPECT_EQ(one.address(), 0x0102);
    EXPECT_EQ(one.answer(), -2);
    EXPECT_EQ(SessionSortInOrderResponse(answer).answers(), bytes({0xFE, 1, 2, 3, 4, 5}));
    EXPECT_FALSE(SessionByteResponse::isValid(answer.left(11)));
    EXPECT_EQ(ExpressionNameReceivedResponse(bytes({4, 0x82, 0xAA, 0x55})).byte2(), 0xAA);

    VirtualGenericAsyncResponse generic(bytes({0, 0, 0, 7, 0xE1, 0x01, 0x02, 0x48, 0x49}));
    ASSERT_TRUE(generic.isValidResponse());
    EXPECT_EQ(generic.address(), 0x0102);
    EXPECT_EQ(generic.number24(), 7u);
    EXPECT_EQ(generic.message(), QByteArray("HI"));
    EXPECT_FALSE(VirtualGenericAsyncResponse::isValid(bytes({0, 0, 0, 7, 0xE1, 1})));
    EXPECT_FALSE(generic.parse(bytes({1, 0, 0, 7, 0xE1, 1, 2})));
    EXPECT_TRUE(generic.message().isEmpty());
}
