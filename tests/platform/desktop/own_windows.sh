#!/usr/bin/env bash
# The agent's own menu, dialogs and windows. Control-clicks in them are not gestures (no line),
# however fast they come and whatever a window manager does with them first: SNAPLARK_ROUNDS
# rounds (30 by default) without and then with one. Under it, the windows as Linux users meet them.
source "$(dirname "$0")/lib.sh"
need xclip
rounds=${SNAPLARK_ROUNDS:-30}
start_x
start_tray
start_agent

races() {
  local lines i
  lines=$(wc -l <"$agent_out")
  for ((i = 0; i < rounds; i++)); do
    wait_until "the tray menu" 10 open_menu
    window_geometry "$(menu_open)"
    # "1 Hour" changes the schedule, never whether the agent is suspended now.
    xdotool mousemove $((X + 40)) $((Y + 56)) keydown ctrl click 1 keyup ctrl
    wait_until "the tray menu to close" 10 menu_closed
    menu_choose 8
    wait_until "the About alert" 10 alert_open
    window_geometry "$(alert_open)"
    xdotool mousemove $((X + WIDTH - 50)) $((Y + HEIGHT - 22)) keydown ctrl click 1 keyup ctrl
    wait_until "the About alert to close" 10 alert_closed
  done
  # Clicks settle in order: once a probe's two lines are out, any line before them is too.
  probe_click || fail "no lines for a click after the rounds"
  [ "$(wc -l <"$agent_out")" = $((lines + 2)) ] || fail "$1: $rounds rounds, clicks taken for gestures"
}
races "no window manager"
start_window_manager
races "openbox"
no_keys_down

# Our windows carry the application icon, and the WM_CLASS that the desktop entry's
# StartupWMClass names, by which docks and task bars match them to it.
check_identity() {
  [[ "$(xprop -id "$1" _NET_WM_ICON)" == *"Icon ("* ]] || fail "$2 has no icon"
  [[ "$(xprop -id "$1" WM_CLASS)" == *'"snaplark", "Snaplark"'* ]] || fail "$2: $(xprop -id "$1" WM_CLASS)"
}

# How to use speaks of Control, not of Command or a permission. Its text is selectable: a click in
# it, Ctrl+A and Ctrl+C copy it.
menu_choose 9
wait_until "the How-to-use alert" 10 alert_open
alert=$(alert_open)
check_identity "$alert" "How to use"
window_geometry "$alert"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1 key ctrl+a ctrl+c
wait_until "the alert's text on the clipboard" 10 sh -c 'xclip -o -selection clipboard | grep -q "Copy"'
text=$(xclip -o -selection clipboard)
[[ "$text" == *" Copy: Ctrl + Drag"*" Paste: Ctrl + Shift + Click"* ]] || fail "How to use: $text"
grep -q -E "Accessibility|Command" <<<"$text" && fail "How to use speaks of macOS: $text"
xdotool key Return
wait_until "the alert to close" 10 alert_closed

# About keeps its purpose on one line.
menu_choose 8
wait_until "the About alert" 10 alert_open
window_geometry "$(alert_open)"
[ "$WIDTH" -ge 420 ] || fail "the About box is $WIDTH px wide"
xdotool windowactivate --sync "$(alert_open)" key Return
wait_until "the alert to close" 10 alert_closed

# The preferences window cannot be maximized and answers its mnemonics: Alt+C copy, Alt+P paste.
one=$(open_prefs)
check_identity "$one" "the preferences window"
[[ "$(xprop -id "$one" _NET_WM_ALLOWED_ACTIONS)" == *MAXIMIZE* ]] && fail "the preferences window can be maximized"
xdotool windowactivate --sync "$one" key alt+c
wait_until "copy switched off" 10 grep -q "^boolEnableCopy=false" "$settings"
xdotool key alt+p
wait_until "paste switched off" 10 grep -q "^boolEnablePaste=false" "$settings"
# A second window shows what the first one holds, and a click in either shows in the other: each
# Alt+C below flips the switch only if its window shows the current state.
two=$(open_prefs)
for step in "$two true" "$one false" "$two true"; do
  xdotool windowactivate --sync "${step% *}" key alt+c
  wait_until "copy ${step#* } from ${step% *}" 10 grep -q "^boolEnableCopy=${step#* }" "$settings"
done

# Start at login adds the autostart entry and takes it away; it is no setting.
autostart=$XDG_CONFIG_HOME/autostart/example.snaplark.Snaplark.desktop
xdotool windowactivate --sync "$one" key alt+l
wait_until "the autostart entry" 10 test -s "$autostart"
grep -q "^Exec=.*snaplark" "$autostart" || fail "autostart entry: $(cat "$autostart")"
grep -q -i "login\|autostart" "$settings" && fail "start at login went into the settings"
xdotool windowactivate --sync "$two" key alt+l
wait_until "the autostart entry removed" 10 test ! -e "$autostart"
# Escape closes a preferences window.
xdotool windowactivate --sync "$one" key Escape
xdotool windowactivate --sync "$two" key Escape
wait_until "Escape to close the windows" 10 no_prefs
# A window opened while the entry exists shows it ticked: Alt+L then removes it.
printf '[Desktop Entry]\nType=Application\nName=Snaplark\nExec=snaplark\n' >"$autostart"
xdotool windowactivate --sync "$(open_prefs)" key alt+l
wait_until "the existing autostart entry removed" 10 test ! -e "$autostart"
stop_agent
echo "ok"
