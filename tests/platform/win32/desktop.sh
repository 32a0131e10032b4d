#!/usr/bin/env bash
# The Windows agent end to end under Wine: gestures in our test pad's text field, the notification
# icon and its menu, the settings in the registry, one agent per session, Quit.
set -euo pipefail
command -v xwd >/dev/null || { echo "SKIP: xwd is not installed"; exit 77; }
source "$(dirname "$0")/wine_session.sh"
wine_session_start "$1"
# One read of the clipboard is bounded: when the selection changes hands while xclip asks for it
# (the agent's copy takes it from the xclip that set "sentinel"), no owner may ever answer, and
# xclip waits for good; the next read asks the new owner.
clipboard_is() { [ "$(timeout 2 xclip -selection clipboard -o 2>/dev/null)" = "$1" ]; }
# xclip serves the selection from a process of its own, which may take it only after xclip has
# returned (a busy machine once let a copy made right after be overwritten): it is read back first.
set_clipboard() {
  printf %s "$1" | xclip -selection clipboard -i
  wait_for 10 "the clipboard holds $1" clipboard_is "$1"
}
# typed LOG VK: how many WM_KEYDOWN of the virtual key VK the test pad writing LOG got.
typed() { log_lines "$1" | grep -c "^down $2 " || true; }
agent_lines() { log_lines agent | wc -l; }
since() { log_lines agent | tail -n +$(($1 + 1)); }
injected() { log_lines pad | grep -c ' injected$' || true; }
SHIFT_LINES=$'shift key is pressed\nshift key is pressed'
at_least() { [ "$("${@:2}")" -ge "$1" ]; }
last_is() { [ "$(log_lines "$1" | grep -E "$2" | tail -n 1)" = "$3" ]; }

# drag KEYS [up]: over the field's text with KEYS held, let go of at the end if "up".
drag() {
  [ -z "$1" ] || xdotool keydown $1
  xdotool mousemove "$FIELD_LEFT" "$FIELD_Y" mousedown 1
  xdotool mousemove $((FIELD_LEFT + 200)) "$FIELD_Y" mousemove "$FIELD_RIGHT" "$FIELD_Y" mouseup 1
  [ -z "$1" ] || [ -z "${2:-}" ] || xdotool keyup $1
}
# Every chord lets go of what it pressed and gives back what it let go.
expect_no_key_down() {
  wait_for 5 "the held keys after $1" last_is pad '^(key [0-9]+ up|held)' "held none"
}
# Clicks are judged in order: once the lines of a Shift-click in the pad are out, every click
# before it was judged and any chord it made was typed; F12 then reaches the pad's hook behind it.
settle() {
  local lines=$(agent_lines) f12=$(count_lines pad "key 123 up device")
  xdotool mousemove "$FIELD_RIGHT" "$FIELD_Y" keydown shift click 1 keyup shift
  wait_for 10 "the Shift-click's lines" at_least $((lines + 2)) agent_lines
  xdotool key F12
  wait_for 10 "the pad's F12" at_least $((f12 + 1)) count_lines pad "key 123 up device"
}
# expect_no_copy WHAT KEYS: a drag with KEYS held is reported (press and release), yet types nothing.
expect_no_copy() {
  local lines=$(agent_lines) keys=$(injected)
  drag "$2" up
  wait_for 5 "$1 is reported" at_least $((lines + 2)) agent_lines
  settle
  [ "$(injected)" = "$keys" ] || fail "$1 typed a chord"
}
# expect_copy WHAT KEYS: the chord comes and the clipboard changes while the keys are still held.
expect_copy() {
  local c=$(typed pad 67)
  set_clipboard sentinel
  drag "$2"
  wait_for 5 "$1 types Ctrl+C" at_least $((c + 1)) typed pad 67
  wait_for 10 "$1 copies" not clipboard_is sentinel
  [ -z "$2" ] || xdotool keyup $2
}

# A run that failed half-way may have left the settings and the Run value behind.
wine reg delete 'HKCU\Software\Snaplark' /f >/dev/null 2>&1 || true
wine reg delete 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Snaplark /f >/dev/null 2>&1 || true
# The first start's notice is the installer test's; here its balloon would lie over the menu.
wine reg add 'HKCU\Software\Snaplark' /v iconNoticeShown /t REG_DWORD /d 1 /f >/dev/null 2>&1
start_pad
PAD_WINDOW=$(xdotool search --name '^Snaplark test pad$' | head -n 1)
start_agent
expect_no_copy "a plain drag" ""
expect_copy "Ctrl+drag" ctrl  # Wine hands the Windows clipboard to X
clipboard_is "alpha beta gamma" || fail "Ctrl+drag copied something else"
[ "$(count_lines agent "Command key is pressed")" = 2 ] || fail "Ctrl+drag: not one line for its press and one for its release"
expect_no_key_down "Ctrl+drag"
expect_copy "right Ctrl+drag" Control_R
# Each other modifier from either hand, alone and beside either Ctrl, makes no copy: the logo keys
# are Control, AltGr is Ctrl and Alt. (Alt alone drags the window in openbox, so only in pairs.)
for keys in Shift_L Shift_R Super_L Super_R "Control_L Super_R" "Control_R Super_L" \
  "Control_L Alt_R" "Control_R Alt_L"; do
  expect_no_copy "drag with $keys" "$keys"
done
xdotool key Caps_Lock
expect_no_copy "Ctrl+drag with Caps Lock on" ctrl
xdotool key Caps_Lock Num_Lock Scroll_Lock
expect_copy "Ctrl+drag with Num Lock and Scroll Lock on" ctrl
xdotool key Num_Lock Scroll_Lock
echo "ok: a plain drag copies nothing, Ctrl+drag copies, with either Ctrl, other locks but not Caps Lock"

# Caps Lock switched while the agent's hooks are out (the session locked; the pad's own hook shows
# that the key went by) counts at the next click all the same.
post_agent() { wine "$WINE_SESSION_BUILD/tests/snaplark_post_agent.exe" "$@"; }
caps_lock_unseen() {
  local seen=$(count_lines pad "key 20 up device")
  post_agent lock
  xdotool key Caps_Lock
  wait_for 5 "the pad's hook sees Caps Lock" at_least $((seen + 1)) count_lines pad "key 20 up device"
  post_agent unlock
}
caps_lock_unseen
expect_no_copy "Ctrl+drag with Caps Lock switched on while the hooks were out" ctrl
caps_lock_unseen
expect_copy "Ctrl+drag with Caps Lock switched off while the hooks were out" ctrl
echo "ok: Caps Lock switched while the hooks are out is read right at the next click"

# Twenty quick pastes: a release that comes while the paste's chord is still being typed must read
# the Shift the user holds, not the chord's.
set_clipboard PASTED
copies=$(count_lines agent "Command key is pressed")
for round in $(seq 1 20); do
  xdotool mousemove "$FIELD_RIGHT" "$FIELD_Y" click 1 keydown ctrl keydown shift click 1
  wait_for 10 "paste $round while Ctrl and Shift are held" last_is pad '^text' \
    "text alpha beta gamma$(printf 'PASTED%.0s' $(seq "$round"))"
  xdotool keyup shift keyup ctrl
done
settle
[ "$(count_lines agent "Command key is pressed")" = "$copies" ] || fail "a paste's release typed a copy"
[ "$(count_lines agent "command-shift keys are pressed")" = 40 ] || fail "twenty pastes: not forty command-shift lines"
expect_no_key_down "twenty pastes"
echo "ok: Ctrl+Shift+click pastes twenty times without a misfire"

# The notification icon follows the DPI. Wine never changes its DPI under a running program, so the
# test sends the agent WM_DPICHANGED as Windows would: at 192 the icon is loaded at 32 px, which the
# notification area shrinks into its place, and back at 96 at 16 px again. Each must change the
# picture in the icon's window. It is not compared with the first one: after the round trip its
# half-transparent edge pixels were seen to differ slightly from before.
# The icon's window inside trayer's panel (awk reads to the end: xwininfo must not meet a closed pipe).
tray_icon() {
  xwininfo -root -tree | awk '/\("panel" "trayer"\)/ {panel = 1}
    panel && !icon && /\("explorer.exe" "explorer.exe"\)/ {icon = $1} END {print icon; exit !icon}'
}
icon_picture() { xwd -silent -id "$ICON" | md5sum; }
icon_is() { [ "$(icon_picture)" = "$1" ]; }
ICON=$(tray_icon)
at96=$(icon_picture)
post_agent dpi 192
wait_for 10 "the icon is drawn from another picture at 192 DPI" not icon_is "$at96"
wait_for 10 "the icon's picture at 192 DPI settles" steady PICTURE icon_picture
at192=$PICTURE
post_agent dpi 96
wait_for 10 "the icon is drawn from another picture back at 96 DPI" not icon_is "$at192"
wait_for 10 "the icon's picture at 96 DPI settles" steady PICTURE icon_picture
echo "ok: the notification icon is loaded again at the size for a new DPI"

# An icon of the agent's id is already there, bare (no picture, no messages), when Explorer's
# restart makes the agent add its icon again: the NIM_ADD fails, and the agent must find its icon
# and give it back its picture and its messages, which the middle button's copy below needs. (The
# picture is not compared: a new icon window blends its half-transparent edge with what lay
# behind it when it was drawn.)
post_agent readd
wait_for 10 "the icon is shown again after a NIM_ADD that failed" tray_icon

# The icon's middle button takes the focus from the pad, so the pad's keyboard hook is what sees
# its copy: Ctrl, C, C, Ctrl.
chords=$(count_lines pad "key 67 down injected")
xdotool mousemove 11 12 sleep 0.3 click 2
wait_for 5 "the middle button writes onClickedMenuBar" grep -q onClickedMenuBar "$WINE_SESSION_DIR/agent.log"
wait_for 5 "the middle button types a copy" at_least $((chords + 1)) count_lines pad "key 67 down injected"
wait_for 5 "the icon's copy lets go of its Ctrl" last_is pad '^key ' "key 162 up injected"
echo "ok: the icon survives a NIM_ADD that fails because it is there; its middle button types a copy"

# Under Wine, while the keyboard focus is in one of our windows, a key pressed just before a click
# in the pad was often not yet down for GetAsyncKeyState when the agent's mouse hook ran, though its
# keyboard hook had seen the key: the Shift-click that settles then read as a plain click. Windows
# updates a key's state as the key is posted, before the next input's hooks (LowLevelKeyboardProc),
# so this is Wine's; the pad takes the focus back before keys go with a click in it.
pad_focus() { xdotool windowactivate --sync "$PAD_WINDOW"; }
# ctrl_drag: from 4 px inside the corner X Y a short way right with Control held, let go of at the end.
ctrl_drag() {
  xdotool keydown ctrl mousemove $((X + 4)) $((Y + 4)) mousedown 1 mousemove $((X + 54)) $((Y + 4)) \
    mousemove $((X + 104)) $((Y + 4)) mouseup 1
}
# ours WINDOW WHAT: while our WINDOW is shown, a Control+drag inside it writes no line and types
# nothing. It runs along the top margin, above every control. X Y are left at its corner.
ours() {
  local lines=$(agent_lines) keys=$(injected)
  xdotool windowactivate --sync "$1"
  wait_for 10 "$2 settles where the window manager put it" steady GEOMETRY corner -id "$1"
  read -r X Y <<<"$GEOMETRY"
  ctrl_drag
  xdotool keyup ctrl
  pad_focus
  settle
  xwininfo -id "$1" | grep -q 'IsViewable' || fail "$2 closed under the drag"
  [ "$(since "$lines")" = "$SHIFT_LINES" ] && [ "$(injected)" = "$keys" ] ||
    fail "a Control+drag in $2 was taken for a gesture: $(since "$lines")"
}
# copies_where_closed WHAT: once that window has closed, the same Control+drag, now over the pad,
# types one copy.
copies_where_closed() {
  local lines=$(agent_lines) chords=$(count_lines pad "key 67 down injected")
  pad_focus
  ctrl_drag
  wait_for 5 "a Control+drag where $1 was types Ctrl+C" \
    at_least $((chords + 1)) count_lines pad "key 67 down injected"
  xdotool keyup ctrl
  settle
  [ "$(count_lines pad "key 67 down injected")" = $((chords + 1)) ] ||
    fail "a Control+drag where $1 was typed more than one copy"
  [ "$(since "$lines")" = $'Command key is pressed\nCommand key is pressed\n'"$SHIFT_LINES" ] ||
    fail "a Control+drag where $1 was: $(since "$lines")"
}

# The menu's window, and its rows' offsets from its top in Wine's metrics.
declare -A row=([Disable]=10 [Preference]=130 [About]=147 [HowToUse]=173 [Pause]=199 [Quit]=216)
menu_corner() {
  xwininfo -root -tree | grep '(has no name): ("snaplark.exe" "snaplark.exe")' |
    awk '{split($(NF-1), s, "x"); split(s[2], h, "+"); if (h[1] > 150) {print h[2], h[3]; found = 1; exit}} END {exit !found}'
}
choose() {
  local x y
  # A pointer rests on the icon before it clicks, as a hand does.
  xdotool mousemove 11 12 sleep 0.3 click 1
  wait_for 5 "the menu opens for $1" menu_corner
  read -r x y <<<"$(menu_corner)"
  xdotool mousemove $((x + 30)) $((y + ${row[$1]})) click 1
  wait_for 5 "the menu closes on $1" not menu_corner
}
# chosen ENTRY: no click on the icon or in its menu writes a line, and one elsewhere right after counts.
chosen() {
  local lines=$(agent_lines)
  choose "$1"
  # The menu gives the focus back to the window in front before, which may be another than the
  # pad: the pad takes it before the Shift-click that settles (see pad_focus).
  pad_focus
  settle
  [ "$(since "$lines")" = "$SHIFT_LINES" ] || fail "clicks on the icon or in its menu for $1: $(since "$lines")"
}
chosen Disable
expect_no_copy "Ctrl+drag while suspended" ctrl
chosen Disable
expect_copy "resumed, Ctrl+drag" ctrl
echo "ok: Disable suspends the gestures and, chosen again, resumes them; menu clicks are not gestures"

# open_entry ENTRY TITLE: the menu's ENTRY opens a window titled TITLE; sets WINDOW to it.
open_entry() {
  choose "$1"
  wait_for 10 "$1 opens" xdotool search --name "$2"
  WINDOW=$(xdotool search --name "$2" | head -n 1)
}
# prefs_keys [KEYS...]: the preferences opened from the menu and in front, KEYS typed there.
prefs_keys() {
  open_entry Preference '^Snaplark Preferences$'
  xdotool windowactivate --sync "$WINDOW"
  [ $# = 0 ] || xdotool key "$@"
}
prefs_close() {
  xdotool key Escape
  wait_for 10 "the preferences window closes" not xdotool search --name '^Snaplark Preferences$'
}
prefs_keys
ours "$WINDOW" "the preferences window"
xdotool windowactivate --sync "$WINDOW" key space
wait_for 10 "the copy checkbox writes 0" reg_is boolEnableCopy 0x0
xdotool key Tab space
wait_for 10 "the paste checkbox writes 0" reg_is boolEnablePaste 0x0
expect_no_copy "Ctrl+drag with copy switched off" ctrl
xdotool windowactivate --sync "$WINDOW" key space shift+Tab space
wait_for 10 "the copy checkbox writes 1 again" reg_is boolEnableCopy 0x1
wait_for 10 "the paste checkbox writes 1 again" reg_is boolEnablePaste 0x1
in_run_key() { wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Snaplark 2>/dev/null | tr -d '\r' | grep -q 'snaplark.exe"$'; }
xdotool key Tab Tab Tab Tab Tab space
wait_for 10 "Start at login adds the agent to the Run key" in_run_key
xdotool key space
wait_for 10 "Start at login, unticked, takes it out again" not in_run_key
prefs_close
copies_where_closed "the preferences window"
# A value put in the registry by hand as a string is read by the same rule as everywhere.
wine reg add 'HKCU\Software\Snaplark' /v boolEnableCopy /t REG_SZ /d no /f >/dev/null 2>&1
expect_no_copy 'with boolEnableCopy "no", Ctrl+drag' ctrl
wine reg add 'HKCU\Software\Snaplark' /v boolEnableCopy /t REG_SZ /d " Yes " /f >/dev/null 2>&1
expect_copy 'with boolEnableCopy " Yes ", Ctrl+drag' ctrl
echo "ok: the preferences' checkboxes and strings written by hand switch the gestures; Start at login"
echo "ok: a Control+drag in the preferences window is no gesture, and copies where it was once closed"

for entry in About HowToUse; do
  title="^Snaplark beta 0.1.0\$"
  [ $entry = HowToUse ] && title="^How To Use\$"
  open_entry $entry "$title"
  ours "$WINDOW" $entry
  xdotool windowactivate --sync "$WINDOW" key Return
  wait_for 10 "$entry closes" not xdotool search --name "$title"
  copies_where_closed $entry
done
# Copy only after a selection, switched on in the preferences: a Ctrl+click in place types nothing,
# the release ending a Ctrl+double click (a word selected) copies, once, and a Ctrl+Shift+click
# still pastes; switched off, the Ctrl+click copies again.
# ctrl_clicks N: N Ctrl+clicks in place on the pad's text, 80 ms apart (2: a double click).
ctrl_clicks() {
  local lines=$(agent_lines)
  pad_focus
  xdotool mousemove $((FIELD_LEFT + 50)) "$FIELD_Y" keydown ctrl click --repeat "$1" --delay 80 1 keyup ctrl
  wait_for 5 "$1 Ctrl+click(s) reported" at_least $((lines + 2 * $1)) agent_lines
  settle
}
prefs_keys alt+s
wait_for 10 "the selection checkbox writes 1" reg_is boolCopyOnlyAfterSelection 0x1
prefs_close
c=$(typed pad 67)
ctrl_clicks 1
[ "$(typed pad 67)" = "$c" ] || fail "a Ctrl+click in place copied with the selection switch on"
set_clipboard sentinel
ctrl_clicks 2
[ "$(typed pad 67)" = $((c + 1)) ] || fail "a Ctrl+double click typed $(($(typed pad 67) - c)) copies, not one"
wait_for 10 "the Ctrl+double click copies its word" not clipboard_is sentinel
expect_copy "Ctrl+drag with the selection switch on" ctrl
pad_texts() { log_lines pad | grep -c '^text ' || true; }
t=$(pad_texts)
pad_focus
xdotool mousemove "$FIELD_RIGHT" "$FIELD_Y" keydown ctrl keydown shift click 1 keyup shift keyup ctrl
wait_for 5 "a Ctrl+Shift+click pastes with the selection switch on" at_least $((t + 1)) pad_texts
settle
prefs_keys alt+s
wait_for 10 "the selection checkbox writes 0" reg_is boolCopyOnlyAfterSelection 0x0
prefs_close
c=$(typed pad 67)
ctrl_clicks 1
[ "$(typed pad 67)" = $((c + 1)) ] || fail "a Ctrl+click in place did not copy with the selection switch off"
echo "ok: with copy only after a selection, a Ctrl+click in place copies nothing, a double click does"

# The menu's pause entry pauses the program of the window the user was in before the menu opened
# (the click on the icon comes between): its file name, and, as the pads have no version resource,
# the file name without .exe for a name. A second pad, the same program under another name, is the
# other application. Paused, neither gesture types there while the other copies; the entry chosen
# again, or the preferences' list, which names it, resumes it. Wine lets no other process read the
# menu's rows, so the entry's title itself is not read here; and Wine 8 tells the agent of no
# foreground change (EVENT_SYSTEM_FOREGROUND), so the window the user was in is the one of the
# last click: each pad is clicked before the menu is opened.
paused_list() {  # the stored list's lines, each followed by "|"
  wine reg query 'HKCU\Software\Snaplark' /v arrayPausedApplications 2>/dev/null | tr -d '\r' |
    awk '/REG_SZ/ {sub(/.*REG_SZ +/, ""); on = 1} on && NF {printf "%s|", $0}'
}
paused_is() { [ "$(paused_list)" = "$1" ]; }
pad_paste_stays_out() {
  local keys=$(injected)
  pad_focus
  xdotool mousemove "$FIELD_RIGHT" "$FIELD_Y" keydown ctrl keydown shift click 1 keyup shift keyup ctrl
  settle
  [ "$(injected)" = "$keys" ] || fail "a Ctrl+Shift+click in the paused pad typed a chord"
}
# below_pad NAME TITLE COMMAND...: the command (a test pad) run as NAME; once it is up, its window,
# titled TITLE, is moved below the pad, and WINDOW set to it.
below_pad() {
  session_run "$1" "${@:3}"
  wait_for 30 "$1 starts" grep -q '^ready' "$WINE_SESSION_DIR/$1.log"
  WINDOW=$(xdotool search --name "$2" | grep -vx "$PAD_WINDOW" | head -n 1)
  xdotool windowmove "$WINDOW" 200 530
  wait_for 10 "$1 moves below the pad" below_pad_yet "$WINDOW"
}
below_pad_yet() {
  local x y
  read -r x y < <(corner -id "$1")
  [ "${y:-0}" -ge 530 ]
}
# drag_in WINDOW WHAT: a Ctrl+drag over the text of that window below the pad; its lines are out and
# any chord typed.
drag_in() {
  local lines=$(agent_lines) x y
  xdotool windowactivate --sync "$1"
  read -r x y < <(corner -id "$1")
  xdotool keydown ctrl mousemove $((x + 12)) $((y + 25)) mousedown 1 \
    mousemove $((x + 300)) $((y + 25)) mouseup 1 keyup ctrl
  wait_for 10 "a Ctrl+drag in $2 is reported" at_least $((lines + 2)) agent_lines
  settle
}
cp "$WINE_SESSION_BUILD/tests/snaplark_testpad.exe" "$WINE_SESSION_DIR/other_pad.exe"
below_pad other '^Snaplark test pad$' wine "$WINE_SESSION_DIR/other_pad.exe"
OTHER=$WINDOW
# A plain click in the second pad; its lines are out.
other_click() {
  local lines=$(agent_lines) x y
  read -r x y < <(corner -id "$OTHER")
  xdotool mousemove $((x + 300)) $((y + 25)) click 1
  wait_for 5 "a click in the second pad is reported" at_least $((lines + 2)) agent_lines
}
other_click
chosen Pause
wait_for 10 "the paused list names the second pad's program" paused_is $'other_pad.exe\tother_pad|'
c=$(typed other 67)
drag_in "$OTHER" "the second pad"
[ "$(typed other 67)" = "$c" ] || fail "a Ctrl+drag in the paused second pad typed a copy"
expect_copy "Ctrl+drag in the pad, another program" ctrl
other_click
chosen Pause
wait_for 10 "the second pad's program leaves the paused list" paused_is ""
settle
chosen Pause
wait_for 10 "the paused list names the pad's program" paused_is $'snaplark_testpad.exe\tsnaplark_testpad|'
expect_no_copy "Ctrl+drag in the paused pad" ctrl
pad_paste_stays_out
set_clipboard sentinel
drag_in "$OTHER" "the second pad"
[ "$(typed other 67)" = $((c + 1)) ] || fail "a Ctrl+drag in the second pad typed no copy"
wait_for 10 "a Ctrl+drag in the second pad copies" not clipboard_is sentinel
prefs_keys
[ "$(post_agent paused | tr -d '\r')" = snaplark_testpad ] ||
  fail "the preferences list the paused applications as: $(post_agent paused)"
xdotool key alt+a Home alt+r
wait_for 10 "Resume in the preferences empties the paused list" paused_is ""
[ -z "$(post_agent paused | tr -d '\r')" ] || fail "the list still shows: $(post_agent paused)"
prefs_close
expect_copy "Ctrl+drag in the pad resumed from the preferences" ctrl
echo "ok: the program in front is paused from the menu and takes no gesture while another copies"
echo "ok: the menu and the preferences' list resume it"

# A console left open while the user copies elsewhere: it gets its chord (Ctrl+Insert) while it is
# in front, the pad its own Ctrl+C once the pad is, and the console its chord again on its return.
below_pad console '^Snaplark test console$' wine "$WINE_SESSION_BUILD/tests/snaplark_testpad.exe" ConsoleWindowClass
CONSOLE=$WINDOW
drag_in "$CONSOLE" "the console"
wait_for 10 "the console gets Ctrl+Insert" at_least 1 typed console 45
expect_copy "Ctrl+drag in the pad, the console still open" ctrl
drag_in "$CONSOLE" "the console"
wait_for 10 "the console gets Ctrl+Insert again" at_least 2 typed console 45
[ "$(typed console 45)" = 2 ] && [ "$(typed console 67)" = 0 ] ||
  fail "the console got $(typed console 45) Insert and $(typed console 67) C"
echo "ok: a console left open gets its own chord only while it is in front"

status=0
wine "$WINE_SESSION_BUILD/snaplark.exe" >/dev/null 2>"$WINE_SESSION_DIR/second.err" || status=$?
[ "$status" = 1 ] && grep -q "another Snaplark is already running" "$WINE_SESSION_DIR/second.err" ||
  fail "a second agent exited with $status"
choose Quit
wait_for 15 "Quit ends the agent" not kill -0 "$AGENT_PID"
status=0
wait "$AGENT_PID" || status=$?
[ "$status" = 0 ] || fail "the agent exited with $status after Quit"
echo "ok: About and How to use open and close, take no gesture inside and copy where they were once closed"
echo "ok: a second agent exits; Quit ends the agent"
