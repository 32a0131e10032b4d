#!/usr/bin/env bash
# A StatusNotifierItem tray (KDE, GNOME's AppIndicator, LXQt, waybar) draws our menu in its own
# window: entries work over D-Bus, Control-clicks there are no gestures (SNAPLARK_ROUNDS pairs).
source "$(dirname "$0")/lib.sh"
need gtk-sni-tray-standalone status-notifier-watcher dbus-launch gdbus
start_x
eval "$(dbus-launch --sh-syntax)"
others+=("$DBUS_SESSION_BUS_PID")
watcher() {
  gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
    --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher "$1"
}
spawn watcher status-notifier-watcher
wait_until "the StatusNotifierWatcher" 10 watcher IsStatusNotifierHostRegistered
# The host now and then gives up when it starts while the bus is still busy; it gets three tries.
for try in 1 2 3 none; do
  [ "$try" != none ] || fail "the StatusNotifierItem host did not start"
  spawn host gtk-sni-tray-standalone --top --end
  poll 5 eval 'watcher IsStatusNotifierHostRegistered | grep -q true' && break
  kill $! 2>/dev/null || true
done
start_agent
start_recorder

# Our item, registered; its tool tip says whether the agent is suspended.
has_tooltip() {
  local item
  item=$(watcher RegisteredStatusNotifierItems | grep -o "':[0-9.]*'" | tr -d "'" | head -n 1)
  gdbus call --session --dest "$item" --object-path /StatusNotifierItem --method \
    org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem ToolTip | grep -q "$1"
}
wait_until "our item, active" 10 has_tooltip "Snaplark is active"

# Our icon is the last one of the host's bar at the top; the menu it opens is its tall window.
host_menu() { window_of gtk-sni-tray-standalone "Height: [0-9]{3,}$"; }
lines=$(wc -l <"$agent_out")
for ((round = 0; round < ${SNAPLARK_ROUNDS:-5}; round++)); do
  for state in suspended active; do
    wait_until "the host's menu" 10 eval 'xdotool mousemove 1012 15 click 3; poll 2 host_menu'
    menu=$(host_menu)
    window_geometry "$menu"
    # Its first entry: Disable, or Enable once disabled.
    xdotool mousemove $((X + 60)) $((Y + 15)) keydown ctrl click 1 keyup ctrl
    wait_until "the host's menu to close" 10 eval '! xwininfo -id "$menu" | grep -q IsViewable'
    wait_until "the tool tip to say $state" 10 has_tooltip "Snaplark is $state"
  done
done
# Clicks settle in order: once a probe's two lines are out, any line before them is too.
probe_click || fail "no lines for a click after the rounds"
[ "$(wc -l <"$agent_out")" = $((lines + 2)) ] || fail "clicks in the host's menu were observed"
focus_recorder
gesture ctrl
[ "$(typed "c state=0x4")" = 1 ] || fail "no copy after the host's menu closed"
stop_agent
echo "ok"
