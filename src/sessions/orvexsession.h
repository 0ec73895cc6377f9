#ifndef ORVEXSYSTEM_ORVEXSESSION_H
#define ORVEXSYSTEM_ORVEXSESSION_H

#include <orvexsystem/hub.h>

#include <QtCore/QByteArray>
#include <QtCore/QObject>
#include <QtCore/QVariant>

namespace Orvexsystem {

// A session that a hub runs over its packet stream, such as a voting
// session: it recognises its own packets and decodes them. The hub owns the
// object (Hub::setSession) and calls it only on the packet thread, under the
// hub's session lock.
class OrvexSession : public QObject
{
    Q_OBJECT
public:
    OrvexSession(Hub::Type hubType, Hub::ConnectionType connectionType);
    ~OrvexSession() override;

    // The command that starts the session on the hub.
    virtual QByteArray startCommand() = 0;
    // The command that ends it: ":VE" CR.
    virtual QByteArray stopCommand();
    // Decodes a packet that isSessionPacket() accepted; true when it gave a
    // vote (senderId, voteValue, batteryFlag).
    virtual bool processPacket(const QByteArray &packet) = 0;
    // Whether the packet belongs to this session.
    virtual bool isSessionPacket(const QByteArray &packet) = 0;

    // Votes of a voting-handset session reach the host; other sessions'
    // packets are not reported as votes.
    virtual bool isVotingHandsetSession() const { return false; }
    virtual Hub::VoteCallback voteCallback() const { return nullptr; }
    virtual void *voteCallbackContext() const { return nullptr; }

    // The last vote decoded: the sender (a radio address or a serial number,
    // as the hub kind's getDeviceId expects it), the option (invalid until a
    // vote was decoded) and the battery-low flag as an int.
    unsigned int senderId() const { return m_nSenderId; }
    QVariant voteValue() const { return m_bHasVote ? QVariant(m_nVote) : QVariant(); }
    QVariant batteryFlag() const { return m_bHasVote ? QVariant(m_nBatteryLow) : QVariant(); }
    // The same as plain numbers (0 before a vote), for the packet path.
    int voteOption() const { return m_nVote; }
    int batteryLowFlag() const { return m_nBatteryLow; }

    Hub::Type hubType() const { return m_eHubType; }
    Hub::ConnectionType connectionType() const { return m_eConnectionType; }

    static const char *const cmdVoteEnd; // ":VE"

protected:
    void setVote(unsigned int senderId, int vote, int batteryLow);

private:
    // Kept as numbers: a vote is decoded for every packet of a session.
    bool m_bHasVote = false;
    int m_nVote = 0;
    unsigned int m_nSenderId = 0;
    int m_nBatteryLow = 0;
    Hub::Type m_eHubType;
    Hub::ConnectionType m_eConnectionType;
};

} // namespace Orvexsystem

#endif
