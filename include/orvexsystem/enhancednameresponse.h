#ifndef ORVEXSYSTEM_ENHANCEDNAMERESPONSE_H
#define ORVEXSYSTEM_ENHANCEDNAMERESPONSE_H

#include <orvexsystem/export.h>
#include <orvexsystem/hubresponse.h>

#include <QtCore/QByteArray>
#include <QtCore/QString>

namespace Orvexsystem {

/// A virtual hub's answer to ":GL": n A3 and the hub name, n its length in
/// bytes, in ISO 8859-1. Any packet whose byte 1 is 0xA3 is one; the name is
/// the n bytes from offset 2, or as many as the packet holds.
class ORVEXSYSTEM_EXPORT EnhancedNameResponse : public HubResponse
{
public:
    static const quint8 Control = 0xA3;
    static const int Offset_Length = 0;
    static const int Offset_Control = 1;
    static const int Offset_Name = 2;

    EnhancedNameResponse() = default;
    explicit EnhancedNameResponse(const QByteArray &packet);

    static bool isValid(const QByteArray &packet);

    QString name;
};

} // namespace Orvexsystem

#endif
