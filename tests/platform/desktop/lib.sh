# Helpers for the desktop tests, sourced with the build directory as $1: a private X server, a
# tray, the agent as a separate process, a key recorder, and waits with a deadline.
set -euo pipefail
build=$(cd "$1" && pwd)
agent=$build/snaplark
recorder=$build/tests/key_recorder
need() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
  done
}
need Xvfb xdotool
# These tests are about X11, whatever session runs them.
unset WAYLAND_DISPLAY XDG_SESSION_TYPE
work=$(mktemp -d)
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
mkdir -p -m 700 "$XDG_CONFIG_HOME/Snaplark" "$XDG_RUNTIME_DIR"
settings=$XDG_CONFIG_HOME/Snaplark/Snaplark.conf
rec=$work/recorder.out
started=()
# Processes of ours that are not this shell's jobs (a bus daemon dbus-launch started).
others=()
cleanup() {
  # Only the jobs still running: the number of one that has ended may already be another test's
  # process (numbers are reused, and two tests run at once).
  kill $(jobs -p) "${others[@]}" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  tail -n 40 "$work"/*.out "$work"/*.err 2>/dev/null || true
  exit 1
}

# poll SECONDS COMMAND...: true once the command succeeds, false when time runs out first. The
# command may be eval 'CONDITION', to have the condition expanded anew each time.
poll() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -le $deadline ] || return 1
    sleep 0.05
  done
}
wait_until() { poll "${@:2}" || fail "timed out waiting for $1"; }

out_has() { [ "$(wc -l <"$agent_out")" -ge "$1" ]; }
out_since() { tail -n +$(($1 + 1)) "$agent_out"; }
# How many times the recorder got this key press ("c state=0x4") before its last marker key: a
# chord that comes only after the marker (the keys let go by then) is not counted.
typed() { awk -v k="keypress $1" '$0 == k { n++ } /^keypress F12 / { m = n } END { print m + 0 }' "$rec"; }

# spawn NAME COMMAND...: the command in the background, its output in $work/NAME.out and .err.
spawn() {
  "${@:2}" >"$work/$1.out" 2>"$work/$1.err" &
  started+=($!)
}
start_x() {
  exec 3>"$work/displayfd"
  # -noreset: by default the server starts over whenever its last client leaves, and a client
  # that connects meanwhile (a tray right after a one-shot check) is refused.
  spawn xvfb Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset "$@"
  x_pid=$!
  exec 3>&-
  wait_until "the X server" 10 test -s "$work/displayfd"
  export DISPLAY=:$(tail -n 1 "$work/displayfd")
  poll 10 xdpyinfo ||
    fail "the X server on $DISPLAY does not answer (running: $(kill -0 "$x_pid" 2>/dev/null && echo yes || echo no))"
}
start_tray() {
  spawn trayer trayer --edge top --align right --widthtype request --height 24
  wait_until "the tray" 10 xdotool search --class trayer
}

# start_agent [NAME [COMMAND...]]: the agent, run by the command given if any, with its output in
# $work/NAME.out and .err; returns once it observes clicks.
start_agent() {
  agent_out=$work/${1:-agent}.out
  spawn "${1:-agent}" "${@:2}" "$agent"
  agent_pid=$!
  wait_until "the agent to observe clicks" 10 probe_click
}
# A plain click in an empty corner; true once the agent has written its two lines.
probe_click() {
  local before=$(wc -l <"$agent_out")
  xdotool mousemove 1 767 click 1
  poll 1 out_has $((before + 2))
}
stop_agent() {
  kill -TERM "$agent_pid"
  wait "$agent_pid" || fail "the agent exited with status $? on SIGTERM"
}

# start_recorder [CLASS [--child]]: a window that takes the focus and logs the keys it gets in $rec.
start_recorder() {
  spawn "$(basename "$rec" .out)" "$recorder" "$@"
  wait_until "the key recorder" 10 grep -q '^ready' "$rec"
}
focus_recorder() { xdotool windowfocus --sync "$(awk '/^ready/ { print $2 }' "$rec")"; }

# Types a marker key (again every 2 s) until the recorder has it, and all typed before it then.
sync_recorder() {
  local try before=$(markers)
  for try in 1 2 3 4 5 6 7 8 9 10; do
    xdotool key F12
    poll 2 eval '[ "$(markers)" -gt "$before" ]' && return 0
  done
  fail "the marker key never arrived"
}
markers() { grep -c '^keypress F12 ' "$rec" || true; }
no_keys_down() { [ "$("$recorder" --keymap)" = "down" ] || fail "keys left down: $("$recorder" --keymap)"; }

# gesture [KEYS...]: a left click at 300,700 (clear of our windows) with the keys held; waits for
# its two lines and for the recorder to have whatever the agent typed, and only then lets go of
# the keys.
gesture() {
  local before=$(wc -l <"$agent_out")
  xdotool mousemove 300 700 ${@/#/keydown } mousedown 1 mouseup 1
  wait_until "the click's lines" 10 out_has $((before + 2))
  sync_recorder
  [ $# = 0 ] || xdotool ${@/#/keyup }
}

# window_of CLASS PATTERNS...: the first window of that class on screen whose xwininfo shows every
# pattern. Our tray icon is 22 high; popup menus bypass the window manager, as the icon does.
window_of() {
  local w info pattern
  for w in $(xdotool search --onlyvisible --classname "$1" 2>/dev/null); do
    info=$(xwininfo -all -id "$w" 2>/dev/null) || continue
    for pattern in "${@:2}"; do grep -q -E "$pattern" <<<"$info" || continue 2; done
    echo "$w"
    return 0
  done
  return 1
}
tray_icon() { window_of snaplark "Height: 22$"; }
menu_open() { window_of snaplark "Override Redirect State: yes" "Height: [0-9]{3,}$"; }
alert_open() { window_of snaplark "Override Redirect State: no" '"Snaplark"$'; }

# Right-clicks the icon (Qt opens the menu again only once the pointer left it and came back).
open_menu() {
  xdotool mousemove 512 700 mousemove --window "$(tray_icon)" 11 11 click 3
  poll 2 menu_open
}
# menu_choose ROWS: picks the entry ROWS down by keyboard, from the top with the pointer away:
# 1 Disable, 7 Preferences, 8 About, 9 How to use (separators are skipped); -1 is the last, Quit,
# and -2 the one above it, "Pause in …", where it can be chosen (a disabled entry is skipped).
menu_choose() {
  local key=Down
  [ "$1" -ge 0 ] || key=Up
  wait_until "the tray menu" 10 open_menu
  xdotool mousemove 512 700 key $(seq "${1#-}" | sed "s/.*/$key/") Return
  wait_until "the tray menu to close" 10 eval '! menu_open'
}

prefs_windows() { xdotool search --onlyvisible --name "Snaplark Preferences" 2>/dev/null || true; }
# Opens one more preferences window and prints its id.
open_prefs() {
  local before=$(prefs_windows | wc -l)
  menu_choose 7
  wait_until "a preferences window" 10 eval '[ "$(prefs_windows | wc -l)" -gt "$before" ]'
  prefs_windows | tail -n 1
}
# Sets X, Y, WIDTH and HEIGHT to a window's place on the root window (xdotool's own answer is off
# by the frame under a reparenting window manager).
window_geometry() {
  eval "$(xwininfo -id "$1" | sed -n -E 's/^ *Absolute upper-left (X|Y): *(-?[0-9]+)$/\1=\2/p
    s/^ *(Width|Height): *([0-9]+)$/\U\1\E=\2/p')"
}
# Clicks the copy checkbox of a new preferences window, holding the modifier given, if any.
click_copy_checkbox() {
  window_geometry "$(open_prefs)"
  xdotool mousemove $((X + 32)) $((Y + 30)) ${1:+keydown "$1"} click 1 ${1:+keyup "$1"}
}
