# Shared by the Windows end-to-end test and the latency benchmark: a private X server with a
# window manager and a notification area, the build's Wine prefix with a wineserver that stays
# up between programs, the test pad and the agent. Source it, then call wine_session_start BUILD.
# Every wait has a deadline; nothing here sleeps blindly except to pace the pointer.

wine_session_fail() {
  echo "FAIL: $*" >&2
  for log in "$WINE_SESSION_DIR"/*.log "$WINE_SESSION_DIR"/*.err; do
    [ -s "$log" ] && { echo "--- $log"; tail -n 30 "$log"; } >&2
  done
  exit 1
}

# wait_for SECONDS DESCRIPTION COMMAND...: runs COMMAND until it succeeds.
wait_for() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || wine_session_fail "$what (waited ${seconds}s)"
    sleep 0.1
  done
}

wine_session_stop() {
  local pid
  for pid in ${WINE_SESSION_PIDS:-}; do kill "$pid" 2>/dev/null || true; done
  for pid in ${WINE_SESSION_PIDS:-}; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$WINE_SESSION_DIR"
}

wine_session_start() {
  local build=$1
  for tool in Xvfb openbox trayer xdotool xclip xwininfo xdpyinfo wine wineserver; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
  WINE_SESSION_BUILD=$(cd "$build" && pwd)
  WINE_SESSION_DIR=$(mktemp -d)
  WINE_SESSION_PIDS=""
  trap wine_session_stop EXIT
  export WINEPREFIX=${WINEPREFIX:-$WINE_SESSION_BUILD/wineprefix}
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

  local display=90
  while [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ]; do display=$((display + 1)); done
  export DISPLAY=:$display
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  WINE_SESSION_PIDS="$!"
  wait_for 10 "the X server starts" xdpyinfo
  # Without a window manager Wine waits two seconds on every window it closes.
  openbox >/dev/null 2>&1 &
  WINE_SESSION_PIDS="$! $WINE_SESSION_PIDS"
  trayer --edge top --align left --widthtype pixel --width 120 --heighttype pixel --height 24 \
    --SetDockType true >/dev/null 2>&1 &
  WINE_SESSION_PIDS="$! $WINE_SESSION_PIDS"
  wait_for 10 "the notification area appears" bash -c 'xwininfo -root -tree | grep -q "\"panel\": (\"panel\" \"trayer\")"'

  # The prefix is made once and reused; its first start is the slow part of Wine.
  [ -f "$WINEPREFIX/system.reg" ] || { wineboot -i >/dev/null 2>&1; wineserver -w; }
  # Refused (status 2) when a wineserver of this prefix already runs; that one serves as well.
  wineserver -p10 || true
}

# Starts the test pad; its lines go to $WINE_SESSION_DIR/pad.log.
start_pad() {
  wine "$WINE_SESSION_BUILD/tests/snaplark_testpad.exe" "$@" >"$WINE_SESSION_DIR/pad.log" 2>/dev/null &
  PAD_PID=$!
  WINE_SESSION_PIDS="$PAD_PID $WINE_SESSION_PIDS"
  wait_for 30 "the test pad starts" grep -q '^ready' "$WINE_SESSION_DIR/pad.log"
  wait_for 30 "the test pad's window is mapped" xwininfo -name "Snaplark test pad"
  # Where the window manager has put it, once it stays there.
  local geometry="" previous=none deadline=$((SECONDS + 10))
  while [ "$geometry" != "$previous" ]; do
    [ $SECONDS -lt $deadline ] || wine_session_fail "the test pad's window does not settle"
    previous=$geometry
    sleep 0.2
    geometry=$(xwininfo -name "Snaplark test pad" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} END{print x, y}')
  done
  read -r PAD_X PAD_Y <<<"$geometry"
  # The text field's first line, and a point past the end of its text.
  FIELD_LEFT=$((PAD_X + 12))
  FIELD_RIGHT=$((PAD_X + 560))
  FIELD_Y=$((PAD_Y + 25))
}

# Starts the agent; its standard output goes to $WINE_SESSION_DIR/agent.log.
start_agent() {
  wine "$WINE_SESSION_BUILD/snaplark.exe" >"$WINE_SESSION_DIR/agent.log" 2>"$WINE_SESSION_DIR/agent.err" &
  AGENT_PID=$!
  WINE_SESSION_PIDS="$AGENT_PID $WINE_SESSION_PIDS"
  # Watching once a click in the pad is reported.
  local deadline=$((SECONDS + 30))
  until grep -q 'no modifier keys are pressed' "$WINE_SESSION_DIR/agent.log"; do
    [ $SECONDS -lt $deadline ] || wine_session_fail "the agent does not report clicks"
    xdotool mousemove "$FIELD_RIGHT" "$FIELD_Y" click 1
    sleep 0.3
  done
}

# Lines in a log without Wine's carriage returns.
log_lines() { tr -d '\r' <"$WINE_SESSION_DIR/$1.log"; }
count_lines() { log_lines "$1" | grep -c -x -- "$2" || true; }
