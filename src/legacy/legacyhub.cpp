#include <orvexsystem/legacyhub.h>

#include "hub/pendecoder.h"

namespace Orvexsystem {

const int LegacyHub::Packet_Offset_PenId;
const int LegacyHub::Packet_Offset_X;
const int LegacyHub::Packet_Offset_Y;
const int LegacyHub::Packet_Offset_Button;
const int LegacyHub::Packet_Offset_Serial_PenId;
const int LegacyHub::Packet_Offset_Serial_X;
const int LegacyHub::Packet_Offset_Serial_Y;
const int LegacyHub::Packet_Offset_Serial_Button;
const int LegacyHub::Packet_Offset_Serial_Proximity;

namespace {
const int TouchFirmwareVersion = 850;
} // namespace

LegacyHub::LegacyHub(OrvexSystem *system, int handle, quint64 uid, bool connected, bool hasBoard,
                     int connectionType, int version)
    : Hub(system, handle, uid, connected, version),
      m_pBoard(nullptr),
      m_eConnectionType(ConnectionType(connectionType)),
      m_bHasBoard(hasBoard),
      m_bSupportsRegistration(determineIfSupportsRegistration(version)),
      m_bHasQX5Board(determineIfQX5Board(version)),
      m_nPenCount(determinePenCount(version))
{
    createPenStates();
    if (m_bHasBoard)
        m_pBoard = new LegacyOrvexboard(this, quint32(uid));
}

LegacyHub::~LegacyHub()
{
    delete m_pBoard;
}

bool LegacyHub::determineIfQX5Board(int version)
{
    return version >= 800 && version <= 899;
}

bool LegacyHub::determineIfSupportsRegistration(int version)
{
    return version < 800 || version > 899;
}

int LegacyHub::determinePenCount(int version)
{
    if (version >= 390 && version <= 399)
        return 2;
    return (version < 800 || version > 899) ? 1 : 2;
}

bool LegacyHub::isHubBusy()
{
    return false;
}

bool LegacyHub::hasQX5Board() const
{
    return m_bHasQX5Board;
}

bool LegacyHub::supportsRegistration() const
{
    return m_bSupportsRegistration;
}

int LegacyHub::penCount() const
{
    return m_nPenCount;
}

Hub::Type LegacyHub::type()
{
    return Type_Legacy;
}

Hub::ConnectionType LegacyHub::connectionType()
{
    return m_eConnectionType;
}

// The registered device lists and their settings file are not part of this
// build yet: the list operations answer as for a hub with no lists.
bool LegacyHub::getDeviceCount(Device::Type, int *count)
{
    if (count)
        *count = 0;
    recordError(Error_NotSupported);
    return false;
}

bool LegacyHub::getDeviceList(Device::Type, QList<Device *> *list)
{
    if (list)
        list->clear();
    recordError(Error_NotSupported);
    return false;
}

bool LegacyHub::getCompleteDeviceList(QList<Device *> *list)
{
    if (list)
        list->clear();
    recordError(Error_NotSupported);
    return false;
}

void LegacyHub::readRegisteredDevicesLists() {}

unsigned int LegacyHub::getDeviceId(unsigned int)
{
    return 0;
}

void LegacyHub::processPacket(const QByteArray &packet)
{
    Hub::processPacket(packet);
}

bool LegacyHub::isPenPacket(const QByteArray &packet)
{
    switch (m_eConnectionType) {
    case ConnectionType_Usb:
        return PenPacket8::isPenPacket(packet);
    case ConnectionType_Serial:
        return PenPacketSerial::isPenPacket(packet);
    }
    return false;
}

void LegacyHub::getPenData(const QByteArray &packet, quint8 &penId, int &x, int &y, bool &tip,
                           bool &barrel, bool &proximity)
{
    tip = false;
    barrel = false;
    proximity = false;
    PenSample sample;
    bool decoded = false;
    if (m_eConnectionType == ConnectionType_Usb)
        decoded = PenPacket8::decode(packet, sample);
    else if (m_eConnectionType == ConnectionType_Serial)
        decoded = PenPacketSerial::decode(packet, sample);
    if (!decoded)
        return;
    penId = sample.penId;
    x = sample.x;
    y = sample.y;
    tip = sample.tip;
    barrel = sample.barrel;
    proximity = sample.proximity;
}

bool LegacyHub::isTouchSupported()
{
    return getVersion() >= TouchFirmwareVersion;
}

bool LegacyHub::processPinNamingSessionResponse(const QByteArray &, quint32 &, QString &)
{
    return false;
}

bool LegacyHub::setHubBusyCallback(HubBusyCallback, void *)
{
    return false;
}

} // namespace Orvexsystem
