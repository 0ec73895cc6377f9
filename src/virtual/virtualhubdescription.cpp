#include "virtual/virtualhubdescription.h"

#include <QtCore/QStringList>

namespace Orvexsystem {

VirtualHubDescription VirtualHubDescription::parse(const QString &description)
{
    VirtualHubDescription parts;
    const QStringList fields = description.split(QLatin1Char(':'), Qt::KeepEmptyParts);
    if (fields.size() < MinimumParts)
        return parts;
    parts.host = fields.at(1);
    parts.host.remove(QLatin1Char('/'));
    parts.part2 = fields.at(2);
    parts.part3 = fields.at(3);
    parts.part4 = fields.at(4);
    return parts;
}

QString VirtualHubDescription::details(const QString &hubName) const
{
    return hubName + QLatin1Char('@') + host + QLatin1Char(':') + part2 + QLatin1Char(':') + part3
           + QLatin1Char(':') + part4;
}

} // namespace Orvexsystem
