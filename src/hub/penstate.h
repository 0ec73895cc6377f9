#ifndef ORVEXSYSTEM_PENSTATE_H
#define ORVEXSYSTEM_PENSTATE_H

#include <orvexsystem/hub.h>

namespace Orvexsystem {

// One pen of a board. The id, type and hardware mode are fixed when the hub
// creates the state, so any thread may read them; tip and barrel are read
// and written only by the packet thread.
struct PenState
{
    PenState(quint8 id, Hub::PenType t, Hub::PenHardwareMode m)
        : penId(id), type(t), hardwareMode(m)
    {
    }

    const quint8 penId;
    const Hub::PenType type;
    const Hub::PenHardwareMode hardwareMode;
    bool tip = false;
    bool barrel = false;
};

} // namespace Orvexsystem

#endif
