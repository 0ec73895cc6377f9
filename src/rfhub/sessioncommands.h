#ifndef ORVEXSYSTEM_RFHUB_SESSIONCOMMANDS_H
#define ORVEXSYSTEM_RFHUB_SESSIONCOMMANDS_H

// The commands of the 2.4 GHz hub's registration, naming and question
// sessions, byte for byte. Blocks after the carriage return start with their
// own length, counted with that byte.

#include <orvexsystem/registrationcode.h>
#include <orvexsystem/sessiontypes.h>

#include <QtCore/QByteArray>
#include <QtCore/QString>

namespace Orvexsystem {
namespace SessionCommands {

// Question kinds of the ":XP005" block.
enum QuestionKind {
    Kind_Multichoice = 1,
    Kind_YesNo = 2,
    Kind_TrueFalse = 3,
    Kind_Likert = 4,
    Kind_Numeric = 5,
    Kind_Text = 6,
    Kind_SortInOrder = 7,
    Kind_Message = 8,
    Kind_EndUserNaming = 9
};

const int NameExpressionLength = 14;
const int NameVoteLength = 4;
const int NameSlateLength = 10;
// The longest question text, in UTF-8 bytes, that a block carries.
const int MaximumQuestionTextLength = 48;

extern const char EndSession[];            // ":VE" CR
extern const char EndEndUserNaming[];      // ":XP004" CR
extern const char OpenExpressionNaming[];  // ":XP002" CR
extern const char OpenVoteNaming[];        // ":VN" CR

// ":VR" or ":SR": the three numbers in decimal, zero-padded to 3, 2 and 2
// digits (longer numbers keep all their digits), the PIN's three letters
// (the low byte of each), CR.
QByteArray registration(const char *code, unsigned short first, unsigned char second,
                        unsigned char third, const RegistrationCode &pin);
// ":XP001" CR, then 09, first (high, low), second, third, the PIN's letters,
// and the last byte (0, or the naming byte).
QByteArray expressionRegistration(unsigned short first, unsigned char second,
                                  unsigned char third, const RegistrationCode &pin,
                                  quint8 lastByte);
// 1 to 4 for those character types, 0 for any other.
int characterTypeCode(CharacterType type);
// Bits 7-5 the character type's code, bit 4 the flag, ORed with value.
quint8 namingByte(CharacterType type, bool flag, unsigned char value);

// ":XP003" CR, 0x11, the radio address (high, low), the name in ISO 8859-1
// cut or padded with zero bytes to 14 bytes.
QByteArray nameExpression(quint16 address, const QString &name);
// code (":VN", ":NS"), the 12 characters of hexId, the name in ASCII cut or
// padded with zero bytes to width, CR. Characters outside printable ASCII
// (CR among them) are sent as '?', so that a name never ends the command.
QByteArray nameDevice(const char *code, const QByteArray &hexId, const QString &name, int width);

// The duration limited to 0..127, plus 128 for the longer unit.
quint8 timeByte(int duration, TimeUnit unit);
// Multiple choice and sort in order: options × 32 + responses × 4 + the
// display code (each count limited to 6; an unknown display option is 0).
quint8 choiceOptionByte(int options, int responses, DisplayOption display);
// End-user naming: bits 7-5 the character type's code, bit 4 the flag, bits
// 3-0 the longest name (at most 14).
quint8 endUserNamingOptionByte(CharacterType type, bool flag, int maxLength);
// ":XP005" CR, then the block: length, 01, entity id, 00, time, kind,
// option, 00, n, and for kinds with a text its UTF-8 bytes and a zero byte
// (n bytes in all; n = 0 without text).
QByteArray question(quint8 entityId, quint8 time, QuestionKind kind, quint8 option,
                    bool withText, const QByteArray &utf8Text);

} // namespace SessionCommands
} // namespace Orvexsystem

#endif
