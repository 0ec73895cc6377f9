// Packets from the driver to the hubs, commands from the hubs to the driver,
// and the driver's pen and touch settings.

#include "system/callbackscope.h"
#include "system/orvexsystem_p.h"

#include <orvexsystem/hub.h>

namespace Orvexsystem {

void OrvexSystem::processPacketCallback(int32_t handle, const uint8_t *data, uint32_t length,
                                        void *context)
{
    auto *self = static_cast<OrvexSystem *>(context);
    OrvexSystemPrivate &d = *self->d;
    Hub *hub;
    {
        std::lock_guard<std::mutex> lock(d.tableMutex);
        if (d.hubs.isEmpty())
            return;
        hub = d.hubs.value(handle, nullptr);
        if (!hub)
            return;
        // Counted while the hub is certainly in the table: shutdown() removes
        // it under the same lock and then waits for this callback.
        d.callbacksInFlight.fetch_add(1);
    }
    CallbackScope scope(d, CallbackScope::Adopt{});
    if (!data)
        length = 0;
    // Some hubs' packets carry a three-byte prefix marked by 'A' in byte 1.
    if (length >= 3 && data[1] == 0x41) {
        data += 3;
        length -= 3;
    }
    hub->processPacket(QByteArray(reinterpret_cast<const char *>(data), int(length)));
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
    if (wrapper->writePacket(hub->handle(), reinterpret_cast<const uint8_t *>(command.constData()),
                             int32_t(command.size()))
        == -1) {
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
