#include "rfhub/answerdecoders.h"

namespace Orvexsystem {
namespace AnswerDecoder {

Hub::YesNoResponse yesNo(int value)
{
    switch (value) {
    case 0x41: return Hub::YesNoResponse_Yes;
    case 0x42: return Hub::YesNoResponse_No;
    default: return Hub::YesNoResponse_Other;
    }
}

Hub::TrueFalseResponse trueFalse(int value)
{
    switch (value) {
    case 0x41: return Hub::TrueFalseResponse_True;
    case 0x42: return Hub::TrueFalseResponse_False;
    default: return Hub::TrueFalseResponse_Other;
    }
}

QString numericChoices(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
            c = QLatin1Char(char('1' + (c.unicode() - 'A')));
    }
    return out;
}

QString multichoice(const QByteArray &answerBytes, DisplayOption display)
{
    // One pass, one allocation: every character is a Latin-1 one, so each
    // converts on its own.
    QString text;
    text.reserve(answerBytes.size());
    for (char byte : answerBytes) {
        if (quint8(byte) == 0xFF)
            continue;
        QChar c = QChar(quint8(byte));
        if (display == DisplayOption_LowerCase)
            c = c.toLower();
        else if (display == DisplayOption_Numeric && c >= QLatin1Char('A') && c <= QLatin1Char('F'))
            c = QLatin1Char(char('1' + (c.unicode() - 'A')));
        text += c;
    }
    return text;
}

QString sortInOrder(const QByteArray &answerBytes)
{
    const int end = answerBytes.indexOf('\0');
    return QString::fromLatin1(end < 0 ? answerBytes : answerBytes.left(end));
}

} // namespace AnswerDecoder
} // namespace Orvexsystem
