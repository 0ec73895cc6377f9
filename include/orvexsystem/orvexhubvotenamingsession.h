#ifndef ORVEXSYSTEM_ORVEXHUBVOTENAMINGSESSION_H
#define ORVEXSYSTEM_ORVEXHUBVOTENAMINGSESSION_H

#include <orvexsystem/export.h>

#include <QtCore/QObject>
#include <QtCore/QString>

namespace Orvexsystem {

class Hub;
class OrvexhubOrvexvoteNamingSessionImpl;
class SessionFacades;
template <class Impl>
class SessionImplSlot;

// Naming of the voting handsets of one 2.4 GHz hub, handed out by
// OrvexSystem::startOrvexhubVoteNamingSession(). Operations forward to the
// hub while it is attached and answer false once it is gone; the object
// stays valid until OrvexSystem::stopOrvexhubVoteNamingSession().
//
// Names that handsets report go to the callback when one is set, otherwise
// to orvexvoteDeviceNamed(), never both. The callback is called on the
// driver's thread; it is not called any more once setCallback() (with
// another callback or none) or the façade's stop has returned. The signal
// is emitted in the thread the object belongs to (see
// OrvexhubRegistrationSession).
class ORVEXSYSTEM_EXPORT OrvexhubVoteNamingSession : public QObject
{
    Q_OBJECT
public:
    typedef void (*DeviceNamedCallback)(Hub *hub, const QString &name, unsigned int uid,
                                        void *context);

    // Sends a name (cut to 4 characters) to one handset; opens the session.
    bool nameOrvexvote(unsigned int uid, const QString &name) const;
    bool stopOrvexvoteNamingSession() const;
    bool startOrvexvoteNamingSession() const;
    // Null clears it, so that names are reported by the signal again.
    void setCallback(DeviceNamedCallback callback, void *context) const;

Q_SIGNALS:
    void orvexvoteDeviceNamed(QString name, quint32 uid);

private:
    explicit OrvexhubVoteNamingSession(SessionImplSlot<OrvexhubOrvexvoteNamingSessionImpl> *impl);
    ~OrvexhubVoteNamingSession() override;

    friend class SessionFacades;
    SessionImplSlot<OrvexhubOrvexvoteNamingSessionImpl> *const m_pImpl; // not owned
};

} // namespace Orvexsystem

#endif
