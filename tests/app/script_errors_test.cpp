#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "app/sim/script.h"

namespace snaplark::sim {
namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome run(const std::string& script)
{
    std::istringstream in(script);
    std::ostringstream out;
    std::ostringstream err;
    const int status = runScript(in, out, err);
    return {status, out.str(), err.str()};
}

const std::string startUp = "@policy 2\n@monitor mask 4\n@monitor mask 2\n@timer 60\n";

TEST(SnaplarkSimScript, BadLinesAreReportedWithTheirNumberAndStopTheScript)
{
    struct Case {
        std::string script;
        std::string err;
    };
    const Case cases[] = {
        {"jump 1", "line 1: unknown command: jump"},
        {"\n# comment\n  up", "line 3: expected: up FLAGS"},
        {"down -1", "line 1: not a number: -1"},
        {"down 12abc", "line 1: not a number: 12abc"},
        {"down 18446744073709551616",
         "line 1: number out of range (at most 64 bits): 18446744073709551616"},
        {"defaults set boolEnableCopy maybe",
         "line 1: expected: defaults set KEY true|false | set-string KEY TEXT | set-number KEY N | "
         "remove KEY"},
        {"print everything", "line 1: expected: print state|defaults|menu|marks|status"},
        {"tick 100000001", "line 1: too many ticks at once (at most 100000000)"},
        {"choose disable", "line 1: no menu entry titled \"disable\""},
        {"prefs copy", "line 1: no preferences window has been shown"},
        {"choose Preference\nprefs both", "line 2: expected: prefs copy|paste"},
        {"bundle drop x",
         "line 1: expected: bundle set KEY TEXT | set-number KEY N | remove KEY | none"},
        {"keyboard fail sometimes", "line 1: expected: keyboard fail keydown|keyup|both|none"},
        {"platform status-button absent\nrestart\nclick-status",
         "line 3: the status item has no button"},
    };
    for (const Case& c : cases) {
        const Outcome r = run(c.script);
        EXPECT_EQ(r.status, exitScriptError) << c.script;
        EXPECT_EQ(r.err, "snaplark-sim: " + c.err + "\n") << c.script;
    }
}

TEST(SnaplarkSimScript, EverythingBeforeABadLineHasRunAndBeenPrinted)
{
    const Outcome r = run("up 0x100000\nbogus\nup 0x100000\n");
    EXPECT_EQ(r.status, exitScriptError);
    EXPECT_EQ(r.out, startUp + "Command key is pressed\n@post keydown 8 flags 0x100000 tap 0\n"
                               "@post keyup 8 tap 0\n");
}

TEST(SnaplarkSimScript, BlanksAndCommentsAreSkippedAndQuitStopsReading)
{
    const Outcome r = run("   \n\t# note\n  down   0X120000  \r\nchoose Quit\nbogus\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, startUp +
                         "command-shift keys are pressed\n@post keydown 9 flags 0x100000 tap 0\n"
                         "@post keyup 9 tap 0\n@terminate\n");
}

}  // namespace
}  // namespace snaplark::sim
