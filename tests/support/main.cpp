// Every test binary runs with a Qt application object, as hosts do: hubs'
// timers and queued slots need it.
#include <QtCore/QCoreApplication>
#include <QtCore/QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // No machine-wide data reaches a test: tests that need such files make
    // their own folder and point XDG_DATA_DIRS at it.
    QTemporaryDir sharedData;
    qputenv("XDG_DATA_DIRS", sharedData.path().toLocal8Bit());
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
