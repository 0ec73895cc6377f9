#include "hub/touchstatusresponse.h"

namespace Orvexsystem {

TouchStatusResponse::TouchStatusResponse(const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    for (int i = 0; i < 6; ++i)
        m_data[i] = quint8(packet.at(2 + i));
    m_bValid = true;
}

bool TouchStatusResponse::isValid(const QByteArray &packet)
{
    return packet.size() == Length && quint8(packet.at(0)) == Length
           && quint8(packet.at(1)) == Control;
}

quint8 TouchStatusResponse::byteAt(int index) const
{
    return index >= 0 && index < 6 ? m_data[index] : 0;
}

} // namespace Orvexsystem
