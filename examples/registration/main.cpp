// Registration through the session façades: voting handsets register with a
// hub for some seconds, or until a count of them has, and are listed
// afterwards. On a 2.4 GHz hub the learners key a PIN and each new handset
// is then given a name through the naming façade; a legacy hub registers
// every handset in reach and the library keeps its list (in the machine-wide
// settings below XDG_DATA_DIRS). Exit code 0 when the hub did all that was
// asked, 2 when fewer than count handsets registered in time.
//
//   orvexregister [seconds] [count] [PIN]
#include <orvexsystem/orvexsystem.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QTimer>

#include <cstdio>
#include <cstdlib>

using namespace Orvexsystem;

namespace {

void printList(const char *what, const QList<DeviceDisplayInfo> &list)
{
    std::printf("%d %s registered:\n", int(list.size()), what);
    for (const DeviceDisplayInfo &device : list)
        std::printf("  0x%08X  %s\n", device.uid, qPrintable(device.name));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    const int count = argc > 2 ? std::atoi(argv[2]) : 0;
    const RegistrationCode pin(QString::fromLocal8Bit(argc > 3 ? argv[3] : "ABC"));

    OrvexSystem &system = OrvexSystem::instance();
    if (!system.initialise()) {
        std::fprintf(stderr, "the library did not start: %s\n",
                     qPrintable(OrvexSystem::errorAsString(system.getLastError())));
        return 1;
    }
    QList<Hub *> hubs;
    system.getHubList(&hubs);
    if (hubs.isEmpty()) {
        std::fprintf(stderr, "no hub is connected\n");
        system.shutdown();
        return 1;
    }
    Hub *hub = hubs.first();
    const int handle = hub->handle();

    // The façades' signals are emitted in this thread, through its event
    // loop, so the list below needs no lock.
    QList<quint32> registered;
    const auto arrived = [&](quint32 uid) {
        registered << uid;
        std::printf("handset 0x%08X registered\n", uid);
        if (count > 0 && registered.size() >= count)
            app.quit();
    };
    const auto runFor = [&] {
        QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
        app.exec();
    };
    bool ok = false;
    QList<DeviceDisplayInfo> list;

    if (qobject_cast<LegacyHub *>(hub)) {
        // A façade of the kind is handed out once per hub, until it is stopped.
        const LegacyhubRegistrationSession *session = system.startLegacyhubRegistrationSession(handle);
        if (session)
            QObject::connect(session, &LegacyhubRegistrationSession::voteDeviceRegistered, &app,
                             [&](quint32 uid, bool, int) { arrived(uid); });
        ok = session && session->startVoteRegistrationSession();
        if (ok) {
            std::printf("registering voting handsets with legacy hub %d for %d s\n", handle, seconds);
            runFor();
            // Ending the session saves the new handsets in the library's list.
            ok = session->stopVoteRegistrationSession() && session->getListOfRegisteredVotes(list);
        }
        system.stopLegacyhubRegistrationSession();
    } else {
        const OrvexhubRegistrationSession *session = system.startOrvexhubRegistrationSession(handle);
        const OrvexhubVoteNamingSession *naming = system.startOrvexhubVoteNamingSession(handle);
        if (session && naming) {
            const OrvexhubRegistrationSession::RegistrationInfo info = session->registrationInfo();
            std::printf("hub %d: %d of %d handsets in use\n", handle, info.handsetsInUse, info.handsetCapacity);
            QObject::connect(session, &OrvexhubRegistrationSession::voteDeviceRegistered, &app,
                             [&](const QString &, quint32 uid) { arrived(uid); });
        }
        ok = session && naming && session->startVoteRegistrationSession(0, 0, 0, pin);
        if (ok) {
            std::printf("registering voting handsets with PIN %s on hub %d for %d s\n",
                        qPrintable(pin.toString()), handle, seconds);
            runFor();
            ok = session->stopVoteRegistrationSession();
        }
        // Each newcomer gets a name of at most four characters.
        for (int i = 0; ok && i < registered.size(); ++i)
            ok = naming->nameOrvexvote(registered.at(i), QStringLiteral("N%1").arg(i + 1, 2, 10, QLatin1Char('0')));
        system.stopOrvexhubVoteNamingSession();
        ok = ok && session->getListOfRegisteredVotes(list);
        system.stopOrvexhubRegistrationSession();
    }
    if (!ok)
        std::fprintf(stderr, "the hub failed: %s\n", qPrintable(Hub::errorAsString(hub->getLastError())));
    else
        printList("voting handsets", list);
    system.shutdown();
    if (!ok)
        return 1;
    return registered.size() < count ? 2 : 0;
}
