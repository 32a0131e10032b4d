#!/usr/bin/env bash
# What stops the gestures reaches the user where they look: the agent is started on an X server
# without RECORD and XTEST, with no tray, in a session whose bus has a notification server and
# GNOME Shell's extension switch (tests/platform/desktop/session_services.py). Each problem gets a
# notification, the tool tip names it, a notification's button enables the GNOME extension, and
# the problem that ends is said to have ended.
source "$(dirname "$0")/lib.sh"
need dbus-launch gdbus /usr/bin/python3
eval "$(dbus-launch --sh-syntax)"
others+=("$DBUS_SESSION_BUS_PID")
services_log=$work/services.log
spawn services /usr/bin/python3 "$(dirname "$0")/session_services.py" "$services_log"
wait_until "the session's services" 10 grep -q ready "$services_log"

start_x -extension RECORD
spawn agent "$agent"
agent_pid=$!
notified() { grep '"Notify"' "$services_log" | grep -c -F "$1" || true; }
wait_until "a notification of the missing RECORD extension" 20 \
  eval '[ "$(notified "no RECORD extension")" = 1 ]'
[ "$(notified "no XTEST extension")" = 1 ] || fail "no notification of the missing XTEST extension"

# The tool tip, as a shell drawing the menu reads it, names what is missing.
tool_tip=$(gdbus call --session --dest example.snaplark.Snaplark --object-path \
  /example/snaplark/StatusMenu --method org.freedesktop.DBus.Properties.Get \
  example.snaplark.StatusMenu ToolTip)
grep -q "no RECORD extension" <<<"$tool_tip" || fail "the tool tip does not name it: $tool_tip"

# With no tray, the icon is nowhere: said once, with a button that enables GNOME's extension
# (GNOME 43 here: its older form); once the extension shows the icon, that is said to be over.
wait_until "a notification that no tray shows the icon" 20 \
  eval '[ "$(notified "No tray shows Snaplark" )" = 1 ]'
grep -q '"Enable the GNOME extension"' "$services_log" || fail "the notification has no button"
wait_until "the GNOME extension enabled" 10 \
  grep -q '"EnableExtension", "args": \["snaplark-legacy@snaplark.example"\]' "$services_log"
wait_until "the end of that problem said" 10 eval '[ "$(notified "Snaplark works again")" = 1 ]'
grep '"Snaplark works again"' "$services_log" | grep -q "No tray shows" ||
  fail "the notification of its end does not say what ended"
[ "$(notified "no RECORD extension")" = 1 ] || fail "a lasting problem was notified twice"
stop_agent
echo "ok"
