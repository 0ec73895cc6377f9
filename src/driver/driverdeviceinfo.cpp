#include <orvexsystem/driverdeviceinfo.h>

#include <cstring>

namespace Orvexsystem {

namespace {

QString textOf(const char16_t *units, int capacity)
{
    int length = 0;
    while (length < capacity && units[length] != 0)
        ++length;
    return QString::fromUtf16(units, length);
}

} // namespace

DriverDeviceInfo DriverDeviceInfo::empty()
{
    DriverDeviceInfo info;
    std::memset(&info, 0, sizeof info);
    info.header = ORVEX_DEVICE_INFO_HEADER;
    return info;
}

QString DriverDeviceInfo::descriptionText() const
{
    return textOf(description, DescriptionUnits);
}

QString DriverDeviceInfo::driverVersionText() const
{
    return textOf(driverVersion, DriverVersionUnits);
}

} // namespace Orvexsystem
