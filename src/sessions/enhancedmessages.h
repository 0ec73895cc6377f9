#ifndef ORVEXSYSTEM_SESSIONS_ENHANCEDMESSAGES_H
#define ORVEXSYSTEM_SESSIONS_ENHANCEDMESSAGES_H

// The device messages of an enhanced question session, byte for byte, and
// the decoding of what the handsets send back. They travel through the
// asynchronous message transport, which never looks inside them.
//
// Host to handset: a type byte, a 16-bit big-endian length L counting the
// bytes after it, then:
//   01 session parameters  value1 (low byte), flags, value2 (low byte), the
//                          bit array packed LSB first into ceil(n/8) bytes;
//                          flags 0 when value1 is 0, else bit 0 value2 != 0,
//                          bit 1 bits not empty, bit 2 the session flag
//   02 question            number (low byte), type 1-7, option byte, flags
//                          (bit 0 first, bit 1 third, bit 2 second flag),
//                          text length (16 bits), answer length (16 bits),
//                          the text (UTF-8), the answer: for type 4 one
//                          byte, its value; otherwise its UTF-8 bytes
//   03 text                flag byte (1 or 0), the text
//   04 no more questions   the text
//   05 pop-up              flag byte and the text; nothing for an empty text
//
// Handset to host: the 8 bytes of a get-message request (byte 0: 00 the
// session parameters, 01 question number byte 2, FF switching off), and
// answers as whole messages, read by the kind of the question last sent.

#include <orvexsystem/enhancedquestion.h>

#include <QtCore/QBitArray>
#include <QtCore/QByteArray>
#include <QtCore/QString>

namespace Orvexsystem {
namespace EnhancedMessages {

enum MessageType {
    Message_SessionParameters = 0x01,
    Message_Question = 0x02,
    Message_Text = 0x03,
    Message_NoMoreQuestions = 0x04,
    Message_PopUp = 0x05
};

enum RequestKind {
    Request_SessionParameters = 0x00,
    Request_Question = 0x01,
    Request_ShutDown = 0xFF
};

// The packing area of the session parameters holds 256 bits.
const int MaximumSessionBits = 256;

// Question kinds, as type() gives them.
enum QuestionType {
    Type_Multichoice = 1,
    Type_YesNo = 2,
    Type_TrueFalse = 3,
    Type_Likert = 4,
    Type_Numeric = 5,
    Type_Text = 6,
    Type_SortInOrder = 7
};

// The bit array must hold at most MaximumSessionBits bits.
QByteArray sessionParameters(int value1, int value2, bool flag, const QBitArray &bits);
// answer is the answer text: for type 4 the decimal digits of the value
// (empty for none), whose value goes out as one byte (0 for none, so that
// the length always agrees with the bytes).
QByteArray question(quint8 type, int number, const QString &text, bool firstFlag,
                    bool secondFlag, bool thirdFlag, const QString &answer, quint8 option);
QByteArray text(bool flag, const QString &text);
QByteArray noMoreQuestions(const QString &text);
QByteArray popUp(bool flag, const QString &text);

// Option bytes: types 2 and 3 the option as 1 or 0; types 1 and 7 as the
// question sessions send it (options, responses, display).
quint8 singleChoiceOptionByte(bool option);
quint8 multichoiceOptionByte(int options, int responses, DisplayOption display);

// The expected-answer texts of yes/no and true/false questions: "A" yes or
// true, "B" no or false, "C" other, "?" none.
QString yesNoAnswerText(YesNoQuestion::Answer answer);
QString trueFalseAnswerText(TrueFalseQuestion::Answer answer);

// A get-message request: its kind (byte 0; -1 when there is none) and the
// question number (byte 2, 0 when the data are shorter).
struct Request
{
    int kind = -1;
    int questionNumber = 0;
};
Request parseRequest(const QByteArray &deviceData);

// Answers. Multiple choice and sort in order: every byte but the last two,
// keeping only the characters 1-6 and a-f (a-f alone unless the display
// option is numeric), in either case; then A-F become 1-6 (numeric), the
// text lower case (lower case), or stays (upper case).
QString multichoiceAnswer(const QByteArray &message, int displayOption);
// Byte 0: 'A' yes / true, 'B' no / false, anything else (none) other.
YesNoQuestion::Answer yesNoAnswer(const QByteArray &message);
TrueFalseQuestion::Answer trueFalseAnswer(const QByteArray &message);
// Byte 0 as a signed value; 0 for an empty message.
int likertAnswer(const QByteArray &message);
// Numeric and text: UTF-8 up to the first zero byte.
QString textAnswer(const QByteArray &message);

} // namespace EnhancedMessages
} // namespace Orvexsystem

#endif
