#include "rfhub/sessioncommands.h"

#include <algorithm>

namespace Orvexsystem {
namespace SessionCommands {

const char EndSession[] = ":VE\r";
const char EndEndUserNaming[] = ":XP004\r";
const char OpenExpressionNaming[] = ":XP002\r";
const char OpenVoteNaming[] = ":VN\r";

namespace {

const char CR = '\r';

QByteArray padded(unsigned value, int width)
{
    return QByteArray::number(value).rightJustified(width, '0');
}

// A name cut or padded with zero bytes to exactly width bytes.
QByteArray field(QByteArray bytes, int width)
{
    bytes.truncate(width);
    return bytes + QByteArray(width - bytes.size(), '\0');
}

} // namespace

QByteArray registration(const char *code, unsigned short first, unsigned char second,
                        unsigned char third, const RegistrationCode &pin)
{
    QByteArray command(code);
    command += padded(first, 3);
    command += padded(second, 2);
    command += padded(third, 2);
    command += char(pin.char1() & 0xFF);
    command += char(pin.char2() & 0xFF);
    command += char(pin.char3() & 0xFF);
    command += CR;
    return command;
}

QByteArray expressionRegistration(unsigned short first, unsigned char second,
                                  unsigned char third, const RegistrationCode &pin,
                                  quint8 lastByte)
{
    QByteArray command(":XP001\r");
    const char block[] = {0x09,
                          char(first >> 8),
                          char(first & 0xFF),
                          char(second),
                          char(third),
                          char(pin.char1() & 0xFF),
                          char(pin.char2() & 0xFF),
                          char(pin.char3() & 0xFF),
                          char(lastByte)};
    command.append(block, sizeof block);
    return command;
}

int characterTypeCode(CharacterType type)
{
    const int code = int(type);
    return code >= 1 && code <= 4 ? code : 0;
}

quint8 namingByte(CharacterType type, bool flag, unsigned char value)
{
    return quint8((characterTypeCode(type) << 5) | (flag ? 0x10 : 0) | value);
}

QByteArray nameExpression(quint16 address, const QString &name)
{
    QByteArray command(":XP003\r");
    command += char(1 + 2 + NameExpressionLength);
    command += char(address >> 8);
    command += char(address & 0xFF);
    // The block's length byte is fixed: a longer name is cut to the field.
    command += field(name.toLatin1(), NameExpressionLength);
    return command;
}

QByteArray nameDevice(const char *code, const QByteArray &hexId, const QString &name, int width)
{
    QByteArray ascii = name.toLatin1();
    for (char &c : ascii) {
        if (quint8(c) < 0x20 || quint8(c) > 0x7E)
            c = '?';
    }
    return QByteArray(code) + hexId + field(ascii, width) + CR;
}

quint8 timeByte(int duration, TimeUnit unit)
{
    const int limited = std::clamp(duration, 0, 127);
    return quint8(limited + (int(unit) == 1 ? 128 : 0));
}

quint8 choiceOptionByte(int options, int responses, DisplayOption display)
{
    const int code = int(display) >= 0 && int(display) <= 2 ? int(display) : 0;
    return quint8(std::min(options, 6) * 32 + std::min(responses, 6) * 4 + code);
}

quint8 endUserNamingOptionByte(CharacterType type, bool flag, int maxLength)
{
    const int length = std::clamp(maxLength, 0, 14);
    return quint8((characterTypeCode(type) << 5) | (flag ? 0x10 : 0) | length);
}

QByteArray question(quint8 entityId, quint8 time, QuestionKind kind, quint8 option,
                    bool withText, const QByteArray &utf8Text)
{
    const int n = withText ? int(utf8Text.size()) + 1 : 0;
    QByteArray command(":XP005\r");
    const char head[] = {char(9 + n), 0x01, char(entityId), 0x00, char(time),
                         char(kind),  char(option), 0x00, char(n)};
    command.append(head, sizeof head);
    if (withText) {
        command += utf8Text;
        command += '\0';
    }
    return command;
}

} // namespace SessionCommands
} // namespace Orvexsystem
