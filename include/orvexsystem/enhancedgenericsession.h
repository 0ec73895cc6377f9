#ifndef ORVEXSYSTEM_ENHANCEDGENERICSESSION_H
#define ORVEXSYSTEM_ENHANCEDGENERICSESSION_H

#include <orvexsystem/export.h>

#include <QtCore/QByteArray>
#include <QtCore/QObject>

#include <memory>

namespace Orvexsystem {

class Hub;
class EnhancedGenericSessionPrivate;

/// Free-form messages between the host and the devices of a hub, carried
/// without interpretation: the host sends a byte array to one device, and
/// each device's messages come back as byte arrays with the device's uid (0
/// when the hub does not know the device). Only a virtual 2.4 GHz hub
/// carries them; on a 2.4 GHz hub the operations succeed and carry nothing;
/// a legacy hub has no such session (Error_NotSupported on the hub).
///
/// Use the hub's own session, Hub::getEnhancedGenericSession(): messages
/// reach that one. A session constructed for the same hub sends but never
/// receives. Each message goes to the callback of
/// setDeviceMessageReceivedCallback() when one is set, otherwise to
/// deviceMessageReceived(), never both.
///
/// Threads. Device messages are reported on the system's event thread
/// (callback called, signal emitted there); a receiver in another thread
/// gets the signal through a queued connection. startSession(),
/// stopSession() and sendAsyncMessage() block for the hub's command
/// exchange (up to 6 s on a virtual hub); they may be called from any thread
/// but the driver's, also from this session's callback. Once stopSession()
/// has returned true, no message of the ended session is reported any more;
/// messages that arrive after the session ended or the hub went away are
/// dropped.
class ORVEXSYSTEM_EXPORT EnhancedGenericSession : public QObject
{
    Q_OBJECT
public:
    typedef void (*DeviceMessageCallback)(EnhancedGenericSession *, unsigned int uid,
                                          const QByteArray &message, void *userData);

    explicit EnhancedGenericSession(Hub *hub);
    ~EnhancedGenericSession() override;

    Hub *getHub() const;

    /// Opens the hub's generic session; true at once while started. A hub
    /// that refuses leaves its error (Error_NotConnected, Error_CommsFailure,
    /// Error_NotSupported, Error_CannotStartSessionBecauseCurrentlyInSession).
    bool startSession();
    /// Ends the hub's session. False, without contacting the hub, when not
    /// started; false, still started, when the hub does not confirm. When
    /// the hub has left the generic session meanwhile (a hub reset), the
    /// session is over without a command and the result is true.
    bool stopSession();
    /// The hub's result of sending the message to the device with this uid;
    /// the session's own state is not consulted.
    bool sendAsyncMessage(unsigned int uid, const QByteArray &message);

    /// Replaces the callback and its user pointer; null selects the signal.
    void setDeviceMessageReceivedCallback(DeviceMessageCallback callback, void *userData);

Q_SIGNALS:
    void deviceMessageReceived(Orvexsystem::EnhancedGenericSession *pSession, quint32 uid,
                               QByteArray message);

private:
    /// Handed to the hub: finds the hub's own session and reports to it.
    static void responseCallback(Hub *hub, unsigned int uid, const QByteArray &message, void *);

    friend class EnhancedGenericSessionPrivate;
    std::unique_ptr<EnhancedGenericSessionPrivate> d;
};

} // namespace Orvexsystem

#endif
