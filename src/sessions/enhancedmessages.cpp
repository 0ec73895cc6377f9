#include "sessions/enhancedmessages.h"

#include "rfhub/sessioncommands.h"

namespace Orvexsystem {
namespace EnhancedMessages {

namespace {

void appendBe16(QByteArray &out, int value)
{
    out.append(char((value >> 8) & 0xFF));
    out.append(char(value & 0xFF));
}

// Type byte, L, then the body.
QByteArray framed(MessageType type, const QByteArray &body)
{
    QByteArray message;
    message.reserve(3 + int(body.size()));
    message.append(char(type));
    appendBe16(message, int(body.size()));
    message.append(body);
    return message;
}

} // namespace

QByteArray sessionParameters(int value1, int value2, bool flag, const QBitArray &bits)
{
    const int n = int(bits.size());
    QByteArray body;
    body.reserve(3 + (n + 7) / 8);
    quint8 flags = 0;
    if (value1 != 0)
        flags = quint8((value2 != 0 ? 0x01 : 0) | (n > 0 ? 0x02 : 0) | (flag ? 0x04 : 0));
    body.append(char(value1 & 0xFF));
    body.append(char(flags));
    body.append(char(value2 & 0xFF));
    QByteArray packed((n + 7) / 8, '\0');
    for (int i = 0; i < n; ++i)
        if (bits.testBit(i))
            packed[i / 8] = char(quint8(packed[i / 8]) | (1u << (i % 8)));
    body.append(packed);
    return framed(Message_SessionParameters, body);
}

QByteArray question(quint8 type, int number, const QString &text, bool firstFlag,
                    bool secondFlag, bool thirdFlag, const QString &answer, quint8 option)
{
    const QByteArray textBytes = text.toUtf8();
    const QByteArray answerBytes = answer.toUtf8();
    QByteArray body;
    body.reserve(8 + int(textBytes.size()) + int(answerBytes.size()) + 1);
    body.append(char(number & 0xFF));
    body.append(char(type));
    body.append(char(option));
    body.append(char((firstFlag ? 0x01 : 0) | (thirdFlag ? 0x02 : 0) | (secondFlag ? 0x04 : 0)));
    appendBe16(body, int(textBytes.size()));
    appendBe16(body, int(answerBytes.size()));
    body.append(textBytes);
    if (type == Type_Likert)
        body.append(char(answer.toInt() & 0xFF));
    else
        body.append(answerBytes);
    return framed(Message_Question, body);
}

QByteArray text(bool flag, const QString &text)
{
    return framed(Message_Text, QByteArray(1, char(flag ? 1 : 0)) + text.toUtf8());
}

QByteArray noMoreQuestions(const QString &text)
{
    return framed(Message_NoMoreQuestions, text.toUtf8());
}

QByteArray popUp(bool flag, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return framed(Message_PopUp,
                  bytes.isEmpty() ? QByteArray() : QByteArray(1, char(flag ? 1 : 0)) + bytes);
}

quint8 singleChoiceOptionByte(bool option)
{
    return option ? 1 : 0;
}

quint8 multichoiceOptionByte(int options, int responses, DisplayOption display)
{
    return SessionCommands::choiceOptionByte(options, responses, display);
}

QString yesNoAnswerText(YesNoQuestion::Answer answer)
{
    switch (answer) {
    case YesNoQuestion::Answer_None: return QStringLiteral("?");
    case YesNoQuestion::Answer_No: return QStringLiteral("B");
    case YesNoQuestion::Answer_Yes: return QStringLiteral("A");
    case YesNoQuestion::Answer_Other: return QStringLiteral("C");
    }
    return QString();
}

QString trueFalseAnswerText(TrueFalseQuestion::Answer answer)
{
    switch (answer) {
    case TrueFalseQuestion::Answer_None: return QStringLiteral("?");
    case TrueFalseQuestion::Answer_False: return QStringLiteral("B");
    case TrueFalseQuestion::Answer_True: return QStringLiteral("A");
    case TrueFalseQuestion::Answer_Other: return QStringLiteral("C");
    }
    return QString();
}

Request parseRequest(const QByteArray &deviceData)
{
    Request request;
    if (deviceData.isEmpty())
        return request;
    request.kind = quint8(deviceData.at(0));
    if (deviceData.size() >= 3)
        request.questionNumber = quint8(deviceData.at(2));
    return request;
}

QString multichoiceAnswer(const QByteArray &message, int displayOption)
{
    const bool numeric = displayOption == DisplayOption_Numeric;
    const int end = int(message.size()) - 2;
    QString text;
    text.reserve(end > 0 ? end : 0);
    for (int i = 0; i < end; ++i) {
        const char c = message.at(i);
        const char lower = (c >= 'A' && c <= 'F') ? char(c - 'A' + 'a') : c;
        const bool letter = lower >= 'a' && lower <= 'f';
        const bool digit = c >= '1' && c <= '6';
        if (!letter && !(numeric && digit))
            continue;
        if (numeric && c >= 'A' && c <= 'F')
            text += QLatin1Char(char('1' + (c - 'A')));
        else if (displayOption == DisplayOption_LowerCase)
            text += QLatin1Char(lower);
        else
            text += QLatin1Char(c);
    }
    return text;
}

YesNoQuestion::Answer yesNoAnswer(const QByteArray &message)
{
    const char c = message.isEmpty() ? '\0' : message.at(0);
    return c == 'A' ? YesNoQuestion::Answer_Yes
         : c == 'B' ? YesNoQuestion::Answer_No
                    : YesNoQuestion::Answer_Other;
}

TrueFalseQuestion::Answer trueFalseAnswer(const QByteArray &message)
{
    const char c = message.isEmpty() ? '\0' : message.at(0);
    return c == 'A' ? TrueFalseQuestion::Answer_True
         : c == 'B' ? TrueFalseQuestion::Answer_False
                    : TrueFalseQuestion::Answer_Other;
}

int likertAnswer(const QByteArray &message)
{
    return message.isEmpty() ? 0 : int(qint8(message.at(0)));
}

QString textAnswer(const QByteArray &message)
{
    const int end = int(message.indexOf('\0'));
    return QString::fromUtf8(end < 0 ? message : message.left(end));
}

} // namespace EnhancedMessages
} // namespace Orvexsystem
