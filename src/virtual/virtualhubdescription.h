#ifndef ORVEXSYSTEM_VIRTUAL_VIRTUALHUBDESCRIPTION_H
#define ORVEXSYSTEM_VIRTUAL_VIRTUALHUBDESCRIPTION_H

#include <QtCore/QString>

namespace Orvexsystem {

// The parts of a virtual hub's description text from the driver's record,
// e.g. "srv://room-server:a:b:c": split at ":" (empty parts kept); with at
// least five parts, the host is part 1 with every "/" removed and parts 2 to
// 4 are kept as they stand. The scheme (index 0) and parts after 4 are unused. With
// fewer parts every member stays empty. Only the host has a known meaning;
// the other parts are stored and forwarded.
struct VirtualHubDescription
{
    static const int MinimumParts = 5;

    QString host;
    QString part2;
    QString part3;
    QString part4;

    static VirtualHubDescription parse(const QString &description);
    // The hub details the response server is told: name "@" host ":" part2
    // ":" part3 ":" part4.
    QString details(const QString &hubName) const;
};

} // namespace Orvexsystem

#endif
