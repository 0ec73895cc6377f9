#ifndef ORVEXSYSTEM_ORVEXHUBEXPRESSIONNAMINGSESSION_H
#define ORVEXSYSTEM_ORVEXHUBEXPRESSIONNAMINGSESSION_H

#include <orvexsystem/export.h>

#include <QtCore/QObject>
#include <QtCore/QString>

namespace Orvexsystem {

class Hub;
class OrvexhubExpressionNamingSessionImpl;
class SessionFacades;
template <class Impl>
class SessionImplSlot;

// Naming of the expression handsets of one 2.4 GHz hub, handed out by
// OrvexSystem::startOrvexhubExpressionNamingSession(). Operations forward to
// the hub while it is attached and answer false once it is gone; the object
// stays valid until OrvexSystem::stopOrvexhubExpressionNamingSession().
//
// Names that handsets report in the naming session go to the callback when
// one is set, otherwise to expressionDeviceNamed(), never both. The callback
// is called on the driver's thread, where operations that wait for a reply
// fail; it is not called any more once setCallback() (with another callback
// or none), stopExpressionNamingSession() or the façade's stop has returned.
// The signal is emitted in the thread the object belongs to (see
// OrvexhubRegistrationSession).
class ORVEXSYSTEM_EXPORT OrvexhubExpressionNamingSession : public QObject
{
    Q_OBJECT
public:
    typedef void (*DeviceNamedCallback)(Hub *hub, const QString &name, unsigned int uid,
                                        void *context);

    // Gives one handset a name and waits for the hub's confirmation.
    bool nameExpression(unsigned int uid, const QString &name) const;
    bool startExpressionNamingSession() const;
    // Ends the session; the callback is cleared with it.
    bool stopExpressionNamingSession() const;
    // Null clears it, so that names are reported by the signal again.
    void setCallback(DeviceNamedCallback callback, void *context) const;

Q_SIGNALS:
    void expressionDeviceNamed(QString name, quint32 uid);

private:
    explicit OrvexhubExpressionNamingSession(
        SessionImplSlot<OrvexhubExpressionNamingSessionImpl> *impl);
    ~OrvexhubExpressionNamingSession() override;

    friend class SessionFacades;
    SessionImplSlot<OrvexhubExpressionNamingSessionImpl> *const m_pImpl; // not owned
};

} // namespace Orvexsystem

#endif
