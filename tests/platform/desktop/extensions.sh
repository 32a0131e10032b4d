#!/usr/bin/env bash
# An X server without RECORD and XTEST: the agent names what is missing and what follows, and
# keeps running with its tray icon. (Xvfb drops XTEST with RECORD, so xdotool cannot drive it.)
source "$(dirname "$0")/lib.sh"
start_x -extension RECORD
start_tray
"$agent" >"$work/agent.out" 2>"$work/agent.err" &
agent_pid=$!
started+=($agent_pid)
wait_until "the tray icon" 10 tray_icon
grep -q "no RECORD extension, so mouse gestures cannot be observed" "$work/agent.err" || fail "RECORD"
grep -q "no XTEST extension" "$work/agent.err" || fail "XTEST"
grep -q "^Xlib" "$work/agent.err" && fail "Xlib's own complaint leaked through"
kill -0 "$agent_pid" || fail "the agent did not keep running"
stop_agent
echo "ok"
