// Packets from the driver to the hubs, commands from the hubs to the driver,
// and the driver's pen and touch settings.

#include "system/orvexsystem_p.h"
#include "system/threadcontext.h"

#include <orvexsystem/hub.h>

#include <cstring>

namespace Orvexsystem {

void OrvexSystem::processPacketCallback(int32_t handle, const uint8_t *data, uint32_t length,
                                        void *context)
{
    // A length that no packet can have is refused before anything is read.
    if (length > OrvexSystemPrivate::MaximumPacketLength)
        return;
    OrvexSystemPrivate &d = *static_cast<OrvexSystem *>(context)->d;
    // The tap sees the packet first, exactly as delivered.
    if (d.tap.isSet()) {
        ThreadContext::DriverCallback mark;
        d.tapTraffic(Tap_Packet, handle, tapClockNs(), data, length, true);
    }
    Hub *hub = d.enterPacketCallback(handle);
    if (!hub)
        return;
    {
        ThreadContext::DriverCallback mark;
        if (!data)
            length = 0;
        // Some hubs' packets carry a three-byte prefix marked by 'A' in byte 1.
        if (length >= 3 && data[1] == 0x41) {
            data += 3;
            length -= 3;
        }
        // Each driver thread reuses one buffer: no allocation per packet. A
        // hub that keeps the packet keeps a shared copy; the buffer is then
        // left to it and a new one is made for the next packet, so this
        // thread never writes or reads memory another thread may hold.
        // Whatever hands a packet to another thread takes a deep copy (the
        // reply queues, the event queue), so no copy is released while the
        // packet is still being handled.
        static thread_local QByteArray buffer;
        buffer.resize(int(length));
        if (length > 0)
            std::memcpy(buffer.data(), data, length);
        hub->processPacket(buffer);
        if (!buffer.isDetached())
            buffer = QByteArray();
    }
    d.leaveCallback();
}

bool OrvexSystem::sendCommand(Hub *hub, const QByteArray &command)
{
    std::shared_ptr<AbstractHardwareWrapper> wrapper = d->wrapper();
    if (d->state.load() != 1 || !wrapper) {
        recordError(Error_NotInitialised);
        return false;
    }
    if (!hub)
        return false;
    const bool tapped = d->tap.isSet();
    const qint64 began = tapped ? tapClockNs() : 0;
    const auto *bytes = reinterpret_cast<const uint8_t *>(command.constData());
    const bool accepted = wrapper->writePacket(hub->handle(), bytes, int32_t(command.size())) != -1;
    if (tapped)
        d->tapTraffic(Tap_Write, hub->handle(), began, bytes, uint32_t(command.size()), accepted);
    if (!accepted) {
        recordError(Error_BadPacketWrite);
        return false;
    }
    return true;
}

// Each pass-through needs a binding; without one (before initialise() or
// isDriverInstalled(), after shutdown()) it answers what an absent driver
// function answers.

void OrvexSystem::setTouchSystemRedirectionEnabled(Hub *hub, bool enable)
{
    if (auto wrapper = d->wrapper(); wrapper && hub)
        wrapper->setTouchSystemRedirectionEnabled(hub->handle(), enable);
}

bool OrvexSystem::getTouchSystemRedirectionEnabled(Hub *hub)
{
    if (auto wrapper = d->wrapper(); wrapper && hub)
        return wrapper->getTouchSystemRedirectionEnabled(hub->handle());
    return true;
}

void OrvexSystem::setLATEDetection(Hub *hub, bool enable)
{
    if (auto wrapper = d->wrapper(); wrapper && hub)
        wrapper->setLATEDetection(hub->handle(), enable ? 1 : 0);
}

bool OrvexSystem::getLATEDetection(Hub *hub)
{
    if (auto wrapper = d->wrapper(); wrapper && hub)
        return wrapper->getLATEDetection(hub->handle()) != 0;
    return true;
}

void OrvexSystem::setPenMode(Hub *hub, unsigned char mode)
{
    if (auto wrapper = d->wrapper(); wrapper && hub)
        wrapper->setHIDCoordinateReportMode(hub->handle(), mode);
}

unsigned char OrvexSystem::getPenMode(Hub *hub)
{
    if (auto wrapper = d->wrapper(); wrapper && hub)
        return wrapper->getHIDCoordinateReportMode(hub->handle());
    return 0;
}

void OrvexSystem::setPenReportMode(Hub *hub, unsigned char pen, bool flag, unsigned char mode)
{
    if (auto wrapper = d->wrapper(); wrapper && hub)
        wrapper->setPointingDeviceDestination(hub->handle(), pen, flag, mode);
}

void OrvexSystem::getPenReportMode(Hub *hub, unsigned char pen, unsigned char *mode)
{
    unsigned char answer = 0xFF;
    if (auto wrapper = d->wrapper(); wrapper && hub)
        answer = wrapper->getPointingDeviceDestination(hub->handle(), pen, 0);
    if (mode)
        *mode = answer;
}

void OrvexSystem::setTouchReportMode(Hub *hub, unsigned char mode)
{
    if (auto wrapper = d->wrapper(); wrapper && hub)
        wrapper->setTouchDestination(hub->handle(), mode);
}

void OrvexSystem::getTouchReportMode(Hub *hub, unsigned char *mode)
{
    unsigned char answer = 0xFF;
    if (auto wrapper = d->wrapper(); wrapper && hub)
        answer = wrapper->getTouchDestination(hub->handle());
    if (mode)
        *mode = answer;
}

bool OrvexSystem::sendTouchInfoToOS(Hub *hub, const unsigned char *data, unsigned char length)
{
    if (auto wrapper = d->wrapper(); wrapper && hub)
        wrapper->sendTouchPacketToSystem(hub->handle(), length, data);
    return true;
}

} // namespace Orvexsystem
