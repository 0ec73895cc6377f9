// Device records as a driver might fill them, whatever their bytes: the
// discovery pass and the driver-version query must take any of them.

#include "support/fakedriver.h"
#include "support/testhub.h"

#include <QtCore/QCoreApplication>

#include <cstdint>

using namespace OrvexTest;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    new QCoreApplication(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static FakeDriver driver;
    static TestSystem *system = [] {
        auto *s = new TestSystem(driver);
        s->hubFactory = [](TestSystem *sys, int kind, int handle, quint64 uid) -> Orvexsystem::Hub * {
            return kind < 1 || kind > 4 ? nullptr : new TestHub(sys, handle, uid, false);
        };
        s->initialise();
        return s;
    }();
    static int runs = 0;

    // The first byte chooses how many records the rest is cut into.
    if (size == 0)
        return 0;
    const int count = 1 + data[0] % 4;
    QList<QByteArray> records;
    const QByteArray rest(reinterpret_cast<const char *>(data + 1), int(size - 1));
    const int chunk = std::max<int>(1, int(rest.size()) / count);
    for (int i = 0; i < count; ++i)
        records.append(rest.mid(i * chunk, ORVEX_DEVICE_INFO_SIZE));
    driver.setRawRecords(records);

    system->updateHubs();
    int major, minor, build;
    system->getDriverVersion(&major, &minor, &build);
    QList<Orvexsystem::Hub *> hubs;
    system->getHubList(&hubs);
    QMap<int, Orvexsystem::HubDisplayInfo> info;
    system->getOrvexHubInfoMap(info);

    // Start afresh now and then, so that the hub table stays small.
    if (++runs % 256 == 0) {
        system->shutdown();
        system->initialise();
    }
    return 0;
}
