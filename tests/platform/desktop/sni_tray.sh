#!/usr/bin/env bash
# A StatusNotifierItem tray (the kind KDE, GNOME's AppIndicator extension, LXQt and waybar have):
# the icon registers with the watcher, the host draws our menu in its own window, its entries work
# over D-Bus, and clicks in that menu are not gestures, with or without Control.
source "$(dirname "$0")/lib.sh"
for tool in gtk-sni-tray-standalone status-notifier-watcher dbus-launch gdbus; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
rounds=${SNAPLARK_ROUNDS:-10}
start_x
eval "$(dbus-launch --sh-syntax)"
started+=("$DBUS_SESSION_BUS_PID")
watcher() {
  gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path /StatusNotifierWatcher \
    --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierWatcher "$1"
}
status-notifier-watcher >"$work/watcher.err" 2>&1 &
started+=($!)
wait_until "the StatusNotifierWatcher" 10 watcher IsStatusNotifierHostRegistered
# The host now and then gives up when it starts while the bus is still busy; it gets three tries.
host_up() {
  local try
  for try in 1 2 3; do
    gtk-sni-tray-standalone --top --end >"$work/host.err" 2>&1 &
    host=$!
    local deadline=$((SECONDS + 5))
    while kill -0 "$host" 2>/dev/null && [ $SECONDS -lt $deadline ]; do
      watcher IsStatusNotifierHostRegistered 2>/dev/null | grep -q true && { started+=("$host"); return 0; }
      sleep 0.1
    done
    kill "$host" 2>/dev/null || true
    wait "$host" 2>/dev/null || true
  done
  return 1
}
host_up || fail "the StatusNotifierItem host did not start"
start_agent
start_recorder
start_raw_watch
out=$work/agent.out

# Our item is registered, and its tool tip says whether the agent is suspended.
item() { watcher RegisteredStatusNotifierItems | grep -o "':[0-9.]*[^']*'" | tr -d "'" | head -n 1; }
wait_until "our item registered" 10 test -n "$(item)"
tooltip() {
  local name=${1%%/*} path=/${1#*/}
  [ "$path" = "/$1" ] && path=/StatusNotifierItem
  gdbus call --session --dest "$name" --object-path "$path" \
    --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem ToolTip
}
has_tooltip() { tooltip "$(item)" | grep -q "$1"; }
wait_until "the active tool tip" 10 has_tooltip "Snaplark is active"

# The host's bar is the window at the top; our icon is its last one.
host_menu() {
  local w
  for w in $(xdotool search --onlyvisible --classname gtk-sni-tray-standalone 2>/dev/null); do
    window_geometry "$w"
    [ "$HEIGHT" -gt 100 ] && { echo "$w"; return 0; }
  done
  return 1
}
open_host_menu() {
  xdotool mousemove 1012 15 click 3
  local deadline=$((SECONDS + 2))
  while [ $SECONDS -le $deadline ]; do
    host_menu >/dev/null && return 0
    sleep 0.05
  done
  return 1
}
# Clicks the menu's first entry, "Disable", with the modifier given.
click_disable() {
  wait_until "the host's menu" 10 open_host_menu
  local menu
  menu=$(host_menu)
  window_geometry "$menu"
  xdotool mousemove $((X + 60)) $((Y + 15)) ${1:+keydown $1} click 1 ${1:+keyup $1}
  wait_until "the host's menu to close" 10 sh -c "! xwininfo -id $menu 2>/dev/null | grep -q IsViewable"
}

for modifier in "" ctrl; do
  lines=$(wc -l <"$out") copies=$(raw_presses c)
  for ((round = 1; round <= rounds; round++)); do
    click_disable $modifier
    if ((round % 2)); then state="suspended"; else state="active"; fi
    wait_until "the tool tip to say $state" 10 has_tooltip "Snaplark is $state"
  done
  sync_raw
  [ "$(wc -l <"$out")" = "$lines" ] || fail "${modifier:-plain} clicks in the host's menu wrote lines"
  [ "$(raw_presses c)" = "$copies" ] || fail "${modifier:-plain} clicks in the host's menu typed a chord"
  echo "${modifier:-plain} clicks on a menu entry in the host: $rounds rounds, no line, no chord"
  ((rounds % 2 == 0)) || click_disable
done

# Once the menu has closed, gestures count again.
focus_recorder
copy_gesture
[ "$(raw_presses c)" -ge 1 ] || fail "no copy after the host's menu closed"
[ "$(keys_down)" = "down" ] || fail "keys left down: $(keys_down)"
stop_agent
echo "ok"
