#!/usr/bin/env bash
# The tray menu, the preferences window and the process's life: no display, no tray, a second
# agent, Disable, own windows, settings across a restart, SIGTERM and Quit.
source "$(dirname "$0")/lib.sh"

# Entries of the tray menu, counted as the keyboard walks them (separators are skipped).
DISABLE=1 ABOUT=8 QUIT=10

status=0
DISPLAY=:4242 "$agent" >"$work/nodisplay.out" 2>"$work/nodisplay.err" || status=$?
[ "$status" = 1 ] || fail "without a display: status $status"
[ "$(wc -l <"$work/nodisplay.err")" = 1 ] || fail "without a display: $(cat "$work/nodisplay.err")"
grep -q 'cannot open the X display ":4242"' "$work/nodisplay.err" || fail "no display message"

start_x
start_agent notray
grep -c "no system tray" "$work/notray.err" | grep -qx 1 || fail "the missing tray is not reported once"
stop_agent

start_tray
start_agent
out=$work/agent.out
status=0
"$agent" >"$work/second.out" 2>"$work/second.err" || status=$?
[ "$status" = 1 ] || fail "a second agent exited with $status"
grep -q "already running" "$work/second.err" || fail "the second agent did not say why"
start_recorder
rec=$work/recorder.out

copies() { count_lines "$rec" "keypress c state=0x4"; }

copy_gesture
[ "$(copies)" = 1 ] || fail "the first copy"
menu_choose $DISABLE
copy_gesture
[ "$(copies)" = 1 ] || fail "a copy while disabled"
menu_choose $DISABLE
copy_gesture
[ "$(copies)" = 2 ] || fail "a copy after resuming"

# The preferences window is the agent's own: a Control-click there is no gesture.
before=$(wc -l <"$out")
click_copy_checkbox ctrl
settings=$XDG_CONFIG_HOME/Snaplark/Snaplark.conf
wait_until "the copy switch saved" 10 grep -q "^boolEnableCopy=false" "$settings"
probe_click "$out" || fail "no lines after the preferences click"
[ "$(wc -l <"$out")" = $((before + 2)) ] || fail "a click in the agent's own window was observed"
grep -q boolEnablePaste "$settings" && fail "the paste switch was written"
focus_recorder
copy_gesture
[ "$(copies)" = 2 ] || fail "a copy while switched off"

# About shows its alert; OK closes it.
menu_choose $ABOUT
wait_until "the About alert" 10 alert_open
xdotool windowfocus --sync "$(alert_open)" key Return
wait_until "the About alert to close" 10 test -z "$(alert_open)"

# The switch survives a restart.
stop_agent
start_agent restarted
out=$work/restarted.out
copy_gesture
[ "$(copies)" = 2 ] || fail "a copy after the restart"

# Quit exits 0 and writes nothing.
cp "$settings" "$work/settings.before"
menu_choose $QUIT
wait "$agent_pid" || fail "Quit exited with status $?"
cmp -s "$settings" "$work/settings.before" || fail "Quit changed the settings"
[ "$(keys_down)" = "down" ] || fail "keys left down: $(keys_down)"
echo "ok"
