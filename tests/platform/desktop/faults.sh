#!/usr/bin/env bash
# Faults on purpose: two agents started at once, SIGTERM while a modal alert or the tray menu is
# open, and the X server dying under the agent.
source "$(dirname "$0")/lib.sh"
start_x
start_tray

# Two agents at the same instant: exactly one runs.
"$agent" >"$work/a.out" 2>"$work/a.err" &
first=$!
"$agent" >"$work/b.out" 2>"$work/b.err" &
second=$!
started+=($first $second)
wait_until "one of the two to give way" 10 bash -c "! kill -0 $first 2>/dev/null || ! kill -0 $second 2>/dev/null"
if kill -0 "$first" 2>/dev/null; then running=$first loser=$second loser_err=$work/b.err
else running=$second loser=$first loser_err=$work/a.err; fi
status=0
wait "$loser" || status=$?
[ "$status" = 1 ] || fail "the agent that gave way exited with $status"
grep -q "already running" "$loser_err" || fail "the agent that gave way did not say why"
kill -0 "$running" || fail "neither agent runs"
agent_pid=$running
[ "$running" = "$first" ] && agent_out=$work/a.out || agent_out=$work/b.out
wait_until "the remaining agent to observe clicks" 10 probe_click "$agent_out"
stop_agent

# SIGTERM while the About alert runs its modal loop, and while the tray menu is open.
start_agent
menu_choose 8
wait_until "the About alert" 10 alert_open
stop_agent
[ "$(keys_down)" = "down" ] || fail "keys left down: $(keys_down)"
start_agent
wait_until "the tray icon" 10 tray_icon
wait_until "the tray menu" 10 open_menu "$(tray_icon)"
stop_agent
[ "$(keys_down)" = "down" ] || fail "keys left down: $(keys_down)"

# The X server dies: the agent exits at once with a clear message and a failure status, leaves
# no core dump, and the settings file is as it was.
settings=$XDG_CONFIG_HOME/Snaplark/Snaplark.conf
mkdir -p "$(dirname "$settings")"
printf '[General]\nboolEnableCopy=false\n' >"$settings"
cp "$settings" "$work/settings.before"
start_agent dying
kill -KILL "${started[0]}"  # the X server
status=0
timeout 10 tail --pid="$agent_pid" -f /dev/null || fail "the agent outlived its X server by 10 s"
wait "$agent_pid" || status=$?
[ "$status" -ne 0 ] && [ "$status" -lt 128 ] || fail "the agent ended with status $status"
grep -q -E "lost the connection to the X display|X11 connection broke" "$work/dying.err" ||
  fail "no clear message: $(cat "$work/dying.err")"
cmp -s "$settings" "$work/settings.before" || fail "the settings file changed"
echo "ok"
