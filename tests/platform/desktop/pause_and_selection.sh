#!/usr/bin/env bash
# Copy only after a selection, and pausing the gestures in one application, with real X events:
# a Control + click in place copies nothing with the switch on, a drag or a double click does;
# "Pause in …" from the tray menu stops both gestures in that application while another still
# copies; the paused list lives in the settings file and outlives the agent; a value there that is
# not a list pauses nothing.
source "$(dirname "$0")/lib.sh"
start_x
start_tray
start_agent
start_recorder Notes
copies() { typed "c state=0x4"; }

printf '[General]\nboolCopyOnlyAfterSelection=true\n' >"$settings"
focus_recorder
gesture ctrl
[ "$(copies)" = 0 ] || fail "a Control + click in place copied with the switch on"
# A drag of 40 pixels, well past Qt's drag distance (10 by default).
before=$(wc -l <"$agent_out")
xdotool mousemove 300 700 keydown ctrl mousedown 1 mousemove 340 700 mouseup 1
wait_until "the drag's lines" 10 out_has $((before + 2))
sync_recorder
xdotool keyup ctrl
[ "$(copies)" = 1 ] || fail "a Control + drag did not copy"
# A double click in place: its second release ends a word's selection.
before=$(wc -l <"$agent_out")
xdotool mousemove 320 700 keydown ctrl click --repeat 2 --delay 80 1
wait_until "the double click's lines" 10 out_has $((before + 4))
sync_recorder
xdotool keyup ctrl
[ "$(copies)" = 2 ] || fail "a Control + double click did not copy once: $(copies)"
printf '[General]\nboolCopyOnlyAfterSelection=false\n' >"$settings"
gesture ctrl
[ "$(copies)" = 3 ] || fail "a Control + click did not copy with the switch off"

# "Pause in Notes" (the focused window's class) from the tray menu: nothing typed in Notes, the
# entry on the menu for it says "Resume".
focus_recorder
menu_choose -2
wait_until "the paused list in the settings file" 10 grep -q '^arrayPausedApplications=.*Notes' "$settings"
gesture ctrl
gesture ctrl shift
[ "$(copies)/$(typed "v state=0x4")" = 3/0 ] || fail "a gesture typed in the paused application"

# Another application still copies.
notes_rec=$rec
rec=$work/other.out
start_recorder Other
gesture ctrl
[ "$(copies)" = 1 ] || fail "the other application did not copy"

# The list outlives the agent; a value that is not such a list pauses nothing.
stop_agent
start_agent again
rec=$notes_rec
focus_recorder
gesture ctrl
[ "$(copies)" = 3 ] || fail "Notes was not paused any more after a restart"
printf '[General]\narrayPausedApplications=42\n' >"$settings"
gesture ctrl
[ "$(copies)" = 4 ] || fail "a malformed list paused something"
stop_agent
echo "ok"
