#pragma once

#include <iosfwd>

namespace snaplark::sim {

inline constexpr int exitScriptError = 2;

// Runs the agent on the headless platform, driven by the script's commands one line at a time.
// The agent's lines and the simulator's "@" lines go to `out` in the order they happen; a bad line
// is reported on `err` as "snaplark-sim: line N: reason" after everything before it has run.
// Returns 0 at the end of the script or after Quit, exitScriptError for a bad line.
int runScript(std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace snaplark::sim
