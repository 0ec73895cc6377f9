// Device records as a driver might fill them, whatever their bytes: the
// discovery pass and the driver-version query must take any of them.

#include "support/fakedriver.h"
#include "support/recordinghub.h"

#include <QtCore/QCoreApplication>

#include <cstdint>

using namespace OrvexTest;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_device_record";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static FakeDriver driver;
    static TestSystem *system = [] {
        auto *s = new TestSystem(driver);
        s->hubFactory = [](TestSystem *sys, int kind, int handle, quint64 uid) -> Orvexsystem::Hub * {
            if (kind < 1 || kind > 4)
                return nullptr;
            return new RecordingHub(sys, handle, uid);
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
