#!/usr/bin/env bash
# The Windows installer under Wine, on a desktop with a notification area: a silent per-user
# install with /NOSTART puts the agent, snaplark.com, its uninstaller, a Start menu shortcut and an
# Apps & features entry (with its size) in place and starts nothing; snaplark.com answers
# --version; a silent install starts the agent, which at its first start tells where its icon is; a
# silent upgrade while the agent runs ends it, leaves the new exe and starts the new agent; the
# silent uninstall ends the agent and leaves nothing behind. Usage: installer.sh BUILD_DIR
set -euo pipefail
build=$1
setup=$(ls "$build"/snaplark-*-setup.exe 2>/dev/null | head -n 1) || true
[ -n "$setup" ] || { echo "SKIP: no installer (makensis missing)"; exit 77; }
source "$(dirname "$0")/wine_session.sh"
wine_session_start "$build"
unix_path() { winepath -u "$(wine cmd /c echo "$1" 2>/dev/null | tr -d '\r')" 2>/dev/null; }
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Snaplark'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
has_key() { wine reg query "$1" >/dev/null 2>&1; }
agent_window() { wine "$WINE_SESSION_BUILD/tests/snaplark_post_agent.exe" window | tr -d '\r'; }
other_window() { local now; now=$(agent_window) && [ "$now" != "$1" ]; }

dir=$(unix_path '%LOCALAPPDATA%\Programs\Snaplark')
shortcut="$(unix_path '%APPDATA%')/Microsoft/Windows/Start Menu/Programs/Snaplark.lnk"
# Whatever a run that failed half-way left in the build's own prefix goes first.
rm -rf "$dir" "$shortcut"
for key in "$uninstall_key" 'HKCU\Software\Snaplark'; do wine reg delete "$key" /f >/dev/null 2>&1 || true; done
wine reg delete "$run_key" /v Snaplark /f >/dev/null 2>&1 || true

wine "$setup" /S /NOSTART
[ -f "$dir/snaplark.exe" ] && [ -f "$dir/snaplark.com" ] && [ -f "$dir/uninstall.exe" ] ||
  fail "the install put no agent, snaplark.com or uninstaller in $dir"
[ -f "$shortcut" ] || fail "no Start menu shortcut"
wine reg query "$uninstall_key" /v UninstallString 2>/dev/null | grep -q 'uninstall.exe' ||
  fail "no Apps & features entry"
size=$(wine reg query "$uninstall_key" /v EstimatedSize 2>/dev/null | tr -d '\r' | awk '$1 == "EstimatedSize" {print $3}')
[ -n "$size" ] && [ $((size)) -ge 1000 ] || fail "EstimatedSize is '$size', not the agent's size in KiB"
wine reg query "$run_key" /v Snaplark >/dev/null 2>&1 &&
  fail "the install set the agent to start at login; that is the user's choice"
! agent_window >/dev/null || fail "/NOSTART started the agent"
version=$(wine "$dir/snaplark.com" --version | tr -d '\r')
[[ $version == "snaplark "* ]] || fail "snaplark.com answered --version with '$version'"
echo "ok: /S /NOSTART puts the agent, snaplark.com, its uninstaller, a shortcut and a sized entry in place; --version answers"

wine "$setup" /S
wait_for 30 "the silent install starts the agent" agent_window
wait_for 10 "the agent's first start tells where its icon is" reg_is iconNoticeShown 0x1
first=$(agent_window)
# The upgrade finds the agent running: it must end it, replace the exe and start the new one.
wine "$setup" /S
cmp -s "$dir/snaplark.exe" "$WINE_SESSION_BUILD/snaplark.exe" || fail "the upgrade left another snaplark.exe"
[ ! -e "$dir/snaplark.exe.new" ] || fail "the upgrade left snaplark.exe.new"
wait_for 30 "the upgrade starts a new agent" other_window "$first"
# A second agent says so where its standard error goes (to a file, not a message box) and exits.
status=0
wine "$dir/snaplark.exe" >/dev/null 2>"$WINE_SESSION_DIR/second.err" || status=$?
[ "$status" = 1 ] || fail "no agent runs after the upgrade: a second one exited with $status"
echo "ok: /S starts the agent, which says where its icon is; an upgrade while it runs ends it and starts the new one"

# The uninstaller ends the agent, then goes on from a copy in the temporary directory so that it
# can delete itself.
wine "$dir/uninstall.exe" /S
wait_for 30 "the uninstall removes $dir" not test -e "$dir"
! agent_window >/dev/null || fail "the uninstall left the agent running"
[ ! -e "$shortcut" ] || fail "the uninstall left the Start menu shortcut"
wait_for 10 "the uninstall removes the Apps & features entry" not has_key "$uninstall_key"
! has_key 'HKCU\Software\Snaplark' || fail "the uninstall left the settings"
echo "ok: the silent uninstall ends the agent and leaves nothing behind"
