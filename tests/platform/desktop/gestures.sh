#!/usr/bin/env bash
# The user's input as it reaches the server: modifiers read by their role in the server's maps,
# one chord per gesture in the focused window's terms (layouts, terminals), held keys given back.
source "$(dirname "$0")/lib.sh"
need xmodmap xset setxkbmap
start_x
# The typist's give-back, with the user letting go while the chord is typed or before the give-back.
"$build/tests/snaplark_give_back_test" || fail "the give-back test"
start_tray
start_agent
start_recorder
copies() { grep -c "^keypress c " "$rec" || true; }
pastes() { grep -c "^keypress v " "$rec" || true; }

# Each X modifier by its role, from either hand, alone and in pairs: Control stands for Command,
# Super for Control, Alt for Option.
for row in "ctrl:Command key is pressed" "ctrl shift:command-shift keys are pressed" \
  "shift super alt ctrl:shift-control-option-command keys are pressed" ":no modifier keys are pressed" \
  "Control_R:Command key is pressed" "Control_R Shift_R:command-shift keys are pressed" \
  "Control_L Control_R:Command key is pressed" "Control_R shift:command-shift keys are pressed" \
  "Shift_R:shift key is pressed" "Super_R:control key is pressed" "Alt_R:option key is pressed" \
  "Super_R Alt_R:control-option keys are pressed"; do
  gesture ${row%%:*}
  [ "$(tail -n 2 "$agent_out")" = "${row#*:}"$'\n'"${row#*:}" ] || fail "[${row%%:*}]: $(tail -n 2 "$agent_out")"
done
[ "$(grep -c '^keypress [cvCV] ' "$rec")/$(typed "c state=0x4")/$(typed "v state=0x4")" = 6/3/3 ] ||
  fail "not three Control+C and three Control+V: $(grep '^keypress [cvCV] ' "$rec")"
# Typing never wakes the agent, also after its chords (which watch the keys while they are typed).
wakeups() { awk '/^voluntary_ctxt_switches/ { n += $2 } END { print n }' /proc/"$agent_pid"/task/*/status; }
before=$(wakeups)
xdotool type --delay 5 "$(printf 'a%.0s' $(seq 100))"
sync_recorder
[ $(($(wakeups) - before)) -lt 20 ] || fail "100 letters woke the agent $(($(wakeups) - before)) times"

# Users let go of Shift and Control while the agent types, at random moments around the chords:
# one chord per gesture, each with Control alone, and no key left down.
RANDOM=7
for run in $(seq 40); do
  pause=$(printf '0.%04d' $((RANDOM % 30)))  # 0 to 3 ms
  xdotool keydown ctrl mousedown 1 mouseup 1 keyup ctrl keydown ctrl keydown shift mousedown 1 \
    sleep "$pause" keyup shift sleep "$pause" keyup ctrl mouseup 1
  sync_recorder
  no_keys_down
done
[ "$(copies)/$(pastes)" = "43/43" ] || fail "not one chord per gesture: $(copies)/$(pastes)"
grep -E "^keypress [cv] state=0x[^4]" "$rec" && fail "a chord without Control alone"
# Releases 0 to 5 ms after the press, some inside the paste chord after it let go of the user's
# Shift: they still read Shift, so none copies (40 clicks at one moment caught this only now and then).
xdotool keydown ctrl keydown shift
for run in $(seq 100); do xdotool mousedown 1 sleep "0.00$((RANDOM % 6))" mouseup 1; done
xdotool keyup shift keyup ctrl
sync_recorder
[ "$(copies)/$(pastes)" = "43/143" ] || fail "fast clicks: $(copies)/$(pastes), not 100 pastes alone"

# Clicks on the tray icon are no gestures: the left one opens the menu, the middle one is the
# status button, whose copy leaves a locked Caps Lock out and locks it again.
xdotool key Caps_Lock
before=$(wc -l <"$agent_out")
xdotool mousemove --window "$(tray_icon)" 11 11 click 1
wait_until "the menu on a left click" 10 menu_open
xdotool key Escape
wait_until "the menu to close" 10 eval '! menu_open'
xdotool mousemove 512 700 mousemove --window "$(tray_icon)" 11 11 click 2
wait_until "the status button" 10 grep -q -x onClickedMenuBar "$agent_out"
sync_recorder
[ "$(typed "c state=0x4")" = 44 ] || fail "the status button's copy: $(grep '^keypress c' "$rec" | tail -n 1)"
xset q | grep -q -E "Caps Lock: +on" || fail "Caps Lock not locked again after the chord"
xdotool key Caps_Lock
# Clicks settle in order: once a Shift-click elsewhere has its lines, any line of a click on the
# icon would be out before them.
xdotool mousemove 200 200 keydown shift click 1 keyup shift
wait_until "the Shift-click's lines" 10 out_has $((before + 3))
[ "$(out_since "$before" | grep -v -x onClickedMenuBar)" = "shift key is pressed"$'\n'"shift key is pressed" ] ||
  fail "clicks on the icon were observed: $(out_since "$before")"

# The maps change while the agent runs. reads_as KEY LINE [KEY3]: a click of the physical button 1
# with KEY held, then one of button 3, alone or with KEY3 held; whichever map the agent reads, one of
# them is its primary button, so two lines come, and they say which map it read.
reads_as() {
  local before=$(wc -l <"$agent_out")
  xdotool mousemove 200 200 keydown "$1" click 1 keyup "$1" ${3:+keydown "$3"} click 3 ${3:+keyup "$3"}
  poll 10 out_has $((before + 2)) && [ "$(out_since "$before")" = "$2"$'\n'"$2" ]
}
# Left-handed: the physical button 3 is the primary one (Control held: a line), the physical
# button 1 (Shift held) makes no line.
xmodmap -e "pointer = 3 2 1"
wait_until "the agent to read the left-handed map" 30 reads_as shift "no modifier keys are pressed"
reads_as shift "Command key is pressed" ctrl || fail "left-handed: $(tail -n 2 "$agent_out")"
xmodmap -e "pointer = 1 2 3"
# Super moved from Mod4 to Mod3 (empty until then): still read as Control, by its key.
xmodmap -e "remove mod4 = Super_L" -e "add mod3 = Super_L"
wait_until "Super in Mod3 read as Control, button 1 primary again" 30 reads_as super "control key is pressed"
xmodmap -e "remove mod3 = Super_L" -e "add mod4 = Super_L"

# chords LAYOUT VARIANT GROUP COPY PASTE: the client sees these keysyms with Control, those of the
# active group or the keys in the C and V places, while the user holds the keys. xdotool presses
# keys in the first group (where the active one lacks a keysym it remaps a spare key, and the agent
# would read that passing map).
chords() {
  setxkbmap -layout "$1" ${2:+-variant "$2"}
  chord "$3" "$4 state=0x4" ctrl
  chord "$3" "$5 state=0x4" ctrl shift
}
more_typed() { [ "$(grep -c -x -F -- "keypress $1" "$rec")" -gt "$2" ]; }
chord() {
  local keys=("${@:3}") count=$(grep -c -x -F -- "keypress $2" "$rec" || true)
  xdotool ${keys[@]/#/keydown }
  "$recorder" --lock-group "$1"
  xdotool mousedown 1 mouseup 1
  wait_until "$2 in group $1 of $(setxkbmap -query | grep -E '^(layout|variant)' | tr -s ' \n' ' ')" \
    10 more_typed "$2" "$count"
  "$recorder" --lock-group 0
  xdotool ${keys[@]/#/keyup }
}
xdotool mousemove 200 200
chords us dvorak 0 c v
chords fr "" 0 c v
chords ru "" 0 Cyrillic_es Cyrillic_em
chords us,us ,dvorak 1 c v
chords us,ru "" 1 Cyrillic_es Cyrillic_em
chords us,ru "" 0 c v
setxkbmap -layout us

# Terminals: xterm gets no copy and Shift+Insert to paste, found by walking up from an inner
# focused window without WM_CLASS; renamed to gnome-terminal, Control+Shift+C and V.
kill "${started[-1]}"
start_recorder xterm --child
gesture ctrl
# No copy chord there: nothing of the agent's reaches the window, not even a Control let go and
# pressed again; only the user's own Control press and the recorder's marker.
[ "$(grep -c -v -E "^keypress (F12|Control_L) " "$rec")/$(grep -c "^keypress Control_L" "$rec")" = 1/1 ] ||
  fail "xterm, a copy: $(cat "$rec")"
gesture ctrl shift
[ "$(copies)/$(pastes)/$(typed "Insert state=0x1")" = "0/0/1" ] || fail "xterm: $(cat "$rec")"
xdotool set_window --classname gnome-terminal --class Gnome-terminal "$(awk '/^ready/ {print $2}' "$rec")"
gesture ctrl
gesture ctrl shift
[ "$(typed "c state=0x5")/$(typed "v state=0x5")" = "1/1" ] || fail "gnome-terminal: $(cat "$rec")"
# The terminal stays open while another window has the focus: that window gets the plain chords,
# and the terminal its own again once it has the focus back.
terminal_rec=$rec
rec=$work/notes.out
start_recorder Notes
gesture ctrl
gesture ctrl shift
[ "$(typed "c state=0x4")/$(typed "v state=0x4")" = "1/1" ] || fail "beside the terminal: $(cat "$rec")"
rec=$terminal_rec
focus_recorder
gesture ctrl
[ "$(typed "c state=0x5")" = 2 ] || fail "the terminal again: $(cat "$rec")"
no_keys_down
stop_agent
echo "ok"
