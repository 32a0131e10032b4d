# Helpers for the desktop tests: a private X server, a tray, the agent as a separate process, and
# waits for conditions with a deadline. Sourced by each test with the build directory as $1.
set -euo pipefail

build=$(cd "$1" && pwd)
agent=$build/snaplark
recorder=$build/tests/key_recorder
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

# These tests are about X11, whatever session runs them.
unset WAYLAND_DISPLAY XDG_SESSION_TYPE
work=$(mktemp -d)
export XDG_CONFIG_HOME=$work/config
export XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
started=()

cleanup() {
  local pid
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${started[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  for f in "$work"/*.out "$work"/*.err; do
    [ -s "$f" ] && { echo "--- $f"; tail -n 40 "$f"; }
  done
  exit 1
}

# wait_until DESCRIPTION SECONDS COMMAND...: runs the command until it succeeds or time runs out.
wait_until() {
  local what=$1 seconds=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || fail "timed out waiting for $what"
    sleep 0.05
  done
}

# The number of lines in a file matching a fixed string.
count_lines() { grep -c -x -F -- "$2" "$1" 2>/dev/null || true; }

# has_lines FILE N TEXT: the file holds at least N lines equal to TEXT.
has_lines() { [ "$(count_lines "$1" "$3")" -ge "$2" ]; }

start_x() {
  exec 3>"$work/displayfd"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp "$@" >"$work/xvfb.err" 2>&1 &
  started+=($!)
  exec 3>&-
  wait_until "the X server" 10 test -s "$work/displayfd"
  export DISPLAY=:$(head -n 1 "$work/displayfd")
}

start_tray() {
  trayer --edge top --align right --widthtype request --height 24 >"$work/trayer.err" 2>&1 &
  started+=($!)
  wait_until "the tray" 10 xdotool search --class trayer
}

# start_agent [NAME]: starts the agent with its output in $work/NAME.out and .err.
start_agent() {
  local name=${1:-agent}
  agent_out=$work/$name.out
  "$agent" >"$agent_out" 2>"$work/$name.err" &
  agent_pid=$!
  started+=($agent_pid)
  wait_until "the agent to observe clicks" 10 probe_click "$work/$name.out"
}

# A plain click in an empty corner; true once the agent has written its two lines.
probe_click() {
  local before
  before=$(wc -l <"$1")
  xdotool mousemove 1 767 click 1
  local deadline=$((SECONDS + 1))
  while [ $SECONDS -le $deadline ]; do
    [ "$(wc -l <"$1")" -ge $((before + 2)) ] && return 0
    sleep 0.05
  done
  return 1
}

stop_agent() {
  kill -TERM "$agent_pid"
  wait "$agent_pid" || fail "the agent exited with status $? on SIGTERM"
}

# The agent's tray icon window, once it exists.
tray_icon() {
  local w
  for w in $(xdotool search --classname snaplark 2>/dev/null); do
    if [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "Snaplark" ] &&
       xwininfo -id "$w" 2>/dev/null | grep -q "Width: 22$" &&
       xwininfo -id "$w" 2>/dev/null | grep -q "Map State: IsViewable"; then
      echo "$w"
      return 0
    fi
  done
  return 1
}

# start_recorder [CLASS [OPTIONS]]: a client window that takes the focus and logs the keys it
# receives.
start_recorder() {
  "$recorder" --class "${1:-KeyRecorder}" --at 100 100 "${@:2}" >"$work/recorder.out" 2>"$work/recorder.err" &
  started+=($!)
  wait_until "the key recorder" 10 grep -q '^ready' "$work/recorder.out"
}

stop_recorder() {
  local pid=${started[-1]}
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

# A marker key typed by the test itself: once the recorder has it, everything the agent typed
# before it has arrived too.
sync_recorder() { sync_marker markers; }
# sync_marker COUNTER: types the marker until COUNTER, a command counting its arrivals, goes up.
sync_marker() {
  local before
  before=$("$1")
  wait_until "the marker key" 20 type_marker "$1" "$before"
}
# Types the marker and waits up to 2 s for it; a slow server gets it typed again.
type_marker() {
  xdotool key F12
  local deadline=$((SECONDS + 2))
  while [ $SECONDS -le $deadline ]; do
    [ "$("$1")" -gt "$2" ] && return 0
    sleep 0.02
  done
  return 1
}
markers() { grep -c '^keypress F12 ' "$work/recorder.out" || true; }

keys_down() { "$recorder" --keymap; }

# menu_choose ROWS: opens the tray menu and picks the entry ROWS down from the top (separators
# are skipped by the keyboard).
menu_choose() {
  local icon
  wait_until "the tray icon" 10 tray_icon
  icon=$(tray_icon)
  wait_until "the tray menu" 10 open_menu "$icon"
  # The menu opens under the pointer; away from it no entry is hovered and the keys count from
  # the top.
  xdotool mousemove 512 700
  local keys=() i
  for ((i = 0; i < $1; i++)); do keys+=(Down); done
  xdotool key "${keys[@]}" Return
  wait_until "the tray menu to close" 10 test -z "$(menu_open)"
}

# Popup menus bypass the window manager; so does the embedded tray icon, which is 22 high.
# Right-clicks the icon; true once the menu shows. Qt opens it again only once the pointer has
# left the icon and come back, and a click right after a menu closed may go unanswered.
open_menu() {
  xdotool mousemove 512 700 mousemove --window "$1" 11 11 click 3
  local deadline=$((SECONDS + 2))
  while [ $SECONDS -le $deadline ]; do
    menu_open >/dev/null && return 0
    sleep 0.05
  done
  return 1
}

menu_open() {
  local w info
  for w in $(xdotool search --onlyvisible --classname snaplark 2>/dev/null); do
    info=$(xwininfo -id "$w" -all 2>/dev/null) || continue
    grep -q "Override Redirect State: yes" <<<"$info" || continue
    grep -q "Height: 22$" <<<"$info" && continue
    echo "$w"
    return 0
  done
  return 1
}

# The agent's alert window, while one is shown.
alert_open() {
  local w
  for w in $(xdotool search --onlyvisible --classname snaplark 2>/dev/null); do
    [ "$(xdotool getwindowname "$w")" = "Snaplark" ] || continue
    xwininfo -id "$w" -all 2>/dev/null | grep -q "Override Redirect State: no" && { echo "$w"; return 0; }
  done
  return 1
}

# Gives the keyboard focus back to the recorder, as a user clicking into their application would.
focus_recorder() {
  xdotool windowfocus --sync "$(awk '/^ready/ { print $2; exit }' "$work/recorder.out")"
}

# A Control + left-button release in the middle of the screen, as a copy gesture; waits for its
# two lines and for the recorder to have everything the agent typed.
copy_gesture() {
  local before
  before=$(wc -l <"$agent_out")
  xdotool mousemove 200 200 keydown ctrl mousedown 1 mouseup 1 keyup ctrl
  wait_until "the copy gesture's lines" 10 test "$(wc -l <"$agent_out")" -ge $((before + 2))
  sync_recorder
}

# Opens the preferences window from the tray menu and clicks its copy checkbox, holding the
# modifier given, if any.
click_copy_checkbox() {
  menu_choose 7
  wait_until "the preferences window" 10 xdotool search --onlyvisible --name "Snaplark Preferences"
  local prefs
  prefs=$(xdotool search --onlyvisible --name "Snaplark Preferences" | head -n 1)
  eval "$(xdotool getwindowgeometry --shell "$prefs")"
  xdotool mousemove $((X + 32)) $((Y + 30)) ${1:+keydown "$1"} click 1 ${1:+keyup "$1"}
}

# Every key press of the server, whoever has the focus, in $work/raw.out.
start_raw_watch() {
  "$recorder" --raw >"$work/raw.out" 2>"$work/raw.err" &
  started+=($!)
  wait_until "the raw key watcher" 10 grep -q '^ready raw' "$work/raw.out"
}
raw_presses() { grep -c "^rawpress $1\$" "$work/raw.out" || true; }

# Starts openbox and waits until it manages windows.
start_window_manager() {
  command -v openbox >/dev/null || { echo "skipped: openbox is not installed"; exit 77; }
  openbox --sm-disable >"$work/openbox.err" 2>&1 &
  started+=($!)
  wait_until "the window manager" 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
}
# Like sync_recorder, through the raw key watcher, wherever the focus is.
raw_markers() { raw_presses F12; }
sync_raw() { sync_marker raw_markers; }
# Sets X, Y, WIDTH and HEIGHT to a window's place on the root window (xdotool's own answer is off
# by the frame under a reparenting window manager).
window_geometry() {
  local info
  info=$(xwininfo -id "$1")
  X=$(awk '/Absolute upper-left X/ { print $4 }' <<<"$info")
  Y=$(awk '/Absolute upper-left Y/ { print $4 }' <<<"$info")
  WIDTH=$(awk '/Width:/ { print $2 }' <<<"$info")
  HEIGHT=$(awk '/Height:/ { print $2 }' <<<"$info")
}
