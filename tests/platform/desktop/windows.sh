#!/usr/bin/env bash
# The agent's windows as a Linux user meets them, under a window manager: Linux words in How to
# use, an About box wide enough for its text, our icon and window class on every window, a
# preferences window that cannot be maximized, closes on Escape, answers its mnemonics, agrees
# with a second one, and starts the agent at login on request.
source "$(dirname "$0")/lib.sh"
start_x
start_window_manager
start_tray
start_agent
settings=$XDG_CONFIG_HOME/Snaplark/Snaplark.conf
autostart=$XDG_CONFIG_HOME/autostart/example.snaplark.Snaplark.desktop
PREFERENCE=7 ABOUT=8 HOW_TO_USE=9

# Our windows carry the application icon, and the WM_CLASS that the desktop entry's
# StartupWMClass names, by which docks and task bars match them to it.
check_identity() {
  [[ "$(xprop -id "$1" _NET_WM_ICON)" == *"Icon ("* ]] || fail "$2 has no icon"
  [[ "$(xprop -id "$1" WM_CLASS)" == *'"snaplark", "Snaplark"'* ]] ||
    fail "$2: $(xprop -id "$1" WM_CLASS)"
}

# How to use speaks of Control, not of Command or a permission. Its text is selectable: a click in
# it, Ctrl+A and Ctrl+C copy it.
menu_choose $HOW_TO_USE
wait_until "the How-to-use alert" 10 alert_open
alert=$(alert_open)
check_identity "$alert" "How to use"
window_geometry "$alert"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1 key ctrl+a ctrl+c
wait_until "the alert's text on the clipboard" 10 sh -c 'xclip -o -selection clipboard | grep -q "Copy"'
text=$(xclip -o -selection clipboard)
grep -q -F " Copy: Ctrl + Drag" <<<"$text" || fail "How to use: $text"
grep -q -F " Paste: Ctrl + Shift + Click" <<<"$text" || fail "How to use: $text"
grep -q -E "Accessibility|Command" <<<"$text" && fail "How to use speaks of macOS: $text"
xdotool key Return
wait_until "the alert to close" 10 test -z "$(alert_open)"

# About keeps its purpose on one line.
menu_choose $ABOUT
wait_until "the About alert" 10 alert_open
window_geometry "$(alert_open)"
[ "$WIDTH" -ge 420 ] || fail "the About box is $WIDTH px wide"
xdotool windowactivate --sync "$(alert_open)" key Return
wait_until "the alert to close" 10 test -z "$(alert_open)"

prefs_windows() { xdotool search --onlyvisible --name "Snaplark Preferences" 2>/dev/null; }
open_prefs() {
  local before
  before=$(prefs_windows | wc -l)
  menu_choose $PREFERENCE
  wait_until "a preferences window" 10 test "$(prefs_windows | wc -l)" -gt "$before"
  prefs_windows | tail -n 1
}

one=$(open_prefs)
check_identity "$one" "the preferences window"
[[ "$(xprop -id "$one" _NET_WM_ALLOWED_ACTIONS)" == *MAXIMIZE* ]] &&
  fail "the preferences window can be maximized"

# Mnemonics: Alt+C switches copy, Alt+P paste.
xdotool windowactivate --sync "$one" key alt+c
wait_until "copy switched off" 10 grep -q "^boolEnableCopy=false" "$settings"
xdotool key alt+p
wait_until "paste switched off" 10 grep -q "^boolEnablePaste=false" "$settings"

# A second window shows what the first one holds, and a click in either shows in the other:
# each Alt+C below flips the switch only if the window shows its current state.
two=$(open_prefs)
xdotool windowactivate --sync "$two" key alt+c
wait_until "copy on from the second window" 10 grep -q "^boolEnableCopy=true" "$settings"
xdotool windowactivate --sync "$one" key alt+c
wait_until "copy off from the first window" 10 grep -q "^boolEnableCopy=false" "$settings"
xdotool windowactivate --sync "$two" key alt+c
wait_until "copy on again from the second" 10 grep -q "^boolEnableCopy=true" "$settings"

# Start at login adds the autostart entry and takes it away; it is no setting.
xdotool windowactivate --sync "$one" key alt+l
wait_until "the autostart entry" 10 test -s "$autostart"
grep -q "^Exec=.*snaplark" "$autostart" || fail "autostart entry: $(cat "$autostart")"
grep -q -i "login\|autostart" "$settings" && fail "start at login went into the settings"
xdotool windowactivate --sync "$two" key alt+l
wait_until "the autostart entry removed" 10 test ! -e "$autostart"

# Escape closes a preferences window.
xdotool windowactivate --sync "$one" key Escape
wait_until "Escape to close the window" 10 sh -c "! xwininfo -id $one >/dev/null 2>&1"
xdotool windowactivate --sync "$two" key Escape
wait_until "Escape to close the window" 10 test -z "$(prefs_windows)"

# A window opened when the entry exists shows it ticked: Alt+L then removes it.
mkdir -p "$(dirname "$autostart")"
printf '[Desktop Entry]\nType=Application\nName=Snaplark\nExec=snaplark\n' >"$autostart"
three=$(open_prefs)
xdotool windowactivate --sync "$three" key alt+l
wait_until "the existing autostart entry removed" 10 test ! -e "$autostart"
stop_agent
echo "ok"
