#ifndef ORVEXSYSTEM_SESSIONS_ORVEXVOTESESSION_H
#define ORVEXSYSTEM_SESSIONS_ORVEXVOTESESSION_H

#include "sessions/orvexsession.h"
#include "sessions/orvexvoteresponse.h"

#include <atomic>
#include <memory>

namespace Orvexsystem {

// A voting session: every key press of a voting handset is a vote. The
// decoder is chosen by hub kind and connection: the 2.4 GHz form (also the
// virtual hub's), the legacy USB form or the legacy serial form; any other
// combination gets none, and a session without a decoder accepts nothing.
// The legacy decoders drop repeated key presses for as long as the session
// object lives, so a new session forgets earlier votes.
class OrvexvoteSession : public OrvexSession
{
    Q_OBJECT
public:
    static const char *const cmdVoteB; // ":VB", VotingMode_VB
    static const char *const cmdVoteM; // ":VM", VotingMode_VM

    OrvexvoteSession(Hub::Type hubType, Hub::ConnectionType connectionType, Hub::VotingMode mode,
                     Hub::VoteCallback callback, void *userData);
    ~OrvexvoteSession() override;

    // ":VB" CR, ":VM" CR, or a lone CR for any other mode.
    QByteArray startCommand() override;
    // ":VE" CR; from then on the session accepts no packet.
    QByteArray stopCommand() override;
    bool processPacket(const QByteArray &packet) override;
    bool isSessionPacket(const QByteArray &packet) override;

    bool isVotingHandsetSession() const override { return true; }
    Hub::VoteCallback voteCallback() const override { return m_pfnCallback; }
    void *voteCallbackContext() const override { return m_pContext; }

    Hub::VotingMode mode() const { return m_eMode; }
    bool hasDecoder() const { return m_pDecoder != nullptr; }

    // The decoder for a hub kind and connection; null when there is none.
    static std::unique_ptr<OrvexvoteResponse> decoderFor(Hub::Type hubType,
                                                         Hub::ConnectionType connectionType);

private:
    Hub::VotingMode m_eMode;
    std::unique_ptr<OrvexvoteResponse> m_pDecoder;
    Hub::VoteCallback m_pfnCallback;
    void *m_pContext;
    std::atomic<bool> m_bStopped{false};
};

} // namespace Orvexsystem

#endif
