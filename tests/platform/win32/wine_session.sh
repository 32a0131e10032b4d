# For the Windows end-to-end test and the latency benchmark: a private X server with a window
# manager and a notification area, Wine, the test pad and the agent. Every wait has a deadline.

wine_session_fail() {
  echo "FAIL: $*" >&2
  tail -n 30 "$WINE_SESSION_DIR"/*.log "$WINE_SESSION_DIR"/*.err >&2
  exit 1
}
fail() { wine_session_fail "$@"; }
not() { ! "$@"; }

wait_for() {
  local seconds=$1 what=$2 deadline=$((SECONDS + $1))
  shift 2
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || wine_session_fail "$what (waited ${seconds}s)"
    sleep 0.1
  done
}

# session_run NAME COMMAND...: in the background until the session ends, output to NAME.log.
session_run() {
  local name=$1
  shift
  "$@" >"$WINE_SESSION_DIR/$name.log" 2>"$WINE_SESSION_DIR/$name.err" &
  WINE_SESSION_PIDS="$! ${WINE_SESSION_PIDS:-}"
}

wine_session_stop() {
  kill $WINE_SESSION_PIDS 2>/dev/null
  wait $WINE_SESSION_PIDS 2>/dev/null
  rm -rf "$WINE_SESSION_DIR"
}

wine_session_start() {
  for tool in Xvfb openbox trayer xdotool xclip xwininfo xdpyinfo wine wineserver; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
  WINE_SESSION_BUILD=$(cd "$1" && pwd)
  WINE_SESSION_DIR=$(mktemp -d)
  trap wine_session_stop EXIT
  export WINEPREFIX=${WINEPREFIX:-$WINE_SESSION_BUILD/wineprefix}
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  local display=90
  while [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ]; do display=$((display + 1)); done
  export DISPLAY=:$display
  session_run xvfb Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp
  wait_for 10 "the X server starts" xdpyinfo
  # Without a window manager Wine waits two seconds on every window it closes.
  session_run openbox openbox
  session_run trayer trayer --edge top --align left --widthtype pixel --width 120 \
    --heighttype pixel --height 24 --SetDockType true
  wait_for 10 "the notification area appears" bash -c 'xwininfo -root -tree | grep -q "(\"panel\" \"trayer\")"'
  # The prefix is made once and reused. A wineserver left from programs run without this display
  # would keep their desktop, where our windows never show: ours starts afresh and stays up.
  [ -f "$WINEPREFIX/system.reg" ] || { wineboot -i >/dev/null 2>&1; wineserver -w; }
  wineserver -k 2>/dev/null || true
  wineserver -p10
}

# corner XWININFO_ARGS...: a window's upper-left corner on the root window, as "X Y".
corner() { xwininfo "$@" | awk '/Absolute upper-left [XY]/{printf "%s ", $NF} END {print ""}'; }
# steady VAR COMMAND...: true once the command prints what it printed at the last look, which VAR
# keeps (a window the window manager has left in place, a picture drawn to the end).
steady() {
  local previous=${!1:-}
  printf -v "$1" %s "$("${@:2}")"
  [ -n "${!1}" ] && [ "${!1}" = "$previous" ]
}

# Starts the test pad and sets FIELD_LEFT, FIELD_RIGHT (past the end of its text) and FIELD_Y.
start_pad() {
  session_run pad wine "$WINE_SESSION_BUILD/tests/snaplark_testpad.exe"
  wait_for 30 "the test pad starts" grep -q '^ready' "$WINE_SESSION_DIR/pad.log"
  wait_for 30 "the test pad's window settles" steady PAD_GEOMETRY corner -name "Snaplark test pad"
  read -r PAD_X PAD_Y <<<"$PAD_GEOMETRY"
  FIELD_LEFT=$((PAD_X + 12)) FIELD_RIGHT=$((PAD_X + 560)) FIELD_Y=$((PAD_Y + 25))
}

# Starts the agent and waits until it reports a click of BUTTON (default 1) in the pad.
start_agent() {
  session_run agent wine "$WINE_SESSION_BUILD/snaplark.exe"
  AGENT_PID=${WINE_SESSION_PIDS%% *}
  wait_for 30 "the agent reports clicks" bash -c "xdotool mousemove $FIELD_RIGHT $FIELD_Y click ${1:-1} sleep 0.3;
    grep -q 'no modifier keys are pressed' '$WINE_SESSION_DIR/agent.log'"
}

# Lines in a log without Wine's carriage returns, and how many are exactly LINE.
log_lines() { tr -d '\r' <"$WINE_SESSION_DIR/$1.log"; }
count_lines() { log_lines "$1" | grep -c -x -- "$2" || true; }
# reg_is NAME VALUE: the agent's setting NAME reads as VALUE (a DWORD as 0x1).
reg_is() { [ "$(wine reg query 'HKCU\Software\Snaplark' /v "$1" 2>/dev/null | tr -d '\r' | awk -v k="$1" '$1 == k {print $3}')" = "$2" ]; }
