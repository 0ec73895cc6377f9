#ifndef ORVEXSYSTEM_RFHUB_QUESTIONSESSION_H
#define ORVEXSYSTEM_RFHUB_QUESTIONSESSION_H

#include <orvexsystem/sessiontypes.h>

#include "rfhub/sessionbuffercollector.h"

#include <memory>

namespace Orvexsystem {

// One question session (or end-user naming session) of a 2.4 GHz hub, as
// its start set it up: the session state it belongs to, the question number,
// the host's callback with its context, the display option of a multiple
// choice and, for numeric and text questions, the collector of multi-packet
// answers. Fixed once published; the hub retires it when the session ends
// and frees it once no delivery can still be reading it.
struct QuestionSession
{
    // Any of Hub's callback types; cast back by the state it belongs to.
    using AnyCallback = void (*)();

    int state = 0;
    int questionId = 0;
    DisplayOption display = DisplayOption_Numeric;
    AnyCallback callback = nullptr;
    void *context = nullptr;
    std::unique_ptr<SessionBufferCollector> collector;

    template <class Fn>
    Fn callbackAs() const
    {
        return reinterpret_cast<Fn>(callback);
    }
};

} // namespace Orvexsystem

#endif
