#ifndef ORVEXSYSTEM_RFHUB_ANSWERDECODERS_H
#define ORVEXSYSTEM_RFHUB_ANSWERDECODERS_H

// How the answers of a 2.4 GHz question session become what the host gets.

#include <orvexsystem/hub.h>
#include <orvexsystem/sessiontypes.h>

#include <QtCore/QByteArray>
#include <QtCore/QString>

namespace Orvexsystem {
namespace AnswerDecoder {

// 'A' (0x41) is yes, 'B' (0x42) no, anything else other.
Hub::YesNoResponse yesNo(int value);
Hub::TrueFalseResponse trueFalse(int value);
// Each of the letters A to F replaced by the digit of its place (A 1 ... F 6).
QString numericChoices(const QString &text);
// Multiple choice: every answer byte but 0xFF, in order, as the character of
// that code; then lower-cased, turned into digits or left as it is, by the
// session's display option.
QString multichoice(const QByteArray &answerBytes, DisplayOption display);
// Sort in order: the answer bytes as ASCII up to the first zero byte.
QString sortInOrder(const QByteArray &answerBytes);

} // namespace AnswerDecoder
} // namespace Orvexsystem

#endif
