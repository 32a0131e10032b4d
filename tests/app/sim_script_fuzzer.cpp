// libFuzzer target: any byte string as a simulator script must end in a clean exit status.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "app/sim/script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream out;
    std::ostringstream err;
    const int status = snaplark::sim::runScript(in, out, err);
    if (status != 0 && status != snaplark::sim::exitScriptError) std::abort();
    // A script that failed says where, and one that did not says nothing on standard error.
    if ((status == 0) != err.str().empty()) std::abort();
    return 0;
}
