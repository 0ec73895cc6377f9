#ifndef ORVEXSYSTEM_VIRTUALTWOPOINTFOURGHZHUB_H
#define ORVEXSYSTEM_VIRTUALTWOPOINTFOURGHZHUB_H

#include <orvexsystem/export.h>
#include <orvexsystem/twopointfourghzhub.h>

#include <QtCore/QString>

namespace Orvexsystem {

// A 2.4 GHz hub reached over the network through a response server. It
// behaves as a 2.4 GHz hub whose replies take longer (6000 ms for every
// command). The response-server link and the generic device-message session
// are not part of it yet: generic packets are ignored.
class ORVEXSYSTEM_EXPORT VirtualTwoPointFourGHzHub : public TwoPointFourGHzHub
{
    Q_OBJECT
public:
    // description is the server's description text from the driver.
    VirtualTwoPointFourGHzHub(OrvexSystem *system, int handle, quint64 uid, bool connected,
                              int version, QString description);
    ~VirtualTwoPointFourGHzHub() override;

    bool isVirtualHub() override { return true; }
    void processGenericAsyncPacket(const QByteArray &packet) override;

    QString description() const { return m_strDescription; }

private:
    QString m_strDescription;
};

} // namespace Orvexsystem

#endif
