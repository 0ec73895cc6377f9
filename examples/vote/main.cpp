// A vote: every voting handset of a hub may press a key; after some
// seconds the votes are counted, each handset's last key once.
//
//   orvexvote [seconds] [hub handle]
#include <orvexsystem/orvexsystem.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QMap>
#include <QtCore/QTimer>

#include <cstdio>
#include <cstdlib>

using namespace Orvexsystem;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const int handle = argc > 2 ? std::atoi(argv[2]) : -1;

    OrvexSystem &system = OrvexSystem::instance();
    if (!system.initialise()) {
        std::fprintf(stderr, "the library did not start: %s\n",
                     qPrintable(OrvexSystem::errorAsString(system.getLastError())));
        return 1;
    }
    // The hubs found by initialise(): the one asked for, else the first.
    QList<Hub *> hubs;
    system.getHubList(&hubs);
    Hub *hub = nullptr;
    for (Hub *candidate : std::as_const(hubs))
        if (!hub || candidate->handle() == handle)
            hub = candidate;
    if (!hub) {
        std::fprintf(stderr, "no hub is connected\n");
        system.shutdown();
        return 1;
    }

    // Votes arrive on the driver's thread; connected with this thread's
    // application as the context, they are handed to this thread's event
    // loop, so the map needs no lock.
    QMap<quint32, int> lastVote;
    QObject::connect(hub, &Hub::voteReceived, &app, [&](Hub *, quint32 uid, int vote, int) {
        lastVote.insert(uid, vote);
        std::printf("handset 0x%08X pressed %d\n", uid, vote);
    });
    if (!hub->startVotingSession(Hub::VotingMode_VB, nullptr, nullptr)) {
        std::fprintf(stderr, "the vote did not start: %s\n",
                     qPrintable(Hub::errorAsString(hub->getLastError())));
        system.shutdown();
        return 1;
    }
    std::printf("voting on hub %d for %d s\n", hub->handle(), seconds);
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    hub->stopSession();

    QMap<int, int> tally;
    for (int vote : std::as_const(lastVote))
        ++tally[vote];
    std::printf("%d handset(s) voted\n", int(lastVote.size()));
    for (int option = 1; option <= 6; ++option)
        std::printf("  option %d: %d\n", option, tally.value(option));
    system.shutdown();
    return 0;
}
