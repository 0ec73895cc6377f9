#ifndef ORVEXSYSTEM_VIRTUAL_VIRTUALTWOPOINTFOURGHZHUB_P_H
#define ORVEXSYSTEM_VIRTUAL_VIRTUALTWOPOINTFOURGHZHUB_P_H

#include <orvexsystem/virtualtwopointfourghzhub.h>

#include "virtual/halvernserver_helper.h"
#include "virtual/virtualhubdescription.h"

#include <QtCore/QByteArray>

namespace Orvexsystem {

class VirtualTwoPointFourGHzHubPrivate
{
public:
    static VirtualTwoPointFourGHzHubPrivate *get(VirtualTwoPointFourGHzHub *hub)
    {
        return hub->v.get();
    }

    // ":AE001" CR.
    static QByteArray genericStartCommand();
    // ":AE002" CR, address high and low byte, length (3 bytes, high first),
    // message. The message must fit the length field.
    static QByteArray genericMessageCommand(quint16 address, const QByteArray &message);

    // Set by the constructor, read-only afterwards.
    QString description;
    VirtualHubDescription parts;
    // The link to the response server; its operations may be called from
    // any thread (see halvernserver_helper).
    halvernserver_helper link;
};

} // namespace Orvexsystem

#endif
