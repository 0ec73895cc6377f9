// The enhanced question session's decoders fed arbitrary handset messages.
//
// Input: byte 0 the question type (taken modulo 8), byte 1 the display
// option, then the message. Multiple-choice and sort-in-order answers keep
// only the characters a handset may key; every decoder reads within the
// message; a get-message request gives its kind and question number.

#include "sessions/enhancedmessages.h"

#include <cstddef>
#include <cstdint>

using namespace Orvexsystem;
namespace M = Orvexsystem::EnhancedMessages;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const int type = data[0] % 8;
    const int display = data[1];
    const QByteArray message(reinterpret_cast<const char *>(data + 2), int(size - 2));
    switch (type) {
    case M::Type_Multichoice:
    case M::Type_SortInOrder: {
        const QString answer = M::multichoiceAnswer(message, display);
        if (answer.size() > qMax(0, int(message.size()) - 2))
            __builtin_trap();
        for (QChar c : answer)
            if (!QStringLiteral("123456abcdefABCDEF").contains(c))
                __builtin_trap();
        break;
    }
    case M::Type_YesNo:
        if (int(M::yesNoAnswer(message)) < YesNoQuestion::Answer_No)
            __builtin_trap();
        break;
    case M::Type_TrueFalse:
        if (int(M::trueFalseAnswer(message)) < TrueFalseQuestion::Answer_False)
            __builtin_trap();
        break;
    case M::Type_Likert: {
        const int value = M::likertAnswer(message);
        if (value < -128 || value > 127)
            __builtin_trap();
        break;
    }
    default: {
        const QString text = M::textAnswer(message);
        if (text.contains(QChar(0)) || text.size() > message.size())
            __builtin_trap();
        break;
    }
    }
    const M::Request request = M::parseRequest(message);
    if (request.kind > 0xFF || request.questionNumber < 0 || request.questionNumber > 0xFF)
        __builtin_trap();
    return 0;
}
