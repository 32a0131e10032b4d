#!/usr/bin/env bash
# Control-clicks in our menu and dialogs are no gestures (no line), however fast and whatever a window
# manager does first: SNAPLARK_ROUNDS rounds (30) without, then with one. Then our windows' ways.
source "$(dirname "$0")/lib.sh"
need xclip openbox
start_x
start_tray
start_agent
for wm in none openbox; do
  [ $wm = none ] || spawn openbox openbox --sm-disable
  [ $wm = none ] || wait_until "openbox" 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
  lines=$(wc -l <"$agent_out")
  for ((i = 0; i < ${SNAPLARK_ROUNDS:-30}; i++)); do
    wait_until "the tray menu" 10 open_menu
    window_geometry "$(menu_open)"
    # "1 Hour" changes the schedule, never whether the agent is suspended now.
    xdotool mousemove $((X + 40)) $((Y + 56)) keydown ctrl click 1 keyup ctrl
    wait_until "the tray menu to close" 10 eval '! menu_open'
    menu_choose 8
    wait_until "the About alert" 10 alert_open
    window_geometry "$(alert_open)"
    [ "$WIDTH" -ge 420 ] || fail "the About box is $WIDTH px wide, too narrow for its purpose on one line"
    xdotool mousemove $((X + WIDTH - 50)) $((Y + HEIGHT - 22)) keydown ctrl click 1 keyup ctrl
    wait_until "the About alert to close" 10 eval '! alert_open'
  done
  # Clicks settle in order: once the lines of a click where the About box closed are out, any
  # line of a click before it is too; that click counts.
  xdotool mousemove $((X + WIDTH - 50)) $((Y + HEIGHT - 22)) click 1
  wait_until "the lines of a click where About was" 10 out_has $((lines + 2))
  [ "$(out_since "$lines")" = "no modifier keys are pressed"$'\n'"no modifier keys are pressed" ] ||
    fail "window manager $wm: $(out_since "$lines")"
done

# The icon, and the WM_CLASS of the desktop entry's StartupWMClass, by which docks match windows to it.
check_identity() {
  [[ "$(xprop -id "$1" _NET_WM_ICON)" == *"Icon ("* ]] || fail "$1 has no icon"
  [[ "$(xprop -id "$1" WM_CLASS)" == *'"snaplark", "Snaplark"'* ]] || fail "$1: $(xprop -id "$1" WM_CLASS)"
}
# How to use speaks of Control, not of Command or a permission, in text a user can select and copy.
menu_choose 9
wait_until "the How-to-use alert" 10 alert_open
check_identity "$(alert_open)"
window_geometry "$(alert_open)"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1 key ctrl+a ctrl+c Return
wait_until "the alert's text on the clipboard" 10 eval '[[ "$(xclip -o -selection clipboard)" == *Copy* ]]'
[[ "$(xclip -o -selection clipboard)" == *" Copy: Ctrl + Drag"*" Paste: Ctrl + Shift + Click"* ]] ||
  fail "How to use: $(xclip -o -selection clipboard)"
[[ "$(xclip -o -selection clipboard)" =~ Accessibility|Command ]] && fail "How to use speaks of macOS"

# Preferences: not maximizable; mnemonics Alt+C copy, Alt+P paste, Alt+L start at login.
one=$(open_prefs)
check_identity "$one"
[[ "$(xprop -id "$one" _NET_WM_ALLOWED_ACTIONS)" == *MAXIMIZE* ]] && fail "preferences can be maximized"
xdotool windowactivate --sync "$one" key alt+p
wait_until "paste switched off" 10 grep -q "^boolEnablePaste=false" "$settings"
# Two windows show each other's clicks: each Alt+C flips the switch only if its window is current.
two=$(open_prefs)
for step in "$one false" "$two true" "$one false"; do
  xdotool windowactivate --sync "${step% *}" key alt+c
  wait_until "copy ${step#* } from ${step% *}" 10 grep -q "^boolEnableCopy=${step#* }" "$settings"
done
# Start at login is an autostart entry, no setting; a window opened while it exists shows it ticked.
autostart=$XDG_CONFIG_HOME/autostart/example.snaplark.Snaplark.desktop
xdotool windowactivate --sync "$one" key alt+l
wait_until "the autostart entry" 10 grep -q "^Exec=.*snaplark" "$autostart"
grep -q -i "login\|autostart" "$settings" && fail "start at login went into the settings"
xdotool windowactivate --sync "$one" key Escape
wait_until "Escape to close a window" 10 eval '! xwininfo -id "$one"'
xdotool windowactivate --sync "$(open_prefs)" key alt+l
wait_until "the autostart entry removed" 10 test ! -e "$autostart"
stop_agent
echo "ok"
