#!/usr/bin/env bash
# The agent as a separate process under a private X server: every modifier row read from the
# server's own event state, exactly one Control+C / Control+V per gesture, held modifiers given back.
source "$(dirname "$0")/lib.sh"
start_x
start_tray
start_agent
start_recorder
out=$work/agent.out
rec=$work/recorder.out

# Zero-delay press and release with each modifier set: Control stands for Command, Super for
# Control, Alt for Option.
rows=(
  "shift:shift key is pressed"
  "super:control key is pressed"
  "alt:option key is pressed"
  "ctrl:Command key is pressed"
  "super shift:control-shift keys are pressed"
  "alt shift:option-shift keys are pressed"
  "ctrl shift:command-shift keys are pressed"
  "super alt:control-option keys are pressed"
  "super ctrl:control-command keys are pressed"
  "alt ctrl:option-command keys are pressed"
  "shift super alt:shift-control-option keys are pressed"
  "shift super ctrl:shift-control-command keys are pressed"
  "super alt ctrl:control-option-command keys are pressed"
  "shift alt ctrl:shift-command-option keys are pressed"
  "shift super alt ctrl:shift-control-option-command keys are pressed"
  ":no modifier keys are pressed"
)
xdotool mousemove 200 200
for row in "${rows[@]}"; do
  keys=${row%%:*} line=${row#*:}
  before=$(wc -l <"$out")
  down=() up=()
  for k in $keys; do down+=(keydown "$k"); up=(keyup "$k" "${up[@]}"); done
  xdotool "${down[@]}" mousedown 1 mouseup 1 "${up[@]}"
  wait_until "two lines for [$keys]" 10 test "$(wc -l <"$out")" -ge $((before + 2))
  got=$(tail -n +$((before + 1)) "$out")
  [ "$got" = "$line"$'\n'"$line" ] || fail "[$keys] wrote: $got"
done
sync_recorder
[ "$(count_lines "$rec" "keypress c state=0x4")" = 1 ] || fail "one copy expected"
[ "$(count_lines "$rec" "keypress v state=0x4")" = 1 ] || fail "one paste expected"
[ "$(grep -c -E '^keypress [cvCV] ' "$rec")" = 2 ] || fail "no other chord expected"
[ "$(keys_down)" = "down" ] || fail "keys left down: $(keys_down)"

# A paste with Shift held through the click: Control+V alone, then Shift is down again until the
# user lets go of it.
xdotool keydown ctrl keydown shift mousedown 1
wait_until "the paste" 10 has_lines "$rec" 2 "keypress v state=0x4"
[ "$(keys_down)" = "down Control_L Shift_L" ] || fail "after the paste: $(keys_down)"
xdotool mouseup 1 keyup shift keyup ctrl
sync_recorder
[ "$(keys_down)" = "down" ] || fail "keys left down: $(keys_down)"

# Zero-delay gestures let go of Control while the agent types: every chord still carries Control,
# exactly one per gesture, and nothing stays down.
copies_before=$(grep -c "^keypress c " "$rec" || true)
pastes_before=$(grep -c "^keypress v " "$rec" || true)
for _ in $(seq 20); do
  xdotool keydown ctrl mousedown 1 mouseup 1 keyup ctrl keydown ctrl keydown shift mousedown 1 \
    keyup shift keyup ctrl mouseup 1
done
wait_until "the last paste" 10 test "$(grep -c "^keypress v " "$rec")" -ge $((pastes_before + 20))
sync_recorder
[ "$(grep -c "^keypress c " "$rec")" = $((copies_before + 20)) ] || fail "not one copy per gesture"
[ "$(grep -c "^keypress v " "$rec")" = $((pastes_before + 20)) ] || fail "not one paste per gesture"
grep -E "^keypress [cv] state=0x[^4]" "$rec" && fail "a chord without Control alone"
[ "$(keys_down)" = "down" ] || fail "keys left down: $(keys_down)"

# A click with Caps Lock on is no gesture.
copies=$(grep -c "^keypress c " "$rec")
xdotool key Caps_Lock
before=$(wc -l <"$out")
xdotool keydown ctrl mousedown 1 mouseup 1 keyup ctrl
wait_until "the lines" 10 test "$(wc -l <"$out")" -ge $((before + 2))
sync_recorder
[ "$(grep -c "^keypress c " "$rec")" = "$copies" ] || fail "a click with Caps Lock copied"
[ "$(tail -n 1 "$out")" = "no modifier keys are pressed" ] || fail "Caps Lock: $(tail -n 1 "$out")"

# The tray icon's middle click is the status button: its line, then a copy that does not carry the
# Caps Lock still on. A left click opens the menu, and neither is a gesture.
wait_until "the tray icon" 10 tray_icon
icon=$(tray_icon)
before=$(wc -l <"$out")
xdotool mousemove --window "$icon" 11 11 click 1
wait_until "the menu on a left click" 10 menu_open
xdotool key Escape
wait_until "the menu to close" 10 test -z "$(menu_open)"
xdotool mousemove 512 700 mousemove --window "$icon" 11 11 click 2
wait_until "onClickedMenuBar" 10 has_lines "$out" 1 "onClickedMenuBar"
sync_recorder
caps_lock() { xset q | grep -o -E "Caps Lock: +(on|off)" | grep -o -E "on|off"; }
[ "$(caps_lock)" = on ] || fail "Caps Lock not locked again after the chord"
xdotool key Caps_Lock
[ "$(grep -c "^keypress c " "$rec")" = $((copies + 1)) ] || fail "the status button's copy"
[ "$(tail -n +$((before + 1)) "$out")" = "onClickedMenuBar" ] || fail "clicks on the icon were observed"
last_copy=$(grep "^keypress c " "$rec" | tail -n 1)
[ "$last_copy" = "keypress c state=0x4" ] || fail "Caps Lock rode along: $last_copy"
[ "$(keys_down)" = "down" ] || fail "keys left down: $(keys_down)"

# The maps change while the agent runs. Left-handed: the physical button 3 (Control held) is the
# primary one, and the physical button 1 (Shift held) makes no line.
xmodmap -e "pointer = 3 2 1" 2>/dev/null
sleep 0.3
before=$(wc -l <"$out")
xdotool mousemove 200 200 keydown shift mousedown 1 mouseup 1 keyup shift \
  keydown ctrl mousedown 3 mouseup 3 keyup ctrl
wait_until "the left-handed lines" 10 test "$(wc -l <"$out")" -ge $((before + 2))
sleep 0.3
[ "$(tail -n +$((before + 1)) "$out")" = "Command key is pressed"$'\n'"Command key is pressed" ] ||
  fail "left-handed: $(tail -n +$((before + 1)) "$out")"
xmodmap -e "pointer = 1 2 3" 2>/dev/null
# Super moved from Mod4 to Mod3 (empty until then): still read as Control, by its key.
xmodmap -e "remove mod4 = Super_L" -e "add mod3 = Super_L"
sleep 0.3
before=$(wc -l <"$out")
xdotool keydown super mousedown 1 mouseup 1 keyup super
wait_until "the remapped lines" 10 test "$(wc -l <"$out")" -ge $((before + 2))
[ "$(tail -n 1 "$out")" = "control key is pressed" ] || fail "after the remap: $(tail -n 1 "$out")"
xmodmap -e "remove mod3 = Super_L" -e "add mod4 = Super_L"
stop_agent
echo "ok"
