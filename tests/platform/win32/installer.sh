#!/usr/bin/env bash
# The Windows installer under Wine: a silent per-user install puts the agent, its uninstaller, a
# Start menu shortcut and an Apps & features entry in place; the installed agent starts
# (--version); the silent uninstall leaves none of it behind. Usage: installer.sh BUILD_DIR
set -euo pipefail
build=$1
setup=$(ls "$build"/snaplark-*-setup.exe 2>/dev/null | head -n 1) || true
[ -n "$setup" ] || { echo "skipped: no installer (makensis missing)"; exit 77; }
export WINEPREFIX=${WINEPREFIX:-$(cd "$build" && pwd)/wineprefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
fail() { echo "FAIL: $*" >&2; exit 1; }
unix_path() { winepath -u "$(wine cmd /c echo "$1" 2>/dev/null | tr -d '\r')" 2>/dev/null; }
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Snaplark'
has_key() { wine reg query "$1" >/dev/null 2>&1; }

dir=$(unix_path '%LOCALAPPDATA%\Programs\Snaplark')
shortcut="$(unix_path '%APPDATA%')/Microsoft/Windows/Start Menu/Programs/Snaplark.lnk"
[ ! -e "$dir" ] || fail "$dir is there before the install"

wine "$setup" /S
[ -f "$dir/snaplark.exe" ] && [ -f "$dir/uninstall.exe" ] || fail "the install put no agent or uninstaller in $dir"
[ -f "$shortcut" ] || fail "no Start menu shortcut"
wine reg query "$uninstall_key" /v UninstallString 2>/dev/null | grep -q 'uninstall.exe' ||
  fail "no Apps & features entry"
has_key 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' &&
  wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Snaplark >/dev/null 2>&1 &&
  fail "the install set the agent to start at login; that is the user's choice"
version=$(wine "$dir/snaplark.exe" --version | tr -d '\r')
[[ $version == "snaplark "* ]] || fail "the installed agent answered --version with '$version'"
echo "ok: the silent install puts the agent, its uninstaller, a shortcut and an entry in place; it starts"

# The uninstaller runs from a copy in the temporary directory so that it can delete itself; the
# wineserver ends when that copy (and every other Wine program of this prefix) has.
wine "$dir/uninstall.exe" /S
wineserver -w
[ ! -e "$dir" ] || fail "the uninstall left $(ls "$dir")"
[ ! -e "$shortcut" ] || fail "the uninstall left the Start menu shortcut"
! has_key "$uninstall_key" || fail "the uninstall left the Apps & features entry"
! has_key 'HKCU\Software\Snaplark' || fail "the uninstall left the settings"
echo "ok: the silent uninstall leaves nothing behind"
