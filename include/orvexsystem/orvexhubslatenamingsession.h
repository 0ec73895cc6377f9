#ifndef ORVEXSYSTEM_ORVEXHUBSLATENAMINGSESSION_H
#define ORVEXSYSTEM_ORVEXHUBSLATENAMINGSESSION_H

#include <orvexsystem/export.h>

#include <QtCore/QObject>
#include <QtCore/QString>

namespace Orvexsystem {

class OrvexhubSlateNamingSessionImpl;
class SessionFacades;
template <class Impl>
class SessionImplSlot;

// Naming of the slates of one 2.4 GHz hub, one slate at a time, handed out
// by OrvexSystem::startOrvexhubSlateNamingSession(). Operations forward to
// the hub while it is attached and answer false once it is gone; the object
// stays valid until OrvexSystem::stopOrvexhubSlateNamingSession(). Names
// that slates report are emitted as slateDeviceNamed() in the thread the
// object belongs to (see OrvexhubRegistrationSession).
class ORVEXSYSTEM_EXPORT OrvexhubSlateNamingSession : public QObject
{
    Q_OBJECT
public:
    // Sends a name (cut to 10 characters) to one slate; opens the session.
    bool nameSlate(unsigned int uid, const QString &name) const;
    bool stopSlateNamingSession() const;

Q_SIGNALS:
    void slateDeviceNamed(QString name, quint32 uid);

private:
    explicit OrvexhubSlateNamingSession(SessionImplSlot<OrvexhubSlateNamingSessionImpl> *impl);
    ~OrvexhubSlateNamingSession() override;

    friend class SessionFacades;
    SessionImplSlot<OrvexhubSlateNamingSessionImpl> *const m_pImpl; // not owned
};

} // namespace Orvexsystem

#endif
