// Uses the installed library through its umbrella header only.
#include <orvexsystem/orvexsystem.h>

#include <cstdio>

int main()
{
    const int version = Orvexsystem::OrvexSystem::getLibraryVersion();
    std::printf("orvexsystem1 %d.%d.%d\n", version >> 16, (version >> 8) & 0xFF, version & 0xFF);
    return version == 0x00011B00 ? 0 : 1;
}
