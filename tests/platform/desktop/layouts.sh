#!/usr/bin/env bash
# The chords follow the keyboard layout: the focused client sees the keysyms c and v with Control,
# in whichever layout and group is active, and the key in the C/V position where the layout has no
# Latin c or v (what applications match there). Layout and group changes while the agent runs.
source "$(dirname "$0")/lib.sh"
command -v setxkbmap >/dev/null || { echo "skipped: setxkbmap is not installed"; exit 77; }
start_x
start_agent
start_recorder
rec=$work/recorder.out

# gesture GROUP MODIFIERS...: holds the modifiers and clicks with GROUP active. xdotool presses
# the modifiers while the first group is active: where the active group lacks a keysym it remaps
# a spare key to type it, and the agent would read that passing map.
gesture() {
  local group=$1 key
  shift
  for key in "$@"; do xdotool keydown "$key"; done
  "$recorder" --lock-group "$group"
  xdotool mousedown 1 mouseup 1
  "$recorder" --lock-group 0
  for key in "$@"; do xdotool keyup "$key"; done
}

# chords LAYOUT VARIANT GROUP COPY PASTE: after switching, one copy and one paste reach the client
# as these keysyms with Control.
chords() {
  setxkbmap -layout "$1" ${2:+-variant "$2"}
  local copies pastes
  copies=$(count_lines "$rec" "keypress $4 state=0x4")
  pastes=$(count_lines "$rec" "keypress $5 state=0x4")
  gesture "$3" ctrl
  gesture "$3" ctrl shift
  sync_recorder
  [ "$(count_lines "$rec" "keypress $4 state=0x4")" = $((copies + 1)) ] ||
    fail "layout $1 ${2:-} group $3: no copy as $4: $(grep -E '^keypress .* state=0x4' "$rec" | tail -n 2)"
  [ "$(count_lines "$rec" "keypress $5 state=0x4")" = $((pastes + 1)) ] ||
    fail "layout $1 ${2:-} group $3: no paste as $5: $(grep -E '^keypress .* state=0x4' "$rec" | tail -n 2)"
  echo "layout $1 ${2:-} group $3: $4 and $5"
}

xdotool mousemove 200 200
chords us "" 0 c v
chords us dvorak 0 c v
chords us colemak 0 c v
chords de "" 0 c v
chords fr "" 0 c v
chords ru "" 0 Cyrillic_es Cyrillic_em
chords gr "" 0 Greek_psi Greek_omega
# Two groups at once: the active one decides.
chords us,us ,dvorak 1 c v
chords us,us ,dvorak 0 c v
chords us,ru "" 1 Cyrillic_es Cyrillic_em
chords us,ru "" 0 c v
setxkbmap -layout us
[ "$(keys_down)" = "down" ] || fail "keys left down: $(keys_down)"
stop_agent
echo "ok"
