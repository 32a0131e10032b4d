#!/usr/bin/env bash
# End to end with a GTK application from Debian: Control+drag over a text field's text copies it
# to the clipboard, and Control+Shift+click in another field pastes it.
source "$(dirname "$0")/lib.sh"
need zenity xclip
start_x
start_agent

# A zenity entry dialog titled $1 holding $2, moved to $3,$4; sets X and Y to its place.
open_entry() {
  spawn "$1" zenity --entry --title "$1" --text "$1" --entry-text "$2"
  wait_until "the $1 dialog" 20 xdotool search --onlyvisible --name "^$1\$"
  xdotool search --onlyvisible --name "^$1\$" windowmove --sync %1 "$3" "$4"
  eval "$(xdotool search --onlyvisible --name "^$1\$" getwindowgeometry --shell %1)"
}

open_entry source "copied by snaplark" 100 300
xdotool mousemove $((X + 12)) $((Y + 52)) keydown ctrl mousedown 1 \
  mousemove $((X + 90)) $((Y + 52)) mousemove $((X + 185)) $((Y + 52)) mouseup 1
wait_until "the clipboard to hold the text" 10 eval '[ "$(xclip -o -selection clipboard)" = "copied by snaplark" ]'
xdotool keyup ctrl

open_entry target "" 500 300
xdotool mousemove $((X + 97)) $((Y + 52)) keydown ctrl keydown shift mousedown 1 mouseup 1 \
  keyup shift keyup ctrl
# Selecting the field's text publishes it as the PRIMARY selection (the drag set it already).
echo -n "unset" | xclip -selection primary
wait_until "the pasted text in the target field" 10 \
  eval 'xdotool key ctrl+a && [ "$(xclip -o -selection primary)" = "copied by snaplark" ]'
echo "ok"
