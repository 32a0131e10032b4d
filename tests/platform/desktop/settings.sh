#!/usr/bin/env bash
# The settings file as other programs and people leave it: hand-edited values, a file that cannot
# be parsed (reported once, read as holding nothing, kept aside when a click writes a new one).
source "$(dirname "$0")/lib.sh"
start_x
start_tray
settings=$XDG_CONFIG_HOME/Snaplark/Snaplark.conf
mkdir -p "$(dirname "$settings")"

gesture() {
  local before
  before=$(wc -l <"$agent_out")
  xdotool mousemove 200 200 keydown ctrl mousedown 1 mouseup 1 keyup ctrl
  xdotool keydown ctrl keydown shift mousedown 1 mouseup 1 keyup shift keyup ctrl
  wait_until "the gestures' lines" 10 test "$(wc -l <"$agent_out")" -ge $((before + 4))
  sync_recorder
}
copies() { count_lines "$work/recorder.out" "keypress c state=0x4"; }
pastes() { count_lines "$work/recorder.out" "keypress v state=0x4"; }

# Hand-edited: "no" is false, "YES" is true.
printf '[General]\nboolEnableCopy=no\nboolEnablePaste=YES\n' >"$settings"
start_agent
start_recorder
gesture
[ "$(copies)/$(pastes)" = "0/1" ] || fail "hand-edited values: copies/pastes $(copies)/$(pastes)"
stop_agent
stop_recorder

# Changed by another program while the agent runs: the next gesture follows the file.
start_agent
start_recorder
printf '[General]\nboolEnableCopy=true\nboolEnablePaste=false\n' >"$settings"
gesture
[ "$(copies)/$(pastes)" = "1/0" ] || fail "after an outside change: copies/pastes $(copies)/$(pastes)"
# An editor that saves by renaming a new file over the old one, and a file taken away: the
# agent keeps what it read only as long as nothing in the folder changed.
printf '[General]\nboolEnableCopy=false\nboolEnablePaste=2\n' >"$settings.new"
mv "$settings.new" "$settings"
gesture
[ "$(copies)/$(pastes)" = "1/1" ] || fail "after a rename: copies/pastes $(copies)/$(pastes)"
rm "$settings"
gesture
[ "$(copies)/$(pastes)" = "1/2" ] || fail "after removal (switches keep their values): $(copies)/$(pastes)"
printf '[General]\nboolEnableCopy=1\n' >"$settings"
gesture
[ "$(copies)/$(pastes)" = "2/3" ] || fail "after the file came back: copies/pastes $(copies)/$(pastes)"
stop_agent
stop_recorder

# A file that cannot be parsed: one message, both gestures enabled, the file untouched.
printf '[General\nboolEnableCopy=false\n' >"$settings"
cp "$settings" "$work/corrupt"
start_agent corrupt
start_recorder
gesture
gesture
[ "$(copies)/$(pastes)" = "2/2" ] || fail "with an unreadable file: copies/pastes $(copies)/$(pastes)"
[ "$(grep -c "settings file" "$work/corrupt.err")" = 1 ] || fail "not reported once: $(cat "$work/corrupt.err")"
cmp -s "$settings" "$work/corrupt" || fail "the unreadable file was changed"

# A click in the preferences window keeps the old file aside and writes a new one.
click_copy_checkbox
wait_until "the new settings file" 10 grep -q "^boolEnableCopy=false" "$settings"
kept=$(ls "$settings".unreadable-* 2>/dev/null | head -n 1)
[ -n "$kept" ] && cmp -s "$kept" "$work/corrupt" || fail "the unreadable file was not kept"
stop_agent
echo "ok"
