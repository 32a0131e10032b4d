#!/usr/bin/env bash
# Terminals never get Control+C: Control+Shift+C/V where that is their copy and paste, and for
# xterm no copy at all and Shift+Insert to paste.
source "$(dirname "$0")/lib.sh"
start_x
start_agent
rec=$work/recorder.out

gesture() {
  xdotool mousemove 200 200 keydown ctrl mousedown 1 mouseup 1 keyup ctrl
  xdotool keydown ctrl keydown shift mousedown 1 mouseup 1 keyup shift keyup ctrl
  wait_until "the agent's lines" 10 test "$(wc -l <"$work/agent.out")" -ge $((lines + 4))
  lines=$((lines + 4))
  sync_recorder
}
lines=$(wc -l <"$work/agent.out")

start_recorder Gnome-terminal
gesture
[ "$(count_lines "$rec" "keypress c state=0x5")" = 1 ] || fail "gnome-terminal copy"
[ "$(count_lines "$rec" "keypress v state=0x5")" = 1 ] || fail "gnome-terminal paste"
grep -q -E "^keypress [cv] state=0x4$" "$rec" && fail "gnome-terminal got a plain Control chord"
stop_recorder

start_recorder XTerm
gesture
grep -q -E "^keypress [cv] " "$rec" && fail "xterm got C or V"
[ "$(count_lines "$rec" "keypress Insert state=0x1")" = 1 ] || fail "xterm paste"

# Focus on an inner window without WM_CLASS: the terminal is found by walking up to its parent.
stop_recorder
start_recorder XTerm --child
gesture
grep -q -E "^keypress [cv] " "$rec" && fail "xterm's inner window got C or V"
[ "$(count_lines "$rec" "keypress Insert state=0x1")" = 1 ] || fail "xterm's inner window: paste"

# The same window renamed: the agent's kept answer for it is dropped.
xdotool set_window --classname gnome-terminal --class Gnome-terminal "$(awk '/^ready/ {print $2}' "$rec")"
gesture
[ "$(count_lines "$rec" "keypress c state=0x5")" = 1 ] || fail "renamed to gnome-terminal: copy"
[ "$(keys_down)" = "down" ] || fail "keys left down: $(keys_down)"
echo "ok"
