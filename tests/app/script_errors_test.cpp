#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "app/sim/script.h"

namespace snaplark::sim {
namespace {

// The exit status, then standard error, then standard output.
std::string run(const std::string& script)
{
    std::istringstream in(script);
    std::ostringstream out;
    std::ostringstream err;
    const int status = runScript(in, out, err);
    return std::to_string(status) + " " + err.str() + out.str();
}

// Each way a line can be wrong, reported with its number (bad_line.sim shows the script stops).
TEST(SnaplarkSimScript, BadLines)
{
    const std::pair<std::string, std::string> cases[] = {
        {"jump 1", "line 1: unknown command: jump\n"},
        {"\n# comment\n  up", "line 3: expected: up FLAGS"},
        {"defaults set boolEnableCopy maybe", "line 1: expected: defaults set KEY true|false"},
        {"tick 100000001", "line 1: too many ticks at once (at most 100000000)\n"},
        {"prefs copy", "line 1: no preferences window has been shown\n"},
        {"platform status-button absent\nrestart\nclick-status", "line 3: the status item has no"},
    };
    for (const auto& [script, error] : cases)
        EXPECT_EQ(run(script).substr(0, 16 + error.size()), "2 snaplark-sim: " + error);
}

TEST(SnaplarkSimScript, BlanksAndCommentsAreSkippedAndQuitStopsReading)
{
    EXPECT_EQ(run("   \n\t# note\n  tick   0X10 \r\nchoose Quit\nbogus\n"),
              "0 @policy 2\n@monitor mask 4\n@monitor mask 2\n@timer 60\n@terminate\n");
}

}  // namespace
}  // namespace snaplark::sim
