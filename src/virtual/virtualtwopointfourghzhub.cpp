#include <orvexsystem/virtualtwopointfourghzhub.h>

namespace Orvexsystem {

VirtualTwoPointFourGHzHub::VirtualTwoPointFourGHzHub(OrvexSystem *system, int handle,
                                                     quint64 uid, bool connected, int version,
                                                     QString description)
    : TwoPointFourGHzHub(system, handle, uid, connected, version),
      m_strDescription(std::move(description))
{
    // Replies travel through the response server.
    setResponseWaitTime(6000);
}

VirtualTwoPointFourGHzHub::~VirtualTwoPointFourGHzHub() = default;

// Generic device messages belong to the generic session, which the virtual
// hub does not offer yet.
void VirtualTwoPointFourGHzHub::processGenericAsyncPacket(const QByteArray &) {}

} // namespace Orvexsystem
