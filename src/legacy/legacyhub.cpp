// The legacy hub: construction, its remembered devices and its packets.

#include <orvexsystem/legacyhub.h>

#include "hub/pendecoder.h"
#include "legacy/legacyhub_p.h"
#include "legacy/legacyresponses.h"

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

LegacyHubPrivate::LegacyHubPrivate(LegacyHub *hub, int connectionType, bool hasBoard,
                                   int version)
    : q(hub),
      connectionType(Hub::ConnectionType(connectionType)),
      hasBoard(hasBoard),
      supportsRegistration(LegacyHub::determineIfSupportsRegistration(version)),
      hasQX5Board(LegacyHub::determineIfQX5Board(version)),
      penCount(LegacyHub::determinePenCount(version)),
      settingsGroup(LegacySettingsFile::groupOf(hasBoard, hub->uid()))
{
}

QString LegacyHubPrivate::slatePin() const
{
    std::lock_guard<std::mutex> lock(m_pinMutex);
    return m_strSlatePIN;
}

void LegacyHubPrivate::setSlatePin(const QString &pin)
{
    std::lock_guard<std::mutex> lock(m_pinMutex);
    m_strSlatePIN = pin;
}

bool LegacyHubPrivate::readDevicesInformation(Device::Type type, bool onlyIfEmpty)
{
    if (type != Device::Type_LegacyOrvexvote && type != Device::Type_Legacyslate)
        return true;
    // An unreadable file reads as no registrations.
    LegacySettingsFile::Registrations stored;
    const bool ok = LegacySettingsFile::read(settingsGroup, &stored);
    if (type == Device::Type_LegacyOrvexvote)
        lists.setVotes(q, stored.votes, onlyIfEmpty);
    else
        lists.setSlates(q, stored.slates, onlyIfEmpty);
    return ok;
}

bool LegacyHubPrivate::writeDevicesInformation(bool votes, bool slates)
{
    std::lock_guard<std::mutex> order(m_writeMutex);
    const QList<quint32> voteIds = lists.voteIds();
    const QList<LegacyDeviceLists::Slate> slateRecords = lists.slates();
    return LegacySettingsFile::write(settingsGroup, votes ? &voteIds : nullptr,
                                     slates ? &slateRecords : nullptr);
}

bool LegacyHubPrivate::saved(bool ok)
{
    if (!ok)
        q->recordError(Hub::Error_Failed);
    return ok;
}

bool LegacyHubPrivate::forgetAllDevices()
{
    q->disableSlates();
    lists.retireVotes();
    lists.retireSlates();
    return saved(writeDevicesInformation(true, true));
}

LegacyHub::LegacyHub(OrvexSystem *system, int handle, quint64 uid, bool connected, bool hasBoard,
                     int connectionType, int version)
    : Hub(system, handle, uid, connected, version),
      d(new LegacyHubPrivate(this, connectionType, hasBoard, version))
{
    createPenStates();
    // Each connection has its own reply forms; a hub of another connection
    // type waits for no reply.
    if (d->isSerial()) {
        addResponseHandler<LegacySerialVoteRegistrationResponse>();
        addResponseHandler<LegacySerialRFResponse>();
        addResponseHandler<LegacySerialEnableVoteResponse>();
    } else if (d->isUsb()) {
        addResponseHandler<LegacyVoteRegistrationResponse>();
        addResponseHandler<LegacyRFResponse>();
        addResponseHandler<LegacyUsbEnableVoteResponse>();
    }
    if (hasBoard)
        d->board.reset(new LegacyOrvexboard(this, quint32(uid)));
}

LegacyHub::~LegacyHub() = default;

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
    return d->hasQX5Board;
}

bool LegacyHub::supportsRegistration() const
{
    return d->supportsRegistration;
}

int LegacyHub::penCount() const
{
    return d->penCount;
}

Hub::Type LegacyHub::type()
{
    return Type_Legacy;
}

Hub::ConnectionType LegacyHub::connectionType()
{
    return d->connectionType;
}

void LegacyHub::setConnected(bool connected)
{
    Hub::setConnected(connected);
    if (connected) {
        configureHub();
        d->readDevicesInformation(Device::Type_LegacyOrvexvote);
        d->readDevicesInformation(Device::Type_Legacyslate);
    }
    if (d->board)
        d->board->setConnected(connected);
    if (!connected)
        d->lists.retireVotes();
}

// ---------------------------------------------------------------------------
// Device queries

bool LegacyHub::getDeviceCount(Device::Type type, int *count)
{
    if (!isConnected()) {
        recordError(Error_NotConnected);
        return false;
    }
    int n = 0;
    switch (type) {
    case Device::Type_LegacyOrvexboard: n = d->board ? 1 : 0; break;
    case Device::Type_Legacyslate: n = d->lists.slateCount(); break;
    case Device::Type_LegacyOrvexvote: n = d->lists.voteCount(); break;
    default: break;
    }
    if (count)
        *count = n;
    return true;
}

int LegacyHub::orvexboardCount()
{
    int count = 0;
    return getDeviceCount(Device::Type_LegacyOrvexboard, &count) ? count : 0;
}

bool LegacyHub::getDeviceList(Device::Type type, QList<Device *> *list)
{
    if (!isConnected()) {
        recordError(Error_NotConnected);
        return false;
    }
    if (!list)
        return true;
    list->clear();
    switch (type) {
    case Device::Type_LegacyOrvexboard:
        if (d->board)
            list->append(d->board.get());
        break;
    case Device::Type_Legacyslate: readOrvexSlateList(list); break;
    case Device::Type_LegacyOrvexvote: readOrvexvoteList(list); break;
    default: break;
    }
    return true;
}

bool LegacyHub::getCompleteDeviceList(QList<Device *> *list)
{
    QList<Device *> boards;
    QList<Device *> votes;
    QList<Device *> slates;
    if (!getDeviceList(Device::Type_LegacyOrvexboard, &boards)
        || !getDeviceList(Device::Type_LegacyOrvexvote, &votes)
        || !getDeviceList(Device::Type_Legacyslate, &slates))
        return false;
    if (list)
        *list << boards << votes << slates;
    return true;
}

bool LegacyHub::readOrvexvoteList(QList<Device *> *list)
{
    if (d->lists.voteCount() == 0)
        d->readDevicesInformation(Device::Type_LegacyOrvexvote, true);
    if (list)
        d->lists.appendVotes(list);
    return true;
}

bool LegacyHub::readOrvexSlateList(QList<Device *> *list)
{
    if (d->lists.slateCount() == 0)
        d->readDevicesInformation(Device::Type_Legacyslate, true);
    if (list)
        d->lists.appendSlates(list);
    return true;
}

bool LegacyHub::getDeviceDisplayInfoList(Device::Type type, QList<DeviceDisplayInfo> *list)
{
    if (list)
        list->clear();
    if (!isConnected()) {
        recordError(Error_NotConnected);
        return false;
    }
    if (type == Device::Type_LegacyOrvexboard) {
        if (d->board && list)
            list->append(DeviceDisplayInfo(d->board->name(), d->board->uid(),
                                           d->board->subType()));
        return true;
    }
    // Read first when empty, as getDeviceList() does.
    if (type == Device::Type_LegacyOrvexvote)
        readOrvexvoteList(nullptr);
    else if (type == Device::Type_Legacyslate)
        readOrvexSlateList(nullptr);
    if (list)
        *list = d->lists.displayInfo(type);
    return true;
}

void LegacyHub::readRegisteredDevicesLists()
{
    // A list that a registration session is adding to holds registrations
    // not saved yet: reading it from the file would lose them.
    const SessionState state = sessionState();
    if (state != Session_SlateRegistration && state != Session_SlatePINRegistration)
        d->readDevicesInformation(Device::Type_Legacyslate);
    if (state != Session_VoteRegistration)
        d->readDevicesInformation(Device::Type_LegacyOrvexvote);
}

unsigned int LegacyHub::getDeviceId(unsigned int address)
{
    return address;
}

bool LegacyHub::setHubBusyCallback(HubBusyCallback, void *)
{
    return false;
}

// ---------------------------------------------------------------------------
// Packets

void LegacyHub::processPacket(const QByteArray &packet)
{
    Hub::processPacket(packet);

    switch (sessionState()) {
    case Session_VoteRegistration: {
        quint32 id = 0;
        bool batteryLow = false;
        int version = 0;
        if (d->isUsb() && LegacyVoteRegistrationResponse::isValid(packet)) {
            const LegacyVoteRegistrationResponse reply(packet);
            id = reply.deviceId(), batteryLow = reply.batteryLow(), version = reply.deviceVersion();
        } else if (d->isSerial() && LegacySerialVoteRegistrationResponse::isValid(packet)) {
            const LegacySerialVoteRegistrationResponse reply(packet);
            id = reply.deviceId(), batteryLow = reply.batteryLow(), version = reply.deviceVersion();
        } else {
            return;
        }
        // A handset already registered is not reported again.
        if (d->lists.addVote(this, id))
            Q_EMIT voteDeviceRegistered(id, batteryLow, version);
        return;
    }
    case Session_SlateRegistration: {
        if (d->isUsb() && LegacySlateRegistrationResponse::isValid(packet))
            Q_EMIT generatePinforSlateRegistration(LegacySlateRegistrationResponse(packet).slateId());
        else if (d->isSerial() && LegacySerialSlateRegistrationResponse::isValid(packet))
            Q_EMIT generatePinforSlateRegistration(
                LegacySerialSlateRegistrationResponse(packet).slateId());
        return;
    }
    case Session_SlatePINRegistration: {
        quint8 slateId = 0;
        QString pin;
        if (d->isUsb() && LegacySlatePINRegistrationResponse::isValid(packet)) {
            const LegacySlatePINRegistrationResponse reply(packet);
            slateId = reply.slateId(), pin = reply.pinText();
        } else if (d->isSerial() && LegacySerialSlatePINRegistrationResponse::isValid(packet)) {
            const LegacySerialSlatePINRegistrationResponse reply(packet);
            slateId = reply.slateId(), pin = reply.pinText();
        } else {
            return;
        }
        // Only the PIN the host gave registers, and a slate only once.
        if (pin == d->slatePin() && d->lists.addSlate(this, slateId, pin))
            Q_EMIT slateDeviceRegistered(slateId);
        return;
    }
    default:
        return;
    }
}

bool LegacyHub::processPinNamingSessionResponse(const QByteArray &packet, quint32 &uid,
                                                QString &response)
{
    if (d->isUsb() && LegacyPinNamingResponse::isValid(packet)) {
        const LegacyPinNamingResponse reply(packet);
        uid = reply.deviceId();
        response = reply.pinText();
        return true;
    }
    if (d->isSerial() && LegacySerialPinNamingResponse::isValid(packet)) {
        const LegacySerialPinNamingResponse reply(packet);
        uid = reply.deviceId();
        response = reply.pinText();
        return true;
    }
    return false;
}

bool LegacyHub::isPenPacket(const QByteArray &packet)
{
    switch (d->connectionType) {
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
    if (d->isUsb())
        decoded = PenPacket8::decode(packet, sample);
    else if (d->isSerial())
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

} // namespace Orvexsystem
