// Prints the clicks the seat makes from the real input devices, one line each ("press FLAGS"),
// for end-to-end checks in a machine that has /dev/input. Exits after --count clicks.
#include <poll.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/evdev/devices.h"

using namespace snaplark::platform;

int main(int argc, char** argv)
{
    int count = 1;
    const char* directory = "/dev/input";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--count") == 0) count = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--directory") == 0) directory = argv[i + 1];
    }
    evdev::Devices devices(directory);
    if (const std::string missing = devices.open(); !missing.empty()) {
        std::fprintf(stderr, "seat_probe: %s\n", missing.c_str());
        return 1;
    }
    std::printf("ready %zu\n", devices.descriptors().size());
    std::fflush(stdout);
    while (count > 0) {
        std::vector<pollfd> fds;
        for (const int fd : devices.descriptors())
            fds.push_back({fd, POLLIN, 0});
        ::poll(fds.data(), fds.size(), -1);
        for (const evdev::Click& click : devices.read()) {
            std::printf("%s 0x%llx\n", click.press ? "press" : "release",
                        static_cast<unsigned long long>(click.flags));
            std::fflush(stdout);
            --count;
        }
    }
}
