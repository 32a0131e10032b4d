#!/usr/bin/env bash
# The process's life: no display, an X server without RECORD and XTEST, no tray, two agents at
# once, Disable, a click in our preferences window, SIGTERM while a modal alert or the menu is
# open, settings across a restart, Quit, and the X server dying under the agent.
source "$(dirname "$0")/lib.sh"

status=0
DISPLAY=:4242 "$agent" >"$work/nodisplay.out" 2>"$work/nodisplay.err" || status=$?
[ "$status/$(wc -l <"$work/nodisplay.err")" = "1/1" ] || fail "without a display: status $status"
grep -q 'cannot open the X display ":4242"' "$work/nodisplay.err" || fail "no display message"

# Without RECORD (Xvfb drops XTEST with it): what is missing and what follows, no complaint of
# Xlib's own, and the tray icon all the same.
start_x -extension RECORD
start_tray
"$agent" >"$work/norecord.out" 2>"$work/norecord.err" &
agent_pid=$!
started+=($agent_pid)
wait_until "the tray icon" 10 tray_icon
grep -q "no RECORD extension, so mouse gestures cannot be observed" "$work/norecord.err" || fail "RECORD"
grep -q "no XTEST extension" "$work/norecord.err" || fail "XTEST"
grep -q "^Xlib" "$work/norecord.err" && fail "Xlib's own complaint leaked through"
stop_agent

start_x
start_agent notray
[ "$(grep -c "no system tray" "$work/notray.err")" = 1 ] || fail "the missing tray is not reported once"
stop_agent
start_tray

# Two agents at the same instant: exactly one runs; the other says why and exits with 1.
"$agent" >"$work/a.out" 2>"$work/a.err" &
first=$!
"$agent" >"$work/b.out" 2>"$work/b.err" &
second=$!
started+=($first $second)
status=0
wait -n -p loser "$first" "$second" || status=$?
[ "$status" = 1 ] || fail "the agent that gave way exited with $status"
grep -q "already running" "$work/a.err" "$work/b.err" || fail "the agent that gave way did not say why"
if [ "$loser" = "$first" ]; then agent_pid=$second agent_out=$work/b.out; else agent_pid=$first agent_out=$work/a.out; fi
wait_until "the remaining agent to observe clicks" 10 probe_click

start_recorder
gesture ctrl
menu_choose 1
gesture ctrl
menu_choose 1
gesture ctrl
[ "$(typed "c state=0x4")" = 2 ] || fail "3 copies, the second one disabled: $(typed "c state=0x4") typed"

# A Control-click in the preferences window is no gesture, and saves the copy switch alone.
before=$(wc -l <"$agent_out")
click_copy_checkbox ctrl
wait_until "the copy switch saved" 10 grep -q "^boolEnableCopy=false" "$settings"
probe_click || fail "no lines after the preferences click"
[ "$(wc -l <"$agent_out")" = $((before + 2)) ] || fail "a click in the agent's own window was observed"
grep -q boolEnablePaste "$settings" && fail "the paste switch was written"

# SIGTERM while the About alert runs its modal loop, and while the tray menu is open; the copy
# switch stays off across the restart.
menu_choose 8
wait_until "the About alert" 10 alert_open
stop_agent
no_keys_down
start_agent restarted
focus_recorder
gesture ctrl
[ "$(typed "c state=0x4")" = 2 ] || fail "a copy after the restart"
wait_until "the tray menu" 10 open_menu
stop_agent
no_keys_down

# Quit exits 0 and writes nothing.
start_agent quitting
cp "$settings" "$work/settings.before"
menu_choose 10
wait "$agent_pid" || fail "Quit exited with status $?"
cmp -s "$settings" "$work/settings.before" || fail "Quit changed the settings"

# The X server dies: the agent exits at once with a clear message and a failure status (no core
# dump), and the settings file is as it was.
start_agent dying
kill -KILL "$x_pid"
timeout 10 tail --pid="$agent_pid" -f /dev/null || fail "the agent outlived its X server by 10 s"
status=0
wait "$agent_pid" || status=$?
[ "$status" -ne 0 ] && [ "$status" -lt 128 ] || fail "the agent ended with status $status"
grep -q -E "lost the connection to the X display|X11 connection broke" "$work/dying.err" ||
  fail "no clear message"
cmp -s "$settings" "$work/settings.before" || fail "the settings file changed"
echo "ok"
