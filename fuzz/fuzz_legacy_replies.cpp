// A legacy hub's packet path and reply parsers fed arbitrary bytes, in both
// connection forms.
//
// Input: byte 0 picks the connection (bit 0: serial, else USB) and the
// session state (bits 3..1: none, vote registration, slate registration,
// slate PIN registration, PIN naming, voting, vote test); byte 1 the reply
// type whose handler waits (or none); the rest is the packet.

#include "legacy/legacyhub_p.h"
#include "legacy/legacyresponses.h"
#include "sessions/orvexvotesession.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QSet>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace Orvexsystem;

namespace {

class FuzzHub : public LegacyHub
{
public:
    explicit FuzzHub(int connection) : LegacyHub(nullptr, 1, 0x42, true, false, connection, 600)
    {
        LegacyHubPrivate::get(this)->setSlatePin(QStringLiteral("316"));
    }

    void enter(int choice)
    {
        static const SessionState states[] = {Session_None, Session_VoteRegistration,
                                              Session_SlateRegistration,
                                              Session_SlatePINRegistration, Session_PinNaming,
                                              Session_Voting, Session_VoteTest, Session_None};
        const SessionState state = states[choice & 7];
        if ((state == Session_Voting || state == Session_VoteTest) && !session())
            setSession(new OrvexvoteSession(type(), connectionType(), VotingMode_VB, nullptr, nullptr));
        setSessionState(state);
    }

    template <class T>
    void expect(const QByteArray &packet)
    {
        IResponseHandler *handler = responseHandler<T>();
        hubPrivate()->currentHandler.store(handler);
        reset(handler);
        processPacket(packet);
        QByteArray queued;
        while (getNextPacket(handler, &queued, 0))
            if (!T(queued).isValidResponse())
                std::abort();
        hubPrivate()->currentHandler.store(nullptr);
    }

    // Registrations never repeat an id, and only the PIN given registers.
    void check()
    {
        LegacyHubPrivate *d = LegacyHubPrivate::get(this);
        const QList<quint32> ids = d->lists.voteIds();
        if (QSet<quint32>(ids.begin(), ids.end()).size() != ids.size())
            std::abort();
        for (const auto &slate : d->lists.slates())
            if (slate.pin != QLatin1String("316"))
                std::abort();
        if (ids.size() > 1000 || d->lists.slateCount() > 1000) {
            d->lists.setVotes(this, {});
            d->lists.setSlates(this, {});
        }
    }
};

template <class T>
void parse(const QByteArray &packet)
{
    const bool valid = T::isValid(packet);
    if (T(packet).isValidResponse() != valid)
        std::abort();
}

template <class T>
void parsePinNaming(const QByteArray &packet)
{
    const T reply(packet);
    if (reply.isValidResponse() != T::isValid(packet) || reply.pinText().size() > 3)
        std::abort();
}

void parseAll(const QByteArray &p)
{
    parse<LegacyRFResponse>(p);
    parse<LegacySerialRFResponse>(p);
    parse<LegacyUsbEnableVoteResponse>(p);
    parse<LegacySerialEnableVoteResponse>(p);
    parse<LegacyVoteRegistrationResponse>(p);
    parse<LegacySerialVoteRegistrationResponse>(p);
    parse<LegacySlateRegistrationResponse>(p);
    parse<LegacySerialSlateRegistrationResponse>(p);
    parse<LegacySlatePINRegistrationResponse>(p);
    parse<LegacySerialSlatePINRegistrationResponse>(p);
    parsePinNaming<LegacyPinNamingResponse>(p);
    parsePinNaming<LegacySerialPinNamingResponse>(p);
    const LegacySerialSlateRegistrationResponse ask(p);
    if (ask.isValidResponse() && (ask.slateId() < 1 || ask.slateId() > 63))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    new QCoreApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static FuzzHub *usb = new FuzzHub(Hub::ConnectionType_Usb);
    static FuzzHub *serial = new FuzzHub(Hub::ConnectionType_Serial);
    if (size < 2)
        return 0;
    const QByteArray packet(reinterpret_cast<const char *>(data + 2), int(size - 2));
    FuzzHub *hub = (data[0] & 1) ? serial : usb;
    hub->enter(data[0] >> 1);
    const bool isSerial = hub == serial;
    switch (data[1] % 4) {
    case 0:
        isSerial ? hub->expect<LegacySerialRFResponse>(packet) : hub->expect<LegacyRFResponse>(packet);
        break;
    case 1:
        isSerial ? hub->expect<LegacySerialEnableVoteResponse>(packet)
                 : hub->expect<LegacyUsbEnableVoteResponse>(packet);
        break;
    case 2:
        isSerial ? hub->expect<LegacySerialVoteRegistrationResponse>(packet)
                 : hub->expect<LegacyVoteRegistrationResponse>(packet);
        break;
    default:
        hub->processPacket(packet);
        break;
    }
    hub->check();
    parseAll(packet);
    return 0;
}
