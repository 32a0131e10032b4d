#!/usr/bin/env bash
# Settings the agent may not read or write: run as an unprivileged user, an unreadable file is
# reported once and left alone, and a click that cannot be saved is reported once while the
# switch still follows it for the rest of the run.
source "$(dirname "$0")/lib.sh"
[ "$(id -u)" = 0 ] && command -v setpriv >/dev/null || { echo "skipped: needs root and setpriv"; exit 77; }
start_x
start_tray

# The agent runs as nobody, with a configuration directory of its own.
home=$work/nobody
mkdir -p "$home/config/Snaplark" "$home/runtime"
chmod 755 "$work"
chown -R nobody:nogroup "$home"
chmod 700 "$home/runtime"
# Replaces the (background) shell it runs in, so that the agent's pid is the one started.
exec_as_nobody() {
  exec setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/runtime" "$@"
}
settings=$home/config/Snaplark/Snaplark.conf
agent_as_nobody() {
  agent_out=$work/$1.out
  exec_as_nobody "$agent" >"$agent_out" 2>"$work/$1.err" &
  agent_pid=$!
  started+=($agent_pid)
  wait_until "the agent to observe clicks" 10 probe_click "$agent_out"
}
start_recorder
copies() { count_lines "$work/recorder.out" "keypress c state=0x4"; }

# A file it may not read: one message, both gestures on, the file untouched.
printf '[General]\nboolEnableCopy=false\n' >"$settings"
chown root:root "$settings"
chmod 600 "$settings"
agent_as_nobody unreadable
copy_gesture
copy_gesture
[ "$(copies)" = 2 ] || fail "copies with an unreadable file: $(copies)"
[ "$(grep -c "settings file" "$work/unreadable.err")" = 1 ] || fail "not reported once: $(cat "$work/unreadable.err")"
grep -q "^boolEnableCopy=false$" "$settings" || fail "the unreadable file changed"
stop_agent

# A directory it may not write: the click is reported once and still switches copy off.
rm -f "$settings"
chown root:root "$home/config/Snaplark"
chmod 755 "$home/config/Snaplark"
agent_as_nobody readonly
focus_recorder
click_copy_checkbox
wait_until "the failure reported" 10 grep -q "cannot save the setting" "$work/readonly.err"
focus_recorder
before=$(copies)
copy_gesture
[ "$(copies)" = "$before" ] || fail "the copy switch did not follow the unsaved click"
[ "$(grep -c "cannot save" "$work/readonly.err")" = 1 ] || fail "not reported once"
[ ! -e "$settings" ] || fail "a settings file appeared"
stop_agent
echo "ok"
