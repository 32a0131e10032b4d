#!/usr/bin/env bash
# Clicks in the agent's own menu, dialogs and windows are not gestures, however fast they come and
# whatever a window manager does with them first: no line, no chord. A drag across the edge of
# our window goes with its press. Run without and then with a window manager.
# SNAPLARK_ROUNDS sets the rounds (default 30); SNAPLARK_COUNT_ONLY=1 reports instead of failing.
source "$(dirname "$0")/lib.sh"
rounds=${SNAPLARK_ROUNDS:-30}
ABOUT=8 PREFERENCE=7
start_x
start_tray
start_agent
start_recorder
start_raw_watch
out=$work/agent.out
faults=0

# fault WHAT: a click taken for a gesture, or a gesture lost.
fault() {
  faults=$((faults + 1))
  [ "${SNAPLARK_COUNT_ONLY:-}" = 1 ] || fail "$1"
  echo "FAULT: $1"
}

# check WHAT LINES_BEFORE C_BEFORE: nothing written, nothing typed since.
check() {
  local lines=$(($(wc -l <"$out") - $2)) chords=$(($(raw_presses c) - $3))
  echo "$1: $rounds rounds, $lines lines, $chords chords"
  [ "$lines" = 0 ] && [ "$chords" = 0 ] || fault "$1"
}

# Clicks the menu entry "1 Hour", with the modifier given: it changes the schedule, never whether
# the agent is suspended now.
click_menu_entry() {
  local icon
  icon=$(tray_icon)
  wait_until "the tray menu" 10 open_menu "$icon"
  window_geometry "$(menu_open)"
  xdotool mousemove $((X + 40)) $((Y + 56)) ${1:+keydown $1} click 1 ${1:+keyup $1}
  wait_until "the tray menu to close" 10 test -z "$(menu_open)"
}

# Opens About from the menu by keyboard and clicks its OK button.
click_about_ok() {
  menu_choose $ABOUT
  wait_until "the About alert" 10 alert_open
  window_geometry "$(alert_open)"
  xdotool mousemove $((X + WIDTH - 50)) $((Y + HEIGHT - 22)) ${1:+keydown $1} click 1 ${1:+keyup $1}
  wait_until "the About alert to close" 10 test -z "$(alert_open)"
}

races() {
  local setting=$1 lines copies i
  for modifier in "" ctrl; do
    lines=$(wc -l <"$out") copies=$(raw_presses c)
    for ((i = 0; i < rounds; i++)); do click_menu_entry $modifier; done
    sync_raw
    check "$setting, ${modifier:-plain} clicks on a menu entry" "$lines" "$copies"
    lines=$(wc -l <"$out") copies=$(raw_presses c)
    for ((i = 0; i < rounds; i++)); do click_about_ok $modifier; done
    sync_raw
    check "$setting, ${modifier:-plain} clicks on a dialog button" "$lines" "$copies"
  done
}

# A Control+drag from the recorder into the preferences window copies; one from the preferences
# window out to the recorder does not.
drags() {
  local setting=$1 lines copies prefs
  menu_choose $PREFERENCE
  wait_until "the preferences window" 10 xdotool search --onlyvisible --name "Snaplark Preferences"
  prefs=$(xdotool search --onlyvisible --name "Snaplark Preferences" | head -n 1)
  # Away from the recorder, which lies at 100,100 (without a window manager the window may open
  # on top of it).
  xdotool windowmove --sync "$prefs" 600 400
  wait_until "the preferences window moved" 10 sh -c "xwininfo -id $prefs | grep -q 'Absolute upper-left X:  6'"
  window_geometry "$prefs"
  local px=$((X + WIDTH - 6)) py=$((Y + HEIGHT - 6))
  local rx=$((100 + 20)) ry=$((100 + 20))
  focus_recorder
  lines=$(wc -l <"$out") copies=$(raw_presses c)
  xdotool mousemove $rx $ry keydown ctrl mousedown 1 mousemove $((rx + 50)) $ry \
    mousemove $px $py mouseup 1 keyup ctrl
  sync_raw
  probe_click "$out" || fail "no lines after the drag"
  if [ "$(head -n $((lines + 2)) "$out" | tail -n 2)" = $'Command key is pressed\nCommand key is pressed' ] &&
     [ "$(raw_presses c)" = $((copies + 1)) ]; then
    echo "$setting, drag into our window: copied"
  else
    fault "$setting: a drag into our window did not copy"
  fi

  lines=$(wc -l <"$out") copies=$(raw_presses c)
  xdotool mousemove $px $py keydown ctrl mousedown 1 mousemove $((px - 50)) $py \
    mousemove $rx $ry mouseup 1 keyup ctrl
  sync_raw
  probe_click "$out" || fail "no lines after the drag"
  if [ "$(wc -l <"$out")" = $((lines + 2)) ] && [ "$(raw_presses c)" = "$copies" ]; then
    echo "$setting, drag out of our window: nothing"
  else
    fault "$setting: a drag out of our window was taken for a gesture"
  fi
  xdotool windowfocus --sync "$prefs" key Escape
  wait_until "the preferences window to close" 10 \
    sh -c '! xdotool search --onlyvisible --name "Snaplark Preferences"'
}

races "no window manager"
drags "no window manager"
start_window_manager
races "openbox"
drags "openbox"
[ "$faults" = 0 ] || fail "$faults kinds of click were taken for gestures"
[ "$(keys_down)" = "down" ] || fail "keys left down: $(keys_down)"
stop_agent
echo "ok"
