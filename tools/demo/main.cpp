// A small host of the library, run against the simulated driver's default
// classroom: it shows hubs as they are announced, a hub unplugged and
// plugged back, and a clean shutdown.

#include <orvexsystem/orvexsystem.h>

#include "orvexsim.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QTextStream>

#include <cstdio>
#include <functional>

using namespace Orvexsystem;

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QString kindText(Hub *hub)
{
    if (hub->isVirtualHub())
        return QStringLiteral("virtual 2.4 GHz hub");
    if (hub->type() == Hub::Type_TwoPointFourGHz)
        return QStringLiteral("2.4 GHz hub");
    return hub->connectionType() == Hub::ConnectionType_Serial ? QStringLiteral("legacy hub (serial)")
                                                                : QStringLiteral("legacy hub (USB)");
}

void printHub(const char *what, Hub *hub)
{
    out() << what << ' ' << kindText(hub) << ": handle " << hub->handle() << ", uid 0x"
          << QString::number(hub->uid(), 16).toUpper() << ", version " << hub->getVersion()
          << Qt::endl;
}

// Runs the Qt event loop until done() holds or the time runs out.
bool waitUntil(const std::function<bool()> &done, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    OrvexSystem &system = OrvexSystem::instance();

    Hub *lastConnected = nullptr;
    Hub *lastDisconnected = nullptr;
    QObject::connect(&system, &OrvexSystem::newHubConnected, &app, [&](Hub *hub) {
        lastConnected = hub;
        printHub("connected   ", hub);
    });
    QObject::connect(&system, &OrvexSystem::hubDisconnected, &app, [&](Hub *hub) {
        lastDisconnected = hub;
        printHub("disconnected", hub);
    });

    out() << "orvexsystem library version 0x" << QString::number(OrvexSystem::getLibraryVersion(), 16)
          << Qt::endl;
    if (!system.initialise()) {
        out() << "initialise failed: " << OrvexSystem::errorAsString(system.getLastError())
              << Qt::endl;
        return 1;
    }
    int major = 0, minor = 0, build = 0;
    if (system.getDriverVersion(&major, &minor, &build))
        out() << "driver version " << major << '.' << minor << '.' << build << Qt::endl;
    // Hubs found by initialise() were announced on this thread already.
    waitUntil([&] { return lastConnected != nullptr; }, 1000);

    QList<Hub *> hubs;
    system.getHubList(&hubs);
    out() << hubs.size() << " hub(s) connected" << Qt::endl;

    // Unplug the legacy hub and plug it back: the same object comes back.
    Hub *legacy = nullptr;
    for (Hub *hub : std::as_const(hubs))
        if (hub->type() == Hub::Type_Legacy)
            legacy = hub;
    if (legacy) {
        out() << "unplugging handle " << legacy->handle() << Qt::endl;
        lastConnected = nullptr;
        orvexsim_unplug_hub(legacy->handle());
        if (!waitUntil([&] { return lastDisconnected == legacy; }))
            out() << "no disconnection reported" << Qt::endl;
        out() << "plugging handle " << legacy->handle() << " back" << Qt::endl;
        orvexsim_plug_hub(legacy->handle());
        if (!waitUntil([&] { return lastConnected == legacy; }))
            out() << "no reconnection reported" << Qt::endl;
        else
            out() << "the same hub object came back" << Qt::endl;
    }

    system.shutdown();
    out() << "shut down" << Qt::endl;
    return 0;
}
