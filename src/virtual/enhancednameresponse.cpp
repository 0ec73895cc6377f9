#include <orvexsystem/enhancednameresponse.h>

namespace Orvexsystem {

bool EnhancedNameResponse::isValid(const QByteArray &packet)
{
    return packet.size() > Offset_Control && quint8(packet.at(Offset_Control)) == Control;
}

EnhancedNameResponse::EnhancedNameResponse(const QByteArray &packet)
{
    if (!isValid(packet))
        return;
    const int announced = quint8(packet.at(Offset_Length));
    const int available = int(packet.size()) - Offset_Name;
    const int length = announced < available ? announced : available;
    name = QString::fromLatin1(packet.constData() + Offset_Name, length);
    m_bValid = true;
}

} // namespace Orvexsystem
