// Registration, naming and question sessions of the 2.4 GHz hub: the exact
// command bytes, the checks before anything is sent, and the ends.

#include "rfsessionfixture.h"

#include <orvexsystem/registrationcode.h>

using namespace Orvexsystem;
using namespace OrvexTest;

namespace {

const RegistrationCode ABC(RegistrationCode::CHAR_CODE_A, RegistrationCode::CHAR_CODE_B,
                           RegistrationCode::CHAR_CODE_C);

QByteArray cr(const char *text)
{
    return QByteArray(text) + '\r';
}

// The ":XP005" block of a question start, without its entity id (byte 2),
// which differs from start to start.
QByteArray blockOf(const QByteArray &command)
{
    EXPECT_TRUE(command.startsWith(":XP005\r")) << command.toHex().constData();
    QByteArray block = command.mid(7);
    if (block.size() > 2)
        block[2] = 0;
    return block;
}

} // namespace

class RfSessionCommands : public RfSessionFixture
{
};

TEST(RegistrationCodeText, ATextTooShortKeepsTheDefaultLetters)
{
    const RegistrationCode one(QStringLiteral("B"));
    EXPECT_EQ(one.toString(), QStringLiteral("BAA"));
    EXPECT_EQ(RegistrationCode(QString()).toString(), QStringLiteral("AAA"));
    const RegistrationCode four(QStringLiteral("CDEF"));
    EXPECT_EQ(four.char1(), 'C');
    EXPECT_EQ(four.char3(), 'E');
}

TEST_F(RfSessionCommands, RegistrationStartsSendTheirCommandsOnlyToAnIdleHubWithoutSession)
{
    ASSERT_TRUE(hub->startVoteRegistrationSession(5, 1, 12, ABC));
    EXPECT_EQ(writes(), QList<QByteArray>({cr(":GI"), cr(":VR0050112ABC")}));
    EXPECT_EQ(hub->sessionState(), SessionHub::Session_VoteRegistration);
    driver.clearLog();
    EXPECT_FALSE(hub->startSlateRegistrationSession(1, 1, 1, ABC)); // a session is open
    EXPECT_TRUE(writes().isEmpty());
    ASSERT_TRUE(hub->stopVoteRegistrationSession());

    driver.clearLog();
    ASSERT_TRUE(hub->startSlateRegistrationSession(1234, 100, 7, RegistrationCode(QStringLiteral("FED"))));
    EXPECT_EQ(lastWrite(), cr(":SR123410007FED")); // longer numbers keep their digits
    ASSERT_TRUE(hub->stopSlateRegistrationSession());

    driver.clearLog();
    ASSERT_TRUE(hub->startExpressionRegistrationSession(0x1234, 2, 3, ABC));
    EXPECT_EQ(lastWrite(), QByteArray(":XP001\r") + bytes({9, 0x12, 0x34, 2, 3, 'A', 'B', 'C', 0}));
    ASSERT_TRUE(hub->stopExpressionRegistrationSession());
    ASSERT_TRUE(hub->startNamingExpressionRegistrationSession(0x1234, 2, 3, ABC, CharacterType_Type2,
                                                              true, 10));
    EXPECT_EQ(quint8(lastWrite().back()), 0x5A);
    EXPECT_EQ(hub->sessionState(), SessionHub::Session_ExpressionRegistration);
    ASSERT_TRUE(hub->stopExpressionRegistrationSession());

    busyMode = 1;
    driver.clearLog();
    EXPECT_FALSE(hub->startVoteRegistrationSession(5, 1, 12, ABC));
    EXPECT_EQ(writes(), QList<QByteArray>({cr(":GI")}));
    EXPECT_EQ(hub->sessionState(), SessionHub::Session_None);
}

TEST_F(RfSessionCommands, RegistrationStopsEndTheSessionAndRereadTheirLists)
{
    EXPECT_TRUE(hub->stopVoteRegistrationSession()); // none open: nothing sent
    EXPECT_TRUE(writes().isEmpty());
    ASSERT_TRUE(hub->startExpressionRegistrationSession(1, 2, 3, ABC));
    EXPECT_FALSE(hub->stopVoteRegistrationSession()); // another kind
    driver.clearLog();
    ASSERT_TRUE(hub->stopExpressionRegistrationSession());
    EXPECT_EQ(writes(), QList<QByteArray>({cr(":VE"), cr(":GR09"), cr(":GR0d")}));
    EXPECT_EQ(hub->registrationEnds.load(), 1);
    EXPECT_EQ(hub->sessionState(), SessionHub::Session_None);

    // An end the hub does not take still ends the session, lists not read.
    ASSERT_TRUE(hub->startVoteRegistrationSession(1, 2, 3, ABC));
    driver.clearLog();
    driver.setWriteResult(-1);
    EXPECT_FALSE(hub->stopVoteRegistrationSession());
    EXPECT_EQ(hub->getLastError(), Hub::Error_CommsFailure);
    EXPECT_EQ(writes(), QList<QByteArray>({cr(":VE")}));
    EXPECT_EQ(hub->sessionState(), SessionHub::Session_None);
}

TEST_F(RfSessionCommands, NamingCommandsCutNamesToTheirFieldsAndOpenTheirSessions)
{
    EXPECT_FALSE(hub->nameOrvexvote(0xDEAD, QStringLiteral("X"))); // not listed
    EXPECT_TRUE(writes().isEmpty());
    ASSERT_TRUE(hub->nameOrvexvote(Vote1, QStringLiteral("Sixabc")));
    EXPECT_EQ(lastWrite(), cr(":VN06A100010101Sixa"));
    EXPECT_EQ(hub->sessionState(), SessionHub::Session_OrvexvoteNaming);
    ASSERT_TRUE(hub->nameOrvexvote(Vote2, QStringLiteral("A\rB"))); // a CR never ends it early
    EXPECT_EQ(lastWrite(), QByteArray(":VN06A100020102A?B") + bytes({0}) + '\r');
    EXPECT_FALSE(hub->nameSlate(Slate1, QStringLiteral("S")));      // another naming session
    EXPECT_FALSE(hub->startOrvexvoteNamingSession());
    EXPECT_EQ(hub->getLastError(), Hub::Error_Busy);
    driver.clearLog();
    ASSERT_TRUE(hub->stopOrvexvoteNamingSession());
    EXPECT_EQ(writes(), QList<QByteArray>({cr(":VE"), cr(":GR06")}));

    ASSERT_TRUE(hub->nameSlate(Slate1, QStringLiteral("Slate")));
    EXPECT_EQ(lastWrite(), QByteArray(":NS07C300010301Slate") + QByteArray(5, '\0') + '\r');
    ASSERT_TRUE(hub->stopSlateNamingSession());
    ASSERT_TRUE(hub->startOrvexvoteNamingSession());
    EXPECT_EQ(lastWrite(), cr(":VN"));
    ASSERT_TRUE(hub->stopOrvexvoteNamingSession());

    // Expression handsets: a block whose length byte matches its bytes,
    // whatever the name's length; the hub's reply comes back.
    ExpressionNameReceivedResponse reply;
    ASSERT_TRUE(hub->nameExpression(Expression1, QStringLiteral("Amélie-Françoise-Long"), &reply));
    const QByteArray named = lastWrite();
    ASSERT_EQ(named.size(), 7 + 0x11);
    EXPECT_EQ(named.mid(7, 3), bytes({0x11, 0x02, 0x01}));
    EXPECT_EQ(named.mid(10), QStringLiteral("Amélie-Françoi").toLatin1());
    EXPECT_TRUE(reply.isValidResponse());
    EXPECT_EQ(reply.byte2(), 0x12);
    ASSERT_TRUE(hub->nameExpression(Expression1, QStringLiteral("Bo"), nullptr));
    EXPECT_EQ(lastWrite().mid(10), QByteArray("Bo") + QByteArray(12, '\0'));
    EXPECT_FALSE(hub->nameExpression(Vote1, QStringLiteral("X"), nullptr)); // not an expression

    driver.clearLog();
    ASSERT_TRUE(hub->startExpressionNamingSession());
    EXPECT_EQ(writes(), QList<QByteArray>({cr(":XP002")}));
    EXPECT_FALSE(hub->startExpressionNamingSession());
    driver.clearLog();
    ASSERT_TRUE(hub->stopExpressionNamingSession());
    EXPECT_EQ(writes(), QList<QByteArray>({cr(":VE"), cr(":GR09"), cr(":GR0d")}));
}

TEST_F(RfSessionCommands, QuestionStartsSendTheirBlocks)
{
    ASSERT_TRUE(hub->startYesNoSession(1, true, TimeUnit_Minutes, 30, nullptr, nullptr));
    EXPECT_EQ(blockOf(lastWrite()), bytes({9, 1, 0, 0, 0x9E, 2, 1, 0, 0}));
    const quint8 firstEntity = quint8(lastWrite().at(9));
    ASSERT_TRUE(hub->stopSession());
    ASSERT_TRUE(hub->startTrueFalseSession(2, false, TimeUnit_Seconds, 200, nullptr, nullptr));
    EXPECT_EQ(blockOf(lastWrite()), bytes({9, 1, 0, 0, 0x7F, 3, 0, 0, 0}));
    EXPECT_NE(quint8(lastWrite().at(9)), firstEntity);
    ASSERT_TRUE(hub->stopSession());
    ASSERT_TRUE(hub->startLikertSession(3, 7, TimeUnit_Minutes, 500, nullptr, nullptr));
    EXPECT_EQ(blockOf(lastWrite()), bytes({9, 1, 0, 0, 0xFF, 4, 7, 0, 0}));
    ASSERT_TRUE(hub->stopSession());
    ASSERT_TRUE(hub->startMultichoiceSession(4, 4, 2, DisplayOption_UpperCase, TimeUnit_Seconds,
                                             10, nullptr, nullptr));
    EXPECT_EQ(blockOf(lastWrite()), bytes({9, 1, 0, 0, 10, 1, 0x8A, 0, 0}));
    ASSERT_TRUE(hub->stopSession());
    ASSERT_TRUE(hub->startSortInOrderSession(5, 6, 6, DisplayOption(3), TimeUnit_Seconds, -5,
                                             nullptr, nullptr));
    EXPECT_EQ(blockOf(lastWrite()), bytes({9, 1, 0, 0, 0, 7, 6 * 32 + 6 * 4, 0, 0}));
    ASSERT_TRUE(hub->stopSession());

    const QString text48 = QString(46, QLatin1Char('x')) + QStringLiteral("é"); // 48 bytes
    ASSERT_TRUE(hub->startNumericSession(6, text48, 255, TimeUnit_Seconds, 60, nullptr, nullptr));
    const QByteArray numeric = blockOf(lastWrite());
    EXPECT_EQ(numeric.left(9), bytes({58, 1, 0, 0, 60, 5, 255, 0, 49}));
    EXPECT_EQ(numeric.mid(9), text48.toUtf8() + QByteArray(1, '\0'));
    ASSERT_TRUE(hub->stopSession());
    ASSERT_TRUE(hub->startTextSession(7, QString(), 0, TimeUnit_Seconds, 60, nullptr, nullptr));
    EXPECT_EQ(blockOf(lastWrite()), bytes({10, 1, 0, 0, 60, 6, 0, 0, 1, 0}));
    ASSERT_TRUE(hub->stopSession());
    ASSERT_TRUE(hub->startMessageSession(8, QStringLiteral("Hi"), TimeUnit_Seconds, 5, nullptr, nullptr));
    EXPECT_EQ(blockOf(lastWrite()), bytes({12, 1, 0, 0, 5, 8, 0, 0, 3, 'H', 'i', 0}));
    ASSERT_TRUE(hub->stopSession());
    ASSERT_TRUE(hub->startExpressionEnduserNamingSession(9, CharacterType_Type3, 12, true, nullptr,
                                                         nullptr));
    EXPECT_EQ(blockOf(lastWrite()), bytes({9, 1, 0, 0, 0, 9, 0x60 | 0x10 | 12, 0, 0}));
    driver.clearLog();
    ASSERT_TRUE(hub->stopExpressionEndUserNamingSession());
    EXPECT_EQ(writes(), QList<QByteArray>({cr(":XP004")}));
}

TEST_F(RfSessionCommands, QuestionStartChecksComeInOrderAndSendNothing)
{
    auto rejected = [&](bool started, Hub::Error error) {
        EXPECT_FALSE(started);
        EXPECT_EQ(hub->getLastError(), error);
    };
    rejected(hub->startYesNoSession(0, true, TimeUnit_Seconds, 1, nullptr, nullptr),
             Hub::Error_BadQuestionId);
    rejected(hub->startMultichoiceSession(0, 9, 1, DisplayOption_Numeric, TimeUnit_Seconds, 1,
                                          nullptr, nullptr),
             Hub::Error_BadQuestionId); // the number before the options
    rejected(hub->startMultichoiceSession(1, 7, 1, DisplayOption_Numeric, TimeUnit_Seconds, 1,
                                          nullptr, nullptr),
             Hub::Error_NumOfOptionsNotWithinTheRange);
    rejected(hub->startSortInOrderSession(1, 3, 0, DisplayOption_Numeric, TimeUnit_Seconds, 1,
                                          nullptr, nullptr),
             Hub::Error_NumOfResponsesNotWithinTheRange);
    rejected(hub->startMultichoiceSession(1, 2, 3, DisplayOption_Numeric, TimeUnit_Seconds, 1,
                                          nullptr, nullptr),
             Hub::Error_NumOfResponsesExceedsNumOfOptions);
    rejected(hub->startLikertSession(1, 3, TimeUnit_Seconds, 1, nullptr, nullptr),
             Hub::Error_ScaleValueNotWithinTheRange);
    rejected(hub->startNumericSession(1, QString(), 256, TimeUnit_Seconds, 1, nullptr, nullptr),
             Hub::Error_ResponseSizeNotWithinTheRange);
    rejected(hub->startTextSession(1, QString(49, QLatin1Char('x')), 10, TimeUnit_Seconds, 1,
                                   nullptr, nullptr),
             Hub::Error_StringTooLong);
    rejected(hub->startMessageSession(1, QString(25, QChar(0x00E9)), TimeUnit_Seconds, 1, nullptr,
                                      nullptr),
             Hub::Error_StringTooLong); // 50 UTF-8 bytes
    rejected(hub->startExpressionEnduserNamingSession(1, CharacterType_Type1, 15, false, nullptr,
                                                      nullptr),
             Hub::Error_NameLengthNotWithinTheRange);
    EXPECT_TRUE(writes().isEmpty());

    ASSERT_TRUE(hub->startLikertSession(1, 4, TimeUnit_Seconds, 1, nullptr, nullptr));
    driver.clearLog();
    rejected(hub->startYesNoSession(2, true, TimeUnit_Seconds, 1, nullptr, nullptr),
             Hub::Error_CannotStartSessionBecauseCurrentlyInSession);
    EXPECT_TRUE(writes().isEmpty());
    // End-user naming does not check for an open session.
    ASSERT_TRUE(hub->startExpressionEnduserNamingSession(2, CharacterType_Type1, 4, false, nullptr,
                                                         nullptr));
    EXPECT_EQ(hub->sessionState(), SessionHub::Session_ExpressionEndUserNaming);
    ASSERT_TRUE(hub->stopSession());

    driver.setWriteResult(-1);
    rejected(hub->startNumericSession(3, QStringLiteral("?"), 8, TimeUnit_Seconds, 1, nullptr,
                                      nullptr),
             Hub::Error_CommsFailure);
    EXPECT_EQ(hub->sessionState(), SessionHub::Session_None);
    hub->setConnected(false);
    rejected(hub->startMessageSession(0, QString(99, QLatin1Char('x')), TimeUnit_Seconds, 1,
                                      nullptr, nullptr),
             Hub::Error_NotConnected); // first of all
}

TEST_F(RfSessionCommands, StopSessionEndsAnySessionAndAFailedEndLeavesItRunning)
{
    EXPECT_TRUE(hub->stopSession()); // none open: nothing sent
    EXPECT_TRUE(writes().isEmpty());

    // A PIN naming session ends like any other.
    ASSERT_TRUE(hub->startOrvexvotePinNamingSession(3, nullptr, nullptr));
    EXPECT_EQ(lastWrite(), cr(":VZ3"));
    ASSERT_TRUE(hub->stopSession());
    EXPECT_EQ(lastWrite(), cr(":VE"));
    EXPECT_EQ(hub->sessionState(), SessionHub::Session_None);
    ASSERT_TRUE(hub->removeOrvexvote(Vote1)); // no longer blocked
    ASSERT_TRUE(hub->stopRemoveVoteDeviceSession());

    EXPECT_EQ(hub->getNextFileId(), 1u);
    EXPECT_EQ(hub->getNextFileId(), 2u);
    ASSERT_TRUE(hub->startYesNoSession(1, false, TimeUnit_Seconds, 5, nullptr, nullptr));
    answerEnds = false;
    driver.setWriteResult(-1);
    EXPECT_FALSE(hub->stopSession());
    EXPECT_EQ(hub->getLastError(), Hub::Error_CommsFailure);
    EXPECT_EQ(hub->sessionState(), SessionHub::Session_YesNo);
    EXPECT_EQ(hub->getNextFileId(), 3u); // not reset by a failed end
    driver.setWriteResult(0);
    answerEnds = true;
    ASSERT_TRUE(hub->stopSession());
    EXPECT_EQ(hub->getNextFileId(), 1u); // reset by the end

    hubPrivate()->fileId.store(0xFFFFFE);
    EXPECT_EQ(hub->getNextFileId(), 0xFFFFFFu);
    EXPECT_EQ(hub->getNextFileId(), 1u);

    hub->setConnected(false);
    EXPECT_FALSE(hub->stopSession());
    EXPECT_EQ(hub->getLastError(), Hub::Error_NotConnected);
}
