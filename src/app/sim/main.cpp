#include <cstring>
#include <fstream>
#include <iostream>

#include "app/sim/script.h"

namespace {

constexpr int exitUsage = 2;

void printUsage(std::ostream& out)
{
    out << "usage: snaplark-sim [SCRIPT]\n"
           "Runs the agent on a headless platform, driven by the commands in SCRIPT\n"
           "(standard input when SCRIPT is absent or -).\n";
}

}  // namespace

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    if (argc > 2) {
        printUsage(std::cerr);
        return exitUsage;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        printUsage(std::cout);
        return 0;
    }
    if (argc < 2 || std::strcmp(argv[1], "-") == 0) {
        return snaplark::sim::runScript(std::cin, std::cout, std::cerr);
    }
    std::ifstream script(argv[1]);
    if (!script) {
        std::cerr << "snaplark-sim: cannot read " << argv[1] << ": " << std::strerror(errno)
                  << '\n';
        return exitUsage;
    }
    return snaplark::sim::runScript(script, std::cout, std::cerr);
}
