// The enhanced question session's messages byte for byte, and the decoding
// of the handsets' answers and requests.

#include "support/wait.h"

#include "sessions/enhancedmessages.h"

#include <gtest/gtest.h>

using namespace Orvexsystem;
using namespace OrvexTest;
namespace M = Orvexsystem::EnhancedMessages;

namespace {

QBitArray bitsSet(int size, std::initializer_list<int> set)
{
    QBitArray bits(size);
    for (int i : set)
        bits.setBit(i);
    return bits;
}

TEST(EnhancedMessages, SessionParameters)
{
    EXPECT_EQ(M::sessionParameters(3, 0, true, QBitArray()), bytes({1, 0, 3, 3, 4, 0}));
    // No flags while value 1 is 0, whatever the rest.
    EXPECT_EQ(M::sessionParameters(0, 9, true, bitsSet(3, {0})), bytes({1, 0, 4, 0, 0, 9, 1}));
    EXPECT_EQ(M::sessionParameters(1, 2, false, bitsSet(10, {0, 9})),
              bytes({1, 0, 5, 1, 3, 2, 0x01, 0x02}));
    // Low bytes of the values (the flag tests the whole of value 2); 256
    // bits fill 32 bytes.
    const QByteArray full = M::sessionParameters(0x1FF, 0x100, false, QBitArray(256, true));
    EXPECT_EQ(full.left(6), bytes({1, 0, 35, 0xFF, 0x03, 0x00}));
    EXPECT_EQ(full.mid(6), QByteArray(32, char(0xFF)));
}

TEST(EnhancedMessages, QuestionsOfEveryKind)
{
    // Multiple choice number 2: 4 options, 2 responses, upper case, "Q", "B".
    const quint8 choice = M::multichoiceOptionByte(4, 2, DisplayOption_UpperCase);
    EXPECT_EQ(M::question(1, 2, "Q", false, false, false, "B", choice),
              bytes({2, 0, 0x0A, 2, 1, 0x8A, 0, 0, 1, 0, 1, 'Q', 'B'}));
    // Flags: first bit 0, third bit 1, second bit 2; the number's low byte.
    EXPECT_EQ(M::question(7, 0x1234, "", true, false, false, "", 0).mid(3, 4),
              bytes({0x34, 7, 0, 1}));
    EXPECT_EQ(M::question(5, 1, "", false, true, false, "", 20).at(6), 4);
    EXPECT_EQ(M::question(6, 1, "", false, false, true, "", 20).at(6), 2);
    // Likert: the answer's value as one byte, always there.
    EXPECT_EQ(M::question(4, 1, "Q", false, false, false, "3", 5),
              bytes({2, 0, 10, 1, 4, 5, 0, 0, 1, 0, 1, 'Q', 3}));
    EXPECT_EQ(M::question(4, 1, "Q", false, false, false, "", 5),
              bytes({2, 0, 10, 1, 4, 5, 0, 0, 1, 0, 0, 'Q', 0}));
    // Yes/no with its answer text, UTF-8 text.
    EXPECT_EQ(M::question(2, 3, QString::fromUtf8("é"), false, false, false,
                          M::yesNoAnswerText(YesNoQuestion::Answer_Yes),
                          M::singleChoiceOptionByte(true)),
              bytes({2, 0, 11, 3, 2, 1, 0, 0, 2, 0, 1, 0xC3, 0xA9, 'A'}));
    EXPECT_EQ(M::yesNoAnswerText(YesNoQuestion::Answer_None), "?");
    EXPECT_EQ(M::yesNoAnswerText(YesNoQuestion::Answer_No), "B");
    EXPECT_EQ(M::trueFalseAnswerText(TrueFalseQuestion::Answer_True), "A");
    EXPECT_EQ(M::trueFalseAnswerText(TrueFalseQuestion::Answer_Other), "C");
    EXPECT_EQ(M::multichoiceOptionByte(9, 9, DisplayOption(7)), 6 * 32 + 6 * 4);
}

TEST(EnhancedMessages, TextsPopUpsAndTheEnd)
{
    EXPECT_EQ(M::popUp(true, ""), bytes({5, 0, 0}));
    EXPECT_EQ(M::popUp(false, "Hi"), bytes({5, 0, 3, 0, 'H', 'i'}));
    EXPECT_EQ(M::text(true, ""), bytes({3, 0, 1, 1}));
    EXPECT_EQ(M::text(false, "Go"), bytes({3, 0, 3, 0, 'G', 'o'}));
    EXPECT_EQ(M::noMoreQuestions(""), bytes({4, 0, 0}));
    EXPECT_EQ(M::noMoreQuestions("End"), bytes({4, 0, 3, 'E', 'n', 'd'}));
}

TEST(EnhancedMessages, AnswersAndRequestsAreDecoded)
{
    const QByteArray choice = bytes({0x41, 0x63, 0x47, 0x31, 0, 0});
    EXPECT_EQ(M::multichoiceAnswer(choice, DisplayOption_Numeric), "1c1");
    EXPECT_EQ(M::multichoiceAnswer(choice, DisplayOption_LowerCase), "ac");
    EXPECT_EQ(M::multichoiceAnswer(choice, DisplayOption_UpperCase), "Ac");
    EXPECT_EQ(M::multichoiceAnswer(bytes({'A'}), DisplayOption_UpperCase), "");

    EXPECT_EQ(M::yesNoAnswer("A"), YesNoQuestion::Answer_Yes);
    EXPECT_EQ(M::yesNoAnswer("B"), YesNoQuestion::Answer_No);
    EXPECT_EQ(M::yesNoAnswer("C"), YesNoQuestion::Answer_Other);
    EXPECT_EQ(M::yesNoAnswer(""), YesNoQuestion::Answer_Other);
    EXPECT_EQ(M::trueFalseAnswer("A"), TrueFalseQuestion::Answer_True);
    EXPECT_EQ(M::trueFalseAnswer("B"), TrueFalseQuestion::Answer_False);
    EXPECT_EQ(M::trueFalseAnswer("x"), TrueFalseQuestion::Answer_Other);

    EXPECT_EQ(M::likertAnswer(bytes({5, 0})), 5);
    EXPECT_EQ(M::likertAnswer(bytes({0xFE})), -2);
    EXPECT_EQ(M::likertAnswer("5"), 53);
    EXPECT_EQ(M::textAnswer(QByteArray("3.14\0junk", 9)), "3.14");
    EXPECT_EQ(M::textAnswer(QByteArray("Am\xC3\xA9lie")), QString::fromUtf8("Amélie"));

    EXPECT_EQ(M::parseRequest(bytes({1, 0, 5, 0, 0, 0, 0, 0})).kind, M::Request_Question);
    EXPECT_EQ(M::parseRequest(bytes({1, 0, 5})).questionNumber, 5);
    EXPECT_EQ(M::parseRequest(bytes({1, 0})).questionNumber, 0);
    EXPECT_EQ(M::parseRequest(bytes({0xFF})).kind, M::Request_ShutDown);
    EXPECT_EQ(M::parseRequest(QByteArray()).kind, -1);
}

} // namespace
