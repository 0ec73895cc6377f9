#ifndef ORVEXSYSTEM_DISPLAYINFO_H
#define ORVEXSYSTEM_DISPLAYINFO_H

#include <orvexsystem/device.h>
#include <orvexsystem/export.h>

#include <QtCore/QMetaType>
#include <QtCore/QString>

namespace Orvexsystem {

/// The driver's handle of a hub; the key of the hub tables.
typedef int HubHandle_t;

/// A hub as the host's lists show it.
struct ORVEXSYSTEM_EXPORT HubDisplayInfo
{
    QString name;
    quint64 uid = 0;
    bool isVirtual = false;
};

/// A registered device as the host's lists show it.
struct ORVEXSYSTEM_EXPORT DeviceDisplayInfo
{
    DeviceDisplayInfo() = default;
    DeviceDisplayInfo(const QString &n, unsigned int u, Device::SubType s)
        : name(n), uid(u), subType(s)
    {
    }
    QString name;
    unsigned int uid = 0;
    Device::SubType subType = Device::SubType_None;
};

} // namespace Orvexsystem

#endif
