#!/usr/bin/env bash
# The settings file as other programs and people leave it: hand-edited values, changes while the
# agent runs, a file that cannot be parsed; and, run as an unprivileged user, a file it may not
# read and a folder it may not write.
source "$(dirname "$0")/lib.sh"
start_x
start_tray
both() {
  gesture ctrl
  gesture ctrl shift
}
expect() { [ "$(typed "c state=0x4")/$(typed "v state=0x4")" = "$1" ] || fail "$2: not $1 copies/pastes"; }

# Hand-edited ("no" is false, "YES" true), then changed by other programs while the agent runs:
# the next gesture follows the file.
printf '[General]\nboolEnableCopy=no\nboolEnablePaste=YES\n' >"$settings"
start_agent
start_recorder
both
expect 0/1 "hand-edited values"
printf '[General]\nboolEnableCopy=true\nboolEnablePaste=false\n' >"$settings"
both
expect 1/1 "after an outside change"
# An editor that saves by renaming a new file over the old one, a file taken away (the switches
# keep their values) and one put back.
printf '[General]\nboolEnableCopy=false\nboolEnablePaste=2\n' >"$settings.new"
mv "$settings.new" "$settings"
both
expect 1/2 "after a rename"
rm "$settings"
both
expect 1/3 "after removal"
printf '[General]\nboolEnableCopy=1\n' >"$settings"
both
expect 2/4 "after the file came back"
stop_agent
stop_recorder

# A file that cannot be parsed: one message, both gestures on, the file untouched until a click in
# the preferences window keeps it aside and writes a new one.
printf '[General\nboolEnableCopy=false\n' >"$settings"
cp "$settings" "$work/corrupt"
start_agent corrupt
start_recorder
both
both
expect 2/2 "with an unreadable file"
[ "$(grep -c "settings file" "$work/corrupt.err")" = 1 ] || fail "the unreadable file not reported once"
cmp -s "$settings" "$work/corrupt" || fail "the unreadable file was changed"
click_copy_checkbox
wait_until "the new settings file" 10 grep -q "^boolEnableCopy=false" "$settings"
kept=$(ls "$settings".unreadable-* 2>/dev/null | head -n 1)
[ -n "$kept" ] && cmp -s "$kept" "$work/corrupt" || fail "the unreadable file was not kept"
stop_agent
stop_recorder

[ "$(id -u)" = 0 ] && command -v setpriv >/dev/null || { echo "skipped: needs root and setpriv"; exit 77; }
home=$work/nobody
settings=$home/config/Snaplark/Snaplark.conf
mkdir -p -m 700 "$home/config/Snaplark" "$home/runtime"
chmod 755 "$work"
chown -R nobody:nogroup "$home"
# Replaces the (background) shell it runs in, so that the agent's pid is the one started.
as_nobody() {
  exec setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/runtime" "$@"
}
start_recorder

# A file it may not read: one message, both gestures on, the file untouched.
printf '[General]\nboolEnableCopy=false\n' >"$settings"
chown root:root "$settings"
chmod 600 "$settings"
start_agent unreadable as_nobody
gesture ctrl
gesture ctrl
expect 2/0 "with a file it may not read"
[ "$(grep -c "settings file" "$work/unreadable.err")" = 1 ] || fail "the file it may not read not reported once"
grep -q "^boolEnableCopy=false$" "$settings" || fail "the file it may not read changed"
stop_agent

# A folder it may not write: the click is reported once and still switches copy off.
rm "$settings"
chown root:root "$home/config/Snaplark"
chmod 755 "$home/config/Snaplark"
start_agent readonly as_nobody
click_copy_checkbox
wait_until "the failure reported" 10 grep -q "cannot save the setting" "$work/readonly.err"
focus_recorder
gesture ctrl
expect 2/0 "after a click it could not save"
[ "$(grep -c "cannot save" "$work/readonly.err")" = 1 ] || fail "the failure not reported once"
[ ! -e "$settings" ] || fail "a settings file appeared"
stop_agent
echo "ok"
