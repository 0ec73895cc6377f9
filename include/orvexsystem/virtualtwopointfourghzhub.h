#ifndef ORVEXSYSTEM_VIRTUALTWOPOINTFOURGHZHUB_H
#define ORVEXSYSTEM_VIRTUALTWOPOINTFOURGHZHUB_H

#include <orvexsystem/enhancednameresponse.h>
#include <orvexsystem/export.h>
#include <orvexsystem/twopointfourghzhub.h>

#include <QtCore/QString>

#include <memory>

namespace Orvexsystem {

class VirtualTwoPointFourGHzHubPrivate;

/// A 2.4 GHz hub reached over the network (the driver's hub kind 4). It is a
/// TwoPointFourGHzHub in every respect but these:
/// - every command waits up to 6000 ms for its reply; the name comes from
///   ":GL" (waited for 500 ms);
/// - it carries the enhanced generic session (EnhancedGenericSession):
///   ":AE001" opens it, ":AE002" CR, the device's radio address (2 bytes),
///   the message length (3 bytes, high byte first) and the message send one
///   message, and each generic packet of a device (00 n n n E1 address
///   message) is reported with the device's uid (0 when unknown);
/// - it takes registration PINs from its response server and tells the
///   server when an expression registration ends.
///
/// The description from the driver's record names the server's side of the
/// hub: "scheme://host:part2:part3:part4". The server is told the hub's
/// details, name "@" host ":" part2 ":" part3 ":" part4 (all four parts empty
/// when the description has fewer than five ":"-separated parts).
///
/// The response server is found by its announcement datagram or the
/// system-wide settings "Veltrane/halvernserver.ini" (group "Server":
/// "address", default localhost; "use_tcp_port" and "use_udp_port", default
/// 8080), read when the hub is created; the connection is made on the first
/// PIN request or end-of-registration notice, and attempts are at least 10 s
/// apart.
///
/// Threads. Generic packets are taken from the driver's packet thread to the
/// system's event thread, where the generic session's callback is called or
/// asyncReceiveMsg() emitted. PIN requests and end-of-registration notices
/// block their caller on the network (up to the link's limits: a 3 s wait
/// for the announcement, the name lookup, 1.5 s per address tried, 3 s per
/// reply). On the driver's thread asGetRegistrationPin() fails with
/// Error_Failed and the end-of-registration notice is queued to the link's
/// own thread without waiting.
class ORVEXSYSTEM_EXPORT VirtualTwoPointFourGHzHub : public TwoPointFourGHzHub
{
    Q_OBJECT
public:
    /// The wait for the name reply, in milliseconds.
    static const int m_nResponseMaxWaitTIme = 500;
    /// The wait for every other reply, in milliseconds.
    static const int ResponseWaitMs = 6000;

    /// description is the server's description text from the driver.
    VirtualTwoPointFourGHzHub(OrvexSystem *system, int handle, quint64 uid, bool connected,
                              int version, QString description);
    ~VirtualTwoPointFourGHzHub() override;

    bool isVirtualHub() override { return true; }
    /// The hub's name from ":GL"; "???" (translated) when it cannot be read
    /// (Error_NotConnected, Error_CommsFailure).
    QString name() override;
    void processPacket(const QByteArray &packet) override;

    /// A PIN from the response server. False, code unchanged, when no server
    /// can be reached or it does not answer (no new error), when its answer
    /// is not three letters A to F (Error_CommsFailure), and on the driver's
    /// thread (Error_Failed).
    bool asGetRegistrationPin(RegistrationCode &code) override;

    /// Opens the generic session (":AE001"); callback (may be null: then
    /// asyncReceiveMsg() is emitted) receives each device message on the
    /// event thread. Error_NotConnected; Error_CannotStartSessionBecause-
    /// CurrentlyInSession while another kind of session is open (a generic
    /// session is opened again); Error_CommsFailure without the hub's OK.
    bool startEnhancedGenericSession(MessageDataCallback callback, void *userData) override;
    /// Sends msg to the device with this uid (":AE002") and waits for the
    /// OK. False without a new error for a uid that is not registered;
    /// Error_StringTooLong for more than 0xFFFFFF bytes; Error_CommsFailure
    /// without the OK.
    bool sendGenericAsyncMessage(quint32 uid, const QByteArray &msg) override;
    /// Event thread: a device's generic packet, reported while the generic
    /// session is open and the hub connected, dropped otherwise.
    void processGenericAsyncPacket(const QByteArray &packet) override;

    /// The description text from the driver.
    QString description() const;

    /// Longest message one ":AE002" carries (its length field has 3 bytes).
    static const int MaximumGenericMessageLength = 0xFFFFFF;

private:
    void asEndExpressionRegSession() override;
    bool asIsHalvernServerAvailable();
    QString asGetHubDetails();

    friend class VirtualTwoPointFourGHzHubPrivate;
    std::unique_ptr<VirtualTwoPointFourGHzHubPrivate> v;
};

} // namespace Orvexsystem

#endif
