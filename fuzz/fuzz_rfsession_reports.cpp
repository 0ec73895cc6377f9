// The 2.4 GHz hub's session reports fed arbitrary packets: answers of every
// question kind, registration, naming, end-user naming and PIN naming
// reports, through the packet path of a hub in that session, and the reply
// parsers and answer decoders on their own.
//
// Input: byte 0 picks the session (below), byte 1 the display option of a
// multiple choice; then packets, each a length byte and that many bytes.
// Sessions: 0 multiple choice, 1 yes/no, 2 true/false, 3 Likert, 4 numeric,
// 5 text, 6 sort in order, 7 message, 8 end-user naming (started as a host
// starts them, then ended), 9-11 vote, slate, expression registration,
// 12-14 expression, vote, slate naming, 15 PIN naming. The hub's registry
// holds voting handsets at addresses 0x0101-0x0104. Every report must be
// within what its kind can hold.

#include "support/fakedriver.h"

#include "rfhub/answerdecoders.h"
#include "system/threadcontext.h"

#include <orvexsystem/twopointfourghzhub.h>

#include <QtCore/QCoreApplication>

#include <cstddef>
#include <cstdint>

using namespace Orvexsystem;
using namespace OrvexTest;

namespace {

const int Handle = 3;

class FuzzHub : public TwoPointFourGHzHub
{
public:
    using TwoPointFourGHzHub::TwoPointFourGHzHub;
    void enter(int state) { setSessionState(SessionState(state)); }
    static int vote() { return Session_VoteRegistration; }
    static int slate() { return Session_SlateRegistration; }
    static int expression() { return Session_ExpressionRegistration; }
    static int expressionNaming() { return Session_ExpressionNaming; }
    static int voteNaming() { return Session_OrvexvoteNaming; }
    static int slateNaming() { return Session_SlateNaming; }
};

void text(Hub *, quint32, int, const QString &answer, void *)
{
    if (answer.size() > 255)
        __builtin_trap();
}
void yesNo(Hub *, quint32, int, Hub::YesNoResponse r, void *)
{
    if (int(r) < 0 || int(r) > 2)
        __builtin_trap();
}
void trueFalse(Hub *, quint32, int, Hub::TrueFalseResponse r, void *)
{
    if (int(r) < 0 || int(r) > 2)
        __builtin_trap();
}
void likert(Hub *, quint32, int, int value, void *)
{
    if (value < -128 || value > 127)
        __builtin_trap();
}
void message(Hub *, quint32, int, void *) {}
void named(TwoPointFourGHzHub *, unsigned int, const QString &name, void *)
{
    if (name.size() > 14)
        __builtin_trap();
}
void pin(Hub *, quint32, const QString &keyed, void *)
{
    if (keyed.size() > 4)
        __builtin_trap();
}

void deliver(int32_t, const uint8_t *data, uint32_t length, void *context)
{
    ThreadContext::DriverCallback mark;
    static_cast<FuzzHub *>(context)->processPacket(
        QByteArray(reinterpret_cast<const char *>(data), int(length)));
}

QByteArray voteRecord(int n)
{
    QByteArray r(13, '\0');
    r[0] = 13;
    r[1] = 0x67;
    r[5] = char(n);
    r[6] = 0x01;
    r[7] = char(n);
    r[8] = 6;
    r[9] = 'V';
    return r;
}

struct Bench
{
    FakeDriver driver;
    TestSystem system{driver};
    FuzzHub *hub = nullptr;

    Bench()
    {
        driver.setSynchronousReplies(true);
        driver.setResponder([](int, const QByteArray &command) -> QList<QByteArray> {
            const QByteArray ok("\x04\x32\x4F\x4B", 4);
            if (command == ":GR06\r")
                return {voteRecord(1), voteRecord(2), voteRecord(3), voteRecord(4), ok};
            if (command.startsWith(":GR") || command == ":VE\r" || command == ":XP004\r")
                return {ok};
            return {};
        });
        system.initialise();
        hub = new FuzzHub(&system, Handle, 0x42, true, 0x301);
        driver.setCallback(Handle, deliver, hub);
        hub->getCompleteDeviceList(nullptr);
        hub->setExpressionDeviceNamedCallback(named, nullptr);
        hub->setVoteDeviceNamedCallback(named, nullptr);
    }
};

bool start(FuzzHub *hub, int session, DisplayOption display)
{
    switch (session) {
    case 0: return hub->startMultichoiceSession(1, 6, 6, display, TimeUnit_Seconds, 9, text, nullptr);
    case 1: return hub->startYesNoSession(1, true, TimeUnit_Seconds, 9, yesNo, nullptr);
    case 2: return hub->startTrueFalseSession(1, true, TimeUnit_Seconds, 9, trueFalse, nullptr);
    case 3: return hub->startLikertSession(1, 9, TimeUnit_Seconds, 9, likert, nullptr);
    case 4: return hub->startNumericSession(1, QString(), 255, TimeUnit_Seconds, 9, text, nullptr);
    case 5: return hub->startTextSession(1, QString(), 255, TimeUnit_Seconds, 9, text, nullptr);
    case 6: return hub->startSortInOrderSession(1, 6, 6, display, TimeUnit_Seconds, 9, text, nullptr);
    case 7: return hub->startMessageSession(1, QString(), TimeUnit_Seconds, 9, message, nullptr);
    case 8: return hub->startExpressionEnduserNamingSession(1, CharacterType_Type1, 14, true, text, nullptr);
    case 9: hub->enter(FuzzHub::vote()); return true;
    case 10: hub->enter(FuzzHub::slate()); return true;
    case 11: hub->enter(FuzzHub::expression()); return true;
    case 12: hub->enter(FuzzHub::expressionNaming()); return true;
    case 13: hub->enter(FuzzHub::voteNaming()); return true;
    case 14: hub->enter(FuzzHub::slateNaming()); return true;
    default: return hub->startOrvexvotePinNamingSession(2, pin, nullptr);
    }
}

template <class T>
void parse(const QByteArray &packet)
{
    const T reply(packet);
    if (reply.isValidResponse() != T::isValid(packet))
        __builtin_trap();
}

void parseAll(const QByteArray &packet, DisplayOption display)
{
    parse<TwoPointFourGHzPinNamingResponse>(packet);
    parse<RegisteredVoteResponse>(packet);
    parse<RegisteredExpressionResponse>(packet);
    parse<RegisteredSlateResponse>(packet);
    parse<ExpressionNameReceivedResponse>(packet);
    const TwoPointFourGHzPinNamingResponse report(packet);
    if (report.text().size() > 4)
        __builtin_trap();
    if (AnswerDecoder::multichoice(packet, display).size() > packet.size()
        || AnswerDecoder::sortInOrder(packet).size() > packet.size())
        __builtin_trap();
    if (SessionSortInOrderResponse(packet).answers().size() > 6)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    new QCoreApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Bench *bench = new Bench;
    if (size < 2)
        return 0;
    FuzzHub *hub = bench->hub;
    const int session = data[0] % 16;
    const DisplayOption display = DisplayOption(data[1] % 3);
    if (!start(hub, session, display))
        __builtin_trap();
    size_t at = 2;
    while (at < size) {
        const size_t length = data[at++];
        const size_t take = length < size - at ? length : size - at;
        const QByteArray packet(reinterpret_cast<const char *>(data + at), int(take));
        at += take;
        bench->driver.deliverNow(Handle, packet);
        parseAll(packet, display);
    }
    if (session == 8)
        hub->stopExpressionEndUserNamingSession();
    else if (session <= 7 || session == 15)
        hub->stopSession();
    hub->enter(0); // a session the packets left open, or one entered directly
    bench->driver.clearLog();
    return 0;
}
