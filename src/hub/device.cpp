#include <orvexsystem/device.h>

namespace Orvexsystem {

namespace {

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The first two characters of a hex id are the top byte of the uid;
// expression handsets whose top byte is 0x0C are the second generation.
Device::SubType expressionSubTypeOf(const QByteArray &hexId)
{
    if (hexId.size() < 2)
        return Device::SubType_Expression;
    const int high = hexDigitValue(hexId.at(0));
    const int low = hexDigitValue(hexId.at(1));
    if (high < 0 || low < 0)
        return Device::SubType_Expression;
    return (high * 16 + low) == 0x0C ? Device::SubType_Expression0C
                                     : Device::SubType_Expression;
}

} // namespace

Device::Device(Hub *hub, unsigned int uid, unsigned short address)
    : QObject(nullptr), m_uid(uid), m_pHub(hub), m_bConnected(0), m_address(address)
{
}

Device::~Device() = default;

QString Device::name() const
{
    return QString();
}

Device::SubType Device::subType() const
{
    return SubType_None;
}

bool Device::enableRemoteControl()
{
    return false;
}

bool Device::disableRemoteControl()
{
    return false;
}

void Device::setConnected(bool c)
{
    const bool was = m_bConnected.fetchAndStoreOrdered(c ? 1 : 0) != 0;
    if (was && !c)
        Q_EMIT disconnected(this);
    else if (!was && c)
        Q_EMIT connected(this);
}

LegacyOrvexboard::LegacyOrvexboard(Hub *hub, unsigned int uid) : Device(hub, uid, 0) {}

Legacyslate::Legacyslate(Hub *hub, unsigned int uid, QString pin)
    : Device(hub, uid, 0), m_strPin(std::move(pin))
{
}

LegacyOrvexvote::LegacyOrvexvote(Hub *hub, unsigned int uid) : Device(hub, uid, 0) {}

TwoPointFourGHzDevice::TwoPointFourGHzDevice(Hub *hub, unsigned int uid, unsigned short address,
                                             QString name, const QByteArray &hexId)
    : Device(hub, uid, address), m_strName(std::move(name)), m_hexId(hexId)
{
}

TwoPointFourGHzOrvexSlate::TwoPointFourGHzOrvexSlate(Hub *hub, unsigned int uid,
                                                     unsigned short address, QString name,
                                                     const QByteArray &hexId)
    : TwoPointFourGHzDevice(hub, uid, address, std::move(name), hexId)
{
}

TwoPointFourGHzOrvexvote::TwoPointFourGHzOrvexvote(Hub *hub, unsigned int uid,
                                                   unsigned short address, QString name,
                                                   const QByteArray &hexId)
    : TwoPointFourGHzDevice(hub, uid, address, std::move(name), hexId)
{
}

TwoPointFourGHzOrvexexpression::TwoPointFourGHzOrvexexpression(Hub *hub, unsigned int uid,
                                                               unsigned short address,
                                                               QString name,
                                                               const QByteArray &hexId)
    : TwoPointFourGHzDevice(hub, uid, address, std::move(name), hexId),
      m_eSubType(expressionSubTypeOf(hexId))
{
}

PenExpression::PenExpression(Hub *hub, unsigned int uid, unsigned short address, QString name,
                             const QByteArray &hexId)
    : TwoPointFourGHzOrvexexpression(hub, uid, address, std::move(name), hexId)
{
    m_eSubType = SubType_None;
}

} // namespace Orvexsystem
