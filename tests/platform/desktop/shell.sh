#!/usr/bin/env bash
# The process's life and its settings file: no display, no RECORD and XTEST, no tray, two agents at
# once, the file as programs and people leave it, SIGTERM with a modal alert or the menu open, Quit,
# the X server dying; as an unprivileged user, a file it may not read, a folder it may not write.
source "$(dirname "$0")/lib.sh"
status=0
DISPLAY=:4242 "$agent" >"$work/nodisplay.out" 2>"$work/nodisplay.err" || status=$?
[ "$status/$(wc -l <"$work/nodisplay.err")" = "1/1" ] || fail "without a display: status $status"
grep -q 'cannot open the X display ":4242"' "$work/nodisplay.err" || fail "no display message"

# Without RECORD (Xvfb drops XTEST with it): what is missing and what follows, and the tray icon.
start_x -extension RECORD
start_tray
spawn norecord "$agent"
agent_pid=$!
wait_until "the tray icon" 10 tray_icon
grep -q "no RECORD extension, so mouse gestures cannot be observed" "$work/norecord.err" &&
  grep -q "no XTEST extension" "$work/norecord.err" || fail "RECORD and XTEST not named"
grep -q "^Xlib" "$work/norecord.err" && fail "Xlib's own complaint leaked through"
stop_agent

start_x
start_agent notray
[ "$(grep -c "no system tray" "$work/notray.err")" = 1 ] || fail "the missing tray is not reported once"
stop_agent
start_tray

# Two agents at the same instant: exactly one runs; the other says why and exits with 1.
spawn a "$agent"
spawn b "$agent"
status=0
wait -n -p loser "${started[@]: -2}" || status=$?
[ "$status" = 1 ] || fail "the agent that gave way exited with $status"
grep -q "already running" "$work/a.err" "$work/b.err" || fail "the agent that gave way did not say why"
agent_pid=${started[-2]} agent_out=$work/a.out
[ "$loser" != "$agent_pid" ] || agent_pid=${started[-1]} agent_out=$work/b.out
wait_until "the remaining agent to observe clicks" 10 probe_click

start_recorder
# expect COPIES/PASTES WHAT: a copy and a paste gesture, then the totals the recorder holds.
expect() {
  gesture ctrl
  gesture ctrl shift
  [ "$(typed "c state=0x4")/$(typed "v state=0x4")" = "$1" ] || fail "$2: not $1 copies/pastes"
}
# Hand-edited values ("no" false, "YES" and "2" true), written, renamed over as editors save, taken
# away (the switches keep their values) and put back while the agent runs.
printf '[General]\nboolEnableCopy=no\nboolEnablePaste=YES\n' >"$settings"
expect 0/1 "hand-edited values"
printf '[General]\nboolEnableCopy=true\nboolEnablePaste=false\n' >"$settings.new"
mv "$settings.new" "$settings"
expect 1/1 "after a rename"
rm "$settings"
expect 2/1 "after removal"
printf '[General]\nboolEnableCopy=0\nboolEnablePaste=2\n' >"$settings"
expect 2/2 "after the file came back"

# A Control-click in the preferences window is no gesture, and saves the copy switch alone.
before=$(wc -l <"$agent_out")
click_copy_checkbox ctrl
wait_until "the copy switch saved" 10 grep -q "^boolEnableCopy=true" "$settings"
probe_click || fail "no lines after the preferences click"
[ "$(wc -l <"$agent_out")" = $((before + 2)) ] || fail "a click in the agent's own window was observed"
grep -q "^boolEnablePaste=2" "$settings" || fail "the paste switch was written"

# SIGTERM while the About alert runs its modal loop, and while the tray menu is open.
menu_choose 8
wait_until "the About alert" 10 alert_open
stop_agent
start_agent menu
wait_until "the tray menu" 10 open_menu
stop_agent

# A file that cannot be parsed: one message, both gestures on, the file kept until a click.
printf '[General\nboolEnableCopy=false\n' >"$settings"
cp "$settings" "$work/corrupt"
start_agent corrupt
focus_recorder
expect 3/3 "with an unparsable file"
expect 4/4 "with an unparsable file"
[ "$(grep -c "settings file" "$work/corrupt.err")" = 1 ] || fail "the unreadable file not reported once"
cmp -s "$settings" "$work/corrupt" || fail "the unreadable file was changed"
click_copy_checkbox
wait_until "the new settings file" 10 grep -q "^boolEnableCopy=false" "$settings"
cmp -s "$settings".unreadable-* "$work/corrupt" || fail "the unreadable file was not kept"

# Quit exits 0 and writes nothing; nor does an agent whose X server dies: it exits at once, says
# why, with a failure status (no core dump).
cp "$settings" "$work/settings.before"
menu_choose -1
wait "$agent_pid" || fail "Quit exited with status $?"
cmp -s "$settings" "$work/settings.before" || fail "Quit changed the settings"
start_agent dying
kill -KILL "$x_pid"
status=0
wait "$agent_pid" || status=$?
[ "$status" -ne 0 ] && [ "$status" -lt 128 ] || fail "the agent ended with status $status"
grep -q -E "lost the connection to the X display|X11 connection broke" "$work/dying.err" || fail "no reason"
cmp -s "$settings" "$work/settings.before" || fail "the dying agent changed the settings"

# The rest runs the agent as another user; without root the checks above still count.
[ "$(id -u)" = 0 ] && command -v setpriv >/dev/null || { echo "skipped: unreadable settings (needs root and setpriv)"; exit 0; }
start_x
start_tray
start_recorder
# A file it may not read in a folder it may not write: each reported once, both gestures on, a
# click still switches copy off, the file untouched.
home=$work/nobody
settings=$home/config/Snaplark/Snaplark.conf
mkdir -p "$home/config/Snaplark"
mkdir -m 700 "$home/runtime"
chown nobody "$home/runtime"
chmod 755 "$work"
printf '[General]\nboolEnableCopy=false\n' >"$settings"
chmod 600 "$settings"
# Replaces the (background) shell it runs in, so that the agent's pid is the one started.
as_nobody() {
  exec setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/runtime" "$@"
}
start_agent nobody as_nobody
expect 1/1 "with a file it may not read"
click_copy_checkbox
wait_until "the failure reported" 10 grep -q "cannot save the setting" "$work/nobody.err"
focus_recorder
expect 1/2 "after a click it could not save"
[ "$(grep -c "settings file" "$work/nobody.err")/$(grep -c "cannot save" "$work/nobody.err")" = 1/1 ] ||
  fail "not reported once each"
grep -q "^boolEnableCopy=false$" "$settings" || fail "the file it may not read changed"
stop_agent
echo "ok"
