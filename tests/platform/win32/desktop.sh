#!/usr/bin/env bash
# The Windows agent end to end under Wine: gestures in a text field of our own test pad, the
# notification icon's menu and each of its entries, the settings in the registry, one agent per
# session and Quit. Usage: desktop.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/wine_session.sh"
wine_session_start "$1"
dir=$WINE_SESSION_DIR

clipboard() { xclip -selection clipboard -o 2>/dev/null; }
set_clipboard() { printf %s "$1" | xclip -selection clipboard -i; }
last_held() { log_lines pad | grep '^held' | tail -n 1; }
pad_key_downs() { log_lines pad | grep -c "^down $1 " || true; }

drag_over_text() {
  xdotool mousemove "$FIELD_LEFT" "$FIELD_Y" mousedown 1
  xdotool mousemove $((FIELD_LEFT + 200)) "$FIELD_Y" mousemove "$FIELD_RIGHT" "$FIELD_Y" mouseup 1
}
with_keys() {
  local keys=$1
  shift
  xdotool keydown $keys
  "$@"
  xdotool keyup $(echo $keys | tr ' ' '\n' | tac | tr '\n' ' ')
}
# Every chord lets go of what it pressed and gives back what it let go: once the pad has seen the
# user's last key-up, nothing is down.
settled_after_last_key() {
  log_lines pad | awk '/^up /{up=NR} /^held/{held=NR; line=$0} END{exit !(held > up)}'
}
expect_no_key_down() {
  wait_for 5 "a report of held keys after: $1" settled_after_last_key
  [ "$(last_held)" = "held none" ] || wine_session_fail "$1 left a key down: $(last_held)"
}

# Each run starts from no settings: both gestures on.
wine reg delete 'HKCU\Software\Snaplark' /f >/dev/null 2>&1 || true
start_pad
start_agent
echo "ok: the agent runs and reports clicks in other windows"

# A plain drag selects and copies nothing.
set_clipboard sentinel
before=$(count_lines agent "no modifier keys are pressed")
drag_over_text
wait_for 5 "a plain drag writes two lines" \
  bash -c "[ \$(tr -d '\r' <'$dir/agent.log' | grep -c -x 'no modifier keys are pressed') -ge $((before + 2)) ]"
sleep 0.5
[ "$(clipboard)" = sentinel ] || wine_session_fail "a plain drag copied: $(clipboard)"
[ "$(pad_key_downs 67)" = 0 ] || wine_session_fail "a plain drag typed C"
echo "ok: a plain drag copies nothing"

# Ctrl+drag copies the selection; Wine hands the Windows clipboard to X.
with_keys ctrl drag_over_text
wait_for 5 "Ctrl+drag copies the text" bash -c '[ "$(xclip -selection clipboard -o 2>/dev/null)" = "alpha beta gamma" ]'
[ "$(count_lines agent "Command key is pressed")" = 2 ] ||
  wine_session_fail "Ctrl+drag: expected two Command lines (press, release)"
expect_no_key_down "Ctrl+drag"
echo "ok: Ctrl+drag copies"

# Ctrl+Shift+click pastes at the caret, and its release (Shift still held) copies nothing.
set_clipboard PASTED
xdotool mousemove "$FIELD_RIGHT" "$FIELD_Y" click 1
copies=$(count_lines agent "Command key is pressed")
with_keys "ctrl shift" xdotool click 1
wait_for 5 "Ctrl+Shift+click pastes" bash -c "tr -d '\r' <'$dir/pad.log' | grep -q '^text alpha beta gammaPASTED$'"
expect_no_key_down "Ctrl+Shift+click"
# Quick clicks: a release that comes while the paste's chord is still being typed must read the
# Shift the user holds, not the chord's.
for round in $(seq 1 19); do
  xdotool mousemove "$FIELD_RIGHT" "$FIELD_Y" click 1
  with_keys "ctrl shift" xdotool click 1
  sleep 0.15
done
wait_for 10 "nineteen more pastes" bash -c "tr -d '\r' <'$dir/pad.log' | grep -q '^text alpha beta gamma\(PASTED\)\{20\}$'"
[ "$(count_lines agent "Command key is pressed")" = "$copies" ] ||
  wine_session_fail "a paste's release typed a copy"
[ "$(count_lines agent "command-shift keys are pressed")" = 40 ] ||
  wine_session_fail "twenty pastes: expected forty command-shift lines"
expect_no_key_down "twenty pastes"
echo "ok: Ctrl+Shift+click pastes, twenty times, and no release misfires"

# Caps Lock on blocks the copy.
xdotool key Caps_Lock
set_clipboard sentinel
plain=$(count_lines agent "no modifier keys are pressed")
with_keys ctrl drag_over_text
xdotool key Caps_Lock
wait_for 5 "Ctrl+drag with Caps Lock on writes two no-modifier lines" \
  bash -c "[ \$(tr -d '\r' <'$dir/agent.log' | grep -c -x 'no modifier keys are pressed') -ge $((plain + 2)) ]"
sleep 0.5
[ "$(clipboard)" = sentinel ] || wine_session_fail "Ctrl+drag with Caps Lock on copied"
echo "ok: with Caps Lock on, Ctrl+drag copies nothing"

# The icon's middle button is its own action: the line, and a copy typed. A click on the icon
# takes the focus from the pad, so the pad's keyboard hook is what sees the chord: Ctrl, C, C, Ctrl.
chords=$(log_lines pad | grep -c '^key 67 down injected' || true)
xdotool mousemove 11 12 sleep 0.3 click 2
wait_for 5 "the middle button writes onClickedMenuBar" bash -c "tr -d '\r' <'$dir/agent.log' | grep -q -x onClickedMenuBar"
wait_for 5 "the middle button types a copy" bash -c "[ \$(tr -d '\r' <'$dir/pad.log' | grep -c '^key 67 down injected') -gt $chords ]"
wait_for 5 "the icon's copy lets go of its Ctrl" bash -c "tr -d '\r' <'$dir/pad.log' | grep '^key ' | tail -n 1 | grep -q '^key 162 up injected'"
echo "ok: the icon's middle button types a copy"

# The notification icon's menu: its window and the rows' offsets from its top in Wine's metrics.
declare -A row_offset=([Disable]=10 [Indefinitely]=36 [Preference]=130 [About]=147 [HowToUse]=173 [Quit]=190)
choose() {
  local entry=$1 geometry x y
  # A pointer rests on the icon before it clicks, as a hand does.
  xdotool mousemove 11 12 sleep 0.3 click 1
  wait_for 5 "the menu opens for $entry" bash -c '[ -n "$(xwininfo -root -tree | grep "(has no name): (\"snaplark.exe\" \"snaplark.exe\")" | awk "{split(\$(NF-1),s,\"x\"); split(s[2],h,\"+\"); if (h[1] > 150) print}")" ]'
  geometry=$(xwininfo -root -tree | grep '(has no name): ("snaplark.exe" "snaplark.exe")' |
    awk '{split($(NF-1), s, "x"); split(s[2], h, "+"); if (h[1] > 150) {print h[2], h[3]; exit}}')
  read -r x y <<<"$geometry"
  xdotool mousemove $((x + 30)) $((y + ${row_offset[$entry]})) click 1
}

lines_before=$(wc -l <"$dir/agent.log")
choose Disable
sleep 0.5
[ "$(wc -l <"$dir/agent.log")" = "$lines_before" ] ||
  wine_session_fail "clicks on the icon or in its menu were reported as gestures"
set_clipboard sentinel
c_before=$(pad_key_downs 67)
with_keys ctrl drag_over_text
wait_for 5 "a gesture while suspended is still reported" \
  bash -c "[ \$(tr -d '\r' <'$dir/agent.log' | grep -c -x 'Command key is pressed') -ge $((copies + 2)) ]"
sleep 0.5
[ "$(pad_key_downs 67)" = "$c_before" ] || wine_session_fail "suspended, Ctrl+drag still typed C"
[ "$(clipboard)" = sentinel ] || wine_session_fail "suspended, Ctrl+drag still copied"
choose Disable
sleep 0.5
with_keys ctrl drag_over_text
# The text is wider than the field by now: the drag selects what it passes over.
wait_for 5 "resumed, Ctrl+drag copies again" bash -c '[[ "$(xclip -selection clipboard -o 2>/dev/null)" == *PASTED* ]]'
echo "ok: Disable suspends the gestures and, chosen again, resumes them; menu clicks are not gestures"

# Preference: the checkboxes write the registry, and the synthesizer follows it.
reg_value() { wine reg query 'HKCU\Software\Snaplark' /v "$1" 2>/dev/null | tr -d '\r' | awk -v k="$1" '$1 == k {print $3}'; }
choose Preference
wait_for 10 "the preferences window opens" xdotool search --name '^Snaplark Preferences$'
window=$(xdotool search --name '^Snaplark Preferences$' | head -n 1)
xdotool windowactivate --sync "$window"
xdotool key space
wait_for 10 "the copy checkbox writes 0" bash -c "[ \"\$(wine reg query 'HKCU\\Software\\Snaplark' /v boolEnableCopy 2>/dev/null | tr -d '\r' | awk '\$1 == \"boolEnableCopy\" {print \$3}')\" = 0x0 ]"
xdotool key Tab space
wait_for 10 "the paste checkbox writes 0" bash -c "[ \"\$(wine reg query 'HKCU\\Software\\Snaplark' /v boolEnablePaste 2>/dev/null | tr -d '\r' | awk '\$1 == \"boolEnablePaste\" {print \$3}')\" = 0x0 ]"
[ "$(reg_value boolEnableCopy)" = 0x0 ] || wine_session_fail "boolEnableCopy is not 0 after the click"
set_clipboard sentinel
c_before=$(pad_key_downs 67)
with_keys ctrl drag_over_text
sleep 1
[ "$(pad_key_downs 67)" = "$c_before" ] || wine_session_fail "copy switched off, Ctrl+drag still typed C"
xdotool windowactivate --sync "$window"
xdotool key space shift+Tab space
wait_for 10 "both checkboxes write 1 again" bash -c "wine reg query 'HKCU\\Software\\Snaplark' 2>/dev/null | tr -d '\r' | grep -c 'REG_DWORD *0x1' | grep -qx 2"
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
xdotool key Tab Tab space
wait_for 10 "Start at login adds the agent to the Run key" \
  bash -c "wine reg query '$run_key' /v Snaplark 2>/dev/null | tr -d '\r' | grep -q 'snaplark.exe\"\$'"
xdotool key space
wait_for 10 "Start at login, unticked, takes it out again" bash -c "! wine reg query '$run_key' /v Snaplark"
xdotool key Escape
wait_for 10 "Escape closes the preferences window" bash -c "! xdotool search --name '^Snaplark Preferences$'"
echo "ok: the preferences window's checkboxes write boolEnableCopy and boolEnablePaste; Start at login the Run key"

# A value put in the registry by hand as a string is read by the same rule as everywhere.
set_copy_switch() { wine reg add 'HKCU\Software\Snaplark' /v boolEnableCopy /t REG_SZ /d "$1" /f >/dev/null 2>&1; }
set_copy_switch no
set_clipboard sentinel
c_before=$(pad_key_downs 67)
with_keys ctrl drag_over_text
sleep 1
[ "$(pad_key_downs 67)" = "$c_before" ] || wine_session_fail "boolEnableCopy \"no\" still typed C"
set_copy_switch " Yes "
with_keys ctrl drag_over_text
wait_for 5 "boolEnableCopy \" Yes \" copies" bash -c "[ \$(tr -d '\r' <'$dir/pad.log' | grep -c '^down 67 ') -gt $c_before ]"
echo "ok: the copy switch written by hand as the string \"no\" or \" Yes \" is obeyed"

# About and How to use open as message boxes and close with their OK button.
for entry in About HowToUse; do
  title="Snaplark beta 0.1.0"
  [ $entry = HowToUse ] && title="How To Use"
  choose $entry
  wait_for 10 "$entry opens" xdotool search --name "^$title\$"
  xdotool windowactivate --sync "$(xdotool search --name "^$title\$" | head -n 1)"
  xdotool key Return
  wait_for 10 "$entry closes" bash -c "! xdotool search --name '^$title\$'"
done
echo "ok: About and How to use open and close"

# One agent per session.
status=0
wine "$WINE_SESSION_BUILD/snaplark.exe" >"$dir/second.log" 2>"$dir/second.err" || status=$?
[ "$status" = 1 ] || wine_session_fail "a second agent exited with $status"
grep -q "another Snaplark is already running" "$dir/second.err" || wine_session_fail "the second agent did not say why it left"
echo "ok: a second agent exits"

# Quit ends the agent.
choose Quit
wait_for 15 "Quit ends the agent" bash -c "! kill -0 $AGENT_PID"
status=0
wait "$AGENT_PID" || status=$?
[ "$status" = 0 ] || wine_session_fail "the agent exited with $status after Quit"
echo "ok: Quit ends the agent"

# With the buttons swapped for a left hand, the right button is the primary one.
mouse_key='HKCU\Control Panel\Mouse'
wine reg add "$mouse_key" /v SwapMouseButtons /t REG_SZ /d 1 /f >/dev/null 2>&1
trap 'wine reg add "$mouse_key" /v SwapMouseButtons /t REG_SZ /d 0 /f >/dev/null 2>&1; wine_session_stop' EXIT
wine "$WINE_SESSION_BUILD/snaplark.exe" >"$dir/agent.log" 2>"$dir/agent.err" &
AGENT_PID=$!
WINE_SESSION_PIDS="$AGENT_PID $WINE_SESSION_PIDS"
deadline=$((SECONDS + 30))
until grep -q 'no modifier keys are pressed' "$dir/agent.log"; do
  [ $SECONDS -lt $deadline ] || wine_session_fail "with swapped buttons, the right button is not seen"
  xdotool mousemove "$FIELD_RIGHT" "$FIELD_Y" click 3
  sleep 0.3
done
lines=$(wc -l <"$dir/agent.log")
xdotool click 1
sleep 1
[ "$(wc -l <"$dir/agent.log")" = "$lines" ] || wine_session_fail "with swapped buttons, the left button is still seen"
echo "ok: with swapped buttons the right button is the primary one"
