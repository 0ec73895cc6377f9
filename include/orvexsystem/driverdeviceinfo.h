#ifndef ORVEXSYSTEM_DRIVERDEVICEINFO_H
#define ORVEXSYSTEM_DRIVERDEVICEINFO_H

#include <orvexsystem/export.h>
#include <orvexsystem/orvexboardex.h>

#include <QtCore/QString>

#include <cstddef>
#include <cstdint>

namespace Orvexsystem {

/// The driver's record of one attached hub, as orvexEnumDeviceInfo fills it
/// (layout in <orvexsystem/orvexboardex.h>). Numbers are in the machine's
/// byte order, which is the little-endian order the driver writes on the
/// machines the library runs on.
struct ORVEXSYSTEM_EXPORT DriverDeviceInfo
{
    /// The hub kinds a record names.
    enum Kind : int32_t {
        Kind_LegacyBoardHub = 1, ///< a legacy hub mounted in a board
        Kind_LegacyHub = 2,      ///< a free-standing legacy hub
        Kind_TwoPointFourGHzHub = 3,
        Kind_VirtualTwoPointFourGHzHub = 4
    };
    /// Connection types of legacy hubs.
    enum Connection : int32_t { Connection_Serial = 1, Connection_Usb = 2 };

    static const int DescriptionUnits = (ORVEX_DEVICE_INFO_OFFSET_DRIVER_VERSION
                                         - ORVEX_DEVICE_INFO_OFFSET_DESCRIPTION)
        / 2;
    static const int DriverVersionUnits =
        (ORVEX_DEVICE_INFO_SIZE - ORVEX_DEVICE_INFO_OFFSET_DRIVER_VERSION) / 2;

    int32_t header;         ///< written as ORVEX_DEVICE_INFO_HEADER by the caller
    int32_t kind;           ///< Kind
    int32_t connectionType; ///< Connection, legacy hubs
    int32_t version;        ///< the hub's version number
    int32_t reserved;
    int32_t handle;
    uint32_t uidLow;
    uint32_t uidHigh;
    char16_t description[DescriptionUnits];     ///< UTF-16, NUL-terminated
    char16_t driverVersion[DriverVersionUnits]; ///< UTF-16, NUL-terminated

    /// A record cleared but for the header, ready to be filled.
    static DriverDeviceInfo empty();

    quint64 uid() const { return quint64(uidLow) | quint64(uidHigh) << 32; }
    bool isLegacyKind() const { return kind == Kind_LegacyBoardHub || kind == Kind_LegacyHub; }
    bool isTwoPointFourGHzKind() const
    {
        return kind == Kind_TwoPointFourGHzHub || kind == Kind_VirtualTwoPointFourGHzHub;
    }
    /// The texts up to their NUL, or to the end of their field when the
    /// driver did not end them.
    QString descriptionText() const;
    QString driverVersionText() const;
};

static_assert(sizeof(DriverDeviceInfo) == ORVEX_DEVICE_INFO_SIZE, "record size");
static_assert(offsetof(DriverDeviceInfo, header) == ORVEX_DEVICE_INFO_OFFSET_HEADER, "layout");
static_assert(offsetof(DriverDeviceInfo, kind) == ORVEX_DEVICE_INFO_OFFSET_KIND, "layout");
static_assert(offsetof(DriverDeviceInfo, connectionType) == ORVEX_DEVICE_INFO_OFFSET_CONNECTION,
              "layout");
static_assert(offsetof(DriverDeviceInfo, version) == ORVEX_DEVICE_INFO_OFFSET_VERSION, "layout");
static_assert(offsetof(DriverDeviceInfo, handle) == ORVEX_DEVICE_INFO_OFFSET_HANDLE, "layout");
static_assert(offsetof(DriverDeviceInfo, uidLow) == ORVEX_DEVICE_INFO_OFFSET_UID, "layout");
static_assert(offsetof(DriverDeviceInfo, description) == ORVEX_DEVICE_INFO_OFFSET_DESCRIPTION,
              "layout");
static_assert(offsetof(DriverDeviceInfo, driverVersion)
                  == ORVEX_DEVICE_INFO_OFFSET_DRIVER_VERSION,
              "layout");

} // namespace Orvexsystem

#endif
